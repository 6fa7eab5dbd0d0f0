// `vornaxdm --list` against real servers on loopback: one full, one in its
// end-of-match countdown and one that never answers (as a server without
// the status query stays silent). LAN discovery is pointed at loopback.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "protocol/status_query.h"
#include "support/process.h"
#include "support/scripted_client.h"
#include "support/udp_peer.h"

namespace {




class ServerListCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ProgramsBuilt()) GTEST_SKIP() << "the programs are not built";
  }

  // The full server: two places, both taken.
  void StartFull() {
    full_port_ = StartServer(full_, {"-port", "0", "-name", "FullHouse", "-maxplayers", "2"}, full_dir_.path());
    ASSERT_NE(full_port_, 0);
    ann_ = std::make_unique<ScriptedClient>("Ann", 0, full_port_, ScriptedClient::kStand);
    bob_ = std::make_unique<ScriptedClient>("Bob", 0, full_port_, ScriptedClient::kStand);
  }
  // The server whose match is over: a score limit of 1 on the small map.
  void StartEnding() {
    ending_port_ =
        StartServer(ending_, {"-port", "0", "-name", "LastRound", "-score", "1", "-bots", "3"}, ending_dir_.path());
    ASSERT_NE(ending_port_, 0);
    fighter_ = std::make_unique<ScriptedClient>("Fighter", 0, ending_port_, ScriptedClient::kFight);
  }
  // The players' frames and the stand-in's turn, every 30 ms.
  bool PlayUntil(int ms, const std::function<bool()>& done) {
    std::vector<ScriptedClient*> players;
    for (ScriptedClient* c : {ann_.get(), bob_.get(), fighter_.get()})
      if (c) players.push_back(c);
    return ::PlayUntil(ms, players, [&] {
      if (also_) also_();
      return done();
    });
  }
  // Runs the client with --list while the players go on playing; its exit code.
  int List(const std::vector<std::string>& hosts, const std::vector<std::string>& env = {}) {
    ChildProcess client;
    // No display at all: a window could not open, so none may be tried.
    client.env = {"DISPLAY=", "SDL_VIDEODRIVER=x11", "ALSOFT_DRIVERS=null"};
    client.env.insert(client.env.end(), env.begin(), env.end());
    std::vector<std::string> args = {"--list"};
    args.insert(args.end(), hosts.begin(), hosts.end());
    if (!client.start(BinaryPath("vornaxdm"), args, client_dir_.path())) return -1;
    int code = -1;
    PlayUntil(10000, [&] { return (code = client.wait(0)) != -1; });
    output_ = client.output();
    return code;
  }
  std::string At(uint16_t port) { return "127.0.0.1:" + std::to_string(port); }

  TempDir full_dir_, ending_dir_, client_dir_;
  ChildProcess full_, ending_;
  uint16_t full_port_ = 0, ending_port_ = 0;
  std::unique_ptr<ScriptedClient> ann_, bob_, fighter_;
  std::function<void()> also_;  // a stand-in server's turn in every frame
  std::string output_;
};

TEST_F(ServerListCommand, NamedServersAreListedInTheirOrder) {
  StartFull();
  StartEnding();
  UdpPeer silent;  // gets the query and never answers
  ASSERT_TRUE(PlayUntil(60000, [&] { return ann_->connected() && bob_->connected() && fighter_->countdown() > 0; }));
  ASSERT_EQ(List({At(full_port_), "localhost:" + std::to_string(ending_port_), At(silent.port())}), 0) << output_;
  const auto lines = SplitLines(output_);
  ASSERT_EQ(lines.size(), 4u) << output_;
  EXPECT_TRUE(Has(lines[0], "Name") && Has(lines[0], "Map") && Has(lines[0], "Players") && Has(lines[0], "Ping"));
  EXPECT_TRUE(Has(lines[1], "FullHouse") && Has(lines[1], "DefMap") && Has(lines[1], " 2/2 ") &&
              Has(lines[1], " ms ") && Has(lines[1], At(full_port_)))
      << lines[1];
  EXPECT_TRUE(Has(lines[2], "LastRound") && Has(lines[2], "(next in ") && Has(lines[2], "/10 ") &&
              Has(lines[2], At(ending_port_)))
      << lines[2];
  EXPECT_TRUE(Has(lines[3], "no answer") && Has(lines[3], At(silent.port()))) << lines[3];
  EXPECT_FALSE(silent.drain().empty()) << "the silent server was asked";
  // The ping column: whole milliseconds, small on loopback.
  const size_t ms = lines[1].find(" ms ");
  const size_t start = lines[1].rfind(' ', ms - 1) + 1;
  EXPECT_LT(std::stoi(lines[1].substr(start, ms - start)), 1000);
}

