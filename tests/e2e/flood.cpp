#include "e2e/flood.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

#include "support/udp_peer.h"

namespace {

constexpr int kBatch = 64;
constexpr int kMaxBytes = 64;

long long NowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000000000LL + t.tv_nsec;
}

// The child's whole life: only system calls and plain arithmetic, as after
// a fork in a program with threads.
[[noreturn]] void RunFlood(const FloodPlan& plan, int report) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in from = LoopbackAddress(0);
  inet_pton(AF_INET, plan.from.c_str(), &from.sin_addr);
  bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from);
  sockaddr_in to = LoopbackAddress(plan.to_port);
  static uint8_t bytes[kBatch][kMaxBytes];
  static iovec parts[kBatch];
  static mmsghdr messages[kBatch];
  uint64_t noise = 0x9E3779B97F4A7C15ull;
  const long limit = static_cast<long>(plan.per_second) * plan.milliseconds / 1000;
  const long long start = NowNs(), end = start + plan.milliseconds * 1000000LL;
  long sent = 0;
  for (long long now = start; now < end && sent < limit; now = NowNs()) {
    const long due = static_cast<long>((now - start) * plan.per_second / 1000000000LL);
    while (sent < due && sent < limit) {
      const int n = static_cast<int>(due - sent < kBatch ? due - sent : kBatch);
      for (int i = 0; i < n; ++i) {
        size_t length = 0;
        if (!plan.empty) {
          noise ^= noise << 13, noise ^= noise >> 7, noise ^= noise << 17;
          length = 1 + noise % kMaxBytes;
          std::memcpy(bytes[i], &noise, sizeof noise);
          for (size_t b = sizeof noise; b < length; ++b) bytes[i][b] = static_cast<uint8_t>(noise >> (b % 8 * 8));
        }
        parts[i] = iovec{bytes[i], length};
        std::memset(&messages[i], 0, sizeof messages[i]);
        messages[i].msg_hdr.msg_name = &to;
        messages[i].msg_hdr.msg_namelen = sizeof to;
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
      }
      const int r = sendmmsg(fd, messages, static_cast<unsigned>(n), 0);
      sent += r > 0 ? r : n;  // a datagram the system refused is lost like any other
    }
    timespec pause{0, 200000};
    nanosleep(&pause, nullptr);
  }
  (void)!write(report, &sent, sizeof sent);
  _exit(0);
}

}  // namespace

Flood::Flood(const FloodPlan& plan) {
  int fds[2];
  if (pipe(fds) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    close(fds[0]);
    RunFlood(plan, fds[1]);
  }
  close(fds[1]);
  report_ = fds[0];
}

long Flood::finish() {
  if (pid_ > 0) {
    long sent = 0;
    sent_ = read(report_, &sent, sizeof sent) == sizeof sent ? sent : -1;
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  return sent_;
}

Flood::~Flood() {
  if (pid_ > 0) kill(pid_, SIGKILL);
  finish();
  if (report_ >= 0) close(report_);
}
