#pragma once
// The main window's busy counter: long column work raises it, and while it
// is above 0 the timers and re-focusing leave the columns alone.

#include <functional>

namespace cv {

class TBusyCounter {
public:
  int Value() const { return Count; }
  bool Busy() const { return Count > 0; }
  void Raise() { ++Count; }
  // Never below 0; reaching 0 runs what waited for it.
  void Lower();
  // Runs `action` now when idle, else once the counter returns to 0.
  void WhenIdle(std::function<void()> action);
  void Reset() {
    Count = 0;
    Waiting = nullptr;
  }

private:
  int Count = 0;
  std::function<void()> Waiting;
};

extern TBusyCounter BusyCount;

// Raises the counter for one scope; lowers it on every path out.
class TBusyScope {
public:
  explicit TBusyScope(TBusyCounter& counter = BusyCount) : Counter(counter) { Counter.Raise(); }
  ~TBusyScope() { Counter.Lower(); }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

private:
  TBusyCounter& Counter;
};

} // namespace cv
