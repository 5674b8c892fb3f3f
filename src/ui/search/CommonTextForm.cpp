#include "search/CommonTextForm.h"

#include "columns/Column.h"
#include "foundation/Clipboard.h"
#include "foundation/Guard.h"
#include "foundation/Help.h"
#include "foundation/OffThread.h"
#include "foundation/QtText.h"
#include "foundation/SystemInfo.h"
#include "foundation/UserInterface.h"
#include "foundation/WindowThreadRun.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>

namespace cv {

namespace {

// How long a stopped run may take before the dialog leaves its thread
// behind in a file system that does not answer.
constexpr int AbandonAfterMs = 500;

QComboBox* BoxOf(TCommonTextBox box) {
  auto* combo = new QComboBox;
  for (const std::string& item : CommonTextBoxItems(box))
    combo->addItem(ToQString(item));
  return combo;
}

QPushButton* Button(const char* caption) {
  auto* button = new QPushButton(QString::fromUtf8(caption));
  button->setAutoDefault(false);
  return button;
}

void SetBoxItem(QComboBox* box, const std::string& text) {
  const int found = box->findText(ToQString(text), Qt::MatchFixedString | Qt::MatchCaseSensitive);
  if (found >= 0) box->setCurrentIndex(found);
}

std::string BoxText(const QComboBox* box) { return FromQString(box->currentText()); }

} // namespace

// What a run shares between the window's thread and its worker; the worker
// holds it too, so a thread left behind never reaches a dialog that is gone.
class TCommonTextRun final : public TCommonTextHost,
                             public TWindowThreadRun<TCommonTextForm, TCommonTextRun> {
public:
  explicit TCommonTextRun(TCommonTextForm& form) : TWindowThreadRun(form) {}

  std::atomic<bool> StopFlag{false};
  // Written by the worker before it posts its end.
  bool Succeeded = false;
  TCommonTextResult Result;
  TFunStatContext Failure;

  bool Stopped() override { return StopFlag.load(std::memory_order_relaxed); }
  void ShowStep(const std::string& text) override {
    Post([run = shared_from_this(), text] {
      if (run->Form) run->Form->ShowStep(text);
    });
  }
  void ShowInformation(const std::string& text) override {
    Post([run = shared_from_this(), text] {
      if (run->Form) run->Form->ShowInformation(text);
    });
  }
};

TCommonTextForm::TCommonTextForm(TCommonTextSettings& settings, QWidget* parent)
    : QDialog(parent), Settings(settings), CurrentRun(std::make_shared<TCommonTextRun>(*this)) {
  BuildControls();
}

TCommonTextForm::~TCommonTextForm() {
  CurrentRun->StopFlag = true;
  CurrentRun->Abandon();
}

void TCommonTextForm::BuildControls() {
  setObjectName("CommonTextForm");
  setWindowTitle("Find common text");
  auto* layout = new QVBoxLayout(this);

  OptionsGroup = new QGroupBox("Options");
  auto* grid = new QGridLayout(OptionsGroup);
  BeginBox = BoxOf(ctbBegin);
  EndBox = BoxOf(ctbEnd);
  NumbersBox = BoxOf(ctbNumbers);
  WholeMatchBox = BoxOf(ctbWholeMatch);
  ToleranceBox = BoxOf(ctbTolerance);
  MinimumBox = BoxOf(ctbMinimum);
  DelimiterCheck = new QCheckBox("Use &delimiter");
  DelimiterEdit = new QLineEdit;
  DelimiterEdit->setMaxLength(255);
  const auto row = [&](int at, int column, const char* caption, QWidget* box) {
    auto* label = new QLabel(QString::fromUtf8(caption));
    label->setBuddy(box);
    grid->addWidget(label, at, column);
    grid->addWidget(box, at, column + 1);
  };
  row(0, 0, "&Start extraction", BeginBox);
  row(1, 0, "&End extraction", EndBox);
  grid->addWidget(DelimiterCheck, 2, 0);
  grid->addWidget(DelimiterEdit, 2, 1);
  row(0, 2, "&Numbers", NumbersBox);
  row(1, 2, "&Whole match", WholeMatchBox);
  row(2, 2, "Misspelling &tolerance", ToleranceBox);
  row(3, 2, "&Minimum matches", MinimumBox);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  layout->addWidget(OptionsGroup);

  StepLabel = new QLabel;
  StepLabel->setTextFormat(Qt::PlainText);
  InformationLabel = new QLabel;
  InformationLabel->setTextFormat(Qt::PlainText);
  InformationLabel->setMinimumWidth(520);
  InformationLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  layout->addWidget(StepLabel);
  layout->addWidget(InformationLabel);

  ReportEdit = new QPlainTextEdit;
  ReportEdit->setObjectName("ReportEdit");
  ReportEdit->setReadOnly(true);
  ReportEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
  ReportEdit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  ReportEdit->setMinimumSize(680, 300);
  // Read-only, the report leaves Escape to the dialog, which closes.
  ReportEdit->setStatusTip("Report. [Esc] = close.");
  layout->addWidget(ReportEdit, 1);

  auto* buttons = new QHBoxLayout;
  FindButton = Button("&Find");
  FindButton->setDefault(true);
  StopButton = Button("Sto&p");
  CancelButton = Button("&Cancel");
  CopyButton = Button("Copy report to clipboard");
  buttons->addWidget(CopyButton);
  buttons->addStretch(1);
  for (QPushButton* button : {FindButton, StopButton, CancelButton})
    buttons->addWidget(button);
  layout->addLayout(buttons);

  connect(FindButton, &QPushButton::clicked, this, [this] { Do(); });
  connect(StopButton, &QPushButton::clicked, this, [this] { Stop(); });
  connect(CancelButton, &QPushButton::clicked, this, &TCommonTextForm::reject);
  connect(CopyButton, &QPushButton::clicked, this, [this] { CopyReport(); });
  connect(DelimiterCheck, &QCheckBox::toggled, DelimiterEdit, &QWidget::setEnabled);
  SetRunning(false);
}

void TCommonTextForm::LoadSettings() {
  SetBoxItem(BeginBox, Settings.BeginExtraction);
  SetBoxItem(EndBox, Settings.EndExtraction);
  DelimiterCheck->setChecked(Settings.UseDelimiter);
  DelimiterEdit->setEnabled(Settings.UseDelimiter);
  DelimiterEdit->setText(ToQString(Settings.WordDelimiter));
  SetBoxItem(NumbersBox, Settings.UseNumbers);
  SetBoxItem(WholeMatchBox, Settings.WholeMatch);
  SetBoxItem(ToleranceBox, Settings.MisspellingTolerance);
  SetBoxItem(MinimumBox, Settings.MinimumMatches);
}

void TCommonTextForm::StoreSettings() {
  Settings.BeginExtraction = BoxText(BeginBox);
  Settings.EndExtraction = BoxText(EndBox);
  Settings.UseDelimiter = DelimiterCheck->isChecked();
  Settings.WordDelimiter = FromQString(DelimiterEdit->text());
  Settings.UseNumbers = BoxText(NumbersBox);
  Settings.WholeMatch = BoxText(WholeMatchBox);
  Settings.MisspellingTolerance = BoxText(ToleranceBox);
  Settings.MinimumMatches = BoxText(MinimumBox);
}

void TCommonTextForm::Open(TColumn& column) {
  Column = &column;
  CloseWhenDone = false;
  LoadSettings();
  StepLabel->clear();
  InformationLabel->clear();
  SetRunning(false);
  FindButton->setFocus();
}

void TCommonTextForm::Dialog(TColumn& column) {
  Open(column);
  exec();
  StoreSettings();
  Column = nullptr;
}

void TCommonTextForm::SetRunning(bool running) {
  IsRunning = running;
  OptionsGroup->setEnabled(!running);
  FindButton->setEnabled(!running);
  ReportEdit->setEnabled(!running);
  CopyButton->setEnabled(!running);
  StopButton->setEnabled(running);
}

void TCommonTextForm::Do() {
  if (IsRunning || !Column) return;
  StoreSettings();
  TGuard guard("TFindCommonTextForm::Do");
  guard.Run([&] {
    const TCommonTextOptions options = CommonTextOptions(Settings);
    if (options.UseDelimiter && options.Delimiter.empty()) guard.Raise("Empty delimiter.");
    Report.clear();
    ReportEdit->clear();
    InformationLabel->clear();
    SetRunning(true);
    CheckCommonTextOptions(options);
    guard.TakeOver();

    ShowStep("Checking resources availability...");
    const TFileListData* active = Column->FocusedItem();
    if (!active || !active->Selected || active->Type != fltDocument)
      guard.Raise("The active file is not selected or it's not a document: \"" +
                  (active ? active->Title : Column->ActiveTitle) + "\".");
    TCommonTextJob job;
    job.Options = options;
    int64_t total = 0;
    for (const TFileListData& item : Column->Items) {
      if (!item.Selected || item.Type != fltDocument) continue;
      if (&item == active) job.Source = job.Titles.size();
      job.Titles.push_back(item.Title);
      total = AddSizes(total, item.Size);
    }
    const uint64_t half = (GetTotalPhysicalMemory() + 1) / 2;
    if (static_cast<uint64_t>(total) > half)
      guard.Raise("The size of the files to use is too big.");

    TCommonTextResult result;
    if (!RunJob(job, result)) guard.TakeOver();
    if (result.End == TCommonTextEnd::Stopped) {
      // Else the label would still say the work goes on.
      ShowStep("Stopped.");
      return;
    }
    if (result.End == TCommonTextEnd::TooManyMatches) {
      ReportEdit->setPlainText(ToQString(result.Report));
      ShowWarning("Too many matches. The operation has been aborted.\nChange the options to "
                  "restrict the matches.");
      return;
    }
    if (result.ReportTooBig) {
      ReportEdit->setPlainText("Report too big.");
      return;
    }
    if (result.MatchCount == 0) {
      ShowStep("No matches found.");
      cv::ShowInformation("No matches found.");
      return;
    }
    Report = std::move(result.Report);
    QString shown = ToQString(Report);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    ReportEdit->setPlainText(shown);
    ShowStep("Done.");
  });
  SetRunning(false);
  guard.Show("Failed to find common text.");
  if (CloseWhenDone) {
    QDialog::reject();
    return;
  }
  ReportEdit->setFocus();
}

bool TCommonTextForm::RunJob(const TCommonTextJob& job, TCommonTextResult& result) {
  CurrentRun->Abandon();
  auto run = std::make_shared<TCommonTextRun>(*this);
  CurrentRun = run;
  QEventLoop loop;
  run->Loop = &loop;
  StartDetached([run, job] {
    // A failure the work itself shows reaches the user on the window's thread.
    SetThreadUserInterface(run.get());
    run->Succeeded = RunCommonText(job, *run, run->Result);
    run->Failure = FunStatContext;
    SetThreadUserInterface(nullptr);
    TCommonTextRun::Post([run] { run->End(); });
  });
  loop.exec();
  run->Loop = nullptr;
  if (!run->Ended) {
    // Left behind: the worker may still write its result.
    result.End = TCommonTextEnd::Stopped;
    return true;
  }
  result = std::move(run->Result);
  if (run->Succeeded) return true;
  FunStatContext = run->Failure;
  return false;
}

void TCommonTextForm::Stop() {
  if (!IsRunning) return;
  CurrentRun->StopFlag = true;
  QTimer::singleShot(AbandonAfterMs, this, [run = std::weak_ptr<TCommonTextRun>(CurrentRun)] {
    if (const auto held = run.lock(); held && !held->Ended && held->Loop) held->Abandon();
  });
}

bool TCommonTextForm::CopyReport() {
  return CopyTextToClipboard(Report, "Failed to copy text to clipboard.");
}

void TCommonTextForm::ShowStep(const std::string& text) { StepLabel->setText(ToQString(text)); }

void TCommonTextForm::ShowInformation(const std::string& text) {
  InformationLabel->setText(ToQString(text));
}

void TCommonTextForm::reject() {
  // Cancel and Esc stop a running comparison; the dialog closes once it ended.
  if (IsRunning) {
    CloseWhenDone = true;
    Stop();
    return;
  }
  QDialog::reject();
}

void TCommonTextForm::closeEvent(QCloseEvent* event) {
  if (IsRunning) {
    CloseWhenDone = true;
    Stop();
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TCommonTextForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    ShowHelp(HelpContext);
    return;
  }
  QDialog::keyPressEvent(event);
}

} // namespace cv
