// Datagrams and message-log lines built byte by byte from the wire layouts,
// independently of the code under test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "protocol/protocol.h"

class Datagram {
 public:
  Datagram& byte(uint8_t v) {
    bytes_.push_back(static_cast<char>(v));
    return *this;
  }
  Datagram& word(uint16_t v) { return byte(static_cast<uint8_t>(v & 0xFF)).byte(static_cast<uint8_t>(v >> 8)); }
  Datagram& quad(uint64_t v) {  // 8 bytes, low byte first
    for (int i = 0; i < 8; ++i) byte(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Datagram& padTo(size_t n) {
    if (bytes_.size() < n) bytes_.resize(n, '\0');
    return *this;
  }
  Datagram& str(const std::string& s) {  // a length byte, then the characters
    byte(static_cast<uint8_t>(s.size()));
    return raw(s);
  }
  Datagram& raw(const std::string& s) {
    bytes_ += s;
    return *this;
  }
  operator const std::string&() const { return bytes_; }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// A message-log line: the event code and its argument bytes, then the text.
inline std::string Line(std::initializer_list<int> head, const std::string& text = "") {
  std::string line;
  for (int b : head) line.push_back(static_cast<char>(b));
  return line + text;
}

inline std::string ConnectMessage(const std::string& name, uint8_t team = 0, uint8_t version = PROTOCOL_VERSION) {
  return Datagram().byte(MSG_CONNECT).byte(version).str(name).byte(team);
}

inline std::string InputMessage(uint16_t tick, uint16_t dir, uint8_t action, uint16_t x, uint16_t y, uint16_t ack) {
  return Datagram().byte(MSG_INPUT).word(tick).word(dir).byte(action).word(x).word(y).word(ack);
}

inline std::string ChatMessage(const std::string& text) { return Datagram().byte(MSG_CHAT).str(text); }

// Version 29: the connect with the client's nonce and a cookie (0 for none),
// padded to 64 bytes; messages of a session carry its token after the code.
inline std::string Connect29Message(const std::string& name, uint64_t nonce, uint64_t cookie = 0, uint8_t team = 0) {
  return Datagram().byte(MSG_CONNECT).byte(29).str(name).byte(team).quad(nonce).quad(cookie).padTo(64);
}
inline std::string Input29Message(uint64_t token, uint16_t sequence, uint16_t dir, uint8_t action = ACT_NONE,
                                  uint16_t ack = 0) {
  return Datagram().byte(MSG_INPUT).quad(token).word(ack).word(sequence).byte(1)
      .word(0).word(dir).byte(action).word(0).word(0);
}
inline std::string Chat29Message(uint64_t token, const std::string& text) {
  return Datagram().byte(MSG_CHAT).quad(token).str(text);
}
inline std::string Disconnect29Message(uint64_t token) { return Datagram().byte(MSG_DISCONNECT).quad(token); }
// A little-endian number of `n` bytes at `at` of a datagram; 0 past its end.
inline uint64_t Field(const std::string& d, size_t at, size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n && at + i < d.size(); ++i) v |= static_cast<uint64_t>(static_cast<uint8_t>(d[at + i])) << (8 * i);
  return v;
}

// What a snapshot tells its receiver about itself, read from the bytes as the
// server sent them (version 29 puts the token after the code and one more
// word in the tail); `snapshot` is false for anything else or anything shorter.
struct OwnEntry {
  bool snapshot = false;
  uint16_t tick = 0;
  uint8_t slot = 0;    // the receiver's slot: the first byte of the tail
  bool alive = false;  // its entry shows it alive or firing
  uint8_t ping = 0;
  uint16_t x = 0, y = 0, dir = 0;
};
inline OwnEntry ReadOwnEntry(const std::string& d, bool version29) {
  OwnEntry own;
  const size_t head = version29 ? 9 : 1, tail = version29 ? 8 : 6;
  if (d.size() < head + 5 + tail || static_cast<uint8_t>(d[0]) != MSG_SNAPSHOT) return own;
  own.snapshot = true;
  own.tick = static_cast<uint16_t>(Field(d, head, 2));
  own.slot = static_cast<uint8_t>(d[d.size() - tail]);
  size_t at = head + 5;
  for (size_t i = 0, n = static_cast<uint8_t>(d[head + 4]); i < n && at + 3 <= d.size(); ++i) {
    const uint8_t slot = static_cast<uint8_t>(d[at]), state = static_cast<uint8_t>(d[at + 1]);
    const uint8_t ping = static_cast<uint8_t>(d[at + 2]);
    at += state >= PS_DEAD ? 4 : 3;
    if (state >= PS_ALIVE && at + 6 <= d.size() && slot == own.slot) {
      own.alive = true;
      own.ping = ping;
      own.x = static_cast<uint16_t>(Field(d, at, 2));
      own.y = static_cast<uint16_t>(Field(d, at + 2, 2));
      own.dir = static_cast<uint16_t>(Field(d, at + 4, 2));
    }
    if (state >= PS_ALIVE) at += 6;
    if (state >= PS_FIRING) ++at;
  }
  return own;
}

// The tick word of a version-28 snapshot (bytes 1 and 2), 0 for anything shorter.
inline uint16_t SnapshotTick(const std::string& d) {
  return d.size() < 3 ? 0 : static_cast<uint16_t>(static_cast<uint8_t>(d[1]) | static_cast<uint8_t>(d[2]) << 8);
}
