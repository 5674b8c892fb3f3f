#include "columns/DirectoryListing.h"

#include "filesystem/File.h"
#include "filesystem/FileInfo.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <sys/mman.h>
#include <system_error>
#include <thread>
#include <unistd.h>

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

unsigned ThreadCount(const TListingThreads& threads) {
  constexpr unsigned MaxThreads = 8;
  const unsigned wanted = threads.Threads != 0
                              ? threads.Threads
                              : std::min(std::thread::hardware_concurrency(), MaxThreads);
  return std::max(wanted, 1u);
}

// Runs `work(0)` ... `work(count - 1)` at the same time, the first on this
// thread; the first failure is thrown once all have ended. A thread that
// cannot be started leaves its work to this one, after the first, or, when
// `everyPart` is false, undone.
void RunOnThreads(unsigned count, const std::function<void(unsigned)>& work, bool everyPart = true) {
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
    std::vector<unsigned> left;
    for (unsigned t = 1; t < count; ++t) {
      try {
        workers.emplace_back(guarded, t);
      } catch (const std::system_error&) {
        if (everyPart) left.push_back(t);
      }
    }
    guarded(0);
    for (const unsigned t : left)
      guarded(t);
  }
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}

// Blocks of names, handed from the reading thread to the others.
class TBlockQueue {
public:
  void Push(std::unique_ptr<TNameBlock> block) {
    {
      const std::lock_guard lock(Mutex);
      Blocks.push_back(std::move(block));
    }
    Ready.notify_one();
  }
  // No more blocks come: the takers stop once the queue is empty.
  void Close() {
    {
      const std::lock_guard lock(Mutex);
      Closed = true;
    }
    Ready.notify_all();
  }
  // The next block, or null once closed and empty.
  std::unique_ptr<TNameBlock> Pop() {
    std::unique_lock lock(Mutex);
    Ready.wait(lock, [&] { return Closed || !Blocks.empty(); });
    if (Blocks.empty()) return nullptr;
    std::unique_ptr<TNameBlock> block = std::move(Blocks.front());
    Blocks.pop_front();
    return block;
  }

private:
  std::mutex Mutex;
  std::condition_variable Ready;
  std::deque<std::unique_ptr<TNameBlock>> Blocks;
  bool Closed = false;
};

// One thread's items: read, typed and counted in its own memory (an entry
// gone since its name was read leaves no item), then arranged there.
// Aligned apart: the threads' records are written side by side.
struct alignas(64) TShare {
  std::vector<TFileListData> Items;
  std::vector<uint32_t> Order; // the arranged order of Items: the merge moves each record once
  // In "Name", the keys of the names, made while each name is in cache:
  // sorting and merging read no title but for ties. (The other modes sort
  // only the few directories by name.)
  TNameWeights Names;
  size_t Kept = 0;
  TListingCounts Counts;
  size_t Reserve = 0; // the items expected, reserved with the first block
};

// How the threads' items are arranged.
struct TArrangement {
  const std::string& SortMode;
  const TSortMode Mode;
  const TGroupOptions& Groups;
};

// Lists the names of `block` into `share`; false when asked to stop.
bool ListBlock(const TDirectoryNames& names, const TNameBlock& block, const std::string& path,
               const std::atomic<bool>* cancel, const TFileTypeLists& types, bool showHidden,
               const TArrangement& arrangement, TShare& share) {
  // Reserved here, so that this thread faults its records' pages in itself.
  if (share.Items.capacity() < share.Reserve) {
    share.Items.reserve(share.Reserve);
    if (arrangement.Mode == TSortMode::Name) share.Names.Reserve(share.Reserve);
  }
  TFileInfo info;
  for (size_t i = 0; i < block.Count(); ++i) {
    if (Stopped(cancel)) return false;
    const std::string_view name = block.Name(i);
    if (!showHidden && IsHiddenName(name)) continue;
    const TEntryFacts facts = names.ReadFacts(block, i, info);
    // A read held in the file system may come back long after the cancel.
    if (Stopped(cancel)) return false;
    if (facts == TEntryFacts::Gone) continue;
    TFileListData& item = share.Items.emplace_back();
    FillItem(item, path, name, facts == TEntryFacts::Read ? &info : nullptr, types, share.Counts);
    if (arrangement.Mode == TSortMode::Name) share.Names.Add(TitleNamePart(item.Title));
  }
  return true;
}

const TNameWeights* NameKeys(const TShare& share, const TArrangement& arrangement) {
  return arrangement.Mode == TSortMode::Name ? &share.Names : nullptr;
}

void ArrangeShare(TShare& share, const TArrangement& arrangement) {
  share.Order = ArrangedOrder(share.Items.begin(), share.Items.size(), arrangement.SortMode,
                              arrangement.Groups, share.Kept, NameKeys(share, arrangement));
}

