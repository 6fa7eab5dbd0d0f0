// Cells, distances, steps and bodies against walls, and the hit test.
#include <cmath>

#include "server_test.h"

namespace {

using MovementTest = ServerTest;

TEST_F(MovementTest, CellLookupTreatsEverythingOutsideTheGridAsWall) {
  UseMap({"A e"});
  EXPECT_EQ(CGGXY(63, 100), CELL_WALL);
  EXPECT_EQ(CGGXY(4160, 100), CELL_WALL);
  EXPECT_EQ(CGGXY(100, 63), CELL_WALL);
  EXPECT_EQ(CGGXY(100, 4160), CELL_WALL);
  EXPECT_EQ(CGGXY(64, 64), CELL_WALL);         // column 1, row 1: 'A'
  EXPECT_EQ(CGGXY(128, 64), CELL_FREE);        // column 2
  EXPECT_EQ(CGGXY(4159, 4159), CELL_FREE);     // column 64, row 64
  EXPECT_EQ(CGGXY(3 * 64, 127), CELL_OBSTACLE);
  EXPECT_EQ(CGGXY(static_cast<uint16_t>(10 - 15), 100), CELL_WALL);  // a probe left of 0 wraps
}

TEST_F(MovementTest, DistancesMatchTheWorkedExamplesAndTheFastRootStaysInItsBand) {
  EXPECT_EQ(DIST2(0, 0, 3, 4), 5);
  EXPECT_EQ(DIST2(5, 5, 5, 5), 0);
  EXPECT_EQ(DIST2(3, 4, 0, 0), 5);
  EXPECT_EQ(DIST3(0, 0, 100, 0), 96);
  EXPECT_EQ(DIST3(0, 0, 0, -100), 96);
  EXPECT_EQ(DIST3(0, 0, 100, 100), 135);
  EXPECT_EQ(DIST3(100, 100, 0, 0), 135);
  for (uint32_t s = 1; s < 2000000; s += 37) {
    const double root = std::sqrt(static_cast<double>(s));
    const double got = SQRT2(static_cast<float>(s));
    ASSERT_GE(got, root * (1 - 1e-6)) << s;
    ASSERT_LE(got, root * 1.0018) << s;
  }
  EXPECT_LT(SQRT2(0.0f), 1e-6f);
  // Whole distances come out exact for small values.
  for (int d = 0; d <= 300; ++d) EXPECT_EQ(DIST2(0, 0, static_cast<int16_t>(d), 0), d);
}

// Asks to move slot 1 by (dx, dy) and returns where it ends up.
std::pair<int, int> Request(int dx, int dy) {
  ClientRecord& c = SV_CLIENTSLIST[1];
  c.want_x = static_cast<uint16_t>(c.x + dx);
  c.want_y = static_cast<uint16_t>(c.y + dy);
  PLAYER_MOVE(1);
  return {c.x, c.y};
}

TEST_F(MovementTest, EachRequestIsTakenOnlyBelowTheStepLimitFromWhereThePreviousLeftIt) {
  UseMap({});
  const uint16_t x = Centre(10), y = Centre(10);
  const struct {
    int dx, dy;
    bool taken;
  } cases[] = {{11, 0, true}, {12, 0, false}, {9, 8, false}, {8, 8, true}, {0, -11, true}, {-12, 0, false}};
  for (const auto& k : cases) {
    AddPlayer(1, x, y);
    const auto [nx, ny] = Request(k.dx, k.dy);
    // A request too long is ignored entirely, not shortened.
    EXPECT_EQ(nx, k.taken ? x + k.dx : x) << k.dx << "," << k.dy;
    EXPECT_EQ(ny, k.taken ? y + k.dy : y) << k.dx << "," << k.dy;
  }
  SV_CLIENTSLIST[1].x = x;
  SV_CLIENTSLIST[1].y = y;
  for (int dx : {10, 10, 20, 10}) Request(dx, 0);  // the 20 is too long from where the second left it
  EXPECT_EQ(SV_CLIENTSLIST[1].x, x + 30);
}

// Walks slot 1 one unit at a time along (dx, dy) until it stops; returns the
// final position.
std::pair<int, int> WalkUntilStopped(int dx, int dy) {
  for (int i = 0; i < 100; ++i) Request(dx, dy);
  return {SV_CLIENTSLIST[1].x, SV_CLIENTSLIST[1].y};
}

TEST_F(MovementTest, BodyStopsSixteenShortOfAWallAndFifteenPastOneAndSlidesAlongIt) {
  // Column 5 is walled on both sides (columns 4 and 6), rows 5 likewise.
  UseMap({"", "", "", "    A", "   A A", "    A"});
  const int c = 5;
  AddPlayer(1, Centre(c), Centre(c));
  EXPECT_EQ(WalkUntilStopped(1, 0).first, 64 * (c + 1) - 16);
  EXPECT_EQ(WalkUntilStopped(-1, 0).first, 64 * c + 15);
  EXPECT_EQ(WalkUntilStopped(0, 1).second, 64 * (c + 1) - 16);
  EXPECT_EQ(WalkUntilStopped(0, -1).second, 64 * c + 15);
  UseMap({"", "", "", "     e"});  // obstacles block bodies like walls
  AddPlayer(1, Centre(5), Centre(4));
  EXPECT_EQ(WalkUntilStopped(1, 0).first, 64 * 6 - 16);
  // A diagonal step into a wall slides along it.
  UseMap({"", "", "      A", "      A", "      A"});  // wall in column 7, rows 3..5
  AddPlayer(1, 64 * 7 - 16, Centre(4));
  EXPECT_EQ(Request(5, 5), std::make_pair(64 * 7 - 16, Centre(4) + 5));
}

TEST_F(MovementTest, HitTestIsStrictAtThirtyUnitsAndSkipsTheShooterSpectatorsTheDeadAndTeamMates) {
  UseMap({});
  AddPlayer(1, 1000, 1000);
  AddPlayer(2, 1030, 1000);
  EXPECT_EQ(PLAYERINPOINT(1000, 1000, 1), 0);
  SV_CLIENTSLIST[2].x = 1029;
  SV_CLIENTSLIST[2].y = 971;
  EXPECT_EQ(PLAYERINPOINT(1000, 1000, 1), 2);
  EXPECT_EQ(PLAYERINPOINT(1000, 1000, 2), 1);  // never the shooter itself
  ResetServer();
  AddPlayer(1, 500, 500, 0);
  AddSpectator(2);
  SV_CLIENTSLIST[2].x = SV_CLIENTSLIST[2].y = 1000;
  AddPlayer(3, 1000, 1000, 1);
  SV_CLIENTSLIST[3].health = 0;
  AddPlayer(4, 1001, 1000, 0);
  AddPlayer(5, 1002, 1000, 2);
  EXPECT_EQ(PLAYERINPOINT(1000, 1000, 1), 4);  // free-for-all: lowest living slot
  SV_TEAMPLAY = 1;
  EXPECT_EQ(PLAYERINPOINT(1000, 1000, 1), 5);  // the team mate in slot 4 is passed
  EXPECT_EQ(PLAYERINPOINT(1000, 1000, 5), 4);
}

}  // namespace
