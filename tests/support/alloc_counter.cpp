#include "support/alloc_counter.h"

#include <cstdlib>
#include <new>

namespace alloc_counter {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace alloc_counter

// The replacements pair malloc with free by design, which the compiler cannot see.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (alloc_counter::counting) ++alloc_counter::allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop
