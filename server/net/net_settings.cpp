#include "server/net/net_settings.h"

uint16_t NET_PORT;
uint32_t NET_BINDADDRESS;
uint8_t NET_STRICTPORT;
ShortStr SV_NAME;
uint8_t SV_IPSLOTS;
uint8_t SV_IPCONNECTS;
uint8_t SV_CONNECTS;
uint8_t SV_LEGACY;

void NET_RESETSETTINGS() {
  NET_PORT = 35700;
  NET_BINDADDRESS = 0;  // INADDR_ANY
  NET_STRICTPORT = 0;
  SV_NAME.assign("Vornax:dm Server");
  SV_IPSLOTS = 4;
  SV_IPCONNECTS = 2;
  SV_CONNECTS = 4;
  SV_LEGACY = 1;
}

namespace {
// Globals start as a new process would see them, also before any reset call.
struct InitialSettings {
  InitialSettings() { NET_RESETSETTINGS(); }
} initial_settings;
}  // namespace
