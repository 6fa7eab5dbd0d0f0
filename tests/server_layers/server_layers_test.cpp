// The server's layers: the game (server/sim) at the bottom, the network layer
// (server/net) above it, the program (server/core) on top. This program links
// the network layer and the game without the core, every object of both, so
// it links only while neither calls upward; what they have to tell the
// program goes through SV_HOOKS, which the cases here record.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "protocol/protocol.h"
#include "server/net/net_settings.h"
#include "server/net/sessions.h"
#include "server/net/udp.h"
#include "server/sim/bots.h"
#include "server/sim/hooks.h"
#include "server/sim/maps.h"
#include "server/sim/msglog.h"
#include "server/sim/world.h"
#include "support/udp_peer.h"

namespace {

const std::filesystem::path kServer = std::filesystem::path(VORNAX_SOURCE_DIR) / "server";

// Calls `check(file, number, line)` for every line of the layer's sources.
template <typename Check>
int ForEachLine(const char* layer, Check check) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kServer / layer)) {
    ++files;
    std::ifstream in(entry.path());
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) check(entry.path().string(), number, line);
  }
  return files;
}

TEST(ServerSources, EachLayerIncludesOnlyTheLayersBelowIt) {
  const std::vector<std::pair<const char*, std::vector<const char*>>> above = {
      {"sim", {"server/net/", "server/core/"}},
      {"net", {"server/core/"}},
  };
  for (const auto& [layer, banned] : above) {
    const int files = ForEachLine(layer, [&](const std::string& file, int number, const std::string& line) {
      if (line.rfind("#include", 0) != 0) return;
      for (const char* b : banned) EXPECT_EQ(line.find(b), std::string::npos) << file << ":" << number << ": " << line;
    });
    EXPECT_GT(files, 8) << layer;
  }
}

// The slot counts change only with the flags they count, in world.cpp.
TEST(ServerSources, OnlyTheWorldChangesTheSlotCounts) {
  const std::regex write(R"((SV_CURCLIENTS|SV_CURPLAYERS|SV_BOTC)\s*([-+]?=[^=]|\+\+|--)|(\+\+|--)\s*(SV_CURCLIENTS|SV_CURPLAYERS|SV_BOTC)\b)");
  for (const char* layer : {"sim", "net", "core"}) {
    ForEachLine(layer, [&](const std::string& file, int number, const std::string& line) {
      if (file.ends_with("/world.cpp")) return;
      const std::string code = line.substr(0, line.find("//"));
      EXPECT_FALSE(std::regex_search(code, write)) << file << ":" << number << ": " << line;
    });
  }
}

// What the lower layers said, in order.
std::vector<std::string> heard;

void RecordHooks() {
  SV_HOOKS = ServerHooks{
      [](std::string_view text) { heard.push_back("console: " + std::string(text)); },
      [](std::string_view text) { heard.push_back("oplog: " + std::string(text)); },
      [] { heard.push_back("wait"); },
      [](const ShortStr& line) { heard.push_back("message " + std::to_string(line.empty() ? 0 : line[0])); },
      [](uint8_t slot) { heard.push_back("connected " + std::to_string(slot)); },
      [](uint8_t slot, const char* reason) { heard.push_back("given up " + std::to_string(slot) + " " + reason); },
      [] { heard.push_back("map started"); },
  };
}

class LowerLayersAlone : public ::testing::Test {
 protected:
  void SetUp() override {
    heard.clear();
    RecordHooks();
    NET_RESET();
    NET_RESETSETTINGS();
    SV_RESETWORLD();
    SV_CLEARLOG();
    DEFAULTMAPS();
  }
  void TearDown() override {
    NET_STOP();
    SV_RESETHOOKS();
  }
};

TEST_F(LowerLayersAlone, PlayAMapWithABotAndTellWhatHappened) {
  SV_LOADCURMAP(1);
  SV_ADDBOT();
  EXPECT_EQ(SV_CURCLIENTS, 1);
  EXPECT_EQ(SV_BOTC, 1);
  PLAYER_GIVEUP(1, SLOT_BOTREMOVED);
  EXPECT_EQ(SV_CURCLIENTS, 0);
  EXPECT_EQ(SV_BOTC, 0);
  EXPECT_EQ(SV_LOGI, 2);
  const std::vector<std::string> expected = {
      "map started", "message " + std::to_string(EV_CONNECT), "connected 1",
      std::string("given up 1 ") + SLOT_BOTREMOVED, "message " + std::to_string(EV_DISCONNECT)};
  EXPECT_EQ(heard, expected);
}

TEST_F(LowerLayersAlone, TheSocketSaysWhereItListensAndWhyItCannot) {
  const UdpPeer busy;
  NET_BINDADDRESS = inet_addr("127.0.0.1");
  NET_PORT = 0;
  ASSERT_TRUE(NET_START());
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0], "console: UDP initialized! UDP port: " + std::to_string(NET_PORT));
  NET_STOP();

  heard.clear();
  NET_PORT = busy.port();
  NET_STRICTPORT = 1;
  EXPECT_FALSE(NET_START());
  ASSERT_FALSE(heard.empty());
  EXPECT_EQ(heard.back(), "wait");
}

}  // namespace
