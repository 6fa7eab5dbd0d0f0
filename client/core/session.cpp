// The client's side of the wire protocol: the socket, connecting, the input
// message every frame, and every datagram from the server turned into
// changes of the client state.
#include "client/core/session.h"

#include <algorithm>

#include "client/core/client_state.h"
#include "client/core/connection.h"
#include "client/core/input.h"
#include "client/core/interpolation.h"
#include "client/core/labels.h"
#include "client/core/presentation.h"
#include "client/core/prediction.h"
#include "client/core/scoreboard.h"
#include "client/core/session_udp.h"
#include "client/core/world.h"
#include "protocol/rules.h"

MessageBuffer client_buf;
namespace {
constexpr uint16_t kFirstLocalPort = 35500;
}  // namespace

uint16_t local_port = kFirstLocalPort;

void ResetLocalPort() { local_port = kFirstLocalPort; }

namespace {

// Datagrams taken in one frame at most, so a flood cannot stall the game.
constexpr int kReceiveLimit = 1024;

std::string ReadText() {
  ShortStr s;
  client_buf.readString(s);
  return s.str();
}

uint8_t ClampSlot(uint8_t s) { return std::clamp<uint8_t>(s, 1, MAX_SLOTS); }

void Send() { UdpSend(cfg.server_address, cfg.server_port, client_buf.bytes(), client_buf.length()); }

// ---- messages from the server ------------------------------------------

void ApplyServerFull() { ShowLogLine("Server ful"); }

void ApplyBadVersion() {
  const uint8_t version = client_buf.readByte();
  ShowLogLine("Wrong protocol version! Server protocol: " + std::to_string(version));
}

// The map text up to and including its 0 byte. The table keeps positions
// 1..MAP_TEXT_SIZE with a 0 at the end at the latest; longer text is read and
// dropped. Everything after the terminator is zero, so no earlier, longer
// map can show through.
void ReadMapText() {
  std::fill(std::begin(map_text), std::end(map_text), 0);
  for (int pos = 1;; ++pos) {
    const uint8_t b = client_buf.readByte();
    if (pos < MAP_TEXT_SIZE) map_text[pos] = b;
    if (b == 0) break;
  }
}

void ReadPlayerList() {
  const uint8_t count = client_buf.readByte();
  for (int i = 0; i < count; ++i) {
    const uint8_t slot = client_buf.readByte();
    const uint8_t team = client_buf.readByte();
    std::string name = ReadText();
    if (slot < 1 || slot > MAX_SLOTS) continue;
    players[slot].team = std::min<uint8_t>(team, NUM_TEAMS - 1);
    players[slot].name = PrintableText(name);
  }
}

void ApplyGameInfo() {
  ClearMap();
  log_ack = client_buf.readWord();
  ReadMapText();
  DecodeMap();
  map_name = ReadText();
  server_name = ReadText();
  score_limit = client_buf.readByte();
  team_play = client_buf.readByte();
  max_players = client_buf.readByte();
  ReadPlayerList();
  const std::string info = "server name: " + PrintableText(server_name) + CR + "map: " + PrintableText(map_name) +
                           "  scorelimit: " +
                           std::to_string(score_limit) + CR + "max players: " + std::to_string(max_players) +
                           "  game type: " + (team_play != 0 ? "Team DM" : "DM");
  l_sb_stat.setCaption(info);
  ShowLogLine(info);
  awaiting_info = false;
  // The team totals belong to the board as soon as the game is known to be
  // a team game, whether or not the menu has been opened since.
  ShowScoreboard(l_log.visible);
  PlaceSpectatorCamera();
}

void ApplyNotConnected() { ConnectAgain(); }

void ApplyLog() {
  if (awaiting_info) return;
  const uint16_t index = client_buf.readWord();
  // The server's line counter wraps at 65536, so "newer" is decided on the
  // difference, not on the raw numbers.
  const int newer = static_cast<int16_t>(index - log_ack);
  if (newer <= 0) return;
  log_ack = index;
  const uint8_t count = client_buf.readByte();
  // The batch starts after the server's idea of our acknowledgement, which
  // lags behind ours when an input message was lost: lines we already have
  // lead the batch and are passed over, so no line shows twice.
  const int already_shown = count > newer ? count - newer : 0;
  ShortStr entry;
  for (int i = 0; i < count; ++i) {
    client_buf.readString(entry);
    if (i >= already_shown) ApplyEvent(entry.str());
  }
}

void ReadPlayerEntry() {
  const uint8_t slot = ClampSlot(client_buf.readByte());
  TClient& p = players[slot];
  p.state = std::clamp<uint8_t>(client_buf.readByte(), PS_SPECTATOR, PS_FIRING);
  const uint8_t ping = client_buf.readByte();
  p.ping = ping > 0 ? static_cast<uint8_t>(ping - 1) : 0;
  if (p.state < PS_DEAD) return;  // spectators carry no more
  p.frags = client_buf.readByte();
  if (p.state >= PS_ALIVE) {
    p.x = client_buf.readWord();
    p.y = client_buf.readWord();
    p.dir = client_buf.readWord();
  }
  if (p.state == PS_FIRING) p.gun = std::clamp<uint8_t>(client_buf.readByte(), 1, NUM_WEAPONS);
  ApplyPlayerUpdate(slot);
}

void ReadPresentItems() {
  const uint8_t count = client_buf.readByte();
  for (int i = 0; i < count; ++i) {
    const uint8_t item = client_buf.readByte();
    if (item >= 1 && item <= MAX_MAP_ITEMS) map_items[item].present = 1;
  }
}

// Sounds and flashes for what a snapshot gave the living local player.
void PickUpFeedback(uint8_t old_ammo1, uint8_t old_ammo2, uint8_t old_health, uint8_t old_armor) {
  if (players[my_slot].prev_state < PS_ALIVE) return;  // a respawn's refill is silent
  if (ammo[1] > old_ammo1 || ammo[2] > old_ammo2) {
    PlayCue(Cue::Ammo, 0);
    TintFlash(10, 10, 0);
  }
  if (armor > old_armor) {
    PlayCue(Cue::Armor, 0);
    TintFlash(30, 0, 30);
  }
  if (health > old_health) {
    PlayCue(Cue::Health, 0);
    TintFlash(0, 0, 20);
  }
}

void ReadOwnBlock() {
  const uint8_t old_ammo1 = ammo[1], old_ammo2 = ammo[2], old_health = health, old_armor = armor;
  my_slot = ClampSlot(client_buf.readByte());
  health = client_buf.readByte();
  armor = client_buf.readByte();
  ammo[1] = client_buf.readByte();
  ammo[2] = client_buf.readByte();
  players[my_slot].gun = std::clamp<uint8_t>(client_buf.readByte(), 1, NUM_WEAPONS);
  PickUpFeedback(old_ammo1, old_ammo2, old_health, old_armor);
}

void ApplySnapshot() {
  const uint16_t tick = client_buf.readWord();
  if (SnapshotIsOutdated(tick)) return;  // overtaken by a newer one on the way
  NoteSnapshotApplied(tick);
  BeginSnapshot();
  server_tick = tick;
  restart_countdown = client_buf.readWord();
  if (restart_countdown != 0) {
    l_sb_stat.setCaption("Scorelimit hit! Server restart: " + std::to_string(restart_countdown / 33));
  }
  const uint8_t count = client_buf.readByte();
  for (int i = 0; i < count; ++i) ReadPlayerEntry();
  ReadPresentItems();
  ReadOwnBlock();
  if (conn_state == CS_CONNECTING) {
    view_slot = my_slot;
    conn_state = CS_CONNECTED;
    ShowLogLine("Connected!");
  }
}

struct MessageRule {
  uint8_t code;
  uint8_t lowest_state;  // the connection state the message needs at least
  void (*apply)();
};

const MessageRule kMessageRules[] = {
    {MSG_SERVERFULL, CS_IDLE, ApplyServerFull},     {MSG_BADVERSION, CS_IDLE, ApplyBadVersion},
    {MSG_GAMEINFO, CS_CONNECTED, ApplyGameInfo},    {MSG_NOTCONNECTED, CS_CONNECTED, ApplyNotConnected},
    {MSG_LOG, CS_CONNECTED, ApplyLog},              {MSG_SNAPSHOT, CS_CONNECTING, ApplySnapshot},
};

void SendInputMessage() {
  action = ActionToSend(action);
  client_buf.clear();
  client_buf.writeByte(MSG_INPUT);
  client_buf.writeWord(server_tick);
  client_buf.writeWord(net_angle);
  client_buf.writeByte(action);
  client_buf.writeWord(local_x);
  client_buf.writeWord(local_y);
  client_buf.writeWord(log_ack);
  Send();
  NoteInputSent(server_tick);
}

// ---- message-log events --------------------------------------------------

// Character i of an entry; characters the entry does not have read as 0, as
// the cleared buffer behind a short datagram does.
uint8_t At(const std::string& entry, size_t i) { return i < entry.size() ? static_cast<uint8_t>(entry[i]) : 0; }
std::string From(const std::string& entry, size_t i) { return i < entry.size() ? entry.substr(i) : std::string(); }
const std::string& NameOf(uint8_t slot) { return players[ClampSlot(slot)].name; }

std::string OnConnect(const std::string& e, uint8_t s) {
  // The team picks a skin, so it must stay a team.
  players[s].team = std::min<uint8_t>(At(e, 2), NUM_TEAMS - 1);
  players[s].name = PrintableText(From(e, 3).substr(0, NAME_LIMIT));
  return players[s].name + " connected!";
}
std::string OnDisconnect(const std::string&, uint8_t s) { return players[s].name + " disconnected!"; }
std::string OnTimeout(const std::string&, uint8_t s) { return players[s].name + " time out!"; }
std::string OnChat(const std::string& e, uint8_t s) {
  PlayCue(Cue::Chat, 0);
  return players[s].name + ": " + PrintableText(From(e, 2));
}
std::string OnKill(const std::string& e, uint8_t) {
  const uint8_t weapon = std::clamp<uint8_t>(At(e, 1), 1, NUM_WEAPONS);
  const uint8_t killer = ClampSlot(At(e, 2));
  const uint8_t victim = ClampSlot(At(e, 3));
  if (view_slot == killer) Announce("You fragged " + NameOf(victim) + "!");
  if (view_slot == victim) Announce("You were fragged by " + NameOf(killer) + "!");
  return NameOf(killer) + " > " + GUNS_NAME[weapon] + " > " + NameOf(victim);
}
std::string OnJoin(const std::string&, uint8_t s) { return players[s].name + " has joined the game!"; }
std::string OnLeave(const std::string&, uint8_t s) { return players[s].name + " has left the game!"; }
std::string OnWin(const std::string&, uint8_t s) {
  std::string line = players[s].name + " WINS!";
  Announce(line);
  PlayCue(Cue::Score, 0);
  return line;
}
std::string OnTeamWin(const std::string& e, uint8_t) {
  const uint8_t team = std::min<uint8_t>(At(e, 1), NUM_TEAMS - 1);
  std::string line = std::string(TEAMNAME[team]) + " team " + " WINS!";
  Announce(line);
  PlayCue(Cue::Score, 0);
  return line;
}

using EventRule = std::string (*)(const std::string& entry, uint8_t subject);

// Indexed by event code; codes 0 and 10 (server information) show nothing.
const EventRule kEventRules[EV_SERVERINFO + 1] = {
    nullptr, OnConnect, OnDisconnect, OnTimeout, OnChat, OnKill, OnJoin, OnLeave, OnWin, OnTeamWin, nullptr,
};

}  // namespace

bool InitNetwork() {
  // This platform has no socket layer to start, so that step cannot fail.
  switch (UdpOpen()) {
    case UdpOpenResult::SocketFailed:
      LogLine("UDP initialization failed! [ socket() ]");
      CloseNetwork();
      return false;
    case UdpOpenResult::NonBlockingFailed:
      LogLine("UDP initialization failed! [ ioctlsocket() ]");
      CloseNetwork();
      return false;
    case UdpOpenResult::Ok: break;
  }
  // Probe upward; after a full round of ports nothing will ever bind, so
  // the client runs on without a socket instead of probing for ever.
  for (int tries = 1; !UdpBind(local_port); ++tries) {
    LogLine("Port " + std::to_string(local_port) + " blocked, try next...");
    ++local_port;
    if (tries >= 65536) {
      CloseNetwork();
      return false;
    }
  }
  ShowLogLine("UDP initialiazed! Local socket port " + std::to_string(local_port));
  return true;
}

void CloseNetwork() { UdpClose(); }

void HandleDatagram(const std::string& sender_address) {
  client_buf.pos = 1;
  const uint8_t code = client_buf.readByte();
  if (sender_address != cfg.server_address) return;  // the port is not compared
  NoteServerHeard();
  for (const MessageRule& rule : kMessageRules) {
    if (rule.code == code) {
      if (conn_state >= rule.lowest_state) rule.apply();
      return;
    }
  }
}

