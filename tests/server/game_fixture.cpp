#include "game_fixture.h"

#include <cstring>

namespace game_test {

void UseMap(std::initializer_list<std::string> rows) { UseMap(std::vector<std::string>(rows)); }

std::string MapText(const std::vector<std::string>& rows) {
  // The first row follows the header directly; a carriage return ends each row.
  std::string text = "000000";
  for (size_t r = 0; r < rows.size(); ++r) text += (r ? "\r" : "") + rows[r];
  return text;
}

void UseMap(const std::vector<std::string>& rows) {
  std::memset(SV_MAPL[1].text, 0, sizeof SV_MAPL[1].text);
  MAPFROMSTR(1, MapText(rows).c_str());
  SV_LOADCURMAP(1);
}

void AddSpectator(uint8_t slot) {
  ClientRecord& c = SV_CLIENTSLIST[slot];
  c.in_use = 1;
  c.joined = 0;
  c.is_bot = 0;
  c.name.assign("P" + std::to_string(slot));
  c.address.assign("127.0.0.1");
  c.port = static_cast<uint16_t>(40000 + slot);
  c.input_budget = 33;
  c.log_ack = SV_LOGI;
  PLAYER_RESPAWN(slot);
  ++SV_CURCLIENTS;
}

void AddPlayer(uint8_t slot, uint16_t x, uint16_t y, uint8_t team) {
  AddSpectator(slot);
  ClientRecord& c = SV_CLIENTSLIST[slot];
  c.joined = 1;
  c.team = team;
  c.x = c.want_x = c.goal_x = x;
  c.y = c.want_y = c.goal_y = y;
  ++SV_CURPLAYERS;
}

void SimTick() {
  SV_OTHER();
  SV_MAPITEMS();
  SV_PLAYERS();
}

std::string LogLine(int k) { return SV_LOG[k].str(); }

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

void ExpectInvariants() {
  int clients = 0, players = 0, bots = 0;
  for (int j = 1; j <= MAX_SLOTS; ++j) {
    const ClientRecord& c = SV_CLIENTSLIST[j];
    if (!c.in_use) continue;
    ++clients;
    players += c.joined;
    bots += c.is_bot;
    EXPECT_LE(c.health, 100) << "slot " << j;
    EXPECT_LE(c.armor, 100) << "slot " << j;
    EXPECT_LE(c.ammo[1], PLAYERMAXAMMO[1]) << "slot " << j;
    EXPECT_LE(c.ammo[2], PLAYERMAXAMMO[2]) << "slot " << j;
    ASSERT_GE(c.next_gun, 1) << "slot " << j;
    ASSERT_LE(c.next_gun, NUM_WEAPONS) << "slot " << j;
    EXPECT_EQ(c.has_gun[c.next_gun], 1) << "slot " << j;
  }
  EXPECT_EQ(SV_CURCLIENTS, clients);
  EXPECT_EQ(SV_CURPLAYERS, players);
  EXPECT_EQ(SV_BOTC, bots);
}

}  // namespace game_test
