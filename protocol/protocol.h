// Codes both programs share: message codes, message-log event codes, action
// codes, player states and the teams (the weapons are in weapons.h).
#pragma once

#include <cstdint>

constexpr uint8_t PROTOCOL_VERSION = 28;

// Message codes: the first byte of every datagram.
constexpr uint8_t MSG_CONNECT = 'f';       // client -> server
constexpr uint8_t MSG_DISCONNECT = 'g';    // client -> server
constexpr uint8_t MSG_INPUT = 'h';         // client -> server
constexpr uint8_t MSG_CHAT = 'i';          // client -> server
constexpr uint8_t MSG_GAMEINFO = 'l';      // server -> client
constexpr uint8_t MSG_LOG = 'm';           // server -> client
constexpr uint8_t MSG_SNAPSHOT = 'n';      // server -> client
constexpr uint8_t MSG_NOTCONNECTED = 'o';  // server -> client
constexpr uint8_t MSG_BADVERSION = 'p';    // server -> client
constexpr uint8_t MSG_SERVERFULL = 'q';    // server -> client

// Message-log event codes: the first character of every log line.
constexpr uint8_t EV_CONNECT = 1;     // slot, team, name
constexpr uint8_t EV_DISCONNECT = 2;  // slot
constexpr uint8_t EV_TIMEOUT = 3;     // slot
constexpr uint8_t EV_CHAT = 4;        // slot, text
constexpr uint8_t EV_KILL = 5;        // weapon, killer, victim
constexpr uint8_t EV_JOIN = 6;        // slot
constexpr uint8_t EV_LEAVE = 7;       // slot
constexpr uint8_t EV_WIN = 8;         // slot
constexpr uint8_t EV_TEAMWIN = 9;     // team
constexpr uint8_t EV_SERVERINFO = 10; // text

// Action codes carried by MSG_INPUT (and decided by bots).
constexpr uint8_t ACT_NONE = 0;
constexpr uint8_t ACT_GUN1 = 1;
constexpr uint8_t ACT_GUN5 = 5;
constexpr uint8_t ACT_FIRE = 10;
constexpr uint8_t ACT_SPECJOIN = 11;
constexpr uint8_t ACT_INFO = 15;

// Player states as carried by snapshots.
constexpr uint8_t PS_NONE = 0;
constexpr uint8_t PS_SPECTATOR = 1;
constexpr uint8_t PS_DEAD = 2;
constexpr uint8_t PS_ALIVE = 3;
constexpr uint8_t PS_FIRING = 4;

constexpr int MAX_SLOTS = 24;   // player slots 1..24; 0 means none
constexpr int NUM_WEAPONS = 5;  // weapons 1..5
constexpr int NUM_TEAMS = 4;    // teams 0..3

// The teams, once: the tag behind a bot's name and in the scoreboard, the
// name in the message log and win lines, and the menu's text.
struct TeamSpec {
  const char* tag;
  const char* name;
  const char* menu_text;
};
inline constexpr TeamSpec TEAMS[NUM_TEAMS] = {
    {"SS", "SS", "SS"},
    {"MU", "Mutants", "Mutant"},
    {"SO", "Soldiers", "Soldat"},
    {"OF", "Officers", "Officer"},
};
