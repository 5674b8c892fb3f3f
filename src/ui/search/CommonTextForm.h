#pragma once
// "Find common text": compares the lines of the active file with the lines
// of the other selected documents of its column and reports the lines that
// share words. The work runs on a thread of its own while the dialog keeps
// answering, so Sto&p and &Cancel act at once.

#include "search/CommonText.h"

#include <QDialog>

#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace cv {

class TColumn;
class TCommonTextRun;

class TCommonTextForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int HelpContext = 205;

  explicit TCommonTextForm(TCommonTextSettings& settings, QWidget* parent = nullptr);
  ~TCommonTextForm() override;

  // Shows the dialog over the column; the boxes keep their texts in the
  // settings when it closes.
  void Dialog(TColumn& column);
  // The opening steps without the modal loop (tests drive them).
  void Open(TColumn& column);
  // "&Find": waits, serving events, until the work ended.
  void Do();
  void Stop();
  bool Running() const { return IsRunning; }
  // "Copy report to clipboard".
  bool CopyReport();
  // The last report as bytes, as the clipboard gets it.
  const std::string& ReportText() const { return Report; }

  // ---- The work's host, on the window's thread ----
  void ShowStep(const std::string& text);
  void ShowInformation(const std::string& text);

  QGroupBox* OptionsGroup;
  QComboBox *BeginBox, *EndBox, *NumbersBox, *WholeMatchBox, *ToleranceBox, *MinimumBox;
  QCheckBox* DelimiterCheck;
  QLineEdit* DelimiterEdit;
  QLabel *StepLabel, *InformationLabel;
  QPlainTextEdit* ReportEdit;
  QPushButton *FindButton, *StopButton, *CancelButton, *CopyButton;

public Q_SLOTS:
  void reject() override;

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  void BuildControls();
  void LoadSettings();
  void StoreSettings();
  void SetRunning(bool running);
  bool RunJob(const TCommonTextJob& job, TCommonTextResult& result);

  TCommonTextSettings& Settings;
  std::shared_ptr<TCommonTextRun> CurrentRun;
  TColumn* Column = nullptr;
  std::string Report;
  bool IsRunning = false;
  bool CloseWhenDone = false;
};

} // namespace cv
