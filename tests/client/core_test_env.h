// Shared fixture and helpers for the client core tests: every case runs in
// its own temporary working directory with the client state, labels and
// headless window as at program start.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "client/core/frame.h"

// Bytes of one datagram, built with the wire encodings.
class Datagram {
 public:
  Datagram& byte(uint8_t v) {
    bytes_.push_back(static_cast<char>(v));
    return *this;
  }
  Datagram& word(uint16_t v) { return byte(static_cast<uint8_t>(v & 0xFF)).byte(static_cast<uint8_t>(v >> 8)); }
  Datagram& str(const std::string& s) {
    byte(static_cast<uint8_t>(s.size()));
    bytes_ += s;
    return *this;
  }
  Datagram& raw(const std::string& s) {
    bytes_ += s;
    return *this;
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// One message-log line: the event code and its argument bytes, then text.
std::string EventLine(std::initializer_list<uint8_t> codes, const std::string& text = "");

// Hands a datagram to the client as if the socket had just received it.
void Deliver(const std::string& bytes, const std::string& sender = "127.0.0.1");

// A snapshot entry for one player.
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

// The stored map text of a map made of these rows (header "000000").
std::string MapText(const std::vector<std::string>& rows, const std::string& header = "000000");
// Puts map text into the client's map table and decodes it.
void LoadMap(const std::string& text);

std::string ReadFile(const std::string& path);
void SleepMs(int ms);
bool FileExists(const std::string& path);

class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string dir_;
  std::string old_cwd_;
};

// A UDP socket on 127.0.0.1 that plays the server's side in protocol tests.
class FakePeer {
 public:
  FakePeer();
  ~FakePeer();
  uint16_t port() const { return port_; }
  // The port the last datagram received came from.
  uint16_t sender_port() const { return sender_port_; }
  // The next datagram within the time limit, or "" when none came.
  std::string Receive(int timeout_ms = 1000);
  // Every datagram already waiting.
  std::vector<std::string> Drain();
  void SendTo(uint16_t port, const std::string& bytes);

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
  uint16_t sender_port_ = 0;
};

// One of the real programs from the build directory, started in the current
// working directory with its output in a file; killed when the object goes.
class ChildProgram {
 public:
  ChildProgram() = default;
  ~ChildProgram() { Kill(); }
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;
  static std::string PathOf(const std::string& name);  // in the build directory
  bool Start(const std::string& name, const std::vector<std::string>& args, const std::string& output_file);
  // The exit status, or -1 when it did not end within the time limit (it is
  // then killed).
  int Wait(int seconds);
  void Kill();

 private:
  int pid_ = -1;
};

// Runs the client's frames until pred() holds or the frame limit is reached;
// sleeps a little between frames so datagrams can travel.
template <typename Pred>
bool FramesUntil(Pred pred, int max_frames = 400) {
  for (int i = 0; i < max_frames; ++i) {
    ClientFrame();
    if (pred()) return true;
    SleepMs(5);
  }
  return false;
}
