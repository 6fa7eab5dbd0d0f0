// A flood of datagrams from a process of its own, as a hostile host would
// send them: to one port on loopback, from a loopback address of its own, at
// a fixed rate. It is bounded in count and time and ends by itself.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

struct FloodPlan {
  std::string from = "127.0.0.9";  // source address, on loopback
  uint16_t to_port = 0;            // on 127.0.0.1
  int per_second = 1000;
  int milliseconds = 1000;
  bool empty = true;  // empty datagrams, or else 1..64 random bytes each
};

class Flood {
 public:
  explicit Flood(const FloodPlan& plan);
  ~Flood();
  Flood(const Flood&) = delete;
  Flood& operator=(const Flood&) = delete;
  // Waits until the flood has ended; the datagrams it sent.
  long finish();

 private:
  pid_t pid_ = -1;
  int report_ = -1;
  long sent_ = -1;
};
