#include "server/net/netproto.h"

#include <arpa/inet.h>

#include <array>

#include "protocol/messages.h"
#include "protocol/protocol.h"
#include "server/core/bans.h"
#include "server/core/event_line.h"
#include "server/core/maps.h"
#include "server/core/msglog.h"
#include "server/core/settings.h"
#include "server/net/cookie.h"
#include "server/net/guard.h"
#include "server/net/input_queue.h"
#include "server/net/net_stats.h"
#include "server/net/sessions.h"
#include "server/net/udp.h"
#include "server/sim/combat.h"
#include "server/sim/world.h"

namespace {

constexpr size_t CHAT_LIMIT = 253;  // a whole log line is at most 255 characters
constexpr uint8_t CHAT_WAIT_TICKS = 60;
constexpr uint8_t DATAGRAM_WAIT_TICKS = 15;
constexpr uint16_t LOG_LAG_LIMIT = 96;

// The version-29 inputs of each slot waiting for their tick.
InputQueue input_queues[MAX_SLOTS + 1];

// Length of the datagram being handled.
uint16_t datagram_length = 0;

WireSession SessionOf(const ClientRecord& c) { return WireSession{c.version, c.token}; }

// Whatever goes to an address that has not proven itself is paid for out of
// one small budget of bytes; what does not fit is not sent.
void SendUnproven(const ShortStr& address, uint16_t port, Unproven what = Unproven::Reply) {
  if (GUARD_SPENDUNPROVEN(NET_BUF.length(), what)) NET_SEND(address, port);
}

// The sender's IPv4 address and port in network order, as the cookie takes
// them; false for text that is no IPv4 address.
bool SenderKey(const ShortStr& address, uint16_t port, uint32_t& ip, uint16_t& port_n) {
  in_addr parsed{};
  if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) return false;
  ip = parsed.s_addr;
  port_n = htons(port);
  return true;
}

// ---- Connects ----

void NameNewPlayer(ClientRecord& c, const ConnectMsg& m) {
  c.name = m.name;
  c.name.cut(NAME_LIMIT);
  c.team = m.team % NUM_TEAMS;
  if (SV_TEAMPLAY == 0) return;
  ShortStr tagged("[");
  tagged.append(TEAMS[c.team].tag);
  tagged.append("]");
  tagged.append(c.name.view());
  tagged.cut(NAME_LIMIT);
  c.name = tagged;
}

void SendWelcome(uint8_t slot) {
  const ClientRecord& c = SV_CLIENTSLIST[slot];
  NET_CLEARBUFFER();
  WriteWelcome(NET_BUF, c.nonce, c.token, slot);
  NET_SEND(c.address, c.port);
}

// Challenges go out at the end of the tick's datagrams, a few picked at
// random among all asked for in the tick (reservoir sampling): a flood of
// connects must not spend the strangers' budget before a real client's
// connect, which comes at about the same moment of every tick, is read.
constexpr int CHALLENGES_PER_TICK = 8;
struct ChallengeAsked {
  ShortStr address;
  uint16_t port;
  uint32_t ip;
  uint16_t port_n;
  uint64_t nonce;
};
ChallengeAsked challenges[CHALLENGES_PER_TICK];
uint32_t challenges_asked = 0;
uint32_t pick_state = 0x2545F491u;

uint32_t Pick(uint32_t n) {
  pick_state ^= pick_state << 13;
  pick_state ^= pick_state >> 17;
  pick_state ^= pick_state << 5;
  return pick_state % n;
}

void SendChallenge(const ShortStr& address, uint16_t port, uint32_t ip, uint16_t port_n, uint64_t nonce) {
  const uint32_t seen = challenges_asked++;
  const uint32_t at = seen < CHALLENGES_PER_TICK ? seen : Pick(seen + 1);
  if (at < CHALLENGES_PER_TICK) challenges[at] = ChallengeAsked{address, port, ip, port_n, nonce};
}

// From a random one on, so which of the picked the budget still covers is
// left to chance too, not to the order they came in.
void SendChallengesPicked() {
  const uint32_t n = challenges_asked < CHALLENGES_PER_TICK ? challenges_asked : CHALLENGES_PER_TICK;
  const uint32_t first = n > 1 ? Pick(n) : 0;
  for (uint32_t k = 0; k < n; ++k) {
    const ChallengeAsked& c = challenges[(first + k) % n];
    NET_CLEARBUFFER();
    WriteChallenge(NET_BUF, c.nonce, COOKIE_MAKE(c.ip, c.port_n, c.nonce, COOKIE_EPOCH()));
    SendUnproven(c.address, c.port, Unproven::Challenge);
  }
  challenges_asked = 0;
}

