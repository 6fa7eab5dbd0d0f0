// The server's side of the wire protocol.
#pragma once

#include <cstdint>

#include "protocol/shortstr.h"

// Reads and handles every waiting datagram.
void NET_INPUT();
// Version 29: each slot's inputs due in this tick, from its jitter buffer.
void NET_APPLYQUEUEDINPUTS();
// A slot taken by a new client starts with an empty jitter buffer.
void NET_RESETINPUTS(uint8_t slot);
// Handles the one datagram of `length` bytes that is in NET_BUF (position
// 1), sent from the given address and port. NET_INPUT calls it for each
// datagram it receives.
void NET_HANDLEDATAGRAM(const ShortStr& address, uint16_t port, uint16_t length);
// Whether a datagram from the sender of `slot` carries the slot's session
// token (always true for version 28 and for connects, which prove their
// sender with a cookie). The one place where a datagram is dropped for a
// wrong or missing token: changing nothing and answered by nothing.
bool NET_SESSIONTOKENOK(uint8_t slot, const uint8_t* bytes, uint16_t length);
// Builds the common part of the snapshot once and sends it, with each
// receiver's own head (code, token, tick) and tail, to every connected human
// client; a half-open slot gets at most one a second, out of the strangers'
// byte budget.
void NET_OUTPUT();
// The two halves of NET_OUTPUT: building the datagrams, and the system call
// that sends them all.
void NET_BUILDSNAPSHOTS();
void NET_SENDSNAPSHOTS();
void NET_WRITEITEMS();
// The two on-demand senders of the per-slot pass.
void NET_SENDGAMEINFO(uint8_t slot);
void NET_SENDLOG(uint8_t slot);
