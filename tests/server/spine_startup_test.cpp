// Command line, settings checks and the start-up sequence, in process.
#include "spine_helpers.h"

#include "server/core/maps.h"

namespace spine {
namespace {

TEST(CommandLineNumbers, DecimalWithBlanksTabsAndOnePlus) {
  EXPECT_EQ(S2W("40000"), 40000);
  EXPECT_EQ(S2W("  \t 123"), 123);
  EXPECT_EQ(S2W("+7"), 7);
  EXPECT_EQ(S2W(" \t+7"), 7);
  EXPECT_EQ(S2W("++7"), 0);
  EXPECT_EQ(S2W("0"), 0);
}

TEST(CommandLineNumbers, HexBinaryAndOctalPrefixes) {
  EXPECT_EQ(S2W("$1F"), 0x1F);
  EXPECT_EQ(S2W("xff"), 0xFF);
  EXPECT_EQ(S2W("XaB"), 0xAB);
  EXPECT_EQ(S2W("0x10"), 16);
  EXPECT_EQ(S2W("0X10"), 16);
  EXPECT_EQ(S2W("%101"), 5);
  EXPECT_EQ(S2W("&17"), 15);
  EXPECT_EQ(S2W("+$10"), 16);
}

TEST(CommandLineNumbers, InvalidValuesCountAsZero) {
  for (const char* bad : {"", " ", "-5", "12a", "1 ", "$", "0x", "%", "&", "%102", "&8", "$g", "1.5", "1e3"})
    EXPECT_EQ(S2W(bad), 0) << '"' << bad << '"';
  EXPECT_EQ(S2W("4294967296"), 0);  // does not fit in 32 bits
  EXPECT_EQ(S2W("$100000000"), 0);
  EXPECT_EQ(S2W("99999999999999999999999"), 0);
}

TEST(CommandLineNumbers, OnlyTheLowBitsAreKept) {
  EXPECT_EQ(S2W("70000"), 4464);
  EXPECT_EQ(S2W("4294967295"), 65535);
  EXPECT_EQ(S2B("300"), 44);
  EXPECT_EQ(S2B("$1FF"), 0xFF);
}

TEST(CommandLineNumbers, ByteTexts) {
  EXPECT_EQ(B2S(0), "0");
  EXPECT_EQ(B2S(255), "255");
  EXPECT_EQ(B2SYN(0), "no");
  EXPECT_EQ(B2SYN(7), "yes");
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

TEST_F(StartParams, DefaultsWithoutArguments) {
  read({});
  EXPECT_EQ(NET_PORT, 35700);
  EXPECT_EQ(SV_NAME, "Vornax:dm Server");
  EXPECT_EQ(SV_MAXPLAYERS, 10);
  EXPECT_EQ(SV_SCORELIMIT, 20);
  EXPECT_EQ(SV_TEAMPLAY, 0);
  EXPECT_EQ(SV_BOTCOUNT, 0);
}

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
}

TEST_F(ServerTest, StartUpShowsSocketLineAndBannerAndLoadsTheBuiltInMap) {
  startServer();
  ASSERT_GE(NET_SOCKETHANDLE(), 0);
  std::string expected = "UDP initialized! UDP port: " + std::to_string(NET_PORT) +
                         "\nVornax:dm Server, v28\nPlayerlimit: 10, scorelimit: 20, teamplay: no\n";
  EXPECT_EQ(consoleText(), expected);
  EXPECT_EQ(SV_LOGI, 2);
  EXPECT_EQ(SV_LOG[1], line({EV_SERVERINFO}, "Vornax:dm Server, v28"));
  EXPECT_EQ(SV_LOG[0], line({EV_SERVERINFO}, "Playerlimit: 10, scorelimit: 20, teamplay: no"));
  EXPECT_EQ(SV_MAP.map_index, 1);
  EXPECT_EQ(SV_MAPL[1].name, "DefMap");
}

TEST_F(ServerTest, TeamPlayBannerAndCustomName) {
  startServer({"-teams", "7", "-name", "Arena", "-maxplayers", "16", "-score", "5"});
  EXPECT_EQ(SV_TEAMPLAY, 7);
  EXPECT_EQ(SV_LOG[1], line({EV_SERVERINFO}, "Arena, v28"));
  EXPECT_EQ(SV_LOG[0], line({EV_SERVERINFO}, "Playerlimit: 16, scorelimit: 5, teamplay: yes"));
}

TEST_F(ServerTest, IdleTicksOnlyAnswerDatagrams) {
  startServer({"-bots", "3"});
  ticks(50);
  EXPECT_EQ(SV_PINGVAR, 0);
  EXPECT_EQ(SV_CURCLIENTS, 0);
  UdpPeer peer;
  peer.send(inputMessage(0, 0, 0, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(peer.drain(), std::vector<Bytes>{Bytes(1, 'o')});
  EXPECT_EQ(SV_PINGVAR, 0);
}

}  // namespace
}  // namespace spine
