// Command line, settings checks and the start-up sequence, in process.
#include "server_test.h"

namespace {

TEST(CommandLineNumbers, DecimalHexBinaryOctalAndTheLowBits) {
  const std::pair<const char*, int> words[] = {
      {"40000", 40000}, {"  \t 123", 123}, {"+7", 7},   {" \t+7", 7},     {"0", 0},       {"$1F", 0x1F},
      {"xff", 0xFF},    {"XaB", 0xAB},     {"0x10", 16}, {"0X10", 16},    {"%101", 5},    {"&17", 15},
      {"+$10", 16},     {"70000", 4464},   {"4294967295", 65535},
      // Invalid texts count as zero, and so do numbers past 32 bits.
      {"", 0}, {" ", 0}, {"++7", 0}, {"-5", 0}, {"12a", 0}, {"1 ", 0}, {"$", 0}, {"0x", 0}, {"%", 0}, {"&", 0},
      {"%102", 0}, {"&8", 0}, {"$g", 0}, {"1.5", 0}, {"1e3", 0}, {"4294967296", 0}, {"$100000000", 0},
      {"99999999999999999999999", 0}};
  for (const auto& [text, value] : words) EXPECT_EQ(S2W(text), value) << '"' << text << '"';
  EXPECT_EQ(S2B("300"), 44);
  EXPECT_EQ(S2B("$1FF"), 0xFF);
}

class StartParams : public ServerTest {
 protected:
  void read(std::vector<std::string> args) {
    args.insert(args.begin(), "vornaxdm_server");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    SV_STARTPARAMS(static_cast<int>(argv.size()), argv.data());
  }
};

TEST_F(StartParams, ValuesAreForcedIntoRange) {
  read({"-maxplayers", "1", "-score", "0", "-bots", "99"});
  EXPECT_EQ(SV_MAXPLAYERS, 2);
  EXPECT_EQ(SV_SCORELIMIT, 1);
  EXPECT_EQ(SV_BOTCOUNT, 24);
  read({"-maxplayers", "30", "-score", "abc"});
  EXPECT_EQ(SV_MAXPLAYERS, 24);
  EXPECT_EQ(SV_SCORELIMIT, 1);
  read({"-maxplayers", "300"});  // low 8 bits: 44, then at most 24
  EXPECT_EQ(SV_MAXPLAYERS, 24);
}

TEST_F(StartParams, PairsOddLastArgumentUnknownAndRepeatedOptions) {
  read({"-port", "40000", "-name"});
  EXPECT_EQ(NET_PORT, 40000);
  EXPECT_EQ(SV_NAME, "Vornax:dm Server");
  read({"-Port", "1", "-bogus", "-teams", "-teams", "7", "-port", "1", "-port", "70000"});
  EXPECT_EQ(NET_PORT, 4464);
  EXPECT_EQ(SV_TEAMPLAY, 7);  // "-teams" was the value of "-bogus"
  read({"-name", std::string(300, 'n')});
  EXPECT_EQ(SV_NAME.len, 255);
  ResetServer();
  read({});
  EXPECT_EQ(NET_PORT, 35700);
  EXPECT_EQ(SV_BOTCOUNT, 0);
}

TEST_F(ServerTest, StartUpShowsSocketLineAndBannerAndLoadsTheBuiltInMap) {
  startServer();
  ASSERT_GE(NET_SOCKETHANDLE(), 0);
  EXPECT_EQ(consoleText(), "UDP initialized! UDP port: " + std::to_string(NET_PORT) +
                               "\nVornax:dm Server, v28\nPlayerlimit: 10, scorelimit: 20, teamplay: no\n");
  EXPECT_EQ(SV_LOGI, 2);
  EXPECT_EQ(LogLine(1), Line({EV_SERVERINFO}, "Vornax:dm Server, v28"));
  EXPECT_EQ(LogLine(0), Line({EV_SERVERINFO}, "Playerlimit: 10, scorelimit: 20, teamplay: no"));
  EXPECT_EQ(SV_MAP.map_index, 1);
  EXPECT_EQ(SV_MAPL[1].name, "DefMap");
}

}  // namespace
