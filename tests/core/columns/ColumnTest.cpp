#include "columns/Column.h"

#include "AllocationCounter.h"
#include "TestSupport.h"
#include "columns/History.h"
#include "filesystem/DirectoryReader.h"
#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/BusyCount.h"
#include "foundation/MyTime.h"
#include "foundation/OffThread.h"

#include "StallMeter.h"
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <type_traits>

namespace cv {
namespace {

namespace fs = std::filesystem;

class ColumnTest : public ::testing::Test {
protected:
  void SetUp() override {
    ProgramFileExtensions.SetText(".exe\n.sh");
    DocumentFileExtensions.SetText(".txt\n.pdf");
    BusyCount.Reset();
    FunStatContext.Reset(fsPerfect);
    Column.GroupOptions = TGroupOptions();
    Column.List.SetSize(200, 2 * 5 + 20 * 15); // 20 visible rows
  }

  // A file with a size and a modification time (seconds since 1970).
  void MakeFile(const std::string& name, size_t size, time_t mtime = 1000000000) {
    const std::string title = Dir.Path + "/" + name;
    std::ofstream(title, std::ios::binary) << std::string(size, 'x');
    const timeval times[2] = {{mtime, 0}, {mtime, 0}};
    ::utimes(title.c_str(), times);
  }
  void MakeDir(const std::string& name) { fs::create_directories(Dir.Path + "/" + name); }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const TFileListData& item : Column.Items)
      names.push_back(GetTitleName(item.Title));
    return names;
  }

  void Load(const std::string& sortMode = "Name") {
    Column.SortMode = sortMode;
    Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/");
  }

  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  TColumn Column{0};
};

TEST_F(ColumnTest, GroupsAndSortModes) {
  MakeDir("beta");
  MakeDir("Alpha");
  MakeFile("zeta.txt", 30, 3000);
  MakeFile("able.txt", 10, 1000);
  MakeFile("run.exe", 5, 2000);
  MakeFile("go.desktop", 1, 500);
  MakeFile("b.bin", 20, 4000);
  MakeFile("A.bin", 20, 100);
  MakeFile("c.bin", 7, 4000);

  struct TCase {
    std::string Mode;
    TGroupOptions Options;
    std::vector<std::string> Expected;
  };
  TGroupOptions separate; // the defaults: every group separate, dirs first
  TGroupOptions dirsAtEnd;
  dirsAtEnd.DirsAtEnd = true;
  TGroupOptions common;
  common.SeparateDirs = common.SeparateLinks = common.SeparateProgs = common.SeparateDocs = false;
  TGroupOptions hidden;
  hidden.ShowFilesGroup = false;
  const TCase table[] = {
      {"Name",
       separate,
       {"Alpha", "beta", "go.desktop", "run.exe", "able.txt", "zeta.txt", "A.bin", "b.bin",
        "c.bin"}},
      {"Name",
       dirsAtEnd,
       {"go.desktop", "run.exe", "able.txt", "zeta.txt", "A.bin", "b.bin", "c.bin", "Alpha",
        "beta"}},
      {"Name",
       common,
       {"A.bin", "able.txt", "Alpha", "b.bin", "beta", "c.bin", "go.desktop", "run.exe",
        "zeta.txt"}},
      {"Name", hidden, {"Alpha", "beta", "go.desktop", "run.exe", "able.txt", "zeta.txt"}},
      // Equal sizes order by title bytes: "A.bin" before "b.bin".
      {"Size, big-small",
       separate,
       {"Alpha", "beta", "go.desktop", "run.exe", "zeta.txt", "able.txt", "A.bin", "b.bin",
        "c.bin"}},
      {"Size, small-big",
       separate,
       {"Alpha", "beta", "go.desktop", "run.exe", "able.txt", "zeta.txt", "c.bin", "A.bin",
        "b.bin"}},
      {"Modified, new-old",
       separate,
       {"Alpha", "beta", "go.desktop", "run.exe", "zeta.txt", "able.txt", "b.bin", "c.bin",
        "A.bin"}},
      {"Modified, old-new",
       separate,
       {"Alpha", "beta", "go.desktop", "run.exe", "able.txt", "zeta.txt", "A.bin", "b.bin",
        "c.bin"}},
      // An unknown mode sorts by name and is kept as it was stored.
      {"Sideways",
       separate,
       {"Alpha", "beta", "go.desktop", "run.exe", "able.txt", "zeta.txt", "A.bin", "b.bin",
        "c.bin"}},
  };
  for (const TCase& c : table) {
    Column.GroupOptions = c.Options;
    Load(c.Mode);
    EXPECT_EQ(Names(), c.Expected) << c.Mode;
    EXPECT_EQ(Column.SortMode, c.Mode);
    // Counters count everything, shown or not.
    EXPECT_EQ(Column.DirsCount, 2);
    EXPECT_EQ(Column.LinksCount, 1);
    EXPECT_EQ(Column.ProgsCount, 1);
    EXPECT_EQ(Column.DocsCount, 2);
    EXPECT_EQ(Column.GenericCount, 3);
    EXPECT_EQ(Column.TotalSize, 30 + 10 + 5 + 1 + 20 + 20 + 7);
    EXPECT_EQ(Column.List.CheckInvariant(), "");
  }
}

