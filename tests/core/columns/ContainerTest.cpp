#include "columns/Container.h"

#include "../foundation/StorageTestSupport.h"
#include "TestSupport.h"
#include "foundation/StoredTextList.h"
#include "foundation/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;

std::vector<std::string> Titles(const TContainer& container) {
  std::vector<std::string> titles;
  for (const TContainerItem& item : container.Items())
    titles.push_back(item.Title);
  return titles;
}

std::vector<int> Values(const TContainer& container) {
  std::vector<int> values;
  for (const TContainerItem& item : container.Items())
    values.push_back(item.Data.Value);
  return values;
}

TContainer Filled(const std::vector<std::string>& titles) {
  TContainer container;
  for (size_t i = 0; i < titles.size(); ++i)
    container.AddItem(titles[i], static_cast<int>(i) + 5);
  return container;
}

bool Exists(const std::string& title) {
  struct stat st {};
  return ::lstat(title.c_str(), &st) == 0;
}

double FakeNow = 0.0;
double FakeClock() {
  return FakeNow;
}

class ContainerTest : public ::testing::Test {
protected:
  void SetUp() override { FunStatContext.Reset(fsPerfect); }
  test::TRecordingUserInterface Ui;
  test::TTempDir Dir;
  std::string Path() const { return Dir.Path + "/"; }
};

TEST_F(ContainerTest, AddAndInsertRefuseTitlesTheyCannotKeep) {
  struct {
    const char* Name;
    std::string Title;
  } const refused[] = {
      {"empty", ""},
      {"root partition", ":/"},
      {"mount point", ":/media/ann/STICK"},
      {"line feed", "/a\nb"},
      {"carriage return", "/a\rb"},
      {"NUL byte", std::string("/a\0b", 4)},
      {"longer than a stored title", "/" + std::string(CMaxContainerTitle, 'x')},
      // Relative titles would name files of the program's own directory.
      {"relative", "d/f.txt"},
      {"bare name", "f.txt"},
      {"leading blank", " /d/f.txt"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.Name);
    TContainer container = Filled({"/x"});
    EXPECT_EQ(container.AddItem(c.Title, 3), -1);
    EXPECT_EQ(container.InsertItem(0, c.Title), -1);
    EXPECT_EQ(Titles(container), std::vector<std::string>{"/x"});
  }

  // The same file twice is two items; blanks and non-UTF-8 bytes are kept.
  TContainer container;
  EXPECT_EQ(container.AddItem("/d/f.txt", 7), 0);
  EXPECT_EQ(container.AddItem("/d/f.txt"), 1);
  EXPECT_EQ(container.AddItem("/d/ \xFF\xFE name "), 2);
  EXPECT_EQ(Values(container), (std::vector<int>{7, 0, 0}));
  EXPECT_EQ(container.Items()[2].Title, "/d/ \xFF\xFE name ");

  // A negative index is the front; an index past the end appends.
  EXPECT_EQ(container.InsertItem(-4, "/first"), 0);
  EXPECT_EQ(container.InsertItem(99, "/last"), 4);
  EXPECT_EQ(container.InsertItem(2, "/middle"), 2);
  EXPECT_EQ(Titles(container),
            (std::vector<std::string>{"/first", "/d/f.txt", "/middle", "/d/f.txt",
                                      "/d/ \xFF\xFE name ", "/last"}));
  EXPECT_TRUE(container.HasDuplicates("/d/f.txt"));
  EXPECT_FALSE(container.HasDuplicates("/D/F.TXT"));
  EXPECT_FALSE(container.HasDuplicates("/middle"));
}

TEST_F(ContainerTest, RemoveDuplicatesComparesExactlyAndKeepsFirstOccurrences) {
  TContainer container = Filled({"/a", "/B", "/A", "/b", "/a"});
  EXPECT_EQ(container.RemoveDuplicates(), 1);
  // "/A" and "/a" are two files here: a comparison that folds case would leave /a, /B.
  EXPECT_EQ(Titles(container), (std::vector<std::string>{"/a", "/B", "/A", "/b"}));
  EXPECT_EQ(Values(container), (std::vector<int>{5, 6, 7, 8}));
  EXPECT_FALSE(container.HasDuplicates("/a"));

  TContainer many;
  for (int i = 0; i < 20000; ++i)
    many.AddItem("/f" + std::to_string(i % 7000));
  EXPECT_EQ(many.RemoveDuplicates(), 13000);
  ASSERT_EQ(many.Count(), 7000);
  EXPECT_EQ(many.Items()[6999].Title, "/f6999");
}

