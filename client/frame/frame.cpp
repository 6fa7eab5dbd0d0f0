// Start-up and the frame the 30 ms timer runs: the order of every step here
// is what the rest of the client relies on.
#include "client/frame/frame.h"

#include "client/core/client_state.h"
#include "client/core/config.h"
#include "client/core/connection.h"
#include "client/core/event_log.h"
#include "client/core/input.h"
#include "client/core/interpolation.h"
#include "client/core/labels.h"
#include "client/core/menu_model.h"
#include "client/core/presentation.h"
#include "client/core/scoreboard.h"
#include "client/core/session.h"
#include "client/core/user_folder.h"
#include "client/core/timers.h"
#include "client/core/world.h"
#include "client/presentation/assets.h"
#include "client/presentation/audio.h"
#include "client/presentation/hud.h"
#include "client/presentation/menu.h"
#include "client/presentation/renderer.h"

namespace {

void RedrawMenu() {
  SetVolume();  // the menu is where the volume changes
  DrawMenu();
}

// What the core asks of the presentation goes to the sound, the renderer and
// the menu's labels.
void InstallPresentation() { SetPresentationHooks({PlayCueSound, StartTintFlash, RedrawMenu}); }

}  // namespace

void StartUp() {
  InstallPresentation();
  ResetLabels();
  CentreWindow();
  log_lines.clear();  // from here on every step may log
  BuildKeyNames();
  LoadConfig(ConfigFilePath());
  ResetMenu();  // the first screen has "Quit game" selected
  SetupScreen();
  InitAudio();
  ResetPictureBudget();
  LoadWallTextures();
  ResetPlayersAtStartUp();
  ResetMapModelAtStartUp();
  LoadHudImages();
  LayoutScreen();  // the frame-rate label goes above the HUD panel just loaded
  LoadSpriteImages();
  InitNetwork();  // without a socket the client still runs; connecting then reaches nobody
  ResetFrameClock();
  timer1_enabled = true;
}

void ResetClient() {
  InstallPresentation();
  ResetClientState();
  ResetLabels();
  ResetMenu();
  camera = Camera{};
  ResetPictureBudget();
}

void ClientFrame() {
  anim_tick = static_cast<uint8_t>((anim_tick + 1) % 4);
  ProcessInput();
  if (conn_state != CS_IDLE) {
    // Snapshots first, so the input sent echoes the newest tick and log index.
    ReceiveMessages();
    WatchConnection();
    SendInput();
    InterpolateOthers();
    if (frame_counter == 0) UpdateScoreboard();
  }
  AnimatePlayers();
  AdvanceFrameTimers();  // after the poses of this frame are chosen
  if (!menu_open) SettleView();  // the view behind the menu stays as it was
  RenderFrame();
  UpdateFps();
}
