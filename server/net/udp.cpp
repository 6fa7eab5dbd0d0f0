#include "server/net/udp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <poll.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "protocol/messages.h"
#include "protocol/protocol.h"
#include "protocol/status_query.h"
#include "server/net/cookie.h"
#include "server/net/guard.h"
#include "server/net/net_settings.h"
#include "server/net/net_stats.h"
#include "server/net/netproto.h"
#include "server/net/status.h"
#include "server/sim/hooks.h"
#include "server/sim/world.h"

MessageBuffer NET_BUF;

namespace {

int NET_SOCKET = -1;
sockaddr_in NET_SADDR{};
socklen_t NET_SADDRS = sizeof(sockaddr_in);

struct SnapshotBatch {
  uint16_t common_length = 0;
  int count = 0;
  sockaddr_in to[NET_BATCH_LIMIT];
  // What to[i] was resolved from: the receivers of one tick come in the same
  // order tick after tick, so the text is parsed again only when it changes.
  // Empty while to[i] holds nothing valid.
  ShortStr resolved[NET_BATCH_LIMIT];
  uint8_t heads[NET_BATCH_LIMIT][NET_HEAD_LIMIT];
  uint8_t tails[NET_BATCH_LIMIT][NET_TAIL_LIMIT];
  iovec parts[NET_BATCH_LIMIT][3];
  mmsghdr messages[NET_BATCH_LIMIT];
};
SnapshotBatch batch;

// ---- The datagrams of one tick ----

// The longest message a client sends is a connect with a 255-character
// name, 259 bytes; nothing past it is ever read, so it is not kept.
constexpr uint16_t KEPT_BYTES = 260;
constexpr int SLOT_LIMIT = 64;  // per tick from the sender of one slot
// Per tick from senders without a slot: a few from each address, so a burst
// from many addresses cannot starve one new connect, and a bound for all.
constexpr int STRANGER_PER_ADDRESS = 4;
constexpr int STRANGER_LIMIT = 1024;
constexpr int STRANGER_TABLE = 2048;  // open addressing, at most half full
constexpr int QUEUE_LIMIT = STRANGER_LIMIT + MAX_SLOTS * SLOT_LIMIT;
constexpr int READ_BATCH = 64;
constexpr int READ_LIMIT = 8192;  // per call of NET_COLLECT
// Room for a tick's worth of a flood of small datagrams while the tick works.
constexpr int RECEIVE_BUFFER_BYTES = 4 << 20;

struct Incoming {
  sockaddr_in from;
  uint16_t length;
  uint8_t bytes[KEPT_BYTES];
};

// The strangers' addresses of this tick; an entry of an older tick counts
// as empty, so nothing needs clearing between ticks.
struct StrangerCount {
  in_addr_t address;
  uint32_t tick;
  uint16_t count;
};

struct TickQueue {
  Incoming entries[QUEUE_LIMIT];
  int count = 0;
  int next = 0;
  uint8_t from_slot[MAX_SLOTS + 1] = {};
  int from_strangers = 0;
  uint32_t tick = 1;
  StrangerCount strangers[STRANGER_TABLE] = {};
};
TickQueue queue;

// The senders of the occupied human slots, as socket addresses, to tell a
// client's datagram from a stranger's without building address text.
struct SlotSender {
  bool used;
  in_addr_t address;
  in_port_t port;
};
SlotSender slot_senders[MAX_SLOTS + 1];

struct ReadBatch {
  Incoming in[READ_BATCH];
  iovec parts[READ_BATCH];
  mmsghdr messages[READ_BATCH];
};
ReadBatch reading;

void ResetQueue() {
  queue.count = queue.next = 0;
  std::memset(queue.from_slot, 0, sizeof queue.from_slot);
  queue.from_strangers = 0;
  ++queue.tick;
}

void NoteSlotSenders() {
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& c = SV_CLIENTSLIST[s];
    in_addr parsed{};
    slot_senders[s].used = c.in_use && !c.is_bot && inet_pton(AF_INET, c.address.c_str(), &parsed) == 1;
    slot_senders[s].address = parsed.s_addr;
    slot_senders[s].port = htons(c.port);
  }
}

int SenderSlot(const sockaddr_in& from) {
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const SlotSender& o = slot_senders[s];
    if (o.used && o.port == from.sin_port && o.address == from.sin_addr.s_addr) return s;
  }
  return 0;
}

uint32_t draw_state = 0x9E3779B9u;
uint32_t Draw() {
  draw_state ^= draw_state << 13;
  draw_state ^= draw_state >> 17;
  draw_state ^= draw_state << 5;
  return draw_state;
}

