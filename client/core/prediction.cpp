// The own-position history with what each entry was sent with, the check
// that the server still follows, re-anchoring, and input pacing.
#include "client/core/prediction.h"

#include <algorithm>
#include <cstring>

#include "client/core/client_state.h"
#include "client/core/reconcile.h"
#include "client/core/world.h"

namespace {

// A jump of the server's tick counter this large is a new server or a wrap,
// not time that passed: the count starts again from it.
constexpr int kTickResync = 200;

// Beside history_x and history_y, entry by entry: whether an input carried
// the position, and the tick that input echoed.
bool history_sent[HISTORY_LEN];
uint16_t history_echo[HISTORY_LEN];
uint32_t history_frame[HISTORY_LEN];  // the frame the input went out in

// Frames of this connection so far, and since an input last went out.
uint32_t frame_number = 0;
int frames_since_input = 0;

struct FrameStep {
  bool pending = false;  // MoveLocal stepped in this frame
  int code = 0;
  uint16_t angle = 0;
  uint16_t from_x = 0, from_y = 0;  // where the step started
};
FrameStep frame_step;

// What the newest snapshot of this frame said the server read last.
bool read_noted = false;
uint16_t read_echo = 0;
bool read_tick_known = false;
uint16_t read_tick = 0;
// Frames between the input the server read last and the snapshot saying
// so, at the latest snapshots: their smallest is the usual delay.
constexpr int kLagMemory = 16;
uint8_t recent_lags[kLagMemory];
int lags_noted = 0;
int frames_since_resend = 0;
bool resent_twice = false;  // the copy went once more; no third in a row
// Resending again within so many frames would stall the walk when the
// delay has grown for good rather than an input being lost.
constexpr int kResendSpacing = 4;

bool tick_known = false;
uint16_t newest_tick = 0;
uint8_t held_action = ACT_NONE;
int input_credit = 0;

// Index of the newest entry holding (x, y), -1 when none does.
int NewestEntryAt(uint16_t x, uint16_t y) {
  for (int i = HISTORY_LEN - 1; i >= 0; --i) {
    if (history_x[i] == x && history_y[i] == y) return i;
  }
  return -1;
}

// Index of the oldest entry sent with this echo, -1 when none was.
int OldestEntrySentWith(uint16_t echo) {
  for (int i = 0; i < HISTORY_LEN; ++i) {
    if (history_sent[i] && history_echo[i] == echo) return i;
  }
  return -1;
}

}  // namespace

void ResetPrediction() {
  ResetReconcile();
  frame_step = FrameStep{};
  read_noted = read_tick_known = false;
  lags_noted = 0;
  frames_since_resend = 0;
  resent_twice = false;
  tick_known = false;
  newest_tick = 0;
  held_action = ACT_NONE;
  input_credit = 0;
  frame_number = 0;
  frames_since_input = 0;
  std::memset(history_sent, 0, sizeof history_sent);
  std::memset(history_echo, 0, sizeof history_echo);
  std::memset(history_frame, 0, sizeof history_frame);
}

void PushHistory(uint16_t x, uint16_t y) {
  std::memmove(history_x, history_x + 1, sizeof history_x - sizeof history_x[0]);
  std::memmove(history_y, history_y + 1, sizeof history_y - sizeof history_y[0]);
  std::memmove(history_sent, history_sent + 1, sizeof history_sent - sizeof history_sent[0]);
  std::memmove(history_echo, history_echo + 1, sizeof history_echo - sizeof history_echo[0]);
  std::memmove(history_frame, history_frame + 1, sizeof history_frame - sizeof history_frame[0]);
  history_x[HISTORY_LEN - 1] = x;
  history_y[HISTORY_LEN - 1] = y;
  history_sent[HISTORY_LEN - 1] = false;
  history_echo[HISTORY_LEN - 1] = 0;
}

void ClearHistory() {
  std::memset(history_x, 0, sizeof history_x);
  std::memset(history_y, 0, sizeof history_y);
  std::memset(history_sent, 0, sizeof history_sent);
  std::memset(history_echo, 0, sizeof history_echo);
}

bool InHistory(uint16_t x, uint16_t y) { return NewestEntryAt(x, y) >= 0; }

void BeginFrameStep(int code, uint16_t angle) {
  frame_step = FrameStep{true, code, angle, local_x, local_y};
}

bool ServerStoppedFollowing(uint16_t x, uint16_t y, uint16_t echo) {
  const int confirmed = NewestEntryAt(x, y);
  const int read = OldestEntrySentWith(echo);
  // Without both entries nothing is known; a position at or after the input
  // the server read is the server following (late snapshots included).
  return confirmed >= 0 && read >= 0 && confirmed < read;
}

