#include "pictures/PictureCache.h"

#include "options/ProgramOptions.h"

#include <gtest/gtest.h>

#include <string>

namespace cv {
namespace {

// An entry of `title` whose 100 x 50 picture was rendered into `thumb`.
TPictureCacheEntry Entry(const std::string& title, QSize thumb = {10, 5}, int64_t fileSize = 1) {
  TPictureCacheEntry entry;
  entry.Title = title;
  entry.FileSize = fileSize;
  entry.FileTime = 7;
  entry.Bitmap = QImage(thumb, QImage::Format_RGB32);
  entry.Picture = {100, 50};
  entry.Zoom = int64_t{thumb.height()} * 100 / 50;
  return entry;
}

TPictureCacheQuery Query(const std::string& title, TPictureSize box = {10, 10},
                         int64_t fileSize = 1) {
  TPictureCacheQuery query;
  query.Title = title;
  query.FileSize = fileSize;
  query.FileTime = 7;
  query.Box = box;
  return query;
}

std::string Titles(const TPictureCache& cache) {
  std::string titles;
  for (const TPictureCacheEntry& entry : cache.List())
    titles += entry.Title;
  return titles;
}

struct TAdmissionCase {
  int Cached;
  int64_t Budget;
  uint64_t FreeMemory;
  size_t After; // entries after one more is added
};

TEST(PictureCache, Admission) {
  // Each entry is 10 x 5 x 4 = 200 bytes.
  const TAdmissionCase cases[] = {
      {3, 30'000'000, 1ull << 30, 4},
      {999, 30'000'000, 1ull << 30, 1000},
      {1000, 30'000'000, 1ull << 30, 501}, // full: the older 500 go
      {7, 1000, 1ull << 30, 5},            // over the budget: 3 go, 4 stay, 1 comes
      {5, 1000, 1ull << 30, 6},            // exactly at the budget still admits
      {6, 30'000'000, 1000, 4},            // memory short: half goes
      {4, 30'000'000, 1000, 5},            // but a nearly empty cache still fills
  };
  for (const TAdmissionCase& c : cases) {
    // Roomy while it fills; the case's conditions meet the new entry.
    int64_t budget = 30'000'000;
    uint64_t memory = uint64_t{1} << 30;
    TPictureCache cache([&] { return budget; }, [&] { return memory; });
    for (int i = 0; i < c.Cached; ++i)
      ASSERT_TRUE(cache.Add(Entry(std::to_string(i))));
    budget = c.Budget;
    memory = c.FreeMemory;
    ASSERT_TRUE(cache.Add(Entry("new")));
    EXPECT_EQ(cache.Count(), c.After) << c.Cached << " cached, budget " << c.Budget;
    // The newest stay, in their order.
    EXPECT_EQ(cache.List().back().Title, "new");
    EXPECT_EQ(cache.List().front().Title, std::to_string(c.Cached + 1 - c.After));
  }
}

TEST(PictureCache, ABitmapOverTheWholeBudgetIsNotKept) {
  TPictureCache cache([] { return int64_t{1000}; });
  ASSERT_TRUE(cache.Add(Entry("a")));
  ASSERT_TRUE(cache.Add(Entry("b")));
  EXPECT_FALSE(cache.Add(Entry("huge", {100, 100})));
  EXPECT_EQ(Titles(cache), "ab"); // nothing was evicted for it
}

TEST(PictureCache, TheProgramsCacheSpendsTheOptionsBudget) {
  const int saved = ProgramOptions.MaxPictureCacheSize;
  ProgramOptions.MaxPictureCacheSize = 70'000'000;
  EXPECT_EQ(PictureCache.Budget(), 70'000'000);
  ProgramOptions.MaxPictureCacheSize = saved;
}

TEST(PictureCache, FindsByFileAndThumbSize) {
  TPictureCache cache;
  cache.Add(Entry("p", {10, 5}));
  cache.Add(Entry("p", {20, 10})); // the same picture at another thumb size
  cache.Add(Entry("q", {10, 5}));
  const TPictureCacheEntry* hit = cache.Find(Query("p", {10, 10}));
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit->Bitmap.size(), QSize(10, 5));
  EXPECT_EQ(hit->Zoom, 10);
  hit = cache.Find(Query("p", {20, 30}));
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit->Bitmap.size(), QSize(20, 10));
  EXPECT_EQ(cache.Find(Query("p", {30, 30})), nullptr);
  EXPECT_EQ(cache.Find(Query("P", {10, 10})), nullptr); // titles are exact
  EXPECT_EQ(cache.Count(), 3u);
}

TEST(PictureCache, AChangedFileDropsItsStaleEntryAndKeepsTheOrder) {
  uint64_t memory = uint64_t{1} << 30;
  TPictureCache cache({}, [&] { return memory; });
  for (const char* title : {"a", "p", "b", "c", "d"})
    cache.Add(Entry(title));
  cache.Add(Entry("p", {20, 10}));
  // The file grew: its entry of this thumb size goes, the other size stays.
  EXPECT_EQ(cache.Find(Query("p", {10, 10}, 2)), nullptr);
  EXPECT_EQ(Titles(cache), "abcdp");
  EXPECT_EQ(cache.List().back().Bitmap.size(), QSize(20, 10));
  // Eviction after that still drops the oldest, never a fresh one.
  memory = 0;
  cache.Add(Entry("n"));
  EXPECT_EQ(Titles(cache), "cdpn");
}

TEST(PictureCache, TextThumbsMatchOnTheirFormat) {
  TPictureCache cache;
  TPictureCacheEntry text = Entry("t", {10, 10});
  text.Exact = true;
  text.FontName = "Arial";
  text.FontSize = 8;
  cache.Add(text);
  TPictureCacheQuery query = Query("t");
  query.Exact = true;
  query.FontName = "Arial";
  query.FontSize = 9; // a picture thumb ignores the font
  EXPECT_NE(cache.Find(query), nullptr);
  query.TextFormat = true;
  EXPECT_EQ(cache.Find(query), nullptr);
  EXPECT_EQ(cache.Count(), 0u);
}

TEST(PictureCache, VideoThumbsTouchTheBox) {
  TPictureCache cache;
  TPictureCacheEntry video = Entry("v", {10, 6});
  video.Picture = {10, 6};
  video.Zoom = 100;
  cache.Add(video);
  TPictureCacheQuery query = Query("v", {10, 8});
  query.Video = true;
  EXPECT_NE(cache.Find(query), nullptr);
  query.Box = {12, 8}; // touches neither side
  EXPECT_EQ(cache.Find(query), nullptr);
}

TEST(PictureCache, InfoText) {
  TPictureCache cache;
  cache.Add(Entry("a", {100, 50}));
  cache.Add(Entry("b", {100, 50}));
  EXPECT_EQ(cache.Size(), 40000);
  EXPECT_EQ(
      cache.InfoText().rfind("Thumbnail picture cache statistics:\n* Pictures: 2\n* Size: ", 0),
      0u);
  EXPECT_NE(cache.InfoText().find("39"), std::string::npos) << cache.InfoText();
}

} // namespace
} // namespace cv
