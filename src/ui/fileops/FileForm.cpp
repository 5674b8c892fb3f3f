#include "fileops/FileForm.h"

#include "columns/Column.h"
#include "fileops/OverwriteForm.h"
#include "fileops/UndoJournal.h"
#include "filesystem/File.h"
#include "filesystem/Links.h"
#include "filesystem/Partitions.h"
#include "foundation/BusyCount.h"
#include "foundation/Clipboard.h"
#include "foundation/Error.h"
#include "foundation/Help.h"
#include "foundation/OffThread.h"
#include "foundation/QtText.h"
#include "foundation/Text.h"
#include "foundation/UserInterface.h"
#include "foundation/Utilities.h"
#include "foundation/WindowThreadRun.h"
#include "pictures/PictureCodecs.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace cv {
namespace {

constexpr int FileOperationHelpContext = 401;

const char* const PredefinedFilters[] = {"Text files", "Picture files", "Video files",
                                         "Audio files", "No backup files"};

QComboBox* FilterBox() {
  auto* box = new QComboBox;
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  for (const char* name : PredefinedFilters)
    box->addItem(QString::fromUtf8(name));
  box->setCurrentText({});
  box->setMinimumContentsLength(18);
  return box;
}

TElidedLabel* InfoLabel() {
  auto* label = new TElidedLabel;
  label->setMinimumWidth(520);
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  return label;
}

QPushButton* Button(const QString& caption) {
  auto* button = new QPushButton(caption);
  button->setAutoDefault(false);
  return button;
}

// The texts the Okay buttons use; the histories hold what was typed.
std::string BoxText(const QComboBox* box) {
  return FromQString(box->currentText());
}

} // namespace

namespace {

// How long a cancelled run may take to stop before the dialog leaves its
// thread behind: enough for a copy to drop its unfinished file.
constexpr int AbandonAfterMs = 500;


// While the engine works, the dialog and the questions of the run take
// input; the main window and everything else refuse it, as with a modal
// dialog, but a close request from the window manager still reaches them.
class TRunInput : public QObject {
public:
  explicit TRunInput(QWidget& dialog) : Dialog(dialog) {
    QCoreApplication::instance()->installEventFilter(this);
  }
  ~TRunInput() override { QCoreApplication::instance()->removeEventFilter(this); }
  TRunInput(const TRunInput&) = delete;
  TRunInput& operator=(const TRunInput&) = delete;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!IsInputEvent(event->type()) || !watched->isWidgetType()) return false;
    for (auto* widget = static_cast<QWidget*>(watched); widget; widget = widget->parentWidget())
      if (widget == &Dialog || (widget->isWindow() && widget->isModal())) return false;
    return true;
  }

private:
  QWidget& Dialog;
};

} // namespace

// What a run shares between the window's thread and the engine's. The
// engine's thread holds it too, so a thread left behind in a file system
// that does not answer never reaches a dialog that is gone: once abandoned,
// whatever it asks gets the answer that stops it, and shows nowhere.
class TFileRun final : public TFileEngineHost, public TWindowThreadRun<TFileForm, TFileRun> {
public:
  TFileRun(TFileForm& form, TSecondsClock clock) : TWindowThreadRun(form), Engine(*this, clock) {}

  TFileEngine Engine;
  // Set before the thread starts.
  bool PumpHook = false;
  std::function<void()> StepHook;
  // The window's task, when it runs one instead of the engine.
  std::shared_ptr<TFileTask> Task;

