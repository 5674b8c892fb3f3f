#include "columns/DirectoryListing.h"

#include "filesystem/File.h"
#include "filesystem/FileInfo.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>

namespace cv {

namespace {

int64_t AsSigned(uint64_t value) {
  return value > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(value);
}

bool Stopped(const std::atomic<bool>* cancel) {
  return cancel && cancel->load(std::memory_order_relaxed);
}

// Fills and counts the item of a listed entry; `info` is null for an entry
// known by name only.
void FillItem(TFileListData& item, const std::string& path, std::string_view name,
              const TFileInfo* info, const TFileTypeLists& types, TListingCounts& counts) {
  item.Title.reserve(path.size() + name.size());
  item.Title.append(path).append(name);
  const bool isDirectory = info && (info->Attributes & faDirectory);
  item.Type = GetFileListType(name, isDirectory, info && info->Executable, types);
  if (info)
    SetItemFacts(item, *info, isDirectory);
  else
    item.Exists = false; // listed by name only
  counts.Count(item, isDirectory);
}

TDirectoryListing CancelledListing() {
  TDirectoryListing listing;
  listing.Cancelled = true;
  return listing;
}

// Entry by entry through a reader of the ReadDirectory kind.
TDirectoryListing ListSequentially(const std::string& path, const std::string& sortMode,
                                   const TGroupOptions& groups, const TDirectoryLister& lister,
                                   const std::atomic<bool>* cancel, const TFileTypeLists& types,
                                   bool showHidden) {
  TDirectoryListing listing;
  std::vector<TFileListData>& items = listing.Items;
  const TDirectoryEntrySink sink = [&](std::string_view name, const TFileInfo* info) {
    if (listing.Cancelled) return;
    if (Stopped(cancel)) {
      listing.Cancelled = true;
      return;
    }
    if (!showHidden && IsHiddenName(name)) return;
    FillItem(items.emplace_back(), path, name, info, types, listing.Counts);
  };
  listing.Error = lister(path, sink, &listing.Opened);
  if (listing.Cancelled || Stopped(cancel)) return CancelledListing();
  if (listing.Error != 0 && !listing.Opened) {
    items.clear();
    listing.Counts = TListingCounts();
    return listing;
  }
  ArrangeFileList(items, sortMode, groups);
  return listing;
}

unsigned ThreadCount(const TListingThreads& threads, size_t entries) {
  if (entries < std::max<size_t>(threads.ParallelFrom, 2)) return 1;
  constexpr unsigned MaxThreads = 8;
  const unsigned wanted = threads.Threads != 0
                              ? threads.Threads
                              : std::min(std::thread::hardware_concurrency(), MaxThreads);
  return static_cast<unsigned>(std::clamp<size_t>(wanted, 1, entries));
}

// Runs `work(0)` ... `work(count - 1)` at the same time, the first on this
// thread; the first failure is thrown once all have ended.
void RunOnThreads(unsigned count, const std::function<void(unsigned)>& work) {
  if (count == 0) return;
  std::vector<std::exception_ptr> failures(count);
  const auto guarded = [&](unsigned t) {
    try {
      work(t);
    } catch (...) {
      failures[t] = std::current_exception();
    }
  };
  {
    std::vector<std::jthread> workers;
    workers.reserve(count);
    for (unsigned t = 1; t < count; ++t) {
      try {
        workers.emplace_back(guarded, t);
      } catch (const std::system_error&) {
        guarded(t); // no thread to be had: this one does the work
      }
    }
    guarded(0);
  }
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}

// One thread's share of the names: read, typed and counted into its own
// places of the items (an entry gone since the names were read leaves no
// place), then arranged there.
struct TShare {
  TItemRun Run;
  TListingCounts Counts;
};

void ListShare(const TDirectoryNames& names, size_t end, const std::string& path,
               const std::string& sortMode, const TGroupOptions& groups,
               std::vector<TFileListData>& items, const std::atomic<bool>* cancel,
               const TFileTypeLists& types, bool showHidden, TShare& share) {
  TFileInfo info;
  TListingCounts counts; // here, not in the share: shares sit side by side in one cache line
  const size_t begin = share.Run.Begin;
  size_t place = begin;
  for (size_t i = begin; i < end; ++i) {
    if (Stopped(cancel)) return;
    if (!showHidden && IsHiddenName(names.Name(i))) continue;
    const TEntryFacts facts = names.ReadFacts(i, info);
    // A read held in the file system may come back long after the cancel.
    if (Stopped(cancel)) return;
    if (facts == TEntryFacts::Gone) continue;
    FillItem(items[place++], path, names.Name(i), facts == TEntryFacts::Read ? &info : nullptr,
             types, counts);
  }
  share.Counts = counts;
  share.Run.Count = ArrangeFileRange(items.begin() + static_cast<ptrdiff_t>(begin), place - begin,
                                     sortMode, groups);
}

// The names first, then their facts on several threads.
TDirectoryListing ListInShares(const std::string& path, const std::string& sortMode,
                               const TGroupOptions& groups, const std::atomic<bool>* cancel,
                               const TListingThreads& threads, const TFileTypeLists& types,
                               bool showHidden) {
  TDirectoryListing listing;
  auto names = std::make_unique<const TDirectoryNames>(path, cancel);
  listing.Error = names->Error;
  listing.Opened = names->Opened;
  if (Stopped(cancel)) return CancelledListing();
  if (!names->Opened) return listing;
  if (threads.AfterNames) threads.AfterNames();

  const size_t count = names->Count();
  const unsigned threadCount = ThreadCount(threads, count);
  // Every share fills its own places: no record is moved between threads.
  std::vector<TFileListData>& items = listing.Items;
  items.resize(count);
  std::vector<TShare> shares(threadCount);
  for (unsigned t = 0; t < threadCount; ++t)
    shares[t].Run.Begin = count * t / threadCount;
  RunOnThreads(threadCount, [&](unsigned t) {
    const size_t end = t + 1 < threadCount ? shares[t + 1].Run.Begin : count;
    ListShare(*names, end, path, sortMode, groups, items, cancel, types, showHidden, shares[t]);
  });
  if (Stopped(cancel)) return CancelledListing();
  names.reset(); // the merge needs no names: their memory goes first

  std::vector<TItemRun> runs;
  for (const TShare& share : shares) {
    listing.Counts.Add(share.Counts);
    runs.push_back(share.Run);
  }
  TArrangedRunsMerge merge(items, runs, sortMode, groups, threadCount);
  RunOnThreads(static_cast<unsigned>(merge.Parts()), [&](unsigned part) { merge.MergePart(part); });
  merge.Finish(items);
  return listing;
}

} // namespace

void SetItemFacts(TFileListData& item, const TFileInfo& info, bool isDirectory) {
  item.Encrypted = (info.Attributes & faEncrypted) != 0;
  item.Modified = AsSigned(info.ModifiedFileTime);
  item.Created = AsSigned(info.CreatedFileTime);
  if (!isDirectory) item.Size = AsSigned(info.Size);
}

void TListingCounts::Count(const TFileListData& item, bool isDirectory) {
  switch (item.Type) {
  case fltDirectory:
    ++Dirs;
    break;
  case fltLink:
    ++Links;
    break;
  case fltProgram:
    ++Progs;
    break;
  case fltDocument:
    ++Docs;
    break;
  default:
    ++Generic;
    break;
  }
  if (item.Encrypted) ++Encrypted;
  if (!isDirectory) TotalSize = AddSizes(TotalSize, item.Size);
}

void TListingCounts::Add(const TListingCounts& other) {
  Dirs += other.Dirs;
  Links += other.Links;
  Progs += other.Progs;
  Docs += other.Docs;
  Generic += other.Generic;
  Encrypted += other.Encrypted;
  // Sizes are never negative, so the capped sum does not depend on the shares.
  TotalSize = AddSizes(TotalSize, other.TotalSize);
}

TDirectoryListing ListDirectoryItems(const std::string& path, const std::string& sortMode,
                                     const TGroupOptions& groups, const TDirectoryLister& lister,
                                     const std::atomic<bool>* cancel,
                                     const TListingThreads& threads, const TFileTypeLists& types,
                                     bool showHidden) {
  return lister ? ListSequentially(path, sortMode, groups, lister, cancel, types, showHidden)
                : ListInShares(path, sortMode, groups, cancel, threads, types, showHidden);
}

} // namespace cv
