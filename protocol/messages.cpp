#include "protocol/messages.h"

#include "protocol/status_query.h"

Sender SenderOfCode(uint8_t code) {
  switch (code) {
    case MSG_CONNECT:
    case MSG_DISCONNECT:
    case MSG_INPUT:
    case MSG_CHAT:
    case MSG_STATUSQUERY: return Sender::Client;
    case MSG_GAMEINFO:
    case MSG_LOG:
    case MSG_SNAPSHOT:
    case MSG_NOTCONNECTED:
    case MSG_BADVERSION:
    case MSG_SERVERFULL:
    case MSG_CHALLENGE:
    case MSG_WELCOME:
    case MSG_STATUSANSWER: return Sender::Server;
    default: return Sender::Nobody;
  }
}

void WriteHead(MessageBuffer& b, uint8_t code, const WireSession& session) {
  b.writeByte(code);
  if (session.tokened()) b.writeQuad(session.token);
}

// ---- connecting ----

void WriteConnect(MessageBuffer& b, const ConnectMsg& m) {
  b.writeByte(MSG_CONNECT);
  b.writeByte(m.version);
  b.writeString(m.name);
  b.writeByte(m.team);
  if (m.version < PROTOCOL_SESSIONS) return;
  b.writeQuad(m.nonce);
  b.writeQuad(m.cookie);
  b.padTo(CONNECT29_SIZE);
}

bool ReadConnect(MessageBuffer& b, ConnectMsg& m) {
  m.version = b.readByte();
  b.readString(m.name);
  m.team = b.readByte();
  if (m.version != PROTOCOL_SESSIONS) return true;  // 28 reads a short connect as zeros
  m.nonce = b.readQuad();
  m.cookie = b.readQuad();
  return !b.bad_read && b.end >= CONNECT29_SIZE;
}

void WriteChallenge(MessageBuffer& b, uint64_t nonce, uint64_t cookie) {
  b.writeByte(MSG_CHALLENGE);
  b.writeQuad(nonce);
  b.writeQuad(cookie);
}

bool ReadChallenge(MessageBuffer& b, uint64_t& nonce, uint64_t& cookie) {
  nonce = b.readQuad();
  cookie = b.readQuad();
  return !b.bad_read;
}

void WriteWelcome(MessageBuffer& b, uint64_t nonce, uint64_t token, uint8_t slot) {
  b.writeByte(MSG_WELCOME);
  b.writeQuad(nonce);
  b.writeQuad(token);
  b.writeByte(slot);
}

bool ReadWelcome(MessageBuffer& b, uint64_t& nonce, uint64_t& token, uint8_t& slot) {
  nonce = b.readQuad();
  token = b.readQuad();
  slot = b.readByte();
  return !b.bad_read;
}

void WriteServerFull(MessageBuffer& b, uint8_t version, uint64_t nonce) {
  b.writeByte(MSG_SERVERFULL);
  if (version >= PROTOCOL_SESSIONS) b.writeQuad(nonce);
}

void WriteBadVersion(MessageBuffer& b, uint8_t server_version) {
  b.writeByte(MSG_BADVERSION);
  b.writeByte(server_version);
}

void WriteNotConnected(MessageBuffer& b, uint8_t version, uint64_t token) {
  b.writeByte(MSG_NOTCONNECTED);
  if (version >= PROTOCOL_SESSIONS) b.writeQuad(token);
}

// ---- client to server ----

namespace {

void WriteFrame(MessageBuffer& b, const InputFrame& f) {
  b.writeWord(f.tick_echo);
  b.writeWord(f.dir);
  b.writeByte(f.action);
  b.writeWord(f.want_x);
  b.writeWord(f.want_y);
}

void ReadFrame(MessageBuffer& b, InputFrame& f) {
  f.tick_echo = b.readWord();
  f.dir = b.readWord();
  f.action = b.readByte();
  f.want_x = b.readWord();
  f.want_y = b.readWord();
}

}  // namespace

void WriteInput28(MessageBuffer& b, const InputFrame& f, uint16_t log_ack) {
  b.writeByte(MSG_INPUT);
  WriteFrame(b, f);
  b.writeWord(log_ack);
}

void ReadInput28(MessageBuffer& b, InputFrame& f, uint16_t& log_ack) {
  ReadFrame(b, f);
  log_ack = b.readWord();
}

void WriteInput29(MessageBuffer& b, uint64_t token, const Input29& m) {
  WriteHead(b, MSG_INPUT, WireSession{PROTOCOL_SESSIONS, token});
  b.writeWord(m.log_ack);
  b.writeWord(m.sequence);
  const uint8_t count = m.count <= INPUTS_PER_DATAGRAM ? m.count : INPUTS_PER_DATAGRAM;
  b.writeByte(count);
  for (uint8_t k = 0; k < count; ++k) WriteFrame(b, m.frames[k]);
}

bool ReadInput29(MessageBuffer& b, Input29& m) {
  m.log_ack = b.readWord();
  m.sequence = b.readWord();
  m.count = b.readByte();
  if (m.count < 1 || m.count > INPUTS_PER_DATAGRAM) return false;
  for (uint8_t k = 0; k < m.count; ++k) ReadFrame(b, m.frames[k]);
  return !b.bad_read;
}

void WriteChat(MessageBuffer& b, const WireSession& session, const ShortStr& text) {
  WriteHead(b, MSG_CHAT, session);
  b.writeString(text);
}

void ReadChat(MessageBuffer& b, ShortStr& text) { b.readString(text); }

void WriteDisconnect(MessageBuffer& b, const WireSession& session) { WriteHead(b, MSG_DISCONNECT, session); }

