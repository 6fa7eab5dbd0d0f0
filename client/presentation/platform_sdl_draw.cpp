// Drawing the SDL2 window: the view surface and the HUD overlay stretched
// over the client area, the text labels on top, HUD text into the overlay's
// memory, and the client area read back for screenshots.
#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <vector>

#include "client/core/bmp_writer.h"
#include "client/core/client_state.h"
#include "client/core/labels.h"
#include "client/core/platform.h"
#include "client/presentation/platform_fonts.h"
#include "client/presentation/platform_sdl.h"

namespace {

constexpr int kMaxLabels = 16;

SDL_Texture* view_texture = nullptr;
SDL_Texture* overlay_texture = nullptr;
uint32_t overlay_argb[HUD_W * HUD_H];  // the overlay with white made transparent

bool fonts_tried = false;
TTF_Font* fonts[FONT_COUNT] = {};
SDL_Surface* glyphs[FONT_COUNT][256] = {};  // white glyphs for PlatformDrawText, made on first use

// A label's caption as drawn last; it is drawn again only when it changes.
struct LabelImage {
  std::string caption;
  FontId font = FONT_LOG;
  uint32_t colour = 0;
  LabelAlign align = ALIGN_LEFT;
  bool opaque = false;
  int width = -1, height = -1;
  SDL_Texture* texture = nullptr;
};
LabelImage label_images[kMaxLabels];

// A missing font file leaves its face null: sizes are then estimated and
// its text is not drawn.
void OpenFonts() {
  if (fonts_tried) return;
  fonts_tried = true;
  if (TTF_WasInit() == 0 && TTF_Init() != 0) return;
  for (int f = 0; f < FONT_COUNT; ++f) fonts[f] = TTF_OpenFont(kFontFaces[f].path, kFontFaces[f].pixel_height);
}

SDL_Colour ToSdl(uint32_t rgb) {
  return SDL_Colour{static_cast<Uint8>(rgb >> 16), static_cast<Uint8>(rgb >> 8), static_cast<Uint8>(rgb), 255};
}

int LineX(const Label& label, int line_width) {
  switch (label.align) {
    case ALIGN_RIGHT: return label.width - line_width;
    case ALIGN_CENTRE: return (label.width - line_width) / 2;
    default: return 0;
  }
}

// Labels without a background stand on the 3D view; a one-pixel dark
// outline keeps their text readable over light walls and sky. The outline
// lies around the label's box, which keeps its place and size.
bool Outlined(const Label& label) { return !label.opaque; }
int Margin(const Label& label) { return Outlined(label) ? 1 : 0; }

// Coverage (0..255) of the caption's text in a (width + 2m) x (height + 2m)
// mask, each line in its band of the line height with the baseline where
// the layout expects it.
void CaptionCoverage(const Label& label, TTF_Font* font, int m, std::vector<uint8_t>& mask, int mw, int mh) {
  const int line_h = LineHeight(label.font);
  const int shift = BaselineFromTop(label.font) - TTF_FontAscent(font);
  int band = 0;
  ForEachCaptionLine(label.caption, [&](const std::string& line) {
    const int band_top = band * line_h;
    ++band;
    if (line.empty()) return;
    SDL_Surface* text = TTF_RenderText_Blended(font, line.c_str(), SDL_Colour{255, 255, 255, 255});
    if (!text) return;
    SDL_Surface* argb = text->format->format == SDL_PIXELFORMAT_ARGB8888
                            ? text
                            : SDL_ConvertSurfaceFormat(text, SDL_PIXELFORMAT_ARGB8888, 0);
    if (argb) {
      const int x0 = m + LineX(label, argb->w);
      for (int gy = 0; gy < argb->h; ++gy) {
        // An accent or a descender may reach into the next band; the
        // coverage of both lines is kept.
        const int y = band_top + shift + gy;
        if (y + m < 0 || y + m >= mh) continue;
        const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(argb->pixels) + gy * argb->pitch);
        for (int gx = 0; gx < argb->w; ++gx) {
          const int x = x0 + gx;
          if (x < 0 || x >= mw) continue;
          uint8_t& cell = mask[static_cast<size_t>(y + m) * mw + x];
          cell = std::max<uint8_t>(cell, static_cast<uint8_t>(row[gx] >> 24));
        }
      }
      if (argb != text) SDL_FreeSurface(argb);
    }
    SDL_FreeSurface(text);
  });
}

