// The main window's "Undo" and "Undo list": reverse the last file
// operations the journal holds.

#include "mainwindow/MainDialog.h"

#include "columns/Column.h"
#include "fileops/UndoJournal.h"
#include "fileops/UndoListForm.h"
#include "foundation/BusyCount.h"
#include "foundation/Guard.h"
#include "foundation/OffThread.h"
#include "foundation/UserInterface.h"
#include "mainwindow/MainMenus.h"

#include <set>

namespace cv {

void TMainForm::RegisterUndoCommands() {
  UndoListForm = new TUndoListForm(this);
  TMainMenus& m = *Menus;
  m.On("Work/Undo", [this] { UndoCommand(false); });
  m.On("Work/Undo list", [this] { UndoCommand(true); });
}

void TMainForm::UndoCommand(bool fromList) {
  TUndoJournal& journal = ProgramJournal();
  std::vector<TUndoRecord> pending;
  {
    TGuard guard("TMainForm::UndoCommand");
    guard.Run([&] {
      pending = journal.Pending();
      guard.TakeOver();
    });
    if (!guard.Show("Failed to read the undo journal.") || guard.Failed()) return;
  }
  if (pending.empty()) {
    ShowInformation("There is nothing to undo.");
    return;
  }
  uint64_t through = pending.front().Id;
  if (fromList && !UndoListForm->Dialog(pending, through)) {
    FocusColumn(ActiveColumn());
    return;
  }
  const std::vector<TUndoRecord> records = RecordsThrough(pending, through);
  // Checked here first: a refusal names what changed and touches nothing.
  if (const std::string problem = CheckUndo(records); !problem.empty()) {
    ShowWarning(problem);
    FocusColumn(ActiveColumn());
    return;
  }
  // A move back across partitions copies: the window keeps painting.
  struct TUndone {
    bool Done = false;
    TFunStatContext Context;
    std::vector<TMovedBack> MovedBack;
  };
  TUndone undone;
  TWaitEnd end;
  {
    TBusyScope busy;
    TWaitOptions wait;
    TColumn& column = Column(ActiveColumn());
    wait.Notice = [&column](bool shown) { column.List.SetLoading(shown); };
    end = WaitOffThread<TUndone>(
        [records, &journal](const std::atomic<bool>& cancel) {
          TUndone result;
          result.Done = UndoRecords(journal, records, &cancel, &result.MovedBack);
          result.Context = FunStatContext;
          FunStatContext.Reset(fsPerfect);
          return result;
        },
        undone, wait);
  }
  // Containers that followed a move follow it back, as the move renamed them.
  std::set<int> renamed;
  for (const TMovedBack& moved : undone.MovedBack)
    for (const int container : Containers.RenameEverywhere(moved.To, moved.From))
      renamed.insert(container);
  for (const int container : renamed)
    RefreshContainer(container);
  if (end == TWaitEnd::Done && !undone.Done) {
    if (!undone.Context.Failed() && !undone.Context.Description.empty()) {
      // Changed between the check and the undo.
      ShowWarning(undone.Context.Description);
    } else {
      TGuard guard("TMainForm::UndoCommand");
      guard.Run([&] {
        FunStatContext = undone.Context;
        guard.TakeOver();
      });
      guard.Show("Failed to undo.");
    }
  }
  CheckDirMonitor(true);
  FocusColumn(ActiveColumn());
}

} // namespace cv
