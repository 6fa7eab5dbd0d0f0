// A game client without a window: it speaks the real protocol over UDP,
// keeps the message log exactly as a player's client must (every line once,
// in order), and plays by a simple script: join, face the nearest enemy,
// fire, respawn when dead. It connects again when the server forgets it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "protocol/msgbuf.h"
#include "protocol/protocol.h"
#include "support/udp_peer.h"

struct LoggedLine {
  uint16_t index;
  std::string text;
};

struct SeenPlayer {
  uint8_t state = PS_NONE;
  uint8_t frags = 0;
  uint8_t ping = 0;  // ticks, as the server measured it
  uint16_t x = 0, y = 0;
};

class ScriptedClient {
 public:
  enum Script { kFight, kStand, kSpectate };  // kStand fires only to respawn
  ScriptedClient(std::string name, uint8_t team, uint16_t target_port, Script script = kFight);

  // One frame: take every waiting datagram, then send one message.
  void frame();

  // A chat message, sent at once.
  void say(const std::string& text);

  // Long runs count lines and keep no countdowns.
  void setKeepLog(bool keep) { keep_log_ = keep; }

  bool connected() const { return state_ == 2; }
  uint8_t slot() const { return slot_; }
  uint8_t health() const { return health_; }
  uint16_t serverTick() const { return tick_; }
  uint16_t countdown() const { return countdown_; }
  // Every countdown the snapshots carried, in order (kept with the log).
  const std::vector<uint16_t>& countdowns() const { return countdowns_; }
  int timesNotConnected() const { return not_connected_; }
  int snapshots() const { return snapshots_; }
  const std::vector<LoggedLine>& log() const { return log_; }
  long linesReceived() const { return lines_received_; }
  // UDP payload bytes and datagrams in each direction.
  long bytesReceived() const { return bytes_in_; }
  long datagramsReceived() const { return datagrams_in_; }
  long bytesSent() const { return bytes_out_; }
  long datagramsSent() const { return datagrams_out_; }
  // Lines that did not follow the previous one of the same connection.
  long orderFaults() const { return order_faults_; }
  const SeenPlayer& player(int slot) const { return players_[slot]; }
  // Faults seen in what the server sent (malformed counts, impossible values).
  const std::vector<std::string>& problems() const { return problems_; }

 private:
  void handle();
  void onSnapshot();
  void onGameInfo();
  void onLog();
  void sendConnect();
  void sendInput();
  void send();
  uint8_t chooseAction();
  uint16_t aimDirection() const;
  const SeenPlayer& me() const { return players_[slot_ >= 1 && slot_ <= MAX_SLOTS ? slot_ : 0]; }

  std::string name_;
  uint8_t team_;
  uint16_t target_port_;
  Script script_;
  UdpPeer socket_;
  MessageBuffer buf_;
  int state_ = 1;  // 1 connecting, 2 connected
  int frame_ = 0;
  int last_connect_ = -1000;
  bool awaiting_info_ = true;
  int last_join_request_ = -1000;
  uint8_t slot_ = 0;
  uint8_t health_ = 0;
  uint16_t tick_ = 0;
  uint16_t countdown_ = 0;
  uint16_t log_ack_ = 0;
  int not_connected_ = 0;
  int snapshots_ = 0;
  SeenPlayer players_[MAX_SLOTS + 1];
  std::vector<LoggedLine> log_;
  std::vector<uint16_t> countdowns_;
  bool keep_log_ = true;
  bool session_has_lines_ = false;
  uint16_t last_index_ = 0;
  long lines_received_ = 0;
  long order_faults_ = 0;
  long bytes_in_ = 0, datagrams_in_ = 0, bytes_out_ = 0, datagrams_out_ = 0;
  std::vector<std::string> problems_;
};

// Plays the clients a frame every 30 ms until `done` holds, at most `ms`;
// whether it did.
bool PlayUntil(int ms, const std::vector<ScriptedClient*>& clients, const std::function<bool()>& done);
// Plays the clients a frame every 30 ms for `ms`, calling `also` after each frame.
void PlayFor(int ms, const std::vector<ScriptedClient*>& clients, const std::function<void()>& also = [] {});
