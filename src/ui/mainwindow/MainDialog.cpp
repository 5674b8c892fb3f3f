#include "mainwindow/MainDialog.h"
#include "mainwindow/WaitInput.h"

#include "columns/BoardsBar.h"
#include "columns/Column.h"
#include "columns/ColumnKeys.h"
#include "columns/ColumnPainter.h"
#include "columns/ColumnThumbs.h"
#include "pictures/SystemThumbnails.h"
#include "plugins/ViewerPlugins.h"
#include "columns/ColumnView.h"
#include "columns/History.h"
#include "columns/MouseOperations.h"
#include "columns/MyPanel.h"
#include "fileops/FileForm.h"
#include "fileops/MultiRenameForm.h"
#include "fileops/Run.h"
#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "filesystem/Links.h"
#include "filesystem/NetworkMounts.h"
#include "filesystem/Partitions.h"
#include "filesystem/SpecialLocations.h"
#include "foundation/BusyCount.h"
#include "foundation/Guard.h"
#include "foundation/Help.h"
#include "foundation/Program.h"
#include "foundation/Registry.h"
#include "foundation/StoredTextListWidgets.h"
#include "foundation/SystemInfo.h"
#include "foundation/UserInterface.h"
#include "install/FirstRun.h"
#include "install/WizardForm.h"
#include "mainwindow/Autorun.h"
#include "mainwindow/HoverState.h"
#include "mainwindow/InfoBar.h"
#include "mainwindow/MainLayout.h"
#include "mainwindow/MainMenus.h"
#include "mainwindow/OptionsForm.h"
#include "mainwindow/SkinOptions.h"
#include "mainwindow/UserLogo.h"
#include "media/MediaPlayback.h"
#include "options/ProgramOptions.h"
#include "pictures/PictureCache.h"
#include "pictures/PictureCodecs.h"
#include "plugins/ViewerPlugins.h"
#include "search/DirectoryTree.h"
#include "security/FileStreamsForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDialog>
#include <QFontMetrics>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#ifndef QT_NO_SESSIONMANAGER
#include <QSessionManager>
#endif
#include <QStatusTipEvent>
#include <QUrl>

namespace cv {

namespace {
const char* const CHintBarHint =
    "Hint bar. When you move the mouse over a control (button, label, list), a description of "
    "that control (and what it does when used) is displayed here. You can hide this bar from the "
    "options dialog, or just press \"Ctrl + F8\". You can change the number of text lines "
    "displayed here, from the options dialog (the height of the bar is proportional with the "
    "number of text lines displayed).";
} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent), History(std::make_unique<THistory>()),
      WaitGuard(std::make_unique<TWaitInput>()) {
  setObjectName(QStringLiteral("MainForm"));
  setProperty("HelpContext", 100);
  setWindowTitle(QStringLiteral("Corvantide"));
  // Files dropped from other programs open the "External file-drag" menu.
  setAcceptDrops(true);
  BusyCount.Reset();
  BusyCount.Raise(); // until the set-up ends
  HoverCrono.Start();
  // The panels read the skin and the fonts at every paint.
  GMyPanelOptions.Bind(SkinOptions, ProgramOptions);

  // Every panel is placed by the layout routine (Reset); no Qt layouts.
  Client = new QWidget(this);
  Client->setObjectName(QStringLiteral("ClientPanel"));
  setCentralWidget(Client);
  auto panel = [](QWidget* parent, const char* name, const char* hint, int scheme = 0) {
    auto* made = new MyTPanel(parent);
    made->setObjectName(QString::fromLatin1(name));
    made->SetColorScheme(scheme);
    made->SetBorderWidth(2);
    if (hint) made->setToolTip(QString::fromUtf8(hint));
    return made;
  };
  Toolbar = panel(Client, "Toolbar", "Toolbar");
  for (const std::string_view caption : CToolbarButtons) {
    auto* button = new MyTPanel(Toolbar);
    button->setObjectName(
        QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())) +
        QStringLiteral("Button"));
    button->SetColorScheme(0);
    button->SetButtonEffect(true);
    button->SetHotTrack(true);
    button->SetBorderWidth(3);
    button->SetCaption(std::string(caption));
    button->SetDownCaption(std::string(caption));
    ToolbarButtons.push_back(button);
  }
  ToolbarButtons[0]->OnMouseDown = [this](const QMouseEvent&, const QPoint&) {
    ShowMenuBelow("Work", ToolbarButtons[0]);
  };
  ToolbarButtons[3]->OnMouseDown = [this](const QMouseEvent&, const QPoint&) {
    ShowMenuBelow("Help", ToolbarButtons[3]);
  };
  ToolbarButtons[1]->OnMouseDown = [this](const QMouseEvent& event, const QPoint&) {
    ShowBoardsMenu(event.globalPosition().toPoint());
  };
  UserLogo = new TUserLogo(Toolbar);
  UserLogo->setToolTip(QStringLiteral(
      "User logo. Here is displayed the first picture with the name \"UserLogo\" and any "
      "extension, from the options directory of the program."));
  BoardsBar = panel(Client, "BoardsBar", nullptr);
  CreateBoardsBar();
  WorkArea = new QWidget(Client);
  WorkArea->setObjectName(QStringLiteral("WorkArea"));
  TreePanel = panel(WorkArea, "TreePanel", "Directory tree navigator");
  TreeTitle = panel(TreePanel, "TreeTitle", "Directory tree navigator");
  TreeTitle->SetCaption("Directory tree navigator");
  CreateTreeNavigator();
  TreeSplitter = panel(TreePanel, "TreeSplitter",
                       "Drag this bar horizontally to set a new width for the directory tree "
                       "navigator. [RMB] = hide the directory tree navigator.");
  TreeSplitter->SetMode(MyTPanel::pmSplitter);
  TreeSplitter->OnSplitterClick = [this](int offset) {
    if (const auto width = DragTreeSplitter(Boards.Active().ShowTreeNavigator, TreeNavigatorWidth,
                                            offset, Client->width())) {
      TreeNavigatorWidth = *width;
      Reset(false);
    }
  };
  TreeSplitter->OnMouseUp = [this](const QMouseEvent& event, const QPoint&) {
    if (event.button() != Qt::RightButton) return;
    Boards.Active().ShowTreeNavigator = false;
    Reset(false);
    FocusColumn(ActiveColumn());
  };
  PlayList = panel(WorkArea, "PlayList", "Media play-list");
  PlayList->setProperty("HelpContext", 202);
  Board = new QWidget(WorkArea);
  Board->setObjectName(QStringLiteral("BoardArea"));
  ColumnsArea = new QWidget(Board);
  ColumnsArea->setObjectName(QStringLiteral("ColumnsArea"));
  Viewer = new QWidget(Board);
  Viewer->setObjectName(QStringLiteral("Viewer"));
  Viewer->setProperty("HelpContext", 207);
  ViewerSplitter = panel(Viewer, "ViewerSplitter",
                         "Drag this bar vertically to set a new height for the columns and viewer. "
                         "[RMB] or [Esc] = hide the viewer panel. [Ctrl + F7] = close the viewer.");
  ViewerSplitter->SetMode(MyTPanel::pmSplitter);
  ViewerSplitter->OnSplitterClick = [this](int offset) {
    ViewerHeight = DragViewerSplitter(ViewerHeight, offset, LargestViewerHeightNow());
    Reset(false);
  };
  ViewerSplitter->OnMouseUp = [this](const QMouseEvent& event, const QPoint&) {
    if (event.button() != Qt::RightButton) return;
    ViewerShown = false;
    Reset(false);
    FocusColumn(ActiveColumn());
  };
  ViewerClient = new QPlainTextEdit(Viewer);
  ViewerClient->setObjectName(QStringLiteral("ViewerClient"));
  ViewerClient->setReadOnly(true);
  ViewerClient->setFrameShape(QFrame::NoFrame);
  InfoBars = new QWidget(Client);
  InfoBars->setObjectName(QStringLiteral("InfoBars"));
  ColumnInfoBar = new TInfoBar(7, InfoBars);
  FileInfoBar = new TInfoBar(7, InfoBars);
  DescriptionBar = new TInfoBar(1, InfoBars);
  ReferenceBar = new TInfoBar(7, InfoBars);
  ColumnInfoBar->setObjectName(QStringLiteral("ColumnInfoBar"));
  FileInfoBar->setObjectName(QStringLiteral("FileInfoBar"));
  DescriptionBar->setObjectName(QStringLiteral("DescriptionBar"));
  ReferenceBar->setObjectName(QStringLiteral("ReferenceBar"));
  HintBar = panel(Client, "HintBar", CHintBarHint);
  HintBar->SetWordWrap(true);
  HintBar->SetCaption(HintBarText(CHintBarHint));
  // Every hint reaches the hint bar: menus send status tips, controls show
  // theirs when the mouse enters them.
  qApp->installEventFilter(this);

  // The thirty boards with their defaults, before the options replace them.
  Boards.IniPaths();
  // Which files are pictures: whatever the installed image plug-ins read.
  LoadPictureFileExtensions();
  CreateColumns();
  RegisterIniSteps();
  CreateMediaPlayer();
  OptionsForm = new TOptionsForm(this);
  OptionsForm->CacheStatistics = [] {
    return std::pair<int64_t, int64_t>(static_cast<int64_t>(PictureCache.Count()),
                                       PictureCache.Size());
  };
  Menus = new TMainMenus(this);
  RegisterCommands();
  RegisterTreeNavigatorCommands();
  RegisterSearchToolCommands();
  RegisterUndoCommands();
  RegisterSecurityCommands();
  RegisterSkins();
  RegisterMediaCommands();
  MainTimer.setInterval(200);
  connect(&MainTimer, &QTimer::timeout, this, &TMainForm::MainTimerTimer);
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
              ApplicationEventsActivate();
            else
              ApplyHover(Hover.Close());
          });
