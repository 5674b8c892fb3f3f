// The main window's commands that hand files to the file operation dialog.

#include "mainwindow/MainDialog.h"

#include "columns/Column.h"
#include "fileops/FileForm.h"
#include "filesystem/PartitionsDialog.h"
#include "foundation/Guard.h"
#include "foundation/ShiftState.h"
#include "mainwindow/MainMenus.h"

#include <QMenu>

namespace cv {

bool TMainForm::RunFileOperation(const TFileFormRequest& request, int source) {
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
  return okay;
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

void TMainForm::RegisterFileCommands() {
  TMainMenus& m = *Menus;
  m.On("File/Often/Recycle file *", [this] { FileOperationOnActive("Recycle"); });
  m.On("File/Often/Delete file *", [this] { FileOperationOnActive("Delete"); });
  m.On("File/Miscellaneous/Clip titles *", [this] { FileOperationOnActive("Clip title of"); });
  m.OnFill("File/Drop to partition/Copy *",
           [this](QMenu& menu) { FillDropToPartitionMenu(menu, "Copy"); });
  m.OnFill("File/Drop to partition/Move *",
           [this](QMenu& menu) { FillDropToPartitionMenu(menu, "Move"); });
}

} // namespace cv
