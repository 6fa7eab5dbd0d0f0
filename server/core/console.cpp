#include "server/core/console.h"

#include <unistd.h>

namespace {

FILE* console_out = nullptr;

FILE* output() { return console_out ? console_out : stdout; }

bool isControlByte(unsigned char c) { return c < 32 || c == 127; }

// U+0080..U+009F in UTF-8: some terminals take these as escape sequences.
bool isUtf8C1(std::string_view text, size_t i) {
  return static_cast<unsigned char>(text[i]) == 0xC2 && i + 1 < text.size() &&
         static_cast<unsigned char>(text[i + 1]) >= 0x80 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
}

}  // namespace

void CON_CLEAR() {
  if (isatty(fileno(output()))) {
    std::fputs("\033[H\033[2J", output());
    std::fflush(output());
  }
}

void CON_WRITELINE(std::string_view text) {
  // Printed in small chunks through a fixed buffer: nothing is allocated.
  char chunk[128];
  size_t used = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (used == sizeof chunk) {
      std::fwrite(chunk, 1, used, output());
      used = 0;
    }
    if (isUtf8C1(text, i)) {
      chunk[used++] = '?';
      ++i;  // the second byte of the pair goes with it
      continue;
    }
    chunk[used++] = isControlByte(static_cast<unsigned char>(text[i])) ? '?' : text[i];
  }
  std::fwrite(chunk, 1, used, output());
  std::fputc('\n', output());
  std::fflush(output());
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