// ---- server to client ----

void WriteSnapshotHead(MessageBuffer& b, const WireSession& session, uint16_t tick) {
  WriteHead(b, MSG_SNAPSHOT, session);
  b.writeWord(tick);
}

void WriteSnapshotCountdown(MessageBuffer& b, uint16_t countdown, uint8_t entry_count) {
  b.writeWord(countdown);
  b.writeByte(entry_count);
}

void WriteSnapshotEntry(MessageBuffer& b, const SnapshotEntry& e) {
  b.writeByte(e.slot);
  b.writeByte(e.state);
  b.writeByte(e.ping);
  if (e.state >= PS_DEAD) b.writeByte(e.frags);
  if (e.state >= PS_ALIVE) {
    b.writeWord(e.x);
    b.writeWord(e.y);
    b.writeWord(e.dir);
  }
  if (e.state >= PS_FIRING) b.writeByte(e.gun);
}

void WriteSnapshotItems(MessageBuffer& b, const uint8_t* items, uint8_t count) {
  b.writeByte(count);
  for (uint8_t i = 0; i < count; ++i) b.writeByte(items[i]);
}

void WriteSnapshotTail(MessageBuffer& b, uint8_t version, const SnapshotTail& t) {
  b.writeByte(t.slot);
  b.writeByte(t.health);
  b.writeByte(t.armor);
  b.writeByte(t.ammo1);
  b.writeByte(t.ammo2);
  b.writeByte(t.gun);
  if (version >= PROTOCOL_SESSIONS) b.writeWord(t.applied_sequence);
}

void ReadSnapshotHead(MessageBuffer& b, uint16_t& tick, uint16_t& countdown, uint8_t& entry_count) {
  tick = b.readWord();
  countdown = b.readWord();
  entry_count = b.readByte();
}

void ReadSnapshotEntry(MessageBuffer& b, SnapshotEntry& e) {
  e = SnapshotEntry{};
  e.slot = b.readByte();
  e.state = b.readByte();
  e.ping = b.readByte();
  // The state says which fields follow; a state out of range is read as the
  // nearest one, so the fields line up as the sender wrote them.
  const uint8_t shape = e.state < PS_SPECTATOR ? PS_SPECTATOR : (e.state > PS_FIRING ? PS_FIRING : e.state);
  if (shape >= PS_DEAD) e.frags = b.readByte();
  if (shape >= PS_ALIVE) {
    e.x = b.readWord();
    e.y = b.readWord();
    e.dir = b.readWord();
  }
  if (shape >= PS_FIRING) e.gun = b.readByte();
}

uint8_t ReadSnapshotItemCount(MessageBuffer& b) { return b.readByte(); }

void ReadSnapshotTail(MessageBuffer& b, uint8_t version, SnapshotTail& t) {
  t.slot = b.readByte();
  t.health = b.readByte();
  t.armor = b.readByte();
  t.ammo1 = b.readByte();
  t.ammo2 = b.readByte();
  t.gun = b.readByte();
  t.applied_sequence = version >= PROTOCOL_SESSIONS ? b.readWord() : 0;
}

void WriteGameInfoHead(MessageBuffer& b, const WireSession& session, uint16_t log_index, const uint8_t* map_text,
                       size_t map_length) {
  WriteHead(b, MSG_GAMEINFO, session);
  b.writeWord(log_index);
  for (size_t i = 0; i < map_length && map_text[i] != 0; ++i) b.writeByte(map_text[i]);
  b.writeByte(0);
}

void WriteGameInfoSettings(MessageBuffer& b, const GameInfoSettings& s) {
  b.writeString(s.map_name);
  b.writeString(s.server_name);
  b.writeByte(s.score_limit);
  b.writeByte(s.team_play);
  b.writeByte(s.max_players);
  b.writeByte(s.slot_count);
}

void WriteGameInfoPlayer(MessageBuffer& b, const GameInfoPlayer& p) {
  b.writeByte(p.slot);
  b.writeByte(p.team);
  b.writeString(p.name);
}

void ReadGameInfoHead(MessageBuffer& b, uint16_t& log_index, uint8_t* map_text, size_t capacity) {
  log_index = b.readWord();
  size_t kept = 0;
  // Past the buffer's end every read is 0, so the loop always ends.
  for (;;) {
    const uint8_t c = b.readByte();
    if (kept + 1 < capacity) map_text[kept++] = c;
    if (c == 0) break;
  }
  if (capacity > 0) map_text[kept < capacity ? kept : capacity - 1] = 0;
}

void ReadGameInfoSettings(MessageBuffer& b, GameInfoSettings& s) {
  b.readString(s.map_name);
  b.readString(s.server_name);
  s.score_limit = b.readByte();
  s.team_play = b.readByte();
  s.max_players = b.readByte();
  s.slot_count = b.readByte();
}

void ReadGameInfoPlayer(MessageBuffer& b, GameInfoPlayer& p) {
  p.slot = b.readByte();
  p.team = b.readByte();
  b.readString(p.name);
}

void WriteLogHead(MessageBuffer& b, const WireSession& session, uint16_t last_index, uint8_t count) {
  WriteHead(b, MSG_LOG, session);
  b.writeWord(last_index);
  b.writeByte(count);
}

void WriteLogLine(MessageBuffer& b, const ShortStr& line) { b.writeString(line); }

void ReadLogHead(MessageBuffer& b, uint16_t& last_index, uint8_t& count) {
  last_index = b.readWord();
  count = b.readByte();
}

void ReadLogLine(MessageBuffer& b, ShortStr& line) { b.readString(line); }
