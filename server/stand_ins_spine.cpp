// Temporary stand-ins for the server spine (message log, match end, sessions,
// tick steps) so the game rules can be built and tested on their own. Goes
// away when the spine lands.
#include "server/core/maps.h"
#include "server/core/msglog.h"
#include "server/core/settings.h"
#include "server/core/startup.h"
#include "server/net/sessions.h"
#include "server/sim/bots.h"
#include "server/sim/world.h"

ShortStr SV_LOG[LOG_LINES];
uint16_t SV_LOGI;

void SV_CLEARLOG() {
  for (auto& line : SV_LOG) line.clear();
  SV_LOGI = 0;
}

void SC_LOGMESS(const ShortStr&) {}

void SV_ADDMSG(const ShortStr& line) {
  ++SV_LOGI;
  for (int k = LOG_LINES - 2; k >= 0; --k) SV_LOG[k + 1] = SV_LOG[k];
  SV_LOG[0] = line;
}

void SV_SCORELIMITHIT() { SV_SCOREBOARD = 495; }

void PLAYER_REMOVE(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  if (!c.in_use) return;
  --SV_CURCLIENTS;
  if (c.joined) --SV_CURPLAYERS;
  c.in_use = 0;
  if (c.is_bot) --SV_BOTC;
}

void SV_OTHER() {
  SV_BOTZ();
  ++SV_PINGVAR;
  if (SV_SCOREBOARD > 0) --SV_SCOREBOARD;
}

void SV_PLAYERS() {
  for (int j = 1; j <= MAX_SLOTS; ++j) {
    ClientRecord& c = SV_CLIENTSLIST[j];
    if (!c.in_use) continue;
    if (c.specjoin_wait) --c.specjoin_wait;
    if (c.fire_anim) --c.fire_anim;
    if (c.wait)
      --c.wait;
    else
      c.gun = c.next_gun;
  }
}

void SV_RESETALL() {
  SV_RESETSETTINGS();
  SV_RESETWORLD();
  SV_CLEARLOG();
  BOT_RESETRNG();
}
