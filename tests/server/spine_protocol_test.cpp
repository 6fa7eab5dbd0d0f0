// The wire protocol through real UDP on loopback: connects, input, chat,
// game information and snapshots. Snapshots of a full server go out in one
// batch: every client must receive exactly the datagram a single send of the
// common part and its own tail would have given it; and ticks allocate nothing.
#include <memory>

#include "server_test.h"
#include "support/alloc_counter.h"

namespace {

using Protocol = RunningServer;

TEST_F(Protocol, ConnectTakesTheLowestSlotIsAnsweredOnlyBySnapshotsNotRepeatedAndPerPort) {
  Peer peer;
  ASSERT_EQ(connect(peer, "Ann", 6), 1);
  const ClientRecord& c = SV_CLIENTSLIST[1];
  EXPECT_EQ(c.name, "Ann");
  EXPECT_EQ(c.team, 2);
  EXPECT_EQ(c.joined, 0);
  EXPECT_EQ(c.input_budget, 32);  // 33 at the connect, one spent on the first input
  EXPECT_EQ(c.health, 100);
  EXPECT_EQ(LogLine(), Line({EV_CONNECT, 1, 2}, "Ann"));
  EXPECT_NE(consoleText().find("Ann connected!\n"), std::string::npos);
  for (auto& d : peer.drain()) EXPECT_TRUE(d[0] == MSG_SNAPSHOT || d[0] == MSG_LOG);
  // A second connect from the same sender changes nothing.
  const uint16_t lines = SV_LOGI;
  peer.send(ConnectMessage("Second", 1));
  GAMECYCLE();
  EXPECT_EQ(SV_CURCLIENTS, 1);
  EXPECT_EQ(c.name, "Ann");
  EXPECT_EQ(SV_LOGI, lines);
  // Another port behind the same address is another client, and leaves alone.
  Peer other;
  ASSERT_EQ(connect(other, "B"), 2);
  other.send("g");
  GAMECYCLE();
  EXPECT_EQ(SV_CLIENTSLIST[1].in_use, 1);
  EXPECT_EQ(SV_CLIENTSLIST[2].in_use, 0);
  EXPECT_EQ(LogLine(), Line({EV_DISCONNECT, 2}));
  peer.drain();
  other.drain();
  ticks(1);
  EXPECT_EQ(peer.drain(MSG_SNAPSHOT).size(), 1u);
  EXPECT_TRUE(other.drain().empty());
  ExpectInvariants();
}

TEST_F(Protocol, NamesAreCutTo20AndTaggedInTeamPlay) {
  restart(manyClients());
  SV_TEAMPLAY = 7;
  Peer bob, longname, plain, empty;
  ASSERT_EQ(connect(bob, "Bob", 5), 1);
  EXPECT_EQ(SV_CLIENTSLIST[1].name, "[MU]Bob");
  EXPECT_EQ(SV_CLIENTSLIST[1].team, 1);
  EXPECT_EQ(LogLine(), Line({EV_CONNECT, 1, 1}, "[MU]Bob"));
  ASSERT_EQ(connect(longname, std::string(30, 'L'), 3), 2);
  EXPECT_EQ(SV_CLIENTSLIST[2].name, "[OF]" + std::string(16, 'L'));
  SV_TEAMPLAY = 0;
  connect(plain, std::string(30, 'P'));
  EXPECT_EQ(SV_CLIENTSLIST[3].name, std::string(20, 'P'));
  empty.send("f\x1c");  // no name, no team
  GAMECYCLE();
  EXPECT_TRUE(SV_CLIENTSLIST[4].name.empty());
  EXPECT_EQ(SV_CLIENTSLIST[4].team, 0);
}

TEST_F(Protocol, TheTwelveByteInputExampleIsStoredAndOnlyAcknowledgementsInRangeCount) {
  const std::string example("\x68\x2C\x01\x5A\x00\x0A\xE8\x03\xD0\x07\x07\x00", 12);
  ASSERT_EQ(InputMessage(300, 90, ACT_FIRE, 1000, 2000, 7), example);
  for (int i = 0; i < 10; ++i) AddLine(Line({EV_SERVERINFO}, "filler"));
  Peer peer;
  ASSERT_EQ(connect(peer, "In"), 1);
  ClientRecord& c = SV_CLIENTSLIST[1];
  c.log_ack = 5;
  c.ping_tick = static_cast<uint16_t>(300 - c.tick_offset - 1);  // as if the input before echoed the tick before
  peer.send(example);
  GAMECYCLE();
  EXPECT_EQ(c.ping_tick, static_cast<uint16_t>(300 - c.tick_offset));  // the slot's offset taken off
  EXPECT_EQ(c.dir, 90);
  EXPECT_EQ(c.action, ACT_FIRE);
  EXPECT_EQ(c.want_x, 1000);
  EXPECT_EQ(c.want_y, 2000);
  EXPECT_EQ(c.log_ack, 7);
  // Lower than the stored one or higher than the newest line: ignored, the rest still counts.
  for (uint16_t ack : {uint16_t(4), static_cast<uint16_t>(SV_LOGI + 1)}) {
    peer.send(InputMessage(301, ack, ACT_NONE, 1, 2, ack));
    GAMECYCLE();
    EXPECT_EQ(c.log_ack, 7);
    EXPECT_EQ(c.dir, ack);
  }
  peer.send(InputMessage(303, 182, ACT_NONE, 1, 2, SV_LOGI));
  GAMECYCLE();
  EXPECT_EQ(c.log_ack, SV_LOGI);
}

TEST_F(Protocol, AnInputEchoingAnOlderTickThanOneAppliedIsIgnored) {
  Peer peer;
  ASSERT_EQ(connect(peer, "Late"), 1);
  const ClientRecord& c = SV_CLIENTSLIST[1];
  // Echo and heading of each input, and the heading applied after it: the
  // 499 was overtaken on the way; the tick counter wraps at 65536.
  const uint16_t steps[][3] = {{500, 10, 10},   {499, 20, 10},   {500, 30, 30},  {30000, 40, 40},
                               {60000, 50, 50}, {65530, 60, 60}, {3, 70, 70},    {65531, 80, 70}};
  for (const auto& step : steps) {
    peer.send(InputMessage(Echo(1, step[0]), step[1], ACT_NONE, 0, 0, 0));
    GAMECYCLE();
    EXPECT_EQ(c.dir, step[2]) << "echo " << step[0];
  }
}

TEST_F(Protocol, InputBudgetLimitsAppliedMessagesPerWindow) {
  restart(manyClients());
  Peer peer;
  ASSERT_EQ(connect(peer, "Fast"), 1);
  for (uint16_t i = 1; i <= 40; ++i) peer.send(InputMessage(Echo(1, SV_PINGVAR), i, 0, 0, 0, 0));
  GAMECYCLE();
  ClientRecord& c = SV_CLIENTSLIST[1];
  EXPECT_EQ(c.dir, 32);  // 33 at the connect, one spent by the entering input
  EXPECT_EQ(c.input_budget, 0);
  while (SV_PINGVAR % 33 != 0) ticks(1);
  EXPECT_EQ(c.input_budget, 35);
  for (uint16_t i = 1; i <= 40; ++i) peer.send(InputMessage(Echo(1, SV_PINGVAR), static_cast<uint16_t>(100 + i), 0, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(c.dir, 135);
}

TEST_F(Protocol, ChatWaitsSixtyTicksBetweenLines) {
  Peer peer;
  connect(peer, "Ann");
  peer.send(ChatMessage("hi"));
  peer.send(ChatMessage("again"));
  GAMECYCLE();
  EXPECT_EQ(LogLine(), Line({EV_CHAT, 1}, "hi"));
  EXPECT_NE(consoleText().find("Ann: hi\n"), std::string::npos);
  const uint16_t lines = SV_LOGI;
  for (int i = 0; i < 59; ++i) {
    peer.send(InputMessage(Echo(slotOf(peer), SV_PINGVAR), 0, 0, 0, 0, SV_LOGI));
    if (i == 30) peer.send(ChatMessage("too soon"));
    GAMECYCLE();
  }
  EXPECT_EQ(SV_LOGI, lines);
  peer.send(ChatMessage(std::string(255, 'c')));
  GAMECYCLE();
  EXPECT_EQ(SV_LOGI, lines + 1);
  EXPECT_EQ(SV_LOG[0].len, 255);  // the text is cut to 253
}

TEST_F(Protocol, SnapshotOfOneSpectator) {
  TempDir dir(true);
  WriteMap("four", "000000\n1234@\n");
  ResetServer();
  std::vector<std::string> args = manyClients();
  args.insert(args.end(), {"-map", "four"});
  startServer(args);
  Peer p1, p2, p3;
  p1.send(ConnectMessage("one"));
  p2.send(ConnectMessage("two"));
  p3.send(ConnectMessage("three"));
  GAMECYCLE();
  // A half-open slot is in no snapshot, not even its own.
  ASSERT_EQ(p3.drain(MSG_SNAPSHOT).at(0).substr(3, 3), std::string("\0\0\0", 3));
  p1.send("g");
  p2.send("g");
  p3.send(InputMessage(Echo(3, SV_PINGVAR), 0, ACT_NONE, 0, 0, 0));
  SV_MAP.items[2].respawn = 100;
  SV_MAP.items[3].respawn = 100;
  GAMECYCLE();
  ASSERT_EQ(slotOf(p3), 3);
  const std::string expected = Datagram()
                                   .byte(MSG_SNAPSHOT).word(Echo(3, SV_PINGVAR)).word(0)
                                   .byte(1).byte(3).byte(PS_SPECTATOR).byte(SV_CLIENTSLIST[3].ping)
                                   .byte(2).byte(1).byte(4)
                                   .byte(3).byte(100).byte(25).byte(25).byte(0).byte(2);
  EXPECT_EQ(p3.drain(MSG_SNAPSHOT), std::vector<std::string>{expected});
}

TEST_F(Protocol, GameInformationCarriesTheMapTextExactlyAtMostEvery15Ticks) {
  Peer peer, other;
  connect(other, "Oth", 3);
  ASSERT_EQ(connect(peer, "Me", 2), 2);
  peer.drain();
  peer.send(InputMessage(Echo(2, SV_PINGVAR), 0, ACT_INFO, 0, 0, 0));
  GAMECYCLE();
  const std::string expected = Datagram()
                                   .byte(MSG_GAMEINFO).word(SV_CLIENTSLIST[2].log_ack)
                                   .raw(std::string("000000\r ArA \rB@ aA\ry 0 o\rAh19A\r ApA \0", 37))
                                   .str("DefMap").str("Vornax:dm Server")
                                   .byte(20).byte(0).byte(10).byte(2)
                                   .byte(1).byte(3).str("Oth")
                                   .byte(2).byte(2).str("Me");
  EXPECT_EQ(peer.drain(MSG_GAMEINFO), std::vector<std::string>{expected});
  // The action stands until replaced: honoured again 15 ticks later, not before.
  int sent = 1;
  for (int i = 0; i < 30; ++i) {
    ticks(1);
    sent += static_cast<int>(peer.drain(MSG_GAMEINFO).size());
    if (i == 13) {
      EXPECT_EQ(sent, 1);
    }
  }
  EXPECT_EQ(sent, 3);
  EXPECT_TRUE(other.drain(MSG_GAMEINFO).empty());
}

// The snapshot as its layout describes it, written independently of the server.
std::string ExpectedSnapshot(uint8_t receiver) {
  Datagram b;
  b.byte(MSG_SNAPSHOT).word(Echo(receiver, SV_PINGVAR)).word(SV_SCOREBOARD).byte(SV_CURCLIENTS);
  for (uint8_t s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& c = SV_CLIENTSLIST[s];
    if (!c.in_use) continue;
    const uint8_t state = !c.joined ? PS_SPECTATOR : c.health == 0 ? PS_DEAD : c.fire_anim == 0 ? PS_ALIVE : PS_FIRING;
    b.byte(s).byte(state).byte(c.ping);
    if (state >= PS_DEAD) b.byte(c.frags);
    if (state >= PS_ALIVE) b.word(c.x).word(c.y).word(c.dir);
    if (state == PS_FIRING) b.byte(c.gun);
  }
  std::string items;
  for (int i = 1; i <= MAX_ITEMS; ++i)
    if (SV_MAP.items[i].kind && SV_MAP.items[i].respawn == 0) items.push_back(static_cast<char>(i));
  b.str(items);
  const ClientRecord& r = SV_CLIENTSLIST[receiver];
  return b.byte(receiver).byte(r.health).byte(r.armor).byte(r.ammo[1]).byte(r.ammo[2]).byte(r.gun);
}

// Snapshots of a full server, every state mixed with distinct private values
// and a bot among them; then ticks with inputs, information requests,
// catch-up batches, a slot that ends and a half-open one replaced allocate nothing.
TEST_F(Protocol, AFullServersSnapshotsAreTheCommonPartWithEachOwnTailBotsNoneAndTicksAllocateNothing) {
  restart(manyClients());
  auto peers = connectPeers(MAX_SLOTS, "player");
  ASSERT_EQ(SV_CURCLIENTS, MAX_SLOTS);
  SV_CURPLAYERS = 0;
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    ClientRecord& c = SV_CLIENTSLIST[s];
    c.joined = s % 4 != 0;
    SV_CURPLAYERS += c.joined;
    c.health = s % 4 == 1 ? 0 : static_cast<uint8_t>(50 + s);
    c.fire_anim = s % 4 == 3 ? 9 : 0;
    c.wait = 20;
    c.frags = static_cast<uint8_t>(s * 3);
    c.x = static_cast<uint16_t>(100 * s);
    c.y = static_cast<uint16_t>(4000 - 100 * s);
    c.dir = static_cast<uint16_t>(15 * s);
    c.gun = static_cast<uint8_t>(1 + s % 5);
    c.armor = static_cast<uint8_t>(s);
    c.ammo[1] = static_cast<uint8_t>(200 - s);
    c.ammo[2] = static_cast<uint8_t>(s);
  }
  SV_MAP.items[2].respawn = 50;
  SV_CLIENTSLIST[7].is_bot = 1;  // its peer is nobody now
  ++SV_BOTC;
  for (auto& p : peers) p->drain();
  ticks(1);
  for (auto& p : peers) {
    const uint8_t slot = slotOf(*p);
    SCOPED_TRACE("slot " + std::to_string(slot));
    EXPECT_EQ(p->drain(MSG_SNAPSHOT), slot ? std::vector<std::string>{ExpectedSnapshot(slot)} : std::vector<std::string>{});
  }
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    SV_CLIENTSLIST[s].log_ack = static_cast<uint16_t>(SV_LOGI - 30);
    SV_CLIENTSLIST[s].action = s % 2 ? ACT_INFO : ACT_NONE;
  }
  Peer late;  // takes the slot of a connect whose sender proved nothing for a second
  alloc_counter::counting = true;
  int* volatile probe = new int(1);  // the counter itself works
  delete probe;
  for (int t = 0; t < 200; ++t) {
    for (int s = 1; s <= MAX_SLOTS; ++s) SV_CLIENTSLIST[s].idle = 0;
    if (t == 100) peers[0]->send("g");  // a slot ends and is taken again, half-open at first
    if (t == 101) peers[0]->send(ConnectMessage("again"));
    if (t == 150) late.send(ConnectMessage("late"));
    const Peer& p = *peers[t % MAX_SLOTS];
    p.send(InputMessage(Echo(slotOf(p), SV_PINGVAR), 0, ACT_FIRE, 0, 0, 0));
    GAMECYCLE();
  }
  alloc_counter::counting = false;
  EXPECT_EQ(alloc_counter::allocations.load(), 1);  // the probe's
  EXPECT_EQ(slotOf(late), 1);
}

}  // namespace
