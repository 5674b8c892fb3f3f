#pragma once

// An engine that runs on a thread of its own reaches its dialog through
// this: calls are posted to the window's thread, a question waits there
// for its answer, and once the window abandons the run (the dialog ended,
// the engine stuck in a file system) questions get no answer instead of
// waiting for good. The engine's error dialogs and message boxes take the
// same way, since only the window's thread may show a window.

#include "foundation/UserInterface.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace cv {

inline bool OnWindowThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

template <class TForm, class TDerived>
class TWindowThreadRun : public TUserInterface, public std::enable_shared_from_this<TDerived> {
public:
  explicit TWindowThreadRun(TForm& form) : Form(&form) {}

  // Window's thread only.
  TForm* Form;
  QEventLoop* Loop = nullptr;
  bool Ended = false;

  // The window's thread lets the run go: the dialog ends, the thread's
  // questions get no answer from it.
  void Abandon() {
    {
      const std::lock_guard lock(Lock);
      Abandoned = true;
    }
    Answered.notify_all();
    Form = nullptr;
    if (Loop) Loop->quit();
  }
  // Queues `call` on the window's thread, without waiting.
  static void Post(std::function<void()> call) {
    if (QCoreApplication* app = QCoreApplication::instance())
      QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
  }

  // The engine returned (window's thread).
  void End() {
    Ended = true;
    if (Loop) Loop->quit();
  }
  bool WasAbandoned() {
    const std::lock_guard lock(Lock);
    return Abandoned;
  }

  // ---- The engine thread's windows: the window's thread shows them ----
  bool ExecuteErrorDialog(const std::string& caption, const std::string& description,
                          bool* noMoreErrors, const std::string& report) override {
    const bool given = noMoreErrors != nullptr;
    const bool before = given && *noMoreErrors;
    const auto answer = Call<std::pair<bool, bool>>([=](TForm&) {
      bool noMore = before;
      TUserInterface* ui = UserInterface();
      if (!ui) {
        ReportWithoutWindow(description, report);
        return std::pair(false, false);
      }
      const bool goOn =
          ui->ExecuteErrorDialog(caption, description, given ? &noMore : nullptr, report);
      return std::pair(goOn, noMore);
    });
    if (!answer) {
      if (given) *noMoreErrors = false;
      ReportWithoutWindow(description, report);
      return false;
    }
    if (given) *noMoreErrors = answer->second;
    return answer->first;
  }
  int ErrorDialogRecursionCount() const override {
    return Mutable()
        .template Call<int>([](TForm&) {
          const TUserInterface* ui = UserInterface();
          return ui ? ui->ErrorDialogRecursionCount() : 0;
        })
        .value_or(0);
  }
  bool CanShowErrorDialogNow() const override {
    return Mutable()
        .template Call<bool>([](TForm&) {
          const TUserInterface* ui = UserInterface();
          return !ui || ui->CanShowErrorDialogNow();
        })
        .value_or(false);
  }
  int ShowMessageBox(const std::string& caption, const std::string& text, unsigned flags) override {
    const auto answer =
        Call<int>([=](TForm&) { return cv::ShowMessageBox(caption, text, flags); });
    if (!answer) std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return answer.value_or(mrBoxCancel);
  }
  void Beep() override {
    Call<bool>([](TForm&) {
      if (TUserInterface* ui = UserInterface()) ui->Beep();
      return true;
    });
  }

protected:
  // Runs `body` on the window's thread with the dialog and waits for its
  // answer; none once the run was abandoned.
  template <class T> std::optional<T> Call(std::function<T(TForm&)> body) {
    if (OnWindowThread()) return Form ? std::optional<T>(body(*Form)) : std::nullopt;
    struct TAnswer {
      std::optional<T> Value;
      bool Done = false;
    };
    auto answer = std::make_shared<TAnswer>();
    {
      const std::lock_guard lock(Lock);
      if (Abandoned || !QCoreApplication::instance()) return std::nullopt;
      std::shared_ptr<TWindowThreadRun> run = this->shared_from_this();
      Post([run, answer, body = std::move(body)] {
        std::optional<T> value;
        if (run->Form) value = body(*run->Form);
        {
          const std::lock_guard lock(run->Lock);
          answer->Value = std::move(value);
          answer->Done = true;
        }
        run->Answered.notify_all();
      });
    }
    std::unique_lock lock(Lock);
    Answered.wait(lock, [&] { return answer->Done || Abandoned; });
    return answer->Done ? std::move(answer->Value) : std::nullopt;
  }

  std::mutex Lock;
  std::condition_variable Answered;
  bool Abandoned = false;

private:
  TWindowThreadRun& Mutable() const { return const_cast<TWindowThreadRun&>(*this); }
};

} // namespace cv
