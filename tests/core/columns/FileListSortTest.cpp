#include "columns/FileListSort.h"

#include "filesystem/File.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cv {
namespace {

// Sorting by precomputed keys must give the collator's own order, with
// names that differ only in case or accents, ties broken by bytes.
TEST(FileListSortTest, LargeNameSortIsOrderedByTheCollatorThenBytes) {
  std::vector<TFileListData> items;
  unsigned seed = 7;
  for (int i = 0; i < 30000; ++i) {
    seed = seed * 1103515245u + 12345u;
    std::string name = std::to_string(seed % 5000);
    if (seed & 1) name[0] = static_cast<char>('A' + seed % 26);
    else name.insert(0, 1, static_cast<char>('a' + seed % 26));
    TFileListData item;
    item.Title = "/dir/" + name + ((seed & 4) ? "\xc3\xa9" : "");
    items.push_back(std::move(item));
  }
  SortFileItems(items.begin(), items.end(), TSortMode::Name);
  const TNameCollator collator;
  for (size_t i = 1; i < items.size(); ++i) {
    const int c = collator.Compare(GetTitleName(items[i - 1].Title), GetTitleName(items[i].Title));
    ASSERT_LE(c, 0) << items[i - 1].Title << " / " << items[i].Title;
    if (c == 0) ASSERT_LE(items[i - 1].Title, items[i].Title);
  }
}

} // namespace
} // namespace cv
