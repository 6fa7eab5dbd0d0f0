#include "server/sim/world.h"

#include <cstring>

ClientRecord SV_CLIENTSLIST[MAX_SLOTS + 1];
uint8_t SV_CURCLIENTS;
uint8_t SV_CURPLAYERS;
uint8_t SV_BOTC;
uint16_t SV_PINGVAR;
uint16_t SV_SCOREBOARD;

uint8_t LowestFreeSlot() {
  for (int s = 1; s <= MAX_SLOTS; ++s)
    if (!SV_CLIENTSLIST[s].in_use) return static_cast<uint8_t>(s);
  return 0;
}

void OccupySlot(uint8_t slot, bool bot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  c.in_use = 1;
  c.joined = 0;
  c.is_bot = bot ? 1 : 0;
  ++SV_CURCLIENTS;
  if (bot) ++SV_BOTC;
}

void VacateSlot(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  --SV_CURCLIENTS;
  if (c.joined) --SV_CURPLAYERS;
  if (c.is_bot) --SV_BOTC;
  c.in_use = 0;
}

void SetJoined(uint8_t slot, bool joined) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (c.joined == (joined ? 1 : 0)) return;
  c.joined = joined ? 1 : 0;
  if (joined)
    ++SV_CURPLAYERS;
  else
    --SV_CURPLAYERS;
}

MapState SV_MAP;

const uint8_t PLAYERMAXAMMO[3] = {0, 200, 30};
const uint8_t PLAYERSTARTAMMO[3] = {0, 25, 0};

// Item tables: index 0..9 is the kind character '0'..'9'.
const uint8_t ITEMSP_HITS[10] = {0, 0, 0, 0, 0, 5, 10, 15, 100, 0};
const uint8_t ITEMSP_ARMOR[10] = {50, 0, 0, 0, 0, 0, 0, 0, 25, 0};
const uint8_t ITEMSP_AMMO[3][10] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 20, 30, 5, 40, 0, 0, 0, 20, 0},
    {0, 0, 0, 5, 0, 0, 0, 5, 5, 0},
};
const uint8_t ITEMSP_GUN[10] = {0, 3, 4, 0, 0, 0, 0, 0, 0, 5};
const uint16_t ITEMSP_RESPT[10] = {600, 240, 240, 300, 450, 300, 450, 600, 1050, 240};


uint8_t PLAYER_STATE(uint8_t slot) {
  const ClientRecord& c = SV_CLIENTSLIST[slot];
  if (!c.in_use) return PS_NONE;
  if (!c.joined) return PS_SPECTATOR;
  if (c.health == 0) return PS_DEAD;
  if (c.fire_anim == 0) return PS_ALIVE;
  return PS_FIRING;
}

void SV_RESETWORLD() {
  for (auto& c : SV_CLIENTSLIST) c = ClientRecord{};
  SV_CURCLIENTS = SV_CURPLAYERS = SV_BOTC = 0;
  SV_PINGVAR = SV_SCOREBOARD = 0;
  std::memset(&SV_MAP, 0, sizeof SV_MAP);
  for (int i = 0; i <= MAP_CELLS + 1; ++i) {
    SV_MAP.cells[i][0] = SV_MAP.cells[i][MAP_CELLS + 1] = CELL_WALL;
    SV_MAP.cells[0][i] = SV_MAP.cells[MAP_CELLS + 1][i] = CELL_WALL;
  }
}