  // ---- Engine host: each call is answered on the window's thread ----
  TOverwriteChoice AskOverwrite(const TOverwriteView& view) override {
    return Call<TOverwriteChoice>([view](TFileForm& form) { return form.AskOverwrite(view); })
        .value_or(TOverwriteChoice::Abort);
  }
  bool AskYesNo(const std::string& question) override {
    return Call<bool>([question](TFileForm& form) { return form.AskYesNo(question); })
        .value_or(false);
  }
  void ShowProgress(const TFileEngineDisplay& display) override {
    if (OnWindowThread()) {
      if (Form) Form->ShowProgress(display);
      return;
    }
    // The engine does not wait for the screen: the newest texts are shown
    // when the window gets to them.
    const std::lock_guard lock(Lock);
    Pending = display;
    if (std::exchange(ProgressPosted, true) || Abandoned) return;
    Post([run = shared_from_this()] {
      TFileEngineDisplay shown;
      {
        const std::lock_guard lock(run->Lock);
        shown = run->Pending;
        run->ProgressPosted = false;
      }
      if (run->Form) run->Form->ShowProgress(shown);
    });
  }
  void PumpEvents() override {
    if (PumpHook)
      Call<bool>([](TFileForm& form) {
        form.PumpEvents();
        return true;
      });
  }
  void Deselect(size_t sourceIndex) override {
    if (StepHook) StepHook();
    Call<bool>([sourceIndex](TFileForm& form) {
      form.Deselect(sourceIndex);
      return true;
    });
  }
  bool CopyToClipboard(const std::string& text, const std::vector<std::string>& titles) override {
    return Call<bool>(
               [text, titles](TFileForm& form) { return form.CopyToClipboard(text, titles); })
        .value_or(false);
  }
  void RenameContainerItem(const std::string& oldTitle, const std::string& newTitle) override {
    Call<bool>([oldTitle, newTitle](TFileForm& form) {
      form.RenameContainerItem(oldTitle, newTitle);
      return true;
    });
  }

private:
  TFileEngineDisplay Pending;
  bool ProgressPosted = false;
};

void TElidedLabel::SetFullText(const QString& text) {
  Full = text;
  setToolTip(text);
  Elide();
}

void TElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

void TElidedLabel::Elide() {
  setText(fontMetrics().elidedText(Full, Qt::ElideMiddle, std::max(width(), 40)));
}

TFileForm::TFileForm(TFileFormSettings& settings, QWidget* parent, TSecondsClock clock)
    : QDialog(parent), Settings(settings), Clock(clock),
      CurrentRun(std::make_shared<TFileRun>(*this, clock)) {
  BuildControls();
}

TFileForm::~TFileForm() {
  CurrentRun->Abandon();
}

TFileEngine& TFileForm::Engine() {
  return CurrentRun->Engine;
}

