// The renderer against the plain reference renderer, frame for frame, on a
// 64 x 64 arena of rooms and pillars. Both draw the same poses in turn and
// the medians of their frame times are reported with their ratio.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "client/core/client_state.h"
#include "client/presentation/renderer.h"
#include "tests/client/present_reference_renderer.h"
#include "tests/client/present_scene.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct Arena {
  std::vector<SpriteImage> images;
  std::vector<scene::Pose> poses;
  std::unique_ptr<reference::View> ref = std::make_unique<reference::View>();
  Arena() {
    CreateViewSurface();
    scene::BuildArena(42);
    scene::FillTextures(43);
    scene::FillSprites(images, 24, 44);
    poses = scene::Poses(32, 45, true);
  }
};

Arena& TheArena() {
  static Arena arena;
  return arena;
}

double TimeReal(const Camera& cam, const std::vector<scene::Billboard>& billboards, const Arena& a) {
  const auto start = Clock::now();
  camera = cam;
  CastWalls();
  for (const auto& b : billboards) DrawBillboard(b.hang, a.images[b.image], b.mirrored, b.x, b.y);
  ApplyScreenTint();
  benchmark::DoNotOptimize(view_surface[12345]);
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double TimeReference(const Camera& cam, const std::vector<scene::Billboard>& billboards, Arena& a,
                     reference::BillboardStats* stats = nullptr) {
  const auto start = Clock::now();
  reference::CastWalls(*a.ref, cam);
  for (const auto& b : billboards)
    reference::DrawBillboard(*a.ref, cam, b.hang, a.images[b.image], b.mirrored, b.x, b.y, stats);
  reference::ApplyTint(*a.ref, cam);
  benchmark::DoNotOptimize(a.ref->surface[12345]);
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

void Report(benchmark::State& state, const std::vector<double>& real, const std::vector<double>& ref) {
  const double real_us = Median(real), ref_us = Median(ref);
  state.counters["real_us"] = real_us;
  state.counters["ref_us"] = ref_us;
  state.counters["speedup"] = ref_us / real_us;
}

// Both renderers draw the same poses in turn with the given billboards.
void RunInterleaved(benchmark::State& state, const std::vector<scene::Billboard>& billboards) {
  Arena& a = TheArena();
  std::vector<double> real, ref;
  real.reserve(1 << 16);
  ref.reserve(1 << 16);
  size_t i = 0;
  for (auto _ : state) {
    const Camera cam = scene::CameraFor(a.poses[i++ % a.poses.size()]);
    real.push_back(TimeReal(cam, billboards, a));
    ref.push_back(TimeReference(cam, billboards, a));
  }
  Report(state, real, ref);
}

// Walls, ceiling and floor, depth and an active tint; no billboards.
void BM_Walls(benchmark::State& state) { RunInterleaved(state, {}); }

// The same with 300 billboards scattered over the whole map.
void BM_ScatteredBillboards(benchmark::State& state) {
  static const auto billboards = scene::Scatter(300, 24, 46);
  RunInterleaved(state, billboards);
}

// 100 billboards all in view: the time beyond the walls of the same pose,
// per billboard pixel covered and per pixel written.
void BM_Overdraw(benchmark::State& state) {
  Arena& a = TheArena();
  static std::vector<std::vector<scene::Billboard>> sets;
  if (sets.empty())
    for (size_t p = 0; p < a.poses.size(); ++p) sets.push_back(scene::InView(a.poses[p], 100, 24, 100 + p));
  std::vector<double> real_ns, ref_ns, real_ns_written, ref_ns_written;
  real_ns.reserve(1 << 16);
  ref_ns.reserve(1 << 16);
  real_ns_written.reserve(1 << 16);
  ref_ns_written.reserve(1 << 16);
  size_t i = 0;
  double covered_total = 0;
  for (auto _ : state) {
    const size_t p = i++ % a.poses.size();
    const Camera cam = scene::CameraFor(a.poses[p]);
    reference::BillboardStats stats;
    const double ref_walls = TimeReference(cam, {}, a);
    const double ref_all = TimeReference(cam, sets[p], a, &stats);
    const double real_walls = TimeReal(cam, {}, a);
    const double real_all = TimeReal(cam, sets[p], a);
    const double covered = static_cast<double>(std::max(stats.covered, 1L));
    const double written = static_cast<double>(std::max(stats.written, 1L));
    covered_total += covered;
    real_ns.push_back((real_all - real_walls) * 1000 / covered);
    ref_ns.push_back((ref_all - ref_walls) * 1000 / covered);
    real_ns_written.push_back((real_all - real_walls) * 1000 / written);
    ref_ns_written.push_back((ref_all - ref_walls) * 1000 / written);
  }
  state.counters["real_ns_px"] = Median(real_ns);
  state.counters["ref_ns_px"] = Median(ref_ns);
  state.counters["speedup"] = Median(ref_ns) / Median(real_ns);
  state.counters["real_ns_written_px"] = Median(real_ns_written);
  state.counters["ref_ns_written_px"] = Median(ref_ns_written);
  state.counters["covered_px_per_frame"] = covered_total / static_cast<double>(std::max<size_t>(i, 1));
}

// The floor under any renderer: 120,000 pixels and their depths written
// sequentially, to read the figures above against this machine's speed.
void BM_SequentialWrite(benchmark::State& state) {
  static uint16_t depth[VIEW_H][VIEW_W];
  std::vector<double> times;
  times.reserve(1 << 16);
  uint32_t value = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    ++value;
    std::fill(view_surface, view_surface + VIEW_W * VIEW_H, value);
    std::fill(&depth[0][0], &depth[0][0] + VIEW_W * VIEW_H, static_cast<uint16_t>(value));
    benchmark::DoNotOptimize(view_surface[777]);
    benchmark::DoNotOptimize(depth[5][5]);
    times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  state.counters["write_us"] = Median(times);
}

BENCHMARK(BM_SequentialWrite)->Iterations(3200)->Repetitions(5);
BENCHMARK(BM_Walls)->Iterations(3200)->Repetitions(5);
BENCHMARK(BM_ScatteredBillboards)->Iterations(3200)->Repetitions(5);
BENCHMARK(BM_Overdraw)->Iterations(640)->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
