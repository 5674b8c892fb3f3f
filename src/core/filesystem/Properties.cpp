#include "filesystem/Properties.h"

#include "filesystem/File.h"
#include "filesystem/FileStreams.h"
#include "filesystem/Links.h"
#include "filesystem/Partitions.h"
#include "foundation/Guard.h"
#include "foundation/QtText.h"

#include <QByteArray>
#include <QMimeDatabase>
#include <QMimeType>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {
namespace {

uint32_t Code(int code) {
  return static_cast<uint32_t>(code);
}

// The path the kernel calls take: a partition title names its mount point.
std::string PathOfTitle(const std::string& title) {
  return IsPartitionTitle(title) ? PartitionTitleToPath(title) : title;
}

// The parent directory without its trailing "/" ("/" stays).
std::string LocationOf(const std::string& path) {
  std::string location = GetTitlePath(path);
  if (location.size() > 1) location.pop_back();
  return location;
}

uint64_t FileTimeOf(const struct statx_timestamp& time) {
  return UnixTimeToFileTime(time.tv_sec, time.tv_nsec);
}

// getpwuid_r and getgrgid_r share this shape: the entry's name or the id.
template <typename TEntry, typename TLookUp>
std::string NameOfId(uint32_t id, TLookUp lookUp, char* TEntry::*name) {
  std::vector<char> buffer(1024);
  for (;;) {
    TEntry entry{};
    TEntry* found = nullptr;
    const int code = lookUp(id, &entry, buffer.data(), buffer.size(), &found);
    if (code == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (code == 0 && found && found->*name) return found->*name;
    return std::to_string(id);
  }
}

// What a symbolic link holds; leaves with the failure of readlink.
std::string ReadSymbolicLink(TGuard& guard, const std::string& title) {
  const TTitleAt at(title);
  if (at.Error != 0) guard.Raise("Failed to open file.", title, {}, Code(at.Error));
  for (size_t size = 256;; size *= 2) {
    std::string target(size, '\0');
    const ssize_t got = ::readlinkat(at.Directory, at.Name.c_str(), target.data(), target.size());
    if (got < 0) guard.Raise("Failed to read data.", title, {}, Code(errno));
    if (static_cast<size_t>(got) < size) {
      target.resize(static_cast<size_t>(got));
      return target;
    }
  }
}

// The first bytes of a regular file for the MIME sniffing; empty when it
// cannot be read (the name alone then decides). Nothing but a regular file
// is ever read.
QByteArray LeadingBytes(const std::string& title) {
  const TTitleAt at(title);
  if (at.Error != 0) return {};
  // Looking is no access: keep the access time where the owner's rights allow.
  constexpr int Flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
  int fd = ::openat(at.Directory, at.Name.c_str(), Flags | O_NOATIME);
  if (fd < 0 && errno == EPERM) fd = ::openat(at.Directory, at.Name.c_str(), Flags);
  if (fd < 0) return {};
  QByteArray data;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    data.resize(4096);
    const ssize_t got = ::read(fd, data.data(), static_cast<size_t>(data.size()));
    data.resize(got > 0 ? static_cast<qsizetype>(got) : 0);
  }
  ::close(fd);
  return data;
}

std::string MimeText(const QMimeType& type) {
  const std::string name = FromQString(type.name());
  const std::string comment = FromQString(type.comment());
  return comment.empty() ? name : comment + " (" + name + ")";
}

// The type of what `facts` describes (a link's target when it resolved).
std::string TypeTextOf(const std::string& title, const struct statx& facts) {
  const QMimeDatabase database;
  switch (facts.stx_mode & S_IFMT) {
  case S_IFDIR:
    return "Directory";
  case S_IFREG:
    return MimeText(
        database.mimeTypeForFileNameAndData(ToQString(GetTitleName(title)), LeadingBytes(title)));
  case S_IFIFO:
    return MimeText(database.mimeTypeForName("inode/fifo"));
  case S_IFSOCK:
    return MimeText(database.mimeTypeForName("inode/socket"));
  case S_IFCHR:
    return MimeText(database.mimeTypeForName("inode/chardevice"));
  case S_IFBLK:
    return MimeText(database.mimeTypeForName("inode/blockdevice"));
  default:
    return "Unknown";
  }
}

void FillFacts(TFileProperties& out, const struct statx& facts) {
  out.IsDirectory = S_ISDIR(facts.stx_mode);
  out.Size = S_ISREG(facts.stx_mode) ? facts.stx_size : 0;
  out.ModifiedFileTime = FileTimeOf(facts.stx_mtime);
  out.AccessedFileTime = FileTimeOf(facts.stx_atime);
  out.StatusChangedFileTime = FileTimeOf(facts.stx_ctime);
  // Some file systems answer a birth time of zero for inodes that keep none.
  const bool born = (facts.stx_mask & STATX_BTIME) &&
                    (facts.stx_btime.tv_sec != 0 || facts.stx_btime.tv_nsec != 0);
  out.BirthFileTime = born ? FileTimeOf(facts.stx_btime) : 0;
  out.OwnerId = facts.stx_uid;
  out.GroupId = facts.stx_gid;
  out.OwnerName = NameOfId<passwd>(facts.stx_uid, ::getpwuid_r, &passwd::pw_name);
  out.GroupName = NameOfId<group>(facts.stx_gid, ::getgrgid_r, &group::gr_name);
  out.Mode = static_cast<mode_t>(facts.stx_mode & 07777);
}

void LoadStreams(TGuard& guard, const std::string& title, TFileProperties& out) {
  TMyFileStream lister; // the shared lister's buffer is not ours to reuse here
  std::vector<std::string> names;
  lister.GetNames(title, &names);
  guard.TakeOver();
  for (std::string& name : names) {
    const uint64_t size = GetFileStreamSize(title, name);
    guard.TakeOver();
    out.Streams.push_back({std::move(name), size});
  }
}

void LoadPartition(TGuard& guard, const std::string& title, TFileProperties& out) {
  out.PartitionTitle = GetPartitionOfTitle(title);
  TPartitionInfo partition;
  partition.Load(title);
  guard.TakeOver();
  out.MountPoint = PartitionTitleToPath(out.PartitionTitle);
  out.FileSystemType = partition.FileSystemName;
  out.PartitionLabel = partition.VolumeName;
}

} // namespace

