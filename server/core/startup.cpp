#include "server/core/startup.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "protocol/protocol.h"
#include "server/core/console.h"
#include "server/core/console_commands.h"
#include "server/core/control.h"
#include "server/core/log_echo.h"
#include "server/core/metrics.h"
#include "server/core/oplog.h"
#include "server/net/bans.h"
#include "server/net/cookie.h"
#include "server/net/guard.h"
#include "server/net/net_settings.h"
#include "server/net/net_stats.h"
#include "server/net/netproto.h"
#include "server/net/sessions.h"
#include "server/net/udp.h"
#include "server/sim/bots.h"
#include "server/sim/event_line.h"
#include "server/sim/hooks.h"
#include "server/sim/maps.h"
#include "server/sim/match_settings.h"
#include "server/sim/msglog.h"
#include "server/sim/rules.h"
#include "server/sim/world.h"

namespace {

// ---- What the game and the network layer tell the program ----

void MapStarted() {
  OPLOG_MAPSTART();
  METRICS_MAPSTARTED();
}

void ConnectLayers() {
  SV_HOOKS = ServerHooks{CON_WRITELINE,  OPLOG_LINE,    CON_WAITENTER, SC_LOGMESS,
                         OPLOG_CONNECT, OPLOG_SLOTGIVENUP, MapStarted};
}

// Connected from the start, so nothing the lower layers say before the first
// reset is lost.
struct LayersAtStart {
  LayersAtStart() { ConnectLayers(); }
} layers_at_start;

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
// character, more than 32 bits) counts as 0, and valid says so.
uint32_t ParseNumber(std::string_view text, bool& valid) {
  valid = false;
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
  valid = true;
  return static_cast<uint32_t>(value);
}

uint32_t ParseNumber(std::string_view text) {
  bool valid = false;
  return ParseNumber(text, valid);
}

// Command-line remarks go to standard error, one line each, and never stop
// the server: it starts with what was taken.
void Warn(const std::string& text) {
  std::fprintf(stderr, "vornaxdm_server: %s\n", text.c_str());
  std::fflush(stderr);
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// ---- Options ----

using OptionHandler = void (*)(std::string_view value);
using SettingReader = uint32_t (*)();

struct Option {
  const char* name;
  OptionHandler apply;
  // The setting a number option ends in, nullptr for the others.
  SettingReader setting;
};

// A map that could not be loaded, or that has no spawn point, is reported
// with the reason; the server starts with the maps it has.
void ApplyMap(std::string_view v) {
  const ShortStr name(v);
  if (const char* why = MAPFROMFILE(name)) {
    Warn("map " + Quoted(v) + " (maps/" + std::string(v) + ".vnxm) not loaded: " + why);
    return;
  }
  const uint8_t entry = MAP_FIND(name.view());
  if (entry != 0 && MAP_SPAWNCOUNT(entry) == 0)
    Warn("map " + Quoted(v) + " has no spawn points ('@'): players respawn where they stand");
}

void ApplyLog(std::string_view v) {
  const std::string path(v);
  if (!OPLOG_OPEN(path.c_str()))
    Warn("log file " + Quoted(v) + " cannot be opened (" + std::strerror(errno) + "): no log is kept");
}

char control_path[4096];
bool command_line_refused = false;

// Options an operator relies on to start the server as asked: a mistake in
// one of them stops the server (exit 2) rather than start it otherwise.
void Refuse(const std::string& text) {
  Warn(text);
  command_line_refused = true;
}

void ApplyControl(std::string_view v) {
  std::snprintf(control_path, sizeof control_path, "%.*s", static_cast<int>(v.size()), v.data());
}

void ApplyBanFile(std::string_view v) {
  const std::string path(v);
  BAN_USEFILE(path.c_str());
}

void ApplyBind(std::string_view v) {
  const std::string text(v);
  in_addr parsed{};
  if (inet_pton(AF_INET, text.c_str(), &parsed) != 1)
    return Refuse("-bind " + Quoted(v) + " is not an IPv4 address (such as 127.0.0.1)");
  NET_BINDADDRESS = parsed.s_addr;
}

void ApplyStrictPort(std::string_view v) { NET_STRICTPORT = S2B(v); }
void ApplyMetrics(std::string_view v) {
  const std::string where(v);
  const char* why = "";
  if (!METRICS_OPEN(where.c_str(), why))
    return Warn("metrics page on " + Quoted(v) + " cannot be opened (" + why + "): no metrics are served");
  // The port too: with port 0 the system chose it.
  CON_WRITELINE("Metrics: http://" + METRICS_ADDRESSTEXT() + "/metrics");
}

void ApplyPort(std::string_view v) { NET_PORT = S2W(v); }
void ApplyScore(std::string_view v) { SV_SCORELIMIT = S2B(v); }
void ApplyMaxPlayers(std::string_view v) { SV_MAXPLAYERS = S2B(v); }
void ApplyName(std::string_view v) { SV_NAME.assign(v); }
void ApplyTeams(std::string_view v) { SV_TEAMPLAY = S2B(v); }
void ApplyBots(std::string_view v) { SV_BOTCOUNT = S2B(v); }
void ApplyIpSlots(std::string_view v) { SV_IPSLOTS = S2B(v); }
void ApplyIpConnects(std::string_view v) { SV_IPCONNECTS = S2B(v); }
void ApplyConnects(std::string_view v) { SV_CONNECTS = S2B(v); }
void ApplyLegacy(std::string_view v) { SV_LEGACY = S2B(v); }

constexpr Option OPTIONS[] = {
    {"-port", ApplyPort, [] { return uint32_t{NET_PORT}; }},
    {"-score", ApplyScore, [] { return uint32_t{SV_SCORELIMIT}; }},
    {"-maxplayers", ApplyMaxPlayers, [] { return uint32_t{SV_MAXPLAYERS}; }},
    {"-map", ApplyMap, nullptr},
    {"-name", ApplyName, nullptr},
    {"-teams", ApplyTeams, [] { return uint32_t{SV_TEAMPLAY}; }},
    {"-bots", ApplyBots, [] { return uint32_t{SV_BOTCOUNT}; }},
    {"-ipslots", ApplyIpSlots, [] { return uint32_t{SV_IPSLOTS}; }},
    {"-ipconnects", ApplyIpConnects, [] { return uint32_t{SV_IPCONNECTS}; }},
    {"-connects", ApplyConnects, [] { return uint32_t{SV_CONNECTS}; }},
    {"-legacy", ApplyLegacy, [] { return uint32_t{SV_LEGACY}; }},
    {"-log", ApplyLog, nullptr},
    {"-control", ApplyControl, nullptr},
    {"-banfile", ApplyBanFile, nullptr},
    {"-bind", ApplyBind, nullptr},
    {"-strictport", ApplyStrictPort, [] { return uint32_t{NET_STRICTPORT}; }},
    {"-metrics", ApplyMetrics, nullptr},
};
constexpr int OPTION_COUNT = sizeof OPTIONS / sizeof OPTIONS[0];

const Option* FindOption(std::string_view name) {
  for (const Option& o : OPTIONS)
    if (name == o.name) return &o;
  return nullptr;
}

// The value each number option was last given; the last one wins, so only
// that one is checked against what the setting ended as.
struct GivenValues {
  const char* text[OPTION_COUNT] = {};
};

// One line for a number the parsing rules or the range checks changed. With
// -strictport 1 a port that cannot be taken as given stops the server.
void WarnAboutNumber(const Option& o, std::string_view given) {
  bool valid = false;
  const uint32_t parsed = ParseNumber(given, valid);
  const uint32_t taken = o.setting();
  if (valid && parsed == taken) return;
  const char* why = valid ? "is out of range" : "is not a number";
  if (NET_STRICTPORT && o.apply == ApplyPort)
    return Refuse(std::string(o.name) + " " + Quoted(given) + " " + why +
                  " (0..65535): with -strictport 1 the server does not start");
  Warn(std::string(o.name) + " " + Quoted(given) + " " + why + ": taken as " + std::to_string(taken));
}

// The control socket comes up with the UDP socket, so a service manager
// that starts the server can steer it from then on.
bool OpenControl() {
  if (control_path[0] == 0) return true;
  const char* why = nullptr;
  if (CONTROL_OPEN(control_path, why)) return true;
  Warn("control socket " + Quoted(control_path) + " cannot be opened: " + why);
  OPLOG_LINE("start failed: the control socket could not be opened");
  return false;
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

}  // namespace

uint16_t S2W(std::string_view text) { return static_cast<uint16_t>(ParseNumber(text)); }

uint8_t S2B(std::string_view text) { return static_cast<uint8_t>(ParseNumber(text)); }

std::string B2S(uint8_t v) { return std::to_string(v); }

std::string B2SYN(uint8_t v) { return v ? "yes" : "no"; }

void SV_STARTPARAMS(int argc, char** argv) {
  // Pairs of option and value; an option without a value is ignored.
  GivenValues given;
  for (int i = 1; i + 1 < argc; i += 2) {
    const Option* o = FindOption(argv[i]);
    if (!o) {
      Warn("unknown option " + Quoted(argv[i]) + " ignored together with its value " + Quoted(argv[i + 1]));
      continue;
    }
    o->apply(argv[i + 1]);
    given.text[o - OPTIONS] = argv[i + 1];
  }
  if (argc >= 2 && argc % 2 == 0) Warn("option " + Quoted(argv[argc - 1]) + " has no value: ignored");
  SV_CHECKVARS();
  for (int k = 0; k < OPTION_COUNT; ++k)
    if (OPTIONS[k].setting && given.text[k]) WarnAboutNumber(OPTIONS[k], given.text[k]);
}

bool SV_COMMANDLINEREFUSED() { return command_line_refused; }

CommandLineRequest SV_COMMANDLINEREQUEST(int argc, char** argv) {
  if (argc >= 2 && std::string_view(argv[1]) == "--probe") return CommandLineRequest::kProbe;
  for (int i = 1; i < argc; i += 2) {
    const std::string_view option = argv[i];
    if (option == "--help" || option == "-h") return CommandLineRequest::kHelp;
    if (option == "--version") return CommandLineRequest::kVersion;
  }
  return CommandLineRequest::kRun;
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
  if (SV_LEGACY > 1) SV_LEGACY = 1;
}

bool GAMESTART(int argc, char** argv) {
  ConnectLayers();
  CON_CLEAR();
  SV_CLEARLOG();
  DEFAULTMAPS();
  SV_STARTPARAMS(argc, argv);
  if (command_line_refused) return false;
  COOKIE_RESET();
  if (!NET_START()) {
    OPLOG_LINE("start failed: the UDP socket could not be brought up");
    return false;
  }
  if (!OpenControl()) return false;
  OPLOG_STARTUP();
  LogBanner();
  SV_LOADCURMAP(1);
  return true;
}

void SV_RESETALL() {
  NET_RESET();
  GUARD_RESET();
  CON_RESET();
  ConnectLayers();
  NET_RESETSETTINGS();
  SV_RESETMATCHSETTINGS();
  SV_RESETWORLD();
  SV_CLEARLOG();
  DEFAULTMAPS();
  BOT_RESETRNG();
  OPLOG_CLOSE();
  CMD_RESET();
  CONTROL_CLOSE();
  BAN_RESET();
  control_path[0] = 0;
  command_line_refused = false;
  METRICS_RESET();
  NET_RESETSTATS();
}
