// Client sessions: finding a sender's slot, taking and giving up slots, and
// the per-slot pass of every active tick.
#pragma once

#include <cstdint>

#include "protocol/shortstr.h"

// The occupied slot of a sender, 0 for none. Finding it does not keep the
// slot alive: only an input message does.
uint8_t PLAYER_A2I(const ShortStr& address, uint16_t port);
uint8_t PLAYER_NEW(const ShortStr& address, uint16_t port);
// A half-open slot for a new sender. Room is made first: an address at its
// slot limit, or a full server, gives up its oldest half-open slot. 0 when
// there is no room.
uint8_t PLAYER_OPEN(const ShortStr& address, uint16_t port, bool rejoining);
// The first input of a half-open slot: from now on it is a client like any
// other, announced by its connect line.
void PLAYER_ENTER(uint8_t slot);
// A further connect datagram from the sender of a half-open slot: it is
// answered by one more snapshot.
void PLAYER_REPEATCONNECT(uint8_t slot);
// Gives the slot up; a half-open slot goes without a line in the log.
void PLAYER_REMOVE(uint8_t slot);
// Gives the slot up as PLAYER_REMOVE does and tells the operator's log why.
constexpr const char* SLOT_DISCONNECT = "disconnect";
constexpr const char* SLOT_TIMEOUT = "time-out";
constexpr const char* SLOT_FELLBEHIND = "fell behind";
constexpr const char* SLOT_MAPCHANGE = "map change";
constexpr const char* SLOT_KICKED = "kicked";
constexpr const char* SLOT_BOTREMOVED = "bot no longer wanted";
void PLAYER_GIVEUP(uint8_t slot, const char* reason);
// Session upkeep, game timers, input budget, game information and message
// log for every occupied slot, in slot order.
void SV_PLAYERS();
