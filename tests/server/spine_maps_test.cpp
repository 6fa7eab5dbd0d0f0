// Map files, the built-in map, the current map's grid and the rotation.
#include "spine_helpers.h"

#include "server/core/maps.h"

namespace spine {
namespace {

constexpr char DEFMAP_TEXT[] = "000000\r ArA \rB@ aA\ry 0 o\rAh19A\r ApA ";

std::string storedText(int entry) {
  const uint8_t* t = SV_MAPL[entry].text;
  std::string out;
  for (int p = 1; p <= MAP_TEXT_SIZE && t[p] != 0; ++p) out.push_back(static_cast<char>(t[p]));
  return out;
}

uint16_t centre(int cell) { return static_cast<uint16_t>(64 * cell + 32); }

class Maps : public ServerTest {
 protected:
  TempDir dir_;
  void load(std::initializer_list<const char*> names) {
    DEFAULTMAPS();
    for (const char* n : names) MAPFROMFILE(ShortStr(n));
  }
  std::string rows(int count, const std::string& row) {
    std::string s = "123456\n";
    for (int i = 0; i < count; ++i) s += row + "\n";
    return s;
  }
};

TEST_F(Maps, BuiltInMapTextAndGrid) {
  DEFAULTMAPS();
  EXPECT_EQ(SV_MAPL[1].name, "DefMap");
  EXPECT_EQ(storedText(1), DEFMAP_TEXT);
  EXPECT_EQ(SV_MAPL[1].text[37], 0);
  for (int m = 2; m <= MAP_LIST_SIZE; ++m) EXPECT_EQ(SV_MAPL[m].name, "-");
  SV_LOADCURMAP(1);
  EXPECT_EQ(SV_MAP.map_index, 1);
  // Row 1 is empty; the five rows lie in rows 2..6.
  for (int c = 1; c <= 64; ++c) EXPECT_EQ(SV_MAP.cells[c][1], CELL_FREE);
  EXPECT_EQ(SV_MAP.cells[1][2], CELL_FREE);
  EXPECT_EQ(SV_MAP.cells[2][2], CELL_WALL);      // 'A'
  EXPECT_EQ(SV_MAP.cells[3][2], CELL_OBSTACLE);  // 'r'
  EXPECT_EQ(SV_MAP.cells[4][3], CELL_FREE);      // 'a'
  EXPECT_EQ(SV_MAP.cells[1][4], CELL_OBSTACLE);  // 'y'
  EXPECT_EQ(SV_MAP.cells[2][5], CELL_OBSTACLE);  // 'h'
  EXPECT_EQ(SV_MAP.cells[6][2], CELL_FREE);
  EXPECT_EQ(SV_MAP.cells[0][10], CELL_WALL);
  EXPECT_EQ(SV_MAP.cells[65][10], CELL_WALL);
  EXPECT_EQ(SV_MAP.cells[10][65], CELL_WALL);
  ASSERT_EQ(SV_MAP.spawn_count, 1);
  EXPECT_EQ(SV_MAP.spawns[1].x, centre(2));
  EXPECT_EQ(SV_MAP.spawns[1].y, centre(3));
  ASSERT_EQ(SV_MAP.item_count, 3);
  EXPECT_EQ(SV_MAP.items[1].kind, '0');
  EXPECT_EQ(SV_MAP.items[1].x, centre(3));
  EXPECT_EQ(SV_MAP.items[1].y, centre(4));
  EXPECT_EQ(SV_MAP.items[2].kind, '1');
  EXPECT_EQ(SV_MAP.items[3].kind, '9');
  EXPECT_EQ(SV_MAP.items[3].x, centre(4));
  EXPECT_EQ(SV_MAP.items[4].kind, 0);
}

TEST_F(Maps, FileReplacesTheBuiltInMapWithLfOrCrLf) {
  dir_.writeMap("lf", "900000 ignored\nAAAA\n");
  dir_.writeMap("crlf", "900000 ignored\r\nAAAA\r\n");
  load({"lf", "crlf"});
  EXPECT_EQ(SV_MAPL[1].name, "lf");
  EXPECT_EQ(SV_MAPL[2].name, "crlf");
  EXPECT_EQ(storedText(1), "900000AAAA");
  EXPECT_EQ(storedText(2), "900000AAAA");
  SV_LOADCURMAP(1);
  for (int c = 1; c <= 4; ++c) EXPECT_EQ(SV_MAP.cells[c][1], CELL_WALL);
  EXPECT_EQ(SV_MAP.cells[5][1], CELL_FREE);
  EXPECT_EQ(SV_MAP.cells[1][2], CELL_FREE);
  EXPECT_EQ(SV_MAP.cells[64][64], CELL_FREE);
  EXPECT_EQ(SV_MAP.cells[65][1], CELL_WALL);
}

TEST_F(Maps, MissingFilesAndA25thMapAreIgnored) {
  load({"nothere"});
  EXPECT_EQ(SV_MAPL[1].name, "DefMap");
  for (int i = 1; i <= 25; ++i) dir_.writeMap("m" + std::to_string(i), "000000\nA\n");
  DEFAULTMAPS();
  for (int i = 1; i <= 25; ++i) MAPFROMFILE(ShortStr("m" + std::to_string(i)));
  EXPECT_EQ(SV_MAPL[1].name, "m1");
  EXPECT_EQ(SV_MAPL[24].name, "m24");
}

TEST_F(Maps, ShortHeaderAndFileWithoutRows) {
  dir_.writeMap("short", "12\n");
  dir_.writeMap("empty", "");
  load({"short", "empty"});
  // Missing header characters read as colour 0; no row is stored.
  EXPECT_EQ(storedText(1), "120000");
  EXPECT_EQ(storedText(2), "000000");
  SV_LOADCURMAP(1);
  EXPECT_EQ(SV_MAP.item_count, 0);
  EXPECT_EQ(SV_MAP.cells[1][1], CELL_FREE);
}

TEST_F(Maps, CharactersBeyondColumnAndRow64HaveNoEffect) {
  std::string wide = std::string(64, '.') + "AAAAA@";  // 70 characters
  std::string file = rows(1, wide) + rows(63, "").substr(7) + rows(16, "A@1").substr(7);  // 80 rows
  dir_.writeMap("big", file);
  load({"big"});
  std::string text = storedText(1);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 79);  // rows 65..80 are stored and sent
  SV_LOADCURMAP(1);
  for (int c = 1; c <= 64; ++c)
    for (int r = 1; r <= 64; ++r) EXPECT_EQ(SV_MAP.cells[c][r], CELL_FREE) << c << "," << r;
  EXPECT_EQ(SV_MAP.spawn_count, 0);
  EXPECT_EQ(SV_MAP.item_count, 0);
}

TEST_F(Maps, OnlyThe128FirstItemsAnd64FirstSpawnPointsArePlaced) {
  std::string file = "000000\n";
  for (int r = 0; r < 3; ++r) file += std::string(50, '5') + "\n";  // 150 items
  file += std::string(64, '@') + "\n" + std::string(10, '@') + "\n";
  dir_.writeMap("many", file);
  load({"many"});
  SV_LOADCURMAP(1);
  EXPECT_EQ(SV_MAP.item_count, 128);
  EXPECT_EQ(SV_MAP.items[128].kind, '5');
  EXPECT_EQ(SV_MAP.items[128].x, centre(28));
  EXPECT_EQ(SV_MAP.items[128].y, centre(3));
  EXPECT_EQ(SV_MAP.cells[29][3], CELL_FREE);
  EXPECT_EQ(SV_MAP.spawn_count, 64);
  EXPECT_EQ(SV_MAP.spawns[64].x, centre(64));
  EXPECT_EQ(SV_MAP.spawns[64].y, centre(4));
}

TEST_F(Maps, LongLinesAreCutTo255AndTheTextNeverPasses4222Bytes) {
  dir_.writeMap("longline", "000000" + std::string(400, 'h') + "\n" + std::string(300, 'A') + "\nB\n");
  dir_.writeMap("huge", rows(200, std::string(250, 'A')));
  load({"longline", "huge"});
  EXPECT_EQ(storedText(1), "000000" + std::string(255, 'A') + "\rB");
  std::string huge = storedText(2);
  EXPECT_LE(huge.size(), static_cast<size_t>(MAP_TEXT_SIZE - 1));
  EXPECT_EQ(SV_MAPL[2].text[MAP_TEXT_SIZE], 0);
  EXPECT_EQ(huge.substr(0, 6), "123456");
  SV_LOADCURMAP(2);
  EXPECT_EQ(SV_MAP.cells[64][16], CELL_WALL);
  EXPECT_EQ(SV_MAP.cells[1][17], CELL_WALL);  // part of the row that crossed the limit
  EXPECT_EQ(SV_MAP.cells[1][18], CELL_FREE);
}

TEST_F(Maps, AFullTextOfCarriageReturnsStopsAtRow64) {
  dir_.writeMap("tall", "000000\n" + std::string(5000, '\n'));
  load({"tall"});
  SV_LOADCURMAP(1);
  EXPECT_EQ(SV_MAP.item_count, 0);
}

class Rotation : public ServerTest {
 protected:
  TempDir dir_;
  // Keeps the peer connected through a countdown: one input per tick.
  void playOut(const UdpPeer& peer) {
    while (SV_SCOREBOARD > 0) {
      peer.send(inputMessage(SV_PINGVAR, 0, 0, 0, 0, SV_LOGI));
      GAMECYCLE();
    }
  }
};

TEST_F(Rotation, TwoMapsTakeTurnsAndEveryoneIsRemovedAtTheChange) {
  dir_.writeMap("a", "000000\n1\n");
  dir_.writeMap("b", "000000\n22\n");
  startServer({"-map", "a", "-map", "b"});
  EXPECT_EQ(SV_MAP.map_index, 1);
  UdpPeer peer;
  uint8_t slot = connect(peer, "Ann");
  ASSERT_EQ(slot, 1);
  SV_SCORELIMITHIT();
  EXPECT_EQ(SV_SCOREBOARD, 495);
  playOut(peer);
  EXPECT_EQ(SV_MAP.map_index, 2);
  EXPECT_EQ(SV_MAP.item_count, 2);
  EXPECT_EQ(SV_CURCLIENTS, 0);
  EXPECT_EQ(SV_LOG[0], line({EV_DISCONNECT, 1}));
  EXPECT_NE(consoleText().find("Ann disconnected!\n"), std::string::npos);
  // The client finds itself unknown, connects again, and the next match goes back to a.
  peer.send(inputMessage(0, 0, 0, 0, 0, 0));
  GAMECYCLE();
  EXPECT_EQ(peer.drainCode(MSG_NOTCONNECTED).size(), 1u);
  ASSERT_EQ(connect(peer, "Ann"), 1);
  SV_SCORELIMITHIT();
  playOut(peer);
  EXPECT_EQ(SV_MAP.map_index, 1);
  EXPECT_EQ(SV_MAP.item_count, 1);
}

TEST_F(Rotation, OneMapStartsAgain) {
  startServer();
  UdpPeer peer;
  connect(peer, "Solo");
  SV_SCORELIMITHIT();
  playOut(peer);
  EXPECT_EQ(SV_MAP.map_index, 1);
  EXPECT_EQ(SV_CURCLIENTS, 0);
  EXPECT_EQ(SV_MAP.item_count, 3);
}

}  // namespace
}  // namespace spine
