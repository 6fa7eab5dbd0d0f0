// Finding servers from the client: the discovery targets, answers that are
// taken or refused, the ping, and the list in the menu against real servers
// on loopback, chosen and connected to with the keys.
#include <cstdlib>

#include "client/core/server_list.h"
#include "client/presentation/audio.h"
#include "client/presentation/menu.h"
#include "client/presentation/server_list_view.h"
#include "client_test.h"
#include "support/scripted_client.h"

namespace {

constexpr uint8_t DOWN = 40, ENTER = 13, ESCAPE = 27;

TEST(ServerListPorts, ListsAndRangesWithinLimits) {
  std::vector<uint16_t> ports;
  ASSERT_TRUE(ParsePortList("10666,35700-35710", ports));
  ASSERT_EQ(ports.size(), 12u);
  EXPECT_EQ(ports.front(), 10666);
  EXPECT_EQ(ports[1], 35700);
  EXPECT_EQ(ports.back(), 35710);
  ASSERT_TRUE(ParsePortList("7", ports));
  EXPECT_EQ(ports, std::vector<uint16_t>{7});
  for (const char* bad : {"", ",", "0", "65536", "5-3", "1,", "a", "1-", "-4", "1-2-3", "1 ", "1-100"})
    EXPECT_FALSE(ParsePortList(bad, ports)) << bad;
  EXPECT_EQ(ports, std::vector<uint16_t>{7}) << "a refused list changes nothing";
}

TEST(ServerListTargets, TheEnvironmentPointsDiscoveryElsewhere) {
  unsetenv("VORNAXDM_LAN_ADDRESS");
  unsetenv("VORNAXDM_LAN_PORTS");
  std::string problem;
  LanTargets t = LanTargetsFromEnvironment(problem);
  EXPECT_EQ(t.address, "255.255.255.255");
  EXPECT_EQ(t.ports.size(), 12u);
  EXPECT_TRUE(problem.empty());
  setenv("VORNAXDM_LAN_ADDRESS", "127.0.0.5", 1);
  setenv("VORNAXDM_LAN_PORTS", "40000-40002", 1);
  t = LanTargetsFromEnvironment(problem);
  EXPECT_EQ(t.address, "127.0.0.5");
  EXPECT_EQ(t.ports, (std::vector<uint16_t>{40000, 40001, 40002}));
  setenv("VORNAXDM_LAN_ADDRESS", "lan.example", 1);
  setenv("VORNAXDM_LAN_PORTS", "many", 1);
  t = LanTargetsFromEnvironment(problem);
  EXPECT_EQ(t.address, "255.255.255.255");
  EXPECT_EQ(t.ports.size(), 12u);
  EXPECT_NE(problem.find("VORNAXDM_LAN_PORTS"), std::string::npos);
  unsetenv("VORNAXDM_LAN_ADDRESS");
  unsetenv("VORNAXDM_LAN_PORTS");
}

uint32_t QueryToken(const UdpPeer& peer, sockaddr_in& client) {
  uint8_t query[STATUS_QUERY_SIZE + 1];
  uint32_t token = 0;
  const int n = peer.receiveInto(query, sizeof query, 3000, &client);
  EXPECT_EQ(n, static_cast<int>(STATUS_QUERY_SIZE));
  EXPECT_TRUE(n > 0 && ReadStatusQuery(query, STATUS_QUERY_SIZE, static_cast<size_t>(n), token));
  return token;
}

// An answer with this token and name, `cut` bytes short, under this code.
void Answer(const UdpPeer& from, const sockaddr_in& client, uint32_t token, const std::string& name, size_t cut = 0,
            uint8_t code = MSG_STATUSANSWER) {
  ServerStatus s;
  s.token = token;
  s.name.assign(name);
  s.players = 3;
  s.max_players = 8;
  uint8_t answer[STATUS_ANSWER_LIMIT];
  const size_t length = WriteStatusAnswer(s, answer) - cut;
  answer[0] = code;
  from.sendTo(client, answer, length);
}

// Answers count only whole, from the address and port asked, with the token
// of the query sent there, the first of a round only; the LAN query's token
// only from the LAN ports. Text from answers shows no control character, and
// the ping is the time since the query.
TEST(ServerListAnswers, OnlyTheFirstWholeAnswerToOurOwnQueryIsListed) {
  UdpPeer server, neighbour, lan, stranger;
  ASSERT_TRUE(ServerListStart());
  ServerListAddNamed("127.0.0.1", server.port());
  ServerListAddNamed("127.0.0.1", neighbour.port());
  ServerListUseLan(LanTargets{"127.0.0.1", {lan.port()}});
  ServerListSend(1000);
  sockaddr_in client{};
  const uint32_t server_token = QueryToken(server, client);
  const uint32_t neighbour_token = QueryToken(neighbour, client);
  const uint32_t lan_token = QueryToken(lan, client);
  EXPECT_NE(server_token, neighbour_token);
  EXPECT_NE(server_token, lan_token);
  Answer(server, client, server_token + 1, "Not our token");
  Answer(server, client, server_token, "Cut short", 1);
  Answer(server, client, server_token, "Not an answer", 0, 'q');
  Answer(neighbour, client, server_token, "Posing as the server");
  Answer(stranger, client, server_token, "Stranger");
  Answer(stranger, client, lan_token, "Stranger on the LAN");
  Answer(lan, client, neighbour_token, "Wrong token");
  Answer(server, client, server_token, "Real\x01\x1b[2J\x7f\x85\x9b" "1");
  Answer(server, client, server_token, "Replaced");
  Answer(lan, client, lan_token, "LanOne");
  Answer(lan, client, lan_token, "LanTwo");
  Answer(neighbour, client, neighbour_token, "Neighbour");
  int taken = 0;
  for (int i = 0; i < 100 && taken < 12; ++i) {
    ServerListWait(50);
    taken += ServerListPoll(1042);
  }
  ASSERT_EQ(taken, 12);
  const auto& entries = ServerListEntries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_TRUE(entries[0].answered);
  // 42 ms by the caller's clock, less the time the answer waited unread.
  EXPECT_LE(entries[0].ping_ms, 42u);
  const ServerListColumns c = ServerListTexts(entries[0]);
  EXPECT_EQ(c.name, "Real??[2J???1");
  EXPECT_EQ(c.players, "3/8");
  EXPECT_EQ(c.ping, std::to_string(entries[0].ping_ms) + " ms");
  EXPECT_EQ(ServerListTexts(entries[1]).name, "Neighbour");
  EXPECT_EQ(ServerListTexts(entries[2]).name, "LanOne");
  EXPECT_EQ(entries[2].port, lan.port());
  // A new round takes a new answer.
  ServerListSend(2000);
  Answer(server, client, QueryToken(server, client), "Next round");
  for (int i = 0; i < 100 && !entries[0].answered; ++i) {
    ServerListWait(50);
    ServerListPoll(2010);
  }
  EXPECT_EQ(ServerListTexts(entries[0]).name, "Next round");
  ServerListStop();
}

class InGameServerList : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    WriteFile("sounds/snd_mmove.wav", WavBytes(1, 8000, 8, Bytes(2000, 128)));
    WriteFile("a/server.out", "");
    WriteFile("b/server.out", "");
    saved_port_ = ::StartServer(saved_, {"-port", "0", "-name", "SavedOne"}, dir_->path() + "/a");
    lan_port_ = ::StartServer(lan_, {"-port", "0", "-name", "LanOne", "-maxplayers", "4"}, dir_->path() + "/b");
    ASSERT_NE(saved_port_, 0);
    ASSERT_NE(lan_port_, 0);
    const std::string ports = std::to_string(silent_.port()) + "," + std::to_string(lan_port_) + "," +
                              std::to_string(saved_port_);
    setenv("VORNAXDM_LAN_ADDRESS", "127.0.0.1", 1);
    setenv("VORNAXDM_LAN_PORTS", ports.c_str(), 1);
    StartUp();
    cfg.server_address = "127.0.0.1";
    cfg.server_port = saved_port_;
  }
  void TearDown() override {
    unsetenv("VORNAXDM_LAN_ADDRESS");
    unsetenv("VORNAXDM_LAN_PORTS");
    CloseAudio();
    ClientTest::TearDown();
  }
  bool FramesUntil(const std::function<bool()>& done, int frames = 200) {
    for (int i = 0; i < frames; ++i) {
      headless_ticks += 30;
      ClientFrame();
      if (done()) return true;
      SleepMs(30);
    }
    return false;
  }
  ChildProcess saved_, lan_;
  UdpPeer silent_;
  uint16_t saved_port_ = 0, lan_port_ = 0;
};

TEST_F(InGameServerList, OpensFromTheLastMenuLineAndConnectsToTheChosenServer) {
  menu_item = 20;
  Tap(DOWN);
  ASSERT_EQ(menu_item, 21);
  Tap(ENTER);
  ASSERT_TRUE(server_list_open);
  EXPECT_EQ(conn_state, CS_IDLE);
  ASSERT_TRUE(FramesUntil([] { return CaptionLines(l_mvar).size() == 3 && ServerListEntries().size() == 2 &&
                                      ServerListEntries()[0].answered; }))
      << l_mvar.caption;
  auto names = CaptionLines(l_mvar), values = CaptionLines(l_mval);
  EXPECT_EQ(names[0], " Server list (Esc: back)");
  EXPECT_EQ(names[1], "+SavedOne");
  EXPECT_EQ(names[2], " LanOne");
  EXPECT_NE(values[1].find("0/10"), std::string::npos) << values[1];
  EXPECT_NE(values[2].find("0/4"), std::string::npos) << values[2];
  EXPECT_NE(values[2].find(" ms "), std::string::npos) << values[2];
  EXPECT_EQ(silent_.drain().size(), 1u) << "the silent server was asked once and is not listed";

  Tap(ESCAPE);
  EXPECT_FALSE(server_list_open);
  EXPECT_TRUE(menu_open);
  EXPECT_EQ(CaptionLines(l_mvar).size(), 22u);
  EXPECT_EQ(CaptionLines(l_mvar)[21], "+Server list");

  Tap(ENTER);
  ASSERT_TRUE(FramesUntil([] { return ServerListEntries().size() == 2; }));
  Tap(DOWN);
  EXPECT_EQ(server_list_item, 1);
  Tap(ENTER);
  EXPECT_FALSE(server_list_open);
  EXPECT_FALSE(menu_open);
  EXPECT_EQ(cfg.server_port, lan_port_);
  EXPECT_NE(conn_state, CS_IDLE);
  EXPECT_TRUE(FramesUntil([] { return conn_state == CS_CONNECTED; }));
  EXPECT_TRUE(WaitFor([&] { return lan_.output().find("VornaxPlayer connected!") != std::string::npos; }, 5000));
}

}  // namespace
