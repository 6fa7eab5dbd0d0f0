// What the generator produces: every picture and sound the client loads,
// as named files relative to the output folder.
#pragma once

#include <string>
#include <vector>

#include "tools/assetgen/canvas.h"

struct PictureFile {
  std::string path;   // e.g. "sprites/wA.bmp"
  int width = 0, height = 0;
  std::vector<Rgb> pixels;  // row-major, top row first
};

struct SoundFile {
  std::string path;   // e.g. "sounds/snd_g1.wav"
  std::vector<float> samples;  // mono, -1..1 before normalising
};

// A picture with a transparent background for the desktop, not the game.
struct IconFile {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;     // row-major, top row first
  std::vector<uint8_t> alpha;  // 0 or 255 per pixel
};

constexpr int kSampleRate = 22050;

// Background of billboard sprites and HUD guns: a violet no art uses, kept
// in texel (0, 0) so the client treats it as transparent.
constexpr Rgb kSpriteKey = RgbOf(0x6C0078);
// A magenta corner marks a decoration as hanging from the ceiling.
constexpr Rgb kCeilingKey = RgbOf(0xFF00FF);

// Flattens a canvas drawn on a transparent background and stores it.
void AddSprite(std::vector<PictureFile>& out, const std::string& path, const Canvas& canvas, Rgb key = kSpriteKey);
// Stores an opaque picture; pure white is avoided for the HUD overlay,
// which treats white as see-through.
void AddOpaque(std::vector<PictureFile>& out, const std::string& path, const Canvas& canvas);

std::vector<PictureFile> MakeWallTextures();
std::vector<PictureFile> MakeDecorations();
std::vector<PictureFile> MakeItems();
std::vector<PictureFile> MakeSkins();
std::vector<PictureFile> MakeEffects();
std::vector<PictureFile> MakeHud();
std::vector<SoundFile> MakeSounds();
IconFile MakeIcon();

// Team colours shared by skins, banners and HUD icons.
Rgb TeamColour(int team);
