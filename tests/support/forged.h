// Datagrams with forged source addresses, sent as an attacker who never reads
// a reply would send them. Only inside a network namespace this test program
// made for itself and only between loopback addresses: outside one nothing
// is sent at all. Every run of them is bounded in count and time.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

// Enters a network namespace of the calling thread's own (call it first in
// main, before any thread starts) and brings its loopback up. False, with
// the reason kept for NetworkNamespaceProblem(), when the system refuses.
bool EnterOwnNetworkNamespace();
bool InOwnNetworkNamespace();
const std::string& NetworkNamespaceProblem();

struct ForgedDatagram {
  std::string from = "127.0.0.2";  // any 127.x.y.z
  uint16_t from_port = 1;
  std::string to = "127.0.0.1";    // any 127.x.y.z
  uint16_t to_port = 0;
  std::string bytes;
};

// A raw socket that writes the whole IPv4 and UDP headers itself.
class Forger {
 public:
  Forger();
  ~Forger();
  Forger(const Forger&) = delete;
  Forger& operator=(const Forger&) = delete;
  bool ready() const { return fd_ >= 0; }
  // False when it was not sent (no namespace of our own, not loopback, too long).
  bool send(const ForgedDatagram& d) const;

 private:
  int fd_ = -1;
};

// Forged datagrams from a thread of their own: datagram i is make(i), sent
// at a steady per_second until `count` went or `ms` passed. `make` runs on
// that thread; what it writes may be read after finish().
class ForgedTraffic {
 public:
  ForgedTraffic(int per_second, long count, int ms, std::function<ForgedDatagram(long)> make);
  ~ForgedTraffic();
  ForgedTraffic(const ForgedTraffic&) = delete;
  ForgedTraffic& operator=(const ForgedTraffic&) = delete;
  long sent() const { return sent_; }
  bool done() const { return done_; }
  // Waits for the end; the datagrams sent.
  long finish();

 private:
  std::atomic<long> sent_{0};
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  std::thread thread_;
};

// A small, fast generator of the forgers' noise (xorshift).
inline uint64_t Noise(uint64_t seed) {
  uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
  x ^= x << 13, x ^= x >> 7, x ^= x << 17;
  return x;
}
