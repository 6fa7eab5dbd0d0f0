#include "server/net/sessions.h"

#include "protocol/protocol.h"
#include "server/core/event_line.h"
#include "server/core/msglog.h"
#include "server/core/settings.h"
#include "server/net/guard.h"
#include "server/net/netproto.h"
#include "server/sim/rules.h"
#include "server/sim/world.h"

namespace {

constexpr size_t ADDRESS_LIMIT = 15;
constexpr uint8_t TIMEOUT_TICKS = 255;
constexpr uint8_t FIRST_INPUT_BUDGET = 33;
constexpr uint8_t INPUT_BUDGET = 35;
constexpr uint16_t BUDGET_WINDOW_TICKS = 33;
constexpr uint8_t HALF_OPEN_TICKS = 100;  // about 3 s
constexpr uint8_t SNAPSHOTS_OWED_LIMIT = 3;

bool ValidSlot(uint8_t slot) { return slot >= 1 && slot <= MAX_SLOTS; }

uint8_t LowestFreeSlot() {
  for (int s = 1; s <= MAX_SLOTS; ++s)
    if (!SV_CLIENTSLIST[s].in_use) return static_cast<uint8_t>(s);
  return 0;
}

void LogSlotEvent(uint8_t code, uint8_t slot) {
  SV_ADDMSG(EVENT_LINE(code, {slot}));
}

void StartSession(ClientRecord& c, const ShortStr& address, uint16_t port) {
  c.in_use = 1;
  c.joined = 0;
  c.is_bot = 0;
  c.address = address;
  c.address.cut(ADDRESS_LIMIT);
  c.port = port;
  c.frags = 0;
  // The newest line logged before the client came is sent too.
  c.log_ack = static_cast<uint16_t>(SV_LOGI - 1);
  c.specjoin_wait = c.log_wait = c.fire_anim = c.wait = c.idle = c.chat_wait = c.info_wait = 0;
  c.input_budget = FIRST_INPUT_BUDGET;
}

void ClearHalfOpen(ClientRecord& c) {
  c.half_open = 0;
  c.snapshots_owed = 0;
  c.half_open_age = 0;
  c.rejoining = 0;
}

// A half-open slot ends without a word: nobody was told it came.
void DropHalfOpen(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  --SV_CURCLIENTS;
  if (c.joined) --SV_CURPLAYERS;
  c.in_use = 0;
  ClearHalfOpen(c);
}

bool IsHalfOpen(int s) { return SV_CLIENTSLIST[s].in_use && SV_CLIENTSLIST[s].half_open; }

bool SameAddress(const ClientRecord& c, const ShortStr& address) {
  ShortStr cut = address;
  cut.cut(ADDRESS_LIMIT);
  return c.address == cut;
}

int SlotsHeldBy(const ShortStr& address) {
  int held = 0;
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& c = SV_CLIENTSLIST[s];
    if (c.in_use && !c.is_bot && SameAddress(c, address)) ++held;
  }
  return held;
}

// The half-open slot whose sender has been silent longest, of one address or (with
// nullptr) of all; 0 for none.
uint8_t OldestHalfOpen(const ShortStr* address) {
  uint8_t oldest = 0;
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    if (!IsHalfOpen(s) || (address && !SameAddress(SV_CLIENTSLIST[s], *address))) continue;
    if (oldest == 0 || SV_CLIENTSLIST[s].half_open_age > SV_CLIENTSLIST[oldest].half_open_age)
      oldest = static_cast<uint8_t>(s);
  }
  return oldest;
}

// False when the address or the server is full of slots that are not
// half-open.
bool MakeRoomFor(const ShortStr& address) {
  if (SlotsHeldBy(address) >= SV_IPSLOTS) {
    const uint8_t own = OldestHalfOpen(&address);
    if (own == 0) return false;
    DropHalfOpen(own);
  }
  if (SV_CURCLIENTS >= MAX_SLOTS) {
    const uint8_t any = OldestHalfOpen(nullptr);
    if (any == 0) return false;
    DropHalfOpen(any);
  }
  return true;
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
  PLAYER_REMOVE(slot);
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
  StartSession(SV_CLIENTSLIST[slot], address, port);
  ClearHalfOpen(SV_CLIENTSLIST[slot]);
  PLAYER_RESPAWN(slot);
  ++SV_CURCLIENTS;
  return slot;
}

uint8_t PLAYER_OPEN(const ShortStr& address, uint16_t port, bool rejoining) {
  if (!MakeRoomFor(address)) return 0;
  const uint8_t slot = PLAYER_NEW(address, port);
  if (slot == 0) return 0;
  ClientRecord& c = SV_CLIENTSLIST[slot];
  c.half_open = 1;
  c.snapshots_owed = 1;
  c.rejoining = rejoining ? 1 : 0;
  return slot;
}

void PLAYER_ENTER(uint8_t slot) {
  if (!ValidSlot(slot)) return;
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (!c.in_use || !c.half_open) return;
  ClearHalfOpen(c);
  c.idle = 0;
  // The newest line logged before the client came is sent too, then its own.
  c.log_ack = static_cast<uint16_t>(SV_LOGI - 1);
  SV_ADDMSG(EVENT_LINE(EV_CONNECT, {slot, c.team}, c.name.view()));
}

void PLAYER_REPEATCONNECT(uint8_t slot) {
  if (!ValidSlot(slot)) return;
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (!c.in_use || !c.half_open) return;
  if (c.snapshots_owed < SNAPSHOTS_OWED_LIMIT) ++c.snapshots_owed;
  // The wait counts from the newest connect: on a lossy link the snapshot
  // of a late repeat may be the first to arrive, and its client's input
  // must still find the slot.
  c.half_open_age = 0;
}

void PLAYER_REMOVE(uint8_t slot) {
  if (!ValidSlot(slot)) return;
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (!c.in_use) return;
  if (c.half_open) return DropHalfOpen(slot);
  --SV_CURCLIENTS;
  if (c.joined) --SV_CURPLAYERS;
  c.in_use = 0;
  // The name stays in the record, so the line still shows who left.
  LogSlotEvent(EV_DISCONNECT, slot);
  if (c.is_bot) --SV_BOTC;
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