void TFileForm::BuildControls() {
  auto* info = new QGroupBox;
  auto* infoForm = new QFormLayout(info);
  TotalLabel = InfoLabel();
  CurrentLabel = InfoLabel();
  SourceLabel = InfoLabel();
  DestinationLabel = InfoLabel();
  infoForm->addRow(tr("Total"), TotalLabel);
  infoForm->addRow(tr("Current"), CurrentLabel);
  infoForm->addRow(tr("Source"), SourceLabel);
  infoForm->addRow(tr("Destination"), DestinationLabel);

  OptionsPanel = new QWidget;
  auto* optionsGrid = new QGridLayout(OptionsPanel);
  optionsGrid->setContentsMargins(0, 0, 0, 0);

  auto* optionsGroup = new QGroupBox(tr("Options"));
  auto* optionsLayout = new QVBoxLayout(optionsGroup);
  StopAfterCountBox =
      new QCheckBox(tr("Stop after files are counted, and ask whether to continue"));
  IgnoreEncryptionBox = new QCheckBox(tr("Ignore encryption warnings"));
  optionsLayout->addWidget(StopAfterCountBox);
  optionsLayout->addWidget(IgnoreEncryptionBox);

  auto* filtersGroup = new QGroupBox(tr("Filters"));
  auto* filtersForm = new QFormLayout(filtersGroup);
  IncludeBox = FilterBox();
  ExcludeBox = FilterBox();
  filtersForm->addRow(tr("Include"), IncludeBox);
  filtersForm->addRow(tr("Exclude"), ExcludeBox);

  PrefixGroup = new QGroupBox(tr("File name prefix (not used for directory names)"));
  auto* prefixLayout = new QGridLayout(PrefixGroup);
  PrefixBox = new QComboBox;
  PrefixBox->setEditable(true);
  PrefixBox->setInsertPolicy(QComboBox::NoInsert);
  ByCurrentButton = Button(tr("By current"));
  ByCreationButton = Button(tr("By creation"));
  RecurseBox = new QCheckBox(tr("Recurse subdirectories"));
  prefixLayout->addWidget(PrefixBox, 0, 0, 1, 2);
  prefixLayout->addWidget(ByCurrentButton, 1, 0);
  prefixLayout->addWidget(ByCreationButton, 1, 1);
  prefixLayout->addWidget(RecurseBox, 2, 0, 1, 2);

  ConvertGroup = new QGroupBox(tr("Convert picture"));
  auto* convertForm = new QFormLayout(ConvertGroup);
  FormatBox = new QComboBox;
  std::vector<std::string> formats;
  LoadPictureConvertFilters(formats);
  for (const std::string& format : formats)
    FormatBox->addItem(ToQString(format));
  QualityBox = new QComboBox;
  QualityBox->setEditable(true);
  for (int quality = 0; quality <= 100; quality += 5)
    QualityBox->addItem(QString::number(quality));
  NormalizeBox = new QCheckBox(tr("Normalize size"));
  convertForm->addRow(tr("Format"), FormatBox);
  convertForm->addRow(tr("Quality"), QualityBox);
  convertForm->addRow(NormalizeBox);

  optionsGrid->addWidget(optionsGroup, 0, 0, 1, 2);
  optionsGrid->addWidget(filtersGroup, 1, 0);
  optionsGrid->addWidget(PrefixGroup, 1, 1);
  optionsGrid->addWidget(ConvertGroup, 2, 0, 1, 2);

  OkayButton = Button(tr("&Okay"));
  OkayButton->setDefault(true);
  OkayNoErrorsButton = Button(tr("O&kay (no errors)"));
  AddPrefixButton = Button(tr("Okay (add prefix)"));
  ReplacePrefixButton = Button(tr("Okay (replace prefix)"));
  CancelButton = Button(tr("&Cancel"));
  HelpButton = Button(tr("&Help"));
  OptionsButton = Button(tr("Options"));
  OptionsButton->setCheckable(true);
  ConvertButton = Button(tr("Convert"));
  ConvertButton->setCheckable(true);
  auto* buttons = new QGridLayout;
  buttons->addWidget(OkayButton, 0, 0);
  buttons->addWidget(OkayNoErrorsButton, 0, 1);
  buttons->addWidget(AddPrefixButton, 0, 2);
  buttons->addWidget(ReplacePrefixButton, 0, 3);
  buttons->addWidget(CancelButton, 1, 0);
  buttons->addWidget(HelpButton, 1, 1);
  buttons->addWidget(OptionsButton, 1, 2);
  buttons->addWidget(ConvertButton, 1, 3);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(info);
  layout->addWidget(OptionsPanel);
  layout->addLayout(buttons);
  // The window's height follows the options panel.
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(OkayButton, &QPushButton::clicked, this, [this] { Do(TPrefixMode::None, false); });
  connect(OkayNoErrorsButton, &QPushButton::clicked, this, [this] { Do(TPrefixMode::None, true); });
  connect(AddPrefixButton, &QPushButton::clicked, this, [this] { Do(TPrefixMode::Add, false); });
  connect(ReplacePrefixButton, &QPushButton::clicked, this,
          [this] { Do(TPrefixMode::Replace, false); });
  connect(CancelButton, &QPushButton::clicked, this, &TFileForm::reject);
  connect(HelpButton, &QPushButton::clicked, this, [] { ShowHelp(FileOperationHelpContext); });
  connect(OptionsButton, &QPushButton::toggled, this, [this](bool down) {
    Settings.ShowFileOptions = down;
    ShowOptionsPanel();
  });
  connect(ConvertButton, &QPushButton::toggled, this, [this](bool down) {
    Settings.ShowOptionsConvert = down;
    ShowOptionsPanel();
  });
  connect(StopAfterCountBox, &QCheckBox::toggled, this,
          [this](bool checked) { Settings.StopAfterCount = checked; });
  connect(ByCurrentButton, &QPushButton::clicked, this, [this] { SetPrefixByTime(false); });
  connect(ByCreationButton, &QPushButton::clicked, this, [this] { SetPrefixByTime(true); });
}

bool TFileForm::IsConvert() const {
  return SameTextFolded(Request.Operation, "Convert picture");
}

