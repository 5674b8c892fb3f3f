#include "columns/DirectoryListing.h"

#include "filesystem/File.h"
#include "filesystem/FileInfo.h"

#include <cstdint>

namespace cv {

namespace {

int64_t AsSigned(uint64_t value) {
  return value > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(value);
}

bool Stopped(const std::atomic<bool>* cancel) {
  return cancel && cancel->load(std::memory_order_relaxed);
}

} // namespace

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

TDirectoryListing ListDirectoryItems(const std::string& path, const std::string& sortMode,
                                     const TGroupOptions& groups, const TDirectoryLister& lister,
                                     const std::atomic<bool>* cancel) {
  TDirectoryListing listing;
  std::vector<TFileListData>& items = listing.Items;
  const TDirectoryEntrySink sink = [&](std::string_view name, const TFileInfo* info) {
    if (listing.Cancelled) return;
    if (Stopped(cancel)) {
      listing.Cancelled = true;
      return;
    }
    TFileListData item;
    item.Title.reserve(path.size() + name.size());
    item.Title.append(path).append(name);
    const bool isDirectory = info && (info->Attributes & faDirectory);
    item.Type = GetFileListType(name, isDirectory, info && info->Executable);
    if (info) {
      item.Encrypted = (info->Attributes & faEncrypted) != 0;
      item.Modified = AsSigned(info->ModifiedFileTime);
      item.Created = AsSigned(info->CreatedFileTime);
      if (!isDirectory) item.Size = AsSigned(info->Size);
    } else {
      item.Exists = false; // listed by name only
    }
    listing.Counts.Count(item, isDirectory);
    items.push_back(std::move(item));
  };
  // One reservation instead of a growing vector: in large directories the
  // copies and fresh pages of each growth cost more than the sort.
  const auto expect = [&](size_t count) { items.reserve(count); };
  listing.Error = lister ? lister(path, sink, &listing.Opened)
                         : ReadDirectory(path, sink, &listing.Opened, expect);
  if (listing.Cancelled || Stopped(cancel)) {
    listing = TDirectoryListing();
    listing.Cancelled = true;
    return listing;
  }
  if (listing.Error != 0 && !listing.Opened) {
    items.clear();
    listing.Counts = TListingCounts();
    return listing;
  }
  ArrangeFileList(items, sortMode, groups);
  return listing;
}

} // namespace cv
