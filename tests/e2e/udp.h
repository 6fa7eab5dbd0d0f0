// Plain loopback UDP sockets for test peers.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

class UdpSocket {
 public:
  UdpSocket();  // bound to 127.0.0.1 on a free port, non-blocking
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  uint16_t port() const { return port_; }
  int fd() const { return fd_; }
  void sendTo(uint16_t port, const void* data, size_t len);
  void sendTo(const sockaddr_in& to, const void* data, size_t len);
  // One datagram if one is waiting; -1 otherwise.
  int receive(void* data, size_t cap, sockaddr_in* from = nullptr);

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

sockaddr_in LoopbackAddress(uint16_t port);
