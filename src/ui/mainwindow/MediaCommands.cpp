// The media player in the window: the play-list panel, the viewer's video
// and text, the "MPLs" menu and the player's commands and keys.

#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "fileops/Run.h"
#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "filesystem/FileHandles.h"
#include "filesystem/Links.h"
#include "foundation/Guard.h"
#include "foundation/OffThread.h"
#include "foundation/UserInterface.h"
#include "mainwindow/MainDialog.h"
#include "mainwindow/MainMenus.h"
#include "media/MediaPlayback.h"
#include "options/ProgramOptions.h"
#include "viewer/PictureViewer.h"

#include <QMenu>
#include <QPlainTextEdit>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>

namespace cv {

namespace {

QString Shown(const std::string& bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The entries of a directory by name, as bytes, for a remembered
// directory play-list.
std::vector<std::string> ListDirectoryTitles(const std::string& directory) {
  std::vector<std::string> titles;
  const std::string path = IncludeDelimiter(directory);
  TFileHandle handle(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!handle.Valid()) return titles;
  DIR* listing = ::fdopendir(handle.Get());
  if (!listing) return titles;
  handle.Release();
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    titles.push_back(path + name);
  }
  ::closedir(listing);
  std::sort(titles.begin(), titles.end());
  return titles;
}

} // namespace

void TMainForm::CreateMediaPlayer() {
  Media = std::make_unique<TMediaPlayback>();
  Media->VideoPanel = new QWidget(Viewer);
  Media->VideoPanel->setObjectName(QStringLiteral("VideoPanel"));
  Media->VideoPanel->setAutoFillBackground(true);
  Media->VideoPanel->setProperty("HelpContext", 207);
  Media->VideoPanel->hide();
  Media->Device.SetDisplays(Media->VideoPanel, nullptr);
  CreatePictureViewer();
  Media->Panel = new TMediaPanel(Media->Player, PlayList);
  Media->Panel->OnFailure = [](const char* sentence) {
    TGuard guard("TMediaPanel");
    guard.Run([&] { guard.TakeOver(); });
    guard.Show(sentence);
  };
  Media->Panel->OnTogglesChanged = [this] { Media->Player.PlaceVideo(); };
  Media->Panel->OnStopAndRun = [](const std::string& title) {
    TGuard guard("TMainForm::PlayListStopAndRun");
    guard.Run([&] {
      MyRunFile(title, {}, {}, true, false);
      guard.TakeOver();
    });
    guard.Show("Failed to run file.");
  };
  Media->Panel->OnDropItem = [this](const std::string& title, const QPoint& global) {
    for (int target = 0; target < VisibleColumns(); ++target) {
      const QWidget* list = ColumnView(target)->FileList;
      if (!list->rect().contains(list->mapFromGlobal(global))) continue;
      // The file becomes the active file of the column it was dropped on.
      FocusColumn(target);
      Column(target).LoadDirectory(true, -1, std::nullopt, std::nullopt, std::nullopt, title);
      FocusColumn(target);
      return;
    }
  };
  Media->OnShowVideoViewer = [this] { ShowVideoViewer(); };
  IniSteps.Add(
      TIniStep::PlayListMemory, [this](const TStoredTextList& ini) { Media->LastPlayed.Load(ini); },
      [this](TStoredTextList& ini) {
        Media->Player.RememberResumePoint();
        Media->LastPlayed.Save(ini);
      });
  IniSteps.Add(
      TIniStep::MediaPlayList,
      [this](const TStoredTextList& ini) {
        ini.ReadBool("MediaPlayList", "Repeat", Media->Player.Repeat);
        ini.ReadBool("MediaPlayList", "FitMovie", Media->Player.FitMovie);
        Media->Panel->Refresh();
      },
      [this](TStoredTextList& ini) {
        ini.WriteBool("MediaPlayList", "Repeat", Media->Player.Repeat);
        ini.WriteBool("MediaPlayList", "FitMovie", Media->Player.FitMovie);
      });
}

void TMainForm::ShowVideoViewer() {
  ResetViewer();
  Media->VideoShown = true;
  ViewerShown = true;
  Reset(false);
}

void TMainForm::PlaceMediaWidgets() {
  if (!Media) return;
  Media->Panel->setGeometry(0, 0, PlayList->width(), PlayList->height());
  Media->Panel->show(); // hidden with the panel that holds it
  Media->VideoPanel->setGeometry(ViewerClient->geometry());
  Media->VideoPanel->setVisible(ViewerShown && Media->VideoShown);
  PictureViewer->setGeometry(ViewerClient->geometry());
  PictureViewer->setVisible(ViewerShown && !Media->VideoShown && PictureShown);
  ViewerClient->setVisible(ViewerShown && !Media->VideoShown && !PictureShown);
  if (Media->VideoShown) Media->Player.PlaceVideo();
}

void TMainForm::MediaTimerStep() {
  if (!Media) return;
  Media->Player.PlayNext();
  Media->Panel->RefreshBars();
}

void TMainForm::MediaKey(int key) {
  MyTMediaPlayer& player = Media->Player;
  switch (key) {
  case Qt::Key_Equal:
  case Qt::Key_Plus:
    player.VolumeStep(1);
    break;
  case Qt::Key_Minus:
  case Qt::Key_Underscore:
    player.VolumeStep(-1);
    break;
  case Qt::Key_BracketRight:
  case Qt::Key_BraceRight:
  case Qt::Key_BracketLeft:
  case Qt::Key_BraceLeft:
    // While nothing plays they replay the hover window's preview.
    if ((!player.Playing || player.ThumbPlay) && HoverReplay()) return;
    player.SeekStep(key == Qt::Key_BracketRight || key == Qt::Key_BraceRight ? 1 : -1);
    break;
  default:
    return;
  }
  Media->Panel->RefreshBars();
}

void TMainForm::ViewText(const std::string& title) {
  ResetViewer();
  ViewerShown = true;
  Reset(false);
  ViewerClient->setLineWrapMode(ProgramOptions.ViewerTextWordWrap ? QPlainTextEdit::WidgetWidth
                                                                  : QPlainTextEdit::NoWrap);
  const int64_t limit = ProgramOptions.ViewerMaxTextSize;
  std::string status;
  TFileHandle file;
  const int error = OpenRegularForReading(title, true, file);
  const uint64_t size = error ? 0 : GetFileSize(file.Get());
  if (error || size == 0) {
    status = "File is empty or missing.";
  } else if (limit >= 0 && size > static_cast<uint64_t>(limit)) {
    status = "File size is too big (over " + std::to_string(limit) + " bytes).";
  } else {
    // Without a limit the text area still gets no more than it can hold.
    constexpr uint64_t CMostShown = 64u << 20;
    std::string text;
    if (const int failed = ReadAll(file.Get(), std::min(size, CMostShown), text))
      status = "ERROR: " + std::string(std::strerror(failed));
    else
      ViewerClient->setPlainText(Shown(text));
  }
  if (status.empty() || status.starts_with("File size is too big"))
    status += (status.empty() ? "" : " ") + std::string("File size = ") + GetSizeText(3, 0, size);
  ViewerClient->setStatusTip(Shown(status));
  ShowHint(Shown(status));
}

void TMainForm::ViewMediaInDirectory(bool fromActive) {
  const TColumn& column = Column(ActiveColumn());
  std::vector<std::string> titles;
  for (const TFileListData& item : column.Items)
    if (item.Type != fltDirectory) titles.push_back(item.Title);
  const std::string directory = column.ShownPath();
  TGuard guard("TFileViewer::ViewMediaInDirectory");
  if (!Media->Player.ViewMediaInDirectory(directory, titles, 0,
                                          fromActive ? column.ActiveTitle : std::string()))
    guard.Show("Failed to play media in directory.");
}

void TMainForm::LastPlayedMPLMenuClick(const TLastPlayedEntry& entry) {
  TGuard guard("TMainForm::LastPlayedMPLMenuClick");
  MyTMediaPlayer& player = Media->Player;
  bool played = true;
  // The remembered list may lie on a share that no longer answers: it is
  // looked at off the window's thread, which Esc can leave.
  struct TRecalled {
    bool Exists = false, Directory = false;
    std::vector<std::string> Titles;
  } recalled;
  const TWaitEnd end = WaitOffThread<TRecalled>(
      [title = entry.Title](const std::atomic<bool>&) {
        TRecalled facts;
        facts.Exists = TitleExists(title);
        facts.Directory = facts.Exists && IsDirectoryTitle(title);
        if (facts.Directory) facts.Titles = ListDirectoryTitles(title);
        FunStatContext.Reset(fsPerfect);
        return facts;
      },
      recalled);
  if (end != TWaitEnd::Done) return;
  if (!recalled.Exists) {
    Media->LastPlayed.Remove(entry.Title);
    ShowInformation("The file doesn't exists.");
    return;
  }
  if (recalled.Directory)
    played = player.ViewMediaInDirectory(entry.Title, recalled.Titles, entry.ResumePosition,
                                         entry.ResumeTitle);
  else
    played = player.PlayMPL(entry.Title, entry.ResumeTitle, entry.ResumePosition);
  if (!played) guard.Show("Failed to resume media play-list.");
}

void TMainForm::FillMPLsMenu(QMenu& menu) {
  QAction* heading = menu.addAction(QStringLiteral("Media play-lists"));
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  heading->setEnabled(false);
  const std::vector<TLastPlayedEntry>& entries = Media->LastPlayed.Entries;
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    QAction* action = menu.addAction(Shown(entry->Title));
    action->setStatusTip(Shown("Resume \"" + entry->ResumeTitle + "\" at " +
                               MediaTimeText(entry->ResumePosition) + "."));
    const TLastPlayedEntry copy = *entry;
    connect(action, &QAction::triggered, this, [this, copy] { LastPlayedMPLMenuClick(copy); });
  }
}

