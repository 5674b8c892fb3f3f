#pragma once
// Reads a directory straight from the kernel: raw names from readdir and
// facts from statx relative to the directory descriptor, so a listing costs
// one open and one statx per entry, and names that are not UTF-8 survive.

#include "filesystem/FileInfo.h"

#include <atomic>
#include <dirent.h>
#include <functional>
#include <string>
#include <string_view>
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
// ReadDirectory reports them (a link shows its target's).
TEntryFacts ReadEntryFacts(int directory, const char* name, TFileInfo& info);

// A directory's names read in one pass, its descriptor kept open, so that
// the entries' facts can be read afterwards, by several threads at once.
class TDirectoryNames {
public:
  // Reads `path` as ReadDirectory does, names only; stops when `cancel` is
  // set, keeping what it read.
  explicit TDirectoryNames(const std::string& path, const std::atomic<bool>* cancel = nullptr);
  ~TDirectoryNames();
  TDirectoryNames(const TDirectoryNames&) = delete;
  TDirectoryNames& operator=(const TDirectoryNames&) = delete;

  int Error = 0;       // errno of the failed open or read, else 0
  bool Opened = false; // an error with Opened set broke off the read: the names read stay

  size_t Count() const { return Offsets.size(); }
  std::string_view Name(size_t index) const;
  TEntryFacts ReadFacts(size_t index, TFileInfo& info) const;

private:
  DIR* Dir = nullptr;
  // Every name followed by its NUL, so that each is a C string for statx.
  std::string Pool;
  std::vector<size_t> Offsets;
};

} // namespace cv
