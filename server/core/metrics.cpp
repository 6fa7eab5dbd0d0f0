#include "server/core/metrics.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "protocol/protocol.h"
#include "protocol/status_query.h"
#include "server/net/bans.h"
#include "server/net/net_settings.h"
#include "server/net/net_stats.h"
#include "server/sim/maps.h"
#include "server/sim/match_settings.h"
#include "server/sim/msglog.h"
#include "server/sim/world.h"

namespace {

long long NowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000000000LL + t.tv_nsec;
}

// ---- What is counted ----

// Upper bounds of the tick histogram, in seconds; the last bucket is +Inf.
constexpr double kBuckets[] = {0.0001, 0.00025, 0.0005, 0.001, 0.0025, 0.005, 0.01, 0.02, 0.03, 0.05, 0.1};
constexpr int kBucketCount = sizeof kBuckets / sizeof kBuckets[0];

struct TickCounts {
  uint64_t in_bucket[kBucketCount + 1];  // not cumulative; the last is above every bound
  uint64_t ticks;
  uint64_t overruns;
  double seconds;
  long long started_ns;
  uint64_t log_lines;
  uint16_t log_index_seen;  // SV_LOGI at the last tick: it wraps, the count does not
  long long map_started_ns;
};
TickCounts counts;

void CountTick(double seconds) {
  int b = 0;
  while (b < kBucketCount && seconds > kBuckets[b]) ++b;
  ++counts.in_bucket[b];
  ++counts.ticks;
  counts.seconds += seconds;
  if (seconds > METRICS_OVERRUN_SECONDS) ++counts.overruns;
  counts.log_lines += static_cast<uint16_t>(SV_LOGI - counts.log_index_seen);
  counts.log_index_seen = SV_LOGI;
}

// ---- The page ----

struct Page {
  char* out;
  size_t cap;
  size_t length;

  void add(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    if (length >= cap) return;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(out + length, cap - length, format, args);
    va_end(args);
    if (n > 0) length = length + static_cast<size_t>(n) < cap ? length + static_cast<size_t>(n) : cap;
  }
  void header(const char* name, const char* type, const char* help) {
    add("# HELP %s %s\n# TYPE %s %s\n", name, help, name, type);
  }
  // A label value as the format wants it: backslash, quote and line feed
  // escaped; other control bytes shown as '?'.
  void labelValue(const char* text, size_t length_limit) {
    for (size_t i = 0; i < length_limit && text[i]; ++i) {
      const unsigned char ch = static_cast<unsigned char>(text[i]);
      if (ch == '\\' || ch == '"')
        add("\\%c", ch);
      else if (ch == '\n')
        add("\\n");
      else
        add("%c", ch < 32 || ch == 127 ? '?' : ch);
    }
  }
};

bool IsAlnum(int code) {
  return (code >= '0' && code <= '9') || (code >= 'a' && code <= 'z') || (code >= 'A' && code <= 'Z');
}

// Codes that are letters or digits are listed by themselves; every other
// byte counts as "other", so a flood of garbage cannot grow the page.
void AddByCode(Page& page, const char* name, const uint64_t (&by_code)[256], uint64_t extra_other) {
  uint64_t other = extra_other;
  for (int code = 0; code < 256; ++code) {
    if (!IsAlnum(code)) {
      other += by_code[code];
      continue;
    }
    if (by_code[code] != 0)
      page.add("%s{code=\"%c\"} %llu\n", name, code, static_cast<unsigned long long>(by_code[code]));
  }
  page.add("%s{code=\"other\"} %llu\n", name, static_cast<unsigned long long>(other));
}

void AddTicks(Page& page) {
  page.header("vornaxdm_tick_duration_seconds", "histogram",
              "Work of one server tick (datagrams, game, console), without the pause between ticks.");
  uint64_t cumulative = 0;
  for (int b = 0; b < kBucketCount; ++b) {
    cumulative += counts.in_bucket[b];
    page.add("vornaxdm_tick_duration_seconds_bucket{le=\"%g\"} %llu\n", kBuckets[b],
             static_cast<unsigned long long>(cumulative));
  }
  page.add("vornaxdm_tick_duration_seconds_bucket{le=\"+Inf\"} %llu\n", static_cast<unsigned long long>(counts.ticks));
  page.add("vornaxdm_tick_duration_seconds_sum %.9f\n", counts.seconds);
  page.add("vornaxdm_tick_duration_seconds_count %llu\n", static_cast<unsigned long long>(counts.ticks));
  page.header("vornaxdm_ticks_total", "counter", "Server ticks run; its rate is the ticks per second.");
  page.add("vornaxdm_ticks_total %llu\n", static_cast<unsigned long long>(counts.ticks));
  page.header("vornaxdm_tick_overruns_total", "counter", "Ticks whose work took longer than 30 ms.");
  page.add("vornaxdm_tick_overruns_total %llu\n", static_cast<unsigned long long>(counts.overruns));
}