TEST_F(ContainerTest, RelocateMovesTheSelectedItemsBeforeTheActiveOne) {
  const std::vector<std::string> seven{"/1", "/2", "/3", "/4", "/5", "/6", "/7"};
  struct {
    const char* Name;
    std::vector<int> Selected;
    int Active;
    std::vector<std::string> Result;
    std::vector<int> ResultValues; // the moved items lose theirs
  } const cases[] = {
      {"items 2 and 4 before item 6",
       {1, 3},
       5,
       {"/1", "/3", "/5", "/2", "/4", "/6", "/7"},
       {5, 7, 9, 0, 0, 10, 11}},
      {"backwards, given in any order",
       {6, 4},
       1,
       {"/1", "/5", "/7", "/2", "/3", "/4", "/6"},
       {5, 0, 0, 6, 7, 8, 10}},
      {"before the first",
       {2},
       0,
       {"/3", "/1", "/2", "/4", "/5", "/6", "/7"},
       {0, 5, 6, 8, 9, 10, 11}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TContainer container = Filled(seven);
    EXPECT_EQ(container.RelocateWarning(c.Active), "");
    EXPECT_TRUE(container.Relocate(c.Selected, c.Active));
    EXPECT_EQ(Titles(container), c.Result);
    EXPECT_EQ(Values(container), c.ResultValues);
  }

  // A selected active item: nothing happens and nothing failed.
  TContainer container = Filled(seven);
  EXPECT_FALSE(container.Relocate({1, 5}, 5));
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  // Positions the container does not have: nothing moves.
  EXPECT_FALSE(container.Relocate({1, 7}, 5));
  EXPECT_EQ(FunStatContext.Status, fsError);
  EXPECT_EQ(Titles(container), seven);

  // The active title occurs twice (exactly): the caller warns and stops.
  TContainer duplicated = Filled({"/a", "/b", "/A", "/b"});
  EXPECT_EQ(duplicated.RelocateWarning(0), "");
  EXPECT_EQ(duplicated.RelocateWarning(1),
            "The active item has duplicates. Therefore, the selected items might be relocated "
            "next\nto a duplicate item. Use the \"File \\ Container \\ Remove duplicates\" "
            "function first.");
  EXPECT_EQ(RelocateQuestion(2, "f.txt"),
            "Relocate 2 selected items in the container\n(before item \"f.txt\")?");
}

TEST_F(ContainerTest, RecycleAtDeletesOnlyWhenThePositionsStillHoldTheShownTitles) {
  // Real files: recycling container items never touches them.
  std::vector<std::string> titles;
  for (const char* name : {"a", "b", "c", "d", "e"}) {
    titles.push_back(Path() + name);
    WriteFileBytes(titles.back(), name);
  }
  TContainer container = Filled(titles);
  ASSERT_TRUE(container.RecycleAt({0, 2, 3}, {titles[0], titles[2], titles[3]}));
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  EXPECT_EQ(Titles(container), (std::vector<std::string>{titles[1], titles[4]}));
  for (const std::string& title : titles)
    EXPECT_TRUE(Exists(title)) << title;

  // The column shows a list the container no longer has.
  struct {
    const char* Name;
    std::vector<int> Positions;
    std::vector<std::string> Expected;
  } const stale[] = {
      {"other title at a position", {0, 1}, {titles[1], titles[0]}},
      {"position beyond the end", {1, 2}, {titles[4], titles[4]}},
      {"negative position", {-1}, {titles[1]}},
      {"counts differ", {0, 1}, {titles[1]}},
  };
  for (const auto& c : stale) {
    SCOPED_TRACE(c.Name);
    FunStatContext.Reset(fsPerfect);
    EXPECT_FALSE(container.RecycleAt(c.Positions, c.Expected));
    EXPECT_EQ(FunStatContext.Status, fsError);
    EXPECT_EQ(FunStatContext.Description,
              "Column and container items are not synchronized. You must reload the column.");
    EXPECT_EQ(Titles(container), (std::vector<std::string>{titles[1], titles[4]}));
  }
}

TEST_F(ContainerTest, RenameItemRefusesBadTitlesAndAStaleOriginal) {
  const std::string bad[] = {"", "/a<b", "/a>b", "/a|b", "/a\"b", "/a*b", "/a?b", "/a\nb", "/a\rb"};
  for (const std::string& title : bad) {
    SCOPED_TRACE(title);
    TContainer container = Filled({"/old"});
    EXPECT_FALSE(container.RenameItem(0, title, "/old"));
    EXPECT_EQ(FunStatContext.Status, fsError);
    EXPECT_EQ(FunStatContext.Description, "Invalid file title.");
    EXPECT_EQ(FunStatContext.Parameter1, title);
    EXPECT_EQ(Titles(container), std::vector<std::string>{"/old"});
  }
  EXPECT_TRUE(Ui.Errors.empty());

  TContainer container = Filled({"/one", "/Old"});
  EXPECT_FALSE(container.RenameItem(1, "/new", "/old"));
  EXPECT_EQ(FunStatContext.Status, fsPanic);
  EXPECT_EQ(FunStatContext.Parameter1, "1");
  EXPECT_EQ(FunStatContext.Parameter2, "/old");
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0].Description,
            "PANIC: This item's name is not the same as the original name.");
  EXPECT_EQ(Titles(container), (std::vector<std::string>{"/one", "/Old"}));

  EXPECT_TRUE(container.RenameItem(1, "/moved/Old", "/Old"));
  EXPECT_TRUE(container.RenameItem(0, "/moved/one"));
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  EXPECT_EQ(Titles(container), (std::vector<std::string>{"/moved/one", "/moved/Old"}));
}

