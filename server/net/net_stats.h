// Counters of the datagrams the socket took in, sent and dropped, for the
// metrics page. Plain fixed tables: counting allocates nothing and costs an
// increment, so every receive, send and drop point calls one of these.
#pragma once

#include <cstdint>

// Why a datagram was not taken into the tick.
enum NetDropReason : uint8_t {
  DROP_STRANGER_BUDGET,  // the tick's room for senders without a slot is used up
  DROP_ADDRESS_LIMIT,    // one address sent more than its slots may
  DROP_CLIENT_BUDGET,    // a client sent more than a tick takes from one slot
  DROP_BAD_TOKEN,        // a datagram that does not carry its sender's token
  DROP_MALFORMED,        // empty, or a code no client sends
  DROP_REASON_COUNT
};

struct NetStats {
  uint64_t received[256];  // by the first byte, the message code
  uint64_t received_empty;
  uint64_t sent[256];
  uint64_t dropped[DROP_REASON_COUNT];
};
extern NetStats NET_STATS;

inline void NET_COUNTRECEIVED(const uint8_t* bytes, unsigned length) {
  if (length == 0)
    ++NET_STATS.received_empty;
  else
    ++NET_STATS.received[bytes[0]];
}
inline void NET_COUNTSENT(uint8_t code, unsigned count = 1) { NET_STATS.sent[code] += count; }
inline void NET_COUNTDROPPED(NetDropReason reason) { ++NET_STATS.dropped[reason]; }
// For the places that refuse by returning false.
inline bool NET_REFUSED(NetDropReason reason) {
  NET_COUNTDROPPED(reason);
  return false;
}

// The label a reason has on the metrics page, e.g. "stranger_budget".
const char* NET_DROPREASONNAME(NetDropReason reason);
void NET_RESETSTATS();
