// Items, respawn, the spectate/join toggle and the score checks.
#pragma once

#include <cstdint>

void PLAYER_ITEMS(uint8_t slot);
void SV_MAPITEMS();
void PLAYER_RESPAWN(uint8_t slot);
void PLAYER_SPECJOIN(uint8_t slot);
// Score check right after a kill credited to the shooter.
void PLAYER_SCORECHECK(uint8_t shooter);
void SV_TEAMSCORE();
// The match is won: the scoreboard shows for 495 ticks, then the next map comes.
void SV_SCORELIMITHIT();
