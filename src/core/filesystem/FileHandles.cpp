#include "filesystem/FileHandles.h"

#include "filesystem/File.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <random>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace cv {

TFileHandle& TFileHandle::operator=(TFileHandle&& other) noexcept {
  if (this != &other) {
    Reset();
    Fd = other.Release();
  }
  return *this;
}

int TFileHandle::Release() {
  const int fd = Fd;
  Fd = -1;
  return fd;
}

void TFileHandle::Reset() {
  if (Fd >= 0) ::close(Fd);
  Fd = -1;
}

int TFileHandle::Close() {
  if (Fd < 0) return 0;
  const int result = ::close(Release());
  return result == 0 || errno == EINTR ? 0 : errno;
}

TParentDirectory::TParentDirectory(const std::string& title) {
  std::string_view path = TitlePathPart(title);
  Name = std::string(TitleNamePart(title));
  if (Name.empty() || Name == "." || Name == "..") {
    Error = EINVAL;
    return;
  }
  std::string directory(path.empty() ? "." : path);
  if (directory.size() > 1 && directory.back() == PathDelimiter) directory.pop_back();
  const TTitleAt at(directory);
  if (at.Error != 0) {
    Error = at.Error;
    return;
  }
  Handle = TFileHandle(::openat(at.Directory, at.Name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!Handle.Valid()) Error = errno;
}

std::string DescriptorPath(int directory, std::string_view name) {
  if (directory == AT_FDCWD) return std::string(name);
  std::string path = "/proc/self/fd/" + std::to_string(directory);
  if (!name.empty()) path.append("/").append(name);
  return path;
}

int OpenRegularForReading(const std::string& title, bool followLinks, TFileHandle& out) {
  const TTitleAt at(title);
  if (at.Error != 0) return at.Error;
  TFileHandle path(
      ::openat(at.Directory, at.Name.c_str(), O_PATH | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW)));
  if (!path.Valid()) return errno;
  struct stat st {};
  if (::fstat(path.Get(), &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return ENOTSUP;
  // Reopening the checked inode through its descriptor leaves no window for a swap.
  out = TFileHandle(::open(DescriptorPath(path.Get(), "").c_str(), O_RDONLY | O_CLOEXEC));
  if (!out.Valid()) return errno;
  return 0;
}

namespace {

constexpr std::string_view TemporaryPrefix = ".cv-copy-";
constexpr size_t TemporaryLetters = 8;
constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

} // namespace

std::string NewTemporaryName() {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  // A short hidden name, so a destination near the name length limit still has room.
  std::string name(TemporaryPrefix);
  for (size_t i = 0; i < TemporaryLetters; ++i)
    name += Letters[generator() % (sizeof Letters - 1)];
  return name;
}

bool IsTemporaryName(std::string_view name) {
  if (name.size() != TemporaryPrefix.size() + TemporaryLetters ||
      !name.starts_with(TemporaryPrefix))
    return false;
  const std::string_view letters(Letters, sizeof Letters - 1);
  return std::all_of(name.begin() + TemporaryPrefix.size(), name.end(),
                     [&](char c) { return letters.find(c) != std::string_view::npos; });
}

int MakeWithTemporaryName(std::string& name, const std::function<int(const char*)>& make) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = NewTemporaryName();
    const int code = make(name.c_str());
    if (code != EEXIST) return code;
  }
  return EEXIST;
}

