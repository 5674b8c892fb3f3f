#include "fileops/FileForm.h"

#include "columns/Column.h"
#include "fileops/OverwriteForm.h"
#include "filesystem/File.h"
#include "filesystem/Links.h"
#include "foundation/BusyCount.h"
#include "foundation/Clipboard.h"
#include "foundation/Error.h"
#include "foundation/Help.h"
#include "foundation/QtText.h"
#include "foundation/Text.h"
#include "foundation/UserInterface.h"
#include "foundation/Utilities.h"

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
#include <QVBoxLayout>

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
    : QDialog(parent), Settings(settings), Clock(clock), FileEngine(*this, clock) {
  BuildControls();
}

TFileForm::~TFileForm() = default;

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
  // "Convert picture" needs the picture converter, which the engine does not have yet.
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
  SourceLabel->SetFullText(ToQString(request.WholeDirectory ? request.SourceTitle : Sources[0]));
  DestinationLabel->SetFullText(ToQString(DestinationDirectory));

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

  if (const std::string warning = ValidateFileEngineSettings(settings); !warning.empty()) {
    ShowWarning(warning);
    return Finish(settings);
  }
  SetControlsEnabled(false);
  IsRunning = true;
  {
    // Timers and re-focusing leave the columns alone while files change under them.
    TBusyScope busy;
    FileEngine.Run(settings, Sources, DestinationDirectory);
  }
  IsRunning = false;
  if (FileEngine.IgnoreEncryption()) IgnoreEncryptionBox->setChecked(true);
  Finish(settings);
}

void TFileForm::Finish(const TFileEngineSettings& settings) {
  for (QComboBox* box : {IncludeBox, ExcludeBox}) {
    AddToComboHistory(box, settings.Exclude);
    AddToComboHistory(box, settings.Include);
  }
  if (settings.PrefixMode != TPrefixMode::None) AddToComboHistory(PrefixBox, settings.Prefix);
  SourceColumn->List.RepaintAll();
  accept();
}

void TFileForm::reject() {
  // Cancel, Esc and the close button stop a running operation; the dialog
  // closes when the engine has returned.
  if (IsRunning) {
    FileEngine.Cancel();
    return;
  }
  QDialog::reject();
}

void TFileForm::closeEvent(QCloseEvent* event) {
  if (IsRunning) {
    FileEngine.Cancel();
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
  SourceLabel->SetFullText(ToQString(display.Source));
  DestinationLabel->SetFullText(ToQString(display.Destination));
}

void TFileForm::PumpEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (OnEnginePump) OnEnginePump();
}

void TFileForm::Deselect(size_t sourceIndex) {
  if (sourceIndex < SourceIndices.size() && !Request.WholeDirectory)
    SourceColumn->DeselectItem(SourceIndices[sourceIndex]);
}

bool TFileForm::CopyToClipboard(const std::string& text, const std::vector<std::string>& titles) {
  // Clipped titles paste as files in other programs; a comparison is a report.
  if (Operation == TFileOperation::ClipTitles) return SetClipboardFiles(titles, text);
  return SetClipboardText(text);
}

void TFileForm::RenameContainerItem(const std::string& oldTitle, const std::string& newTitle) {
  if (SourceColumn->ContainerIndex >= 0 && OnContainerItemMoved)
    OnContainerItemMoved(SourceColumn->ContainerIndex, oldTitle, newTitle);
}

} // namespace cv
