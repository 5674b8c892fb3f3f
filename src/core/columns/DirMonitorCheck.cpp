#include "columns/DirMonitorCheck.h"

#include "columns/Column.h"
#include "filesystem/Partitions.h"
#include "foundation/BusyCount.h"
#include "foundation/Guard.h"
#include "foundation/OffThread.h"
#include "options/ProgramOptions.h"

#include <memory>

namespace cv {

namespace {

// Removable, remote and CD partitions are only read when a check is forced.
bool IsPolledPartition(const std::string& title) {
  const int type = GetPartitionType(title);
  return type == ptFixed || type == ptRAM;
}

// Reloads `columns[source]` and gives its listing to the later columns that
// show the same directory. False when the user cancelled a failure.
bool ReloadShared(const std::vector<TColumn*>& columns, size_t source, TFailureShows& shows) {
  TColumn& column = *columns[source];
  column.FailureShows = &shows;
  column.LoadDirectory(false);
  column.FailureShows = nullptr;
  if (shows.Cancelled) return false;
  CheckRestDirMonitor(columns, source, source + 1);
  return true;
}

// The same, each of those columns keeping its focus, top row and the titles
// it had selected.
bool ReloadKeepingPlace(const std::vector<TColumn*>& columns, size_t source, TFailureShows& shows) {
  const std::string path = columns[source]->ShownPath();
  std::vector<std::vector<std::string>> selected(columns.size());
  for (size_t k = source; k < columns.size(); ++k) {
    TColumn& column = *columns[k];
    if (!column.ShowsDirectory() || column.ShownPath() != path) continue;
    selected[k] = column.SelectedTitles();
    // Scrolling leaves the stored offset behind; the reload places the focus by it.
    if (!column.Items.empty()) column.TopOffset = column.List.FocusIndex() - column.List.TopIndex();
  }
  if (!ReloadShared(columns, source, shows)) return false;
  for (size_t k = source; k < columns.size(); ++k)
    // A column that climbed out of a vanished directory selects nothing there.
    if (columns[k]->ShownPath() == path) columns[k]->SelectTitles(selected[k]);
  return true;
}

// Asks a column's monitor whether its directory changed. On a partition
// that is not polled (network, FUSE, removable) the question looks at the
// title again, which may never answer: it is asked on a worker, and a
// partition that does not answer in time counts as unchanged until it does
// and is then reported changed.
bool AskMonitor(TColumn& column, bool polled) {
  if (polled) return column.DirMonitor.Next();
  const std::string partition = GetPartitionOfTitle(column.ActiveTitle);
  if (IsSlowPartition(partition)) return false;
  auto asked = std::make_shared<TDirectoryMonitor>(column.DirMonitor.Lend());
  TWaitOptions wait;
  wait.NoticeAfterMs = -1;
  wait.TimeoutMs = column.FactsTimeoutMs;
  bool changed = false;
  const TWaitEnd end =
      WaitOffThread<bool>([asked](const std::atomic<bool>&) { return asked->Next(); }, changed,
                          wait, [partition](bool&&) { MarkSlowPartition(partition, false); });
  if (end == TWaitEnd::TimedOut) MarkSlowPartition(partition, true);
  // The worker still holds the watch when it did not end: the column keeps
  // the title, so its next question watches again and reports a change.
  if (end == TWaitEnd::Done) column.DirMonitor = std::move(*asked);
  return end == TWaitEnd::Done && changed;
}

// A trash column changed when any of its trash directories did; each
// monitor is asked, so every change is taken at once.
bool AskTrashMonitors(TColumn& column) {
  bool changed = false;
  for (TDirectoryMonitor& monitor : column.TrashMonitors)
    changed = monitor.Next() || changed;
  FunStatContext.Reset(fsPerfect);
  return changed;
}

// A trash column read again, keeping the titles it had selected.
bool ReloadTrashKeepingPlace(TColumn& column, TFailureShows& shows) {
  const std::vector<std::string> selected = column.SelectedTitles();
  if (!column.Items.empty()) column.TopOffset = column.List.FocusIndex() - column.List.TopIndex();
  column.FailureShows = &shows;
  column.LoadDirectory(false);
  column.FailureShows = nullptr;
  if (shows.Cancelled) return false;
  column.SelectTitles(selected);
  return true;
}

} // namespace

bool CheckDirMonitor(const std::vector<TColumn*>& columns, bool force, bool activeListFocused,
                     TDirMonitorCheckState& state, TBusyCounter& busy) {
  if (!force && !(activeListFocused && (!busy.Busy() || state.Activated))) return false;
  // Inside a wait the columns are in the middle of their work: a reload
  // there would start waits nested in it.
  if (!force && TWait::Current()) return false;
  if (force && busy.Busy()) {
    // A command that changed files asked while other work runs: check when it ends.
    busy.WhenIdle([columns, &state, &busy] { CheckDirMonitor(columns, true, true, state, busy); });
    return false;
  }
  TGuard guard("TMainForm::CheckDirMonitor");
  return guard.Run(false, [&] {
    TBusyScope scope(busy);
    if (state.Activated) force = true;
    state.Activated = false;
    bool anyChanged = false;
    TFailureShows shows;
    for (size_t i = 0; i < columns.size(); ++i) {
      TColumn& column = *columns[i];
      bool changed = false;
      if (column.ShowsTrash) {
        changed = AskTrashMonitors(column);
      } else {
        if (!column.ShowsDirectory() || column.ShownPath().empty()) continue;
        const bool polled =
            state.Polled ? state.Polled(column.ActiveTitle) : IsPolledPartition(column.ActiveTitle);
        if (!force && !polled) continue;
        changed = AskMonitor(column, polled);
      }
      if (!changed && !(force && column.HeaderChanged)) continue;
      column.HeaderChanged = true;
      anyChanged = true;
      if (column.ShowsTrash) {
        const bool reload = force || (ProgramOptions.ReloadChangedDirectories &&
                                      !(state.Held && state.Held(column)));
        if (reload && !ReloadTrashKeepingPlace(column, shows)) break;
      } else if (force) {
        if (!ReloadShared(columns, i, shows)) break;
      } else if (ProgramOptions.ReloadChangedDirectories && !(state.Held && state.Held(column))) {
        if (!ReloadKeepingPlace(columns, i, shows)) break;
      }
    }
    return anyChanged;
  });
}

void CheckRestDirMonitor(const std::vector<TColumn*>& columns, size_t source, size_t from) {
  TColumn& origin = *columns[source];
  const std::string path = origin.ShownPath();
  for (size_t k = from; k < columns.size(); ++k) {
    if (k == source) continue;
    TColumn& column = *columns[k];
    if (!column.ShowsDirectory() || column.ShownPath() != path) continue;
    column.SetWithColumn(origin);
    // A change the origin saw after its read stays pending here too.
    column.DirMonitor.Follow(origin.DirMonitor);
  }
}

} // namespace cv
