// The commands of a column that shows the trash: Restore puts items back
// where they came from, Delete and Empty trash delete for good after one
// question. The work is the core's TTrashRun over the file engine.

#include "mainwindow/MainDialog.h"

#include "columns/BoardColumns.h"
#include "columns/Column.h"
#include "fileops/FileForm.h"
#include "fileops/TrashRestore.h"
#include "filesystem/TrashList.h"
#include "foundation/BusyCount.h"
#include "foundation/Guard.h"
#include "foundation/OffThread.h"
#include "foundation/UserInterface.h"
#include "mainwindow/MainMenus.h"

#include <QTimer>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace cv {
namespace {

// The trash's restore, delete or emptying as the file dialog runs it.
class TTrashTask : public TFileTask {
public:
  enum class TKind { Restore, Delete, Empty };
  TTrashTask(TFileEngineHost& host, TKind kind, std::vector<TTrashEntry> entries,
             std::vector<TTrashDirectory> trashes)
      : Trash(host), Kind(kind), Entries(std::move(entries)), Trashes(std::move(trashes)) {}
  void Run() override {
    switch (Kind) {
    case TKind::Restore:
      Trash.Restore(Entries);
      break;
    case TKind::Delete:
      Trash.Delete(Entries);
      break;
    case TKind::Empty:
      Trash.Empty(Trashes, Entries);
      break;
    }
  }
  void Cancel() override { Trash.Cancel(); }

private:
  TTrashRun Trash;
  const TKind Kind;
  const std::vector<TTrashEntry> Entries;
  const std::vector<TTrashDirectory> Trashes;
};

// The selected items of a trash column, or its focused one, with their rows;
// with `titles`, the items of those titles.
std::vector<TTrashEntry> ChosenEntries(const TColumn& column, std::vector<int>& rows,
                                       const std::vector<std::string>* titles) {
  std::vector<TTrashEntry> entries;
  const auto chosen = [titles](const TFileListData& item) {
    return titles ? std::find(titles->begin(), titles->end(), item.Title) != titles->end()
                  : item.Selected;
  };
  for (size_t i = 0; i < column.Items.size(); ++i)
    if (chosen(column.Items[i]))
      if (const TTrashEntry* entry = column.TrashEntryOf(column.Items[i])) {
        entries.push_back(*entry);
        rows.push_back(static_cast<int>(i));
      }
  if (entries.empty() && !titles)
    if (const TFileListData* item = column.FocusedItem())
      if (const TTrashEntry* entry = column.TrashEntryOf(*item)) {
        entries.push_back(*entry);
        rows.push_back(static_cast<int>(item - column.Items.data()));
      }
  return entries;
}

std::string ItemsText(size_t count) {
  return std::to_string(count) + (count == 1 ? " item" : " items");
}

} // namespace

void TMainForm::TrashCommand(TTrashAction action, const std::vector<std::string>* titles) {
  if (BusyCount.Busy()) return;
  TColumn& column = Column(ActiveColumn());
  std::vector<TTrashEntry> entries;
  std::vector<TTrashDirectory> trashes;
  std::vector<int> rows;
  if (action == TTrashAction::Empty) {
    // Everything in the trash directories, listed or not; the partitions'
    // tops are asked off the window's thread, as a listing is.
    struct TContent {
      std::vector<TTrashDirectory> Trashes;
      std::vector<TTrashEntry> Items;
    };
    TContent content;
    const TWaitEnd end = WaitOffThread<TContent>(
        [](const std::atomic<bool>&) {
          TContent found;
          found.Trashes = TrashDirectories();
          for (const TTrashDirectory& trash : found.Trashes)
            ListTrashItems(trash, found.Items);
          return found;
        },
        content);
    if (end != TWaitEnd::Done) return;
    entries = std::move(content.Items);
    trashes = std::move(content.Trashes);
    if (trashes.empty()) {
      ShowInformation("The trash is empty.");
      return;
    }
  } else {
    if (!column.ShowsTrash) return;
    entries = ChosenEntries(column, rows, titles);
    if (entries.empty()) return;
  }
  if (action != TTrashAction::Restore && !entries.empty() &&
      !AskYesNo("Delete " + ItemsText(entries.size()) +
                " in the trash for good?\nThey cannot be restored afterwards."))
    return;
  // A big delete or a restore across partitions takes its time: the dialog
  // shows it and offers Cancel while the window goes on. An empty trash is
  // still tidied of what no item goes with.
  using TKind = TTrashTask::TKind;
  const TKind kind = action == TTrashAction::Restore  ? TKind::Restore
                     : action == TTrashAction::Delete ? TKind::Delete
                                                      : TKind::Empty;
  const bool wasEmpty = entries.empty();
  FileDialog().RunTask(
      kind == TKind::Restore  ? "Restore"
      : kind == TKind::Delete ? "Delete"
                              : "Empty trash",
      rows.empty() ? nullptr : &column, std::move(rows), [&](TFileEngineHost& host) {
        return std::make_shared<TTrashTask>(host, kind, std::move(entries), std::move(trashes));
      });
  if (wasEmpty) ShowInformation("The trash is empty.");
  // Every column showing the trash lists what is left, then the directories
  // items went back to are read again.
  for (int i = 0; i < VisibleColumns(); ++i)
    if (Column(i).ShowsTrash) Column(i).LoadDirectory(false);
  CheckDirMonitor(true);
  FocusColumn(ActiveColumn());
  if (CloseAfterFileOperation) {
    // The window was asked to close while the run went on.
    CloseAfterFileOperation = false;
    QTimer::singleShot(0, this, [this] { close(); });
  }
}

void TMainForm::RegisterTrashCommands() {
  TMainMenus& m = *Menus;
  m.On("File/Trash/Show trash", [this] {
    if (BusyCount.Busy()) return;
    BusyBracket([this] { Column(ActiveColumn()).EnterTrash(); });
    FocusColumn(ActiveColumn());
  });
  m.On("File/Trash/Restore *", [this] { TrashCommand(TTrashAction::Restore); });
  m.On("File/Trash/Delete *", [this] { TrashCommand(TTrashAction::Delete); });
  m.On("File/Trash/Empty trash", [this] { TrashCommand(TTrashAction::Empty); });
}

} // namespace cv
