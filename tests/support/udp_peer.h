// A UDP socket on 127.0.0.1 with a port of its own: a client of the server
// under test, a stand-in server for the client, one side of a relay.
#pragma once

#include <netinet/in.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

class UdpPeer {
 public:
  // Non-blocking, with room for bursts while a test is busy; bound to
  // 127.0.0.1 or another loopback address, for a sender of its own.
  explicit UdpPeer(const char* address = "127.0.0.1");
  ~UdpPeer();
  UdpPeer(const UdpPeer&) = delete;
  UdpPeer& operator=(const UdpPeer&) = delete;

  uint16_t port() const { return port_; }
  int fd() const { return fd_; }
  void sendTo(uint16_t port, const std::string& bytes) const;
  void sendTo(const sockaddr_in& to, const void* data, size_t len) const;
  // One datagram into data, waiting up to timeout_ms: its length, -1 when none came.
  int receiveInto(void* data, size_t cap, int timeout_ms = 0, sockaddr_in* from = nullptr) const;
  // The next datagram within timeout_ms, "" when none came.
  std::string receive(int timeout_ms = 0, uint16_t* from_port = nullptr) const;
  // Every datagram waiting now, oldest first; with a code, only those starting with it.
  std::vector<std::string> drain(int code = -1) const;

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

sockaddr_in LoopbackAddress(uint16_t port);

// Whether a datagram waits unread in the UDP socket bound to this port, as
// the kernel's table of this network namespace shows it: a test sees its
// datagram reach a socket it does not own without taking it.
bool DatagramWaiting(uint16_t port);
// The local port of the one UDP socket a process holds, 0 while it has none.
uint16_t UdpPortOf(pid_t pid);
