// Temporary stand-ins for the game rules, so the network spine links and runs
// before the rules themselves land. This whole file goes when they do.
#include <string>

#include "protocol/protocol.h"
#include "server/core/msglog.h"
#include "server/core/settings.h"
#include "server/sim/bots.h"
#include "server/sim/combat.h"
#include "server/sim/rules.h"
#include "server/sim/world.h"

void PLAYER_ACTIONS(uint8_t) {}

void PLAYER_RESPAWN(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (SV_MAP.spawn_count > 0) {
    const SpawnPoint& p = SV_MAP.spawns[SV_PINGVAR % SV_MAP.spawn_count + 1];
    c.x = p.x;
    c.y = p.y;
  }
  for (int g = 1; g <= NUM_WEAPONS; ++g) c.has_gun[g] = g <= 2;
  c.gun = c.next_gun = 2;
  c.health = 100;
  c.armor = 25;
  c.ammo[1] = PLAYERSTARTAMMO[1];
  c.ammo[2] = PLAYERSTARTAMMO[2];
  c.wait = 0;
  c.goal_x = c.x;
  c.goal_y = c.y;
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

void SV_ADDBOT() {
  if (SV_CURCLIENTS >= MAX_SLOTS) return;
  uint8_t slot = 0;
  for (int s = MAX_SLOTS; s >= 1; --s)
    if (!SV_CLIENTSLIST[s].in_use) slot = static_cast<uint8_t>(s);
  ClientRecord& c = SV_CLIENTSLIST[slot];
  c.in_use = 1;
  c.joined = 0;
  c.is_bot = 1;
  c.frags = 0;
  c.log_ack = SV_LOGI;
  c.specjoin_wait = c.chat_wait = c.log_wait = c.info_wait = c.fire_anim = c.wait = c.idle = 0;
  c.input_budget = 33;
  c.bot_target = slot;
  c.address.assign("0.0.0.0");
  c.port = 0;
  c.name.assign("BOT #" + std::to_string(SV_BOTC + 1));
  c.team = SV_BOTC % NUM_TEAMS;
  ShortStr line;
  line.push(static_cast<char>(EV_CONNECT));
  line.push(static_cast<char>(slot));
  line.push(static_cast<char>(c.team));
  line.append(c.name.view());
  SV_ADDMSG(line);
  PLAYER_RESPAWN(slot);
  ++SV_CURCLIENTS;
  ++SV_BOTC;
}

void SV_BOTZ() {
  if (SV_BOTC < SV_BOTCOUNT) SV_ADDBOT();
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    ClientRecord& c = SV_CLIENTSLIST[s];
    if (!c.in_use || !c.is_bot) continue;
    c.idle = 0;
    c.ping_tick = SV_PINGVAR;
    c.log_ack = SV_LOGI;
    c.action = 0;
  }
}

void BOT_RESETRNG() {}