// Whether this tick still has room for one more datagram from a stranger at
// this address; counts it when it has. Past its share the k-th datagram of
// an address gets in by a draw of share/k: the first few of a tick are not
// favoured, since a client that sends once a frame arrives at about the same
// moment of every tick and a flood from its address must not always be
// ahead of it; what one address gets in grows only with the logarithm of
// what it sends. A sender that proved its address and port with a cookie is
// not held to its address's share at all.
bool StrangerRoom(in_addr_t address, bool proven) {
  if (queue.from_strangers >= STRANGER_LIMIT) return NET_REFUSED(DROP_STRANGER_BUDGET);
  uint32_t i = (address * 2654435761u) % STRANGER_TABLE;
  while (queue.strangers[i].tick == queue.tick && queue.strangers[i].address != address) i = (i + 1) % STRANGER_TABLE;
  StrangerCount& e = queue.strangers[i];
  if (e.tick != queue.tick) e = StrangerCount{address, queue.tick, 0};
  const bool within_share = e.count < STRANGER_PER_ADDRESS || Draw() % (e.count + 1u) < STRANGER_PER_ADDRESS;
  if (e.count < 0xFFFF) ++e.count;
  if (!within_share && !proven) return NET_REFUSED(DROP_ADDRESS_LIMIT);
  ++queue.from_strangers;
  return true;
}

uint64_t QuadAt(const uint8_t* bytes) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(bytes[i]) << (8 * i);
  return v;
}

// A version-29 connect whose cookie is good for its sender: 'f' 29 name
// team nonce cookie, as far as the bytes kept of it reach.
bool ProvenConnect(const sockaddr_in& from, const uint8_t* bytes, unsigned length) {
  if (length < CONNECT29_SIZE || bytes[0] != MSG_CONNECT || bytes[1] != PROTOCOL_SESSIONS) return false;
  const unsigned nonce_at = 2u + 1u + bytes[2] + 1u;
  if (nonce_at + 16 > length) return false;
  return COOKIE_VALID(from.sin_addr.s_addr, from.sin_port, QuadAt(bytes + nonce_at), QuadAt(bytes + nonce_at + 8));
}

// A slot's sender has a share of its own, for what carries its token; a
// connect proves itself later and counts as a stranger's.
bool RoomFor(const sockaddr_in& from, int slot, const uint8_t* bytes, unsigned length) {
  const uint8_t code = bytes[0];
  if (slot == 0 || code == MSG_CONNECT)
    return StrangerRoom(from.sin_addr.s_addr, code == MSG_CONNECT && ProvenConnect(from, bytes, length));
  if (queue.from_slot[slot] >= SLOT_LIMIT) return NET_REFUSED(DROP_CLIENT_BUDGET);
  ++queue.from_slot[slot];
  return true;
}

// `length` is the datagram's real length, which may exceed what was kept.
void Keep(const Incoming& in, unsigned length) {
  const unsigned kept = length < KEPT_BYTES ? length : KEPT_BYTES;
  NET_COUNTRECEIVED(in.bytes, length);
  // Status queries are answered here and now, outside the tick: they have
  // nothing to do with a slot.
  if (length > 0 && in.bytes[0] == MSG_STATUSQUERY) {
    NET_ANSWERSTATUS(in.from, in.bytes, kept, length);
    return;
  }
  length = kept;
  if (length == 0 || SenderOfCode(in.bytes[0]) != Sender::Client) return NET_COUNTDROPPED(DROP_MALFORMED);
  const int slot = SenderSlot(in.from);
  // Datagrams without their session's token are dropped before they can
  // take the session's share of the tick.
  if (slot != 0 && !NET_SESSIONTOKENOK(static_cast<uint8_t>(slot), in.bytes, static_cast<uint16_t>(length))) return;
  if (queue.count >= QUEUE_LIMIT || !RoomFor(in.from, slot, in.bytes, length)) return;
  Incoming& e = queue.entries[queue.count++];
  e.from = in.from;
  e.length = static_cast<uint16_t>(length);
  std::memcpy(e.bytes, in.bytes, length);
}

