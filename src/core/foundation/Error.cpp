#include "foundation/Error.h"

#include "foundation/MyTime.h"
#include "foundation/Program.h"
#include "foundation/UserInterface.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace cv {

TFunStatContext FunStatContext;

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
    if (!Parameter1.empty()) r += "\r\n* Parameter 1: \"" + Parameter1 + "\"";
    if (!Parameter2.empty()) r += "\r\n* Parameter 2: \"" + Parameter2 + "\"";
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

bool TFunStatContext::ShowError(const std::string& text, bool* noMoreErrors) const {
  try {
    const std::string report = GetReport();
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

bool AppendErrorLog(const std::string& text) {
  return AppendErrorLogTo(Program.ErrorLogTitle(), text);
}

bool AppendErrorLogTo(const std::string& title, const std::string& text) {
  try {
    const int fd = ::open(title.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = true;
    struct stat st {};
    // The log restarts instead of growing without end.
    if (::fstat(fd, &st) == 0 && st.st_size > 10000) ok = ::ftruncate(fd, 0) == 0;
    const std::string record = "**********" + text + "\r\n**********\r\n";
    size_t written = 0;
    while (ok && written < record.size()) {
      const ssize_t n = ::write(fd, record.data() + written, record.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) ok = false;
      else written += static_cast<size_t>(n);
    }
    if (::close(fd) != 0) ok = false;
    return ok;
  } catch (...) {
    return false;
  }
}

} // namespace cv
