#include "filesystem/FileHandles.h"

#include "filesystem/File.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
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

std::string NewTemporaryName() {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  static constexpr char Letters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  // A short hidden name, so a destination near the name length limit still has room.
  std::string name = ".cv-copy-";
  for (int i = 0; i < 8; ++i)
    name += Letters[generator() % (sizeof Letters - 1)];
  return name;
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

// The plain loop, for file systems and kernels without copy_file_range between them.
int CopyByReading(int from, int to, uint64_t& done, const std::function<bool(uint64_t)>& progress) {
  std::string buffer(1u << 20, '\0');
  size_t sinceReport = 0;
  for (;;) {
    const ssize_t n = ::read(from, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    if (const int code = WriteAll(to, std::string_view(buffer.data(), static_cast<size_t>(n))))
      return code;
    done += static_cast<uint64_t>(n);
    sinceReport += static_cast<size_t>(n);
    if (sinceReport >= CopyChunk) {
      sinceReport = 0;
      if (progress && !progress(done)) return ECANCELED;
    }
  }
}

} // namespace

int CopyData(int from, int to, const std::function<bool(uint64_t)>& progress) {
  uint64_t done = 0;
  for (;;) {
    const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, CopyChunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (done == 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                        errno == EOPNOTSUPP || errno == EBADF))
        return CopyByReading(from, to, done, progress);
      return errno;
    }
    if (n == 0) return 0;
    done += static_cast<uint64_t>(n);
    if (progress && !progress(done)) return ECANCELED;
  }
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

// The user attribute names of an open file; ENOTSUP where none can exist.
int ListStreamAttributes(int fd, std::vector<std::string>& names) {
  names.clear();
  std::string buffer;
  for (;;) {
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size < 0) return errno;
    buffer.resize(static_cast<size_t>(size));
    const ssize_t got = size == 0 ? 0 : ::flistxattr(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == ERANGE) continue; // grew meanwhile
    if (got < 0) return errno;
    buffer.resize(static_cast<size_t>(got));
    break;
  }
  for (size_t pos = 0; pos < buffer.size();) {
    const size_t end = buffer.find('\0', pos);
    const std::string_view name(buffer.data() + pos,
                                (end == std::string::npos ? buffer.size() : end) - pos);
    if (name.starts_with("user.")) names.emplace_back(name);
    pos = end == std::string::npos ? buffer.size() : end + 1;
  }
  return 0;
}

int ReadStreamAttribute(int fd, const std::string& name, std::string& value) {
  for (;;) {
    const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
    if (size < 0) return errno;
    value.resize(static_cast<size_t>(size));
    const ssize_t got = size == 0 ? 0 : ::fgetxattr(fd, name.c_str(), value.data(), value.size());
    if (got < 0 && errno == ERANGE) continue;
    if (got < 0) return errno;
    value.resize(static_cast<size_t>(got));
    return 0;
  }
}

} // namespace

int CopyStreamsBetween(int source, int destination) {
  std::vector<std::string> names;
  if (const int code = ListStreamAttributes(source, names); code != 0)
    return code == ENOTSUP ? 0 : code; // no streams to lose
  std::string value;
  for (const std::string& name : names) {
    if (const int code = ReadStreamAttribute(source, name, value); code != 0) {
      if (code == ENODATA) continue; // removed meanwhile
      return code;
    }
    if (::fsetxattr(destination, name.c_str(), value.data(), value.size(), 0) != 0) return errno;
  }
  return 0;
}

TTemporaryFile::TTemporaryFile(const std::string& destination) : Parent(destination) {
  Error = Parent.Error != 0 ? Parent.Error : CreateTemporaryAt(Parent.Handle.Get(), Name, Handle);
}

TTemporaryFile::~TTemporaryFile() {
  Handle.Reset();
  if (!Committed && !Name.empty() && Parent.Handle.Valid())
    ::unlinkat(Parent.Handle.Get(), Name.c_str(), 0);
}

int TTemporaryFile::Commit(bool overwrite, bool durable) {
  if (Error != 0) return Error;
  if (durable && ::fsync(Handle.Get()) != 0) return errno;
  if (const int code = Handle.Close(); code != 0) return code;
  const int dir = Parent.Handle.Get();
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
  TTemporaryFile temp(target);
  if (temp.Error != 0) return temp.Error;
  if (created) *created = true;
  if (exists) {
    TFileHandle current;
    if (const int code = OpenRegularForReading(target, true, current); code != 0) return code;
    if (const int code = CopyStreamsBetween(current.Get(), temp.Fd()); code != 0) return code;
    if (::geteuid() == 0 && ::fchown(temp.Fd(), old.st_uid, old.st_gid) != 0) return errno;
  }
  if (const int code = WriteAll(temp.Fd(), data); code != 0) return code;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  const mode_t mode = exists ? (old.st_mode & 07777) : (0666 & ~mask);
  if (::fchmod(temp.Fd(), mode | addMode) != 0) return errno;
  return temp.Commit(true, true);
}

} // namespace cv
