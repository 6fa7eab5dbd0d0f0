#include "client/core/session_udp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <random>

namespace {
int udp_fd = -1;
char sender_text[INET_ADDRSTRLEN] = "";
uint16_t sender_port = 0;
}  // namespace

UdpOpenResult UdpOpen() {
  UdpClose();
  udp_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (udp_fd < 0) return UdpOpenResult::SocketFailed;
  const int flags = ::fcntl(udp_fd, F_GETFL, 0);
  if (flags < 0 || ::fcntl(udp_fd, F_SETFL, flags | O_NONBLOCK) < 0) return UdpOpenResult::NonBlockingFailed;
  return UdpOpenResult::Ok;
}

bool UdpBind(uint16_t port) {
  if (udp_fd < 0) return false;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(port);
  return ::bind(udp_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
}

void UdpClose() {
  // The descriptor is forgotten at once, so a second close or a late send can
  // never reach a file that reused the number.
  if (udp_fd >= 0) ::close(udp_fd);
  udp_fd = -1;
}

int UdpReceive(uint8_t* data, int size) {
  if (udp_fd < 0) return -1;
  sockaddr_in from{};
  socklen_t from_size = sizeof from;
  const ssize_t n = ::recvfrom(udp_fd, data, static_cast<size_t>(size), 0, reinterpret_cast<sockaddr*>(&from),
                               &from_size);
  if (n < 0) return -1;
  if (!::inet_ntop(AF_INET, &from.sin_addr, sender_text, sizeof sender_text)) sender_text[0] = 0;
  sender_port = ntohs(from.sin_port);
  return static_cast<int>(n);
}

const char* UdpSenderAddress() { return sender_text; }

uint16_t UdpSenderPort() { return sender_port; }

void UdpSend(const std::string& address, uint16_t port, const uint8_t* data, int size) {
  if (udp_fd < 0) return;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1) return;
  // A failed send is simply lost, like any datagram.
  (void)::sendto(udp_fd, data, static_cast<size_t>(size), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

uint64_t SystemRandom64() {
  uint64_t value = 0;
  if (::getrandom(&value, sizeof value, 0) == static_cast<ssize_t>(sizeof value)) return value;
  // getrandom only fails on kernels without it; the library's source is the
  // next best.
  std::random_device source;
  return (static_cast<uint64_t>(source()) << 32) ^ source();
}
