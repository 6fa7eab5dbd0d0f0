// What a stranger can make the server do, through real UDP on loopback:
// a version-28 connect opens a half-open slot that is shown nowhere and gets
// one snapshot a second until an input proves its sender received one; the
// order of simultaneous connects on a full server; limits that only proven
// senders spend; unthrottled returns after a map change; the budgets for
// strangers' datagrams and for the bytes sent to them. Random, truncated and
// oversized datagrams from several senders: the server never crashes and its
// world holds together after every tick.
#include <cstring>
#include <memory>
#include <random>

#include "protocol/status_query.h"
#include "server/net/guard.h"
#include "server_test.h"

namespace {

using Strangers = RunningServer;

TEST_F(Strangers, AConnectAloneGetsOneSnapshotASecondIsShownNowhereAndGoesSilently) {
  const uint16_t lines = SV_LOGI;
  Peer forged, player;
  forged.send(ConnectMessage("Forged"));
  GAMECYCLE();
  ASSERT_EQ(slotOf(forged), 1);
  const auto first = forged.drain();
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].substr(3, 3), std::string("\0\0\0", 3));  // countdown 0, no entry: not even its own
  // A connect every tick earns one snapshot a second, nothing more.
  int snapshots = 0;
  for (uint32_t t = 0; t < 2 * GUARD_SECOND; ++t) {
    forged.send(ConnectMessage("Forged"));
    GAMECYCLE();
    snapshots += static_cast<int>(forged.drain().size());
  }
  EXPECT_EQ(snapshots, 2);
  // Not shown to a player either: in its snapshots, game information and the status answer.
  ASSERT_EQ(connect(player, "Player"), 2);
  player.send(InputMessage(0, 0, ACT_INFO, 0, 0, 0));
  GAMECYCLE();
  for (const auto& d : player.drain()) {
    if (d[0] == MSG_SNAPSHOT) {
      EXPECT_EQ(d[5], 1);
    } else if (d[0] == MSG_GAMEINFO) {
      EXPECT_EQ(d.find("Forged"), std::string::npos);
    }
  }
  uint8_t query[STATUS_QUERY_SIZE];
  WriteStatusQuery(7, query);
  player.sendTo(LoopbackAddress(NET_PORT), query, sizeof query);
  GAMECYCLE();
  ServerStatus status;
  const std::string answer = player.receive(1000);
  ASSERT_TRUE(ReadStatusAnswer(reinterpret_cast<const uint8_t*>(answer.data()), answer.size(), status));
  EXPECT_EQ(status.players, 1);
  EXPECT_EQ(status.entry_count, 1);
  // Chat, unknown codes and inputs cut short neither reach the log nor keep the slot.
  forged.send(ChatMessage("hello"));
  forged.send("z");
  forged.send(InputMessage(0, 0, 0, 0, 0, 0).substr(0, 11));
  ticks(100);
  EXPECT_EQ(slotOf(forged), 0);
  EXPECT_EQ(SV_LOGI, lines + 1);  // the player's connect line only
  EXPECT_EQ(consoleText().find("Forged"), std::string::npos);
  ExpectInvariants();
}

