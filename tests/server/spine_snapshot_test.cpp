// Snapshots of a full server go out in one batch: every client must receive
// exactly the datagram a single send of the common part and its own tail
// would have given it. Also: running ticks allocates nothing.
#include "spine_helpers.h"

#include <memory>

#include "alloc_counter.h"

using alloc_counter::allocations;
using alloc_counter::counting;

namespace spine {
namespace {

// The snapshot as its layout describes it, written independently of the server.
Bytes expectedSnapshot(uint8_t receiver) {
  Bytes b(1, 'n');
  putWord(b, SV_PINGVAR);
  putWord(b, SV_SCOREBOARD);
  b.push_back(static_cast<char>(SV_CURCLIENTS));
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& c = SV_CLIENTSLIST[s];
    if (!c.in_use) continue;
    uint8_t state = !c.joined ? 1 : c.health == 0 ? 2 : c.fire_anim == 0 ? 3 : 4;
    b.push_back(static_cast<char>(s));
    b.push_back(static_cast<char>(state));
    b.push_back(static_cast<char>(c.ping));
    if (state >= 2) b.push_back(static_cast<char>(c.frags));
    if (state >= 3) {
      putWord(b, c.x);
      putWord(b, c.y);
      putWord(b, c.dir);
    }
    if (state == 4) b.push_back(static_cast<char>(c.gun));
  }
  Bytes items;
  for (int i = 1; i <= MAX_ITEMS; ++i)
    if (SV_MAP.items[i].kind && SV_MAP.items[i].respawn == 0) items.push_back(static_cast<char>(i));
  b.push_back(static_cast<char>(items.size()));
  b += items;
  const ClientRecord& r = SV_CLIENTSLIST[receiver];
  for (uint8_t v : {receiver, r.health, r.armor, r.ammo[1], r.ammo[2], r.gun}) b.push_back(static_cast<char>(v));
  return b;
}

class FullServer : public ServerTest {
 protected:
  std::vector<std::unique_ptr<UdpPeer>> peers_;

  void SetUp() override {
    ServerTest::SetUp();
    startServer();
    for (int i = 0; i < MAX_SLOTS; ++i) {
      peers_.push_back(std::make_unique<UdpPeer>());
      peers_.back()->send(connectMessage("player" + std::to_string(i), static_cast<uint8_t>(i)));
    }
    GAMECYCLE();
    ASSERT_EQ(SV_CURCLIENTS, MAX_SLOTS);
    // A mix of every state, with distinct private values.
    for (int s = 1; s <= MAX_SLOTS; ++s) {
      ClientRecord& c = SV_CLIENTSLIST[s];
      c.joined = s % 4 != 0;
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
    SV_CURPLAYERS = static_cast<uint8_t>(countSlots().players);
    SV_MAP.items[2].respawn = 50;
  }
  void keepAlive() {
    for (int s = 1; s <= MAX_SLOTS; ++s) SV_CLIENTSLIST[s].idle = 0;
  }
};

TEST_F(FullServer, EveryClientReceivesTheCommonPartWithItsOwnTail) {
  for (auto& p : peers_) p->drain();
  ticks(1);
  for (auto& p : peers_) {
    uint8_t slot = slotOf(*p);
    ASSERT_NE(slot, 0);
    auto snaps = p->drainCode(MSG_SNAPSHOT);
    ASSERT_EQ(snaps.size(), 1u) << "slot " << int(slot);
    EXPECT_EQ(snaps[0], expectedSnapshot(slot)) << "slot " << int(slot);
  }
}

TEST_F(FullServer, BotsGetNoSnapshotAndStrangersNoTail) {
  ClientRecord& bot = SV_CLIENTSLIST[7];
  bot.is_bot = 1;
  ++SV_BOTC;
  for (auto& p : peers_) p->drain();
  ticks(1);
  for (auto& p : peers_) {
    uint8_t slot = slotOf(*p);
    size_t expected = slot == 0 ? 0u : 1u;  // slot 7 is a bot now, its peer is nobody
    EXPECT_EQ(p->drainCode(MSG_SNAPSHOT).size(), expected);
  }
}

TEST_F(FullServer, TicksAllocateNothing) {
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    SV_CLIENTSLIST[s].log_ack = static_cast<uint16_t>(SV_LOGI - 30);
    SV_CLIENTSLIST[s].action = s % 2 ? ACT_INFO : ACT_NONE;
  }
  counting = true;
  int* volatile probe = new int(1);  // the counter itself works
  delete probe;
  counting = false;
  ASSERT_EQ(allocations.load(), 1);
  allocations = 0;
  counting = true;
  for (int t = 0; t < 200; ++t) {
    keepAlive();
    peers_[t % MAX_SLOTS]->send(inputMessage(SV_PINGVAR, 0, ACT_FIRE, 0, 0, 0));
    GAMECYCLE();
  }
  counting = false;
  EXPECT_EQ(allocations.load(), 0);
}

}  // namespace
}  // namespace spine
