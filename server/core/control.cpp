#include "server/core/control.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "server/core/console.h"
#include "server/core/console_commands.h"
#include "server/core/oplog.h"

namespace {

constexpr size_t LINE_LIMIT = 256;
// Room for the longest answer (status with every slot taken) a few times over.
constexpr size_t ANSWER_ROOM = 16384;
constexpr int READS_PER_TICK = 4;
// A connection that sends nothing and reads nothing for so long is closed.
constexpr time_t IDLE_LIMIT = 600;
// The time --send waits for the whole answer.
constexpr int SEND_TIMEOUT_MS = 5000;

struct Connection {
  int fd = -1;
  char line[LINE_LIMIT];
  size_t line_length = 0;
  bool skipping_rest = false;
  bool input_ended = false;  // the client sent everything it will send
  bool overflowed = false;   // the client does not read its answers
  char answer[ANSWER_ROOM];
  size_t answer_length = 0;
  time_t last_active = 0;
};

int listen_fd = -1;
char socket_path[sizeof(sockaddr_un::sun_path)];
Connection connections[CONTROL_CONNECTIONS];

bool FillAddress(const char* path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (std::strlen(path) >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path, std::strlen(path) + 1);
  return true;
}

void Close(Connection& c) {
  if (c.fd >= 0) close(c.fd);
  c.fd = -1;
}

// Sends as much of the answer as the client takes now.
void Flush(Connection& c) {
  while (c.answer_length > 0) {
    const ssize_t n = send(c.fd, c.answer, c.answer_length, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n <= 0) {
      c.overflowed = true;  // gone: nothing more to say to it
      return;
    }
    std::memmove(c.answer, c.answer + n, c.answer_length - static_cast<size_t>(n));
    c.answer_length -= static_cast<size_t>(n);
    c.last_active = time(nullptr);
  }
}

void Reply(void* context, std::string_view text) {
  Connection& c = *static_cast<Connection*>(context);
  char line[LINE_LIMIT * 2 + 1];
  size_t n = CON_SAFETEXT(text, line, sizeof line - 1);
  line[n++] = '\n';
  if (c.answer_length + n > sizeof c.answer) {
    c.overflowed = true;
    return;
  }
  std::memcpy(c.answer + c.answer_length, line, n);
  c.answer_length += n;
}

void RunLine(Connection& c) {
  const std::string_view line(c.line, c.line_length);
  c.line_length = 0;
  if (c.skipping_rest) {
    c.skipping_rest = false;
    return;
  }
  char logged[LINE_LIMIT + 32];
  std::snprintf(logged, sizeof logged, "control command: %.*s", static_cast<int>(line.size()), line.data());
  OPLOG_LINE(logged);
  CMD_RUNFOR(line, Reply, &c);
}

void TakeBytes(Connection& c, const char* bytes, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (bytes[i] == '\n') {
      RunLine(c);
    } else if (c.line_length < sizeof c.line) {
      c.line[c.line_length++] = bytes[i];
    } else {
      c.skipping_rest = true;
    }
  }
}

