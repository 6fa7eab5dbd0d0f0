#include "server/net/guard.h"

#include <cstdio>
#include <string_view>

#include "protocol/messages.h"
#include "protocol/protocol.h"
#include "server/net/bans.h"
#include "server/net/net_settings.h"
#include "server/net/udp.h"
#include "server/sim/hooks.h"

uint32_t GUARD_CYCLE;

namespace {

constexpr int ADDRESS_RECORDS = 256;
constexpr size_t ADDRESS_LIMIT = 15;
// A little under a second, so a client that repeats its connect once a
// second (33 frames of 30 ms) gets the reply to every attempt.
constexpr uint32_t FULL_REPLY_GAP = 30;
// How long after a map change its players may come back unthrottled.
constexpr uint32_t REJOIN_TICKS = 10 * GUARD_SECOND;
constexpr uint8_t STATUS_PER_ADDRESS = 5;  // answers a second
constexpr uint16_t STATUS_IN_ALL = 2000;
// The budget is kept in 33rds of a byte, so a second's worth refills
// evenly over its ticks; at most two ticks' worth is banked.
struct ByteBudget {
  uint32_t per_tick;
  uint32_t left;
  void refill() { left = left + per_tick < 2 * per_tick ? left + per_tick : 2 * per_tick; }
  bool spend(uint32_t cost) {
    if (cost > left) return false;
    left -= cost;
    return true;
  }
};
constexpr ByteBudget kFullChallenges{GUARD_CHALLENGE_BYTES, 2 * GUARD_CHALLENGE_BYTES};
constexpr ByteBudget kFullReplies{GUARD_REPLY_BYTES, 2 * GUARD_REPLY_BYTES};

struct AddressKey {
  char text[ADDRESS_LIMIT];
  uint8_t len = 0;
  void set(const ShortStr& address) {
    len = static_cast<uint8_t>(address.len < ADDRESS_LIMIT ? address.len : ADDRESS_LIMIT);
    for (uint8_t i = 0; i < len; ++i) text[i] = address.ch[i];
  }
  bool is(const ShortStr& address) const {
    if ((address.len < ADDRESS_LIMIT ? address.len : ADDRESS_LIMIT) != len) return false;
    for (uint8_t i = 0; i < len; ++i)
      if (text[i] != address.ch[i]) return false;
    return true;
  }
};

// Connects counted in whole seconds: the count starts again once a second
// has passed since the first one of the window.
struct RateWindow {
  uint32_t start = 0;
  uint16_t count = 0;
  bool take(uint16_t limit) {
    if (!has(limit)) return false;
    ++count;
    return true;
  }
  bool has(uint16_t limit) {
    if (GUARD_CYCLE - start >= GUARD_SECOND) {
      start = GUARD_CYCLE;
      count = 0;
    }
    return count < limit;
  }
};

struct AddressRecord {
  bool used = false;
  AddressKey key;
  uint32_t last_seen = 0;
  RateWindow connects;
  RateWindow status;
  bool replied = false;
  uint32_t last_reply = 0;
  uint32_t refused = 0;  // since the last console line about this address
};

struct Rejoin {
  AddressKey key;
  uint8_t slots = 0;
};

AddressRecord addresses[ADDRESS_RECORDS];
Rejoin rejoins[MAX_SLOTS];
int rejoin_count = 0;
uint32_t rejoin_until = 0;
RateWindow entries;
RateWindow status_answers;
ByteBudget challenge_budget = kFullChallenges;
ByteBudget reply_budget = kFullReplies;
bool reported = false;
uint32_t last_report = 0;

// The record of an address; a new one replaces the record seen least lately.
AddressRecord& RecordOf(const ShortStr& address) {
  AddressRecord* oldest = &addresses[0];
  for (AddressRecord& r : addresses) {
    if (r.used && r.key.is(address)) {
      r.last_seen = GUARD_CYCLE;
      return r;
    }
    if (!r.used) {
      oldest = &r;
    } else if (oldest->used && GUARD_CYCLE - r.last_seen > GUARD_CYCLE - oldest->last_seen) {
      oldest = &r;
    }
  }
  *oldest = AddressRecord{};
  oldest->used = true;
  oldest->key.set(address);
  oldest->last_seen = GUARD_CYCLE;
  oldest->connects.start = GUARD_CYCLE;
  oldest->status.start = GUARD_CYCLE;
  return *oldest;
}

bool TakeRejoin(const ShortStr& address) {
  if (static_cast<int32_t>(GUARD_CYCLE - rejoin_until) >= 0) return false;  // the time for coming back is over
  for (int i = 0; i < rejoin_count; ++i) {
    if (rejoins[i].slots > 0 && rejoins[i].key.is(address)) {
      --rejoins[i].slots;
      return true;
    }
  }
  return false;
}

void ReportRefusals() {
  AddressRecord* most = nullptr;
  for (AddressRecord& r : addresses)
    if (r.used && r.refused > 0 && (!most || r.refused > most->refused)) most = &r;
  if (!most) return;
  char line[64];
  const int n = std::snprintf(line, sizeof line, "%u connect attempts refused from %.*s", most->refused,
                              static_cast<int>(most->key.len), most->key.text);
  SV_HOOKS.console_line(std::string_view(line, n > 0 && n < static_cast<int>(sizeof line) ? static_cast<size_t>(n) : 0));
  most->refused = 0;
  reported = true;
  last_report = GUARD_CYCLE;
}

}  // namespace

