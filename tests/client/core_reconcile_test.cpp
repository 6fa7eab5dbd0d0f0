// Own movement in version 29 against a stand-in server that applies the
// numbered inputs as ours does (each number once, in order, a step of less
// than 12 units or none): one input a frame with the three before it, loss
// and reordering invisible, a disagreement and a respawn taken over at once.
#include <cstring>

#include "client/core/reconcile.h"
#include "client_test.h"

namespace {

constexpr uint64_t kToken = 0x5A5A123412345A5AULL;

class ReconcileTest : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    StartUp();
    headless_window_active = false;  // no mouse look: the walk goes east
    ConnectFromArgument("127.0.0.1:" + std::to_string(server.port()));
    Handshake29(server, kToken);
    LoadMap(MapText(std::vector<std::string>(40, std::string(40, ' '))));
    awaiting_info = false;
    menu_open = false;
    Snapshot();
    ClientFrame();
    server.drain();
    FormKeyDown(cfg.key_forward);
  }
  // The server's tick: applies the inputs of these datagrams, then sends the
  // snapshot. `stop_x`: a place further east the server does not let the
  // player pass (something only it knows of).
  void Tick(const std::vector<std::string>& datagrams) {
    for (const std::string& d : datagrams) Apply(d);
    Snapshot();
  }
  void Apply(const std::string& d) {
    MessageBuffer b;
    b.clear();
    std::memcpy(b.receiveArea(), d.data(), d.size());
    b.received(static_cast<uint16_t>(d.size()));
    Input29 m;
    ASSERT_EQ(b.readByte(), MSG_INPUT);
    ASSERT_EQ(b.readQuad(), kToken);
    ASSERT_TRUE(ReadInput29(b, m));
    ++datagrams_seen;
    for (int k = m.count - 1; k >= 0; --k) {
      const uint16_t number = static_cast<uint16_t>(m.sequence - k);
      if (static_cast<int16_t>(number - applied) != 1) continue;  // applied already, or a gap
      applied = number;
      const InputFrame& f = m.frames[k];
      last_want_x = f.want_x;
      const int dx = f.want_x - x, dy = f.want_y - y;
      if (dx * dx + dy * dy < 144 && f.want_x <= stop_x) {
        x = f.want_x;
        y = f.want_y;
      }
    }
  }
  void Snapshot(uint8_t state = PS_ALIVE) {
    server.sendTo(local_port, Snapshot29(kToken, ++tick, {{.slot = 1, .state = state, .x = x, .y = y}}, {}, applied));
  }
  // One client frame; the datagrams it sent.
  std::vector<std::string> Frame() {
    headless_ticks += 30;
    ClientFrame();
    return server.drain(MSG_INPUT);
  }

  UdpPeer server;
  uint16_t x = 1000, y = 1000, tick = 100, applied = 0, stop_x = 60000, last_want_x = 0;
  int datagrams_seen = 0;
};

TEST_F(ReconcileTest, OneNumberedInputAFrameAndLossOrReorderingCostNothingVisible) {
  std::vector<std::string> late;  // held back one frame: overtaken by the next
  for (int frame = 1; frame <= 60; ++frame) {
    const uint16_t before = local_x;
    std::vector<std::string> sent = Frame();
    ASSERT_EQ(sent.size(), 1u) << "one input a frame, snapshot or not";
    EXPECT_EQ(local_x, before + 11) << "frame " << frame << ": the walk never stops nor jumps back";
    std::vector<std::string> arrive = late;
    late.clear();
    if (frame % 5 == 0) continue;               // lost: the next three carry it
    if (frame % 7 == 0) late = sent;             // overtaken
    else arrive.insert(arrive.end(), sent.begin(), sent.end());
    Tick(arrive);
  }
  EXPECT_GE(applied, 57) << "every input reached the server, in order";
  EXPECT_EQ(x, last_want_x) << "and every step was taken";
  EXPECT_GE(x, 1000 + 11 * 57);
  EXPECT_LE(InputsInFlight(), 3);
  // Stopping: the inputs still on the way bring the server where the
  // prediction already is, and nothing walks on.
  FormKeyUp(cfg.key_forward);
  const uint16_t stopped = local_x;
  std::vector<std::vector<std::string>> on_the_way;  // three frames of round trip
  for (int frame = 0; frame < 12; ++frame) {
    on_the_way.push_back(Frame());
    if (on_the_way.size() > 3) {
      Tick(on_the_way.front());
      on_the_way.erase(on_the_way.begin());
    }
  }
  EXPECT_EQ(local_x, stopped);
  EXPECT_EQ(x, stopped);
}

TEST_F(ReconcileTest, ADisagreementAndARespawnAreTakenOverAtOnce) {
  stop_x = 1000 + 11 * 5;  // the server lets the player go five steps only
  for (int frame = 1; frame <= 12; ++frame) Tick(Frame());
  Frame();
  // The last snapshot showed the player held at the stop with every input
  // applied: the prediction stands there too, plus the frame's own step.
  EXPECT_EQ(x, stop_x);
  EXPECT_LE(local_x, stop_x + 2 * 11) << "no longer walking on where the server did not";

  // Killed and back at a spawn point far away: the steps kept were made in
  // the old life and are not made again.
  stop_x = 60000;
  Snapshot(PS_DEAD);
  Frame();
  x = 200;
  y = 300;
  Snapshot(PS_ALIVE);
  Frame();
  EXPECT_NEAR(local_x, 200, 11);
  EXPECT_EQ(local_y, 300);
}

}  // namespace