TEST_F(ColumnTest, CreatedModesUseTheBirthOrModificationTime) {
  // Made in the order c, a, b, modified in the order b, c, a: birth order,
  // modification order and name order all differ.
  for (const auto& [name, mtime] : {std::pair{"c.bin", 2000}, {"a.bin", 3000}, {"b.bin", 1000}}) {
    MakeFile(name, 1, mtime);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  struct statx facts {};
  ASSERT_EQ(::statx(AT_FDCWD, (Dir.Path + "/a.bin").c_str(), 0, STATX_BTIME, &facts), 0);
  const bool births = (facts.stx_mask & STATX_BTIME) != 0;
  struct TCase {
    std::string Mode;
    std::vector<std::string> WithBirths, WithoutBirths;
  };
  const TCase cases[] = {
      {"Created, new-old", {"b.bin", "a.bin", "c.bin"}, {"a.bin", "c.bin", "b.bin"}},
      {"Created, old-new", {"c.bin", "a.bin", "b.bin"}, {"b.bin", "c.bin", "a.bin"}},
  };
  for (const TCase& c : cases) {
    Load(c.Mode);
    EXPECT_EQ(Names(), births ? c.WithBirths : c.WithoutBirths) << c.Mode;
    ASSERT_EQ(Column.Count(), 3);
    EXPECT_GT(Column.Items[0].Created, 0);
    EXPECT_EQ(Column.ActiveKey, Column.Items[0].Created);
  }
}

// Execute bits make programs in a listing and in a list of titles alike; a
// document stays a document and a desktop entry a link whatever their bits.
TEST_F(ColumnTest, ExecutableFilesArePrograms) {
  struct {
    const char* Name;
    fs::perms Mode;
    int Type;
  } const cases[] = {
      {"tool", fs::perms::owner_all, fltProgram},
      {"group-only", fs::perms::owner_read | fs::perms::group_exec, fltProgram},
      {"plain", fs::perms::owner_read | fs::perms::owner_write, fltGeneric},
      {"run.sh", fs::perms::owner_read, fltProgram},
      {"notes.txt", fs::perms::owner_all, fltDocument},
      {"start.Desktop", fs::perms::owner_all, fltLink},
  };
  std::vector<std::string> titles;
  for (const auto& c : cases) {
    MakeFile(c.Name, 1);
    fs::permissions(Dir.Path + "/" + c.Name, c.Mode);
    titles.push_back(Dir.Path + "/" + c.Name);
  }
  fs::create_symlink("tool", Dir.Path + "/link-to-tool");
  Load();
  for (const auto& c : cases) {
    const auto item = std::find_if(Column.Items.begin(), Column.Items.end(),
                                   [&](const auto& i) { return GetTitleName(i.Title) == c.Name; });
    ASSERT_NE(item, Column.Items.end()) << c.Name;
    EXPECT_EQ(item->Type, c.Type) << c.Name;
  }
  const auto link = std::find_if(Column.Items.begin(), Column.Items.end(), [](const auto& i) {
    return GetTitleName(i.Title) == "link-to-tool";
  });
  ASSERT_NE(link, Column.Items.end());
  EXPECT_EQ(link->Type, fltProgram);
  Column.SetWithList(titles, false);
  ASSERT_EQ(Column.Count(), static_cast<int>(std::size(cases)));
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(Column.Items[i].Type, cases[i].Type) << cases[i].Name;
}

TEST_F(ColumnTest, HiddenFilesGroupIsCountedAndSaidInTheHint) {
  MakeFile("a.bin", 1);
  MakeFile("b.txt", 1);
  TGroupOptions options;
  options.ShowFilesGroup = false;
  Column.GroupOptions = options;
  Load();
  EXPECT_EQ(Names(), std::vector<std::string>{"b.txt"});
  Column.ShowInfo();
  EXPECT_EQ(Column.Info.Files.Caption, "Files 2");
  EXPECT_EQ(Column.Info.Files.Hint,
            "Active column. Files count (total number of files): Files 2 (Directories 0; Links 0; "
            "Programs 0; Documents 1; Invisible 1)");
}

TEST_F(ColumnTest, EmptyDirectoryShowsItsHeaderAndGenericType) {
  MakeDir("empty");
  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/empty/");
  EXPECT_EQ(Column.Count(), 0);
  EXPECT_EQ(Column.ActiveType, fltGeneric);
  EXPECT_EQ(Column.HeaderCaption, Dir.Path + "/empty");
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/empty/");
  EXPECT_EQ(Column.List.CheckInvariant(), "");
}

TEST_F(ColumnTest, FocusFollowsTheTitleAndFallsToTheFreedPlace) {
  for (const char* name : {"a.bin", "c.bin", "e.bin", "g.bin"})
    MakeFile(name, 1);
  Column.LoadDirectory(false, -1, 0, 2, fltGeneric, Dir.Path + "/e.bin");
  EXPECT_EQ(Column.List.FocusIndex(), 2);
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/e.bin");

  // Deleted outside the program: the focus goes where it stood.
  fs::remove(Dir.Path + "/e.bin");
  Column.LoadDirectory(false);
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/g.bin");
  EXPECT_EQ(Column.List.CheckInvariant(), "");

  // Exact bytes win over a case-insensitive match.
  MakeFile("G.bin", 1);
  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/g.bin");
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/g.bin");
  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/G.bin");
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/G.bin");
}

TEST_F(ColumnTest, FocusPlaceInAKeyModeFollowsTheKey) {
  MakeFile("big.bin", 300);
  MakeFile("mid.bin", 200);
  MakeFile("small.bin", 100);
  Column.SortMode = "Size, big-small";
  Column.LoadDirectory(false, -1, 250, 0, fltGeneric, Dir.Path + "/gone.bin");
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/mid.bin");
}

TEST_F(ColumnTest, BrokenDirectoryClimbsToItsParentWithOneError) {
  MakeFile("plain.bin", 3);
  MakeFile("other.bin", 3);
  // A file taken for a directory cannot be listed.
  Column.LoadDirectory(true, -1, std::nullopt, std::nullopt, std::nullopt,
                       Dir.Path + "/plain.bin/inner");
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/plain.bin");
  EXPECT_EQ(Column.Count(), 2);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0].Description, "Failed to first find file.");
  EXPECT_NE(Ui.Errors[0].Report.find("* Parameter 1: \"" + Dir.Path + "/plain.bin/*\""),
            std::string::npos);
  EXPECT_EQ(BusyCount.Value(), 0);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
}

