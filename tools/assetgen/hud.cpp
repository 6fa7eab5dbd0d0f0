// HUD pictures: the 320 x 40 panel (panelTop = 200), whose dark fields sit
// under the four numbers the client prints at x = 10, 59, 116, 168 and
// y = panelTop + 13, and whose bays hold the weapon icon (56 x 28 at
// 218, panelTop + 6) and the team icon (36 x 22 at 278, panelTop + 14);
// and the first-person gun pictures, two frames per weapon, drawn with
// their bottom on the panel. Pure white is see-through on the HUD overlay,
// so none of these pictures uses it.
#include <cmath>

#include "tools/assetgen/assets.h"
#include "tools/assetgen/guns.h"
#include "tools/assetgen/scene.h"
#include "protocol/weapons.h"

namespace {

constexpr int kPanelWidth = 320, kPanelHeight = 40;
constexpr int kIconW = 56, kIconH = 28, kTeamW = 36, kTeamH = 22;

// A recessed field: darker inside, shadow on the top left edge.
void Field(Canvas& c, int x0, int y0, int x1, int y1) {
  FillRect(c, x0, y0, x1, y1, RgbOf(0x1C241E));
  Bevel(c, x0, y0, x1, y1, 2, 0.5f, 1.9f);
}

Canvas Panel() {
  Canvas c(kPanelWidth, kPanelHeight);
  TileNoise noise(700, 64);
  for (int y = 0; y < kPanelHeight; ++y)
    for (int x = 0; x < kPanelWidth; ++x)
      c.Set(x, y, Scale(RgbOf(0x4A5060), 0.85f + 0.3f * noise.Fractal(float(x), float(y) * 4, 32, 3)));
  Bevel(c, 0, 0, kPanelWidth, kPanelHeight, 2, 1.4f, 0.55f);
  struct Slot { int x0, x1; const char* label; };
  const Slot slots[4] = {{6, 53, "FRAGS"}, {55, 111, "HEALTH"}, {113, 163, "ARMOR"}, {165, 213, "AMMO"}};
  for (const Slot& s : slots) {
    Field(c, s.x0, 11, s.x1, 34);
    DrawText3x5(c, (s.x0 + s.x1) / 2 - Text3x5Width(s.label) / 2, 4, s.label, RgbOf(0xD8C870));
  }
  Field(c, 216, 4, 276, 36);   // weapon bay round the 56 x 28 icon at (218, 6)
  Field(c, 276, 12, 316, 38);  // team bay round the 36 x 22 icon at (278, 14)
  DrawText3x5(c, 288, 5, "TEAM", RgbOf(0xD8C870));
  for (int x : {54, 112, 164, 214}) FillRect(c, x, 6, x + 1, 36, RgbOf(0x2A2E38));
  return c;
}

Canvas TeamIcon(int team) {
  static const char* tags[4] = {"SS", "MU", "SO", "OF"};
  Canvas c(kTeamW, kTeamH, RgbOf(0x1C241E));
  const Rgb colour = TeamColour(team);
  // A pennant: the team colour with a gold border and the tag.
  FillRect(c, 2, 2, kTeamW - 2, kTeamH - 2, RgbOf(0xC8A040));
  VerticalGradient(c, 4, 4, kTeamW - 4, kTeamH - 4, Offset(colour, 40), Scale(colour, 0.7f));
  DrawText3x5(c, kTeamW / 2 - Text3x5Width(tags[team], 2) / 2 + 1, 7, tags[team], RgbOf(0x101010), 2);
  DrawText3x5(c, kTeamW / 2 - Text3x5Width(tags[team], 2) / 2, 6, tags[team], RgbOf(0xF0F0E0), 2);
  return c;
}

Canvas WeaponIcon(int weapon) {
  Canvas c(kIconW, kIconH, RgbOf(0x1C241E));
  const float length = WeaponMuzzle(weapon) - WeaponRear(weapon);
  const float centre = (WeaponMuzzle(weapon) + WeaponRear(weapon)) / 2;
  Scene s(Translate({-centre, 0, 0}));
  BuildWeapon(s, weapon);
  const float scale = std::min(50.0f / length, 3.2f);
  s.Render(c, Camera{0, scale, kIconW / 2.0f, kIconH / 2.0f + 2 * scale});
  return c;
}

// First person: the weapon held low in the middle, barrel pointing into
// the view, seen in perspective from just behind and above the hand.
Canvas GunPicture(int weapon, bool firing) {
  const int width = 128, height = 96;
  Canvas c(width, height, {}, false);
  const float kick = firing ? (weapon == 1 ? 7.0f : -1.5f) : 0.0f;   // knife thrusts, guns recoil
  // The knife is held blade up; the mp40 is tilted to show its magazine.
  const float roll = weapon == 1 ? 35.0f : weapon == 3 ? -40.0f : 0.0f;
  Scene s(RotateX(roll).Then(RotateY(-90.0f + 24.0f)).Then(Translate({4, -8, -5 + kick})));
  BuildWeapon(s, weapon);
  // Fist round the grip and the sleeve coming in from the bottom right.
  const Material skin{RgbOf(0xE0A880), 0, false, nullptr}, sleeve{RgbOf(0x4A5038), 0, false, nullptr};
  s.Ellipsoid({-0.5f, -1.0f, 0}, {3.2f, 3.0f, 3.6f}, skin);
  s.Capsule({-3, -3, 0.5f}, {-16, -9, 6}, 4.0f, sleeve);
  if (weapon >= 3) {
    s.Ellipsoid({8, 0.5f, 0}, {2.8f, 2.6f, 3.2f}, skin);   // supporting hand
    s.Capsule({8, -1.5f, -1}, {2, -10, -12}, 3.5f, sleeve);
  }
  if (firing && weapon > 1) {
    const float tip = WeaponMuzzle(weapon) + 1.5f;
    const Vec3 muzzle{tip, weapon == 4 ? 2.5f : weapon == 3 ? 2.4f : 2.9f, 0};
    const Material core{RgbOf(0xFFF8C0), 0, true, nullptr}, edge{RgbOf(0xFFA020), 0, true, nullptr};
    const float size = weapon == 5 ? 1.5f : weapon == 2 ? 1.0f : 1.25f;
    s.Ellipsoid(muzzle, Vec3{3.0f, 3.0f, 3.0f} * size, core);
    s.Ellipsoid(muzzle + Vec3{3, 0, 0}, Vec3{6.0f, 1.3f, 1.3f} * size, edge);
    s.Ellipsoid(muzzle + Vec3{1, 0, 0}, Vec3{1.3f, 5.5f, 1.3f} * size, edge);
    s.Ellipsoid(muzzle + Vec3{1, 0, 0}, Vec3{1.3f, 1.3f, 5.5f} * size, edge);
  }
  if (firing && weapon == 1) {
    // A swish: arcs swept by the blade, behind it.
    for (int i = 0; i < 3; ++i)
      for (float a = -1.9f; a < -0.7f; a += 0.01f)
        c.Set(int(60 + (50 - i * 3) * std::cos(a)), int(96 + (80 - i * 3) * std::sin(a)),
              Mix(RgbOf(0xE0E8F0), RgbOf(0x8A90A0), i / 2.0f));
  }
  // The knife is small, so it is shown closer.
  s.Render(c, Camera{24, weapon == 1 ? 5.5f : 4.2f, width / 2.0f, height / 2.0f, 34});
  Outline(c, RgbOf(0x101010));
  return c;
}

}  // namespace

std::vector<PictureFile> MakeHud() {
  std::vector<PictureFile> out;
  AddOpaque(out, "sprites/hudpanel.bmp", Panel());
  for (int team = 0; team < 4; ++team) AddOpaque(out, "sprites/hud_team_" + std::to_string(team) + ".bmp", TeamIcon(team));
  for (int weapon = 1; weapon <= NUM_WEAPONS; ++weapon) {
    const int picture = WEAPONS[weapon].picture;
    AddOpaque(out, "sprites/hud_w" + std::to_string(picture) + ".bmp", WeaponIcon(picture));
    for (int frame = 0; frame < 2; ++frame)
      AddSprite(out, "sprites/hud_g" + std::to_string(picture) + "_" + std::to_string(frame) + ".bmp",
                GunPicture(picture, frame == 1));
  }
  return out;
}
