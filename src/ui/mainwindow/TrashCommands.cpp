// The commands of a column that shows the trash: Restore puts items back
// where they came from, Delete and Empty trash delete for good after one
// question. The work is the core's TTrashRun over the file engine.

#include "mainwindow/MainDialog.h"

#include "columns/BoardColumns.h"
#include "columns/Column.h"
#include "fileops/OverwriteForm.h"
#include "fileops/TrashRestore.h"
#include "filesystem/TrashList.h"
#include "foundation/BusyCount.h"
#include "foundation/Guard.h"
#include "foundation/OffThread.h"
#include "foundation/UserInterface.h"
#include "mainwindow/MainMenus.h"

#include <string>
#include <vector>

namespace cv {
namespace {

// The engine's questions as the window asks them.
class TWindowTrashHost : public TFileEngineHost {
public:
  TOverwriteChoice AskOverwrite(const TOverwriteView& view) override {
    return cv::AskOverwrite(view);
  }
  bool AskYesNo(const std::string& question) override { return cv::AskYesNo(question); }
  void ShowProgress(const TFileEngineDisplay&) override {}
  void PumpEvents() override {}
  void Deselect(size_t) override {}
  bool CopyToClipboard(const std::string&, const std::vector<std::string>&) override {
    return false;
  }
  void RenameContainerItem(const std::string&, const std::string&) override {}
};

// The selected items of a trash column, or its focused one.
std::vector<TTrashEntry> ChosenEntries(const TColumn& column) {
  std::vector<TTrashEntry> entries;
  for (const TFileListData& item : column.Items)
    if (item.Selected)
      if (const TTrashEntry* entry = column.TrashEntryOf(item)) entries.push_back(*entry);
  if (entries.empty())
    if (const TFileListData* item = column.FocusedItem())
      if (const TTrashEntry* entry = column.TrashEntryOf(*item)) entries.push_back(*entry);
  return entries;
}

std::string ItemsText(size_t count) {
  return std::to_string(count) + (count == 1 ? " item" : " items");
}

} // namespace

void TMainForm::TrashCommand(TTrashAction action) {
  if (BusyCount.Busy()) return;
  TColumn& column = Column(ActiveColumn());
  std::vector<TTrashEntry> entries;
  if (action == TTrashAction::Empty) {
    // The partitions' tops are asked off the window's thread, as a listing is.
    TTrashListing listing;
    const TWaitEnd end =
        WaitOffThread<TTrashListing>([](const std::atomic<bool>&) { return ListTrash(); }, listing);
    if (end != TWaitEnd::Done) return;
    entries = std::move(listing.Entries);
    if (entries.empty()) {
      ShowInformation("The trash is empty.");
      return;
    }
  } else {
    if (!column.ShowsTrash) return;
    entries = ChosenEntries(column);
  }
  if (entries.empty()) return;
  if (action != TTrashAction::Restore &&
      !AskYesNo("Delete " + ItemsText(entries.size()) +
                " in the trash for good?\nThey cannot be restored afterwards."))
    return;
  TWindowTrashHost host;
  BusyBracket([&] {
    TTrashRun run(host);
    if (action == TTrashAction::Restore)
      run.Restore(entries);
    else
      run.Delete(entries);
  });
  // Every column showing the trash lists what is left.
  for (int i = 0; i < VisibleColumns(); ++i)
    if (Column(i).ShowsTrash) Column(i).LoadDirectory(false);
  FocusColumn(ActiveColumn());
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
