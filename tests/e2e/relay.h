// A UDP relay on loopback that loses, duplicates, delays and so reorders
// datagrams between test clients and a server. Each client gets a relay
// port of its own, so the server sees one sender per client. A tap, when
// given, sees every datagram as it came in, before any fault; another one
// may see them as they are passed on.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "support/udp_peer.h"

struct RelayFaults {
  double loss = 0.20;       // chance a datagram is dropped
  double duplicate = 0.05;  // chance a datagram is sent twice
  int max_delay_ms = 100;   // each copy is held 0..max_delay_ms
  double hold = 0;          // chance a datagram is held back hold_ms more,
  int hold_ms = 0;          // so that the next ones overtake it
  int delay_ms = 0;         // every copy is held this long (one way) ...
  int jitter_ms = 0;        // ... plus or minus up to this, drawn per datagram, so later ones overtake
  double loss_to_client = -1;  // the chance on the way back, when not `loss`
};

// Called on the relay's thread: which client link, which way, the bytes.
using RelayTap = std::function<void(int link, bool to_server, const uint8_t* data, int len)>;
// True for a datagram the test wants lost, whatever the faults say.
using RelayDrop = std::function<bool(int link, bool to_server, const uint8_t* data, int len)>;
// The relay's taps: `arrived` sees every datagram as it came in, before any
// fault; `delivered` sees each copy as it is passed on; `drop` may lose one.
struct RelayTaps {
  RelayTap arrived, delivered;
  RelayDrop drop;
};

struct RelayCounts {
  std::atomic<long> forwarded{0}, dropped{0}, duplicated{0};
};

class LossyRelay {
 public:
  LossyRelay(uint16_t server_port, int clients, RelayFaults faults, uint32_t seed, RelayTap tap = nullptr);
  LossyRelay(uint16_t server_port, int clients, RelayFaults faults, uint32_t seed, RelayTaps taps);
  ~LossyRelay();
  // The port client i must send to.
  uint16_t portFor(int client) const { return links_[client]->port(); }
  const RelayCounts& counts() const { return counts_; }

 private:
  struct Pending {
    long long due_ms;
    int link;
    bool to_server;
    std::vector<uint8_t> data;
  };
  void run();
  void pump(int link);
  void schedule(int link, bool to_server, const uint8_t* data, int len);
  void sendDue(long long now);

  uint16_t server_port_;
  RelayFaults faults_;
  RelayTap tap_, delivered_tap_;
  RelayDrop drop_;
  std::mt19937 rng_;
  std::vector<std::unique_ptr<UdpPeer>> links_;
  std::vector<sockaddr_in> client_addr_;
  std::vector<bool> client_known_;
  std::vector<Pending> pending_;
  RelayCounts counts_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
