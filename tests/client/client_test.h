// The client under test, in this process: every case runs in a temporary
// working directory (with sprites/ and sounds/) and starts from the client
// state, labels and headless window as at program start. Datagrams, maps,
// and BMP and WAV files are built byte by byte.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "client/core/client_state.h"
#include "client/core/bmp_writer.h"
#include "client/core/connection.h"
#include "client/core/event_log.h"
#include "client/core/input.h"
#include "client/core/labels.h"
#include "client/core/menu_model.h"
#include "client/core/screenshot.h"
#include "client/core/session.h"
#include "client/frame/frame.h"
#include "client/presentation/platform_headless.h"
#include "protocol/messages.h"
#include "support/process.h"
#include "support/udp_peer.h"
#include "support/wire.h"

class ClientTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::unique_ptr<TempDir> dir_;
};

// Hands a datagram to the client as if its socket had just received it,
// by default from the server's port.
void Deliver(const std::string& bytes, const std::string& sender = "127.0.0.1", int sender_port = -1);

// The stand-in server at `server` speaks only 28, as the design's server
// does: its answer to our version-29 connect is put in the client's socket
// at once, so the client falls back to 28 in the frame that reads it.
void SpeakOnly28(const UdpPeer& server);

// A version-29 connect as the client sent it: 'f' 29 name team nonce
// cookie, padded to 64 bytes. `ok` is false for anything else.
struct Connect29 {
  bool ok = false;
  std::string name;
  uint8_t team = 0;
  uint64_t nonce = 0, cookie = 0;
};
Connect29 ParseConnect29(const std::string& datagram);
// The stand-in server's side of the version-29 handshake with the client,
// frame by frame: the connect is answered with a challenge, the connect
// with the cookie with a welcome handing out `token` and `slot`, and a
// snapshot with the token makes the client connected. The client's nonce.
uint64_t Handshake29(const UdpPeer& server, uint64_t token, uint8_t slot = 1);
// The message code and the token, the head of every session message of 29.
std::string Tokened(uint8_t code, uint64_t token);

// A snapshot entry for one player, and the receiver's own block.
struct SnapEntry {
  uint8_t slot, state, ping = 1, frags = 0;
  uint16_t x = 0, y = 0, dir = 0;
  uint8_t gun = 2;
};
struct OwnBlock {
  uint8_t slot = 1, health = 100, armor = 0, ammo1 = 25, ammo2 = 0, gun = 2;
};
std::string Snapshot(uint16_t tick, const std::vector<SnapEntry>& entries, const std::vector<uint8_t>& items = {},
                     OwnBlock own = {}, uint16_t countdown = 0);

// The same snapshot in version 29: the token after the code and the number
// of the newest input applied after the own block.
std::string Snapshot29(uint64_t token, uint16_t tick, const std::vector<SnapEntry>& entries, OwnBlock own = {},
                       uint16_t applied = 0);

// The stored text of a map of these rows; LoadMap puts it into the client's
// map table and decodes it.
std::string MapText(const std::vector<std::string>& rows, const std::string& header = "000000");
void LoadMap(const std::string& text);

// The lines of a label's caption, split at CR.
std::vector<std::string> CaptionLines(const Label& label);

// How often the on-screen log holds this line; whether a line starts so.
int LogCount(const std::string& line);
bool LoggedStart(const std::string& start);

// `n` frames of the client.
void Frames(int n);

// Key presses as the window reports them; Tap presses and releases in one frame.
void Press(uint8_t key, uint8_t character = 0);
void Tap(uint8_t key, uint8_t character = 0);

using Bytes = std::vector<uint8_t>;
using PixelFn = std::function<uint32_t(int x, int y)>;  // 0x00RRGGBB, y = 0 at the top
inline PixelFn Solid(uint32_t colour) {
  return [colour](int, int) { return colour; };
}
// An uncompressed BMP of 24 or 32 bits per pixel, stored bottom-up as most
// painting programs write it; with a palette, 8 bits per pixel and the
// function gives the palette index.
Bytes BmpBytes(int w, int h, const PixelFn& pixel, int bits = 24, const std::vector<uint32_t>& palette = {});
// A PCM WAV: the 36-byte header with a 16-byte format chunk, optional extra
// chunks, then the data chunk.
Bytes WavBytes(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& samples, const std::vector<Bytes>& chunks = {});
Bytes Chunk(const std::string& name, const Bytes& body);
