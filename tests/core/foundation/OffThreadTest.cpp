#include "foundation/OffThread.h"
#include "foundation/Error.h"
#include "foundation/Guard.h"

#include "StallMeter.h"
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

namespace cv {
namespace {

using namespace std::chrono_literals;

using test::LongestStall;

TEST(OffThreadTest, WorkRunsOnAWorkerWhileTheCallerKeepsServingEvents) {
  int result = 0;
  std::thread::id worker;
  TWaitEnd end = TWaitEnd::Cancelled;
  const qint64 stall = LongestStall([&] {
    end = WaitOffThread<int>(
        [&worker](const std::atomic<bool>&) {
          worker = std::this_thread::get_id();
          std::this_thread::sleep_for(200ms);
          return 42;
        },
        result);
  });
  EXPECT_EQ(end, TWaitEnd::Done);
  EXPECT_EQ(result, 42);
  EXPECT_NE(worker, std::this_thread::get_id());
  EXPECT_LT(stall, 50);
}

TEST(OffThreadTest, NoticeShowsOnlyForWorkThatTakesLong) {
  for (const auto& [workMs, noticed] : {std::pair{0, false}, std::pair{150, true}}) {
    std::vector<bool> notices;
    TWaitOptions options;
    options.NoticeAfterMs = 40;
    options.Notice = [&](bool shown) { notices.push_back(shown); };
    int result = 0;
    WaitOffThread<int>(
        [workMs](const std::atomic<bool>&) {
          std::this_thread::sleep_for(std::chrono::milliseconds(workMs));
          return 1;
        },
        result, options);
    const std::vector<bool> expected =
        noticed ? std::vector<bool>{true, false} : std::vector<bool>{};
    EXPECT_EQ(notices, expected) << "work of " << workMs << " ms";
  }
}

TEST(OffThreadTest, CancelEndsTheWaitAtOnceAndDropsTheResult) {
  auto sawCancel = std::make_shared<std::atomic<bool>>(false);
  QTimer::singleShot(30, [] {
    ASSERT_NE(TWait::Current(), nullptr);
    TWait::Current()->Cancel();
  });
  int result = 7;
  bool late = false;
  QElapsedTimer clock;
  clock.start();
  // The work ignores the flag for a while, as a read stuck in the kernel would.
  const TWaitEnd end = WaitOffThread<int>(
      [sawCancel](const std::atomic<bool>& cancel) {
        std::this_thread::sleep_for(300ms);
        *sawCancel = cancel.load();
        return 99;
      },
      result, {}, [&late](int&&) { late = true; });
  EXPECT_EQ(end, TWaitEnd::Cancelled);
  EXPECT_LT(clock.elapsed(), 200);
  EXPECT_EQ(result, 7);
  EXPECT_EQ(TWait::Current(), nullptr);
  // The worker heard the cancel and its late end touches nothing: no late
  // result, nothing written, no wait woken.
  while (clock.elapsed() < 2000 && !*sawCancel)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_TRUE(*sawCancel);
  for (const qint64 ended = clock.elapsed(); clock.elapsed() < ended + 200;)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_FALSE(late);
  EXPECT_EQ(result, 7);
  EXPECT_EQ(TWait::Current(), nullptr);
}

TEST(OffThreadTest, ATimedOutResultArrivesLateOnTheCallersThread) {
  TWaitOptions options;
  options.TimeoutMs = 30;
  int result = 0;
  int late = 0;
  std::thread::id lateThread;
  const TWaitEnd end = WaitOffThread<int>(
      [](const std::atomic<bool>&) {
        std::this_thread::sleep_for(150ms);
        return 5;
      },
      result, options,
      [&](int&& value) {
        late = value;
        lateThread = std::this_thread::get_id();
      });
  EXPECT_EQ(end, TWaitEnd::TimedOut);
  EXPECT_EQ(result, 0);
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 2000 && late == 0)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(late, 5);
  EXPECT_EQ(lateThread, std::this_thread::get_id());
}

// A late result that comes while another wait runs is held until no wait
// runs: inside one it would start work in the middle of that wait's caller.
TEST(OffThreadTest, ALateResultWaitsUntilNoWaitRuns) {
  TWaitOptions options;
  options.TimeoutMs = 20;
  int result = 0;
  bool late = false;
  bool lateInsideAWait = false;
  ASSERT_EQ(WaitOffThread<int>(
                [](const std::atomic<bool>&) {
                  std::this_thread::sleep_for(100ms);
                  return 1;
                },
                result, options,
                [&](int&&) {
                  late = true;
                  lateInsideAWait = TWait::Current() != nullptr;
                }),
            TWaitEnd::TimedOut);
  // The first work ends while this one is waited for.
  EXPECT_EQ(WaitOffThread<int>(
                [](const std::atomic<bool>&) {
                  std::this_thread::sleep_for(400ms);
                  return 2;
                },
                result),
            TWaitEnd::Done);
  EXPECT_FALSE(late) << "not inside the wait, nor right after it in its caller";
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 2000 && !late)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_TRUE(late);
  EXPECT_FALSE(lateInsideAWait);
}

