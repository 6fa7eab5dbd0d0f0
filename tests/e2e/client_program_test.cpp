// The real client program's --connect: a host name reaches the server and
// leaves the saved server in config.cfg alone; a name that does not resolve
// is reported and nothing is sent.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/process.h"

namespace {

const char* kSavedConfig = "name=Named\r\nsvip=127.0.0.9\r\nsvport=4242\r\n";

// The client without a screen or sound card; with unshare_flags, run under
// unshare(1) with them.
void StartClient(ChildProcess& client, const std::string& dir, const std::vector<std::string>& args,
                 const std::string& unshare_flags = "") {
  client.env = {"SDL_VIDEODRIVER=dummy", "ALSOFT_DRIVERS=null"};
  std::vector<std::string> all = args;
  std::string program = BinaryPath("vornaxdm");
  if (!unshare_flags.empty()) {
    all.insert(all.begin(), {unshare_flags, program});
    program = "/usr/bin/unshare";
  }
  ASSERT_TRUE(client.start(program, all, dir, dir + "/client.out"));
}

TEST(ClientProgram, AHostNameReachesTheServerAndTheSavedServerStays) {
  for (const char* binary : {"vornaxdm", "vornaxdm_server"})
    if (!FileExists(BinaryPath(binary))) GTEST_SKIP() << binary << " not built";
  TempDir dir;
  ChildProcess server;
  const uint16_t port = StartServer(server, {"-port", "47900", "-name", "ByName"}, dir.path());
  ASSERT_NE(port, 0);
  WriteFile(dir / "config.cfg", kSavedConfig);
  ChildProcess client;
  StartClient(client, dir.path(), {"--connect", "localhost:" + std::to_string(port), "--frames", "3000"});
  EXPECT_TRUE(WaitFor([&] { return server.output().find("Named connected!") != std::string::npos; }, 60000))
      << server.output();
  client.stop();
  EXPECT_EQ(server.stop(), 0);
  const std::string config = ReadFile(dir / "config.cfg");
  EXPECT_NE(config.find("\r\nww=800\r\n"), std::string::npos) << "not written at the end: " << config;
  EXPECT_NE(config.find("\r\nsvip=127.0.0.9\r\nsvport=4242\r\n"), std::string::npos) << config;
}

// The client runs in a network namespace of its own (unshare -n), where no
// name server can be reached: the look-up fails without leaving the machine.
TEST(ClientProgram, ANameThatDoesNotResolveIsReportedAndNothingIsSent) {
  if (!FileExists(BinaryPath("vornaxdm"))) GTEST_SKIP() << "vornaxdm not built";
  if (std::system("unshare -n true >/dev/null 2>&1") != 0) GTEST_SKIP() << "no network namespace to be had";
  TempDir dir;
  WriteFile(dir / "config.cfg", kSavedConfig);
  ChildProcess client;
  StartClient(client, dir.path(), {"--connect", "no-such-server.invalid:35700", "--frames", "40"}, "-n");
  EXPECT_EQ(client.wait(60000), 0) << ReadFile(dir / "client.out");
  const std::string outlog = ReadFile(dir / "outlog.txt");
  EXPECT_NE(outlog.find("Cannot connect to no-such-server.invalid: its address was not found ("), std::string::npos)
      << outlog;
  EXPECT_EQ(outlog.find("Trying connect"), std::string::npos);
  const std::string config = ReadFile(dir / "config.cfg");
  EXPECT_NE(config.find("\r\nsvip=127.0.0.9\r\nsvport=4242\r\n"), std::string::npos) << config;
}

}  // namespace
