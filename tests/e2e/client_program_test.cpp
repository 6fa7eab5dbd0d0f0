// The real client program's command line and start-up: --connect with a
// host name reaches the server (a team game: its totals show) and leaves the
// saved server in config.cfg alone, a name that does not resolve is reported and nothing is sent;
// --help and --version answer; without a display the game does not run
// unseen; a config.cfg that cannot be written is reported.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/display.h"
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

// The game the name leads to is a team game: the team totals show as soon
// as the game information is in.
TEST(ClientProgram, AHostNameReachesTheServerItsTeamTotalsShowAndTheSavedServerStays) {
  for (const char* binary : {"vornaxdm", "vornaxdm_server"})
    if (!FileExists(BinaryPath(binary))) GTEST_SKIP() << binary << " not built";
  TempDir dir;
  ChildProcess server;
  const uint16_t port = StartServer(server, {"-port", "0", "-name", "ByName", "-teams", "1", "-bots", "2"}, dir.path());
  ASSERT_NE(port, 0);
  WriteFile(dir / "config.cfg", kSavedConfig);
  ChildProcess client;
  StartClient(client, dir.path(),
              {"--connect", "localhost:" + std::to_string(port), "--frames", "3000", "--dump-labels", "labels.txt"});
  EXPECT_TRUE(WaitFor([&] { return server.output().find("Named connected!") != std::string::npos; }, 60000))
      << server.output();
  std::string totals;
  EXPECT_TRUE(WaitFor(
      [&] { return (totals = LabelLine(ReadFile(dir / "labels.txt"), "l_sb_ts")).rfind("l_sb_ts 1 teams scores:", 0) == 0; },
      60000))
      << ReadFile(dir / "labels.txt");
  EXPECT_NE(totals.find("MU : "), std::string::npos) << totals;
  client.stop();
  EXPECT_EQ(server.stop(), 0);
  const std::string config = ReadFile(dir / "config.cfg");
  EXPECT_NE(config.find("\r\nww=800\r\n"), std::string::npos) << "not written at the end: " << config;
  EXPECT_NE(config.find("\r\nsvip=127.0.0.9\r\nsvport=4242\r\n"), std::string::npos) << config;
}

// The client runs in a network namespace of its own (unshare -n), where no
// name server can be reached: the look-up fails without leaving the machine.
TEST(ClientProgram, ANameThatDoesNotResolveIsReportedAndNothingIsSent) {
  if (!ClientBuilt()) GTEST_SKIP() << "vornaxdm not built";
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

// The client without a screen: its output, and whether it wrote config.cfg.
std::string Answer(const std::vector<std::string>& args, int& exit_code) {
  TempDir dir;
  ChildProcess client;
  client.env = {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=", "XDG_RUNTIME_DIR=" + dir.path(), "ALSOFT_DRIVERS=null"};
  if (!client.start(BinaryPath("vornaxdm"), args, dir.path())) return "";
  exit_code = client.wait(30000);
  std::string out = client.output();
  if (FileExists(dir / "config.cfg")) out += "\n(config.cfg written)";
  return out;
}

// An answer to --help or --version never needs a screen. SDL falls back to
// a driver without one; only a user who asks for it (the tests name
// SDL_VIDEODRIVER=dummy) gets a game nobody sees.
TEST(ClientProgram, HelpAndVersionAnswerAndExitWithoutADisplayWhereTheGameSaysItNeedsOne) {
  if (!ClientBuilt()) GTEST_SKIP() << "vornaxdm not built";
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--help"}, {"-h"}, {"--frames", "5", "--help"}}) {
    int code = -1;
    const std::string out = Answer(args, code);
    EXPECT_EQ(code, 0) << args.back();
    EXPECT_EQ(out.rfind("Usage: vornaxdm [--connect HOST[:PORT]]\n", 0), 0u) << out;
    for (const char* text :
         {"  --connect HOST[:PORT]", "  --list [HOST[:PORT]...]", "  -h, --help", "  --version", "config.cfg", "outlog.txt"})
      EXPECT_NE(out.find(text), std::string::npos) << text;
    EXPECT_EQ(out.find("(config.cfg written)"), std::string::npos);
  }
  int code = -1;
  EXPECT_EQ(Answer({"--version"}, code), "vornaxdm 1.0.0, protocol versions 28 and 29\n");
  EXPECT_EQ(code, 0);
  const std::string refused = Answer({"--frames", "100"}, code);
  EXPECT_EQ(refused.rfind("No display found: the game needs a window", 0), 0u) << refused;
  EXPECT_EQ(refused.find("(config.cfg written)"), std::string::npos);
  EXPECT_EQ(code, 1);
  // Where a value stands, --help is a value like any other: here the name
  // of the file a game that starts writes its labels to.
  TempDir dir;
  ChildProcess client;
  StartClient(client, dir.path(), {"--frames", "3", "--dump-labels", "--help"});
  EXPECT_EQ(client.wait(60000), 0);
  EXPECT_NE(ReadFile(dir / "--help").find("l_log "), std::string::npos);
}

// Here config.cfg is a folder: no one, not even root, can write the file.
TEST(ClientProgram, AConfigThatCannotBeWrittenIsReported) {
  if (!ClientBuilt()) GTEST_SKIP() << "vornaxdm not built";
  TempDir dir;
  std::filesystem::create_directory(dir / "config.cfg");
  ChildProcess client;
  StartClient(client, dir.path(), {"--frames", "10"});
  EXPECT_EQ(client.wait(60000), 0);
  const std::string line = "config.cfg could not be written (Is a directory): settings not saved";
  const std::string outlog = ReadFile(dir / "outlog.txt");
  const size_t at = outlog.find(line);
  ASSERT_NE(at, std::string::npos) << outlog;
  EXPECT_EQ(outlog.find(line, at + 1), std::string::npos) << "reported twice: " << outlog;
  EXPECT_NE(ReadFile(dir / "client.out").find(line), std::string::npos);
}

}  // namespace