void AddDatagrams(Page& page) {
  page.header("vornaxdm_datagrams_received_total", "counter", "Datagrams read from the UDP socket, by message code.");
  AddByCode(page, "vornaxdm_datagrams_received_total", NET_STATS.received, NET_STATS.received_empty);
  page.header("vornaxdm_datagrams_sent_total", "counter", "Datagrams handed to the UDP socket, by message code.");
  AddByCode(page, "vornaxdm_datagrams_sent_total", NET_STATS.sent, 0);
  page.header("vornaxdm_datagrams_dropped_total", "counter", "Datagrams read but not taken into a tick, by reason.");
  for (int r = 0; r < DROP_REASON_COUNT; ++r)
    page.add("vornaxdm_datagrams_dropped_total{reason=\"%s\"} %llu\n",
             NET_DROPREASONNAME(static_cast<NetDropReason>(r)), static_cast<unsigned long long>(NET_STATS.dropped[r]));
}

struct SlotCounts {
  int players = 0, bots = 0, spectators = 0, half_open = 0;
};

SlotCounts CountSlots() {
  SlotCounts s;
  for (int slot = 1; slot <= MAX_SLOTS; ++slot) {
    const ClientRecord& c = SV_CLIENTSLIST[slot];
    if (!c.in_use) continue;
    if (c.is_bot)
      ++s.bots;
    else if (c.half_open)
      ++s.half_open;
    else
      ++s.players;
    if (!c.half_open && PLAYER_STATE(static_cast<uint8_t>(slot)) == PS_SPECTATOR) ++s.spectators;
  }
  return s;
}

void AddGauge(Page& page, const char* name, const char* help, double value) {
  page.header(name, "gauge", help);
  page.add("%s %.9g\n", name, value);
}

void AddGame(Page& page) {
  const SlotCounts s = CountSlots();
  AddGauge(page, "vornaxdm_players", "Human players in a slot (half-open slots not counted).", s.players);
  AddGauge(page, "vornaxdm_bots", "Server bots in a slot.", s.bots);
  AddGauge(page, "vornaxdm_spectators", "Players and bots watching rather than playing.", s.spectators);
  AddGauge(page, "vornaxdm_half_open_slots", "Slots taken by a connect not yet followed by input.", s.half_open);
  AddGauge(page, "vornaxdm_max_players", "Players that may play at once.", SV_MAXPLAYERS);
  page.header("vornaxdm_map_info", "gauge", "The map being played, in its label.");
  const uint8_t map = SV_MAP.map_index;
  page.add("vornaxdm_map_info{map=\"");
  if (map >= 1 && map <= MAP_LIST_SIZE) page.labelValue(SV_MAPL[map].name.c_str(), 255);
  page.add("\"} 1\n");
  const double match = counts.map_started_ns ? static_cast<double>(NowNs() - counts.map_started_ns) / 1e9 : 0.0;
  AddGauge(page, "vornaxdm_match_seconds", "Seconds since the current map started.", match);
  AddGauge(page, "vornaxdm_scoreboard_seconds", "Seconds left of the scores shown after a match, 0 while one runs.",
           SV_SCOREBOARD * 0.030);
  page.header("vornaxdm_log_lines_total", "counter", "Lines added to the message log.");
  page.add("vornaxdm_log_lines_total %llu\n", static_cast<unsigned long long>(counts.log_lines));
  AddGauge(page, "vornaxdm_bans", "Addresses banned now.", BAN_COUNT());
}

