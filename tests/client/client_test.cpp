#include "client_test.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "client/core/world.h"
#include "client/presentation/assets.h"

// Sound tests need a device but no sound card: OpenAL Soft's null output,
// chosen before anything opens a device.
static const int null_audio_output = setenv("ALSOFT_DRIVERS", "null", 0);

void ClientTest::SetUp() {
  (void)null_audio_output;
  dir_ = std::make_unique<TempDir>(true);
  std::filesystem::create_directory("sprites");
  std::filesystem::create_directory("sounds");
  CloseNetwork();
  HeadlessReset();
  ResetClient();
  timer1_enabled = false;
}

void ClientTest::TearDown() {
  CloseNetwork();
  dir_.reset();
}

void Deliver(const std::string& bytes, const std::string& sender, int sender_port) {
  client_buf.clear();
  const size_t length = std::min<size_t>(bytes.size(), MessageBuffer::kSize);
  std::memcpy(client_buf.receiveArea(), bytes.data(), length);
  client_buf.received(static_cast<uint16_t>(length));
  HandleDatagram(sender, sender_port < 0 ? cfg.server_port : static_cast<uint16_t>(sender_port));
}

void SpeakOnly28(const UdpPeer& server) {
  server.sendTo(local_port, Datagram().byte(MSG_BADVERSION).byte(PROTOCOL_VERSION));
}

std::string Snapshot(uint16_t tick, const std::vector<SnapEntry>& entries, const std::vector<uint8_t>& items,
                     OwnBlock own, uint16_t countdown) {
  Datagram d;
  d.byte(MSG_SNAPSHOT).word(tick).word(countdown).byte(static_cast<uint8_t>(entries.size()));
  for (const SnapEntry& e : entries) {
    d.byte(e.slot).byte(e.state).byte(e.ping);
    if (e.state >= PS_DEAD) d.byte(e.frags);
    if (e.state >= PS_ALIVE) d.word(e.x).word(e.y).word(e.dir);
    if (e.state >= PS_FIRING) d.byte(e.gun);
  }
  d.byte(static_cast<uint8_t>(items.size()));
  for (uint8_t i : items) d.byte(i);
  return d.byte(own.slot).byte(own.health).byte(own.armor).byte(own.ammo1).byte(own.ammo2).byte(own.gun);
}

std::string Snapshot29(uint64_t token, uint16_t tick, const std::vector<SnapEntry>& entries, OwnBlock own,
                       uint16_t applied) {
  return Tokened(MSG_SNAPSHOT, token) + Snapshot(tick, entries, {}, own).substr(1) + Datagram().word(applied).bytes();
}

std::string Tokened(uint8_t code, uint64_t token) { return Datagram().byte(code).quad(token); }

Connect29 ParseConnect29(const std::string& d) {
  Connect29 c;
  if (d.size() != 64 || d[0] != MSG_CONNECT || d[1] != 29) return c;
  const size_t name_length = static_cast<uint8_t>(d[2]);
  if (3 + name_length + 17 > d.size()) return c;
  c.name = d.substr(3, name_length);
  c.team = static_cast<uint8_t>(d[3 + name_length]);
  c.nonce = Field(d, 4 + name_length, 8);
  c.cookie = Field(d, 12 + name_length, 8);
  c.ok = d.find_first_not_of('\0', 20 + name_length) == std::string::npos;
  return c;
}

uint64_t Handshake29(const UdpPeer& server, uint64_t token, uint8_t slot) {
  constexpr uint64_t kCookie = 0xC00C1E5C00C1E5ULL;
  ClientFrame();
  const Connect29 first = ParseConnect29(server.receive(1000));
  EXPECT_TRUE(first.ok && first.cookie == 0);
  server.sendTo(local_port, Datagram().byte(MSG_CHALLENGE).quad(first.nonce).quad(kCookie));
  ClientFrame();
  Connect29 with_cookie;
  for (const std::string& d : server.drain()) with_cookie = ParseConnect29(d);
  EXPECT_EQ(with_cookie.cookie, kCookie);
  EXPECT_EQ(with_cookie.nonce, first.nonce);
  server.sendTo(local_port, Datagram().byte(MSG_WELCOME).quad(first.nonce).quad(token).byte(slot));
  server.sendTo(local_port, Snapshot29(token, 1, {}, OwnBlock{.slot = slot}));
  ClientFrame();
  EXPECT_EQ(conn_state, CS_CONNECTED);
  server.drain();
  return first.nonce;
}

