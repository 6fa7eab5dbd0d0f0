// The jitter buffer of one version-29 client: its inputs arrive numbered,
// each up to four times (every datagram repeats the three before), late,
// early and out of order; the tick applies them exactly once each, in
// number order, about one a tick.
//
// Inputs are held back a little when the link shows jitter: the depth (0..3
// ticks) follows how late the inputs came over the last two seconds, so a
// steady link costs no delay and a jittery one does not starve the walk.
// Each input is due `depth` ticks after the earliest its number could have
// come; a number still missing two ticks after it was due is passed over,
// and inputs overdue after a stall are worked off two a tick.
#pragma once

#include <cstdint>

#include "protocol/messages.h"

constexpr int INPUT_QUEUE_SLOTS = 16;
constexpr uint8_t INPUT_DEPTH_LIMIT = 3;
constexpr int INPUT_LATENESS_MEMORY = 64;

struct InputQueue {
  bool started = false;
  uint16_t next = 0;    // the number applied next
  uint16_t newest = 0;  // the highest number received
  bool held[INPUT_QUEUE_SLOTS] = {};
  InputFrame frames[INPUT_QUEUE_SLOTS];
  uint8_t depth = 0;
  int16_t lateness[INPUT_LATENESS_MEMORY] = {};  // tick of arrival less number, per new input
  int lateness_count = 0;
  int16_t earliest = 0;  // the least lateness remembered
};

void INPUT_QUEUERESET(InputQueue& q);
// Keeps the inputs of one datagram that are neither applied yet nor too far
// ahead; `tick` is the server's tick counter, idle ticks included.
void INPUT_QUEUESTORE(InputQueue& q, const Input29& m, uint32_t tick);
// The inputs to apply in this tick, in order, at most `limit`; how many.
int INPUT_QUEUETAKE(InputQueue& q, uint32_t tick, InputFrame* out, int limit);
// The number of the last input taken; 0 before any.
uint16_t INPUT_QUEUELASTAPPLIED(const InputQueue& q);
