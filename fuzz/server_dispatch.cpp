// Feeds datagrams from a handful of senders to the server's dispatcher, with
// ticks in between, and checks after each that the world holds together:
// the slot counters equal the slots' own flags, every value in its range.
// No socket is opened: replies are built but go nowhere.
//
// Input: a sequence of records [control byte][length byte][length bytes].
// The control byte picks the sender (low 3 bits) and whether a tick runs
// after the datagram (bit 3) or the match ends (bit 4).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "protocol/protocol.h"
#include "server/core/console.h"
#include "server/core/rotation.h"
#include "server/core/startup.h"
#include "server/net/netproto.h"
#include "server/net/udp.h"
#include "server/sim/maps.h"
#include "server/sim/match_settings.h"
#include "server/sim/rules.h"
#include "server/sim/world.h"
#include "tests/support/server_world.h"

namespace {

const char* const SENDERS[8] = {"127.0.0.1", "127.0.0.1", "127.0.0.2", "127.0.0.3",
                                "0.0.0.0",   "",          "x",         "255.255.255.255"};
const uint16_t PORTS[8] = {5000, 5001, 5000, 1, 0, 7, 65535, 9};

void startServer(uint8_t options) {
  SV_RESETALL();
  static FILE* null_console = std::fopen("/dev/null", "w");
  CON_SETOUTPUT(null_console);
  SV_TEAMPLAY = options & 1;
  SV_BOTCOUNT = (options >> 1) & 7;
  DEFAULTMAPS();
  SV_LOADCURMAP(1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  startServer(data[0]);
  size_t p = 1;
  while (p + 2 <= size) {
    uint8_t control = data[p];
    size_t length = data[p + 1];
    p += 2;
    if (length > size - p) length = size - p;
    NET_CLEARBUFFER();
    std::memcpy(NET_BUF.receiveArea(), data + p, length);
    NET_BUF.received(static_cast<uint16_t>(length));
    p += length;
    NET_HANDLEDATAGRAM(ShortStr(SENDERS[control & 7]), PORTS[control & 7], static_cast<uint16_t>(length));
    if (control & 0x10) SV_SCORELIMITHIT();
    if (control & 0x08) GAMECYCLE();
    if (!WorldFault().empty()) std::abort();
  }
  return 0;
}
