#pragma once
// Counts the global operator new calls of the current thread while an
// object of this class lives. The test programs replace operator new for
// this; memory still comes from malloc, so sanitizers keep watching it.

namespace cv::test {

class TAllocationCounter {
public:
  TAllocationCounter();
  ~TAllocationCounter();
  TAllocationCounter(const TAllocationCounter&) = delete;
  TAllocationCounter& operator=(const TAllocationCounter&) = delete;
  long Count() const;
};

} // namespace cv::test
