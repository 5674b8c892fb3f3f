#include "filesystem/DirMonitor.h"

#include "filesystem/File.h"
#include "foundation/Guard.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace cv {

namespace {

// Entries created, deleted, renamed, written or given new attributes, and
// the directory itself going away; IN_IGNORED and IN_Q_OVERFLOW come always.
constexpr uint32_t WatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                               IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// A new inotify descriptor watching the directory, or -errno.
int CreateNotification(const std::string& title) {
  const TTitleAt at(title);
  if (at.Error != 0) return -at.Error;
  // inotify takes no directory descriptor; a title longer than PATH_MAX is
  // reached through the descriptor of its leading part.
  const std::string path = at.Directory == AT_FDCWD
                               ? at.Name
                               : "/proc/self/fd/" + std::to_string(at.Directory) + "/" + at.Name;
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return -errno;
  if (::inotify_add_watch(fd, path.c_str(), WatchMask) < 0) {
    const int code = errno;
    ::close(fd);
    return -code;
  }
  return fd;
}

} // namespace

TDirectoryMonitor::~TDirectoryMonitor() {
  CloseHandle();
}

TDirectoryMonitor::TDirectoryMonitor(TDirectoryMonitor&& other) noexcept
    : Handle(std::exchange(other.Handle, -1)), WatchedTitle(std::move(other.WatchedTitle)),
      FChanged(std::exchange(other.FChanged, false)) {}

TDirectoryMonitor& TDirectoryMonitor::operator=(TDirectoryMonitor&& other) noexcept {
  if (this != &other) {
    CloseHandle();
    Handle = std::exchange(other.Handle, -1);
    WatchedTitle = std::move(other.WatchedTitle);
    FChanged = std::exchange(other.FChanged, false);
  }
  return *this;
}

void TDirectoryMonitor::CloseHandle() {
  if (Handle >= 0) ::close(Handle);
  Handle = -1;
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
    const bool watchable = !GetTitlePath(newTitle).empty();
    // The new watch exists before the old one is read, so a change between
    // the two lands in one of them.
    const int fd = watchable ? CreateNotification(newTitle) : -1;
    bool carried = true;
    if (Handle >= 0 && newTitle == WatchedTitle) carried = GetChange();
    CloseHandle();
    WatchedTitle = newTitle;
    if (!watchable) return;
    if (fd < 0) {
      FChanged = true;
      guard.Raise("Failed set monitor.", newTitle, {}, static_cast<uint32_t>(-fd));
    }
    Handle = fd;
    FChanged = carried;
  });
}

bool TDirectoryMonitor::GetChange() {
  if (GetTitlePath(WatchedTitle).empty()) return TGuard::EarlyExit(false);
  if (Handle < 0) return TGuard::EarlyExit(true);
  TGuard guard("TDirectoryMonitor::GetChange");
  return guard.Run(true, [&] {
    pollfd request{Handle, POLLIN, 0};
    int ready;
    do
      ready = ::poll(&request, 1, 0);
    while (ready < 0 && errno == EINTR);
    if (ready < 0) {
      const int code = errno;
      CloseHandle();
      guard.Raise("Failed get status.", WatchedTitle, {}, static_cast<uint32_t>(code));
    }
    // Any queued event counts, and so does an error on the descriptor.
    return ready > 0;
  });
}

bool TDirectoryMonitor::Next() {
  if (GetTitlePath(WatchedTitle).empty()) {
    FChanged = false;
    return TGuard::EarlyExit(false);
  }
  TGuard guard("TDirectoryMonitor::Next");
  const bool result = guard.Run(true, [&] {
    const bool changed = Handle < 0 || FChanged || GetChange();
    const std::string title = WatchedTitle;
    Set(title);
    guard.TakeOver();
    return changed;
  });
  FChanged = false;
  return result;
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
