// The main window's commands that hand files to the file operation dialog.

#include "mainwindow/MainDialog.h"

#include "columns/BoardColumns.h"
#include "columns/Column.h"
#include "fileops/FileForm.h"
#include "fileops/MultiRenameForm.h"
#include "filesystem/File.h"
#include "filesystem/PartitionsDialog.h"
#include "foundation/BusyCount.h"
#include "foundation/Clipboard.h"
#include "foundation/Guard.h"
#include "foundation/ShiftState.h"
#include "foundation/UserInterface.h"
#include "mainwindow/MainMenus.h"

#include <QMenu>
#include <QTimer>

#include <algorithm>

namespace cv {

TFileForm& TMainForm::FileDialog() {
  if (!FileForm) {
    FileForm = new TFileForm(FileFormState, this);
    FileForm->OnContainerItemMoved = [this](int container, const std::string& oldTitle,
                                            const std::string& newTitle) {
      const auto& items = Containers.Container(container).Items();
      for (size_t i = 0; i < items.size(); ++i)
        if (items[i].Title == oldTitle) {
          Containers.Container(container).RenameItem(static_cast<int>(i), newTitle, oldTitle);
          return;
        }
    };
  }
  return *FileForm;
}

bool TMainForm::RunFileOperation(const TFileFormRequest& request, int source) {
  FileDialog();
  TColumn& column = Column(source);
  if (!ColumnMatchesContainer(column)) {
    TGuard guard("TFileForm::Dialog");
    guard.Run([&] {
      guard.Panic("Column and container items are not synchronized. You must reload the column.");
    });
    guard.Show("Failed to " + request.Operation + ".");
    return false;
  }
  const bool okay = FileForm->Dialog(request, column);
  if (okay && column.ContainerIndex >= 0)
    RefreshContainer(column.ContainerIndex);
  else if (okay && !request.TwoColumn)
    column.LoadDirectory(false);
  if (okay) CheckDirMonitor(true);
  FocusColumn(ActiveColumn());
  if (CloseAfterFileOperation) {
    // The window was asked to close while the engine ran.
    CloseAfterFileOperation = false;
    QTimer::singleShot(0, this, [this] { close(); });
  }
  return okay;
}

void TMainForm::PutFilesOnClipboard(bool cut) {
  const TColumn& column = Column(ActiveColumn());
  std::vector<std::string> titles;
  for (const TFileListData& item : column.Items)
    if (item.Selected) titles.push_back(item.Title);
  if (titles.empty() && column.FocusedItem()) titles.push_back(column.FocusedItem()->Title);
  if (titles.empty()) return;
  std::string text;
  for (const std::string& title : titles)
    text += title + "\n";
  TGuard guard(cut ? "TMainForm::CutFiles" : "TMainForm::CopyFiles");
  guard.Run([&] {
    SetClipboardFiles(titles, text, cut);
    guard.TakeOver();
  });
  guard.Show(cut ? "Failed to cut files." : "Failed to copy files.");
}

TColumn& TMainForm::ListInDropColumn(const std::vector<std::string>& titles) {
  TColumn& list = Column(TBoardColumns::DropColumn);
  list.ContainerIndex = -1;
  list.SetWithList(titles, titles.size() > 1);
  list.SetInactiveFocus();
  return list;
}

void TMainForm::PasteFiles(const std::string& directory) {
  TColumn& destination = Column(ActiveColumn());
  if (directory.empty() && (!destination.ShowsDirectory() || destination.ShownPath().empty())) {
    ShowWarning(PasteNeedsDirectory);
    return;
  }
  const std::string into = directory.empty() ? destination.ShownPath() : directory;
  std::vector<std::string> titles;
  bool cut = false;
  {
    TGuard guard("TMainForm::PasteFiles");
    guard.Run([&] {
      ClipboardFilesToList(titles, &cut);
      guard.TakeOver();
    });
    if (guard.Failed()) {
      guard.Show("Failed to paste files.");
      return;
    }
  }
  if (titles.empty()) {
    ShowWarning("There are no files on the clipboard.");
    return;
  }
  constexpr int Pasted = TBoardColumns::DropColumn;
  TColumn& source = ListInDropColumn(titles);
  FunStatContext.Reset(fsPerfect);
  TFileFormRequest request;
  request.Operation = cut ? "Move" : "Copy";
  request.TwoColumn = true;
  request.DestinationTitle = into;
  request.SourceTitle = GetTitlePath(titles.front());
  request.ActiveIndex = 0;
  const bool okay = RunFileOperation(request, Pasted);
  // A cut list is used up once every file has left its place; a cancelled,
  // refused or partly failed move keeps it for another try.
  bool moved = cut && okay && FileForm && !FileForm->Engine().IsCancelled();
  if (moved) {
    source.SetWithList(titles, false);
    moved = std::none_of(source.Items.begin(), source.Items.end(),
                         [](const TFileListData& item) { return item.Exists; });
  }
  source.SetWithList({}, false);
  FunStatContext.Reset(fsPerfect);
  if (moved) ClearClipboardCutFiles(titles);
  FunStatContext.Reset(fsPerfect);
}

void TMainForm::FileOperationOnActive(const std::string& operation,
                                      const std::string& destination) {
  const int active = ActiveColumn();
  TColumn& column = Column(active);
  const TFileListData* item = column.FocusedItem();
  if (!item) return;
  TFileFormRequest request;
  request.Operation = operation;
  request.TwoColumn = !destination.empty();
  request.DestinationTitle = destination;
  request.SourceTitle = item->Title;
  request.ActiveIndex = column.List.FocusIndex();
  request.Container = column.ContainerIndex;
  RunFileOperation(request, active);
}

void TMainForm::FillDropToPartitionMenu(QMenu& menu, const std::string& operation) {
  // The menu is filled afresh each time it opens.
  qDeleteAll(menu.findChildren<TPartitionsDialog*>(Qt::FindDirectChildrenOnly));
  auto* partitions = new TPartitionsDialog(&menu);
  partitions->OnCopyMove = [this](const std::string& root, const std::string& chosen) {
    FileOperationOnActive(chosen, root);
  };
  partitions->Setup(&menu, ShiftStateFrom(MenuShift), operation, false, {});
}

TMultiRenameForm& TMainForm::MultiRename() {
  if (!MultiRenameForm) MultiRenameForm = new TMultiRenameForm(this);
  return *MultiRenameForm;
}

void TMainForm::MultiRenameCommand(bool renameFiles) {
  if (BusyCount.Busy()) return;
  TColumn& column = Column(ActiveColumn());
  if (column.Count() == 0 || (column.ShowsDirectory() && column.ShownPath().empty())) return;
  const int container = column.ContainerIndex;
  TContainer* items = container >= 0 ? &Containers.Container(container) : nullptr;
  bool changed = false;
  BusyBracket([&] { changed = MultiRename().Dialog(column, items, renameFiles); });
  if (changed && container >= 0)
    RefreshContainer(container);
  else if (changed)
    column.LoadDirectory(false);
  FocusColumn(ActiveColumn());
}

void TMainForm::RegisterFileCommands() {
  TMainMenus& m = *Menus;
  m.On("File/Cut", [this] { PutFilesOnClipboard(true); });
  m.On("File/Copy", [this] { PutFilesOnClipboard(false); });
  m.On("File/Paste", [this] { PasteFiles(); });
  m.On("File/Often/Recycle file *", [this] { FileOperationOnActive("Recycle"); });
  m.On("File/Often/Delete file *", [this] {
    // An item of the trash goes with its info file.
    if (Column(ActiveColumn()).ShowsTrash) return TrashCommand(TTrashAction::Delete);
    FileOperationOnActive("Delete");
  });
  m.On("File/Miscellaneous/Clip titles *", [this] { FileOperationOnActive("Clip title of"); });
  m.On("File/Often/Multi-rename file *", [this] { MultiRenameCommand(true); });
  m.On("File/Container/Multi-rename item *", [this] { MultiRenameCommand(false); });
  m.OnFill("File/Drop to partition/Copy *",
           [this](QMenu& menu) { FillDropToPartitionMenu(menu, "Copy"); });
  m.OnFill("File/Drop to partition/Move *",
           [this](QMenu& menu) { FillDropToPartitionMenu(menu, "Move"); });
}

} // namespace cv
