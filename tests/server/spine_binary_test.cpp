// The real vornaxdm_server program: banner, port probing, output through a
// pipe, clean exit on SIGTERM and SIGINT, and no hang after a start-up failure
// without a console.
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstddef>
#include <cstdlib>

#include "support/process.h"
#include "support/udp_peer.h"
#include "support/wire.h"

namespace {

// Makes every socket() call of the program fail, the one way to make the
// socket step of the start-up fail on purpose.
void ForbidSockets() {
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

// The server program on a port the system chooses, its output on a pipe
// read by the test.
bool Start(ChildProcess& server, std::vector<std::string> args = {}) {
  args.insert(args.begin(), {"-port", "0"});
  return server.start(BinaryPath("vornaxdm_server"), args);
}

TEST(ServerProgram, BannerAppearsAtOnceThroughAPipeAndSigtermEndsWithZero) {
  ChildProcess server;
  ASSERT_TRUE(Start(server, {"-teams", "7"}));
  const uint16_t port = ServerPort(server);
  EXPECT_EQ(server.lines(3), (std::vector<std::string>{"UDP initialized! UDP port: " + std::to_string(port),
                                                       "Vornax:dm Server, v28",
                                                       "Playerlimit: 10, scorelimit: 20, teamplay: yes"}));
  EXPECT_EQ(server.wait(100), -1);  // still running
  EXPECT_EQ(server.stop(), 0);
}

TEST(ServerProgram, ConnectLineAppearsAtOnceAndSigintEndsWithZero) {
  ChildProcess server;
  ASSERT_TRUE(Start(server, {"-name", "Pipe\x1b[2J"}));
  const uint16_t port = ServerPort(server);
  ASSERT_EQ(server.lines(3).size(), 3u);
  UdpPeer peer;
  peer.sendTo(port, ConnectMessage("Eve\r\a"));
  const std::string snapshot = peer.receive(5000);
  ASSERT_EQ(snapshot[0], MSG_SNAPSHOT);
  // The connect line comes with the first input that echoes the snapshot.
  peer.sendTo(port, InputMessage(SnapshotTick(snapshot), 0, ACT_NONE, 0, 0, 0));
  const auto shown = server.lines(4);
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[1], "Pipe?[2J, v28");
  EXPECT_EQ(shown[3], "Eve?? connected!");
  server.signal(SIGINT);
  EXPECT_EQ(server.wait(5000), 0);
}

TEST(ServerProgram, KeepsRunningWhenTheConsoleReaderGoesAway) {
  ChildProcess server;
  ASSERT_TRUE(Start(server));
  const uint16_t port = ServerPort(server);
  ASSERT_EQ(server.lines(3).size(), 3u);
  server.closeOutput();
  UdpPeer peer;
  peer.sendTo(port, ConnectMessage("Reader gone"));  // printed into the closed pipe
  EXPECT_EQ(server.wait(300), -1);
  EXPECT_EQ(server.stop(), 0);
}

TEST(ServerProgram, BusyPortMakesItTakeTheNextOne) {
  UdpPeer holder;
  ChildProcess server;
  ASSERT_TRUE(server.start(BinaryPath("vornaxdm_server"), {"-port", std::to_string(holder.port())}));
  const uint16_t bound = ServerPort(server);
  EXPECT_GT(bound, holder.port());  // normally the next one
  EXPECT_LE(bound, holder.port() + 10);
  EXPECT_EQ(server.stop(), 0);
}

TEST(ServerProgram, StartUpFailureEndsAtOnceWithoutAConsoleAndWaitsForEnterOnATerminal) {
  for (const char* input : {"/dev/null", ""}) {  // "": standard input closed
    ChildProcess server;
    server.stdin_path = input;
    server.before_exec = ForbidSockets;
    ASSERT_TRUE(Start(server));
    EXPECT_EQ(server.lines(1), std::vector<std::string>{"UDP initialization failed! [ socket() ]"});
    EXPECT_EQ(server.wait(5000), 1);
  }
  const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  grantpt(terminal);
  unlockpt(terminal);
  ChildProcess server;
  server.stdin_path = ptsname(terminal);
  server.before_exec = ForbidSockets;
  ASSERT_TRUE(Start(server));
  EXPECT_EQ(server.lines(1), std::vector<std::string>{"UDP initialization failed! [ socket() ]"});
  EXPECT_EQ(server.wait(300), -1);
  EXPECT_EQ(write(terminal, "\n", 1), 1);
  EXPECT_EQ(server.wait(5000), 1);
  close(terminal);
}

}  // namespace
