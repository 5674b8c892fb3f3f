#include "foundation/BusyCount.h"

#include <utility>

namespace cv {

TBusyCounter BusyCount;

void TBusyCounter::Lower() {
  if (Count > 0) --Count;
  if (Count == 0 && Waiting) {
    // Taken first: the action may raise the counter or wait again.
    std::function<void()> action = std::exchange(Waiting, nullptr);
    action();
  }
}

void TBusyCounter::WhenIdle(std::function<void()> action) {
  if (Count == 0) action();
  else Waiting = std::move(action);
}

} // namespace cv
