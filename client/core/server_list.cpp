#include "client/core/server_list.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "client/core/session_udp.h"

namespace {

constexpr char DEFAULT_LAN_ADDRESS[] = "255.255.255.255";
constexpr char DEFAULT_LAN_PORTS[] = "10666,35700-35710";
constexpr size_t PORT_LIST_LIMIT = 64;
constexpr size_t ENTRY_LIMIT = 64;  // LAN answers beyond it are not listed
constexpr int ROUNDS_KEPT = SERVER_LIST_ROUNDS;

struct Round {
  uint32_t number = 0;     // counted from 1 since the list started
  uint32_t sent_ms = 0;
  bool lan_asked = false;
  uint32_t lan_tokens[PORT_LIST_LIMIT] = {};  // one per LAN port, so an answer on one port tells nothing of another
};

struct ListState {
  int fd = -1;
  std::vector<ServerListEntry> entries;
  LanTargets lan;
  bool use_lan = false;
  Round rounds[ROUNDS_KEPT];  // newest first
  uint32_t round_number = 0;
};
ListState list;

bool ToSocketAddress(const std::string& address, uint16_t port, sockaddr_in& out) {
  std::memset(&out, 0, sizeof out);
  out.sin_family = AF_INET;
  out.sin_port = htons(port);
  return inet_pton(AF_INET, address.c_str(), &out.sin_addr) == 1;
}

void SendQuery(const std::string& address, uint16_t port, uint32_t token) {
  sockaddr_in to;
  if (!ToSocketAddress(address, port, to)) return;
  static uint8_t query[STATUS_QUERY_SIZE];
  WriteStatusQuery(token, query);
  // A target that cannot be reached (no network, no broadcast) is simply silent.
  (void)::sendto(list.fd, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

// A token nobody else can guess, never 0 (which stands for "not asked").
uint32_t NewToken() {
  const auto token = static_cast<uint32_t>(SystemRandom64());
  return token != 0 ? token : 1;
}

ServerListEntry* EntryFor(const std::string& address, uint16_t port) {
  for (ServerListEntry& e : list.entries)
    if (e.address == address && e.port == port) return &e;
  return nullptr;
}

// A broadcast reaches every host, so any of them may answer it; a single
// address asked answers only for itself.
bool AskedOnTheLan(const std::string& address) {
  const std::string& asked = list.lan.address;
  const bool broadcast = asked.size() >= 4 && asked.compare(asked.size() - 4, 4, ".255") == 0;
  return broadcast || address == asked;
}

// Whether an answer from this sender carries the token of that round's LAN
// query to its port.
bool AnswersLanQuery(const Round& r, const std::string& address, uint16_t port, uint32_t token) {
  if (!r.lan_asked || !AskedOnTheLan(address)) return false;
  for (size_t i = 0; i < list.lan.ports.size() && i < PORT_LIST_LIMIT; ++i)
    if (list.lan.ports[i] == port) return r.lan_tokens[i] == token;
  return false;
}

// The round an answer from this sender with this token answers; -1 when it
// answers no query of ours.
int RoundAnswered(const ServerListEntry* e, const std::string& address, uint16_t port, uint32_t token) {
  for (int i = 0; i < ROUNDS_KEPT; ++i) {
    if (list.rounds[i].number == 0) break;
    if (e && e->asked[i] == token) return i;
    if (AnswersLanQuery(list.rounds[i], address, port, token)) return i;
  }
  return -1;
}

long long RealTimeUs() {
  timespec t{};
  clock_gettime(CLOCK_REALTIME, &t);
  return t.tv_sec * 1000000LL + t.tv_nsec / 1000;
}

// How long ago the kernel received the datagram, from its time stamp; 0
// without one.
uint32_t AgeMs(msghdr& h, long long now_us) {
  for (cmsghdr* c = CMSG_FIRSTHDR(&h); c; c = CMSG_NXTHDR(&h, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMP) continue;
    timeval arrived{};
    std::memcpy(&arrived, CMSG_DATA(c), sizeof arrived);
    const long long age = now_us - (arrived.tv_sec * 1000000LL + arrived.tv_usec);
    return age > 0 ? static_cast<uint32_t>(age / 1000) : 0;
  }
  return 0;
}

// The ping is the time from the round's query to the answer's arrival, not
// to the moment the caller looked (a frame may lie in between).
void TakeAnswer(const uint8_t* bytes, size_t length, const sockaddr_in& from, uint32_t now_ms, uint32_t age_ms) {
  static ServerStatus status;
  if (!ReadStatusAnswer(bytes, length, status) || status.token == 0) return;
  char text[INET_ADDRSTRLEN] = "";
  ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
  const uint16_t port = ntohs(from.sin_port);
  ServerListEntry* e = EntryFor(text, port);
  const int answered = RoundAnswered(e, text, port, status.token);
  if (answered < 0) return;
  const Round* round = &list.rounds[answered];
  // The first answer of a round stays; a later one, or one to an older
  // round, would only replace it.
  if (e && e->shown_round >= round->number) return;
  if (!e) {
    if (list.entries.size() >= ENTRY_LIMIT) return;
    list.entries.push_back(ServerListEntry{});
    e = &list.entries.back();
    e->address = text;
    e->port = port;
  }
  e->answered = true;
  e->shown_round = round->number;
  const uint32_t elapsed = now_ms - round->sent_ms;
  e->ping_ms = elapsed > age_ms ? elapsed - age_ms : 0;
  e->status = status;
}

// The first `limit` characters of a text from an answer, with every control
// character (C1 included, which some terminals obey) as '?'.
std::string Shown(const ShortStr& s, size_t limit) {
  std::string shown(s.ch, s.len < limit ? s.len : limit);
  for (char& c : shown) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || (b >= 0x7F && b <= 0x9F)) c = '?';
  }
  return shown;
}

std::string Padded(const std::string& text, size_t width) {
  return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

}  // namespace

bool ParsePortList(const std::string& text, std::vector<uint16_t>& ports) {
  std::vector<uint16_t> found;
  size_t at = 0;
  while (at <= text.size()) {
    size_t comma = text.find(',', at);
    if (comma == std::string::npos) comma = text.size();
    const std::string part = text.substr(at, comma - at);
    const size_t dash = part.find('-');
    char* end = nullptr;
    const unsigned long first = std::strtoul(part.c_str(), &end, 10);
    unsigned long last = first;
    if (part.empty() || (dash == std::string::npos && *end != 0) || first == 0 || first > 65535) return false;
    if (dash != std::string::npos) {
      if (end != part.c_str() + dash) return false;
      last = std::strtoul(part.c_str() + dash + 1, &end, 10);
      if (*end != 0 || last < first || last > 65535 || dash + 1 == part.size()) return false;
    }
    if (last - first + found.size() >= PORT_LIST_LIMIT) return false;
    for (unsigned long p = first; p <= last; ++p) found.push_back(static_cast<uint16_t>(p));
    at = comma + 1;
  }
  ports = found;
  return true;
}

LanTargets LanTargetsFromEnvironment(std::string& problem) {
  LanTargets t;
  t.address = DEFAULT_LAN_ADDRESS;
  ParsePortList(DEFAULT_LAN_PORTS, t.ports);
  problem.clear();
  if (const char* address = std::getenv("VORNAXDM_LAN_ADDRESS")) {
    in_addr parsed{};
    if (inet_pton(AF_INET, address, &parsed) == 1) t.address = address;
    else problem = std::string("VORNAXDM_LAN_ADDRESS is not an IPv4 address: ") + address;
  }
  if (const char* ports = std::getenv("VORNAXDM_LAN_PORTS")) {
    std::vector<uint16_t> parsed;
    if (ParsePortList(ports, parsed)) t.ports = parsed;
    else problem = std::string("VORNAXDM_LAN_PORTS is not a list of ports like 10666,35700-35710: ") + ports;
  }
  return t;
}

bool ServerListStart() {
  ServerListStop();
  list.entries.clear();
  list.use_lan = false;
  for (Round& r : list.rounds) r = Round{};
  list.round_number = 0;
  list.fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (list.fd < 0) return false;
  const int flags = ::fcntl(list.fd, F_GETFL, 0);
  const int on = 1;
  if (flags < 0 || ::fcntl(list.fd, F_SETFL, flags | O_NONBLOCK) < 0 ||
      ::setsockopt(list.fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) < 0) {
    ServerListStop();
    return false;
  }
  // Without arrival stamps the ping is counted to the moment of reading.
  (void)::setsockopt(list.fd, SOL_SOCKET, SO_TIMESTAMP, &on, sizeof on);
  return true;
}

void ServerListStop() {
  if (list.fd >= 0) ::close(list.fd);
  list.fd = -1;
}

bool ServerListActive() { return list.fd >= 0; }

void ServerListAddNamed(const std::string& address, uint16_t port) {
  if (ServerListEntry* e = EntryFor(address, port)) {
    e->named = true;
    return;
  }
  ServerListEntry e;
  e.address = address;
  e.port = port;
  e.named = true;
  list.entries.push_back(e);
}

void ServerListUseLan(const LanTargets& targets) {
  list.lan = targets;
  list.use_lan = true;
}

void ServerListSend(uint32_t now_ms) {
  if (list.fd < 0) return;
  for (int i = ROUNDS_KEPT - 1; i > 0; --i) list.rounds[i] = list.rounds[i - 1];
  list.rounds[0] = Round{};
  list.rounds[0].number = ++list.round_number;
  list.rounds[0].sent_ms = now_ms;
  list.rounds[0].lan_asked = list.use_lan;
  for (ServerListEntry& e : list.entries) {
    for (int i = ROUNDS_KEPT - 1; i > 0; --i) e.asked[i] = e.asked[i - 1];
    e.asked[0] = 0;
    if (!e.named) continue;
    e.answered = false;
    e.asked[0] = NewToken();
    SendQuery(e.address, e.port, e.asked[0]);
  }
  if (!list.use_lan) return;
  for (size_t i = 0; i < list.lan.ports.size() && i < PORT_LIST_LIMIT; ++i) {
    list.rounds[0].lan_tokens[i] = NewToken();
    SendQuery(list.lan.address, list.lan.ports[i], list.rounds[0].lan_tokens[i]);
  }
}

int ServerListPoll(uint32_t now_ms) {
  if (list.fd < 0) return 0;
  int taken = 0;
  const long long now_us = RealTimeUs();
  // Bounded: a flood of datagrams cannot keep a frame here.
  for (int i = 0; i < 256; ++i) {
    uint8_t bytes[STATUS_ANSWER_LIMIT + 1];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timeval))];
    sockaddr_in from{};
    iovec part{bytes, sizeof bytes};
    msghdr h{};
    h.msg_name = &from;
    h.msg_namelen = sizeof from;
    h.msg_iov = &part;
    h.msg_iovlen = 1;
    h.msg_control = control;
    h.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(list.fd, &h, 0);
    if (n < 0) break;
    TakeAnswer(bytes, static_cast<size_t>(n), from, now_ms, AgeMs(h, now_us));
    ++taken;
  }
  return taken;
}

