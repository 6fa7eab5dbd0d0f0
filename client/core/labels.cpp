#include "client/core/labels.h"

#include "client/core/platform.h"
#include "protocol/rules.h"

Label l_mcpt, l_mvar, l_mval;
Label l_log, l_chat, l_fps, l_anon;
Label l_sb_stat, l_sb_s, l_sb_p, l_sb_n, l_sb_ts;

Label* const all_labels[] = {&l_log, &l_sb_stat, &l_sb_s, &l_sb_p, &l_sb_n, &l_sb_ts, &l_chat,
                             &l_fps, &l_anon,    &l_mcpt,  &l_mvar, &l_mval};
const int label_count = sizeof all_labels / sizeof all_labels[0];

namespace {

constexpr size_t kCaptionLineChars = 256;
constexpr int kCaptionLines = 64;

// The part of a caption a label shows: each line cut to its first
// characters, and no more lines than the limit.
std::string ShownPart(const std::string& text) {
  std::string shown;
  size_t line_chars = 0;
  int lines = 1;
  for (const char c : text) {
    if (c == CR) {
      if (++lines > kCaptionLines) break;
      line_chars = 0;
      shown.push_back(c);
    } else if (line_chars < kCaptionLineChars) {
      ++line_chars;
      shown.push_back(c);
    }
  }
  return shown;
}

}  // namespace

void Label::setCaption(const std::string& text) {
  caption = ShownPart(text);
  PlatformTextSize(font, caption, width, height);
}

std::string PrintableText(std::string_view text) {
  std::string shown(text);
  for (char& c : shown) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 32 || b == 127) c = '?';
  }
  return shown;
}

static void Setup(Label& l, FontId font, uint32_t colour, bool opaque, uint32_t background, bool visible, int left,
                  int top, const char* text, LabelAlign align = ALIGN_LEFT) {
  l = Label{};
  l.font = font;
  l.colour = colour;
  l.opaque = opaque;
  l.background = background;
  l.visible = visible;
  l.left = left;
  l.top = top;
  l.align = align;
  l.setCaption(text);
}

void ResetLabels() {
  Setup(l_mcpt, FONT_TITLE, COLOUR_WHITE, true, COLOUR_MAROON, true, 0, 0, " Vornax:DeathMatch ", ALIGN_CENTRE);
  Setup(l_mvar, FONT_MENU, COLOUR_WHITE, true, COLOUR_MAROON, true, 0, 0, "var");
  Setup(l_mval, FONT_MENU, COLOUR_YELLOW, true, COLOUR_MAROON, true, 0, 0, "value", ALIGN_RIGHT);
  Setup(l_chat, FONT_LOG, COLOUR_WHITE, true, COLOUR_BLACK, false, 0, 0, " SAY: CHATT");
  Setup(l_fps, FONT_LOG, COLOUR_WHITE, true, COLOUR_BLACK, true, 0, 0, "fps");
  Setup(l_log, FONT_LOG, COLOUR_WHITE, false, COLOUR_BLACK, false, 1, 1, "LOG");
  Setup(l_sb_stat, FONT_SCORE, COLOUR_WHITE, false, COLOUR_BLACK, false, 1, 208, "map: ");
  Setup(l_sb_s, FONT_SCORE, COLOUR_WHITE, false, COLOUR_BLACK, false, 1, 224, "score");
  Setup(l_sb_p, FONT_SCORE, COLOUR_WHITE, false, COLOUR_BLACK, false, 40, 224, "ping");
  Setup(l_sb_n, FONT_SCORE, COLOUR_WHITE, false, COLOUR_BLACK, false, 72, 224, "name");
  Setup(l_sb_ts, FONT_SCORE, COLOUR_WHITE, false, COLOUR_BLACK, false, 1, 240, "team score");
  Setup(l_anon, FONT_ANNOUNCE, COLOUR_YELLOW, false, COLOUR_BLACK, false, 0, 0, "l_anon", ALIGN_CENTRE);
}
