#include "server/core/oplog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "server/core/console.h"
#include "server/net/net_settings.h"
#include "server/sim/maps.h"
#include "server/sim/match_settings.h"
#include "server/sim/world.h"

namespace {


// A line built in place; what does not fit is cut.
struct LineText {
  char ch[4096];
  size_t len = 0;
  void Add(std::string_view s) {
    const size_t n = s.size() < sizeof ch - len ? s.size() : sizeof ch - len;
    for (size_t i = 0; i < n; ++i) ch[len + i] = s[i];
    len += n;
  }
  void AddNumber(unsigned long v) {
    char digits[24];
    const int n = std::snprintf(digits, sizeof digits, "%lu", v);
    Add(std::string_view(digits, n > 0 ? static_cast<size_t>(n) : 0));
  }
  void AddQuoted(std::string_view s) {
    Add("\"");
    OPLOG_ESCAPE(s, ch, sizeof ch, len);
    Add("\"");
  }
  std::string_view View() const { return std::string_view(ch, len); }
};

// "2026-12-07T21:30:05.123Z"
size_t FormatTimeStamp(char (&out)[32]) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm utc{};
  gmtime_r(&now.tv_sec, &utc);
  const size_t n = std::strftime(out, sizeof out, "%Y-%m-%dT%H:%M:%S", &utc);
  const int tail = std::snprintf(out + n, sizeof out - n, ".%03ldZ", now.tv_nsec / 1000000);
  return n + (tail > 0 ? static_cast<size_t>(tail) : 0);
}

int log_fd = -1;
char log_path[4096];
unsigned long lost_lines = 0;  // since the last line that reached the file
bool failing = false;          // in a failure episode, already reported
bool torn = false;             // a line's tail could not be taken back
char failure_reason[128];

// O_APPEND: every line lands at the current end, also after someone else
// (logrotate's copytruncate) has cut the file to nothing.
int OpenLogFile(const char* path) { return open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0640); }

void ReportFailure(int error) {
  std::snprintf(failure_reason, sizeof failure_reason, "%s", std::strerror(error));
  if (failing) return;
  failing = true;
  std::fprintf(stderr, "vornaxdm_server: log file \"%s\" cannot be written (%s): lines are lost and counted\n",
               log_path, failure_reason);
}

// A part of a line that reached the file is cut off again, so the file
// holds whole lines only; when that fails, the next line starts afresh.
void TakeBackPart(size_t written) {
  const off_t end = lseek(log_fd, 0, SEEK_END);
  if (end < static_cast<off_t>(written) || ftruncate(log_fd, end - static_cast<off_t>(written)) != 0) torn = true;
}

// The whole line in one write, or nothing of it.
bool WriteLine(const char* bytes, size_t length) {
  if (torn) {
    if (write(log_fd, "\n", 1) != 1) {
      ReportFailure(errno == 0 ? ENOSPC : errno);
      return false;
    }
    torn = false;
  }
  errno = 0;
  ssize_t n;
  do {
    n = write(log_fd, bytes, length);
  } while (n < 0 && errno == EINTR);
  if (n == static_cast<ssize_t>(length)) return true;
  // A short write sets no errno; it means the device is full.
  const int error = n < 0 ? errno : ENOSPC;
  if (n > 0) TakeBackPart(static_cast<size_t>(n));
  ReportFailure(error);
  return false;
}

// After a failure: how many lines were lost and why, before the next line.
bool WriteLossNotice() {
  char stamp[32];
  const size_t n = FormatTimeStamp(stamp);
  char notice[256];
  const int length = std::snprintf(notice, sizeof notice, "%.*s %lu log lines lost (%s)\n", static_cast<int>(n),
                                   stamp, lost_lines, failure_reason);
  if (length <= 0 || !WriteLine(notice, static_cast<size_t>(length))) return false;
  lost_lines = 0;
  if (failing) std::fprintf(stderr, "vornaxdm_server: log file \"%s\" is written again\n", log_path);
  failing = false;
  return true;
}

bool ValidSlot(uint8_t slot) { return slot >= 1 && slot <= MAX_SLOTS; }

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

