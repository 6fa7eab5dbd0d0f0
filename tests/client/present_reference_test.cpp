// The game's renderer must draw exactly what the plain reference renderer
// draws: every pixel and every depth, on many poses and scenes.

#include <memory>
#include <sstream>
#include <vector>

#include "client/presentation/renderer.h"
#include "present_reference_renderer.h"
#include "present_scene.h"
#include "client_test.h"

namespace {

struct Mismatch {
  int count = 0;
  std::string first;
};

Mismatch Compare(const reference::View& ref) {
  Mismatch m;
  for (int c = 0; c < VIEW_W; ++c) {
    for (int r = 0; r <= VIEW_H; ++r) {
      const bool depth_differs = ViewDepth(c, r) != ref.depth[c][r];
      const bool pixel_differs = r < VIEW_H && view_surface[r * VIEW_W + c] != ref.At(c, r);
      if (!depth_differs && !pixel_differs) continue;
      if (m.count++ == 0) {
        std::ostringstream out;
        out << "column " << c << " row " << r << std::hex << ": pixel " << (r < VIEW_H ? view_surface[r * VIEW_W + c] : 0)
            << " vs " << (r < VIEW_H ? ref.At(c, r) : 0) << std::dec << ", depth " << ViewDepth(c, r) << " vs "
            << ref.depth[c][r];
        m.first = out.str();
      }
    }
  }
  return m;
}

class MatchesReference : public ClientTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    CreateViewSurface();
    if (UseVectorRenderer(GetParam()) != GetParam()) GTEST_SKIP() << "no AVX2 on this processor";
    ref_ = std::make_unique<reference::View>();
  }
  void TearDown() override {
    UseVectorRenderer(true);
    ClientTest::TearDown();
  }

  // Renders one pose with both renderers and reports the first difference.
  void Check(const scene::Pose& pose, const std::vector<scene::Billboard>& billboards,
             const std::vector<SpriteImage>& images, const std::string& what) {
    camera = scene::CameraFor(pose);
    const Camera cam = camera;
    CastWalls();
    for (const auto& b : billboards) DrawBillboard(b.hang, images[b.image], b.mirrored, b.x, b.y);
    ApplyScreenTint();
    reference::CastWalls(*ref_, cam);
    for (const auto& b : billboards) reference::DrawBillboard(*ref_, cam, b.hang, images[b.image], b.mirrored, b.x, b.y);
    reference::ApplyTint(*ref_, cam);
    EXPECT_EQ(camera.farthest_wall, ref_->farthest) << what;
    const Mismatch m = Compare(*ref_);
    EXPECT_EQ(m.count, 0) << what << " pose " << pose.x << "," << pose.y << " angle " << pose.angle << " eye "
                          << int(pose.eye) << ": first at " << m.first;
  }

  std::unique_ptr<reference::View> ref_;
};

TEST_P(MatchesReference, WallsOnManyPosesAndArenas) {
  std::vector<SpriteImage> none;
  for (uint32_t arena = 1; arena <= 3; ++arena) {
    scene::BuildArena(arena);
    scene::FillTextures(arena + 10);
    int n = 0;
    for (const auto& pose : scene::Poses(60, arena + 20, arena != 1))
      Check(pose, {}, none, "arena " + std::to_string(arena) + " pose " + std::to_string(n++));
  }
}

TEST_P(MatchesReference, ScatteredBillboards) {
  scene::BuildArena(4);
  scene::FillTextures(14);
  std::vector<SpriteImage> images;
  scene::FillSprites(images, 24, 5);
  const auto billboards = scene::Scatter(300, 24, 6);
  int n = 0;
  for (const auto& pose : scene::Poses(40, 7, true)) Check(pose, billboards, images, "pose " + std::to_string(n++));
}

TEST_P(MatchesReference, HeavyOverdrawAndCloseBillboards) {
  scene::BuildArena(8);
  for (int x = 1; x <= 64; ++x)
    for (int y = 1; y <= 64; ++y) map_grid[x][y] = (x + y) % 29 == 0 ? 'C' : ' ';  // a wide hall
  scene::FillTextures(9);
  std::vector<SpriteImage> images;
  scene::FillSprites(images, 16, 10);
  int n = 0;
  for (const auto& pose : scene::Poses(25, 11, n % 2 == 0)) {
    auto billboards = scene::InView(pose, 100, 16, 12 + n);
    // Right in front of the eye, and at exactly the same spot twice.
    const Camera cam = scene::CameraFor(pose);
    billboards.push_back({pose.x + cam.dir_x * 0.02f, pose.y + cam.dir_y * 0.02f, 0, 0, false});
    billboards.push_back({pose.x + cam.dir_x * 0.3f, pose.y + cam.dir_y * 0.3f, 200, 1, true});
    billboards.push_back(billboards[3]);
    Check(pose, billboards, images, "pose " + std::to_string(n++));
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, MatchesReference, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Vector" : "Portable"; });

}  // namespace
