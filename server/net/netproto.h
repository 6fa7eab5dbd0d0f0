// The server's side of the wire protocol.
#pragma once

#include <cstdint>

// Reads and handles every waiting datagram.
void NET_INPUT();
// Builds the snapshot once and sends it, with each receiver's private tail,
// to every connected human client.
void NET_OUTPUT();
void NET_WRITEMAP(uint8_t map_number);
void NET_WRITEITEMS();
// The two on-demand senders of the per-slot pass.
void NET_SENDGAMEINFO(uint8_t slot);
void NET_SENDLOG(uint8_t slot);