// Without an address the LAN is asked, here loopback: the saved server of
// config.cfg comes first, then the others that answered; the silent one is
// not listed and the saved one is listed once.
TEST_F(ServerListCommand, TheLanIsAskedWhenNoServerIsNamed) {
  StartFull();
  StartEnding();
  UdpPeer silent;
  // In the game, not only answered: a slot shows in the status once its
  // client's first input proved it received the snapshot.
  auto in_game = [](const ScriptedClient& c) { return c.connected() && c.player(c.slot()).state != PS_NONE; };
  ASSERT_TRUE(PlayUntil(10000, [&] { return in_game(*ann_) && in_game(*bob_); }));
  WriteFile(client_dir_ / "config.cfg", "svip=127.0.0.1\r\nsvport=" + std::to_string(ending_port_) + "\r\n");
  const std::string ports =
      std::to_string(silent.port()) + "," + std::to_string(full_port_) + "," + std::to_string(ending_port_);
  ASSERT_EQ(List({}, {"VORNAXDM_LAN_ADDRESS=127.0.0.1", "VORNAXDM_LAN_PORTS=" + ports}), 0) << output_;
  const auto lines = SplitLines(output_);
  ASSERT_EQ(lines.size(), 3u) << output_;
  EXPECT_TRUE(Has(lines[1], "LastRound")) << output_;
  EXPECT_TRUE(Has(lines[2], "FullHouse") && Has(lines[2], " 2/2 ")) << output_;
  EXPECT_EQ(silent.drain().size(), 1u);
}

TEST_F(ServerListCommand, BadArgumentsAndUnknownNames) {
  EXPECT_EQ(List({"127.0.0.1:99999"}), 2);
  EXPECT_TRUE(Has(output_, "the port must be a number from 1 to 65535")) << output_;
  EXPECT_EQ(List({"--frames"}), 2);
  if (std::system("unshare -n true >/dev/null 2>&1") != 0) GTEST_SKIP() << "no network namespace to be had";
  ChildProcess client;
  client.env = {"DISPLAY=", "SDL_VIDEODRIVER=x11"};
  ASSERT_TRUE(client.start("/usr/bin/unshare",
                           {"-n", BinaryPath("vornaxdm"), "--list", "no-such-server.invalid:35700"},
                           client_dir_.path()));
  EXPECT_EQ(client.wait(60000), 1);
  EXPECT_TRUE(Has(client.output(), "no-such-server.invalid: its address was not found")) << client.output();
  EXPECT_TRUE(Has(client.output(), "Name")) << "the table's heading is printed all the same";
}

// A stand-in server answers with a name and map full of control
// characters; a forger on another port of the same address answers the
// same query first, with its token. The table lists the server once, with
// every control character printed as '?'.
TEST_F(ServerListCommand, AnswersFromElsewhereAreNotListedAndControlCharactersArePrintedAsQuestionMarks) {
  UdpPeer stand_in, forger;
  also_ = [&] {
    uint8_t query[STATUS_QUERY_SIZE + 1];
    sockaddr_in client{};
    uint32_t token = 0;
    const int n = stand_in.receiveInto(query, sizeof query, 0, &client);
    if (n <= 0 || !ReadStatusQuery(query, sizeof query, static_cast<size_t>(n), token)) return;
    ServerStatus s;
    s.token = token;
    s.name.assign("Forged");
    uint8_t answer[STATUS_ANSWER_LIMIT];
    forger.sendTo(client, answer, WriteStatusAnswer(s, answer));
    s.name.assign("Evil\x1b]0;pwned\x07\x85\x9b" "2J\x7f\x01");
    s.map.assign("M\r\n\x90");
    s.players = 1;
    s.max_players = 8;
    stand_in.sendTo(client, answer, WriteStatusAnswer(s, answer));
  };
  ASSERT_EQ(List({At(stand_in.port())}), 0) << output_;
  const auto lines = SplitLines(output_);
  ASSERT_EQ(lines.size(), 2u) << output_;
  EXPECT_TRUE(Has(lines[1], "Evil?]0;pwned???2J??") && Has(lines[1], "M???") && Has(lines[1], " 1/8 ")) << lines[1];
  for (char c : output_) {
    const auto b = static_cast<unsigned char>(c);
    EXPECT_TRUE(c == '\n' || (b >= 0x20 && b != 0x7F && (b < 0x80 || b > 0x9F))) << static_cast<int>(b);
  }
}

}  // namespace