void TFileForm::ShowOptionsPanel() {
  OptionsPanel->setVisible(OptionsButton->isChecked() ||
                           (ConvertButton->isChecked() && IsConvert()));
  // The height follows the panel; the window stays centred on the main window.
  adjustSize();
  if (QWidget* owner = parentWidget()) {
    const QRect frame = owner->frameGeometry();
    move(frame.center().x() - width() / 2, frame.center().y() - height() / 2);
  }
}

void TFileForm::SetPrefixByTime(bool creation) {
  TDateTime when = NowDateTime();
  if (creation) {
    const TFileListData* item = SourceColumn ? SourceColumn->FocusedItem() : nullptr;
    if (!item) return;
    when = ConvertFileTime(static_cast<uint64_t>(item->Created));
  }
  PrefixBox->setCurrentText(ToQString(TimePrefixText(when)));
  PrefixBox->lineEdit()->selectAll();
  PrefixBox->setFocus();
}

bool TFileForm::Open(const TFileFormRequest& request, TColumn& sourceColumn) {
  if (IsRunning || sourceColumn.Count() == 0 || (sourceColumn.Busy && sourceColumn.Busy->Busy()))
    return false;
  if (request.TwoColumn && request.DestinationTitle.empty()) return false;
  if (!ParseFileOperation(request.Operation, Operation)) return false;
  Request = request;
  SourceColumn = &sourceColumn;
  Okayed = false;

  Sources.clear();
  SourceIndices.clear();
  if (request.WholeDirectory) {
    Sources.push_back(IncludeDelimiter(request.SourceTitle));
    SourceIndices.push_back(request.ActiveIndex);
  } else if (sourceColumn.SelCount > 0) {
    for (int i = 0; i < sourceColumn.Count(); ++i)
      if (sourceColumn.Items[static_cast<size_t>(i)].Selected) {
        Sources.push_back(sourceColumn.Items[static_cast<size_t>(i)].Title);
        SourceIndices.push_back(i);
      }
  } else {
    const int index = std::clamp(request.ActiveIndex, 0, sourceColumn.Count() - 1);
    Sources.push_back(sourceColumn.Items[static_cast<size_t>(index)].Title);
    SourceIndices.push_back(index);
  }

  if (!request.TwoColumn)
    DestinationDirectory.clear();
  else if (request.FromDrop) {
    bool isDirectory = false, isLink = false;
    DestinationDirectory = IncludeDelimiter(
        GetWhenReference(request.DestinationTitle, &isDirectory, &isLink, nullptr, true));
    FunStatContext.Reset(fsPerfect);
  } else {
    DestinationDirectory = GetTitlePath(request.DestinationTitle);
  }

  setWindowTitle(ToQString(request.Operation + (request.FromDrop ? " (from drop)" : "")));
  TotalLabel->SetFullText({});
  CurrentLabel->SetFullText(ToQString(sourceColumn.SelCount > 0 && !request.WholeDirectory
                                          ? request.Operation + " " +
                                                std::to_string(sourceColumn.SelCount) +
                                                " selected files / directories?"
                                          : request.Operation + " focused file / directory?"));
  SourceLabel->SetFullText(
      ToQString(PartitionDisplayText(request.WholeDirectory ? request.SourceTitle : Sources[0])));
  DestinationLabel->SetFullText(ToQString(PartitionDisplayText(DestinationDirectory)));

  const bool prefix = OperationAllowsPrefix(Operation);
  AddPrefixButton->setEnabled(prefix);
  ReplacePrefixButton->setEnabled(prefix);
  PrefixGroup->setEnabled(prefix);
  ConvertGroup->setEnabled(IsConvert());
  IgnoreEncryptionBox->setEnabled(Operation == TFileOperation::Copy);
  IncludeBox->setCurrentText({});
  ExcludeBox->setCurrentText({});
  if (PrefixBox->findText(PrefixBox->currentText()) < 0) PrefixBox->setCurrentText({});
  if (!request.Prefix.empty()) PrefixBox->setCurrentText(ToQString(request.Prefix));

  StopAfterCountBox->setChecked(Settings.StopAfterCount);
  SetComboIndexByText(FormatBox, Settings.PictureConverterFormat, "JPEG");
  SetComboIndexByText(QualityBox, std::to_string(Settings.PictureConverterQuality), "80");
  NormalizeBox->setChecked(Settings.NormalizePictureSize);
  {
    const QSignalBlocker options(OptionsButton), convert(ConvertButton);
    OptionsButton->setChecked(Settings.ShowFileOptions);
    ConvertButton->setChecked(Settings.ShowOptionsConvert);
  }
  ShowOptionsPanel();
  SetControlsEnabled(true);
  OkayButton->setFocus();
  return true;
}