void GUARD_RESET() {
  GUARD_CYCLE = 0;
  for (AddressRecord& r : addresses) r = AddressRecord{};
  rejoin_count = 0;
  rejoin_until = 0;
  entries = RateWindow{};
  status_answers = RateWindow{};
  challenge_budget = kFullChallenges;
  reply_budget = kFullReplies;
  reported = false;
  last_report = 0;
}

void GUARD_TICK() {
  ++GUARD_CYCLE;
  challenge_budget.refill();
  reply_budget.refill();
  if (!reported || GUARD_CYCLE - last_report >= GUARD_SECOND) ReportRefusals();
}

bool GUARD_SPENDUNPROVEN(uint16_t length, Unproven what) {
  const uint32_t cost = (length + GUARD_HEADER_BYTES) * GUARD_SECOND;
  return (what == Unproven::Challenge ? challenge_budget : reply_budget).spend(cost);
}

Entry GUARD_ADMITENTRY(const ShortStr& address, int held) {
  if (BAN_ISBANNED(address)) return Entry::Refuse;
  if (TakeRejoin(address)) return Entry::Enter;
  if (held >= SV_IPSLOTS) return Entry::Refuse;
  if (!entries.has(SV_CONNECTS)) return Entry::Wait;
  if (!RecordOf(address).connects.take(SV_IPCONNECTS)) return Entry::Refuse;
  entries.take(SV_CONNECTS);
  return Entry::Enter;
}

void GUARD_REFUSE(const ShortStr& address, uint16_t port, uint8_t version, uint64_t nonce) {
  AddressRecord& r = RecordOf(address);
  ++r.refused;
  if (r.replied && GUARD_CYCLE - r.last_reply < FULL_REPLY_GAP) return;
  r.replied = true;
  r.last_reply = GUARD_CYCLE;
  NET_CLEARBUFFER();
  WriteServerFull(NET_BUF, version, nonce);
  NET_SEND(address, port);
}

bool GUARD_ADMITSTATUS(const ShortStr& address) {
  // Each address first, so a flood from others cannot use up its share;
  // then all together, so the answers cost CPU only.
  if (!RecordOf(address).status.take(STATUS_PER_ADDRESS)) return false;
  return status_answers.take(STATUS_IN_ALL);
}

void GUARD_EXPECTREJOINS() {
  rejoin_count = 0;
  rejoin_until = GUARD_CYCLE + REJOIN_TICKS;
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& c = SV_CLIENTSLIST[s];
    if (!c.in_use || c.is_bot || c.half_open) continue;  // only proven players come back
    int i = 0;
    while (i < rejoin_count && !rejoins[i].key.is(c.address)) ++i;
    if (i == rejoin_count) {
      rejoins[rejoin_count].key.set(c.address);
      rejoins[rejoin_count++].slots = 0;
    }
    ++rejoins[i].slots;
  }
}
