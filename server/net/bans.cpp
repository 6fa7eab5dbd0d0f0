#include "server/net/bans.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "server/sim/hooks.h"

namespace {

// A flood of connects from a banned address leaves one line a minute.
constexpr time_t REFUSAL_LINE_GAP = 60;

struct Ban {
  BanEntry entry;
  time_t last_line;       // when the last refusal line was written
  unsigned long refused;  // connects refused since that line
};

Ban bans[BAN_LIMIT];
int ban_count = 0;
char ban_path[4096];
bool draining = false;
time_t last_drain_line = 0;
unsigned long drain_refused = 0;

time_t Now() { return time(nullptr); }

bool Expired(const BanEntry& e, time_t now) { return e.until != 0 && e.until <= now; }

void DropExpired() {
  const time_t now = Now();
  int kept = 0;
  for (int i = 0; i < ban_count; ++i)
    if (!Expired(bans[i].entry, now)) bans[kept++] = bans[i];
  ban_count = kept;
}

// The address in the socket layer's own spelling; false for anything that
// is not an IPv4 address.
bool Canonical(std::string_view text, char (&out)[16]) {
  char given[32];
  if (text.empty() || text.size() >= sizeof given) return false;
  std::memcpy(given, text.data(), text.size());
  given[text.size()] = 0;
  in_addr parsed{};
  return inet_pton(AF_INET, given, &parsed) == 1 && inet_ntop(AF_INET, &parsed, out, sizeof out) != nullptr;
}

int Find(const char* address) {
  for (int i = 0; i < ban_count; ++i)
    if (std::strcmp(bans[i].entry.address, address) == 0) return i;
  return -1;
}

void Store(const char* address, time_t until) {
  int i = Find(address);
  if (i < 0) i = ban_count++;
  bans[i] = Ban{};
  std::snprintf(bans[i].entry.address, sizeof bans[i].entry.address, "%s", address);
  bans[i].entry.until = until;
}

void NoteRefusal(time_t& last_line, unsigned long& refused, const char* address, const char* why) {
  ++refused;
  const time_t now = Now();
  if (last_line != 0 && now - last_line < REFUSAL_LINE_GAP) return;
  char line[128];
  std::snprintf(line, sizeof line, "connect refused from %s: %s (%lu attempts since the last such line)", address, why,
                refused);
  SV_HOOKS.oplog_line(line);
  last_line = now;
  refused = 0;
}

// One line of the file: "ADDRESS EXPIRY"; false when it is not one.
bool ParseLine(const char* line, char (&address)[16], time_t& until) {
  char text[32];
  long long expiry = -1;
  char rest = 0;
  if (std::sscanf(line, " %31s %lld %c", text, &expiry, &rest) != 2 || expiry < 0) return false;
  until = static_cast<time_t>(expiry);
  return Canonical(text, address);
}

void ReadLines(FILE* file) {
  char line[256];
  int number = 0;
  bool reported_full = false;
  while (std::fgets(line, sizeof line, file)) {
    ++number;
    const size_t length = std::strlen(line);
    if (length == sizeof line - 1 && line[length - 1] != '\n') {
      std::fprintf(stderr, "vornaxdm_server: ban file \"%s\" line %d is too long: skipped\n", ban_path, number);
      int c;
      while ((c = std::fgetc(file)) != EOF && c != '\n') {}
      continue;
    }
    const char* start = line + std::strspn(line, " \t");
    if (*start == '#' || *start == '\n' || *start == '\r' || *start == 0) continue;
    char address[16];
    time_t until = 0;
    if (!ParseLine(start, address, until)) {
      std::fprintf(stderr, "vornaxdm_server: ban file \"%s\" line %d is not \"ADDRESS EXPIRY\": skipped\n", ban_path,
                   number);
    } else if (Find(address) < 0 && ban_count >= BAN_LIMIT) {
      if (!reported_full)
        std::fprintf(stderr, "vornaxdm_server: ban file \"%s\" holds more than %d bans: the rest are skipped\n",
                     ban_path, BAN_LIMIT);
      reported_full = true;
    } else if (until == 0 || until > Now()) {
      Store(address, until);
    }
  }
}

bool WriteAll(int fd, const char* bytes, size_t length) {
  while (length > 0) {
    const ssize_t n = write(fd, bytes, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool BAN_ISBANNED(const ShortStr& address) {
  if (draining) {
    NoteRefusal(last_drain_line, drain_refused, address.c_str(), "the server is draining");
    return true;
  }
  const int i = Find(address.c_str());
  if (i < 0 || Expired(bans[i].entry, Now())) return false;
  NoteRefusal(bans[i].last_line, bans[i].refused, address.c_str(), "banned");
  return true;
}

bool BAN_ADD(std::string_view address, uint32_t minutes) {
  char canonical[16];
  if (!Canonical(address, canonical)) return false;
  DropExpired();
  if (Find(canonical) < 0 && ban_count >= BAN_LIMIT) return false;
  Store(canonical, minutes == 0 ? 0 : Now() + static_cast<time_t>(minutes) * 60);
  return true;
}

bool BAN_REMOVE(std::string_view address) {
  char canonical[16];
  if (!Canonical(address, canonical)) return false;
  const int i = Find(canonical);
  if (i < 0) return false;
  for (int k = i; k + 1 < ban_count; ++k) bans[k] = bans[k + 1];
  --ban_count;
  return true;
}

int BAN_COUNT() {
  DropExpired();
  return ban_count;
}

const BanEntry& BAN_AT(int index) { return bans[index].entry; }

bool BAN_USEFILE(const char* path) {
  std::snprintf(ban_path, sizeof ban_path, "%s", path);
  FILE* file = std::fopen(path, "re");
  if (!file && errno == ENOENT) return true;
  if (!file) {
    std::fprintf(stderr, "vornaxdm_server: ban file \"%s\" cannot be read (%s): bans are kept in memory only\n", path,
                 std::strerror(errno));
    ban_path[0] = 0;
    return false;
  }
  ReadLines(file);
  std::fclose(file);
  return true;
}

const char* BAN_SAVE() {
  if (ban_path[0] == 0) return nullptr;
  DropExpired();
  char temporary[sizeof ban_path + 8];
  std::snprintf(temporary, sizeof temporary, "%s.tmp", ban_path);
  const int fd = open(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0640);
  if (fd < 0) return std::strerror(errno);
  static const char header[] = "# vornaxdm_server bans: ADDRESS EXPIRY (Unix time, 0 for ever)\n";
  bool written = WriteAll(fd, header, sizeof header - 1);
  for (int i = 0; written && i < ban_count; ++i) {
    char line[48];
    const int n = std::snprintf(line, sizeof line, "%s %lld\n", bans[i].entry.address,
                                static_cast<long long>(bans[i].entry.until));
    written = WriteAll(fd, line, static_cast<size_t>(n));
  }
  const int error = errno;
  if (!written || fsync(fd) != 0) {
    close(fd);
    unlink(temporary);
    return std::strerror(written ? errno : error);
  }
  if (close(fd) != 0 || rename(temporary, ban_path) != 0) {
    const int failed = errno;
    unlink(temporary);
    return std::strerror(failed);
  }
  return nullptr;
}

void BAN_SETDRAINING(bool on) { draining = on; }

bool BAN_DRAINING() { return draining; }

void BAN_RESET() {
  ban_count = 0;
  ban_path[0] = 0;
  draining = false;
  last_drain_line = 0;
  drain_refused = 0;
}
