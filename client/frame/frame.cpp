// Start-up and the frame the 30 ms timer runs: the order of every step here
// is what the rest of the client relies on.
#include "client/frame/frame.h"

#include "client/core/client_state.h"
#include "client/core/config.h"
#include "client/core/event_log.h"
#include "client/core/frame_steps.h"
#include "client/core/labels.h"
#include "client/core/menu_model.h"
#include "client/core/presentation.h"
#include "client/core/session.h"
#include "client/core/user_folder.h"
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
  CoreFrameStart();
  AnimatePlayers();
  CoreFrameEnd();  // after the poses of this frame are chosen
  RenderFrame();
  UpdateFps();
}
