#include "filesystem/DirMonitor.h"

#include "filesystem/File.h"
#include "foundation/Guard.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace cv {

namespace {

// Entries created, deleted, renamed, written or given new attributes, and
// the directory itself going away; IN_IGNORED and IN_Q_OVERFLOW come always.
constexpr uint32_t WatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                               IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// The title no longer names the watched directory.
constexpr uint32_t LostMask = IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT;

} // namespace

TDirectoryMonitor::~TDirectoryMonitor() {
  CloseHandle();
}

TDirectoryMonitor::TDirectoryMonitor(TDirectoryMonitor&& other) noexcept
    : AfterRead(std::move(other.AfterRead)), Handle(std::exchange(other.Handle, -1)),
      Watch(std::exchange(other.Watch, -1)), Device(other.Device), Inode(other.Inode),
      WatchedTitle(std::move(other.WatchedTitle)), FChanged(std::exchange(other.FChanged, false)) {}

TDirectoryMonitor& TDirectoryMonitor::operator=(TDirectoryMonitor&& other) noexcept {
  if (this != &other) {
    CloseHandle();
    AfterRead = std::move(other.AfterRead);
    Handle = std::exchange(other.Handle, -1);
    Watch = std::exchange(other.Watch, -1);
    Device = other.Device;
    Inode = other.Inode;
    WatchedTitle = std::move(other.WatchedTitle);
    FChanged = std::exchange(other.FChanged, false);
  }
  return *this;
}

void TDirectoryMonitor::TakeWatch(TDirectoryMonitor&& other) {
  std::function<void()> own = std::move(AfterRead);
  std::function<void()> theirs = std::move(other.AfterRead);
  *this = std::move(other);
  AfterRead = std::move(own);
  other.AfterRead = std::move(theirs);
}

TDirectoryMonitor TDirectoryMonitor::Lend() {
  TDirectoryMonitor lent(std::move(*this));
  WatchedTitle = lent.WatchedTitle;
  return lent;
}

void TDirectoryMonitor::CloseHandle() {
  if (Handle >= 0) ::close(Handle);
  Handle = -1;
  Watch = -1;
}

int TDirectoryMonitor::AddWatch(const std::string& title) {
  const TTitleAt at(title);
  if (at.Error != 0) return at.Error;
  const int directory = ::openat(at.Directory, at.Name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (directory < 0) return errno;
  int code = 0;
  struct stat place {};
  if (::fstat(directory, &place) != 0) {
    code = errno;
    ::close(directory);
    return code;
  }
  Device = place.st_dev;
  Inode = place.st_ino;
  if (Handle < 0) Handle = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (Handle < 0) {
    code = errno;
  } else {
    // inotify takes no directory descriptor, but the descriptor's own short
    // name reaches the directory whatever the length of its title.
    const std::string path = "/proc/self/fd/" + std::to_string(directory);
    Watch = ::inotify_add_watch(Handle, path.c_str(), WatchMask);
    if (Watch < 0) code = errno;
  }
  ::close(directory);
  return code;
}

void TDirectoryMonitor::DropWatch() {
  if (Watch >= 0) ::inotify_rm_watch(Handle, Watch);
  Watch = -1;
  // The removal queued its IN_IGNORED already; with no watch it counts for nothing.
  if (Handle >= 0) Drain();
}

int TDirectoryMonitor::Drain() {
  alignas(inotify_event) char buffer[4 * (sizeof(inotify_event) + NAME_MAX + 1)];
  bool lost = false;
  for (;;) {
    const ssize_t got = ::read(Handle, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == EAGAIN) break;
    if (got < 0) return errno;
    if (got == 0) break;
    for (ssize_t offset = 0; offset < got;) {
      inotify_event event;
      std::memcpy(&event, buffer + offset, sizeof event);
      offset += static_cast<ssize_t>(sizeof event + event.len);
      if (event.mask & IN_Q_OVERFLOW) {
        FChanged = true;
      } else if (Watch >= 0 && event.wd == Watch) {
        FChanged = true;
        if (event.mask & LostMask) lost = true;
      }
    }
  }
  if (lost) {
    // A moved directory keeps its watch: remove it, the title is added again.
    ::inotify_rm_watch(Handle, Watch);
    Watch = -1;
  }
  return 0;
}

bool TDirectoryMonitor::StillAtTitle() const {
  struct statx place {};
  return StatxTitle(WatchedTitle, true, STATX_INO, &place) == 0 && place.stx_ino == Inode &&
         makedev(place.stx_dev_major, place.stx_dev_minor) == Device;
}

void TDirectoryMonitor::Ini(const std::string& title) {
  TGuard guard("TDirectoryMonitor::Ini");
  guard.Run([&] {
    Set(title);
    FChanged = false;
    guard.TakeOver();
  });
}

void TDirectoryMonitor::Set(const std::string& title) {
  TGuard guard("TDirectoryMonitor::Set");
  guard.Run([&] {
    const std::string newTitle = title;
    if (newTitle != WatchedTitle) {
      DropWatch();
      FChanged = true;
    } else if (Watching()) {
      if (const int code = Drain(); code != 0) {
        CloseHandle();
        FChanged = true;
        guard.Raise("Failed get status.", newTitle, {}, static_cast<uint32_t>(code));
      }
    }
    WatchedTitle = newTitle;
    if (GetTitlePath(newTitle).empty()) {
      CloseHandle();
      FChanged = false;
      return;
    }
    if (Watching()) return;
    // Whatever happened while there was no watch is unknown: changed.
    FChanged = true;
    if (const int code = AddWatch(newTitle); code != 0) {
      CloseHandle();
      guard.Raise("Failed set monitor.", newTitle, {}, static_cast<uint32_t>(code));
    }
  });
}

bool TDirectoryMonitor::GetChange() {
  if (GetTitlePath(WatchedTitle).empty()) return TGuard::EarlyExit(false);
  if (!Watching()) return TGuard::EarlyExit(true);
  TGuard guard("TDirectoryMonitor::GetChange");
  return guard.Run(true, [&] {
    if (const int code = Drain(); code != 0) {
      CloseHandle();
      FChanged = true;
      guard.Raise("Failed get status.", WatchedTitle, {}, static_cast<uint32_t>(code));
    }
    if (Watching() && !StillAtTitle()) {
      DropWatch();
      FChanged = true;
    }
    return FChanged || !Watching();
  });
}

bool TDirectoryMonitor::Next() {
  if (GetTitlePath(WatchedTitle).empty()) {
    FChanged = false;
    return TGuard::EarlyExit(false);
  }
  TGuard guard("TDirectoryMonitor::Next");
  const bool result = guard.Run(true, [&] {
    const bool changed = GetChange();
    guard.TakeOver();
    if (AfterRead) AfterRead();
    if (!Watching()) {
      const std::string title = WatchedTitle;
      Set(title);
      guard.TakeOver();
    }
    return changed;
  });
  // Events after the read are still queued: clearing loses none of them.
  FChanged = false;
  return result;
}

void TDirectoryMonitor::Follow(TDirectoryMonitor& leader) {
  // Armed before asking the leader: a change lands in one of the two.
  Ini(leader.WatchedTitle);
  if (leader.GetChange()) FChanged = true;
}

void TDirectoryMonitor::Close() {
  CloseHandle();
  FChanged = false;
}

void TDirectoryMonitor::Reset() {
  Close();
  WatchedTitle.clear();
}

} // namespace cv