void ServerListWait(int timeout_ms) {
  if (list.fd < 0 || timeout_ms <= 0) return;
  pollfd p{list.fd, POLLIN, 0};
  (void)::poll(&p, 1, timeout_ms);
}

bool ServerListNamedAnswered() {
  for (const ServerListEntry& e : list.entries)
    if (e.named && !e.answered) return false;
  return true;
}

const std::vector<ServerListEntry>& ServerListEntries() { return list.entries; }

ServerListColumns ServerListTexts(const ServerListEntry& e) {
  ServerListColumns c;
  c.address = e.address + ":" + std::to_string(e.port);
  if (!e.answered) {
    c.name = "?";
    c.map = "-";
    c.players = "-";
    c.ping = "no answer";
    return c;
  }
  const ServerStatus& s = e.status;
  c.name = Shown(s.name, 24);
  c.map = Shown(s.map, 16);
  if (s.countdown_seconds > 0) c.map += " (next in " + std::to_string(s.countdown_seconds) + " s)";
  c.players = std::to_string(s.players) + "/" + std::to_string(s.max_players);
  c.ping = std::to_string(e.ping_ms) + " ms";
  return c;
}

std::string ServerListTable() {
  std::string table = Padded("Name", 25) + Padded("Map", 28) + Padded("Players", 8) + Padded("Ping", 10) + "Address\n";
  for (const ServerListEntry& e : list.entries) {
    const ServerListColumns c = ServerListTexts(e);
    table += Padded(c.name, 25) + Padded(c.map, 28) + Padded(c.players, 8) + Padded(c.ping, 10) + c.address + "\n";
  }
  return table;
}