TEST_F(ColumnTest, UnreadableDirectoryClimbs) {
  MakeDir("locked");
  fs::permissions(Dir.Path + "/locked", fs::perms::none);
  EXPECT_EQ(test::RunUnprivileged({Dir.Path},
                                  [&]() -> std::string {
                                    Column.LoadDirectory(true, -1, std::nullopt, std::nullopt,
                                                         std::nullopt, Dir.Path + "/locked/x");
                                    if (Column.ActiveTitle != Dir.Path + "/locked")
                                      return "climbed to " + Column.ActiveTitle;
                                    if (Ui.Errors.size() != 1u)
                                      return "errors shown: " + std::to_string(Ui.Errors.size());
                                    return {};
                                  }),
            "");
}

TEST_F(ColumnTest, PartitionsListFocusesThePartition) {
  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, ":/");
  ASSERT_GT(Column.Count(), 0);
  EXPECT_EQ(Column.ActiveTitle, ":/");
  EXPECT_EQ(Column.HeaderCaption, "");
  // The partitions, then the trash.
  EXPECT_EQ(Column.Items.back().Title, TrashTitle);
  for (const TFileListData& item : Column.Items) {
    if (&item != &Column.Items.back()) EXPECT_TRUE(IsPartitionTitle(item.Title)) << item.Title;
    EXPECT_EQ(item.Type, fltDirectory);
  }
  // Up from the root directory reaches the partitions list.
  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, "/tmp");
  EXPECT_EQ(Column.HeaderCaption, "/");
  Column.ParentDirectory();
  EXPECT_EQ(Column.ActiveTitle, ":/");
}

TEST_F(ColumnTest, NamesThatAreNotUtf8AreListedByteForByte) {
  const std::string name = "bad\xff\xfe.bin";
  MakeFile(name, 4);
  Load();
  ASSERT_EQ(Column.Count(), 1);
  EXPECT_EQ(Column.Items[0].Title, Dir.Path + "/" + name);
  EXPECT_EQ(Column.Items[0].Size, 4);
}

TEST_F(ColumnTest, BrokenLinkIsAGenericFileAndLinkToDirectoryIsADirectory) {
  MakeDir("target");
  fs::create_symlink(Dir.Path + "/target", Dir.Path + "/to-dir");
  fs::create_symlink(Dir.Path + "/nowhere", Dir.Path + "/broken");
  Load();
  EXPECT_EQ(Names(), (std::vector<std::string>{"target", "to-dir", "broken"}));
  EXPECT_EQ(Column.Items[1].Type, fltDirectory);
  EXPECT_EQ(Column.Items[2].Type, fltGeneric);
}