void TMainForm::RegisterMediaCommands() {
  TMainMenus& m = *Menus;
  m.On("File/View & Edit/View", [this] { ViewActiveFile(); });
  m.On("File/View & Edit/View media in directory", [this] { ViewMediaInDirectory(false); });
  m.On("File/View & Edit/View this media in directory", [this] { ViewMediaInDirectory(true); });
  RegisterViewerCommands();
  m.OnFill("Work/MPLs", [this](QMenu& menu) { FillMPLsMenu(menu); });
  m.On("Work/Layout/Toggle media play-list", [this] {
    Boards.Active().ShowMPL = !Boards.Active().ShowMPL;
    Reset(false);
  });
  m.On("Work/Layout/Close viewer", [this] {
    Media->Player.RememberResumePoint();
    Media->Player.Stop();
    ResetViewer();
    ViewerShown = false;
    Reset(false);
    FocusColumn(ActiveColumn());
  });
  m.On("Work/Layout/Hide viewer", [this] {
    if (!ViewerShown) return;
    ViewerShown = false;
    Reset(false);
    FocusColumn(ActiveColumn());
  });
  m.On("Work/Layout/Maximize viewer height", [this] {
    ViewerShown = true;
    Reset(false);
    ViewerHeight = LargestViewerHeightNow();
    Reset(false);
  });
}

} // namespace cv
