// The status query: a question anyone may ask a server from outside a game
// (the client's server list, `vornaxdm --list`, an operator's monitoring),
// and its answer. Game clients never send it: its code is no game message
// and a magic word follows, so a server that does not know it drops it as
// it drops any unknown datagram.
//
// Query:  's' "VXST" format token(4), zero-padded to exactly 1,200 bytes.
// Answer: 't' "VXST" format token(4), then the server's name, map, game
//         type, score limit, players, maximum, seconds left of the
//         end-of-match countdown (0 while a match runs), version, protocol
//         and one entry per occupied slot: name, team, frags, ping, bot.
// Strings are short strings (length byte first); words are low byte first.
// The answer is at most STATUS_ANSWER_LIMIT bytes, far below the query's
// size, so a forged sender address can never be sent more than was sent.
#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/protocol.h"
#include "protocol/shortstr.h"

constexpr uint8_t MSG_STATUSQUERY = 's';
constexpr uint8_t MSG_STATUSANSWER = 't';
inline constexpr char STATUS_MAGIC[4] = {'V', 'X', 'S', 'T'};
constexpr uint8_t STATUS_FORMAT = 1;
constexpr size_t STATUS_HEADER_SIZE = 10;   // code, magic, format, token
constexpr size_t STATUS_QUERY_SIZE = 1200;  // shorter queries get no answer

// Longest texts an answer carries; longer ones are cut.
constexpr uint8_t STATUS_NAME_LIMIT = 63;
constexpr uint8_t STATUS_MAP_LIMIT = 31;
constexpr uint8_t STATUS_VERSION_LIMIT = 15;
constexpr uint8_t STATUS_PLAYER_NAME_LIMIT = 20;
constexpr size_t STATUS_ANSWER_LIMIT = STATUS_HEADER_SIZE + (1 + STATUS_NAME_LIMIT) + (1 + STATUS_MAP_LIMIT) + 5 +
                                       (1 + STATUS_VERSION_LIMIT) + 1 + 1 +
                                       MAX_SLOTS * (1 + STATUS_PLAYER_NAME_LIMIT + 5);
static_assert(STATUS_ANSWER_LIMIT * 3 < STATUS_QUERY_SIZE * 2, "an answer stays well below the query's size");

// The version the server reports in the status answer: the project's.
#ifdef VORNAX_GAME_VERSION
inline constexpr char GAME_VERSION[] = VORNAX_GAME_VERSION;
#else
inline constexpr char GAME_VERSION[] = "unknown";
#endif

struct StatusPlayer {
  ShortStr name;
  uint8_t team = 0;  // 0..3
  uint8_t frags = 0;
  uint16_t ping_ms = 0;
  uint8_t bot = 0;   // 1 for a server bot
};

struct ServerStatus {
  uint32_t token = 0;
  ShortStr name, map, version;
  uint8_t team_play = 0;  // 0 free-for-all, 1 four teams
  uint8_t score_limit = 0;
  uint8_t players = 0;    // occupied slots, bots included
  uint8_t max_players = 0;
  uint8_t countdown_seconds = 0;
  uint8_t protocol = 0;
  uint8_t entry_count = 0;
  StatusPlayer entries[MAX_SLOTS];
};

// Writes the whole 1,200-byte query into out.
void WriteStatusQuery(uint32_t token, uint8_t (&out)[STATUS_QUERY_SIZE]);
// Whether the datagram is a status query of this format, and its token.
// `length` is the datagram's real length: a short one is no query.
bool ReadStatusQuery(const uint8_t* bytes, size_t kept, size_t length, uint32_t& token);

// The answer's bytes into out (at least STATUS_ANSWER_LIMIT long); its length.
size_t WriteStatusAnswer(const ServerStatus& status, uint8_t* out);
// False for anything that is not a whole, well-formed answer of this format.
bool ReadStatusAnswer(const uint8_t* bytes, size_t length, ServerStatus& out);
