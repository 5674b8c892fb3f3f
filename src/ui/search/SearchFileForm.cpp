#include "search/SearchFileForm.h"

#include "columns/Column.h"
#include "columns/Container.h"
#include "fileops/FileFormSettings.h"
#include "fileops/Run.h"
#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/Clipboard.h"
#include "foundation/Guard.h"
#include "foundation/Help.h"
#include "foundation/OffThread.h"
#include "foundation/QtText.h"
#include "foundation/StoredTextList.h"
#include "foundation/UserInterface.h"
#include "foundation/Utilities.h"
#include "foundation/WindowThreadRun.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <unordered_set>
#include <utility>

namespace cv {

namespace {

constexpr const char* Section = "SearchFile";
// How long a stopped search may take before the dialog leaves its thread
// behind in a file system that does not answer.
constexpr int AbandonAfterMs = 500;

const char* const PredefinedPatterns[] = {"Text files", "Picture files", "Video files",
                                          "Audio files", "No backup files"};


QComboBox* HistoryBox(int minimumLength = 18) {
  auto* box = new QComboBox;
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setMinimumContentsLength(minimumLength);
  return box;
}

QComboBox* ListBox(std::initializer_list<const char*> items) {
  auto* box = new QComboBox;
  for (const char* item : items)
    box->addItem(QString::fromUtf8(item));
  return box;
}

QPushButton* Button(const char* caption) {
  auto* button = new QPushButton(QString::fromUtf8(caption));
  button->setAutoDefault(false);
  return button;
}

std::string BoxText(const QComboBox* box) {
  return FromQString(box->currentText());
}

void SetBoxItem(QComboBox* box, const std::string& text) {
  const int found = box->findText(ToQString(text), Qt::MatchFixedString);
  if (found >= 0) box->setCurrentIndex(found);
}

} // namespace

bool IsSearchPatternText(std::string_view text) {
  return !text.empty() && text.find_first_of(std::string_view("/\0\r\n", 4)) == text.npos;
}

// What a search shares between the window's thread and the engine's; the
// engine's thread holds it too, so a thread left behind in a file system
// that does not answer never reaches a dialog that is gone.
class TSearchRun final : public TSearchHost, public TWindowThreadRun<TSearchFileForm, TSearchRun> {
public:
  explicit TSearchRun(TSearchFileForm& form) : TWindowThreadRun(form), Engine(*this) {}

  TSearchEngine Engine;

