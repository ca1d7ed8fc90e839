// Replaced global allocation functions for the test executable (see
// alloc_hook.h). The countdown and the live count are per thread, so a test
// that arms a failure never disturbs another thread's allocations.
#include "tests/hardening/alloc_hook.h"

#include <cstdlib>
#include <new>

namespace {
thread_local long t_failCountdown = -1;
thread_local bool t_failFired = false;
thread_local long t_live = 0;

// The replacements pair malloc with free; the compiler cannot see that
// operator new and operator delete below are that pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* AllocateOrFail(std::size_t n) {
  if (t_failCountdown >= 0 && t_failCountdown-- == 0) {
    t_failFired = true;
    return nullptr;
  }
  void* p = std::malloc(n != 0 ? n : 1);
  if (p != nullptr) ++t_live;
  return p;
}

void Release(void* p) {
  if (p == nullptr) return;
  --t_live;
  std::free(p);
}
}  // namespace

namespace morvik {

void ArmAllocationFailure(long k) {
  t_failFired = false;
  t_failCountdown = k;
}

bool DisarmAllocationFailure() {
  t_failCountdown = -1;
  return t_failFired;
}

long LiveAllocations() { return t_live; }

}  // namespace morvik

void* operator new(std::size_t n) {
  void* p = AllocateOrFail(n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t n) {
  void* p = AllocateOrFail(n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return AllocateOrFail(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return AllocateOrFail(n); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }
