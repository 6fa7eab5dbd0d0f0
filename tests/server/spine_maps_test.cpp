// Map files, the built-in map, the current map's grid and the rotation; every
// map we ship, loaded through the server's own loader: enough spawn points,
// every item kind, within the format's limits, closed by walls, and every
// spawn point and item reachable on foot from the first spawn point.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "game_maps.h"
#include "server/sim/maps.h"
#include "server/sim/world.h"
#include "server_test.h"

namespace {

std::string StoredText(int entry) {
  const uint8_t* t = SV_MAPL[entry].text;
  std::string out;
  for (int p = 1; p <= MAP_TEXT_SIZE && t[p] != 0; ++p) out.push_back(static_cast<char>(t[p]));
  return out;
}

class Maps : public ServerTest {
 protected:
  TempDir dir_{true};
  // The built-in map, then these files.
  void load(std::initializer_list<std::string> names) {
    DEFAULTMAPS();
    for (const std::string& n : names) MAPFROMFILE(ShortStr(n));
  }
};

TEST_F(Maps, BuiltInMapTextAndGrid) {
  load({});
  EXPECT_EQ(SV_MAPL[1].name, "DefMap");
  EXPECT_EQ(StoredText(1), "000000\r ArA \rB@ aA\ry 0 o\rAh19A\r ApA ");
  EXPECT_EQ(SV_MAPL[1].text[37], 0);
  for (int m = 2; m <= MAP_LIST_SIZE; ++m) EXPECT_EQ(SV_MAPL[m].name, "-");
  SV_LOADCURMAP(1);
  EXPECT_EQ(SV_MAP.map_index, 1);
  // Row 1 is empty; the five rows lie in rows 2..6; the ring round the grid is wall.
  for (int c = 1; c <= 64; ++c) EXPECT_EQ(SV_MAP.cells[c][1], CELL_FREE);
  const int cells[][3] = {{1, 2, CELL_FREE},     {2, 2, CELL_WALL} /* 'A' */, {3, 2, CELL_OBSTACLE} /* 'r' */,
                          {4, 3, CELL_FREE} /* 'a' */, {1, 4, CELL_OBSTACLE} /* 'y' */, {2, 5, CELL_OBSTACLE} /* 'h' */,
                          {6, 2, CELL_FREE},     {0, 10, CELL_WALL},  {65, 10, CELL_WALL}, {10, 65, CELL_WALL}};
  for (const auto& [c, r, cell] : cells) EXPECT_EQ(SV_MAP.cells[c][r], cell) << c << "," << r;
  ASSERT_EQ(SV_MAP.spawn_count, 1);
  EXPECT_EQ(SV_MAP.spawns[1].x, Centre(2));
  EXPECT_EQ(SV_MAP.spawns[1].y, Centre(3));
  ASSERT_EQ(SV_MAP.item_count, 3);
  EXPECT_EQ(SV_MAP.items[1].kind, '0');
  EXPECT_EQ(SV_MAP.items[1].x, Centre(3));
  EXPECT_EQ(SV_MAP.items[1].y, Centre(4));
  EXPECT_EQ(SV_MAP.items[2].kind, '1');
  EXPECT_EQ(SV_MAP.items[3].kind, '9');
  EXPECT_EQ(SV_MAP.items[3].x, Centre(4));
  EXPECT_EQ(SV_MAP.items[4].kind, 0);
}

TEST_F(Maps, FilesWithLfOrCrLfShortHeadersOrNoRowsAndNotMoreThan24OfThem) {
  WriteMap("lf", "900000 ignored\nAAAA\n");
  WriteMap("crlf", "900000 ignored\r\nAAAA\r\n");
  WriteMap("short", "12\n");
  WriteMap("empty", "");
  load({"nothere", "lf", "crlf", "short", "empty"});  // a missing file is passed over
  EXPECT_EQ(SV_MAPL[1].name, "lf");  // in place of the built-in map
  EXPECT_EQ(SV_MAPL[2].name, "crlf");
  EXPECT_EQ(StoredText(1), "900000AAAA");
  EXPECT_EQ(StoredText(2), "900000AAAA");
  // Missing header characters read as colour 0; no row is stored.
  EXPECT_EQ(StoredText(3), "120000");
  EXPECT_EQ(StoredText(4), "000000");
  SV_LOADCURMAP(1);
  for (int c = 1; c <= 4; ++c) EXPECT_EQ(SV_MAP.cells[c][1], CELL_WALL);
  EXPECT_EQ(SV_MAP.cells[5][1], CELL_FREE);
  EXPECT_EQ(SV_MAP.cells[1][2], CELL_FREE);
  EXPECT_EQ(SV_MAP.cells[64][64], CELL_FREE);
  EXPECT_EQ(SV_MAP.cells[65][1], CELL_WALL);
  SV_LOADCURMAP(3);
  EXPECT_EQ(SV_MAP.item_count, 0);
  EXPECT_EQ(SV_MAP.cells[1][1], CELL_FREE);
  // A 25th map is passed over.
  std::vector<std::string> names;
  for (int i = 1; i <= 25; ++i) {
    names.push_back("m" + std::to_string(i));
    WriteMap(names.back(), "000000\nA\n");
  }
  DEFAULTMAPS();
  for (const std::string& n : names) MAPFROMFILE(ShortStr(n));
  EXPECT_EQ(SV_MAPL[1].name, "m1");
  EXPECT_EQ(SV_MAPL[24].name, "m24");
}

TEST_F(Maps, FifosDevicesAndEndlessLinesCannotHoldUpTheStart) {
  // A sparse file of 4 GB, one endless line after the header: the
  // header is kept and the rest is never read.
  WriteMap("huge", "000000\n");
  ASSERT_EQ(truncate("maps/huge.vnxm", 1LL << 32), 0);
  ASSERT_EQ(mkfifo("maps/pipe.vnxm", 0644), 0);
  ASSERT_EQ(symlink("/dev/zero", "maps/zero.vnxm"), 0);
  const long long started = NowMs();
  load({"pipe", "zero", "huge"});
  EXPECT_LT(NowMs() - started, 2000);
  EXPECT_EQ(SV_MAPL[1].name, "huge");
  EXPECT_EQ(StoredText(1), "000000");
  EXPECT_EQ(SV_MAPL[2].name, "-");
  EXPECT_EQ(consoleText(), "maps/pipe.vnxm is not a regular file: map not loaded\n"
                           "maps/zero.vnxm is not a regular file: map not loaded\n");
}

TEST_F(Maps, WhatPassesTheLimitsHasNoEffect) {
  std::vector<std::string> big(80, "A@1");  // 80 rows, the first 70 characters wide
  big[0] = std::string(64, '.') + "AAAAA@";
  std::fill(big.begin() + 1, big.begin() + 64, "");
  WriteMap("big", game_test::MapFile(big));
  std::string many = "000000\n";
  for (int r = 0; r < 3; ++r) many += std::string(50, '5') + "\n";  // 150 items
  WriteMap("many", many + std::string(64, '@') + "\n" + std::string(10, '@') + "\n");
  WriteMap("longline", "000000" + std::string(400, 'h') + "\n" + std::string(300, 'A') + "\nB\n");
  WriteMap("huge", game_test::MapFile(std::vector<std::string>(200, std::string(250, 'A')), "123456"));
  WriteMap("tall", "000000\n" + std::string(5000, '\n'));
  load({"big", "many", "longline", "huge", "tall"});
  // Characters beyond column and row 64 are stored and sent, but not placed.
  const std::string text = StoredText(1);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 79);
  SV_LOADCURMAP(1);
  for (int c = 1; c <= 64; ++c)
    for (int r = 1; r <= 64; ++r) EXPECT_EQ(SV_MAP.cells[c][r], CELL_FREE) << c << "," << r;
  EXPECT_EQ(SV_MAP.spawn_count, 0);
  EXPECT_EQ(SV_MAP.item_count, 0);
  // Only the first 128 items and 64 spawn points are placed.
  SV_LOADCURMAP(2);
  EXPECT_EQ(SV_MAP.item_count, 128);
  EXPECT_EQ(SV_MAP.items[128].kind, '5');
  EXPECT_EQ(SV_MAP.items[128].x, Centre(28));
  EXPECT_EQ(SV_MAP.items[128].y, Centre(3));
  EXPECT_EQ(SV_MAP.cells[29][3], CELL_FREE);
  EXPECT_EQ(SV_MAP.spawn_count, 64);
  EXPECT_EQ(SV_MAP.spawns[64].x, Centre(64));
  EXPECT_EQ(SV_MAP.spawns[64].y, Centre(4));
  // Long lines are cut to 255 and the text never passes 4222 bytes.
  EXPECT_EQ(StoredText(3), "000000" + std::string(255, 'A') + "\rB");
  const std::string huge = StoredText(4);
  EXPECT_LE(huge.size(), static_cast<size_t>(MAP_TEXT_SIZE - 1));
  EXPECT_EQ(SV_MAPL[4].text[MAP_TEXT_SIZE], 0);
  EXPECT_EQ(huge.substr(0, 6), "123456");
  SV_LOADCURMAP(4);
  EXPECT_EQ(SV_MAP.cells[64][16], CELL_WALL);
  EXPECT_EQ(SV_MAP.cells[1][17], CELL_WALL);  // part of the row that crossed the limit
  EXPECT_EQ(SV_MAP.cells[1][18], CELL_FREE);
  SV_LOADCURMAP(5);  // a full text of line ends stops at row 64
  EXPECT_EQ(SV_MAP.item_count, 0);
}

