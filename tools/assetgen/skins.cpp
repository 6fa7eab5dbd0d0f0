// Player skins: one soldier model, ray traced from five directions in four
// walk phases, five firing poses and five dying frames, for each team.
// Frame = 4 * direction + walk phase (0..19), 20 + direction (firing),
// 25..29 (dying, ending on the floor). Direction 0 shows the back, 2 the
// left side, 4 the front; the client mirrors them for the right side.
#include <cmath>

#include "tools/assetgen/assets.h"
#include "tools/assetgen/props.h"
#include "tools/assetgen/scene.h"

namespace {

constexpr int kImage = 64;
constexpr float kPi = 3.14159265f;

struct Pose {
  float legSwing = 0;       // degrees, left leg forward when positive
  int liftedLeg = -1;       // 0 left, 1 right: the leg passing under the body
  float bob = 0;            // body raised by this much
  bool aiming = false;      // gun at the shoulder instead of the hip
  bool flash = false;       // muzzle flash at the gun's tip
  float fall = 0;           // degrees the body has fallen backwards
  float flail = 0;          // 0..1 arms thrown up as the body is hit
  bool dropGun = false;     // the gun lies on the floor beside the body
  float blood = 0;          // radius of the pool under a dead body
};

struct Palette {
  Rgb uniform, trousers, helmet, skin, boots, belt, metal, wood;
};

Palette TeamPalette(int team) {
  Palette p;
  const Rgb team_colour = TeamColour(team);
  p.uniform = Mix(team_colour, RgbOf(0x6A6A60), 0.2f);
  p.trousers = Scale(p.uniform, 0.72f);
  p.helmet = Scale(team_colour, 0.6f);
  // Mutants (team 1) have sickly skin; everyone else a human tone.
  p.skin = team == 1 ? RgbOf(0xB0D080) : RgbOf(0xF8C098);
  p.boots = RgbOf(0x2A2420);
  p.belt = RgbOf(0x4A3420);
  p.metal = RgbOf(0x3A3C40);
  p.wood = RgbOf(0x6A4422);
  return p;
}

Material Matte(Rgb c) { return Material{c, 0.0f, false, nullptr}; }
Material Shiny(Rgb c, float shine) { return Material{c, shine, false, nullptr}; }
Material Glow(Rgb c) { return Material{c, 0.0f, true, nullptr}; }

// A limb of two segments from joint a through a bent middle joint to c.
void Limb(Scene& s, Vec3 a, Vec3 mid, Vec3 c, float r1, float r2, const Material& m) {
  s.Capsule(a, mid, r1, m);
  s.Capsule(mid, c, r2, m);
}

void Leg(Scene& s, const Palette& p, float side, float swing, bool lifted, float bob) {
  const float rad = swing * kPi / 180;
  const Vec3 hip{side * 3.6f, 23 + bob, 0};
  // The thigh swings about the hip; a lifted leg bends its knee back.
  const float thigh = 11.5f;
  const Vec3 knee = hip + Vec3{0, -std::cos(rad), std::sin(rad)} * thigh;
  const float shinAngle = rad - (lifted ? 0.9f : 0.1f);
  const Vec3 ankle = knee + Vec3{0, -std::cos(shinAngle), std::sin(shinAngle)} * 10.5f;
  Limb(s, hip, knee, ankle, 3.3f, 2.8f, Matte(p.trousers));
  s.Box(ankle + Vec3{0, -0.4f, 1.6f}, {2.4f, 2.0f, 4.0f}, Matte(p.boots));
}

void Gun(Scene& s, const Palette& p, Vec3 grip, bool flash) {
  s.Box(grip + Vec3{0, 1.2f, 5}, {1.3f, 1.8f, 7.5f}, Shiny(p.metal, 0.5f));
  s.Box(grip + Vec3{0, -0.2f, -3}, {1.1f, 2.2f, 3.0f}, Matte(p.wood));       // stock
  s.Capsule(grip + Vec3{0, 1.8f, 12}, grip + Vec3{0, 1.8f, 17}, 0.7f, Shiny(p.metal, 0.6f));
  s.Box(grip + Vec3{0, -2.5f, 6}, {0.8f, 2.5f, 1.2f}, Matte(p.metal));       // magazine
  if (!flash) return;
  const Vec3 tip = grip + Vec3{0, 1.8f, 20};
  s.Ellipsoid(tip, {3.2f, 3.2f, 3.2f}, Glow(RgbOf(0xFFF0A0)));
  s.Ellipsoid(tip + Vec3{0, 0, 1}, {1.2f, 6.5f, 1.2f}, Glow(RgbOf(0xFFB030)));
  s.Ellipsoid(tip + Vec3{0, 0, 1}, {6.5f, 1.2f, 1.2f}, Glow(RgbOf(0xFFB030)));
  s.Ellipsoid(tip + Vec3{0, 0, 3}, {1.5f, 1.5f, 5.0f}, Glow(RgbOf(0xFFD060)));
}

void Arm(Scene& s, const Palette& p, Vec3 shoulder, Vec3 hand, float outward) {
  Vec3 mid = (shoulder + hand) * 0.5f + Vec3{outward * 2.5f, -2.5f, -1.0f};
  Limb(s, shoulder, mid, hand, 2.6f, 2.3f, Matte(p.uniform));
  s.Ellipsoid(hand, {1.8f, 1.8f, 1.8f}, Matte(p.skin));
}

void Head(Scene& s, const Palette& p, float y, float tilt) {
  const Vec3 centre{0, y, 0.6f + tilt};
  s.Ellipsoid(centre, {4.2f, 4.8f, 4.4f}, Matte(p.skin));
  s.Ellipsoid(centre + Vec3{0, 2.2f, -0.8f}, {5.4f, 4.0f, 5.8f}, Shiny(p.helmet, 0.35f));   // helmet
  s.Ellipsoid(centre + Vec3{0, 1.1f, -0.8f}, {6.4f, 0.9f, 6.6f}, Shiny(p.helmet, 0.2f));    // rim
  for (float side : {-1.6f, 1.6f}) s.Ellipsoid(centre + Vec3{side, -1.0f, 3.8f}, {0.9f, 0.8f, 0.8f}, Matte(RgbOf(0x1A1410)));
  s.Ellipsoid(centre + Vec3{0, -3.0f, 3.4f}, {1.6f, 0.5f, 0.6f}, Matte(Scale(p.skin, 0.6f)));  // mouth
}

// The soldier in body coordinates: x to the right, y up, z forward, feet
// at y = 0. `placement` turns and tilts it into view.
void BuildSoldier(Scene& s, const Palette& p, const Pose& pose) {
  const float bob = pose.bob;
  Leg(s, p, -1, pose.legSwing, pose.liftedLeg == 0, bob);
  Leg(s, p, 1, -pose.legSwing, pose.liftedLeg == 1, bob);
  s.Ellipsoid({0, 33 + bob, 0}, {7.8f, 11.0f, 5.0f}, Matte(p.uniform));                       // torso
  s.Ellipsoid({0, 24 + bob, 0}, {7.0f, 1.8f, 4.8f}, Matte(p.belt));                          // belt
  s.Box({0, 24 + bob, 4.6f}, {1.6f, 1.4f, 0.5f}, Shiny(RgbOf(0xB09040), 0.8f));              // buckle
  s.Box({0, 35 + bob, -5.2f}, {5.0f, 6.0f, 2.2f}, Matte(Scale(p.belt, 1.3f)));               // pack
  s.Ellipsoid({0, 41 + bob, 0}, {9.0f, 2.6f, 4.6f}, Matte(Scale(p.uniform, 1.05f)));        // shoulders
  for (float side : {-1.0f, 1.0f}) s.Ellipsoid({side * 6.5f, 42 + bob, 0}, {1.8f, 1.0f, 3.0f}, Matte(p.helmet));  // epaulettes
  Head(s, p, 48 + bob, pose.flail * -1.5f);

  const Vec3 leftShoulder{-8, 40 + bob, 0}, rightShoulder{8, 40 + bob, 0};
  if (pose.flail > 0) {
    // Hit: arms thrown up and out, the gun falls away.
    Arm(s, p, leftShoulder, {-13, 40 + bob + 12 * pose.flail, 3}, -1);
    Arm(s, p, rightShoulder, {13, 40 + bob + 12 * pose.flail, 3}, 1);
    return;
  }
  if (pose.dropGun) {
    Arm(s, p, leftShoulder, {-11, 30 + bob, -2}, -1);
    Arm(s, p, rightShoulder, {11, 30 + bob, -2}, 1);
    return;
  }
  const float gunY = pose.aiming ? 37.5f : 29.0f;
  const float reach = pose.aiming ? 8.0f : 5.0f;
  const Vec3 grip{2.0f, gunY + bob, reach};
  Arm(s, p, rightShoulder, grip, 1);
  Arm(s, p, leftShoulder, grip + Vec3{-2.5f, 1.5f, 8}, -1);
  Gun(s, p, grip, pose.flash);
}

// Direction k seen from the camera: 0 back, 2 facing screen left, 4 front.
Transform Facing(float k) { return RotateY(-45.0f * k); }

Canvas RenderSoldier(int team, const Pose& pose, float direction) {
  const Palette p = TeamPalette(team);
  // Falling backwards tilts the body about its feet; it is lifted by its
  // own depth so it rests on the floor and shifted to stay centred.
  const float fall = pose.fall;
  const float f = fall / 90.0f;
  Transform body = RotateX(-fall).Then(Translate({0, 5.5f * std::sin(fall * kPi / 180), 24 * f}));
  Scene s(body.Then(Facing(direction)));
  BuildSoldier(s, p, pose);
  if (pose.dropGun) {
    s.SetPlacement(Facing(direction));
    Gun(s, p, {9, 1.3f, 2}, false);
  }
  Canvas c(kImage, kImage, {}, false);
  if (pose.blood > 0) {
    Scene pool(Facing(direction));
    pool.Ellipsoid({0, 0, -2}, {pose.blood, 0.6f, pose.blood * 0.7f}, Shiny(RgbOf(0x7A0A0A), 0.5f));
    pool.Render(c, Camera{0, 1.0f, kImage / 2.0f, kImage});
  }
  s.Render(c, Camera{0, 1.0f, kImage / 2.0f, kImage});
  Outline(c, RgbOf(0x141010));
  return c;
}

Pose WalkPose(int phase) {
  Pose pose;
  static const float swings[4] = {24, 0, -24, 0};
  pose.legSwing = swings[phase];
  pose.liftedLeg = phase == 1 ? 0 : phase == 3 ? 1 : -1;
  pose.bob = phase % 2 ? 1.0f : 0.0f;
  return pose;
}

Pose DyingPose(int step) {
  Pose pose;
  static const float falls[5] = {8, 30, 55, 78, 90};
  pose.fall = falls[step];
  pose.flail = step == 0 ? 1.0f : step == 1 ? 0.6f : 0.0f;
  pose.dropGun = step >= 2;
  pose.legSwing = step >= 1 && step <= 3 ? 18.0f : 0.0f;
  pose.blood = step == 4 ? 13.0f : step == 3 ? 6.0f : 0.0f;
  return pose;
}

}  // namespace

