#include "server/core/console_commands.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "protocol/protocol.h"
#include "server/core/console.h"
#include "server/core/maps.h"
#include "server/core/settings.h"
#include "server/net/sessions.h"
#include "server/sim/world.h"

namespace {

constexpr size_t LINE_LIMIT = 256;
constexpr const char* COMMAND_LIST = "commands: status, kick SLOT, map NAME, next, bots N, quit";

int input_fd = -1;
bool quit_requested = false;
// The line being read; a longer line is cut and the rest skipped.
char pending[LINE_LIMIT];
size_t pending_length = 0;
bool skipping_rest = false;

void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  CON_WRITELINE(text);
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// A decimal number in lo..hi; false for anything else.
bool ParseCount(std::string_view text, int lo, int hi, int& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value >= lo && value <= hi;
}

const char* CurrentMapName() {
  const uint8_t m = SV_MAP.map_index;
  return m >= 1 && m <= MAP_LIST_SIZE ? SV_MAPL[m].name.c_str() : "(none)";
}

int RotationLength() {
  int n = 0;
  for (int m = 1; m <= MAP_LIST_SIZE; ++m)
    if (!(SV_MAPL[m].name == "-")) ++n;
  return n;
}

const char* TeamText(const ClientRecord& c) { return SV_TEAMPLAY ? TEAMS[c.team % NUM_TEAMS].name : "-"; }

const char* KindText(const ClientRecord& c) {
  if (c.is_bot) return c.joined ? "bot" : "bot, spectating";
  if (c.half_open) return "human, connecting";
  return c.joined ? "human" : "human, spectating";
}

void ShowStatus(std::string_view) {
  if (SV_SCOREBOARD > 0)
    Say("map %s (entry %d, %d in rotation), match over, next map in %d s", CurrentMapName(), SV_MAP.map_index,
        RotationLength(), (SV_SCOREBOARD + 32) / 33);
  else
    Say("map %s (entry %d, %d in rotation), score to reach %d%s", CurrentMapName(), SV_MAP.map_index,
        RotationLength(), SV_SCORELIMIT, SV_TEAMPLAY ? " (team frags)" : "");
  Say("%d of %d slots in use, %d playing (limit %d), %d bots (%d wanted)", SV_CURCLIENTS, MAX_SLOTS, SV_CURPLAYERS,
      SV_MAXPLAYERS, SV_BOTC, SV_BOTCOUNT);
  Say("slot name                 team     frags ping address               kind");
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& c = SV_CLIENTSLIST[s];
    if (!c.in_use) continue;
    char address[32];
    if (c.is_bot)
      std::snprintf(address, sizeof address, "-");
    else
      std::snprintf(address, sizeof address, "%s:%u", c.address.c_str(), c.port);
    // Ping in milliseconds: it is measured in 30 ms ticks.
    Say("%4d %-20s %-8s %5d %4d %-21s %s", s, c.name.c_str(), TeamText(c), c.frags, c.ping * 30, address,
        KindText(c));
  }
}

void Kick(std::string_view argument) {
  int slot = 0;
  if (!ParseCount(argument, 1, MAX_SLOTS, slot)) return Say("usage: kick SLOT (a slot number 1..24, see status)");
  const ClientRecord& c = SV_CLIENTSLIST[slot];
  if (!c.in_use) return Say("slot %d is free", slot);
  Say("kicking slot %d (%s)", slot, c.name.c_str());
  PLAYER_GIVEUP(static_cast<uint8_t>(slot), SLOT_KICKED);
}

void ChangeMap(std::string_view argument) {
  if (argument.empty()) return Say("usage: map NAME (a map of the rotation or maps/NAME.vnxm)");
  uint8_t entry = MAP_FIND(argument);
  if (entry == 0) {
    if (const char* why = MAPFROMFILE(ShortStr(argument))) {
      char name[LINE_LIMIT + 1];
      std::snprintf(name, sizeof name, "%.*s", static_cast<int>(argument.size()), argument.data());
      return Say("map %s not changed to: not in the rotation, and maps/%s.vnxm %s", name, name, why);
    }
    entry = MAP_FIND(argument);
    if (entry == 0) return Say("map not changed");
    Say("map %s added to the rotation as entry %d", SV_MAPL[entry].name.c_str(), entry);
  }
  Say("changing map to %s", SV_MAPL[entry].name.c_str());
  SV_CHANGEMAP(entry);
}

