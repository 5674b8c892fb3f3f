#include "mainwindow/MainDialog.h"

#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/History.h"
#include "columns/MyPanel.h"
#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "filesystem/SpecialLocations.h"
#include "foundation/BusyCount.h"
#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "foundation/Registry.h"
#include "foundation/StoredTextListWidgets.h"
#include "foundation/SystemInfo.h"
#include "mainwindow/Autorun.h"
#include "mainwindow/InfoBar.h"
#include "mainwindow/OptionsForm.h"
#include "mainwindow/SkinOptions.h"
#include "options/ProgramOptions.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <sys/stat.h>

namespace cv {

namespace {

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent), History(std::make_unique<THistory>()) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Corvantide"));
  BusyCount.Reset();
  BusyCount.Raise(); // until the set-up ends
  HoverCrono.Start();
  VisibleColumns = 2;
  ActiveColumn = 0;
  // The panels read the skin and the fonts at every paint.
  GMyPanelOptions.Bind(SkinOptions, ProgramOptions);

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  Board = new QWidget(central);
  BoardLayout = new QHBoxLayout(Board);
  BoardLayout->setContentsMargins(0, 0, 0, 0);
  BoardLayout->setSpacing(2);
  layout->addWidget(Board, 1);
  ColumnInfoBar = new TInfoBar(7, central);
  FileInfoBar = new TInfoBar(7, central);
  DescriptionBar = new TInfoBar(1, central);
  ColumnInfoBar->setObjectName(QStringLiteral("ColumnInfoBar"));
  FileInfoBar->setObjectName(QStringLiteral("FileInfoBar"));
  DescriptionBar->setObjectName(QStringLiteral("DescriptionBar"));
  layout->addWidget(ColumnInfoBar);
  layout->addWidget(FileInfoBar);
  layout->addWidget(DescriptionBar);
  setCentralWidget(central);

  CreateColumns();
  RegisterIniSteps();
  OptionsForm = new TOptionsForm(this);
  MainTimer.setInterval(200);
  connect(&MainTimer, &QTimer::timeout, this, &TMainForm::MainTimerTimer);
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive) ApplicationEventsActivate();
          });
  setMinimumSize(790, 550);
  resize(1000, 700);
}

TMainForm::~TMainForm() {
  MainTimer.stop();
  // The views paint the columns' list states: they go before the columns do.
  for (TColumnView*& view : Views) {
    delete view;
    view = nullptr;
  }
  BusyCount.Reset();
}

void TMainForm::CreateColumns() {
  for (int i = 0; i < ColumnCount; ++i) {
    Columns[static_cast<size_t>(i)] = std::make_unique<TColumn>(i);
    BindColumn(*Columns[static_cast<size_t>(i)]);
  }
  // Columns 10 and 11 are never shown.
  for (int i = 0; i < BoardColumns; ++i) {
    auto* view = new TColumnView(Column(i), Board);
    view->hide();
    view->FileList->installEventFilter(this);
    Views[static_cast<size_t>(i)] = view;
    view->FileList->OnEnter = [this, i] {
      if (ActiveColumn == i) return;
      ActiveColumn = i;
      UpdateActiveFile();
    };
  }
}

void TMainForm::BindColumn(TColumn& column) {
  column.History = History.get();
  column.Busy = &BusyCount;
  column.OnContentChanged = [this, &column] {
    if (column.Index < BoardColumns) Views[static_cast<size_t>(column.Index)]->Refresh();
  };
  column.OnActiveFileChanged = [this, &column] {
    // The list repaints the items it moved between; the header may change.
    if (column.Index < BoardColumns && Views[static_cast<size_t>(column.Index)])
      Views[static_cast<size_t>(column.Index)]->RefreshHeader();
    if (column.Index != ActiveColumn || ActiveFileUpdatePending) return;
    // One update after the focus settled, never from inside a paint.
    ActiveFileUpdatePending = true;
    QTimer::singleShot(0, this, [this] {
      ActiveFileUpdatePending = false;
      UpdateActiveFile();
    });
  };
}

std::string TMainForm::OptionsDirectory() const {
  return Program.ChooseOptionsPath(GetProgramRegistryText("Corvantide", "", "OptionsPath"));
}

