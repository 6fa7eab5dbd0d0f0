#include "server/net/net_stats.h"

#include <cstring>

NetStats NET_STATS{};

const char* NET_DROPREASONNAME(NetDropReason reason) {
  static constexpr const char* kNames[DROP_REASON_COUNT] = {"stranger_budget", "address_limit", "client_budget",
                                                            "bad_token", "malformed"};
  return reason < DROP_REASON_COUNT ? kNames[reason] : "unknown";
}

void NET_RESETSTATS() { std::memset(&NET_STATS, 0, sizeof NET_STATS); }