Canvas StoneFigure() {
  Palette stone;
  stone.uniform = stone.trousers = stone.skin = stone.belt = RgbOf(0xA8A49C);
  stone.helmet = stone.boots = stone.metal = stone.wood = RgbOf(0x98948C);
  Pose salute;
  salute.aiming = true;
  Scene s(RotateY(-45.0f * 3.4f));
  BuildSoldier(s, stone, salute);
  Canvas c(kImage, kImage, {}, false);
  s.Render(c, Camera{0, 0.85f, kImage / 2.0f, kImage});
  return c;
}

std::vector<PictureFile> MakeSkins() {
  std::vector<PictureFile> out;
  for (int team = 0; team < 4; ++team) {
    auto add = [&](int frame, const Canvas& c) {
      AddSprite(out, "sprites/skin_" + std::to_string(team) + "_" + std::to_string(frame) + ".bmp", c);
    };
    for (int dir = 0; dir < 5; ++dir)
      for (int phase = 0; phase < 4; ++phase) add(4 * dir + phase, RenderSoldier(team, WalkPose(phase), float(dir)));
    for (int dir = 0; dir < 5; ++dir) {
      Pose firing;
      firing.aiming = true;
      firing.flash = true;
      add(20 + dir, RenderSoldier(team, firing, float(dir)));
    }
    // The fall is seen from between the side and the front.
    for (int step = 0; step < 5; ++step) add(25 + step, RenderSoldier(team, DyingPose(step), 2.6f));
  }
  return out;
}