// The label's text colour over its outline, as straight (not premultiplied)
// ARGB.
void ComposeCaption(const Label& label, const std::vector<uint8_t>& mask, int mw, int mh, std::vector<uint32_t>& out) {
  const uint32_t rgb = label.colour & 0xFFFFFF;
  for (int y = 0; y < mh; ++y) {
    for (int x = 0; x < mw; ++x) {
      const int text = mask[static_cast<size_t>(y) * mw + x];
      int outline = 0;
      if (Outlined(label)) {
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (nx >= 0 && nx < mw && ny >= 0 && ny < mh) outline = std::max<int>(outline, mask[static_cast<size_t>(ny) * mw + nx]);
          }
      }
      const int alpha = text + outline * (255 - text) / 255;
      uint32_t pixel = 0;
      if (alpha > 0) {
        // Text over black: the colour's share is text / alpha.
        const auto channel = [&](int shift) { return static_cast<uint32_t>(((rgb >> shift) & 0xFF) * text / alpha) << shift; };
        pixel = static_cast<uint32_t>(alpha) << 24 | channel(16) | channel(8) | channel(0);
      }
      out[static_cast<size_t>(y) * mw + x] = pixel;
    }
  }
}

SDL_Texture* RenderCaption(const Label& label) {
  TTF_Font* font = fonts[label.font];
  if (!font || label.width <= 0 || label.height <= 0) return nullptr;
  const int m = Margin(label);
  const int mw = label.width + 2 * m, mh = label.height + 2 * m;
  std::vector<uint8_t> mask(static_cast<size_t>(mw) * mh, 0);
  CaptionCoverage(label, font, m, mask, mw, mh);
  std::vector<uint32_t> pixels(mask.size(), 0);
  ComposeCaption(label, mask, mw, mh, pixels);
  SDL_Texture* texture = SDL_CreateTexture(SdlRenderer(), SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, mw, mh);
  if (!texture) return nullptr;
  SDL_UpdateTexture(texture, nullptr, pixels.data(), mw * 4);
  SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
  return texture;
}

SDL_Texture* LabelTexture(int index, const Label& label) {
  LabelImage& image = label_images[index];
  if (image.caption != label.caption || image.font != label.font || image.colour != label.colour ||
      image.align != label.align || image.opaque != label.opaque || image.width != label.width ||
      image.height != label.height) {
    if (image.texture) SDL_DestroyTexture(image.texture);
    image = LabelImage{label.caption, label.font,  label.colour, label.align,
                       label.opaque,  label.width, label.height, nullptr};
    image.texture = RenderCaption(label);
  }
  return image.texture;
}

void DrawLabel(int index, const Label& label) {
  SDL_Renderer* r = SdlRenderer();
  const SDL_Rect box{label.left, label.top, label.width, label.height};
  if (label.opaque) {
    const SDL_Colour bg = ToSdl(label.background);
    SDL_SetRenderDrawColor(r, bg.r, bg.g, bg.b, 255);
    SDL_RenderFillRect(r, &box);
  }
  const int m = Margin(label);
  const SDL_Rect drawn{box.x - m, box.y - m, box.w + 2 * m, box.h + 2 * m};
  if (SDL_Texture* texture = LabelTexture(index, label)) SDL_RenderCopy(r, texture, nullptr, &drawn);
}

void DrawPictures() {
  SDL_Renderer* r = SdlRenderer();
  SDL_RenderSetViewport(r, nullptr);
  SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
  SDL_RenderClear(r);  // also the bars around a fullscreen picture
  const SDL_Rect picture = SdlPictureRect();
  SDL_RenderSetViewport(r, &picture);
  if (image1_visible) {
    SDL_UpdateTexture(view_texture, nullptr, view_surface, VIEW_W * 4);
    SDL_RenderCopy(r, view_texture, nullptr, nullptr);
  }
  for (int i = 0; i < HUD_W * HUD_H; ++i) {
    const uint32_t c = hud_overlay[i] & 0xFFFFFF;
    overlay_argb[i] = c == 0xFFFFFF ? 0 : 0xFF000000u | c;
  }
  SDL_UpdateTexture(overlay_texture, nullptr, overlay_argb, HUD_W * 4);
  SDL_RenderCopy(r, overlay_texture, nullptr, nullptr);
}

// Labels are drawn at their own pixel size relative to the picture, so they
// stay sharp and in place when the picture is centred in fullscreen.
void DrawClientArea() {
  OpenFonts();
  DrawPictures();
  for (int i = 0; i < label_count && i < kMaxLabels; ++i) {
    if (all_labels[i]->visible) DrawLabel(i, *all_labels[i]);
  }
  SDL_RenderSetViewport(SdlRenderer(), nullptr);
}

