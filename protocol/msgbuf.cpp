#include "protocol/msgbuf.h"

#include <cstring>

void MessageBuffer::clear() {
  std::memset(data, 0, sizeof data);
  pos = 1;
}

uint8_t MessageBuffer::readByte() {
  if (pos > kSize) return 0;
  return data[pos++];
}

uint16_t MessageBuffer::readWord() {
  if (pos > kSize - 1) return 0;
  uint16_t v = static_cast<uint16_t>(data[pos] | (data[pos + 1] << 8));
  pos = static_cast<uint16_t>(pos + 2);
  return v;
}

void MessageBuffer::readString(ShortStr& out) {
  int n = readByte();
  if (pos + n > kSize) n = kSize - pos;
  out.clear();
  for (int i = 0; i < n; ++i) out.push(readChar());
}

void MessageBuffer::writeByte(uint8_t v) {
  if (pos > kSize) return;
  data[pos++] = v;
}

void MessageBuffer::writeWord(uint16_t v) {
  if (pos > kSize - 1) return;
  data[pos] = static_cast<uint8_t>(v & 0xFF);
  data[pos + 1] = static_cast<uint8_t>(v >> 8);
  pos = static_cast<uint16_t>(pos + 2);
}

void MessageBuffer::writeString(const char* s, uint8_t len) {
  writeByte(len);
  for (int i = 0; i < len && pos <= kSize; ++i) writeByte(static_cast<uint8_t>(s[i]));
}