bool TFileForm::Dialog(const TFileFormRequest& request, TColumn& sourceColumn) {
  if (!Open(request, sourceColumn)) return false;
  exec();
  return Okayed;
}

void TFileForm::SetControlsEnabled(bool enabled) {
  const bool prefix = OperationAllowsPrefix(Operation);
  for (QPushButton* button :
       {OkayButton, OkayNoErrorsButton, HelpButton, OptionsButton, ConvertButton})
    button->setEnabled(enabled);
  AddPrefixButton->setEnabled(enabled && prefix);
  ReplacePrefixButton->setEnabled(enabled && prefix);
  OptionsPanel->setEnabled(enabled);
}

void TFileForm::Do(TPrefixMode mode, bool noErrors) {
  if (IsRunning || !SourceColumn) return;
  Okayed = true;
  TFileEngineSettings settings;
  settings.Operation = Request.Operation;
  settings.Include = BoxText(IncludeBox);
  settings.Exclude = BoxText(ExcludeBox);
  settings.Prefix = BoxText(PrefixBox);
  settings.PrefixMode = mode;
  settings.RecursePrefix = RecurseBox->isChecked();
  settings.NoErrors = noErrors;
  settings.StopAfterCount = StopAfterCountBox->isChecked();
  settings.IgnoreEncryption = IgnoreEncryptionBox->isChecked();
  Settings.NormalizePictureSize = NormalizeBox->isChecked();
  // Kept within what loading accepts, so the next start reads it back.
  Settings.PictureConverterQuality = std::clamp(QualityBox->currentText().toInt(), 0, 100);
  Settings.PictureConverterFormat = BoxText(FormatBox);
  settings.PictureFormat = Settings.PictureConverterFormat;
  settings.PictureQuality = QualityBox->currentText().toInt() * 0.01;
  settings.NormalizePicture = Settings.NormalizePictureSize;

  if (const std::string warning = ValidateFileEngineSettings(settings); !warning.empty()) {
    ShowWarning(warning);
    return Finish(settings);
  }
  SetControlsEnabled(false);
  IsRunning = true;
  LiftModality();
  {
    // Timers and re-focusing leave the columns alone while files change under them.
    TBusyScope busy;
    RunEngine(settings);
  }
  IsRunning = false;
  // A thread left behind may still write the engine's settings.
  if (CurrentRun->Ended && CurrentRun->Engine.IgnoreEncryption())
    IgnoreEncryptionBox->setChecked(true);
  Finish(settings);
}

void TFileForm::LiftModality() {
  // A modal dialog keeps the window manager's close request from the main
  // window, which asks whether to cancel; the run refuses other input itself.
  if (!isVisible() || !isModal()) return;
  hide();
  setWindowModality(Qt::NonModal);
  show();
}

void TFileForm::RunEngine(const TFileEngineSettings& settings) {
  RunOnThread([](TFileRun& run) { run.Engine.RecordInto(&ProgramJournal()); },
              [settings, sources = Sources, destination = DestinationDirectory](TFileRun& run) {
                run.Engine.Run(settings, sources, destination);
              });
}

void TFileForm::RunOnThread(const std::function<void(TFileRun& run)>& prepare,
                            std::function<void(TFileRun& run)> work) {
  CurrentRun->Abandon();
  auto run = std::make_shared<TFileRun>(*this, Clock);
  CurrentRun = run;
  run->PumpHook = static_cast<bool>(OnEnginePump);
  run->StepHook = OnEngineStep;
  prepare(*run);
  QEventLoop loop;
  run->Loop = &loop;
  const TRunInput refuse(*this);
  StartDetached([run, work = std::move(work)] {
    // Its failures and questions reach the user through the window's thread.
    SetThreadUserInterface(run.get());
    work(*run);
    SetThreadUserInterface(nullptr);
    if (QCoreApplication* app = QCoreApplication::instance())
      QMetaObject::invokeMethod(
          app, [run] { run->End(); }, Qt::QueuedConnection);
  });
  loop.exec();
  run->Loop = nullptr;
}

