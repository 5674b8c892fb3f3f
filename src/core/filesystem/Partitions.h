#pragma once
// Partitions are the mounts of /proc/self/mountinfo that hold user files,
// titled ":" + mount point (":/", ":/home", ":/media/ann/STICK"). The
// partition of any title is the mount with the longest matching mount point
// of the title with its symbolic links resolved.

#include "foundation/Error.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace cv {

// Partition types.
enum TPartitionType : int {
  ptUnknown = 0,
  ptInvalid = 1,
  ptRemovable = 2,
  ptFixed = 3,
  ptRemote = 4,
  ptCD = 5,
  ptRAM = 6,
};

// Capability flags of TPartitionInfo::FileSystemFlags.
enum TPartitionFlag : uint32_t {
  pfCompression = 0x10,
  pfQuotas = 0x20,
  pfSparseFiles = 0x40,
  pfReparsePoints = 0x80,
  pfEncryption = 0x20000,
  pfNamedStreams = 0x40000,
  pfReadOnlyVolume = 0x80000,
};

// One line of mountinfo, unescaped.
struct TMountEntry {
  int MountId = 0;
  int ParentId = 0;
  unsigned Major = 0;
  unsigned Minor = 0;
  std::string Root;          // the mounted directory inside its file system
  std::string MountPoint;
  std::string MountOptions;
  std::string FileSystem;
  std::string Source;
  std::string SuperOptions;
};

// Where the partition facts come from; tests point them at fixtures.
struct TPartitionSources {
  std::string MountInfoTitle = "/proc/self/mountinfo";
  std::string SysRoot = "/sys";
  std::string LabelRoot = "/dev/disk/by-label";
  bool operator==(const TPartitionSources&) const = default;
};
TPartitionSources& PartitionSources();

// "\040" and the other octal escapes of mountinfo fields.
std::string UnescapeMountField(std::string_view field);
// Parses mountinfo text; lines that do not parse are skipped.
std::vector<TMountEntry> ParseMountInfo(std::string_view text);
// The mounts one can see: of several mounts on one mount point the last.
std::vector<TMountEntry> VisibleMounts(const std::vector<TMountEntry>& mounts);
// The mounts that are partitions, sorted by mount point: no pseudo file
// systems or system images, nothing under /proc, /sys, /dev or /run (but
// /run/media), no bind mounts of sub-trees and no repeated mounts of one
// device. The root mount is always kept.
std::vector<TMountEntry> FilterPartitions(const std::vector<TMountEntry>& mounts);
// Type of a mount; `sysRoot` is where /sys is.
int PartitionTypeOfMount(const TMountEntry& mount, const std::string& sysRoot);
// The label of a mount from the by-label links, or empty.
std::string PartitionLabelOfMount(const TMountEntry& mount, const std::string& labelRoot);

class TLabelIndex;

// One reading of the mount table with everything painting and look-ups ask
// of it, each worked out once, when first asked (a type or label costs
// reads in /sys and /dev; most of a large table is never asked about).
class TMountTable {
public:
  TMountTable(const std::vector<TMountEntry>& mounts, const TPartitionSources& sources);
  ~TMountTable();
  TMountTable(const TMountTable&) = delete; // the index points into the mounts
  TMountTable& operator=(const TMountTable&) = delete;

  const std::vector<TMountEntry>& Mounts() const { return Visible; }
  // The partitions, in mount point order.
  const std::vector<TMountEntry>& Partitions() const { return Listed; }
  // The mount whose mount point is the absolute path, or null.
  const TMountEntry* MountAt(std::string_view path) const;
  // The mount with the longest mount point that holds the absolute path.
  const TMountEntry* MountOfPath(std::string_view path) const;
  // The mount a partition title (":/home") names, or null.
  const TMountEntry* MountOfPartitionTitle(std::string_view title) const;
  // Facts of a mount of this table (or of its partitions list).
  int TypeOf(const TMountEntry& mount) const { return FactsOf(mount).Type; }
  const std::string& LabelOf(const TMountEntry& mount) const { return FactsOf(mount).Label; }
  // The text shown after the mount's partition title.
  const std::string& SuffixOf(const TMountEntry& mount) const { return FactsOf(mount).Suffix; }

private:
  struct TFacts {
    std::once_flag Once;
    int Type = 0;
    std::string Label;
    std::string Suffix;
  };
  const TFacts& FactsOf(const TMountEntry& mount) const;
  const TLabelIndex& Labels() const;