TEST_F(Strangers, OnlyAnEchoOfATickSentToTheSlotEntersAndTheFourthWrongOneEndsIt) {
  Peer blind;
  blind.send(ConnectMessage("Blind"));
  GAMECYCLE();
  const uint16_t sent = LastSnapshotTick(blind);
  EXPECT_EQ(static_cast<uint16_t>(sent - SV_CLIENTSLIST[1].tick_offset), SV_PINGVAR);
  // Echoes near the tick sent are as wrong as any other.
  for (int k = 1; k <= 3; ++k) {
    blind.send(InputMessage(static_cast<uint16_t>(sent + k), 0, ACT_NONE, 0, 0, 0));
    GAMECYCLE();
    ASSERT_EQ(SV_CLIENTSLIST[1].half_open, 1) << k;
  }
  blind.send(InputMessage(static_cast<uint16_t>(sent - 1), 0, ACT_NONE, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(slotOf(blind), 0);
  // The older of the last two snapshots' ticks still proves the sender.
  Peer slow;
  slow.send(ConnectMessage("Slow"));
  GAMECYCLE();
  const uint16_t older = LastSnapshotTick(slow);
  size_t snapshots = 0;  // connecting every tick until the next one comes
  for (int t = 0; t < 66 && snapshots == 0; ++t) {
    slow.send(ConnectMessage("again"));
    GAMECYCLE();
    snapshots += slow.drain(MSG_SNAPSHOT).size();
  }
  ASSERT_EQ(snapshots, 1u);
  slow.send(InputMessage(older, 0, ACT_NONE, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(LogLine(), Line({EV_CONNECT, 1, 0}, "Slow"));
  EXPECT_NE(consoleText().find("Slow connected!\n"), std::string::npos);
  ExpectInvariants();
}

TEST_F(Strangers, OnAFullServerTheFirstConnectComesInAHalfOpenSlotIsReplacedAfterASecondAndAFreedSlotTakenAgain) {
  restart(manyClients());
  auto players = connectPeers(MAX_SLOTS - 3);
  auto newcomers = newPeers(4);
  for (int i = 0; i < 4; ++i) newcomers[i]->send(ConnectMessage("new" + std::to_string(i)));
  GAMECYCLE();
  for (int i = 0; i < 3; ++i) EXPECT_NE(slotOf(*newcomers[i]), 0) << i;
  EXPECT_EQ(newcomers[3]->drain(), std::vector<std::string>{"q"});
  // Within a second of their first connect the half-open slots stay.
  ticks(GUARD_SECOND - 2);
  newcomers[3]->send(ConnectMessage("new3"));
  GAMECYCLE();
  EXPECT_EQ(newcomers[3]->drain(), std::vector<std::string>{"q"});
  // Two of them prove themselves; the third is replaced once a second old.
  enter(*newcomers[0]);
  enter(*newcomers[1]);
  newcomers[3]->send(ConnectMessage("new3"));
  GAMECYCLE();
  EXPECT_EQ(slotOf(*newcomers[2]), 0);
  const uint8_t slot = slotOf(*newcomers[3]);
  ASSERT_NE(slot, 0);
  EXPECT_EQ(SV_CLIENTSLIST[slot].half_open, 1);
  EXPECT_EQ(SV_CLIENTSLIST[slotOf(*newcomers[0])].half_open, 0);
  // Once it proves itself too, the server is full of players: refused as well.
  ticks(GUARD_SECOND);
  enter(*newcomers[3]);
  GAMECYCLE();
  ASSERT_EQ(SV_CLIENTSLIST[slot].half_open, 0);
  Peer late;
  late.send(ConnectMessage("late"));
  GAMECYCLE();
  EXPECT_EQ(late.drain(), std::vector<std::string>{"q"});
  // A freed slot is taken again, the lowest first.
  players[4]->send("g");
  GAMECYCLE();
  EXPECT_EQ(connect(late, "late"), 5);
  ExpectInvariants();
}

TEST_F(Strangers, LimitsPerAddressCountOnlySendersThatProvedTheirAddress) {
  restart({"-ipslots", "1"});
  Peer player, second;
  // Forged connects from the player's address do not keep it out.
  for (int i = 0; i < 30; ++i) {
    Peer forged;
    forged.send(ConnectMessage("Forged"));
    GAMECYCLE();
  }
  EXPECT_EQ(consoleText().find("refused"), std::string::npos);
  ticks(100);
  ASSERT_EQ(connect(player, "Player"), 1);
  // A second slot of the address is refused once its sender proves it.
  second.send(ConnectMessage("Second"));
  GAMECYCLE();
  enter(second);
  ticks(2);  // the console line comes with the next tick
  EXPECT_EQ(slotOf(second), 0);
  EXPECT_EQ(second.drain(), std::vector<std::string>{"q"});
  EXPECT_NE(consoleText().find("\n1 connect attempts refused from 127.0.0.1\n"), std::string::npos);
  EXPECT_EQ(SV_CURCLIENTS, 1);
}

TEST_F(Strangers, NewPlayersEnterFourASecondTheRestAtTheirNextInputAfterwards) {
  restart({"-ipslots", "24", "-ipconnects", "255"});
  auto peers = newPeers(6);
  for (int i = 0; i < 6; ++i) {
    peers[i]->send(ConnectMessage("c" + std::to_string(i)));
    if (i % 3 == 2) GAMECYCLE();  // at most four datagrams of one address a tick
  }
  for (auto& p : peers) enter(*p);
  GAMECYCLE();
  int announced = 0;
  for (int s = 1; s <= 6; ++s) announced += SV_CLIENTSLIST[s].in_use && !SV_CLIENTSLIST[s].half_open ? 1 : 0;
  EXPECT_EQ(announced, 4);
  for (uint32_t t = 0; t < GUARD_SECOND; ++t) {
    for (int s = 5; s <= 6; ++s) peers[s - 1]->send(InputMessage(Echo(static_cast<uint8_t>(s), SV_PINGVAR), 0, 0, 0, 0, 0));
    ticks(1);
  }
  for (int s = 1; s <= 6; ++s) EXPECT_EQ(SV_CLIENTSLIST[s].half_open, 0) << "slot " << s;
  ExpectInvariants();
}

TEST_F(Strangers, AfterAMapChangeEveryPlayerComesBackAtOnceUnthrottled) {
  auto peers = newPeers(4);
  for (auto& p : peers) {
    ASSERT_NE(connect(*p, "r"), 0);
    ticks(GUARD_SECOND);
  }
  SV_MAPNEXT();
  EXPECT_EQ(SV_CURCLIENTS, 0);
  for (auto& p : peers) p->send(ConnectMessage("back"));
  GAMECYCLE();
  for (auto& p : peers) enter(*p);
  GAMECYCLE();
  for (int s = 1; s <= 4; ++s) EXPECT_EQ(SV_CLIENTSLIST[s].half_open, 0);
  // Only as many as played: a fifth from the same address is a new player, over the address's limit.
  Peer fifth;
  fifth.send(ConnectMessage("new"));
  GAMECYCLE();
  enter(fifth);
  GAMECYCLE();
  EXPECT_EQ(fifth.drain(), std::vector<std::string>{"q"});
  EXPECT_EQ(slotOf(fifth), 0);
}

TEST_F(Strangers, FloodsFromManyAddressesCrowdOutNeitherAPlayerNorANewConnect) {
  Peer player;
  ASSERT_EQ(connect(player, "Player"), 1);
  std::vector<std::unique_ptr<UdpPeer>> flood;
  for (int i = 0; i < 40; ++i) flood.push_back(std::make_unique<UdpPeer>(("127.0.0." + std::to_string(10 + i)).c_str()));
  for (auto& f : flood) {
    f->sendTo(NET_PORT, "");
    for (int k = 0; k < 8; ++k) f->sendTo(NET_PORT, InputMessage(0, 0, 0, 0, 0, 0));
  }
  Peer newcomer;
  newcomer.send(ConnectMessage("New"));
  player.send(InputMessage(Echo(1, SV_PINGVAR), 123, ACT_NONE, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(SV_CLIENTSLIST[1].dir, 123);
  EXPECT_NE(slotOf(newcomer), 0);
  // Four of each address were kept, and answered only as far as the strangers' byte budget goes.
  size_t answered = 0;
  for (auto& f : flood) answered += f->drain().size();
  EXPECT_EQ(answered, 2 * GUARD_REPLY_BYTES / GUARD_SECOND / (1 + GUARD_HEADER_BYTES));
  ticks(1);
  for (auto& f : flood) EXPECT_TRUE(f->drain().empty());  // the rest was dropped, not delayed
}

TEST_F(Strangers, WhatUnprovenAddressesAreSentStaysWithinTheByteBudget) {
  // Forged connects and blind inputs, four a tick from each of 40
  // addresses, on a full server so every connect is refused.
  restart(manyClients());
  auto players = connectPeers(MAX_SLOTS);
  std::vector<std::unique_ptr<UdpPeer>> forged;
  for (int i = 0; i < 40; ++i) forged.push_back(std::make_unique<UdpPeer>(("127.0.2." + std::to_string(i + 1)).c_str()));
  long bytes = 0;
  for (uint32_t t = 0; t < 3 * GUARD_SECOND; ++t) {
    for (auto& f : forged)
      for (int i = 0; i < 4; ++i) f->sendTo(NET_PORT, i % 2 ? ConnectMessage("x") : InputMessage(0, 0, 0, 0, 0, 0));
    for (auto& p : players) p->drain();
    GAMECYCLE();
    for (auto& f : forged)
      for (const auto& d : f->drain()) bytes += static_cast<long>(d.size() + GUARD_HEADER_BYTES);
  }
  std::printf("160 datagrams a tick from 40 addresses for 3 s: %ld bytes a second sent back with headers\n", bytes / 3);
  EXPECT_GT(bytes, 0);
  EXPECT_LE(bytes, 3 * static_cast<long>(GUARD_UNPROVEN_BYTES) + 2 * GUARD_UNPROVEN_BYTES / GUARD_SECOND);
}

TEST_F(ServerTest, StatusAnswersAreLimitedPerAddressFirstThenTo2000ASecondInAll) {
  auto admitted = [](const std::string& address, int asked) {
    int n = 0;
    for (int i = 0; i < asked; ++i) n += GUARD_ADMITSTATUS(ShortStr(address)) ? 1 : 0;
    return n;
  };
  EXPECT_EQ(admitted("192.0.2.1", 9), 5);
  int crowd = 0;
  for (int a = 0; a < 500; ++a) crowd += admitted("10.0." + std::to_string(a / 250) + "." + std::to_string(a % 250), 6);
  EXPECT_EQ(crowd, 2000 - 5);
  EXPECT_EQ(admitted("192.0.2.2", 1), 0);
  for (uint32_t t = 0; t < GUARD_SECOND; ++t) GUARD_TICK();
  EXPECT_EQ(admitted("192.0.2.2", 1), 1);
}

class RandomTraffic : public ServerTest {
 protected:
  std::mt19937 rng_{12345};

  char anyByte() { return static_cast<char>(rng_()); }

  // Mostly well-formed messages with random fields, some pure noise, some
  // cut short, some far longer than any message.
  std::string randomDatagram() {
    static const uint8_t codes[] = {MSG_CONNECT, MSG_DISCONNECT, MSG_INPUT, MSG_CHAT, MSG_GAMEINFO, MSG_SNAPSHOT, 0, 255};
    std::string b;
    switch (rng_() % 6) {
      case 0:
        b = ConnectMessage(std::string(rng_() % 40, anyByte()), static_cast<uint8_t>(rng_()),
                           rng_() % 4 ? PROTOCOL_VERSION : static_cast<uint8_t>(rng_()));
        break;
      case 1:
      case 2:
        b = InputMessage(static_cast<uint16_t>(rng_()), static_cast<uint16_t>(rng_()),
                         rng_() % 2 ? ACT_INFO : static_cast<uint8_t>(rng_()), static_cast<uint16_t>(rng_()),
                         static_cast<uint16_t>(rng_()), static_cast<uint16_t>(SV_LOGI - rng_() % 20));
        break;
      case 3:
        b = ChatMessage(std::string(rng_() % 256, anyByte()));
        break;
      default:
        b.resize(rng_() % 2 ? 1 + rng_() % 64 : 1 + rng_() % 5200);
        for (auto& ch : b) ch = anyByte();
        if (rng_() % 2) b[0] = static_cast<char>(codes[rng_() % 8]);
        break;
    }
    if (rng_() % 5 == 0) b.resize(rng_() % (b.size() + 1));  // truncated
    return b;
  }
};

TEST_F(RandomTraffic, RealSocketsFromSeveralSenders) {
  startServer({"-bots", "4"});
  auto peers = newPeers(6);
  for (int tick = 0; tick < 1500; ++tick) {
    for (int k = rng_() % 8; k > 0; --k) {
      const std::string d = randomDatagram();
      if (!d.empty()) peers[rng_() % peers.size()]->send(d);
    }
    if (rng_() % 50 == 0) AddLine(Line({EV_SERVERINFO}, "noise"));
    GAMECYCLE();
    ASSERT_EQ(WorldFault(), "") << "tick " << tick;
    if (tick % 64 == 0)
      for (auto& p : peers) p->drain();
  }
}

TEST_F(RandomTraffic, DirectDispatchFromManySenders) {
  startServer({"-bots", "2", "-teams", "1"});
  // Loopback only: replies to these senders really go out.
  static const char* addresses[] = {"127.0.0.1", "127.0.0.2", "127.9.9.9", "", "not an address", "1.2.3"};
  for (int round = 0; round < 200000; ++round) {
    const std::string d = randomDatagram();
    NET_CLEARBUFFER();
    std::memcpy(NET_BUF.receiveArea(), d.data(), std::min<size_t>(d.size(), MessageBuffer::kSize));
    NET_HANDLEDATAGRAM(ShortStr(addresses[rng_() % 6]), static_cast<uint16_t>(1 + rng_() % 4),
                       static_cast<uint16_t>(std::min<size_t>(d.size(), MessageBuffer::kSize)));
    if (round % 7 == 0) GAMECYCLE();
    if (round % 997 == 0) SV_SCORELIMITHIT();
    ASSERT_EQ(WorldFault(), "") << "round " << round;
  }
}

}  // namespace
