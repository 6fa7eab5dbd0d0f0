// What senders can make the server do. Strangers (senders that have not
// proven their address) cost only bytes out of one small budget for all of
// them; the limits per address (slots held, new slots a second, the "server
// full" reply about once a second and one console line a second that counts
// refused connects) count only proven senders, so forged datagrams cannot
// spend them. Addresses that played before a map change come back without
// being throttled.
#pragma once

#include <cstdint>

#include "protocol/shortstr.h"
#include "server/sim/world.h"

constexpr uint32_t GUARD_SECOND = 33;  // ticks

// Ticks since start-up, idle ones included: the clock of every limit here.
extern uint32_t GUARD_CYCLE;

void GUARD_RESET();
// Once per tick, before the datagrams: the clock, the byte budget for
// strangers, and the console line about refused connects at most once a
// second.
void GUARD_TICK();

// Bytes sent to addresses that have not proven themselves, each datagram
// counted with 28 bytes of IP and UDP headers, in two shares that cannot
// take from each other: 2,000 a second for the challenges of version 29, and
// 7,500 for everything else (refusals, "not connected" and the snapshots of
// version-28 half-open slots, which a crowd of honest version-28 players
// coming back after a map change needs at once). So a flood of connects
// of one version leaves the other its share, and all of it stays under
// 10 kB/s. True (and spent) when a datagram of `length` bytes still fits
// this tick.
enum class Unproven : uint8_t { Challenge, Reply, HalfOpenSnapshot };
constexpr uint32_t GUARD_CHALLENGE_BYTES = 2000;
constexpr uint32_t GUARD_REPLY_BYTES = 7500;  // replies and half-open snapshots
constexpr uint32_t GUARD_UNPROVEN_BYTES = GUARD_CHALLENGE_BYTES + GUARD_REPLY_BYTES;
constexpr uint32_t GUARD_HEADER_BYTES = 28;
bool GUARD_SPENDUNPROVEN(uint16_t length, Unproven what = Unproven::Reply);

// Whether a proven sender may take a new slot now. Rejoining addresses
// always enter; otherwise the address must hold fewer than -ipslots proven
// slots (`held`) and have made fewer than -ipconnects new ones this second
// (Refuse), and the server must have let fewer than -connects new players in
// this second (Wait: the sender asks again).
enum class Entry : uint8_t { Enter, Wait, Refuse };
Entry GUARD_ADMITENTRY(const ShortStr& address, int held);
// A proven sender gets no slot: counted for the console line, and answered
// with "server full" (in version 29 with the nonce of its connect) when the
// address has not had that reply lately.
void GUARD_REFUSE(const ShortStr& address, uint16_t port, uint8_t version, uint64_t nonce);
// A status query from this address: whether it may be answered now, at most
// 5 times a second per address, then 2,000 times a second in all.
bool GUARD_ADMITSTATUS(const ShortStr& address);
// At a map change, before the slots are given up: every player's address may
// connect again as often as it held slots, unthrottled, for a while.
void GUARD_EXPECTREJOINS();

