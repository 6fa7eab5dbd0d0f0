#include "e2e/udp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

sockaddr_in LoopbackAddress(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

UdpSocket::UdpSocket() {
  fd_ = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a = LoopbackAddress(0);
  bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
  int big = 1 << 20;  // room for bursts of snapshots while a test thread is busy
  setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
}

UdpSocket::~UdpSocket() {
  if (fd_ >= 0) close(fd_);
}

void UdpSocket::sendTo(uint16_t port, const void* data, size_t len) { sendTo(LoopbackAddress(port), data, len); }

void UdpSocket::sendTo(const sockaddr_in& to, const void* data, size_t len) {
  sendto(fd_, data, len, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

int UdpSocket::receive(void* data, size_t cap, sockaddr_in* from) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  ssize_t n = recvfrom(fd_, data, cap, 0, reinterpret_cast<sockaddr*>(&a), &len);
  if (from) *from = a;
  return n < 0 ? -1 : static_cast<int>(n);
}