  // ---- Engine host ----
  void Found(const std::vector<TFoundBatchItem>& batch) override {
    // Posted in order: the window inserts each batch at the engine's places.
    Post([run = shared_from_this(), batch] {
      if (run->Form) run->Form->AddFound(batch);
    });
  }
  void ShowProgress(const std::string& lookingIn, const std::string& information) override {
    Post([run = shared_from_this(), lookingIn, information] {
      if (run->Form) run->Form->ShowProgress(lookingIn, information);
    });
  }
  void PumpEvents() override {} // the window serves its own events
  bool ReportError(const TFunStatContext& failure, const std::string& sentence) override {
    return Call<bool>([failure, sentence](TSearchFileForm& form) {
             return form.ReportError(failure, sentence);
           })
        .value_or(false);
  }
  void Deselect(size_t index) override {
    Post([run = shared_from_this(), index] {
      if (run->Form) run->Form->DeselectSearched(index);
    });
  }
};

// ---- Settings ---------------------------------------------------------

void TSearchFileSettings::Read(const TStoredTextList& ini) {
  ini.ReadBool(Section, "SearchSimilar", SearchSimilar);
  ini.ReadBool(Section, "Recursive", Recursive);
  ini.ReadBool(Section, "FindDirs", FindDirs);
  ini.ReadBool(Section, "FindFiles", FindFiles);
  ini.ReadBool(Section, "ConsiderAllSelected", ConsiderAllSelected);
  ini.ReadBool(Section, "FreeHandFilter", FreeHandFilter);
  ini.ReadBool(Section, "NearDetection", NearDetection);
  ini.ReadBool(Section, "AllFilters", AllFilters);
  ini.ReadBool(Section, "AlwaysFocusThis", AlwaysFocusThis);
  ini.ReadText(Section, "FileParts", FileParts, false, 31);
  ini.ReadText(Section, "Stem", Stem, false, 31);
  ini.ReadBool(Section, "ReuseContainer", ReuseContainer);
  ini.ReadInt(Section, "UseColumnForContainer", UseColumnForContainer, 10, 1);
  ini.ReadBool(Section, "ShowSearchBoard", ShowSearchBoard);
  ini.ReadBool(Section, "SwitchMouseOperations", SwitchMouseOperations);
  ini.ReadText(Section, "CreationMinTime", CreationMinTime, true, 31);
  ini.ReadText(Section, "CreationMaxTime", CreationMaxTime, true, 31);
  ini.ReadText(Section, "ModifiedMinTime", ModifiedMinTime, true, 31);
  ini.ReadText(Section, "ModifiedMaxTime", ModifiedMaxTime, true, 31);
  ini.ReadText(Section, "SizeMin", SizeMin, true, 31);
  ini.ReadText(Section, "SizeMax", SizeMax, true, 31);
  ini.ReadText(Section, "TimeMeasurementUnit", TimeMeasurementUnit, false, 31);
  ini.ReadText(Section, "SizeMeasurementUnit", SizeMeasurementUnit, false, 31);
}

void TSearchFileSettings::Write(TStoredTextList& ini) const {
  ini.WriteBool(Section, "SearchSimilar", SearchSimilar);
  ini.WriteBool(Section, "Recursive", Recursive);
  ini.WriteBool(Section, "FindDirs", FindDirs);
  ini.WriteBool(Section, "FindFiles", FindFiles);
  ini.WriteBool(Section, "ConsiderAllSelected", ConsiderAllSelected);
  ini.WriteBool(Section, "FreeHandFilter", FreeHandFilter);
  ini.WriteBool(Section, "NearDetection", NearDetection);
  ini.WriteBool(Section, "AllFilters", AllFilters);
  ini.WriteBool(Section, "AlwaysFocusThis", AlwaysFocusThis);
  ini.WriteText(Section, "FileParts", FileParts);
  ini.WriteText(Section, "Stem", Stem);
  ini.WriteBool(Section, "ReuseContainer", ReuseContainer);
  ini.WriteInt(Section, "UseColumnForContainer", UseColumnForContainer);
  ini.WriteBool(Section, "ShowSearchBoard", ShowSearchBoard);
  ini.WriteBool(Section, "SwitchMouseOperations", SwitchMouseOperations);
  ini.WriteText(Section, "CreationMinTime", CreationMinTime);
  ini.WriteText(Section, "CreationMaxTime", CreationMaxTime);
  ini.WriteText(Section, "ModifiedMinTime", ModifiedMinTime);
  ini.WriteText(Section, "ModifiedMaxTime", ModifiedMaxTime);
  ini.WriteText(Section, "SizeMin", SizeMin);
  ini.WriteText(Section, "SizeMax", SizeMax);
  ini.WriteText(Section, "TimeMeasurementUnit", TimeMeasurementUnit);
  ini.WriteText(Section, "SizeMeasurementUnit", SizeMeasurementUnit);
}

// ---- The dialog -------------------------------------------------------

TSearchFileForm::TSearchFileForm(TSearchFileSettings& settings, QWidget* parent)
    : QDialog(parent), Settings(settings), CurrentRun(std::make_shared<TSearchRun>(*this)) {
  BuildControls();
}

TSearchFileForm::~TSearchFileForm() {
  CurrentRun->Abandon();
}

void TSearchFileForm::BuildControls() {
  setObjectName("SearchFileForm");
  setWindowTitle("Search file");
  auto* layout = new QVBoxLayout(this);
  Pages = new QTabWidget;
  layout->addWidget(Pages);

  // Page "Name, text".
  auto* namePage = new QWidget;
  auto* namePageLayout = new QHBoxLayout(namePage);
  NameGroup = new QGroupBox("&File name filter");
  auto* nameLayout = new QGridLayout(NameGroup);
  PatternBox = HistoryBox();
  for (const char* name : PredefinedPatterns)
    PatternBox->addItem(QString::fromUtf8(name));
  // The box keeps what was typed last; it starts with every name.
  PatternBox->setCurrentText(QStringLiteral("*"));
  ByCurrentButton = Button("By current");
  nameLayout->addWidget(PatternBox, 0, 0);
  nameLayout->addWidget(ByCurrentButton, 0, 1);
  LookInDirectoriesBox = new QCheckBox("&Look in directories too");
  FindDirectoriesBox = new QCheckBox("Find di&rectories");
  FindFilesBox = new QCheckBox("Find files");
  SimilarBox = new QCheckBox("Search si&milar names");
  AllSelectedBox = new QCheckBox("Consider all selected");
  int row = 1;
  for (QCheckBox* box :
       {LookInDirectoriesBox, FindDirectoriesBox, FindFilesBox, SimilarBox, AllSelectedBox})
    nameLayout->addWidget(box, row++, 0, 1, 2);
  namePageLayout->addWidget(NameGroup);

  TextGroup = new QGroupBox("&Text filter");
  auto* textLayout = new QGridLayout(TextGroup);
  TextBox = HistoryBox();
  textLayout->addWidget(TextBox, 0, 0, 1, 2);
  FilePartsBox = ListBox({"Name", "Description", "Content", "Name, content", "Name, text"});
  StemBox = ListBox({"Any", "Right", "Left", "Word"});
  textLayout->addWidget(new QLabel("File parts"), 1, 0);
  textLayout->addWidget(FilePartsBox, 1, 1);
  textLayout->addWidget(new QLabel("Stem"), 2, 0);
  textLayout->addWidget(StemBox, 2, 1);
  FreeHandBox = new QCheckBox("Free-hand filter");
  NearBox = new QCheckBox("Near detection");
  AllFiltersBox = new QCheckBox("All filters");
  AlwaysFocusBox = new QCheckBox("Always focus this");
  row = 3;
  for (QCheckBox* box : {FreeHandBox, NearBox, AllFiltersBox, AlwaysFocusBox})
    textLayout->addWidget(box, row++, 0, 1, 2);
  namePageLayout->addWidget(TextGroup);
  Pages->addTab(namePage, "Name, text");

  // Page "Time, size".
  auto* limitsPage = new QWidget;
  auto* limits = new QGridLayout(limitsPage);
  auto limit = [&](const char* caption, QCheckBox*& check, QComboBox*& box, int at) {
    check = new QCheckBox(QString::fromUtf8(caption));
    box = HistoryBox(12);
    limits->addWidget(check, at, 0);
    limits->addWidget(box, at, 1);
  };
  limit("Creation minimum", CreationMinCheck, CreationMinBox, 0);
  limit("Creation maximum", CreationMaxCheck, CreationMaxBox, 1);
  limit("Modified minimum", ModifiedMinCheck, ModifiedMinBox, 2);
  limit("Modified maximum", ModifiedMaxCheck, ModifiedMaxBox, 3);
  TimeUnitBox = ListBox({"minutes", "hours", "days", "weeks"});
  limits->addWidget(new QLabel("Measurement unit"), 4, 0);
  limits->addWidget(TimeUnitBox, 4, 1);
  limit("Size minimum", SizeMinCheck, SizeMinBox, 5);
  limit("Size maximum", SizeMaxCheck, SizeMaxBox, 6);
  SizeUnitBox = ListBox({"bytes", "KB", "MB", "GB", "TB"});
  limits->addWidget(new QLabel("Measurement unit"), 7, 0);
  limits->addWidget(SizeUnitBox, 7, 1);
  limits->setRowStretch(8, 1);
  Pages->addTab(limitsPage, "Time, size");

  auto* lookingGroup = new QGroupBox("Looking in");
  auto* lookingLayout = new QVBoxLayout(lookingGroup);
  LookingInLabel = new QLabel;
  LookingInLabel->setTextFormat(Qt::PlainText);
  LookingInLabel->setMinimumWidth(400);
  LookingInLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  lookingLayout->addWidget(LookingInLabel);
  layout->addWidget(lookingGroup);

  auto* foundGroup = new QGroupBox("F&ound files");
  auto* foundLayout = new QGridLayout(foundGroup);
  FoundList = new QListWidget;
  FoundList->setObjectName("FoundList");
  FoundList->setMinimumHeight(160);
  FoundList->setContextMenuPolicy(Qt::CustomContextMenu);
  FoundList->installEventFilter(this);
  FoundList->viewport()->installEventFilter(this);
  foundLayout->addWidget(FoundList, 0, 0, 1, 4);
  InformationLabel = new QLabel;
  InformationLabel->setTextFormat(Qt::PlainText);
  InformationLabel->setToolTip("Information (about the found files)");
  foundLayout->addWidget(InformationLabel, 1, 0, 1, 4);
  SwitchMouseBox = new QCheckBox("Switch mouse operations");
  ReuseContainerBox = new QCheckBox("Reuse container");
  ColumnNumberBox = new QSpinBox;
  ColumnNumberBox->setRange(1, 10);
  ShowBoardBox = new QCheckBox("Show \"Search\" board");
  foundLayout->addWidget(SwitchMouseBox, 2, 0);
  foundLayout->addWidget(ReuseContainerBox, 2, 1);
  foundLayout->addWidget(ColumnNumberBox, 2, 2);
  foundLayout->addWidget(ShowBoardBox, 2, 3);
  PutInSearchButton = Button("&Put in \"Search\" container");
  PutInContainerButton = Button("Put in container");
  ClipAllButton = Button("Clip all titles");
  ClipActiveButton = Button("Clip active title");
  foundLayout->addWidget(PutInSearchButton, 3, 0);
  foundLayout->addWidget(PutInContainerButton, 3, 1);
  foundLayout->addWidget(ClipAllButton, 3, 2);
  foundLayout->addWidget(ClipActiveButton, 3, 3);
  layout->addWidget(foundGroup, 1);

  auto* buttons = new QHBoxLayout;
  SearchNamesButton = Button("&Search names");
  SearchContentButton = Button("Search co&ntent");
  SearchNamesSelectButton = Button("Search names, select");
  SearchContentSelectButton = Button("Search content, select");
  StopButton = Button("S&top");
  CancelButton = Button("&Cancel");
  for (QPushButton* button : {SearchNamesButton, SearchContentButton, SearchNamesSelectButton,
                              SearchContentSelectButton, StopButton, CancelButton})
    buttons->addWidget(button);
  layout->addLayout(buttons);

  ShowFoundListHint();
  connect(SwitchMouseBox, &QCheckBox::toggled, this, [this] { ShowFoundListHint(); });

  connect(SearchNamesButton, &QPushButton::clicked, this, [this] { Do(false, false); });
  connect(SearchContentButton, &QPushButton::clicked, this, [this] { Do(true, false); });
  connect(SearchNamesSelectButton, &QPushButton::clicked, this, [this] { Do(false, true); });
  connect(SearchContentSelectButton, &QPushButton::clicked, this, [this] { Do(true, true); });
  connect(StopButton, &QPushButton::clicked, this, [this] { Stop(); });
  connect(CancelButton, &QPushButton::clicked, this, &TSearchFileForm::reject);
  connect(ByCurrentButton, &QPushButton::clicked, this,
          [this] { PatternBox->lineEdit()->insert(ToQString(TimePrefixText(NowDateTime()))); });
  connect(PutInSearchButton, &QPushButton::clicked, this, [this] {
    Action = TSearchAction::PutInContainer;
    ActionContainer = -2; // the caller's search container
    accept();
  });
  connect(PutInContainerButton, &QPushButton::clicked, this, [this] {
    const int number = ChooseContainer ? ChooseContainer() : -1;
    if (number >= 0) CloseWithContainer(number);
  });
  connect(ClipAllButton, &QPushButton::clicked, this, [this] { ClipAllTitles(); });
  connect(ClipActiveButton, &QPushButton::clicked, this, [this] {
    if (const TFoundItem* item = CurrentFound())
      CopyTextToClipboard(item->Title, "Failed to copy title to clipboard.");
  });
  connect(FoundList, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* line) { LineAction(line, false); });
  connect(FoundList, &QWidget::customContextMenuRequested, this, [this](const QPoint& place) {
    if (QListWidgetItem* line = FoundList->itemAt(place))
      ShowItemMenu(line, FoundList->viewport()->mapToGlobal(place));
  });
  PatternBox->installEventFilter(this);
  TextBox->installEventFilter(this);
}

