// Map files, the 24-entry map rotation and the current map.
#pragma once

#include <cstdint>

#include "protocol/rules.h"
#include "protocol/shortstr.h"

constexpr int MAP_LIST_SIZE = 24;

struct MapEntry {
  ShortStr name;                      // "-" for a free entry
  uint8_t text[MAP_TEXT_SIZE + 1];    // positions 1..4222, ended by a 0 byte
};

extern MapEntry SV_MAPL[MAP_LIST_SIZE + 1];  // 1..24

void DEFAULTMAPS();
void MAPFROMSTR(uint8_t entry, const char* text);
void MAPFROMFILE(const ShortStr& name);
void SV_LOADCURMAP(uint8_t entry);
void SV_KICKALL();
void SV_MAPNEXT();
void SV_SCORELIMITHIT();
