// The wire protocol through real UDP on loopback: connects and their
// refusals, input, chat, game information and snapshots.
#include "spine_helpers.h"

#include <memory>

#include "server/core/maps.h"

namespace spine {
namespace {

TEST(InputMessage, LayoutOfTheTwelveByteExample) {
  Bytes b = inputMessage(300, 90, ACT_FIRE, 1000, 2000, 7);
  EXPECT_EQ(b, Bytes("\x68\x2C\x01\x5A\x00\x0A\xE8\x03\xD0\x07\x07\x00", 12));
}

class Protocol : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    startServer();
  }
};

TEST_F(Protocol, ConnectTakesTheLowestSlotAndIsAnsweredOnlyBySnapshots) {
  UdpPeer peer;
  uint8_t slot = connect(peer, "Ann", 6);
  ASSERT_EQ(slot, 1);
  const ClientRecord& c = SV_CLIENTSLIST[1];
  EXPECT_EQ(c.name, "Ann");
  EXPECT_EQ(c.team, 2);
  EXPECT_EQ(c.joined, 0);
  EXPECT_EQ(c.input_budget, 33);
  EXPECT_EQ(c.health, 100);
  EXPECT_EQ(SV_LOG[0], line({EV_CONNECT, 1, 2}, "Ann"));
  EXPECT_NE(consoleText().find("Ann connected!\n"), std::string::npos);
  for (auto& d : peer.drain()) EXPECT_TRUE(byteAt(d, 0) == MSG_SNAPSHOT || byteAt(d, 0) == MSG_LOG);
  expectCountersMatchSlots();
}

TEST_F(Protocol, WrongVersionIsAnsweredWithOursAndTakesNoSlot) {
  UdpPeer peer;
  peer.send(connectMessage("Old", 0, 27));
  GAMECYCLE();
  EXPECT_EQ(peer.drain(), std::vector<Bytes>{Bytes("p\x1c", 2)});
  EXPECT_EQ(SV_CURCLIENTS, 0);
}

TEST_F(Protocol, InputFromAStrangerIsAnsweredNotConnectedAndOtherCodesNotAtAll) {
  UdpPeer peer;
  for (uint8_t code : {MSG_INPUT, MSG_DISCONNECT, MSG_CHAT, MSG_SNAPSHOT, uint8_t(0), uint8_t(255)})
    peer.send(Bytes(1, static_cast<char>(code)));
  GAMECYCLE();
  EXPECT_EQ(peer.drain(), std::vector<Bytes>{Bytes(1, 'o')});
  EXPECT_EQ(SV_CURCLIENTS, 0);
}

TEST_F(Protocol, The25thClientIsRefusedAsServerFull) {
  std::vector<std::unique_ptr<UdpPeer>> peers;
  for (int i = 0; i < 24; ++i) {
    peers.push_back(std::make_unique<UdpPeer>());
    peers.back()->send(connectMessage("p" + std::to_string(i)));
  }
  GAMECYCLE();
  EXPECT_EQ(SV_CURCLIENTS, 24);
  UdpPeer late;
  late.send(connectMessage("late"));
  GAMECYCLE();
  EXPECT_EQ(late.drain(), std::vector<Bytes>{Bytes(1, 'q')});
  // A freed slot is taken again, the lowest first.
  peers[4]->send(Bytes(1, 'g'));
  GAMECYCLE();
  EXPECT_EQ(SV_CURCLIENTS, 23);
  EXPECT_EQ(connect(late, "late"), 5);
  expectCountersMatchSlots();
}

TEST_F(Protocol, BotsCountTowardsAFullServer) {
  SV_BOTCOUNT = 20;
  std::vector<std::unique_ptr<UdpPeer>> peers;
  for (int i = 0; i < 4; ++i) peers.push_back(std::make_unique<UdpPeer>());
  connect(*peers[0], "h0");
  while (SV_BOTC < 20) ticks(1);
  for (int i = 1; i < 4; ++i) connect(*peers[i], "h" + std::to_string(i));
  EXPECT_EQ(SV_CURCLIENTS, 24);
  UdpPeer fifth;
  fifth.send(connectMessage("fifth"));
  GAMECYCLE();
  EXPECT_EQ(fifth.drainCode(MSG_SERVERFULL).size(), 1u);
  expectCountersMatchSlots();
}

