// The raycast renderer. One ray per screen column finds the wall; the wall
// slices are then written row by row in strips of eight columns so that
// every store lands in the row-major surface sequentially, and the texture
// rows of eight columns advance together. Billboards are drawn row by row
// against the per-pixel depth. The screen tint is applied as each pixel is
// written, which gives the same picture as tinting the finished view.
#include "client/presentation/renderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "client/core/client_state.h"
#include "client/presentation/hud.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VORNAX_X86 1
#endif

Camera camera;

namespace {

constexpr int W = VIEW_W;
constexpr int H = VIEW_H;
constexpr int HORIZON = 150;
constexpr int STRIP = 8;
constexpr uint32_t MENU_RED = 0xC80000;  // RGB(200, 0, 0)

// Per-pixel depth, row-major like the surface, and each column's wall depth.
uint16_t pixel_depth[H][W];
uint16_t wall_depth[W];

// Each column's slice as the ray found it: rows before ceil_end show the
// ceiling, rows ceil_end..bottom the wall, rows after bottom the floor.
alignas(32) int32_t span_ceil_end[W];
alignas(32) int32_t span_bottom[W];
alignas(32) float span_tex_y[W];     // texture row of the first wall row
alignas(32) float span_step[W];      // texture rows per screen row
alignas(32) float span_tex_last[W];  // last texture row, keeps rounding inside the image
alignas(32) int32_t span_texel[W];   // texture column, in texels from the start of wall_textures

// Screen columns and rows of the billboard being drawn, as texel offsets.
alignas(32) int32_t billboard_texel_x[W];
int32_t billboard_texel_y[H];

bool CpuHasAvx2() {
#ifdef VORNAX_X86
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

uint32_t tint_mask = 0xFFFFFF;
bool vector_path = CpuHasAvx2();

bool IsRayBlocking(char c) { return (c >= 'A' && c <= 'Z') || c == '['; }

const uint32_t* WallTexelBase() { return reinterpret_cast<const uint32_t*>(static_cast<const void*>(wall_textures)); }

int32_t TexelOffset(const uint32_t* texel) {
  return static_cast<int32_t>(reinterpret_cast<const char*>(texel) -
                              reinterpret_cast<const char*>(static_cast<const void*>(wall_textures))) /
         4;
}

uint16_t DepthOf(float distance) {
  return static_cast<uint16_t>(static_cast<int32_t>(std::min(distance * 100.0f, 65535.0f)));
}

uint32_t TintMask() {
  return static_cast<uint32_t>(camera.tint_r) << 16 | static_cast<uint32_t>(camera.tint_g) << 8 | camera.tint_b;
}

// ---------------------------------------------------------------- rays

struct Ray {
  float dir_x, dir_y;
  int map_x, map_y;
  int step_x, step_y;
  int side;
};

// Steps from cell to cell until a ray-blocking cell; the outer ring of the
// map always stops it.
void TraceRay(Ray& ray, float pos_x, float pos_y) {
  const float delta_x = SQRT2(ray.dir_y * ray.dir_y / (ray.dir_x * ray.dir_x) + 1);
  const float delta_y = SQRT2(ray.dir_x * ray.dir_x / (ray.dir_y * ray.dir_y) + 1);
  float side_x, side_y;
  if (ray.dir_x < 0) {
    ray.step_x = -1;
    side_x = (pos_x - ray.map_x) * delta_x;
  } else {
    ray.step_x = 1;
    side_x = (ray.map_x + 1 - pos_x) * delta_x;
  }
  if (ray.dir_y < 0) {
    ray.step_y = -1;
    side_y = (pos_y - ray.map_y) * delta_y;
  } else {
    ray.step_y = 1;
    side_y = (ray.map_y + 1 - pos_y) * delta_y;
  }
  ray.side = 0;
  while (!IsRayBlocking(map_grid[ray.map_x][ray.map_y])) {
    if (side_x < side_y) {
      side_x += delta_x;
      ray.map_x += ray.step_x;
      ray.side = 0;
    } else {
      side_y += delta_y;
      ray.map_y += ray.step_y;
      ray.side = 1;
    }
  }
}

float PerpendicularDistance(const Ray& ray, float pos_x, float pos_y) {
  float distance;
  if (ray.side == 0)
    distance = (ray.map_x - pos_x + (1 - ray.step_x) / 2) / ray.dir_x;
  else
    distance = (ray.map_y - pos_y + (1 - ray.step_y) / 2) / ray.dir_y;
  return std::max(distance, 0.001f);
}

void SetBoundarySpan(int column) {
  span_ceil_end[column] = HORIZON + 1;
  span_bottom[column] = HORIZON;
  span_tex_y[column] = span_step[column] = span_tex_last[column] = 0;
  span_texel[column] = TexelOffset(&wall_textures[0].planes[0][0]);
}

void SetWallSpan(int column, const Ray& ray, float distance) {
  const WallTexture& texture = wall_textures[map_grid[ray.map_x][ray.map_y] - 'A'];
  const int lift = static_cast<int>(camera.eye_height / distance * 1.25f);
  const int line_height = static_cast<int>(300 / distance);
  const int top = HORIZON - line_height + lift;
  span_ceil_end[column] = std::min(std::max(top, 0), H);
  span_bottom[column] = std::min(top + line_height, H - 1);

  const float wall_x =
      ray.side == 1 ? camera.pos_x + distance * ray.dir_x : camera.pos_y + distance * ray.dir_y;
  const float frac = wall_x - std::trunc(wall_x);
  int tex_x = std::min(static_cast<int>(texture.width * frac), texture.width - 1);
  if ((ray.side == 1 && ray.dir_y > 0) || (ray.side == 0 && ray.dir_x < 0)) tex_x = texture.width - tex_x - 1;

  const float step = static_cast<float>(texture.height) / static_cast<float>(line_height + 1);
  span_step[column] = step;
  span_tex_y[column] = top < 0 ? static_cast<float>(-top) * step : 0.0f;
  span_tex_last[column] = static_cast<float>(texture.height - 1);
  // The side facing +-y uses the half-bright plane.
  span_texel[column] = TexelOffset(&texture.planes[ray.side][tex_x * 128]);
}

// ---------------------------------------------------------------- walls

void DrawWallStripPortable(int x0, uint32_t ceiling, uint32_t floor) {
  const uint32_t* base = WallTexelBase();
  for (int c = x0; c < x0 + STRIP; ++c) {
    const uint32_t* texels = base + span_texel[c];
    float tex_y = span_tex_y[c];
    for (int r = 0; r < H; ++r) {
      uint32_t pixel;
      if (r < span_ceil_end[c]) {
        pixel = ceiling;
      } else if (r <= span_bottom[c]) {
        pixel = texels[static_cast<int>(std::min(tex_y, span_tex_last[c]))] & tint_mask;
        tex_y += span_step[c];
      } else {
        pixel = floor;
      }
      view_surface[r * W + c] = pixel;
    }
  }
}

#ifdef VORNAX_X86
#define VECTOR_CODE __attribute__((target("avx2")))

VECTOR_CODE void FillStripRows(int x0, int first, int last, __m256i pixels) {
  for (int r = first; r < last; ++r) _mm256_storeu_si256(reinterpret_cast<__m256i*>(view_surface + r * W + x0), pixels);
}

struct StripLanes {
  __m256i ceil_end, bottom, texel;
  __m256 step, tex_last;
};

// Rows where some of the eight lanes show ceiling or floor: each lane picks,
// and a lane's texture row advances only on the rows its wall covers.
VECTOR_CODE __m256 DrawMixedRows(const StripLanes& lanes, int x0, int first, int last, __m256 tex_y, __m256i ceiling,
                                 __m256i floor, __m256i tint) {
  const uint32_t* base = WallTexelBase();
  alignas(32) int32_t at[STRIP];
  for (int r = first; r <= last; ++r) {
    const __m256i index = _mm256_add_epi32(lanes.texel, _mm256_cvttps_epi32(_mm256_min_ps(tex_y, lanes.tex_last)));
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), index);
    const __m256i row = _mm256_set1_epi32(r);
    const __m256i above = _mm256_cmpgt_epi32(lanes.ceil_end, row);
    const __m256i below = _mm256_cmpgt_epi32(row, lanes.bottom);
    __m256i pixel = _mm256_setr_epi32(static_cast<int>(base[at[0]]), static_cast<int>(base[at[1]]),
                                      static_cast<int>(base[at[2]]), static_cast<int>(base[at[3]]),
                                      static_cast<int>(base[at[4]]), static_cast<int>(base[at[5]]),
                                      static_cast<int>(base[at[6]]), static_cast<int>(base[at[7]]));
    pixel = _mm256_and_si256(pixel, tint);
    pixel = _mm256_blendv_epi8(pixel, floor, below);
    pixel = _mm256_blendv_epi8(pixel, ceiling, above);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(view_surface + r * W + x0), pixel);
    const __m256i off_wall = _mm256_or_si256(above, below);
    tex_y = _mm256_add_ps(tex_y, _mm256_andnot_ps(_mm256_castsi256_ps(off_wall), lanes.step));
  }
  return tex_y;
}

