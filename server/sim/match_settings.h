// The match's settings, set once from the command line (server/core/startup.cpp).
#pragma once

#include <cstdint>

extern uint8_t SV_MAXPLAYERS;  // 10, kept within 2..24
extern uint8_t SV_SCORELIMIT;  // 20, never below 1
extern uint8_t SV_TEAMPLAY;    // 0 = free-for-all, anything else = four teams
extern uint8_t SV_BOTCOUNT;    // 0..24 bots wanted

// Back to the values of a freshly started process.
void SV_RESETMATCHSETTINGS();