TEST_F(ColumnTest, SetWithListKeepsOrderAndMarksMissingItems) {
  MakeFile("one.txt", 5);
  MakeDir("sub");
  const std::vector<std::string> titles{Dir.Path + "/sub", Dir.Path + "/missing.txt",
                                        Dir.Path + "/one.txt"};
  Column.SetWithList(titles, true);
  ASSERT_EQ(Column.Count(), 3);
  EXPECT_EQ(Column.Items[0].Type, fltDirectory);
  EXPECT_FALSE(Column.Items[1].Exists);
  EXPECT_EQ(Column.Items[1].Size, 0);
  EXPECT_EQ(Column.Items[2].Size, 5);
  EXPECT_EQ(Column.SelCount, 3);
  EXPECT_EQ(Column.SelSize, 5);
  EXPECT_EQ(FunStatContext.Status, fsPerfect) << "a missing item is not an error";
}

TEST_F(ColumnTest, SetWithColumnKeepsItsOwnFocus) {
  for (const char* name : {"a.bin", "b.bin", "c.bin"})
    MakeFile(name, 1);
  TColumn other(1);
  other.GroupOptions = TGroupOptions();
  other.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/a.bin");
  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/c.bin");
  MakeFile("d.bin", 1);
  other.LoadDirectory(false);
  Column.SetWithColumn(other);
  EXPECT_EQ(Column.Count(), 4);
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/c.bin");
  EXPECT_EQ(other.ActiveTitle, Dir.Path + "/a.bin");
}

TEST_F(ColumnTest, HistoryRemembersTheFocusPerDirectory) {
  THistory history;
  Column.History = &history;
  MakeDir("sub");
  for (const char* name : {"sub/x.bin", "sub/y.bin", "sub/z.bin"})
    MakeFile(name, 1);
  Column.EnterDirectory(Dir.Path + "/sub");
  Column.FocusByIndex(2, 0);
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/sub/z.bin");
  Column.ParentDirectory();
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/sub");
  EXPECT_EQ(Column.ActiveType, fltDirectory);
  Column.EnterDirectory(Dir.Path + "/sub");
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/sub/z.bin") << "the remembered file is focused again";
  // Previous directory toggles back.
  Column.PreviousDirectory();
  EXPECT_EQ(GetTitlePath(Column.ActiveTitle), Dir.Path + "/");
}

TEST_F(ColumnTest, ParentOfAVanishedDirectoryFocusesItAsADirectory) {
  MakeDir("gone");
  MakeDir("keep");
  MakeFile("file.bin", 1);
  MakeFile("gone/in.bin", 1);
  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                       Dir.Path + "/gone/in.bin");
  fs::remove_all(Dir.Path + "/gone");
  Column.ParentDirectory();
  // It stood among the directories; the focus stays in that group.
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/keep");
}

// The list state's focus callback points at its column.
static_assert(!std::is_copy_constructible_v<TColumn> && !std::is_copy_assignable_v<TColumn> &&
              !std::is_move_constructible_v<TColumn> && !std::is_move_assignable_v<TColumn>);

TEST_F(ColumnTest, BusyCounterReturnsToZeroEvenWhenTheBodyThrows) {
  int busyAtThrow = -1;
  Column.OnActiveFileChanged = [&] {
    busyAtThrow = BusyCount.Value();
    throw std::runtime_error("owner broke");
  };
  MakeFile("a.bin", 1);
  Load();
  EXPECT_EQ(busyAtThrow, 1) << "the load runs busy";
  EXPECT_EQ(BusyCount.Value(), 0);
  EXPECT_EQ(Names(), std::vector<std::string>{"a.bin"}) << "the listing survives the owner";
}

// Lists through the kernel reader, running `between` after the entry
// numbered `after`.
TDirectoryEntrySink Interrupted(const TDirectoryEntrySink& sink, int after,
                                const std::function<void()>& between) {
  auto seen = std::make_shared<int>(0);
  return [=](std::string_view name, const TFileInfo* info) {
    sink(name, info);
    if ((*seen)++ == after) between();
  };
}

TEST_F(ColumnTest, AFileCreatedWhileListingIsReported) {
  for (const char* name : {"a.bin", "b.bin", "c.bin"})
    MakeFile(name, 1);
  Column.Services.ListDirectory = [&](const std::string& path, const TDirectoryEntrySink& sink,
                                      bool* opened) {
    return ReadDirectory(path, Interrupted(sink, 0, [&] { MakeFile("late.bin", 1); }), opened);
  };
  Load();
  EXPECT_TRUE(Column.DirMonitor.Next()) << "the file made during the read";
  EXPECT_FALSE(Column.DirMonitor.Next());
}

