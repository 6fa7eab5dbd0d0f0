// Temporary stand-ins for the presentation (renderer, HUD and layout, audio,
// assets, menu) until the real modules are merged; this file goes then.
// Each does nothing, or only the least the core and the window need.
#include <algorithm>
#include <cstring>

#include "client/core/client_state.h"
#include "client/core/labels.h"
#include "client/core/platform.h"
#include "client/core/scoreboard.h"
#include "client/presentation/assets.h"
#include "client/presentation/audio.h"
#include "client/presentation/hud.h"
#include "client/presentation/menu.h"
#include "client/presentation/renderer.h"

// ---- renderer ---------------------------------------------------------------
Camera camera;

void TintFlash(uint8_t dr, uint8_t dg, uint8_t db) {
  camera.tint_r = static_cast<uint8_t>(std::max(129, camera.tint_r - dr));
  camera.tint_g = static_cast<uint8_t>(std::max(129, camera.tint_g - dg));
  camera.tint_b = static_cast<uint8_t>(std::max(129, camera.tint_b - db));
}

void RenderFrame() {
  if (menu_open) {
    std::fill(std::begin(hud_overlay), std::end(hud_overlay), 0xC80000u);
    return;
  }
  if (players[my_slot].state > PS_SPECTATOR || players[view_slot].state < PS_DEAD) view_slot = my_slot;
  if (health > 0) net_angle = static_cast<uint16_t>(view_angle);
  std::fill(std::begin(hud_overlay), std::end(hud_overlay), 0xFFFFFFu);
}

// ---- HUD and layout ---------------------------------------------------------
void LayoutScreen() {
  int cw = 0, ch = 0;
  PlatformClientSize(cw, ch);
  l_mcpt.left = cw / 2 - l_mcpt.width / 2;
  l_mcpt.top = ch / 15;
  l_mvar.left = cw / 2 - (l_mvar.width + l_mval.width) / 2;
  l_mvar.top = ch / 2 - l_mvar.height / 2 + 45;
  l_mval.left = l_mvar.left + l_mvar.width;
  l_mval.top = l_mvar.top;
  l_chat.top = ch - l_chat.height;
  l_fps.left = cw - l_fps.width;
  l_fps.top = ch - l_fps.height;
  l_anon.top = ch / 4;
  l_anon.left = cw / 2 - l_anon.width / 2;
}

void SetupScreen() {
  const int width = std::clamp<int>(cfg.window_width, 640, 1024);
  PlatformSetClientSize(width, static_cast<int>(width / 1.33333));
  if (cfg.start_maximised != 0) PlatformMaximise();
  LayoutScreen();
}

void AnimatePlayers() {
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    TClient& p = players[s];
    if (p.state == PS_NONE) continue;
    if (p.fire_pose > 0) --p.fire_pose;
    if (p.shot_timer > 0) --p.shot_timer;
  }
  if (anim_tick == 0) {
    for (auto& e : effects) {
      if (e.frame < 4) ++e.frame;
    }
  }
  my_slot = std::clamp<uint8_t>(my_slot, 1, MAX_SLOTS);
  if (announce_timer > 0) --announce_timer;
  l_anon.visible = announce_timer > 0 && !menu_open;
}

// ---- audio ------------------------------------------------------------------
uint32_t snd_ammo, snd_chat, snd_health, snd_armor, snd_score, snd_spawn, snd_mmove;
uint32_t snd_g[6];
uint32_t snd_skinD[4];
uint32_t snd_skinP[4];

void InitAudio() {}
void PlaySound(uint32_t, uint8_t) {}

// ---- assets -----------------------------------------------------------------
void LoadWallTextures() {}
void LoadHudImages() {}
void LoadSpriteImages() {}

// ---- menu -------------------------------------------------------------------
uint8_t menu_item = 0;

void DrawMenu() {}
void MenuKeys() {}
void MenuInput() {}

void ToggleMenu() {
  menu_open = !menu_open;
  if (!menu_open) PlatformSetCursor(mouse_anchor_x, mouse_anchor_y);
  image1_visible = !menu_open;
  cursor_visible = menu_open;
  PlatformShowCursor(menu_open);
  l_mcpt.visible = menu_open && conn_state == CS_IDLE;
  l_mvar.visible = l_mval.visible = menu_open;
  l_log.visible = !menu_open || conn_state != CS_IDLE;
  ShowScoreboard(l_log.visible);
}

std::string EditText(const std::string& text, bool (*allowed)(uint8_t), size_t maximum) {
  if (last_char == 0) return text;
  if (last_char == 8) return text.empty() ? text : text.substr(0, text.size() - 1);
  if (text.size() < maximum && allowed(last_char)) return text + static_cast<char>(last_char);
  return text;
}

std::string NormaliseAddress(const std::string& text) {
  std::string parts[4];
  int part = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      parts[part].push_back(c);
    } else if (c == '.' && part < 3) {
      ++part;
    }
  }
  std::string out;
  for (int i = 0; i < 4; ++i) {
    unsigned value = 0;
    for (char c : parts[i]) value = value * 10 + static_cast<unsigned>(c - '0');
    out += std::to_string(value & 0xFF);
    if (i < 3) out += '.';
  }
  return out;
}

void MenuConnect() {
  conn_state = CS_CONNECTING;
  cfg.server_address = NormaliseAddress(cfg.server_address);
  awaiting_info = true;
  log_ack = 0;
  ToggleMenu();
}
