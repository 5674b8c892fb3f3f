#pragma once
// The guarded function: the one way a fallible function reports its outcome.
//
//   bool TFileStorage::Save(const std::string& title) {
//     if (title.empty()) return TGuard::EarlyExit(false);    // trivial exit: global := fsPerfect
//     TGuard guard("TFileStorage::Save");                     // registers name, file and line
//     return guard.Run(false, [&] {                           // every exception lands in guard
//       int fd = ::open(title.c_str(), O_WRONLY);
//       if (fd < 0) guard.Raise("Failed to open file.", title, {}, errno);  // stops the body
//       WriteAll(fd);                                         // another guarded function
//       guard.TakeOver();                                     // stops when it failed
//       return true;
//     });
//   }                                                         // ~TGuard publishes the outcome
//
// At a show point (menu command, key, button) the failure is shown once and
// consumed, so the caller of a show point always sees fsPerfect:
//
//   void TMainForm::SearchClick() {
//     TGuard guard("TMainForm::SearchClick");
//     guard.Run([&] { ... });
//     guard.Show("Failed to search.");
//   }
//
// A loop that goes past failures stops when the user cancels:
//
//   bool noMoreErrors = false;
//   for (...) {
//     ...
//     if (!guard.Show("Failed to copy file.", &noMoreErrors)) break;
//   }
//
// Raise/Warn/Panic/TakeOver leave the body by throwing a private marker that
// only Run catches: a body must not swallow it with its own catch (...).

#include "foundation/Error.h"

#include <concepts>
#include <source_location>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace cv {

class TGuard {
public:
  explicit TGuard(const char* functionName,
                  std::source_location where = std::source_location::current());
  ~TGuard();
  TGuard(const TGuard&) = delete;
  TGuard& operator=(const TGuard&) = delete;

  // A trivial exit that does no work: the caller sees fsPerfect.
  template <typename T> static T EarlyExit(T value) {
    FunStatContext.Reset(fsPerfect);
    return value;
  }
  static void EarlyExit() { FunStatContext.Reset(fsPerfect); }

  // Runs the body; returns its value, or `fallback` when it failed or threw.
  template <typename T, typename Body>
    requires std::convertible_to<std::invoke_result_t<Body>, T>
  T Run(T fallback, Body&& body) {
    try {
      return std::forward<Body>(body)();
    } catch (...) {
      Catch(std::current_exception());
    }
    return fallback;
  }
  template <typename Body>
    requires std::is_void_v<std::invoke_result_t<Body>>
  void Run(Body&& body) {
    try {
      std::forward<Body>(body)();
    } catch (...) {
      Catch(std::current_exception());
    }
  }

  // Records a failure (fsError) and leaves the body.
  [[noreturn]] void Raise(std::string_view description, std::string parameter1 = {},
                          std::string parameter2 = {}, uint32_t systemErrorCode = 0,
                          std::source_location where = std::source_location::current());
  // A condition callers are not to treat as failure; also leaves the body.
  [[noreturn]] void Warn(std::string_view description, std::string parameter1 = {},
                         std::string parameter2 = {}, uint32_t systemErrorCode = 0,
                         std::source_location where = std::source_location::current());
  // An internal contract violation: shown at once as "PANIC: ...", then it
  // travels up like any failure.
  [[noreturn]] void Panic(std::string_view description, std::string parameter1 = {},
                          std::string parameter2 = {},
                          std::source_location where = std::source_location::current());

  // After a guarded call: takes over the callee's failure and leaves the body.
  void TakeOver();
  // For loops that tolerate failures: did the last guarded call fail?
  static bool CalleeFailed() { return FunStatContext.Failed(); }
  // Takes over the callee's failure without leaving (the loop counts it).
  bool Absorb();

  // The show point: shows a failure once with `sentence` and consumes it.
  // False when the user chose to stop ("Cancel"), true to go on (also when
  // nothing failed). Once *noMoreErrors is set, by the dialog's "no errors"
  // answer, failures are consumed without a dialog and only logged.
  bool Show(std::string_view sentence, bool* noMoreErrors = nullptr,
            std::source_location where = std::source_location::current());

  bool Failed() const { return Local.Failed(); }
  TFunStatContext& Context() { return Local; }
  const TFunStatContext& Context() const { return Local; }

private:
  [[noreturn]] void Stop(int32_t status, std::string_view description, std::string parameter1,
                         std::string parameter2, uint32_t code, const std::source_location& where);
  void Catch(std::exception_ptr error) noexcept;

  const char* Name;
  const char* File;
  int32_t EntryLine;
  TFunStatContext Local;
};

} // namespace cv
