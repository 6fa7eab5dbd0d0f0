#include "server/core/notify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

constexpr long long kWatchdogIntervalNs = 1000000000LL;

struct Notifier {
  bool active = false;
  bool watchdog = false;
  sockaddr_un to{};
  socklen_t to_length = 0;
  long long last_watchdog_ns = 0;
};
Notifier notifier;

long long NowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000000000LL + t.tv_nsec;
}

// NOTIFY_SOCKET as a socket address; false for anything unusable.
bool ReadNotifySocket() {
  const char* name = std::getenv("NOTIFY_SOCKET");
  if (!name || (name[0] != '/' && name[0] != '@')) return false;
  const size_t length = std::strlen(name);
  if (length < 2 || length > sizeof notifier.to.sun_path - 1) return false;
  notifier.to.sun_family = AF_UNIX;
  std::memcpy(notifier.to.sun_path, name, length);
  if (name[0] == '@') notifier.to.sun_path[0] = 0;  // an abstract name: no terminating NUL counts
  notifier.to_length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length + (name[0] == '@' ? 0 : 1));
  return true;
}

// WATCHDOG_USEC, meant for us when WATCHDOG_PID is unset or names us.
bool WatchdogWanted() {
  const char* usec = std::getenv("WATCHDOG_USEC");
  if (!usec || std::strtoull(usec, nullptr, 10) == 0) return false;
  const char* pid = std::getenv("WATCHDOG_PID");
  return !pid || std::strtol(pid, nullptr, 10) == getpid();
}

// One datagram from a socket of its own; a manager that does not listen
// costs nothing but the attempt.
void Send(const char* message) {
  if (!notifier.active) return;
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  (void)sendto(fd, message, std::strlen(message), MSG_NOSIGNAL | MSG_DONTWAIT,
               reinterpret_cast<const sockaddr*>(&notifier.to), notifier.to_length);
  close(fd);
}

}  // namespace

void NOTIFY_READY() {
  notifier = Notifier{};
  notifier.active = ReadNotifySocket();
  notifier.watchdog = notifier.active && WatchdogWanted();
  notifier.last_watchdog_ns = NowNs();
  Send("READY=1");
}

void NOTIFY_TICK() {
  if (!notifier.watchdog) return;
  const long long now = NowNs();
  if (now - notifier.last_watchdog_ns < kWatchdogIntervalNs) return;
  notifier.last_watchdog_ns = now;
  Send("WATCHDOG=1");
}

void NOTIFY_STOPPING() { Send("STOPPING=1"); }

void NOTIFY_RESET() { notifier = Notifier{}; }
