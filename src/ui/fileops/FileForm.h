#pragma once
// The one dialog that runs an operation over the active file, the
// selection or a whole directory: it asks, shows the counters while the
// engine walks, and is the engine's host (questions, errors, progress,
// Cancel, deselection, clipboard).

#include "fileops/FileEngine.h"
#include "fileops/FileFormSettings.h"

#include <QDialog>
#include <QLabel>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace cv {

class TColumn;
class TFileRun;

// A one-line label that shows the middle of a text too long for it.
class TElidedLabel : public QLabel {
  Q_OBJECT
public:
  using QLabel::QLabel;
  void SetFullText(const QString& text);
  QString FullText() const { return Full; }

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  void Elide();
  QString Full;
};

// Work of the window's own over the engine (the trash's restore and delete),
// run as the dialog runs its operations.
class TFileTask {
public:
  virtual ~TFileTask() = default;
  // On the run's thread.
  virtual void Run() = 0;
  // Any thread: stop at the next step.
  virtual void Cancel() = 0;
};
// Makes the task over the run's host, on the window's thread.
using TFileTaskMaker = std::function<std::shared_ptr<TFileTask>(TFileEngineHost& host)>;

struct TFileFormRequest {
  std::string Operation;
  bool TwoColumn = false;
  bool FromDrop = false;
  bool WholeDirectory = false;
  std::string Prefix;
  std::string DestinationTitle;
  std::string SourceTitle;
  int ActiveIndex = 0;
  int Container = -1;
};

class TFileForm : public QDialog, public TFileEngineHost {
  Q_OBJECT
public:
  // `clock` times the engine's steps (progress and pumps); tests step it.
  explicit TFileForm(TFileFormSettings& settings, QWidget* parent = nullptr,
                     TSecondsClock clock = &SecondsNow);
  ~TFileForm() override;

  // Opens the dialog over the source column; true when one of the Okay
  // buttons ran the operation (whatever followed), false when it was
  // cancelled first or could not open.
  bool Dialog(const TFileFormRequest& request, TColumn& sourceColumn);
  // The opening steps without the modal loop; false when the dialog may
  // not open (busy or empty column, no destination, unknown operation).
  bool Open(const TFileFormRequest& request, TColumn& sourceColumn);
  // The Okay buttons: runs the operation and closes the dialog. The engine
  // works on a thread of its own while the window answers its questions.
  void Do(TPrefixMode mode, bool noErrors);
  bool Running() const { return IsRunning; }
  // Runs a task of the window the way Do runs an operation: on a thread of
  // its own, the dialog (without its Okay buttons) showing the progress,
  // asking the questions and offering Cancel. An item the engine finished
  // is deselected in `column` (`indices` by source; column may be null).
  void RunTask(const std::string& caption, TColumn* column, std::vector<int> indices,
               const TFileTaskMaker& make);
  // The engine of the running or the last run.
  TFileEngine& Engine();
  // Cancel, Esc and closing while the operation runs: the engine stops at
  // its next step, and the dialog ends soon even when a file system holds
  // the engine's thread (the thread is then left behind).
  void CancelRun();

  // A moved item of a column that shows a container: the container renames it.
  std::function<void(int container, const std::string& oldTitle, const std::string& newTitle)>
      OnContainerItemMoved;

  TElidedLabel *TotalLabel, *CurrentLabel, *SourceLabel, *DestinationLabel;
  QWidget* OptionsPanel;
  QGroupBox *PrefixGroup, *ConvertGroup;
  QCheckBox *StopAfterCountBox, *IgnoreEncryptionBox, *RecurseBox, *NormalizeBox;
  QComboBox *IncludeBox, *ExcludeBox, *PrefixBox, *FormatBox, *QualityBox;
  QPushButton *OkayButton, *OkayNoErrorsButton, *AddPrefixButton, *ReplacePrefixButton;
  QPushButton *CancelButton, *HelpButton, *OptionsButton, *ConvertButton;
  QPushButton *ByCurrentButton, *ByCreationButton;

  // ---- Engine host, on the window's thread ----
  TOverwriteChoice AskOverwrite(const TOverwriteView& view) override;
  bool AskYesNo(const std::string& question) override;
  void ShowProgress(const TFileEngineDisplay& display) override;
  void PumpEvents() override;
  void Deselect(size_t sourceIndex) override;
  bool CopyToClipboard(const std::string& text, const std::vector<std::string>& titles) override;
  void RenameContainerItem(const std::string& oldTitle, const std::string& newTitle) override;

  // The overwrite window; tests script it.
  std::function<TOverwriteChoice(const TOverwriteView&)> OverwriteAsk;
  // Runs on the window's thread at each pump of the engine, while the
  // engine waits: tests act there at a step of their choosing.
  std::function<void()> OnEnginePump;
  // Runs on the engine's thread each time it finished a source item, before
  // the window hears of it: tests slow the run there.
  std::function<void()> OnEngineStep;

public Q_SLOTS:
  void reject() override;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void BuildControls();
  void ShowOptionsPanel();
  void SetPrefixByTime(bool creation);
  void Finish(const TFileEngineSettings& settings);
  void SetControlsEnabled(bool enabled);
  bool IsConvert() const;
  void RunEngine(const TFileEngineSettings& settings);
  // A fresh run: `prepare` on the window's thread, then `work` on a thread
  // of its own while the window answers it.
  void RunOnThread(const std::function<void(TFileRun& run)>& prepare,
                   std::function<void(TFileRun& run)> work);
  void LiftModality();

  TFileFormSettings& Settings;
  TSecondsClock Clock;
  // Shared with the run's thread, which may outlive the dialog.
  std::shared_ptr<TFileRun> CurrentRun;
  TFileFormRequest Request;
  TFileOperation Operation = TFileOperation::Copy;
  TColumn* SourceColumn = nullptr;
  std::vector<std::string> Sources;
  std::vector<int> SourceIndices;
  std::string DestinationDirectory;
  bool IsRunning = false;
  bool Okayed = false;
};

} // namespace cv
