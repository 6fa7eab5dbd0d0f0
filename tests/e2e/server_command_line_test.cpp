// The real server's command line and maps: --help and --version answer and
// end, warnings name what was taken while the server starts as it always
// did, and maps are read without ever being opened for writing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <regex>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/syscall_filter.h"
#include "support/udp_peer.h"

namespace {

constexpr char kSpawnMap[] = "000000\nAAAA\nA@ A\nAAAA\n";

// Runs the server with args until it ends by itself; its output (standard
// output and error together) and exit code.
int RunToEnd(const std::vector<std::string>& args, std::string& output) {
  return RunProgram(BinaryPath("vornaxdm_server"), args, output);
}

// Standard error goes to its own file, so a test sees which stream a line took.
void StderrTo(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(fd, STDERR_FILENO);
  close(fd);
}

// Asks a running server for its status; the map line it answered.
std::string StatusMapLine(ChildProcess& server) {
  server.input("status\n");
  std::string found;
  WaitFor(
      [&] {
        for (const std::string& line : SplitLines(server.output()))
          if (line.rfind("map ", 0) == 0) found = line;
        return !found.empty();
      },
      5000);
  return found;
}

TEST(ServerCommandLine, HelpAndVersionAnswerAndEndWithoutStartingAServer) {
  if (!ServerBuilt()) GTEST_SKIP();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"-h"}, {"-port", "40000", "--help"}, {"-bots", "3", "-h", "x"}}) {
    std::string out;
    EXPECT_EQ(RunToEnd(args, out), 0) << args[0];
    EXPECT_EQ(out.rfind("Usage: vornaxdm_server [-OPTION VALUE]...\n", 0), 0u) << out;
    for (const char* option : {"-port N", "-map NAME", "-bots N", "-log FILE", "--version", "kick SLOT [MINUTES]", "-control PATH", "--send PATH"})
      EXPECT_NE(out.find(option), std::string::npos) << option;
    EXPECT_EQ(out.find("UDP initialized"), std::string::npos);
  }
  std::string out;
  EXPECT_EQ(RunToEnd({"--version"}, out), 0);
  EXPECT_TRUE(std::regex_match(out, std::regex("vornaxdm_server [0-9]+\\.[0-9]+\\.[0-9]+, protocol versions 28 and 29\n")))
      << out;
  // As a value, --help is just a name.
  ChildProcess server;
  ASSERT_TRUE(server.start(BinaryPath("vornaxdm_server"), {"-port", "0", "-name", "--help"}));
  EXPECT_EQ(server.lines(3).at(1), "--help, v28");
}

TEST(ServerCommandLine, WarnsOnStandardErrorAboutWhatItTookAndStartsAsBefore) {
  if (!ServerBuilt()) GTEST_SKIP();
  TempDir dir;
  ChildProcess server;
  const std::string errors = dir / "stderr.txt";
  server.before_exec = [errors] { StderrTo(errors); };
  ASSERT_TRUE(server.start(BinaryPath("vornaxdm_server"),
                           {"-prot", "45008", "-port", "abc", "-maxplayers", "300", "-score", "%101", "-bots", "99",
                            "-teams", "7", "-name"}));
  const auto shown = server.lines(3);
  ASSERT_EQ(shown.size(), 3u);
  // -port abc is port 0 as before: the system chose one.
  EXPECT_TRUE(std::regex_match(shown[0], std::regex("UDP initialized! UDP port: [1-9][0-9]*"))) << shown[0];
  EXPECT_EQ(shown[1], "Vornax:dm Server, v28");
  EXPECT_EQ(shown[2], "Playerlimit: 24, scorelimit: 5, teamplay: yes");
  EXPECT_EQ(SplitLines(ReadFile(errors)),
            (std::vector<std::string>{
                "vornaxdm_server: unknown option \"-prot\" ignored together with its value \"45008\"",
                "vornaxdm_server: option \"-name\" has no value: ignored",
                "vornaxdm_server: -port \"abc\" is not a number: taken as 0",
                "vornaxdm_server: -maxplayers \"300\" is out of range: taken as 24",
                "vornaxdm_server: -bots \"99\" is out of range: taken as 24",
            }));
  EXPECT_EQ(server.stop(), 0);
}

TEST(ServerCommandLine, MapsThatCannotBeLoadedAreReportedWithTheReason) {
  if (!ServerBuilt()) GTEST_SKIP();
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir / "maps/open.vnxm", "000000\nAAAA\nA  A\nAAAA\n"));
  ASSERT_TRUE(WriteFile(dir / "maps/good.vnxm", kSpawnMap));
  ASSERT_TRUE(WriteFile(dir / "maps/secret.vnxm", kSpawnMap));
  ASSERT_EQ(chmod((dir / "maps/secret.vnxm").c_str(), 0000), 0);
  ASSERT_EQ(mkdir((dir / "maps/folder.vnxm").c_str(), 0755), 0);
  ChildProcess server;
  server.input_pipe = true;
  const std::string errors = dir / "stderr.txt";
  server.before_exec = [errors] { StderrTo(errors); };
  ASSERT_TRUE(server.start(BinaryPath("vornaxdm_server"),
                           {"-port", "0", "-map", "missing", "-map", "open", "-map", "folder", "-map", "secret",
                            "-map", "good"},
                           dir.path()));
  const bool root = geteuid() == 0;  // root reads any file
  EXPECT_EQ(StatusMapLine(server),
            std::string("map open (entry 1, ") + (root ? "3" : "2") + " in rotation), score to reach 20");
  std::vector<std::string> expected = {
      "vornaxdm_server: map \"missing\" (maps/missing.vnxm) not loaded: not found",
      "vornaxdm_server: map \"open\" has no spawn points ('@'): players respawn where they stand",
      "vornaxdm_server: map \"folder\" (maps/folder.vnxm) not loaded: not a regular file",
      "vornaxdm_server: map \"secret\" (maps/secret.vnxm) not loaded: not readable (permission denied)",
  };
  if (root) expected.pop_back();
  EXPECT_EQ(SplitLines(ReadFile(errors)), expected);
  EXPECT_EQ(server.stop(), 0);
}

// Packaged maps are read-only: a 0444 map in a 0555 folder, on a file
// system where nothing may be opened for writing (which holds for root too),
// is played; the server reads its maps and never asks for more.
TEST(ServerCommandLine, ReadOnlyMapsArePlayed) {
  if (!ServerBuilt()) GTEST_SKIP();
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir / "maps/packaged.vnxm", kSpawnMap));
  ASSERT_EQ(chmod((dir / "maps/packaged.vnxm").c_str(), 0444), 0);
  ASSERT_EQ(chmod((dir / "maps").c_str(), 0555), 0);
  ChildProcess server;
  server.input_pipe = true;
  const std::string errors = dir / "stderr.txt";
  server.before_exec = [errors] {
    StderrTo(errors);
    ReadOnlyFileSystem();
  };
  ASSERT_TRUE(server.start(BinaryPath("vornaxdm_server"),
                           {"-port", "0", "-map", "packaged", "-log", "server.log"},
                           dir.path()));
  EXPECT_EQ(StatusMapLine(server), "map packaged (entry 1, 1 in rotation), score to reach 20");
  // The file system refuses writing indeed: the log file could not be made.
  EXPECT_EQ(ReadFile(errors),
            "vornaxdm_server: log file \"server.log\" cannot be opened (Read-only file system): no log is kept\n");
  EXPECT_EQ(server.stop(), 0);
  chmod((dir / "maps").c_str(), 0755);
}

}  // namespace