// The guess that a listing reserves from comes before the first entry and
// holds every entry, so the column never grows its vector on this disk.
TEST_F(ColumnTest, TheReaderGuessesEnoughEntriesBeforeTheFirst) {
  for (int i = 0; i < 3000; ++i)
    MakeFile("entry-" + std::to_string(i) + ".bin", 0);
  size_t guess = 0;
  size_t seen = 0;
  bool guessFirst = false;
  ASSERT_EQ(ReadDirectory(
                Dir.Path, [&](std::string_view, const TFileInfo*) { ++seen; }, nullptr,
                [&](size_t count) {
                  guess = count;
                  guessFirst = seen == 0;
                }),
            0);
  EXPECT_EQ(seen, 3000u);
  EXPECT_TRUE(guessFirst);
  EXPECT_GE(guess, seen);
  EXPECT_LE(ExpectedEntryCount(UINT64_MAX), size_t{1} << 21);
}

TEST_F(ColumnTest, AReadThatBreaksOffKeepsWhatWasReadAndStays) {
  for (const char* name : {"d.bin", "c.bin", "b.bin", "a.bin"})
    MakeFile(name, 1);
  Column.Services.ListDirectory = [](const std::string&, const TDirectoryEntrySink& sink,
                                     bool* opened) {
    *opened = true;
    TFileInfo info;
    sink("d.bin", &info);
    sink("b.bin", &info);
    return EIO;
  };
  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/b.bin");
  EXPECT_EQ(Names(), (std::vector<std::string>{"b.bin", "d.bin"}));
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/b.bin");
  EXPECT_EQ(Column.GenericCount, 2);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0].Description, "Failed to find next file.");
  EXPECT_NE(Ui.Errors[0].Report.find("* Parameter 1: \"" + Dir.Path + "/\""), std::string::npos);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
}

TEST_F(ColumnTest, ClimbingShowsOneFailureAndStopsOnCancel) {
  MakeFile("plain.bin", 3);
  struct TCase {
    const char* Name;
    bool Continue, NoMoreErrors;
    std::string Expected;
  };
  const TCase cases[] = {
      {"okay", true, false, Dir.Path + "/plain.bin"},
      {"okay (no errors)", true, true, Dir.Path + "/plain.bin"},
      {"cancel", false, false, Dir.Path + "/plain.bin/a/b"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Ui.Errors.clear();
    Ui.ErrorAnswerContinue = c.Continue;
    Ui.ErrorAnswerNoMoreErrors = c.NoMoreErrors;
    // Two levels fail ("plain.bin" is a file) before a readable one.
    Column.LoadDirectory(true, -1, std::nullopt, std::nullopt, std::nullopt,
                         Dir.Path + "/plain.bin/a/b");
    EXPECT_EQ(Column.ActiveTitle, c.Expected);
    ASSERT_EQ(Ui.Errors.size(), 1u);
    EXPECT_EQ(Ui.Errors[0].Description, "Failed to first find file.");
  }
}

TEST_F(ColumnTest, DirectoriesDeeperThanPathMaxAreListedFocusedAndWatched) {
  for (const size_t length : {size_t{6000}, size_t{8000}}) {
    SCOPED_TRACE(length);
    const test::TDeepDirectory deep(
        Dir.Path, test::TDeepDirectory::ComponentsToLength(Dir.Path.size(), length));
    ASSERT_TRUE(deep.Built());
    ASSERT_EQ(deep.Title.size(), length);
    ASSERT_TRUE(deep.MakeFile("a.bin") && deep.MakeFile("b.bin"));
    Ui.Errors.clear();
    Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                         deep.Title + "/b.bin");
    EXPECT_TRUE(Ui.Errors.empty()) << Ui.Errors.front().Description;
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.bin", "b.bin"}));
    EXPECT_EQ(Column.ActiveTitle, deep.Title + "/b.bin");
    EXPECT_EQ(Column.List.FocusIndex(), 1);
    EXPECT_TRUE(Column.DirMonitor.Watching());
    EXPECT_FALSE(Column.DirMonitor.Next());
    ASSERT_TRUE(deep.MakeFile("c.bin"));
    EXPECT_TRUE(Column.DirMonitor.Next());
    Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/");
  }
}

