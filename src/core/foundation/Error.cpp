#include "foundation/Error.h"

#include "foundation/MyTime.h"
#include "foundation/Program.h"
#include "foundation/UserInterface.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace cv {

thread_local TFunStatContext FunStatContext;

TFunStatContext::TFunStatContext(const TFunStatContext& other) { CopyFrom(other); }

TFunStatContext& TFunStatContext::operator=(const TFunStatContext& other) {
  if (this != &other) CopyFrom(other);
  return *this;
}

void TFunStatContext::CopyFrom(const TFunStatContext& other) {
  Status = other.Status;
  SourceFile = other.SourceFile;
  FunctionName = other.FunctionName;
  Line = other.Line;
  Description = other.Description;
  Parameter1 = other.Parameter1;
  Parameter2 = other.Parameter2;
  SystemErrorCode = other.SystemErrorCode;
  UserCode = other.UserCode;
  UserText = other.UserText;
  UserInt = other.UserInt;
  UserReal = other.UserReal;
}

void TFunStatContext::Reset(int32_t status) {
  Status = status;
  SourceFile.clear();
  FunctionName.clear();
  Line = 0;
  Description.clear();
  Parameter1.clear();
  Parameter2.clear();
  SystemErrorCode = 0;
}

void TFunStatContext::ResetUserInfo() {
  UserCode = 0;
  UserText.clear();
  UserInt = 0;
  UserReal = 0.0;
}

void TFunStatContext::BeginFunction(std::string_view sourceFile, std::string_view functionName,
                                    int32_t line) {
  Status = fsBeginFunctionError;
  SourceFile.assign(sourceFile);
  FunctionName.assign(functionName);
  Line = line;
  Description.clear();
  Parameter1.clear();
  Parameter2.clear();
  SystemErrorCode = 0;
}

void TFunStatContext::SetRaiseContext(int32_t status, std::string sourceFile,
                                      std::string functionName, int32_t line,
                                      std::string description, std::string parameter1,
                                      std::string parameter2, uint32_t systemErrorCode) {
  Status = status;
  SourceFile = std::move(sourceFile);
  FunctionName = std::move(functionName);
  Line = line;
  Description = std::move(description);
  Parameter1 = std::move(parameter1);
  Parameter2 = std::move(parameter2);
  SystemErrorCode = systemErrorCode;
}

void TFunStatContext::SetShowContext(std::string sourceFile, std::string functionName,
                                     int32_t line) {
  ShowFile = std::move(sourceFile);
  ShowFunction = std::move(functionName);
  ShowLine = line;
}

std::string TFunStatContext::GetStatusText(int32_t status) {
  switch (status) {
  case fsPerfect: return "Perfect";
  case fsWarning: return "Warning";
  case fsError: return "Error";
  case fsBeginFunctionError: return "Begin function error";
  case fsPanic: return "Panic";
  case fsCatastrophe: return "Catastrophe";
  default: return "Unknown function status";
  }
}