void TMainForm::ApplyDefaultBoard() {
  // Board "Main": column 1 fixed in the user's documents folder.
  for (int i = 0; i < BoardColumns; ++i)
    Column(i).ResetColumn(false);
  const std::string documents = GetUserDirectory("XDG_DOCUMENTS_DIR", "Documents");
  const std::string home = HomePath();
  const std::string second = DirectoryExists(documents) ? documents : home;
  if (DirectoryExists(second)) {
    Column(1).ActiveTitle = IncludeDelimiter(second);
    Column(1).DefaultTitle = Column(1).ActiveTitle;
  }
  Column(1).FixedAttr = true;
}

namespace {
const TFormBoundKeys CMainBoundKeys{"XPos", "YPos", "XSize", "YSize"};
} // namespace

void TMainForm::ReadWindowPlace(const TStoredTextList& ini) {
  ReadFormBounds(ini, "Main", this, CMainBoundKeys);
  // The side panels may take a third of the client width each at most.
  const QSize client = size();
  ini.ReadInt("Main", "TreeNavigatorWidth", TreeNavigatorWidth, client.width() / 3, 100);
  ini.ReadInt("Main", "MPLWidth", MPLWidth, client.width() / 3, 100);
  ini.ReadInt("Main", "ViewerHeight", ViewerHeight, client.height(), 50);
}

void TMainForm::WriteWindowPlace(TStoredTextList& ini) const {
  WriteFormBounds(ini, "Main", this, CMainBoundKeys);
  ini.WriteInt("Main", "TreeNavigatorWidth", TreeNavigatorWidth);
  ini.WriteInt("Main", "MPLWidth", MPLWidth);
  ini.WriteInt("Main", "ViewerHeight", ViewerHeight);
}

void TMainForm::RegisterIniSteps() {
  IniSteps.Add(
      TIniStep::Window, [this](const TStoredTextList& ini) { ReadWindowPlace(ini); },
      [this](TStoredTextList& ini) { WriteWindowPlace(ini); });
  IniSteps.Add(
      TIniStep::Options,
      [](const TStoredTextList& ini) { LoadProgramOptions(ini, ProgramOptions); },
      [](TStoredTextList& ini) { SaveProgramOptions(ini, ProgramOptions); });
  IniSteps.Add(TIniStep::Extensions, LoadExtensionLists, SaveExtensionLists);
}

