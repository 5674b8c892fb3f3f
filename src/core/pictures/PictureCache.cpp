#include "pictures/PictureCache.h"

#include "filesystem/File.h"
#include "foundation/SystemInfo.h"
#include "foundation/Text.h"
#include "options/ProgramOptions.h"

#include <algorithm>

namespace cv {

TPictureCache PictureCache([] { return static_cast<int64_t>(ProgramOptions.MaxPictureCacheSize); });

int64_t CachedBitmapBytes(const QImage& bitmap) {
  return int64_t{bitmap.width()} * bitmap.height() * 4;
}

TPictureCache::TPictureCache(std::function<int64_t()> budget, std::function<uint64_t()> freeMemory)
    : BudgetSource(std::move(budget)), FreeMemory(std::move(freeMemory)) {
  if (!FreeMemory) FreeMemory = [] { return GetAvailablePhysicalMemory(); };
}

int64_t TPictureCache::Budget() const {
  const int64_t budget = BudgetSource ? BudgetSource() : DefaultBudget;
  return budget > 0 ? budget : DefaultBudget;
}

int64_t TPictureCache::Size() const {
  int64_t size = 0;
  for (const TPictureCacheEntry& entry : Entries)
    size += CachedBitmapBytes(entry.Bitmap);
  return size;
}

const TPictureCacheEntry* TPictureCache::Find(const TPictureCacheQuery& query) {
  if (Entries.empty()) return nullptr;
  const auto expected = [&](const TPictureCacheEntry& entry) {
    return query.Exact ? query.Box : FitSizeInBox(entry.Picture, query.Box, query.Enlarge);
  };
  const auto matches = [&](const TPictureCacheEntry& entry) {
    if (entry.FileSize != query.FileSize || entry.FileTime != query.FileTime) return false;
    return !query.TextFormat ||
           (entry.Background == query.Background && entry.TextColor == query.TextColor &&
            entry.FontName == query.FontName && entry.FontSize == query.FontSize &&
            entry.Bold == query.Bold);
  };
  // Examines one entry: a hit, or a stale one dropped where it stands, so the
  // others keep their age order.
  const auto examine = [&](size_t i) -> const TPictureCacheEntry* {
    const TPictureCacheEntry& entry = Entries[i];
    const TPictureSize size = expected(entry);
    if (entry.Bitmap.width() != size.Width || entry.Bitmap.height() != size.Height) return nullptr;
    if (matches(entry)) return &entry;
    Entries.erase(Entries.begin() + static_cast<ptrdiff_t>(i));
    return nullptr;
  };

  if (query.Video) {
    // A video thumbnail is as large as the system made it: it touches the
    // box on one side and fits on the other.
    for (size_t i = Entries.size(); i-- > 0;) {
      const TPictureCacheEntry& entry = Entries[i];
      if (entry.Title != query.Title) continue;
      const TPictureSize stored = entry.Picture;
      if ((stored.Width == query.Box.Width && query.Box.Height >= stored.Height) ||
          (query.Box.Width >= stored.Width && stored.Height == query.Box.Height))
        return examine(i);
    }
    return nullptr;
  }
  for (size_t i = Entries.size(); i-- > 0;)
    if (Entries[i].Title == query.Title)
      if (const TPictureCacheEntry* hit = examine(i)) return hit;
  return nullptr;
}

bool TPictureCache::Add(TPictureCacheEntry entry) {
  const int64_t budget = Budget();
  if (entry.Bitmap.isNull() || CachedBitmapBytes(entry.Bitmap) > budget) return false;
  const bool room = Entries.size() < Capacity && Size() <= budget &&
                    (FreeMemory() > 9'999'999 || Entries.size() < 5);
  if (!room) {
    // Half at once, so filling a large column does not evict on every item.
    Entries.erase(Entries.begin(), Entries.begin() + static_cast<ptrdiff_t>(Entries.size() / 2));
  }
  Entries.push_back(std::move(entry));
  return true;
}

std::string TPictureCache::InfoText() const {
  return "Thumbnail picture cache statistics:\n* Pictures: " +
         IntToGroupedText(static_cast<int64_t>(Entries.size())) +
         "\n* Size: " + GetSizeText(3, 0, static_cast<uint64_t>(Size()));
}

} // namespace cv
