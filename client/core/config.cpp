// config.cfg: one "key=value" line per setting, read at start-up and written
// at shutdown; and the key-name table the menu shows bindings with.
#include "client/core/config.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "client/core/client_state.h"
#include "client/core/connection.h"
#include "client/core/event_log.h"

std::string key_names[256];

namespace {

// How a setting is stored when read from the file.
enum class Store : uint8_t { Text, Address, Word, Team, Percent, Byte };

struct SettingRule {
  const char* key;
  Store store;
  void* target;  // std::string, uint16_t or uint8_t, as the store says
};

// One row per setting, in the order SaveConfig writes them.
const SettingRule kSettings[] = {
    {"name", Store::Text, &cfg.name},
    {"team", Store::Team, &cfg.team},
    {"ms", Store::Percent, &cfg.ms},
    {"sv", Store::Percent, &cfg.sv},
    {"mf", Store::Byte, &cfg.key_forward},
    {"mb", Store::Byte, &cfg.key_backward},
    {"sl", Store::Byte, &cfg.key_left},
    {"sr", Store::Byte, &cfg.key_right},
    {"at", Store::Byte, &cfg.key_attack},
    {"js", Store::Byte, &cfg.key_specjoin},
    {"ch", Store::Byte, &cfg.key_chat},
    {"g1", Store::Byte, &cfg.key_gun[1]},
    {"g2", Store::Byte, &cfg.key_gun[2]},
    {"g3", Store::Byte, &cfg.key_gun[3]},
    {"g4", Store::Byte, &cfg.key_gun[4]},
    {"g5", Store::Byte, &cfg.key_gun[5]},
    {"scr", Store::Byte, &cfg.key_screenshot},
    {"svip", Store::Address, &cfg.server_address},
    {"svport", Store::Word, &cfg.server_port},
    {"ww", Store::Word, &cfg.window_width},
    {"fscr", Store::Byte, &cfg.start_maximised},
};

constexpr size_t kAddressChars = 16;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads as much of a number as the text holds: blanks, a sign, then decimal
// or hexadecimal ('$', 'x', 'X' or "0x" in front). Arithmetic wraps, since
// only the low bits of the result are ever kept.
uint32_t ReadNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  unsigned base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  uint32_t value = 0;
  for (; i < text.size(); ++i) {
    int d = HexDigit(text[i]);
    if (d < 0 || d >= static_cast<int>(base)) break;
    value = value * base + static_cast<uint32_t>(d);
  }
  return negative ? 0u - value : value;
}

void Apply(const SettingRule& rule, const std::string& value) {
  const uint32_t n = ReadNumber(value);
  switch (rule.store) {
    case Store::Text: *static_cast<std::string*>(rule.target) = value; break;
    case Store::Address: *static_cast<std::string*>(rule.target) = value.substr(0, kAddressChars); break;
    case Store::Word: *static_cast<uint16_t*>(rule.target) = static_cast<uint16_t>(n); break;
    case Store::Team: *static_cast<uint8_t*>(rule.target) = static_cast<uint8_t>(n & 3); break;
    case Store::Percent: *static_cast<uint8_t*>(rule.target) = static_cast<uint8_t>((n & 0xFF) % 101); break;
    case Store::Byte: *static_cast<uint8_t*>(rule.target) = static_cast<uint8_t>(n); break;
  }
}

std::string Format(const SettingRule& rule) {
  switch (rule.store) {
    case Store::Text:
    case Store::Address: return *static_cast<const std::string*>(rule.target);
    case Store::Word: return std::to_string(*static_cast<const uint16_t*>(rule.target));
    default: return std::to_string(*static_cast<const uint8_t*>(rule.target));
  }
}

// Lines end at CR LF, LF or a lone CR; the end of line is not part of it.
bool ReadLine(std::istream& in, std::string& line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = in.get()) != EOF) {
    any = true;
    if (c == '\n') return true;
    if (c == '\r') {
      if (in.peek() == '\n') in.get();
      return true;
    }
    line.push_back(static_cast<char>(c));
  }
  return any;
}

struct KeyName {
  uint8_t code;
  const char* name;
};

