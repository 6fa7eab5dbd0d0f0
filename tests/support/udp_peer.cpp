#include "support/udp_peer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

sockaddr_in LoopbackAddress(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

UdpPeer::UdpPeer(const char* address) {
  fd_ = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a = LoopbackAddress(0);
  inet_pton(AF_INET, address, &a.sin_addr);
  bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
  int big = 1 << 20;
  setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
}

UdpPeer::~UdpPeer() { close(fd_); }

void UdpPeer::sendTo(uint16_t port, const std::string& bytes) const {
  sendTo(LoopbackAddress(port), bytes.data(), bytes.size());
}

void UdpPeer::sendTo(const sockaddr_in& to, const void* data, size_t len) const {
  sendto(fd_, data, len, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

int UdpPeer::receiveInto(void* data, size_t cap, int timeout_ms, sockaddr_in* from) const {
  pollfd p{fd_, POLLIN, 0};
  if (timeout_ms > 0 && poll(&p, 1, timeout_ms) <= 0) return -1;
  sockaddr_in a{};
  socklen_t len = sizeof a;
  const ssize_t n = recvfrom(fd_, data, cap, 0, reinterpret_cast<sockaddr*>(&a), &len);
  if (from) *from = a;
  return n < 0 ? -1 : static_cast<int>(n);
}

std::string UdpPeer::receive(int timeout_ms, uint16_t* from_port) const {
  char data[6000];
  sockaddr_in from{};
  const int n = receiveInto(data, sizeof data, timeout_ms, &from);
  if (from_port && n >= 0) *from_port = ntohs(from.sin_port);
  return n > 0 ? std::string(data, static_cast<size_t>(n)) : "";
}

std::vector<std::string> UdpPeer::drain(int code) const {
  std::vector<std::string> out;
  for (std::string d = receive(); !d.empty(); d = receive())
    if (code < 0 || static_cast<uint8_t>(d[0]) == code) out.push_back(d);
  return out;
}

namespace {

// The kernel's table of this network namespace's UDP sockets: `row` is
// called with each one's local port, waiting bytes and inode until it says
// to stop.
void ForEachUdpSocket(const std::function<bool(unsigned port, unsigned waiting, unsigned long inode)>& row) {
  std::ifstream table("/proc/self/net/udp");
  std::string line;
  std::getline(table, line);  // the heading
  while (std::getline(table, line)) {
    unsigned local_port = 0, receive_queue = 0;
    unsigned long inode = 0;
    // "  sl: local_address:port rem_address:port st tx_queue:rx_queue tr:when retrnsmt uid timeout inode"
    if (std::sscanf(line.c_str(), " %*u: %*x:%x %*x:%*x %*x %*x:%x %*x:%*x %*x %*u %*u %lu", &local_port,
                    &receive_queue, &inode) == 3 &&
        !row(local_port, receive_queue, inode))
      return;
  }
}

}  // namespace

bool DatagramWaiting(uint16_t port) {
  bool waiting = false;
  ForEachUdpSocket([&](unsigned p, unsigned bytes, unsigned long) { return !(waiting = p == port && bytes > 0); });
  return waiting;
}

uint16_t UdpPortOf(pid_t pid) {
  std::set<unsigned long> inodes;
  std::error_code ignored;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ignored)) {
    const std::string target = std::filesystem::read_symlink(fd.path(), ignored).string();
    if (target.rfind("socket:[", 0) == 0) inodes.insert(std::stoul(target.substr(8)));
  }
  uint16_t port = 0;
  ForEachUdpSocket([&](unsigned p, unsigned, unsigned long inode) {
    if (inodes.count(inode)) port = static_cast<uint16_t>(p);
    return port == 0;
  });
  return port;
}
