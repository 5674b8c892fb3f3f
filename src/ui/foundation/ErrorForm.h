#pragma once
// The error dialog: shows a failure's description and report, can append the
// report to the log, and lets the user go on, go on silently, cancel the
// running operation or end the program.

#include <QDialog>
#include <QPointer>
#include <functional>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace cv {

class TErrorForm : public QDialog {
  Q_OBJECT
public:
  // Modal results of the buttons.
  enum { mrOk = 1, mrCancel = 2, mrYes = 6 };

  explicit TErrorForm(QWidget* parent = nullptr);
  ~TErrorForm() override;

  bool Execute(const std::string& caption, const std::string& description, bool* noMoreErrors,
               const std::string& report);
  bool WriteLog();
  // Where "&Log" and nested reports write; the data root's "Errors.log"
  // unless a test says else.
  std::string LogTitle;
  std::string LogFile() const;
  // The window the dialog is centred on (the main window); it may go first.
  QPointer<QWidget> Owner;

  int RecursionCount = 0;
  // The memo's text exactly as composed ("\r\n" line breaks), for the log.
  std::string MemoText;
  int HelpContext = 203;
  // Ends the process at once; tests replace it.
  std::function<void()> TerminateProcess;

  QPlainTextEdit* MainMemo;
  QPushButton* OkayButton;
  QPushButton* OkayNoErrorsButton;
  QPushButton* CancelButton;
  QPushButton* TerminateButton;
  QPushButton* LogButton;
  QPushButton* HelpButton;
  QLabel* RecursionLabel;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void TerminateButtonClick();
  void LogButtonClick();
  void HelpButtonClick();
};

// Created at start-up, lives until the end; null before.
extern TErrorForm* ErrorForm;

} // namespace cv