void ReceiveMessages() {
  for (int taken = 0; taken < kReceiveLimit; ++taken) {
    client_buf.clear();
    const int n = UdpReceive(client_buf.receiveArea(), MessageBuffer::kSize);
    if (n < 0) break;     // nothing waiting, or an error: the rest waits for the next frame
    if (n == 0) continue;  // an empty datagram says nothing; those behind it still count
    HandleDatagram(UdpSenderAddress());
  }
}

void SendInput() {
  // Once a second while connecting, and at once when the server has just
  // forgotten us, so a map change or a kick costs no more than a round trip.
  if (conn_state == CS_CONNECTING && (frame_counter == 0 || TakeConnectAtOnce())) {
    client_buf.clear();
    client_buf.writeByte(MSG_CONNECT);
    client_buf.writeByte(PROTOCOL_VERSION);
    client_buf.writeString(ShortStr(cfg.name));
    client_buf.writeByte(cfg.team & 3);
    Send();
    ShowLogLine("Trying connect to " + cfg.server_address + ":" + std::to_string(cfg.server_port));
  }
  if (conn_state == CS_CONNECTED) {
    if (TakeInputCredit()) {
      if (ShouldResendLast()) HoldFrameStep();
      SendInputMessage();
    } else if (InputOverdue()) {
      HoldFrameStep();  // without credit the place stays; the server hears from us
      SendInputMessage();
    } else {
      HoldFrame(action);  // the server applies about one input per tick
    }
  }
  EndFrameStep();
}

void SendChat() {
  client_buf.clear();
  client_buf.writeByte(MSG_CHAT);
  client_buf.writeString(ShortStr(chat_line));
  Send();
}

void SendDisconnect() {
  client_buf.clear();
  client_buf.writeByte(MSG_DISCONNECT);
  Send();
  ShowLogLine("Disconnected!");
}

void ApplyEvent(const std::string& entry) {
  const uint8_t code = At(entry, 0);
  if (code > EV_SERVERINFO || kEventRules[code] == nullptr) return;
  const uint8_t subject = ClampSlot(At(entry, 1));
  const std::string line = kEventRules[code](entry, subject);
  if (!line.empty()) ShowLogLine(line);
}