namespace {

std::string FileNamePart(const std::string& title) {
  const size_t slash = title.find_last_of("/\\");
  return slash == std::string::npos ? title : title.substr(slash + 1);
}

std::string ShortestReal(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// A partition title (":/", ":/home") carries the program's own ':' marker;
// a report shows it by its mount point, as every other place on screen does.
std::string ShownParameter(const std::string& parameter) {
  return parameter.starts_with(":/") ? parameter.substr(1) : parameter;
}

} // namespace

std::string TFunStatContext::GetReport() const {
  std::string r;
  try {
    r += "\r\nRAISE CONTEXT\r\n* Status: " + GetStatusText(Status);
    if (Status == fsCatastrophe)
      r += ": CATASTROPHIC FAILURE!!! It is highly recommended to terminate the program "
           "immediately!";
    r += "\r\n* File: \"" + FileNamePart(SourceFile);
    r += "\"\r\n* Function: \"" + FunctionName;
    r += "\"\r\n* Line: " + std::to_string(Line);
    r += "\r\n* Description: \"" + Description + "\"";
    if (!Parameter1.empty()) r += "\r\n* Parameter 1: \"" + ShownParameter(Parameter1) + "\"";
    if (!Parameter2.empty()) r += "\r\n* Parameter 2: \"" + ShownParameter(Parameter2) + "\"";
    if (SystemErrorCode != 0) {
      r += "\r\n* System error code: " + std::to_string(SystemErrorCode);
      r += "\r\n* System error description: \"" +
           SystemErrorText(static_cast<int>(SystemErrorCode)) + "\"";
    }
    r += "\r\n\r\nSHOW CONTEXT\r\n* File: \"" + FileNamePart(ShowFile);
    r += "\"\r\n* Function: \"" + ShowFunction;
    r += "\"\r\n* Line: " + std::to_string(ShowLine);
    r += "\r\n\r\nINFO\r\n* Time: " + ReportDateTimeText(" | ", NowDateTime());
    r += "\r\n* Program: " + Program.ProgramFileTitle();
    const TUserInterface* ui = UserInterface();
    r += "\r\n* Recursive attempts: " +
         std::to_string(ui ? ui->ErrorDialogRecursionCount() : 0);
    r += "\r\n\r\nUSER INFO\r\n* UserCode: " + std::to_string(UserCode);
    r += "\r\n* UserText: " + UserText;
    r += "\r\n* UserInt: " + std::to_string(UserInt);
    r += "\r\n* UserReal: " + ShortestReal(UserReal);
  } catch (...) {
    // The report machinery never raises: what was built so far is used.
  }
  return r;
}

bool TFunStatContext::ShowError(const std::string& text, bool* noMoreErrors,
                                std::source_location where) const {
  try {
    // A copy starts without a show context: fill in what the caller left out.
    TFunStatContext shown(*this);
    const bool located = !ShowFile.empty();
    shown.SetShowContext(located ? ShowFile : where.file_name(),
                         ShowFunction.empty() ? ReportFunctionName(where.function_name())
                                              : ShowFunction,
                         located ? ShowLine : static_cast<int32_t>(where.line()));
    const std::string report = shown.GetReport();
    TUserInterface* ui = UserInterface();
    if (!ui) {
      if (noMoreErrors) *noMoreErrors = false;
      ReportWithoutWindow(text, report);
      return false;
    }
    return ui->ExecuteErrorDialog(GetStatusText(Status), text, noMoreErrors, report);
  } catch (...) {
    return false;
  }
}

bool TFunStatContext::ShowInLoop(const std::string& text, bool* noMoreErrors,
                                 std::source_location where) const {
  if (!noMoreErrors || !*noMoreErrors) return ShowError(text, noMoreErrors, where);
  ReportWithoutWindow(text, GetReport());
  return true;
}

void TFunStatContext::OnApplicationException(const std::string& message) {
  const std::string description = "Unhandled error.\r\n" + message;
  // errno here belongs to whatever call ran last, not to this exception:
  // reporting it would name a cause that is not one.
  FunStatContext.SetRaiseContext(fsError, __FILE__, "TFunStatContext::OnApplicationException",
                                 __LINE__, description, "", "", 0);
  FunStatContext.SetShowContext(__FILE__, "TFunStatContext::OnApplicationException", __LINE__);
  FunStatContext.ShowError(description);
  FunStatContext.Reset(fsPerfect);
}

bool LastErrorFailed(int code) { return code != 0 && code != ECANCELED; }

bool LastErrorFailedExceptExists(int code) { return LastErrorFailed(code) && code != EEXIST; }

bool IsFindEndCode(int code) { return code == 0 || code == ENOENT; }

std::string SystemErrorText(int code) { return std::system_category().message(code); }

std::string ComposeErrorText(const std::string& description, const std::string& report) {
  return "DESCRIPTION\r\n" + (description.empty() ? std::string("Failed to perform.") : description) +
         "\r\n" + report;
}

namespace {

constexpr off_t ErrorLogLimit = 10000;

int OpenErrorLog(const std::string& title) {
  return ::open(title.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

bool WriteAllTo(int fd, const std::string& data) {
  size_t written = 0;
  while (written < data.size()) {
    const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<size_t>(n);
  }
  return true;
}

} // namespace

bool AppendErrorLogTo(const std::string& title, const std::string& text) {
  try {
    const std::string record = "**********" + text + "\r\n**********\r\n";
    int fd = OpenErrorLog(title);
    if (fd < 0) return false;
    struct stat st {};
    // The log restarts instead of growing without end, but its records live
    // on in the old log; when no new log can be made the record joins the old.
    if (::fstat(fd, &st) == 0 && st.st_size > ErrorLogLimit &&
        ::rename(title.c_str(), OldErrorLogTitle(title).c_str()) == 0) {
      if (const int fresh = OpenErrorLog(title); fresh >= 0) {
        ::close(fd);
        fd = fresh;
      }
    }
    bool ok = WriteAllTo(fd, record);
    if (::close(fd) != 0) ok = false;
    return ok;
  } catch (...) {
    return false;
  }
}

std::string OldErrorLogTitle(const std::string& title) {
  const std::string extension = ".log";
  if (title.size() > extension.size() &&
      title.compare(title.size() - extension.size(), extension.size(), extension) == 0)
    return title.substr(0, title.size() - extension.size()) + ".old" + extension;
  return title + ".old";
}

std::string ReportFunctionName(const char* signature) {
  std::string name = signature ? signature : "";
  name.erase(std::min(name.find('('), name.size()));
  // What stands before the last space is the return type.
  if (const size_t space = name.rfind(' '); space != std::string::npos) name.erase(0, space + 1);
  // The program's namespaces say nothing in a report.
  for (const std::string_view noise : {"cv::", "{anonymous}::"})
    while (name.rfind(noise, 0) == 0)
      name.erase(0, noise.size());
  return name;
}

} // namespace cv