void AddHex(unsigned char c, char* out, size_t cap, size_t& len) {
  static constexpr char kDigits[] = "0123456789abcdef";
  const char text[4] = {'\\', 'x', kDigits[c >> 4], kDigits[c & 15]};
  if (cap - len < sizeof text) {
    len = cap;
    return;
  }
  for (char t : text) out[len++] = t;
}

void AddSlot(LineText& line, uint8_t slot) {
  line.Add("slot ");
  line.AddNumber(slot);
  line.Add(" ");
  line.AddQuoted(SV_CLIENTSLIST[slot].name.view());
}

void AddCurrentMap(LineText& line) {
  const uint8_t m = SV_MAP.map_index;
  line.Add(m >= 1 && m <= MAP_LIST_SIZE ? SV_MAPL[m].name.view() : std::string_view("(none)"));
}

// Occupied slots, highest frags first (slot order among equals).
int SlotsByFrags(uint8_t (&order)[MAX_SLOTS]) {
  int n = 0;
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& c = SV_CLIENTSLIST[s];
    if (!c.in_use || c.half_open) continue;
    int k = n++;
    while (k > 0 && SV_CLIENTSLIST[order[k - 1]].frags < c.frags) {
      order[k] = order[k - 1];
      --k;
    }
    order[k] = static_cast<uint8_t>(s);
  }
  return n;
}

void AddPlayerScores(LineText& line) {
  uint8_t order[MAX_SLOTS];
  const int n = SlotsByFrags(order);
  line.Add("; scores:");
  if (n == 0) line.Add(" nobody");
  for (int i = 0; i < n; ++i) {
    const ClientRecord& c = SV_CLIENTSLIST[order[i]];
    line.Add(i == 0 ? " " : ", ");
    line.AddQuoted(c.name.view());
    line.Add(" ");
    line.AddNumber(c.frags);
    if (!c.joined) line.Add(" (spectating)");
  }
}

// Team totals count the frags of joined players, as the score check does.
void AddTeamScores(LineText& line) {
  unsigned sums[NUM_TEAMS] = {};
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& c = SV_CLIENTSLIST[s];
    if (c.in_use && !c.half_open && c.joined) sums[c.team % NUM_TEAMS] += c.frags;
  }
  line.Add("; teams:");
  for (int t = 0; t < NUM_TEAMS; ++t) {
    line.Add(t == 0 ? " " : ", ");
    line.Add(TEAMS[t].name);
    line.Add(" ");
    line.AddNumber(sums[t]);
  }
}

}  // namespace

void OPLOG_ESCAPE(std::string_view s, char* out, size_t cap, size_t& len) {
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsControl(c)) {
      AddHex(c, out, cap, len);
    } else if (c == '\\' || c == '"') {
      if (cap - len < 2) len = cap;
      if (len == cap) return;
      out[len++] = '\\';
      out[len++] = ch;
    } else if (len < cap) {
      out[len++] = ch;
    }
    if (len >= cap) return;
  }
}

bool OPLOG_OPEN(const char* path) {
  OPLOG_CLOSE();
  const int fd = OpenLogFile(path);
  if (fd < 0) return false;
  log_fd = fd;
  std::snprintf(log_path, sizeof log_path, "%s", path);
  return true;
}

bool OPLOG_REOPEN() {
  if (log_fd < 0) return true;
  const int fd = OpenLogFile(log_path);
  if (fd < 0) {
    const int saved = errno;
    std::fprintf(stderr, "vornaxdm_server: log file \"%s\" cannot be reopened (%s): lines go on to the old one\n",
                 log_path, std::strerror(saved));
    errno = saved;
    return false;
  }
  close(log_fd);
  log_fd = fd;
  OPLOG_LINE("log reopened");
  return true;
}

void OPLOG_CLOSE() {
  if (log_fd >= 0) close(log_fd);
  log_fd = -1;
  log_path[0] = 0;
  lost_lines = 0;
  failing = false;
  torn = false;
}

bool OPLOG_ACTIVE() { return log_fd >= 0; }

unsigned long OPLOG_LOSTLINES() { return lost_lines; }

