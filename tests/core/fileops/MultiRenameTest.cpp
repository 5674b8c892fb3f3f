#include "fileops/MultiRename.h"

#include "../filesystem/FileTestSupport.h"
#include "TestSupport.h"
#include "columns/Container.h"
#include "foundation/Guard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace cv {
namespace {

namespace fs = std::filesystem;

using TNames = std::vector<std::string>;

// ---- Preview -------------------------------------------------------------------------

struct TPreviewCase {
  const char* What;
  TNames Old;
  TMultiRenameFilters Filters;
  TMultiRenameCounter Counter;
  TMultiRenameMode Mode;
  TNames Expected; // empty: the preview fails with InvalidResultFailure
};

TEST(MultiRenamePreviewTest, PatternsCountersAndReplaces) {
  using M = TMultiRenameMode;
  const TPreviewCase cases[] = {
      {"prefix and counter keep each extension",
       {"/d/a.jpg", "/d/b.png"},
       {.Prefix = "Img"},
       {3, 1, 1},
       M::Files,
       {"/d/Img001.jpg", "/d/Img002.png"}},
      {"a given extension replaces them",
       {"/d/a.jpg", "/d/b.png"},
       {.Prefix = "Img", .Extension = "jpeg"},
       {3, 1, 1},
       M::Files,
       {"/d/Img001.jpeg", "/d/Img002.jpeg"}},
      {"extension alone keeps the names",
       {"/d/a.jpg", "/d/b", "/d/.bashrc"},
       {.Extension = "txt"},
       {},
       M::Files,
       {"/d/a.txt", "/d/b.txt", "/d/.bashrc.txt"}},
      {"a counter wider than its digits",
       {"/d/a"},
       {.Suffix = "x"},
       {2, 1000, 1},
       M::Files,
       {"/d/1000x"}},
      {"start and step",
       {"/d/a.c", "/d/b.c", "/d/c.c"},
       {.Prefix = "Trip ", .Suffix = "-v"},
       {3, 0, 10},
       M::Files,
       {"/d/Trip 000-v.c", "/d/Trip 010-v.c", "/d/Trip 020-v.c"}},
      {"replace folds ASCII case, first occurrence only",
       {"/d/img_IMG.jpg"},
       {.OriginalText = "IMG", .NewText = "Trip"},
       {},
       M::Files,
       {"/d/Trip_IMG.jpg"}},
      {"replace keeps the bytes of a name that is not UTF-8",
       {"/d/caf\xE9-\xFF.txt"},
       {.OriginalText = "caf", .NewText = "bar"},
       {},
       M::Files,
       {"/d/bar\xE9-\xFF.txt"}},
      {"replace only in the name in files mode",
       {"/img/img.png"},
       {.OriginalText = "img", .NewText = "pic"},
       {},
       M::Files,
       {"/img/pic.png"}},
      {"replace in the whole title of container items",
       {"/media/x/a.txt", "/media/x/b"},
       {.OriginalText = "/media/x/", .NewText = "/media/y/"},
       {},
       M::ContainerItems,
       {"/media/y/a.txt", "/media/y/b"}},
      {"replace, then the pattern",
       {"/d/one.txt"},
       {.Prefix = "p", .OriginalText = ".txt", .NewText = ".md"},
       {1, 5, 1},
       M::Files,
       {"/d/p5.md"}},
      {"a replace that empties a name fails",
       {"/d/keep.txt", "/d/x.txt"},
       {.OriginalText = "x", .NewText = ""},
       {},
       M::Files,
       {}},
      {"a replace that leaves \"..\" fails",
       {"/d/ab"},
       {.OriginalText = "ab", .NewText = ".."},
       {},
       M::Files,
       {}},
      {"an item title that stops being absolute fails",
       {"/d/a"},
       {.OriginalText = "/d", .NewText = "e"},
       {},
       M::ContainerItems,
       {}},
  };
  for (const TPreviewCase& c : cases) {
    test::TRecordingUserInterface ui;
    TNames titles = {"untouched"};
    const bool built = BuildMultiRenameTitles(c.Old, c.Filters, c.Counter, c.Mode, titles);
    if (c.Expected.empty()) {
      EXPECT_FALSE(built) << c.What;
      EXPECT_EQ(FunStatContext.Description, InvalidResultFailure) << c.What;
      EXPECT_EQ(titles, TNames{"untouched"}) << c.What;
    } else {
      EXPECT_TRUE(built) << c.What;
      EXPECT_EQ(titles, c.Expected) << c.What;
    }
    FunStatContext.Reset(fsPerfect);
  }
}

TEST(MultiRenamePreviewTest, FiltersAndCountersAreChecked) {
  using M = TMultiRenameMode;
  struct TCase {
    TMultiRenameFilters Filters;
    M Mode;
    bool Container;
    bool Valid;
  };
  const TCase cases[] = {
      {{.Prefix = "Trip "}, M::Files, false, true},
      {{}, M::Files, false, false}, // nothing to do
      {{.NewText = "x"}, M::Files, false, false},
      {{.Prefix = "a/b"}, M::Files, false, false},
      {{.Suffix = "a*"}, M::Files, false, false},
      {{.Extension = "a:b"}, M::Files, false, false},
      {{.OriginalText = "x:", .NewText = "y:"}, M::Files, false, false},
      {{.OriginalText = "x:", .NewText = "y:"}, M::ContainerItems, true, true},
      {{.OriginalText = "x", .NewText = "y?"}, M::ContainerItems, true, false},
      {{.OriginalText = "x", .NewText = "a\nb"}, M::ContainerItems, true, false},
      {{.Prefix = "p", .NewText = "y"}, M::Files, true, false}, // new text, no original
      {{.Prefix = "p", .NewText = "y"}, M::Files, false, true},
      {{.Prefix = "caf\xE9"}, M::Files, false, true},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(CheckMultiRenameFilters(c.Filters, c.Mode, c.Container).empty(), c.Valid)
        << c.Filters.Prefix << "|" << c.Filters.Suffix << "|" << c.Filters.Extension << "|"
        << c.Filters.OriginalText << "|" << c.Filters.NewText;

  TMultiRenameCounter counter;
  EXPECT_TRUE(ReadMultiRenameCounter("", "", "", counter));
  EXPECT_EQ(counter.Digits, 4);
  EXPECT_TRUE(ReadMultiRenameCounter("9", "1000000", "1000000", counter));
  EXPECT_EQ(counter.Start, 1000000);
  for (const auto& [digits, start, step] :
       std::vector<std::tuple<const char*, const char*, const char*>>{{"0", "1", "1"},
                                                                      {"10", "1", "1"},
                                                                      {"x", "1", "1"},
                                                                      {"3", "-1", "1"},
                                                                      {"3", "1000001", "1"},
                                                                      {"3", "1", "0"},
                                                                      {"3", "1", "1000001"}}) {
    TMultiRenameCounter kept{2, 7, 3};
    EXPECT_FALSE(ReadMultiRenameCounter(digits, start, step, kept)) << digits << start << step;
    EXPECT_EQ(kept.Start, 7);
  }
  EXPECT_EQ(MultiRenameQuestion(1234, TMultiRenameMode::Files),
            "Do you want to rename 1,234 files?");
}

// ---- Renaming --------------------------------------------------------------------------

class MultiRenameTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = Temp.Path + "/files/";
    fs::create_directory(Dir);
  }

