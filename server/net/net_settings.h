// The network layer's settings, set once from the command line
// (server/core/startup.cpp).
#pragma once

#include <cstdint>

#include "protocol/shortstr.h"

extern uint16_t NET_PORT;         // port to bind; after start-up the port bound
extern uint32_t NET_BINDADDRESS;  // local IPv4 address to bind, network order; INADDR_ANY for all
extern uint8_t NET_STRICTPORT;    // 0 = probe upward from a busy port, anything else = refuse to start
extern ShortStr SV_NAME;          // "Vornax:dm Server"
// Limits for strangers: slots one address may hold (1..24), new slots one
// address may take per second, and new players let into the game per second
// from all addresses together (both at least 1).
extern uint8_t SV_IPSLOTS;     // 4
extern uint8_t SV_IPCONNECTS;  // 2
extern uint8_t SV_CONNECTS;    // 4
// Whether protocol version 28 (no session token) is accepted: 1 by default.
extern uint8_t SV_LEGACY;

// Back to the values of a freshly started process.
void NET_RESETSETTINGS();
