#include "foundation/Guard.h"

#include <string>

namespace cv {

namespace {
// Leaves a guarded body after the local context was filled.
struct TGuardStop {};
} // namespace

TGuard::TGuard(const char* functionName, std::source_location where)
    : Name(functionName), File(where.file_name()), EntryLine(static_cast<int32_t>(where.line())) {
  FunStatContext.BeginFunction(File, Name, EntryLine);
}

TGuard::~TGuard() {
  try {
    FunStatContext = Local;
  } catch (...) {
    // Out of memory while copying texts: keep at least the status.
    FunStatContext.Status = Local.Status;
  }
}

void TGuard::Stop(int32_t status, std::string_view description, std::string parameter1,
                  std::string parameter2, uint32_t code, const std::source_location& where) {
  Local.SetRaiseContext(status, File, Name, static_cast<int32_t>(where.line()),
                        std::string(description), std::move(parameter1), std::move(parameter2),
                        code);
  throw TGuardStop{};
}

void TGuard::Raise(std::string_view description, std::string parameter1, std::string parameter2,
                   uint32_t systemErrorCode, std::source_location where) {
  Stop(fsError, description, std::move(parameter1), std::move(parameter2), systemErrorCode, where);
}

void TGuard::Warn(std::string_view description, std::string parameter1, std::string parameter2,
                  uint32_t systemErrorCode, std::source_location where) {
  Stop(fsWarning, description, std::move(parameter1), std::move(parameter2), systemErrorCode,
       where);
}

void TGuard::Panic(std::string_view description, std::string parameter1, std::string parameter2,
                   std::source_location where) {
  const auto line = static_cast<int32_t>(where.line());
  Local.SetRaiseContext(fsPanic, File, Name, line, std::string(description), std::move(parameter1),
                        std::move(parameter2), 0);
  Local.SetShowContext(File, Name, line);
  Local.ShowError("PANIC: " + std::string(description));
  throw TGuardStop{};
}

void TGuard::TakeOver() {
  if (Absorb()) throw TGuardStop{};
}

bool TGuard::Absorb() {
  if (!FunStatContext.Failed()) return false;
  Local = FunStatContext;
  return true;
}

bool TGuard::Show(std::string_view sentence, bool* noMoreErrors, std::source_location where) {
  if (!Local.Failed()) return true;
  Local.SetShowContext(File, Name, static_cast<int32_t>(where.line()));
  const bool goOn = Local.ShowInLoop(std::string(sentence), noMoreErrors, where);
  Local.Reset(fsPerfect);
  return goOn;
}

void TGuard::Catch(std::exception_ptr error) noexcept {
  try {
    std::rethrow_exception(error);
  } catch (const TGuardStop&) {
    // The local context already says what went wrong.
  } catch (const TLocatedError& e) {
    Local.SetRaiseContext(fsError, File, Name, EntryLine, std::string("Unhandled exception: ") + e.what(),
                          e.Where.file_name(), std::to_string(e.Where.line()), 0);
  } catch (const std::exception& e) {
    Local.SetRaiseContext(fsError, File, Name, EntryLine, std::string("Unhandled exception: ") + e.what(),
                          "", "0", 0);
  } catch (...) {
    Local.SetRaiseContext(fsError, File, Name, EntryLine, "Unhandled generic exception.", "", "0", 0);
  }
}

} // namespace cv
