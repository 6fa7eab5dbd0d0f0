#include "support/http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "support/process.h"

namespace {

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

HttpReply Parse(const std::string& raw) {
  HttpReply reply;
  const size_t body = raw.find("\r\n\r\n");
  if (raw.rfind("HTTP/1.", 0) != 0 || body == std::string::npos) return reply;
  reply.status = std::atoi(raw.c_str() + raw.find(' ') + 1);
  reply.body = raw.substr(body + 4);
  return reply;
}

}  // namespace

int ConnectTcp(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in to = Loopback(port);
  if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return fd;
  if (fd >= 0) close(fd);
  return -1;
}

HttpReply HttpExchange(uint16_t port, const std::string& request, int timeout_ms) {
  const int fd = ConnectTcp(port);
  if (fd < 0) return {};
  std::string raw;
  if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
    const long long deadline = NowMs() + timeout_ms;
    char buf[4096];
    for (long long left = timeout_ms; left > 0; left = deadline - NowMs()) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      const ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      raw.append(buf, static_cast<size_t>(n));
    }
  }
  close(fd);
  return Parse(raw);
}

HttpReply HttpGet(uint16_t port, const std::string& path, int timeout_ms) {
  return HttpExchange(port, "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n", timeout_ms);
}

uint16_t FreeTcpPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in at = Loopback(0);
  socklen_t size = sizeof at;
  uint16_t port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size) == 0)
    port = ntohs(at.sin_port);
  close(fd);
  return port;
}