#ifndef QT_NO_SESSIONMANAGER
  // The session may end without closing the window: save what a close saves.
  connect(qApp, &QGuiApplication::commitDataRequest, this, &TMainForm::SaveSession,
          Qt::DirectConnection);
#endif
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
  // Thumbs the program cannot decode come from the desktop's thumbnailers
  // and from the viewer plug-ins.
  SystemThumbnailSource = &SystemThumbnailInBox;
  ThumbPluginDispatch = &ViewerPluginThumbSlot;
  Thumbs = std::make_unique<TColumnThumbs>();
  // The logo is a thumb of its own, from the same cache and workers.
  UserLogo->PaintThumb = [this](QPainter& canvas, const QRect& area, const TFileListData& item) {
    Thumbs->PaintThumb(canvas, area, QRect(), item);
  };
  Thumbs->AddClient({.Shows =
                         [this](const std::string& title, TPictureSize box) {
                           return UserLogo->isVisible() && UserLogo->Picture().Title == title &&
                                  box == TPictureSize{UserLogo->width(), UserLogo->height()};
                         },
                     .Repaint =
                         [this](const std::string& title) {
                           if (UserLogo->Picture().Title == title) UserLogo->update();
                         }});
  for (int i = 0; i < ColumnCount; ++i) {
    Columns[static_cast<size_t>(i)] = std::make_unique<TColumn>(i);
    BindColumn(*Columns[static_cast<size_t>(i)]);
  }
  // Columns 10 and 11 are never shown.
  for (int i = 0; i < BoardColumns; ++i) {
    auto* view = new TColumnView(Column(i), ColumnsArea);
    view->hide();
    view->FileList->installEventFilter(this);
    view->FileList->OnMouseMove = [this, i](const QMouseEvent& event, const QPoint& inner) {
      ListMouseMove(i, inner, event.globalPosition().toPoint());
    };
    view->FileList->OnMouseDown = [this, i](const QMouseEvent& event, const QPoint& inner) {
      ListMouseDown(i, event, inner);
    };
    view->FileList->OnMouseUp = [this, i](const QMouseEvent& event, const QPoint&) {
      ListMouseUp(i, event);
    };
    // The column's key table runs after the list moved its focus.
    view->FileList->OnKeyDown = [this, i](QKeyEvent& key) { ColumnKey(i, key); };

    Views[static_cast<size_t>(i)] = view;
    Thumbs->Attach(*view);
    view->FileList->OnEnter = [this, i] {
      if (ActiveColumn() == i || i >= VisibleColumns()) return;
      BoardModel->SetActiveColumn(i);
      UpdateActiveFile();
    };
    // The second press of a double click; its release chooses the operation.
    view->FileList->OnDblClick = [this, i](const QMouseEvent& event, const QPoint&) {
      Press.DoubleClick = true;
      // Decided at once, as a click on the same place: the release (when one
      // follows) then has nothing left to do.
      ListMouseUp(i, event);
    };
    view->Header->OnMouseUp = [this, i](const QMouseEvent& event, const QPoint&) {
      HeaderMouseUp(i, event);
    };
  }
  std::array<TColumn*, ColumnCount> pointers{};
  for (int i = 0; i < ColumnCount; ++i)
    pointers[static_cast<size_t>(i)] = &Column(i);
  BoardModel = std::make_unique<TBoardColumns>(pointers);
  BoardModel->Host.Layout = [this] { LayoutBoard(); };
  // Hidden while columns move, so the user never sees them half copied.
  BoardModel->Host.ShowArea = [this](bool shown) { Board->setVisible(shown); };
  BoardModel->Host.Focus = [this](int column) { FocusColumn(column); };
  BoardModel->Host.AttributesChanged = [this](int column) {
    if (column >= 0 && column < BoardColumns) ColumnView(column)->Refresh();
  };
}

