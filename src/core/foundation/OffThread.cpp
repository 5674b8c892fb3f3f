#include "foundation/OffThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace cv {

TWaitHost* WaitHost = nullptr;

namespace detail {

// Shared by the worker and the waiter; everything but the flags is touched
// on the window's thread only.
struct TOffThreadJob {
  std::atomic<bool> CancelFlag{false};
  // Set by the worker after the work, so its writes are seen by whoever
  // reads this flag.
  std::atomic<bool> Done{false};
  std::mutex Lock;
  std::condition_variable Ended;
  std::function<void(const std::atomic<bool>&)> Work;
  QEventLoop* Loop = nullptr;
  std::function<void()> Late;
};

} // namespace detail

namespace {

// Within this the caller is blocked as if the work ran in place: short
// enough that painting never stalls for long.
constexpr std::chrono::milliseconds QuietWait{20};

TWait* Innermost = nullptr;

// Receives the workers' wake-ups on the window's thread; it lives as long as
// the process, so a worker that ends after everything else still finds it.
QObject* Waker() {
  static QObject* waker = [] {
    auto* object = new QObject;
    object->moveToThread(QCoreApplication::instance()->thread());
    return object;
  }();
  return waker;
}

// Late results of timed-out waits held while a wait was in progress: run
// inside it, they would start work (and waits) in the middle of its caller.
std::deque<std::shared_ptr<detail::TOffThreadJob>>& HeldLate() {
  static std::deque<std::shared_ptr<detail::TOffThreadJob>> held;
  return held;
}

void RunHeldLate() {
  auto& held = HeldLate();
  while (!Innermost && !held.empty()) {
    const std::shared_ptr<detail::TOffThreadJob> job = std::move(held.front());
    held.pop_front();
    if (job->Late && !job->CancelFlag.load()) std::exchange(job->Late, nullptr)();
  }
}

void WorkerEnded(const std::shared_ptr<detail::TOffThreadJob>& job) {
  if (job->Loop) {
    job->Loop->quit();
  } else if (job->Late && !job->CancelFlag.load()) {
    HeldLate().push_back(job);
    RunHeldLate();
  }
}

// Held results run from the event loop once the last wait ended, never
// from inside the caller that waited.
void ScheduleHeldLate() {
  if (Innermost || HeldLate().empty()) return;
  QMetaObject::invokeMethod(
      Waker(), [] { RunHeldLate(); }, Qt::QueuedConnection);
}

} // namespace

TWait::TWait(std::shared_ptr<detail::TOffThreadJob> job, const TWaitOptions& options)
    : Job(std::move(job)), Options(options), Outer(Innermost) {
  Innermost = this;
}

TWait::~TWait() {
  Innermost = Outer;
  ScheduleHeldLate();
}

TWait* TWait::Current() {
  return Innermost;
}

TWait* TWait::Showing() {
  for (TWait* wait = Innermost; wait; wait = wait->Outer)
    if (wait->Shown) return wait;
  return nullptr;
}

void TWait::CancelThrough(TWait& target) {
  for (TWait* wait = Innermost; wait; wait = wait->Outer) {
    wait->Cancel();
    if (wait == &target) break;
  }
}

void TWait::Cancel() {
  Finish(TWaitEnd::Cancelled);
}

void TWait::ShowNotice() {
  if (Shown || !Job->Loop) return;
  Shown = true;
  if (Options.Notice) Options.Notice(true);
}

void TWait::Finish(TWaitEnd end) {
  // A wait ends once; one still on the stack under a nested wait has ended.
  if (!Job->Loop || End != TWaitEnd::Done) return;
  End = end;
  if (end == TWaitEnd::Cancelled) Job->CancelFlag.store(true);
  Job->Loop->quit();
}

namespace {
std::atomic<int> DetachedThreads{0};
} // namespace

void StartDetached(std::function<void()> work) {
  DetachedThreads.fetch_add(1);
  std::thread([work = std::move(work)]() mutable {
    work();
    work = nullptr; // its captures go before the thread counts as ended
    DetachedThreads.fetch_sub(1);
  }).detach();
}

int LiveDetachedThreads() {
  return DetachedThreads.load();
}

int EndProcess(int exitCode) {
  if (LiveDetachedThreads() == 0) return exitCode;
  std::fflush(nullptr);
  std::_Exit(exitCode);
}

TWaitEnd WaitForWork(std::function<void(const std::atomic<bool>& cancel)> work,
                     const TWaitOptions& options, std::function<void()> late) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() != app->thread()) {
    const std::atomic<bool> never{false};
    work(never);
    return TWaitEnd::Done;
  }
  auto job = std::make_shared<detail::TOffThreadJob>();
  job->Work = std::move(work);
  QObject* waker = Waker();
  StartDetached([job, waker] {
    job->Work(job->CancelFlag);
    // The work's captures go with the worker, not with whoever wakes last.
    job->Work = nullptr;
    {
      const std::lock_guard lock(job->Lock);
      job->Done.store(true);
    }
    job->Ended.notify_all();
    QMetaObject::invokeMethod(
        waker, [job] { WorkerEnded(job); }, Qt::QueuedConnection);
  });

  // Most work ends at once: then no event runs in the middle of the caller,
  // which stays as synchronous as it looks.
  {
    std::unique_lock lock(job->Lock);
    if (job->Ended.wait_for(lock, QuietWait, [&] { return job->Done.load(); }))
      return TWaitEnd::Done;
  }

  TWait wait(job, options);
  QEventLoop loop;
  job->Loop = &loop;
  QTimer notice;
  notice.setSingleShot(true);
  QObject::connect(&notice, &QTimer::timeout, [&wait] { wait.ShowNotice(); });
  QTimer timeout;
  timeout.setSingleShot(true);
  QObject::connect(&timeout, &QTimer::timeout, [&wait] { wait.Finish(TWaitEnd::TimedOut); });
  if (options.NoticeAfterMs >= 0) notice.start(options.NoticeAfterMs);
  if (options.TimeoutMs >= 0) timeout.start(options.TimeoutMs);
  if (WaitHost) WaitHost->WaitBegins(wait);
  while (!job->Done.load() && wait.End == TWaitEnd::Done) {
    loop.exec();
    // Only the worker's end or the wait's own end quit this loop; anything
    // else is the application quitting, which ends every loop at once from
    // now on: waiting on would spin.
    if (!job->Done.load() && wait.End == TWaitEnd::Done) wait.Cancel();
  }
  job->Loop = nullptr;
  // Work that ended as the time ran out is as good as work in time.
  if (wait.End == TWaitEnd::TimedOut && job->Done.load()) wait.End = TWaitEnd::Done;
  if (WaitHost) WaitHost->WaitEnds(wait);
  if (wait.NoticeShown() && options.Notice) options.Notice(false);
  if (wait.End == TWaitEnd::TimedOut) job->Late = std::move(late);
  return wait.End;
}

} // namespace cv
