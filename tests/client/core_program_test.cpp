// The real vornaxdm program under SDL's dummy video driver: it must start
// with no config.cfg and no sound device, run its frames, talk UDP and end
// cleanly.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "core_test_env.h"

namespace {

class ProgramTest : public CoreTest {
 protected:
  // Starts vornaxdm in the test's directory; returns its process id.
  pid_t Start(const std::vector<std::string>& args) {
    const std::string program = std::string(VORNAX_BINARY_DIR) + "/vornaxdm";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("SDL_VIDEODRIVER", "dummy", 1);
      ::setenv("SDL_AUDIODRIVER", "dummy", 1);
      ::setenv("ALSOFT_DRIVERS", "null", 1);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(program.c_str()));
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    return pid;
  }
  // The exit status, or -1 when it did not end within the time limit.
  int Wait(pid_t pid, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      SleepMs(20);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
  }
};

TEST_F(ProgramTest, StartsWithoutConfigRunsItsFramesAndSavesTheDefaults) {
  ASSERT_FALSE(FileExists("config.cfg"));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(Wait(Start({"--frames", "66"}), 60), 0);
  // 66 frames of 30 ms take about two seconds; there is no catch-up.
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1900));
  const std::string config = ReadFile("config.cfg");
  EXPECT_EQ(config.rfind("name=VornaxPlayer\r\nteam=0\r\n", 0), 0u) << config;
  EXPECT_NE(config.find("\r\nww=800\r\nfscr=0\r\n"), std::string::npos);
}

TEST_F(ProgramTest, ConnectOptionReachesTheServerAndAnswersItsSnapshots) {
  FakePeer peer;
  const pid_t pid = Start({"--connect", "127.0.0.1:" + std::to_string(peer.port()), "--frames", "150"});
  EXPECT_EQ(peer.Receive(10000), Datagram().byte('f').byte(28).str("VornaxPlayer").byte(0).bytes());
  const uint16_t client_port = peer.sender_port();

  // The first snapshot connects it: from then on one input message a frame,
  // asking for the game information until it arrives.
  peer.SendTo(client_port, Snapshot(500, {}, {}, OwnBlock{.slot = 3}));
  std::string input = peer.Receive();
  ASSERT_EQ(input.size(), 12u);
  EXPECT_EQ(input[0], 'h');
  EXPECT_EQ(input.substr(1, 2), "\xF4\x01");  // the tick echo
  EXPECT_EQ(input[5], 15);

  peer.SendTo(client_port, Datagram().byte('l').word(0).raw("000000").byte(0).str("DefMap").str("S").bytes());
  bool info_stopped = false;
  for (int i = 0; i < 20 && !info_stopped; ++i) info_stopped = peer.Receive()[5] == 0;
  EXPECT_TRUE(info_stopped);

  // At the end of its frames it says goodbye.
  EXPECT_EQ(Wait(pid, 60), 0);
  std::vector<std::string> rest = peer.Drain();
  ASSERT_FALSE(rest.empty());
  EXPECT_EQ(rest.back(), "g");
}

}  // namespace
