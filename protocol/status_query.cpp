#include "protocol/status_query.h"

#include <cstring>

namespace {

// Bounded writing into a buffer known to be STATUS_ANSWER_LIMIT long.
struct Writer {
  uint8_t* out;
  size_t pos = 0;
  void byte(uint8_t v) { out[pos++] = v; }
  void word(uint16_t v) {
    byte(static_cast<uint8_t>(v & 0xFF));
    byte(static_cast<uint8_t>(v >> 8));
  }
  void text(const ShortStr& s, uint8_t limit) {
    const uint8_t n = s.len < limit ? s.len : limit;
    byte(n);
    std::memcpy(out + pos, s.ch, n);
    pos += n;
  }
};

// Reading that fails, rather than inventing bytes, at the end of the datagram.
struct Reader {
  const uint8_t* in;
  size_t length;
  size_t pos = 0;
  bool ok = true;
  uint8_t byte() {
    if (pos >= length) {
      ok = false;
      return 0;
    }
    return in[pos++];
  }
  uint16_t word() {
    const uint8_t low = byte();
    return static_cast<uint16_t>(low | (byte() << 8));
  }
  void text(ShortStr& s, uint8_t limit) {
    const uint8_t n = byte();
    if (!ok || n > limit || length - pos < n) {
      ok = false;
      s.clear();
      return;
    }
    s.assign(std::string_view(reinterpret_cast<const char*>(in + pos), n));
    pos += n;
  }
};

void writeHeader(Writer& w, uint8_t code, uint32_t token) {
  w.byte(code);
  for (char c : STATUS_MAGIC) w.byte(static_cast<uint8_t>(c));
  w.byte(STATUS_FORMAT);
  for (int i = 0; i < 4; ++i) w.byte(static_cast<uint8_t>(token >> (8 * i)));
}

bool headerIs(const uint8_t* bytes, size_t length, uint8_t code) {
  return length >= STATUS_HEADER_SIZE && bytes[0] == code && std::memcmp(bytes + 1, STATUS_MAGIC, 4) == 0 &&
         bytes[5] == STATUS_FORMAT;
}

uint32_t headerToken(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[6]) | static_cast<uint32_t>(bytes[7]) << 8 |
         static_cast<uint32_t>(bytes[8]) << 16 | static_cast<uint32_t>(bytes[9]) << 24;
}

}  // namespace

void WriteStatusQuery(uint32_t token, uint8_t (&out)[STATUS_QUERY_SIZE]) {
  std::memset(out, 0, sizeof out);
  Writer w{out};
  writeHeader(w, MSG_STATUSQUERY, token);
}

bool ReadStatusQuery(const uint8_t* bytes, size_t kept, size_t length, uint32_t& token) {
  if (length < STATUS_QUERY_SIZE || !headerIs(bytes, kept, MSG_STATUSQUERY)) return false;
  token = headerToken(bytes);
  return true;
}

size_t WriteStatusAnswer(const ServerStatus& s, uint8_t* out) {
  Writer w{out};
  writeHeader(w, MSG_STATUSANSWER, s.token);
  w.text(s.name, STATUS_NAME_LIMIT);
  w.text(s.map, STATUS_MAP_LIMIT);
  w.byte(s.team_play);
  w.byte(s.score_limit);
  w.byte(s.players);
  w.byte(s.max_players);
  w.byte(s.countdown_seconds);
  w.text(s.version, STATUS_VERSION_LIMIT);
  w.byte(s.protocol);
  const uint8_t count = s.entry_count < MAX_SLOTS ? s.entry_count : MAX_SLOTS;
  w.byte(count);
  for (uint8_t i = 0; i < count; ++i) {
    const StatusPlayer& p = s.entries[i];
    w.text(p.name, STATUS_PLAYER_NAME_LIMIT);
    w.byte(p.team);
    w.byte(p.frags);
    w.word(p.ping_ms);
    w.byte(p.bot);
  }
  return w.pos;
}

bool ReadStatusAnswer(const uint8_t* bytes, size_t length, ServerStatus& s) {
  if (length > STATUS_ANSWER_LIMIT || !headerIs(bytes, length, MSG_STATUSANSWER)) return false;
  Reader r{bytes, length, STATUS_HEADER_SIZE};
  s.token = headerToken(bytes);
  r.text(s.name, STATUS_NAME_LIMIT);
  r.text(s.map, STATUS_MAP_LIMIT);
  s.team_play = r.byte();
  s.score_limit = r.byte();
  s.players = r.byte();
  s.max_players = r.byte();
  s.countdown_seconds = r.byte();
  r.text(s.version, STATUS_VERSION_LIMIT);
  s.protocol = r.byte();
  s.entry_count = r.byte();
  if (!r.ok || s.entry_count > MAX_SLOTS) return false;
  for (uint8_t i = 0; i < s.entry_count && r.ok; ++i) {
    StatusPlayer& p = s.entries[i];
    r.text(p.name, STATUS_PLAYER_NAME_LIMIT);
    p.team = r.byte();
    p.frags = r.byte();
    p.ping_ms = r.word();
    p.bot = r.byte();
  }
  return r.ok && r.pos == length;
}
