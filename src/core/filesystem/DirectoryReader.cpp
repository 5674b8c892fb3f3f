#include "filesystem/DirectoryReader.h"

#include "filesystem/File.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

namespace {

bool IsDotEntry(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Opens `path` for reading its entries, or returns null with `error` set.
DIR* OpenDirectoryStream(const std::string& path, int& error) {
  // Through the descriptor of the leading part, so a directory deeper than
  // PATH_MAX is listed like any other.
  const TTitleAt at(path.empty() ? std::string("/") : path);
  error = at.Error;
  if (error != 0) return nullptr;
  const int fd =
      ::openat(at.Directory, at.Name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    error = errno;
    ::close(fd);
  }
  return dir;
}

// The next entry but "." and "..", or null at the end or on an error
// (`error` set).
const dirent* NextEntry(DIR* dir, int& error) {
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (!entry) {
      error = errno;
      return nullptr;
    }
    if (!IsDotEntry(entry->d_name)) return entry;
  }
}

size_t ExpectedEntries(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size <= 0) return 0;
  return ExpectedEntryCount(static_cast<uint64_t>(st.st_size));
}

} // namespace

size_t ExpectedEntryCount(uint64_t directorySize) {
  constexpr uint64_t Cap = uint64_t{1} << 21;
  return static_cast<size_t>(std::min<uint64_t>(directorySize / 16 + 16, Cap));
}

TEntryFacts ReadEntryFacts(int directory, const char* name, TFileInfo& info) {
  const unsigned mask = FileInfoStatxMask();
  constexpr int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
  struct statx own {};
  if (::statx(directory, name, flags, mask, &own) != 0)
    return errno == ENOENT ? TEntryFacts::Gone : TEntryFacts::Unreadable;
  if (S_ISLNK(own.stx_mode)) {
    struct statx target {};
    const bool resolved =
        ::statx(directory, name, AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC, mask, &target) == 0;
    info.SetFromStatx(name, own, resolved ? &target : nullptr, false);
  } else {
    info.SetFromStatx(name, own, nullptr, false);
  }
  return TEntryFacts::Read;
}

int ReadDirectory(const std::string& path, const TDirectoryEntrySink& sink, bool* opened,
                  const std::function<void(size_t)>& expect) {
  if (opened) *opened = false;
  int result = 0;
  DIR* dir = OpenDirectoryStream(path, result);
  if (!dir) return result;
  if (opened) *opened = true;
  const int fd = ::dirfd(dir);
  if (expect)
    if (const size_t count = ExpectedEntries(fd)) expect(count);
  TFileInfo info;
  while (const dirent* entry = NextEntry(dir, result)) {
    switch (ReadEntryFacts(fd, entry->d_name, info)) {
    case TEntryFacts::Read:
      sink(entry->d_name, &info);
      break;
    case TEntryFacts::Unreadable:
      sink(entry->d_name, nullptr);
      break;
    case TEntryFacts::Gone:
      break;
    }
  }
  ::closedir(dir);
  return result;
}

TDirectoryNames::TDirectoryNames(const std::string& path, const std::atomic<bool>* cancel) {
  Dir = OpenDirectoryStream(path, Error);
  if (!Dir) return;
  Opened = true;
  Offsets.reserve(ExpectedEntries(::dirfd(Dir)));
  while (const dirent* entry = NextEntry(Dir, Error)) {
    if (cancel && cancel->load(std::memory_order_relaxed)) break;
    Offsets.push_back(Pool.size());
    Pool.append(entry->d_name, std::strlen(entry->d_name) + 1);
  }
}

TDirectoryNames::~TDirectoryNames() {
  if (Dir) ::closedir(Dir);
}

std::string_view TDirectoryNames::Name(size_t index) const {
  return Pool.c_str() + Offsets[index];
}

TEntryFacts TDirectoryNames::ReadFacts(size_t index, TFileInfo& info) const {
  return ReadEntryFacts(::dirfd(Dir), Pool.c_str() + Offsets[index], info);
}

} // namespace cv
