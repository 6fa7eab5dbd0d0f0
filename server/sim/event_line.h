// Building message-log lines: the event code, then one byte per argument.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "protocol/shortstr.h"

inline ShortStr EVENT_LINE(uint8_t code, std::initializer_list<uint8_t> args, std::string_view text = {}) {
  ShortStr line;
  line.push(static_cast<char>(code));
  for (uint8_t a : args) line.push(static_cast<char>(a));
  line.append(text);
  return line;
}
