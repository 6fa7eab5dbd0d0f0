// Every map we ship, loaded through the server's own loader: enough spawn
// points, every item kind, within the format's limits, closed by walls, and
// every spawn point and item reachable on foot from the first spawn point.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "server/sim/maps.h"
#include "server/sim/world.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> ShippedMapNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(VORNAX_SOURCE_DIR) / "maps"))
    if (entry.path().extension() == ".vnxm") names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> FileRows(const std::string& name) {
  std::ifstream file(fs::path(VORNAX_SOURCE_DIR) / "maps" / (name + ".vnxm"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (!lines.empty()) lines.erase(lines.begin());  // the colour header
  return lines;
}

// The server reads maps relative to its working directory, as at start-up.
void LoadAsServer(const std::string& name) {
  const fs::path previous = fs::current_path();
  fs::current_path(VORNAX_SOURCE_DIR);
  DEFAULTMAPS();
  MAPFROMFILE(ShortStr(name));
  SV_LOADCURMAP(1);
  fs::current_path(previous);
}

// The loaded grid; the ring round it (column or row 0 and 65) is wall.
uint8_t CellAt(int column, int row) {
  if (column < 0 || row < 0 || column > MAP_CELLS + 1 || row > MAP_CELLS + 1) return CELL_WALL;
  return SV_MAP.cells[column][row];
}

using Cell = std::pair<int, int>;

Cell CellOf(uint16_t x, uint16_t y) { return {x / CELL_SIZE, y / CELL_SIZE}; }

// Cells a player can stand in, reachable from `start` by steps to the
// four neighbours.
std::set<Cell> WalkableFrom(Cell start) {
  std::set<Cell> seen{start};
  std::vector<Cell> todo{start};
  while (!todo.empty()) {
    const auto [c, r] = todo.back();
    todo.pop_back();
    for (const Cell& next : {Cell{c + 1, r}, Cell{c - 1, r}, Cell{c, r + 1}, Cell{c, r - 1}})
      if (CellAt(next.first, next.second) == CELL_FREE && seen.insert(next).second) todo.push_back(next);
  }
  return seen;
}

TEST(ShippedMaps, LoadWithinLimitsClosedByWallsWithEveryItemKindAllReachable) {
  EXPECT_GE(ShippedMapNames().size(), 4u);
  for (const std::string& name : ShippedMapNames()) {
    SCOPED_TRACE(name);
    const std::vector<std::string> rows = FileRows(name);
    LoadAsServer(name);
    ASSERT_EQ(SV_MAPL[1].name, ShortStr(name)) << "the file did not load";
    const char* text = reinterpret_cast<const char*>(SV_MAPL[1].text + 1);
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(text[i] >= '0' && text[i] <= '9') << "colour header";
    // The whole file fits the stored text: nothing was cut.
    size_t file_bytes = 6;
    for (const std::string& row : rows) file_bytes += row.size() + 1;
    EXPECT_EQ(std::strlen(text), file_bytes - 1);
    EXPECT_LE(rows.size(), 64u);
    int digits = 0;
    for (int r = 1; r <= int(rows.size()); ++r) {
      const std::string& row = rows[size_t(r - 1)];
      EXPECT_LE(row.size(), 64u);
      digits += int(std::count_if(row.begin(), row.end(), ::isdigit));
      // The outer edge is wall.
      for (int c = 1; c <= int(row.size()); ++c)
        if (r == 1 || r == int(rows.size()) || c == 1 || c == int(row.size())) {
          EXPECT_EQ(CellAt(c, r), CELL_WALL) << "column " << c << " row " << r;
        }
    }
    EXPECT_GE(SV_MAP.spawn_count, 8);
    EXPECT_LE(SV_MAP.spawn_count, MAX_SPAWNS);
    EXPECT_EQ(SV_MAP.item_count, digits) << "every item character became an item";
    std::set<uint8_t> kinds;
    for (int i = 1; i <= SV_MAP.item_count; ++i) kinds.insert(SV_MAP.items[i].kind);
    for (char kind = '0'; kind <= '9'; ++kind) EXPECT_TRUE(kinds.count(uint8_t(kind))) << "item kind " << kind;
    // Every spawn point and item can be walked to from the first spawn point.
    const std::set<Cell> reachable = WalkableFrom(CellOf(SV_MAP.spawns[1].x, SV_MAP.spawns[1].y));
    for (int i = 1; i <= SV_MAP.spawn_count; ++i) {
      const Cell cell = CellOf(SV_MAP.spawns[i].x, SV_MAP.spawns[i].y);
      EXPECT_TRUE(reachable.count(cell)) << "spawn point at column " << cell.first << " row " << cell.second;
    }
    for (int i = 1; i <= SV_MAP.item_count; ++i) {
      const Cell cell = CellOf(SV_MAP.items[i].x, SV_MAP.items[i].y);
      EXPECT_TRUE(reachable.count(cell)) << "item '" << SV_MAP.items[i].kind << "' at column " << cell.first << " row "
                                         << cell.second;
    }
  }
}

}  // namespace
