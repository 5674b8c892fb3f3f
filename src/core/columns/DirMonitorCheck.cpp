#include "columns/DirMonitorCheck.h"

#include "columns/Column.h"
#include "filesystem/Partitions.h"
#include "foundation/BusyCount.h"
#include "foundation/Guard.h"
#include "options/ProgramOptions.h"

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

} // namespace

bool CheckDirMonitor(const std::vector<TColumn*>& columns, bool force, bool activeListFocused,
                     TDirMonitorCheckState& state, TBusyCounter& busy) {
  if (!force && !(activeListFocused && (!busy.Busy() || state.Activated))) return false;
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
      if (!column.ShowsDirectory() || column.ShownPath().empty()) continue;
      if (!force && !(state.Polled ? state.Polled(column.ActiveTitle)
                                   : IsPolledPartition(column.ActiveTitle)))
        continue;
      const bool changed = column.DirMonitor.Next();
      if (!changed && !(force && column.HeaderChanged)) continue;
      column.HeaderChanged = true;
      anyChanged = true;
      if (force) {
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
