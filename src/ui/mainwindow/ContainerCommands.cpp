// The container menus and the column commands that edit containers. The
// lists themselves and their files are the core's TContainerSet.

#include "mainwindow/MainDialog.h"

#include "columns/BoardForm.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "fileops/RenameForm.h"
#include "filesystem/File.h"
#include "foundation/Clipboard.h"
#include "foundation/Guard.h"
#include "foundation/UserInterface.h"
#include "foundation/Utilities.h"
#include "mainwindow/MainMenus.h"
#include "foundation/QtText.h"

#include <QActionGroup>
#include <QCursor>
#include <QMenu>

#include <memory>

namespace cv {
namespace {

// "Ctrl+1" .. "Ctrl+9", "Ctrl+0" for containers 0..9.
QString DigitKey(const char* modifier, int container) {
  return QString::fromLatin1(modifier) + QString::number((container + 1) % 10);
}

// The selected items' positions in list order, or the focused one.
std::vector<int> SelectedOrFocused(const TColumn& column) {
  std::vector<int> positions;
  for (int i = 0; i < column.Count(); ++i)
    if (column.Items[static_cast<size_t>(i)].Selected) positions.push_back(i);
  if (positions.empty() && column.FocusedItem()) positions.push_back(column.List.FocusIndex());
  return positions;
}

} // namespace

bool TMainForm::ColumnMatchesContainer(const TColumn& column) const {
  if (column.ContainerIndex < 0) return true;
  const auto& items = Containers.Container(column.ContainerIndex).Items();
  if (items.size() != column.Items.size()) return false;
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].Title != column.Items[i].Title) return false;
  return true;
}

void TMainForm::RefreshContainer(int container) {
  if (container < 0 || container >= TContainerSet::Count) return;
  // Every column that shows the container reads it again, keeping its focus.
  for (int i = 0; i < VisibleColumns(); ++i)
    if (Column(i).ContainerIndex == container) Column(i).LoadDirectory(false, container);
  FocusColumn(ActiveColumn());
}

void TMainForm::ShowContainer(int container) {
  TColumn& column = Column(ActiveColumn());
  if (column.ContainerIndex == container) return;
  BusyBracket([&] { column.LoadDirectory(true, container); });
  FocusColumn(ActiveColumn());
}

void TMainForm::AddToContainer(int container) {
  TColumn& column = Column(ActiveColumn());
  if (container < 0 || container >= TContainerSet::Count || column.ContainerIndex == container)
    return;
  TGuard guard("TMainForm::AddToContainerMenuClick");
  size_t refused = 0;
  guard.Run([&] {
    TContainer& target = Containers.Container(container);
    // What it cannot keep stays selected, and is named in a warning.
    if (column.SelCount > 0) {
      for (int i = 0; i < column.Count(); ++i)
        if (column.Items[static_cast<size_t>(i)].Selected) {
          if (target.AddItem(column.Items[static_cast<size_t>(i)].Title) >= 0)
            column.DeselectItem(i);
          else
            ++refused;
        }
    } else if (column.FocusedItem()) {
      if (target.AddItem(column.ActiveTitle) < 0) ++refused;
    }
  });
  guard.Show("Failed to copy to container.");
  if (refused > 0) ShowWarning(RefusedTitlesWarning(refused));
  RefreshContainer(container);
}

void TMainForm::FillShowContainerMenu(QMenu& menu) {
  const int current = Column(ActiveColumn()).ContainerIndex;
  auto* group = new QActionGroup(&menu);
  QAction* none = menu.addAction(tr("None"));
  none->setStatusTip(tr("The column will display the content of a directory, not a container. "
                        "[F1] for more help."));
  none->setCheckable(true);
  none->setChecked(current < 0);
  none->setEnabled(current >= 0);
  group->addAction(none);
  connect(none, &QAction::triggered, this, [this] { ShowContainer(-1); });
  for (int n = 0; n < TContainerSet::Count; ++n) {
    QString caption = MenuCaption(Containers.Container(n).MenuCaption());
    if (n < 10) caption += QLatin1Char('\t') + DigitKey("Ctrl+", n);
    QAction* item = menu.addAction(caption);
    item->setStatusTip(tr("The column will display this container, not the content of a "
                          "directory. [F1] for more help."));
    item->setCheckable(true);
    item->setChecked(n == current);
    item->setEnabled(n != current);
    group->addAction(item);
    connect(item, &QAction::triggered, this, [this, n] { ShowContainer(n); });
  }
}

