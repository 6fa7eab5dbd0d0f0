// The real vornaxdm program under SDL's dummy video driver: it must start
// with no config.cfg and no sound device, run its frames and end cleanly.
#include <cstdio>

#include "client_test.h"

namespace {

using ProgramTest = ClientTest;

TEST_F(ProgramTest, StartsWithoutConfigRunsItsFramesAndSavesTheDefaults) {
  ASSERT_FALSE(FileExists("config.cfg"));
  ChildProcess client;
  client.env = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "ALSOFT_DRIVERS=null"};
  const long long started = NowMs();
  ASSERT_TRUE(client.start(BinaryPath("vornaxdm"), {"--frames", "66"}, ".", "client.out"));
  EXPECT_EQ(client.wait(60000), 0) << ReadFile("client.out");
  // 66 frames of 30 ms take about two seconds (no catch-up); shown, not judged.
  const long long took_ms = NowMs() - started;
  RecordProperty("frames_66_ms", std::to_string(took_ms));
  std::printf("66 frames in %lld ms\n", took_ms);
  const std::string config = ReadFile("config.cfg");
  EXPECT_EQ(config.rfind("name=VornaxPlayer\r\nteam=0\r\n", 0), 0u) << config;
  EXPECT_NE(config.find("\r\nww=800\r\nfscr=0\r\n"), std::string::npos);
}

}  // namespace