// The application quitting during a wait ends every event loop at once,
// over and over: the wait takes it as a cancel instead of spinning.
TEST(OffThreadTest, AQuitDuringAWaitCancelsIt) {
  QTimer::singleShot(50, [] { QCoreApplication::exit(0); });
  QElapsedTimer clock;
  clock.start();
  const TWaitEnd end = WaitForWork([](const std::atomic<bool>& cancel) {
    for (int i = 0; i < 300 && !cancel; ++i)
      std::this_thread::sleep_for(10ms);
  });
  const qint64 took = clock.elapsed();
  // The quit stays in force until an application loop ran and ended.
  QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
  QCoreApplication::exec();
  EXPECT_EQ(end, TWaitEnd::Cancelled);
  EXPECT_LT(took, 1000);
}

TEST(OffThreadTest, AWorkersFailureStaysOnItsThreadUntilHandedOver) {
  FunStatContext.Reset(fsPerfect);
  TFunStatContext seen;
  WaitOffThread<TFunStatContext>(
      [](const std::atomic<bool>&) {
        TGuard guard("Worker");
        guard.Run([&] { guard.Raise("Failed to get size.", "x"); });
        return FunStatContext;
      },
      seen);
  EXPECT_FALSE(FunStatContext.Failed());
  EXPECT_TRUE(seen.Failed());
}

TEST(OffThreadTest, OffTheApplicationsThreadTheWorkRunsInPlace) {
  std::thread::id caller, ran;
  std::thread([&] {
    caller = std::this_thread::get_id();
    int result = 0;
    WaitOffThread<int>(
        [&](const std::atomic<bool>&) {
          ran = std::this_thread::get_id();
          return 1;
        },
        result);
  }).join();
  EXPECT_EQ(ran, caller);
}

} // namespace
} // namespace cv

namespace cv {
namespace {

// A detached worker counts as live until its work returns, and a process
// that ends while one runs skips the destructors of statics it may still use.
TEST(DetachedThreads, CountUntilTheirWorkReturnsAndKeepTheStaticsAlive) {
  // Run with the other tests in one process, a worker an earlier test
  // abandoned may still be ending: start from a count that holds still.
  for (int i = 0; i < 10000 && LiveDetachedThreads() != 0; ++i)
    std::this_thread::sleep_for(1ms);
  const int before = LiveDetachedThreads();
  ASSERT_EQ(before, 0) << "a worker of an earlier test is still running";
  std::atomic<bool> release{false};
  StartDetached([&] {
    while (!release.load())
      std::this_thread::sleep_for(1ms);
  });
  EXPECT_EQ(LiveDetachedThreads(), before + 1);
  release = true;
  for (int i = 0; i < 2000 && LiveDetachedThreads() != before; ++i)
    std::this_thread::sleep_for(1ms);
  EXPECT_EQ(LiveDetachedThreads(), before);
  EXPECT_EQ(EndProcess(7), 7) << "no thread left: a normal end";

  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipeEnds[0]);
    struct TMarker {
      int Fd;
      ~TMarker() { [[maybe_unused]] const auto n = ::write(Fd, "destroyed", 9); }
    };
    static TMarker marker{pipeEnds[1]};
    StartDetached([] { std::this_thread::sleep_for(10s); });
    std::exit(EndProcess(5));
  }
  ::close(pipeEnds[1]);
  char buffer[16] = {};
  const ssize_t got = ::read(pipeEnds[0], buffer, sizeof buffer);
  ::close(pipeEnds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 5);
  EXPECT_EQ(got, 0) << "a static was destroyed under a live worker";
}

} // namespace
} // namespace cv