void TMainForm::BindColumn(TColumn& column) {
  column.History = History.get();
  column.Busy = &BusyCount;
  column.OnContentChanged = [this, &column] {
    if (column.Index < BoardColumns) Views[static_cast<size_t>(column.Index)]->Refresh();
    RefreshListHint();
  };
  column.OnSelectionChanged = [this, &column] {
    if (!BoardModel || column.Index != ActiveColumn()) return;
    column.ShowInfo();
    ShowInfoBars();
  };
  column.OnInfoLate = [this, &column](bool filled) {
    if (!BoardModel || column.Index != ActiveColumn()) return;
    if (!filled) column.ShowInfo();
    ShowInfoBars();
  };
  column.ContainerName = [this](int index) { return Containers.Container(index).Name(); };
  column.ContainerItems = [this](int index, std::vector<std::string>& titles,
                                 std::vector<int>& values) {
    if (index < 0 || index >= TContainerSet::Count) return TGuard::EarlyExit(false);
    titles.clear();
    values.clear();
    for (const TContainerItem& item : Containers.Container(index).Items()) {
      titles.push_back(item.Title);
      values.push_back(item.Data.Value);
    }
    return TGuard::EarlyExit(true);
  };
  column.OnActiveFileChanged = [this, &column] {
    // The list repaints the items it moved between; the header may change.
    if (column.Index < BoardColumns && Views[static_cast<size_t>(column.Index)])
      Views[static_cast<size_t>(column.Index)]->RefreshHeader();
    if (!BoardModel || column.Index != ActiveColumn() || ActiveFileUpdatePending) return;
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
  IniSteps.Add(
      TIniStep::ActiveBoard,
      [this](const TStoredTextList& ini) {
        int32_t active = Boards.ActiveBoard();
        ini.ReadInt("Main", "ActiveBoard", active, TBoardSet::BoardCount - 1, 0);
        // A board without a button could not be left again.
        if (active >= ProgramOptions.VisibleBoards) active = 0;
        Boards.SetActiveBoard(active);
      },
      [this](TStoredTextList& ini) { ini.WriteInt("Main", "ActiveBoard", Boards.ActiveBoard()); });
  IniSteps.Add(
      TIniStep::Containers, [this](const TStoredTextList& ini) { Containers.ReadNames(ini); },
      [this](TStoredTextList& ini) { Containers.WriteNames(ini); });
  IniSteps.Add(
      TIniStep::FileOperation, [this](const TStoredTextList& ini) { FileFormState.Read(ini); },
      [this](TStoredTextList& ini) { FileFormState.Write(ini); });
  IniSteps.Add(TIniStep::Extensions, LoadExtensionLists, SaveExtensionLists);
  // The current skin, ahead of the multi-rename dialog's keys.
  IniSteps.Add(
      TIniStep::OtherDialogs, [this](const TStoredTextList& ini) { ReadCurrentSkin(ini); },
      [this](TStoredTextList& ini) { WriteCurrentSkin(ini); });
  IniSteps.Add(
      TIniStep::OtherDialogs,
      [this](const TStoredTextList& ini) { MultiRename().ReadSettings(ini); },
      [this](TStoredTextList& ini) { MultiRename().WriteSettings(ini); });
}

void TMainForm::OptionsCommand() {
  if (BusyCount.Busy()) return;
  // The tree navigator is shown or hidden per board.
  if (OptionsForm->Dialog(ProgramOptions, Boards.Active().ShowTreeNavigator)) ApplyOptions();
}

namespace {

TGroupKeys GroupKeys(Qt::KeyboardModifiers modifiers) {
  return {.Ctrl = modifiers.testFlag(Qt::ControlModifier),
          .Alt = modifiers.testFlag(Qt::AltModifier),
          .Shift = modifiers.testFlag(Qt::ShiftModifier)};
}

} // namespace

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Enter && watched->isWidgetType()) {
    const auto* widget = static_cast<const QWidget*>(watched);
    if (widget->window() == this) {
      const QString hint = !widget->statusTip().isEmpty() ? widget->statusTip() : widget->toolTip();
      if (!hint.isEmpty()) ShowHint(hint);
    }
    return QMainWindow::eventFilter(watched, event);
  }
  if (event->type() == QEvent::ContextMenu) {
    // The right button's operations are chosen at its release (a short drag
    // shows the mouse menu); the Applications key has its own row.
    for (int i = 0; i < VisibleColumns(); ++i)
      if (watched == ColumnView(i)->FileList) return true;
  } else if (event->type() == QEvent::KeyPress) {
    // Only the column lists' keys: this filter also watches the whole
    // application (for hints), and text boxes of dialogs keep their letters.
    for (int i = 0; i < BoardColumns; ++i)
      if (watched == ColumnView(i)->FileList) return MainKey(*static_cast<QKeyEvent*>(event));
    // The tree navigator keeps its arrows and letters; the function keys are the window's.
    const int code = static_cast<QKeyEvent*>(event)->key();
    if (watched == Tree && code >= Qt::Key_F1 && code <= Qt::Key_F12)
      return MainKey(*static_cast<QKeyEvent*>(event));
  }
  return QMainWindow::eventFilter(watched, event);
}

void TMainForm::ColumnKey(int column, const QKeyEvent& key) {
  const TColumnKeyRow* row = ColumnKeyRow(key);
  if (!row && key.key() == Qt::Key_F1 && !key.modifiers().testFlag(Qt::AltModifier)) {
    ShowHelp(100); // the help of the focused control: the columns are the main window's
    return;
  }
  if (!row || column >= VisibleColumns()) return;
  const Qt::KeyboardModifiers modifiers = key.modifiers();
  switch (row->Action) {
  case TColumnKeyAction::Command:
    RunCommand(ColumnKeyCommandPath(*row), modifiers);
    break;
  case TColumnKeyAction::ParentDirectory:
    ParentDirectory(column, modifiers);
    break;
  case TColumnKeyAction::EnterActiveItem:
    EnterActiveItem(column, modifiers);
    break;
  case TColumnKeyAction::PreviousColumn:
    FocusColumn(BoardModel->NeighbourColumn(-1));
    break;
  case TColumnKeyAction::NextColumn:
    FocusColumn(BoardModel->NeighbourColumn(1));
    break;
  case TColumnKeyAction::ShowBoard:
    // Only the boards that have a button can be shown.
    if (row->Number <= ProgramOptions.VisibleBoards) ShowBoard(row->Number - 1);
    break;
  }
}

void TMainForm::EnterActiveItem(int column, Qt::KeyboardModifiers modifiers) {
  if (BusyCount.Busy() || column >= VisibleColumns()) return;
  RunActiveItem(column, modifiers, false);
}

void TMainForm::RunActiveItem(int column, Qt::KeyboardModifiers modifiers, bool maximized) {
  TColumn& source = Column(column);
  const TFileListData* item = source.FocusedItem();
  if (!item) return;
  // Entering a directory replaces the items: keep what is needed of this one.
  const int type = item->Type;
  const std::string title = source.ActiveTitle;
  TGuard guard("TColumn::Com_Run");
  guard.Run([&] {
    std::string directory;
    if (type == fltDirectory) {
      directory = title;
    } else if (type == fltLink && IsLinkTitle(title)) {
      TLinkFile link;
      link.Load(title, false);
      guard.TakeOver();
      if (link.ReferenceIsDirectory()) directory = link.Reference;
    }
    if (!directory.empty()) {
      BoardModel->EnterDirectory(column, directory, GroupKeys(modifiers));
      guard.TakeOver();
      return;
    }
    MyRunFile(title, {}, {}, true, maximized);
    guard.TakeOver();
  });
  guard.Show(type == fltDirectory ? "Failed to load directory." : "Failed to run file.");
}

void TMainForm::ParentDirectory(int column, Qt::KeyboardModifiers modifiers) {
  if (BusyCount.Busy() || column >= VisibleColumns()) return;
  TGuard guard("TMainForm::ParentDirectory");
  guard.Run([&] {
    BoardModel->ParentDirectory(column, GroupKeys(modifiers));
    guard.TakeOver();
  });
  guard.Show("Failed to load directory.");
}

void TMainForm::ApplyOptions() {
  ApplyFileDisplayOptions(ProgramOptions);
  {
    // Every slot is freed and loaded again, so a plug-in file replaced on
    // disk is taken up by the next "Okay".
    TGuard guard("TMainForm::ApplyOptions");
    guard.Run([&] {
      ViewerPlugins.Load(ProgramOptions);
      guard.TakeOver();
    });
    guard.Show("Failed to load viewer plugin.");
  }
  Hover.Options = HoverOptionsOf(ProgramOptions);
  // Looked up when the options change, not at every layout (a resize runs many).
  const std::string logo = ProgramOptions.ShowUserLogo ? FindUserLogo(Program.OptionsPath()) : "";
  UserLogo->BackColor = SkinOptions.ButtonBackColor;
  UserLogo->SetPicture(logo);
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
  OptionsFile.Version = TBoardSet::FileVersion;
  OptionsFile.OnLoad = [this](TFileStorage& storage, int32_t version) {
    LoadBoardFile(storage, version);
  };
  OptionsFile.OnSave = [this](TFileStorage& storage) { SaveBoards(storage, Boards, *BoardModel); };
  BoardLoaded = false;
  OptionsFile.Load();
  // A first run, or a file that was refused: the columns show the active
  // board's defaults.
  if (!BoardLoaded) Boards.LoadActiveBoard(*BoardModel, false);
}