// A version-29 connect, from a stranger or from the sender of a slot
// (`slot`). Without a valid cookie it is only answered by a challenge: no
// state, no counter, no reply larger than the connect. With one, the
// address is proven and the sender takes a slot that enters the game at once.
void Connect29(const ShortStr& address, uint16_t port, uint8_t slot, const ConnectMsg& m) {
  uint32_t ip = 0;
  uint16_t port_n = 0;
  if (!SenderKey(address, port, ip, port_n)) return;
  if (m.cookie == 0 || !COOKIE_VALID(ip, port_n, m.nonce, m.cookie))
    return SendChallenge(address, port, ip, port_n, m.nonce);
  if (slot != 0) {
    const ClientRecord& old = SV_CLIENTSLIST[slot];
    // The same attempt again: its welcome was lost.
    if (old.version == PROTOCOL_SESSIONS && old.nonce == m.nonce) return SendWelcome(slot);
    // The sender proved it receives here, so whoever held the slot is gone.
    PLAYER_GIVEUP(slot, SLOT_CONNECTEDAGAIN);
  }
  const Entry entry = GUARD_ADMITENTRY(address, PLAYER_PROVENSLOTS(address));
  if (entry == Entry::Wait) return;  // the client repeats its connect
  const uint8_t taken = entry == Entry::Enter ? PLAYER_OPENPROVEN(address, port) : 0;
  if (taken == 0) return GUARD_REFUSE(address, port, PROTOCOL_SESSIONS, m.nonce);
  ClientRecord& c = SV_CLIENTSLIST[taken];
  NameNewPlayer(c, m);
  c.nonce = m.nonce;
  PLAYER_ENTER(taken);
  SendWelcome(taken);
}

// A version-28 connect takes a half-open slot; nothing answers it but a
// snapshot, and the connect line waits for an input that proves the sender
// received it. A full server answers "server full" out of the strangers'
// budget.
void Connect28(const ShortStr& address, uint16_t port, const ConnectMsg& m) {
  // A banned address (or any newcomer while the server drains) is refused
  // before it gets a slot; the reply comes out of the strangers' budget.
  const uint8_t slot = BAN_ISBANNED(address) ? 0 : PLAYER_OPEN(address, port);
  if (slot == 0) {
    NET_CLEARBUFFER();
    WriteServerFull(NET_BUF, PROTOCOL_VERSION, 0);
    return SendUnproven(address, port);
  }
  NameNewPlayer(SV_CLIENTSLIST[slot], m);
}

void RefuseVersion(const ShortStr& address, uint16_t port) {
  NET_CLEARBUFFER();
  WriteBadVersion(NET_BUF, SV_LEGACY ? PROTOCOL_VERSION : PROTOCOL_SESSIONS);
  SendUnproven(address, port);
}

void ConnectStranger(const ShortStr& address, uint16_t port) {
  ConnectMsg m;
  const bool whole = ReadConnect(NET_BUF, m);
  if (m.version == PROTOCOL_SESSIONS) {
    if (!whole) return NET_COUNTDROPPED(DROP_MALFORMED);
    return Connect29(address, port, 0, m);
  }
  if (m.version == PROTOCOL_VERSION && SV_LEGACY) return Connect28(address, port, m);
  RefuseVersion(address, port);
}

// Version 29: the input's token echoed, so only the client that sent it
// believes it; a shorter input is a version-28 one and gets the code alone.
void InputFromStranger(const ShortStr& address, uint16_t port) {
  const bool tokened = datagram_length >= INPUT29_MIN_SIZE;
  const uint64_t token = tokened ? NET_BUF.readQuad() : 0;
  NET_CLEARBUFFER();
  WriteNotConnected(NET_BUF, tokened ? PROTOCOL_SESSIONS : PROTOCOL_VERSION, token);
  SendUnproven(address, port);
}

// ---- Datagrams from connected clients ----

// An acknowledgement counts when it lies between the stored one and the
// newest line, measured modulo 65536 so the log keeps flowing after its
// counter wraps.
bool AcknowledgementInRange(uint16_t old_ack, uint16_t v) {
  return static_cast<uint16_t>(v - old_ack) <= static_cast<uint16_t>(SV_LOGI - old_ack);
}

void DisconnectClient(uint8_t slot) { PLAYER_GIVEUP(slot, SLOT_DISCONNECT); }

// A connect from the sender of a slot: version 29 follows the rules of a
// proven connect; a version-28 one is answered by one more snapshot while
// the slot is half-open, and ignored once it plays.
void ConnectAgain(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  ConnectMsg m;
  const bool whole = ReadConnect(NET_BUF, m);
  if (m.version == PROTOCOL_SESSIONS) {
    if (!whole) return NET_COUNTDROPPED(DROP_MALFORMED);
    const ShortStr address = c.address;  // the slot may be given up on the way
    return Connect29(address, c.port, slot, m);
  }
  if (m.version == PROTOCOL_VERSION && c.version == PROTOCOL_VERSION) PLAYER_REPEATCONNECT(slot);
}

// One frame of input applied to a slot that plays, within its budget.
void ApplyInputFrame(uint8_t slot, const InputFrame& f, uint16_t ack) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (c.input_budget == 0) return;
  c.ping_tick = static_cast<uint16_t>(f.tick_echo - c.tick_offset);
  c.dir = f.dir;
  c.action = f.action;
  c.want_x = f.want_x;
  c.want_y = f.want_y;
  if (AcknowledgementInRange(c.log_ack, ack)) c.log_ack = ack;
  // During the end-of-match countdown nobody moves, fires or respawns.
  if (SV_SCOREBOARD == 0) PLAYER_ACTIONS(slot);
  --c.input_budget;
}

// Whether a half-open slot enters the game with this input: its echo must
// prove that the sender received a snapshot, then the limits for proven
// senders decide (over them the slot is given up and its address, proven
// now, told "server full"; over the new-player rate it waits).
bool Enters(uint8_t slot, const InputFrame& f) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (!PLAYER_ECHOPROVES(slot, f.tick_echo)) return false;
  const Entry entry = GUARD_ADMITENTRY(c.address, PLAYER_PROVENSLOTS(c.address));
  if (entry == Entry::Wait) return false;
  if (entry == Entry::Refuse) {
    const ShortStr address = c.address;
    const uint16_t port = c.port;
    PLAYER_REMOVE(slot);
    GUARD_REFUSE(address, port, PROTOCOL_VERSION, 0);
    return false;
  }
  PLAYER_ENTER(slot);
  return true;
}

// Version 28. Only a whole input message is a sign of a real client: it
// lets a half-open slot into the game and keeps a slot alive. A shorter one
// is still applied (its missing fields read as 0) to a slot already playing.
void Input28(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  const bool whole = datagram_length >= INPUT28_SIZE;
  InputFrame f;
  uint16_t ack = 0;
  ReadInput28(NET_BUF, f, ack);
  const bool first = c.half_open != 0;
  if (c.half_open && (!whole || !Enters(slot, f))) return;
  if (whole) c.idle = 0;
  // An input overtaken on the way by a later one would take the player back
  // to a place already left, and every later step would be too long.
  const uint16_t echo = static_cast<uint16_t>(f.tick_echo - c.tick_offset);
  if (whole && !first && static_cast<int16_t>(echo - c.ping_tick) < 0) return;
  ApplyInputFrame(slot, f, ack);
}

// Version 29: the inputs of each datagram go into the slot's jitter buffer;
// the tick applies them in number order once every datagram of the tick is
// in (NET_APPLYQUEUEDINPUTS). The acknowledgement counts at once.
void InputWithToken(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  Input29 m;
  NET_BUF.readQuad();  // the token, checked already
  if (!ReadInput29(NET_BUF, m)) return NET_COUNTDROPPED(DROP_MALFORMED);
  c.idle = 0;
  if (AcknowledgementInRange(c.log_ack, m.log_ack)) c.log_ack = m.log_ack;
  INPUT_QUEUESTORE(input_queues[slot], m, GUARD_CYCLE);
}

void InputFromClient(uint8_t slot) {
  if (SV_CLIENTSLIST[slot].version == PROTOCOL_SESSIONS) return InputWithToken(slot);
  Input28(slot);
}

