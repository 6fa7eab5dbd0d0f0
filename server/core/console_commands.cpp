#include "server/core/console_commands.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "protocol/protocol.h"
#include "server/core/console.h"
#include "server/core/rotation.h"
#include "server/net/bans.h"
#include "server/net/sessions.h"
#include "server/sim/event_line.h"
#include "server/sim/maps.h"
#include "server/sim/match_settings.h"
#include "server/sim/msglog.h"
#include "server/sim/world.h"

namespace {

constexpr size_t LINE_LIMIT = 256;
// The longest ban or kick keep-out: ten years.
constexpr int MINUTES_LIMIT = 10 * 365 * 24 * 60;
// EV_CHAT carries a slot and free text; the text after the slot byte.
constexpr size_t SAY_LIMIT = 253;

int input_fd = -1;
bool quit_requested = false;
bool drain_done = false;
bool drain_saw_match_end = false;
CommandReply reply = nullptr;
void* reply_context = nullptr;
// The line being read; a longer line is cut and the rest skipped.
char pending[LINE_LIMIT];
size_t pending_length = 0;
bool skipping_rest = false;

void Answer(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Answer(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (reply)
    reply(reply_context, text);
  else
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
    Answer("map %s (entry %d, %d in rotation), match over, next map in %d s", CurrentMapName(), SV_MAP.map_index,
        RotationLength(), (SV_SCOREBOARD + 32) / 33);
  else
    Answer("map %s (entry %d, %d in rotation), score to reach %d%s", CurrentMapName(), SV_MAP.map_index,
        RotationLength(), SV_SCORELIMIT, SV_TEAMPLAY ? " (team frags)" : "");
  Answer("%d of %d slots in use, %d playing (limit %d), %d bots (%d wanted)", SV_CURCLIENTS, MAX_SLOTS, SV_CURPLAYERS,
      SV_MAXPLAYERS, SV_BOTC, SV_BOTCOUNT);
  Answer("slot name                 team     frags ping address               kind");
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& c = SV_CLIENTSLIST[s];
    if (!c.in_use) continue;
    char address[32];
    if (c.is_bot)
      std::snprintf(address, sizeof address, "-");
    else
      std::snprintf(address, sizeof address, "%s:%u", c.address.c_str(), c.port);
    // Ping in milliseconds: it is measured in 30 ms ticks.
    Answer("%4d %-20s %-8s %5d %4d %-21s %s", s, c.name.c_str(), TeamText(c), c.frags, c.ping * 30, address,
        KindText(c));
  }
}

// The first word of an argument and what follows it.
std::string_view FirstWord(std::string_view argument, std::string_view& rest) {
  const size_t space = argument.find_first_of(" \t");
  rest = space == std::string_view::npos ? std::string_view() : Trimmed(argument.substr(space));
  return argument.substr(0, space);
}

void SaveBans() {
  if (const char* why = BAN_SAVE()) Answer("bans not saved to the ban file: %s", why);
}

void KeepOut(const ShortStr& address, int minutes) {
  if (!BAN_ADD(address.view(), static_cast<uint32_t>(minutes)))
    return Answer("address %s not kept out: the ban list is full", address.c_str());
  Answer("address %s kept out for %d minute%s", address.c_str(), minutes, minutes == 1 ? "" : "s");
  SaveBans();
}

// A kick keeps the address out for a while (a minute unless told), so the
// player does not come straight back.
void Kick(std::string_view argument) {
  std::string_view rest;
  const std::string_view slot_text = FirstWord(argument, rest);
  int slot = 0, minutes = 1;
  if (!ParseCount(slot_text, 1, MAX_SLOTS, slot) || (!rest.empty() && !ParseCount(rest, 0, MINUTES_LIMIT, minutes)))
    return Answer("usage: kick SLOT [MINUTES] (a slot number 1..24, see status; kept out 1 minute unless told)");
  const ClientRecord& c = SV_CLIENTSLIST[slot];
  if (!c.in_use) return Answer("slot %d is free", slot);
  Answer("kicking slot %d (%s)", slot, c.name.c_str());
  const ShortStr address = c.address;
  const bool human = !c.is_bot;
  PLAYER_GIVEUP(static_cast<uint8_t>(slot), SLOT_KICKED);
  if (human && minutes > 0) KeepOut(address, minutes);
}

void Ban(std::string_view argument) {
  std::string_view rest;
  const std::string_view address = FirstWord(argument, rest);
  int minutes = 0;
  if (address.empty() || (!rest.empty() && !ParseCount(rest, 1, MINUTES_LIMIT, minutes)))
    return Answer("usage: ban ADDRESS [MINUTES] (an IPv4 address; for ever without MINUTES)");
  if (!BAN_ADD(address, static_cast<uint32_t>(minutes)))
    return Answer("%.*s not banned: %s", static_cast<int>(address.size() < 40 ? address.size() : 40), address.data(),
                  BAN_COUNT() >= BAN_LIMIT ? "the ban list is full" : "not an IPv4 address");
  const BanEntry& e = BAN_AT(BAN_COUNT() - 1);
  if (minutes == 0)
    Answer("address %s banned for ever", e.address);
  else
    Answer("address %s banned for %d minute%s", e.address, minutes, minutes == 1 ? "" : "s");
  SaveBans();
  // Whoever plays from there goes now.
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& c = SV_CLIENTSLIST[s];
    if (!c.in_use || c.is_bot || !(c.address == std::string_view(e.address))) continue;
    Answer("kicking slot %d (%s)", s, c.name.c_str());
    PLAYER_GIVEUP(static_cast<uint8_t>(s), SLOT_KICKED);
  }
}

