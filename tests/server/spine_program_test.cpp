// The program and its start-up: numbers and options on the command line,
// the start-up sequence in process; the real vornaxdm_server program: banner,
// port probing, output through a pipe, clean exit on SIGTERM and SIGINT, and
// no hang after a start-up failure without a console.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <cstdlib>

#include "server_test.h"
#include "support/syscall_filter.h"

namespace {

TEST(CommandLineNumbers, DecimalHexBinaryOctalAndTheLowBits) {
  const std::pair<const char*, int> words[] = {
      {"40000", 40000}, {"  \t 123", 123}, {"+7", 7},   {" \t+7", 7},     {"0", 0},       {"$1F", 0x1F},
      {"xff", 0xFF},    {"XaB", 0xAB},     {"0x10", 16}, {"0X10", 16},    {"%101", 5},    {"&17", 15},
      {"+$10", 16},     {"70000", 4464},   {"4294967295", 65535},
      // Invalid texts count as zero, and so do numbers past 32 bits.
      {"", 0}, {" ", 0}, {"++7", 0}, {"-5", 0}, {"12a", 0}, {"1 ", 0}, {"$", 0}, {"0x", 0}, {"%", 0}, {"&", 0},
      {"%102", 0}, {"&8", 0}, {"$g", 0}, {"1.5", 0}, {"1e3", 0}, {"4294967296", 0}, {"$100000000", 0},
      {"99999999999999999999999", 0}};
  for (const auto& [text, value] : words) EXPECT_EQ(S2W(text), value) << '"' << text << '"';
  EXPECT_EQ(S2B("300"), 44);
  EXPECT_EQ(S2B("$1FF"), 0xFF);
}

class StartParams : public ServerTest {
 protected:
  void read(std::vector<std::string> args) {
    args.insert(args.begin(), "vornaxdm_server");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    SV_STARTPARAMS(static_cast<int>(argv.size()), argv.data());
  }
};

TEST_F(StartParams, ValuesAreForcedIntoRange) {
  EXPECT_EQ(SV_IPSLOTS, 4);
  EXPECT_EQ(SV_IPCONNECTS, 2);
  EXPECT_EQ(SV_CONNECTS, 4);
  EXPECT_EQ(SV_LEGACY, 1);
  read({"-maxplayers", "1", "-score", "0", "-bots", "99", "-ipslots", "0", "-ipconnects", "x", "-connects", "$10",
        "-legacy", "7"});
  EXPECT_EQ(SV_MAXPLAYERS, 2);
  EXPECT_EQ(SV_SCORELIMIT, 1);
  EXPECT_EQ(SV_BOTCOUNT, 24);
  EXPECT_EQ(SV_IPSLOTS, 1);
  EXPECT_EQ(SV_IPCONNECTS, 1);
  EXPECT_EQ(SV_CONNECTS, 16);
  EXPECT_EQ(SV_LEGACY, 1);
  read({"-maxplayers", "30", "-score", "abc", "-ipslots", "30", "-ipconnects", "300", "-legacy", "0"});
  EXPECT_EQ(SV_MAXPLAYERS, 24);
  EXPECT_EQ(SV_SCORELIMIT, 1);
  EXPECT_EQ(SV_IPSLOTS, 24);
  EXPECT_EQ(SV_IPCONNECTS, 44);  // the low 8 bits, as every number here
  EXPECT_EQ(SV_LEGACY, 0);
  read({"-maxplayers", "300"});  // low 8 bits: 44, then at most 24
  EXPECT_EQ(SV_MAXPLAYERS, 24);
}

TEST_F(StartParams, PairsOddLastArgumentUnknownAndRepeatedOptions) {
  read({"-port", "40000", "-name"});
  EXPECT_EQ(NET_PORT, 40000);
  EXPECT_EQ(SV_NAME, "Vornax:dm Server");
  read({"-Port", "1", "-bogus", "-teams", "-teams", "7", "-port", "1", "-port", "70000"});
  EXPECT_EQ(NET_PORT, 4464);
  EXPECT_EQ(SV_TEAMPLAY, 7);  // "-teams" was the value of "-bogus"
  read({"-name", std::string(300, 'n')});
  EXPECT_EQ(SV_NAME.len, 255);
  ResetServer();
  read({});
  EXPECT_EQ(NET_PORT, 35700);
  EXPECT_EQ(SV_BOTCOUNT, 0);
}

TEST_F(ServerTest, StartUpShowsSocketLineAndBannerAndLoadsTheBuiltInMap) {
  startServer();
  ASSERT_GE(NET_SOCKETHANDLE(), 0);
  EXPECT_EQ(consoleText(), "UDP initialized! UDP port: " + std::to_string(NET_PORT) +
                               "\nVornax:dm Server, v28\nPlayerlimit: 10, scorelimit: 20, teamplay: no\n");
  EXPECT_EQ(SV_LOGI, 2);
  EXPECT_EQ(LogLine(1), Line({EV_SERVERINFO}, "Vornax:dm Server, v28"));
  EXPECT_EQ(LogLine(0), Line({EV_SERVERINFO}, "Playerlimit: 10, scorelimit: 20, teamplay: no"));
  EXPECT_EQ(SV_MAP.map_index, 1);
  EXPECT_EQ(SV_MAPL[1].name, "DefMap");
}

// The server program on a port the system chooses, its output on a pipe
// read by the test.
bool Start(ChildProcess& server, std::vector<std::string> args = {}) {
  args.insert(args.begin(), {"-port", "0"});
  return server.start(BinaryPath("vornaxdm_server"), args);
}

TEST(ServerProgram, BannerAndConnectLineAppearAtOnceThroughAPipeAndSigintEndsWithZero) {
  ChildProcess server;
  ASSERT_TRUE(Start(server, {"-teams", "7", "-name", "Pipe\x1b[2J"}));
  const uint16_t port = ServerPort(server);
  EXPECT_EQ(server.lines(3), (std::vector<std::string>{"UDP initialized! UDP port: " + std::to_string(port),
                                                       "Pipe?[2J, v28",
                                                       "Playerlimit: 10, scorelimit: 20, teamplay: yes"}));
  UdpPeer peer;
  peer.sendTo(port, ConnectMessage("Eve\r\a"));
  const std::string snapshot = peer.receive(5000);
  ASSERT_EQ(snapshot[0], MSG_SNAPSHOT);
  // The connect line comes with the first input that echoes the snapshot.
  peer.sendTo(port, InputMessage(SnapshotTick(snapshot), 0, ACT_NONE, 0, 0, 0));
  const auto shown = server.lines(4);
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[3], "[SS]Eve?? connected!");
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
