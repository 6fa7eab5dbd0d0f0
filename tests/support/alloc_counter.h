// One replacement of operator new for the whole test program: it counts every
// allocation made while `counting` is set, so tests can show that ticks
// allocate nothing.
#pragma once

#include <atomic>

namespace alloc_counter {
extern std::atomic<bool> counting;
extern std::atomic<long> allocations;
}  // namespace alloc_counter
