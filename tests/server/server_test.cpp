#include "server_test.h"

#include <cstring>

LogBatch ParseLog(const std::string& b) {
  LogBatch out;
  EXPECT_EQ(b[0], MSG_LOG);
  out.last = static_cast<uint16_t>(static_cast<uint8_t>(b[1]) | static_cast<uint8_t>(b[2]) << 8);
  size_t p = 4;
  for (size_t i = 0; i < static_cast<uint8_t>(b[3]) && p < b.size(); ++i) {
    const size_t len = static_cast<uint8_t>(b[p]);
    out.lines.push_back(b.substr(p + 1, len));
    p += 1 + len;
  }
  EXPECT_EQ(p, b.size());
  return out;
}

void UseMap(const std::vector<std::string>& rows) {
  // The first row follows the header directly; a carriage return ends each row.
  std::string text = "000000";
  for (size_t r = 0; r < rows.size(); ++r) text += (r ? "\r" : "") + rows[r];
  std::memset(SV_MAPL[1].text, 0, sizeof SV_MAPL[1].text);
  MAPFROMSTR(1, text.c_str());
  SV_LOADCURMAP(1);
}

void AddSpectator(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  c.in_use = 1;
  c.joined = 0;
  c.is_bot = 0;
  c.name.assign("P" + std::to_string(slot));
  c.address.assign("127.0.0.1");
  c.port = static_cast<uint16_t>(40000 + slot);
  c.input_budget = 33;
  c.log_ack = SV_LOGI;
  PLAYER_RESPAWN(slot);
  ++SV_CURCLIENTS;
}

void AddPlayer(uint8_t slot, uint16_t x, uint16_t y, uint8_t team) {
  AddSpectator(slot);
  ClientRecord& c = SV_CLIENTSLIST[slot];
  c.joined = 1;
  c.team = team;
  c.x = c.want_x = c.goal_x = x;
  c.y = c.want_y = c.goal_y = y;
  ++SV_CURPLAYERS;
}

void SimTick() {
  SV_OTHER();
  SV_MAPITEMS();
  SV_PLAYERS();
}

void ServerTest::ResetServer() {
  SV_RESETALL();
  if (console_) std::fclose(console_);
  console_ = std::tmpfile();
  CON_SETOUTPUT(console_);
}

void ServerTest::startServer(std::vector<std::string> args) {
  args.insert(args.begin(), {"vornaxdm_server", "-port", "0"});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  ASSERT_TRUE(GAMESTART(static_cast<int>(argv.size()), argv.data()));
}

std::string ServerTest::consoleText() {
  std::fflush(console_);
  std::string out;
  std::rewind(console_);
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, console_)) > 0) out.append(buf, n);
  std::fseek(console_, 0, SEEK_END);
  return out;
}

uint8_t ServerTest::connect(const Peer& peer, const std::string& name, uint8_t team) {
  peer.send(ConnectMessage(name, team));
  GAMECYCLE();
  enter(peer);
  GAMECYCLE();
  return slotOf(peer);
}

std::vector<std::unique_ptr<Peer>> ServerTest::newPeers(int n) {
  std::vector<std::unique_ptr<Peer>> peers;
  for (int i = 0; i < n; ++i) peers.push_back(std::make_unique<Peer>());
  return peers;
}

std::vector<std::unique_ptr<Peer>> ServerTest::connectPeers(int n, const std::string& prefix) {
  std::vector<std::unique_ptr<Peer>> peers = newPeers(n);
  for (int i = 0; i < n; ++i) EXPECT_NE(connect(*peers[i], prefix + std::to_string(i), static_cast<uint8_t>(i)), 0) << i;
  return peers;
}

uint16_t LastSnapshotTick(const Peer& peer) {
  uint16_t tick = 0;
  for (const std::string& d : peer.drain(MSG_SNAPSHOT)) tick = SnapshotTick(d);
  return tick;
}

uint8_t ServerTest::slotOf(const Peer& peer) {
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& c = SV_CLIENTSLIST[s];
    if (c.in_use && !c.is_bot && c.port == peer.port() && c.address == "127.0.0.1") return static_cast<uint8_t>(s);
  }
  return 0;
}