void OPLOG_LINE(std::string_view text) {
  if (log_fd < 0) return;
  if (lost_lines > 0 && !WriteLossNotice()) {
    ++lost_lines;
    return;
  }
  char line[sizeof(LineText::ch) + 64];
  char stamp[32];
  const size_t n = FormatTimeStamp(stamp);
  // Control characters as \xHH, so no text of a player's can start a line.
  LineText safe;
  for (const char ch : text) {
    if (IsControl(static_cast<unsigned char>(ch))) AddHex(static_cast<unsigned char>(ch), safe.ch, sizeof safe.ch, safe.len);
    else safe.Add(std::string_view(&ch, 1));
  }
  std::memcpy(line, stamp, n);
  line[n] = ' ';
  size_t length = n + 1 + CON_SAFETEXT(safe.View(), line + n + 1, sizeof line - n - 2);
  line[length++] = '\n';
  if (!WriteLine(line, length)) ++lost_lines;
}

void OPLOG_STARTUP() {
  if (log_fd < 0) return;
  LineText line;
  line.Add("start: ");
  line.AddQuoted(SV_NAME.view());
  line.Add(", port ");
  line.AddNumber(NET_PORT);
  line.Add(", maps");
  int listed = 0;
  for (int m = 1; m <= MAP_LIST_SIZE; ++m) {
    if (SV_MAPL[m].name == "-") continue;
    line.Add(listed++ == 0 ? " " : ", ");
    line.Add(SV_MAPL[m].name.view());
  }
  line.Add("; bots ");
  line.AddNumber(SV_BOTCOUNT);
  line.Add(", playerlimit ");
  line.AddNumber(SV_MAXPLAYERS);
  line.Add(", scorelimit ");
  line.AddNumber(SV_SCORELIMIT);
  line.Add(", teamplay ");
  line.Add(SV_TEAMPLAY ? "yes" : "no");
  line.Add(", ipslots ");
  line.AddNumber(SV_IPSLOTS);
  line.Add(", ipconnects ");
  line.AddNumber(SV_IPCONNECTS);
  line.Add(", connects ");
  line.AddNumber(SV_CONNECTS);
  line.Add(", legacy ");
  line.AddNumber(SV_LEGACY);
  OPLOG_LINE(line.View());
}

void OPLOG_CONNECT(uint8_t slot) {
  if (log_fd < 0 || !ValidSlot(slot)) return;
  const ClientRecord& c = SV_CLIENTSLIST[slot];
  LineText line;
  line.Add("connect: ");
  AddSlot(line, slot);
  if (c.is_bot) {
    line.Add(" (bot)");
  } else {
    line.Add(" from ");
    line.Add(c.address.view());
    line.Add(":");
    line.AddNumber(c.port);
  }
  OPLOG_LINE(line.View());
}

void OPLOG_SLOTGIVENUP(uint8_t slot, const char* reason) {
  if (log_fd < 0 || !ValidSlot(slot)) return;
  const ClientRecord& c = SV_CLIENTSLIST[slot];
  if (!c.in_use || c.half_open) return;
  LineText line;
  line.Add("slot given up: ");
  AddSlot(line, slot);
  line.Add(c.is_bot ? " (bot)" : " from ");
  if (!c.is_bot) {
    line.Add(c.address.view());
    line.Add(":");
    line.AddNumber(c.port);
  }
  line.Add(", ");
  line.Add(reason);
  line.Add(", frags ");
  line.AddNumber(c.frags);
  OPLOG_LINE(line.View());
}

void OPLOG_MAPSTART() {
  if (log_fd < 0) return;
  LineText line;
  line.Add("map start: ");
  AddCurrentMap(line);
  line.Add(" (rotation entry ");
  line.AddNumber(SV_MAP.map_index);
  line.Add(")");
  OPLOG_LINE(line.View());
}

void OPLOG_MAPEND() {
  if (log_fd < 0) return;
  LineText line;
  line.Add("map end: ");
  AddCurrentMap(line);
  AddPlayerScores(line);
  if (SV_TEAMPLAY) AddTeamScores(line);
  OPLOG_LINE(line.View());
}

void OPLOG_STOP(const char* reason) {
  if (log_fd < 0) return;
  OPLOG_MAPEND();
  LineText line;
  line.Add("stop: ");
  line.Add(reason);
  OPLOG_LINE(line.View());
}