void TSearchFileForm::ShowFoundListHint() {
  const QString hint =
      QString("Found files. Directories are displayed with bold text. ") +
      (SwitchMouseBox->isChecked()
           ? "[Double LMB] = enter directory / focus file. [Ctrl + LMB] = run file."
           : "[Double LMB] = run file. [Ctrl + LMB] = enter directory / focus file.") +
      " [RMB] = show context menu. [MMB] or [E] = edit file. [F2] = clip current file name "
      "([Ctrl] = clip current file path; [Shift] = clip current file title).";
  FoundList->setStatusTip(hint);
  FoundList->setToolTip(hint);
}

void TSearchFileForm::LoadSettings() {
  const TSearchFileSettings& s = Settings;
  SimilarBox->setChecked(s.SearchSimilar);
  LookInDirectoriesBox->setChecked(s.Recursive);
  FindDirectoriesBox->setChecked(s.FindDirs);
  FindFilesBox->setChecked(s.FindFiles);
  AllSelectedBox->setChecked(s.ConsiderAllSelected);
  FreeHandBox->setChecked(s.FreeHandFilter);
  NearBox->setChecked(s.NearDetection);
  AllFiltersBox->setChecked(s.AllFilters);
  AlwaysFocusBox->setChecked(s.AlwaysFocusThis);
  SetBoxItem(FilePartsBox, s.FileParts);
  SetBoxItem(StemBox, s.Stem);
  ReuseContainerBox->setChecked(s.ReuseContainer);
  ColumnNumberBox->setValue(s.UseColumnForContainer);
  ShowBoardBox->setChecked(s.ShowSearchBoard);
  SwitchMouseBox->setChecked(s.SwitchMouseOperations);
  CreationMinBox->setCurrentText(ToQString(s.CreationMinTime));
  CreationMaxBox->setCurrentText(ToQString(s.CreationMaxTime));
  ModifiedMinBox->setCurrentText(ToQString(s.ModifiedMinTime));
  ModifiedMaxBox->setCurrentText(ToQString(s.ModifiedMaxTime));
  SizeMinBox->setCurrentText(ToQString(s.SizeMin));
  SizeMaxBox->setCurrentText(ToQString(s.SizeMax));
  SetBoxItem(TimeUnitBox, s.TimeMeasurementUnit);
  SetBoxItem(SizeUnitBox, s.SizeMeasurementUnit);
}