// Rows where all eight lanes show wall: no choice to make.
VECTOR_CODE __m256 DrawWallRows(const StripLanes& lanes, int x0, int first, int last, __m256 tex_y, __m256i tint) {
  const uint32_t* base = WallTexelBase();
  alignas(32) int32_t at[STRIP];
  for (int r = first; r <= last; ++r) {
    const __m256i index = _mm256_add_epi32(lanes.texel, _mm256_cvttps_epi32(_mm256_min_ps(tex_y, lanes.tex_last)));
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), index);
    const __m256i pixel = _mm256_setr_epi32(static_cast<int>(base[at[0]]), static_cast<int>(base[at[1]]),
                                            static_cast<int>(base[at[2]]), static_cast<int>(base[at[3]]),
                                            static_cast<int>(base[at[4]]), static_cast<int>(base[at[5]]),
                                            static_cast<int>(base[at[6]]), static_cast<int>(base[at[7]]));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(view_surface + r * W + x0), _mm256_and_si256(pixel, tint));
    tex_y = _mm256_add_ps(tex_y, lanes.step);
  }
  return tex_y;
}

// Eight columns at once, row by row, so that every store is a run of eight
// pixels and eight texture rows advance together: ceiling rows, rows that
// mix ceiling and wall, rows of wall only, rows that mix wall and floor,
// floor rows.
VECTOR_CODE void DrawWallStripVector(int x0, uint32_t ceiling, uint32_t floor) {
  StripLanes lanes;
  lanes.ceil_end = _mm256_load_si256(reinterpret_cast<const __m256i*>(span_ceil_end + x0));
  lanes.bottom = _mm256_load_si256(reinterpret_cast<const __m256i*>(span_bottom + x0));
  lanes.texel = _mm256_load_si256(reinterpret_cast<const __m256i*>(span_texel + x0));
  lanes.step = _mm256_load_ps(span_step + x0);
  lanes.tex_last = _mm256_load_ps(span_tex_last + x0);
  const __m256i ceiling_v = _mm256_set1_epi32(static_cast<int>(ceiling));
  const __m256i floor_v = _mm256_set1_epi32(static_cast<int>(floor));
  const __m256i tint = _mm256_set1_epi32(static_cast<int>(tint_mask));
  __m256 tex_y = _mm256_load_ps(span_tex_y + x0);

  int wall_first = H, wall_last = -1, solid_first = 0, solid_last = H - 1;
  for (int c = x0; c < x0 + STRIP; ++c) {
    wall_first = std::min(wall_first, span_ceil_end[c]);
    wall_last = std::max(wall_last, span_bottom[c]);
    solid_first = std::max(solid_first, span_ceil_end[c]);
    solid_last = std::min(solid_last, span_bottom[c]);
  }
  FillStripRows(x0, 0, wall_first, ceiling_v);
  if (solid_first <= solid_last) {
    tex_y = DrawMixedRows(lanes, x0, wall_first, solid_first - 1, tex_y, ceiling_v, floor_v, tint);
    tex_y = DrawWallRows(lanes, x0, solid_first, solid_last, tex_y, tint);
    DrawMixedRows(lanes, x0, solid_last + 1, wall_last, tex_y, ceiling_v, floor_v, tint);
  } else {
    DrawMixedRows(lanes, x0, wall_first, wall_last, tex_y, ceiling_v, floor_v, tint);
  }
  FillStripRows(x0, std::max(wall_last + 1, wall_first), H, floor_v);
}

// The texture columns of the next strip are fetched while this one draws.
VECTOR_CODE void PrefetchStripTexels(int x0) {
  if (x0 >= W) return;
  const char* base = reinterpret_cast<const char*>(WallTexelBase());
  for (int c = x0; c < x0 + STRIP; ++c)
    for (int line = 0; line < 128 * 4; line += 64) _mm_prefetch(base + 4 * span_texel[c] + line, _MM_HINT_T0);
}
#endif

#ifdef VORNAX_X86
VECTOR_CODE void FillPixelDepthVector() {
  constexpr int BLOCKS = W / 16;  // 16 depths per 32-byte block
  __m256i row[BLOCKS];
  for (int b = 0; b < BLOCKS; ++b) row[b] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(wall_depth + 16 * b));
  for (int r = 0; r < H; ++r)
    for (int b = 0; b < BLOCKS; ++b) _mm256_storeu_si256(reinterpret_cast<__m256i*>(&pixel_depth[r][16 * b]), row[b]);
}
#endif

// Every pixel starts at the depth of its column's wall.
void FillPixelDepth() {
#ifdef VORNAX_X86
  if (vector_path) {
    FillPixelDepthVector();
    return;
  }
#endif
  for (int r = 0; r < H; ++r) std::memcpy(pixel_depth[r], wall_depth, sizeof wall_depth);
}

void DrawWallStrips() {
  const uint32_t ceiling = ceiling_colour & tint_mask;
  const uint32_t floor = floor_colour & tint_mask;
  for (int x0 = 0; x0 < W; x0 += STRIP) {
#ifdef VORNAX_X86
    if (vector_path) {
      PrefetchStripTexels(x0 + STRIP);
      DrawWallStripVector(x0, ceiling, floor);
      continue;
    }
#endif
    DrawWallStripPortable(x0, ceiling, floor);
  }
  FillPixelDepth();
}

// ---------------------------------------------------------------- billboards

struct BillboardRect {
  int first_column, last_column, first_row, last_row;
  uint16_t depth;
  uint32_t transparent;
};

void DrawBillboardPortable(const BillboardRect& rect, const SpriteImage& image) {
  for (int c = rect.first_column; c <= rect.last_column; ++c) {
    if (wall_depth[c] <= rect.depth) continue;
    const uint32_t* texels = image.texels + billboard_texel_x[c - rect.first_column];
    for (int r = rect.first_row; r <= rect.last_row; ++r) {
      if (pixel_depth[r][c] <= rect.depth) continue;
      const uint32_t texel = texels[billboard_texel_y[r - rect.first_row]];
      if (texel == rect.transparent) continue;
      view_surface[r * W + c] = texel & tint_mask;
      pixel_depth[r][c] = rect.depth;
    }
  }
}

