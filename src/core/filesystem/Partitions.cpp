#include "filesystem/Partitions.h"

#include "filesystem/File.h"
#include "foundation/Guard.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace cv {

TPartitionSources& PartitionSources() {
  static TPartitionSources sources;
  return sources;
}

namespace {

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t pos = 0;
  while (pos < line.size()) {
    size_t end = line.find(' ', pos);
    if (end == std::string_view::npos) end = line.size();
    if (end > pos) fields.push_back(line.substr(pos, end - pos));
    pos = end + 1;
  }
  return fields;
}

template <typename T> bool ParseNumber(std::string_view text, T& value) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// Whole-component prefix: "/home" holds "/home" and "/home/a", not "/homes".
bool PathHolds(std::string_view directory, std::string_view path) {
  if (!path.starts_with(directory)) return false;
  return path.size() == directory.size() || directory.back() == '/' ||
         path[directory.size()] == '/';
}

// The option "name" or "name=value" of a comma-separated list.
std::optional<std::string_view> FindOption(std::string_view options, std::string_view name) {
  size_t pos = 0;
  while (pos <= options.size()) {
    size_t end = options.find(',', pos);
    if (end == std::string_view::npos) end = options.size();
    const std::string_view option = options.substr(pos, end - pos);
    if (option == name) return std::string_view();
    if (option.starts_with(name) && option.size() > name.size() && option[name.size()] == '=')
      return option.substr(name.size() + 1);
    pos = end + 1;
  }
  return std::nullopt;
}

bool HasOption(std::string_view options, std::string_view name) {
  return FindOption(options, name).has_value();
}

bool IsOneOf(std::string_view value, std::initializer_list<std::string_view> list) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

bool IsPseudoFileSystem(std::string_view fs) {
  return IsOneOf(fs, {"proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "securityfs",
                      "pstore", "bpf", "debugfs", "tracefs", "configfs", "fusectl", "mqueue",
                      "hugetlbfs", "autofs", "binfmt_misc", "efivarfs", "rpc_pipefs", "nsfs",
                      "selinuxfs", "nfsd", "fuse.gvfsd-fuse", "fuse.portal"});
}

// Read-only images and container layers hold no files of the user's own.
bool IsSystemImage(std::string_view fs) {
  return IsOneOf(fs, {"squashfs", "fuse.squashfuse", "overlay"});
}

// A FUSE file system may hang like a network share, unless it is the driver
// of a local disk (fuseblk always is: it mounts a block device).
bool IsRemoteFuseFileSystem(std::string_view fs) {
  return (fs == "fuse" || fs.starts_with("fuse.")) && !IsOneOf(fs, {"fuse.ntfs-3g", "fuse.exfat"});
}

bool IsRemoteFileSystem(std::string_view fs) {
  return fs.starts_with("nfs") ||
         IsOneOf(fs, {"cifs", "smb3", "smbfs", "ncpfs", "sshfs", "9p", "ceph", "afs", "glusterfs",
                      "lustre", "davfs"}) ||
         IsRemoteFuseFileSystem(fs);
}

bool IsHiddenSystemPath(std::string_view mountPoint) {
  if (PathHolds("/run/media", mountPoint) || PathHolds("/run/user", mountPoint)) return false;
  for (const std::string_view system : {"/proc", "/sys", "/dev", "/run"})
    if (PathHolds(system, mountPoint)) return true;
  return false;
}

// A RAM file system is a place for the user's files only where desktops put
// them (temporary files, the session's runtime directory, media); elsewhere
// it is the system's scratch space.
bool IsSystemRamMount(const TMountEntry& mount) {
  if (mount.FileSystem != "tmpfs" && mount.FileSystem != "ramfs") return false;
  for (const std::string_view kept : {"/tmp", "/run/user", "/media", "/run/media"})
    if (PathHolds(kept, mount.MountPoint)) return false;
  return true;
}

bool SameDevice(const TMountEntry& a, const TMountEntry& b) {
  return a.Major == b.Major && a.Minor == b.Minor;
}

