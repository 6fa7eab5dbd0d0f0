// Snapshots of a full server go out in one batch: every client must receive
// exactly the datagram a single send of the common part and its own tail
// would have given it. Also: running ticks allocates nothing.
#include <memory>

#include "server_test.h"
#include "support/alloc_counter.h"

namespace {

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

class FullServer : public ServerTest {
 protected:
  std::vector<std::unique_ptr<Peer>> peers_;

  void SetUp() override {
    ServerTest::SetUp();
    startServer(manyClients());
    peers_ = connectPeers(MAX_SLOTS, "player");
    ASSERT_EQ(SV_CURCLIENTS, MAX_SLOTS);
    // A mix of every state, with distinct private values.
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
    for (auto& p : peers_) p->drain();
  }
};

// Then ticks with inputs, information requests, catch-up batches, a slot
// that ends and a half-open one replaced allocate nothing.
TEST_F(FullServer, EveryClientReceivesTheCommonPartWithItsOwnTailBotsNoneAndTicksAllocateNothing) {
  SV_CLIENTSLIST[7].is_bot = 1;  // its peer is nobody now
  ++SV_BOTC;
  ticks(1);
  for (auto& p : peers_) {
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
    if (t == 100) peers_[0]->send("g");  // a slot ends and is taken again, half-open at first
    if (t == 101) peers_[0]->send(ConnectMessage("again"));
    if (t == 150) late.send(ConnectMessage("late"));
    const Peer& p = *peers_[t % MAX_SLOTS];
    p.send(InputMessage(Echo(slotOf(p), SV_PINGVAR), 0, ACT_FIRE, 0, 0, 0));
    GAMECYCLE();
  }
  alloc_counter::counting = false;
  EXPECT_EQ(alloc_counter::allocations.load(), 1);  // the probe's
  EXPECT_EQ(slotOf(late), 1);
}

}  // namespace
