// Maps drawn for the game tests, the long run and the benchmark.
#pragma once

#include <string>
#include <vector>

namespace game_test {

// A walled square arena of size x size cells: pillars of wall, obstacles,
// every item kind and spawn points, spread on an 8-cell pattern.
inline std::vector<std::string> BusyArena(int size = 32) {
  std::vector<std::string> rows(static_cast<size_t>(size), std::string(static_cast<size_t>(size), ' '));
  auto at = [&](int col, int row) -> char& { return rows[static_cast<size_t>(row - 1)][static_cast<size_t>(col - 1)]; };
  for (int i = 1; i <= size; ++i) at(i, 1) = at(i, size) = at(1, i) = at(size, i) = 'A';
  int kind = 0;
  for (int bx = 0; bx + 8 <= size; bx += 8) {
    for (int by = 0; by + 8 <= size; by += 8) {
      at(bx + 4, by + 4) = at(bx + 5, by + 4) = at(bx + 4, by + 5) = 'B';  // an L-shaped pillar
      at(bx + 7, by + 3) = 'f';
      at(bx + 2, by + 7) = 'c';  // decoration only
      at(bx + 3, by + 2) = static_cast<char>('0' + kind++ % 10);
      at(bx + 7, by + 7) = static_cast<char>('0' + kind++ % 10);
      at(bx + 2, by + 4) = '@';
    }
  }
  return rows;
}

// A map file's text: a colour header, then the rows.
inline std::string MapFile(const std::vector<std::string>& rows, const std::string& colours = "333777") {
  std::string text = colours + "\n";
  for (const std::string& row : rows) text += row + "\n";
  return text;
}

}  // namespace game_test
