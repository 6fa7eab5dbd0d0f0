// A headless game client for whole-match tests: a real UDP socket on
// loopback speaking the wire protocol, keeping what the snapshots and the
// message log tell it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/msgbuf.h"
#include "protocol/protocol.h"

namespace game_test {

struct SnapshotEntry {
  uint8_t state = PS_NONE;
  uint8_t frags = 0;
  uint16_t x = 0, y = 0, dir = 0;
  uint8_t gun = 0;
};

class MatchClient {
 public:
  MatchClient();
  ~MatchClient();
  MatchClient(const MatchClient&) = delete;
  MatchClient& operator=(const MatchClient&) = delete;

  void sendConnect(uint16_t server_port, const std::string& name, uint8_t team);
  void sendInput(uint16_t server_port, uint16_t dir, uint8_t action, uint16_t want_x, uint16_t want_y);
  // Takes every waiting datagram.
  void receiveAll();

  uint8_t slot() const { return slot_; }
  bool connected() const { return slot_ != 0; }
  const SnapshotEntry& entry(int slot) const { return entries_[slot]; }
  uint8_t health() const { return health_; }
  uint16_t tick() const { return tick_; }
  // Every countdown value the snapshots carried, in arrival order.
  const std::vector<uint16_t>& countdowns() const { return countdowns_; }
  // Every message-log line received, in order, each once.
  const std::vector<std::string>& log() const { return log_; }
  int notConnectedReplies() const { return not_connected_; }
  int snapshots() const { return snapshots_; }

 private:
  void onSnapshot();
  void onLog();

  int fd_ = -1;
  MessageBuffer buf_;
  uint8_t slot_ = 0;
  uint8_t health_ = 0;
  uint16_t tick_ = 0;
  uint16_t log_ack_ = 0;
  bool log_started_ = false;
  SnapshotEntry entries_[MAX_SLOTS + 1];
  std::vector<uint16_t> countdowns_;
  std::vector<std::string> log_;
  int not_connected_ = 0;
  int snapshots_ = 0;
};

}  // namespace game_test