bool LoadFileProperties(const std::string& title, TFileProperties& out) {
  out = TFileProperties();
  TGuard guard("LoadFileProperties");
  return guard.Run(false, [&] {
    const std::string path = PathOfTitle(title);
    constexpr unsigned Mask = STATX_BASIC_STATS | STATX_BTIME;
    struct statx own {};
    if (const int code = StatxTitle(path, false, Mask, &own); code != 0)
      guard.Raise("Failed to open file.", title, {}, Code(code));
    TFileProperties loaded;
    loaded.Title = title;
    loaded.Name = path == "/" ? path : GetTitleName(path);
    loaded.Location = LocationOf(path);
    loaded.IsSymbolicLink = S_ISLNK(own.stx_mode);
    struct statx target {};
    const bool resolved = loaded.IsSymbolicLink && StatxTitle(path, true, Mask, &target) == 0;
    const struct statx& facts = resolved ? target : own;
    FillFacts(loaded, facts);
    if (loaded.IsSymbolicLink) {
      loaded.LinkTarget = ReadSymbolicLink(guard, path);
      loaded.TypeText = resolved ? "Symbolic link to " + TypeTextOf(path, facts)
                                 : std::string("Broken symbolic link");
    } else {
      loaded.TypeText = TypeTextOf(path, facts);
    }
    if (S_ISREG(facts.stx_mode) && IsLinkTitle(path)) {
      // A desktop entry that does not parse is a plain file here.
      TLinkFile link;
      if (link.Load(path, false)) loaded.LinkTarget = link.Reference;
    }
    if (!loaded.IsSymbolicLink || resolved) LoadStreams(guard, path, loaded);
    LoadPartition(guard, path, loaded);
    out = std::move(loaded);
    return true;
  });
}

bool SetFileMode(const std::string& title, mode_t mode) {
  TGuard guard("SetFileMode");
  return guard.Run(false, [&] {
    const TTitleAt at(title);
    if (at.Error != 0) guard.Raise("Failed to change permissions.", title, {}, Code(at.Error));
    if (::fchmodat(at.Directory, at.Name.c_str(), mode & 07777, 0) != 0)
      guard.Raise("Failed to change permissions.", title, {}, Code(errno));
    return true;
  });
}