TEST_F(Protocol, SecondConnectFromAKnownSenderIsIgnored) {
  UdpPeer peer;
  ASSERT_EQ(connect(peer, "First", 1), 1);
  uint16_t lines = SV_LOGI;
  peer.send(connectMessage("Second", 2));
  GAMECYCLE();
  EXPECT_EQ(SV_CURCLIENTS, 1);
  EXPECT_EQ(SV_CLIENTSLIST[1].name, "First");
  EXPECT_EQ(SV_CLIENTSLIST[1].team, 1);
  EXPECT_EQ(SV_LOGI, lines);
}

TEST_F(Protocol, TwoPortsBehindOneAddressAreTwoClients) {
  UdpPeer a, b;
  ASSERT_EQ(connect(a, "A"), 1);
  ASSERT_EQ(connect(b, "B"), 2);
  b.send(Bytes(1, 'g'));
  GAMECYCLE();
  EXPECT_EQ(SV_CLIENTSLIST[1].in_use, 1);
  EXPECT_EQ(SV_CLIENTSLIST[2].in_use, 0);
  EXPECT_EQ(SV_LOG[0], line({EV_DISCONNECT, 2}));
  a.drain();
  b.drain();
  ticks(1);
  EXPECT_EQ(a.drainCode(MSG_SNAPSHOT).size(), 1u);
  EXPECT_TRUE(b.drain().empty());
}

TEST_F(Protocol, NamesAreCutTo20AndTaggedInTeamPlay) {
  SV_TEAMPLAY = 7;
  UdpPeer bob, longname;
  ASSERT_EQ(connect(bob, "Bob", 5), 1);
  EXPECT_EQ(SV_CLIENTSLIST[1].name, "[MU]Bob");
  EXPECT_EQ(SV_CLIENTSLIST[1].team, 1);
  EXPECT_EQ(SV_LOG[0], line({EV_CONNECT, 1, 1}, "[MU]Bob"));
  ASSERT_EQ(connect(longname, std::string(30, 'L'), 3), 2);
  EXPECT_EQ(SV_CLIENTSLIST[2].name, "[OF]" + std::string(16, 'L'));
  SV_TEAMPLAY = 0;
  UdpPeer plain;
  connect(plain, std::string(30, 'P'));
  EXPECT_EQ(SV_CLIENTSLIST[3].name, std::string(20, 'P'));
}

TEST_F(Protocol, EmptyConnectGivesAnEmptyName) {
  UdpPeer peer;
  peer.send(Bytes("f\x1c", 2));
  GAMECYCLE();
  ASSERT_EQ(SV_CURCLIENTS, 1);
  EXPECT_TRUE(SV_CLIENTSLIST[1].name.empty());
  EXPECT_EQ(SV_CLIENTSLIST[1].team, 0);
}

TEST_F(Protocol, InputFieldsAreStoredAndOnlyAcknowledgementsInRangeCount) {
  for (int i = 0; i < 10; ++i) SV_ADDMSG(line({EV_SERVERINFO}, "filler"));
  UdpPeer peer;
  ASSERT_EQ(connect(peer, "In"), 1);
  ClientRecord& c = SV_CLIENTSLIST[1];
  c.log_ack = 5;
  peer.send(inputMessage(300, 90, ACT_FIRE, 1000, 2000, 7));
  GAMECYCLE();
  EXPECT_EQ(c.ping_tick, 300);
  EXPECT_EQ(c.dir, 90);
  EXPECT_EQ(c.action, ACT_FIRE);
  EXPECT_EQ(c.want_x, 1000);
  EXPECT_EQ(c.want_y, 2000);
  EXPECT_EQ(c.log_ack, 7);
  // Lower than the stored one: ignored, the rest still counts.
  peer.send(inputMessage(301, 180, ACT_NONE, 1, 2, 4));
  GAMECYCLE();
  EXPECT_EQ(c.log_ack, 7);
  EXPECT_EQ(c.dir, 180);
  // Higher than the newest line: ignored too.
  peer.send(inputMessage(302, 181, ACT_NONE, 1, 2, static_cast<uint16_t>(SV_LOGI + 1)));
  GAMECYCLE();
  EXPECT_EQ(c.log_ack, 7);
  EXPECT_EQ(c.dir, 181);
  peer.send(inputMessage(303, 182, ACT_NONE, 1, 2, SV_LOGI));
  GAMECYCLE();
  EXPECT_EQ(c.log_ack, SV_LOGI);
}