SDL_Surface* Glyph(FontId font, uint8_t c) {
  if (!glyphs[font][c] && fonts[font]) {
    SDL_Surface* g = TTF_RenderGlyph_Blended(fonts[font], c, SDL_Colour{255, 255, 255, 255});
    if (g && g->format->format != SDL_PIXELFORMAT_ARGB8888) {
      SDL_Surface* converted = SDL_ConvertSurfaceFormat(g, SDL_PIXELFORMAT_ARGB8888, 0);
      SDL_FreeSurface(g);
      g = converted;
    }
    glyphs[font][c] = g;
  }
  return glyphs[font][c];
}

// Solid pixels only: half-covered edge pixels would show against the
// overlay's transparent white as a light fringe.
void BlitGlyph(const SDL_Surface* g, uint32_t* pixels, int width, int height, int x, int y, uint32_t colour) {
  for (int gy = 0; gy < g->h; ++gy) {
    const int py = y + gy;
    if (py < 0 || py >= height) continue;
    const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(g->pixels) + gy * g->pitch);
    for (int gx = 0; gx < g->w; ++gx) {
      const int px = x + gx;
      if (px >= 0 && px < width && (row[gx] >> 24) >= 128) pixels[py * width + px] = colour;
    }
  }
}

}  // namespace

bool SdlCreateDrawing() {
  SDL_Renderer* r = SdlRenderer();
  view_texture = SDL_CreateTexture(r, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, VIEW_W, VIEW_H);
  overlay_texture = SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, HUD_W, HUD_H);
  if (!view_texture || !overlay_texture) return false;
  SDL_SetTextureBlendMode(overlay_texture, SDL_BLENDMODE_BLEND);
  return true;
}

void SdlDestroyDrawing() {
  for (LabelImage& image : label_images) {
    if (image.texture) SDL_DestroyTexture(image.texture);
    image = LabelImage{};
  }
  for (auto& face : glyphs) {
    for (SDL_Surface*& g : face) {
      if (g) SDL_FreeSurface(g);
      g = nullptr;
    }
  }
  for (TTF_Font*& f : fonts) {
    if (f) TTF_CloseFont(f);
    f = nullptr;
  }
  if (TTF_WasInit()) TTF_Quit();
  fonts_tried = false;
  if (view_texture) SDL_DestroyTexture(view_texture);
  if (overlay_texture) SDL_DestroyTexture(overlay_texture);
  view_texture = overlay_texture = nullptr;
}

void SdlPresent() {
  if (!SdlRenderer()) return;
  DrawClientArea();
  SDL_RenderPresent(SdlRenderer());
}

// ---- platform.h ---------------------------------------------------------

void PlatformTextSize(FontId font, const std::string& text, int& w, int& h) {
  OpenFonts();
  TTF_Font* face = fonts[font];
  if (!face) {
    EstimateTextSize(font, text, w, h);
    return;
  }
  w = 0;
  int lines = 0;
  ForEachCaptionLine(text, [&](const std::string& line) {
    int lw = 0, lh = 0;
    if (!line.empty() && TTF_SizeText(face, line.c_str(), &lw, &lh) == 0) w = std::max(w, lw);
    ++lines;
  });
  h = lines * LineHeight(font);
}

void PlatformDrawText(uint32_t* pixels, int width, int height, int x, int y, FontId font, const std::string& text,
                      uint32_t colour) {
  OpenFonts();
  if (!fonts[font]) return;
  int pen = x;
  for (char ch : text) {
    const auto c = static_cast<uint8_t>(ch);
    int minx = 0, maxx = 0, miny = 0, maxy = 0, advance = 0;
    if (TTF_GlyphMetrics(fonts[font], c, &minx, &maxx, &miny, &maxy, &advance) != 0) continue;
    if (const SDL_Surface* g = Glyph(font, c)) BlitGlyph(g, pixels, width, height, pen, y, colour & 0xFFFFFF);
    pen += advance;
  }
}

bool PlatformCaptureClientArea(std::vector<uint32_t>& pixels, int& w, int& h) {
  SDL_Renderer* r = SdlRenderer();
  if (!r || SDL_GetRendererOutputSize(r, &w, &h) != 0 || w <= 0 || h <= 0) return false;
  DrawClientArea();
  pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  if (SDL_RenderReadPixels(r, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), w * 4) != 0) return false;
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  return true;
}

bool PlatformSaveBmp(const std::string& path, const std::vector<uint32_t>& pixels, int w, int h) {
  return WriteBmpFile(path, pixels, w, h);
}
