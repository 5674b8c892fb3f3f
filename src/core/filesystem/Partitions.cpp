#include "filesystem/Partitions.h"

#include "filesystem/File.h"
#include "foundation/Guard.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <optional>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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

bool IsRemoteFileSystem(std::string_view fs) {
  return fs.starts_with("nfs") ||
         IsOneOf(fs, {"cifs", "smb3", "smbfs", "ncpfs", "fuse.sshfs", "sshfs", "9p", "ceph",
                      "fuse.ceph", "afs", "glusterfs", "fuse.glusterfs", "lustre", "davfs",
                      "fuse.rclone", "fuse.s3fs"});
}

bool IsHiddenSystemPath(std::string_view mountPoint) {
  if (PathHolds("/run/media", mountPoint)) return false;
  for (const std::string_view system : {"/proc", "/sys", "/dev", "/run"})
    if (PathHolds(system, mountPoint)) return true;
  return false;
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

bool ReadSmallFile(const std::string& title, std::string& text) {
  const int fd = ::open(title.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  text.clear();
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int code = errno;
      ::close(fd);
      errno = code;
      return false;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
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

std::vector<TMountEntry> VisibleMountTable() { return VisibleMounts(ReadMountTable()); }

const TMountEntry* FindMountOfTitle(const std::vector<TMountEntry>& mounts,
                                    const std::string& title) {
  if (title.empty()) return nullptr;
  return FindMountOfPath(mounts, NormalizeTitle(PartitionTitleToPath(title)));
}

const TMountEntry* FindMountOfPartitionTitle(const std::vector<TMountEntry>& mounts,
                                             const std::string& title) {
  if (!IsPartitionTitle(title)) return nullptr;
  for (const TMountEntry& mount : mounts)
    if (PathToPartitionTitle(mount.MountPoint) == title) return &mount;
  return nullptr;
}

} // namespace

std::string UnescapeMountField(std::string_view field) {
  std::string result;
  result.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
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

std::vector<TMountEntry> ReadMountTable() {
  TGuard guard("ReadMountTable");
  return guard.Run(std::vector<TMountEntry>{}, [&] {
    const std::string& title = PartitionSources().MountInfoTitle;
    std::string text;
    if (!ReadSmallFile(title, text))
      guard.Raise("Failed to read mount table.", title, {}, static_cast<uint32_t>(errno));
    return ParseMountInfo(text);
  });
}

std::vector<TMountEntry> VisibleMounts(const std::vector<TMountEntry>& mounts) {
  std::vector<TMountEntry> visible;
  for (size_t i = 0; i < mounts.size(); ++i) {
    bool hidden = false;
    for (size_t j = i + 1; j < mounts.size() && !hidden; ++j)
      hidden = mounts[j].MountPoint == mounts[i].MountPoint;
    if (!hidden) visible.push_back(mounts[i]);
  }
  return visible;
}

std::vector<TMountEntry> FilterPartitions(const std::vector<TMountEntry>& all) {
  const std::vector<TMountEntry> mounts = VisibleMounts(all);
  std::vector<const TMountEntry*> candidates;
  for (const TMountEntry& mount : mounts) {
    if (mount.MountPoint == "/") {
      candidates.push_back(&mount);
      continue;
    }
    if (IsPseudoFileSystem(mount.FileSystem) || IsHiddenSystemPath(mount.MountPoint)) continue;
    if (mount.Root != "/" && !IsSubvolumeMount(mount)) continue;
    candidates.push_back(&mount);
  }
  std::vector<TMountEntry> partitions;
  for (size_t i = 0; i < candidates.size(); ++i) {
    const TMountEntry& mount = *candidates[i];
    bool repeated = false;
    if (mount.MountPoint != "/") {
      for (size_t j = 0; j < candidates.size() && !repeated; ++j) {
        const TMountEntry& other = *candidates[j];
        if (j == i || !SameDevice(mount, other)) continue;
        // The root mount, or else the earlier one, stands for the device.
        if (other.Root == mount.Root) repeated = other.MountPoint == "/" || j < i;
        else repeated = PathHolds(other.Root, mount.Root);
      }
    }
    if (!repeated) partitions.push_back(mount);
  }
  std::sort(partitions.begin(), partitions.end(),
            [](const TMountEntry& a, const TMountEntry& b) { return a.MountPoint < b.MountPoint; });
  return partitions;
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

std::string PartitionLabelOfMount(const TMountEntry& mount, const std::string& labelRoot) {
  DIR* dir = ::opendir(labelRoot.c_str());
  if (!dir) return {};
  std::string label;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string link = labelRoot + "/" + name;
    struct stat st {};
    bool matches = false;
    if (::stat(link.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
      matches = mount.Major != 0 && major(st.st_rdev) == mount.Major && minor(st.st_rdev) == mount.Minor;
    } else {
      // A link whose device node is not there: compare the node's name.
      const std::string target = ReadLinkText(link);
      matches = !target.empty() && !mount.Source.empty() &&
                GetTitleName(target) == GetTitleName(mount.Source);
    }
    if (matches) {
      label = UnescapeUdevName(name);
      break;
    }
  }
  ::closedir(dir);
  return label;
}

const TMountEntry* FindMountOfPath(const std::vector<TMountEntry>& mounts, std::string_view path) {
  const TMountEntry* best = nullptr;
  for (const TMountEntry& mount : mounts)
    if (PathHolds(mount.MountPoint, path) &&
        (!best || mount.MountPoint.size() > best->MountPoint.size()))
      best = &mount;
  return best;
}

int GetPartitionList(std::vector<std::string>& list) {
  TGuard guard("GetPartitionList");
  return guard.Run(0, [&] {
    const std::vector<TMountEntry> mounts = ReadMountTable();
    guard.TakeOver();
    int count = 0;
    for (const TMountEntry& mount : FilterPartitions(mounts)) {
      list.push_back(PathToPartitionTitle(mount.MountPoint));
      ++count;
    }
    return count;
  });
}

std::string GetPartitionOfTitle(const std::string& title) {
  const std::vector<TMountEntry> mounts = VisibleMountTable();
  const TMountEntry* mount = FindMountOfTitle(mounts, title);
  return mount ? PathToPartitionTitle(mount->MountPoint) : std::string();
}

int GetPartitionNumber(const std::string& title) {
  const std::string partition = GetPartitionOfTitle(title);
  if (partition.empty()) return 0;
  std::vector<std::string> list;
  GetPartitionList(list);
  const auto found = std::find(list.begin(), list.end(), partition);
  return found == list.end() ? 0 : static_cast<int>(found - list.begin()) + 1;
}

bool IsMountedPartition(const std::string& title) {
  const std::vector<TMountEntry> mounts = VisibleMountTable();
  return FindMountOfPartitionTitle(mounts, title) != nullptr;
}

bool PartitionExists(const std::string& title) {
  const std::string partition = GetPartitionOfTitle(title);
  return !partition.empty() && TitleExists(IncludeDelimiter(partition));
}

bool IsSameRoot(const std::string& a, const std::string& b) {
  const std::vector<TMountEntry> mounts = VisibleMountTable();
  const TMountEntry* mountA = FindMountOfTitle(mounts, a);
  const TMountEntry* mountB = FindMountOfTitle(mounts, b);
  return mountA && mountA == mountB;
}

int GetPartitionType(const std::string& title) {
  TGuard guard("GetPartitionType");
  return guard.Run(int{ptUnknown}, [&] {
    const std::vector<TMountEntry> mounts = VisibleMountTable();
    const TMountEntry* mount = FindMountOfTitle(mounts, title);
    if (!mount) guard.Warn("Failed to get type.", title, {}, ENOENT);
    const int type = PartitionTypeOfMount(*mount, PartitionSources().SysRoot);
    if (type == ptUnknown) guard.Warn("Failed to get type.", title);
    return type;
  });
}

std::string GetPartitionSuffix(const std::string& title) {
  const std::vector<TMountEntry> mounts = VisibleMountTable();
  const TMountEntry* mount = FindMountOfPartitionTitle(mounts, title);
  if (!mount) return {};
  switch (PartitionTypeOfMount(*mount, PartitionSources().SysRoot)) {
  case ptRemovable: return " (Removable)";
  case ptFixed:
    return " (Fixed: \"" + PartitionLabelOfMount(*mount, PartitionSources().LabelRoot) + "\")";
  case ptRemote: return " (Remote: \"" + mount->Source + "\")";
  case ptCD: return " (CD)";
  case ptRAM: return " (RAM)";
  default: return {};
  }
}

namespace {

// statvfs of the mount point of the title's partition; 0 or the errno.
int StatPartition(const std::string& title, struct statvfs& st, const TMountEntry** found,
                  std::vector<TMountEntry>& mounts) {
  mounts = VisibleMountTable();
  const TMountEntry* mount = FindMountOfTitle(mounts, title);
  if (found) *found = mount;
  if (!mount) return ENOENT;
  return ::statvfs(mount->MountPoint.c_str(), &st) == 0 ? 0 : errno;
}

} // namespace

namespace {

// The statvfs of the title's partition; leaves with "Failed to get size.".
struct statvfs PartitionSpace(TGuard& guard, const std::string& title) {
  struct statvfs st {};
  std::vector<TMountEntry> mounts;
  if (const int code = StatPartition(title, st, nullptr, mounts); code != 0)
    guard.Raise("Failed to get size.", title, {}, static_cast<uint32_t>(code));
  return st;
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
    struct statvfs st {};
    std::vector<TMountEntry> mounts;
    const TMountEntry* mount = nullptr;
    if (const int code = StatPartition(title, st, &mount, mounts); code != 0)
      guard.Raise("Failed to load partition information.", title, {}, static_cast<uint32_t>(code));
    VolumeName = PartitionLabelOfMount(*mount, PartitionSources().LabelRoot);
    FileSystemName = mount->FileSystem;
    SerialNumber = static_cast<uint32_t>(st.f_fsid);
    MaximumComponentLength = static_cast<uint32_t>(st.f_namemax);
    FileSystemFlags = PartitionFlagsOfMount(*mount);
    if (st.f_flag & ST_RDONLY) FileSystemFlags |= pfReadOnlyVolume;
    return true;
  });
}

uint32_t PartitionFlagsOfMount(const TMountEntry& mount) {
  const std::string& fs = mount.FileSystem;
  uint32_t flags = 0;
  if (IsOneOf(fs, {"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "jfs", "reiserfs", "zfs",
                   "bcachefs", "nilfs2", "tmpfs", "overlay", "ntfs", "ntfs3", "fuseblk",
                   "fuse.ntfs-3g"}))
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
  } Letters[] = {{pfCompression, "C"},    {pfEncryption, "E"},   {pfQuotas, "Q"},
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
