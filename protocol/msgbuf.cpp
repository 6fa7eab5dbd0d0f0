#include "protocol/msgbuf.h"

#include <cstring>

void MessageBuffer::clear() {
  std::memset(data, 0, sizeof data);
  pos = 1;
  end = kSize;
  overflowed = bad_read = false;
}

void MessageBuffer::received(uint16_t length) {
  end = length < kSize ? length : kSize;
  pos = 1;
  bad_read = false;
}

uint8_t MessageBuffer::readByte() {
  if (pos > end) bad_read = true;
  if (pos > kSize) return 0;
  return data[pos++];
}

uint16_t MessageBuffer::readWord() {
  if (pos + 1 > end) bad_read = true;
  if (pos > kSize - 1) return 0;
  uint16_t v = static_cast<uint16_t>(data[pos] | (data[pos + 1] << 8));
  pos = static_cast<uint16_t>(pos + 2);
  return v;
}

uint64_t MessageBuffer::readQuad() {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(readByte()) << (8 * i);
  return v;
}

void MessageBuffer::readString(ShortStr& out) {
  int n = readByte();
  if (pos + n > end + 1) bad_read = true;
  if (pos + n > kSize) n = kSize - pos;
  out.clear();
  for (int i = 0; i < n; ++i) out.push(static_cast<char>(data[pos++]));
}

void MessageBuffer::writeQuad(uint64_t v) {
  for (int i = 0; i < 8; ++i) writeByte(static_cast<uint8_t>(v >> (8 * i)));
}

// One bounds check, then a copy to a local pointer: writing byte by byte
// through writeByte reloads `pos` after every store (a byte store may alias
// it), which made log batches slow.
void MessageBuffer::writeString(const char* s, uint8_t len) {
  writeByte(len);
  const int room = pos <= kSize ? kSize + 1 - pos : 0;
  const int n = len < room ? len : room;
  uint8_t* out = data + pos;
  for (int i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(s[i]);
  pos = static_cast<uint16_t>(pos + n);
  if (n < len) overflowed = true;
}

void MessageBuffer::padTo(uint16_t length) {
  while (this->length() < length && !overflowed) writeByte(0);
}
