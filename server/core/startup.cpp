#include "server/core/startup.h"

#include <cstdio>
#include <cstring>

#include "protocol/protocol.h"
#include "server/core/console.h"
#include "server/core/event_line.h"
#include "server/core/maps.h"
#include "server/core/msglog.h"
#include "server/core/settings.h"
#include "server/net/guard.h"
#include "server/net/netproto.h"
#include "server/net/sessions.h"
#include "server/net/udp.h"
#include "server/sim/bots.h"
#include "server/sim/rules.h"
#include "server/sim/world.h"

namespace {

// ---- Numbers of the command line ----

int DigitValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return 99;
}

// Strips the base prefix and returns the base it names.
unsigned TakeBase(std::string_view& text) {
  if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X')) {
    text.remove_prefix(1);
    return 16;
  }
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    return 16;
  }
  if (!text.empty() && text[0] == '%') {
    text.remove_prefix(1);
    return 2;
  }
  if (!text.empty() && text[0] == '&') {
    text.remove_prefix(1);
    return 8;
  }
  return 10;
}

// An unsigned 32-bit number; anything invalid (no digits, a sign, a stray
// character, more than 32 bits) counts as 0.
uint32_t ParseNumber(std::string_view text) {
  while (!text.empty() && (text[0] == ' ' || text[0] == '\t')) text.remove_prefix(1);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  unsigned base = TakeBase(text);
  if (text.empty()) return 0;
  uint64_t value = 0;
  for (char ch : text) {
    int digit = DigitValue(ch);
    if (digit >= static_cast<int>(base)) return 0;
    value = value * base + static_cast<unsigned>(digit);
    if (value > UINT32_MAX) return 0;
  }
  return static_cast<uint32_t>(value);
}

// ---- Options ----

using OptionHandler = void (*)(std::string_view value);

struct Option {
  const char* name;
  OptionHandler apply;
};

void ApplyPort(std::string_view v) { NET_PORT = S2W(v); }
void ApplyScore(std::string_view v) { SV_SCORELIMIT = S2B(v); }
void ApplyMaxPlayers(std::string_view v) { SV_MAXPLAYERS = S2B(v); }
void ApplyMap(std::string_view v) { MAPFROMFILE(ShortStr(v)); }
void ApplyName(std::string_view v) { SV_NAME.assign(v); }
void ApplyTeams(std::string_view v) { SV_TEAMPLAY = S2B(v); }
void ApplyBots(std::string_view v) { SV_BOTCOUNT = S2B(v); }
void ApplyIpSlots(std::string_view v) { SV_IPSLOTS = S2B(v); }
void ApplyIpConnects(std::string_view v) { SV_IPCONNECTS = S2B(v); }
void ApplyConnects(std::string_view v) { SV_CONNECTS = S2B(v); }

constexpr Option OPTIONS[] = {
    {"-port", ApplyPort},   {"-score", ApplyScore}, {"-maxplayers", ApplyMaxPlayers}, {"-map", ApplyMap},
    {"-name", ApplyName},   {"-teams", ApplyTeams}, {"-bots", ApplyBots},
    {"-ipslots", ApplyIpSlots}, {"-ipconnects", ApplyIpConnects}, {"-connects", ApplyConnects},
};

void ApplyOption(std::string_view option, std::string_view value) {
  for (const Option& o : OPTIONS) {
    if (option == o.name) {
      o.apply(value);
      return;
    }
  }
}

// ---- Start-up banner ----

void LogServerInfo(std::string_view text) {
  SV_ADDMSG(EVENT_LINE(EV_SERVERINFO, {}, text));
}

void LogBanner() {
  std::string first = SV_NAME.str() + ", v" + std::to_string(PROTOCOL_VERSION);
  LogServerInfo(first);
  std::string second = "Playerlimit: " + B2S(SV_MAXPLAYERS) + ", scorelimit: " + B2S(SV_SCORELIMIT) +
                       ", teamplay: " + B2SYN(SV_TEAMPLAY);
  LogServerInfo(second);
}

bool HumanConnected() { return SV_CURCLIENTS > SV_BOTC; }

}  // namespace

uint16_t S2W(std::string_view text) { return static_cast<uint16_t>(ParseNumber(text)); }

uint8_t S2B(std::string_view text) { return static_cast<uint8_t>(ParseNumber(text)); }

std::string B2S(uint8_t v) { return std::to_string(v); }

std::string B2SYN(uint8_t v) { return v ? "yes" : "no"; }

bool EXISTFILE(const char* path) {
  FILE* f = std::fopen(path, "r+");
  if (!f) return false;
  std::fclose(f);
  return true;
}

void SV_STARTPARAMS(int argc, char** argv) {
  // Pairs of option and value; an option without a value is ignored.
  for (int i = 1; i + 1 < argc; i += 2) ApplyOption(argv[i], argv[i + 1]);
  SV_CHECKVARS();
}

void SV_CHECKVARS() {
  if (SV_MAXPLAYERS < 2) SV_MAXPLAYERS = 2;
  if (SV_MAXPLAYERS > MAX_SLOTS) SV_MAXPLAYERS = MAX_SLOTS;
  if (SV_BOTCOUNT > MAX_SLOTS) SV_BOTCOUNT = MAX_SLOTS;
  if (SV_SCORELIMIT == 0) SV_SCORELIMIT = 1;
  if (SV_IPSLOTS < 1) SV_IPSLOTS = 1;
  if (SV_IPSLOTS > MAX_SLOTS) SV_IPSLOTS = MAX_SLOTS;
  if (SV_IPCONNECTS < 1) SV_IPCONNECTS = 1;
  if (SV_CONNECTS < 1) SV_CONNECTS = 1;
}

bool GAMESTART(int argc, char** argv) {
  CON_CLEAR();
  SV_CLEARLOG();
  DEFAULTMAPS();
  SV_STARTPARAMS(argc, argv);
  if (!NET_START()) return false;
  LogBanner();
  SV_LOADCURMAP(1);
  return true;
}

void GAMECYCLE() {
  GUARD_TICK();
  NET_INPUT();
  // Without a human client the game stands still: connects are still
  // answered, but no bot moves, no clock runs and nothing is sent.
  if (!HumanConnected()) return;
  SV_OTHER();
  SV_MAPITEMS();
  SV_PLAYERS();
  NET_OUTPUT();
}

void SV_OTHER() {
  SV_BOTZ();
  SV_PINGVAR = static_cast<uint16_t>(SV_PINGVAR + 1);
  if (SV_SCOREBOARD > 0) {
    SV_SCOREBOARD = static_cast<uint16_t>(SV_SCOREBOARD - 1);
    if (SV_SCOREBOARD == 0) SV_MAPNEXT();
  }
}

void SV_RESETALL() {
  NET_RESET();
  GUARD_RESET();
  CON_RESET();
  SV_RESETSETTINGS();
  SV_RESETWORLD();
  SV_CLEARLOG();
  DEFAULTMAPS();
  BOT_RESETRNG();
}
