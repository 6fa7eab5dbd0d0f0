// Every message's layout, written once: what the server and the client
// write and read, for both protocol versions. docs/protocol.md describes the
// same bytes for other implementers.
//
// Version 28 is the original protocol. Version 29 adds a proven address
// before any slot (a challenge with a cookie) and a session token right after
// the code byte of every later datagram, both ways; what is unchanged in
// content keeps its layout behind that header.
//
// Write functions write a whole message, code byte first. Read functions read
// what follows the code byte (and, in version 29, the token), because the
// receiver has read the code to choose the reader. In version 28 a short
// datagram reads as zeros, as it always did; version-29 readers return false
// for a datagram shorter than its layout (MessageBuffer::bad_read).
#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/msgbuf.h"
#include "protocol/protocol.h"
#include "protocol/shortstr.h"

constexpr uint8_t PROTOCOL_SESSIONS = 29;

constexpr uint8_t MSG_CHALLENGE = 'r';  // server -> client, version 29
constexpr uint8_t MSG_WELCOME = 'u';    // server -> client, version 29

// Who sends a message code: the receive loops drop what the other side never
// sends before anything else looks at it.
enum class Sender : uint8_t { Nobody, Client, Server };
Sender SenderOfCode(uint8_t code);

// A version-29 connect is padded to this size at least, so that the challenge
// that answers it is always smaller than the connect.
constexpr uint16_t CONNECT29_SIZE = 64;
constexpr uint16_t CHALLENGE_SIZE = 17;
constexpr uint16_t WELCOME_SIZE = 18;
constexpr uint16_t TOKEN_SIZE = 8;
// Inputs one version-29 input datagram carries: the newest and the three
// before it, so one datagram in four may be lost without any effect.
constexpr uint8_t INPUTS_PER_DATAGRAM = 4;
constexpr uint16_t INPUT28_SIZE = 12;
constexpr uint16_t INPUT_FRAME_SIZE = 9;
// An input with one frame; anything shorter from a sender without a slot is a
// version-28 input.
constexpr uint16_t INPUT29_MIN_SIZE = 1 + TOKEN_SIZE + 2 + 2 + 1 + INPUT_FRAME_SIZE;

// What one side knows of the session a message belongs to: the version it
// speaks and, in version 29, the token both ends put after the code byte.
struct WireSession {
  uint8_t version = PROTOCOL_VERSION;
  uint64_t token = 0;
  bool tokened() const { return version >= PROTOCOL_SESSIONS; }
};

// The code byte and, in version 29, the token.
void WriteHead(MessageBuffer& b, uint8_t code, const WireSession& session);

// ---- connecting ----

struct ConnectMsg {
  uint8_t version = PROTOCOL_VERSION;
  ShortStr name;
  uint8_t team = 0;
  uint64_t nonce = 0;   // version 29: the client's mark for this attempt
  uint64_t cookie = 0;  // version 29: 0, or the cookie of the challenge
};
// 28: 'f' version name team. 29: the same, then nonce and cookie, padded with
// zeros to CONNECT29_SIZE.
void WriteConnect(MessageBuffer& b, const ConnectMsg& m);
// The version, then what that version carries. False for a version-29
// connect shorter than CONNECT29_SIZE.
bool ReadConnect(MessageBuffer& b, ConnectMsg& m);

// 'r' nonce cookie.
void WriteChallenge(MessageBuffer& b, uint64_t nonce, uint64_t cookie);
bool ReadChallenge(MessageBuffer& b, uint64_t& nonce, uint64_t& cookie);
// 'u' nonce token slot.
void WriteWelcome(MessageBuffer& b, uint64_t nonce, uint64_t token, uint8_t slot);
bool ReadWelcome(MessageBuffer& b, uint64_t& nonce, uint64_t& token, uint8_t& slot);

// 'q', in version 29 followed by the nonce of the connect it answers.
void WriteServerFull(MessageBuffer& b, uint8_t version, uint64_t nonce);
// 'p' and the version the server speaks.
void WriteBadVersion(MessageBuffer& b, uint8_t server_version);
// 'o', in version 29 followed by the token of the input it answers.
void WriteNotConnected(MessageBuffer& b, uint8_t version, uint64_t token);

// ---- client to server ----

// One frame's input: the tick of the newest snapshot seen, the heading, the
// action and the position the client moved to.
struct InputFrame {
  uint16_t tick_echo = 0;
  uint16_t dir = 0;
  uint8_t action = ACT_NONE;
  uint16_t want_x = 0;
  uint16_t want_y = 0;
};

// 28: 'h' echo dir action x y ack, 12 bytes.
void WriteInput28(MessageBuffer& b, const InputFrame& f, uint16_t log_ack);
void ReadInput28(MessageBuffer& b, InputFrame& f, uint16_t& log_ack);

