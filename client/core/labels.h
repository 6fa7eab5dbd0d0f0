// The window's text labels as plain objects: caption, font, colours,
// position, size and visibility. The platform layer draws them; the game
// only sets their fields. Captions use CR (13) between lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum FontId : uint8_t {
  FONT_TITLE,     // "Lucida Console" 59 px bold (l_mcpt)
  FONT_MENU,      // "Lucida Console" 19 px (l_mvar, l_mval)
  FONT_LOG,       // "Lucida Console" 13 px (l_log, l_chat, l_fps)
  FONT_SCORE,     // "Lucida Console" 11 px (scoreboard)
  FONT_ANNOUNCE,  // "Lucida Console" 27 px bold (l_anon)
  FONT_HUD,       // "bookman old style" 12 pt bold (HUD numbers on the overlay)
  // The same faces a little smaller, for windows too small for the title
  // or the menu at their own size (640 x 480).
  FONT_TITLE_SMALL,  // 52 px bold
  FONT_MENU_SMALL,   // 17 px
  FONT_ANNOUNCE_SMALL,  // 19 px bold
  FONT_COUNT
};

enum LabelAlign : uint8_t { ALIGN_LEFT, ALIGN_RIGHT, ALIGN_CENTRE };

constexpr uint32_t COLOUR_WHITE = 0xFFFFFF;
constexpr uint32_t COLOUR_YELLOW = 0xFFFF00;
constexpr uint32_t COLOUR_BLACK = 0x000000;
constexpr uint32_t COLOUR_MAROON = 0x800000;

struct Label {
  std::string caption;
  FontId font = FONT_LOG;
  LabelAlign align = ALIGN_LEFT;
  uint32_t colour = COLOUR_WHITE;
  bool opaque = false;            // false: no background
  uint32_t background = COLOUR_BLACK;
  int left = 0, top = 0;          // client-area pixels
  int width = 0, height = 0;      // follow the caption (auto size)
  bool visible = false;

  // Sets the caption and resizes the label to fit it. A label shows at most
  // 64 lines of 256 characters, far more than any window holds; the rest of
  // a longer text is not drawn, so no text can make a label huge.
  void setCaption(const std::string& text);
};

// Text that comes from other people (names, chat, the server's own texts)
// as a label shows it: control characters, CR included, become '?', so
// nobody can add lines of their own to the log or break the scoreboard's
// columns.
std::string PrintableText(std::string_view text);

extern Label l_mcpt, l_mvar, l_mval;                        // menu
extern Label l_log, l_chat, l_fps, l_anon;                  // log, chat, frame rate, announcement
extern Label l_sb_stat, l_sb_s, l_sb_p, l_sb_n, l_sb_ts;    // scoreboard

// Every label, in drawing order (for the platform layer).
extern Label* const all_labels[];
extern const int label_count;

// Fonts, colours, initial captions and visibility as the window starts.
void ResetLabels();