// Reads up to READ_BATCH waiting datagrams; how many, 0 when none waits or
// on an error.
int ReadBatch() {
  for (int i = 0; i < READ_BATCH; ++i) {
    reading.parts[i] = iovec{reading.in[i].bytes, KEPT_BYTES};
    msghdr& h = reading.messages[i].msg_hdr;
    std::memset(&h, 0, sizeof h);
    h.msg_name = &reading.in[i].from;
    h.msg_namelen = sizeof reading.in[i].from;
    h.msg_iov = &reading.parts[i];
    h.msg_iovlen = 1;
  }
  // MSG_TRUNC: each length is the datagram's real one, so a status query
  // too short to be answered is told from a whole one.
  const int n = recvmmsg(NET_SOCKET, reading.messages, READ_BATCH, MSG_DONTWAIT | MSG_TRUNC, nullptr);
  if (n <= 0) return 0;
  for (int i = 0; i < n; ++i) Keep(reading.in[i], reading.messages[i].msg_len);
  return n;
}

// As large as allowed: beyond net.core.rmem_max only with the right to
// override it. A small buffer is no reason not to start.
void EnlargeReceiveBuffer() {
  int size = RECEIVE_BUFFER_BYTES;
  if (setsockopt(NET_SOCKET, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) == 0) return;
  (void)setsockopt(NET_SOCKET, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

long long NowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000000000LL + t.tv_nsec;
}

timespec ToTimespec(long long ns) {
  return timespec{static_cast<time_t>(ns / 1000000000LL), static_cast<long>(ns % 1000000000LL)};
}

// Dotted-decimal text and port to a socket address; false for text that is
// not an IPv4 address, which is then not sent to at all.
bool Resolve(const ShortStr& address, uint16_t port, sockaddr_in& out) {
  std::memset(&out, 0, sizeof out);
  out.sin_family = AF_INET;
  out.sin_port = htons(port);
  return inet_pton(AF_INET, address.c_str(), &out.sin_addr) == 1;
}

bool StartFailed(const char* message) {
  SV_HOOKS.console_line(message);
  SV_HOOKS.wait_for_operator();
  NET_STOP();
  return false;
}

bool BindTo(uint16_t port) {
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = NET_BINDADDRESS;
  any.sin_port = htons(port);
  return bind(NET_SOCKET, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0;
}

bool StrictPortBusy() {
  std::fprintf(stderr, "vornaxdm_server: port %u cannot be bound (%s); -strictport 1 forbids another\n", NET_PORT,
               std::strerror(errno));
  return false;
}

// Probes upward from NET_PORT, wrapping from 65535 to 0, until a bind
// succeeds. After one full round every port has been tried and the probe
// gives up rather than spin for ever.
bool BindFirstFreePort() {
  if (NET_STRICTPORT) return BindTo(NET_PORT) || StrictPortBusy();
  for (int attempt = 0; attempt <= 65535; ++attempt) {
    if (BindTo(NET_PORT)) return true;
    NET_PORT = static_cast<uint16_t>(NET_PORT + 1);
  }
  return false;
}

// Port 0 lets the system choose; NET_PORT then names the port it chose.
void RememberBoundPort() {
  sockaddr_in bound{};
  socklen_t size = sizeof bound;
  if (getsockname(NET_SOCKET, reinterpret_cast<sockaddr*>(&bound), &size) == 0) NET_PORT = ntohs(bound.sin_port);
}

}  // namespace

bool NET_START() {
  // POSIX has no socket-layer start-up call, so that step always succeeds.
  NET_SOCKET = socket(AF_INET, SOCK_DGRAM, 0);
  if (NET_SOCKET < 0) return StartFailed("UDP initialization failed! [ socket() ]");
  int flags = fcntl(NET_SOCKET, F_GETFL, 0);
  if (flags < 0 || fcntl(NET_SOCKET, F_SETFL, flags | O_NONBLOCK) < 0)
    return StartFailed("UDP initialization failed! [ ioctlsocket() ]");
  EnlargeReceiveBuffer();
  if (!BindFirstFreePort()) return StartFailed("UDP initialization failed! [ bind() ]");
  RememberBoundPort();
  std::string line = "UDP initialized! UDP port: " + std::to_string(NET_PORT);
  SV_HOOKS.console_line(line);
  return true;
}

void NET_STOP() {
  if (NET_SOCKET >= 0) close(NET_SOCKET);
  NET_SOCKET = -1;
}

void NET_CLEARBUFFER() { NET_BUF.clear(); }

int NET_COLLECT() {
  if (NET_SOCKET < 0) return 0;
  NoteSlotSenders();
  int read = 0;
  while (read < READ_LIMIT) {
    const int n = ReadBatch();
    read += n;
    if (n < READ_BATCH) break;  // the socket is empty (or failed): the rest comes later
  }
  return read;
}

void NET_PAUSE(int milliseconds) {
  const long long deadline = NowNs() + milliseconds * 1000000LL;
  for (long long left = deadline - NowNs(); left > 0; left = deadline - NowNs()) {
    timespec wait = ToTimespec(left);
    if (NET_SOCKET < 0) {
      nanosleep(&wait, nullptr);
      return;
    }
    pollfd p{NET_SOCKET, POLLIN, 0};
    const int ready = ppoll(&p, 1, &wait, nullptr);
    if (ready < 0) return;  // a signal: the caller decides whether to go on
    // Readable but nothing to read (a socket error): no busy waiting on it.
    if (ready > 0 && NET_COLLECT() == 0) {
      left = deadline - NowNs();
      if (left > 0) {
        wait = ToTimespec(left);
        nanosleep(&wait, nullptr);
      }
      return;
    }
  }
}

int16_t NET_RECEIVE() {
  NET_CLEARBUFFER();
  if (queue.next >= queue.count) {
    ResetQueue();
    return 0;
  }
  const Incoming& e = queue.entries[queue.next++];
  std::memcpy(NET_BUF.receiveArea(), e.bytes, e.length);
  NET_BUF.received(e.length);
  NET_SADDR = e.from;
  NET_SADDRS = sizeof NET_SADDR;
  return static_cast<int16_t>(e.length);
}

ShortStr NET_LASTINIP() {
  char text[INET_ADDRSTRLEN] = {};
  if (!inet_ntop(AF_INET, &NET_SADDR.sin_addr, text, sizeof text)) text[0] = 0;
  return ShortStr(text);
}

uint16_t NET_LASTINPORT() { return ntohs(NET_SADDR.sin_port); }

void NET_SEND(const ShortStr& address, uint16_t port) {
  sockaddr_in to;
  if (NET_SOCKET < 0 || !Resolve(address, port, to)) return;
  // A failed send is simply lost, like a datagram lost on the way.
  (void)sendto(NET_SOCKET, NET_BUF.bytes(), NET_BUF.length(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  NET_COUNTSENT(NET_BUF.bytes()[0]);
}

void NET_SENDBYTES(const sockaddr_in& to, const uint8_t* bytes, size_t length) {
  if (NET_SOCKET < 0) return;
  (void)sendto(NET_SOCKET, bytes, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  NET_COUNTSENT(bytes[0]);
}

void NET_BATCHBEGIN(uint16_t common_length) {
  batch.common_length = common_length;
  batch.count = 0;
}

void NET_BATCHADD(const ShortStr& address, uint16_t port, const uint8_t* head, uint8_t head_length,
                  const uint8_t* tail, uint8_t tail_length) {
  if (batch.count >= NET_BATCH_LIMIT) return;
  int i = batch.count;
  if (!(batch.resolved[i] == address && batch.to[i].sin_port == htons(port))) {
    batch.resolved[i].clear();
    if (!Resolve(address, port, batch.to[i])) return;
    batch.resolved[i] = address;
  }
  if (head_length > NET_HEAD_LIMIT) head_length = NET_HEAD_LIMIT;
  if (tail_length > NET_TAIL_LIMIT) tail_length = NET_TAIL_LIMIT;
  std::memcpy(batch.heads[i], head, head_length);
  std::memcpy(batch.tails[i], tail, tail_length);
  batch.parts[i][0] = iovec{batch.heads[i], head_length};
  batch.parts[i][1] = iovec{const_cast<uint8_t*>(NET_BUF.bytes()), batch.common_length};
  batch.parts[i][2] = iovec{batch.tails[i], tail_length};
  msghdr& h = batch.messages[i].msg_hdr;
  std::memset(&h, 0, sizeof h);
  h.msg_name = &batch.to[i];
  h.msg_namelen = sizeof batch.to[i];
  h.msg_iov = batch.parts[i];
  h.msg_iovlen = 3;
  ++batch.count;
}

void NET_BATCHSEND() {
  if (NET_SOCKET < 0) return;
  int sent = 0;
  while (sent < batch.count) {
    int n = sendmmsg(NET_SOCKET, batch.messages + sent, static_cast<unsigned>(batch.count - sent), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n > 0) NET_COUNTSENT(batch.heads[sent][0], static_cast<unsigned>(n));  // every head starts with the code
    // A datagram that could not be sent is lost; the others still go.
    sent += n > 0 ? n : 1;
  }
}

void NET_RESET() {
  NET_STOP();
  NET_BUF.clear();
  batch.count = 0;
  for (ShortStr& r : batch.resolved) r.clear();
  ResetQueue();
  draw_state = 0x9E3779B9u;
  NET_RESETSTATUS();
  std::memset(&NET_SADDR, 0, sizeof NET_SADDR);
}

int NET_SOCKETHANDLE() { return NET_SOCKET; }