const KeyName kKeyNames[] = {
    {VK_LBUTTON, "mleft"},    {VK_RBUTTON, "mright"},     {VK_MBUTTON, "mmiddle"},   {VK_BACK, "backspace"},
    {VK_TAB, "tab"},          {VK_RETURN, "return"},      {VK_SHIFT, "shift"},       {VK_CONTROL, "control"},
    {VK_MENU, "alt"},         {VK_PAUSE, "pause"},        {VK_ESCAPE, "escape"},     {VK_SPACE, "space"},
    {VK_PRIOR, "pageup"},     {VK_NEXT, "pagedown"},      {VK_END, "end"},           {VK_HOME, "home"},
    {VK_LEFT, "left"},        {VK_UP, "up"},              {VK_RIGHT, "right"},       {VK_DOWN, "down"},
    {VK_SNAPSHOT, "prntscreen"}, {VK_INSERT, "insert"},   {VK_DELETE, "delete"},     {VK_MULTIPLY, "multiply"},
    {VK_ADD, "add"},          {VK_SUBTRACT, "subtract"},  {VK_DECIMAL, "decimal"},   {VK_DIVIDE, "divide"},
    {VK_LSHIFT, "lshift"},    {VK_RSHIFT, "rshift"},      {VK_LCONTROL, "lcontrol"}, {VK_RCONTROL, "rcontrol"},
    {VK_LMENU, "lalt"},       {VK_RMENU, "ralt"},
};

// A read-only folder or a full disk must not stop the shutdown, but the
// player learns that his settings were not kept: in the event log, in
// outlog.txt when that can be written, and on the terminal, since the
// window is closing. Once for failures in a row: the shutdown may save twice.
std::string reported_failure;

void ReportSaveFailure(const std::string& file_name, int error) {
  if (reported_failure == file_name) return;
  reported_failure = file_name;
  const std::string line = file_name + " could not be written (" + std::strerror(error) + "): settings not saved";
  LogLine(line);
  std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

void ApplyConfigLine(const std::string& line) {
  // Nothing is trimmed: "name = Bob" has the key "name " and sets nothing.
  const size_t eq = line.find('=');
  const std::string key = line.substr(0, eq);
  const std::string value = (eq == std::string::npos) ? std::string() : line.substr(eq + 1);
  for (const SettingRule& rule : kSettings) {
    if (key == rule.key) {
      Apply(rule, value);
      // Each factor leaves its start value only once its own setting is read.
      if (rule.target == &cfg.ms) cfg.mouse_factor = cfg.ms / 200.0f;
      if (rule.target == &cfg.sv) cfg.volume_factor = cfg.sv / 200.0f;
      return;
    }
  }
}

void LoadConfig(const std::string& file_name) {
  std::ifstream in(file_name, std::ios::binary);
  if (!in) return;  // no file: every setting keeps its default
  std::string line;
  while (ReadLine(in, line)) ApplyConfigLine(line);
}

void SaveConfig(const std::string& file_name) {
  FILE* f = std::fopen(file_name.c_str(), "wb");
  if (!f) {
    ReportSaveFailure(file_name, errno);
    return;
  }
  const std::string address = cfg.server_address;
  const uint16_t port = cfg.server_port;
  ServerToSave(cfg.server_address, cfg.server_port);
  bool written = true;
  for (const SettingRule& rule : kSettings) {
    const std::string line = std::string(rule.key) + "=" + Format(rule) + "\r\n";
    written = std::fwrite(line.data(), 1, line.size(), f) == line.size() && written;
  }
  int error = written ? 0 : errno;
  if (std::fclose(f) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written) reported_failure.clear();
  if (!written) ReportSaveFailure(file_name, error);
  cfg.server_address = address;
  cfg.server_port = port;
}

void BuildKeyNames() {
  for (int i = 0; i < 256; ++i) key_names[i] = std::string(1, static_cast<char>(i));
  for (const KeyName& k : kKeyNames) key_names[k.code] = k.name;
  // Formatted rather than "numpad" + std::to_string(i): g++ 12 at -O3 warns
  // wrongly (-Wrestrict) about string concatenation here.
  char name[16];
  for (int i = 0; i <= 9; ++i) {
    std::snprintf(name, sizeof name, "numpad%d", i);
    key_names[VK_NUMPAD0 + i] = name;
  }
  for (int i = 1; i <= 12; ++i) {
    std::snprintf(name, sizeof name, "f%d", i);
    key_names[VK_F1 - 1 + i] = name;
  }
}
