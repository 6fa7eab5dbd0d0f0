// The faces the labels and the HUD numbers are drawn with, and the text
// measure used wherever a face cannot be measured (no font file, or the
// headless platform): monospaced cells of a fixed size per face.
#pragma once

#include <algorithm>
#include <string>

#include "client/core/labels.h"

struct FontFace {
  const char* path;
  int pixel_height;  // character height, as the labels ask for it; also the line step
};

// DejaVu Sans Mono stands in for "Lucida Console", URW Bookman Demi for
// "bookman old style" (12 points bold = 16 pixels). The layout was made for
// lines exactly one character height apart, as "Lucida Console" sets them;
// the stand-in's own line skip is a fifth larger, so labels step their lines
// by the character height and put the baseline where "Lucida Console" has
// it, 79 % of the way down the line.
inline constexpr FontFace kFontFaces[FONT_COUNT] = {
    {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf", 59},  // FONT_TITLE
    {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", 19},       // FONT_MENU
    {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", 13},       // FONT_LOG
    {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", 11},       // FONT_SCORE
    {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf", 27},  // FONT_ANNOUNCE
    {"/usr/share/fonts/opentype/urw-base35/URWBookman-Demi.otf", 16},  // FONT_HUD
    {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf", 52},  // FONT_TITLE_SMALL
    {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", 17},       // FONT_MENU_SMALL
    {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf", 19},  // FONT_ANNOUNCE_SMALL
};

inline int LineHeight(FontId font) { return kFontFaces[font].pixel_height; }
inline int BaselineFromTop(FontId font) { return (kFontFaces[font].pixel_height * 79 + 50) / 100; }

inline int EstimatedCharWidth(FontId font) { return (kFontFaces[font].pixel_height * 3 + 4) / 5; }

// Calls visit(line) for every CR-separated line of a caption. A final CR
// ends the last line rather than starting an empty one; an empty caption is
// one empty line.
template <typename Visit>
void ForEachCaptionLine(const std::string& text, Visit visit) {
  size_t start = 0;
  do {
    size_t end = text.find('\r', start);
    if (end == std::string::npos) end = text.size();
    visit(text.substr(start, end - start));
    start = end + 1;
  } while (start < text.size());
}

inline void EstimateTextSize(FontId font, const std::string& text, int& w, int& h) {
  size_t widest = 0;
  int lines = 0;
  ForEachCaptionLine(text, [&](const std::string& line) {
    widest = std::max(widest, line.size());
    ++lines;
  });
  w = static_cast<int>(widest) * EstimatedCharWidth(font);
  h = lines * LineHeight(font);
}
