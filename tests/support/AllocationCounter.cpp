#include "AllocationCounter.h"

#include <cstdlib>
#include <new>

// Every plain form of new and delete is replaced together: a form left to
// the runtime would pair its allocation with our free (the sanitizers
// report that as a mismatch). The aligned forms stay the runtime's, pairs
// of their own.
namespace {
thread_local bool Counting = false;
thread_local long Allocations = 0;

void* Allocate(std::size_t size) noexcept {
  if (Counting) ++Allocations;
  return std::malloc(size == 0 ? 1 : size);
}
} // namespace

void* operator new(std::size_t size) {
  if (void* memory = Allocate(size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* memory = Allocate(size)) return memory;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

namespace cv::test {

TAllocationCounter::TAllocationCounter() {
  Allocations = 0;
  Counting = true;
}

TAllocationCounter::~TAllocationCounter() { Counting = false; }

long TAllocationCounter::Count() const { return Allocations; }

} // namespace cv::test
