#include "columns/History.h"

#include "AllocationCounter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cv {
namespace {

std::vector<std::string> Titles(const THistory& history) {
  std::vector<std::string> titles;
  for (int i = 0; i < history.Count(); ++i)
    titles.push_back(history.Entry(i).EntryTitle);
  return titles;
}

TEST(History, ADirectoryIsOneEntryThatMovesToTheNewestPlace) {
  THistory history;
  history.AddHistory("/a/one", 5, 11, 1);
  history.AddHistory("/a/two", 4, 12, 2);
  history.AddHistory("/b/x", 0, 13, 3);
  history.AddHistory("/a/three", 2, 14, 4);
  EXPECT_EQ(Titles(history), (std::vector<std::string>{"/b/x", "/a/three"}));
  const THistoryEntry& a = history.Entry(1);
  EXPECT_EQ(a.EntryType, 2);
  EXPECT_EQ(a.EntryKey, 14);
  EXPECT_EQ(a.EntryTopOffset, 4);

  // A subdirectory and its parent are different directories.
  history.AddHistory("/a/sub/f", 5, 0, 0);
  EXPECT_EQ(Titles(history), (std::vector<std::string>{"/b/x", "/a/three", "/a/sub/f"}));
}

TEST(History, TitlesThatAddNothing) {
  THistory history;
  history.AddHistory("/a/f", 5, 1, 1);
  for (const char* title : {"", ":/", ":/home", ":/media/ann/STICK", "relative"})
    history.AddHistory(title, 0, 9, 9);
  EXPECT_EQ(Titles(history), std::vector<std::string>{"/a/f"});

  // A bare directory keeps the file remembered there, newest or not.
  history.AddHistory("/a/", 0, 0, 0);
  history.AddHistory("/b/g", 5, 2, 2);
  history.AddHistory("/a/", 0, 0, 0);
  EXPECT_EQ(Titles(history), (std::vector<std::string>{"/a/f", "/b/g"}));
  // ...but a directory the history does not know is remembered.
  history.AddHistory("/c/", 0, 0, 0);
  EXPECT_EQ(Titles(history), (std::vector<std::string>{"/a/f", "/b/g", "/c/"}));
}

TEST(History, The301stDirectoryDropsTheFirst) {
  THistory history;
  for (int i = 1; i <= 301; ++i)
    history.AddHistory("/d" + std::to_string(i) + "/file", 5, i, 0);
  ASSERT_EQ(history.Count(), THistory::Capacity);
  EXPECT_EQ(history.Entry(0).EntryTitle, "/d2/file");
  EXPECT_EQ(history.Entry(299).EntryTitle, "/d301/file");
  std::string title = "/d1/";
  int type = 7, offset = 8;
  int64_t key = 9;
  EXPECT_EQ(history.FindHistory(title, type, key, offset), -1);

  // Revisiting a known directory when full drops nothing else.
  history.AddHistory("/d2/other", 5, 0, 0);
  EXPECT_EQ(history.Count(), THistory::Capacity);
  EXPECT_EQ(history.Entry(0).EntryTitle, "/d3/file");
  EXPECT_EQ(history.Entry(299).EntryTitle, "/d2/other");
}

TEST(History, MatchingIsByteExact) {
  THistory history;
  history.AddHistory("/Data/x", 5, 1, 1);
  history.AddHistory("/data/y", 4, 2, 2);
  history.AddHistory("/\xff\xfe/z", 3, 3, 3);
  history.AddHistory("/\xff\xfd/w", 2, 4, 4);
  EXPECT_EQ(history.Count(), 4);

  struct TCase {
    std::string Directory;
    int Index;
    std::string Title;
  };
  const TCase cases[] = {
      {"/Data/", 0, "/Data/x"},
      {"/data/", 1, "/data/y"},
      {"/DATA/", -1, "/DATA/"},
      {"/\xff\xfe/", 2, "/\xff\xfe/z"},
      {"/\xff/", -1, "/\xff/"},
      {"/Data", -1, "/Data"},
      {"", -1, ""},
  };
  for (const TCase& c : cases) {
    std::string title = c.Directory;
    int type = -1, offset = -2;
    int64_t key = -3;
    EXPECT_EQ(history.FindHistory(title, type, key, offset), c.Index) << c.Directory;
    EXPECT_EQ(title, c.Title);
    if (c.Index < 0) {
      EXPECT_EQ(type, -1) << "left as it was";
      EXPECT_EQ(key, -3);
      EXPECT_EQ(offset, -2);
    } else {
      EXPECT_EQ(type, history.Entry(c.Index).EntryType);
      EXPECT_EQ(key, history.Entry(c.Index).EntryKey);
      EXPECT_EQ(offset, history.Entry(c.Index).EntryTopOffset);
    }
  }
}

TEST(History, FindHistoryForParentGivesTheDirectoryBeingLeft) {
  THistory history;
  history.AddHistory("/a/b", 0, 21, 6);
  history.AddHistory("/a/b/c/file", 5, 22, 7);

  struct TCase {
    std::string Title;
    int Index;
    std::string Leaving;
    int Type;
    int64_t Key;
    int Offset;
  };
  const TCase cases[] = {
      {"/a/b/c/file", -1, "/a/b/c", 99, 98, 97}, // no entry for "/a/b/"
      {"/a/b/file", 0, "/a/b", 0, 21, 6},
      {"/a/b/", 0, "/a/b", 0, 21, 6},
      {"/x/y", -1, "/x", 99, 98, 97},
      {"/top", -1, ":/", 99, 98, 97},
  };
  for (const TCase& c : cases) {
    std::string title = c.Title;
    int type = 99, offset = 97;
    int64_t key = 98;
    EXPECT_EQ(history.FindHistoryForParent(title, type, key, offset), c.Index) << c.Title;
    EXPECT_EQ(title, c.Leaving);
    EXPECT_EQ(type, c.Type);
    EXPECT_EQ(key, c.Key);
    EXPECT_EQ(offset, c.Offset);
  }
}

TEST(History, RemoveNewestHistoryOnlyForItsDirectoryAndNeverTheLast) {
  THistory history;
  history.AddHistory("/a/f", 5, 0, 0);
  history.RemoveNewestHistory("/a/g");
  EXPECT_EQ(history.Count(), 1) << "the only entry stays";
  history.AddHistory("/b/f", 5, 0, 0);
  history.RemoveNewestHistory("/a/f");
  EXPECT_EQ(history.Count(), 2) << "another directory";
  history.RemoveNewestHistory("/B/f");
  EXPECT_EQ(history.Count(), 2) << "byte-exact";
  history.RemoveNewestHistory("/b/");
  EXPECT_EQ(Titles(history), std::vector<std::string>{"/a/f"});
}

TEST(History, MenuItemsAreNewestFirstAndEscaped) {
  THistory history;
  EXPECT_EQ(history.MenuItems().size(), 1u);
  EXPECT_EQ(history.MenuItems()[0].Caption, "Go to (0 items)");

  for (const char* title : {"/one/f", "/two/f", "/R&D/f", "/\xff/f", "/five/"})
    history.AddHistory(title, 5, 0, 0);
  const std::vector<THistoryMenuItem> items = history.MenuItems();
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(items[0].Caption, "Go to (5 items)");
  EXPECT_TRUE(items[0].Default);
  EXPECT_EQ(items[0].Index, -1);
  const std::vector<std::string> captions = {"/five/", "/\xff/", "/R&&D/", "/two/", "/one/"};
  for (size_t i = 1; i < items.size(); ++i) {
    EXPECT_EQ(items[i].Caption, captions[i - 1]);
    EXPECT_FALSE(items[i].Default);
    EXPECT_EQ(items[i].Index, static_cast<int>(5 - i));
  }
  EXPECT_EQ(items[3].Directory, "/R&D/");

  for (int i = 0; i < 30; ++i)
    history.AddHistory("/many" + std::to_string(i) + "/f", 5, 0, 0);
  const std::vector<THistoryMenuItem> many = history.MenuItems();
  ASSERT_EQ(many.size(), 1u + THistory::MenuEntries);
  EXPECT_EQ(many[0].Caption, "Go to (35 items)");
  EXPECT_EQ(many[1].Caption, "/many29/");
  EXPECT_EQ(many[20].Caption, "/many10/");
  EXPECT_EQ(many[20].Index, 15);
}

// Looking up and moving within a directory happen on every focus change:
// neither may allocate per entry (nor at all once the entry exists).
TEST(History, LookupsAndMovesInTheNewestDirectoryAllocateNothing) {
  THistory history;
  for (int i = 0; i < THistory::Capacity; ++i)
    history.AddHistory("/a/long/directory/number/" + std::to_string(i) + "/file.txt", 5, i, 0);
  std::string title = "/a/long/directory/that/is/not/there/";
  std::string moved = "/a/long/directory/number/299/next.txt"; // fits the old storage
  int type = 0, offset = 0;
  int64_t key = 0;
  long allocations = 0;
  int found = 0;
  {
    test::TAllocationCounter counter;
    found = history.FindHistory(title, type, key, offset);
    history.AddHistory(moved, 3, 42, 1);
    allocations = counter.Count();
  }
  EXPECT_EQ(found, -1);
  EXPECT_EQ(history.Entry(history.Count() - 1).EntryTitle, moved);
  EXPECT_EQ(history.Count(), THistory::Capacity);
  EXPECT_EQ(allocations, 0);
}

} // namespace
} // namespace cv