TEST_F(ContainerTest, NamesCaptionsAndTheSearchContainer) {
  TFormatLocalePin locale{QLocale(QLocale::English, QLocale::UnitedStates)};
  TContainerSet set(Path());
  TContainer& work = set.Container(2);
  EXPECT_EQ(work.DisplayName(), "3");
  work.SetName("  Work\r\nlist  2 ");
  for (int i = 0; i < 1234; ++i)
    work.AddItem("/f");
  EXPECT_EQ(work.DisplayName(), "Work list  2 (3)");
  EXPECT_EQ(work.MenuCaption(), "Work list  2 (3) (1,234 items)");
  EXPECT_EQ(set.Container(19).MenuCaption(), "20 (0 items)");

  // A name is cut to 255 characters, not bytes.
  std::string longName;
  for (int i = 0; i < 300; ++i)
    longName += "\xC3\xA9";
  work.SetName(longName);
  EXPECT_EQ(work.Name(), longName.substr(0, 510));

  EXPECT_EQ(set.SearchContainer(), 0);
  set.Container(7).SetName("search");
  set.Container(4).SetName("fInD");
  set.Container(1).SetName("Finder");
  EXPECT_EQ(set.SearchContainer(), 4);
}

TEST_F(ContainerTest, AllTwentyContainersComeBackByteForByte) {
  TStoredTextList ini;
  const std::string directory = Path() + "made/at/save/";
  {
    TContainerSet set(directory);
    for (int n = 0; n < TContainerSet::Count; ++n) {
      TContainer& container = set.Container(n);
      if (n % 3 == 0) container.SetName("Box " + std::to_string(n));
      container.AddItem("/home/ann/" + std::to_string(n) + ".txt", 9);
      container.AddItem("/home/ann/ blank ends  ");
      container.AddItem("/home/ann/\xE9t\xE9");
      container.AddItem("/home/ann/" + std::to_string(n) + ".txt");
    }
    set.Container(19).SetName(std::string(255, 'n'));
    set.WriteNames(ini);
    EXPECT_EQ(FunStatContext.Status, fsPerfect);
    EXPECT_TRUE(set.SaveAll());
  }
  EXPECT_EQ(ReadFileBytes(directory + "05.txt"),
            "/home/ann/4.txt\n/home/ann/ blank ends  \n/home/ann/\xE9t\xE9\n/home/ann/4.txt\n");
  EXPECT_TRUE(Exists(directory + "01.txt"));
  EXPECT_TRUE(Exists(directory + "20.txt"));

  TContainerSet loaded(directory);
  loaded.ReadNames(ini);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  for (int n = 0; n < TContainerSet::Count; ++n) {
    SCOPED_TRACE(n);
    const TContainer& container = loaded.Container(n);
    EXPECT_EQ(container.Name(), n == 19      ? std::string(255, 'n')
                                : n % 3 == 0 ? "Box " + std::to_string(n)
                                             : "");
    EXPECT_EQ(Titles(container),
              (std::vector<std::string>{"/home/ann/" + std::to_string(n) + ".txt",
                                        "/home/ann/ blank ends  ", "/home/ann/\xE9t\xE9",
                                        "/home/ann/" + std::to_string(n) + ".txt"}));
    EXPECT_EQ(Values(container), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_FALSE(loaded.IsChanged(n));
  }
}

TEST_F(ContainerTest, LoadAcceptsBomAndCrlfAndReportsUnreadableFiles) {
  WriteFileBytes(Path() + "01.txt", "\xEF\xBB\xBF/a b \r\n\r\n/c\r/d\n:/media/x\n\n \nrel/f\n"
                                    "f.txt\n /g\n/\xEF\xBB\xBF"
                                    "e");
  TContainer container(0);
  EXPECT_TRUE(container.Load(Path()));
  // Relative lines are skipped like partition titles.
  EXPECT_EQ(Titles(container), (std::vector<std::string>{"/a b ", "/c", "/d",
                                                         "/\xEF\xBB\xBF"
                                                         "e"}));

  TContainer missing(1);
  missing.AddItem("/stale");
  EXPECT_TRUE(missing.Load(Path()));
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  EXPECT_EQ(missing.Count(), 0);

  // A directory in the file's place cannot be read: empty, reported, and
  // the next save moves it aside instead of writing over it.
  ASSERT_EQ(::mkdir((Path() + "03.txt").c_str(), 0755), 0);
  WriteFileBytes(Path() + "03.txt/keep", "x");
  TContainer unreadable(2);
  EXPECT_FALSE(unreadable.Load(Path()));
  EXPECT_EQ(FunStatContext.Status, fsError);
  EXPECT_EQ(FunStatContext.Description, "Failed to read file.");
  EXPECT_EQ(FunStatContext.Parameter1, Path() + "03.txt");
  EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(EISDIR));
  EXPECT_EQ(unreadable.Count(), 0);
  unreadable.AddItem("/new");
  EXPECT_TRUE(unreadable.Save(Path()));
  EXPECT_EQ(ReadFileBytes(Path() + "03.txt.bad/keep"), "x");
  EXPECT_EQ(ReadFileBytes(Path() + "03.txt"), "/new\n");
}