#ifdef VORNAX_X86
// Eight columns of one row: depth test, texel fetch and transparency as
// masks. Blocks hidden entirely by nearer pixels are skipped before the
// texels are fetched. The last block of a row may overlap the one before
// it, which is harmless because a pixel already written fails the strict
// depth test.
VECTOR_CODE void DrawBillboardBlock(const BillboardRect& rect, const uint32_t* texels, int r, int c, int texel_y,
                                    __m256i depth32, __m128i depth16, __m256i transparent, __m256i tint) {
  __m128i* depth_at = reinterpret_cast<__m128i*>(&pixel_depth[r][c]);
  const __m128i old_depth = _mm_loadu_si128(depth_at);
  const __m256i nearer = _mm256_cmpgt_epi32(_mm256_cvtepu16_epi32(old_depth), depth32);
  if (_mm256_testz_si256(nearer, nearer)) return;
  const int32_t* texel_x = billboard_texel_x + (c - rect.first_column);
  const uint32_t* t = texels + texel_y;
  const __m256i texel = _mm256_setr_epi32(
      static_cast<int>(t[texel_x[0]]), static_cast<int>(t[texel_x[1]]), static_cast<int>(t[texel_x[2]]),
      static_cast<int>(t[texel_x[3]]), static_cast<int>(t[texel_x[4]]), static_cast<int>(t[texel_x[5]]),
      static_cast<int>(t[texel_x[6]]), static_cast<int>(t[texel_x[7]]));
  const __m256i write = _mm256_andnot_si256(_mm256_cmpeq_epi32(texel, transparent), nearer);
  __m256i* pixel_at = reinterpret_cast<__m256i*>(view_surface + r * W + c);
  const __m256i pixel = _mm256_blendv_epi8(_mm256_loadu_si256(pixel_at), _mm256_and_si256(texel, tint), write);
  _mm256_storeu_si256(pixel_at, pixel);
  const __m128i write16 = _mm_packs_epi32(_mm256_castsi256_si128(write), _mm256_extracti128_si256(write, 1));
  _mm_storeu_si128(depth_at, _mm_blendv_epi8(old_depth, depth16, write16));
}

VECTOR_CODE void DrawBillboardVector(const BillboardRect& rect, const SpriteImage& image) {
  const uint32_t* texels = image.texels;
  const __m256i depth32 = _mm256_set1_epi32(rect.depth);
  const __m128i depth16 = _mm_set1_epi16(static_cast<int16_t>(rect.depth));
  const __m256i transparent = _mm256_set1_epi32(static_cast<int>(rect.transparent));
  const __m256i tint = _mm256_set1_epi32(static_cast<int>(tint_mask));
  const int last_block = rect.last_column - (STRIP - 1);
  for (int r = rect.first_row; r <= rect.last_row; ++r) {
    const int texel_y = billboard_texel_y[r - rect.first_row];
    for (int c = rect.first_column;; c += STRIP) {
      const int block = std::min(c, last_block);
      DrawBillboardBlock(rect, texels, r, block, texel_y, depth32, depth16, transparent, tint);
      if (block == last_block) break;
    }
  }
}
#endif

// Texture column (times 64) of every screen column and texture row of every
// screen row the billboard covers, advanced by the same float steps as the
// texture coordinates themselves.
void FillBillboardTexels(const BillboardRect& rect, const SpriteImage& image, float u, float step_u, float v,
                         float step_v) {
  for (int c = rect.first_column; c <= rect.last_column; ++c) {
    const int x = std::clamp(static_cast<int>(u), 0, image.width - 1);
    billboard_texel_x[c - rect.first_column] = x * 64;
    u += step_u;
  }
  for (int r = rect.first_row; r <= rect.last_row; ++r) {
    billboard_texel_y[r - rect.first_row] = std::min(static_cast<int>(v), image.height - 1);
    v += step_v;
  }
}

}  // namespace

// ---------------------------------------------------------------- interface

uint16_t ViewDepth(int column, int row) { return row == H ? wall_depth[column] : pixel_depth[row][column]; }

bool UseVectorRenderer(bool enabled) {
  vector_path = enabled && CpuHasAvx2();
  return vector_path;
}

void CreateViewSurface() {
  std::memset(view_surface, 0, sizeof view_surface);
  std::memset(pixel_depth, 0, sizeof pixel_depth);
  std::memset(wall_depth, 0, sizeof wall_depth);
  camera = Camera{};
  UseVectorRenderer(true);
}

void StartTintFlash(uint8_t dr, uint8_t dg, uint8_t db) {
  camera.tint_r = static_cast<uint8_t>(std::max(129, camera.tint_r - dr));
  camera.tint_g = static_cast<uint8_t>(std::max(129, camera.tint_g - dg));
  camera.tint_b = static_cast<uint8_t>(std::max(129, camera.tint_b - db));
}

