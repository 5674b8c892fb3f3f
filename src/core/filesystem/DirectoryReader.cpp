#include "filesystem/DirectoryReader.h"

#include "filesystem/File.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

namespace {

bool IsDotEntry(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace

size_t ExpectedEntryCount(uint64_t directorySize) {
  constexpr uint64_t Cap = uint64_t{1} << 21;
  return static_cast<size_t>(std::min<uint64_t>(directorySize / 16 + 16, Cap));
}

int ReadDirectory(const std::string& path, const TDirectoryEntrySink& sink, bool* opened,
                  const std::function<void(size_t)>& expect) {
  if (opened) *opened = false;
  // Through the descriptor of the leading part, so a directory deeper than
  // PATH_MAX is listed like any other.
  const TTitleAt at(path.empty() ? std::string("/") : path);
  if (at.Error != 0) return at.Error;
  const int fd =
      ::openat(at.Directory, at.Name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    const int error = errno;
    ::close(fd);
    return error;
  }
  if (opened) *opened = true;
  if (expect) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0)
      expect(ExpectedEntryCount(static_cast<uint64_t>(st.st_size)));
  }
  const unsigned mask = FileInfoStatxMask();
  constexpr int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
  TFileInfo info;
  int result = 0;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (!entry) {
      result = errno;
      break;
    }
    if (IsDotEntry(entry->d_name)) continue;
    struct statx own {};
    if (::statx(fd, entry->d_name, flags, mask, &own) != 0) {
      if (errno == ENOENT) continue; // gone since readdir
      sink(entry->d_name, nullptr);
      continue;
    }
    if (S_ISLNK(own.stx_mode)) {
      struct statx target {};
      const bool resolved =
          ::statx(fd, entry->d_name, AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC, mask, &target) == 0;
      info.SetFromStatx(entry->d_name, own, resolved ? &target : nullptr, false);
    } else {
      info.SetFromStatx(entry->d_name, own, nullptr, false);
    }
    sink(entry->d_name, &info);
  }
  ::closedir(dir);
  return result;
}

} // namespace cv