void TMainForm::LoadBoardFile(TFileStorage& storage, int32_t version) {
  BoardLoaded = true;
  LoadBoards(storage, version, Boards, *BoardModel, History.get());
}

void TMainForm::SaveOptions() {
  // The options directory may have been changed while the program ran.
  const std::string directory = OptionsDirectory();
  ForceDirectories(directory);
  OptionsIni.FileName = directory + "Corvantide.ini";
  OptionsFile.FileName = directory + "Corvantide.cvo";
  OptionsIni.Save(false);
  OptionsFile.Save(false);
  SaveChangedContainers(true);
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
    InstallPredefinedSkins();
    LoadOptions();
    ApplySkinLook();
    SetupBackPicture({});
    ApplyOptions();
    BusyCount.Reset();
    MonitorCrono.Start();
    for (int i = 0; i < VisibleColumns(); ++i)
      Column(i).LoadDirectory(false);
    PanelTree->LoadTreeWithPartitions();
    NavigatePanelToBoardPath();
    FocusColumn(ActiveColumn());
    Created = true;
  });
  guard.Show("Failed to set up the main window.");
}

void TMainForm::OfferFirstRunWizard() {
  if (ProgramOptions.FirstRun) WizardCommand(true);
}

void TMainForm::WizardCommand(bool firstRun) {
  if (BusyCount.Busy()) return;
  const std::optional<TWizardChoices> choices =
      WizardFormDialog(TWizardForm::HelpContext, firstRun ? FirstRunChoices() : TWizardChoices{},
                       this);
  if (choices) {
    ApplyWizardChoices(*choices, ProgramOptions, Boards.Active());
    if (choices->ShowHiddenFiles)
      for (int i = 0; i < BoardColumns; ++i)
        Column(i).SetShowHidden(true);
    // A link the user made stays; without a desktop editor Edit opens files
    // with their default application, as before.
    TGuard guard("TMainForm::WizardCommand");
    guard.Run([&] {
      WriteDefaultEditorLink(Program.EditLinkTitle());
      guard.TakeOver();
    });
    guard.Show("Failed to create link.");
    ApplyOptions();
    if (choices->ShowThreeColumns) BoardModel->ChangeVisibleColumns(3);
    NavigatePanelToBoardPath();
  }
  FocusColumn(ActiveColumn());
}

void TMainForm::Reset(bool reload) {
  TGuard guard("TMainForm::Reset");
  // Lowered again on every way out.
  TBusyScope busy;
  guard.Run([&] {
    if (!BoardModel) return;
    // The window's own size: before the first show its layout has not yet
    // sized the client panel, and the columns' first loads need real sizes.
    Client->setGeometry(rect());
    TLayoutInput input;
    input.Client = rect().size();
    input.Options = LayoutOptionsOf(ProgramOptions, SkinOptions);
    const QFontMetrics caption(QFont(QString::fromStdString(ProgramOptions.CaptionFontName),
                                     ProgramOptions.CaptionFontSize));
    const int listBorder = ColumnView(0)->FileList->BorderWidth();
    input.Metrics = {.CaptionTextHeight = caption.height(),
                     // Wrapped hint lines follow each other by the line spacing.
                     .HintTextHeight = std::max(caption.height(), caption.lineSpacing()),
                     .ItemsTextHeight = QFontMetrics(ColumnItemsFont()).height(),
                     .ButtonBorder = 3,
                     .ToolbarBorder = 2,
                     .BoardsBarBorder = 2,
                     .HintBarBorder = 2,
                     .InfoContainerBorder = 0,
                     .InfoBarBorder = 2,
                     .TreeTitleBorder = 2,
                     .InfoFieldMinWidths = TInfoBar::FieldMinWidths(caption)};
    const TBoardData& board = Boards.Active();
    input.Board = {.ShowTreeNavigator = board.ShowTreeNavigator,
                   .ShowMPL = board.ShowMPL,
                   .ShowViewer = ViewerShown,
                   .Columns = BoardModel->Shares(listBorder),
                   .TreeNavigatorWidth = TreeNavigatorWidth,
                   .MPLWidth = MPLWidth,
                   .ViewerHeight = ViewerHeight};
    const std::optional<TMainLayout> layout = LayoutMainWindow(input);
    guard.TakeOver();
    if (!layout) return;
    ApplyLayout(*layout);
    if (reload)
      for (int i = 0; i < VisibleColumns(); ++i)
        Column(i).LoadDirectory(false);
    ShowInfoBars();
  });
}

void TMainForm::ApplyLayout(const TMainLayout& layout) {
  auto place = [](QWidget* widget, const QRect& rect, bool shown) {
    widget->setGeometry(rect);
    widget->setVisible(shown);
  };
  place(Toolbar, layout.Toolbar, true);
  for (size_t i = 0; i < ToolbarButtons.size(); ++i)
    place(ToolbarButtons[i], layout.Buttons[i], true);
  place(UserLogo, layout.UserLogo, layout.UserLogoShown && UserLogo->HasPicture());
  place(BoardsBar, layout.BoardsBar, layout.BoardsBarShown);
  if (layout.BoardsBarShown) {
    Bar->Reset(ProgramOptions.VisibleBoards, ProgramOptions.BoardsBarRows);
    Bar->RefreshCaptions();
  }
  FunStatContext.Reset(fsPerfect);
  place(WorkArea, layout.WorkArea, true);
  place(TreePanel, layout.TreePanel, layout.TreePanelShown);
  place(TreeSplitter, layout.TreeSplitter, layout.TreePanelShown);
  place(TreeTitle, layout.TreeTitle, layout.TreePanelShown);
  place(Tree, layout.Tree, layout.TreePanelShown);
  place(PlayList, layout.PlayList, layout.PlayListShown);
  place(Board, layout.BoardArea, true);
  place(ColumnsArea, layout.ColumnsArea, true);
  for (int i = 0; i < BoardColumns; ++i) {
    const QRect& rect = layout.Columns[static_cast<size_t>(i)];
    TColumnView* view = ColumnView(i);
    const bool shown = i < VisibleColumns();
    place(view, rect, shown);
    if (shown) view->Refresh();
  }
  place(Viewer, layout.Viewer, layout.ViewerShown);
  place(ViewerSplitter, layout.ViewerSplitter, layout.ViewerShown);
  place(ViewerClient, layout.ViewerClient, layout.ViewerShown);
  place(InfoBars, layout.InfoBars, layout.InfoBarsShown);
  TInfoBar* bars[] = {ColumnInfoBar, FileInfoBar, DescriptionBar, ReferenceBar};
  for (size_t i = 0; i < std::size(bars); ++i) {
    place(bars[i], layout.InfoBar[i].Bar, layout.InfoBar[i].Shown);
    bars[i]->Place(layout.InfoBar[i].Fields);
  }
  place(HintBar, layout.HintBar, layout.HintBarShown);
  PlaceMediaWidgets();
  ApplyTreeNavigatorLook();
}

int TMainForm::LargestViewerHeightNow() const {
  const MyTPanel* list = Views[0]->FileList;
  const int firstRow = list->mapTo(Board, QPoint(0, Columns[0]->List.ItemHeight())).y();
  return LargestViewerHeight(Board->height(), firstRow, list->BorderWidth());
}

void TMainForm::ShowHint(const QString& hint) {
  HintBar->SetCaption(HintBarText(hint.toStdString()));
}

