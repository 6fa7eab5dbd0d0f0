#include "server/net/input_queue.h"

namespace {

// Numbers wrap at 65536: order is decided on the signed difference.
int16_t Ahead(uint16_t a, uint16_t b) { return static_cast<int16_t>(a - b); }
int Index(uint16_t number) { return number % INPUT_QUEUE_SLOTS; }

// How much later than the earliest an input came in the last two seconds:
// the depth that would have caught all of them.
void UpdateDepth(InputQueue& q) {
  const int n = q.lateness_count < INPUT_LATENESS_MEMORY ? q.lateness_count : INPUT_LATENESS_MEMORY;
  if (n == 0) return;
  int16_t earliest = q.lateness[0], latest = q.lateness[0];
  for (int i = 1; i < n; ++i) {
    if (q.lateness[i] < earliest) earliest = q.lateness[i];
    if (q.lateness[i] > latest) latest = q.lateness[i];
  }
  const int spread = latest - earliest;
  q.earliest = earliest;
  q.depth = static_cast<uint8_t>(spread < INPUT_DEPTH_LIMIT ? spread : INPUT_DEPTH_LIMIT);
}

// Ticks since input `number` was due: it is due `depth` ticks after the
// earliest any input has come lately.
int16_t Overdue(const InputQueue& q, uint16_t number, uint32_t tick) {
  const uint16_t due = static_cast<uint16_t>(number + q.earliest + q.depth);
  return Ahead(static_cast<uint16_t>(tick), due);
}

void NoteArrival(InputQueue& q, uint16_t number, uint32_t tick) {
  q.lateness[q.lateness_count % INPUT_LATENESS_MEMORY] = static_cast<int16_t>(static_cast<uint16_t>(tick) - number);
  ++q.lateness_count;
}

// True when the input was new.
bool Keep(InputQueue& q, uint16_t number, const InputFrame& f) {
  if (Ahead(number, q.next) < 0) return false;  // applied already (or passed over)
  // Too far ahead of what is applied: the oldest numbers give way.
  if (Ahead(number, q.next) >= INPUT_QUEUE_SLOTS) {
    const uint16_t new_next = static_cast<uint16_t>(number - INPUT_QUEUE_SLOTS + 1);
    while (q.next != new_next) {
      q.held[Index(q.next)] = false;
      q.next = static_cast<uint16_t>(q.next + 1);
    }
  }
  if (q.held[Index(number)]) return false;  // a repeat of an input already here
  q.held[Index(number)] = true;
  q.frames[Index(number)] = f;
  if (Ahead(number, q.newest) > 0) q.newest = number;
  return true;
}

}  // namespace

void INPUT_QUEUERESET(InputQueue& q) { q = InputQueue{}; }

void INPUT_QUEUESTORE(InputQueue& q, const Input29& m, uint32_t tick) {
  if (m.count < 1 || m.count > INPUTS_PER_DATAGRAM) return;
  if (!q.started) {
    q.started = true;
    q.next = static_cast<uint16_t>(m.sequence - m.count + 1);
    q.newest = static_cast<uint16_t>(q.next - 1);
  }
  for (int k = m.count - 1; k >= 1; --k) Keep(q, static_cast<uint16_t>(m.sequence - k), m.frames[k]);
  // The link's jitter shows in when each datagram's newest input comes; the
  // older ones it repeats are there for loss, and the catch-up covers that.
  if (Keep(q, m.sequence, m.frames[0])) {
    NoteArrival(q, m.sequence, tick);
    UpdateDepth(q);
  }
}

int INPUT_QUEUETAKE(InputQueue& q, uint32_t tick, InputFrame* out, int limit) {
  int taken = 0;
  if (!q.started) return 0;
  // At most two a tick, so a burst after a stall is worked off without a jump.
  while (taken < limit && taken < 2 && Ahead(q.newest, q.next) >= 0) {
    const int i = Index(q.next);
    const int16_t overdue = Overdue(q, q.next, tick);
    if (q.held[i]) {
      if (overdue < 0) break;  // held back a little against jitter
      out[taken++] = q.frames[i];
      q.held[i] = false;
    } else if (overdue < 2) {
      break;  // a gap: the input may still come
    }
    // Applied, or lost for good and passed over.
    q.next = static_cast<uint16_t>(q.next + 1);
  }
  return taken;
}

uint16_t INPUT_QUEUELASTAPPLIED(const InputQueue& q) { return q.started ? static_cast<uint16_t>(q.next - 1) : 0; }
