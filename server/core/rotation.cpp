#include "server/core/rotation.h"

#include "server/core/oplog.h"
#include "server/net/guard.h"
#include "server/net/sessions.h"
#include "server/sim/maps.h"
#include "server/sim/world.h"

void SV_KICKALL() {
  // Nobody is throttled for coming back.
  GUARD_EXPECTREJOINS();
  for (int s = 1; s <= MAX_SLOTS; ++s) PLAYER_GIVEUP(static_cast<uint8_t>(s), SLOT_MAPCHANGE);
}

void SV_CHANGEMAP(uint8_t entry) {
  if (!MAP_INUSE(entry)) return;
  OPLOG_MAPEND();
  SV_KICKALL();
  SV_SCOREBOARD = 0;
  SV_LOADCURMAP(entry);
}

void SV_MAPNEXT() {
  const bool valid = SV_MAP.map_index >= 1 && SV_MAP.map_index <= MAP_LIST_SIZE;
  const int current = valid ? SV_MAP.map_index : MAP_LIST_SIZE;
  int next = current;
  for (int step = 1; step <= MAP_LIST_SIZE; ++step) {
    const int m = (current - 1 + step) % MAP_LIST_SIZE + 1;
    if (MAP_INUSE(static_cast<uint8_t>(m))) {
      next = m;
      break;
    }
  }
  SV_CHANGEMAP(static_cast<uint8_t>(next));
}
