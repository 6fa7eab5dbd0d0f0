// The message buffer: 5000 bytes at positions 1..5000 with a moving position.
// Reads past the end give 0 or an empty string and do not advance; writes
// past the end are dropped. Both programs build and parse every datagram in
// one of these.
#pragma once

#include <cstdint>

#include "protocol/shortstr.h"

class MessageBuffer {
 public:
  static constexpr uint16_t kSize = 5000;

  void clear();

  uint8_t readByte();
  char readChar() { return static_cast<char>(readByte()); }
  uint16_t readWord();
  void readString(ShortStr& out);

  void writeByte(uint8_t v);
  void writeWord(uint16_t v);
  // The length byte is always the full length, even when characters are
  // dropped for lack of room.
  void writeString(const ShortStr& s) { writeString(s.ch, s.len); }
  void writeString(const char* s, uint8_t len);

  // Bytes written since the last clear (positions 1 .. pos - 1).
  uint16_t length() const { return static_cast<uint16_t>(pos - 1); }
  const uint8_t* bytes() const { return data + 1; }
  // Room to receive a datagram into: positions 1..5000.
  uint8_t* receiveArea() { return data + 1; }

  uint16_t pos = 1;
  uint8_t data[kSize + 1] = {};  // data[0] is never used
};