// Has the kernel give the pages of places [first, end) of `items` (reserved,
// not yet holding items) to this thread now, so that sizing the vector on one
// thread does not fault them in one by one.
void PopulatePlaces(const std::vector<TFileListData>& items, size_t first, size_t end) {
#ifdef MADV_POPULATE_WRITE
  const long page = ::sysconf(_SC_PAGESIZE);
  if (page <= 0 || first >= end) return;
  const auto begin = reinterpret_cast<uintptr_t>(items.data() + first);
  const auto stop = reinterpret_cast<uintptr_t>(items.data() + end);
  const uintptr_t low = begin & ~static_cast<uintptr_t>(page - 1);
  // A hint only: without it the pages come as the records are written.
  ::madvise(reinterpret_cast<void*>(low), stop - low, MADV_POPULATE_WRITE);
#else
  (void)items, (void)first, (void)end;
#endif
}

// Reads the names in blocks on this thread while the threads read their
// facts and make the items, then merges the threads' arranged items.
TDirectoryListing ListInShares(const std::string& path, const std::string& sortMode,
                               const TGroupOptions& groups, const std::atomic<bool>* cancel,
                               const TListingThreads& threads, const TFileTypeLists& types,
                               bool showHidden) {
  TDirectoryListing listing;
  TDirectoryNames names(path);
  listing.Error = names.Error;
  listing.Opened = names.Opened;
  if (Stopped(cancel)) return CancelledListing();
  if (!names.Opened) return listing;

  // The first names decide: a directory that ends before ParallelFrom stays
  // on this thread.
  const size_t blockNames = std::max<size_t>(threads.BlockNames, 1);
  const size_t parallelFrom = std::max<size_t>(threads.ParallelFrom, 2);
  std::vector<std::unique_ptr<TNameBlock>> first;
  size_t firstCount = 0;
  do {
    first.push_back(std::make_unique<TNameBlock>());
    names.ReadBlock(*first.back(), blockNames, cancel);
    firstCount += first.back()->Count();
  } while (!names.Ended() && firstCount < threads.ParallelFrom);
  if (Stopped(cancel)) return CancelledListing();
  if (threads.AfterNames) threads.AfterNames();

  const unsigned threadCount =
      names.Ended() && firstCount < parallelFrom ? 1 : ThreadCount(threads);
  std::vector<TShare> shares(threadCount);
  const size_t expected = std::max(names.ExpectedCount(), firstCount);
  for (TShare& share : shares)
    share.Reserve = std::min(expected, expected / threadCount + expected / 8 + blockNames);

  const TArrangement arrangement{sortMode, ParseSortMode(sortMode), groups};
  TBlockQueue queue;
  for (std::unique_ptr<TNameBlock>& block : first)
    queue.Push(std::move(block));
  first.clear();
  RunOnThreads(
      threadCount,
      [&](unsigned t) {
        TShare& share = shares[t];
        if (t == 0) {
          // This thread reads the rest of the names, then takes blocks too.
          struct TCloser {
            TBlockQueue& Queue;
            ~TCloser() { Queue.Close(); }
          } closer{queue};
          while (!names.Ended()) {
            auto block = std::make_unique<TNameBlock>();
            names.ReadBlock(*block, blockNames, cancel);
            if (threadCount == 1) {
              if (!ListBlock(names, *block, path, cancel, types, showHidden, arrangement, share))
                return;
            } else if (block->Count() > 0) {
              queue.Push(std::move(block));
            }
          }
        }
        while (const std::unique_ptr<TNameBlock> block = queue.Pop())
          if (!ListBlock(names, *block, path, cancel, types, showHidden, arrangement, share))
            return;
        ArrangeShare(share, arrangement);
      },
      false);
  if (Stopped(cancel)) return CancelledListing();
  listing.Error = names.Error;

  std::vector<TArrangedRun> runs;
  for (TShare& share : shares) {
    listing.Counts.Add(share.Counts);
    if (share.Kept > 0)
      runs.push_back({&share.Items, share.Kept, &share.Order, NameKeys(share, arrangement)});
  }
  std::vector<TFileListData>& items = listing.Items;
  if (runs.size() <= 1) {
    if (!runs.empty()) {
      TShare& share =
          *std::find_if(shares.begin(), shares.end(), [](const TShare& s) { return s.Kept > 0; });
      ApplyFileOrder(share.Items.begin(), share.Order);
      items = std::move(share.Items);
      items.resize(share.Kept);
    }
    return listing;
  }
  TArrangedRunsMerge merge(runs, sortMode, groups, threadCount);
  const auto parts = static_cast<unsigned>(merge.Parts());
  items.reserve(merge.Total());
  RunOnThreads(parts, [&](unsigned part) {
    if (part < merge.Runs()) merge.PrepareRun(part);
    PopulatePlaces(items, merge.PartBegin(part), merge.PartBegin(part + 1));
  });
  items.resize(merge.Total());
  RunOnThreads(parts, [&](unsigned part) { merge.MergePart(part, items); });
  // The moved-from records are freed by their own threads too.
  RunOnThreads(threadCount, [&](unsigned t) {
    std::vector<TFileListData>().swap(shares[t].Items);
    shares[t].Names = TNameWeights();
  });
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