void TFileForm::RunTask(const std::string& caption, TColumn* column, std::vector<int> indices,
                        const TFileTaskMaker& make) {
  if (IsRunning) return;
  Request = {};
  Request.Operation = caption;
  SourceColumn = column;
  SourceIndices = std::move(indices);
  Sources.clear();
  setWindowTitle(ToQString(caption));
  for (TElidedLabel* label : {TotalLabel, CurrentLabel, SourceLabel, DestinationLabel})
    label->SetFullText({});
  CurrentLabel->SetFullText(ToQString(caption + "..."));
  SetControlsEnabled(false);
  OptionsPanel->setVisible(false);
  adjustSize();
  if (QWidget* owner = parentWidget()) {
    const QRect frame = owner->frameGeometry();
    move(frame.center().x() - width() / 2, frame.center().y() - height() / 2);
  }
  // Not modal: the window manager's close request still reaches the main window.
  setWindowModality(Qt::NonModal);
  show();
  IsRunning = true;
  {
    TBusyScope busy;
    RunOnThread([&make](TFileRun& run) { run.Task = make(run); },
                [](TFileRun& run) { run.Task->Run(); });
  }
  IsRunning = false;
  hide();
}

void TFileForm::CancelRun() {
  if (!IsRunning) return;
  CurrentRun->Engine.Cancel();
  if (CurrentRun->Task) CurrentRun->Task->Cancel();
  QTimer::singleShot(AbandonAfterMs, this, [run = std::weak_ptr<TFileRun>(CurrentRun)] {
    if (const auto held = run.lock(); held && !held->Ended && held->Loop) held->Abandon();
  });
}

void TFileForm::Finish(const TFileEngineSettings& settings) {
  for (QComboBox* box : {IncludeBox, ExcludeBox}) {
    AddToComboHistory(box, settings.Exclude);
    AddToComboHistory(box, settings.Include);
  }
  if (settings.PrefixMode != TPrefixMode::None) AddToComboHistory(PrefixBox, settings.Prefix);
  if (SourceColumn) SourceColumn->List.RepaintAll();
  accept();
}

void TFileForm::reject() {
  // Cancel, Esc and the close button stop a running operation; the dialog
  // closes when the engine has returned.
  if (IsRunning) {
    CancelRun();
    return;
  }
  QDialog::reject();
}

void TFileForm::closeEvent(QCloseEvent* event) {
  if (IsRunning) {
    CancelRun();
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

TOverwriteChoice TFileForm::AskOverwrite(const TOverwriteView& view) {
  return OverwriteAsk ? OverwriteAsk(view) : cv::AskOverwrite(view);
}

bool TFileForm::AskYesNo(const std::string& question) {
  return cv::AskYesNo(question);
}

void TFileForm::ShowProgress(const TFileEngineDisplay& display) {
  if (!display.Total.empty()) TotalLabel->SetFullText(ToQString(display.Total));
  if (!display.Current.empty()) CurrentLabel->SetFullText(ToQString(display.Current));
  SourceLabel->SetFullText(ToQString(PartitionDisplayText(display.Source)));
  DestinationLabel->SetFullText(ToQString(PartitionDisplayText(display.Destination)));
}

void TFileForm::PumpEvents() {
  if (OnEnginePump) OnEnginePump();
}

void TFileForm::Deselect(size_t sourceIndex) {
  if (SourceColumn && sourceIndex < SourceIndices.size() && !Request.WholeDirectory)
    SourceColumn->DeselectItem(SourceIndices[sourceIndex]);
}

bool TFileForm::CopyToClipboard(const std::string& text, const std::vector<std::string>& titles) {
  // Clipped titles paste as files in other programs; a comparison is a report.
  if (Operation == TFileOperation::ClipTitles) return SetClipboardFiles(titles, text);
  return SetClipboardText(text);
}

void TFileForm::RenameContainerItem(const std::string& oldTitle, const std::string& newTitle) {
  if (SourceColumn && SourceColumn->ContainerIndex >= 0 && OnContainerItemMoved)
    OnContainerItemMoved(SourceColumn->ContainerIndex, oldTitle, newTitle);
}

} // namespace cv
