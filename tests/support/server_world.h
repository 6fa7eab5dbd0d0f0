// What must hold in the server's world after every tick, whatever arrived:
// the counters equal the slots' own flags and every value is in its range.
// For tests, the long run and the fuzz harness that drive the server library.
#pragma once

#include <string>

#include "server/net/sessions.h"
#include "server/sim/match_settings.h"
#include "server/sim/world.h"

// The first broken rule, "" when all hold.
inline std::string WorldFault() {
  int clients = 0, players = 0, bots = 0;
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const ClientRecord& c = SV_CLIENTSLIST[s];
    if (!c.in_use) continue;
    ++clients;
    players += c.joined;
    bots += c.is_bot;
    const std::string slot = " in slot " + std::to_string(s);
    if (c.health > 100 || c.armor > 100) return "health or armour above 100" + slot;
    if (c.ammo[1] > PLAYERMAXAMMO[1] || c.ammo[2] > PLAYERMAXAMMO[2]) return "ammunition above its maximum" + slot;
    if (c.next_gun < 1 || c.next_gun > NUM_WEAPONS || !c.has_gun[c.next_gun]) return "selected weapon not owned" + slot;
    if (c.gun < 1 || c.gun > NUM_WEAPONS) return "weapon in hand out of range" + slot;
    if (c.team >= NUM_TEAMS) return "team out of range" + slot;
  }
  if (SV_CURCLIENTS != clients || SV_CURPLAYERS != players || SV_BOTC != bots) return "counters differ from the flags";
  if (players > SV_MAXPLAYERS) return "more players than allowed";
  if (SV_SCOREBOARD > 495) return "countdown out of range";
  if (SV_MAP.item_count > MAX_ITEMS || SV_MAP.spawn_count > MAX_SPAWNS) return "map tables overfull";
  return "";
}
