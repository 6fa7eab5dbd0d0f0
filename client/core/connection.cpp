#include "client/core/connection.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include "client/core/client_state.h"
#include "client/core/config.h"
#include "client/core/input.h"
#include "client/core/prediction.h"
#include "client/core/presentation.h"
#include "client/core/session.h"

namespace {

int frames_silent = 0;  // frames in a row in which nothing came from the server
bool heard = false;     // something came in this frame

bool stay_in_game = false;          // the player was in the game or asked to be
uint8_t own_state_seen = PS_NONE;   // own state in this connection, as last seen
int frames_since_rejoin = kRejoinRetryFrames;
bool join_hint_shown = false;       // once per run

// A one-off --connect: the server it set, and the one config.cfg had.
bool one_off = false;
std::string one_off_address, saved_address;
uint16_t one_off_port = 0, saved_port = 0;

std::string ServerText() { return cfg.server_address + ":" + std::to_string(cfg.server_port); }

// On screen every 5 s; outlog.txt keeps the first of an attempt only, so a
// game left waiting does not fill it.
void NoteNoAnswer() {
  if (frames_silent == 0 || frames_silent % kNoAnswerNoticeFrames != 0) return;
  const std::string line = "No answer from " + ServerText() + " for " + std::to_string(frames_silent / 33) +
                           " seconds: is the server running and is this its address and port?";
  if (frames_silent == kNoAnswerNoticeFrames) {
    LogLine(line);
  } else {
    ShowLogLine(line);
  }
}

void ResetConnectionWatch() {
  frames_silent = 0;
  heard = false;
  own_state_seen = PS_NONE;
  frames_since_rejoin = kRejoinRetryFrames;
  ResetPrediction();
}

}  // namespace

void ResetConnectionState() {
  ResetConnectionWatch();
  stay_in_game = false;
  join_hint_shown = false;
  one_off = false;
}

void BeginConnection() {
  ResetConnectionWatch();
  stay_in_game = false;
  one_off = false;
  StartConnectAttempt();
}

void NoteServerHeard() { heard = true; }

void ConnectAgain() {
  conn_state = CS_CONNECTING;
  awaiting_info = true;
  log_ack = 0;
  ResetConnectionWatch();
  StartConnectAttempt();
}

void WatchConnection() {
  if (conn_state == CS_IDLE) return;
  frames_silent = heard ? 0 : frames_silent + 1;
  heard = false;
  if (conn_state == CS_CONNECTING) {
    NoteNoAnswer();
  } else if (frames_silent >= kLostServerFrames) {
    LogLine("Connection lost: nothing from " + ServerText() + " for 3 seconds, connecting again...");
    ConnectAgain();
  }
}

void NoteJoinKey() {
  // While the game information is still wanted the key's action is not
  // sent; the wish is kept and carried out once the information is in.
  if (awaiting_info && players[my_slot].state < PS_DEAD) stay_in_game = true;
}

void KeepInGame() {
  ++frames_since_rejoin;
  if (conn_state != CS_CONNECTED || awaiting_info) return;
  const uint8_t state = players[my_slot].state;
  if (state >= PS_DEAD) {
    stay_in_game = true;
  } else if (state == PS_SPECTATOR) {
    if (own_state_seen >= PS_DEAD) stay_in_game = false;  // the player chose to watch
    if (stay_in_game && frames_since_rejoin >= kRejoinRetryFrames && action == ACT_NONE) {
      action = ACT_SPECJOIN;
      frames_since_rejoin = 0;
    } else if (!stay_in_game && !join_hint_shown) {
      join_hint_shown = true;
      ShowLogLine("You are watching. Press " + key_names[cfg.key_specjoin] + " to join the game.");
    }
  }
  if (state != PS_NONE) own_state_seen = state;
}

// Digits only, 1..65535; -1 otherwise.
long ParsePort(const std::string& text) {
  if (text.empty() || text.size() > 5) return -1;
  long port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    port = port * 10 + (c - '0');
  }
  return port >= 1 && port <= 65535 ? port : -1;
}

// The first IPv4 address of a name or dotted address, "" with the resolver's
// reason in `error` when there is none.
std::string ResolveIPv4(const std::string& host, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0 || found == nullptr) {
    error = rc != 0 ? ::gai_strerror(rc) : "no IPv4 address";
    return "";
  }
  char text[INET_ADDRSTRLEN] = "";
  const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  ::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
  ::freeaddrinfo(found);
  return text;
}

bool ConnectFromArgument(const std::string& host_port) {
  const size_t colon = host_port.rfind(':');
  const std::string host = host_port.substr(0, colon);
  uint16_t port = cfg.server_port;
  if (colon != std::string::npos) {
    const long parsed = ParsePort(host_port.substr(colon + 1));
    if (parsed < 0) {
      LogLine("Cannot connect to " + host_port + ": the port must be a number from 1 to 65535");
      return false;
    }
    port = static_cast<uint16_t>(parsed);
  }
  if (host.empty()) {
    LogLine("Cannot connect to " + host_port + ": no server name or address");
    return false;
  }
  std::string error;
  const std::string address = ResolveIPv4(host, error);
  if (address.empty()) {
    LogLine("Cannot connect to " + host + ": its address was not found (" + error + ")");
    return false;
  }
  if (address != host) ShowLogLine(host + " is " + address);
  const std::string kept_address = cfg.server_address;
  const uint16_t kept_port = cfg.server_port;
  cfg.server_address = address;
  cfg.server_port = port;
  MenuConnect();
  one_off = true;
  one_off_address = cfg.server_address;
  one_off_port = cfg.server_port;
  saved_address = kept_address;
  saved_port = kept_port;
  return true;
}

void ServerToSave(std::string& address, uint16_t& port) {
  if (!one_off || address != one_off_address || port != one_off_port) return;
  address = saved_address;
  port = saved_port;
}
