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
extern uint16_t depth_buffer[400][301];  // [column][row]; entry 300 is the wall's depth

void CreateViewSurface();
void RenderFrame();
void SetupCamera();
void CastWalls();
void DrawBillboard(uint8_t hang_offset, const SpriteImage& image, bool mirrored, float x, float y);
void TintFlash(uint8_t dr, uint8_t dg, uint8_t db);
float FastSqrt(float v);