  // Each file holds its own name, so the test sees where every one went.
  void Make(const TNames& names) {
    for (const std::string& name : names)
      ASSERT_TRUE(test::WriteBytes(Dir + name, name));
  }
  // name -> content of everything in the directory.
  std::map<std::string, std::string> Content(const std::string& directory = {}) const {
    std::map<std::string, std::string> content;
    const std::string where = directory.empty() ? Dir : directory;
    for (const std::string& name : test::Entries(where))
      content[name] = test::ReadBytes(where + name);
    return content;
  }
  TNames Titles(const TNames& names) const {
    TNames titles;
    for (const std::string& name : names)
      titles.push_back(Dir + name);
    return titles;
  }
  bool Rename(const TNames& from, const TNames& to) {
    Followed.clear();
    TMultiRenameHost host;
    host.AskOverwrite = [this](const TOverwriteView& view) {
      Questions.push_back(view.Destination.File);
      return Answer;
    };
    host.Planned = Planned;
    host.Renamed = [this](size_t index, const std::string& title) {
      Followed.push_back({index, title});
      return true;
    };
    const bool done = MultiRenameFiles(Titles(from), Titles(to), host, Outcome);
    Failure = FunStatContext;
    FunStatContext.Reset(fsPerfect);
    return done;
  }

