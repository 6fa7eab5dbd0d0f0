// A hostile or broken server: random, truncated and mutated datagrams from
// the server's address must never take the client outside its tables (run
// under the sanitizer build too) and must leave every index usable.
#include <random>

#include "client/core/scoreboard.h"
#include "client_test.h"

namespace {

using RandomDatagramTest = ClientTest;

// Well-formed messages of every kind, the material for mutations.
std::vector<std::string> Templates() {
  std::string map = MapText({"AAAA1AAAA", "A @  e  A", "A 2 b 3 A", "AAAAAAAAA"}, "123456");
  return {
      Snapshot(9, {{.slot = 1, .state = 4, .x = 200, .y = 200, .dir = 10, .gun = 4},
                   {.slot = 2, .state = 3, .x = 230, .y = 200, .dir = 190},
                   {.slot = 3, .state = 2, .frags = 4},
                   {.slot = 4, .state = 1}},
               {1, 2, 3}, OwnBlock{.slot = 1}),
      Datagram().byte('l').word(3).raw(map).byte(0).str("m").str("s").byte(10).byte(1).byte(8).byte(2)
          .byte(1).byte(1).str("Ann").byte(2).byte(3).str("Bob"),
      Datagram().byte('m').word(4).byte(5).str(Line({1, 2, 1}, "Cy")).str(Line({5, 4, 1, 2}))
          .str(Line({4, 2}, "hey")).str(Line({9, 1})).str(Line({8, 1})),
      "o", "q", Datagram().byte('p').byte(27),
  };
}

std::string Mutate(std::string d, std::mt19937& rng) {
  std::uniform_int_distribution<int> byte(0, 255);
  switch (rng() % 5) {
    case 0:  // truncated
      d.resize(rng() % (d.size() + 1));
      break;
    case 1:  // a few bytes changed
      for (int i = 0, n = 1 + static_cast<int>(rng() % 6); i < n && !d.empty(); ++i)
        d[rng() % d.size()] = static_cast<char>(byte(rng));
      break;
    case 2:  // pure noise with a real message code
      d.assign(rng() % 300, 0);
      for (char& c : d) c = static_cast<char>(byte(rng));
      if (!d.empty()) d[0] = static_cast<char>("lmnopq"[rng() % 6]);
      break;
    case 3:  // a full buffer of noise
      d.assign(5000, 0);
      for (char& c : d) c = static_cast<char>(byte(rng));
      d[0] = static_cast<char>("lmn"[rng() % 3]);
      break;
    default:  // as it was
      break;
  }
  return d;
}

void ExpectIndexesUsable() {
  ASSERT_GE(my_slot, 1);
  ASSERT_LE(my_slot, MAX_SLOTS);
  ASSERT_LE(view_slot, MAX_SLOTS);
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    ASSERT_LE(players[s].team, 3) << s;
    ASSERT_LE(players[s].state, PS_FIRING) << s;
    if (players[s].state == PS_FIRING) {
      ASSERT_GE(players[s].gun, 1);
      ASSERT_LE(players[s].gun, 5);
    }
    if (players[s].state >= PS_DEAD) {
      ASSERT_GE(players[s].x, 65);
      ASSERT_LE(players[s].x, 4159);
    }
  }
  ASSERT_EQ(map_text[MAP_TEXT_SIZE], 0);
}

TEST_F(RandomDatagramTest, NothingFromTheServerLeavesTheTables) {
  std::mt19937 rng(20240607);
  const std::vector<std::string> templates = Templates();
  menu_open = false;
  for (int i = 0; i < 30000; ++i) {
    conn_state = static_cast<uint8_t>(rng() % 3);
    if (rng() % 4 == 0) awaiting_info = !awaiting_info;
    Deliver(Mutate(templates[rng() % templates.size()], rng));
    if (i % 50 == 0) {
      key_state[uint8_t{'W'}] = key_state[1] = static_cast<uint8_t>(rng() % 3);
      ProcessInput();
      NextViewPlayer();
      UpdateScoreboard();
      ASSERT_NO_FATAL_FAILURE(ExpectIndexesUsable()) << "after datagram " << i;
    }
  }
  ExpectIndexesUsable();
}

}  // namespace
