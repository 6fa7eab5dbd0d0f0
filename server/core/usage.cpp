#include "server/core/usage.h"

#include "protocol/protocol.h"

#ifndef VORNAX_VERSION
#define VORNAX_VERSION "1.0.0"
#endif

namespace {

constexpr const char* USAGE =
    "Usage: vornaxdm_server [-OPTION VALUE]...\n"
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
    "  -legacy N      1 accepts protocol 28 (no session token) besides 29,\n"
    "                 0 only 29 (1)\n"
    "  -log FILE      append every event with a UTC time stamp to FILE\n"
    "  -h, --help     show this text and exit\n"
    "  --version      show the version and the protocol version and exit\n"
    "\n"
    "Numbers: decimal, $, x or 0x hexadecimal, % binary, & octal.\n"
    "Commands on standard input (a terminal or a pipe):\n"
    "  status, kick SLOT, map NAME, next, bots N, quit\n";

}  // namespace

void SV_PRINTUSAGE(FILE* out) { std::fputs(USAGE, out); }

void SV_PRINTVERSION(FILE* out) {
  std::fprintf(out, "vornaxdm_server %s (protocol version %d)\n", VORNAX_VERSION, PROTOCOL_VERSION);
}