  test::TTempDir Temp;
  test::TRecordingUserInterface Ui;
  std::string Dir;
  TOverwriteChoice Answer = TOverwriteChoice::SkipThis;
  TNames Questions;
  std::function<void()> Planned;
  std::vector<std::pair<size_t, std::string>> Followed;
  TMultiRenameOutcome Outcome;
  TFunStatContext Failure;
};

TEST_F(MultiRenameTest, SwapsChainsAndCyclesNeverOverwrite) {
  struct TCase {
    const char* What;
    TNames Files, From, To;
    std::map<std::string, std::string> Expected;
  };
  const TCase cases[] = {
      {"swap", {"a", "b"}, {"a", "b"}, {"b", "a"}, {{"a", "b"}, {"b", "a"}}},
      {"chain in list order", {"a", "b"}, {"a", "b"}, {"b", "c"}, {{"b", "a"}, {"c", "b"}}},
      {"chain in reverse order", {"a", "b"}, {"b", "a"}, {"c", "b"}, {{"b", "a"}, {"c", "b"}}},
      {"cycle of three",
       {"a", "b", "c"},
       {"a", "b", "c"},
       {"b", "c", "a"},
       {{"a", "c"}, {"b", "a"}, {"c", "b"}}},
      {"two cycles and an item that stays",
       {"1", "2", "3", "4", "5"},
       {"1", "2", "3", "4", "5"},
       {"2", "1", "3", "5", "4"},
       {{"1", "2"}, {"2", "1"}, {"3", "3"}, {"4", "5"}, {"5", "4"}}},
      {"not UTF-8",
       {"caf\xE9", "\xFF"},
       {"caf\xE9", "\xFF"},
       {"\xFF", "caf\xE9"},
       {{"caf\xE9", "\xFF"}, {"\xFF", "caf\xE9"}}},
  };
  for (const TCase& c : cases) {
    for (const std::string& name : test::Entries(Dir))
      fs::remove(Dir + name);
    Make(c.Files);
    Questions.clear();
    EXPECT_TRUE(Rename(c.From, c.To)) << c.What << ": " << Failure.Description;
    EXPECT_EQ(Content(), c.Expected) << c.What;
    EXPECT_TRUE(Questions.empty()) << c.What; // nothing outside the selection was in the way
    size_t moved = 0;
    for (size_t i = 0; i < c.From.size(); ++i)
      moved += c.From[i] != c.To[i];
    EXPECT_EQ(Outcome.Renamed, moved) << c.What;
    EXPECT_EQ(Followed.size(), moved) << c.What;
    for (const auto& [index, title] : Followed)
      EXPECT_EQ(title, Dir + c.To[index]) << c.What;
  }
}