TEST_F(ColumnTest, ContainerModeShowsItsCaptionAndReturnsToThePreviousTitle) {
  MakeFile("a.bin", 1);
  MakeFile("b.bin", 1);
  const std::vector<std::string> titles{Dir.Path + "/b.bin", Dir.Path + "/missing",
                                        Dir.Path + "/a.bin"};
  std::string name = "Work";
  Column.ContainerName = [&](int index) { return index == 2 ? name : std::string("?"); };
  Column.ContainerItems = [&](int index, std::vector<std::string>& items,
                              std::vector<int>& values) {
    if (index != 2) return false;
    items = titles;
    values = {7, 8, 9};
    return true;
  };
  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/b.bin");
  struct TCase {
    std::string Name, Caption;
  };
  const TCase cases[] = {{"Work", "Container \"Work (3)\""}, {"", "Container \"3\""}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    name = c.Name;
    Column.LoadDirectory(false, 2);
    EXPECT_EQ(Column.ContainerIndex, 2);
    EXPECT_FALSE(Column.ShowsDirectory());
    EXPECT_EQ(Column.HeaderCaption, c.Caption);
    EXPECT_EQ(Column.PreviousTitle, Dir.Path + "/b.bin");
    ASSERT_EQ(Column.Count(), 3);
    for (size_t i = 0; i < titles.size(); ++i) {
      EXPECT_EQ(Column.Items[i].Title, titles[i]) << "kept in container order";
      EXPECT_EQ(Column.Items[i].ContainerData, 7 + static_cast<int>(i));
    }
    EXPECT_FALSE(Column.Items[1].Exists);
    Column.FocusByIndex(2, 0);
    EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/a.bin");
    // Back to the directory: the title shown before the container is focused again.
    Column.LoadDirectory(false, -1);
    EXPECT_EQ(Column.ContainerIndex, -1);
    EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/b.bin");
    EXPECT_EQ(Column.HeaderCaption, Dir.Path);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.bin", "b.bin"}));
  }
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(ColumnTest, ShowInfoFillsEveryField) {
  MakeFile("a.bin", 3);
  MakeFile("b.txt", 5, 1000000000);
  Column.Services.StreamsInfo = [](const std::string&, int& count, uint64_t& size) {
    count = 2;
    size = 7;
    return true;
  };
  Column.Services.ReadDescription = [](const std::string&) { return std::string("one\ntwo"); };
  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/b.txt");
  Column.SelCount = 1;
  Column.SelSize = 5;
  Column.ShowInfo();
  TFileInfo facts;
  ASSERT_TRUE(facts.Load(Dir.Path + "/b.txt"));
  const TColumnInfo& info = Column.Info;
  const std::string file =
      "Active file (information is extracted every time the active file is set). ";
  const std::string column =
      "Active column (information is extracted every time the active file is set). ";
  struct TCase {
    const char* Name;
    const TInfoField& Field;
    std::string Caption, HintStart;
  };
  const TCase cases[] = {
      {"files", info.Files, "Files 2",
       "Active column. Files count (total number of files): Files 2"},
      {"encrypted", info.Encrypted, "Encrypted 0", "Active column. Encrypted files count: "},
      {"selected", info.SelNum, "SelNum 1", "Active column. Selected files count: "},
      {"selected size", info.SelSz, "SelSz " + GetSizeText(6, 0, 5),
       "Active column. Selected files size (only the size of the main stream is used): "},
      {"total size", info.TotalSz, "TotalSz " + GetSizeText(6, 0, 8),
       "Active column. Total file size (only the size of the main stream is used): "},
      {"index", info.Index, "Index 1", file + "Index in column: "},
      {"size", info.Size, "Sz " + GetSizeText(6, 0, 5) + " (" + GetSizeText(6, 0, 7) + ")",
       file + "Size of main stream (size of all secondary streams)"},
      {"attributes", info.Attr, "Attr none", file + "Attributes (A = archive;"},
      {"hard links", info.HardLinks, "HL 1", file + "Hard-links count: "},
      {"streams", info.Streams, "SC 2", file + "Streams count (except the main stream)"},
      {"title", info.Title, "Title \"" + Dir.Path + "/b.txt\"", file + "Title: "},
      {"modified", info.Modified,
       "Mod " + ShortDateText(facts.Modified) + "; " + LongTimeText(facts.Modified),
       file + "Last modification time (irrelevant for directories): "},
      {"description", info.Description, "Desc \"onetwo\"", file + "Description (to add"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(c.Field.Caption, c.Caption);
    EXPECT_EQ(c.Field.Hint.rfind(c.HintStart, 0), 0u) << c.Field.Hint;
    EXPECT_NE(c.Field.Hint.find(c.Field.Caption), std::string::npos) << c.Field.Hint;
  }
  // The partition fields name the sizes and flags of the partition.
  EXPECT_EQ(info.PartSz.Caption.rfind("PartSz ", 0), 0u);
  EXPECT_EQ(info.PartSz.Hint, column + "Partition size (free, total): " + info.PartSz.Caption);
  EXPECT_EQ(info.PartAttr.Caption.rfind("PartAttr ", 0), 0u);
  EXPECT_EQ(info.PartAttr.Hint.rfind(column + "Partition supports attributes", 0), 0u);
}

TEST(SizeSumTest, SumsStopAtTheLimitsInsteadOfWrapping) {
  const struct {
    int64_t Total, Size, Sum;
  } cases[] = {
      {0, 0, 0},
      {40, 2, 42},
      {INT64_MAX - 1, 1, INT64_MAX},
      {INT64_MAX, 1, INT64_MAX},
      {INT64_MAX, INT64_MAX, INT64_MAX},
      {INT64_MAX, -1, INT64_MAX - 1},
      {INT64_MIN, -1, INT64_MIN},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AddSizes(c.Total, c.Size), c.Sum) << c.Total << " + " << c.Size;
}

// Sparse files on tmpfs may each claim 8 EiB: two of them must not wrap the
// total or the selection size into a negative or absurd figure.
TEST_F(ColumnTest, SizesOfHugeSparseFilesSaturate) {
  const std::string dir = "/dev/shm/corvantide-sums-" + std::to_string(::getpid());
  struct TRemove {
    std::string Path;
    ~TRemove() { fs::remove_all(Path); }
  } remove{dir};
  if (::mkdir(dir.c_str(), 0700) != 0)
    GTEST_SKIP() << "no tmpfs at /dev/shm: " << std::strerror(errno);
  std::vector<std::string> titles;
  for (const char* name : {"huge1.bin", "huge2.bin"}) {
    titles.push_back(dir + "/" + name);
    const int fd = ::open(titles.back().c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const bool sized = fd >= 0 && ::ftruncate(fd, INT64_MAX) == 0;
    const int error = errno;
    if (fd >= 0) ::close(fd);
    if (!sized) GTEST_SKIP() << "cannot make an 8 EiB sparse file: " << std::strerror(error);
  }
  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, dir + "/");
  ASSERT_EQ(Column.Count(), 2);
  EXPECT_EQ(Column.TotalSize, INT64_MAX);
  Column.SetWithList(titles, true);
  EXPECT_EQ(Column.TotalSize, INT64_MAX);
  EXPECT_EQ(Column.SelSize, INT64_MAX);
  Column.ShowInfo();
  EXPECT_EQ(Column.Info.TotalSz.Caption, "TotalSz 8.0 EB");
  EXPECT_EQ(Column.Info.SelSz.Caption, "SelSz 8.0 EB");
}

// Focusing by title walks every item; that walk must not allocate, so a
// long list costs no more allocations than a short one.
TEST_F(ColumnTest, FocusByTitleAllocatesNothingPerItem) {
  const auto allocationsFor = [&](int count) {
    std::vector<std::string> titles;
    for (int i = 0; i < count; ++i)
      titles.push_back(Dir.Path + "/a-rather-long-item-name-" + std::to_string(100000 + i) +
                       ".bin");
    Column.SetWithList(titles, false);
    // Only a case-blind match, then no match at all (the place in the list).
    const std::string sameName =
        Dir.Path + "/A-RATHER-LONG-ITEM-NAME-" + std::to_string(100000 + count - 1) + ".BIN";
    const std::string missing = Dir.Path + "/zz-not-listed-anywhere-at-all.bin";
    long allocations = 0;
    {
      test::TAllocationCounter counter;
      Column.FocusByTitle(sameName, fltGeneric, false, "Name", 0, 0);
      Column.FocusByTitle(missing, fltGeneric, true, "Name", 0, 0);
      allocations = counter.Count();
    }
    EXPECT_EQ(Column.ActiveTitle, titles.back()) << count;
    return allocations;
  };
  allocationsFor(100); // the first use sets up the collator
  const long few = allocationsFor(100);
  EXPECT_EQ(allocationsFor(2000), few);
}

using test::LongestStall;

TEST_F(ColumnTest, ACancelledListingLeavesTheColumnAsItWas) {
  MakeFile("a.bin", 1);
  MakeFile("b.bin", 2);
  MakeDir("sub");
  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/b.bin");
  Column.PreviousTitle = "/elsewhere/x";
  Column.SelectItem(0);
  const std::vector<std::string> names = Names();
  const int selected = Column.SelCount;
  // A directory that answers only once the wait is over.
  auto release = std::make_shared<std::atomic<bool>>(false);
  Column.Services.ListDirectory = [release](const std::string& path,
                                            const TDirectoryEntrySink& sink, bool* opened) {
    while (!*release)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return ReadDirectory(path, sink, opened);
  };
  bool noticed = false;
  QTimer::singleShot(400, [&] {
    noticed = Column.List.Loading();
    ASSERT_NE(TWait::Current(), nullptr);
    TWait::Current()->Cancel();
    *release = true;
  });
  Column.EnterDirectory(Dir.Path + "/sub");
  EXPECT_TRUE(noticed) << "the list shows that it is loading";
  EXPECT_FALSE(Column.List.Loading());
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/b.bin");
  EXPECT_EQ(Column.PreviousTitle, "/elsewhere/x");
  EXPECT_EQ(Names(), names);
  EXPECT_EQ(Column.SelCount, selected);
  EXPECT_EQ(Column.DirMonitor.Title(), Dir.Path + "/");
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
}

// A directory of a million entries that comes slowly: the thread that
// paints is never held for long, before, during or after the reading.
TEST_F(ColumnTest, AMillionEntriesReadSlowlyNeverStallTheWindowsThread) {
  constexpr int Entries = 1000000;
  Column.Services.ListDirectory = [](const std::string&, const TDirectoryEntrySink& sink,
                                     bool* opened) {
    *opened = true;
    TFileInfo info;
    char name[32];
    for (int i = 0; i < Entries; ++i) {
      if (i % 50000 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      std::snprintf(name, sizeof name, "f%07lld.bin", (i * 7919LL) % Entries);
      info.Size = static_cast<uint64_t>(i);
      sink(name, &info);
    }
    return 0;
  };
  const qint64 stall = LongestStall([&] { Load("Size, big-small"); });
  ASSERT_EQ(Column.Count(), Entries);
  EXPECT_EQ(Column.Items.front().Size, Entries - 1);
  // The window's limit, as for every other stall: a loaded machine can keep the
  // thread from its core for a few tens of milliseconds by itself.
  EXPECT_LT(stall, 100 * test::TimeScale);
}

// The partitions list is read on a worker; its failure reaches the window's
// thread and is shown there, once.
TEST_F(ColumnTest, AFailedPartitionsListIsShownFromTheWorker) {
  const TPartitionSources saved = PartitionSources();
  PartitionSources().MountInfoTitle = Dir.Path + "/no-such-mountinfo";
  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, ":/");
  PartitionSources() = saved;
  EXPECT_EQ(Column.Count(), 0);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0].Description, "Failed to read mount table.");
}

} // namespace
} // namespace cv

