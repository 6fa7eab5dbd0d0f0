#include "server/core/settings.h"

uint16_t NET_PORT;
uint32_t NET_BINDADDRESS;
uint8_t NET_STRICTPORT;
ShortStr SV_NAME;
uint8_t SV_MAXPLAYERS;
uint8_t SV_SCORELIMIT;
uint8_t SV_TEAMPLAY;
uint8_t SV_BOTCOUNT;
uint8_t SV_IPSLOTS;
uint8_t SV_IPCONNECTS;
uint8_t SV_CONNECTS;

uint8_t SV_CURCLIENTS;
uint8_t SV_CURPLAYERS;
uint8_t SV_BOTC;
uint16_t SV_PINGVAR;
uint16_t SV_SCOREBOARD;

void SV_RESETSETTINGS() {
  NET_PORT = 35700;
  NET_BINDADDRESS = 0;  // INADDR_ANY
  NET_STRICTPORT = 0;
  SV_NAME.assign("Vornax:dm Server");
  SV_MAXPLAYERS = 10;
  SV_SCORELIMIT = 20;
  SV_TEAMPLAY = 0;
  SV_BOTCOUNT = 0;
  SV_IPSLOTS = 4;
  SV_IPCONNECTS = 2;
  SV_CONNECTS = 4;
  SV_CURCLIENTS = 0;
  SV_CURPLAYERS = 0;
  SV_BOTC = 0;
  SV_PINGVAR = 0;
  SV_SCOREBOARD = 0;
}

namespace {
// Globals start as a new process would see them, also before any reset call.
struct InitialSettings {
  InitialSettings() { SV_RESETSETTINGS(); }
} initial_settings;
}  // namespace
