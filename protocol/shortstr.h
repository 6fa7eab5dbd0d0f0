// Short string: a length byte and up to 255 characters, no allocation.
// The string type of both programs in memory and on the wire.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

struct ShortStr {
  uint8_t len = 0;
  char ch[256] = {};  // ch[len] is always 0, so c_str() needs no copy

  ShortStr() = default;
  ShortStr(std::string_view s) { assign(s); }  // NOLINT: implicit by design

  void clear() {
    len = 0;
    ch[0] = 0;
  }
  // Keeps at most the first 255 characters.
  void assign(std::string_view s) {
    len = static_cast<uint8_t>(s.size() > 255 ? 255 : s.size());
    if (len) std::memcpy(ch, s.data(), len);
    ch[len] = 0;
  }
  // Appends what fits; characters past 255 are dropped.
  void append(std::string_view s) {
    size_t room = 255u - len;
    size_t n = s.size() < room ? s.size() : room;
    if (n) std::memcpy(ch + len, s.data(), n);
    len = static_cast<uint8_t>(len + n);
    ch[len] = 0;
  }
  void push(char c) {
    if (len < 255) {
      ch[len++] = c;
      ch[len] = 0;
    }
  }
  // Cuts to at most n characters.
  void cut(size_t n) {
    if (n < len) {
      len = static_cast<uint8_t>(n);
      ch[len] = 0;
    }
  }
  std::string_view view() const { return std::string_view(ch, len); }
  std::string str() const { return std::string(ch, len); }
  const char* c_str() const { return ch; }
  bool empty() const { return len == 0; }
  uint8_t operator[](size_t i) const { return static_cast<uint8_t>(ch[i]); }
  bool operator==(const ShortStr& o) const { return view() == o.view(); }
  bool operator==(std::string_view o) const { return view() == o; }
};
