#include "columns/DirMonitorCheck.h"

#include "columns/Column.h"
#include "filesystem/Partitions.h"
#include "foundation/BusyCount.h"
#include "foundation/Guard.h"

namespace cv {

namespace {

// Removable, remote and CD partitions are only read when a check is forced.
bool IsPolledPartition(const std::string& title) {
  const int type = GetPartitionType(title);
  return type == ptFixed || type == ptRAM;
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
        column.FailureShows = &shows;
        column.LoadDirectory(false);
        column.FailureShows = nullptr;
        if (shows.Cancelled) break;
        CheckRestDirMonitor(columns, i, i + 1);
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