bool TMainForm::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
    if (!tip.isEmpty()) ShowHint(tip);
    return true;
  }
  return QMainWindow::event(event);
}

void TMainForm::LayoutBoard() {
  Reset(false);
}

void TMainForm::FocusColumn(int index) {
  if (index < 0 || index >= VisibleColumns()) index = 0;
  BoardModel->SetActiveColumn(index);
  ColumnView(index)->FileList->setFocus(Qt::OtherFocusReason);
  UpdateActiveFile();
}

void TMainForm::UpdateActiveFile() {
  TColumn& column = Column(ActiveColumn());
  TProgram::SetProgramWorkingPath(column.ActiveTitle);
  column.ShowInfo();
  ShowInfoBars();
}

void TMainForm::ShowInfoBars() {
  const TColumn& column = Column(ActiveColumn());
  const TColumnInfo& info = column.Info;
  ColumnInfoBar->SetFields({&info.Files, &info.Encrypted, &info.SelNum, &info.SelSz, &info.TotalSz,
                            &info.PartSz, &info.PartAttr});
  // A column without items has no active file: its title is what the
  // column showed before.
  if (column.Count() == 0) {
    FileInfoBar->SetFields({});
    DescriptionBar->SetFields({});
    return;
  }
  FileInfoBar->SetFields({&info.Index, &info.Size, &info.Attr, &info.HardLinks, &info.Streams,
                          &info.Title, &info.Modified});
  DescriptionBar->SetFields({&info.Description});
}

bool TMainForm::CheckDirMonitor(bool force) {
  std::vector<TColumn*> visible;
  for (int i = 0; i < VisibleColumns(); ++i)
    visible.push_back(&Column(i));
  const bool listFocused = ColumnView(ActiveColumn())->ListHasFocus();
  const bool changed = cv::CheckDirMonitor(visible, force, listFocused, MonitorState, BusyCount);
  // Reloaded columns refreshed themselves; the rest may only gain a mark.
  for (int i = 0; i < VisibleColumns(); ++i)
    ColumnView(i)->RefreshHeader();
  if (changed) FocusColumn(ActiveColumn());
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
  // The window system adds " — Corvantide" to a caption that does not end
  // with the program's name: the name goes last, so it is shown once.
  if (!ProgramOptions.ShowSystemInfo) return "Corvantide";
  return ShortDateTimeText(" | ", NowDateTime()) + " | RAM " +
         GetSizeText(3, 0, GetAvailablePhysicalMemory()) + " (" +
         GetSizeText(3, 0, GetTotalPhysicalMemory()) + ") — Corvantide";
}

void TMainForm::SaveChangedContainers(bool all) {
  TGuard guard("TMainForm::SaveChangedContainers");
  guard.Run([&] {
    if (all)
      Containers.SaveAll();
    else
      Containers.SaveDue(SecondsNow());
    guard.TakeOver();
  });
  // A save that keeps failing is retried every second: shown once, then logged.
  if (!guard.Failed()) return;
  bool quiet = ContainerSaveFailureShown;
  ContainerSaveFailureShown = true;
  guard.Show("Failed to save file.", &quiet);
}

