#include "client/core/lifecycle.h"

#include "client/core/client_state.h"
#include "client/core/config.h"
#include "client/core/labels.h"
#include "client/core/platform.h"
#include "client/core/session.h"

bool timer1_enabled = false;

void CentreWindow() {
  int screen_w = 0, screen_h = 0, outer_w = 0, outer_h = 0;
  PlatformScreenSize(screen_w, screen_h);
  mouse_anchor_x = screen_w / 2;
  mouse_anchor_y = screen_h / 2;
  PlatformOuterSize(outer_w, outer_h);
  PlatformSetWindowPos(mouse_anchor_x - outer_w / 2, mouse_anchor_y - outer_h / 2);
}

void FormActivate() {
  if (l_log.visible) PlatformSetCursor(mouse_anchor_x, mouse_anchor_y);
}

void Shutdown() {
  // Harmless twice: the same file is written again, and a disconnect through
  // the closed socket is lost.
  cfg.start_maximised = PlatformIsMaximised() ? 1 : 0;
  SaveConfig(CONFIG_FILE);
  if (conn_state != CS_IDLE) SendDisconnect();
  CloseNetwork();
  PlatformQuit();
}
