// Client sessions: finding a sender's slot, taking and giving up slots, and
// the per-slot pass of every active tick.
#pragma once

#include <cstdint>

#include "protocol/shortstr.h"
#include "server/sim/world.h"

// The occupied slot of a sender, 0 for none. Finding it does not keep the
// slot alive: only an input message does.
uint8_t PLAYER_A2I(const ShortStr& address, uint16_t port);
uint8_t PLAYER_NEW(const ShortStr& address, uint16_t port);
// A half-open version-28 slot for a new sender, with a random tick offset:
// a free slot, else a half-open slot whose first connect is a second old.
// 0 when there is no room.
uint8_t PLAYER_OPEN(const ShortStr& address, uint16_t port);
// A version-29 slot with a random token for a sender that proved its
// address: a free slot, else the oldest half-open slot. 0 when there is none.
uint8_t PLAYER_OPENPROVEN(const ShortStr& address, uint16_t port);
// The slot enters the game, announced by its connect line.
void PLAYER_ENTER(uint8_t slot);
// A further connect datagram from the sender of a half-open slot: it is
// answered by one more snapshot, at most one a second.
void PLAYER_REPEATCONNECT(uint8_t slot);
// Whether the slot is sent a snapshot this tick, and that it was sent one.
bool PLAYER_OWESSNAPSHOT(const ClientRecord& c);
void PLAYER_SNAPSHOTSENT(ClientRecord& c);
// Whether the echo of a half-open slot's input (its tick offset still
// added) is the tick of one of the last two snapshots sent to it. The
// fourth wrong echo gives the slot up without a word.
bool PLAYER_ECHOPROVES(uint8_t slot, uint16_t echo);
// Slots of the address that have proven it (half-open ones do not count).
int PLAYER_PROVENSLOTS(const ShortStr& address);
// Half-open slots are shown nowhere: not in snapshots, the game
// information, status answers or any count of players.
bool PLAYER_SHOWN(const ClientRecord& c);
uint8_t PLAYER_SHOWNCOUNT();
// Gives the slot up; a half-open slot goes without a line in the log.
void PLAYER_REMOVE(uint8_t slot);
// Gives the slot up as PLAYER_REMOVE does and tells the operator's log why.
constexpr const char* SLOT_DISCONNECT = "disconnect";
constexpr const char* SLOT_TIMEOUT = "time-out";
constexpr const char* SLOT_FELLBEHIND = "fell behind";
constexpr const char* SLOT_MAPCHANGE = "map change";
constexpr const char* SLOT_KICKED = "kicked";
constexpr const char* SLOT_BOTREMOVED = "bot no longer wanted";
constexpr const char* SLOT_CONNECTEDAGAIN = "connected again";
void PLAYER_GIVEUP(uint8_t slot, const char* reason);
// Session upkeep, game timers, input budget, game information and message
// log for every occupied slot, in slot order.
void SV_PLAYERS();