void AddServer(Page& page) {
  page.header("vornaxdm_server_info", "gauge", "The server's name, version and protocol version, in its labels.");
  page.add("vornaxdm_server_info{name=\"");
  page.labelValue(SV_NAME.c_str(), 255);
  page.add("\",version=\"");
  page.labelValue(GAME_VERSION, sizeof GAME_VERSION);
  page.add("\",protocol=\"%d\"} 1\n", PROTOCOL_VERSION);
  const double up = counts.started_ns ? static_cast<double>(NowNs() - counts.started_ns) / 1e9 : 0.0;
  AddGauge(page, "vornaxdm_uptime_seconds", "Seconds since the metrics page was opened.", up);
}

// ---- The HTTP server ----

struct Connection {
  int fd = -1;
  long long opened_ns;
  size_t received;
  size_t reply_length;
  size_t sent;
  bool replying;
  char request[METRICS_REQUEST_LIMIT];
  char reply[METRICS_PAGE_LIMIT + 256];
};

struct Server {
  int listener = -1;
  uint16_t port = 0;
  in_addr address{};
  Connection connections[METRICS_CONNECTIONS];
};
Server server;

// Reads what the client sent beyond the request before closing: closing
// with unread bytes would reset the connection, and a reset may cost the
// client the answer it has not read yet. Bounded, like everything here.
void CloseConnection(Connection& c) {
  if (c.fd < 0) return;
  char scratch[2048];
  for (int i = 0; i < 8 && recv(c.fd, scratch, sizeof scratch, MSG_DONTWAIT) > 0; ++i) {}
  close(c.fd);
  c.fd = -1;
}

void Reply(Connection& c, const char* status, const char* content_type, const char* body, size_t body_length) {
  const int head = std::snprintf(c.reply, sizeof c.reply,
                                 "HTTP/1.0 %s\r\nContent-Type: %s\r\nContent-Length: %zu\r\nConnection: close\r\n\r\n",
                                 status, content_type, body_length);
  const size_t room = sizeof c.reply - static_cast<size_t>(head);
  const size_t kept = body_length < room ? body_length : room;
  std::memmove(c.reply + head, body, kept);
  c.reply_length = static_cast<size_t>(head) + kept;
  c.sent = 0;
  c.replying = true;
}

char page_text[METRICS_PAGE_LIMIT];

// The request line decides; headers are read only to find their end.
void Answer(Connection& c, bool complete) {
  static constexpr char kNotFound[] = "Only /metrics is here.\n";
  static constexpr char kBadRequest[] = "Bad request.\n";
  static constexpr char kOnlyGet[] = "Only GET is answered.\n";
  if (!complete) return Reply(c, "400 Bad Request", "text/plain", kBadRequest, sizeof kBadRequest - 1);
  const char* r = c.request;
  if (std::strncmp(r, "GET ", 4) != 0)
    return Reply(c, "405 Method Not Allowed", "text/plain", kOnlyGet, sizeof kOnlyGet - 1);
  const char* path = r + 4;
  const size_t path_length = std::strcspn(path, " ?\r\n");
  if (path_length != 8 || std::strncmp(path, "/metrics", 8) != 0)
    return Reply(c, "404 Not Found", "text/plain", kNotFound, sizeof kNotFound - 1);
  const size_t length = METRICS_WRITEPAGE(page_text, sizeof page_text);
  Reply(c, "200 OK", "text/plain; version=0.0.4; charset=utf-8", page_text, length);
}

bool HeadersComplete(const Connection& c) {
  return std::strstr(c.request, "\r\n\r\n") || std::strstr(c.request, "\n\n");
}

void ReadRequest(Connection& c) {
  const size_t room = sizeof c.request - 1 - c.received;
  const ssize_t n = recv(c.fd, c.request + c.received, room, MSG_DONTWAIT);
  if (n == 0) return CloseConnection(c);  // gone before asking
  if (n < 0) {
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) CloseConnection(c);
    return;
  }
  c.received += static_cast<size_t>(n);
  c.request[c.received] = 0;
  // NUL bytes would hide the end of the headers from strstr: a bad request.
  if (std::strlen(c.request) != c.received) return Answer(c, false);
  if (HeadersComplete(c)) return Answer(c, true);
  if (c.received >= sizeof c.request - 1) Answer(c, false);
}

