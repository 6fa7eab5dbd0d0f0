// A tiny orthographic ray tracer for figures and props: ellipsoids,
// capsules, cylinders and boxes, lit from the upper left front. Drawing in
// 3D lets one model be shown from every direction with consistent shading.
#pragma once

#include <functional>
#include <vector>

#include "tools/assetgen/canvas.h"

struct Vec3 {
  float x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Normalize(Vec3 v);
Vec3 Cross(Vec3 a, Vec3 b);

// Rotation plus translation; columns of m are the rotated x, y, z axes.
struct Transform {
  Vec3 axis[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  Vec3 origin;
  Vec3 Point(Vec3 p) const { return origin + axis[0] * p.x + axis[1] * p.y + axis[2] * p.z; }
  Vec3 Direction(Vec3 d) const { return axis[0] * d.x + axis[1] * d.y + axis[2] * d.z; }
  Transform Then(const Transform& outer) const;  // this first, then outer
};
Transform RotateX(float degrees);
Transform RotateY(float degrees);
Transform RotateZ(float degrees);
Transform Translate(Vec3 by);

struct SurfacePoint {
  Vec3 world;
  Vec3 local;   // ellipsoid and box: frame coordinates; capsule and cylinder: (angle, 0..1 along axis, radius)
  Vec3 normal;
};

struct Material {
  Rgb colour;
  float shine = 0;          // strength of the specular highlight
  bool emissive = false;    // drawn at full colour, unlit (flames, flashes)
  std::function<Rgb(const SurfacePoint&, Rgb)> pattern;  // optional surface detail
};

struct Camera {
  float pitch = 0;          // degrees looking down
  float scale = 1;          // pixels per world unit
  float originX = 32, originY = 64;  // pixel where the world origin appears
  float eyeDistance = 0;    // 0: parallel rays; otherwise a perspective eye this far back
};

class Scene {
 public:
  explicit Scene(const Transform& placement = {}) : placement_(placement) {}
  // Every shape is given in model coordinates and moved by `placement`.
  void Ellipsoid(Vec3 centre, Vec3 radii, const Material& m, const Transform& frame = {});
  void Box(Vec3 centre, Vec3 half, const Material& m, const Transform& frame = {});
  void Capsule(Vec3 a, Vec3 b, float radius, const Material& m);
  void Cylinder(Vec3 a, Vec3 b, float radius, const Material& m);
  void SetPlacement(const Transform& placement) { placement_ = placement; }

  // Draws every hit pixel onto the canvas; misses stay as they were.
  void Render(Canvas& canvas, const Camera& camera) const;

 private:
  enum class Shape { kEllipsoid, kBox, kCapsule, kCylinder };
  struct Primitive {
    Shape shape;
    Transform frame;    // ellipsoid, box: centre and axes
    Vec3 size;          // radii or half sizes
    Vec3 a, b;          // capsule, cylinder ends
    float radius = 0;
    Material material;
  };
  bool Intersect(const Primitive& p, Vec3 origin, Vec3 dir, float& t, SurfacePoint& hit) const;
  Rgb Shade(const Primitive& p, const SurfacePoint& hit, Vec3 viewDir) const;

  Transform placement_;
  std::vector<Primitive> primitives_;
};
