// What a stranger can make the server do, limited per address: slots held
// and new connects per second, new players per second from all addresses
// together, the "server full" reply about once a second, and one console
// line a second that counts refused connects. Addresses that played before a
// map change come back without being throttled.
#pragma once

#include <cstdint>

#include "protocol/shortstr.h"
#include "server/sim/world.h"

constexpr uint32_t GUARD_SECOND = 33;  // ticks

// Ticks since start-up, idle ones included: the clock of every limit here.
extern uint32_t GUARD_CYCLE;

void GUARD_RESET();
// Once per tick, before the datagrams: the clock, and the console line about
// refused connects at most once a second.
void GUARD_TICK();
// A connect from a sender without a slot. False when its address has made
// its connects for this second; `rejoining` is set when the address played
// before the last map change (such connects are never throttled).
bool GUARD_ADMITCONNECT(const ShortStr& address, bool& rejoining);
// A connect that gets no slot: counted for the console line, and answered
// with "server full" when the address has not had that reply lately.
void GUARD_REFUSE(const ShortStr& address, uint16_t port);
// Whether a half-open slot may enter the game now: new players are let in at
// most SV_CONNECTS a second, returning ones always.
bool GUARD_MAYENTER(const ClientRecord& c);
// A status query from this address: whether it may be answered now, at most
// 5 times a second per address and about 100 times a second in all.
bool GUARD_ADMITSTATUS(const ShortStr& address);
// At a map change, before the slots are given up: every player's address may
// connect again as often as it held slots, unthrottled, for a while.
void GUARD_EXPECTREJOINS();
