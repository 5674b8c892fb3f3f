#pragma once
// Measures how long a thread stops serving its events: the longest gap
// between ticks of a 5 ms timer, from the meter's start (so a thread held
// right away counts too) to the last reading.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

namespace cv::test {

#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer runs the code several times slower and starts a thread
// of its own on demand: limits of time and thread counts make room for it.
constexpr int TimeScale = 4;
constexpr int SanitizerThreads = 1;
#else
constexpr int TimeScale = 1;
constexpr int SanitizerThreads = 0;
#endif

class TStallMeter {
public:
  TStallMeter() {
    QObject::connect(&Tick, &QTimer::timeout, [this] { Mark(); });
    Clock.start();
    Tick.start(5);
  }
  // The longest gap so far, the one still open included.
  qint64 Longest() const { return std::max(Gap, Clock.elapsed() - Last); }
  qint64 Elapsed() const { return Clock.elapsed(); }

private:
  void Mark() {
    Gap = std::max(Gap, Clock.elapsed() - Last);
    Last = Clock.elapsed();
  }
  QElapsedTimer Clock;
  QTimer Tick;
  qint64 Last = 0;
  qint64 Gap = 0;
};

// The longest stall of the calling thread while `body` runs.
template <class F> qint64 LongestStall(F&& body) {
  TStallMeter meter;
  body();
  return meter.Longest();
}

} // namespace cv::test
