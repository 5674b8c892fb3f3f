#pragma once
// Everything in the core that would show a window goes through this host.
// The widgets library installs the real one; tests install a recording fake,
// so nothing ever blocks on a modal dialog.

#include <string>

namespace cv {

// Message box flags, as the boxes understand them.
enum TMessageBoxFlags : unsigned {
  mbOk = 0x0,
  mbOkCancel = 0x1,
  mbYesNoCancel = 0x3,
  mbYesNo = 0x4,
  mbButtonsMask = 0xF,
  mbIconStop = 0x10,
  mbIconQuestion = 0x20,
  mbIconExclamation = 0x30,
  mbIconInformation = 0x40,
  mbIconMask = 0xF0,
};

// Results of ShowMessageBox.
enum TMessageBoxResult : int { mrBoxOk = 1, mrBoxCancel = 2, mrBoxNo = 7 };

class TUserInterface {
public:
  virtual ~TUserInterface() = default;

  // Shows the error dialog (or counts a nested attempt while it is up).
  // True to continue; sets *noMoreErrors as the dialog's buttons say, and
  // leaves it alone when the call only counted a nested attempt.
  virtual bool ExecuteErrorDialog(const std::string& caption, const std::string& description,
                                  bool* noMoreErrors, const std::string& report) = 0;
  // Nested attempts of the dialog now up, for the report (0 when idle).
  virtual int ErrorDialogRecursionCount() const = 0;
  // True when ExecuteErrorDialog would show the dialog here and now: neither
  // counted as nested, nor put off, nor refused. A host that shows nothing
  // of its own can always take the request.
  virtual bool CanShowErrorDialogNow() const { return true; }
  // 1 for OK or Yes, 7 for No, 2 for anything else.
  virtual int ShowMessageBox(const std::string& caption, const std::string& text,
                             unsigned flags) = 0;
  virtual void Beep() = 0;
};

// The installed host, or null (then shows fall back to stderr and the log).
TUserInterface* UserInterface();
// Installs a host and returns the previous one.
TUserInterface* SetUserInterface(TUserInterface* ui);
// Installs a host for the calling thread only, over the installed one (null
// takes it back), and returns the previous one: a worker whose questions
// another thread answers.
TUserInterface* SetThreadUserInterface(TUserInterface* ui);

int ShowMessageBox(const std::string& caption, const std::string& text, unsigned flags);
void ShowInformation(const std::string& text);
void ShowWarning(const std::string& text);
void ShowErrorMessage(const std::string& text);
bool AskYesNo(const std::string& text);
int AskYesNoCancel(const std::string& text);
void ShowErrorCount(int count);

// The report of a failure that could not be shown in a window: stderr and
// the error log, so it is never lost. Never raises.
void ReportWithoutWindow(const std::string& description, const std::string& report);
// The same, to a given log file.
void ReportWithoutWindowTo(const std::string& logTitle, const std::string& description,
                           const std::string& report);

} // namespace cv
