// Addresses kept out of the server: banned by the operator (ban, kick) for
// some minutes or for ever. With -banfile the list lives in that file, one
// line per address ("ADDRESS EXPIRY", the expiry in Unix time, 0 for ever),
// so it outlives the process; the file is replaced whole on every change
// (written beside it, then renamed), never left half written.
#pragma once

#include <cstdint>
#include <ctime>
#include <string_view>

#include "protocol/shortstr.h"

constexpr int BAN_LIMIT = 256;

struct BanEntry {
  char address[16];  // dotted decimal, as the socket layer writes it
  time_t until;      // 0: for ever
};

// Whether a connect from this address is kept out: it is banned, or the
// server is draining and lets no new player in. A refused connect leaves a
// line in the operator's log, at most one a minute for each address.
bool BAN_ISBANNED(const ShortStr& address);

// Bans an IPv4 address for minutes (0: for ever); a second ban of the same
// address replaces the first. False when the text is no IPv4 address or the
// list is full.
bool BAN_ADD(std::string_view address, uint32_t minutes);
// False when the address was not banned.
bool BAN_REMOVE(std::string_view address);
// The bans in force, in the order they were made.
int BAN_COUNT();
const BanEntry& BAN_AT(int index);

// Reads the list from path and keeps it there from now on. A missing file is
// an empty list. Lines that cannot be read are reported on standard error and
// skipped. False (with a line on standard error) when the file exists but
// cannot be read: the bans are then kept in memory only.
bool BAN_USEFILE(const char* path);
// Writes the list to its file; nullptr when done (or when there is no file),
// otherwise why it failed.
const char* BAN_SAVE();

// While draining, every connect from a stranger is refused.
void BAN_SETDRAINING(bool draining);
bool BAN_DRAINING();

void BAN_RESET();
