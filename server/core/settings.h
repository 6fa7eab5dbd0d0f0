// Server settings (set once from the command line) and global counters.
#pragma once

#include <cstdint>

#include "protocol/shortstr.h"

// Settings.
extern uint16_t NET_PORT;       // port to bind; after start-up the port bound
extern uint32_t NET_BINDADDRESS;  // local IPv4 address to bind, network order; INADDR_ANY for all
extern uint8_t NET_STRICTPORT;  // 0 = probe upward from a busy port, anything else = refuse to start
extern ShortStr SV_NAME;        // "Vornax:dm Server"
extern uint8_t SV_MAXPLAYERS;   // 10, kept within 2..24
extern uint8_t SV_SCORELIMIT;   // 20, never below 1
extern uint8_t SV_TEAMPLAY;     // 0 = free-for-all, anything else = four teams
extern uint8_t SV_BOTCOUNT;     // 0..24 bots wanted
// Limits for strangers: slots one address may hold (1..24), new slots one
// address may take per second, and new players let into the game per second
// from all addresses together (both at least 1).
extern uint8_t SV_IPSLOTS;      // 4
extern uint8_t SV_IPCONNECTS;   // 2
extern uint8_t SV_CONNECTS;     // 4

// Counters.
extern uint8_t SV_CURCLIENTS;   // occupied slots, humans and bots
extern uint8_t SV_CURPLAYERS;   // joined slots
extern uint8_t SV_BOTC;         // bots present
extern uint16_t SV_PINGVAR;     // tick counter, wraps
extern uint16_t SV_SCOREBOARD;  // end-of-match countdown in ticks, 0 while a match runs

// Back to the values of a freshly started process.
void SV_RESETSETTINGS();