TEST_F(MultiRenameTest, RefusesBeforeAnythingIsRenamed) {
  struct TCase {
    const char* What;
    TNames From, To;
  };
  const TCase cases[] = {
      {"two items, one new name", {"a", "b", "c"}, {"x", "y", "x"}},
      {"a new name held by an item that stays", {"a", "b"}, {"b", "b"}},
      {"empty name", {"a", "b"}, {"x", ""}},
      {"dot", {"a", "b"}, {"x", "."}},
      {"dot dot", {"a", "b"}, {"x", ".."}},
      {"slash", {"a", "b"}, {"x", "sub/b"}},
      {"the same file twice", {"a", "a"}, {"x", "y"}},
  };
  fs::create_directory(Dir + "sub");
  Make({"a", "b", "c"});
  const auto before = Content();
  for (const TCase& c : cases) {
    EXPECT_FALSE(Rename(c.From, c.To)) << c.What;
    EXPECT_TRUE(Failure.Failed()) << c.What;
    EXPECT_EQ(Content(), before) << c.What;
    EXPECT_TRUE(Followed.empty()) << c.What;
  }
  EXPECT_TRUE(Questions.empty());
}

TEST_F(MultiRenameTest, ANewNameOutsideTheSelectionAsksTheOverwriteQuestion) {
  Make({"a", "b", "x", "taken"});
  // b -> taken is asked; a -> b follows b, and stays when b stays.
  Answer = TOverwriteChoice::SkipThis;
  EXPECT_TRUE(Rename({"a", "b", "x"}, {"b", "taken", "y"}));
  EXPECT_EQ(Questions, TNames{"taken"});
  EXPECT_EQ(Content(), (std::map<std::string, std::string>{
                           {"a", "a"}, {"b", "b"}, {"taken", "taken"}, {"y", "x"}}));

  Questions.clear();
  Answer = TOverwriteChoice::Abort;
  EXPECT_TRUE(Rename({"a", "b", "y"}, {"b", "taken", "z"}));
  EXPECT_TRUE(Outcome.Aborted);
  EXPECT_EQ(Outcome.Renamed, 0u); // an abort comes before any rename
  EXPECT_TRUE(test::ReadBytes(Dir + "y") == "x");

  Questions.clear();
  Answer = TOverwriteChoice::OverwriteThis;
  EXPECT_TRUE(Rename({"a", "b"}, {"b", "taken"}));
  EXPECT_EQ(Questions, TNames{"taken"});
  EXPECT_EQ(Content(),
            (std::map<std::string, std::string>{{"b", "a"}, {"taken", "b"}, {"y", "x"}}));
}

TEST_F(MultiRenameTest, AFileThatVanishesHalfWayLeavesEveryOtherFileUnderOneOfItsNames) {
  // The chain moves b first; a is gone by then.
  Make({"a", "b"});
  Planned = [this] { fs::remove(Dir + "a"); };
  EXPECT_FALSE(Rename({"a", "b"}, {"b", "c"}));
  EXPECT_EQ(Failure.SystemErrorCode, static_cast<uint32_t>(ENOENT));
  EXPECT_EQ(Content(), (std::map<std::string, std::string>{{"c", "b"}}));
  EXPECT_EQ(Followed, (std::vector<std::pair<size_t, std::string>>{{1, Dir + "c"}}));

  // In a cycle, the file parked under a temporary name goes on to its new name.
  for (const std::string& name : test::Entries(Dir))
    fs::remove(Dir + name);
  Make({"a", "b", "c"});
  Planned = [this] { fs::remove(Dir + "b"); };
  EXPECT_FALSE(Rename({"a", "b", "c"}, {"b", "c", "a"}));
  EXPECT_EQ(Content(), (std::map<std::string, std::string>{{"a", "c"}, {"b", "a"}}));
  EXPECT_EQ(Followed.size(), 2u);
}

