#include "support/status_ask.h"

#include "support/process.h"

void SendQuery(const UdpPeer& peer, uint16_t port, uint32_t token, size_t size) {
  uint8_t query[STATUS_QUERY_SIZE];
  WriteStatusQuery(token, query);
  std::vector<uint8_t> bytes(query, query + STATUS_QUERY_SIZE);
  bytes.resize(size, 0);
  peer.sendTo(LoopbackAddress(port), bytes.data(), bytes.size());
}

std::vector<ServerStatus> Answers(const UdpPeer& peer, int timeout_ms, size_t enough, size_t* largest) {
  std::vector<ServerStatus> got;
  const long long end = NowMs() + timeout_ms;
  uint8_t bytes[2048];
  while (got.size() < enough) {
    const long long left = end - NowMs();
    const int n = peer.receiveInto(bytes, sizeof bytes, left > 0 ? static_cast<int>(left) : 0);
    if (n < 0) break;
    ServerStatus s;
    if (!ReadStatusAnswer(bytes, static_cast<size_t>(n), s)) continue;
    if (largest && static_cast<size_t>(n) > *largest) *largest = static_cast<size_t>(n);
    got.push_back(s);
  }
  return got;
}

std::unique_ptr<ServerStatus> Ask(const UdpPeer& peer, uint16_t port, uint32_t token, int timeout_ms) {
  SendQuery(peer, port, token);
  for (const ServerStatus& s : Answers(peer, timeout_ms, 1))
    if (s.token == token) return std::make_unique<ServerStatus>(s);
  return nullptr;
}
