#include "client/core/frame_steps.h"

#include "client/core/client_state.h"
#include "client/core/connection.h"
#include "client/core/input.h"
#include "client/core/interpolation.h"
#include "client/core/scoreboard.h"
#include "client/core/session.h"
#include "client/core/timers.h"
#include "client/core/world.h"

void CoreFrameStart() {
  anim_tick = static_cast<uint8_t>((anim_tick + 1) % 4);
  ProcessInput();
  if (conn_state == CS_IDLE) return;
  ReceiveMessages();
  WatchConnection();
  SendInput();
  InterpolateOthers();
  if (frame_counter == 0) UpdateScoreboard();
}

void CoreFrameEnd() {
  AdvanceFrameTimers();
  if (!menu_open) SettleView();
}
