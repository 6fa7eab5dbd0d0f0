#include "server/core/probe.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "protocol/status_query.h"

namespace {

constexpr double kDefaultSeconds = 2;
constexpr double kLongestSeconds = 3600;
constexpr int kQueryIntervalMs = 500;  // a lost query is asked again

long long NowMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

struct ProbeTarget {
  char host[256];
  uint16_t port;
  long long patience_ms;
};

bool Usage(FILE* err, const char* why) {
  std::fprintf(err, "vornaxdm_server: --probe %s\nUsage: vornaxdm_server --probe HOST:PORT [SECONDS]\n", why);
  return false;
}

bool ParsePort(const char* text, uint16_t& port) {
  char* end = nullptr;
  errno = 0;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (*text < '0' || *text > '9' || *end != 0 || errno != 0 || value < 1 || value > 65535) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

bool ParseArguments(int count, char** args, ProbeTarget& t, FILE* err) {
  if (count < 1 || count > 2) return Usage(err, "takes HOST:PORT and at most a number of seconds");
  const char* colon = std::strrchr(args[0], ':');
  const size_t host_length = colon ? static_cast<size_t>(colon - args[0]) : 0;
  if (!colon || host_length == 0 || host_length >= sizeof t.host) return Usage(err, "needs HOST:PORT");
  if (!ParsePort(colon + 1, t.port)) return Usage(err, "needs a port from 1 to 65535");
  std::memcpy(t.host, args[0], host_length);
  t.host[host_length] = 0;
  double seconds = kDefaultSeconds;
  if (count == 2) {
    char* end = nullptr;
    seconds = std::strtod(args[1], &end);
    if (end == args[1] || *end != 0 || !(seconds > 0) || seconds > kLongestSeconds)
      return Usage(err, "waits a number of seconds above 0 and at most 3600");
  }
  t.patience_ms = static_cast<long long>(seconds * 1000);
  return true;
}

bool Resolve(const ProbeTarget& t, sockaddr_in& to, FILE* err) {
  std::memset(&to, 0, sizeof to);
  to.sin_family = AF_INET;
  to.sin_port = htons(t.port);
  if (inet_pton(AF_INET, t.host, &to.sin_addr) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int status = getaddrinfo(t.host, nullptr, &hints, &found);
  if (status != 0 || !found) {
    std::fprintf(err, "vornaxdm_server: %s: its address was not found (%s)\n", t.host, gai_strerror(status));
    return false;
  }
  to.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return true;
}

uint32_t FreshToken() {
  timespec t{};
  clock_gettime(CLOCK_REALTIME, &t);
  return static_cast<uint32_t>(t.tv_nsec) ^ (static_cast<uint32_t>(getpid()) << 16) ^ 0x5a17u;
}

// Text from the wire as one safe line: control bytes become '?'.
void PrintText(FILE* out, const ShortStr& text) {
  for (const char c : text.view()) {
    const unsigned char ch = static_cast<unsigned char>(c);
    std::fputc(ch < 32 || ch == 127 ? '?' : ch, out);
  }
}

void PrintStatus(FILE* out, const ServerStatus& s, long long ping_ms) {
  PrintText(out, s.name);
  std::fputs("  map ", out);
  PrintText(out, s.map);
  std::fprintf(out, "  players %u/%u  ping %lld ms\n", s.players, s.max_players, ping_ms);
}

// Waits for an answer with our token from the address asked; false when
// none came in time.
bool AwaitAnswer(int fd, const sockaddr_in& to, uint32_t token, long long deadline, long long sent_ms,
                 ServerStatus& status, long long& ping_ms) {
  uint8_t bytes[STATUS_ANSWER_LIMIT + 1];
  for (long long now = NowMs(); now < deadline; now = NowMs()) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(deadline - now)) <= 0) continue;
    sockaddr_in from{};
    socklen_t from_length = sizeof from;
    const ssize_t n = recvfrom(fd, bytes, sizeof bytes, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &from_length);
    if (n <= 0 || from.sin_addr.s_addr != to.sin_addr.s_addr || from.sin_port != to.sin_port) continue;
    if (!ReadStatusAnswer(bytes, static_cast<size_t>(n), status) || status.token != token) continue;
    ping_ms = NowMs() - sent_ms;
    return true;
  }
  return false;
}

bool Ask(const ProbeTarget& t, const sockaddr_in& to, ServerStatus& status, long long& ping_ms) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  static uint8_t query[STATUS_QUERY_SIZE];
  const uint32_t token = FreshToken();
  WriteStatusQuery(token, query);
  const long long end = NowMs() + t.patience_ms;
  bool answered = false;
  for (long long now = NowMs(); !answered && now < end; now = NowMs()) {
    (void)sendto(fd, query, sizeof query, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    const long long round_end = now + kQueryIntervalMs < end ? now + kQueryIntervalMs : end;
    answered = AwaitAnswer(fd, to, token, round_end, now, status, ping_ms);
  }
  close(fd);
  return answered;
}

}  // namespace

int SV_PROBE(int count, char** args, FILE* out, FILE* err) {
  ProbeTarget target{};
  if (!ParseArguments(count, args, target, err)) return 2;
  sockaddr_in to{};
  if (!Resolve(target, to, err)) return 1;
  static ServerStatus status;
  long long ping_ms = 0;
  if (!Ask(target, to, status, ping_ms)) {
    std::fprintf(err, "vornaxdm_server: %s:%u did not answer within %.3g s\n", target.host, target.port,
                 static_cast<double>(target.patience_ms) / 1000);
    return 1;
  }
  PrintStatus(out, status, ping_ms);
  return 0;
}
