#pragma once
// Reads a directory straight from the kernel: raw names from readdir and
// facts from statx relative to the directory descriptor, so a listing costs
// one open and one statx per entry, and names that are not UTF-8 survive.

#include "filesystem/File.h"
#include "filesystem/FileHandles.h"
#include "filesystem/FileInfo.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <dirent.h>
#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace cv {

// Called for every entry but "." and ".."; `info` carries attributes, size
// and the raw file times (not the date-time values); it is null when the entry's
// facts could not be read (it still has its name). Entries that vanish
// between readdir and statx are not reported.
using TDirectoryEntrySink = std::function<void(std::string_view name, const TFileInfo* info)>;

// Lists `path` (with or without a trailing "/", of any length). Returns 0, or the errno of
// the failed open or read; entries reported before a read error stay.
// `opened` tells an open failure from a read failure. `expect`, when given,
// hears a generous guess of the entry count (from the directory's size)
// before the first entry, so a caller can reserve once instead of growing.
int ReadDirectory(const std::string& path, const TDirectoryEntrySink& sink, bool* opened = nullptr,
                  const std::function<void(size_t)>& expect = {});

// The entry count a directory of `directorySize` bytes may hold: generous
// for ext4, tmpfs and btrfs, capped so a strange size reserves little.
size_t ExpectedEntryCount(uint64_t directorySize);

enum class TEntryFacts {
  Read,
  Gone,       // vanished since readdir
  Unreadable, // listed by name only
};

// The facts of the entry `name` of the open directory `directory`, as
// ReadDirectory reports them (a link shows its target's). `own`, when
// given, receives the entry's own statx (a link's, not its target's).
TEntryFacts ReadEntryFacts(int directory, const char* name, TFileInfo& info,
                           struct statx* own = nullptr);

// Some of a directory's names, each followed by its NUL, so that each is a
// C string for statx.
class TNameBlock {
public:
  size_t Count() const { return Offsets.size(); }
  std::string_view Name(size_t index) const {
    const size_t end = index + 1 < Offsets.size() ? Offsets[index + 1] : Pool.size();
    return {Pool.data() + Offsets[index], end - 1 - Offsets[index]};
  }
  const char* CName(size_t index) const { return Pool.data() + Offsets[index]; }

private:
  friend class TDirectoryNames;
  std::string Pool;
  std::vector<uint32_t> Offsets;
};

// A directory's names read block by block, its descriptor kept open, so
// that the facts of the names read so far can be read meanwhile, by
// several threads at once.
class TDirectoryNames {
public:
  // Opens `path` as ReadDirectory does.
  explicit TDirectoryNames(const std::string& path);
  ~TDirectoryNames();
  TDirectoryNames(const TDirectoryNames&) = delete;
  TDirectoryNames& operator=(const TDirectoryNames&) = delete;

  int Error = 0;       // errno of the failed open or read, else 0
  bool Opened = false; // an error with Opened set broke off the read: the names read stay

  // Reads up to `limit` further names into `block` (emptied first), from one
  // thread at a time. At the end, on a read error or once `cancel` is set,
  // Ended() turns true; the names read stay in `block`.
  void ReadBlock(TNameBlock& block, size_t limit, const std::atomic<bool>* cancel = nullptr);
  bool Ended() const { return Dir == nullptr || AtEnd; }
  // A generous guess of the entry count, from the directory's size; 0 when unknown.
  size_t ExpectedCount() const;
  // Safe from any thread, also while the names are still being read.
  TEntryFacts ReadFacts(const TNameBlock& block, size_t index, TFileInfo& info) const;

private:
  DIR* Dir = nullptr;
  int Fd = -1;
  bool AtEnd = false;
};

// An entry of a held directory as it was listed.
struct TLevelEntry {
  std::string Name;
  uint32_t Attributes = 0; // 0 when its facts could not be read
  uint64_t Size = 0;
  // Its own identity (a link's, not its target's).
  dev_t Device = 0;
  ino_t Inode = 0;
  // A directory of its own, not a link to one.
  bool IsDirectory() const {
    return (Attributes & faDirectory) != 0 && (Attributes & faReparsePoint) == 0;
  }
};

// The errno of a listed subdirectory that is no longer at its name: what
// the walk would enter now is something else.
constexpr int ReplacedEntryCode = ENOENT;

// One directory of a tree walk, held by its descriptor: its entries are
// acted on relative to it, and a subdirectory is entered only while it is
// still the directory listed, so a name swapped meanwhile for a symbolic
// link (or for another directory) is refused instead of followed. Titles
// of any length work.
class TDirectoryLevel {
public:
  // The directory `title` (trailing "/" ignored): its leading part is
  // resolved as given, its last component must be a directory, not a link.
  explicit TDirectoryLevel(const std::string& title);
  // The subdirectory `entry` of `parent`.
  TDirectoryLevel(const TDirectoryLevel& parent, const TLevelEntry& entry);
  TDirectoryLevel(const TDirectoryLevel&) = delete;
  TDirectoryLevel& operator=(const TDirectoryLevel&) = delete;

  // 0, or the errno of the open (ReplacedEntryCode for a swapped entry).
  int Error = 0;
  // Filled by Read, sorted by name.
  std::vector<TLevelEntry> Entries;

  // Lists the entries; 0 or the errno of the read (entries read before it stay).
  int Read();
  int Fd() const { return Handle.Get(); }
  // The directory's own facts, taken through its descriptor.
  const struct stat& Facts() const { return Own; }
  // Removes the emptied directory from its parent.
  int Remove() const;
  // The entry `name` is still `entry` as listed (not replaced since).
  bool StillHolds(const TLevelEntry& entry) const;

private:
  void Open(int parent, const std::string& name, const TLevelEntry* listed);

  TFileHandle OwnParent; // the parent of a top level
  int ParentFd = -1;
  std::string Name;
  TFileHandle Handle;
  struct stat Own {};
};

} // namespace cv