void TMainForm::OptionsCommand() {
  if (BusyCount.Busy()) return;
  if (OptionsForm->Dialog(ProgramOptions, ShowTreeNavigator)) ApplyOptions();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers held =
        key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (key->key() == Qt::Key_O && held == Qt::NoModifier) {
      OptionsCommand();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TMainForm::ApplyOptions() {
  ApplyFileDisplayOptions(ProgramOptions);
  setWindowTitle(QString::fromStdString(CaptionText()));
  for (TColumnView* view : Views)
    view->Refresh();
  Reset(false);
}

void TMainForm::LoadOptions() {
  const std::string directory = OptionsDirectory();
  ForceDirectories(directory);
  OptionsIni.FileName = directory + "Corvantide.ini";
  OptionsIni.OnLoad = [this](TStoredTextList& ini) { IniSteps.Read(ini); };
  OptionsIni.OnSave = [this](TStoredTextList& ini) { IniSteps.Write(ini); };
  OptionsIni.Load();
  OptionsFile.FileName = directory + "Corvantide.cvo";
  OptionsFile.Signature = "Corvantide Options";
  OptionsFile.Version = 1;
  OptionsFile.Load();
}

void TMainForm::SaveOptions() {
  // The options directory may have been changed while the program ran.
  const std::string directory = OptionsDirectory();
  ForceDirectories(directory);
  OptionsIni.FileName = directory + "Corvantide.ini";
  OptionsFile.FileName = directory + "Corvantide.cvo";
  OptionsIni.Save(false);
  OptionsFile.Save(false);
  TGuard guard("TMainForm::SaveOptions");
  guard.Run([&] {
    UpdateAutorun(ProgramOptions.Autorun, Program.ProgramFileTitle(), AutostartEntryTitle());
    guard.TakeOver();
  });
  guard.Show("Failed to create link.");
}

void TMainForm::Setup() {
  TGuard guard("TMainForm::Setup");
  guard.Run([&] {
    Program.CreateProgramDirectories();
    ApplyDefaultBoard();
    LoadOptions();
    ApplyOptions();
    BusyCount.Reset();
    MonitorCrono.Start();
    for (int i = 0; i < VisibleColumns; ++i)
      Column(i).LoadDirectory(false);
    FocusColumn(ActiveColumn);
    Created = true;
  });
  guard.Show("Failed to set up the main window.");
}

void TMainForm::Reset(bool reload) {
  TGuard guard("TMainForm::Reset");
  TBusyScope busy;
  guard.Run([&] {
    // The layout gives up its items; the views stay, the items are ours to free.
    while (QLayoutItem* item = BoardLayout->takeAt(0))
      delete item;
    for (int i = 0; i < BoardColumns; ++i) {
      TColumnView* view = ColumnView(i);
      if (i < VisibleColumns) {
        BoardLayout->addWidget(view, std::max(1, Column(i).WidthAttr));
        view->show();
        view->Refresh();
        if (reload) Column(i).LoadDirectory(false);
      } else {
        view->hide();
      }
    }
    ShowInfoBars();
  });
}

void TMainForm::FocusColumn(int index) {
  if (index < 0 || index >= VisibleColumns) index = 0;
  ActiveColumn = index;
  ColumnView(index)->FileList->setFocus(Qt::OtherFocusReason);
  UpdateActiveFile();
}

void TMainForm::UpdateActiveFile() {
  TColumn& column = Column(ActiveColumn);
  TProgram::SetProgramWorkingPath(column.ActiveTitle);
  column.ShowInfo();
  ShowInfoBars();
}

void TMainForm::ShowInfoBars() {
  const TColumnInfo& info = Column(ActiveColumn).Info;
  ColumnInfoBar->SetFields({&info.Files, &info.Encrypted, &info.SelNum, &info.SelSz, &info.TotalSz,
                            &info.PartSz, &info.PartAttr});
  FileInfoBar->SetFields({&info.Index, &info.Size, &info.Attr, &info.HardLinks, &info.Streams,
                          &info.Title, &info.Modified});
  DescriptionBar->SetFields({&info.Description});
  ColumnInfoBar->setVisible(ProgramOptions.ShowColumnInfo);
  FileInfoBar->setVisible(ProgramOptions.ShowFileInfo);
  DescriptionBar->setVisible(ProgramOptions.ShowFileDesc);
}

bool TMainForm::CheckDirMonitor(bool force) {
  std::vector<TColumn*> visible;
  for (int i = 0; i < VisibleColumns; ++i)
    visible.push_back(&Column(i));
  const bool listFocused = ColumnView(ActiveColumn)->ListHasFocus();
  const bool changed = cv::CheckDirMonitor(visible, force, listFocused, MonitorState, BusyCount);
  // Reloaded columns refreshed themselves; the rest may only gain a mark.
  for (int i = 0; i < VisibleColumns; ++i)
    ColumnView(i)->RefreshHeader();
  if (changed) FocusColumn(ActiveColumn);
  return changed;
}

void TMainForm::ApplicationEventsActivate() {
  MonitorState.Activated = true;
  if (FirstActivation) {
    FirstActivation = false;
    MonitorCrono.Start();
    MediaCrono.Start();
    CaptionCrono.Start();
    // The first tick updates the caption at once.
    CaptionCrono.StartTime -= 5.0;
    MainTimer.start();
    MainTimerTimer();
  }
  HoverCrono.Start();
}

std::string TMainForm::CaptionText() const {
  std::string caption = "Corvantide";
  if (ProgramOptions.ShowSystemInfo) {
    caption += " | " + ShortDateTimeText(" | ", NowDateTime());
    caption += " | RAM " + GetSizeText(3, 0, GetAvailablePhysicalMemory()) + " (" +
               GetSizeText(3, 0, GetTotalPhysicalMemory()) + ")";
  }
  return caption;
}

void TMainForm::MainTimerTimer() {
  TGuard guard("TMainForm::MainTimerTimer");
  guard.Run([&] {
    if (BusyCount.Busy() || !isActiveWindow()) return;
    if (MonitorCrono.IsPeriod(1.0)) CheckDirMonitor(false);
    if (CaptionCrono.IsPeriod(5.0)) setWindowTitle(QString::fromStdString(CaptionText()));
  });
  guard.Show("Failed to run the main timer.");
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (!Created) return;
  if (FirstResize) {
    FirstResize = false;
    return;
  }
  // Only the layout: reading every column again at each step of a drag
  // would stall on large directories; the monitor reports real changes.
  Reset(false);
  FocusColumn(ActiveColumn);
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // Closing is never refused: what cannot be saved has been reported.
  TGuard guard("TMainForm::FormCloseQuery");
  guard.Run([&] {
    MainTimer.stop();
    SaveOptions();
  });
  guard.Show("Failed to save the options.");
  event->accept();
}

} // namespace cv
