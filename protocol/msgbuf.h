// The message buffer: 5000 bytes at positions 1..5000 with a moving position.
// Reads past the end give 0 or an empty string and do not advance; writes
// past the end are dropped. Both programs build and parse every datagram in
// one of these.
//
// The buffer remembers what went wrong, so a reader or writer checks once
// at the end instead of after every field: `overflowed` when a write was
// dropped for lack of room, `bad_read` when a read went past the end of the
// datagram received (the bytes there read as 0, as a cleared buffer does).
#pragma once

#include <cstdint>

#include "protocol/shortstr.h"

class MessageBuffer {
 public:
  static constexpr uint16_t kSize = 5000;

  // Empties the buffer for a new datagram to be built or received.
  void clear();
  // The datagram received into receiveArea() is `length` bytes long: reads
  // beyond it mark the buffer as read past its end.
  void received(uint16_t length);

  uint8_t readByte();
  char readChar() { return static_cast<char>(readByte()); }
  uint16_t readWord();
  uint64_t readQuad();  // 8 bytes, low byte first
  void readString(ShortStr& out);

  // The writers every message uses are defined below, in this header: they
  // run for every byte of every snapshot, so they must be inlined.
  void writeByte(uint8_t v);
  void writeWord(uint16_t v);
  void writeQuad(uint64_t v);
  // The length byte is always the full length, even when characters are
  // dropped for lack of room.
  void writeString(const ShortStr& s) { writeString(s.ch, s.len); }
  void writeString(const char* s, uint8_t len);
  // Zero bytes up to `length` bytes written in all (nothing when there are).
  void padTo(uint16_t length);

  // Bytes written since the last clear (positions 1 .. pos - 1).
  uint16_t length() const { return static_cast<uint16_t>(pos - 1); }
  const uint8_t* bytes() const { return data + 1; }
  // Room to receive a datagram into: positions 1..5000.
  uint8_t* receiveArea() { return data + 1; }
  // Bytes of the received datagram not read yet.
  uint16_t unread() const { return pos <= end ? static_cast<uint16_t>(end - pos + 1) : 0; }
  // Nothing was dropped on writing and nothing read past the datagram's end.
  bool ok() const { return !overflowed && !bad_read; }

  uint16_t pos = 1;
  uint16_t end = kSize;  // the last position of the received datagram
  bool overflowed = false;
  bool bad_read = false;
  uint8_t data[kSize + 1] = {};  // data[0] is never used
};

inline void MessageBuffer::writeByte(uint8_t v) {
  if (pos > kSize) {
    overflowed = true;
    return;
  }
  data[pos++] = v;
}

inline void MessageBuffer::writeWord(uint16_t v) {
  if (pos > kSize - 1) {
    overflowed = true;
    return;
  }
  data[pos] = static_cast<uint8_t>(v & 0xFF);
  data[pos + 1] = static_cast<uint8_t>(v >> 8);
  pos = static_cast<uint16_t>(pos + 2);
}