TEST_F(Protocol, InputBudgetLimitsAppliedMessagesPerWindow) {
  UdpPeer peer;
  connect(peer, "Fast");  // connected in the tick that made SV_PINGVAR 1
  ClientRecord& c = SV_CLIENTSLIST[1];
  for (uint16_t i = 1; i <= 40; ++i) peer.send(inputMessage(0, i, 0, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(c.dir, 33);  // only the first 33 were applied
  EXPECT_EQ(c.input_budget, 0);
  while (SV_PINGVAR % 33 != 0) ticks(1);
  EXPECT_EQ(c.input_budget, 35);
  for (uint16_t i = 1; i <= 40; ++i) peer.send(inputMessage(0, static_cast<uint16_t>(100 + i), 0, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(c.dir, 135);
}

TEST_F(Protocol, ChatWaitsSixtyTicksBetweenLines) {
  UdpPeer peer;
  connect(peer, "Ann");
  peer.send(chatMessage("hi"));
  peer.send(chatMessage("again"));
  GAMECYCLE();
  EXPECT_EQ(SV_LOG[0], line({EV_CHAT, 1}, "hi"));
  EXPECT_NE(consoleText().find("Ann: hi\n"), std::string::npos);
  uint16_t lines = SV_LOGI;
  for (int i = 0; i < 59; ++i) {
    peer.send(inputMessage(SV_PINGVAR, 0, 0, 0, 0, SV_LOGI));
    if (i == 30) peer.send(chatMessage("too soon"));
    GAMECYCLE();
  }
  EXPECT_EQ(SV_LOGI, lines);
  peer.send(chatMessage(std::string(255, 'c')));
  GAMECYCLE();
  EXPECT_EQ(SV_LOGI, lines + 1);
  EXPECT_EQ(SV_LOG[0].len, 255);  // the text is cut to 253
}

TEST_F(Protocol, SnapshotOfOneSpectator) {
  TempDir dir;
  dir.writeMap("four", "000000\n1234@\n");
  SV_RESETALL();
  CON_SETOUTPUT(console_);
  startServer({"-map", "four"});
  UdpPeer p1, p2, p3;
  p1.send(connectMessage("one"));
  p2.send(connectMessage("two"));
  p3.send(connectMessage("three"));
  p1.send(Bytes(1, 'g'));
  p2.send(Bytes(1, 'g'));
  SV_MAP.items[2].respawn = 100;
  SV_MAP.items[3].respawn = 100;
  GAMECYCLE();
  ASSERT_EQ(slotOf(p3), 3);
  auto snaps = p3.drainCode(MSG_SNAPSHOT);
  ASSERT_EQ(snaps.size(), 1u);
  Bytes expected(1, 'n');
  putWord(expected, SV_PINGVAR);
  putWord(expected, 0);
  expected += Bytes("\x01\x03\x01", 3);
  expected.push_back(static_cast<char>(SV_CLIENTSLIST[3].ping));
  expected += Bytes("\x02\x01\x04", 3);
  expected += Bytes("\x03\x64\x19\x19\x00\x02", 6);
  EXPECT_EQ(snaps[0], expected);
}

TEST_F(Protocol, GameInformationCarriesTheMapTextExactlyAtMostEvery15Ticks) {
  UdpPeer peer, other;
  connect(other, "Oth", 3);
  ASSERT_EQ(connect(peer, "Me", 2), 2);
  peer.drain();
  peer.send(inputMessage(0, 0, ACT_INFO, 0, 0, 0));
  GAMECYCLE();
  auto infos = peer.drainCode(MSG_GAMEINFO);
  ASSERT_EQ(infos.size(), 1u);
  Bytes expected(1, 'l');
  putWord(expected, SV_CLIENTSLIST[2].log_ack);
  expected += Bytes("000000\r ArA \rB@ aA\ry 0 o\rAh19A\r ApA ", 36);
  expected.push_back(0);
  putString(expected, "DefMap");
  putString(expected, "Vornax:dm Server");
  expected += Bytes("\x14\x00\x0a\x02", 4);
  expected += Bytes("\x01\x03", 2);
  putString(expected, "Oth");
  expected += Bytes("\x02\x02", 2);
  putString(expected, "Me");
  EXPECT_EQ(infos[0], expected);
  // The action stands until replaced: honoured again 15 ticks later, not before.
  int sent = 1;
  for (int i = 0; i < 30; ++i) {
    ticks(1);
    sent += static_cast<int>(peer.drainCode(MSG_GAMEINFO).size());
    other.drain();
    if (i == 13) {
      EXPECT_EQ(sent, 1);
    }
  }
  EXPECT_EQ(sent, 3);
  EXPECT_TRUE(other.drainCode(MSG_GAMEINFO).empty());
}

}  // namespace
}  // namespace spine