static uint8_t StateOf(uint8_t slot) { return slot >= 1 && slot <= MAX_SLOTS ? players[slot].state : PS_NONE; }

// Eye height sinks while the view player is dead and the view turns red;
// the green and blue of any flash recover by 2 a frame.
static void UpdateEyeAndTint() {
  const uint8_t view_state = StateOf(view_slot);
  if (view_state == PS_DEAD) {
    camera.eye_height = static_cast<uint8_t>(std::max(camera.eye_height - 6, 20));
    StartTintFlash(0, 4, 4);
  } else {
    camera.eye_height = 165;
    if (view_slot >= 1 && view_slot <= MAX_SLOTS && players[view_slot].prev_state == PS_DEAD)
      camera.tint_r = camera.tint_g = camera.tint_b = 255;
    camera.tint_r = static_cast<uint8_t>(std::min(camera.tint_r + 2, 255));
  }
  camera.tint_g = static_cast<uint8_t>(std::min(camera.tint_g + 2, 255));
  camera.tint_b = static_cast<uint8_t>(std::min(camera.tint_b + 2, 255));
}

void SetupCamera() {
  // Positions are kept inside cells 1..64; clamping here keeps every ray
  // inside the map's outer ring whatever the position holds.
  camera.pos_x = std::clamp<uint16_t>(local_x, 65, 4159) / 64.0f;
  camera.pos_y = std::clamp<uint16_t>(local_y, 65, 4159) / 64.0f;
  UpdateEyeAndTint();
  camera.dir_x = std::cos(net_angle * DEG_TO_RAD);
  camera.dir_y = std::sin(net_angle * DEG_TO_RAD);
}

void CastWalls() {
  camera.pos_x = std::clamp(camera.pos_x, 1.0f, 64.99f);
  camera.pos_y = std::clamp(camera.pos_y, 1.0f, 64.99f);
  const float pos_x = camera.pos_x, pos_y = camera.pos_y;
  const int cell_x = static_cast<int>(pos_x), cell_y = static_cast<int>(pos_y);
  camera.farthest_wall = 0;
  camera.plane_x = -camera.dir_y * 0.9f;
  camera.plane_y = camera.dir_x * 0.9f;
  tint_mask = TintMask();

  // A camera inside a wall still sees out: its own cell is open for the pass.
  char& own_cell = map_grid[cell_x][cell_y];
  const char saved_cell = own_cell;
  if (IsRayBlocking(own_cell)) own_cell = ' ';

  float cam_x = -1.0f;
  for (int c = 0; c < W; ++c) {
    Ray ray{camera.dir_x + camera.plane_x * cam_x, camera.dir_y + camera.plane_y * cam_x, cell_x, cell_y, 0, 0, 0};
    if (ray.dir_x == 0) ray.dir_x = 0.00001f;
    if (ray.dir_y == 0) ray.dir_y = 0.00001f;
    TraceRay(ray, pos_x, pos_y);
    const float distance = PerpendicularDistance(ray, pos_x, pos_y);
    camera.farthest_wall = std::max(camera.farthest_wall, distance);
    wall_depth[c] = DepthOf(distance);
    if (map_grid[ray.map_x][ray.map_y] == '[')
      SetBoundarySpan(c);
    else
      SetWallSpan(c, ray, distance);
    cam_x += 0.005f;
  }
  own_cell = saved_cell;
  DrawWallStrips();
}