std::string ModeText(mode_t mode) {
  std::string text = "---------";
  constexpr char Letters[] = "rwx";
  for (int bit = 0; bit < 9; ++bit)
    if (mode & (0400u >> bit)) text[static_cast<size_t>(bit)] = Letters[bit % 3];
  const auto special = [&](size_t place, mode_t flag, char set) {
    if (!(mode & flag)) return;
    text[place] = text[place] == 'x' ? set : static_cast<char>(set - 'a' + 'A');
  };
  special(2, S_ISUID, 's');
  special(5, S_ISGID, 's');
  special(8, S_ISVTX, 't');
  return text;
}

namespace {

std::string EntryTitle(const std::string& directory, const std::string& name) {
  return directory == "/" ? "/" + name : directory + PathDelimiter + name;
}

// What one directory adds to the count; its subdirectories go to `below`.
class TDirectoryCounter {
public:
  TDirectoryCounter(const std::atomic<bool>& cancel, TDirectoryCount& count,
                    const TDirectoryCountProgress& progress)
      : Cancel(cancel), Count(count), Progress(progress) {}

  // False when cancelled. The names are read first and examined in byte
  // order, so whatever vanishes in between is simply not there.
  bool Add(const std::string& directory, bool followLink, std::vector<std::string>& below) {
    below.clear();
    const TTitleAt at(directory);
    const int flags =
        O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK | (followLink ? 0 : O_NOFOLLOW);
    int error = at.Error;
    DIR* dir = nullptr;
    if (error == 0) {
      const int fd = ::openat(at.Directory, at.Name.c_str(), flags);
      if (fd < 0 || !(dir = ::fdopendir(fd))) {
        error = errno;
        if (fd >= 0) ::close(fd);
      }
    }
    if (!dir) {
      // Gone or made a link since it was listed: not there to count.
      if (followLink || !(error == ENOENT || error == ELOOP || error == ENOTDIR))
        ++Count.Unreadable;
      return true;
    }
    if (!ReadNames(dir)) ++Count.Unreadable; // what was read is still counted
    bool finished = true;
    for (const std::string& name : Names) {
      if (Cancel.load(std::memory_order_relaxed)) {
        finished = false;
        break;
      }
      struct statx st {};
      if (::statx(::dirfd(dir), name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                  STATX_TYPE | STATX_SIZE, &st) != 0)
        continue; // vanished, or nothing to count
      const std::string title = EntryTitle(directory, name);
      if (S_ISDIR(st.stx_mode)) {
        ++Count.Directories;
        below.push_back(title);
      } else {
        ++Count.Files;
        if (S_ISREG(st.stx_mode)) Count.Bytes += st.stx_size;
      }
      if (Progress) Progress(Count, title);
    }
    ::closedir(dir);
    return finished;
  }

private:
  bool ReadNames(DIR* dir) {
    Names.clear();
    int error = 0;
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(dir);
      if (!entry) {
        error = errno;
        break;
      }
      const std::string_view name = entry->d_name;
      if (name != "." && name != "..") Names.emplace_back(name);
    }
    std::sort(Names.begin(), Names.end());
    return error == 0;
  }

  const std::atomic<bool>& Cancel;
  TDirectoryCount& Count;
  const TDirectoryCountProgress& Progress;
  std::vector<std::string> Names;
};

} // namespace

bool CountDirectory(const std::string& title, const std::atomic<bool>& cancel,
                    TDirectoryCount& count, const TDirectoryCountProgress& progress) {
  count = TDirectoryCount();
  TDirectoryCounter counter(cancel, count, progress);
  std::string root = PathOfTitle(title);
  while (root.size() > 1 && root.back() == PathDelimiter)
    root.pop_back();
  // Titles still to list: a stack holds no descriptor across levels, so any
  // depth is walked; reversed pushes hand them out in name order.
  std::vector<std::string> pending{root};
  std::vector<std::string> below;
  for (bool first = true; !pending.empty(); first = false) {
    if (cancel.load(std::memory_order_relaxed)) return false;
    const std::string directory = std::move(pending.back());
    pending.pop_back();
    if (!counter.Add(directory, first, below)) return false;
    pending.insert(pending.end(), std::make_move_iterator(below.rbegin()),
                   std::make_move_iterator(below.rend()));
  }
  return true;
}

} // namespace cv
