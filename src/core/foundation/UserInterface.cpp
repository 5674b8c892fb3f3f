#include "foundation/UserInterface.h"

#include "foundation/Error.h"
#include "foundation/Program.h"

#include <cstdio>
#include <utility>

namespace cv {

namespace {
TUserInterface* CurrentUserInterface = nullptr;
thread_local TUserInterface* ThreadUserInterface = nullptr;
} // namespace

TUserInterface* UserInterface() {
  return ThreadUserInterface ? ThreadUserInterface : CurrentUserInterface;
}

TUserInterface* SetThreadUserInterface(TUserInterface* ui) {
  return std::exchange(ThreadUserInterface, ui);
}

TUserInterface* SetUserInterface(TUserInterface* ui) {
  TUserInterface* previous = CurrentUserInterface;
  CurrentUserInterface = ui;
  return previous;
}

void ReportWithoutWindow(const std::string& description, const std::string& report) {
  ReportWithoutWindowTo(Program.ErrorLogTitle(), description, report);
}

void ReportWithoutWindowTo(const std::string& logTitle, const std::string& description,
                           const std::string& report) {
  try {
    const std::string text = ComposeErrorText(description, report);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputs("\n", stderr);
    std::fflush(stderr);
    AppendErrorLogTo(logTitle, text);
  } catch (...) {
    // Out of memory: the error machinery never raises.
  }
}

int ShowMessageBox(const std::string& caption, const std::string& text, unsigned flags) {
  if (TUserInterface* ui = UserInterface()) return ui->ShowMessageBox(caption, text, flags);
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return mrBoxCancel;
}

void ShowInformation(const std::string& text) {
  ShowMessageBox("Message", text, mbOk | mbIconInformation);
}

void ShowWarning(const std::string& text) {
  ShowMessageBox("Warning", text, mbOk | mbIconExclamation);
}

void ShowErrorMessage(const std::string& text) {
  ShowMessageBox("Error", text, mbOk | mbIconStop);
}

bool AskYesNo(const std::string& text) {
  return ShowMessageBox("Query", text, mbYesNo | mbIconQuestion) == mrBoxOk;
}

int AskYesNoCancel(const std::string& text) {
  return ShowMessageBox("Query", text, mbYesNoCancel | mbIconQuestion);
}

void ShowErrorCount(int count) {
  if (count != 0) ShowWarning("There were " + std::to_string(count) + " errors.");
}

} // namespace cv
