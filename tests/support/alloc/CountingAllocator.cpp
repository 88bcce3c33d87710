#include "CountingAllocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> g_Allocations{0};  ///< operator new calls since the start
thread_local long t_Allocations = 0;  ///< operator new calls of this thread
}  // namespace

long TestAlloc::AllocationCount() { return g_Allocations.load(); }
long TestAlloc::ThreadAllocationCount() { return t_Allocations; }

// g++ -O2 inlines malloc/free into the replaced operators and then reports them
// as mismatched; the pairing is right (new->malloc, delete->free) by construction.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  ++g_Allocations;
  ++t_Allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) {
    return p;
  }
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop
