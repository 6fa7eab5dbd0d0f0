#include "server/net/sessions.h"

#include "protocol/messages.h"
#include "protocol/protocol.h"
#include "server/net/cookie.h"
#include "server/net/guard.h"
#include "server/net/netproto.h"
#include "server/sim/event_line.h"
#include "server/sim/hooks.h"
#include "server/sim/msglog.h"
#include "server/sim/rules.h"
#include "server/sim/world.h"

namespace {

constexpr size_t ADDRESS_LIMIT = 15;
constexpr uint8_t TIMEOUT_TICKS = 255;
constexpr uint8_t FIRST_INPUT_BUDGET = 33;
constexpr uint8_t INPUT_BUDGET = 35;
constexpr uint16_t BUDGET_WINDOW_TICKS = 33;
constexpr uint8_t HALF_OPEN_TICKS = 100;  // about 3 s
// A half-open slot this old (since its first connect) may be given to a
// newer connect; younger ones are served in the order they came.
constexpr uint32_t REPLACEABLE_TICKS = GUARD_SECOND;
constexpr uint8_t WRONG_ECHO_LIMIT = 4;

bool ValidSlot(uint8_t slot) { return slot >= 1 && slot <= MAX_SLOTS; }

void LogSlotEvent(uint8_t code, uint8_t slot) {
  SV_ADDMSG(EVENT_LINE(code, {slot}));
}

void StartSession(ClientRecord& c, const ShortStr& address, uint16_t port) {
  c.address = address;
  c.address.cut(ADDRESS_LIMIT);
  c.port = port;
  c.frags = 0;
  // The newest line logged before the client came is sent too.
  c.log_ack = static_cast<uint16_t>(SV_LOGI - 1);
  c.specjoin_wait = c.log_wait = c.fire_anim = c.wait = c.idle = c.chat_wait = c.info_wait = 0;
  c.input_budget = FIRST_INPUT_BUDGET;
  c.version = PROTOCOL_VERSION;
  c.token = c.nonce = 0;
  c.tick_offset = 0;
}

void ClearHalfOpen(ClientRecord& c) {
  c.half_open = 0;
  c.snapshots_owed = 0;
  c.half_open_age = 0;
  c.wrong_echoes = 0;
  c.sent_count = 0;
  c.sent_ticks[0] = c.sent_ticks[1] = 0;
  c.half_open_since = c.last_snapshot_at = 0;
}

// A half-open slot ends without a word: nobody was told it came.
void DropHalfOpen(uint8_t slot) {
  VacateSlot(slot);
  ClearHalfOpen(SV_CLIENTSLIST[slot]);
}

bool IsHalfOpen(int s) { return SV_CLIENTSLIST[s].in_use && SV_CLIENTSLIST[s].half_open; }

bool SameAddress(const ClientRecord& c, const ShortStr& address) {
  ShortStr cut = address;
  cut.cut(ADDRESS_LIMIT);
  return c.address == cut;
}

// The half-open slot that came first, of those whose first connect is at
// least `min_age` ticks old; 0 for none.
uint8_t OldestHalfOpen(uint32_t min_age) {
  uint8_t oldest = 0;
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    if (!IsHalfOpen(s)) continue;
    const uint32_t age = GUARD_CYCLE - SV_CLIENTSLIST[s].half_open_since;
    if (age < min_age) continue;
    if (oldest == 0 || age > GUARD_CYCLE - SV_CLIENTSLIST[oldest].half_open_since) oldest = static_cast<uint8_t>(s);
  }
  return oldest;
}

// A slot for a new sender: a free one, else the oldest half-open slot at
// least `min_age` ticks old; 0 when there is none.
uint8_t TakeRoom(const ShortStr& address, uint16_t port, uint32_t min_age) {
  if (SV_CURCLIENTS >= MAX_SLOTS) {
    const uint8_t replaced = OldestHalfOpen(min_age);
    if (replaced == 0) return 0;
    DropHalfOpen(replaced);
  }
  return PLAYER_NEW(address, port);
}

// True when the half-open slot has waited too long and is gone.
bool HalfOpenExpired(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (!c.half_open) return false;
  if (++c.half_open_age < HALF_OPEN_TICKS) return false;
  DropHalfOpen(slot);
  return true;
}

// True when the slot has just timed out and is gone.
bool TimedOut(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  ++c.idle;
  if (c.idle < TIMEOUT_TICKS) return false;
  LogSlotEvent(EV_TIMEOUT, slot);
  PLAYER_GIVEUP(slot, SLOT_TIMEOUT);
  return true;
}

// Ticks between a snapshot and the input that echoed it. After the tick
// counter wraps, the echo looks newer than the counter and the old ping stays.
void MeasurePing(ClientRecord& c) {
  if (SV_PINGVAR >= c.ping_tick) c.ping = static_cast<uint8_t>(SV_PINGVAR - c.ping_tick);
}

void CountDown(uint8_t& timer) {
  if (timer > 0) --timer;
}

void RunGameTimers(ClientRecord& c) {
  CountDown(c.specjoin_wait);
  CountDown(c.chat_wait);
  CountDown(c.log_wait);
  CountDown(c.info_wait);
  CountDown(c.fire_anim);
  if (c.wait > 0)
    --c.wait;
  else
    c.gun = c.next_gun;
}

void RefillInputBudget(ClientRecord& c) {
  if (SV_PINGVAR % BUDGET_WINDOW_TICKS == 0) c.input_budget = INPUT_BUDGET;
}

}  // namespace

