// Shared helpers of the server spine tests: a UDP peer on loopback, message
// builders and parsers written from the wire layouts, and a fixture that
// starts the real server in this process.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "protocol/protocol.h"
#include "server/core/console.h"
#include "server/core/maps.h"
#include "server/core/msglog.h"
#include "server/core/settings.h"
#include "server/core/startup.h"
#include "server/net/netproto.h"
#include "server/net/sessions.h"
#include "server/net/udp.h"
#include "server/sim/world.h"

namespace spine {

using Bytes = std::string;

inline void putWord(Bytes& b, uint16_t v) {
  b.push_back(static_cast<char>(v & 0xFF));
  b.push_back(static_cast<char>(v >> 8));
}
inline void putString(Bytes& b, const std::string& s) {
  b.push_back(static_cast<char>(s.size()));
  b += s;
}

inline Bytes connectMessage(const std::string& name, uint8_t team = 0, uint8_t version = PROTOCOL_VERSION) {
  Bytes b(1, static_cast<char>(MSG_CONNECT));
  b.push_back(static_cast<char>(version));
  putString(b, name);
  b.push_back(static_cast<char>(team));
  return b;
}

inline Bytes inputMessage(uint16_t tick, uint16_t dir, uint8_t action, uint16_t x, uint16_t y, uint16_t ack) {
  Bytes b(1, static_cast<char>(MSG_INPUT));
  putWord(b, tick);
  putWord(b, dir);
  b.push_back(static_cast<char>(action));
  putWord(b, x);
  putWord(b, y);
  putWord(b, ack);
  return b;
}

inline Bytes chatMessage(const std::string& text) {
  Bytes b(1, static_cast<char>(MSG_CHAT));
  putString(b, text);
  return b;
}

inline uint16_t wordAt(const Bytes& b, size_t i) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[i]) | (static_cast<uint8_t>(b[i + 1]) << 8));
}
inline uint8_t byteAt(const Bytes& b, size_t i) { return static_cast<uint8_t>(b[i]); }

struct LogBatch {
  uint16_t last = 0;
  std::vector<std::string> lines;
};

inline LogBatch parseLog(const Bytes& b) {
  LogBatch out;
  EXPECT_EQ(byteAt(b, 0), MSG_LOG);
  out.last = wordAt(b, 1);
  size_t n = byteAt(b, 3);
  size_t p = 4;
  for (size_t i = 0; i < n && p < b.size(); ++i) {
    size_t len = byteAt(b, p);
    out.lines.push_back(b.substr(p + 1, len));
    p += 1 + len;
  }
  EXPECT_EQ(p, b.size());
  return out;
}

// A client socket bound to an ephemeral loopback port. Loopback delivery is
// immediate, so whatever the server sent in a tick is waiting right after it.
class UdpPeer {
 public:
  UdpPeer() {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t size = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size);
    port_ = ntohs(a.sin_port);
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL, 0) | O_NONBLOCK);
    int big = 1 << 20;
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
  }
  ~UdpPeer() { close(fd_); }
  UdpPeer(const UdpPeer&) = delete;
  UdpPeer& operator=(const UdpPeer&) = delete;

  uint16_t port() const { return port_; }
  void send(const Bytes& bytes) const {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(NET_PORT);
    sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  }
  // Every datagram waiting now, oldest first.
  std::vector<Bytes> drain() const {
    std::vector<Bytes> out;
    char buf[6000];
    ssize_t n;
    while ((n = recv(fd_, buf, sizeof buf, 0)) >= 0) out.emplace_back(buf, static_cast<size_t>(n));
    return out;
  }
  // Waiting datagrams whose first byte is the given code.
  std::vector<Bytes> drainCode(uint8_t code) const {
    std::vector<Bytes> out;
    for (auto& d : drain())
      if (!d.empty() && byteAt(d, 0) == code) out.push_back(d);
    return out;
  }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// Counts of the slots' own flags, which the server's counters must equal.
struct SlotCounts {
  int clients = 0, players = 0, bots = 0;
};
inline SlotCounts countSlots() {
  SlotCounts n;
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& c = SV_CLIENTSLIST[s];
    if (!c.in_use) continue;
    ++n.clients;
    n.players += c.joined;
    n.bots += c.is_bot;
  }
  return n;
}

inline void expectCountersMatchSlots() {
  SlotCounts n = countSlots();
  EXPECT_EQ(SV_CURCLIENTS, n.clients);
  EXPECT_EQ(SV_CURPLAYERS, n.players);
  EXPECT_EQ(SV_BOTC, n.bots);
}

inline ShortStr line(std::initializer_list<uint8_t> head, const std::string& text = "") {
  ShortStr s;
  for (uint8_t b : head) s.push(static_cast<char>(b));
  s.append(text);
  return s;
}

// Every test starts from a freshly reset server whose console goes to a
// temporary file; startServer runs the real start-up on a port the system
// picks, so tests never collide on ports.
class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SV_RESETALL();
    console_ = std::tmpfile();
    CON_SETOUTPUT(console_);
  }
  void TearDown() override {
    SV_RESETALL();
    std::fclose(console_);
  }

  void startServer(std::vector<std::string> args = {}) {
    std::vector<std::string> all = {"vornaxdm_server", "-port", "0"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    ASSERT_TRUE(GAMESTART(static_cast<int>(argv.size()), argv.data()));
  }

  // Everything the console has shown since the start of the test.
  std::string consoleText() {
    std::fflush(console_);
    std::string out;
    std::rewind(console_);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, console_)) > 0) out.append(buf, n);
    std::fseek(console_, 0, SEEK_END);
    return out;
  }

  void ticks(int n) {
    for (int i = 0; i < n; ++i) GAMECYCLE();
  }

  // Connects a peer and returns its slot.
  uint8_t connect(const UdpPeer& peer, const std::string& name, uint8_t team = 0) {
    peer.send(connectMessage(name, team));
    GAMECYCLE();
    return slotOf(peer);
  }

  static uint8_t slotOf(const UdpPeer& peer) {
    for (int s = 1; s <= MAX_SLOTS; ++s) {
      const ClientRecord& c = SV_CLIENTSLIST[s];
      if (c.in_use && !c.is_bot && c.port == peer.port() && c.address == "127.0.0.1") return static_cast<uint8_t>(s);
    }
    return 0;
  }

  std::FILE* console_ = nullptr;
};

// Runs the test body inside a fresh temporary directory (maps/ lives there).
class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/vornax_spine_XXXXXX";
    path_ = mkdtemp(tmpl);
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
    std::filesystem::create_directory("maps");
  }
  ~TempDir() {
    std::filesystem::current_path(old_);
    std::filesystem::remove_all(path_);
  }
  void writeMap(const std::string& name, const std::string& content) const {
    std::FILE* f = std::fopen(("maps/" + name + ".vnxm").c_str(), "wb");
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
  }

 private:
  std::filesystem::path path_, old_;
};

}  // namespace spine