void ReadCommands(Connection& c) {
  // While an answer waits to be taken, the next command waits too.
  for (int round = 0; round < READS_PER_TICK && !c.input_ended && c.answer_length == 0; ++round) {
    char chunk[512];
    const ssize_t n = recv(c.fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (n <= 0) {
      // A last line without its newline still counts.
      if (c.line_length > 0) RunLine(c);
      c.input_ended = true;
      return;
    }
    c.last_active = time(nullptr);
    TakeBytes(c, chunk, static_cast<size_t>(n));
  }
}

void AcceptNew() {
  for (;;) {
    const int fd = accept4(listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    Connection* free_one = nullptr;
    for (Connection& c : connections)
      if (c.fd < 0) free_one = &c;
    if (!free_one) {
      static const char busy[] = "too many control connections; try again later\n";
      (void)send(fd, busy, sizeof busy - 1, MSG_DONTWAIT | MSG_NOSIGNAL);
      close(fd);
      continue;
    }
    Connection& c = *free_one;
    c = Connection{};
    c.fd = fd;
    c.last_active = time(nullptr);
  }
}

}  // namespace

bool CONTROL_OPEN(const char* path, const char*& why) {
  sockaddr_un address;
  why = "the path is too long for a socket";
  if (!FillAddress(path, address)) return false;
  // A socket file left by a server that did not stop cleanly; anything
  // else of that name is not ours to remove.
  struct stat st {};
  why = "a file that is not a socket is in the way";
  if (lstat(path, &st) == 0 && !S_ISSOCK(st.st_mode)) return false;
  if (lstat(path, &st) == 0) {
    const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool alive = probe >= 0 && connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (probe >= 0) close(probe);
    why = "another server answers on it";
    if (alive) return false;
    unlink(path);
  }
  listen_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  // The mode is set before the socket appears, so no one slips in between.
  const mode_t old_mask = umask(0117);
  const bool bound = listen_fd >= 0 && bind(listen_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  umask(old_mask);
  if (!bound || listen(listen_fd, CONTROL_CONNECTIONS) != 0 || chmod(path, 0660) != 0) {
    why = std::strerror(errno);
    if (listen_fd >= 0) close(listen_fd);
    listen_fd = -1;
    return false;
  }
  std::snprintf(socket_path, sizeof socket_path, "%s", path);
  return true;
}

void CONTROL_POLL() {
  if (listen_fd < 0) return;
  AcceptNew();
  const time_t now = time(nullptr);
  for (Connection& c : connections) {
    if (c.fd < 0) continue;
    ReadCommands(c);
    Flush(c);
    const bool answered = c.input_ended && c.answer_length == 0;
    if (answered || c.overflowed || now - c.last_active > IDLE_LIMIT) Close(c);
  }
}

void CONTROL_CLOSE() {
  for (Connection& c : connections) {
    if (c.fd < 0) continue;
    Flush(c);
    Close(c);
  }
  if (listen_fd >= 0) {
    close(listen_fd);
    unlink(socket_path);
  }
  listen_fd = -1;
}

// ---- The client: --send ----

namespace {

int SendUsage(const char* why) {
  std::fprintf(stderr, "vornaxdm_server: %s\nUsage: vornaxdm_server --send PATH COMMAND [ARGUMENT]...\n", why);
  return 2;
}

bool SendAll(int fd, const char* bytes, size_t length) {
  while (length > 0) {
    const ssize_t n = send(fd, bytes, length, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

long long MonotonicMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

int NoAnswer(const char* path, const char* why) {
  std::fprintf(stderr, "vornaxdm_server: no server answers on \"%s\": %s\n", path, why);
  return 1;
}

// Copies the answer to standard output until the server closes the stream.
int ReadAnswer(int fd, const char* path) {
  const long long deadline = MonotonicMs() + SEND_TIMEOUT_MS;
  size_t received = 0;
  for (;;) {
    const long long left = deadline - MonotonicMs();
    if (left <= 0) return NoAnswer(path, "no complete answer within 5 seconds");
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) return NoAnswer(path, std::strerror(errno));
    char chunk[4096];
    const ssize_t n = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n < 0) return NoAnswer(path, std::strerror(errno));
    if (n == 0) return received > 0 ? 0 : NoAnswer(path, "the connection closed without an answer");
    std::fwrite(chunk, 1, static_cast<size_t>(n), stdout);
    received += static_cast<size_t>(n);
  }
}

}  // namespace

int CONTROL_SEND(int argc, char** argv) {
  if (argc < 4) return SendUsage("--send needs a socket path and a command");
  const char* path = argv[2];
  char line[LINE_LIMIT + 1];
  size_t length = 0;
  for (int i = 3; i < argc; ++i) {
    const size_t n = std::strlen(argv[i]);
    if (std::strchr(argv[i], '\n') || std::strchr(argv[i], '\r')) return SendUsage("a command is one line");
    if (length + n + 1 > LINE_LIMIT) return SendUsage("the command is longer than 256 characters");
    if (i > 3) line[length++] = ' ';
    std::memcpy(line + length, argv[i], n);
    length += n;
  }
  line[length++] = '\n';
  sockaddr_un address;
  if (!FillAddress(path, address)) return SendUsage("the socket path is too long");
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return NoAnswer(path, std::strerror(errno));
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    close(fd);
    return NoAnswer(path, std::strerror(error));
  }
  // Half-closing tells the server this was the last command: it answers and
  // then closes, which marks the end of the answer.
  if (!SendAll(fd, line, length) || shutdown(fd, SHUT_WR) != 0) {
    const int error = errno;
    close(fd);
    return NoAnswer(path, std::strerror(error));
  }
  const int code = ReadAnswer(fd, path);
  close(fd);
  std::fflush(stdout);
  return code;
}