// A btrfs subvolume mount names its subvolume as its root: a volume of its
// own, not a bind mount of a sub-tree.
bool IsSubvolumeMount(const TMountEntry& mount) {
  const auto subvolume = FindOption(mount.SuperOptions, "subvol");
  return subvolume && !subvolume->empty() && *subvolume == mount.Root;
}

// Reads an open file from its start; false with errno set on failure.
bool ReadWholeFile(int fd, std::string& text) {
  text.clear();
  if (::lseek(fd, 0, SEEK_SET) < 0) return false;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    text.append(buffer, static_cast<size_t>(n));
  }
}

bool ReadSmallFile(const std::string& title, std::string& text) {
  const int fd = ::open(title.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  const bool read = ReadWholeFile(fd, text);
  const int code = errno;
  ::close(fd);
  errno = code;
  return read;
}

bool SysFlagSet(const std::string& title) {
  std::string text;
  return ReadSmallFile(title, text) && !text.empty() && text.front() == '1';
}

// "\x20" and the other hexadecimal escapes of udev link names.
std::string UnescapeUdevName(std::string_view name) {
  std::string result;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned value = 0;
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
        std::from_chars(name.data() + i + 2, name.data() + i + 4, value, 16).ptr ==
            name.data() + i + 4) {
      result += static_cast<char>(value);
      i += 3;
    } else {
      result += name[i];
    }
  }
  return result;
}

std::string ReadLinkText(const std::string& title) {
  std::string buffer(PATH_MAX, '\0');
  const ssize_t n = ::readlink(title.c_str(), buffer.data(), buffer.size());
  if (n <= 0) return {};
  buffer.resize(static_cast<size_t>(n));
  return buffer;
}

} // namespace

std::string UnescapeMountField(std::string_view field) {
  std::string result;
  result.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    // Up to "\377": a larger number is no byte.
    if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) && field[i + 1] <= '3' &&
        IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
      result += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                  (field[i + 3] - '0'));
      i += 3;
    } else {
      result += field[i];
    }
  }
  return result;
}

std::vector<TMountEntry> ParseMountInfo(std::string_view text) {
  std::vector<TMountEntry> mounts;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::vector<std::string_view> fields = SplitFields(line);
    if (fields.size() < 9) continue;
    size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-") ++separator;
    if (separator + 2 >= fields.size()) continue;
    TMountEntry mount;
    const std::string_view device = fields[2];
    const size_t colon = device.find(':');
    if (!ParseNumber(fields[0], mount.MountId) || !ParseNumber(fields[1], mount.ParentId) ||
        colon == std::string_view::npos || !ParseNumber(device.substr(0, colon), mount.Major) ||
        !ParseNumber(device.substr(colon + 1), mount.Minor))
      continue;
    mount.Root = UnescapeMountField(fields[3]);
    mount.MountPoint = UnescapeMountField(fields[4]);
    if (!mount.MountPoint.starts_with('/')) continue;
    mount.MountOptions = UnescapeMountField(fields[5]);
    mount.FileSystem = UnescapeMountField(fields[separator + 1]);
    mount.Source = UnescapeMountField(fields[separator + 2]);
    if (separator + 3 < fields.size()) mount.SuperOptions = UnescapeMountField(fields[separator + 3]);
    mounts.push_back(std::move(mount));
  }
  return mounts;
}

std::vector<TMountEntry> VisibleMounts(const std::vector<TMountEntry>& mounts) {
  std::unordered_map<std::string_view, size_t> last;
  last.reserve(mounts.size());
  for (size_t i = 0; i < mounts.size(); ++i)
    last[mounts[i].MountPoint] = i;
  std::vector<TMountEntry> visible;
  visible.reserve(last.size());
  for (size_t i = 0; i < mounts.size(); ++i)
    if (last[mounts[i].MountPoint] == i) visible.push_back(mounts[i]);
  return visible;
}

