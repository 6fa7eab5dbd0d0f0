// The other players' sprites, effect ageing, the HUD drawn on the overlay,
// and the window's size and label layout.
#include "client/presentation/hud.h"

#include <algorithm>
#include <string>

#include "client/core/client_state.h"
#include "client/core/labels.h"
#include "client/core/platform.h"
#include "client/presentation/assets.h"
#include "client/presentation/audio.h"
#include "client/presentation/menu.h"
#include "client/presentation/renderer.h"
#include "protocol/weapons.h"

namespace {

constexpr uint32_t OVERLAY_CLEAR = 0xFFFFFF;   // white: the view shows through
constexpr uint32_t HUD_TEXT = 0xC8DCC8;        // RGB(200, 220, 200)
constexpr int NUMBER_LEFT[4] = {10, 59, 116, 168};  // frags, health, armour, ammunition

// ------------------------------------------------------------ sprites

struct Facing {
  uint8_t direction;
  bool mirrored;
};

// Which of the five drawn directions shows a player facing `dir` to a camera
// looking along `angle`: 0 its back, 2 its side, 4 its front; the other side
// is the same picture mirrored.
Facing FacingSeen(int angle, int dir) {
  const int d = ((angle - dir + 450) % 360 + 360) % 360;
  if (d >= 23 && d <= 67) return {1, true};
  if (d >= 68 && d <= 112) return {0, false};
  if (d >= 113 && d <= 158) return {1, false};
  if (d >= 159 && d <= 202) return {2, false};
  if (d >= 203 && d <= 247) return {3, false};
  if (d >= 248 && d <= 292) return {4, false};
  if (d >= 293 && d <= 338) return {3, true};
  return {2, true};
}

void AnimateLiving(TClient& p) {
  if (p.anim_x != p.x || p.anim_y != p.y) {
    p.walk_phase = static_cast<uint8_t>((p.walk_phase + 1) % 4);
    p.anim_x = p.x;
    p.anim_y = p.y;
  }
  const Facing facing = FacingSeen(net_angle, p.dir);
  p.mirrored = facing.mirrored ? 1 : 0;
  p.sprite_frame = static_cast<uint8_t>(p.fire_pose == 0 ? 4 * facing.direction + p.walk_phase : 20 + facing.direction);
}

// Frames 25..29 play once, one per animation step, and the last one stays.
void AnimateDying(TClient& p, uint8_t slot) {
  if (p.sprite_frame < 25) {
    p.sprite_frame = 24;
    PlaySound(snd_skinD[p.team & 3], slot);
  }
  if (p.sprite_frame < 29) ++p.sprite_frame;
}

void AgeEffects() {
  for (TEffect& e : effects) {
    if (e.frame < 4) ++e.frame;
    // Blood sinks towards the floor.
    if (e.kind == EFFECT_BLOOD) e.value = static_cast<uint8_t>(std::max(e.value - 35, 0));
  }
}

// ------------------------------------------------------------ HUD

void Blit(const HudBitmap& bitmap, int left, int top, bool transparent) {
  if (bitmap.pixels.size() < static_cast<size_t>(bitmap.width) * bitmap.height || bitmap.pixels.empty()) return;
  const uint32_t key = bitmap.pixels[0];
  const int x0 = std::max(left, 0), x1 = std::min(left + bitmap.width, HUD_W);
  const int y0 = std::max(top, 0), y1 = std::min(top + bitmap.height, HUD_H);
  for (int y = y0; y < y1; ++y) {
    const uint32_t* row = bitmap.pixels.data() + static_cast<size_t>(y - top) * bitmap.width;
    for (int x = x0; x < x1; ++x) {
      const uint32_t colour = row[x - left];
      if (!transparent || colour != key) hud_overlay[y * HUD_W + x] = colour;
    }
  }
}

void DrawNumber(int index, int panel_top, const std::string& text) {
  PlatformDrawText(hud_overlay, HUD_W, HUD_H, NUMBER_LEFT[index], panel_top + 13, FONT_HUD, text, HUD_TEXT);
}

// ------------------------------------------------------------ layout

// The title at its own size when it fits the width, else a little smaller.
void PlaceTitle(int cw, int ch) {
  if (l_mcpt.font != FONT_TITLE) {
    l_mcpt.font = FONT_TITLE;
    l_mcpt.setCaption(l_mcpt.caption);
  }
  if (l_mcpt.width > cw) {
    l_mcpt.font = FONT_TITLE_SMALL;
    l_mcpt.setCaption(l_mcpt.caption);
  }
  l_mcpt.left = cw / 2 - l_mcpt.width / 2;
  l_mcpt.top = ch / 15;
}

}  // namespace

void SetupScreen() {
  CreateViewSurface();
  std::fill(hud_overlay, hud_overlay + HUD_W * HUD_H, OVERLAY_CLEAR);
  const int width = std::clamp<int>(cfg.window_width, 640, 1024);
  const int height = static_cast<int>(width / 1.33333);
  PlatformSetClientSize(width, height);
  if (cfg.start_maximised != 0) PlatformMaximise();
  DrawMenu();
  LayoutScreen();
}

void LayoutScreen() {
  int cw, ch;
  PlatformClientSize(cw, ch);
  PlaceTitle(cw, ch);
  PlaceMenu();
  l_chat.top = ch - l_chat.height;
  l_fps.left = cw - l_fps.width;
  l_fps.top = HudPanelTop(ch) - l_fps.height;
  l_anon.top = ch / 4;
  l_anon.left = cw / 2 - l_anon.width / 2;
}

int HudPanelTop(int client_height) {
  const int panel_height = std::clamp(hud_panel.height, 0, HUD_H);
  return (HUD_H - panel_height) * client_height / HUD_H;
}

void AnimatePlayers() {
  for (uint8_t s = 1; s <= MAX_SLOTS; ++s) {
    TClient& p = players[s];
    if (p.state == PS_NONE) continue;
    if (anim_tick == 0) {
      if (p.state == PS_ALIVE || p.state == PS_FIRING)
        AnimateLiving(p);
      else if (p.state == PS_DEAD)
        AnimateDying(p, s);
    }
  }
  if (anim_tick == 0) AgeEffects();
  UpdateSoundPositions();
}

void DrawHud() {
  std::fill(hud_overlay, hud_overlay + HUD_W * HUD_H, OVERLAY_CLEAR);
  if (view_slot < 1 || view_slot > MAX_SLOTS) return;
  const TClient& v = players[view_slot];
  if (v.state == PS_NONE || v.state == PS_SPECTATOR) return;  // only the 3D view shows
  const uint8_t gun = std::clamp<uint8_t>(v.gun, 1, NUM_WEAPONS);
  const uint8_t team = v.team % NUM_TEAMS;

  const int panel_top = HUD_H - hud_panel.height;
  if (v.state == PS_ALIVE || v.state == PS_FIRING)
    Blit(hud_gun[gun][v.fire_pose > 0 ? 1 : 0], gun_left[gun], gun_top[gun], true);
  Blit(hud_panel, 0, panel_top, false);
  Blit(hud_team[team], 278, panel_top + 14, false);
  Blit(hud_weapon[gun], 218, panel_top + 6, false);

  DrawNumber(0, panel_top, std::to_string(v.frags));
  const bool own_view = view_slot == my_slot;
  DrawNumber(1, panel_top, own_view ? std::to_string(health) : "----");
  DrawNumber(2, panel_top, own_view ? std::to_string(armor) : "----");
  DrawNumber(3, panel_top, own_view ? std::to_string(ammo[WEAPONS[gun].ammo_type]) : "----");
}