namespace cv {
namespace {

TEST_F(ColumnTest, TheTrashIsAColumnBelowThePartitionsListSortedLikeAnyOther) {
  const char* saved = std::getenv("XDG_DATA_HOME");
  const std::string restore = saved ? saved : "";
  ::setenv("XDG_DATA_HOME", (Dir.Path + "/data").c_str(), 1);
  const std::string trash = Dir.Path + "/data/Trash";
  fs::create_directories(trash + "/files");
  fs::create_directories(trash + "/info");
  const std::string odd = "b\xff.txt";
  std::ofstream(trash + "/files/small.txt") << "1";
  std::ofstream(trash + "/files/" + odd) << "12345";
  std::ofstream(trash + "/info/small.txt.trashinfo")
      << "[Trash Info]\nPath=/old/small.txt\nDeletionDate=2026-03-04T05:06:07\n";
  std::ofstream(trash + "/info/" + odd + ".trashinfo")
      << "[Trash Info]\nPath=/old/b%FF.txt\nDeletionDate=2026-03-04T05:06:08\n";
  MakeFile("here.bin", 1);

  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/here.bin");
  Column.SortMode = "Size, big-small";
  Column.EnterDirectory(std::string(TrashTitle));
  EXPECT_TRUE(Column.ShowsTrash);
  EXPECT_FALSE(Column.ShowsDirectory());
  EXPECT_EQ(Column.HeaderCaption, "Trash");
  // The partitions' own trash directories may hold items of the machine.
  std::vector<int> ours;
  for (int i = 0; i < Column.Count(); ++i)
    if (Column.Items[static_cast<size_t>(i)].Title.starts_with(trash)) ours.push_back(i);
  ASSERT_EQ(ours.size(), 2u);
  EXPECT_LT(ours[0], ours[1]);
  EXPECT_EQ(GetTitleName(Column.Items[static_cast<size_t>(ours[0])].Title), odd) << "larger first";
  const TTrashEntry* entry = Column.TrashEntryOf(Column.Items[static_cast<size_t>(ours[0])]);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->OriginalTitle, "/old/b\xff.txt");
  Column.FocusByIndex(ours[1], 0);
  Column.ShowInfo();
  EXPECT_EQ(Column.Info.Title.Caption, "Title \"/old/small.txt\"");
  EXPECT_EQ(Column.Info.Description.Caption, "Deleted 2026-03-04 05:06:07");

  // A reload keeps the trash and its focus; up leaves it for the partitions
  // list with the trash focused.
  Column.LoadDirectory(false);
  EXPECT_TRUE(Column.ShowsTrash);
  EXPECT_EQ(GetTitleName(Column.ActiveTitle), "small.txt");
  Column.ParentDirectory();
  EXPECT_FALSE(Column.ShowsTrash);
  EXPECT_EQ(Column.ActiveTitle, TrashTitle);
  EXPECT_EQ(Column.ShownPath(), "");

  // Back from the trash to where it was opened.
  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/here.bin");
  Column.EnterDirectory(std::string(TrashTitle));
  Column.LoadDirectory(false, -1);
  EXPECT_FALSE(Column.ShowsTrash);
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/here.bin");
  ::setenv("XDG_DATA_HOME", restore.c_str(), 1);
}

} // namespace
} // namespace cv
