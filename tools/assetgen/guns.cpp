#include "tools/assetgen/guns.h"

#include <cmath>

#include "protocol/weapons.h"

namespace {

const Rgb kSteel = RgbOf(0x4A4E56);
const Rgb kBlued = RgbOf(0x2C3038);
const Rgb kWood = RgbOf(0x7A4A22);

Material Metal(Rgb c) { return Material{c, 0.7f, false, nullptr}; }
Material Matte(Rgb c) { return Material{c, 0.0f, false, nullptr}; }

Material WoodGrain() {
  Material m{kWood, 0.25f, false, nullptr};
  m.pattern = [](const SurfacePoint& p, Rgb base) {
    return Scale(base, 0.9f + 0.15f * std::sin(p.world.x * 1.3f + std::sin(p.world.y * 2.1f) * 2));
  };
  return m;
}

void Knife(Scene& s) {
  s.Capsule({-9, 0, 0}, {-1, 0, 0}, 1.6f, Matte(RgbOf(0x2A1E14)));              // handle
  for (float x : {-7.0f, -4.5f, -2.0f}) s.Cylinder({x - 0.3f, 0, 0}, {x + 0.3f, 0, 0}, 1.75f, Metal(RgbOf(0x8A7040)));
  s.Box({0, 0, 0}, {0.6f, 3.2f, 1.4f}, Metal(RgbOf(0x9A8A50)));                   // guard
  Material blade = Material{RgbOf(0xC8CED8), 1.0f, false, nullptr};
  blade.pattern = [](const SurfacePoint& p, Rgb base) { return p.local.y > 0.9f ? Offset(base, 25) : base; };
  s.Box({8, 0.2f, 0}, {8, 1.6f, 0.35f}, blade);
  s.Ellipsoid({16, -0.3f, 0}, {3.0f, 1.1f, 0.35f}, blade, RotateZ(25));            // point
}

void Pistol(Scene& s) {
  s.Box({0.5f, 2.6f, 0}, {6.5f, 1.3f, 1.1f}, Metal(kBlued));                       // frame
  s.Cylinder({0, 2.9f, 0}, {11, 2.9f, 0}, 0.8f, Metal(kSteel));                    // barrel
  s.Box({-0.5f, -2.5f, 0}, {1.6f, 4.2f, 1.2f}, Matte(RgbOf(0x5A3A20)), RotateZ(-18)); // grip
  s.Capsule({1.5f, 0.6f, 0}, {4.5f, 0.2f, 0}, 0.4f, Metal(kBlued));               // trigger guard
  s.Ellipsoid({-5.6f, 3.4f, 0}, {1.0f, 1.0f, 0.9f}, Metal(kSteel));               // toggle
}

void Mp40(Scene& s) {
  s.Cylinder({-4, 2.5f, 0}, {8, 2.5f, 0}, 1.7f, Metal(kBlued));                    // receiver
  s.Cylinder({8, 2.4f, 0}, {15, 2.4f, 0}, 0.8f, Metal(kSteel));                    // barrel
  s.Box({5, -3.5f, 0}, {1.0f, 5.0f, 0.9f}, Metal(kBlued), RotateZ(6));            // magazine
  s.Box({0, -1.8f, 0}, {1.2f, 2.6f, 1.0f}, Matte(RgbOf(0x3A2A20)), RotateZ(-15)); // grip
  s.Capsule({-4, 2.5f, 0}, {-13, 1.5f, 0}, 0.45f, Metal(kSteel));                  // folding stock
  s.Capsule({-4, 0.5f, 0}, {-13, 0.0f, 0}, 0.45f, Metal(kSteel));
  s.Box({-13.3f, 0.8f, 0}, {0.6f, 1.6f, 1.0f}, Metal(kSteel));
}

void Chaingun(Scene& s) {
  s.Box({-1, 2.5f, 0}, {6, 3.3f, 3.0f}, Metal(RgbOf(0x50545C)));                  // body
  for (int i = 0; i < 6; ++i) {
    const float a = i * 1.0472f;
    s.Cylinder({5, 2.5f + 1.8f * std::cos(a), 1.8f * std::sin(a)}, {19, 2.5f + 1.8f * std::cos(a), 1.8f * std::sin(a)}, 0.75f,
               Metal(kBlued));
  }
  for (float x : {7.0f, 17.0f}) s.Cylinder({x, 2.5f, 0}, {x + 1.2f, 2.5f, 0}, 2.8f, Metal(kSteel));  // barrel clamps
  s.Capsule({-4, 7.2f, 0}, {2, 7.2f, 0}, 0.7f, Metal(kSteel));                    // carry handle
  s.Capsule({-4, 5.8f, 0}, {-4, 7.2f, 0}, 0.6f, Metal(kSteel));
  s.Capsule({2, 5.8f, 0}, {2, 7.2f, 0}, 0.6f, Metal(kSteel));
  s.Box({-3, -2.0f, 0}, {1.2f, 2.6f, 1.0f}, Matte(RgbOf(0x2A2420)), RotateZ(-12));
  s.Cylinder({-1, -1.5f, -3}, {-1, -1.5f, -6.5f}, 3.5f, Metal(RgbOf(0x6A6A50)));  // ammo drum
}

void Rifle(Scene& s) {
  Material wood = WoodGrain();
  s.Box({-8, 0.8f, 0}, {7, 1.6f, 1.1f}, wood, RotateZ(-6));                        // butt
  s.Box({5, 1.9f, 0}, {8, 1.0f, 1.0f}, wood);                                     // fore stock
  s.Cylinder({-1, 2.9f, 0}, {24, 2.9f, 0}, 0.6f, Metal(kBlued));                   // barrel
  s.Cylinder({-2, 5.2f, 0}, {8, 5.2f, 0}, 1.1f, Metal(RgbOf(0x1A1C20)));           // scope
  s.Cylinder({7, 5.2f, 0}, {9, 5.2f, 0}, 1.5f, Metal(RgbOf(0x1A1C20)));
  s.Cylinder({-3, 5.2f, 0}, {-1.5f, 5.2f, 0}, 1.4f, Metal(RgbOf(0x1A1C20)));
  s.Capsule({0, 3.2f, 0}, {0, 3.2f, 2.5f}, 0.45f, Metal(kSteel));                  // bolt handle
  s.Ellipsoid({0, 3.2f, 2.8f}, {0.8f, 0.8f, 0.8f}, Metal(kSteel));
}

// Indexed by a weapon's picture number (protocol/weapons.h): its model and
// how far it reaches forward and back from the grip.
struct GunDrawing {
  void (*build)(Scene& s);
  float muzzle, rear;
};
const GunDrawing kDrawings[NUM_WEAPONS + 1] = {
    {Knife, 0, 0},  // unused
    {Knife, 19, -11}, {Pistol, 11, -7}, {Mp40, 15, -14}, {Chaingun, 19, -7}, {Rifle, 24, -15},
};

}  // namespace

void BuildWeapon(Scene& s, int picture) { kDrawings[picture].build(s); }

float WeaponMuzzle(int picture) { return kDrawings[picture].muzzle; }

float WeaponRear(int picture) { return kDrawings[picture].rear; }