void NextMap(std::string_view) {
  SV_MAPNEXT();
  Say("map %s started", CurrentMapName());
}

// Fewer bots: the ones in the highest slots go at once; more bots: they come
// one a tick while a human plays, as at start-up.
void SetBots(std::string_view argument) {
  int wanted = 0;
  if (!ParseCount(argument, 0, MAX_SLOTS, wanted)) return Say("usage: bots N (0..24)");
  SV_BOTCOUNT = static_cast<uint8_t>(wanted);
  for (int s = MAX_SLOTS; s >= 1 && SV_BOTC > SV_BOTCOUNT; --s)
    if (SV_CLIENTSLIST[s].in_use && SV_CLIENTSLIST[s].is_bot) PLAYER_GIVEUP(static_cast<uint8_t>(s), SLOT_BOTREMOVED);
  Say("bots: %d wanted, %d present", SV_BOTCOUNT, SV_BOTC);
}

void ShowCommands(std::string_view) { Say("%s", COMMAND_LIST); }

void Quit(std::string_view) {
  Say("quitting");
  quit_requested = true;
}

struct Command {
  const char* name;
  void (*run)(std::string_view argument);
};

constexpr Command COMMANDS[] = {
    {"status", ShowStatus}, {"kick", Kick}, {"map", ChangeMap}, {"next", NextMap}, {"bots", SetBots}, {"quit", Quit},
    {"help", ShowCommands},
};

bool ReadableKind(int fd) {
  if (isatty(fd)) return true;
  struct stat st{};
  return fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode);
}

void TakeByte(char ch) {
  if (ch == '\n') {
    if (!skipping_rest) CMD_RUN(std::string_view(pending, pending_length));
    pending_length = 0;
    skipping_rest = false;
  } else if (pending_length < sizeof pending) {
    pending[pending_length++] = ch;
  } else {
    skipping_rest = true;
  }
}

}  // namespace

void CMD_START(int fd) { input_fd = ReadableKind(fd) ? fd : -1; }

void CMD_POLL() {
  // At most a few reads a tick: a flood of input waits for the next tick.
  for (int round = 0; round < 4 && input_fd >= 0; ++round) {
    pollfd p{input_fd, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0 || (p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) return;
    char chunk[512];
    const ssize_t n = read(input_fd, chunk, sizeof chunk);
    // EIO: a background job reading its terminal; it may be brought to the
    // foreground later, so the input is looked at again next tick.
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EIO)) return;
    if (n <= 0) {
      // End of the input: a last line without its newline still counts.
      if (pending_length > 0 && !skipping_rest) CMD_RUN(std::string_view(pending, pending_length));
      pending_length = 0;
      input_fd = -1;
      return;
    }
    for (ssize_t i = 0; i < n; ++i) TakeByte(chunk[i]);
  }
}

void CMD_RUN(std::string_view line) {
  line = Trimmed(line);
  if (line.empty()) return;
  const size_t space = line.find_first_of(" \t");
  const std::string_view word = line.substr(0, space);
  const std::string_view argument = space == std::string_view::npos ? std::string_view() : Trimmed(line.substr(space));
  for (const Command& c : COMMANDS)
    if (word == c.name) return c.run(argument);
  char shown[64];
  std::snprintf(shown, sizeof shown, "%.*s", static_cast<int>(word.size() < 40 ? word.size() : 40), word.data());
  Say("unknown command \"%s\"; %s", shown, COMMAND_LIST);
}

bool CMD_QUITREQUESTED() { return quit_requested; }

void CMD_RESET() {
  input_fd = -1;
  quit_requested = false;
  pending_length = 0;
  skipping_rest = false;
}
