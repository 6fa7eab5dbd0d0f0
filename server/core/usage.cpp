#include "server/core/usage.h"

#include "protocol/protocol.h"
#include "server/core/console_commands.h"

#ifndef VORNAX_VERSION
#define VORNAX_VERSION "1.0.0"
#endif

namespace {

constexpr const char* USAGE =
    "Usage: vornaxdm_server [-OPTION VALUE]...\n"
    "       vornaxdm_server --probe HOST:PORT [SECONDS]\n"
    "       vornaxdm_server --help | -h | --version\n"
    "The vornaxdm dedicated server. Options come in pairs of option and value.\n"
    "\n"
    "  -port N        UDP port; when busy, the next free port above it (35700)\n"
    "  -map NAME      add maps/NAME.vnxm to the rotation; repeat for up to 24\n"
    "                 maps (the built-in map when none loads)\n"
    "  -bots N        server-controlled players, 0..24 (0)\n"
    "  -maxplayers N  players that may play at once, 2..24 (10)\n"
    "  -score N       frags (team frags in team play) that end a match (20)\n"
    "  -teams N       0 free-for-all, anything else four teams (0)\n"
    "  -name TEXT     server name shown to players (\"Vornax:dm Server\")\n"
    "  -ipslots N     slots one address may hold at once, 1..24 (4)\n"
    "  -ipconnects N  new slots one address may take per second (2)\n"
    "  -connects N    new players let in per second, all addresses (4)\n"
    "  -log FILE      append every event with a UTC time stamp to FILE (SIGHUP\n"
    "                 reopens it, for logrotate)\n"
    "  -control PATH  take commands on a Unix domain socket at PATH (mode 0660)\n"
    "  -banfile FILE  keep the bans in FILE, so they survive a restart\n"
    "  -bind ADDRESS  bind this local IPv4 address only (all addresses)\n"
    "  -strictport N  1: exit 1 when the port is busy and 2 when -port is not a\n"
    "                 port, instead of another port (0)\n"
    "  -metrics [ADDRESS:]PORT\n"
    "                 serve Prometheus metrics over HTTP at /metrics\n"
    "                 (ADDRESS 127.0.0.1 when only a port is given)\n"
    "  -h, --help     show this text and exit\n"
    "  --version      show the version and the protocol version and exit\n"
    "\n"
    "       vornaxdm_server --send PATH COMMAND [ARGUMENT]...\n"
    "Sends one command to the server listening on the control socket PATH and\n"
    "prints its answer: exit 0 when answered, 1 when no server answers, 2 on\n"
    "bad arguments.\n"
    "\n"
    "       vornaxdm_server --probe HOST:PORT [SECONDS]\n"
    "  ask a running server how it is and print one line: name, map,\n"
    "  players/maximum, ping; exit 0 when it answered within SECONDS (2),\n"
    "  1 when not, 2 for bad arguments\n"
    "\n"
    "Under a service manager (NOTIFY_SOCKET) readiness, stopping and, with\n"
    "WATCHDOG_USEC, a keep-alive each second are reported.\n"
    "\n"
    "Numbers: decimal, $, x or 0x hexadecimal, % binary, & octal.\n"
    "Commands on standard input (a terminal or a pipe) and the control socket:\n";

}  // namespace

void SV_PRINTUSAGE(FILE* out) {
  std::fputs(USAGE, out);
  CMD_PRINTHELP(out);
}

void SV_PRINTVERSION(FILE* out) {
  std::fprintf(out, "vornaxdm_server %s (protocol version %d)\n", VORNAX_VERSION, PROTOCOL_VERSION);
}