namespace {

uint64_t DeviceKey(const TMountEntry& mount) {
  return uint64_t{mount.Major} << 32 | mount.Minor;
}

// Whole-component ancestors of an absolute path, nearest first: "/a/b"
// gives "/a" and "/".
template <typename F> bool AnyAncestor(std::string_view path, F&& test) {
  for (size_t slash = path.rfind('/'); slash != std::string_view::npos && path.size() > 1;
       slash = path.rfind('/', slash - 1)) {
    path = path.substr(0, slash == 0 ? 1 : slash);
    if (test(path)) return true;
    if (slash == 0) break;
  }
  return false;
}

} // namespace

namespace {

std::vector<TMountEntry> PartitionsOfVisible(const std::vector<TMountEntry>& mounts) {
  std::vector<const TMountEntry*> candidates;
  const TMountEntry* root = nullptr;
  for (const TMountEntry& mount : mounts) {
    if (mount.MountPoint == "/") {
      root = &mount;
      candidates.push_back(&mount);
      continue;
    }
    if (IsPseudoFileSystem(mount.FileSystem) || IsSystemImage(mount.FileSystem) ||
        IsHiddenSystemPath(mount.MountPoint) || IsSystemRamMount(mount))
      continue;
    if (mount.Root != "/" && !IsSubvolumeMount(mount)) continue;
    candidates.push_back(&mount);
  }
  // Per device, the first candidate that shows each of its roots.
  std::unordered_map<uint64_t, std::unordered_map<std::string_view, size_t>> roots;
  for (size_t i = 0; i < candidates.size(); ++i)
    roots[DeviceKey(*candidates[i])].try_emplace(candidates[i]->Root, i);
  std::vector<const TMountEntry*> kept;
  for (size_t i = 0; i < candidates.size(); ++i) {
    const TMountEntry& mount = *candidates[i];
    if (&mount != root) {
      // The root mount, or else the first one, stands for a device; a mount
      // of a sub-tree of a shown root repeats it.
      const auto& shown = roots[DeviceKey(mount)];
      if (shown.at(mount.Root) < i) continue;
      if (root && SameDevice(*root, mount) && root->Root == mount.Root) continue;
      if (AnyAncestor(mount.Root, [&](std::string_view up) { return shown.contains(up); }))
        continue;
    }
    kept.push_back(&mount);
  }
  std::sort(kept.begin(), kept.end(), [](const TMountEntry* a, const TMountEntry* b) {
    return a->MountPoint < b->MountPoint;
  });
  std::vector<TMountEntry> partitions;
  partitions.reserve(kept.size());
  for (const TMountEntry* mount : kept) partitions.push_back(*mount);
  return partitions;
}

} // namespace

std::vector<TMountEntry> FilterPartitions(const std::vector<TMountEntry>& mounts) {
  return PartitionsOfVisible(VisibleMounts(mounts));
}

int PartitionTypeOfMount(const TMountEntry& mount, const std::string& sysRoot) {
  const std::string& fs = mount.FileSystem;
  if (IsPseudoFileSystem(fs)) return ptUnknown;
  if (fs == "iso9660" || fs == "udf" || mount.Source.starts_with("/dev/sr")) return ptCD;
  if (IsRemoteFileSystem(fs)) return ptRemote;
  if (fs == "tmpfs" || fs == "ramfs" || mount.Source.starts_with("/dev/zram")) return ptRAM;
  if (mount.Major != 0) {
    // The flag sits on the whole disk; a partition's node is one level below.
    const std::string node =
        sysRoot + "/dev/block/" + std::to_string(mount.Major) + ":" + std::to_string(mount.Minor);
    if (SysFlagSet(node + "/removable") || SysFlagSet(node + "/../removable")) return ptRemovable;
  }
  if (PathHolds("/media", mount.MountPoint) || PathHolds("/run/media", mount.MountPoint))
    return ptRemovable;
  return ptFixed;
}

// The by-label links of one directory, read in one pass.
class TLabelIndex {
public:
  explicit TLabelIndex(const std::string& labelRoot) {
    DIR* dir = ::opendir(labelRoot.c_str());
    if (!dir) return;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string_view name = entry->d_name;
      if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(dir);
    // The first name wins, whatever order the directory hands them over in.
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string link = labelRoot + "/" + name;
      struct stat st {};
      if (::stat(link.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
        ByDevice.try_emplace(uint64_t{major(st.st_rdev)} << 32 | minor(st.st_rdev),
                             UnescapeUdevName(name));
      } else if (const std::string target = ReadLinkText(link); !target.empty()) {
        // A link whose device node is not there: the node's name tells.
        ByNodeName.try_emplace(GetTitleName(target), UnescapeUdevName(name));
      }
    }
  }

