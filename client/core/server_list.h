// Finding servers: the status query goes to the saved server, to servers
// the player names and to the LAN discovery targets, from a socket of its
// own so a game in progress is not disturbed; the answers make the list.
// The saved and named servers come first, in the order they were added, and
// stay listed when silent; servers found on the LAN follow in the order
// they answered, and only when they answered.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/status_query.h"

// Rounds of queries whose answers still count; older answers are too late.
constexpr int SERVER_LIST_ROUNDS = 4;

struct ServerListEntry {
  std::string address;  // dotted IPv4
  uint16_t port = 0;
  bool named = false;   // the saved server or one the player named
  bool answered = false;
  uint32_t ping_ms = 0;
  ServerStatus status;
  // Kept by the list: the token of the query each round sent to this very
  // address and port, newest round first (0: none), and the round whose
  // answer is shown, so that a later answer of that round changes nothing.
  uint32_t asked[SERVER_LIST_ROUNDS] = {};
  uint32_t shown_round = 0;
};

// Where LAN discovery sends: VORNAXDM_LAN_ADDRESS (dotted IPv4, by default
// the broadcast address 255.255.255.255) and VORNAXDM_LAN_PORTS (ports and
// ranges separated by commas, by default 10666,35700-35710). A value that
// cannot be used leaves the default, with a reason in `problem`.
struct LanTargets {
  std::string address;
  std::vector<uint16_t> ports;
};
LanTargets LanTargetsFromEnvironment(std::string& problem);
// "10666,35700-35710" into ports; false for anything else (at most 64 ports).
bool ParsePortList(const std::string& text, std::vector<uint16_t>& ports);

// Only answers to our own queries count: a named server's answer must come
// from the address and port asked, with the token of that query; an answer
// to the LAN query may come from any address, but from one of the ports
// asked and with that query's token. Every query has a random token of its
// own, and the first valid answer of a round is the one listed.
//
// Opens the query socket and forgets the previous list; false when no
// socket could be had.
bool ServerListStart();
void ServerListStop();
bool ServerListActive();
// A server listed even when silent; the same one twice is listed once.
void ServerListAddNamed(const std::string& address, uint16_t port);
// Whether queries of the next rounds also go to the LAN targets.
void ServerListUseLan(const LanTargets& targets);
// One round: a query to every named server and LAN target. now_ms is the
// caller's millisecond clock, the same one ServerListPoll gets.
void ServerListSend(uint32_t now_ms);
// Takes every answer waiting now; how many were taken.
int ServerListPoll(uint32_t now_ms);
// Waits up to timeout_ms for an answer to arrive (for the command line).
void ServerListWait(int timeout_ms);
// Whether every named server has answered the latest round.
bool ServerListNamedAnswered();
const std::vector<ServerListEntry>& ServerListEntries();

// The columns a list shows, as display text: what came from an answer has
// every control character (0x00-0x1F, 0x7F, 0x80-0x9F) shown as '?'.
struct ServerListColumns {
  std::string name, map, players, ping, address;
};
ServerListColumns ServerListTexts(const ServerListEntry& entry);
// The table of `vornaxdm --list`: a heading and one line per entry.
std::string ServerListTable();

// `vornaxdm --list [HOST[:PORT]...]`: queries the servers named (the LAN and
// the saved server when none is), collects answers for about a second and
// prints the table. 0 done, 1 a name that did not resolve or no socket, 2
// bad arguments.
int RunServerListCommand(const std::vector<std::string>& hosts, std::string& out, std::string& err);
