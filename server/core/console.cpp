#include "server/core/console.h"

#include <unistd.h>

#include <cstring>

namespace {

FILE* console_out = nullptr;

FILE* Output() { return console_out ? console_out : stdout; }

// Control characters, DEL, and the single bytes 0x80..0x9F, which some
// terminals take as the start of an escape sequence.
bool IsControlByte(unsigned char c) { return c < 32 || c == 127 || (c >= 0x80 && c <= 0x9F); }

// The length of the well-formed UTF-8 sequence that starts at text[i] (two
// to four bytes, no overlong forms, no surrogates), 0 when there is none.
size_t Utf8Length(std::string_view text, size_t i) {
  const auto b = static_cast<unsigned char>(text[i]);
  size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
  }
  if (n == 0 || i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const auto c = static_cast<unsigned char>(text[i + k]);
    if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) return 0;
  }
  return n;
}

// U+0080..U+009F in UTF-8: the same controls, spelt in two bytes.
bool IsUtf8C1(std::string_view text, size_t i) {
  return static_cast<unsigned char>(text[i]) == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
}

}  // namespace

void CON_CLEAR() {
  if (isatty(fileno(Output()))) {
    std::fputs("\033[H\033[2J", Output());
    std::fflush(Output());
  }
}

void CON_WRITELINE(std::string_view text) {
  // Printed in small chunks through a fixed buffer: nothing is allocated.
  char chunk[128];
  size_t used = 0;
  for (size_t i = 0; i < text.size();) {
    if (used + 4 > sizeof chunk) {
      std::fwrite(chunk, 1, used, Output());
      used = 0;
    }
    const size_t n = Utf8Length(text, i);
    if (n == 2 && IsUtf8C1(text, i)) {
      chunk[used++] = '?';
    } else if (n > 0) {
      std::memcpy(chunk + used, text.data() + i, n);
      used += n;
    } else {
      chunk[used++] = IsControlByte(static_cast<unsigned char>(text[i])) ? '?' : text[i];
    }
    i += n > 0 ? n : 1;
  }
  std::fwrite(chunk, 1, used, Output());
  std::fputc('\n', Output());
  std::fflush(Output());
}

void CON_WAITENTER() {
  if (!isatty(STDIN_FILENO)) return;
  int c;
  do {
    c = std::getchar();
  } while (c != '\n' && c != EOF);
}

void CON_SETOUTPUT(FILE* out) { console_out = out; }

void CON_RESET() { console_out = nullptr; }
