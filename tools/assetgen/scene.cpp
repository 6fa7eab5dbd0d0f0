#include "tools/assetgen/scene.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kDegrees = 3.14159265f / 180.0f;
constexpr float kMiss = 1e30f;

Vec3 LocalOf(const Transform& frame, Vec3 p) {
  const Vec3 d = p - frame.origin;
  return {Dot(d, frame.axis[0]), Dot(d, frame.axis[1]), Dot(d, frame.axis[2])};
}

// Angle around, fraction along and distance from the segment a-b.
Vec3 AxialCoordinates(Vec3 a, Vec3 b, Vec3 p) {
  const Vec3 axis = b - a;
  const float len2 = Dot(axis, axis);
  const float h = Dot(p - a, axis) / len2;
  const Vec3 radial = p - a - axis * h;
  Vec3 ref = std::fabs(axis.y) < 0.9f * std::sqrt(len2) ? Vec3{0, 1, 0} : Vec3{1, 0, 0};
  const Vec3 u = Normalize(Cross(axis, ref));
  const Vec3 v = Normalize(Cross(axis, u));
  return {std::atan2(Dot(radial, v), Dot(radial, u)), h, std::sqrt(Dot(radial, radial))};
}

float SphereHit(Vec3 origin, Vec3 dir, Vec3 centre, float r) {
  const Vec3 oc = origin - centre;
  const float b = Dot(oc, dir);
  const float c = Dot(oc, oc) - r * r;
  const float h = b * b - c;
  return h < 0 ? kMiss : -b - std::sqrt(h);
}

}  // namespace

Vec3 Normalize(Vec3 v) {
  const float len = std::sqrt(Dot(v, v));
  return len > 0 ? v * (1.0f / len) : v;
}

Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Transform Transform::Then(const Transform& outer) const {
  Transform out;
  for (int i = 0; i < 3; ++i) out.axis[i] = outer.Direction(axis[i]);
  out.origin = outer.Point(origin);
  return out;
}

Transform RotateX(float degrees) {
  const float c = std::cos(degrees * kDegrees), s = std::sin(degrees * kDegrees);
  Transform t;
  t.axis[1] = {0, c, s};
  t.axis[2] = {0, -s, c};
  return t;
}

Transform RotateY(float degrees) {
  const float c = std::cos(degrees * kDegrees), s = std::sin(degrees * kDegrees);
  Transform t;
  t.axis[0] = {c, 0, -s};
  t.axis[2] = {s, 0, c};
  return t;
}

Transform RotateZ(float degrees) {
  const float c = std::cos(degrees * kDegrees), s = std::sin(degrees * kDegrees);
  Transform t;
  t.axis[0] = {c, s, 0};
  t.axis[1] = {-s, c, 0};
  return t;
}

Transform Translate(Vec3 by) {
  Transform t;
  t.origin = by;
  return t;
}

void Scene::Ellipsoid(Vec3 centre, Vec3 radii, const Material& m, const Transform& frame) {
  Primitive p{Shape::kEllipsoid, frame.Then(Translate(centre)).Then(placement_), radii, {}, {}, 0, m};
  primitives_.push_back(p);
}

void Scene::Box(Vec3 centre, Vec3 half, const Material& m, const Transform& frame) {
  Primitive p{Shape::kBox, frame.Then(Translate(centre)).Then(placement_), half, {}, {}, 0, m};
  primitives_.push_back(p);
}

void Scene::Capsule(Vec3 a, Vec3 b, float radius, const Material& m) {
  primitives_.push_back({Shape::kCapsule, {}, {}, placement_.Point(a), placement_.Point(b), radius, m});
}

void Scene::Cylinder(Vec3 a, Vec3 b, float radius, const Material& m) {
  primitives_.push_back({Shape::kCylinder, {}, {}, placement_.Point(a), placement_.Point(b), radius, m});
}