void TMainForm::FillAddToContainerMenu(QMenu& menu, bool forActiveColumn) {
  const int current = Column(ActiveColumn()).ContainerIndex;
  for (int n = 0; n < TContainerSet::Count; ++n) {
    QString caption = MenuCaption(Containers.Container(n).MenuCaption());
    if (forActiveColumn && n < 10) caption += QLatin1Char('\t') + DigitKey("Shift+", n);
    QAction* item = menu.addAction(caption);
    if (forActiveColumn)
      item->setStatusTip(tr("Add the active file to this container. [F1] for more help."));
    item->setEnabled(n != current);
    connect(item, &QAction::triggered, this, [this, n] { AddToContainer(n); });
  }
}

void TMainForm::RecycleFromContainer(bool all) {
  TColumn& column = Column(ActiveColumn());
  if (column.ContainerIndex < 0) return;
  TContainer& container = Containers.Container(column.ContainerIndex);
  const std::vector<int> positions = SelectedOrFocused(column);
  if (all) {
    if (!AskYesNo("Delete all items of the container?\n\nThe files themselves are NOT deleted."))
      return;
  } else {
    if (positions.empty()) return;
    const bool selection = column.SelCount > 0;
    if (!AskYesNo(selection ? "Recycle the " + std::to_string(positions.size()) +
                                  " selected files from the container?\n\nThe files themselves "
                                  "are NOT recycled, but only the container items."
                            : "Recycle the focused file from the container?\n\nThe file itself "
                              "is NOT recycled, but only the container item."))
      return;
  }
  TGuard guard("TColumn::RecycleFromContainer");
  guard.Run([&] {
    if (all) {
      container.ClearItems();
      return;
    }
    // Each position must still hold what the column shows; else nothing goes.
    std::vector<std::string> titles;
    for (const int position : positions)
      titles.push_back(column.Items[static_cast<size_t>(position)].Title);
    container.RecycleAt(positions, titles);
    guard.TakeOver();
  });
  guard.Show("Failed to recycle from container.");
  RefreshContainer(column.ContainerIndex);
}

void TMainForm::RemoveDuplicateItems() {
  TColumn& column = Column(ActiveColumn());
  if (column.ContainerIndex < 0) return;
  if (!AskYesNo("Remove duplicate items from the container?\n\nThe files themselves are NOT "
                "deleted.\n\n(This may take a little time!)"))
    return;
  TGuard guard("TColumn::RemoveDuplicateContainerItems");
  guard.Run([&] { Containers.Container(column.ContainerIndex).RemoveDuplicates(); });
  guard.Show("Failed to remove duplicates from container.");
  RefreshContainer(column.ContainerIndex);
}

void TMainForm::RelocateItems() {
  TColumn& column = Column(ActiveColumn());
  const TFileListData* focused = column.FocusedItem();
  if (column.ContainerIndex < 0 || !focused || focused->Selected || column.SelCount == 0) return;
  TContainer& container = Containers.Container(column.ContainerIndex);
  const int active = column.List.FocusIndex();
  if (const std::string warning = container.RelocateWarning(active); !warning.empty()) {
    ShowWarning(warning);
    return;
  }
  std::vector<int> selected;
  for (int i = 0; i < column.Count(); ++i)
    if (column.Items[static_cast<size_t>(i)].Selected) selected.push_back(i);
  if (!AskYesNo(RelocateQuestion(static_cast<int>(selected.size()), GetTitleName(focused->Title))))
    return;
  TGuard guard("TColumn::RelocateContainerItem");
  guard.Run([&] {
    if (!ColumnMatchesContainer(column))
      guard.Raise("Column and container items are not synchronized. You must reload the column.");
    container.Relocate(selected, active);
    guard.TakeOver();
  });
  guard.Show("Failed to relocate items.");
  RefreshContainer(column.ContainerIndex);
}

