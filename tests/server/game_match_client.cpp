#include "game_match_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace game_test {

namespace {
sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}
}  // namespace

MatchClient::MatchClient() {
  fd_ = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a = Loopback(0);
  bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

MatchClient::~MatchClient() {
  if (fd_ >= 0) close(fd_);
}

void MatchClient::sendConnect(uint16_t server_port, const std::string& name, uint8_t team) {
  buf_.clear();
  buf_.writeByte(MSG_CONNECT);
  buf_.writeByte(PROTOCOL_VERSION);
  buf_.writeString(ShortStr(name));
  buf_.writeByte(team);
  sockaddr_in to = Loopback(server_port);
  sendto(fd_, buf_.bytes(), buf_.length(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

void MatchClient::sendInput(uint16_t server_port, uint16_t dir, uint8_t action, uint16_t want_x, uint16_t want_y) {
  buf_.clear();
  buf_.writeByte(MSG_INPUT);
  buf_.writeWord(tick_);
  buf_.writeWord(dir);
  buf_.writeByte(action);
  buf_.writeWord(want_x);
  buf_.writeWord(want_y);
  buf_.writeWord(log_ack_);
  sockaddr_in to = Loopback(server_port);
  sendto(fd_, buf_.bytes(), buf_.length(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

void MatchClient::receiveAll() {
  for (;;) {
    buf_.clear();
    const ssize_t n = recv(fd_, buf_.receiveArea(), MessageBuffer::kSize, MSG_DONTWAIT);
    if (n <= 0) return;
    switch (buf_.readByte()) {
      case MSG_SNAPSHOT:
        onSnapshot();
        break;
      case MSG_LOG:
        onLog();
        break;
      case MSG_NOTCONNECTED:
        ++not_connected_;
        slot_ = 0;
        log_started_ = false;  // a new slot starts its own place in the log
        break;
      default:
        break;
    }
  }
}

void MatchClient::onSnapshot() {
  ++snapshots_;
  tick_ = buf_.readWord();
  countdowns_.push_back(buf_.readWord());
  for (auto& e : entries_) e = SnapshotEntry{};
  const uint8_t count = buf_.readByte();
  for (int i = 0; i < count; ++i) {
    const uint8_t slot = buf_.readByte();
    SnapshotEntry e;
    e.state = buf_.readByte();
    buf_.readByte();  // ping
    if (e.state >= PS_DEAD) e.frags = buf_.readByte();
    if (e.state >= PS_ALIVE) {
      e.x = buf_.readWord();
      e.y = buf_.readWord();
      e.dir = buf_.readWord();
    }
    if (e.state == PS_FIRING) e.gun = buf_.readByte();
    if (slot >= 1 && slot <= MAX_SLOTS) entries_[slot] = e;
  }
  const uint8_t items = buf_.readByte();
  for (int i = 0; i < items; ++i) buf_.readByte();
  slot_ = buf_.readByte();
  health_ = buf_.readByte();
}

void MatchClient::onLog() {
  const uint16_t last = buf_.readWord();
  const uint8_t n = buf_.readByte();
  const uint16_t first = static_cast<uint16_t>(last - n + 1);
  if (!log_started_) {
    log_ack_ = static_cast<uint16_t>(first - 1);
    log_started_ = true;
  }
  for (uint16_t index = first; index <= last; ++index) {
    ShortStr line;
    buf_.readString(line);
    if (index == log_ack_ + 1) {
      log_.push_back(line.str());
      log_ack_ = index;
    }
  }
}

}  // namespace game_test
