#pragma once
// The program-wide cache of rendered thumbs, keyed by file title and
// checked against the file's size and time, the thumb size and, for text
// thumbs, the text format. It lives on the window's thread and has no lock.

#include "pictures/PictureSize.h"

#include <QImage>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cv {

struct TPictureCacheEntry {
  std::string Title;
  int64_t FileSize = 0;
  int64_t FileTime = 0;
  QImage Bitmap;
  bool Enlarge = false;
  bool Exact = false;
  uint32_t Background = 0;
  uint32_t TextColor = 0;
  std::string FontName;
  int FontSize = 0;
  bool Bold = false;
  TPictureSize Picture; // the source's size (or the video thumbnail's, or the box for text)
  int64_t Zoom = 0;
};

struct TPictureCacheQuery {
  std::string Title;
  int64_t FileSize = 0;
  int64_t FileTime = 0;
  TPictureSize Box;
  bool Exact = false;
  bool Enlarge = false;
  bool Video = false;
  // Text thumbs also match on the colours and the font.
  bool TextFormat = false;
  uint32_t Background = 0;
  uint32_t TextColor = 0;
  std::string FontName;
  int FontSize = 0;
  bool Bold = false;
};

class TPictureCache {
public:
  static constexpr size_t Capacity = 1000;
  static constexpr int64_t DefaultBudget = 30'000'000;

  // `budget` answers the byte budget at each admission (the option may
  // change while the program runs); `freeMemory` the free physical memory.
  explicit TPictureCache(std::function<int64_t()> budget = {},
                         std::function<uint64_t()> freeMemory = {});

  // The cached thumb that matches, or null; the cache keeps it. Entries of
  // the same title and thumb size whose file or text format changed are
  // dropped on the way.
  const TPictureCacheEntry* Find(const TPictureCacheQuery& query);
  // Admits a new rendering, first dropping the older half when the cache is
  // full, over its budget or short of memory. A bitmap larger than the whole
  // budget is not kept (false): it would evict everything and still not fit.
  bool Add(TPictureCacheEntry entry);

  size_t Count() const { return Entries.size(); }
  // Bitmap width x height x 4 over all entries.
  int64_t Size() const;
  int64_t Budget() const;
  const std::vector<TPictureCacheEntry>& List() const { return Entries; }
  // The "Cache info" text.
  std::string InfoText() const;

private:
  std::vector<TPictureCacheEntry> Entries; // oldest first
  std::function<int64_t()> BudgetSource;
  std::function<uint64_t()> FreeMemory;
};

// Bytes a bitmap holds in the cache's count.
int64_t CachedBitmapBytes(const QImage& bitmap);

// The program's cache; its budget is the option MaxPictureCacheSize.
extern TPictureCache PictureCache;

} // namespace cv