void Unban(std::string_view argument) {
  if (argument.empty()) return Answer("usage: unban ADDRESS");
  const int shown = static_cast<int>(argument.size() < 40 ? argument.size() : 40);
  if (!BAN_REMOVE(argument)) return Answer("%.*s is not banned", shown, argument.data());
  Answer("%.*s unbanned", shown, argument.data());
  SaveBans();
}

void ShowBans(std::string_view) {
  const int n = BAN_COUNT();
  Answer("%d ban%s", n, n == 1 ? "" : "s");
  const time_t now = time(nullptr);
  for (int i = 0; i < n; ++i) {
    const BanEntry& e = BAN_AT(i);
    if (e.until == 0) {
      Answer("%-15s for ever", e.address);
      continue;
    }
    tm utc{};
    gmtime_r(&e.until, &utc);
    char until[32];
    std::strftime(until, sizeof until, "%Y-%m-%dT%H:%M:%SZ", &utc);
    Answer("%-15s until %s (%lld min left)", e.address, until, static_cast<long long>((e.until - now + 59) / 60));
  }
}

// Clients show free text only in a chat line, which names a slot: the line
// speaks for a free slot that never had a player, whose name is empty on the
// server and on every client alike, so everyone reads ": TEXT".
uint8_t SilentSlot() {
  for (int s = MAX_SLOTS; s >= 1; --s)
    if (!SV_CLIENTSLIST[s].in_use && SV_CLIENTSLIST[s].name.empty()) return static_cast<uint8_t>(s);
  return 0;
}

bool Announce(std::string_view text) {
  if (text.size() > SAY_LIMIT) text = text.substr(0, SAY_LIMIT);
  const uint8_t slot = SilentSlot();
  if (slot == 0) {
    SV_ADDMSG(EVENT_LINE(EV_SERVERINFO, {}, text));
    return false;
  }
  SV_ADDMSG(EVENT_LINE(EV_CHAT, {slot}, text));
  return true;
}

void SayToPlayers(std::string_view argument) {
  if (argument.empty()) return Answer("usage: say TEXT");
  if (Announce(argument))
    Answer("said to %d player%s", SV_CURCLIENTS - SV_BOTC, SV_CURCLIENTS - SV_BOTC == 1 ? "" : "s");
  else
    Answer("said on the server's console only: every slot has had a player, so none can speak for the server");
}

void Drain(std::string_view) {
  if (BAN_DRAINING()) return Answer("already draining");
  BAN_SETDRAINING(true);
  Announce("This server stops after the current match. No new players.");
  Answer("draining: no new players; the server stops when the current match ends");
}

// A map change ends the match too; while draining, nobody is let back in
// after it, so the server stops rather than play on empty.
void EndDrainedMatch() {
  if (BAN_DRAINING()) drain_done = true;
}

void ChangeMap(std::string_view argument) {
  if (argument.empty()) return Answer("usage: map NAME (a map of the rotation or maps/NAME.vnxm)");
  uint8_t entry = MAP_FIND(argument);
  if (entry == 0) {
    if (const char* why = MAPFROMFILE(ShortStr(argument))) {
      char name[LINE_LIMIT + 1];
      std::snprintf(name, sizeof name, "%.*s", static_cast<int>(argument.size()), argument.data());
      return Answer("map %s not changed to: not in the rotation, and maps/%s.vnxm %s", name, name, why);
    }
    entry = MAP_FIND(argument);
    if (entry == 0) return Answer("map not changed");
    Answer("map %s added to the rotation as entry %d", SV_MAPL[entry].name.c_str(), entry);
  }
  Answer("changing map to %s", SV_MAPL[entry].name.c_str());
  SV_CHANGEMAP(entry);
  EndDrainedMatch();
}

void NextMap(std::string_view) {
  SV_MAPNEXT();
  EndDrainedMatch();
  Answer("map %s started", CurrentMapName());
}

// Fewer bots: the ones in the highest slots go at once; more bots: they come
// one a tick while a human plays, as at start-up.
void SetBots(std::string_view argument) {
  int wanted = 0;
  if (!ParseCount(argument, 0, MAX_SLOTS, wanted)) return Answer("usage: bots N (0..24)");
  SV_BOTCOUNT = static_cast<uint8_t>(wanted);
  for (int s = MAX_SLOTS; s >= 1 && SV_BOTC > SV_BOTCOUNT; --s)
    if (SV_CLIENTSLIST[s].in_use && SV_CLIENTSLIST[s].is_bot) PLAYER_GIVEUP(static_cast<uint8_t>(s), SLOT_BOTREMOVED);
  Answer("bots: %d wanted, %d present", SV_BOTCOUNT, SV_BOTC);
}

