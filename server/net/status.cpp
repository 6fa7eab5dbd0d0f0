#include "server/net/status.h"

#include <arpa/inet.h>

#include "protocol/status_query.h"
#include "server/net/guard.h"
#include "server/net/net_settings.h"
#include "server/net/sessions.h"
#include "server/net/udp.h"
#include "server/sim/maps.h"
#include "server/sim/match_settings.h"
#include "server/sim/world.h"

namespace {

constexpr uint16_t MS_PER_TICK = 30;
constexpr uint16_t TICKS_PER_SECOND = 33;

// The answer is built once per tick, at the first query the tick answers;
// each answer is a copy with the query's token patched in.
ServerStatus status;
uint8_t answer[STATUS_ANSWER_LIMIT];
size_t answer_length = 0;
uint32_t answer_built_at = 0;
bool answer_built = false;
constexpr size_t TOKEN_AT = 6;  // after the code, the magic word and the format

void describeSlots() {
  status.entry_count = 0;
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& c = SV_CLIENTSLIST[s];
    if (!PLAYER_SHOWN(c)) continue;
    StatusPlayer& p = status.entries[status.entry_count++];
    p.name = c.name;
    p.team = c.team;
    p.frags = c.frags;
    p.ping_ms = static_cast<uint16_t>(c.ping * MS_PER_TICK);
    p.bot = c.is_bot ? 1 : 0;
  }
}

void describeServer() {
  status.token = 0;
  status.name = SV_NAME;
  const uint8_t map = SV_MAP.map_index;
  if (map >= 1 && map <= MAP_LIST_SIZE) status.map = SV_MAPL[map].name;
  else status.map.clear();
  status.team_play = SV_TEAMPLAY ? 1 : 0;
  status.score_limit = SV_SCORELIMIT;
  status.players = PLAYER_SHOWNCOUNT();
  status.max_players = SV_MAXPLAYERS;
  status.countdown_seconds = static_cast<uint8_t>((SV_SCOREBOARD + TICKS_PER_SECOND - 1) / TICKS_PER_SECOND);
  status.version.assign(GAME_VERSION);
  status.protocol = PROTOCOL_VERSION;
  describeSlots();
}

ShortStr addressText(const sockaddr_in& from) {
  char text[INET_ADDRSTRLEN] = {};
  if (!inet_ntop(AF_INET, &from.sin_addr, text, sizeof text)) text[0] = 0;
  return ShortStr(text);
}

}  // namespace

void NET_ANSWERSTATUS(const sockaddr_in& from, const uint8_t* bytes, size_t kept, size_t length) {
  uint32_t token = 0;
  if (!ReadStatusQuery(bytes, kept, length, token)) return;
  if (!GUARD_ADMITSTATUS(addressText(from))) return;
  if (!answer_built || answer_built_at != GUARD_CYCLE) {
    describeServer();
    answer_length = WriteStatusAnswer(status, answer);
    answer_built_at = GUARD_CYCLE;
    answer_built = true;
  }
  for (size_t i = 0; i < 4; ++i) answer[TOKEN_AT + i] = static_cast<uint8_t>(token >> (8 * i));
  NET_SENDBYTES(from, answer, answer_length);
}


void NET_RESETSTATUS() {
  answer_built = false;
}
