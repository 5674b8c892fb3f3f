#include "filesystem/FileInfo.h"

#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/Guard.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace cv {

namespace {

uint64_t FileTimeOf(const struct statx_timestamp& time) {
  return UnixTimeToFileTime(time.tv_sec, time.tv_nsec);
}

// The reset value must not touch the status context: records are made
// everywhere, also between a failing call and the caller's status check.
TDateTime ZeroFileTimeDateTime() {
  const TFunStatContext saved = FunStatContext;
  const TDateTime value = ConvertFileTime(0);
  FunStatContext = saved;
  return value;
}

} // namespace

unsigned FileInfoStatxMask() { return STATX_BASIC_STATS | STATX_BTIME; }

TFileInfo::TFileInfo() { Reset(); }

void TFileInfo::Reset() {
  Exists = false;
  Attributes = 0;
  Executable = false;
  Size = 0;
  CreatedFileTime = AccessedFileTime = ModifiedFileTime = 0;
  Created = Accessed = Modified = ZeroFileTimeDateTime();
}

void TFileInfo::SetFromStatx(std::string_view name, const struct statx& own,
                             const struct statx* target, bool convertTimes) {
  const bool isLink = S_ISLNK(own.stx_mode);
  const struct statx& facts = (isLink && target) ? *target : own;
  const mode_t type = facts.stx_mode & S_IFMT;

  uint32_t attributes = 0;
  if (type == S_IFDIR) attributes |= faDirectory;
  if (isLink) attributes |= faReparsePoint;
  if (!name.empty() && name.front() == '.') attributes |= faHidden;
  // A link's own mode is always 0777: its target's owner bit decides.
  if (!(facts.stx_mode & S_IWUSR) && !(isLink && !target)) attributes |= faReadOnly;
  if (type == S_IFIFO || type == S_IFSOCK || type == S_IFCHR || type == S_IFBLK)
    attributes |= faSystem;
  if (facts.stx_attributes_mask & facts.stx_attributes & STATX_ATTR_COMPRESSED)
    attributes |= faCompressed;
  if (facts.stx_attributes_mask & facts.stx_attributes & STATX_ATTR_ENCRYPTED)
    attributes |= faEncrypted;
  if (type == S_IFREG && (facts.stx_mask & STATX_BLOCKS) &&
      facts.stx_blocks * 512 < facts.stx_size)
    attributes |= faSparseFile;

  Exists = true;
  Attributes = attributes;
  Executable = type == S_IFREG && (facts.stx_mode & 0111) != 0;
  Size = facts.stx_size;
  ModifiedFileTime = FileTimeOf(facts.stx_mtime);
  AccessedFileTime = FileTimeOf(facts.stx_atime);
  CreatedFileTime = (facts.stx_mask & STATX_BTIME) ? FileTimeOf(facts.stx_btime) : ModifiedFileTime;
  if (!convertTimes) return;
  Created = ConvertFileTime(CreatedFileTime);
  Accessed = ConvertFileTime(AccessedFileTime);
  Modified = ConvertFileTime(ModifiedFileTime);
}

bool TFileInfo::Load(const std::string& title) {
  if (title.empty()) {
    Reset();
    return TGuard::EarlyExit(false);
  }
  TGuard guard("TFileInfo::Load");
  Reset();
  return guard.Run(false, [&] {
    // A partition's times are those of its mount point directory.
    const bool partition = IsPartitionTitle(title);
    if (partition && !IsMountedPartition(title)) return false;
    const std::string ownTitle = partition ? IncludeDelimiter(title) : title;
    struct statx own {};
    if (const int code = StatxTitle(ownTitle, false, FileInfoStatxMask(), &own); code != 0)
      guard.Raise("Failed to open file.", title, {}, static_cast<uint32_t>(code));
    struct statx target {};
    const bool isLink = S_ISLNK(own.stx_mode);
    const bool targetFound = isLink && StatxTitle(title, true, FileInfoStatxMask(), &target) == 0;
    TFileInfo loaded;
    loaded.SetFromStatx(GetTitleName(ExcludeDelimiter(title)), own, targetFound ? &target : nullptr);
    *this = loaded;
    return true;
  });
}

uint64_t GetFileSizeByInfo(const std::string& title) {
  TFileInfo info;
  info.Load(title);
  return info.Size;
}

} // namespace cv