  std::string Find(const TMountEntry& mount) const {
    if (mount.Major != 0)
      if (const auto found = ByDevice.find(DeviceKey(mount)); found != ByDevice.end())
        return found->second;
    if (mount.Source.empty()) return {};
    const auto found = ByNodeName.find(GetTitleName(mount.Source));
    return found == ByNodeName.end() ? std::string() : found->second;
  }

private:
  std::unordered_map<uint64_t, std::string> ByDevice;
  std::unordered_map<std::string, std::string> ByNodeName;
};

namespace {

std::string SuffixOfType(int type, const std::string& label, const TMountEntry& mount) {
  switch (type) {
  case ptRemovable:
    return " (Removable)";
  // Empty quotes read as a fault: a partition without a label shows its type only.
  case ptFixed:
    return label.empty() ? " (Fixed)" : " (Fixed: \"" + label + "\")";
  case ptRemote:
    return mount.Source.empty() ? " (Remote)" : " (Remote: \"" + mount.Source + "\")";
  case ptCD:
    return " (CD)";
  case ptRAM:
    return " (RAM)";
  default:
    return {};
  }
}

} // namespace

std::string PartitionLabelOfMount(const TMountEntry& mount, const std::string& labelRoot) {
  return TLabelIndex(labelRoot).Find(mount);
}

TMountTable::TMountTable(const std::vector<TMountEntry>& mounts, const TPartitionSources& sources)
    : Sources(sources), Visible(VisibleMounts(mounts)), Listed(PartitionsOfVisible(Visible)),
      Facts(std::make_unique<TFacts[]>(Visible.size())) {
  ByMountPoint.reserve(Visible.size());
  for (size_t i = 0; i < Visible.size(); ++i)
    ByMountPoint.emplace(Visible[i].MountPoint, i);
}

TMountTable::~TMountTable() = default;

const TLabelIndex& TMountTable::Labels() const {
  std::call_once(LabelsOnce,
                 [&] { LabelIndex = std::make_unique<TLabelIndex>(Sources.LabelRoot); });
  return *LabelIndex;
}

const TMountTable::TFacts& TMountTable::FactsOf(const TMountEntry& mount) const {
  const size_t place = ByMountPoint.at(mount.MountPoint);
  TFacts& facts = Facts[place];
  std::call_once(facts.Once, [&] {
    const TMountEntry& own = Visible[place];
    facts.Type = PartitionTypeOfMount(own, Sources.SysRoot);
    facts.Label = Labels().Find(own);
    facts.Suffix = SuffixOfType(facts.Type, facts.Label, own);
  });
  return facts;
}

const TMountEntry* TMountTable::MountAt(std::string_view path) const {
  if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const auto found = ByMountPoint.find(path);
  return found == ByMountPoint.end() ? nullptr : &Visible[found->second];
}

const TMountEntry* TMountTable::MountOfPath(std::string_view path) const {
  if (path.empty()) return nullptr;
  const TMountEntry* found = MountAt(path);
  if (!found)
    AnyAncestor(path, [&](std::string_view up) { return (found = MountAt(up)) != nullptr; });
  return found;
}

const TMountEntry* TMountTable::MountOfPartitionTitle(std::string_view title) const {
  // ":/home/" is no partition title: only the exact form names a mount.
  if (!IsPartitionTitle(title) || (title.size() > 2 && title.back() == '/')) return nullptr;
  return MountAt(title.substr(1));
}

namespace {

// One table for the process, kept with the descriptor that tells when the
// mounts change.
struct TMountTableCache {
  std::mutex Lock;
  TPartitionSources Sources;
  int Fd = -1;
  std::shared_ptr<const TMountTable> Table;

