// What the game (server/sim) and the network layer (server/net) tell the
// program around them. Calls between the server's layers go down only; these
// hooks are the one way up. The program's core fills them in at start-up
// (server/core/startup.cpp); until then they do nothing, so the lower
// layers also run alone, in tests and benchmarks.
#pragma once

#include <cstdint>
#include <string_view>

#include "protocol/shortstr.h"

struct ServerHooks {
  void (*console_line)(std::string_view text);              // a line for the operator's console
  void (*oplog_line)(std::string_view text);                // a line for the operator's log only
  void (*wait_for_operator)();                              // start-up failed: let the operator read why
  void (*message_logged)(const ShortStr& line);             // a line entered the message log
  void (*player_connected)(uint8_t slot);                   // a client or a bot took the slot
  void (*slot_given_up)(uint8_t slot, const char* reason);  // the slot is about to be given up
  void (*map_started)();                                    // the current map was loaded
};

extern ServerHooks SV_HOOKS;

// Every hook back to doing nothing.
void SV_RESETHOOKS();
