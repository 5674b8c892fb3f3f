// The menus built from directories (Locations, Send, Send-drag, Tools) and
// the System and System-drag menus: the core gives their contents, the
// window shows them and runs what was chosen.

#include "mainwindow/MainDialog.h"

#include "columns/BoardColumns.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "fileops/FileForm.h"
#include "fileops/OpenWithForm.h"
#include "fileops/PropertiesForm.h"
#include "fileops/RenameForm.h"
#include "fileops/Run.h"
#include "filesystem/File.h"
#include "filesystem/Links.h"
#include "filesystem/SpecialLocations.h"
#include "foundation/BusyCount.h"
#include "foundation/Clipboard.h"
#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "foundation/QtText.h"
#include "foundation/ShiftState.h"
#include "foundation/UserInterface.h"
#include "foundation/Utilities.h"
#include "mainwindow/MainMenus.h"

#include <QAction>
#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QMenu>

#include <cerrno>

namespace cv {

void TMainForm::ShowFileMenuEntries(QMenu& menu, const std::vector<TFileMenuEntry>& entries,
                                    const std::function<void(const std::string&)>& click) {
  for (const TFileMenuEntry& entry : entries) {
    if (entry.IsDirectory) {
      QMenu* sub = menu.addMenu(MenuCaption(entry.Caption));
      SetMenuItemTag(sub->menuAction(), 1);
      SetMenuItemTitle(sub->menuAction(), entry.Title);
      ShowFileMenuEntries(*sub, entry.Children, click);
      continue;
    }
    QAction* action = menu.addAction(MenuCaption(entry.Caption));
    SetMenuItemTag(action, 0);
    // The item keeps its full title: nothing is rebuilt from captions.
    SetMenuItemTitle(action, entry.Title);
    action->setToolTip(ToQString(entry.Title));
    connect(action, &QAction::triggered, this, [click, action] { click(MenuItemTitle(action)); });
  }
}

void TMainForm::FillFileMenu(
    QMenu& menu, const TSendMenuRequest& request, const std::string& directory,
    const std::function<void(const std::string& item, const TSendMenuState& state)>& click) {
  menu.clear();
  const TSendMenuState state = SetupSendMenu(request);
  // A disabled menu is left empty and cannot be opened.
  menu.menuAction()->setEnabled(state.Enabled);
  if (!state.Enabled) return;
  QAction* heading = menu.addAction(ToQString(state.Heading));
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  menu.setDefaultAction(heading);
  menu.addSeparator();
  const std::vector<TFileMenuEntry> entries = ReadFileMenu(directory, request.Kind);
  FunStatContext.Reset(fsPerfect);
  // The state of the moment the menu opened goes with every click.
  ShowFileMenuEntries(menu, entries,
                      [click, state](const std::string& item) { click(item, state); });
  if (entries.empty()) menu.addAction(tr("(empty)"))->setEnabled(false);
}

std::vector<std::string> TMainForm::SelectedTitles(int column) {
  std::vector<std::string> titles;
  for (const TFileListData& item : Column(column).Items)
    if (item.Selected) titles.push_back(item.Title);
  return titles;
}

void TMainForm::GoToLocation(const std::string& item) {
  TGuard guard("TMainForm::LocationsMenuClick");
  guard.Run([&] {
    TLinkFile link;
    link.Load(item, false);
    guard.TakeOver();
    // A link to a file, or to a directory that is gone, goes nowhere.
    if (!link.ReferenceIsDirectory()) return;
    GoTo(link.Reference); // with the modifiers of the moment the menu opened
    guard.TakeOver();
  });
  guard.Show("Failed to go to location.");
  FocusColumn(ActiveColumn());
}

TSystemMenu TMainForm::SystemMenuFor(bool drag, uint32_t shift) {
  // In drag mode the menu is the dragged files': the source column's.
  const int source = drag && Drag.DragSourceColumn >= 0 ? Drag.DragSourceColumn : ActiveColumn();
  TSystemMenuRequest request;
  request.Drag = drag;
  request.Shift = shift;
  request.ActiveTitle = Column(source).ActiveTitle;
  request.Selection = SelectedTitles(source);
  request.DestinationIsContainer = drag && Column(ActiveColumn()).ContainerIndex >= 0;
  request.InTrash = Column(source).ShowsTrash;
  const std::string title = SystemMenuTitle(request);
  std::vector<std::string> onClipboard;
  ClipboardFilesToList(onClipboard);
  FunStatContext.Reset(fsPerfect);
  return BuildSystemMenu(request, title, ReadSystemTitleFacts, !onClipboard.empty());
}

void TMainForm::ShowContextMenu(bool drag, uint32_t shift, QPoint at) {
  if (BusyCount.Busy()) return;
  // The trash's item (or an empty trash column) names no file to act on.
  if (!drag && IsTrashTitle(Column(ActiveColumn()).ActiveTitle)) return;
  TGuard guard("TMainForm::ShowContextMenu");
  guard.Run([&] {
    const TSystemMenu data = SystemMenuFor(drag, shift);
    // The row the menu is about (the drop row when dragging) stays in sight:
    // the menu opens below it and never covers it. Thumbnails have no rows.
    MyTPanel* list = ColumnView(ActiveColumn())->FileList;
    const TColumn& column = Column(ActiveColumn());
    const int index = drag ? Drag.DropIndex : column.List.FocusIndex();
    QRect avoid;
    if (!column.ThumbAttr && index >= 0 && index < column.Count()) {
      const QRect row = column.List.ItemRect(index).translated(list->InnerOrigin());
      avoid = QRect(list->mapToGlobal(row.topLeft()), row.size());
    }
    if (at.x() < 0) at.setX(list->mapToGlobal(QPoint(list->width() / 2, 0)).x());
    if (at.y() < 0)
      at.setY(avoid.isValid() ? avoid.bottom() + 1 : list->mapToGlobal(list->rect().center()).y());
    else if (avoid.isValid() && at.y() >= avoid.top() && at.y() <= avoid.bottom())
      at.setY(avoid.bottom() + 1);
    PopupSystemMenu(data, at, avoid);
  });
  guard.Show("Failed to show \"System\" menu.");
}

void TMainForm::ShowTitleSystemMenu(const std::string& title, const std::string& caption,
                                    QPoint at) {
  if (BusyCount.Busy() || title.empty()) return;
  TGuard guard("TMainForm::ShowSystemMenu");
  guard.Run([&] {
    // The title alone, whatever the columns have selected.
    TSystemMenuRequest request;
    request.ActiveTitle = title;
    std::vector<std::string> onClipboard;
    ClipboardFilesToList(onClipboard);
    FunStatContext.Reset(fsPerfect);
    TSystemMenu menu = BuildSystemMenu(request, SystemMenuTitle(request), ReadSystemTitleFacts,
                                       !onClipboard.empty());
    if (!caption.empty()) menu.Heading = caption;
    PopupSystemMenu(menu, at, {});
  });
  guard.Show("Failed to show \"System\" menu.");
}

void TMainForm::PopupSystemMenu(const TSystemMenu& data, QPoint at, const QRect& avoid) {
  if (!data.Warning.empty()) {
    ShowWarning(data.Warning);
    return;
  }
  if (!data.Shown) return;
  // Over a modal dialog (the search's found list) the menu must be its
  // child, or the dialog's modality would block its clicks.
  QWidget* owner = QApplication::activeModalWidget();
  auto* menu = new QMenu(owner ? owner : this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QAction* heading = menu->addAction(ToQString(data.Heading));
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  heading->setToolTip(ToQString(PartitionTitleToPath(data.Title)));
  menu->setDefaultAction(heading);
  menu->addSeparator();
  for (const TSystemMenuItem& item : data.Items) {
    QAction* action = menu->addAction(ToQString(item.Caption));
    action->setEnabled(item.Enabled);
    const TSystemCommand command = item.Command;
    connect(action, &QAction::triggered, this,
            [this, command, data] { RunSystemCommand(command, data); });
    if (command == TSystemCommand::OpenTerminal || command == TSystemCommand::PasteInto ||
        command == TSystemCommand::CopyPath || command == TSystemCommand::Delete)
      menu->addSeparator();
  }
  LastSystemMenu = menu;
  // Where the screen has no room below the row, the menu goes above it
  // rather than being pushed up over it.
  if (avoid.isValid()) {
    const QScreen* screen = QGuiApplication::screenAt(at);
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect room = screen->availableGeometry();
    const int height = menu->sizeHint().height();
    if (at.y() + height > room.bottom() + 1 && avoid.top() - height >= room.top())
      at.setY(avoid.top() - height);
  }
  menu->popup(at);
}

void TMainForm::RunFileOperationOn(const std::string& operation,
                                   const std::vector<std::string>& titles) {
  if (titles.empty()) return;
  constexpr int Listed = TBoardColumns::DropColumn;
  TColumn& source = ListInDropColumn(titles);
  FunStatContext.Reset(fsPerfect);
  TFileFormRequest request;
  request.Operation = operation;
  request.TwoColumn = false;
  request.SourceTitle = titles.front();
  request.ActiveIndex = 0;
  RunFileOperation(request, Listed);
  source.SetWithList({}, false);
  FunStatContext.Reset(fsPerfect);
  CheckDirMonitor(true);
}

void TMainForm::RenameTitle(const std::string& title) {
  if (title.empty() || IsPartitionTitle(title)) return;
  if (!RenameForm) RenameForm = new TRenameForm(this);
  TColumn& source = ListInDropColumn({title});
  FunStatContext.Reset(fsPerfect);
  bool changed = false;
  BusyBracket([&] { changed = RenameForm->Dialog(source, false, ContainerItemRenamer(-1)); });
  source.SetWithList({}, false);
  FunStatContext.Reset(fsPerfect);
  if (changed) CheckDirMonitor(true);
  FocusColumn(ActiveColumn());
}

void TMainForm::RunSystemCommand(TSystemCommand command, const TSystemMenu& menu) {
  const std::vector<std::string> paths = TargetPaths(menu.Targets);
  const std::string single = paths.size() == 1 ? paths.front() : std::string();
  TGuard guard("TMainForm::ShowSystemMenu");
  const char* failure = "Failed to show \"System\" menu.";
  switch (command) {
  case TSystemCommand::Open:
    failure = "Failed to open file.";
    if (paths.size() == 1 && ReadSystemTitleFacts(menu.Targets.front()).IsDirectory) {
      guard.Run([&] {
        BoardModel->EnterDirectory(ActiveColumn(), ExcludeDelimiter(menu.Targets.front()),
                                   {.Alt = true});
        guard.TakeOver();
      });
      FocusColumn(ActiveColumn());
      break;
    }
    guard.Run([&] {
      for (const std::string& path : paths)
        if (!OpenWithDefaultApplication(path)) guard.TakeOver();
    });
    break;
  case TSystemCommand::OpenWith:
    OpenFileWith(single, this);
    return;
  case TSystemCommand::Run:
    failure = "Failed to run file.";
    guard.Run([&] {
      MyRunFile(single, {}, {}, false, false);
      guard.TakeOver();
    });
    break;
  case TSystemCommand::OpenTerminal:
    OpenTerminalHere(TerminalDirectory(menu.Title, ReadSystemTitleFacts(menu.Title).IsDirectory));
    return;
  case TSystemCommand::Cut:
  case TSystemCommand::Copy: {
    const bool cut = command == TSystemCommand::Cut;
    failure = cut ? "Failed to cut files." : "Failed to copy files.";
    std::string text;
    for (const std::string& path : paths)
      text += path + "\n";
    guard.Run([&] {
      SetClipboardFiles(paths, text, cut);
      guard.TakeOver();
    });
    break;
  }
  case TSystemCommand::PasteInto:
    PasteFiles(IncludeDelimiter(menu.Targets.front()));
    return;
  case TSystemCommand::CopyPath: {
    std::string text;
    for (const std::string& path : paths)
      text += (text.empty() ? "" : "\n") + path;
    CopyTextToClipboard(text, "Failed to copy text to clipboard.");
    return;
  }
  case TSystemCommand::MoveToTrash:
    RunFileOperationOn("Recycle", menu.Targets);
    return;
  case TSystemCommand::Restore:
    if (Column(ActiveColumn()).ShowsTrash) TrashCommand(TTrashAction::Restore, &menu.Targets);
    return;
  case TSystemCommand::Delete:
    // An item of the trash leaves with its info file.
    if (menu.InTrash) {
      if (Column(ActiveColumn()).ShowsTrash) TrashCommand(TTrashAction::Delete, &menu.Targets);
      return;
    }
    RunFileOperationOn("Delete", menu.Targets);
    return;
  case TSystemCommand::Rename:
    RenameTitle(menu.Title);
    return;
  case TSystemCommand::Properties:
    ShowPropertiesDialog(menu.Targets.front(), this);
    return;
  }
  guard.Show(failure);
}

std::string TMainForm::SystemLocationMenuPath(const TSystemLocation& location) {
  return "File/System locations/" +
         (location.Group.empty() ? std::string() : location.Group + "/") + location.Caption;
}

void TMainForm::EnableSystemMenuItems(Qt::KeyboardModifiers modifiers) {
  // Alt leaves the menus of files disabled and empty: the rule is the one
  // the menus are built by.
  const uint32_t shift = ShiftStateFrom(modifiers);
  const std::pair<const char*, TFileMenuKind> files[] = {
      {"File/Send", TFileMenuKind::Send}, {"File/Navigate/Locations", TFileMenuKind::Locations}};
  for (const auto& [path, kind] : files)
    if (QAction* action = Menus->Action(path); action && action->isEnabled())
      action->setEnabled(SetupSendMenu({.Kind = kind, .Shift = shift}).Enabled);
  // A location that is not there is greyed rather than offered to fail.
  for (const TSystemLocation& location : GetSystemLocations())
    if (QAction* action = Menus->Action(SystemLocationMenuPath(location));
        action && action->isEnabled())
      action->setEnabled(SystemLocationPresent(location));
}

void TMainForm::RegisterSystemMenus() {
  TMainMenus& m = *Menus;
  m.On("File/System menu",
       [this] { ShowContextMenu(false, ShiftStateFrom(MenuShift), QPoint(-1, -1)); });
  m.On("File/Navigate/Terminal root", [this] {
    Column(ActiveColumn()).TerminalRoot();
    FocusColumn(ActiveColumn());
  });
  for (const TSystemLocation& location : GetSystemLocations()) {
    const std::string path = SystemLocationMenuPath(location);
    const std::string title = location.Title;
    m.On(path, [this, title] {
      TGuard guard("TMainForm::GoToPath");
      guard.Run([&] {
        if (title.empty()) guard.Raise("There is no such location here.", title);
        if (title.back() == '/') {
          if (!IsDirectoryTitle(ExcludeDelimiter(title)))
            guard.Raise("There is no such directory.", title, {}, ENOENT);
          GoTo(title);
        } else {
          // A file (the hosts file) is shown focused in its directory.
          Column(ActiveColumn())
              .LoadDirectory(true, -1, std::nullopt, std::nullopt, std::nullopt, title);
        }
        guard.TakeOver();
      });
      guard.Show("Failed to load path.");
      FocusColumn(ActiveColumn());
    });
  }
  m.OnFill("File/Navigate/Locations", [this](QMenu& menu) {
    const uint32_t shift = ShiftStateFrom(MenuShift);
    FillFileMenu(menu, {.Kind = TFileMenuKind::Locations, .Shift = shift}, Program.LocationsPath(),
                 [this](const std::string& item, const TSendMenuState&) { GoToLocation(item); });
  });
}

} // namespace cv
