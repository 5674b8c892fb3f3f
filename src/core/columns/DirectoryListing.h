#pragma once
// A directory read into a column's items: listed, typed, counted, grouped and
// sorted. Plain data only, so it runs on any thread; the column takes the
// result over in one step.

#include "columns/FileListData.h"
#include "columns/FileListSort.h"
#include "filesystem/DirectoryReader.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

// The column's counters of a listing (generic files are counted even when the
// files group is hidden).
struct TListingCounts {
  int Dirs = 0, Links = 0, Progs = 0, Docs = 0, Generic = 0;
  int Encrypted = 0;
  int64_t TotalSize = 0;
  void Count(const TFileListData& item, bool isDirectory);
  void Add(const TListingCounts& other);
};

// An item's encryption, times and size (none for a directory) from its facts;
// values beyond the signed range stop at its top.
void SetItemFacts(TFileListData& item, const TFileInfo& info, bool isDirectory);

struct TDirectoryListing {
  std::vector<TFileListData> Items; // display order
  TListingCounts Counts;
  int Error = 0;       // errno of the failed open or read, else 0
  bool Opened = false; // an error with Opened set broke off a read: Items holds what was read
  bool Cancelled = false;
};

// Lists a directory through a reader of the ReadDirectory kind.
using TDirectoryLister =
    std::function<int(const std::string& path, const TDirectoryEntrySink& sink, bool* opened)>;

// How the kernel reader's listing shares its work between threads.
struct TListingThreads {
  // Fewer entries stay on the calling thread: starting threads is not free.
  size_t ParallelFrom = 4096;
  // Threads of a larger listing; 0 means one per processor, up to 8.
  unsigned Threads = 0;
  // Names handed to a thread at a time.
  size_t BlockNames = 1024;
  // Runs after the first names are read (at least one block, and as many
  // as ParallelFrom), before any of their facts (a test's race).
  std::function<void()> AfterNames;
};

// Hidden files are the names starting with ".".
inline bool IsHiddenName(std::string_view name) {
  return name.starts_with('.');
}

// Reads `path` (with its trailing "/") with `lister`, entry by entry, or,
// when it is empty, with the kernel reader: one thread reads the names in
// blocks, which the threads take while the rest are still being read, each
// reading their facts and typing, counting and arranging its items in
// memory of its own before the threads' items are merged: the same items,
// order and counts either way.
// `cancel`, when set, is polled between entries: a listing asked to stop
// returns early with Cancelled and no items.
// Entries are typed by `types`, a copy the caller takes on its own thread.
// Without `showHidden`, hidden names are left out as they are read: their
// facts are never asked for.
TDirectoryListing
ListDirectoryItems(const std::string& path, const std::string& sortMode,
                   const TGroupOptions& groups, const TDirectoryLister& lister = {},
                   const std::atomic<bool>* cancel = nullptr, const TListingThreads& threads = {},
                   const TFileTypeLists& types = TFileTypeLists::Current(), bool showHidden = true);

} // namespace cv
