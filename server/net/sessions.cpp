#include "server/net/sessions.h"

#include "protocol/protocol.h"
#include "server/core/msglog.h"
#include "server/core/settings.h"
#include "server/net/netproto.h"
#include "server/sim/rules.h"
#include "server/sim/world.h"

namespace {

constexpr size_t ADDRESS_LIMIT = 15;
constexpr uint8_t TIMEOUT_TICKS = 255;
constexpr uint8_t FIRST_INPUT_BUDGET = 33;
constexpr uint8_t INPUT_BUDGET = 35;
constexpr uint16_t BUDGET_WINDOW_TICKS = 33;

bool validSlot(uint8_t slot) { return slot >= 1 && slot <= MAX_SLOTS; }

uint8_t lowestFreeSlot() {
  for (int s = 1; s <= MAX_SLOTS; ++s)
    if (!SV_CLIENTSLIST[s].in_use) return static_cast<uint8_t>(s);
  return 0;
}

void logSlotEvent(uint8_t code, uint8_t slot) {
  ShortStr line;
  line.push(static_cast<char>(code));
  line.push(static_cast<char>(slot));
  SV_ADDMSG(line);
}

void startSession(ClientRecord& c, const ShortStr& address, uint16_t port) {
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

// True when the slot has just timed out and is gone.
bool timedOut(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  ++c.idle;
  if (c.idle < TIMEOUT_TICKS) return false;
  logSlotEvent(EV_TIMEOUT, slot);
  PLAYER_REMOVE(slot);
  return true;
}

// Ticks between a snapshot and the input that echoed it. After the tick
// counter wraps, the echo looks newer than the counter and the old ping stays.
void measurePing(ClientRecord& c) {
  if (SV_PINGVAR >= c.ping_tick) c.ping = static_cast<uint8_t>(SV_PINGVAR - c.ping_tick);
}

void countDown(uint8_t& timer) {
  if (timer > 0) --timer;
}

void runGameTimers(ClientRecord& c) {
  countDown(c.specjoin_wait);
  countDown(c.chat_wait);
  countDown(c.log_wait);
  countDown(c.info_wait);
  countDown(c.fire_anim);
  if (c.wait > 0)
    --c.wait;
  else
    c.gun = c.next_gun;
}

void refillInputBudget(ClientRecord& c) {
  if (SV_PINGVAR % BUDGET_WINDOW_TICKS == 0) c.input_budget = INPUT_BUDGET;
}

}  // namespace

uint8_t PLAYER_A2I(const ShortStr& address, uint16_t port) {
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    ClientRecord& c = SV_CLIENTSLIST[s];
    if (c.in_use && c.port == port && c.address == address) {
      c.idle = 0;
      return static_cast<uint8_t>(s);
    }
  }
  return 0;
}

uint8_t PLAYER_NEW(const ShortStr& address, uint16_t port) {
  if (SV_CURCLIENTS >= MAX_SLOTS) return 0;
  uint8_t slot = lowestFreeSlot();
  if (slot == 0) return 0;
  startSession(SV_CLIENTSLIST[slot], address, port);
  PLAYER_RESPAWN(slot);
  ++SV_CURCLIENTS;
  return slot;
}

void PLAYER_REMOVE(uint8_t slot) {
  if (!validSlot(slot)) return;
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (!c.in_use) return;
  --SV_CURCLIENTS;
  if (c.joined) --SV_CURPLAYERS;
  c.in_use = 0;
  // The name stays in the record, so the line still shows who left.
  logSlotEvent(EV_DISCONNECT, slot);
  if (c.is_bot) --SV_BOTC;
}

void SV_PLAYERS() {
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    uint8_t slot = static_cast<uint8_t>(s);
    ClientRecord& c = SV_CLIENTSLIST[slot];
    if (!c.in_use || timedOut(slot)) continue;
    measurePing(c);
    runGameTimers(c);
    refillInputBudget(c);
    NET_SENDGAMEINFO(slot);
    NET_SENDLOG(slot);
  }
}
