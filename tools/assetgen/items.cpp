// Items '0'..'9', standing on the floor: armour, mp40, chaingun, mixed
// ammunition, ammunition box, small / medium / large health, the mega item
// and the rifle. Weapons are 60 x 30, everything else 40 x 40.
#include <cmath>

#include "tools/assetgen/assets.h"
#include "tools/assetgen/guns.h"
#include "tools/assetgen/scene.h"

namespace {

Material Matte(Rgb c) { return Material{c, 0.0f, false, nullptr}; }
Material Shiny(Rgb c, float shine) { return Material{c, shine, false, nullptr}; }
Material Glow(Rgb c) { return Material{c, 0.0f, true, nullptr}; }

// Items are modelled about 32 units tall and shown a quarter larger, so they
// read well from across a room.
constexpr float kItemScale = 1.25f;
constexpr int kItemSize = 40;

Canvas RenderItem(const Scene& s, int width, int height, float scale, float pitch = 22) {
  Canvas c(width, height, {}, false);
  scale *= kItemScale;
  s.Render(c, Camera{pitch, scale, width / 2.0f, height - 2.0f});
  SettleOnFloor(c);
  Outline(c, RgbOf(0x141210));
  return c;
}

Canvas WeaponItem(int weapon) {
  // Shown from the side, a little turned, lifted so its grip touches the floor.
  const float length = WeaponMuzzle(weapon) - WeaponRear(weapon);
  const float centre = (WeaponMuzzle(weapon) + WeaponRear(weapon)) / 2;
  Scene s(Translate({-centre, 6.5f, 0}).Then(RotateY(-15)));
  BuildWeapon(s, weapon);
  return RenderItem(s, 60, 30, 42.0f / length, 12);
}

// A white case with a red cross on its front; size tells how much it heals.
Canvas MedicalKit(float half, bool handle, Rgb body) {
  Scene s(RotateY(-20));
  s.Box({0, half * 0.75f, 0}, {half, half * 0.75f, half * 0.55f}, Shiny(body, 0.4f));
  const float front = -(half * 0.55f + 0.2f);  // the face towards the viewer
  const Material red = Matte(RgbOf(0xD01818));
  s.Box({0, half * 0.75f, front}, {half * 0.18f, half * 0.5f, 0.3f}, red);
  s.Box({0, half * 0.75f, front}, {half * 0.5f, half * 0.18f, 0.3f}, red);
  if (handle) s.Capsule({-half * 0.4f, half * 1.6f, 0}, {half * 0.4f, half * 1.6f, 0}, 1.0f, Shiny(RgbOf(0x303030), 0.5f));
  return RenderItem(s, kItemSize, kItemSize, 1.0f);
}

Canvas Armour() {
  Scene s;
  Material plate = Shiny(RgbOf(0x5A7A5A), 0.8f);
  plate.pattern = [](const SurfacePoint& p, Rgb base) {
    return std::fmod(p.world.y + 40, 5.0f) < 0.8f ? Scale(base, 0.6f) : base;  // overlapping plates
  };
  s.Ellipsoid({0, 14, 0}, {10, 12, 6}, plate);
  s.Ellipsoid({0, 25, -1}, {4.5f, 2.5f, 4}, Matte(RgbOf(0x1A1A1A)));               // neck hole
  for (float side : {-7.0f, 7.0f}) s.Ellipsoid({side, 23, 0}, {4, 3, 5}, Shiny(RgbOf(0x6A8A6A), 0.8f));
  s.Box({0, 4, 0}, {10, 2, 6}, Matte(RgbOf(0x4A3420)));                              // belt
  s.Box({0, 4, -6.1f}, {2, 1.5f, 0.3f}, Shiny(RgbOf(0xC0A040), 0.9f));
  return RenderItem(s, kItemSize, kItemSize, 1.0f, 12);
}

void Cartridge(Scene& s, Vec3 at, float length, float radius) {
  s.Cylinder(at, at + Vec3{0, length, 0}, radius, Shiny(RgbOf(0xC8A040), 0.9f));
  s.Ellipsoid(at + Vec3{0, length, 0}, {radius * 0.9f, radius * 2.0f, radius * 0.9f}, Shiny(RgbOf(0xB86A3A), 0.8f));
}

Canvas MixedAmmo() {
  Scene s(RotateY(-25));
  s.Box({-5, 3, 0}, {6, 3, 5}, Matte(RgbOf(0x6A5A30)));
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 2; ++j) Cartridge(s, {-8.5f + i * 3.5f, 6, -2.0f + j * 3.5f}, 4, 1.1f);
  for (int i = 0; i < 3; ++i) Cartridge(s, {5.0f + i * 3.2f, 0, 2.0f - i}, 12, 1.2f);   // rifle rounds
  return RenderItem(s, kItemSize, kItemSize, 1.0f);
}

Canvas AmmoBox() {
  Scene s(RotateY(-20));
  s.Box({0, 7, 0}, {12, 7, 6}, Shiny(RgbOf(0x4A5A2A), 0.4f));
  s.Box({0, 14.5f, 0}, {12.5f, 1, 6.5f}, Shiny(RgbOf(0x3A4A22), 0.4f));
  s.Capsule({-4, 17, 0}, {4, 17, 0}, 1.0f, Shiny(RgbOf(0x303030), 0.6f));
  Canvas c = RenderItem(s, kItemSize, kItemSize, 1.0f);
  DrawText3x5(c, 8, 20, "AMMO", RgbOf(0xE0C840));
  return c;
}

Canvas MegaItem() {
  Scene s;
  s.Ellipsoid({0, 14, 0}, {12, 12, 12}, Glow(RgbOf(0x3A6AE0)));
  s.Ellipsoid({-3, 17, -8}, {6, 6, 4}, Glow(RgbOf(0x7AA8FF)));
  s.Ellipsoid({-4.5f, 19, -11}, {2.5f, 2.5f, 1}, Glow(RgbOf(0xE0F0FF)));
  Canvas c = RenderItem(s, kItemSize, kItemSize, 1.0f, 0);
  // A white cross inside the orb and a ring of sparkles round it.
  FillRect(c, 14, 11, 18, 25, RgbOf(0xF0F4FF));
  FillRect(c, 9, 16, 23, 20, RgbOf(0xF0F4FF));
  for (int i = 0; i < 8; ++i) {
    const float a = i * 0.785f;
    c.Set(int(16 + 15 * std::cos(a)), int(17 + 14 * std::sin(a)), RgbOf(0xC0E0FF));
  }
  return c;
}

}  // namespace

std::vector<PictureFile> MakeItems() {
  std::vector<PictureFile> out;
  const Canvas items[10] = {
      Armour(),
      WeaponItem(3),
      WeaponItem(4),
      MixedAmmo(),
      AmmoBox(),
      MedicalKit(5, false, RgbOf(0xE8E8E0)),
      MedicalKit(8, true, RgbOf(0xE8E8E0)),
      MedicalKit(11, true, RgbOf(0xF0F0E8)),
      MegaItem(),
      WeaponItem(5),
  };
  for (int i = 0; i < 10; ++i) AddSprite(out, "sprites/it" + std::to_string(i) + ".bmp", items[i]);
  return out;
}
