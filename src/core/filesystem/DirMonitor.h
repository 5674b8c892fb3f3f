#pragma once
// Watches one directory (not its subdirectories) for changes. The monitor
// calls no one: its owner polls it with `Next`.
//
// The notification is one non-blocking inotify descriptor kept while the
// monitor watches, with one watch on the directory: creation, deletion and
// renaming of entries, attribute changes and writes (size changes) of
// entries, and the loss of the directory itself. Each question reads the
// queue: an event that arrives after the read stays queued for the next
// question, so no change falls between two polls. Any event of the watch —
// including a queue overflow or a lost watch (IN_IGNORED, IN_DELETE_SELF,
// IN_MOVE_SELF) — reads as "changed", so a directory that vanished or cannot
// be watched shows as changed rather than silently stale. The watch is added
// through a descriptor of the directory itself, so any directory that can
// be opened can be watched, whatever the length of its title. Failures are
// raised ("Failed set monitor.", "Failed get status.") and handed back
// through FunStatContext with the result "changed"; a poller may ignore them.

#include <cstdint>
#include <functional>
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

  // Starts watching a title afresh: `Set`, then no pending change. Changes
  // from here on are seen, so a listing read after `Ini` misses none.
  void Ini(const std::string& title);
  // Watches a title; a change pending on the same title is kept, a new title
  // (or one whose watch had to be added again) starts out changed.
  void Set(const std::string& title);
  // A change is pending (always for a title that could not be watched;
  // never for one without a path part). Asking does not take the change.
  bool GetChange();
  // A change happened since the last `Ini` or `Next`; takes it, and adds
  // the watch again when it was lost.
  bool Next();
  // Starts afresh on `leader`'s title, pending what `leader` saw since its
  // own start: for a listing that `leader` read and this owner takes over.
  void Follow(TDirectoryMonitor& leader);
  // Takes over `other`'s watch, title and pending change (a watch armed on
  // another thread); each keeps its own AfterRead.
  void TakeWatch(TDirectoryMonitor&& other);
  // Hands the watch, the pending change and AfterRead to a new monitor (to
  // be asked on another thread) and keeps only the title: asked before the
  // watch comes back, this monitor adds it again and reports a change.
  TDirectoryMonitor Lend();
  // Closes the notification; no pending change. The title stays.
  void Close();
  // The reset state: no notification, no title, no pending change.
  void Reset();

  const std::string& Title() const { return WatchedTitle; }
  bool Watching() const { return Handle >= 0 && Watch >= 0; }
  bool Changed() const { return FChanged; }

  // Runs inside `Next` after the queue was read and before the change is
  // taken; tests inject a change there.
  std::function<void()> AfterRead;

private:
  // Adds the watch for the title; 0 or the errno.
  int AddWatch(const std::string& title);
  // Removes the watch and forgets its queued events.
  void DropWatch();
  // Reads the queued events into FChanged; a lost watch is dropped.
  // 0 or the errno of the read.
  int Drain();
  // The title still names the watched directory (an ancestor renamed or
  // replaced sends the watch no event).
  bool StillAtTitle() const;
  void CloseHandle();

  int Handle = -1;
  int Watch = -1;
  uint64_t Device = 0, Inode = 0;
  std::string WatchedTitle;
  bool FChanged = false;
};

} // namespace cv
