// Others drawn between snapshots: a stand-in server on loopback sends the
// client's real socket one snapshot per tick, on time, late, out of order or
// not at all, and every frame the place the client draws the other player at
// is read.
#include <map>

#include "client/core/interpolation.h"
#include "client_test.h"

namespace {

constexpr uint16_t kStep = 11;  // the walker's step per tick, eastwards

class InterpolationTest : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    StartUp();
    ConnectFromArgument("127.0.0.1:" + std::to_string(peer.port()));
    SpeakOnly28(peer);
    std::vector<std::string> rows(60, std::string(60, ' '));
    rows[9] = std::string(60, 'A');  // a wall south of the walker's way, for shots to puff on
    LoadMap(MapText(rows));
    awaiting_info = false;
    menu_open = false;
  }
  // Slot 1 is us, standing; slot 2 walks east one step a tick.
  // The walker's place: one step a tick; with holes, the server shows it
  // standing in every fourth tick and two steps on in the next; it stops
  // for good after stop_after steps.
  uint16_t WalkerX(uint16_t tick) const {
    int steps = static_cast<uint16_t>(tick - first_tick);
    if (stop_after >= 0) steps = std::min(steps, stop_after);
    if (holes && steps % 4 == 2 && steps != stop_after) --steps;
    return static_cast<uint16_t>(200 + kStep * steps);
  }
  std::string SnapshotOf(uint16_t tick, uint8_t own_state = PS_ALIVE, uint8_t health = 100,
                         uint8_t walker_state = PS_ALIVE) const {
    // Firing, the walker aims south.
    const uint16_t dir = walker_state == PS_FIRING ? 90 : 0;
    return Snapshot(tick,
                    {{.slot = 1, .state = own_state, .x = 100, .y = 100},
                     {.slot = 2, .state = walker_state, .x = WalkerX(tick), .y = 500, .dir = dir}},
                    {}, OwnBlock{.health = health});
  }
  static const TEffect* Puff() {
    for (const TEffect& e : effects)
      if (e.frame < 4 && e.kind == EFFECT_PUFF) return &e;
    return nullptr;
  }
  // One 30 ms frame after sending the snapshots due now; the drawn x.
  double Frame(const std::vector<uint16_t>& ticks) {
    for (uint16_t t : ticks) peer.sendTo(local_port, SnapshotOf(t));
    headless_ticks += 30;
    ClientFrame();
    return players[2].fx * 64.0;
  }

  UdpPeer peer;
  uint16_t first_tick = 65400;  // the tick counter wraps during the walk
  bool holes = false;
  int stop_after = -1;
};

TEST_F(InterpolationTest, TheWalkerIsDrawnMovingEveryFrameAndNeverBackDespiteJitterLossAndReordering) {
  // Each snapshot is held 0..3 frames, so later ones often overtake earlier
  // ones; one in eleven is lost, one in thirteen comes twice.
  std::map<int, std::vector<uint16_t>> due;
  for (int i = 0; i < 300; ++i) {
    if (i % 11 == 5) continue;
    due[i + (i * 7 + i / 5) % 4].push_back(static_cast<uint16_t>(first_tick + i));
    if (i % 13 == 0) due[i + 1].push_back(static_cast<uint16_t>(first_tick + i));  // duplicated
  }
  double before = 0;
  int moved = 0, still = 0, backwards = 0;
  for (int frame = 0; frame < 300; ++frame) {
    const double drawn = Frame(due[frame]);
    if (frame >= 90) {  // the delay has settled to the jitter seen
      (drawn > before ? moved : drawn == before ? still : backwards)++;
      // Behind the newest snapshot applied, by about the jitter plus a tick.
      EXPECT_LE(drawn, players[2].x);
      EXPECT_GE(drawn, players[2].x - 7 * kStep);
    }
    before = drawn;
  }
  EXPECT_EQ(backwards, 0);
  EXPECT_LE(still, 3);
  EXPECT_GT(RenderDelay(), 1.0);
  EXPECT_LT(RenderDelay(), 6.0);
}

TEST_F(InterpolationTest, ATickWithoutInputIsNotDrawnAsAPauseButAStopIs) {
  holes = true;
  stop_after = 200;
  double before = 0;
  int moved = 0, still = 0, backwards = 0;
  for (int i = 0; i < 260; ++i) {
    const double drawn = Frame({static_cast<uint16_t>(first_tick + i)});
    if (i >= 30 && i < 195) (drawn > before ? moved : drawn == before ? still : backwards)++;
    before = drawn;
  }
  EXPECT_EQ(backwards, 0);
  EXPECT_LE(still, 3);
  EXPECT_EQ(before, 200 + 200 * kStep);  // standing where it stopped
}

TEST_F(InterpolationTest, OnALinkWithoutJitterTheDelayIsAboutTwoTicksAndTheCameraFollowsTheDrawnPlace) {
  Frame({first_tick});
  peer.sendTo(local_port, SnapshotOf(first_tick, PS_SPECTATOR));
  view_slot = 2;  // a spectator following the walker
  for (int i = 1; i < 120; ++i) {
    const uint16_t tick = static_cast<uint16_t>(first_tick + i);
    peer.sendTo(local_port, SnapshotOf(tick, PS_SPECTATOR));
    Frame({});
  }
  EXPECT_GE(RenderDelay(), 1.0);
  EXPECT_LE(RenderDelay(), 2.5);
  EXPECT_EQ(local_x, static_cast<uint16_t>(players[2].fx * 64));
  EXPECT_LT(local_x, players[2].x);
}

TEST_F(InterpolationTest, AnotherPlayersShotStartsWhenAndWhereTheShooterIsDrawn) {
  for (int i = 0; i < 60; ++i) Frame({static_cast<uint16_t>(first_tick + i)});
  const uint16_t shot_tick = static_cast<uint16_t>(first_tick + 60);
  peer.sendTo(local_port, SnapshotOf(shot_tick, PS_ALIVE, 100, PS_FIRING));
  Frame({});
  EXPECT_EQ(Puff(), nullptr) << "traced before the walker is drawn there";
  int frames = 1;
  for (; Puff() == nullptr && frames < 10; ++frames) Frame({static_cast<uint16_t>(shot_tick + frames)});
  ASSERT_NE(Puff(), nullptr);
  EXPECT_LE(frames, 4);
  EXPECT_NEAR(Puff()->x * 64, WalkerX(shot_tick), 1.0);  // straight south from where it fired
  EXPECT_NEAR(players[2].fx * 64, WalkerX(shot_tick), kStep);
}

TEST_F(InterpolationTest, ASnapshotOlderThanTheNewestAppliedIsDropped) {
  for (uint16_t t = 65530; t != 3; ++t) Frame({t});  // across the wrap
  ASSERT_EQ(server_tick, 2);
  const uint16_t newest_x = players[2].x;
  // Older by one and by many ticks, each with other news: nothing of it counts.
  peer.sendTo(local_port, SnapshotOf(1, PS_ALIVE, 40));
  peer.sendTo(local_port, SnapshotOf(65535, PS_ALIVE, 40));
  Frame({});
  EXPECT_EQ(server_tick, 2);
  EXPECT_EQ(players[2].x, newest_x);
  EXPECT_EQ(health, 100);
  // A newer one is applied; so is the tick of a server started again.
  peer.sendTo(local_port, SnapshotOf(3, PS_ALIVE, 40));
  Frame({});
  EXPECT_EQ(server_tick, 3);
  EXPECT_EQ(health, 40);
  peer.sendTo(local_port, SnapshotOf(30000));
  Frame({});
  EXPECT_EQ(server_tick, 30000);
}

}  // namespace
