// Shared set-up for the game-rule tests: a clean server, small maps drawn as
// text, players placed by hand, and the simulated part of a tick.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "server/core/console.h"
#include "server/core/maps.h"
#include "server/core/msglog.h"
#include "server/core/settings.h"
#include "server/core/startup.h"
#include "server/net/sessions.h"
#include "server/sim/bots.h"
#include "server/sim/combat.h"
#include "server/sim/movement.h"
#include "server/sim/rules.h"
#include "server/sim/world.h"

namespace game_test {

// Centre of cell (column, row), in position units.
constexpr uint16_t Centre(int cell) { return static_cast<uint16_t>(64 * cell + 32); }

// The stored text of a map with these rows (black ceiling and floor).
std::string MapText(const std::vector<std::string>& rows);
// Makes the given rows the current map through the server's own loader: row 1
// is the first string, column 1 its first character, as in a map file.
void UseMap(std::initializer_list<std::string> rows);
void UseMap(const std::vector<std::string>& rows);

// Occupies a slot as a joined, living player freshly respawned at (x, y).
void AddPlayer(uint8_t slot, uint16_t x, uint16_t y, uint8_t team = 0);
// Occupies a slot as a spectator.
void AddSpectator(uint8_t slot);

// The simulated part of one active tick: bots and clock, items, slot timers.
void SimTick();

// The line appended k lines ago (0 = the newest), as bytes.
std::string LogLine(int k = 0);
std::string Bytes(std::initializer_list<int> bytes);

// The invariants every tick must keep: counters match the slot flags, health
// and armour at most 100, ammunition within its maximum, next_gun owned.
void ExpectInvariants();

// Every test starts from a freshly reset server whose console goes to a
// file of its own.
class GameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SV_RESETALL();
    console_ = std::tmpfile();
    CON_SETOUTPUT(console_);
  }
  void TearDown() override {
    SV_RESETALL();
    CON_SETOUTPUT(nullptr);
    if (console_) std::fclose(console_);
  }
  // For tests that run several cases: a fresh server, console kept aside.
  void ResetServer() {
    SV_RESETALL();
    CON_SETOUTPUT(console_);
  }

 private:
  FILE* console_ = nullptr;
};

}  // namespace game_test