void TSearchFileForm::StoreSettings() {
  TSearchFileSettings& s = Settings;
  s.SearchSimilar = SimilarBox->isChecked();
  s.Recursive = LookInDirectoriesBox->isChecked();
  s.FindDirs = FindDirectoriesBox->isChecked();
  s.FindFiles = FindFilesBox->isChecked();
  s.ConsiderAllSelected = AllSelectedBox->isChecked();
  s.FreeHandFilter = FreeHandBox->isChecked();
  s.NearDetection = NearBox->isChecked();
  s.AllFilters = AllFiltersBox->isChecked();
  s.AlwaysFocusThis = AlwaysFocusBox->isChecked();
  s.FileParts = BoxText(FilePartsBox);
  s.Stem = BoxText(StemBox);
  s.ReuseContainer = ReuseContainerBox->isChecked();
  s.UseColumnForContainer = ColumnNumberBox->value();
  s.ShowSearchBoard = ShowBoardBox->isChecked();
  s.SwitchMouseOperations = SwitchMouseBox->isChecked();
  // Stored texts are kept to 31 characters.
  auto cut = [](const QComboBox* box) { return BoxText(box).substr(0, 31); };
  s.CreationMinTime = cut(CreationMinBox);
  s.CreationMaxTime = cut(CreationMaxBox);
  s.ModifiedMinTime = cut(ModifiedMinBox);
  s.ModifiedMaxTime = cut(ModifiedMaxBox);
  s.SizeMin = cut(SizeMinBox);
  s.SizeMax = cut(SizeMaxBox);
  s.TimeMeasurementUnit = BoxText(TimeUnitBox);
  s.SizeMeasurementUnit = BoxText(SizeUnitBox);
}

