#include "server/sim/rules.h"

#include "server/sim/event_line.h"
#include "server/sim/maps.h"
#include "server/sim/match_settings.h"
#include "server/sim/msglog.h"
#include "server/sim/world.h"

namespace {

constexpr uint16_t MATCH_END_TICKS = 495;
constexpr uint8_t kFullHealth = 100;  // pick-ups never raise health or armour past it
constexpr uint16_t kPickupHalf = 32;  // an item is reached strictly within 32 on both axes
constexpr uint8_t kSpecJoinCooldown = 90;

// ---- Item pick-up, one part of an item kind at a time -------------------------
// Each part applies the kind's table entry if the player can use it and says
// whether it did; an item is taken when any part applied.

uint8_t Capped(unsigned value, unsigned cap) { return static_cast<uint8_t>(value > cap ? cap : value); }

bool GiveHealth(ClientRecord& c, int kind) {
  if (ITEMSP_HITS[kind] == 0 || c.health >= kFullHealth) return false;
  c.health = Capped(c.health + ITEMSP_HITS[kind], kFullHealth);
  return true;
}

bool GiveArmor(ClientRecord& c, int kind) {
  if (ITEMSP_ARMOR[kind] == 0 || c.armor >= kFullHealth) return false;
  c.armor = Capped(c.armor + ITEMSP_ARMOR[kind], kFullHealth);
  return true;
}

bool GiveAmmo(ClientRecord& c, int kind, int type) {
  if (ITEMSP_AMMO[type][kind] == 0 || c.ammo[type] >= PLAYERMAXAMMO[type]) return false;
  c.ammo[type] = Capped(c.ammo[type] + ITEMSP_AMMO[type][kind], PLAYERMAXAMMO[type]);
  return true;
}

bool GiveAmmo1(ClientRecord& c, int kind) { return GiveAmmo(c, kind, 1); }
bool GiveAmmo2(ClientRecord& c, int kind) { return GiveAmmo(c, kind, 2); }

// A weapon item is always taken; only a weapon new to the player is selected.
bool GiveGun(ClientRecord& c, int kind) {
  const uint8_t gun = ITEMSP_GUN[kind];
  if (gun == 0) return false;
  if (c.has_gun[gun] == 0) c.next_gun = gun;
  c.has_gun[gun] = 1;
  return true;
}

using ItemPart = bool (*)(ClientRecord& c, int kind);
constexpr ItemPart kItemParts[] = {GiveHealth, GiveArmor, GiveAmmo1, GiveAmmo2, GiveGun};

bool InReach(const ClientRecord& c, const MapItem& item) {
  // Bounds in 16 bits: a player near 0 gets a wrapped low bound and reaches nothing.
  const uint16_t lx = static_cast<uint16_t>(c.x - kPickupHalf);
  const uint16_t hx = static_cast<uint16_t>(c.x + kPickupHalf);
  const uint16_t ly = static_cast<uint16_t>(c.y - kPickupHalf);
  const uint16_t hy = static_cast<uint16_t>(c.y + kPickupHalf);
  return lx < item.x && item.x < hx && ly < item.y && item.y < hy;
}

void TryPickUp(ClientRecord& c, MapItem& item) {
  if (!MAP_ISITEM(item.kind)) return;  // only '0'..'9' index the kind tables
  const int kind = item.kind - '0';
  bool taken = false;
  for (ItemPart part : kItemParts) taken = part(c, kind) || taken;
  if (taken) item.respawn = ITEMSP_RESPT[kind];
}

// ---- Score checks ------------------------------------------------------------

void EndMatch(const ShortStr& line) {
  SV_ADDMSG(line);
  SV_SCORELIMITHIT();
}

}  // namespace

void SV_SCORELIMITHIT() { SV_SCOREBOARD = MATCH_END_TICKS; }

void PLAYER_ITEMS(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  for (int i = 1; i <= MAX_ITEMS; ++i) {
    MapItem& item = SV_MAP.items[i];
    if (item.respawn == 0 && item.kind != 0 && InReach(c, item)) TryPickUp(c, item);
  }
}

void SV_MAPITEMS() {
  SV_MAP.item_count = 0;
  for (int i = 1; i <= MAX_ITEMS; ++i) {
    MapItem& item = SV_MAP.items[i];
    if (item.kind == 0) continue;
    if (item.respawn > 0) --item.respawn;
    if (item.respawn == 0) ++SV_MAP.item_count;
  }
}

void PLAYER_RESPAWN(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  // Every respawn within one tick picks the same point; with no spawn points
  // the player stays where it stands.
  if (SV_MAP.spawn_count > 0) {
    const SpawnPoint& p = SV_MAP.spawns[SV_PINGVAR % SV_MAP.spawn_count + 1];
    c.x = p.x;
    c.y = p.y;
  }
  for (int g = 1; g <= NUM_WEAPONS; ++g) c.has_gun[g] = g <= 2 ? 1 : 0;  // knife and pistol
  c.gun = c.next_gun = 2;
  c.health = kFullHealth;
  c.armor = 25;
  c.ammo[1] = PLAYERSTARTAMMO[1];
  c.ammo[2] = PLAYERSTARTAMMO[2];
  c.wait = 0;
  c.goal_x = c.x;
  c.goal_y = c.y;
}

void PLAYER_SPECJOIN(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (c.specjoin_wait > 0) return;
  PLAYER_RESPAWN(slot);
  c.frags = 0;
  if (c.joined) {
    SetJoined(slot, false);
    SV_ADDMSG(EVENT_LINE(EV_LEAVE, {slot}));
  } else if (SV_CURPLAYERS < SV_MAXPLAYERS) {
    SetJoined(slot, true);
    SV_ADDMSG(EVENT_LINE(EV_JOIN, {slot}));
  }
  // A refused join costs the cooldown too.
  c.specjoin_wait = kSpecJoinCooldown;
}

void PLAYER_SCORECHECK(uint8_t shooter) {
  if (SV_TEAMPLAY != 0) {
    SV_TEAMSCORE();
    return;
  }
  if (SV_CLIENTSLIST[shooter].frags == SV_SCORELIMIT) EndMatch(EVENT_LINE(EV_WIN, {shooter}));
}

void SV_TEAMSCORE() {
  int sums[NUM_TEAMS] = {};
  for (uint8_t j = 1; j <= MAX_SLOTS; ++j) {
    const ClientRecord& c = SV_CLIENTSLIST[j];
    if (!c.in_use || !c.joined) continue;  // spectators' frags do not count
    const uint8_t team = c.team % NUM_TEAMS;
    sums[team] += c.frags;
    if (sums[team] == SV_SCORELIMIT) {
      EndMatch(EVENT_LINE(EV_TEAMWIN, {team}));
      return;
    }
  }
}
