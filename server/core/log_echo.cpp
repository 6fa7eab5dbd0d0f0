#include "server/core/log_echo.h"

#include <cstdio>
#include <cstring>

#include "protocol/protocol.h"
#include "protocol/weapons.h"
#include "server/core/console.h"
#include "server/core/oplog.h"
#include "server/sim/world.h"

namespace {

constexpr const char* STR_CCON = " connected!";
constexpr const char* STR_DCON = " disconnected!";
constexpr const char* STR_COUT = " time out!";
constexpr const char* STR_CENT = " has joined the game!";
constexpr const char* STR_CLEV = " has left the game!";
constexpr const char* STR_CWIN = " WINS!";
constexpr const char* STR_TEAM = " team ";

constexpr size_t EV_CONNECT_NAME = 3;  // the name starts after code, slot, team

// A display text can pass 255 characters (a 20-character name, ": " and 253
// characters of chat, each written as four in the operator's log), so it is
// built in a larger fixed buffer. The operator's log gets names quoted and
// escaped, so no player can write what reads like a line of the server's.
struct DisplayText {
  char ch[1200];
  size_t len = 0;
  bool for_oplog = false;
  void add(std::string_view s) {
    size_t n = s.size() < sizeof ch - len ? s.size() : sizeof ch - len;
    if (n) std::memcpy(ch + len, s.data(), n);
    len += n;
  }
  void addName(std::string_view name) {
    if (!for_oplog) return add(name);
    add("\"");
    OPLOG_ESCAPE(name, ch, sizeof ch, len);
    add("\"");
  }
  void addText(std::string_view text) {
    if (!for_oplog) return add(text);
    OPLOG_ESCAPE(text, ch, sizeof ch, len);
  }
  std::string_view view() const { return std::string_view(ch, len); }
};

// Argument byte i of a line; 0 when the line is too short to hold it.
uint8_t Argument(const ShortStr& line, size_t i) { return i < line.len ? line[i] : 0; }

std::string_view Rest(const ShortStr& line, size_t from) {
  return from < line.len ? std::string_view(line.ch + from, line.len - from) : std::string_view();
}

bool ValidSlot(uint8_t slot) { return slot >= 1 && slot <= MAX_SLOTS; }

// Each printer builds the display text of one event code; false means the
// line names no valid slot, team or weapon and shows nothing.
using EventPrinter = bool (*)(const ShortStr& line, DisplayText& out);

bool NamePlus(uint8_t slot, const char* tail, DisplayText& out) {
  if (!ValidSlot(slot)) return false;
  out.addName(SV_CLIENTSLIST[slot].name.view());
  out.add(tail);
  return true;
}

bool PrintConnect(const ShortStr& line, DisplayText& out) {
  uint8_t slot = Argument(line, 1);
  if (!ValidSlot(slot)) return false;
  ClientRecord& c = SV_CLIENTSLIST[slot];
  c.team = Argument(line, 2);
  c.name.assign(Rest(line, EV_CONNECT_NAME));
  c.name.cut(NAME_LIMIT);
  return NamePlus(slot, STR_CCON, out);
}

bool PrintDisconnect(const ShortStr& line, DisplayText& out) { return NamePlus(Argument(line, 1), STR_DCON, out); }
bool PrintTimeout(const ShortStr& line, DisplayText& out) { return NamePlus(Argument(line, 1), STR_COUT, out); }
bool PrintJoin(const ShortStr& line, DisplayText& out) { return NamePlus(Argument(line, 1), STR_CENT, out); }
bool PrintLeave(const ShortStr& line, DisplayText& out) { return NamePlus(Argument(line, 1), STR_CLEV, out); }
bool PrintWin(const ShortStr& line, DisplayText& out) { return NamePlus(Argument(line, 1), STR_CWIN, out); }

// The operator's log marks chat as chat: `chat: slot N "NAME": TEXT`.
bool PrintChat(const ShortStr& line, DisplayText& out) {
  const uint8_t slot = Argument(line, 1);
  if (!ValidSlot(slot)) return false;
  if (out.for_oplog) {
    char number[8];
    const int n = std::snprintf(number, sizeof number, "%u", slot);
    out.add("chat: slot ");
    out.add(std::string_view(number, n > 0 ? static_cast<size_t>(n) : 0));
    out.add(" ");
  }
  NamePlus(slot, ": ", out);
  out.addText(Rest(line, 2));
  return true;
}

bool PrintKill(const ShortStr& line, DisplayText& out) {
  uint8_t weapon = Argument(line, 1);
  uint8_t killer = Argument(line, 2);
  uint8_t victim = Argument(line, 3);
  if (weapon < 1 || weapon > NUM_WEAPONS || !ValidSlot(victim)) return false;
  if (!NamePlus(killer, " > ", out)) return false;
  out.add(WEAPONS[weapon].name);
  out.add(" > ");
  out.addName(SV_CLIENTSLIST[victim].name.view());
  return true;
}

bool PrintTeamWin(const ShortStr& line, DisplayText& out) {
  uint8_t team = Argument(line, 1);
  if (team >= NUM_TEAMS) return false;
  out.add(TEAMS[team].name);
  out.add(STR_TEAM);
  out.add(STR_CWIN);
  return true;
}

bool PrintServerInfo(const ShortStr& line, DisplayText& out) {
  out.add(Rest(line, 1));
  return true;
}

constexpr EventPrinter EVENT_PRINTERS[EV_SERVERINFO + 1] = {
    nullptr,         PrintConnect, PrintDisconnect, PrintTimeout, PrintChat,      PrintKill,
    PrintJoin,       PrintLeave,   PrintWin,        PrintTeamWin, PrintServerInfo,
};

}  // namespace

void SC_LOGMESS(const ShortStr& line) {
  if (line.empty()) return;
  uint8_t code = line[0];
  if (code > EV_SERVERINFO || EVENT_PRINTERS[code] == nullptr) return;
  DisplayText text;
  if (!EVENT_PRINTERS[code](line, text) || text.len == 0) return;
  CON_WRITELINE(text.view());
  if (!OPLOG_ACTIVE()) return;
  DisplayText quoted;
  quoted.for_oplog = true;
  if (EVENT_PRINTERS[code](line, quoted)) OPLOG_LINE(quoted.view());
}
