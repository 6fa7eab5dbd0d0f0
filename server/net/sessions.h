// Client sessions: finding a sender's slot, taking and giving up slots, and
// the per-slot pass of every active tick.
#pragma once

#include <cstdint>

#include "protocol/shortstr.h"

uint8_t PLAYER_A2I(const ShortStr& address, uint16_t port);
uint8_t PLAYER_NEW(const ShortStr& address, uint16_t port);
void PLAYER_REMOVE(uint8_t slot);
// Session upkeep, game timers, input budget, game information and message
// log for every occupied slot, in slot order.
void SV_PLAYERS();