TEST_F(Maps, TwoMapsTakeTurnsAndEveryoneIsRemovedAtTheChange) {
  WriteMap("a", "000000\n1\n");
  WriteMap("b", "000000\n22\n");
  startServer({"-map", "a", "-map", "b"});
  EXPECT_EQ(SV_MAP.map_index, 1);
  Peer peer;
  // Keeps the peer connected through a countdown: one input per tick.
  auto play_out = [&] {
    while (SV_SCOREBOARD > 0) {
      peer.send(InputMessage(Echo(slotOf(peer), SV_PINGVAR), 0, 0, 0, 0, SV_LOGI));
      GAMECYCLE();
    }
  };
  ASSERT_EQ(connect(peer, "Ann"), 1);
  SV_SCORELIMITHIT();
  EXPECT_EQ(SV_SCOREBOARD, 495);
  play_out();
  EXPECT_EQ(SV_MAP.map_index, 2);
  EXPECT_EQ(SV_MAP.item_count, 2);
  EXPECT_EQ(SV_CURCLIENTS, 0);
  EXPECT_EQ(LogLine(), Line({EV_DISCONNECT, 1}));
  // The client connects again, and the next match goes back to a.
  ASSERT_EQ(connect(peer, "Ann"), 1);
  SV_SCORELIMITHIT();
  play_out();
  EXPECT_EQ(SV_MAP.map_index, 1);
  EXPECT_EQ(SV_MAP.item_count, 1);
}

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
