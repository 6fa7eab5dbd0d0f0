#include "server/core/console.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// One character of text made safe: its bytes written to out (room for four),
// how many were written; `used` says how many bytes of text it took.
size_t SafeCharacter(std::string_view text, size_t i, char* out, size_t& used) {
  const size_t n = Utf8Length(text, i);
  used = n > 0 ? n : 1;
  if (n == 2 && IsUtf8C1(text, i)) {
    out[0] = '?';
    return 1;
  }
  if (n > 0) {
    std::memcpy(out, text.data() + i, n);
    return n;
  }
  out[0] = IsControlByte(static_cast<unsigned char>(text[i])) ? '?' : text[i];
  return 1;
}

// ---- Standard output that never holds up the tick ----

constexpr size_t LINE_ROOM = 2048;
unsigned long dropped_lines = 0;
bool line_torn = false;  // a line was cut short: the next text starts a new line
bool output_prepared = false;

// A pipe or socket gets O_NONBLOCK, so even a line larger than the room left
// in it cannot block; a terminal or a file is asked with poll before each line.
void PrepareStandardOutput() {
  output_prepared = true;
  struct stat st{};
  if (fstat(STDOUT_FILENO, &st) != 0 || !(S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))) return;
  const int flags = fcntl(STDOUT_FILENO, F_GETFL);
  if (flags >= 0) (void)fcntl(STDOUT_FILENO, F_SETFL, flags | O_NONBLOCK);
}

bool StandardOutputReady() {
  pollfd p{STDOUT_FILENO, POLLOUT, 0};
  return poll(&p, 1, 0) > 0 && (p.revents & POLLOUT) != 0;
}

// All of it in one write, or the line counts as dropped; a part written
// leaves a torn line that the next notice ends.
bool WriteWhole(const char* bytes, size_t length) {
  if (!StandardOutputReady()) return false;
  ssize_t n;
  do {
    n = write(STDOUT_FILENO, bytes, length);
  } while (n < 0 && errno == EINTR);
  if (n == static_cast<ssize_t>(length)) return true;
  if (n > 0) line_torn = true;
  return false;
}

bool WriteDropNotice() {
  char notice[96];
  const int n = std::snprintf(notice, sizeof notice, "%s%lu console lines dropped: standard output was not read\n",
                              line_torn ? "\n" : "", dropped_lines);
  const bool torn_before = line_torn;
  line_torn = false;
  if (WriteWhole(notice, static_cast<size_t>(n))) return true;
  line_torn = line_torn || torn_before;
  return false;
}

void WriteStandardOutputLine(std::string_view text) {
  if (!output_prepared) PrepareStandardOutput();
  char line[LINE_ROOM];
  size_t n = CON_SAFETEXT(text, line, sizeof line - 1);
  line[n++] = '\n';
  if (dropped_lines > 0 && !WriteDropNotice()) {
    ++dropped_lines;
    return;
  }
  dropped_lines = 0;
  if (!WriteWhole(line, n)) ++dropped_lines;
}

}  // namespace

void CON_CLEAR() {
  if (isatty(fileno(Output()))) {
    std::fputs("\033[H\033[2J", Output());
    std::fflush(Output());
  }
}

size_t CON_SAFETEXT(std::string_view text, char* out, size_t room) {
  size_t written = 0;
  for (size_t i = 0; i < text.size();) {
    char piece[4];
    size_t used = 0;
    const size_t n = SafeCharacter(text, i, piece, used);
    if (written + n > room) break;
    std::memcpy(out + written, piece, n);
    written += n;
    i += used;
  }
  return written;
}

void CON_WRITESAFE(FILE* out, std::string_view text) {
  // Printed in small chunks through a fixed buffer: nothing is allocated.
  char chunk[128];
  size_t used = 0;
  for (size_t i = 0; i < text.size();) {
    if (used + 4 > sizeof chunk) {
      std::fwrite(chunk, 1, used, out);
      used = 0;
    }
    size_t taken = 0;
    used += SafeCharacter(text, i, chunk + used, taken);
    i += taken;
  }
  std::fwrite(chunk, 1, used, out);
}

void CON_WRITELINE(std::string_view text) {
  if (!console_out) return WriteStandardOutputLine(text);
  CON_WRITESAFE(Output(), text);
  std::fputc('\n', Output());
  std::fflush(Output());
}

unsigned long CON_DROPPEDLINES() { return dropped_lines; }

void CON_WAITENTER() {
  if (!isatty(STDIN_FILENO)) return;
  int c;
  do {
    c = std::getchar();
  } while (c != '\n' && c != EOF);
}

void CON_SETOUTPUT(FILE* out) { console_out = out; }

void CON_RESET() {
  console_out = nullptr;
  dropped_lines = 0;
  line_torn = false;
}