  void Close() {
    if (Fd >= 0) ::close(Fd);
    Fd = -1;
    Table.reset();
  }
};

TMountTableCache& MountTableCache() {
  static TMountTableCache cache;
  return cache;
}

// The kernel flags a change of the mounts with POLLPRI (and POLLERR) on an
// open mountinfo; an ordinary file never does.
bool MountsChanged(int fd) {
  pollfd watch{fd, POLLPRI, 0};
  int ready = 0;
  do
    ready = ::poll(&watch, 1, 0);
  while (ready < 0 && errno == EINTR);
  return ready != 0 && (ready < 0 || (watch.revents & (POLLPRI | POLLERR | POLLNVAL)));
}

} // namespace

std::shared_ptr<const TMountTable> CurrentMountTable() {
  TGuard guard("ReadMountTable");
  return guard.Run(std::shared_ptr<const TMountTable>(), [&] {
    TMountTableCache& cache = MountTableCache();
    const std::lock_guard lock(cache.Lock);
    const TPartitionSources& sources = PartitionSources();
    if (cache.Sources != sources) cache.Close();
    if (cache.Table && !MountsChanged(cache.Fd)) return cache.Table;
    cache.Sources = sources;
    if (cache.Fd < 0) cache.Fd = ::open(sources.MountInfoTitle.c_str(), O_RDONLY | O_CLOEXEC);
    std::string text;
    if (cache.Fd < 0 || !ReadWholeFile(cache.Fd, text)) {
      const int code = errno;
      cache.Close();
      guard.Raise("Failed to read mount table.", sources.MountInfoTitle, {},
                  static_cast<uint32_t>(code));
    }
    cache.Table = std::make_shared<const TMountTable>(ParseMountInfo(text), sources);
    return cache.Table;
  });
}