// 29: 'h' token ack sequence count, then `count` frames, the newest first:
// frame k carries input number sequence - k.
struct Input29 {
  uint16_t log_ack = 0;
  uint16_t sequence = 0;
  uint8_t count = 0;  // 1..INPUTS_PER_DATAGRAM
  InputFrame frames[INPUTS_PER_DATAGRAM];
};
void WriteInput29(MessageBuffer& b, uint64_t token, const Input29& m);
// After code and token. False for a count out of range or a short datagram.
bool ReadInput29(MessageBuffer& b, Input29& m);

// 'i' [token] text.
void WriteChat(MessageBuffer& b, const WireSession& session, const ShortStr& text);
void ReadChat(MessageBuffer& b, ShortStr& text);
// 'g' [token].
void WriteDisconnect(MessageBuffer& b, const WireSession& session);

// ---- server to client ----

// The snapshot is written in three parts, so the server builds the part
// every receiver shares once: the head (code, token in 29, tick), the common
// part (countdown, entries, present items) and each receiver's tail.
struct SnapshotEntry {
  uint8_t slot = 0;
  uint8_t state = PS_NONE;  // which fields follow
  uint8_t ping = 0;
  uint8_t frags = 0;        // state PS_DEAD and above
  uint16_t x = 0, y = 0;    // PS_ALIVE and above
  uint16_t dir = 0;         // PS_ALIVE and above
  uint8_t gun = 0;          // PS_FIRING
};
struct SnapshotTail {
  uint8_t slot = 0, health = 0, armor = 0, ammo1 = 0, ammo2 = 0, gun = 0;
  uint16_t applied_sequence = 0;  // version 29: the last input applied
};
constexpr uint8_t SNAPSHOT_TAIL28_SIZE = 6;
constexpr uint8_t SNAPSHOT_TAIL29_SIZE = 8;

void WriteSnapshotHead(MessageBuffer& b, const WireSession& session, uint16_t tick);
void WriteSnapshotCountdown(MessageBuffer& b, uint16_t countdown, uint8_t entry_count);
void WriteSnapshotEntry(MessageBuffer& b, const SnapshotEntry& e);
// Count, then the item numbers.
void WriteSnapshotItems(MessageBuffer& b, const uint8_t* items, uint8_t count);
void WriteSnapshotTail(MessageBuffer& b, uint8_t version, const SnapshotTail& t);

// The readers in the same order; the entry count and the item count are
// the receiver's to loop over.
void ReadSnapshotHead(MessageBuffer& b, uint16_t& tick, uint16_t& countdown, uint8_t& entry_count);
void ReadSnapshotEntry(MessageBuffer& b, SnapshotEntry& e);
uint8_t ReadSnapshotItemCount(MessageBuffer& b);
void ReadSnapshotTail(MessageBuffer& b, uint8_t version, SnapshotTail& t);

// 'l' [token] log index, map text ending in 0, map name, server name, score
// limit, team play, player limit, slot count, then per slot: slot, team, name.
struct GameInfoSettings {
  ShortStr map_name;
  ShortStr server_name;
  uint8_t score_limit = 0;
  uint8_t team_play = 0;
  uint8_t max_players = 0;
  uint8_t slot_count = 0;
};
struct GameInfoPlayer {
  uint8_t slot = 0;
  uint8_t team = 0;
  ShortStr name;
};
// `map_text` ends at its first 0 byte or after `map_length` bytes.
void WriteGameInfoHead(MessageBuffer& b, const WireSession& session, uint16_t log_index, const uint8_t* map_text,
                       size_t map_length);
void WriteGameInfoSettings(MessageBuffer& b, const GameInfoSettings& s);
void WriteGameInfoPlayer(MessageBuffer& b, const GameInfoPlayer& p);
// The map text up to and including its 0 byte; what does not fit in
// `capacity` bytes is read and dropped, and what is kept always ends in 0.
void ReadGameInfoHead(MessageBuffer& b, uint16_t& log_index, uint8_t* map_text, size_t capacity);
void ReadGameInfoSettings(MessageBuffer& b, GameInfoSettings& s);
void ReadGameInfoPlayer(MessageBuffer& b, GameInfoPlayer& p);

// 'm' [token] last index, n, then n lines.
constexpr uint8_t LOG_BATCH_LIMIT = 10;
void WriteLogHead(MessageBuffer& b, const WireSession& session, uint16_t last_index, uint8_t count);
void WriteLogLine(MessageBuffer& b, const ShortStr& line);
void ReadLogHead(MessageBuffer& b, uint16_t& last_index, uint8_t& count);
void ReadLogLine(MessageBuffer& b, ShortStr& line);
