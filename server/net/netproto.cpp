#include "server/net/netproto.h"

#include <array>

#include "protocol/protocol.h"
#include "server/core/event_line.h"
#include "server/core/maps.h"
#include "server/core/msglog.h"
#include "server/core/settings.h"
#include "server/net/guard.h"
#include "server/net/sessions.h"
#include "server/net/udp.h"
#include "server/sim/combat.h"
#include "server/sim/world.h"

namespace {

constexpr size_t CHAT_LIMIT = 253;  // a whole log line is at most 255 characters
constexpr uint8_t CHAT_WAIT_TICKS = 60;
constexpr uint8_t DATAGRAM_WAIT_TICKS = 15;
constexpr uint16_t LOG_BATCH = 10;
constexpr uint16_t LOG_LAG_LIMIT = 96;
constexpr uint16_t INPUT_LENGTH = 12;

// Length of the datagram being handled.
uint16_t datagram_length = 0;

// ---- Datagrams from senders without a slot ----

void Reply(uint8_t code, const ShortStr& address, uint16_t port) {
  NET_CLEARBUFFER();
  NET_WRITEBYTE(code);
  if (code == MSG_BADVERSION) NET_WRITEBYTE(PROTOCOL_VERSION);
  NET_SEND(address, port);
}

void NameNewPlayer(ClientRecord& c) {
  NET_READSTRING(c.name);
  c.name.cut(NAME_LIMIT);
  c.team = NET_READBYTE() % NUM_TEAMS;
  if (SV_TEAMPLAY == 0) return;
  ShortStr tagged("[");
  tagged.append(TEAMCHAR[c.team]);
  tagged.append("]");
  tagged.append(c.name.view());
  tagged.cut(NAME_LIMIT);
  c.name = tagged;
}

// A connect takes a half-open slot; nothing answers it but one snapshot, and
// the connect line waits for the client's first input.
void ConnectStranger(const ShortStr& address, uint16_t port) {
  if (NET_READBYTE() != PROTOCOL_VERSION) return Reply(MSG_BADVERSION, address, port);
  bool rejoining = false;
  if (!GUARD_ADMITCONNECT(address, rejoining)) return GUARD_REFUSE(address, port);
  uint8_t slot = PLAYER_OPEN(address, port, rejoining);
  if (slot == 0) return GUARD_REFUSE(address, port);
  NameNewPlayer(SV_CLIENTSLIST[slot]);
}

void InputFromStranger(const ShortStr& address, uint16_t port) { Reply(MSG_NOTCONNECTED, address, port); }

// ---- Datagrams from connected clients ----

// An acknowledgement counts when it lies between the stored one and the
// newest line, measured modulo 65536 so the log keeps flowing after its
// counter wraps.
bool AcknowledgementInRange(uint16_t old_ack, uint16_t v) {
  return static_cast<uint16_t>(v - old_ack) <= static_cast<uint16_t>(SV_LOGI - old_ack);
}

void DisconnectClient(uint8_t slot) { PLAYER_GIVEUP(slot, SLOT_DISCONNECT); }

// A connect from the sender of a half-open slot is answered by one more
// snapshot; from a client already playing it is ignored.
void ConnectAgain(uint8_t slot) { PLAYER_REPEATCONNECT(slot); }

// Only a whole input message is a sign of a real client: it lets a
// half-open slot into the game and keeps a slot alive. A shorter one is
// still applied (its missing fields read as 0) to a slot already playing.
void InputFromClient(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  const bool whole = datagram_length >= INPUT_LENGTH;
  const bool first = c.half_open != 0;
  // A half-open slot enters the game with its first input, unless too many
  // new players came in this second: then it waits for a later input.
  if (c.half_open) {
    if (!whole || !GUARD_MAYENTER(c)) return;
    PLAYER_ENTER(slot);
  }
  if (whole) c.idle = 0;
  if (c.input_budget == 0) return;
  const uint16_t echo = NET_READWORD();
  // An input overtaken on the way by a later one would take the player back
  // to a place already left, and every later step would be too long.
  if (whole && !first && static_cast<int16_t>(echo - c.ping_tick) < 0) return;
  c.ping_tick = echo;
  c.dir = NET_READWORD();
  c.action = NET_READBYTE();
  c.want_x = NET_READWORD();
  c.want_y = NET_READWORD();
  uint16_t ack = NET_READWORD();
  if (AcknowledgementInRange(c.log_ack, ack)) c.log_ack = ack;
  // During the end-of-match countdown nobody moves, fires or respawns.
  if (SV_SCOREBOARD == 0) PLAYER_ACTIONS(slot);
  --c.input_budget;
}

void ChatFromClient(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (c.half_open || c.chat_wait > 0) return;
  c.chat_wait = CHAT_WAIT_TICKS;
  ShortStr text;
  NET_READSTRING(text);
  text.cut(CHAT_LIMIT);
  SV_ADDMSG(EVENT_LINE(EV_CHAT, {slot}, text.view()));
}

// ---- Dispatch by message code ----

using StrangerHandler = void (*)(const ShortStr& address, uint16_t port);
using ClientHandler = void (*)(uint8_t slot);

constexpr std::array<StrangerHandler, 256> STRANGER_HANDLERS = [] {
  std::array<StrangerHandler, 256> t{};
  t[MSG_CONNECT] = ConnectStranger;
  t[MSG_INPUT] = InputFromStranger;
  return t;
}();

// Every unknown code is ignored.
constexpr std::array<ClientHandler, 256> CLIENT_HANDLERS = [] {
  std::array<ClientHandler, 256> t{};
  t[MSG_CONNECT] = ConnectAgain;
  t[MSG_DISCONNECT] = DisconnectClient;
  t[MSG_INPUT] = InputFromClient;
  t[MSG_CHAT] = ChatFromClient;
  return t;
}();

// ---- Writers ----

void WriteSnapshotEntry(uint8_t slot) {
  const ClientRecord& c = SV_CLIENTSLIST[slot];
  uint8_t state = PLAYER_STATE(slot);
  NET_WRITEBYTE(slot);
  NET_WRITEBYTE(state);
  NET_WRITEBYTE(c.ping);
  if (state >= PS_DEAD) NET_WRITEBYTE(c.frags);
  if (state >= PS_ALIVE) {
    NET_WRITEWORD(c.x);
    NET_WRITEWORD(c.y);
    NET_WRITEWORD(c.dir);
  }
  if (state >= PS_FIRING) NET_WRITEBYTE(c.gun);
}

void WriteSnapshotTail(uint8_t slot) {
  const ClientRecord& c = SV_CLIENTSLIST[slot];
  NET_WRITEBYTE(slot);
  NET_WRITEBYTE(c.health);
  NET_WRITEBYTE(c.armor);
  NET_WRITEBYTE(c.ammo[1]);
  NET_WRITEBYTE(c.ammo[2]);
  NET_WRITEBYTE(c.gun);
}

bool IsHuman(const ClientRecord& c) { return c.in_use && !c.is_bot; }

// A half-open slot is sent a snapshot only for a connect not yet answered.
bool TakesSnapshot(ClientRecord& c) {
  if (!IsHuman(c)) return false;
  if (!c.half_open) return true;
  if (c.snapshots_owed == 0) return false;
  --c.snapshots_owed;
  return true;
}

uint16_t LinesLacking(const ClientRecord& c) { return static_cast<uint16_t>(SV_LOGI - c.log_ack); }

// Line number k is SV_LOG[SV_LOGI - k] while it is among the newest 97.
const ShortStr& LogLine(uint16_t k) { return SV_LOG[static_cast<uint16_t>(SV_LOGI - k)]; }

void WriteLogBatch(const ClientRecord& c, uint16_t n) {
  NET_CLEARBUFFER();
  NET_WRITEBYTE(MSG_LOG);
  NET_WRITEWORD(static_cast<uint16_t>(c.log_ack + n));
  NET_WRITEBYTE(static_cast<uint8_t>(n));
  for (uint16_t i = 1; i <= n; ++i) NET_WRITESTRING(LogLine(static_cast<uint16_t>(c.log_ack + i)));
}

void WriteGameInfo(const ClientRecord& c) {
  NET_CLEARBUFFER();
  NET_WRITEBYTE(MSG_GAMEINFO);
  NET_WRITEWORD(c.log_ack);
  NET_WRITEMAP(SV_MAP.map_index);
  NET_WRITESTRING(SV_NAME);
  NET_WRITEBYTE(SV_SCORELIMIT);
  NET_WRITEBYTE(SV_TEAMPLAY);
  NET_WRITEBYTE(SV_MAXPLAYERS);
  NET_WRITEBYTE(SV_CURCLIENTS);
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& other = SV_CLIENTSLIST[s];
    if (!other.in_use) continue;
    NET_WRITEBYTE(static_cast<uint8_t>(s));
    NET_WRITEBYTE(other.team);
    NET_WRITESTRING(other.name);
  }
}

}  // namespace

