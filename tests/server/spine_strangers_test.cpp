// What a stranger can make the server do, through real UDP on loopback:
// half-open slots until the first input, the limits per address and on new
// players, the throttled "server full" reply and console line, unthrottled
// returns after a map change, and a receive loop that empty datagrams and
// floods cannot stop.
#include <memory>

#include "server/net/guard.h"
#include "server_test.h"

namespace {

class Strangers : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    startServer();
  }
  void restart(std::vector<std::string> args) {
    ResetServer();
    startServer(std::move(args));
  }
  static void enter(const Peer& peer) { peer.send(InputMessage(SV_PINGVAR, 0, ACT_NONE, 0, 0, 0)); }
  static size_t snapshots(const Peer& peer) { return peer.drain(MSG_SNAPSHOT).size(); }
  static int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }
};

TEST_F(Strangers, AConnectAloneGetsOneSnapshotPerConnectDatagramAndNoLineThenGoesSilently) {
  const uint16_t lines = SV_LOGI;
  Peer forged;
  forged.send(ConnectMessage("Forged"));
  GAMECYCLE();
  ASSERT_EQ(slotOf(forged), 1);
  const auto first = forged.drain();
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0][0], MSG_SNAPSHOT);
  ticks(10);
  EXPECT_TRUE(forged.drain().empty());
  // Each further connect is answered by exactly one snapshot, and nothing else.
  for (int i = 0; i < 2; ++i) {
    forged.send(ConnectMessage("Forged"));
    ticks(5);
    const auto got = forged.drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][0], MSG_SNAPSHOT);
  }
  // Chat, unknown codes and inputs cut short neither reach the log nor
  // keep the slot.
  forged.send(ChatMessage("hello"));
  forged.send("z");
  forged.send("h");
  forged.send(InputMessage(0, 0, 0, 0, 0, 0).substr(0, 11));
  ticks(100 - 6);
  EXPECT_EQ(SV_CURCLIENTS, 1);
  ticks(1);  // three seconds after the newest connect
  EXPECT_EQ(SV_CURCLIENTS, 0);
  EXPECT_TRUE(forged.drain().empty());
  EXPECT_EQ(SV_LOGI, lines);
  EXPECT_EQ(consoleText().find("Forged"), std::string::npos);
  ExpectInvariants();
}