void DrawBillboard(uint8_t hang_offset, const SpriteImage& image, bool mirrored, float x, float y) {
  const float rel_x = x - camera.pos_x, rel_y = y - camera.pos_y;
  const float inv_det = 1 / (camera.plane_x * camera.dir_y - camera.dir_x * camera.plane_y);
  const float depth = inv_det * (-camera.plane_y * rel_x + camera.plane_x * rel_y);
  if (depth <= 0.01f || depth >= camera.farthest_wall) return;
  const float side = inv_det * (camera.dir_y * rel_x - camera.dir_x * rel_y);

  const int lift = static_cast<int>((camera.eye_height - hang_offset) / depth * 1.25f);
  const int screen_x = static_cast<int>((side / depth + 1) * 200);
  const int foot = lift + HORIZON;
  const int draw_w = static_cast<int>(image.width / depth * 4.1666667f) + 1;
  const int half_w = draw_w >> 1;
  const int draw_h = static_cast<int>(image.height / depth * 4.6875f) + 1;
  if (screen_x <= -half_w || screen_x >= half_w + W || foot <= 0 || foot >= draw_h + H) return;

  BillboardRect rect;
  rect.depth = DepthOf(depth);
  rect.first_column = std::max(screen_x - half_w, 0);
  rect.last_column = std::min(screen_x + half_w - 1, W - 1);
  rect.first_row = std::max(foot - draw_h, 0);
  rect.last_row = std::min(foot - 1, H - 1);
  rect.transparent = image.texels[0];
  if (rect.first_column > rect.last_column || rect.first_row > rect.last_row) return;

  float step_u = static_cast<float>(image.width) / static_cast<float>(draw_w);
  const float step_v = static_cast<float>(image.height) / static_cast<float>(draw_h);
  float u = screen_x - half_w < 0 ? static_cast<float>(half_w - screen_x) * step_u : 0.0f;
  if (mirrored) {
    step_u = -step_u;
    u = image.width - u - 1;
  }
  const float v = foot - draw_h < 0 ? static_cast<float>(draw_h - foot) * step_v : 0.0f;
  FillBillboardTexels(rect, image, u, step_u, v, step_v);

#ifdef VORNAX_X86
  if (vector_path && rect.last_column - rect.first_column + 1 >= STRIP) {
    DrawBillboardVector(rect, image);
    return;
  }
#endif
  DrawBillboardPortable(rect, image);
}

void ApplyScreenTint() {
  // The tint itself went in with every pixel; an untinted view only marks
  // itself changed through its top-left pixel.
  if (TintMask() == 0xFFFFFF) view_surface[0] = 0;
}

// ---------------------------------------------------------------- frame

static void DrawDecorations() {
  for (int i = 1; i <= MAX_DECORATIONS; ++i) {
    const TMapObject& d = decorations[i];
    if (d.kind < 'a' || d.kind > 'z') continue;
    const SpriteImage& image = decoration_images[d.kind - 'a'];
    DrawBillboard(image.hang_offset, image, false, d.x, d.y);
  }
}

static void DrawItems() {
  for (int i = 1; i <= MAX_MAP_ITEMS; ++i) {
    const TMapItem& item = map_items[i];
    if (!item.present || item.kind < '0' || item.kind > '9') continue;
    const SpriteImage& image = item_images[item.kind - '0'];
    DrawBillboard(image.hang_offset, image, false, item.x, item.y);
  }
}

static void DrawEffects() {
  for (const TEffect& e : effects) {
    if (e.frame >= 4 || e.kind > EFFECT_SPAWN) continue;
    DrawBillboard(e.value, effect_images[e.kind][e.frame], false, e.x, e.y);
  }
}

static void DrawPlayers() {
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const TClient& p = players[s];
    if (s == view_slot || p.state < PS_DEAD || p.state > PS_FIRING) continue;
    const SpriteImage& image = skin_images[p.team & 3][std::min<int>(p.sprite_frame, 29)];
    DrawBillboard(image.hang_offset, image, p.mirrored != 0, p.fx, p.fy);
  }
}

void RenderFrame() {
  if (menu_open) {
    // The menu's labels stand on a red screen; the 3D view is hidden.
    std::fill(hud_overlay, hud_overlay + HUD_W * HUD_H, MENU_RED);
    return;
  }
  SetupCamera();
  CastWalls();
  DrawDecorations();
  DrawItems();
  DrawEffects();
  DrawPlayers();
  ApplyScreenTint();
  DrawHud();
}