void Reanchor(uint16_t x, uint16_t y, uint16_t echo) {
  ClearHistory();
  view_slot = my_slot;
  local_x = x;
  local_y = y;
  PushHistory(local_x, local_y);
  // The server stands here having read the input that echoed `echo`: the
  // entry counts as that input, so a lost first step from here is noticed
  // like any other.
  history_sent[HISTORY_LEN - 1] = true;
  history_echo[HISTORY_LEN - 1] = echo;
  history_frame[HISTORY_LEN - 1] = frame_number - 1;
  if (!frame_step.pending) return;
  frame_step.from_x = local_x;
  frame_step.from_y = local_y;
  ApplyStep(frame_step.code, frame_step.angle);
  PushHistory(local_x, local_y);
}

void NoteServerRead(uint16_t echo) {
  // A snapshot overtaken by a newer one tells nothing new.
  if (read_tick_known && static_cast<int16_t>(server_tick - read_tick) <= 0) return;
  read_tick_known = true;
  read_tick = server_tick;
  read_noted = true;
  read_echo = echo;
}

bool ShouldResendLast() {
  ++frames_since_resend;
  if (!read_noted) return false;
  read_noted = false;
  // The entries sent with the echo the server read last: several inputs
  // carry one echo when a frame had no new snapshot, and the server may
  // have read any of them.
  int newest = -1, oldest = -1;
  for (int i = HISTORY_LEN - 1; i >= 0; --i) {
    if (!history_sent[i] || history_echo[i] != read_echo) continue;
    if (newest < 0) newest = i;
    oldest = i;
  }
  if (newest < 0) return false;
  // Frames between the one that sent the input read and this one, counted
  // in frames, not inputs. The usual delay is judged by the oldest input
  // that may have been read: taking the newest one would read a delay of
  // two frames as none after every frame without a snapshot, arm the rule
  // on a slower link and stall the walk with copies.
  const int lag = static_cast<int>(frame_number - history_frame[newest]) - 1;
  const int sure_lag = static_cast<int>(frame_number - history_frame[oldest]) - 1;
  int usual = sure_lag;
  for (int i = 0; i < std::min(lags_noted, kLagMemory); ++i) usual = std::min<int>(usual, recent_lags[i]);
  recent_lags[lags_noted % kLagMemory] = static_cast<uint8_t>(std::clamp(sure_lag, 0, 255));
  ++lags_noted;
  // Only the input of the frame before is missing, and this frame's step
  // starts from it: holding the step sends that input again. Should the
  // copy be lost too, it goes once more in the next frame.
  const int before = HISTORY_LEN - 2;
  if (usual != 0 || lags_noted < kLagMemory || !frame_step.pending || !history_sent[before]) return false;
  const bool first = lag == 1 && frames_since_resend >= kResendSpacing;
  // Once more only: a delay of two frames read as a lost copy every frame
  // (frames that came in a burst can make a slower link look fast) would
  // hold the walk for as long as it lasts.
  const bool again = lag == 2 && frames_since_resend == 1 && !resent_twice &&
                     history_x[before - 1] == history_x[before] && history_y[before - 1] == history_y[before];
  if (!first && !again) return false;
  resent_twice = again;
  frames_since_resend = 0;
  return true;
}

bool TakeInputCredit() {
  const int advance = static_cast<int16_t>(server_tick - newest_tick);
  if (!tick_known || advance > kTickResync || advance < -kTickResync) {
    tick_known = true;
    newest_tick = server_tick;
    input_credit = std::max(input_credit, 1);
  } else if (advance > 0) {
    newest_tick = server_tick;
    input_credit = std::min(input_credit + advance, kMaxInputCredit);
  }
  if (input_credit == 0) return false;
  --input_credit;
  return true;
}

void NoteInputSent(uint16_t echo) {
  frames_since_input = 0;
  // Only the entry that holds what was sent: a spectator following another
  // player sends that player's position, which is no prediction of ours.
  const int newest = HISTORY_LEN - 1;
  if (history_x[newest] != local_x || history_y[newest] != local_y) return;
  history_sent[newest] = true;
  history_echo[newest] = echo;
  history_frame[newest] = frame_number;
}

bool InputOverdue() { return frames_since_input >= kKeepAliveFrames; }

void HoldFrameStep() {
  if (!frame_step.pending) return;
  local_x = frame_step.from_x;
  local_y = frame_step.from_y;
  history_x[HISTORY_LEN - 1] = local_x;
  history_y[HISTORY_LEN - 1] = local_y;
}

void HoldFrame(uint8_t frame_action) {
  HoldFrameStep();
  if (frame_action != ACT_NONE) held_action = frame_action;
}

uint8_t ActionToSend(uint8_t frame_action) {
  const uint8_t held = held_action;
  held_action = ACT_NONE;
  return frame_action != ACT_NONE ? frame_action : held;
}

void EndFrameStep() {
  frame_step.pending = false;
  read_noted = false;
  ++frame_number;
  ++frames_since_input;
}

bool PendingFrameStep(int& code, uint16_t& angle) {
  code = frame_step.code;
  angle = frame_step.angle;
  return frame_step.pending;
}
