#pragma once
// Watches one directory (not its subdirectories) for changes. The monitor
// calls no one: its owner polls it with `Next`.
//
// The notification is a non-blocking inotify descriptor with one watch on
// the directory: creation, deletion and renaming of entries, attribute
// changes and writes (size changes) of entries, and the loss of the
// directory itself. Any queued event — including a queue overflow or a lost
// watch (IN_IGNORED, IN_DELETE_SELF, IN_MOVE_SELF) — reads as "changed", so a
// directory that vanished or cannot be watched shows as changed rather than
// silently stale. Failures are raised ("Failed set monitor.", "Failed get
// status.") and handed back through FunStatContext with the result "changed";
// a poller may ignore them.

#include <string>

namespace cv {

class TDirectoryMonitor {
public:
  TDirectoryMonitor() = default;
  ~TDirectoryMonitor();
  TDirectoryMonitor(const TDirectoryMonitor&) = delete;
  TDirectoryMonitor& operator=(const TDirectoryMonitor&) = delete;
  TDirectoryMonitor(TDirectoryMonitor&& other) noexcept;
  TDirectoryMonitor& operator=(TDirectoryMonitor&& other) noexcept;

  // Starts watching a title afresh: `Set`, then no pending change.
  void Ini(const std::string& title);
  // (Re)creates the notification for a title; a change pending on the same
  // title is kept, a new title starts out changed.
  void Set(const std::string& title);
  // A change happened since the notification was created (always for a
  // title that could not be watched; never for one without a path part).
  bool GetChange();
  // A change happened since the last `Ini` or `Next`; re-arms.
  bool Next();
  // Closes the notification; no pending change. The title stays.
  void Close();
  // The reset state: no notification, no title, no pending change.
  void Reset();

  const std::string& Title() const { return WatchedTitle; }
  bool Watching() const { return Handle >= 0; }
  bool Changed() const { return FChanged; }

private:
  void CloseHandle();

  int Handle = -1;
  std::string WatchedTitle;
  bool FChanged = false;
};

} // namespace cv
