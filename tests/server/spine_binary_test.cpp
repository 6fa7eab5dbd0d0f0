// The real vornaxdm_server program: banner, port probing, output through a
// pipe, clean exit on SIGTERM and SIGINT, and no hang after a start-up failure
// without a console.
#include "spine_helpers.h"

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include <chrono>
#include <cstddef>

namespace spine {
namespace {

enum class Stdin { DevNull, ClosedPipe, Terminal };

// Makes every socket() call of this process and its programs fail, the one
// way to make the socket step of the start-up fail on purpose.
void forbidSockets() {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_socket, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EACCES & SECCOMP_RET_DATA)),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
  prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
  prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program);
}

// The server program with its output on a pipe read by the test.
class ServerProcess {
 public:
  ServerProcess(std::vector<std::string> args, Stdin in = Stdin::DevNull, bool sockets_fail = false) {
    if (in == Stdin::Terminal) openTerminal();
    int out[2], inp[2];
    EXPECT_EQ(pipe(out), 0);
    EXPECT_EQ(pipe(inp), 0);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      dup2(out[1], STDERR_FILENO);
      if (in == Stdin::DevNull) {
        int null = open("/dev/null", O_RDONLY);
        dup2(null, STDIN_FILENO);
        close(null);
      } else if (in == Stdin::Terminal) {
        int terminal = open(terminal_name_.c_str(), O_RDWR);
        dup2(terminal, STDIN_FILENO);
        close(terminal);
      } else {
        dup2(inp[0], STDIN_FILENO);  // the write end is closed: end of input at once
      }
      for (int fd = 3; fd < 1024; ++fd) close(fd);
      if (sockets_fail) forbidSockets();
      args.insert(args.begin(), VORNAX_BINARY_DIR "/vornaxdm_server");
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    close(inp[0]);
    close(inp[1]);
    out_ = out[0];
  }
  ~ServerProcess() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(out_);
    if (terminal_ >= 0) close(terminal_);
  }

  // Types a line on the terminal the program reads.
  void typeLine() { EXPECT_EQ(write(terminal_, "\n", 1), 1); }

  // Reads until `count` lines have arrived or the time is up.
  std::vector<std::string> lines(size_t count, int timeout_ms = 5000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (complete_lines() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buf[512];
      ssize_t n = read(out_, buf, sizeof buf);
      if (n <= 0) break;
      text_.append(buf, static_cast<size_t>(n));
    }
    std::vector<std::string> out;
    size_t start = 0, nl;
    while ((nl = text_.find('\n', start)) != std::string::npos) {
      out.push_back(text_.substr(start, nl - start));
      start = nl + 1;
    }
    return out;
  }

  // Waits for the process to end; -1 when it has not ended in time.
  int exitStatus(int timeout_ms = 5000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      usleep(10000);
    }
    return -1;
  }
  void signal(int sig) { kill(pid_, sig); }
  // The reader of the console goes away.
  void closeOutput() {
    close(out_);
    out_ = -1;
  }

 private:
  size_t complete_lines() const { return static_cast<size_t>(std::count(text_.begin(), text_.end(), '\n')); }
  void openTerminal() {
    terminal_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal_, 0);
    grantpt(terminal_);
    unlockpt(terminal_);
    terminal_name_ = ptsname(terminal_);
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int terminal_ = -1;
  std::string terminal_name_;
  bool exited_ = false;
  std::string text_;
};

// A port that is free right now (the system picks it).
uint16_t freePort() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  socklen_t size = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
  close(fd);
  return ntohs(a.sin_port);
}

TEST(ServerProgram, BannerAppearsAtOnceThroughAPipeAndSigtermEndsWithZero) {
  uint16_t port = freePort();
  ServerProcess server({"-port", std::to_string(port), "-teams", "7"});
  auto shown = server.lines(3);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0], "UDP initialized! UDP port: " + std::to_string(port));
  EXPECT_EQ(shown[1], "Vornax:dm Server, v28");
  EXPECT_EQ(shown[2], "Playerlimit: 10, scorelimit: 20, teamplay: yes");
  EXPECT_EQ(server.exitStatus(100), -1);  // still running
  server.signal(SIGTERM);
  EXPECT_EQ(server.exitStatus(), 0);
}

TEST(ServerProgram, ConnectLineAppearsAtOnceAndSigintEndsWithZero) {
  uint16_t port = freePort();
  ServerProcess server({"-port", std::to_string(port), "-name", "Pipe\x1b[2J"});
  ASSERT_EQ(server.lines(3).size(), 3u);
  UdpPeer peer;
  uint16_t saved = NET_PORT;
  NET_PORT = port;
  peer.send(connectMessage("Eve\r\a"));
  NET_PORT = saved;
  auto shown = server.lines(4);
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[1], "Pipe?[2J, v28");
  EXPECT_EQ(shown[3], "Eve?? connected!");
  server.signal(SIGINT);
  EXPECT_EQ(server.exitStatus(), 0);
}

TEST(ServerProgram, KeepsRunningWhenTheConsoleReaderGoesAway) {
  uint16_t port = freePort();
  ServerProcess server({"-port", std::to_string(port)});
  ASSERT_EQ(server.lines(3).size(), 3u);
  server.closeOutput();
  UdpPeer peer;
  uint16_t saved = NET_PORT;
  NET_PORT = port;
  peer.send(connectMessage("Reader gone"));  // printed into the closed pipe
  NET_PORT = saved;
  EXPECT_EQ(server.exitStatus(300), -1);
  server.signal(SIGTERM);
  EXPECT_EQ(server.exitStatus(), 0);
}

TEST(ServerProgram, BusyPortMakesItTakeTheNextOne) {
  int holder = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  socklen_t size = sizeof a;
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  getsockname(holder, reinterpret_cast<sockaddr*>(&a), &size);
  uint16_t busy = ntohs(a.sin_port);
  ServerProcess server({"-port", std::to_string(busy)});
  auto shown = server.lines(1);
  ASSERT_FALSE(shown.empty());
  std::string prefix = "UDP initialized! UDP port: ";
  ASSERT_EQ(shown[0].rfind(prefix, 0), 0u);
  int bound = std::stoi(shown[0].substr(prefix.size()));
  EXPECT_GT(bound, busy);  // normally busy + 1
  EXPECT_LE(bound, busy + 10);
  server.signal(SIGTERM);
  EXPECT_EQ(server.exitStatus(), 0);
  close(holder);
}

TEST(ServerProgram, StartUpFailureWithoutAConsoleEndsWithoutWaiting) {
  for (Stdin in : {Stdin::DevNull, Stdin::ClosedPipe}) {
    ServerProcess server({"-port", std::to_string(freePort())}, in, true);
    auto shown = server.lines(1);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[0], "UDP initialization failed! [ socket() ]");
    EXPECT_EQ(server.exitStatus(), 1);
  }
}

TEST(ServerProgram, StartUpFailureOnATerminalWaitsForEnter) {
  ServerProcess server({"-port", std::to_string(freePort())}, Stdin::Terminal, true);
  auto shown = server.lines(1);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown[0], "UDP initialization failed! [ socket() ]");
  EXPECT_EQ(server.exitStatus(300), -1);
  server.typeLine();
  EXPECT_EQ(server.exitStatus(), 1);
}

}  // namespace
}  // namespace spine
