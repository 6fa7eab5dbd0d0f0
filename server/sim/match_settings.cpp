#include "server/sim/match_settings.h"

uint8_t SV_MAXPLAYERS;
uint8_t SV_SCORELIMIT;
uint8_t SV_TEAMPLAY;
uint8_t SV_BOTCOUNT;

void SV_RESETMATCHSETTINGS() {
  SV_MAXPLAYERS = 10;
  SV_SCORELIMIT = 20;
  SV_TEAMPLAY = 0;
  SV_BOTCOUNT = 0;
}

namespace {
// Globals start as a new process would see them, also before any reset call.
struct InitialSettings {
  InitialSettings() { SV_RESETMATCHSETTINGS(); }
} initial_settings;
}  // namespace