void NET_INPUT() {
  NET_COLLECT();
  for (int16_t n = NET_RECEIVE(); n > 0; n = NET_RECEIVE())
    NET_HANDLEDATAGRAM(NET_LASTINIP(), NET_LASTINPORT(), static_cast<uint16_t>(n));
}

void NET_HANDLEDATAGRAM(const ShortStr& address, uint16_t port, uint16_t length) {
  datagram_length = length;
  uint8_t slot = PLAYER_A2I(address, port);
  uint8_t code = NET_READBYTE();
  if (slot == 0) {
    if (STRANGER_HANDLERS[code]) STRANGER_HANDLERS[code](address, port);
  } else if (CLIENT_HANDLERS[code]) {
    CLIENT_HANDLERS[code](slot);
  }
}

void NET_OUTPUT() {
  NET_BUILDSNAPSHOTS();
  NET_SENDSNAPSHOTS();
}

void NET_BUILDSNAPSHOTS() {
  NET_CLEARBUFFER();
  NET_WRITEBYTE(MSG_SNAPSHOT);
  NET_WRITEWORD(SV_PINGVAR);
  NET_WRITEWORD(SV_SCOREBOARD);
  NET_WRITEBYTE(SV_CURCLIENTS);
  for (int s = 1; s <= MAX_SLOTS; ++s)
    if (SV_CLIENTSLIST[s].in_use) WriteSnapshotEntry(static_cast<uint8_t>(s));
  NET_WRITEITEMS();
  // The common part stays; each receiver's tail is written after it in turn.
  const uint16_t common_end = NET_BUF.pos;
  NET_BATCHBEGIN(NET_BUF.length());
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    ClientRecord& c = SV_CLIENTSLIST[s];
    if (!TakesSnapshot(c)) continue;
    NET_BUF.pos = common_end;
    WriteSnapshotTail(static_cast<uint8_t>(s));
    NET_BATCHADD(c.address, c.port, NET_BUF.data + common_end, static_cast<uint8_t>(NET_BUF.pos - common_end));
  }
  NET_BUF.pos = common_end;
}

