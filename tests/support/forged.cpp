#include "support/forged.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/process.h"

namespace {

bool in_own_namespace = false;
std::string namespace_problem = "EnterOwnNetworkNamespace was not called";

constexpr size_t kPayloadLimit = 1472;
constexpr int kRateLimit = 100000;  // datagrams a second
constexpr int kTimeLimitMs = 60000;

uint16_t Checksum(const void* data, size_t length, uint32_t sum = 0) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i + 1 < length; i += 2) sum += static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1]);
  if (length % 2) sum += static_cast<uint32_t>(bytes[length - 1] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

bool Loopback(const std::string& address, in_addr& out) {
  return inet_pton(AF_INET, address.c_str(), &out) == 1 && (ntohl(out.s_addr) >> 24) == 127;
}

}  // namespace

bool EnterOwnNetworkNamespace() {
  if (unshare(CLONE_NEWNET) != 0) {
    namespace_problem = std::string("unshare(CLONE_NEWNET) failed: ") + std::strerror(errno);
    return false;
  }
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  ifreq lo{};
  std::strncpy(lo.ifr_name, "lo", IFNAMSIZ - 1);
  const bool up = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &lo) == 0 &&
                  (lo.ifr_flags = static_cast<short>(lo.ifr_flags | IFF_UP | IFF_RUNNING), ioctl(fd, SIOCSIFFLAGS, &lo) == 0);
  if (!up) namespace_problem = std::string("the loopback of the new namespace stays down: ") + std::strerror(errno);
  if (fd >= 0) close(fd);
  in_own_namespace = up;
  return up;
}

bool InOwnNetworkNamespace() { return in_own_namespace; }
const std::string& NetworkNamespaceProblem() { return namespace_problem; }

Forger::Forger() {
  if (in_own_namespace) fd_ = socket(AF_INET, SOCK_RAW, IPPROTO_RAW);  // IP_HDRINCL implied
}

Forger::~Forger() {
  if (fd_ >= 0) close(fd_);
}

bool Forger::send(const ForgedDatagram& d) const {
  in_addr from{}, to{};
  if (fd_ < 0 || !in_own_namespace || !Loopback(d.from, from) || !Loopback(d.to, to) || d.bytes.size() > kPayloadLimit)
    return false;
  struct {
    iphdr ip;
    udphdr udp;
    uint8_t payload[kPayloadLimit];
  } packet{};
  const uint16_t udp_length = static_cast<uint16_t>(sizeof(udphdr) + d.bytes.size());
  packet.ip.version = 4;
  packet.ip.ihl = 5;
  packet.ip.ttl = 64;
  packet.ip.protocol = IPPROTO_UDP;
  packet.ip.tot_len = htons(static_cast<uint16_t>(sizeof(iphdr) + udp_length));
  packet.ip.saddr = from.s_addr;
  packet.ip.daddr = to.s_addr;
  packet.ip.check = htons(Checksum(&packet.ip, sizeof packet.ip));
  packet.udp.source = htons(d.from_port);
  packet.udp.dest = htons(d.to_port);
  packet.udp.len = htons(udp_length);
  std::memcpy(packet.payload, d.bytes.data(), d.bytes.size());
  // The UDP checksum covers a pseudo header: both addresses, the protocol and the length.
  const uint32_t pseudo = (ntohl(from.s_addr) >> 16) + (ntohl(from.s_addr) & 0xFFFF) + (ntohl(to.s_addr) >> 16) +
                          (ntohl(to.s_addr) & 0xFFFF) + IPPROTO_UDP + udp_length;
  const uint16_t sum = Checksum(&packet.udp, udp_length, pseudo);
  packet.udp.check = htons(sum == 0 ? 0xFFFF : sum);
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr = to;
  const size_t length = sizeof(iphdr) + udp_length;
  return sendto(fd_, &packet, length, 0, reinterpret_cast<const sockaddr*>(&target), sizeof target) ==
         static_cast<ssize_t>(length);
}

ForgedTraffic::ForgedTraffic(int per_second, long count, int ms, std::function<ForgedDatagram(long)> make) {
  per_second = per_second < 1 ? 1 : per_second > kRateLimit ? kRateLimit : per_second;
  ms = ms > kTimeLimitMs ? kTimeLimitMs : ms;
  thread_ = std::thread([this, per_second, count, ms, make = std::move(make)] {
    const Forger forger;
    const long long start = NowMs();
    for (long long now = start; now - start < ms && sent_ < count && !stop_; now = NowMs()) {
      const long due = static_cast<long>((now - start) * per_second / 1000 + 1);
      for (long i = sent_; i < due && i < count; ++i) {
        forger.send(make(i));  // one the system refused is lost like any other
        ++sent_;
      }
      SleepMs(1);
    }
    done_ = true;
  });
}

ForgedTraffic::~ForgedTraffic() {
  stop_ = true;
  finish();
}

long ForgedTraffic::finish() {
  if (thread_.joinable()) thread_.join();
  return sent_;
}
