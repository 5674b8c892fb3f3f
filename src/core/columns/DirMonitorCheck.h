#pragma once
// The periodic check of the columns' directory monitors: a changed column is
// marked (its header caption struck through); a forced check reloads it, and
// other columns that show the same directory take its listing, so each
// changed directory is read from disk once. With the option "Reload changed
// directories" an unforced check reloads a changed column too, keeping its
// focus, its top row and its selection by title.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace cv {

class TColumn;
class TBusyCounter;

struct TDirMonitorCheckState {
  // Set at every activation of the application: the next check is forced.
  bool Activated = false;
  // Whether an unforced check reads the title's directory; unset: on fixed
  // and RAM partitions only.
  std::function<bool(const std::string& title)> Polled;
  // A column the user is dragging from or editing in: it is only marked,
  // never reloaded by an unforced check. Unset: none.
  std::function<bool(const TColumn& column)> Held;
};

// `columns` are the visible columns in board order. Without force the check
// runs only while the active column's list has the keyboard focus and the
// program is idle (or was just activated); a forced check asked for while
// the program is busy runs once the busy counter is back at 0. True when a
// column changed (the owner focuses the active column again).
bool CheckDirMonitor(const std::vector<TColumn*>& columns, bool force, bool activeListFocused,
                     TDirMonitorCheckState& state, TBusyCounter& busy);

// Gives every column from `from` on, other than `source`, that shows the
// same directory as `source`, the listing of `source` in its own sort mode;
// its pending change becomes the one `source` saw since its read.
void CheckRestDirMonitor(const std::vector<TColumn*>& columns, std::size_t source,
                         std::size_t from);

} // namespace cv
