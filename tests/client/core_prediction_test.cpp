// Own movement against a server that refuses steps of 12 units or more and
// applies at most 35 inputs per 33 ticks: the client's real socket talks to a
// stand-in server on loopback that keeps the player's position by that rule,
// while the test loses, swaps or delays inputs and snapshots.
#include <cmath>
#include <deque>

#include "client/core/world.h"
#include "client_test.h"

namespace {

struct SentInput {
  uint16_t echo, dir, x, y;
};

SentInput Parse(const std::string& d) {
  auto word = [&](size_t at) { return static_cast<uint16_t>(uint8_t(d[at]) | uint8_t(d[at + 1]) << 8); };
  return {word(1), word(3), word(6), word(8)};
}

// How far an input lies from one walking step (11 units along its direction)
// beyond the input before it: 0 while the walk goes on, the length of the
// jump when the client started again from the server's position.
double Deviation(const SentInput& before, const SentInput& in) {
  const double heading = in.dir * 0.0174532925;
  const int ex = before.x + static_cast<int>(11 * std::cos(heading));
  const int ey = before.y + static_cast<int>(11 * std::sin(heading));
  return std::hypot(in.x - ex, in.y - ey);
}

class PredictionTest : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    StartUp();
    headless_window_active = false;  // no mouse look: the test turns the view
    ConnectFromArgument("127.0.0.1:" + std::to_string(peer.port()));
    SpeakOnly28(peer);
    LoadMap(MapText(std::vector<std::string>(40, std::string(40, ' '))));
    // Connected, alive in an open room at (1000, 1000), facing east.
    SendSnapshot();
    ClientFrame();
    Tick({});
    ClientFrame();
    Tick({});
    awaiting_info = false;
    menu_open = false;
    peer.drain();
    FormKeyDown(cfg.key_forward);
  }

  // The stand-in server's tick: reads the inputs given, in that order, then
  // sends its snapshot. An input that would step 12 units or more is refused;
  // with the budget spent it is ignored altogether.
  void Tick(const std::vector<SentInput>& inputs, bool send = true) {
    ++tick;
    for (const SentInput& in : inputs) {
      if (budget == 0) continue;
      --budget;
      echo = in.echo;
      const int dx = in.x - x, dy = in.y - y;
      if (dx * dx + dy * dy < 144) {
        x = in.x;
        y = in.y;
      }
    }
    if (tick % 33 == 0) budget = 35;
    if (send) SendSnapshot();
  }
  std::string CurrentSnapshot() const {
    const uint8_t ping = static_cast<uint8_t>(tick - echo);
    return Snapshot(tick, {{.slot = 1, .state = PS_ALIVE, .ping = ping, .x = x, .y = y}});
  }
  void SendSnapshot() { peer.sendTo(local_port, CurrentSnapshot()); }
  // One client frame; the input it sent, if any.
  std::vector<SentInput> Frame() {
    ClientFrame();
    std::vector<SentInput> sent;
    for (const std::string& d : peer.drain(MSG_INPUT)) sent.push_back(Parse(d));
    for (const SentInput& in : sent) {
      const bool same_place = have_last && in.x == last.x && in.y == last.y;
      repeats += same_place;
      if (!same_place && have_last && Deviation(last, in) > 2) snaps.push_back(Deviation(last, in));
      run = same_place ? run + 1 : 1;
      longest_run = std::max(longest_run, run);
      last = in;
      have_last = true;
    }
    return sent;
  }
  // Frames and ticks in step, each input read in the next tick.
  void Walk(int frames) {
    for (int i = 0; i < frames; ++i) Tick(Frame());
  }
  // The same on a slower link: each input is read `late` ticks after it went.
  void WalkLate(int frames, size_t late, int lose = -1) {
    while (in_flight.size() < late) in_flight.emplace_back();
    for (int i = 0; i < frames; ++i) {
      in_flight.push_back(Frame());
      if (i == lose) in_flight.back().clear();
      Tick(in_flight.front());
      in_flight.pop_front();
    }
  }
  bool ServerFollows() const { return x == local_x && y == local_y; }

  UdpPeer peer;
  std::deque<std::vector<SentInput>> in_flight;  // inputs on their way to the server
  uint16_t tick = 100, echo = 99, x = 1000, y = 1000;
  int budget = 35;
  std::vector<double> snaps;  // every input that is not one step beyond the one before
  int repeats = 0;            // inputs that sent the place before again
  int run = 0, longest_run = 0;  // inputs at one place in a row
  SentInput last{};
  bool have_last = false;
};

TEST_F(PredictionTest, ALostInputAndALostCopyAreSentOnceMoreAndTheWalkGoesOn) {
  Walk(20);
  EXPECT_TRUE(ServerFollows());
  EXPECT_EQ(local_x, 1000 + 20 * 11);
  Frame();  // lost on the way
  Tick({});
  Walk(10);
  EXPECT_TRUE(snaps.empty());
  EXPECT_EQ(repeats, 1);
  EXPECT_TRUE(ServerFollows());
  EXPECT_EQ(local_x, 1000 + 30 * 11);  // one step held back
  Frame();  // lost
  Tick({});
  Frame();  // the copy, lost too
  Tick({});
  Walk(10);
  EXPECT_TRUE(snaps.empty());
  EXPECT_EQ(repeats, 3);
  EXPECT_TRUE(ServerFollows());
}