TEST_F(Strangers, AConnectRepeatedJustBeforeTheSlotExpiresKeepsItForTheInputThatFollows) {
  // On a lossy link the first snapshot to arrive may answer the third or
  // fourth connect; the input it brings back must find the slot waiting.
  Peer lossy;
  lossy.send(ConnectMessage("Lossy"));
  GAMECYCLE();
  ticks(97);
  lossy.send(ConnectMessage("Lossy"));
  ticks(10);
  ASSERT_EQ(slotOf(lossy), 1);
  lossy.drain();
  lossy.send(InputMessage(SV_PINGVAR, 0, ACT_NONE, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(LogLine(), Line({EV_CONNECT, 1, 0}, "Lossy"));
  for (const auto& got : lossy.drain()) EXPECT_NE(got[0], MSG_NOTCONNECTED);
  ExpectInvariants();
}

TEST_F(Strangers, TheFirstInputAnnouncesTheClientWhoThenGetsEverything) {
  Peer late;
  late.send(ConnectMessage("Late"));
  GAMECYCLE();
  EXPECT_EQ(late.drain(MSG_SNAPSHOT).size(), 1u);
  ticks(3);  // the client's snapshot took a while
  late.send(InputMessage(SV_PINGVAR, 0, ACT_INFO, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(LogLine(), Line({EV_CONNECT, 1, 0}, "Late"));
  EXPECT_NE(consoleText().find("Late connected!\n"), std::string::npos);
  // As a client connecting today: the line before its own, then its own.
  const auto got = late.drain();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0][0], MSG_GAMEINFO);
  EXPECT_EQ(ParseLog(got[1]).lines, (std::vector<std::string>{"\x0aPlayerlimit: 10, scorelimit: 20, teamplay: no",
                                                              Line({EV_CONNECT, 1, 0}, "Late")}));
  EXPECT_EQ(got[2][0], MSG_SNAPSHOT);
  late.send("g");
  GAMECYCLE();
  EXPECT_EQ(LogLine(), Line({EV_DISCONNECT, 1}));
}

TEST_F(Strangers, AFullServerGivesTheOldestHalfOpenSlotToANewConnect) {
  restart(manyClients());
  std::vector<std::unique_ptr<Peer>> peers;
  for (int i = 0; i < MAX_SLOTS; ++i) {
    peers.push_back(std::make_unique<Peer>());
    peers.back()->send(ConnectMessage("p" + std::to_string(i)));
    if (i != 5 && i != 9) enter(*peers.back());  // two stay half-open
    GAMECYCLE();
  }
  ASSERT_EQ(SV_CURCLIENTS, MAX_SLOTS);
  Peer real;
  ASSERT_EQ(connect(real, "Real"), 6);  // the older half-open slot
  EXPECT_EQ(slotOf(*peers[5]), 0);
  EXPECT_EQ(slotOf(*peers[9]), 10);
  Peer second;
  ASSERT_EQ(connect(second, "Second"), 10);
  // Now every slot plays: the next one is refused.
  Peer third;
  third.send(ConnectMessage("Third"));
  GAMECYCLE();
  EXPECT_EQ(third.drain(), std::vector<std::string>{"q"});
  ExpectInvariants();
}

TEST_F(Strangers, RefusalsAreAnsweredAboutOnceASecondAndCountedInOneConsoleLineASecond) {
  restart({"-ipslots", "1"});
  Peer player, refused, other;
  ASSERT_EQ(connect(player, "Player"), 1);
  int replies = 0;
  for (int t = 0; t < 66; ++t) {  // two seconds of a connect every tick from one address
    refused.send(ConnectMessage("Again"));
    GAMECYCLE();
    replies += static_cast<int>(refused.drain().size());
  }
  EXPECT_EQ(replies, 3);  // ticks 0, 30 and 60
  const std::string console = consoleText();
  EXPECT_EQ(count(console, " connect attempts refused from 127.0.0.1\n"), 2) << console;
  EXPECT_NE(console.find("\n1 connect attempts refused from 127.0.0.1\n"), std::string::npos) << console;
  EXPECT_NE(console.find("\n33 connect attempts refused from 127.0.0.1\n"), std::string::npos) << console;
  EXPECT_EQ(SV_CURCLIENTS, 1);
}

TEST_F(Strangers, OneAddressHoldsFourSlotsAndOpensTwoASecond) {
  std::vector<std::unique_ptr<Peer>> peers;
  for (int i = 0; i < 6; ++i) peers.push_back(std::make_unique<Peer>());
  for (int i = 0; i < 3; ++i) peers[i]->send(ConnectMessage("n" + std::to_string(i)));
  GAMECYCLE();
  EXPECT_EQ(SV_CURCLIENTS, 2);
  EXPECT_EQ(peers[2]->drain(), std::vector<std::string>{"q"});
  ticks(GUARD_SECOND);
  for (int i = 2; i < 4; ++i) peers[i]->send(ConnectMessage("n" + std::to_string(i)));
  for (int i = 0; i < 4; ++i) enter(*peers[i]);
  GAMECYCLE();
  EXPECT_EQ(SV_CURCLIENTS, 4);
  ticks(GUARD_SECOND);
  // At four slots the address is full, unless one of them is half-open.
  peers[4]->send(ConnectMessage("n4"));
  GAMECYCLE();
  EXPECT_EQ(slotOf(*peers[4]), 0);
  peers[0]->send("g");
  GAMECYCLE();
  peers[4]->send(ConnectMessage("n4"));
  GAMECYCLE();
  ASSERT_EQ(slotOf(*peers[4]), 1);
  ticks(GUARD_SECOND);
  peers[5]->send(ConnectMessage("n5"));
  GAMECYCLE();
  EXPECT_EQ(slotOf(*peers[4]), 0);
  EXPECT_EQ(slotOf(*peers[5]), 1);
  ExpectInvariants();
}

TEST_F(Strangers, NewPlayersEnterFourASecondTheRestAtTheirNextInputAfterwards) {
  restart({"-ipslots", "24", "-ipconnects", "255"});
  std::vector<std::unique_ptr<Peer>> peers;
  for (int i = 0; i < 6; ++i) {
    peers.push_back(std::make_unique<Peer>());
    peers.back()->send(ConnectMessage("c" + std::to_string(i)));
    enter(*peers.back());
  }
  GAMECYCLE();
  EXPECT_EQ(SV_CURCLIENTS, 6);
  int announced = 0;
  for (int s = 1; s <= 6; ++s) announced += SV_CLIENTSLIST[s].half_open ? 0 : 1;
  EXPECT_EQ(announced, 4);
  for (uint32_t t = 0; t < GUARD_SECOND; ++t) {
    for (auto& p : peers) enter(*p);
    GAMECYCLE();
  }
  for (int s = 1; s <= 6; ++s) EXPECT_EQ(SV_CLIENTSLIST[s].half_open, 0) << "slot " << s;
  ExpectInvariants();
}

TEST_F(Strangers, AfterAMapChangeEveryPlayerComesBackAtOnceUnthrottled) {
  std::vector<std::unique_ptr<Peer>> peers;
  for (int i = 0; i < 4; ++i) {
    peers.push_back(std::make_unique<Peer>());
    ASSERT_NE(connect(*peers.back(), "r" + std::to_string(i)), 0);
    ticks(GUARD_SECOND);
  }
  SV_MAPNEXT();
  EXPECT_EQ(SV_CURCLIENTS, 0);
  for (auto& p : peers) {
    p->send(ConnectMessage("back"));
    enter(*p);
  }
  GAMECYCLE();
  EXPECT_EQ(SV_CURCLIENTS, 4);
  for (int s = 1; s <= 4; ++s) EXPECT_EQ(SV_CLIENTSLIST[s].half_open, 0);
  // Only as many as played: a fifth from the same address is a new connect.
  Peer fifth;
  fifth.send(ConnectMessage("new"));
  GAMECYCLE();
  EXPECT_EQ(fifth.drain(), std::vector<std::string>{"q"});
}

TEST_F(Strangers, EmptyDatagramsAndFloodsDoNotStopTheReadingOrCrowdOutAPlayer) {
  Peer player, flood;
  ASSERT_EQ(connect(player, "Player"), 1);
  for (int i = 0; i < 50; ++i) flood.send("");
  for (int i = 0; i < 400; ++i) flood.send(InputMessage(0, 0, 0, 0, 0, 0));
  for (int i = 0; i < 50; ++i) flood.send(std::string(1, static_cast<char>(i)));
  player.send(InputMessage(SV_PINGVAR, 123, ACT_NONE, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(SV_CLIENTSLIST[1].dir, 123);
  // Only what the tick kept from the stranger is answered: 16 inputs.
  EXPECT_EQ(flood.drain().size(), 16u);
  ticks(1);
  EXPECT_TRUE(flood.drain().empty());  // the rest was dropped, not delayed
}

TEST_F(ServerTest, LimitOptionsAreReadAsNumbersAndKeptInRange) {
  EXPECT_EQ(SV_IPSLOTS, 4);
  EXPECT_EQ(SV_IPCONNECTS, 2);
  EXPECT_EQ(SV_CONNECTS, 4);
  std::vector<std::string> args = {"vornaxdm_server", "-ipslots", "0", "-ipconnects", "x", "-connects", "$10"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  SV_STARTPARAMS(static_cast<int>(argv.size()), argv.data());
  EXPECT_EQ(SV_IPSLOTS, 1);
  EXPECT_EQ(SV_IPCONNECTS, 1);
  EXPECT_EQ(SV_CONNECTS, 16);
  args = {"vornaxdm_server", "-ipslots", "30", "-ipconnects", "300"};
  argv.clear();
  for (auto& a : args) argv.push_back(a.data());
  SV_STARTPARAMS(static_cast<int>(argv.size()), argv.data());
  EXPECT_EQ(SV_IPSLOTS, 24);
  EXPECT_EQ(SV_IPCONNECTS, 44);  // the low 8 bits, as every number here
}

}  // namespace