void TMainForm::PasteInContainer() {
  TColumn& column = Column(ActiveColumn());
  if (column.ContainerIndex < 0) return;
  TGuard guard("TColumn::PasteClipboardInContainer");
  guard.Run([&] {
    std::vector<std::string> titles;
    ClipboardFilesToList(titles);
    guard.TakeOver();
    bool valid = !titles.empty();
    for (const std::string& title : titles)
      valid =
          valid && IsContainerTitle(title) && title.find_first_of("<>|\"*?") == std::string::npos;
    if (!valid) {
      ShowWarning("The clipboard doesn't contain valid file titles.");
      return;
    }
    if (!AskYesNo("Paste " + std::to_string(titles.size()) + " file titles in the container?"))
      return;
    TContainer& container = Containers.Container(column.ContainerIndex);
    for (const std::string& title : titles)
      container.AddItem(title);
  });
  guard.Show("Failed to paste in container.");
  RefreshContainer(column.ContainerIndex);
}

void TMainForm::GoToContainerFile() {
  TColumn& column = Column(ActiveColumn());
  if (column.ContainerIndex < 0 || !column.FocusedItem()) return;
  TGuard guard("TColumn::GoToContainerItemTarget");
  guard.Run([&] {
    const std::string title = column.ActiveTitle;
    if (!IsDirectoryTitle(GetTitlePath(title))) {
      FunStatContext.Reset(fsPerfect);
      ShowErrorMessage("The parent directory of the file doesn't exist.");
      return;
    }
    column.LoadDirectory(true, -1, std::nullopt, std::nullopt, std::nullopt, title);
  });
  guard.Show("Failed to go to file.");
  FocusColumn(ActiveColumn());
}

void TMainForm::RenameContainer() {
  TColumn& column = Column(ActiveColumn());
  if (column.ContainerIndex < 0) return;
  if (!BoardForm) BoardForm = new TBoardForm(this);
  TContainer& container = Containers.Container(column.ContainerIndex);
  std::string name = container.Name();
  if (!BoardForm->Dialog("container", name)) return;
  container.SetName(name);
  Containers.MarkChanged(column.ContainerIndex);
  // The header shows the new name.
  column.SetInactiveFocus();
  for (int i = 0; i < VisibleColumns(); ++i)
    if (Column(i).ContainerIndex == column.ContainerIndex) ColumnView(i)->RefreshHeader();
  UpdateActiveFile();
}

void TMainForm::RenameContainerItems() {
  TColumn& column = Column(ActiveColumn());
  const int number = column.ContainerIndex;
  if (number < 0 || column.Count() == 0) return;
  if (!RenameForm) RenameForm = new TRenameForm(this);
  bool changed = false;
  BusyBracket([&] { changed = RenameForm->Dialog(column, true, ContainerItemRenamer(number)); });
  if (changed) RefreshContainer(number);
}

TRenameForm::TRenameItem TMainForm::ContainerItemRenamer(int container) {
  if (container < 0) return {};
  return [this, container](int index, const std::string& newTitle) {
    TContainer& items = Containers.Container(container);
    if (index < 0 || index >= items.Count()) return false;
    const std::string old = items.Items()[static_cast<size_t>(index)].Title;
    return items.RenameItem(index, newTitle, old);
  };
}

void TMainForm::RegisterContainerCommands() {
  TMainMenus& m = *Menus;
  m.OnFill("File/Show container", [this](QMenu& menu) { FillShowContainerMenu(menu); });
  m.OnDynamicNumber("File/Show container", [this](int n) { ShowContainer(n - 1); });
  m.OnFill("File/Container/Add to container *",
           [this](QMenu& menu) { FillAddToContainerMenu(menu, true); });
  m.OnDynamicNumber("File/Container/Add to container *", [this](int n) { AddToContainer(n - 1); });
  m.On("File/Container/Rename", [this] { RenameContainer(); });
  m.On("File/Container/Clear", [this] { RecycleFromContainer(true); });
  m.On("File/Container/Remove duplicates", [this] { RemoveDuplicateItems(); });
  m.On("File/Container/Recycle item *", [this] {
    if (Column(ActiveColumn()).ContainerIndex >= 0)
      RecycleFromContainer(false);
    else if (Column(ActiveColumn()).ShowsTrash)
      TrashCommand(TTrashAction::Delete);
    else
      FileOperationOnActive("Recycle");
  });
  m.On("File/Container/Rename item", [this] { RenameContainerItems(); });
  m.On("File/Container/Relocate item *", [this] { RelocateItems(); });
  m.On("File/Container/Add to this container", [this] { PasteInContainer(); });
  m.On("File/Container/Go to file", [this] { GoToContainerFile(); });
}

} // namespace cv
