// The real server run as a service: its log across logrotate and a full
// disk, a console nobody reads, a named pipe on standard input, the control
// socket and --send with every command an operator has, bans that outlive a
// restart, a drain, and starting exactly on the address and port asked for.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "protocol/status_query.h"
#include "support/process.h"
#include "support/scripted_client.h"
#include "support/status_ask.h"
#include "support/udp_peer.h"
#include "support/wire.h"

namespace {



// `vornaxdm_server --send socket words...`: the exit code, the output in out.
int Send(const std::string& socket, const std::vector<std::string>& words, std::string* out = nullptr) {
  std::vector<std::string> args{"--send", socket};
  args.insert(args.end(), words.begin(), words.end());
  std::string text;
  const int code = RunProgram(BinaryPath("vornaxdm_server"), args, text);
  if (out) *out = text;
  return code;
}

std::string Answer(const std::string& socket, const std::vector<std::string>& words) {
  std::string out;
  EXPECT_EQ(Send(socket, words, &out), 0) << out;
  return out;
}

int ConnectUnix(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// What a connect from this peer gets back, repeated as a client repeats it
// ("server full" comes about once a second): the code of the reply.
char ConnectReply(const UdpPeer& peer, uint16_t port, const std::string& name) {
  peer.drain();
  for (int attempt = 0; attempt < 20; ++attempt) {
    peer.sendTo(port, ConnectMessage(name));
    const std::string reply = peer.receive(300);
    if (!reply.empty()) return reply[0];
  }
  return 0;
}

bool StatusAnswered(uint16_t port) {
  UdpPeer asker;
  return Ask(asker, port, 7, 5000) != nullptr;
}

bool EveryLineStamped(const std::string& log) {
  static const std::regex stamped("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}\\.[0-9]{3}Z .+");
  for (const std::string& line : SplitLines(log))
    if (!std::regex_match(line, stamped)) return ADD_FAILURE() << "torn or bare line: " << line, false;
  return log.empty() || log.back() == '\n';
}

TEST(ServerService, SighupReopensTheLogForLogrotateAndNothingElse) {
  if (!ServerBuilt()) GTEST_SKIP();
  TempDir dir;
  ChildProcess server;
  ASSERT_NE(StartServer(server, {"-port", "0", "-log", "s.log", "-control", "c.sock"}, dir.path()), 0);
  struct stat st {};
  ASSERT_EQ(stat((dir / "s.log").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // create + postrotate kill -HUP: the moved file keeps what it had, the new one goes on.
  ASSERT_EQ(rename((dir / "s.log").c_str(), (dir / "s.log.1").c_str()), 0);
  server.signal(SIGHUP);
  ASSERT_TRUE(WaitFor([&] { return Has(ReadFile(dir / "s.log"), "log reopened"); }, 5000));
  Answer(dir / "c.sock", {"bans"});
  EXPECT_TRUE(Has(ReadFile(dir / "s.log"), "control command: bans"));
  EXPECT_FALSE(Has(ReadFile(dir / "s.log.1"), "control command"));
  EXPECT_TRUE(Has(ReadFile(dir / "s.log.1"), "start: "));
  // copytruncate: the file is cut to nothing and the next line lands at its start.
  ASSERT_EQ(truncate((dir / "s.log").c_str(), 0), 0);
  Answer(dir / "c.sock", {"status"});
  EXPECT_EQ(ReadFile(dir / "s.log").substr(0, 2), "20");
  EXPECT_TRUE(server.running());
  EXPECT_EQ(server.stop(), 0);
  EXPECT_TRUE(EveryLineStamped(ReadFile(dir / "s.log")));
  EXPECT_TRUE(Has(ReadFile(dir / "s.log"), "stop: signal"));
  EXPECT_FALSE(FileExists(dir / "c.sock"));
}

// A 64 KiB tmpfs in a mount namespace of the server's own; false when this
// machine does not let the test make one.
void MountSmallDisk(const std::string& where) {
  if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      mount("tmpfs", where.c_str(), "tmpfs", 0, "size=64k") != 0)
    _exit(125);
}

bool SmallDisksAllowed(const std::string& where) {
  const pid_t child = fork();
  if (child == 0) {
    MountSmallDisk(where);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(ServerService, AFullDiskLosesLogLinesCountedAndNeverTornOne) {
  if (!ServerBuilt()) GTEST_SKIP();
  TempDir dir;
  const std::string disk = dir / "disk";
  ASSERT_EQ(mkdir(disk.c_str(), 0755), 0);
  if (!SmallDisksAllowed(disk)) GTEST_SKIP() << "no mount namespace for a small tmpfs here";
  ChildProcess server;
  server.before_exec = [&] { MountSmallDisk(disk); };
  ASSERT_NE(StartServer(server, {"-port", "0", "-log", disk + "/s.log", "-control", "c.sock"}, dir.path()), 0);
  // The server's disk as the server sees it.
  const std::string seen = "/proc/" + std::to_string(server.pid()) + "/root" + disk;
  ASSERT_TRUE(WaitFor([&] { return Has(ReadFile(seen + "/s.log"), "map start"); }, 5000));
  {
    std::string filler(1024, 'x');
    FILE* f = std::fopen((seen + "/filler").c_str(), "w");
    ASSERT_NE(f, nullptr);
    while (std::fwrite(filler.data(), 1, filler.size(), f) == filler.size() && std::fflush(f) == 0) {}
    std::fclose(f);
  }
  for (int i = 0; i < 100; ++i) Answer(dir / "c.sock", {"status"});
  const std::string during = ReadFile(seen + "/s.log");
  EXPECT_TRUE(Has(server.output(), "cannot be written (No space left on device): lines are lost and counted"));
  ASSERT_EQ(unlink((seen + "/filler").c_str()), 0);
  Answer(dir / "c.sock", {"bans"});
  const std::string after = ReadFile(seen + "/s.log");
  EXPECT_TRUE(std::regex_search(
      after, std::regex("Z [0-9]+ log lines lost \\(No space left on device\\)\n.*control command: bans")))
      << after;
  EXPECT_TRUE(EveryLineStamped(after));
  EXPECT_EQ(after.compare(0, during.size(), during), 0) << "lines written before were kept as they were";
  // Reported once for the whole episode.
  const std::string output = server.output();
  EXPECT_EQ(output.find("cannot be written"), output.rfind("cannot be written"));
  EXPECT_EQ(server.stop(), 0);
}

TEST(ServerService, AStalledStandardOutputNeitherFreezesTheGameNorItsEnd) {
  if (!ServerBuilt()) GTEST_SKIP();
  TempDir dir;
  ChildProcess server;  // its output goes to a pipe that the test stops reading
  server.input_pipe = true;
  ASSERT_TRUE(server.start(BinaryPath("vornaxdm_server"), {"-port", "0", "-control", "c.sock"}, dir.path()));
  const uint16_t port = ServerPort(server);
  ASSERT_NE(port, 0);
  std::string burst;
  for (int i = 0; i < 3000; ++i) burst += "status\n";  // far more answers than a pipe holds
  ASSERT_TRUE(server.input(burst));
  ASSERT_TRUE(WaitFor([&] { return Has(Answer(dir / "c.sock", {"bots", "0"}), "bots: 0 wanted"); }, 20000));
  EXPECT_TRUE(StatusAnswered(port));
  // Reading again: one notice says how much was dropped, then the lines come whole.
  server.output();
  ASSERT_TRUE(server.input("status\n"));
  ASSERT_TRUE(WaitFor([&] { return Has(server.output(), "console lines dropped"); }, 5000));
  EXPECT_TRUE(std::regex_search(
      server.output(), std::regex("\n[0-9]+ console lines dropped: standard output was not read\nmap DefMap")));
  ASSERT_TRUE(server.input(burst));
  ASSERT_TRUE(WaitFor([&] { return Has(Answer(dir / "c.sock", {"bots", "1"}), "bots: 1 wanted"); }, 20000));
  server.signal(SIGTERM);
  EXPECT_EQ(server.wait(10000), 0);
}

TEST(ServerService, ANamedPipeConsoleOutlivesItsWriters) {
  if (!ServerBuilt()) GTEST_SKIP();
  TempDir dir;
  const std::string fifo = dir / "console";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ChildProcess server;
  // Read only, as a service manager's StandardInput= gives it: no writer of its own.
  server.before_exec = [&] {
    const int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    fcntl(fd, F_SETFL, 0);
    dup2(fd, STDIN_FILENO);
  };
  ASSERT_NE(StartServer(server, {"-port", "0"}, dir.path()), 0);
  for (const char* command : {"bots 1", "bots 2", "bots 3"}) {
    const int writer = open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    const std::string line = std::string(command) + "\n";
    ASSERT_EQ(write(writer, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    close(writer);
    const std::string answer = "bots: " + std::string(command + 5) + " wanted";
    EXPECT_TRUE(WaitFor([&] { return Has(ReadFile(dir / "server.out"), answer); }, 5000)) << answer;
  }
  EXPECT_EQ(server.stop(), 0);
}

TEST(ServerService, EveryCommandOverTheControlSocketWithBansThatOutliveARestart) {
  if (!ServerBuilt()) GTEST_SKIP();
  TempDir dir;
  const std::string sock = dir / "c.sock";
  // A socket file left by a server that did not stop cleanly is replaced.
  {
    const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", sock.c_str());
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(stale);
  }
  // A ban file with a comment, a mistake, a ban long over and a line too long.
  ASSERT_TRUE(WriteFile(dir / "bans.txt", "# bans\nnot-an-address 0\n10.9.9.9 1\n" + std::string(300, '1') +
                                              " 0\n10.8.8.8 0\n"));
  const std::vector<std::string> args{"-port", "0", "-log", "s.log", "-control", "c.sock", "-banfile", "bans.txt"};
  auto server = std::make_unique<ChildProcess>();
  const uint16_t port = StartServer(*server, args, dir.path());
  ASSERT_NE(port, 0);
  const std::string warnings = ReadFile(dir / "server.out");
  EXPECT_TRUE(Has(warnings, "ban file \"bans.txt\" line 2 is not \"ADDRESS EXPIRY\": skipped\n"));
  EXPECT_TRUE(Has(warnings, "ban file \"bans.txt\" line 4 is too long: skipped\n"));
  struct stat st {};
  ASSERT_EQ(stat(sock.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0660u);
  ScriptedClient ann("Ann", 0, port, ScriptedClient::kStand);
  ASSERT_TRUE(PlayUntil(10000, {&ann}, [&] { return ann.connected(); }));

  // One connection, several commands: each answered in full, then the close.
  const int fd = ConnectUnix(sock);
  ASSERT_GE(fd, 0);
  const std::string asked = "help\nbans\nfrobnicate\n";
  ASSERT_EQ(write(fd, asked.data(), asked.size()), static_cast<ssize_t>(asked.size()));
  shutdown(fd, SHUT_WR);
  std::string answers;
  char chunk[4096];
  for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;) answers.append(chunk, static_cast<size_t>(n));
  close(fd);
  EXPECT_TRUE(Has(answers, "commands:\n  status "));
  EXPECT_TRUE(std::regex_search(
      answers, std::regex("\n  help +this list\n1 ban\n10\\.8\\.8\\.8 +for ever\nunknown")));
  EXPECT_TRUE(Has(answers, "unknown command \"frobnicate\"; commands: status, kick SLOT [MINUTES], map NAME,"));

  // say: every player's log shows it as a chat line without a speaker.
  EXPECT_EQ(Answer(sock, {"say", "back", "in", "5"}), "said to 1 player\n");
  auto ann_read = [&](const std::string& text) {
    for (const LoggedLine& l : ann.log())
      if (l.text.size() > 2 && l.text[0] == EV_CHAT && l.text.substr(2) == text) return true;
    return false;
  };
  EXPECT_TRUE(PlayUntil(5000, {&ann}, [&] { return ann_read("back in 5"); }));
  EXPECT_TRUE(Has(ReadFile(dir / "server.out"), "\n: back in 5\n"));

  // ban: connects get "server full" and one log line; unban lets them in.
  UdpPeer mallory("127.0.0.2");
  EXPECT_EQ(Answer(sock, {"ban", "127.0.0.2"}), "address 127.0.0.2 banned for ever\n");
  EXPECT_EQ(ConnectReply(mallory, port, "Mal"), static_cast<char>(MSG_SERVERFULL));
  EXPECT_TRUE(WaitFor([&] { return Has(ReadFile(dir / "s.log"), "connect refused from 127.0.0.2: banned"); }, 3000));
  EXPECT_TRUE(Has(Answer(sock, {"bans"}), "2 bans\n10.8.8.8        for ever\n127.0.0.2       for ever\n"));
  EXPECT_EQ(Answer(sock, {"unban", "127.0.0.2"}), "127.0.0.2 unbanned\n");
  EXPECT_EQ(ConnectReply(mallory, port, "Mal"), static_cast<char>(MSG_SNAPSHOT));
  mallory.sendTo(port, InputMessage(0, 0, ACT_NONE, 0, 0, 0));
  EXPECT_EQ(Answer(sock, {"ban", "nowhere"}), "nowhere not banned: not an IPv4 address\n");

  // kick SLOT MINUTES keeps the address out that long.
  std::string status;
  ASSERT_TRUE(WaitFor(
      [&] { return std::regex_search(status = Answer(sock, {"status"}), std::regex("Mal .*127\\.0\\.0\\.2")); }, 5000));
  std::smatch slot;
  ASSERT_TRUE(std::regex_search(status, slot, std::regex("\n +([0-9]+) Mal ")));
  EXPECT_TRUE(Has(Answer(sock, {"kick", slot[1], "5"}), "address 127.0.0.2 kept out for 5 minutes\n"));
  EXPECT_EQ(ConnectReply(mallory, port, "Mal"), static_cast<char>(MSG_SERVERFULL));
  EXPECT_TRUE(
      std::regex_search(Answer(sock, {"bans"}), std::regex("127\\.0\\.0\\.2 +until [0-9T:-]+Z \\(5 min left\\)")));
  EXPECT_TRUE(Has(Answer(sock, {"ban", "127.0.0.3", "60"}), "banned for 60 minutes"));

  // A client that never reads its answers is dropped; the others go on.
  const int greedy = ConnectUnix(sock);
  std::string flood;
  for (int i = 0; i < 2000; ++i) flood += "status\n";
  (void)send(greedy, flood.data(), flood.size(), MSG_DONTWAIT);
  EXPECT_TRUE(Has(Answer(sock, {"bots", "0"}), "bots: 0 wanted"));
  close(greedy);

  // The bans come back with the server.
  EXPECT_EQ(Answer(sock, {"quit"}), "quitting\n");
  EXPECT_EQ(server->wait(5000), 0);
  EXPECT_FALSE(FileExists(sock));
  EXPECT_EQ(Send(sock, {"status"}), 1);
  server = std::make_unique<ChildProcess>();
  ASSERT_EQ(unlink((dir / "server.out").c_str()), 0);
  std::vector<std::string> same_port = args;
  same_port[1] = std::to_string(port);
  const uint16_t again = StartServer(*server, same_port, dir.path());
  ASSERT_EQ(again, port);
  EXPECT_TRUE(std::regex_search(Answer(sock, {"bans"}),
                                std::regex("^3 bans\n10\\.8\\.8\\.8 +for ever\n127\\.0\\.0\\.2 +until .*\n127\\.0\\.0\\.3 +until")));
  UdpPeer mallory_again("127.0.0.2");
  EXPECT_EQ(ConnectReply(mallory_again, again, "Mal"), static_cast<char>(MSG_SERVERFULL));
  EXPECT_EQ(server->stop(), 0);
}

// The end of the match is told in seconds to the status query meanwhile.
TEST(ServerService, DrainLetsTheMatchEndThenStops) {
  if (!ServerBuilt()) GTEST_SKIP();
  TempDir dir;
  ChildProcess server;
  const uint16_t port = StartServer(
      server, {"-port", "0", "-log", "s.log", "-control", "c.sock", "-score", "1", "-bots", "3"}, dir.path());
  ASSERT_NE(port, 0);
  ScriptedClient ann("Ann", 0, port, ScriptedClient::kStand);
  ASSERT_TRUE(PlayUntil(10000, {&ann}, [&] { return ann.connected(); }));
  EXPECT_TRUE(Has(Answer(dir / "c.sock", {"drain"}), "draining: no new players"));
  UdpPeer late("127.0.0.4");
  EXPECT_EQ(ConnectReply(late, port, "Late"), static_cast<char>(MSG_SERVERFULL));
  // The bots play the match out; the server ends by itself after it.
  ASSERT_TRUE(PlayUntil(60000, {&ann}, [&] { return ann.countdown() > 0; }));
  UdpPeer asker;
  const auto status = Ask(asker, port, 77);
  ASSERT_TRUE(status);
  EXPECT_GT(status->countdown_seconds, 0);
  EXPECT_LE(status->countdown_seconds, 15);
  int best = 0;
  for (int i = 0; i < status->entry_count; ++i) best = std::max<int>(best, status->entries[i].frags);
  EXPECT_GE(best, 1);
  EXPECT_TRUE(PlayUntil(60000, {&ann}, [&] { return !server.running(); }));
  EXPECT_EQ(server.wait(5000), 0);
  bool announced = false;
  for (const LoggedLine& l : ann.log()) announced |= Has(l.text, "This server stops after the current match.");
  EXPECT_TRUE(announced);
  const std::string log = ReadFile(dir / "s.log");
  const size_t won = log.rfind(" WINS!\n");
  ASSERT_NE(won, std::string::npos) << log;
  EXPECT_NE(log.find("map end: DefMap; scores: ", won), std::string::npos);
  EXPECT_EQ(log.substr(log.size() - 14), "stop: drained\n");
}

TEST(ServerService, StartsExactlyOnTheAddressAndPortAsked) {
  if (!ServerBuilt()) GTEST_SKIP();
  TempDir dir;
  ChildProcess server;
  const uint16_t port = StartServer(server, {"-port", "0", "-bind", "127.0.0.1"}, dir.path());
  ASSERT_NE(port, 0);
  EXPECT_TRUE(StatusAnswered(port));
  // Another loopback address keeps the port free: only 127.0.0.1 was bound.
  const int other = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address = LoopbackAddress(port);
  address.sin_addr.s_addr = htonl(0x7F000002);
  EXPECT_EQ(bind(other, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(other);

  const std::string server_path = BinaryPath("vornaxdm_server");
  std::string out;
  const std::string busy = std::to_string(port);
  EXPECT_EQ(RunProgram(server_path, {"-port", busy, "-bind", "127.0.0.1", "-strictport", "1"}, out), 1);
  EXPECT_TRUE(Has(out, "vornaxdm_server: port " + busy +
                           " cannot be bound (Address already in use); -strictport 1 forbids another\n"));
  EXPECT_EQ(RunProgram(server_path, {"-strictport", "1", "-port", "abc"}, out), 2);
  EXPECT_TRUE(Has(out, "-port \"abc\" is not a number (0..65535): with -strictport 1 the server does not start\n"));
  EXPECT_EQ(RunProgram(server_path, {"-port", "70000", "-strictport", "1"}, out), 2);
  EXPECT_TRUE(Has(out, "-port \"70000\" is out of range"));
  EXPECT_EQ(RunProgram(server_path, {"-bind", "localhost"}, out), 2);
  EXPECT_TRUE(Has(out, "-bind \"localhost\" is not an IPv4 address"));
  // Without -strictport a busy port is still probed upward.
  TempDir next_dir;
  ChildProcess next;
  EXPECT_EQ(StartServer(next, {"-port", busy, "-bind", "127.0.0.1"}, next_dir.path()), port + 1);

  EXPECT_EQ(Send(dir / "none.sock", {"status"}, &out), 1);
  EXPECT_TRUE(Has(out, "no server answers on"));
  EXPECT_EQ(Send(dir / "none.sock", {}, &out), 2);
  EXPECT_EQ(Send(dir / "none.sock", {"say", "two\nlines"}, &out), 2);
}

}  // namespace