  TPartitionSources Sources;
  std::vector<TMountEntry> Visible;
  std::vector<TMountEntry> Listed;
  std::unique_ptr<TFacts[]> Facts;                           // by place in Visible
  std::unordered_map<std::string_view, size_t> ByMountPoint; // place in Visible
  mutable std::once_flag LabelsOnce;
  mutable std::unique_ptr<TLabelIndex> LabelIndex;
};

// The mount table of PartitionSources(), read at the first call and again
// only when poll() on it reports a change (or the sources were replaced).
// Null with "Failed to read mount table." when it cannot be read.
std::shared_ptr<const TMountTable> CurrentMountTable();

// Appends the partition titles in mount point order and returns their count.
int GetPartitionList(std::vector<std::string>& list);
// The partition list with each partition's suffix, read where a worker may
// wait on /sys and /dev instead of the window; Status is the list's outcome.
struct TPartitionListRead {
  std::vector<std::string> Partitions;
  std::vector<std::string> Suffixes;
  TFunStatContext Status;
};
TPartitionListRead ReadPartitionList();
// The partition title that holds a title (":/" for most), empty when none.
std::string GetPartitionOfTitle(const std::string& title);
// 1-based place of the title's partition in the partition list, 0 if none.
int GetPartitionNumber(const std::string& title);
// The title is a partition title of a present mount.
bool IsMountedPartition(const std::string& title);
// The mount point of the title's partition exists.
bool PartitionExists(const std::string& title);
// The title, its links resolved as far as that is safe, lies on a share or
// automount that may not answer: nothing more should be asked of it here.
bool TitleMayHang(const std::string& title);
// Both titles lie on the same partition (a rename between them can work).
bool IsSameRoot(const std::string& a, const std::string& b);

int GetPartitionType(const std::string& title);
// The text shown after a partition title in menus and lists; empty for a
// title that is not the title of a mounted partition.
std::string GetPartitionSuffix(const std::string& title);
// What the screen shows for a title: a partition by its mount point ("/",
// "/home"), since the leading ":" only tells titles apart; others as they are.
std::string PartitionDisplayText(const std::string& title);
uint64_t GetPartitionTotalSize(const std::string& title);
// Bytes an unprivileged user may still write.
uint64_t GetPartitionFreeSize(const std::string& title);

// What the information bars show of a partition, from one question to its
// file system (a share that is slow to answer is asked once).
struct TPartitionSpaceFacts {
  uint64_t Total = 0;
  uint64_t Free = 0; // bytes an unprivileged user may still write
  uint32_t Flags = 0;
};
// False with "Failed to get size." when the partition cannot be asked.
bool GetPartitionSpace(const std::string& title, TPartitionSpaceFacts& facts);

class TPartitionInfo {
public:
  std::string VolumeName;
  std::string FileSystemName;
  uint32_t SerialNumber = 0;
  uint32_t MaximumComponentLength = 0;
  uint32_t FileSystemFlags = 0;

  void Reset();
  // Fills the record for the partition that holds the title.
  bool Load(const std::string& title);
};

// Capability flags of a mount, from its file system and options.
uint32_t PartitionFlagsOfMount(const TMountEntry& mount);
uint32_t GetPartitionFlags(const std::string& title);
// Letters of the flags: C E Q R Rp S Sf, in that order.
std::string PartitionFlagsText(uint32_t flags);
std::string GetPartitionFlagsText(const std::string& title);
bool PartitionSupportsStreams(const std::string& title);
bool PartitionSupportsReparsePoints(const std::string& title);
bool PartitionSupportsEncryption(const std::string& title);

} // namespace cv
