#pragma once
// Function status contexts: how every fallible function reports its outcome.
//
// A function works on a local context and, when it returns, copies it into
// the global `FunStatContext`; the caller reads the global status right after
// the call. Failures reach the user once, at a show point, through the error
// dialog. The guarded-function helper that wraps all of this is in Guard.h.

#include <cstdint>
#include <exception>
#include <source_location>
#include <stdexcept>
#include <string>
#include <string_view>

namespace cv {

enum TFunStatus : int32_t {
  fsPerfect = 0,
  fsWarning = 1,
  fsError = 2,
  fsBeginFunctionError = 3,
  fsPanic = 4,
  fsCatastrophe = 5,
};

// Statuses from fsError up are failures; warnings are not propagated.
constexpr bool IsFailure(int32_t status) { return status >= fsError; }

class TFunStatContext {
public:
  int32_t Status = fsPerfect;
  std::string SourceFile;
  std::string FunctionName;
  int32_t Line = 0;
  std::string Description;
  std::string Parameter1;
  std::string Parameter2;
  uint32_t SystemErrorCode = 0;
  std::string ShowFile;
  std::string ShowFunction;
  int32_t ShowLine = 0;
  int32_t UserCode = 0;
  std::string UserText;
  int32_t UserInt = 0;
  double UserReal = 0.0;

  TFunStatContext() = default;
  // The show context belongs to the place that shows: copies leave it alone.
  TFunStatContext(const TFunStatContext& other);
  TFunStatContext& operator=(const TFunStatContext& other);

  bool Failed() const { return IsFailure(Status); }

  void Reset(int32_t status);
  void ResetUserInfo();
  // Reuses the texts' storage: a function that begins allocates nothing.
  void BeginFunction(std::string_view sourceFile, std::string_view functionName, int32_t line);
  void SetRaiseContext(int32_t status, std::string sourceFile, std::string functionName,
                       int32_t line, std::string description, std::string parameter1,
                       std::string parameter2, uint32_t systemErrorCode);
  void SetShowContext(std::string sourceFile, std::string functionName, int32_t line);

  static std::string GetStatusText(int32_t status);
  std::string GetReport() const;

  // Shows this context in the error dialog with `text` as its description.
  // True when the user chose to continue. `noMoreErrors` is set only when
  // the dialog really asked (see TUserInterface::ExecuteErrorDialog). A show
  // context left without file or function is named after `where`.
  bool ShowError(const std::string& text, bool* noMoreErrors = nullptr,
                 std::source_location where = std::source_location::current()) const;
  // The show of a loop that goes past failures: once *noMoreErrors is set
  // (the dialog's "no errors"), the failure is only logged and the loop goes
  // on; else as ShowError.
  bool ShowInLoop(const std::string& text, bool* noMoreErrors,
                  std::source_location where = std::source_location::current()) const;

  // Handler for exceptions that reached the event loop: report and go on.
  static void OnApplicationException(const std::string& message);

private:
  void CopyFrom(const TFunStatContext& other);
};

// The outcome of the most recently finished guarded function of this thread:
// a worker's failures stay its own until its result hands them over.
extern thread_local TFunStatContext FunStatContext;

// An exception that remembers where it was thrown, so reports can name it.
class TLocatedError : public std::runtime_error {
public:
  explicit TLocatedError(const std::string& message,
                         std::source_location where = std::source_location::current())
      : std::runtime_error(message), Where(where) {}
  std::source_location Where;
};

// System error tests. Calls are judged by their return value; these decide
// whether the errno that came with a failure really counts as one.
bool LastErrorFailed(int code);             // not 0, not ECANCELED (a user cancel)
bool LastErrorFailedExceptExists(int code); // as above, EEXIST is fine too
bool IsFindEndCode(int code);               // a walk that stopped with this ended normally
std::string SystemErrorText(int code);

// "DESCRIPTION\r\n" + description + "\r\n" + report: the error dialog's text.
std::string ComposeErrorText(const std::string& description, const std::string& report);

// Appends a record to an error log (the data root's "Errors.log" unless a
// caller knows better). A log that grew over 10000 bytes is first kept as
// "Errors.old.log" and restarted. False when the log could not be written.
bool AppendErrorLogTo(const std::string& title, const std::string& text);
// Where a restarted log keeps its previous records: "Errors.log" gives
// "Errors.old.log" beside it.
std::string OldErrorLogTitle(const std::string& title);

// "void cv::TMainForm::Setup()" gives "TMainForm::Setup": the name a report shows.
std::string ReportFunctionName(const char* signature);

} // namespace cv