namespace {

// A descriptor that closes itself.
class TPathFd {
public:
  explicit TPathFd(int fd = -1) : Fd(fd) {}
  ~TPathFd() { Reset(-1); }
  TPathFd(const TPathFd&) = delete;
  TPathFd& operator=(const TPathFd&) = delete;
  void Reset(int fd) {
    if (Fd >= 0) ::close(Fd);
    Fd = fd;
  }
  int Get() const { return Fd; }

private:
  int Fd;
};

// Pushes the components of a path so that the first is taken first.
void PushComponents(std::vector<std::string>& pending, std::string_view path) {
  std::vector<std::string> parts;
  for (size_t pos = 0; pos < path.size();) {
    size_t end = path.find('/', pos);
    if (end == std::string_view::npos) end = path.size();
    if (end > pos) parts.emplace_back(path.substr(pos, end - pos));
    pos = end + 1;
  }
  pending.insert(pending.end(), std::make_move_iterator(parts.rbegin()),
                 std::make_move_iterator(parts.rend()));
}

std::string JoinComponent(const std::string& directory, std::string_view name) {
  std::string joined = directory;
  if (joined.back() != '/') joined += '/';
  joined += name;
  return joined;
}

// `resolved` followed by the components still pending, as written.
std::string WithPending(std::string resolved, const std::vector<std::string>& pending) {
  for (auto part = pending.rbegin(); part != pending.rend(); ++part)
    resolved = JoinComponent(resolved, *part);
  return resolved;
}

// What a link holds; 0, or the errno (EINVAL for anything but a link).
int ReadLinkAt(int directory, const std::string& name, std::string& target) {
  for (size_t size = 256;; size *= 2) {
    target.assign(size, '\0');
    const ssize_t got = ::readlinkat(directory, name.c_str(), target.data(), target.size());
    if (got < 0) return errno;
    if (static_cast<size_t>(got) < size) {
      target.resize(static_cast<size_t>(got));
      return 0;
    }
  }
}

// A walk must not ask a share, nor an automount point: a lookup there wakes
// the automounter, which may wait on a server that is gone.
bool WalkMayHang(std::string_view fs) {
  return IsRemoteFileSystem(fs) || fs == "autofs";
}

bool OnRemoteMount(const TMountTable& table, const std::string& path) {
  const TMountEntry* mount = table.MountOfPath(path);
  return mount && WalkMayHang(mount->FileSystem);
}

// Resolves the symbolic links of an absolute path one component at a time;
// a path that does not exist keeps its missing tail after its longest
// existing ancestor. A share may not answer even a lookup: once the resolved
// part lies on one (or on an automount point), the rest is kept as written
// and nothing in it is asked.
std::string ResolveLinks(const TMountTable& table, const std::string& path) {
  if (!path.starts_with('/')) return path;
  constexpr int MaxLinks = 40; // as the kernel counts them
  constexpr int DirectoryFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
  std::vector<std::string> pending;
  PushComponents(pending, path);
  std::string resolved = "/";
  TPathFd directory(::open("/", DirectoryFlags));
  int links = 0;
  while (!pending.empty()) {
    if (OnRemoteMount(table, resolved)) return WithPending(resolved, pending);
    std::string name = std::move(pending.back());
    pending.pop_back();
    if (name == ".") continue;
    if (name == "..") {
      // `resolved` holds no links: its parent is the one in the tree.
      const size_t slash = resolved.rfind('/');
      resolved.resize(slash == 0 ? 1 : slash);
      directory.Reset(::open(resolved.c_str(), DirectoryFlags));
      continue;
    }
    const std::string next = JoinComponent(resolved, name);
    // The mount point of a share or automount is a directory, not a link:
    // it is never asked, and the walk stops inside it.
    if (const TMountEntry* mounted = table.MountAt(next);
        mounted && WalkMayHang(mounted->FileSystem)) {
      resolved = next;
      continue;
    }
    std::string target;
    const int code = directory.Get() < 0 ? EBADF : ReadLinkAt(directory.Get(), name, target);
    if (code == 0) {
      if (++links > MaxLinks || target.empty()) return path;
      PushComponents(pending, target);
      if (target.front() == '/') {
        resolved = "/";
        directory.Reset(::open("/", DirectoryFlags));
      }
      continue;
    }
    // Missing or not to be read: the rest stays as written.
    if (code != EINVAL) return WithPending(next, pending);
    const int inner = ::openat(directory.Get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (inner < 0) return WithPending(next, pending);
    directory.Reset(inner);
    resolved = next;
  }
  return resolved;
}

const TMountEntry* FindMountOfTitle(const TMountTable& table, const std::string& title) {
  if (title.empty()) return nullptr;
  const std::string path = NormalizeTitle(PartitionTitleToPath(title));
  return table.MountOfPath(ResolveLinks(table, path));
}

} // namespace

int GetPartitionList(std::vector<std::string>& list) {
  TGuard guard("GetPartitionList");
  return guard.Run(0, [&] {
    const std::shared_ptr<const TMountTable> table = CurrentMountTable();
    guard.TakeOver();
    for (const TMountEntry& mount : table->Partitions())
      list.push_back(PathToPartitionTitle(mount.MountPoint));
    return static_cast<int>(table->Partitions().size());
  });
}

TPartitionListRead ReadPartitionList() {
  TPartitionListRead read;
  GetPartitionList(read.Partitions);
  read.Status = FunStatContext;
  for (const std::string& title : read.Partitions)
    read.Suffixes.push_back(GetPartitionSuffix(title));
  return read;
}

std::string GetPartitionOfTitle(const std::string& title) {
  const std::shared_ptr<const TMountTable> table = CurrentMountTable();
  const TMountEntry* mount = table ? FindMountOfTitle(*table, title) : nullptr;
  return mount ? PathToPartitionTitle(mount->MountPoint) : std::string();
}

bool TitleMayHang(const std::string& title) {
  const std::shared_ptr<const TMountTable> table = CurrentMountTable();
  if (!table || title.empty()) return false;
  return OnRemoteMount(*table, ResolveLinks(*table, NormalizeTitle(PartitionTitleToPath(title))));
}

int GetPartitionNumber(const std::string& title) {
  const std::shared_ptr<const TMountTable> table = CurrentMountTable();
  const TMountEntry* mount = table ? FindMountOfTitle(*table, title) : nullptr;
  if (!mount) return 0;
  const std::vector<TMountEntry>& listed = table->Partitions();
  const auto found = std::find_if(listed.begin(), listed.end(), [&](const TMountEntry& partition) {
    return partition.MountPoint == mount->MountPoint;
  });
  return found == listed.end() ? 0 : static_cast<int>(found - listed.begin()) + 1;
}

bool IsMountedPartition(const std::string& title) {
  const std::shared_ptr<const TMountTable> table = CurrentMountTable();
  return table && table->MountOfPartitionTitle(title) != nullptr;
}

bool PartitionExists(const std::string& title) {
  const std::string partition = GetPartitionOfTitle(title);
  return !partition.empty() && TitleExists(IncludeDelimiter(partition));
}

bool IsSameRoot(const std::string& a, const std::string& b) {
  const std::shared_ptr<const TMountTable> table = CurrentMountTable();
  if (!table) return false;
  const TMountEntry* mountA = FindMountOfTitle(*table, a);
  return mountA && mountA == FindMountOfTitle(*table, b);
}

int GetPartitionType(const std::string& title) {
  TGuard guard("GetPartitionType");
  return guard.Run(int{ptUnknown}, [&] {
    const std::shared_ptr<const TMountTable> table = CurrentMountTable();
    const TMountEntry* mount = table ? FindMountOfTitle(*table, title) : nullptr;
    if (!mount) guard.Warn("Failed to get type.", title, {}, ENOENT);
    const int type = table->TypeOf(*mount);
    if (type == ptUnknown) guard.Warn("Failed to get type.", title);
    return type;
  });
}

std::string PartitionDisplayText(const std::string& title) {
  return IsPartitionTitle(title) ? title.substr(1) : title;
}

std::string GetPartitionSuffix(const std::string& title) {
  const std::shared_ptr<const TMountTable> table = CurrentMountTable();
  const TMountEntry* mount = table ? table->MountOfPartitionTitle(title) : nullptr;
  return mount ? table->SuffixOf(*mount) : std::string();
}

namespace {

// The title's partition with its statvfs; the errno when there is none.
struct TPartitionSpace {
  std::shared_ptr<const TMountTable> Table;
  const TMountEntry* Mount = nullptr;
  struct statvfs Space {};
  int Error = 0;
};

TPartitionSpace StatPartition(const std::string& title) {
  TPartitionSpace result;
  result.Table = CurrentMountTable();
  result.Mount = result.Table ? FindMountOfTitle(*result.Table, title) : nullptr;
  if (!result.Mount)
    result.Error = ENOENT;
  else if (::statvfs(result.Mount->MountPoint.c_str(), &result.Space) != 0)
    result.Error = errno;
  return result;
}

uint32_t FlagsOfSpace(const TMountEntry& mount, const struct statvfs& st) {
  uint32_t flags = PartitionFlagsOfMount(mount);
  if (st.f_flag & ST_RDONLY) flags |= pfReadOnlyVolume;
  return flags;
}

// The statvfs of the title's partition; leaves with "Failed to get size.".
struct statvfs PartitionSpace(TGuard& guard, const std::string& title) {
  const TPartitionSpace partition = StatPartition(title);
  if (partition.Error != 0)
    guard.Raise("Failed to get size.", title, {}, static_cast<uint32_t>(partition.Error));
  return partition.Space;
}

} // namespace

uint64_t GetPartitionTotalSize(const std::string& title) {
  TGuard guard("GetPartitionTotalSize");
  return guard.Run(uint64_t{0}, [&] {
    const struct statvfs st = PartitionSpace(guard, title);
    const uint64_t size = static_cast<uint64_t>(st.f_blocks) * st.f_frsize;
    if (size == 0) guard.Raise("Failed to get size.", title);
    return size;
  });
}

uint64_t GetPartitionFreeSize(const std::string& title) {
  TGuard guard("GetPartitionFreeSize");
  return guard.Run(uint64_t{0}, [&] {
    const struct statvfs st = PartitionSpace(guard, title);
    return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
  });
}

bool GetPartitionSpace(const std::string& title, TPartitionSpaceFacts& facts) {
  TGuard guard("GetPartitionSpace");
  facts = TPartitionSpaceFacts();
  return guard.Run(false, [&] {
    const TPartitionSpace partition = StatPartition(title);
    if (partition.Error != 0)
      guard.Raise("Failed to get size.", title, {}, static_cast<uint32_t>(partition.Error));
    const struct statvfs& st = partition.Space;
    facts.Total = static_cast<uint64_t>(st.f_blocks) * st.f_frsize;
    facts.Free = static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
    facts.Flags = FlagsOfSpace(*partition.Mount, st);
    return true;
  });
}

void TPartitionInfo::Reset() {
  VolumeName.clear();
  FileSystemName.clear();
  SerialNumber = 0;
  MaximumComponentLength = 0;
  FileSystemFlags = 0;
}

bool TPartitionInfo::Load(const std::string& title) {
  TGuard guard("TPartitionInfo::Load");
  Reset();
  return guard.Run(false, [&] {
    const TPartitionSpace partition = StatPartition(title);
    if (partition.Error != 0)
      guard.Raise("Failed to load partition information.", title, {},
                  static_cast<uint32_t>(partition.Error));
    const TMountEntry& mount = *partition.Mount;
    const struct statvfs& st = partition.Space;
    VolumeName = partition.Table->LabelOf(mount);
    FileSystemName = mount.FileSystem;
    SerialNumber = static_cast<uint32_t>(st.f_fsid);
    MaximumComponentLength = static_cast<uint32_t>(st.f_namemax);
    FileSystemFlags = FlagsOfSpace(mount, st);
    return true;
  });
}

uint32_t PartitionFlagsOfMount(const TMountEntry& mount) {
  const std::string& fs = mount.FileSystem;
  uint32_t flags = 0;
  if (IsOneOf(fs,
              {"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "jfs", "reiserfs", "zfs", "bcachefs",
               "nilfs2", "tmpfs", "overlay", "ntfs", "ntfs3", "fuseblk", "fuse.ntfs-3g"}))
    flags |= pfSparseFiles | pfReparsePoints | pfNamedStreams;
  if (fs.starts_with("nfs")) flags |= pfSparseFiles | pfReparsePoints;
  if (IsOneOf(fs, {"btrfs", "zfs", "bcachefs", "f2fs", "ntfs", "ntfs3", "fuseblk", "fuse.ntfs-3g"}))
    flags |= pfCompression;
  if (IsOneOf(fs, {"ext4", "f2fs", "ubifs"})) flags |= pfEncryption;
  for (const std::string_view quota : {"quota", "usrquota", "grpquota", "prjquota", "usrjquota",
                                       "grpjquota", "uquota", "gquota", "pquota"})
    if (HasOption(mount.MountOptions, quota) || HasOption(mount.SuperOptions, quota))
      flags |= pfQuotas;
  if (HasOption(mount.MountOptions, "ro") || HasOption(mount.SuperOptions, "ro") ||
      fs == "iso9660" || fs == "udf")
    flags |= pfReadOnlyVolume;
  return flags;
}

uint32_t GetPartitionFlags(const std::string& title) {
  TPartitionInfo info;
  info.Load(title);
  return info.FileSystemFlags;
}

std::string PartitionFlagsText(uint32_t flags) {
  static constexpr struct {
    uint32_t Bit;
    const char* Letters;
  } Letters[] = {{pfCompression, "C"},    {pfEncryption, "E"},     {pfQuotas, "Q"},
                 {pfReadOnlyVolume, "R"}, {pfReparsePoints, "Rp"}, {pfNamedStreams, "S"},
                 {pfSparseFiles, "Sf"}};
  std::string text;
  for (const auto& item : Letters)
    if (flags & item.Bit) text += item.Letters;
  return text;
}

std::string GetPartitionFlagsText(const std::string& title) {
  return PartitionFlagsText(GetPartitionFlags(title));
}

bool PartitionSupportsStreams(const std::string& title) {
  return GetPartitionFlags(title) & pfNamedStreams;
}

bool PartitionSupportsReparsePoints(const std::string& title) {
  return GetPartitionFlags(title) & pfReparsePoints;
}

bool PartitionSupportsEncryption(const std::string& title) {
  return GetPartitionFlags(title) & pfEncryption;
}

} // namespace cv