void ChatFromClient(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (c.version == PROTOCOL_SESSIONS) NET_BUF.readQuad();  // the token, checked already
  if (c.half_open || c.chat_wait > 0) return;
  c.chat_wait = CHAT_WAIT_TICKS;
  ShortStr text;
  ReadChat(NET_BUF, text);
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

// Every other code a client sends is ignored.
constexpr std::array<ClientHandler, 256> CLIENT_HANDLERS = [] {
  std::array<ClientHandler, 256> t{};
  t[MSG_CONNECT] = ConnectAgain;
  t[MSG_DISCONNECT] = DisconnectClient;
  t[MSG_INPUT] = InputFromClient;
  t[MSG_CHAT] = ChatFromClient;
  return t;
}();

// ---- Writers ----

SnapshotEntry EntryOf(uint8_t slot) {
  const ClientRecord& c = SV_CLIENTSLIST[slot];
  SnapshotEntry e;
  e.slot = slot;
  e.state = PLAYER_STATE(slot);
  e.ping = c.ping;
  e.frags = c.frags;
  e.x = c.x;
  e.y = c.y;
  e.dir = c.dir;
  e.gun = c.gun;
  return e;
}

SnapshotTail TailOf(uint8_t slot) {
  const ClientRecord& c = SV_CLIENTSLIST[slot];
  SnapshotTail t;
  t.slot = slot;
  t.health = c.health;
  t.armor = c.armor;
  t.ammo1 = c.ammo[1];
  t.ammo2 = c.ammo[2];
  t.gun = c.gun;
  t.applied_sequence = INPUT_QUEUELASTAPPLIED(input_queues[slot]);
  return t;
}

bool IsHuman(const ClientRecord& c) { return c.in_use && !c.is_bot; }

uint16_t LinesLacking(const ClientRecord& c) { return static_cast<uint16_t>(SV_LOGI - c.log_ack); }

// Line number k is SV_LOG[SV_LOGI - k] while it is among the newest 97.
const ShortStr& LogLine(uint16_t k) { return SV_LOG[static_cast<uint16_t>(SV_LOGI - k)]; }

void WriteLogBatch(const ClientRecord& c, uint16_t n) {
  NET_CLEARBUFFER();
  WriteLogHead(NET_BUF, SessionOf(c), static_cast<uint16_t>(c.log_ack + n), static_cast<uint8_t>(n));
  for (uint16_t i = 1; i <= n; ++i) WriteLogLine(NET_BUF, LogLine(static_cast<uint16_t>(c.log_ack + i)));
}

void WriteGameInfo(const ClientRecord& c) {
  NET_CLEARBUFFER();
  const uint8_t map = SV_MAP.map_index;
  const bool listed = map >= 1 && map <= MAP_LIST_SIZE;
  const uint8_t no_text = 0;
  WriteGameInfoHead(NET_BUF, SessionOf(c), c.log_ack, listed ? SV_MAPL[map].text + 1 : &no_text,
                    listed ? MAP_TEXT_SIZE : 1);
  GameInfoSettings s;
  if (listed) s.map_name = SV_MAPL[map].name;
  s.server_name = SV_NAME;
  s.score_limit = SV_SCORELIMIT;
  s.team_play = SV_TEAMPLAY;
  s.max_players = SV_MAXPLAYERS;
  s.slot_count = PLAYER_SHOWNCOUNT();
  WriteGameInfoSettings(NET_BUF, s);
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& other = SV_CLIENTSLIST[s];
    if (PLAYER_SHOWN(other)) WriteGameInfoPlayer(NET_BUF, GameInfoPlayer{static_cast<uint8_t>(s), other.team, other.name});
  }
}

// The head and tail of one receiver's snapshot, written after the common
// part and handed to the batch.
void AddSnapshotReceiver(uint8_t slot, uint16_t common_end) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  uint8_t head[1 + TOKEN_SIZE + 2];
  NET_BUF.pos = common_end;
  WriteSnapshotHead(NET_BUF, SessionOf(c), static_cast<uint16_t>(SV_PINGVAR + c.tick_offset));
  const uint8_t head_length = static_cast<uint8_t>(NET_BUF.pos - common_end);
  for (uint8_t i = 0; i < head_length; ++i) head[i] = NET_BUF.data[common_end + i];
  NET_BUF.pos = common_end;
  WriteSnapshotTail(NET_BUF, c.version, TailOf(slot));
  NET_BATCHADD(c.address, c.port, head, head_length, NET_BUF.data + common_end,
               static_cast<uint8_t>(NET_BUF.pos - common_end));
}

}  // namespace

void NET_INPUT() {
  NET_COLLECT();
  for (int16_t n = NET_RECEIVE(); n > 0; n = NET_RECEIVE())
    NET_HANDLEDATAGRAM(NET_LASTINIP(), NET_LASTINPORT(), static_cast<uint16_t>(n));
  SendChallengesPicked();
  NET_APPLYQUEUEDINPUTS();
}

