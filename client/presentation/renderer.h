// The raycast renderer: walls, billboards, depth, tint, and the HUD overlay
// composed on top. Works on the memory surfaces only.
#pragma once

#include <cstdint>

#include "client/presentation/assets.h"

struct Camera {
  float pos_x = 0, pos_y = 0;
  float dir_x = 1, dir_y = 0;
  float plane_x = 0, plane_y = 0.9f;
  uint8_t eye_height = 64;
  uint8_t tint_r = 255, tint_g = 255, tint_b = 255;
  float farthest_wall = 0;
};

extern Camera camera;

// Depth of a view pixel (distance in cells x 100) as left by the last frame;
// row 300 gives the depth of the wall that column's ray hit.
uint16_t ViewDepth(int column, int row);

// Clears the view surface and depth and puts the camera back to its start
// (eye height 64, no tint).
void CreateViewSurface();
// Takes the given amounts off the view's red, green and blue; they come back
// over the next frames (the core's TintFlash).
void StartTintFlash(uint8_t dr, uint8_t dg, uint8_t db);
void RenderFrame();
void SetupCamera();
// Walls, ceiling and floor of every column. The screen tint of the moment is
// applied as the pixels are written (and by DrawBillboard likewise), so the
// picture is complete once ApplyScreenTint has run.
void CastWalls();
void DrawBillboard(uint8_t hang_offset, const SpriteImage& image, bool mirrored, float x, float y);
void ApplyScreenTint();

// The renderer uses AVX2 where the processor has it. Tests switch it off to
// check the portable code as well; returns whether AVX2 is now in use.
bool UseVectorRenderer(bool enabled);
