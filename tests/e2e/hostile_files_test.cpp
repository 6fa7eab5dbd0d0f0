// The real programs given hostile files: a name of 200,000 characters in
// config.cfg, run-length pictures that would decode to gigabytes, and maps
// that are a FIFO, a device or an endless file. Each must start, stay small
// and end when told to. Also: a hang-up ends the game as a quit does.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/asset_names.h"
#include "support/process.h"
#include "support/udp_peer.h"
#include "support/wire.h"

namespace {

// Peak resident memory of a running process in kB, from /proc.
long PeakKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

// Runs the client for 66 frames (about two seconds) in dir; its exit code,
// and the most memory it held while running.
int RunClientFrames(const std::string& dir, long& peak_kb) {
  ChildProcess client;
  if (!StartGame(client, dir, {"--frames", "66"})) return -1;
  peak_kb = 0;
  for (long long end = NowMs() + 60000; client.running() && NowMs() < end; SleepMs(20))
    peak_kb = std::max(peak_kb, PeakKb(client.pid()));
  return client.wait(60000);
}

// A name of 200,000 characters in config.cfg, and run-length pictures that
// would decode to gigabytes: walls and HUD pictures of 4096 x 4096 each (too
// large on their own), sprites of 1024 x 1024 (too many together).
TEST(HostileFiles, ALongNameAndRunLengthBombsStartKeepTheNameRefuseTheBombsAndStaySmall) {
  if (!ClientBuilt()) GTEST_SKIP() << "client not built";
  TempDir dir;
  const std::string name(200000, 'n');
  WriteFile(dir / "config.cfg", "name=" + name + "\r\nsv=0\r\n");
  for (const auto& list : {HudNames(".bmp"), Lettered("w", 'A', 'Z', ".bmp")})
    for (const std::string& n : list) WriteFile(dir / ("sprites/" + n), RleBomb(4096, 4096));
  for (const std::string& n : SkinNames(".bmp")) WriteFile(dir / ("sprites/" + n), RleBomb(1024, 1024));
  long peak_kb = 0;
  EXPECT_EQ(RunClientFrames(dir.path(), peak_kb), 0) << ReadFile(dir / "client.out");
  std::printf("client with a 200,000-character name and 166 run-length bombs of 68 bytes: peak %ld kB\n", peak_kb);
  EXPECT_LT(peak_kb, 400 * 1024);  // it was 4 GB, or a crash
  EXPECT_NE(ReadFile(dir / "config.cfg").find("name=" + name + "\r\n"), std::string::npos);
  const std::string outlog = ReadFile(dir / "outlog.txt");
  EXPECT_NE(outlog.find("sprites/hudpanel.bmp is too large, not loaded!"), std::string::npos) << outlog;
  EXPECT_NE(outlog.find("sprites/wZ.bmp is too large, not loaded!"), std::string::npos);
  EXPECT_NE(outlog.find("sprites/skin_3_29.bmp is too large, not loaded!"), std::string::npos);
  EXPECT_EQ(outlog.find("sprites/skin_0_0.bmp is too large"), std::string::npos);  // the budget took the first ones
}

TEST(HostileFiles, AFifoADeviceAndAnEndlessFileAsMapsNeitherHoldUpNorStopTheServer) {
  if (!ServerBuilt()) GTEST_SKIP() << "server not built";
  TempDir dir;
  WriteFile(dir / "maps/endless.vnxm", "000000\n");
  ASSERT_EQ(truncate((dir / "maps/endless.vnxm").c_str(), 1LL << 32), 0);  // 4 GB, sparse
  ASSERT_EQ(mkfifo((dir / "maps/pipe.vnxm").c_str(), 0644), 0);
  ASSERT_EQ(symlink("/dev/zero", (dir / "maps/zero.vnxm").c_str()), 0);
  // Held up by a map, the server would not say its port within StartServer's
  // wait, nor end within stop()'s before it is killed.
  ChildProcess server;
  const uint16_t port =
      StartServer(server, {"-port", "0", "-map", "pipe", "-map", "zero", "-map", "endless"}, dir.path());
  ASSERT_NE(port, 0) << ReadFile(dir / "server.out");
  const std::string out = ReadFile(dir / "server.out");
  EXPECT_NE(out.find("maps/pipe.vnxm is not a regular file: map not loaded\n"), std::string::npos) << out;
  EXPECT_NE(out.find("maps/zero.vnxm is not a regular file: map not loaded\n"), std::string::npos) << out;
  EXPECT_EQ(server.stop(3000), 0);
}

TEST(HostileFiles, AHangUpEndsTheGameWithADisconnectAndTheSettingsSaved) {
  if (!ClientBuilt()) GTEST_SKIP() << "client not built";
  TempDir dir;
  UdpPeer server;
  ChildProcess client;
  ASSERT_TRUE(StartGame(client, dir.path(), {"--connect", "127.0.0.1:" + std::to_string(server.port())}));
  std::string first;
  uint16_t client_port = 0;
  for (long long end = NowMs() + 20000; first.empty() && NowMs() < end;) first = server.receive(200, &client_port);
  ASSERT_FALSE(first.empty()) << ReadFile(dir / "client.out");
  EXPECT_EQ(first[0], 'f');
  // The stand-in speaks only version 28, so the game has something to
  // leave: a version-29 attempt without a session sends no disconnect.
  server.sendTo(client_port, Datagram().byte(MSG_BADVERSION).byte(PROTOCOL_VERSION));
  std::string connect28;
  for (long long end = NowMs() + 20000; connect28.size() < 2 || connect28[1] != PROTOCOL_VERSION;) {
    connect28 = server.receive(200);
    ASSERT_LT(NowMs(), end) << "no version-28 connect after the server said it speaks only 28";
  }
  ASSERT_FALSE(FileExists(dir / "config.cfg"));
  client.signal(SIGHUP);
  EXPECT_EQ(client.wait(10000), 0);
  bool disconnected = false;
  for (std::string d = server.receive(500); !d.empty(); d = server.receive(100)) disconnected |= d == "g";
  EXPECT_TRUE(disconnected);
  // Saved, with the server of config.cfg: a one-off --connect is not kept.
  EXPECT_NE(ReadFile(dir / "config.cfg").find("\r\nsvip=127.0.0.1\r\nsvport=10666\r\n"), std::string::npos);
}

}  // namespace
