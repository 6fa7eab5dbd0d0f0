// The map list of the rotation (24 entries), map files, and loading an
// entry as the current map. Changing maps is the program's: server/core/rotation.h.
#pragma once

#include <cstdint>
#include <string_view>

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
// Loads maps/<name>.vnxm into the first free entry (or over the built-in
// map), reading it only. Returns why it was not loaded ("not found", "not
// readable ...", "the rotation is full ..."), nullptr when it was.
const char* MAPFROMFILE(const ShortStr& name);
// Spawn points the entry's map would have on the grid.
int MAP_SPAWNCOUNT(uint8_t entry);
// The rotation entry of that name, 0 when there is none.
uint8_t MAP_FIND(std::string_view name);
// Whether the entry holds a map (a valid entry that is not free).
bool MAP_INUSE(uint8_t entry);
// The entry becomes the current map: walls, items and spawn points.
void SV_LOADCURMAP(uint8_t entry);