void ShowCommands(std::string_view);

void Quit(std::string_view) {
  Answer("quitting");
  quit_requested = true;
}

constexpr ConsoleCommand COMMANDS[] = {
    {"status", "", "the map, the limits and every occupied slot", ShowStatus},
    {"kick", "SLOT [MINUTES]", "remove a player and keep its address out MINUTES (1)", Kick},
    {"map", "NAME", "change to a map of the rotation or maps/NAME.vnxm", ChangeMap},
    {"next", "", "change to the next map of the rotation", NextMap},
    {"bots", "N", "keep N bots, 0..24", SetBots},
    {"quit", "", "stop the server", Quit},
    {"say", "TEXT", "a line every player sees in the message log", SayToPlayers},
    {"ban", "ADDRESS [MINUTES]", "keep an IPv4 address out (for ever without MINUTES)", Ban},
    {"unban", "ADDRESS", "let a banned address in again", Unban},
    {"bans", "", "the banned addresses and until when", ShowBans},
    {"drain", "", "no new players; stop when the current match ends", Drain},
    {"help", "", "this list", ShowCommands},
};

// "commands: status, kick SLOT [MINUTES], ..."
const char* CommandList() {
  static char list[512];
  if (list[0] != 0) return list;
  size_t used = static_cast<size_t>(std::snprintf(list, sizeof list, "commands:"));
  for (const ConsoleCommand& c : COMMANDS) {
    const int n = std::snprintf(list + used, sizeof list - used, "%s %s%s%s", &c == COMMANDS ? "" : ",", c.name,
                                c.arguments[0] ? " " : "", c.arguments);
    if (n > 0) used += static_cast<size_t>(n);
    if (used >= sizeof list) break;
  }
  return list;
}

// "  kick SLOT [MINUTES]       remove a player; ..."
void FormatHelpLine(const ConsoleCommand& c, char (&line)[160]) {
  char usage[40];
  std::snprintf(usage, sizeof usage, "%s%s%s", c.name, c.arguments[0] ? " " : "", c.arguments);
  std::snprintf(line, sizeof line, "  %-22s %s", usage, c.description);
}

void ShowCommands(std::string_view) {
  Answer("commands:");
  for (const ConsoleCommand& c : COMMANDS) {
    char line[160];
    FormatHelpLine(c, line);
    Answer("%s", line);
  }
}

bool ReadableKind(int fd) {
  if (isatty(fd)) return true;
  struct stat st{};
  return fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode);
}

// A named pipe (mkfifo) reaches its end each time its last writer closes it.
// Held open for writing by the server itself it never ends, so the next
// writer's lines arrive as the first one's did. An anonymous pipe (a shell's
// "|") has no name to open again: its end is the end.
bool KeepNamedPipeOpen() {
  struct stat st{};
  if (isatty(input_fd) || fstat(input_fd, &st) != 0 || !S_ISFIFO(st.st_mode)) return false;
  char link[64], own[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", input_fd);
  const ssize_t n = readlink(link, own, sizeof own - 1);
  if (n < 0 || (n >= 5 && std::memcmp(own, "pipe:", 5) == 0)) return false;
  const int reopened = open(link, O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (reopened < 0) return false;
  if (dup2(reopened, input_fd) < 0) {
    close(reopened);
    return false;
  }
  close(reopened);
  return true;
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
      skipping_rest = false;
      if (n < 0 || !KeepNamedPipeOpen()) input_fd = -1;
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
  for (const ConsoleCommand& c : COMMANDS)
    if (word == c.name) return c.run(argument);
  char shown[64];
  std::snprintf(shown, sizeof shown, "%.*s", static_cast<int>(word.size() < 40 ? word.size() : 40), word.data());
  Answer("unknown command \"%s\"; %s", shown, CommandList());
}

void CMD_RUNFOR(std::string_view line, CommandReply to, void* context) {
  reply = to;
  reply_context = context;
  CMD_RUN(line);
  reply = nullptr;
  reply_context = nullptr;
}

bool CMD_DRAINED() {
  if (!BAN_DRAINING() || drain_done) return drain_done;
  // The match ends in its scoreboard countdown; the last tick of it is the
  // one before the next map would start.
  const bool human_playing = SV_CURCLIENTS > SV_BOTC;
  if (SV_SCOREBOARD > 0) drain_saw_match_end = true;
  drain_done = !human_playing || (drain_saw_match_end && SV_SCOREBOARD <= 1);
  return drain_done;
}

void CMD_PRINTHELP(FILE* out) {
  for (const ConsoleCommand& c : COMMANDS) {
    char line[160];
    FormatHelpLine(c, line);
    std::fprintf(out, "%s\n", line);
  }
}

bool CMD_QUITREQUESTED() { return quit_requested; }

void CMD_RESET() {
  input_fd = -1;
  quit_requested = false;
  drain_done = false;
  drain_saw_match_end = false;
  reply = nullptr;
  reply_context = nullptr;
  pending_length = 0;
  skipping_rest = false;
}