TEST_F(MultiRenameTest, AReadOnlyDirectoryStopsTheRunWithEveryFileUnderOneOfItsNames) {
  const std::string other = Temp.Path + "/locked/";
  fs::create_directory(other);
  Make({"a", "b", "d"});
  ASSERT_TRUE(test::WriteBytes(other + "x", "x"));
  const std::string failure = test::RunUnprivileged({Temp.Path}, [&]() -> std::string {
    std::vector<size_t> followed;
    TMultiRenameHost host;
    host.Planned = [&] { ::chmod(other.c_str(), 0555); };
    host.Renamed = [&](size_t index, const std::string&) {
      followed.push_back(index);
      return true;
    };
    TMultiRenameOutcome outcome;
    const bool done =
        MultiRenameFiles({Dir + "a", Dir + "b", other + "x", Dir + "d"},
                         {Dir + "b", Dir + "c", other + "y", Dir + "e"}, host, outcome);
    if (done) return "the run went through a read-only directory";
    if (FunStatContext.SystemErrorCode != EACCES)
      return "not EACCES: " + FunStatContext.Description;
    if (followed != std::vector<size_t>{1}) return "the wrong items followed";
    const std::map<std::string, std::string> expected{{"a", "a"}, {"c", "b"}, {"d", "d"}};
    if (Content() != expected) return "the files moved wrongly";
    if (test::Entries(other) != TNames{"x"}) return "the locked directory changed";
    return {};
  });
  EXPECT_EQ(failure, "");
}

TEST_F(MultiRenameTest, AParkedFileGoesBackToItsOldTitleWhenItsNewOneStaysTaken) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the files two owners";
  // A sticky directory: the unprivileged user may move its own "a" but not root's "b".
  Make({"a", "b"});
  ::chmod(Dir.c_str(), 01777);
  const std::string failure = test::RunUnprivileged({Dir + "a"}, [&]() -> std::string {
    TMultiRenameHost host;
    TMultiRenameOutcome outcome;
    if (MultiRenameFiles(Titles({"a", "b"}), Titles({"b", "a"}), host, outcome))
      return "root's file was moved";
    if (FunStatContext.SystemErrorCode != EPERM) return "not EPERM: " + FunStatContext.Description;
    const std::map<std::string, std::string> expected{{"a", "a"}, {"b", "b"}};
    if (Content() != expected) return "a file lost its title";
    return {};
  });
  EXPECT_EQ(failure, "");
}

TEST_F(MultiRenameTest, ContainerItemsFollowTheirFiles) {
  Make({"a", "b", "c"});
  TContainer container;
  for (const std::string& title : Titles({"c", "a", "b"}))
    container.AddItem(title);
  // The column's selection: items 1 and 2 of the container.
  const std::vector<int> selected{1, 2};
  TMultiRenameHost host;
  host.Renamed = [&](size_t index, const std::string& title) {
    const int item = selected[index];
    return container.RenameItem(item, title, Titles({"a", "b"})[index]);
  };
  TMultiRenameOutcome outcome;
  EXPECT_TRUE(MultiRenameFiles(Titles({"a", "b"}), Titles({"b", "a"}), host, outcome));
  std::vector<std::string> items;
  for (const TContainerItem& item : container.Items())
    items.push_back(item.Title);
  EXPECT_EQ(items, Titles({"c", "b", "a"}));
  EXPECT_EQ(test::ReadBytes(Dir + "a"), "b");
}

TEST(MultiRenameItemsTest, InvalidTitlesAreRefusedBeforeAnyItemChanges) {
  test::TRecordingUserInterface ui;
  TNames renamed;
  const auto rename = [&](size_t, const std::string& title) {
    renamed.push_back(title);
    return true;
  };
  TMultiRenameOutcome outcome;
  EXPECT_FALSE(MultiRenameItems({"/d/a", "/d/b"}, {"/e/a", "/e/.."}, rename, outcome));
  EXPECT_FALSE(MultiRenameItems({"/d/a", "/d/b"}, {"/e/a", "e/b"}, rename, outcome));
  FunStatContext.Reset(fsPerfect);
  EXPECT_TRUE(renamed.empty());
  EXPECT_TRUE(
      MultiRenameItems({"/d/a", "/d/b", "/d/c"}, {"/e/a", "/d/b", "/e/c\xE9"}, rename, outcome));
  EXPECT_EQ(renamed, (TNames{"/e/a", "/e/c\xE9"}));
  EXPECT_EQ(outcome.Renamed, 2u);
}

} // namespace
} // namespace cv