// Only the first save after a failed load moves the file aside: the file it
// wrote is the container's own, and the next save writes over it in place.
TEST_F(ContainerTest, ASecondSaveAfterTheBadFileWasMovedAsideWritesInPlace) {
  ASSERT_EQ(::mkdir((Path() + "03.txt").c_str(), 0755), 0);
  WriteFileBytes(Path() + "03.txt/keep", "x");
  TContainer container(2);
  EXPECT_FALSE(container.Load(Path()));
  container.AddItem("/new");
  ASSERT_TRUE(container.Save(Path()));
  ASSERT_EQ(ReadFileBytes(Path() + "03.txt.bad/keep"), "x");
  Ui.Boxes.clear();

  container.AddItem("/newer");
  FunStatContext.Reset(fsPerfect);
  EXPECT_TRUE(container.Save(Path()));
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  EXPECT_EQ(ReadFileBytes(Path() + "03.txt"), "/new\n/newer\n");
  EXPECT_EQ(ReadFileBytes(Path() + "03.txt.bad/keep"), "x");
  std::vector<std::string> names = test::DirectoryNames(Dir.Path);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"03.txt", "03.txt.bad"}));
  EXPECT_TRUE(Ui.Boxes.empty()) << "nothing moved aside, nothing to tell";
}