uint8_t PLAYER_A2I(const ShortStr& address, uint16_t port) {
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    ClientRecord& c = SV_CLIENTSLIST[s];
    if (c.in_use && c.port == port && c.address == address) return static_cast<uint8_t>(s);
  }
  return 0;
}

uint8_t PLAYER_NEW(const ShortStr& address, uint16_t port) {
  if (SV_CURCLIENTS >= MAX_SLOTS) return 0;
  uint8_t slot = LowestFreeSlot();
  if (slot == 0) return 0;
  OccupySlot(slot, false);
  StartSession(SV_CLIENTSLIST[slot], address, port);
  NET_RESETINPUTS(slot);
  ClearHalfOpen(SV_CLIENTSLIST[slot]);
  PLAYER_RESPAWN(slot);
  return slot;
}

uint8_t PLAYER_OPEN(const ShortStr& address, uint16_t port) {
  const uint8_t slot = TakeRoom(address, port, REPLACEABLE_TICKS);
  if (slot == 0) return 0;
  ClientRecord& c = SV_CLIENTSLIST[slot];
  c.half_open = 1;
  c.snapshots_owed = 1;
  c.half_open_since = GUARD_CYCLE;
  c.tick_offset = NET_RANDOMWORD();
  return slot;
}

uint8_t PLAYER_OPENPROVEN(const ShortStr& address, uint16_t port) {
  // A proven newcomer beats an unproven one, whatever its age.
  const uint8_t slot = TakeRoom(address, port, 0);
  if (slot == 0) return 0;
  ClientRecord& c = SV_CLIENTSLIST[slot];
  c.version = PROTOCOL_SESSIONS;
  c.token = NET_RANDOMTOKEN();
  return slot;
}

void PLAYER_ENTER(uint8_t slot) {
  if (!ValidSlot(slot)) return;
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (!c.in_use) return;
  ClearHalfOpen(c);
  c.idle = 0;
  // The newest line logged before the client came is sent too, then its own.
  c.log_ack = static_cast<uint16_t>(SV_LOGI - 1);
  SV_ADDMSG(EVENT_LINE(EV_CONNECT, {slot, c.team}, c.name.view()));
  SV_HOOKS.player_connected(slot);
}

void PLAYER_REPEATCONNECT(uint8_t slot) {
  if (!ValidSlot(slot)) return;
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (!c.in_use || !c.half_open) return;
  c.snapshots_owed = 1;
  // The wait counts from the newest connect: on a lossy link the snapshot
  // of a late repeat may be the first to arrive, and its client's input
  // must still find the slot.
  c.half_open_age = 0;
}

bool PLAYER_OWESSNAPSHOT(const ClientRecord& c) {
  if (!c.half_open) return true;
  return c.snapshots_owed && (c.sent_count == 0 || GUARD_CYCLE - c.last_snapshot_at >= GUARD_SECOND);
}

void PLAYER_SNAPSHOTSENT(ClientRecord& c) {
  if (!c.half_open) return;
  c.snapshots_owed = 0;
  c.sent_ticks[1] = c.sent_ticks[0];
  c.sent_ticks[0] = SV_PINGVAR;
  if (c.sent_count < 2) ++c.sent_count;
  c.last_snapshot_at = GUARD_CYCLE;
}

bool PLAYER_ECHOPROVES(uint8_t slot, uint16_t echo) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  const uint16_t tick = static_cast<uint16_t>(echo - c.tick_offset);
  if ((c.sent_count >= 1 && tick == c.sent_ticks[0]) || (c.sent_count >= 2 && tick == c.sent_ticks[1])) return true;
  if (++c.wrong_echoes >= WRONG_ECHO_LIMIT) DropHalfOpen(slot);
  return false;
}

int PLAYER_PROVENSLOTS(const ShortStr& address) {
  int held = 0;
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& c = SV_CLIENTSLIST[s];
    if (c.in_use && !c.is_bot && !c.half_open && SameAddress(c, address)) ++held;
  }
  return held;
}

bool PLAYER_SHOWN(const ClientRecord& c) { return c.in_use && !c.half_open; }

uint8_t PLAYER_SHOWNCOUNT() {
  uint8_t n = 0;
  for (int s = 1; s <= MAX_SLOTS; ++s) n += PLAYER_SHOWN(SV_CLIENTSLIST[s]) ? 1 : 0;
  return n;
}

void PLAYER_REMOVE(uint8_t slot) {
  if (!ValidSlot(slot)) return;
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (!c.in_use) return;
  if (c.half_open) return DropHalfOpen(slot);
  VacateSlot(slot);
  // The name stays in the record, so the line still shows who left.
  LogSlotEvent(EV_DISCONNECT, slot);
}

void PLAYER_GIVEUP(uint8_t slot, const char* reason) {
  if (!ValidSlot(slot)) return;
  SV_HOOKS.slot_given_up(slot, reason);
  PLAYER_REMOVE(slot);
}

void SV_PLAYERS() {
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    uint8_t slot = static_cast<uint8_t>(s);
    ClientRecord& c = SV_CLIENTSLIST[slot];
    if (!c.in_use || HalfOpenExpired(slot) || TimedOut(slot)) continue;
    MeasurePing(c);
    RunGameTimers(c);
    RefillInputBudget(c);
    NET_SENDGAMEINFO(slot);
    NET_SENDLOG(slot);
  }
}