void TMainForm::MainTimerTimer() {
  TGuard guard("TMainForm::MainTimerTimer");
  guard.Run([&] {
    CheckItemHotTrack();
    ActivateExternalDrag();
    SaveChangedContainers(false);
    MediaTimerStep();
    HoverTimerStep();
    // A tick inside a wait (the information bars' facts raise no busy
    // counter) would reload columns in the middle of their work.
    if (BusyCount.Busy() || TWait::Current() || !isActiveWindow()) return;
    if (MonitorCrono.IsPeriod(1.0)) {
      // The reload and the refocus after it show the facts the bars have;
      // the hold ends after the updates the check queued.
      for (int i = 0; i < ColumnCount; ++i)
        Column(i).FactsHeld = true;
      CheckDirMonitor(false);
      QTimer::singleShot(0, this, [this] {
        for (int i = 0; i < ColumnCount; ++i)
          Column(i).FactsHeld = false;
      });
    }
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
  // The picture is only tiled again: it stays decoded.
  SetupBackPicture({});
  Reset(false);
  FocusColumn(ActiveColumn());
}

void TMainForm::SaveSession() {
  TGuard guard("TMainForm::FormCloseQuery");
  guard.Run([&] { SaveOptions(); });
  guard.Show("Failed to save the options.");
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // A running operation still works on the columns and the files: once the
  // user agrees, it stops at its next step, and RunFileOperation closes the
  // window once it returned.
  if (FileForm && FileForm->Running()) {
    event->ignore();
    if (CloseAfterFileOperation) return;
    if (!ClosingFromOutside && !AskYesNo("Cancel the running operation and close?")) return;
    CloseAfterFileOperation = true;
    FileForm->CancelRun();
    return;
  }
  // Typed text in the streams editor is the user's to keep or drop; a close
  // by signal cannot ask and leaves the file as it is on disk.
  if (FileStreamsForm && !ClosingFromOutside && !FileStreamsForm->CheckSave()) {
    event->ignore();
    return;
  }
  // Closing is never refused otherwise: what cannot be saved has been reported.
  MainTimer.stop();
  SaveSession();
  event->accept();
}

void TMainForm::CloseFromOutside() {
  ClosingFromOutside = true;
  if (FileForm && FileForm->Running()) FileForm->CancelRun();
  if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  // Each dialog's loop has to return before the window can go: answer the
  // top one, then look again (a running operation's dialog stays until its
  // engine returned or was left behind).
  if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) {
    if (auto* dialog = qobject_cast<QDialog*>(modal))
      dialog->reject();
    else
      modal->close();
    QTimer::singleShot(10, this, [this] { CloseFromOutside(); });
    return;
  }
  close();
}

// ---- Commands ----------------------------------------------------------------------------

namespace {

uint32_t KeySet(Qt::KeyboardModifiers modifiers) {
  uint32_t set = kmNone;
  if (modifiers.testFlag(Qt::ShiftModifier)) set |= kmShift;
  if (modifiers.testFlag(Qt::ControlModifier)) set |= kmCtrl;
  if (modifiers.testFlag(Qt::AltModifier)) set |= kmAlt;
  return set;
}

// "Go to" from a menu: none holds the column, Ctrl moves the group left,
// Shift opens in the next column, Ctrl+Shift does both.
TGroupKeys GoToKeys(Qt::KeyboardModifiers modifiers) {
  const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
  const bool shift = modifiers.testFlag(Qt::ShiftModifier);
  if (!ctrl && !shift) return {.Alt = true};
  return {.Ctrl = ctrl, .Shift = ctrl && shift};
}

const char* const COnlineHelp = "https://corvantide.org/help";

} // namespace

void TMainForm::ApplyHover(const THoverActions& actions) {
  auto paint = [this](const THotItem& item, bool hot) {
    if (item.Column < 0 || item.Column >= BoardColumns) return;
    MyTPanel* list = ColumnView(item.Column)->FileList;
    if (hot)
      list->SetHotItem(item.Index);
    else if (list->HotItem() == item.Index)
      list->SetHotItem(-1);
  };
  if (actions.Close) CloseHoverWindow();
  if (actions.Unhot) paint(*actions.Unhot, false);
  if (actions.Hot) paint(*actions.Hot, true);
  if (actions.Open) OpenHoverWindow(Hover.HotItem());
}

void TMainForm::ListMouseMove(int column, const QPoint& inner, const QPoint& global) {
  if (column >= VisibleColumns()) return;
  const TItemListState& list = Column(column).List;
  const int index = list.ItemAtPoint(inner.x(), inner.y());
  const bool inTypeZone =
      index >= 0 && InTypeZone(inner - list.ItemRect(index).topLeft(), ColumnRowHeight());
  ApplyHover(Hover.MouseOverItem(column, index, inTypeZone));
  ApplyHover(Hover.MouseMove({column, index}, global));
  MouseMenuMove(global);
  // A column dragged over a board button shows that board after a moment.
  if (Press.Button == Qt::LeftButton && (QGuiApplication::mouseButtons() & Qt::LeftButton))
    Bar->DragAt(global);
  const std::string hint = ListHintAt(column, inner);
  if (hint != LastListHint) {
    LastListHint = hint;
    ShowHint(QString::fromStdString(hint));
  }
}

std::string TMainForm::ListHintAt(int column, const QPoint& inner) const {
  const TColumn& shown = *Columns[static_cast<size_t>(column)];
  const int index = shown.List.ItemAtPoint(inner.x(), inner.y());
  if (index < 0 || index >= static_cast<int>(shown.Items.size()))
    return EmptySpaceMouseHint(shown.ShownPath());
  // The hint says what the buttons do here, with the settings in force.
  const bool inTypeZone =
      InTypeZone(inner - shown.List.ItemRect(index).topLeft(), ColumnRowHeight());
  return ItemMouseHint(shown.Items[static_cast<size_t>(index)], inTypeZone, shown.ThumbAttr);
}

void TMainForm::RefreshListHint() {
  if (LastListHint.empty()) return;
  std::string hint;
  for (int i = 0; i < VisibleColumns(); ++i) {
    const MyTPanel* list = ColumnView(i)->FileList;
    const QPoint point = list->mapFromGlobal(QCursor::pos());
    if (!list->isVisible() || !list->rect().contains(point)) continue;
    hint = ListHintAt(i, point - list->InnerOrigin());
    break;
  }
  if (hint == LastListHint) return;
  LastListHint = hint;
  ShowHint(QString::fromStdString(hint));
}

void TMainForm::CheckItemHotTrack() {
  const THotItem& hot = Hover.HotItem();
  THoverTickFacts facts;
  facts.ItemUnderMouse = !hot.None() && hot.Column < VisibleColumns() &&
                         ColumnView(hot.Column)->FileList->ItemUnderMouse() == hot.Index;
  if (facts.ItemUnderMouse) {
    const MyTPanel* list = ColumnView(hot.Column)->FileList;
    const QPoint inner = list->mapFromGlobal(QCursor::pos()) - list->InnerOrigin();
    facts.InTypeZone = InTypeZone(
        inner - Column(hot.Column).List.ItemRect(hot.Index).topLeft(), ColumnRowHeight());
  }
  facts.ButtonDown = QGuiApplication::mouseButtons() != Qt::NoButton;
  facts.WindowActive = isActiveWindow();
  facts.Mouse = QCursor::pos();
  ApplyHover(Hover.Tick(facts));
}

bool TMainForm::MainKey(const QKeyEvent& key) {
  const int code = key.key();
  if (code == Qt::Key_Shift || code == Qt::Key_Control || code == Qt::Key_Alt ||
      code == Qt::Key_Meta)
    return true;
  const TMainKey* row = FindMainKey(code, KeySet(key.modifiers()));
  // The player's keys leave the hover window open: "[" and "]" replay its preview.
  const bool mediaKey = row && row->Path == "Media" && !key.modifiers().testFlag(Qt::KeypadModifier);
  if (!mediaKey) ApplyHover(Hover.Close());
  if (!row || row->Action == TKeyAction::PassOn) return false;
  // The pad's "+" and "-" are the column's selection keys, not the player's.
  if (row->Path == "Media" && !mediaKey) return false;
  if (windowState().testFlag(Qt::WindowMinimized)) showNormal();
  if (row->Action == TKeyAction::Consume) return true;
  if (row->Action == TKeyAction::Run) {
    RunCommand(row->Path, key.modifiers());
    return true;
  }
  // What the window does itself.
  if (row->Path == "Media") {
    MediaKey(code);
  } else if (row->Path == "Mark source column" || row->Path == "Show File-drag menu") {
    if (row->Path == "Mark source column") TakeDragStateOfActiveColumn(KeySet(key.modifiers()));
    RunCommand("File/Inter-board/" + std::string(row->Path), key.modifiers());
  } else if (row->Path == "Paste") {
    // One key pastes into what the column shows: titles into a container,
    // files into a directory.
    const TColumn& column = Column(ActiveColumn());
    if (!column.ShowsDirectory())
      RunCommand("File/Container/Add to this container", key.modifiers());
    else if (!column.ShownPath().empty())
      RunCommand("File/Paste", key.modifiers());
    else if (!BusyCount.Busy())
      ShowWarning(PasteNeedsDirectory);
  } else if (row->Path == "File menu") {
    const int active = ActiveColumn();
    Drag.DragSourceColumn = active;
    Drag.DragShift = KeySet(key.modifiers());
    Drag.DragIndex = Column(active).List.FocusIndex();
    Drag.DropIndex = Drag.DragIndex;
    Drag.DragTitle = Column(active).ActiveTitle;
    ShowFileMenu(-1, -1, key.modifiers());
  } else if (row->Path == "Help under the mouse") {
    // The help of the control under the mouse, not of the focused one.
    int context = 100;
    for (const QWidget* widget = QApplication::widgetAt(QCursor::pos()); widget;
         widget = widget->parentWidget())
      if (const QVariant help = widget->property("HelpContext"); help.isValid()) {
        context = help.toInt();
        break;
      }
    ShowHelp(context);
  }
  return true;
}

bool TMainForm::RunCommand(std::string_view path, Qt::KeyboardModifiers modifiers) {
  if (BusyCount.Busy()) return false;
  EnableFileMenuItems(modifiers);
  return Menus->Run(path);
}

void TMainForm::EnableFileMenuItems(Qt::KeyboardModifiers modifiers) {
  MenuShift = modifiers;
  const TColumn& column = Column(ActiveColumn());
  Menus->Enable(CommandTerms(column));
  const std::string extension = GetExtension(column.ActiveTitle);
  const int type = column.ActiveType;
  Menus->SetChecked("File/Miscellaneous/Associate extension/Program", type == fltProgram);
  Menus->SetChecked("File/Miscellaneous/Associate extension/Document", type == fltDocument);
  Menus->SetChecked("File/Miscellaneous/Associate extension/Generic", type == fltGeneric);
  const bool audio = AudioFileExtensions.Contains(extension);
  const bool video = VideoFileExtensions.Contains(extension);
  const bool text = TextFileExtensions.Contains(extension);
  Menus->SetChecked("File/Miscellaneous/Associate extension/Audio", audio);
  Menus->SetChecked("File/Miscellaneous/Associate extension/Video", video);
  Menus->SetChecked("File/Miscellaneous/Associate extension/Text", text);
  Menus->SetChecked("File/Miscellaneous/Associate extension/None", !audio && !video && !text);
  EnableInterBoardItems();
  EnableSystemMenuItems(modifiers);
}

void TMainForm::ShowFileMenu(int x, int y, Qt::KeyboardModifiers modifiers) {
  TGuard guard("TMainForm::ShowFileMenu");
  guard.Run([&] {
    if (BusyCount.Busy()) return;
    EnableFileMenuItems(modifiers);
    const int active = ActiveColumn();
    TColumn& column = Column(active);
    Menus->Check("File/Visible columns", std::to_string(VisibleColumns()));
    Menus->SetChecked("File/Attributes/Fixed", column.FixedAttr);
    Menus->SetChecked("File/Attributes/Thumbnails", column.ThumbAttr);
    Menus->Check("File/Attributes/Width", std::to_string(column.WidthAttr));
    Menus->Check("File/Attributes/Subcolumns", std::to_string(column.SubcolumnsAttr));
    Menus->Check("File/Attributes/Thumbnail height", std::to_string(column.ThumbHeight));
    Menus->Check("File/Attributes/Sort", column.SortMode);
    const bool all = KeySet(modifiers) == kmCtrl;
    if (QAction* heading = Menus->Action("File/Attributes/Thumbnail height/This")) {
      heading->setText(all ? QStringLiteral("All") : QStringLiteral("This"));
      heading->setStatusTip(
          all ? QStringLiteral("Set the thumb height for all columns of this board")
              : QStringLiteral("Set the thumb height for this column"));
    }
    const std::string setting = GetProgramRegistryText("Corvantide", "", "OptionsPath");
    Menus->SetChecked("File/Attributes/Special paths/Default \"Options\"", setting.empty());
    Menus->SetChecked("File/Attributes/Special paths/Mark \"Options\"",
                      !setting.empty() && ExcludeDelimiter(setting) ==
                                              ExcludeDelimiter(GetTitlePath(column.ActiveTitle)));
    QPoint at(x, y);
    MyTPanel* list = ColumnView(active)->FileList;
    if (x == -1) at.setX(list->mapToGlobal(QPoint(list->BorderWidth() + list->width() / 2, 0)).x());
    if (y == -1) {
      const int below =
          list->BorderWidth() +
          column.List.ItemHeight() * (column.List.FocusIndex() - column.List.TopIndex() + 1);
      at.setY(list->mapToGlobal(QPoint(0, below)).y());
    }
    Menus->Top("File")->popup(at);
  });
  guard.Show("Unhandled exception: " + guard.Context().Description);
}

void TMainForm::ShowMenuBelow(std::string_view name, QWidget* button) {
  TGuard guard("TMainForm::WorkMenuButtonMouseDown");
  guard.Run([&] {
    EnableFileMenuItems(QGuiApplication::keyboardModifiers());
    Menus->Top(name)->popup(button->mapToGlobal(QPoint(0, button->height())));
  });
  guard.Show("Unhandled exception: " + guard.Context().Description);
}

void TMainForm::ShowBoard(int index) {
  if (index < 0 || index >= TBoardSet::BoardCount || index == Boards.ActiveBoard()) return;
  TGuard guard("TBoardsBar::Show");
  guard.Run([&] {
    Boards.StoreActiveBoard(*BoardModel);
    Boards.SetActiveBoard(index);
    Boards.LoadActiveBoard(*BoardModel, true);
    Reset(true);
    NavigatePanelToBoardPath();
    Bar->RefreshCaptions();
    FocusColumn(ActiveColumn());
  });
  guard.Show("Unhandled exception: " + guard.Context().Description);
}

void TMainForm::GoTo(const std::string& directory) {
  BoardModel->EnterDirectory(ActiveColumn(), ExcludeDelimiter(directory), GoToKeys(MenuShift));
}

void TMainForm::SortActiveColumn(const std::string& mode) {
  TColumn& column = Column(ActiveColumn());
  column.SortMode = mode;
  column.LoadDirectory(false);
  FocusColumn(ActiveColumn());
}

void TMainForm::AssociateExtension(const std::string& group) {
  const std::string extension = GetExtension(Column(ActiveColumn()).ActiveTitle);
  if (extension.empty()) return;
  if (group == "Program" || group == "Document" || group == "Generic") {
    ProgramFileExtensions.Delete(extension);
    DocumentFileExtensions.Delete(extension);
    if (group == "Program") ProgramFileExtensions.Add(extension);
    if (group == "Document") DocumentFileExtensions.Add(extension);
    return;
  }
  AudioFileExtensions.Delete(extension);
  VideoFileExtensions.Delete(extension);
  TextFileExtensions.Delete(extension);
  if (group == "Audio") AudioFileExtensions.Add(extension);
  if (group == "Video") VideoFileExtensions.Add(extension);
  if (group == "Text") TextFileExtensions.Add(extension);
}

void TMainForm::ToggleOption(bool& option) {
  option = !option;
  Reset(false);
  FocusColumn(ActiveColumn());
}

void TMainForm::FillHistoryMenu(QMenu& menu) {
  for (const THistoryMenuItem& item : History->MenuItems()) {
    QAction* action = menu.addAction(QString::fromStdString(item.Caption));
    if (item.Default) {
      QFont font = action->font();
      font.setBold(true);
      action->setFont(font);
      continue;
    }
    const int index = item.Index;
    connect(action, &QAction::triggered, this, [this, index] {
      if (index < 0 || index >= History->Count()) return;
      const THistoryEntry entry = History->Entry(index);
      Column(ActiveColumn())
          .LoadDirectory(true, -1, entry.EntryKey, entry.EntryTopOffset, entry.EntryType,
                         entry.EntryTitle);
      FocusColumn(ActiveColumn());
    });
  }
}

void TMainForm::FillPartitionsMenu(QMenu& menu) {
  std::vector<std::string> partitions;
  GetPartitionList(partitions);
  for (const std::string& partition : partitions) {
    QAction* action = menu.addAction(
        QString::fromStdString(partition).replace(QLatin1Char('&'), QStringLiteral("&&")));
    connect(action, &QAction::triggered, this,
            [this, partition] { GoTo(PartitionTitleToPath(partition)); });
  }
}

void TMainForm::RegisterCommands() {
  TMainMenus& m = *Menus;
  auto board = [this] { return BoardModel.get(); };
  // Attributes
  m.On("File/Attributes/Fixed", [board] { board()->ToggleFixed(); });
  m.On("File/Attributes/Thumbnails", [board] { board()->ToggleThumbnails(); });
  m.OnNumber("File/Attributes/Width", [board](int n) { board()->SetWidthAttr(n); });
  m.OnNumber("File/Attributes/Subcolumns", [board](int n) { board()->SetSubcolumnsAttr(n); });
  m.OnNumber("File/Attributes/Thumbnail height",
             [this, board](int n) { board()->SetThumbHeight(n, KeySet(MenuShift) == kmCtrl); });
  for (const char* mode : SortModeNames)
    m.On(std::string("File/Attributes/Sort/") + mode, [this, mode] { SortActiveColumn(mode); });
  m.On("File/Attributes/Special paths/Mark \"Options\"", [this] {
    const std::string shown = GetTitlePath(Column(ActiveColumn()).ActiveTitle);
    if (!shown.empty()) SetProgramRegistryText("Corvantide", "", "OptionsPath", shown);
  });
  m.On("File/Attributes/Special paths/Default \"Options\"",
       [] { SetProgramRegistryText("Corvantide", "", "OptionsPath", ""); });
  m.On("File/Attributes/Special paths/Go to \"Options\"", [this] {
    std::string setting = GetProgramRegistryText("Corvantide", "", "OptionsPath");
    while (setting.size() > 1 && setting.back() == '/')
      setting.pop_back();
    const std::string directory = setting.empty() ? Program.OptionsPath() : setting;
    if (!IsDirectoryTitle(ExcludeDelimiter(directory))) {
      ShowWarning("There is no such directory.");
      return;
    }
    BoardModel->EnterDirectory(ActiveColumn(), ExcludeDelimiter(directory), {.Alt = true});
  });
  // Navigate
  const std::pair<const char*, std::function<std::string()>> programPlaces[] = {
      {"Containers", [] { return Program.ContainersPath(); }},
      {"Locations", [] { return Program.LocationsPath(); }},
      {"Plugins", [] { return Program.PluginsPaths().front(); }},
      {"Send", [] { return Program.SendPath(); }},
      {"Send Drag", [] { return Program.SendDragPath(); }},
      {"Skins", [] { return Program.SkinsPath(); }},
      {"This Program", [] { return Program.ProgramPath(); }},
      {"Tools", [] { return Program.ToolsPath(); }},
  };
  for (const auto& [name, place] : programPlaces)
    m.On(std::string("File/Navigate/Program locations/") + name, [this, place] { GoTo(place()); });
  m.OnFill("File/Navigate/History", [this](QMenu& menu) { FillHistoryMenu(menu); });
  m.OnFill("File/Partitions", [this](QMenu& menu) { FillPartitionsMenu(menu); });
  RegisterFileCommands();
  RegisterColumnCommands();
  RegisterSystemMenus();
  RegisterContainerCommands();
  RegisterSearchFileCommands();
  RegisterTrashCommands();
  RegisterInterBoardCommands();
  auto onActive = [this](void (TColumn::*command)()) {
    return [this, command] {
      (Column(ActiveColumn()).*command)();
      FocusColumn(ActiveColumn());
    };
  };
  m.On("File/Navigate/Previous directory", onActive(&TColumn::PreviousDirectory));
  m.On("File/Navigate/Partition root", onActive(&TColumn::PartitionRoot));
  m.On("File/Navigate/Default directory", onActive(&TColumn::DefaultDirectory));
  m.On("File/Navigate/Parent directory", onActive(&TColumn::ParentDirectory));
  m.On("File/Navigate/Load directory", [this] {
    Column(ActiveColumn()).LoadDirectory(false);
    FocusColumn(ActiveColumn());
  });
  m.On("File/Navigate/Load all directories", [this] {
    for (int i = 0; i < VisibleColumns(); ++i)
      Column(i).LoadDirectory(false);
    FocusColumn(ActiveColumn());
  });
  // Columns
  m.OnNumber("File/Visible columns", [board](int n) { board()->ChangeVisibleColumns(n); });
  m.On("File/Group of columns/Insert column at end", [board] { board()->InsertColumnAtEnd(); });
  m.On("File/Group of columns/Delete last column", [board] { board()->CutLastColumn(); });
  m.On("File/Group of columns/Insert column here", [board] { board()->InsertColumnHere(); });
  m.On("File/Group of columns/Delete this column", [board] { board()->CutColumnHere(); });
  m.On("File/Group of columns/Rotate columns to right", [board] { board()->RotateRight(); });
  m.On("File/Group of columns/Rotate columns to left", [board] { board()->RotateLeft(); });
  // Extensions
  for (const char* group : {"Program", "Document", "Generic", "Audio", "Video", "Text", "None"})
    m.On(std::string("File/Miscellaneous/Associate extension/") + group,
         [this, group] { AssociateExtension(group); });
  m.On("File/Miscellaneous/Associate extension/Save and update", [this] {
    const std::string directory = OptionsDirectory();
    OptionsIni.FileName = directory + "Corvantide.ini";
    OptionsIni.Save(false);
    RunCommand("File/Navigate/Load all directories");
  });
  // Select
  auto onSelection = [this](void (TColumn::*command)(bool), bool filesOnly) {
    return [this, command, filesOnly] { (Column(ActiveColumn()).*command)(filesOnly); };
  };
  m.On("File/Select/Select files", onSelection(&TColumn::SelectAll, true));
  m.On("File/Select/Select all", onSelection(&TColumn::SelectAll, false));
  m.On("File/Select/Deselect files", onSelection(&TColumn::DeselectAll, true));
  m.On("File/Select/Deselect all", onSelection(&TColumn::DeselectAll, false));
  m.On("File/Select/Toggle files", onSelection(&TColumn::ToggleAll, true));
  m.On("File/Select/Toggle all", onSelection(&TColumn::ToggleAll, false));
  m.On("File/Select/Toggle this", [this] { Column(ActiveColumn()).ToggleThis(); });
  m.On("File/Select/Toggle up", [this] { Column(ActiveColumn()).ToggleUp(); });
  m.On("File/Select/Toggle down", [this] { Column(ActiveColumn()).ToggleDown(); });
  // Work
  m.On("Work/Connect partition", [this] {
    bool ok = false;
    const QString address = QInputDialog::getText(
        this, QStringLiteral("Connect partition"),
        QStringLiteral("Address of the network disk (smb://server/share, sftp://user@host/, ...):"),
        QLineEdit::Normal, {}, &ok);
    if (!ok || address.trimmed().isEmpty()) return;
    TBusyScope busy; // the answer may take a while; commands wait for it
    TGuard guard("TMainForm::ConnectPartitionClick");
    guard.Run([&] {
      ConnectPartition(address.trimmed().toStdString());
      guard.TakeOver();
    });
    const bool connected = !guard.Failed();
    guard.Show("Failed to connect partition.");
    // The new partition shows in a partitions list at once.
    if (connected && IsPartitionTitle(Column(ActiveColumn()).ActiveTitle))
      Column(ActiveColumn()).LoadDirectory(false);
  });
  m.On("Work/Disconnect partition", [this] {
    const std::vector<TNetworkMount> mounts = NetworkMounts();
    if (mounts.empty()) {
      ShowInformation("There is no partition to disconnect.");
      return;
    }
    QStringList names;
    for (const TNetworkMount& mount : mounts)
      names << QString::fromStdString(mount.Name +
                                      (mount.Root.empty() ? "" : "  (" + mount.Root + ")"));
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(this, QStringLiteral("Disconnect partition"),
                              QStringLiteral("Partition:"), names, 0, false, &ok);
    if (!ok) return;
    const std::string uri = mounts[static_cast<size_t>(names.indexOf(chosen))].Uri;
    TBusyScope busy;
    TGuard guard("TMainForm::DisconnectPartitionClick");
    guard.Run([&] {
      DisconnectPartition(uri);
      guard.TakeOver();
    });
    guard.Show("Failed to disconnect partition.");
  });
  m.On("Work/Options", [this] { OptionsCommand(); });
  m.On("Work/Layout/Maximize columns height", [this] {
    ProgramOptions.ShowBoardsBar = false;
    ProgramOptions.ShowColumnInfo = false;
    ProgramOptions.ShowFileDesc = false;
    ProgramOptions.ShowReferenceInfo = false;
    ProgramOptions.ShowHintBar = false;
    Reset(false);
    FocusColumn(ActiveColumn());
  });
  m.On("Work/Layout/Toggle column info bar",
       [this] { ToggleOption(ProgramOptions.ShowColumnInfo); });
  m.On("Work/Layout/Toggle file info bar", [this] { ToggleOption(ProgramOptions.ShowFileInfo); });
  m.On("Work/Layout/Toggle hint bar", [this] { ToggleOption(ProgramOptions.ShowHintBar); });
  m.On("Work/Layout/Toggle boards bar", [this] { ToggleOption(ProgramOptions.ShowBoardsBar); });
  m.On("Work/Layout/Toggle hover info",
       [] { ProgramOptions.FileHoverActive = !ProgramOptions.FileHoverActive; });
  m.On("Work/Hide", [this] { showMinimized(); });
  m.On("Work/Close program", [this] { close(); });
  // Help
  m.On("Help/Wizard", [this] { WizardCommand(false); });
  m.On("Help/Main", [] { ShowHelp(100); });
  m.On("Help/Keyboard, mouse", [] { ShowHelp(301); });
  m.On("Help/Online", [] {
    TGuard guard("TMainForm::OnlineClick");
    guard.Run([&] {
      if (!QDesktopServices::openUrl(QUrl(QString::fromLatin1(COnlineHelp))))
        guard.Raise("Failed to open site.", COnlineHelp);
    });
    guard.Show("Failed to open site.");
  });
}

} // namespace cv