void WriteReply(Connection& c) {
  const ssize_t n = send(c.fd, c.reply + c.sent, c.reply_length - c.sent, MSG_DONTWAIT | MSG_NOSIGNAL);
  if (n < 0) {
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) CloseConnection(c);
    return;
  }
  c.sent += static_cast<size_t>(n);
  if (c.sent >= c.reply_length) CloseConnection(c);
}

void AcceptWaiting() {
  for (Connection& c : server.connections) {
    if (c.fd >= 0) continue;
    const int fd = accept4(server.listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;  // nobody waiting (or a connection that went away)
    c.fd = fd;
    c.opened_ns = NowNs();
    c.received = c.sent = c.reply_length = 0;
    c.replying = false;
    c.request[0] = 0;
  }
}

void ServeConnection(Connection& c, long long now_ns) {
  if (c.fd < 0) return;
  if (now_ns - c.opened_ns > METRICS_CONNECTION_MS * 1000000LL) return CloseConnection(c);
  if (!c.replying) ReadRequest(c);
  if (c.fd >= 0 && c.replying) WriteReply(c);
}

// "PORT" or "ADDRESS:PORT" into a socket address.
bool ParseWhere(const char* where, sockaddr_in& out, const char*& error) {
  std::memset(&out, 0, sizeof out);
  out.sin_family = AF_INET;
  const char* colon = std::strrchr(where, ':');
  const char* port_text = colon ? colon + 1 : where;
  char* end = nullptr;
  errno = 0;
  const unsigned long port = std::strtoul(port_text, &end, 10);
  if (*port_text < '0' || *port_text > '9' || *end != 0 || errno != 0 || port > 65535) {
    error = "the port must be a number from 0 to 65535";
    return false;
  }
  out.sin_port = htons(static_cast<uint16_t>(port));
  char host[256] = "127.0.0.1";
  if (colon) {
    const size_t length = static_cast<size_t>(colon - where);
    if (length == 0 || length >= sizeof host) {
      error = "no address before the port";
      return false;
    }
    std::memcpy(host, where, length);
    host[length] = 0;
  }
  if (inet_pton(AF_INET, host, &out.sin_addr) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) {
    error = "the address is neither an IPv4 address nor a name of one";
    return false;
  }
  out.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return true;
}

bool Listen(const sockaddr_in& at, const char*& error) {
  server.listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int on = 1;
  if (server.listener < 0 || setsockopt(server.listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      bind(server.listener, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 ||
      listen(server.listener, 16) != 0) {
    error = std::strerror(errno);
    METRICS_CLOSE();
    return false;
  }
  sockaddr_in bound{};
  socklen_t size = sizeof bound;
  getsockname(server.listener, reinterpret_cast<sockaddr*>(&bound), &size);
  server.port = ntohs(bound.sin_port);
  server.address = bound.sin_addr;
  return true;
}

}  // namespace

bool METRICS_OPEN(const char* where, const char*& error) {
  METRICS_CLOSE();
  sockaddr_in at{};
  if (!ParseWhere(where, at, error) || !Listen(at, error)) return false;
  counts.started_ns = NowNs();
  return true;
}

void METRICS_CLOSE() {
  for (Connection& c : server.connections) CloseConnection(c);
  if (server.listener >= 0) close(server.listener);
  server.listener = -1;
  server.port = 0;
}

uint16_t METRICS_PORT() { return server.port; }

std::string METRICS_ADDRESSTEXT() {
  if (server.listener < 0) return "";
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &server.address, text, sizeof text);
  return std::string(text) + ":" + std::to_string(server.port);
}

namespace {
long long tick_started_ns = 0;
}

void METRICS_TICKSTART() { tick_started_ns = NowNs(); }

void METRICS_TICKEND() { CountTick(static_cast<double>(NowNs() - tick_started_ns) / 1e9); }

void METRICS_POLL() {
  if (server.listener < 0) return;
  AcceptWaiting();
  const long long now = NowNs();
  for (Connection& c : server.connections) ServeConnection(c, now);
}

void METRICS_MAPSTARTED() { counts.map_started_ns = NowNs(); }


size_t METRICS_WRITEPAGE(char* out, size_t cap) {
  Page page{out, cap, 0};
  AddServer(page);
  AddTicks(page);
  AddDatagrams(page);
  AddGame(page);
  return page.length;
}

void METRICS_RESET() {
  METRICS_CLOSE();
  std::memset(&counts, 0, sizeof counts);
  tick_started_ns = 0;
}