// Loading drops a byte order mark only at the start of the file; a line
// that begins with one elsewhere is no absolute title, so no saved file can
// start with a title a reader would cut.
TEST_F(ContainerTest, AByteOrderMarkIsDroppedOnlyAtTheStartOfTheFile) {
  WriteFileBytes(Path() + "01.txt", "\xEF\xBB\xBF/z\n\xEF\xBB\xBF/a\n/b\n");
  TContainer container(0);
  ASSERT_TRUE(container.Load(Path()));
  ASSERT_EQ(Titles(container), (std::vector<std::string>{"/z", "/b"}));
  EXPECT_LT(container.AddItem("\xEF\xBB\xBF/a"), 0);
  ASSERT_TRUE(container.Save(Path()));
  TContainer again(0);
  EXPECT_TRUE(again.Load(Path()));
  EXPECT_EQ(Titles(again), Titles(container));
}

TEST_F(ContainerTest, AFailedSaveKeepsTheOldFile) {
  WriteFileBytes(Path() + "04.txt", "/old\n");
  const std::string failure = test::RunUnprivileged({Dir.Path}, [&]() -> std::string {
    if (::chmod(Dir.Path.c_str(), 0555) != 0) return "chmod failed";
    TContainer container(3);
    container.AddItem("/new");
    if (container.Save(Path())) return "the save did not fail";
    if (FunStatContext.Description != "Failed to write file." ||
        FunStatContext.SystemErrorCode != EACCES)
      return "wrong report: " + FunStatContext.Description;
    if (ReadFileBytes(Path() + "04.txt") != "/old\n") return "the old file was changed";
    if (test::DirectoryNames(Dir.Path).size() != 1) return "a temporary file was left";
    return "";
  });
  EXPECT_EQ(failure, "");
  ::chmod(Dir.Path.c_str(), 0755);
  EXPECT_EQ(ReadFileBytes(Path() + "04.txt"), "/old\n");

  // The disk fills up halfway through the new content.
  TContainer container(3);
  for (int i = 0; i < 10; ++i)
    container.AddItem("/new/" + std::to_string(i));
  {
    test::TFileSizeLimit full(16);
    EXPECT_FALSE(container.Save(Path()));
  }
  EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(EFBIG));
  EXPECT_EQ(ReadFileBytes(Path() + "04.txt"), "/old\n");
  EXPECT_EQ(test::DirectoryNames(Dir.Path).size(), 1u);
}

TEST_F(ContainerTest, ChangesAreWrittenOnceASecondAfterTheFirst) {
  FakeNow = 100.0;
  TContainerSet set(Path(), &FakeClock);
  const std::string file = Path() + "06.txt";
  TContainer& container = set.Container(5);
  container.AddItem("/a");
  FakeNow = 100.2;
  container.AddItem("/b");
  FakeNow = 100.45;
  container.InsertItem(0, "/c");
  for (double now : {100.5, 100.99}) {
    EXPECT_TRUE(set.SaveDue(now));
    EXPECT_FALSE(Exists(file)) << now;
  }
  EXPECT_TRUE(set.SaveDue(101.0));
  EXPECT_EQ(ReadFileBytes(file), "/c\n/a\n/b\n");
  EXPECT_FALSE(set.IsChanged(5));
  // Nothing changed since: later ticks write nothing.
  ASSERT_EQ(::unlink(file.c_str()), 0);
  EXPECT_TRUE(set.SaveDue(105.0));
  EXPECT_FALSE(Exists(file));
  EXPECT_EQ(test::DirectoryNames(Dir.Path).size(), 0u);

  // Clearing an empty container changes nothing; a failed write stays
  // pending and is tried a delay later; close writes the rest.
  FakeNow = 200.0;
  container.DeleteItem(0);
  set.Container(0).ClearItems();
  EXPECT_FALSE(set.IsChanged(0));
  ASSERT_EQ(::mkdir(file.c_str(), 0755), 0);
  EXPECT_FALSE(set.SaveDue(201.0));
  EXPECT_EQ(FunStatContext.Description, "Failed to write file.");
  EXPECT_TRUE(set.IsChanged(5));
  ASSERT_EQ(::rmdir(file.c_str()), 0);
  EXPECT_TRUE(set.SaveDue(201.5));
  EXPECT_FALSE(Exists(file));
  EXPECT_TRUE(set.SaveAll());
  EXPECT_EQ(ReadFileBytes(file), "/a\n/b\n");
}

} // namespace
} // namespace cv