void TSearchFileForm::Open(TColumn& column, const std::string& model) {
  SearchedColumn = &column;
  Model = model;
  Action = TSearchAction::None;
  ActionTitle.clear();
  ActionContainer = -1;
  FoundItems.clear();
  FoundList->clear();
  InformationLabel->clear();
  LoadSettings();
  for (QCheckBox* box : {CreationMinCheck, CreationMaxCheck, ModifiedMinCheck, ModifiedMaxCheck,
                         SizeMinCheck, SizeMaxCheck})
    box->setChecked(false);
  const bool duplicates = !model.empty();
  setWindowTitle(duplicates ? ToQString("Search duplicate files of \"" + GetTitleName(model) + "\"")
                            : QStringLiteral("Search file"));
  SetControlsEnabled(true);
  if (duplicates) PatternBox->setCurrentText("*");
  LookingInLabel->setText(ToQString(PartitionDisplayText(GetTitlePath(column.ActiveTitle))));
  QComboBox* focus = AlwaysFocusBox->isChecked() && !duplicates ? TextBox : PatternBox;
  focus->setFocus();
  focus->lineEdit()->selectAll();
}

bool TSearchFileForm::Dialog(TColumn& column, const std::string& model) {
  Open(column, model);
  if (!model.empty()) QTimer::singleShot(0, this, [this] { Do(false, false); });
  exec();
  StoreSettings();
  return Action != TSearchAction::None && !FoundItems.empty();
}

void TSearchFileForm::SetControlsEnabled(bool enabled) {
  const bool duplicates = !Model.empty();
  NameGroup->setEnabled(enabled && !duplicates);
  TextGroup->setEnabled(enabled && !duplicates);
  Pages->widget(1)->setEnabled(enabled && !duplicates);
  for (QPushButton* button :
       {SearchNamesButton, SearchContentButton, SearchNamesSelectButton, SearchContentSelectButton})
    button->setEnabled(enabled && !duplicates);
  const bool found = enabled && !FoundItems.empty();
  for (QPushButton* button :
       {PutInSearchButton, PutInContainerButton, ClipAllButton, ClipActiveButton})
    button->setEnabled(found);
  StopButton->setEnabled(!enabled);
}