void NET_APPLYQUEUEDINPUTS() {
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& c = SV_CLIENTSLIST[s];
    if (!c.in_use || c.is_bot || c.version != PROTOCOL_SESSIONS) continue;
    // The budget counts inputs applied, so a bunch that arrived together
    // loses none; what the budget cannot take waits in the queue.
    InputFrame frames[2];
    const int n = INPUT_QUEUETAKE(input_queues[s], GUARD_CYCLE, frames, c.input_budget < 2 ? c.input_budget : 2);
    for (int i = 0; i < n; ++i) ApplyInputFrame(static_cast<uint8_t>(s), frames[i], c.log_ack);
  }
}

void NET_RESETINPUTS(uint8_t slot) {
  if (slot >= 1 && slot <= MAX_SLOTS) INPUT_QUEUERESET(input_queues[slot]);
}

bool NET_SESSIONTOKENOK(uint8_t slot, const uint8_t* bytes, uint16_t length) {
  const ClientRecord& c = SV_CLIENTSLIST[slot];
  // Version 28 has no token; a connect proves itself with its cookie.
  if (c.version != PROTOCOL_SESSIONS || (length > 0 && bytes[0] == MSG_CONNECT)) return true;
  uint64_t token = 0;
  for (int i = 0; i < TOKEN_SIZE && 1 + i < length; ++i) token |= static_cast<uint64_t>(bytes[1 + i]) << (8 * i);
  if (length >= 1 + TOKEN_SIZE && token == c.token) return true;
  NET_COUNTDROPPED(DROP_BAD_TOKEN);
  return false;
}

void NET_HANDLEDATAGRAM(const ShortStr& address, uint16_t port, uint16_t length) {
  NET_BUF.received(length);
  datagram_length = length;
  const uint8_t slot = PLAYER_A2I(address, port);
  const uint8_t code = NET_READBYTE();
  if (length == 0 || SenderOfCode(code) != Sender::Client) return NET_COUNTDROPPED(DROP_MALFORMED);
  if (slot == 0) {
    if (STRANGER_HANDLERS[code]) STRANGER_HANDLERS[code](address, port);
    return;
  }
  if (!NET_SESSIONTOKENOK(slot, NET_BUF.bytes(), length)) return;
  if (CLIENT_HANDLERS[code]) CLIENT_HANDLERS[code](slot);
}

void NET_OUTPUT() {
  NET_BUILDSNAPSHOTS();
  NET_SENDSNAPSHOTS();
}

void NET_BUILDSNAPSHOTS() {
  NET_CLEARBUFFER();
  WriteSnapshotCountdown(NET_BUF, SV_SCOREBOARD, PLAYER_SHOWNCOUNT());
  for (int s = 1; s <= MAX_SLOTS; ++s)
    if (PLAYER_SHOWN(SV_CLIENTSLIST[s])) WriteSnapshotEntry(NET_BUF, EntryOf(static_cast<uint8_t>(s)));
  NET_WRITEITEMS();
  // The common part stays; each receiver's head and tail are written after
  // it in turn.
  const uint16_t common_end = NET_BUF.pos;
  NET_BATCHBEGIN(NET_BUF.length());
  // A half-open slot's sender has proven nothing: its snapshot (version 28,
  // code and tick before the common part) comes out of the strangers' budget
  // for such snapshots.
  const uint16_t half_open_length = static_cast<uint16_t>(1 + 2 + NET_BUF.length() + SNAPSHOT_TAIL28_SIZE);
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    ClientRecord& c = SV_CLIENTSLIST[s];
    if (!IsHuman(c) || !PLAYER_OWESSNAPSHOT(c)) continue;
    if (c.half_open && !GUARD_SPENDUNPROVEN(half_open_length, Unproven::HalfOpenSnapshot)) continue;
    AddSnapshotReceiver(static_cast<uint8_t>(s), common_end);
    PLAYER_SNAPSHOTSENT(c);
  }
  NET_BUF.pos = common_end;
}

void NET_SENDSNAPSHOTS() { NET_BATCHSEND(); }

void NET_WRITEITEMS() {
  uint8_t present[MAX_ITEMS];
  uint8_t count = 0;
  for (int i = 1; i <= MAX_ITEMS; ++i)
    if (SV_MAP.items[i].kind != 0 && SV_MAP.items[i].respawn == 0) present[count++] = static_cast<uint8_t>(i);
  WriteSnapshotItems(NET_BUF, present, count);
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
  WriteLogBatch(c, lacking < LOG_BATCH_LIMIT ? lacking : LOG_BATCH_LIMIT);
  NET_SEND(c.address, c.port);
}
