#include "game_fixture.h"

namespace game_test {

void UseMap(std::initializer_list<std::string> rows) { UseMap(std::vector<std::string>(rows)); }

void UseMap(const std::vector<std::string>& rows) {
  for (int c = 1; c <= MAP_CELLS; ++c)
    for (int r = 1; r <= MAP_CELLS; ++r) SV_MAP.cells[c][r] = CELL_FREE;
  for (auto& item : SV_MAP.items) item = MapItem{};
  SV_MAP.item_count = 0;
  SV_MAP.spawn_count = 0;
  for (size_t r = 0; r < rows.size() && r < MAP_CELLS; ++r) {
    for (size_t c = 0; c < rows[r].size() && c < MAP_CELLS; ++c) {
      const uint8_t ch = static_cast<uint8_t>(rows[r][c]);
      const int col = static_cast<int>(c) + 1, row = static_cast<int>(r) + 1;
      SV_MAP.cells[col][row] = MAP_ISBWALL(ch) ? CELL_WALL : MAP_ISPWALL(ch) ? CELL_OBSTACLE : CELL_FREE;
      if (MAP_ISITEM(ch) && SV_MAP.item_count < MAX_ITEMS) {
        MapItem& item = SV_MAP.items[++SV_MAP.item_count];
        item = MapItem{0, Centre(col), Centre(row), ch};
      }
      if (MAP_ISSPAWN(ch) && SV_MAP.spawn_count < MAX_SPAWNS)
        SV_MAP.spawns[++SV_MAP.spawn_count] = SpawnPoint{Centre(col), Centre(row)};
    }
  }
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
