#include "client/core/reconcile.h"

#include "client/core/client_state.h"
#include "client/core/prediction.h"
#include "client/core/world.h"

namespace {

// Two seconds of inputs: a round trip longer than that has lost the
// server anyway.
constexpr int kKept = 64;

struct SentStep {
  uint16_t number;
  int8_t code;  // 0: the input made no step
  uint16_t angle;
};

SentStep kept[kKept];
int kept_count = 0;  // kept[0] is the oldest
uint16_t last_number = 0;

int16_t Ahead(uint16_t a, uint16_t b) { return static_cast<int16_t>(a - b); }

// The steps the server has applied are no longer needed.
void DropApplied(uint16_t applied) {
  int first = 0;
  while (first < kept_count && Ahead(kept[first].number, applied) <= 0) ++first;
  for (int i = first; i < kept_count; ++i) kept[i - first] = kept[i];
  kept_count -= first;
}

}  // namespace

void ResetReconcile() {
  kept_count = 0;
  last_number = 0;
}

uint16_t NextInputNumber() {
  last_number = static_cast<uint16_t>(last_number + 1);
  if (last_number == 0) last_number = 1;  // 0 means "none applied yet"
  return last_number;
}

void NoteNumberedInput(uint16_t number, int step_code, uint16_t angle) {
  if (kept_count == kKept) DropApplied(kept[0].number);  // the oldest gives way
  kept[kept_count++] = SentStep{number, static_cast<int8_t>(step_code), angle};
}

void Reconcile(uint16_t applied, uint16_t x, uint16_t y, bool respawned) {
  DropApplied(applied);
  if (respawned) kept_count = 0;  // made from the place of the old life
  local_x = x;
  local_y = y;
  for (int i = 0; i < kept_count; ++i)
    if (kept[i].code != 0) ApplyStep(kept[i].code, kept[i].angle);
  // This frame's step is not sent yet: it follows from the new place.
  int code = 0;
  uint16_t angle = 0;
  if (PendingFrameStep(code, angle)) ApplyStep(code, angle);
}

int InputsInFlight() { return kept_count; }