void NET_SENDSNAPSHOTS() { NET_BATCHSEND(); }

void NET_WRITEMAP(uint8_t map_number) {
  if (map_number < 1 || map_number > MAP_LIST_SIZE) {
    NET_WRITEBYTE(0);
    NET_WRITESTRING(ShortStr());
    return;
  }
  const MapEntry& e = SV_MAPL[map_number];
  for (int p = 1; p <= MAP_TEXT_SIZE && e.text[p] != 0; ++p) NET_WRITEBYTE(e.text[p]);
  NET_WRITEBYTE(0);
  NET_WRITESTRING(e.name);
}

void NET_WRITEITEMS() {
  uint8_t present = 0;
  for (int i = 1; i <= MAX_ITEMS; ++i)
    if (SV_MAP.items[i].kind != 0 && SV_MAP.items[i].respawn == 0) ++present;
  NET_WRITEBYTE(present);
  for (int i = 1; i <= MAX_ITEMS; ++i)
    if (SV_MAP.items[i].kind != 0 && SV_MAP.items[i].respawn == 0) NET_WRITEBYTE(static_cast<uint8_t>(i));
}

void NET_SENDGAMEINFO(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (!IsHuman(c) || c.half_open || c.action != ACT_INFO || c.info_wait != 0) return;
  c.info_wait = DATAGRAM_WAIT_TICKS;
  WriteGameInfo(c);
  NET_SEND(c.address, c.port);
}

void NET_SENDLOG(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  uint16_t lacking = LinesLacking(c);
  if (!IsHuman(c) || c.half_open || lacking == 0 || c.log_wait != 0) return;
  c.log_wait = DATAGRAM_WAIT_TICKS;
  // The ring keeps 97 lines; a client this far behind cannot be served.
  if (lacking >= LOG_LAG_LIMIT) return PLAYER_GIVEUP(slot, SLOT_FELLBEHIND);
  WriteLogBatch(c, lacking < LOG_BATCH ? lacking : LOG_BATCH);
  NET_SEND(c.address, c.port);
}
