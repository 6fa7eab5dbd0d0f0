// Ticks must not allocate: every operator new in this program is counted.
#include <atomic>
#include <cstdlib>
#include <new>

#include "game_fixture.h"
#include "game_maps.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace game_test {
namespace {

using AllocationTest = GameTest;

TEST_F(AllocationTest, FightingTicksAllocateNothing) {
  UseMap(BusyArena());
  SV_BOTCOUNT = 24;
  SV_MAXPLAYERS = 24;
  SV_SCORELIMIT = 255;
  AddPlayer(1, Centre(2), Centre(4));
  for (int t = 0; t < 100; ++t) SimTick();  // every bot created and joined
  const long before = allocations.load();
  for (int t = 0; t < 500; ++t) {
    SV_CLIENTSLIST[1].action = ACT_FIRE;
    PLAYER_ACTIONS(1);
    SimTick();
  }
  EXPECT_EQ(allocations.load() - before, 0);
  std::string probe(100, static_cast<char>(SV_CLIENTSLIST[1].x));
  EXPECT_GT(allocations.load() - before, 0);
}

}  // namespace
}  // namespace game_test