TEST_F(PredictionTest, ALostInputOnASlowLinkCostsAFewStepsNotForty) {
  WalkLate(30, 2);
  EXPECT_TRUE(snaps.empty());
  WalkLate(12, 2, 3);
  ASSERT_EQ(snaps.size(), 1u) << "not re-anchored on the server's position";
  EXPECT_LE(snaps[0], 44 + 2 * 11);
  WalkLate(10, 2);
  EXPECT_EQ(snaps.size(), 1u);
  EXPECT_EQ(local_x - x, 2 * 11);  // the server follows, two inputs behind
}

TEST_F(PredictionTest, OnARoundTripOfTwoFramesAFrameWithoutSnapshotNeverStallsTheWalk) {
  // Each input is read a tick after it went; every seventh snapshot comes a
  // frame late, with the next one: that frame has no credit, and later two
  // inputs carry one echo.
  in_flight.emplace_back();
  std::string late;
  longest_run = 0;
  for (int i = 0; i < 150; ++i) {
    in_flight.push_back(Frame());
    Tick(in_flight.front(), false);
    in_flight.pop_front();
    if (!late.empty()) peer.sendTo(local_port, late);
    late = i % 7 == 3 ? CurrentSnapshot() : "";
    if (late.empty()) SendSnapshot();
  }
  EXPECT_LE(longest_run, 2) << "inputs at one place in a row";
  EXPECT_EQ(repeats, 0) << "nothing was lost, yet steps were sent again";
  EXPECT_TRUE(snaps.empty());
  EXPECT_LE(local_x - x, 3 * 11);  // the server follows
}

TEST_F(PredictionTest, ALinkThatTurnsSlowerForGoodHoldsTheWalkForTwoFramesAtMost) {
  Walk(20);  // inputs read within a frame: the resend rule is armed
  longest_run = 0;
  for (int i = 0; i < 30; ++i) {
    in_flight.push_back(Frame());
    if (in_flight.size() > 2) {  // from now on every input is read two ticks later
      Tick(in_flight.front());
      in_flight.pop_front();
    } else {
      Tick({});
    }
  }
  EXPECT_LE(longest_run, 3) << "inputs at one place in a row";
}

TEST_F(PredictionTest, AReorderedPairCostsAtMostTwoShortSnaps) {
  Walk(10);
  view_angle = 30;  // a turn, so the positions after the swap differ
  const std::vector<SentInput> first = Frame();
  Tick({});  // the first input is late
  const std::vector<SentInput> second = Frame();
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  Tick(second);
  std::vector<SentInput> late = first;
  for (const SentInput& in : Frame()) late.push_back(in);
  Tick(late);
  Walk(12);
  EXPECT_LE(snaps.size(), 2u);
  for (double s : snaps) EXPECT_LE(s, 44);
  EXPECT_TRUE(ServerFollows()) << local_x << "," << local_y << " vs " << x << "," << y;
}

TEST_F(PredictionTest, FramesFasterThanTicksStayWithinTheBudgetAndNeverStepTooFar) {
  Walk(5);
  budget = 35;
  tick = 131;  // the next tick opens a window of 33
  int sent = 0;
  for (int t = 0; t < 33; ++t) {
    // A busy server: three client frames for each of its ticks.
    std::vector<SentInput> inputs;
    for (int f = 0; f < 3; ++f) {
      for (const SentInput& in : Frame()) inputs.push_back(in);
    }
    sent += static_cast<int>(inputs.size());
    Tick(inputs);
  }
  EXPECT_LE(sent, 35);
  EXPECT_GE(sent, 33);
  EXPECT_TRUE(snaps.empty());
  Walk(3);
  EXPECT_TRUE(ServerFollows());
}

TEST_F(PredictionTest, AnIgnoredInputIsNoticedOnceTheServerReadsTheNext) {
  Walk(10);
  budget = 0;  // spent: the next input is ignored whole, echo and all
  Tick(Frame());
  budget = 35;
  Walk(3);
  ASSERT_EQ(snaps.size(), 1u);
  EXPECT_LE(snaps[0], 44);
  Walk(5);
  EXPECT_TRUE(ServerFollows());
}

TEST_F(PredictionTest, LateButValidConfirmationsStand) {
  Walk(10);
  // A slow link: the server reads every input four ticks late, so its
  // position trails by four steps and confirms old predictions.
  WalkLate(20, 4);
  EXPECT_TRUE(snaps.empty());
  EXPECT_EQ(repeats, 0);

  // A snapshot overtaken by the next one shows an older place: it stands too.
  struct ServerState {
    uint16_t tick, x, echo;
  };
  const ServerState before{tick, x, echo};
  in_flight.push_back(Frame());
  Tick(in_flight.front());  // the newer snapshot goes out
  in_flight.pop_front();
  const ServerState after{tick, x, echo};
  tick = before.tick;
  x = before.x;
  echo = before.echo;
  SendSnapshot();  // and the older one arrives after it
  tick = after.tick;
  x = after.x;
  echo = after.echo;
  Frame();
  EXPECT_TRUE(snaps.empty());
  EXPECT_EQ(repeats, 0);
}

}  // namespace
