// The game world on the server: one record per player slot, the current map,
// and the constant rule tables. Plain global state, indexed from 1.
#pragma once

#include <cstdint>

#include "protocol/protocol.h"
#include "protocol/rules.h"
#include "protocol/shortstr.h"
constexpr int MAX_ITEMS = 128;
constexpr int MAX_SPAWNS = 64;

constexpr uint8_t CELL_FREE = 0;
constexpr uint8_t CELL_WALL = 1;      // blocks movement, shots and sight
constexpr uint8_t CELL_OBSTACLE = 2;  // blocks movement only

struct ClientRecord {
  ShortStr name;     // at most NAME_LIMIT characters
  ShortStr address;  // dotted IPv4 text, at most 15 characters; "0.0.0.0" for bots
  uint16_t port;
  uint16_t x, y;
  uint16_t want_x, want_y;
  uint16_t dir;
  uint16_t log_ack;
  uint16_t ping_tick;
  uint8_t has_gun[NUM_WEAPONS + 1];  // 1..5
  uint8_t ammo[3];                   // 1..2
  uint8_t joined;
  uint8_t in_use;
  uint8_t is_bot;
  uint8_t ping;
  uint8_t frags;
  uint8_t gun;       // in hand, 1..5
  uint8_t next_gun;  // selected, 1..5
  uint8_t health;
  uint8_t armor;
  uint8_t team;
  uint8_t action;
  uint8_t fire_anim;
  uint8_t wait;
  uint8_t idle;
  uint8_t input_budget;
  uint8_t specjoin_wait;
  uint8_t chat_wait;
  uint8_t log_wait;
  uint8_t info_wait;
  // A version-28 slot is half-open from its connect until an input proves
  // that its sender received a snapshot: it is sent at most one snapshot a
  // second, shown nowhere and leaves no line in the message log.
  uint8_t half_open;
  uint8_t snapshots_owed;     // a connect not yet answered by a snapshot
  uint8_t half_open_age;      // ticks since the newest connect
  uint8_t wrong_echoes;       // inputs whose echo was no tick sent to it
  uint8_t sent_count;         // snapshots sent while half-open (at most 2 kept)
  uint16_t sent_ticks[2];     // their ticks, the newest first
  uint32_t half_open_since;   // GUARD_CYCLE of its first connect
  uint32_t last_snapshot_at;  // GUARD_CYCLE of the newest of them
  // The session: the protocol version the slot speaks; in version 29 the
  // token of every datagram and the nonce of the connect that opened it.
  uint8_t version;
  uint64_t token;
  uint64_t nonce;
  // Version 28: added to the tick of the slot's snapshots and taken off its
  // echoes, so only a sender that received a snapshot can echo one.
  uint16_t tick_offset;
  uint16_t goal_x, goal_y;
  uint16_t bot_dir;
  uint8_t bot_target;
};

// Slots 1..24; entry 0 is unused.
extern ClientRecord SV_CLIENTSLIST[MAX_SLOTS + 1];
// The lowest slot not in use, which a new client or bot takes; 0 when all are.
uint8_t LowestFreeSlot();

// Counts of the slots: only the three functions below change them, together
// with the flags they count.
extern uint8_t SV_CURCLIENTS;  // occupied slots, humans and bots
extern uint8_t SV_CURPLAYERS;  // joined slots
extern uint8_t SV_BOTC;        // bots present
// The slot is taken, by a client or a bot, as a spectator.
void OccupySlot(uint8_t slot, bool bot);
// The slot is free again, whoever held it.
void VacateSlot(uint8_t slot);
// The slot joins the game, or leaves it for the spectators.
void SetJoined(uint8_t slot, bool joined);

// The clocks.
extern uint16_t SV_PINGVAR;     // tick counter, wraps
extern uint16_t SV_SCOREBOARD;  // end-of-match countdown in ticks, 0 while a match runs

struct MapItem {
  uint16_t respawn;  // ticks until back; 0 = present
  uint16_t x, y;     // a cell centre
  uint8_t kind;      // the map character '0'..'9'; 0 = empty entry
};

struct SpawnPoint {
  uint16_t x, y;
};

struct MapState {
  uint8_t cells[MAP_CELLS + 2][MAP_CELLS + 2];  // [column][row]; 0 and 65 are the wall ring
  MapItem items[MAX_ITEMS + 1];                 // 1..128
  uint8_t item_count;
  SpawnPoint spawns[MAX_SPAWNS + 1];            // 1..64
  uint8_t spawn_count;
  uint8_t map_index;                            // entry of the map list, 1..24
};

extern MapState SV_MAP;

// Ammunition tables, indexed by type 1..2.
extern const uint8_t PLAYERMAXAMMO[3];
extern const uint8_t PLAYERSTARTAMMO[3];

// Item tables, indexed by item kind 0..9 (the map character minus '0').
// ITEMSP_AMMO is [type 1..2][kind].
extern const uint8_t ITEMSP_HITS[10];
extern const uint8_t ITEMSP_ARMOR[10];
extern const uint8_t ITEMSP_AMMO[3][10];
extern const uint8_t ITEMSP_GUN[10];
extern const uint16_t ITEMSP_RESPT[10];


// PS_NONE .. PS_FIRING for a slot.
uint8_t PLAYER_STATE(uint8_t slot);

// Empties every slot record, the counts, the clocks and the map (border ring
// walls, open floor).
void SV_RESETWORLD();
