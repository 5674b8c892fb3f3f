#include "AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local bool Counting = false;
thread_local long Allocations = 0;
} // namespace

void* operator new(std::size_t size) {
  if (Counting) ++Allocations;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}

namespace cv::test {

TAllocationCounter::TAllocationCounter() {
  Allocations = 0;
  Counting = true;
}

TAllocationCounter::~TAllocationCounter() {
  Counting = false;
}

long TAllocationCounter::Count() const {
  return Allocations;
}

} // namespace cv::test
