#include "support/scripted_client.h"

#include <cmath>

#include "support/process.h"

ScriptedClient::ScriptedClient(std::string name, uint8_t team, uint16_t target_port, Script script)
    : name_(std::move(name)), team_(team), target_port_(target_port), script_(script) {}

void ScriptedClient::frame() {
  int n;
  buf_.clear();
  while ((n = socket_.receiveInto(buf_.receiveArea(), MessageBuffer::kSize)) > 0) {
    bytes_in_ += n;
    ++datagrams_in_;
    handle();
    buf_.clear();
  }
  if (state_ == 1 && frame_ - last_connect_ >= 33) sendConnect();
  if (state_ == 2) sendInput();
  ++frame_;
}

void ScriptedClient::handle() {
  switch (buf_.readByte()) {
    case MSG_SNAPSHOT: onSnapshot(); break;
    // A late copy of the game information (lost inputs make the server send
    // it again; the relay duplicates) must not take the log back.
    case MSG_GAMEINFO: if (state_ == 2 && awaiting_info_) onGameInfo(); break;
    case MSG_LOG: if (state_ == 2 && !awaiting_info_) onLog(); break;
    case MSG_NOTCONNECTED:
      if (state_ == 2) {
        ++not_connected_;
        state_ = 1;
        last_connect_ = -1000;
        awaiting_info_ = true;
        log_ack_ = 0;
        session_has_lines_ = false;
      }
      break;
    default: break;
  }
}

void ScriptedClient::onSnapshot() {
  tick_ = buf_.readWord();
  countdown_ = buf_.readWord();
  if (keep_log_) countdowns_.push_back(countdown_);
  for (auto& p : players_) p.state = PS_NONE;
  int n = buf_.readByte();
  if (n > MAX_SLOTS) problems_.push_back("snapshot with more than 24 entries");
  for (int i = 0; i < n; ++i) {
    uint8_t s = buf_.readByte();
    uint8_t st = buf_.readByte();
    uint8_t ping = buf_.readByte();
    if (s < 1 || s > MAX_SLOTS || st < PS_SPECTATOR || st > PS_FIRING) {
      problems_.push_back("snapshot entry out of range");
      return;
    }
    SeenPlayer& p = players_[s];
    p.state = st;
    p.ping = ping;
    if (st >= PS_DEAD) p.frags = buf_.readByte();
    if (st >= PS_ALIVE) {
      p.x = buf_.readWord();
      p.y = buf_.readWord();
      buf_.readWord();
    }
    if (st == PS_FIRING) buf_.readByte();
  }
  int items = buf_.readByte();
  for (int i = 0; i < items; ++i) buf_.readByte();
  slot_ = buf_.readByte();
  health_ = buf_.readByte();
  ++snapshots_;
  if (state_ == 1) state_ = 2;
}

void ScriptedClient::onGameInfo() {
  log_ack_ = buf_.readWord();
  awaiting_info_ = false;
}

// A batch carries the lines after the server's idea of our acknowledgement,
// which may lag behind ours when an input message was lost: take only the
// lines we do not have yet.
void ScriptedClient::onLog() {
  uint16_t last = buf_.readWord();
  int n = buf_.readByte();
  if (static_cast<int16_t>(last - log_ack_) <= 0) return;
  if (n < 1 || n > 10) problems_.push_back("log batch with a bad count");
  for (int i = 0; i < n; ++i) {
    ShortStr line;
    buf_.readString(line);
    uint16_t index = static_cast<uint16_t>(last - (n - 1) + i);
    if (static_cast<int16_t>(index - log_ack_) <= 0) continue;
    if (session_has_lines_ && index != static_cast<uint16_t>(last_index_ + 1)) ++order_faults_;
    session_has_lines_ = true;
    last_index_ = index;
    ++lines_received_;
    if (keep_log_) log_.push_back({index, line.str()});
  }
  log_ack_ = last;
}

void ScriptedClient::sendConnect() {
  last_connect_ = frame_;
  buf_.clear();
  buf_.writeByte(MSG_CONNECT);
  buf_.writeByte(PROTOCOL_VERSION);
  buf_.writeString(ShortStr(name_));
  buf_.writeByte(team_);
  send();
}

uint8_t ScriptedClient::chooseAction() {
  if (awaiting_info_) return ACT_INFO;
  if (script_ == kSpectate) return ACT_NONE;
  // Ask to join while still spectating; the server's toggle cooldown is 90
  // ticks, so asking again later only repeats a request that was lost.
  if (me().state == PS_SPECTATOR && frame_ - last_join_request_ > 120) {
    last_join_request_ = frame_;
    return ACT_SPECJOIN;
  }
  // Fire shoots while alive and asks to respawn while dead.
  return script_ == kFight || me().state == PS_DEAD ? ACT_FIRE : ACT_NONE;
}

uint16_t ScriptedClient::aimDirection() const {
  double best = 1e9;
  uint16_t dir = 0;
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const SeenPlayer& p = players_[s];
    if (s == slot_ || p.state < PS_ALIVE) continue;
    double dx = double(p.x) - me().x, dy = double(p.y) - me().y;
    double d = dx * dx + dy * dy;
    if (d < best) {
      best = d;
      double deg = std::atan2(dy, dx) * 180.0 / M_PI;
      dir = static_cast<uint16_t>(std::lround(deg < 0 ? deg + 360 : deg) % 360);
    }
  }
  return dir;
}

void ScriptedClient::sendInput() {
  buf_.clear();
  buf_.writeByte(MSG_INPUT);
  buf_.writeWord(tick_);
  buf_.writeWord(aimDirection());
  buf_.writeByte(chooseAction());
  buf_.writeWord(me().x);
  buf_.writeWord(me().y);
  buf_.writeWord(log_ack_);
  send();
}

void ScriptedClient::say(const std::string& text) {
  buf_.clear();
  buf_.writeByte(MSG_CHAT);
  buf_.writeString(ShortStr(text));
  send();
}

void ScriptedClient::send() {
  bytes_out_ += buf_.length();
  ++datagrams_out_;
  socket_.sendTo(LoopbackAddress(target_port_), buf_.bytes(), buf_.length());
}

bool PlayUntil(int ms, const std::vector<ScriptedClient*>& clients, const std::function<bool()>& done) {
  const long long end = NowMs() + ms;
  while (NowMs() < end) {
    for (ScriptedClient* c : clients) c->frame();
    if (done()) return true;
    SleepMs(30);
  }
  return false;
}

void PlayFor(int ms, const std::vector<ScriptedClient*>& clients, const std::function<void()>& also) {
  PlayUntil(ms, clients, [&] { return also(), false; });
}
