#include "server/net/udp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "server/core/console.h"
#include "server/core/settings.h"

MessageBuffer NET_BUF;
bool NET_MUTED = false;

namespace {

int NET_SOCKET = -1;
sockaddr_in NET_SADDR{};
socklen_t NET_SADDRS = sizeof(sockaddr_in);

struct SnapshotBatch {
  uint16_t common_length = 0;
  int count = 0;
  sockaddr_in to[NET_BATCH_LIMIT];
  uint8_t tails[NET_BATCH_LIMIT][NET_TAIL_LIMIT];
  iovec parts[NET_BATCH_LIMIT][2];
  mmsghdr messages[NET_BATCH_LIMIT];
};
SnapshotBatch batch;

// Dotted-decimal text and port to a socket address; false for text that is
// not an IPv4 address, which is then not sent to at all.
bool resolve(const ShortStr& address, uint16_t port, sockaddr_in& out) {
  std::memset(&out, 0, sizeof out);
  out.sin_family = AF_INET;
  out.sin_port = htons(port);
  return inet_pton(AF_INET, address.c_str(), &out.sin_addr) == 1;
}

bool startFailed(const char* message) {
  CON_WRITELINE(message);
  CON_WAITENTER();
  NET_STOP();
  return false;
}

bool bindTo(uint16_t port) {
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  any.sin_port = htons(port);
  return bind(NET_SOCKET, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0;
}

// Probes upward from NET_PORT, wrapping from 65535 to 0, until a bind
// succeeds. After one full round every port has been tried and the probe
// gives up rather than spin for ever.
bool bindFirstFreePort() {
  for (int attempt = 0; attempt <= 65535; ++attempt) {
    if (bindTo(NET_PORT)) return true;
    NET_PORT = static_cast<uint16_t>(NET_PORT + 1);
  }
  return false;
}

// Port 0 lets the system choose; NET_PORT then names the port it chose.
void rememberBoundPort() {
  sockaddr_in bound{};
  socklen_t size = sizeof bound;
  if (getsockname(NET_SOCKET, reinterpret_cast<sockaddr*>(&bound), &size) == 0) NET_PORT = ntohs(bound.sin_port);
}

}  // namespace

bool NET_START() {
  // POSIX has no socket-layer start-up call, so that step always succeeds.
  NET_SOCKET = socket(AF_INET, SOCK_DGRAM, 0);
  if (NET_SOCKET < 0) return startFailed("UDP initialization failed! [ socket() ]");
  int flags = fcntl(NET_SOCKET, F_GETFL, 0);
  if (flags < 0 || fcntl(NET_SOCKET, F_SETFL, flags | O_NONBLOCK) < 0)
    return startFailed("UDP initialization failed! [ ioctlsocket() ]");
  if (!bindFirstFreePort()) return startFailed("UDP initialization failed! [ bind() ]");
  rememberBoundPort();
  std::string line = "UDP initialized! UDP port: " + std::to_string(NET_PORT);
  CON_WRITELINE(line);
  return true;
}

void NET_STOP() {
  if (NET_SOCKET >= 0) close(NET_SOCKET);
  NET_SOCKET = -1;
}

void NET_CLEARBUFFER() { NET_BUF.clear(); }

int16_t NET_RECEIVE() {
  NET_CLEARBUFFER();
  if (NET_SOCKET < 0) return 0;
  NET_SADDRS = sizeof NET_SADDR;
  ssize_t n = recvfrom(NET_SOCKET, NET_BUF.receiveArea(), MessageBuffer::kSize, 0,
                       reinterpret_cast<sockaddr*>(&NET_SADDR), &NET_SADDRS);
  return static_cast<int16_t>(n < 0 ? -1 : n);
}

ShortStr NET_LASTINIP() {
  char text[INET_ADDRSTRLEN] = {};
  if (!inet_ntop(AF_INET, &NET_SADDR.sin_addr, text, sizeof text)) text[0] = 0;
  return ShortStr(text);
}

uint16_t NET_LASTINPORT() { return ntohs(NET_SADDR.sin_port); }

void NET_SEND(const ShortStr& address, uint16_t port) {
  sockaddr_in to;
  if (NET_MUTED || NET_SOCKET < 0 || !resolve(address, port, to)) return;
  // A failed send is simply lost, like a datagram lost on the way.
  (void)sendto(NET_SOCKET, NET_BUF.bytes(), NET_BUF.length(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

void NET_BATCHBEGIN(uint16_t common_length) {
  batch.common_length = common_length;
  batch.count = 0;
}

void NET_BATCHADD(const ShortStr& address, uint16_t port, const uint8_t* tail, uint8_t tail_length) {
  if (batch.count >= NET_BATCH_LIMIT) return;
  int i = batch.count;
  if (!resolve(address, port, batch.to[i])) return;
  if (tail_length > NET_TAIL_LIMIT) tail_length = NET_TAIL_LIMIT;
  std::memcpy(batch.tails[i], tail, tail_length);
  batch.parts[i][0] = iovec{const_cast<uint8_t*>(NET_BUF.bytes()), batch.common_length};
  batch.parts[i][1] = iovec{batch.tails[i], tail_length};
  msghdr& h = batch.messages[i].msg_hdr;
  std::memset(&h, 0, sizeof h);
  h.msg_name = &batch.to[i];
  h.msg_namelen = sizeof batch.to[i];
  h.msg_iov = batch.parts[i];
  h.msg_iovlen = 2;
  ++batch.count;
}

void NET_BATCHSEND() {
  if (NET_MUTED || NET_SOCKET < 0) return;
  int sent = 0;
  while (sent < batch.count) {
    int n = sendmmsg(NET_SOCKET, batch.messages + sent, static_cast<unsigned>(batch.count - sent), 0);
    if (n < 0 && errno == EINTR) continue;
    // A datagram that could not be sent is lost; the others still go.
    sent += n > 0 ? n : 1;
  }
}

void NET_RESET() {
  NET_STOP();
  NET_BUF.clear();
  NET_MUTED = false;
  batch.count = 0;
  std::memset(&NET_SADDR, 0, sizeof NET_SADDR);
}

int NET_SOCKETHANDLE() { return NET_SOCKET; }
