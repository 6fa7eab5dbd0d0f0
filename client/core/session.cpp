// The client's side of the wire protocol: the socket, connecting, the input
// message every frame, and every datagram from the server turned into
// changes of the client state.
//
// The client connects with version 29: a challenge proves to the server
// that we receive at our address, its welcome hands us a session token, and
// that token then rides in every datagram both ways. A server that answers
// that it speaks only 28 gets today's version-28 client. Every layout comes
// from protocol/messages.h; only the server's exact address and port are
// listened to.
#include "client/core/session.h"

#include <algorithm>
#include <cstdio>

#include "client/core/client_state.h"
#include "client/core/connection.h"
#include "client/core/event_log.h"
#include "client/core/interpolation.h"
#include "client/core/labels.h"
#include "client/core/presentation.h"
#include "client/core/prediction.h"
#include "client/core/reconcile.h"
#include "client/core/scoreboard.h"
#include "client/core/session_udp.h"
#include "client/core/world.h"
#include "protocol/messages.h"
#include "protocol/rules.h"
#include "protocol/weapons.h"

MessageBuffer client_buf;
namespace {
constexpr uint16_t kFirstLocalPort = 35500;
}  // namespace

uint16_t local_port = kFirstLocalPort;

void ResetLocalPort() { local_port = kFirstLocalPort; }

namespace {

// Datagrams taken in one frame at most, so a flood cannot stall the game.
constexpr int kReceiveLimit = 1024;

// Version-29 connect pacing, in frames. Forged connects from our own address
// may use up the server's budget for challenges, so that only one connect in
// twenty or so is answered: an attempt asks every frame for 10 s, which gets
// one through in about a second and leaves no real chance of missing for
// longer. A server that is down costs 2 kB/s of connects meanwhile.
constexpr int kEveryFrameConnects = 330;  // the first 10 s of an attempt
constexpr int kLaterConnectSpacing = 10;  // after that
constexpr int kCookieConnectSpacing = 3;  // with a cookie: at once, then this often
// The server takes a cookie 2 to 4 s after it made it: ours is dropped
// after 2 s, while it is surely still good.
constexpr int kCookieLifeFrames = 66;
// Snapshots follow a welcome at once; without one for a second the welcome
// was for nothing and the attempt asks again (the server welcomes the same
// nonce again).
constexpr int kWelcomeWaitFrames = 33;

// The session of the current connection: what the wire carries and where
// the attempt stands. A connection set up without an attempt speaks 28, as
// nothing was negotiated; every attempt tries 29 first.
struct Session {
  WireSession wire;
  bool welcomed = false;     // 29: the token is known
  bool fell_back = false;    // the server said it speaks only 28
  bool connect_now = false;  // a connect goes out in this frame whatever the pacing
  uint64_t nonce = 0;        // 29: this attempt's mark
  uint64_t cookie = 0;       // 29: the challenge's cookie, 0 while none is held
  int attempt_frames = 0;    // frames of the attempt so far
  int cookie_frame = 0;      // the attempt's frame in which the cookie came
  int welcome_frame = 0;     // ... and the welcome
  uint16_t applied_sequence = 0;  // 29: the newest the server applied
  uint8_t recent_count = 0;
  InputFrame recent[INPUTS_PER_DATAGRAM];  // the inputs sent last, newest first
};
Session session;

// The server that answered that it speaks only 28: attempts to it use 28
// from the start until the player connects to another server. Plain data,
// as program start resets it before any constructor of this file has run.
struct LegacyServer {
  bool known = false;
  char address[16] = "";  // dotted IPv4
  uint16_t port = 0;
  bool isCurrent() const { return known && cfg.server_address == address && cfg.server_port == port; }
};
LegacyServer legacy_server;

std::string ServerText() { return cfg.server_address + ":" + std::to_string(cfg.server_port); }

uint8_t ClampSlot(uint8_t s) { return std::clamp<uint8_t>(s, 1, MAX_SLOTS); }

void Send() { UdpSend(cfg.server_address, cfg.server_port, client_buf.bytes(), client_buf.length()); }

// ---- connecting ----------------------------------------------------------

void SendConnect() {
  ConnectMsg m;
  m.version = session.wire.version;
  m.name = ShortStr(cfg.name);
  m.team = static_cast<uint8_t>(cfg.team & 3);
  m.nonce = session.nonce;
  m.cookie = session.cookie;
  client_buf.clear();
  WriteConnect(client_buf, m);
  Send();
}

// Whether a version-29 connect goes out in this frame; counts the frame.
bool Connect29Due() {
  Session& s = session;
  const int frame = s.attempt_frames++;
  if (s.welcomed) {
    if (frame - s.welcome_frame < kWelcomeWaitFrames) return false;
    s.welcomed = false;
    s.wire.token = 0;
  }
  if (s.cookie != 0 && frame - s.cookie_frame >= kCookieLifeFrames) s.cookie = 0;
  if (s.cookie != 0) return (frame - s.cookie_frame) % kCookieConnectSpacing == 0;
  return frame < kEveryFrameConnects || frame % kLaterConnectSpacing == 0;
}

void SendConnectWhenDue() {
  // Version 28 asks once a second, with the scoreboard.
  const bool due = session.wire.tokened() ? Connect29Due() : frame_counter == 0;
  // At once too when the server has just forgotten us, so a map change or a
  // kick costs no more than a round trip.
  const bool at_once = TakeConnectAtOnce();
  if (due || session.connect_now || at_once) SendConnect();
  session.connect_now = false;
  if (frame_counter == 0) ShowLogLine("Trying connect to " + ServerText());
}

void FallBackTo28() {
  session = Session{};
  session.fell_back = true;
  session.connect_now = true;  // no need to wait for the next second
  legacy_server.known = cfg.server_address.size() < sizeof legacy_server.address;
  std::snprintf(legacy_server.address, sizeof legacy_server.address, "%s", cfg.server_address.c_str());
  legacy_server.port = cfg.server_port;
  ShowLogLine("The server speaks only protocol 28: playing without a session token");
}

// Version 29: whether the token after the code byte is this session's.
bool TokenMatches() {
  uint64_t token = 0;
  return session.welcomed && ReadToken(client_buf, token) && token == session.wire.token;
}

// ---- messages from the server ------------------------------------------
// Each returns whether the message was the server's to this client (in 29
// only such messages count as hearing from the server).

bool ApplyServerFull() {
  uint64_t nonce = 0;
  if (!ReadServerFull(client_buf, session.wire.version, nonce)) return false;
  if (session.wire.tokened() && nonce != session.nonce) return false;
  ShowLogLine("Server ful");
  return true;
}

bool ApplyBadVersion() {
  const uint8_t version = ReadBadVersion(client_buf);
  if (session.wire.tokened()) {
    if (conn_state != CS_CONNECTING) return false;
    if (version == PROTOCOL_VERSION) {
      FallBackTo28();
      return true;
    }
  } else if (session.fell_back && version == PROTOCOL_VERSION) {
    return true;  // the answer to a version-29 connect sent before the fallback
  }
  ShowLogLine("Wrong protocol version! Server protocol: " + std::to_string(version));
  return true;
}

bool ApplyChallenge() {
  uint64_t nonce = 0, cookie = 0;
  if (!session.wire.tokened() || !ReadChallenge(client_buf, nonce, cookie) || nonce != session.nonce) return false;
  // Every connect of the attempt is answered: the first cookie is used
  // until it is dropped.
  if (session.welcomed || session.cookie != 0) return true;
  session.cookie = cookie;
  session.cookie_frame = session.attempt_frames;
  return true;
}

bool ApplyWelcome() {
  uint64_t nonce = 0, token = 0;
  uint8_t slot = 0;
  if (!session.wire.tokened() || !ReadWelcome(client_buf, nonce, token, slot) || nonce != session.nonce) return false;
  if (token == 0 || slot < 1 || slot > MAX_SLOTS) return false;  // never a server's
  if (session.welcomed) return true;  // the server repeats it while our connects come
  session.welcomed = true;
  session.wire.token = token;
  session.welcome_frame = session.attempt_frames;
  session.cookie = 0;
  my_slot = slot;
  return true;
}

void ApplyPlayerList(uint8_t count) {
  GameInfoPlayer p;
  for (int i = 0; i < count; ++i) {
    ReadGameInfoPlayer(client_buf, p);
    if (p.slot < 1 || p.slot > MAX_SLOTS) continue;
    players[p.slot].team = std::min<uint8_t>(p.team, NUM_TEAMS - 1);
    players[p.slot].name = PrintableText(p.name.view());
  }
}

bool ApplyGameInfo() {
  ClearMap();
  // Everything after the terminator is zero, so no earlier, longer map can
  // show through; the text keeps positions 1..MAP_TEXT_SIZE - 1.
  std::fill(std::begin(map_text), std::end(map_text), 0);
  ReadGameInfoHead(client_buf, log_ack, map_text + 1, MAP_TEXT_SIZE);
  DecodeMap();
  GameInfoSettings settings;
  ReadGameInfoSettings(client_buf, settings);
  map_name = settings.map_name.str();
  server_name = settings.server_name.str();
  score_limit = settings.score_limit;
  team_play = settings.team_play;
  max_players = settings.max_players;
  ApplyPlayerList(settings.slot_count);
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
  return true;
}

bool ApplyNotConnected() {
  ConnectAgain();
  return true;
}

bool ApplyLog() {
  if (awaiting_info) return true;
  uint16_t index = 0;
  uint8_t count = 0;
  ReadLogHead(client_buf, index, count);
  // The server's line counter wraps at 65536, so "newer" is decided on the
  // difference, not on the raw numbers.
  const int newer = static_cast<int16_t>(index - log_ack);
  if (newer <= 0) return true;
  // A batch starts after the server's idea of our acknowledgement, which is
  // never ahead of ours, and holds at most LOG_BATCH_LIMIT lines: one that
  // claims more, or new lines without any, is no server's, and taking its
  // index would make the client refuse the real lines until they catch up.
  if (newer > LOG_BATCH_LIMIT || count == 0 || count > LOG_BATCH_LIMIT) return true;
  log_ack = index;
  // Lines we already have lead the batch when an input message of ours was
  // lost: they are passed over, so no line shows twice.
  const int already_shown = count > newer ? count - newer : 0;
  ShortStr entry;
  for (int i = 0; i < count; ++i) {
    ReadLogLine(client_buf, entry);
    if (i >= already_shown) ApplyEvent(entry.str());
  }
  return true;
}

void ApplyPlayerEntry() {
  SnapshotEntry e;
  ReadSnapshotEntry(client_buf, e);
  const uint8_t slot = ClampSlot(e.slot);
  TClient& p = players[slot];
  p.state = std::clamp<uint8_t>(e.state, PS_SPECTATOR, PS_FIRING);
  p.ping = e.ping > 0 ? static_cast<uint8_t>(e.ping - 1) : 0;
  if (p.state < PS_DEAD) return;  // spectators carry no more
  p.frags = e.frags;
  if (p.state >= PS_ALIVE) {
    p.x = e.x;
    p.y = e.y;
    p.dir = e.dir;
  }
  if (p.state == PS_FIRING) p.gun = std::clamp<uint8_t>(e.gun, 1, NUM_WEAPONS);
  ApplyPlayerUpdate(slot);
}

void ApplyPresentItems() {
  const uint8_t count = ReadSnapshotItemCount(client_buf);
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

void ApplyOwnBlock() {
  const uint8_t old_ammo1 = ammo[1], old_ammo2 = ammo[2], old_health = health, old_armor = armor;
  SnapshotTail t;
  ReadSnapshotTail(client_buf, session.wire.version, t);
  my_slot = ClampSlot(t.slot);
  health = t.health;
  armor = t.armor;
  ammo[1] = t.ammo1;
  ammo[2] = t.ammo2;
  players[my_slot].gun = std::clamp<uint8_t>(t.gun, 1, NUM_WEAPONS);
  session.applied_sequence = t.applied_sequence;
  PickUpFeedback(old_ammo1, old_ammo2, old_health, old_armor);
}

// Version 29: the prediction starts again from the server's place with the
// inputs it has not applied yet (version 28 re-anchors entry by entry).
void ReconcileOwnPlayer() {
  const TClient& me = players[my_slot];
  if (!session.wire.tokened() || me.state < PS_ALIVE) return;
  Reconcile(session.applied_sequence, me.x, me.y, me.prev_state < PS_ALIVE);
}

bool ApplySnapshot() {
  uint16_t tick = 0;
  uint8_t count = 0;
  uint16_t countdown = 0;
  ReadSnapshotHead(client_buf, tick, countdown, count);
  if (SnapshotIsOutdated(tick)) return true;  // overtaken by a newer one on the way
  NoteSnapshotApplied(tick);
  BeginSnapshot();
  server_tick = tick;
  restart_countdown = countdown;
  if (restart_countdown != 0) {
    l_sb_stat.setCaption("Scorelimit hit! Server restart: " + std::to_string(restart_countdown / 33));
  }
  for (int i = 0; i < count; ++i) ApplyPlayerEntry();
  ApplyPresentItems();
  ApplyOwnBlock();
  ReconcileOwnPlayer();
  if (conn_state == CS_CONNECTING) {
    view_slot = my_slot;
    conn_state = CS_CONNECTED;
    ShowLogLine("Connected!");
  }
  return true;
}

struct MessageRule {
  uint8_t code;
  uint8_t lowest_state;  // the connection state the message needs at least
  bool tokened;          // in 29 the session's token follows the code
  bool (*apply)();
};

const MessageRule kMessageRules[] = {
    {MSG_SERVERFULL, CS_IDLE, false, ApplyServerFull},       {MSG_BADVERSION, CS_IDLE, false, ApplyBadVersion},
    {MSG_CHALLENGE, CS_CONNECTING, false, ApplyChallenge},   {MSG_WELCOME, CS_CONNECTING, false, ApplyWelcome},
    {MSG_GAMEINFO, CS_CONNECTED, true, ApplyGameInfo},       {MSG_NOTCONNECTED, CS_CONNECTED, true, ApplyNotConnected},
    {MSG_LOG, CS_CONNECTED, true, ApplyLog},                 {MSG_SNAPSHOT, CS_CONNECTING, true, ApplySnapshot},
};

// ---- to the server ---------------------------------------------------------

// Version 29: one input a frame by the client's own clock, numbered, with
// the up to three sent before it, so a lost datagram costs no input; the
// server's queue takes one a tick.
void SendInput29(const InputFrame& newest) {
  Session& s = session;
  std::copy_backward(s.recent, s.recent + INPUTS_PER_DATAGRAM - 1, s.recent + INPUTS_PER_DATAGRAM);
  s.recent[0] = newest;
  if (s.recent_count < INPUTS_PER_DATAGRAM) ++s.recent_count;
  Input29 m;
  m.log_ack = log_ack;
  m.sequence = NextInputNumber();
  m.count = s.recent_count;
  std::copy(s.recent, s.recent + s.recent_count, m.frames);
  int code = 0;
  uint16_t angle = 0;
  const bool stepped = PendingFrameStep(code, angle);
  NoteNumberedInput(m.sequence, stepped ? code : 0, angle);
  client_buf.clear();
  WriteInput29(client_buf, s.wire.token, m);
  Send();
}

void SendInputMessage() {
  action = ActionToSend(action);
  const InputFrame frame{server_tick, net_angle, action, local_x, local_y};
  if (session.wire.tokened()) {
    SendInput29(frame);
  } else {
    client_buf.clear();
    WriteInput28(client_buf, frame, log_ack);
    Send();
  }
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
  return NameOf(killer) + " > " + WEAPONS[weapon].name + " > " + NameOf(victim);
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
  std::string line = std::string(TEAMS[team].name) + " team " + " WINS!";
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

void HandleDatagram(const std::string& sender_address, uint16_t sender_port) {
  client_buf.pos = 1;
  const uint8_t code = client_buf.readByte();
  // Only the server itself: the address and the port we send to.
  if (sender_address != cfg.server_address || sender_port != cfg.server_port) return;
  const bool tokened = session.wire.tokened();
  if (!tokened) NoteServerHeard();  // in 28 anything from there shows the server is there
  for (const MessageRule& rule : kMessageRules) {
    if (rule.code != code) continue;
    if (conn_state < rule.lowest_state) return;
    if (tokened && rule.tokened && !TokenMatches()) return;  // dropped in silence
    if (rule.apply() && tokened) NoteServerHeard();
    return;
  }
}

void ReceiveMessages() {
  for (int taken = 0; taken < kReceiveLimit; ++taken) {
    client_buf.clear();
    const int n = UdpReceive(client_buf.receiveArea(), MessageBuffer::kSize);
    if (n < 0) break;     // nothing waiting, or an error: the rest waits for the next frame
    if (n == 0) continue;  // an empty datagram says nothing; those behind it still count
    client_buf.received(static_cast<uint16_t>(n));
    HandleDatagram(UdpSenderAddress(), UdpSenderPort());
  }
}

void SendInput() {
  if (conn_state == CS_CONNECTING) SendConnectWhenDue();
  if (conn_state == CS_CONNECTED && session.wire.tokened()) {
    SendInputMessage();  // every frame: the server's queue paces them
  } else if (conn_state == CS_CONNECTED) {
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
  WriteChat(client_buf, session.wire, ShortStr(chat_line));
  Send();
}

void SendDisconnect() {
  // A version-29 attempt that has no token yet has no session to leave.
  if (!session.wire.tokened() || session.welcomed) {
    client_buf.clear();
    WriteDisconnect(client_buf, session.wire);
    Send();
  }
  ShowLogLine("Disconnected!");
}

void ResetSession() {
  session = Session{};
  legacy_server = LegacyServer{};
}

void StartConnectAttempt() {
  const bool legacy = legacy_server.isCurrent();
  if (!legacy) legacy_server = LegacyServer{};  // another server: the fallback is over
  session = Session{};
  if (legacy) {
    session.fell_back = true;
    return;
  }
  session.wire.version = PROTOCOL_SESSIONS;
  session.nonce = SystemRandom64();
}

uint8_t SessionVersion() { return session.wire.version; }

uint16_t AppliedInputSequence() { return session.applied_sequence; }

void ApplyEvent(const std::string& entry) {
  const uint8_t code = At(entry, 0);
  if (code > EV_SERVERINFO || kEventRules[code] == nullptr) return;
  const uint8_t subject = ClampSlot(At(entry, 1));
  const std::string line = kEventRules[code](entry, subject);
  if (!line.empty()) ShowLogLine(line);
}
