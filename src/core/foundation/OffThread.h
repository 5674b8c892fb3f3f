#pragma once
// Blocking file-system work away from the window's thread. The caller keeps
// its synchronous shape: it hands the work to a worker thread and waits in a
// local event loop that keeps painting, until the work is done, the user
// cancels or the wait times out. A worker computes plain data only; what a
// cancelled wait leaves behind is dropped when the worker ends, and what a
// timed-out one leaves can be handed over later on the window's thread.

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace cv {

enum class TWaitEnd { Done, Cancelled, TimedOut };

struct TWaitOptions {
  // After this long `Notice(true)` shows that something is loading; it is
  // taken back with `Notice(false)` when the wait ends.
  int NoticeAfterMs = 300;
  std::function<void(bool shown)> Notice;
  // Give up after this long; below 0 waits until done or cancelled.
  int TimeoutMs = -1;
};

class TWait;

// What a wait means to the user; the window implements it: while a wait
// lasts, input other than cancelling it is refused.
class TWaitHost {
public:
  virtual ~TWaitHost() = default;
  virtual void WaitBegins(TWait& wait) = 0;
  virtual void WaitEnds(TWait& wait) = 0;
};
// Null: waits hold off nothing and end only by themselves.
extern TWaitHost* WaitHost;

namespace detail {
struct TOffThreadJob;
}

// One caller waiting in its local event loop.
class TWait {
public:
  // Ends the wait at once with Cancelled; the worker is asked to stop.
  void Cancel();
  bool Cancelled() const { return End == TWaitEnd::Cancelled; }
  bool NoticeShown() const { return Shown; }
  // The wait this one runs inside of, or null.
  TWait* OuterWait() const { return Outer; }
  // The innermost wait in progress (window thread), or null.
  static TWait* Current();
  // The innermost wait in progress whose loading notice shows, or null: the
  // one the user means when cancelling from the notice.
  static TWait* Showing();
  // Cancels `wait` and every wait nested inside it (they run on its behalf).
  static void CancelThrough(TWait& wait);

private:
  friend TWaitEnd WaitForWork(std::function<void(const std::atomic<bool>&)>, const TWaitOptions&,
                              std::function<void()>);
  TWait(std::shared_ptr<detail::TOffThreadJob> job, const TWaitOptions& options);
  ~TWait();
  void ShowNotice();
  void Finish(TWaitEnd end);
  std::shared_ptr<detail::TOffThreadJob> Job;
  const TWaitOptions& Options;
  TWait* Outer = nullptr;
  TWaitEnd End = TWaitEnd::Done;
  bool Shown = false;
};

// Runs `work` on a thread nobody joins: work that may stay stuck in a file
// system that stopped answering. It counts as live until `work` returns.
void StartDetached(std::function<void()> work);
// Detached threads whose work has not returned yet.
int LiveDetachedThreads();
// Ends the process with `exitCode` when detached threads still run: the
// statics they may still use are not destroyed under them (output is
// flushed first). Otherwise returns `exitCode` for a normal end.
int EndProcess(int exitCode);

// Runs `work` on a worker thread and waits for it. `work` is given a flag
// that turns true when the wait was cancelled; it should stop soon after.
// `late`, when given, runs on the window's thread once the work of a
// timed-out wait has ended after all and no wait is in progress (one that
// ends during another wait is held until the last wait ended). Without an
// application, or when not called on its thread, the work runs right here
// (there is no event loop to keep going).
TWaitEnd WaitForWork(std::function<void(const std::atomic<bool>& cancel)> work,
                     const TWaitOptions& options = {}, std::function<void()> late = {});

// The same for work with a result: `result` is set when Done; `late` gets
// the result of a timed-out wait when it comes.
template <class T>
TWaitEnd WaitOffThread(std::function<T(const std::atomic<bool>& cancel)> work, T& result,
                       const TWaitOptions& options = {},
                       std::function<void(T&& result)> late = {}) {
  auto slot = std::make_shared<std::optional<T>>();
  std::function<void()> lateSlot;
  if (late) lateSlot = [slot, late = std::move(late)] { late(std::move(**slot)); };
  const TWaitEnd end = WaitForWork(
      [slot, work = std::move(work)](const std::atomic<bool>& cancel) { *slot = work(cancel); },
      options, std::move(lateSlot));
  if (end == TWaitEnd::Done) result = std::move(**slot);
  return end;
}

} // namespace cv