bool TSearchFileForm::MakeSettings(bool content, bool select, TSearchSettings& settings) {
  std::string pattern = BoxText(PatternBox);
  if (content && pattern.empty()) {
    pattern = "Text files";
    PatternBox->setCurrentText(ToQString(pattern));
  }
  if (Model.empty() && !IsSearchPatternText(pattern)) {
    ShowWarning("File name filter is invalid.");
    return false;
  }
  if (content) {
    const std::string text = BoxText(TextBox);
    if (text.empty()) {
      ShowWarning("Text filter can't be empty.");
      return false;
    }
    settings.Text =
        TSearchTextFilter::Parse(text, FreeHandBox->isChecked(), AllFiltersBox->isChecked());
    ParseStemRule(BoxText(StemBox), settings.Text.Stem);
    settings.Text.Near = NearBox->isChecked();
    ParseFileParts(BoxText(FilePartsBox), settings.Parts);
  }
  settings.Pattern = Model.empty() ? SearchNamePattern(pattern, SimilarBox->isChecked()) : "*";
  settings.FindDirectories = FindDirectoriesBox->isChecked();
  settings.FindFiles = FindFilesBox->isChecked();
  settings.Recursive = LookInDirectoriesBox->isChecked() && !select;
  settings.Model = Model;
  TSearchLimits& limits = settings.Limits;
  const std::string timeUnit = BoxText(TimeUnitBox);
  bool timeOk = true;
  auto time = [&](QCheckBox* check, QComboBox* box, TTimeLimit& limit) {
    if (!check->isChecked() || !timeOk) return;
    limit.Enabled = true;
    if (!GetTimeFromText(BoxText(box), timeUnit, limit.Value, limit.Absolute)) {
      FunStatContext.ShowError("Invalid time limit.");
      timeOk = false;
    }
  };
  time(CreationMinCheck, CreationMinBox, limits.CreationMin);
  time(CreationMaxCheck, CreationMaxBox, limits.CreationMax);
  time(ModifiedMinCheck, ModifiedMinBox, limits.ModifiedMin);
  time(ModifiedMaxCheck, ModifiedMaxBox, limits.ModifiedMax);
  if (!timeOk) return false;
  const std::string sizeUnit = BoxText(SizeUnitBox);
  limits.SizeMinEnabled = SizeMinCheck->isChecked();
  limits.SizeMaxEnabled = SizeMaxCheck->isChecked();
  if (limits.SizeMinEnabled) limits.SizeMin = GetSizeFromText(BoxText(SizeMinBox), sizeUnit);
  if (limits.SizeMaxEnabled) limits.SizeMax = GetSizeFromText(BoxText(SizeMaxBox), sizeUnit);
  if (const std::string warning = ValidateSearchSettings(settings, NowDateTime());
      !warning.empty()) {
    ShowWarning(warning);
    return false;
  }
  if (content && settings.Text.HasShortFilter &&
      !AskYesNo("There are filters containing only one or two characters.\nSuch filters are very "
                "common so they may significantly\nslow down the search.\n\nDo you want to "
                "CONTINUE anyway?"))
    return false;
  for (auto [check, box] : {std::pair{CreationMinCheck, CreationMinBox},
                            {CreationMaxCheck, CreationMaxBox},
                            {ModifiedMinCheck, ModifiedMinBox},
                            {ModifiedMaxCheck, ModifiedMaxBox},
                            {SizeMinCheck, SizeMinBox},
                            {SizeMaxCheck, SizeMaxBox}})
    if (check->isChecked()) AddToComboHistory(box, BoxText(box));
  if (Model.empty()) AddToComboHistory(PatternBox, pattern);
  if (content) AddToComboHistory(TextBox, BoxText(TextBox));
  return true;
}

void TSearchFileForm::Do(bool content, bool select) {
  if (IsRunning || !SearchedColumn) return;
  TSearchSettings settings;
  if (!MakeSettings(content, select, settings)) return;
  SelectMode = select;
  NoMoreErrors = false;
  // The selected items, else all of them with "Consider all selected",
  // else the active one.
  TColumn& column = *SearchedColumn;
  ChosenIndices.clear();
  for (int i = 0; i < column.Count(); ++i)
    if (column.Items[static_cast<size_t>(i)].Selected) ChosenIndices.push_back(i);
  if (ChosenIndices.empty() && AllSelectedBox->isChecked())
    for (int i = 0; i < column.Count(); ++i)
      ChosenIndices.push_back(i);
  if (ChosenIndices.empty() && column.FocusedItem())
    ChosenIndices.push_back(column.List.FocusIndex());
  std::vector<std::string> titles;
  for (int index : ChosenIndices)
    titles.push_back(column.Items[static_cast<size_t>(index)].Title);

  FoundItems.clear();
  FoundList->clear();
  SetControlsEnabled(false);
  IsRunning = true;
  RunEngine(settings, titles);
  IsRunning = false;
  SetControlsEnabled(true);
  column.List.RepaintAll();
  if (!FoundItems.empty()) {
    if (SelectMode) {
      Action = TSearchAction::SelectFound;
      accept();
      return;
    }
    FoundList->setFocus();
  } else if (isVisible() && !CurrentRun->Engine.IsStopped()) {
    ShowInformation("No matches found.");
  }
}

