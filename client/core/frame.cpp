// Start-up, the frame the 30 ms timer runs and shutdown: the order of every
// step here is what the rest of the client relies on.
#include "client/core/frame.h"

#include <algorithm>
#include <cstring>

#include "client/core/client_state.h"
#include "client/core/config.h"
#include "client/core/connection.h"
#include "client/core/input.h"
#include "client/core/labels.h"
#include "client/core/platform.h"
#include "client/core/scoreboard.h"
#include "client/core/session.h"
#include "client/core/world.h"
#include "client/presentation/assets.h"
#include "client/presentation/audio.h"
#include "client/presentation/hud.h"
#include "client/presentation/renderer.h"

bool timer1_enabled = false;

namespace {

constexpr const char* kConfigFile = "config.cfg";

void ResetPlayerTable() {
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    TClient& p = players[s];
    p = TClient{};
    p.x = p.y = 65;
    p.fx = p.fy = 65.0f / 64.0f;
  }
}

// Start-up values differ from a map change's: items of kind 0 and effects
// on frame 4 both mean unused.
void ResetWorldEntries() {
  for (int i = 1; i <= MAX_MAP_ITEMS; ++i) map_items[i] = TMapItem{0, 0, 0, 0};
  for (int i = 1; i <= MAX_DECORATIONS; ++i) decorations[i] = TMapObject{0, 0, 0};
  for (auto& e : effects) e = TEffect{0, 0, 4, 0, 0};
}

}  // namespace

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

void StartUp() {
  ResetLabels();
  CentreWindow();
  log_lines.clear();  // from here on every step may log
  BuildKeyNames();
  LoadConfig(kConfigFile);
  SetupScreen();
  InitAudio();
  ResetPictureBudget();
  LoadWallTextures();
  ClearMap();
  ResetPlayerTable();
  ResetWorldEntries();
  ClearHistory();
  std::memset(map_text, 0, sizeof map_text);
  LoadHudImages();
  LayoutScreen();  // the frame-rate label goes above the HUD panel just loaded
  LoadSpriteImages();
  InitNetwork();  // without a socket the client still runs; connecting then reaches nobody
  ResetFrameClock();
  timer1_enabled = true;
}

void ClientFrame() {
  anim_tick = static_cast<uint8_t>((anim_tick + 1) % 4);
  ProcessInput();
  if (conn_state != CS_IDLE) {
    // Snapshots first, so the input sent echoes the newest tick and log index.
    ReceiveMessages();
    WatchConnection();
    SendInput();
    if (frame_counter == 0) UpdateScoreboard();
  }
  AnimatePlayers();
  RenderFrame();
  UpdateFps();
}

void Shutdown() {
  // Harmless twice: the same file is written again, and a disconnect through
  // the closed socket is lost.
  cfg.start_maximised = PlatformIsMaximised() ? 1 : 0;
  SaveConfig(kConfigFile);
  if (conn_state != CS_IDLE) SendDisconnect();
  CloseNetwork();
  PlatformQuit();
}
