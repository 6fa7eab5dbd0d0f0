#include "server/core/tick.h"

#include "server/core/rotation.h"
#include "server/net/guard.h"
#include "server/net/netproto.h"
#include "server/net/sessions.h"
#include "server/sim/bots.h"
#include "server/sim/maps.h"
#include "server/sim/rules.h"

namespace {

bool HumanConnected() { return SV_CURCLIENTS > SV_BOTC; }

}  // namespace

void GAMECYCLE() {
  GUARD_TICK();
  NET_INPUT();
  // Without a human client the game stands still: connects are still
  // answered, but no bot moves, no clock runs and nothing is sent.
  if (!HumanConnected()) return;
  SV_OTHER();
  SV_MAPITEMS();
  SV_PLAYERS();
  NET_OUTPUT();
}

void SV_OTHER() {
  SV_BOTZ();
  SV_PINGVAR = static_cast<uint16_t>(SV_PINGVAR + 1);
  if (SV_SCOREBOARD > 0) {
    SV_SCOREBOARD = static_cast<uint16_t>(SV_SCOREBOARD - 1);
    if (SV_SCOREBOARD == 0) SV_MAPNEXT();
  }
}