void TSearchFileForm::RunEngine(const TSearchSettings& settings,
                                const std::vector<std::string>& titles) {
  CurrentRun->Abandon();
  auto run = std::make_shared<TSearchRun>(*this);
  CurrentRun = run;
  QEventLoop loop;
  run->Loop = &loop;
  StartDetached([run, settings, titles] {
    // Failures the engine's own code shows reach the user through the window's thread.
    SetThreadUserInterface(run.get());
    run->Engine.Run(settings, titles);
    SetThreadUserInterface(nullptr);
    TSearchRun::Post([run] { run->End(); });
  });
  loop.exec();
  run->Loop = nullptr;
  if (run->Ended) LastCounters = run->Engine.Counters();
}

void TSearchFileForm::Stop() {
  if (!IsRunning) return;
  CurrentRun->Engine.Stop();
  QTimer::singleShot(AbandonAfterMs, this, [run = std::weak_ptr<TSearchRun>(CurrentRun)] {
    if (const auto held = run.lock(); held && !held->Ended && held->Loop) held->Abandon();
  });
}

void TSearchFileForm::reject() {
  // Cancel and Esc stop a running search; the dialog closes once it ended.
  if (IsRunning) {
    Stop();
    QTimer::singleShot(0, this, [this] {
      if (!IsRunning) QDialog::reject();
    });
    Action = TSearchAction::None;
    return;
  }
  Action = TSearchAction::None;
  QDialog::reject();
}

void TSearchFileForm::closeEvent(QCloseEvent* event) {
  if (IsRunning) {
    Stop();
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

// ---- Engine host ------------------------------------------------------

void TSearchFileForm::AddFound(const std::vector<TFoundBatchItem>& batch) {
  const bool first = FoundItems.empty();
  for (const TFoundBatchItem& found : batch) {
    const size_t place = std::min(found.Place, FoundItems.size());
    FoundItems.insert(FoundItems.begin() + static_cast<std::ptrdiff_t>(place), found.Item);
    auto* line = new QListWidgetItem(ToQString(FoundLineText(found.Item)));
    if (FoundTagIsDirectory(found.Item.Tag)) {
      QFont font = line->font();
      font.setBold(true);
      line->setFont(font);
    }
    FoundList->insertItem(static_cast<int>(place), line);
  }
  if (first && !FoundItems.empty()) FoundList->setCurrentRow(0);
  if (OnBatchShown) OnBatchShown();
}

void TSearchFileForm::ShowProgress(const std::string& lookingIn, const std::string& information) {
  LookingInLabel->setText(ToQString(PartitionDisplayText(lookingIn)));
  InformationLabel->setText(ToQString(information));
}

bool TSearchFileForm::ReportError(const TFunStatContext& failure, const std::string& sentence) {
  repaint();
  // "No more errors" keeps the search going and only logs the rest.
  return failure.ShowInLoop(sentence, &NoMoreErrors);
}

void TSearchFileForm::DeselectSearched(size_t index) {
  if (!SearchedColumn || index >= ChosenIndices.size()) return;
  const int position = ChosenIndices[index];
  if (position < SearchedColumn->Count() &&
      SearchedColumn->Items[static_cast<size_t>(position)].Selected)
    SearchedColumn->DeselectItem(position);
}

// ---- Found list -------------------------------------------------------

const TFoundItem* TSearchFileForm::CurrentFound() const {
  const int row = FoundList->currentRow();
  if (row < 0 || static_cast<size_t>(row) >= FoundItems.size()) return nullptr;
  return &FoundItems[static_cast<size_t>(row)];
}

void TSearchFileForm::CloseWithContainer(int number) {
  if (IsRunning || FoundItems.empty()) return;
  Action = TSearchAction::PutInContainer;
  ActionContainer = number;
  accept();
}

void TSearchFileForm::CloseWithItem(const TFoundItem& item) {
  if (IsRunning) return;
  Action = FoundTagIsDirectory(item.Tag) ? TSearchAction::EnterDirectory : TSearchAction::FocusFile;
  ActionTitle = item.Title;
  accept();
}

void TSearchFileForm::OpenFound(const TFoundItem& item) {
  if (FoundTagIsDirectory(item.Tag)) {
    CloseWithItem(item);
    return;
  }
  TGuard guard("TSearchFileForm::OpenFound");
  guard.Run([&] {
    MyRunFile(item.Title, {}, {}, true, false);
    guard.TakeOver();
  });
  guard.Show("Failed to run file.");
}

void TSearchFileForm::LineAction(QListWidgetItem* line, bool ctrl) {
  const int row = FoundList->row(line);
  if (row < 0 || static_cast<size_t>(row) >= FoundItems.size()) return;
  const TFoundItem item = FoundItems[static_cast<size_t>(row)];
  if (ctrl != SwitchMouseBox->isChecked())
    CloseWithItem(item);
  else
    OpenFound(item);
}

void TSearchFileForm::ShowItemMenu(QListWidgetItem* line, const QPoint& globalPlace) {
  const int row = FoundList->row(line);
  if (row < 0 || static_cast<size_t>(row) >= FoundItems.size()) return;
  FoundList->setCurrentRow(row);
  if (ShowContextMenu) ShowContextMenu(FoundItems[static_cast<size_t>(row)].Title, globalPlace);
}

void TSearchFileForm::EditLine(QListWidgetItem* line) {
  const int row = FoundList->row(line);
  if (row < 0 || static_cast<size_t>(row) >= FoundItems.size()) return;
  FoundList->setCurrentRow(row);
  // A copy: editing may come back to a list the search has changed.
  const std::string title = FoundItems[static_cast<size_t>(row)].Title;
  if (EditFile) EditFile(title);
}

bool TSearchFileForm::ClipAllTitles() {
  std::string text;
  for (const TFoundItem& item : FoundItems)
    text += item.Title + "\r\n";
  return CopyTextToClipboard(text, "Failed to copy title to clipboard.");
}

bool TSearchFileForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const bool ctrl = key->modifiers().testFlag(Qt::ControlModifier);
    if (enter && !IsRunning && (watched == PatternBox || watched == TextBox)) {
      Do(watched == TextBox, ctrl);
      return true;
    }
    if (watched == FoundList) {
      if (enter) {
        if (QListWidgetItem* line = FoundList->currentItem()) LineAction(line, ctrl);
        return true;
      }
      if (key->key() == Qt::Key_E && !(key->modifiers() & ~Qt::KeypadModifier)) {
        if (QListWidgetItem* line = FoundList->currentItem()) EditLine(line);
        return true;
      }
      if (key->key() == Qt::Key_F2) {
        if (const TFoundItem* item = CurrentFound()) {
          std::string text = item->Title;
          if (key->modifiers().testFlag(Qt::ControlModifier))
            text = GetTitlePath(text);
          else if (!key->modifiers().testFlag(Qt::ShiftModifier))
            text = GetTitleName(text);
          CopyTextToClipboard(text, "Failed to copy file title to clipboard.");
        }
        return true;
      }
    }
  } else if (event->type() == QEvent::MouseButtonPress && watched == FoundList->viewport()) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::MiddleButton) {
      if (QListWidgetItem* line = FoundList->itemAt(mouse->position().toPoint())) EditLine(line);
      return true;
    }
    if (mouse->button() == Qt::LeftButton && mouse->modifiers().testFlag(Qt::ControlModifier))
      if (QListWidgetItem* line = FoundList->itemAt(mouse->position().toPoint())) {
        LineAction(line, true);
        return true;
      }
  }
  return QDialog::eventFilter(watched, event);
}