int CreateTemporaryAt(int directory, std::string& name, TFileHandle& out) {
  return MakeWithTemporaryName(name, [&](const char* candidate) {
    out = TFileHandle(
        ::openat(directory, candidate, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    return out.Valid() ? 0 : errno;
  });
}

int WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return ENOSPC;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

int ReadAll(int fd, uint64_t limit, std::string& out) {
  out.clear();
  char buffer[65536];
  while (limit == 0 || out.size() < limit) {
    size_t want = sizeof buffer;
    if (limit != 0 && limit - out.size() < want) want = static_cast<size_t>(limit - out.size());
    const ssize_t n = ::read(fd, buffer, want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) break;
    out.append(buffer, static_cast<size_t>(n));
  }
  return 0;
}

namespace {

constexpr size_t CopyChunk = 8u << 20;

bool CopyRangeUnsupported(int code) {
  return code == EXDEV || code == EINVAL || code == ENOSYS || code == EOPNOTSUPP || code == EBADF;
}

// One chunk at `offset` (at most `want` bytes) through a buffer; 0 bytes at
// the source's end.
ssize_t CopyChunkByReading(int from, int to, uint64_t offset, size_t want, std::string& buffer) {
  if (buffer.empty()) buffer.resize(1u << 20);
  size_t done = 0;
  while (done < want) {
    const ssize_t n = ::pread(from, buffer.data(), std::min(buffer.size(), want - done),
                              static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    for (size_t written = 0; written < static_cast<size_t>(n);) {
      const ssize_t w = ::pwrite(to, buffer.data() + written, static_cast<size_t>(n) - written,
                                 static_cast<off_t>(offset + done + written));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return -1;
      if (w == 0) {
        errno = ENOSPC;
        return -1;
      }
      written += static_cast<size_t>(w);
    }
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

// Copies the data extent [offset, end) chunk by chunk; `end` becomes the
// source's end when the file turned out shorter. copy_file_range (the
// kernel's own copy, a clone where the file system shares blocks) until it
// cannot work between these two files (`fast` cleared), then a buffer.
int CopyExtent(int from, int to, uint64_t offset, uint64_t& end, bool& fast, std::string& buffer,
               const std::function<bool(uint64_t)>& progress) {
  while (offset < end) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(CopyChunk, end - offset));
    ssize_t n;
    if (fast) {
      loff_t in = static_cast<loff_t>(offset), out = static_cast<loff_t>(offset);
      n = ::copy_file_range(from, &in, to, &out, want, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && CopyRangeUnsupported(errno)) {
        fast = false;
        continue;
      }
    } else {
      n = CopyChunkByReading(from, to, offset, want, buffer);
    }
    if (n < 0) return errno;
    if (n == 0) {
      end = offset; // shrank meanwhile
      return 0;
    }
    offset += static_cast<uint64_t>(n);
    if (progress && !progress(offset)) return ECANCELED;
  }
  return 0;
}

} // namespace

int CopyData(int from, int to, const std::function<bool(uint64_t)>& progress) {
  struct stat st {};
  if (::fstat(from, &st) != 0) return errno;
  uint64_t size = static_cast<uint64_t>(st.st_size);
  uint64_t position = 0, reported = 0;
  bool fast = true;
  std::string buffer;
  auto report = [&](uint64_t done) {
    reported = done;
    return !progress || progress(done);
  };
  // A hole costs no I/O but is passed in the same chunks: progress moves
  // and a cancel is heard however sparse the file.
  auto skipTo = [&](uint64_t target) {
    for (; target - position > CopyChunk; position += CopyChunk)
      if (!report(position + CopyChunk)) return false;
    position = target;
    return true;
  };
  while (position < size) {
    // Only the data extents are copied: a sparse file stays sparse.
    off_t data = ::lseek(from, static_cast<off_t>(position), SEEK_DATA);
    if (data < 0 && errno == ENXIO) break;             // a hole up to the end
    if (data < 0) data = static_cast<off_t>(position); // no map of holes: all data
    if (static_cast<uint64_t>(data) >= size) break;
    if (!skipTo(static_cast<uint64_t>(data))) return ECANCELED;
    off_t hole = ::lseek(from, data, SEEK_HOLE);
    // No answer, or one the file changed under: data up to the end.
    if (hole <= data || static_cast<uint64_t>(hole) > size) hole = static_cast<off_t>(size);
    uint64_t end = static_cast<uint64_t>(hole);
    const uint64_t expected = end;
    if (const int code = CopyExtent(from, to, static_cast<uint64_t>(data), end, fast, buffer,
                                    [&](uint64_t done) { return report(done); }))
      return code;
    position = end;
    if (end < expected) size = end; // the source shrank: the copy ends where it did
  }
  if (position < size && !skipTo(size)) return ECANCELED;
  if (::ftruncate(to, static_cast<off_t>(size)) != 0) return errno;
  if (reported != size && !report(size)) return ECANCELED;
  return 0;
}

int UnlinkTitle(const std::string& title, int flags) {
  const TParentDirectory parent(title);
  if (parent.Error != 0) return parent.Error;
  return ::unlinkat(parent.Handle.Get(), parent.Name.c_str(), flags) == 0 ? 0 : errno;
}

void SyncDirectory(int directory) {
  const TFileHandle readable(::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (readable.Valid()) ::fsync(readable.Get());
}

} // namespace cv

namespace cv {

namespace {

// The attributes of a file reached either by an open descriptor or by a
// path (of an O_PATH descriptor, which the f*xattr calls refuse).
struct TAttributeSource {
  int Fd = -1;
  std::string Path;
  ssize_t List(char* buffer, size_t size) const {
    return Fd >= 0 ? ::flistxattr(Fd, buffer, size) : ::listxattr(Path.c_str(), buffer, size);
  }
  ssize_t Get(const char* name, void* value, size_t size) const {
    return Fd >= 0 ? ::fgetxattr(Fd, name, value, size)
                   : ::getxattr(Path.c_str(), name, value, size);
  }
};

constexpr std::string_view UserPrefix = "user.";

// The attribute names of a file (only the user ones when `userOnly`);
// ENOTSUP where none can exist.
int ListAttributes(const TAttributeSource& source, bool userOnly, std::vector<std::string>& names) {
  names.clear();
  std::string buffer;
  for (;;) {
    const ssize_t size = source.List(nullptr, 0);
    if (size < 0) return errno;
    buffer.resize(static_cast<size_t>(size));
    const ssize_t got = size == 0 ? 0 : source.List(buffer.data(), buffer.size());
    if (got < 0 && errno == ERANGE) continue; // grew meanwhile
    if (got < 0) return errno;
    buffer.resize(static_cast<size_t>(got));
    break;
  }
  for (size_t pos = 0; pos < buffer.size();) {
    const size_t end = buffer.find('\0', pos);
    const std::string_view name(buffer.data() + pos,
                                (end == std::string::npos ? buffer.size() : end) - pos);
    if (!name.empty() && (!userOnly || name.starts_with(UserPrefix))) names.emplace_back(name);
    pos = end == std::string::npos ? buffer.size() : end + 1;
  }
  return 0;
}

int ReadAttribute(const TAttributeSource& source, const std::string& name, std::string& value) {
  for (;;) {
    const ssize_t size = source.Get(name.c_str(), nullptr, 0);
    if (size < 0) return errno;
    value.resize(static_cast<size_t>(size));
    const ssize_t got = size == 0 ? 0 : source.Get(name.c_str(), value.data(), value.size());
    if (got < 0 && errno == ERANGE) continue;
    if (got < 0) return errno;
    value.resize(static_cast<size_t>(got));
    return 0;
  }
}

// Copies the attributes; `all` takes every namespace, where ACLs, labels
// and the rest are kept as far as this process may read and set them.
int CopyAttributesBetween(const TAttributeSource& source, int destination, bool all) {
  std::vector<std::string> names;
  if (const int code = ListAttributes(source, !all, names); code != 0)
    return code == ENOTSUP ? 0 : code; // nothing to lose
  std::string value;
  for (const std::string& name : names) {
    const bool user = name.starts_with(UserPrefix);
    auto beyondReach = [&](int code) {
      return !user && (code == EPERM || code == EACCES || code == ENOTSUP);
    };
    if (const int code = ReadAttribute(source, name, value); code != 0) {
      if (code == ENODATA || beyondReach(code)) continue; // removed meanwhile, or not ours
      return code;
    }
    if (::fsetxattr(destination, name.c_str(), value.data(), value.size(), 0) != 0 &&
        !beyondReach(errno))
      return errno;
  }
  return 0;
}

} // namespace

int CopyStreamsBetween(int source, int destination) {
  return CopyAttributesBetween(TAttributeSource{source, {}}, destination, false);
}

void RemoveStaleTemporaries(int directory, int64_t olderThan) {
  const int readable = ::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (readable < 0) return;
  DIR* listing = ::fdopendir(readable);
  if (!listing) {
    ::close(readable);
    return;
  }
  const uid_t self = ::geteuid();
  while (const dirent* entry = ::readdir(listing)) {
    if (!IsTemporaryName(entry->d_name)) continue;
    struct stat st {};
    // The status change time: a copy that sets the old times still changes it.
    if (::fstatat(readable, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        st.st_uid == self && st.st_ctim.tv_sec < olderThan)
      ::unlinkat(readable, entry->d_name, 0);
  }
  ::closedir(listing);
}

void RemoveStaleTemporariesOnce(int directory) {
  using TClock = std::chrono::steady_clock;
  static std::mutex lock;
  static std::map<std::pair<dev_t, ino_t>, TClock::time_point> swept;
  struct stat st {};
  if (::fstat(directory, &st) != 0) return;
  const TClock::time_point now = TClock::now();
  {
    const std::lock_guard<std::mutex> hold(lock);
    auto [it, added] = swept.try_emplace({st.st_dev, st.st_ino}, now);
    if (!added && now - it->second < std::chrono::minutes(1)) return;
    it->second = now;
    if (swept.size() > 4096) // a long tree copy: forget what is due again anyway
      std::erase_if(swept,
                    [&](const auto& item) { return now - item.second >= std::chrono::minutes(1); });
  }
  RemoveStaleTemporaries(directory, static_cast<int64_t>(std::time(nullptr)) - 24 * 60 * 60);
}

namespace {

// Links an open file that has no name (O_TMPFILE) to `name`; a link never
// replaces an existing name (EEXIST).
int LinkOpenFile(int fd, int directory, const char* name) {
  if (::linkat(AT_FDCWD, DescriptorPath(fd, "").c_str(), directory, name, AT_SYMLINK_FOLLOW) == 0)
    return 0;
  if (errno != ENOENT) return errno;
  // No /proc: the descriptor itself, where this process may link by one.
  return ::linkat(fd, "", directory, name, AT_EMPTY_PATH) == 0 ? 0 : errno;
}

} // namespace

TTemporaryFile::TTemporaryFile(const std::string& destination) : Parent(destination) {
  if (Parent.Error != 0) {
    Error = Parent.Error;
    return;
  }
  Handle = TFileHandle(::openat(Parent.Handle.Get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
  if (Handle.Valid()) return;
  // Older kernels take O_TMPFILE for O_DIRECTORY (EISDIR).
  if (errno != EOPNOTSUPP && errno != EISDIR) {
    Error = errno;
    return;
  }
  Error = CreateTemporaryAt(Parent.Handle.Get(), Name, Handle);
}

TTemporaryFile::~TTemporaryFile() {
  Handle.Reset();
  if (!Committed && !Name.empty() && Parent.Handle.Valid())
    ::unlinkat(Parent.Handle.Get(), Name.c_str(), 0);
}

int TTemporaryFile::Commit(bool overwrite, bool durable) {
  if (Error != 0) return Error;
  if (durable && ::fsync(Handle.Get()) != 0) return errno;
  const int dir = Parent.Handle.Get();
  if (Name.empty() && !overwrite) {
    // An unnamed file takes the destination's name in one step that never replaces.
    struct stat own {};
    if (::fstat(Handle.Get(), &own) != 0) return errno;
    if (const int code = LinkOpenFile(Handle.Get(), dir, Parent.Name.c_str())) return code;
    if (const int code = Handle.Close(); code != 0) {
      // The data may be short: take back the name just given, unless it changed hands.
      struct stat now {};
      if (::fstatat(dir, Parent.Name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
          now.st_dev == own.st_dev && now.st_ino == own.st_ino)
        ::unlinkat(dir, Parent.Name.c_str(), 0);
      return code;
    }
    Committed = true;
    if (durable) SyncDirectory(dir);
    return 0;
  }
  if (Name.empty()) {
    // A rename replaces in one step; it needs a name to rename.
    if (const int code = MakeWithTemporaryName(Name, [&](const char* candidate) {
          return LinkOpenFile(Handle.Get(), dir, candidate);
        })) {
      Name.clear();
      return code;
    }
  }
  if (const int code = Handle.Close(); code != 0) return code;
  int result = overwrite
                   ? ::renameat(dir, Name.c_str(), dir, Parent.Name.c_str())
                   : ::renameat2(dir, Name.c_str(), dir, Parent.Name.c_str(), RENAME_NOREPLACE);
  if (result != 0 && !overwrite && errno == EINVAL) {
    // File systems without the no-replace rename still refuse a link onto an existing name.
    result = ::linkat(dir, Name.c_str(), dir, Parent.Name.c_str(), 0);
    if (result == 0) ::unlinkat(dir, Name.c_str(), 0);
  }
  if (result != 0) return errno;
  Committed = true;
  if (durable) SyncDirectory(dir);
  return 0;
}

namespace {

// Writes over the file itself, so every hard link sees the new content.
// The space is reserved first: a full disk fails before the old data is
// touched where the file system can tell in advance.
int WriteInPlace(int directory, const std::string& name, std::string_view data, mode_t addMode,
                 bool* opened) {
  TFileHandle file(::openat(directory, name.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!file.Valid()) return errno;
  const int fd = file.Get();
  struct stat st {};
  if (::fstat(fd, &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return ENOTSUP; // swapped meanwhile
  if (opened) *opened = true;
  const off_t length = static_cast<off_t>(data.size());
  if (length > st.st_size && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, length) != 0) {
    if (errno != EOPNOTSUPP && errno != ENOSYS) return errno;
    // Without fallocate the library writes the new blocks; the old length comes back on failure.
    if (const int code = ::posix_fallocate(fd, st.st_size, length - st.st_size)) {
      [[maybe_unused]] const int restored = ::ftruncate(fd, st.st_size);
      return code;
    }
  }
  for (size_t done = 0; done < data.size();) {
    const ssize_t n =
        ::pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return ENOSPC;
    done += static_cast<size_t>(n);
  }
  if (::ftruncate(fd, length) != 0) return errno;
  if ((st.st_mode | addMode) != st.st_mode && ::fchmod(fd, (st.st_mode | addMode) & 07777) != 0)
    return errno;
  if (::fsync(fd) != 0) return errno;
  return file.Close();
}

// Gives the new file the old one's owner, attributes and mode. EPERM (or
// EACCES) when this process cannot: only the file itself keeps them then.
int CarryOver(const struct stat& old, int oldPath, int to, mode_t mode) {
  struct stat own {};
  if (::fstat(to, &own) != 0) return errno;
  // Before the attributes: a change of owner drops capabilities and set-id bits.
  if ((own.st_uid != old.st_uid || own.st_gid != old.st_gid) &&
      ::fchown(to, own.st_uid != old.st_uid ? old.st_uid : static_cast<uid_t>(-1),
               own.st_gid != old.st_gid ? old.st_gid : static_cast<gid_t>(-1)) != 0)
    return errno;
  if (const int code =
          CopyAttributesBetween(TAttributeSource{-1, DescriptorPath(oldPath, "")}, to, true))
    return code;
  // After the ACL: a mode change keeps the ACL's own entries and sets its mask.
  return ::fchmod(to, mode) == 0 ? 0 : errno;
}

} // namespace

int ReplaceFileContent(const std::string& title, std::string_view data, bool mustExist,
                       bool* created, mode_t addMode) {
  if (created) *created = false;
  std::string target = title;
  struct stat old {};
  bool exists = false;
  {
    const TTitleAt at(title);
    if (at.Error != 0) return at.Error;
    struct stat own {};
    if (::fstatat(at.Directory, at.Name.c_str(), &own, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(own.st_mode)) {
      char* real = ::realpath(DescriptorPath(at.Directory, at.Name).c_str(), nullptr);
      if (!real) return errno;
      target = real;
      std::free(real);
    }
    exists = ::fstatat(at.Directory, at.Name.c_str(), &old, 0) == 0;
    if (!exists && errno != ENOENT) return errno;
  }
  if (!exists && mustExist) return ENOENT;
  if (exists && !S_ISREG(old.st_mode)) return S_ISDIR(old.st_mode) ? EISDIR : ENOTSUP;
  TFileHandle oldPath;
  if (exists) {
    const TParentDirectory parent(target);
    if (parent.Error != 0) return parent.Error;
    // The rename needs only the directory's permission; the file's own must allow the write too.
    if (::faccessat(parent.Handle.Get(), parent.Name.c_str(), W_OK, AT_EACCESS) != 0) return errno;
    oldPath = TFileHandle(
        ::openat(parent.Handle.Get(), parent.Name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!oldPath.Valid()) return errno;
    if (::fstat(oldPath.Get(), &old) != 0) return errno;
    if (!S_ISREG(old.st_mode)) return ENOTSUP; // swapped meanwhile
    if (old.st_nlink > 1)
      return WriteInPlace(parent.Handle.Get(), parent.Name, data, addMode, created);
  }
  TTemporaryFile temp(target);
  if (temp.Error != 0) return temp.Error;
  if (created) *created = true;
  if (const int code = WriteAll(temp.Fd(), data); code != 0) return code;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  const mode_t mode = (exists ? (old.st_mode & 07777) : (0666 & ~mask)) | addMode;
  if (!exists) return ::fchmod(temp.Fd(), mode) != 0 ? errno : temp.Commit(true, true);
  if (const int code = CarryOver(old, oldPath.Get(), temp.Fd(), mode); code != 0) {
    if (code != EPERM && code != EACCES) return code;
    const TParentDirectory parent(target);
    if (parent.Error != 0) return parent.Error;
    return WriteInPlace(parent.Handle.Get(), parent.Name, data, addMode, created);
  }
  return temp.Commit(true, true);
}

} // namespace cv
