#include "filesystem/DirectoryReader.h"

#include "filesystem/File.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

TEntryFacts ReadEntryFacts(int directory, const char* name, TFileInfo& info, struct statx* ownOut) {
  const unsigned mask = FileInfoStatxMask() | (ownOut ? STATX_INO : 0u);
  constexpr int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
  struct statx scratch {};
  struct statx& own = ownOut ? *ownOut : scratch;
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

TDirectoryNames::TDirectoryNames(const std::string& path) {
  Dir = OpenDirectoryStream(path, Error);
  if (!Dir) return;
  Opened = true;
  Fd = ::dirfd(Dir);
}

TDirectoryNames::~TDirectoryNames() {
  if (Dir) ::closedir(Dir);
}

void TDirectoryNames::ReadBlock(TNameBlock& block, size_t limit, const std::atomic<bool>* cancel) {
  block.Pool.clear();
  block.Offsets.clear();
  if (Ended()) return;
  block.Offsets.reserve(std::min<size_t>(limit, 4096));
  // A block ends before its pool could outgrow the 32-bit offsets.
  constexpr size_t PoolLimit = UINT32_MAX - sizeof(dirent::d_name);
  while (block.Offsets.size() < limit && block.Pool.size() <= PoolLimit) {
    if (cancel && cancel->load(std::memory_order_relaxed)) {
      AtEnd = true;
      return;
    }
    const dirent* entry = NextEntry(Dir, Error);
    if (!entry) {
      AtEnd = true;
      return;
    }
    block.Offsets.push_back(static_cast<uint32_t>(block.Pool.size()));
    block.Pool.append(entry->d_name, std::strlen(entry->d_name) + 1);
  }
}

size_t TDirectoryNames::ExpectedCount() const {
  return Dir ? ExpectedEntries(Fd) : 0;
}

TEntryFacts TDirectoryNames::ReadFacts(const TNameBlock& block, size_t index,
                                       TFileInfo& info) const {
  return ReadEntryFacts(Fd, block.CName(index), info);
}

namespace {

bool SameEntry(const TLevelEntry& entry, const struct stat& facts) {
  return facts.st_dev == entry.Device && facts.st_ino == entry.Inode;
}

} // namespace

TDirectoryLevel::TDirectoryLevel(const std::string& path) {
  std::string title = IsPartitionTitle(path) ? PartitionTitleToPath(path) : path;
  while (title.size() > 1 && title.back() == PathDelimiter)
    title.pop_back();
  if (title == "/") {
    Open(AT_FDCWD, title, nullptr);
    return;
  }
  TParentDirectory parent(title);
  if (parent.Error != 0) {
    Error = parent.Error;
    return;
  }
  OwnParent = std::move(parent.Handle);
  Open(OwnParent.Get(), parent.Name, nullptr);
}

TDirectoryLevel::TDirectoryLevel(const TDirectoryLevel& parent, const TLevelEntry& entry) {
  Open(parent.Fd(), entry.Name, &entry);
}

void TDirectoryLevel::Open(int parent, const std::string& name, const TLevelEntry* listed) {
  ParentFd = parent;
  Name = name;
  // Never through a link: a name swapped for one fails here (ELOOP or ENOTDIR).
  Handle = TFileHandle(
      ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (!Handle.Valid()) {
    Error = errno;
    return;
  }
  if (::fstat(Handle.Get(), &Own) != 0) {
    Error = errno;
    Handle.Reset();
    return;
  }
  if (listed && !SameEntry(*listed, Own)) {
    Error = ReplacedEntryCode;
    Handle.Reset();
  }
}

int TDirectoryLevel::Read() {
  Entries.clear();
  if (!Handle.Valid()) return Error != 0 ? Error : EBADF;
  // A stream of its own, so the held descriptor keeps no reading position.
  const int fd = ::openat(Handle.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    const int code = errno;
    ::close(fd);
    return code;
  }
  Entries.reserve(ExpectedEntries(fd));
  int result = 0;
  TFileInfo info;
  struct statx own {};
  while (const dirent* entry = NextEntry(dir, result)) {
    TLevelEntry& added = Entries.emplace_back();
    added.Name = entry->d_name;
    switch (ReadEntryFacts(fd, entry->d_name, info, &own)) {
    case TEntryFacts::Read:
      added.Attributes = info.Attributes;
      added.Size = info.Size;
      added.Device = makedev(own.stx_dev_major, own.stx_dev_minor);
      added.Inode = own.stx_ino;
      break;
    case TEntryFacts::Unreadable:
      break;
    case TEntryFacts::Gone:
      Entries.pop_back();
      break;
    }
  }
  ::closedir(dir);
  std::sort(Entries.begin(), Entries.end(),
            [](const TLevelEntry& a, const TLevelEntry& b) { return a.Name < b.Name; });
  return result;
}

int TDirectoryLevel::Remove() const {
  if (ParentFd < 0 && ParentFd != AT_FDCWD) return EBADF;
  return ::unlinkat(ParentFd, Name.c_str(), AT_REMOVEDIR) == 0 ? 0 : errno;
}

bool TDirectoryLevel::StillHolds(const TLevelEntry& entry) const {
  struct stat facts {};
  return ::fstatat(Handle.Get(), entry.Name.c_str(), &facts, AT_SYMLINK_NOFOLLOW) == 0 &&
         SameEntry(entry, facts);
}

} // namespace cv