std::string MapText(const std::vector<std::string>& rows, const std::string& header) {
  std::string text = header;
  for (size_t i = 0; i < rows.size(); ++i) text += (i ? "\r" : "") + rows[i];
  return text;
}

void LoadMap(const std::string& text) {
  std::memset(map_text, 0, sizeof map_text);
  std::memcpy(map_text + 1, text.data(), std::min<size_t>(text.size(), MAP_TEXT_SIZE - 1));
  ClearMap();
  DecodeMap();
}

std::vector<std::string> CaptionLines(const Label& label) {
  std::vector<std::string> out;
  std::istringstream in(label.caption + "\r");
  for (std::string line; std::getline(in, line, '\r');) out.push_back(line);
  return out;
}

int LogCount(const std::string& line) { return static_cast<int>(std::count(log_lines.begin(), log_lines.end(), line)); }

bool LoggedStart(const std::string& start) {
  return std::any_of(log_lines.begin(), log_lines.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; });
}

void Frames(int n) {
  for (int i = 0; i < n; ++i) ClientFrame();
}

void Press(uint8_t key, uint8_t character) {
  FormKeyDown(key);
  if (character != 0) FormKeyPress(character);
}

void Tap(uint8_t key, uint8_t character) {
  Press(key, character);
  ClientFrame();
  FormKeyUp(key);
}

namespace {
void Put16(Bytes& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
}  // namespace

Bytes BmpBytes(int w, int h, const PixelFn& pixel, int bits, const std::vector<uint32_t>& palette) {
  const int stride = (w * bits / 8 + 3) & ~3;
  const uint32_t offset = 54 + 4 * static_cast<uint32_t>(palette.size());
  Bytes b{'B', 'M'};
  for (uint32_t v : {offset + stride * h, 0u, offset, 40u, uint32_t(w), uint32_t(h)}) Put32(b, v);
  Put16(b, 1);
  Put16(b, static_cast<uint32_t>(bits));
  for (uint32_t v : {0u, uint32_t(stride * h), 2835u, 2835u, uint32_t(palette.size()), 0u}) Put32(b, v);
  for (uint32_t c : palette) Put32(b, c);
  for (int y = h - 1; y >= 0; --y) {
    const size_t row_start = b.size();
    for (int x = 0; x < w; ++x) {
      const uint32_t c = pixel(x, y);
      if (bits == 8) {
        b.push_back(static_cast<uint8_t>(c));
        continue;
      }
      for (int shift : {0, 8, 16}) b.push_back((c >> shift) & 0xFF);
      if (bits == 32) b.push_back(0);
    }
    b.resize(row_start + stride, 0);
  }
  return b;
}

Bytes WavBytes(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& samples, const std::vector<Bytes>& chunks) {
  Bytes b{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  Put32(b, 16);
  Put16(b, 1);
  Put16(b, channels);
  Put32(b, rate);
  Put32(b, rate * channels * bits / 8);
  Put16(b, static_cast<uint32_t>(channels * bits / 8));
  Put16(b, bits);
  for (const Bytes& chunk : chunks) b.insert(b.end(), chunk.begin(), chunk.end());
  const Bytes data = Chunk("data", samples);
  b.insert(b.end(), data.begin(), data.end());
  const uint32_t riff = static_cast<uint32_t>(b.size() - 8);
  for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<uint8_t>(riff >> (8 * i));
  return b;
}

Bytes Chunk(const std::string& name, const Bytes& body) {
  Bytes b(name.begin(), name.end());
  Put32(b, static_cast<uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}