bool Scene::Intersect(const Primitive& p, Vec3 origin, Vec3 dir, float& t, SurfacePoint& hit) const {
  switch (p.shape) {
    case Shape::kEllipsoid: {
      // In the frame scaled by the radii the ellipsoid is a unit sphere.
      const Vec3 o = LocalOf(p.frame, origin);
      const Vec3 d{Dot(dir, p.frame.axis[0]), Dot(dir, p.frame.axis[1]), Dot(dir, p.frame.axis[2])};
      const Vec3 os{o.x / p.size.x, o.y / p.size.y, o.z / p.size.z};
      const Vec3 ds{d.x / p.size.x, d.y / p.size.y, d.z / p.size.z};
      const float a = Dot(ds, ds), b = Dot(os, ds), c = Dot(os, os) - 1;
      const float h = b * b - a * c;
      if (h < 0) return false;
      t = (-b - std::sqrt(h)) / a;
      const Vec3 local = o + d * t;
      hit.local = local;
      hit.normal = Normalize(p.frame.Direction({local.x / (p.size.x * p.size.x), local.y / (p.size.y * p.size.y),
                                                local.z / (p.size.z * p.size.z)}));
      break;
    }
    case Shape::kBox: {
      const Vec3 o = LocalOf(p.frame, origin);
      const Vec3 d{Dot(dir, p.frame.axis[0]), Dot(dir, p.frame.axis[1]), Dot(dir, p.frame.axis[2])};
      const float oc[3] = {o.x, o.y, o.z}, dc[3] = {d.x, d.y, d.z}, hc[3] = {p.size.x, p.size.y, p.size.z};
      float tNear = -kMiss, tFar = kMiss;
      int nearAxis = 0;
      float nearSign = 1;
      for (int i = 0; i < 3; ++i) {
        if (std::fabs(dc[i]) < 1e-7f) {
          if (std::fabs(oc[i]) > hc[i]) return false;
          continue;
        }
        float t1 = (-hc[i] - oc[i]) / dc[i], t2 = (hc[i] - oc[i]) / dc[i];
        const float sign = t1 < t2 ? -1.0f : 1.0f;
        if (t1 > t2) std::swap(t1, t2);
        if (t1 > tNear) {
          tNear = t1;
          nearAxis = i;
          nearSign = sign;
        }
        tFar = std::min(tFar, t2);
      }
      if (tNear > tFar) return false;
      t = tNear;
      hit.local = o + d * t;
      hit.normal = p.frame.axis[nearAxis] * nearSign;
      break;
    }
    case Shape::kCapsule: {
      const Vec3 ba = p.b - p.a, oa = origin - p.a;
      const float baba = Dot(ba, ba), bard = Dot(ba, dir), baoa = Dot(ba, oa);
      const float a = baba - bard * bard;
      const float b = baba * Dot(oa, dir) - baoa * bard;
      const float c = baba * Dot(oa, oa) - baoa * baoa - p.radius * p.radius * baba;
      t = kMiss;
      const float h = b * b - a * c;
      if (a > 1e-6f && h >= 0) {
        const float body = (-b - std::sqrt(h)) / a;
        const float y = baoa + body * bard;
        if (y > 0 && y < baba) t = body;
      }
      if (t == kMiss) t = std::min(SphereHit(origin, dir, p.a, p.radius), SphereHit(origin, dir, p.b, p.radius));
      if (t == kMiss) return false;
      const Vec3 pos = origin + dir * t;
      const float along = std::clamp(Dot(pos - p.a, ba) / baba, 0.0f, 1.0f);
      hit.normal = Normalize(pos - p.a - ba * along);
      hit.local = AxialCoordinates(p.a, p.b, pos);
      break;
    }
    case Shape::kCylinder: {
      const Vec3 ba = p.b - p.a, oc = origin - p.a;
      const float baba = Dot(ba, ba), bard = Dot(ba, dir), baoc = Dot(ba, oc);
      const float k2 = baba - bard * bard;
      const float k1 = baba * Dot(oc, dir) - baoc * bard;
      const float k0 = baba * Dot(oc, oc) - baoc * baoc - p.radius * p.radius * baba;
      float h = k1 * k1 - k2 * k0;
      if (h < 0 || k2 < 1e-6f) return false;
      h = std::sqrt(h);
      t = (-k1 - h) / k2;
      const float y = baoc + t * bard;
      if (y > 0 && y < baba) {
        hit.normal = Normalize(oc + dir * t - ba * (y / baba));
      } else {
        if (std::fabs(bard) < 1e-7f) return false;
        t = ((y < 0 ? 0 : baba) - baoc) / bard;
        if (std::fabs(k1 + k2 * t) >= h) return false;
        hit.normal = Normalize(ba * (y < 0 ? -1.0f : 1.0f));
      }
      hit.local = AxialCoordinates(p.a, p.b, origin + dir * t);
      break;
    }
  }
  hit.world = origin + dir * t;
  return t > 0;
}

Rgb Scene::Shade(const Primitive& p, const SurfacePoint& hit, Vec3 viewDir) const {
  Rgb base = p.material.pattern ? p.material.pattern(hit, p.material.colour) : p.material.colour;
  if (p.material.emissive) return base;
  static const Vec3 light = Normalize({-0.55f, 0.75f, -0.65f});
  Vec3 n = hit.normal;
  if (Dot(n, viewDir) > 0) n = n * -1.0f;
  const float diffuse = std::max(0.0f, Dot(n, light));
  const Vec3 reflected = n * (2 * Dot(n, light)) - light;
  const float specular = std::pow(std::max(0.0f, -Dot(reflected, viewDir)), 12.0f) * p.material.shine;
  const Rgb lit = Scale(base, 0.5f + 0.75f * diffuse);
  return Offset(lit, int(specular * 110));
}

void Scene::Render(Canvas& canvas, const Camera& camera) const {
  const float c = std::cos(camera.pitch * kDegrees), s = std::sin(camera.pitch * kDegrees);
  const Vec3 viewDir{0, -s, c}, screenUp{0, c, s}, screenRight{1, 0, 0};
  for (int py = 0; py < canvas.height(); ++py)
    for (int px = 0; px < canvas.width(); ++px) {
      const float u = (px + 0.5f - camera.originX) / camera.scale;
      const float v = (camera.originY - (py + 0.5f)) / camera.scale;
      Vec3 origin = screenRight * u + screenUp * v - viewDir * 500.0f;
      Vec3 dir = viewDir;
      if (camera.eyeDistance > 0) {
        // Rays fan out from one eye through the picture plane at the origin.
        origin = viewDir * -camera.eyeDistance;
        dir = Normalize(screenRight * u + screenUp * v - origin);
      }
      float best = kMiss;
      const Primitive* bestPrim = nullptr;
      SurfacePoint bestHit;
      for (const Primitive& prim : primitives_) {
        float t;
        SurfacePoint hit;
        if (Intersect(prim, origin, dir, t, hit) && t < best) {
          best = t;
          bestPrim = &prim;
          bestHit = hit;
        }
      }
      if (bestPrim) canvas.Set(px, py, Shade(*bestPrim, bestHit, dir));
    }
}