void TSearchFileForm::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers().testFlag(Qt::ControlModifier) && event->key() >= Qt::Key_0 &&
      event->key() <= Qt::Key_9) {
    // Ctrl+1..9 are containers 0..8, Ctrl+0 container 9.
    const int digit = event->key() - Qt::Key_0;
    CloseWithContainer(digit == 0 ? 9 : digit - 1);
    return;
  }
  if (event->key() == Qt::Key_F1) {
    ShowHelp(HelpContext);
    return;
  }
  QDialog::keyPressEvent(event);
}

// ---- Results ----------------------------------------------------------

bool TSearchFileForm::SelectFoundItems(TColumn& column) const {
  if (column.SelCount > 0) {
    ShowWarning("Can't select files because there already are selected files.");
    return false;
  }
  if (FoundItems.size() > column.Items.size()) {
    ShowWarning("Found more files than there are in the column.");
    return false;
  }
  // By set, not by walking both lists together: the column's sort order is
  // not the found list's rank order. A partition is found by its mount path.
  std::unordered_set<std::string> found;
  for (const TFoundItem& item : FoundItems)
    found.insert(item.Title);
  column.SelectWhere([&](int index) {
    const std::string& title = column.Items[static_cast<size_t>(index)].Title;
    return found.count(IsPartitionTitle(title) ? PartitionTitleToPath(title) : title) != 0;
  });
  return true;
}

bool TSearchFileForm::PutInContainer(TContainerSet& containers, int number) const {
  if (number < 0 || number >= TContainerSet::Count) return false;
  TContainer& container = containers.Container(number);
  if (container.Count() > 0 && number != containers.SearchContainer() &&
      !AskYesNo("Replace the " + std::to_string(container.Count()) + " items of container \"" +
                container.DisplayName() + "\" with the found files?"))
    return false;
  container.ClearItems();
  size_t refused = 0;
  for (const TFoundItem& item : FoundItems)
    if (container.AddItem(item.Title, FoundTagRank(item.Tag)) < 0) ++refused;
  if (refused > 0) ShowWarning(RefusedTitlesWarning(refused));
  return true;
}

} // namespace cv
