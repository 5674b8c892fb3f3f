#include "columns/DirMonitorCheck.h"

#include "TestSupport.h"
#include "columns/Column.h"
#include "filesystem/DirectoryReader.h"
#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/BusyCount.h"
#include "foundation/Program.h"
#include "options/ProgramOptions.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

namespace cv {
namespace {

class DirMonitorCheckTest : public ::testing::Test {
protected:
  void SetUp() override {
    SavedOptions = ProgramOptions;
    BusyCount.Reset();
    for (TColumn* column : {&A, &B}) {
      column->GroupOptions = TGroupOptions();
      column->List.SetSize(200, 310);
      column->Busy = &Busy;
      column->LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/");
    }
    Columns = {&A, &B};
    // Whatever partition the temporary directory is on, it is polled.
    State.Polled = [](const std::string&) { return true; };
  }
  void TearDown() override { ProgramOptions = SavedOptions; }
  void Touch(const std::string& name, size_t size = 1) {
    std::ofstream(Dir.Path + "/" + name) << std::string(size, 'x');
  }
  // Counts the reads of a column's directory.
  void CountReads(TColumn& column, int& reads) {
    column.Services.ListDirectory = [&reads](const std::string& path,
                                             const TDirectoryEntrySink& sink, bool* opened) {
      ++reads;
      return ReadDirectory(path, sink, opened);
    };
  }
  static std::vector<std::string> Names(const TColumn& column) {
    std::vector<std::string> names;
    for (const TFileListData& item : column.Items)
      names.push_back(GetTitleName(item.Title));
    return names;
  }

  static std::vector<std::string> SelectedNames(const TColumn& column) {
    std::vector<std::string> names;
    for (const TFileListData& item : column.Items)
      if (item.Selected) names.push_back(GetTitleName(item.Title));
    return names;
  }

  TProgramOptions SavedOptions;
  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  TBusyCounter Busy;
  TDirMonitorCheckState State;
  TColumn A{0}, B{1};
  std::vector<TColumn*> Columns;
};

TEST_F(DirMonitorCheckTest, UnforcedCheckMarksButDoesNotReload) {
  ProgramOptions.ReloadChangedDirectories = false;
  Touch("new.bin");
  EXPECT_TRUE(CheckDirMonitor(Columns, false, true, State, Busy));
  EXPECT_TRUE(A.HeaderChanged);
  EXPECT_TRUE(B.HeaderChanged);
  EXPECT_EQ(A.Count(), 0) << "only marked";
  EXPECT_FALSE(CheckDirMonitor(Columns, false, true, State, Busy)) << "the change was taken";
  EXPECT_TRUE(A.HeaderChanged) << "the mark stays until a reload";
  EXPECT_EQ(Busy.Value(), 0);
}

TEST_F(DirMonitorCheckTest, ChangedColumnsReloadKeepingFocusTopRowAndSelection) {
  ASSERT_TRUE(ProgramOptions.ReloadChangedDirectories) << "on by default";
  for (const char* name : {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"})
    Touch(name);
  A.List.SetSize(200, 2 * 5 + 4 * 15); // four rows
  ASSERT_TRUE(CheckDirMonitor(Columns, true, false, State, Busy));
  A.FocusByIndex(4, 2); // "e", two rows below the top "c"
  A.List.Wheel(1);      // scrolled since: "d" at the top
  ASSERT_EQ(A.List.TopIndex(), 3);
  for (int i : {1, 5, 7})
    A.SelectItem(i); // b, f, h
  B.FocusByIndex(9, 0);
  B.SelectItem(9); // j

  // A shell deletes and creates files beside the running columns.
  std::filesystem::remove(Dir.Path + "/c");
  std::filesystem::remove(Dir.Path + "/h");
  Touch("ca", 7);
  Touch("k");
  const std::vector<std::string> now = {"a", "b", "ca", "d", "e", "f", "g", "i", "j", "k"};
  for (int tick = 0; tick < 2 && Names(A) != now; ++tick)
    CheckDirMonitor(Columns, false, true, State, Busy);

  EXPECT_EQ(Names(A), now);
  EXPECT_EQ(Names(B), now);
  EXPECT_EQ(A.ActiveTitle, Dir.Path + "/e");
  EXPECT_EQ(A.FocusedItem()->Title, Dir.Path + "/e");
  EXPECT_EQ(A.List.FocusIndex() - A.List.TopIndex(), 1) << "the rows stay where they were";
  EXPECT_EQ(SelectedNames(A), (std::vector<std::string>{"b", "f"}));
  EXPECT_EQ(A.SelCount, 2);
  EXPECT_EQ(A.SelSize, 2);
  EXPECT_EQ(SelectedNames(B), (std::vector<std::string>{"j"})) << "each column its own";
  EXPECT_EQ(B.FocusedItem()->Title, Dir.Path + "/j");
  EXPECT_FALSE(A.HeaderChanged);
  EXPECT_FALSE(B.HeaderChanged);
  EXPECT_EQ(A.List.CheckInvariant(), "");
  EXPECT_EQ(Busy.Value(), 0);
}

TEST_F(DirMonitorCheckTest, AHeldColumnOrTheOptionOffOnlyMarks) {
  struct TCase {
    const char* Name;
    bool Option;
    bool HeldA;
    int CountA, CountB;
  };
  const TCase cases[] = {
      {"option off", false, false, 0, 0},
      {"the first column held", true, true, 0, 1},
  };
  int made = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    CheckDirMonitor(Columns, true, false, State, Busy);
    A.DeselectAll(false);
    B.SetWithColumn(A); // both start from the same listing
    const int before = A.Count();
    ProgramOptions.ReloadChangedDirectories = c.Option;
    State.Held = [&](const TColumn& column) { return c.HeldA && &column == &A; };
    Touch("new" + std::to_string(made++));
    EXPECT_TRUE(CheckDirMonitor(Columns, false, true, State, Busy));
    EXPECT_EQ(A.Count(), before + c.CountA);
    EXPECT_EQ(B.Count(), before + c.CountB);
    EXPECT_EQ(A.HeaderChanged, c.CountA == 0);
    EXPECT_EQ(B.HeaderChanged, c.CountB == 0);
  }
}

TEST_F(DirMonitorCheckTest, NothingHappensWithoutFocusOrWhileBusy) {
  Touch("new.bin");
  EXPECT_FALSE(CheckDirMonitor(Columns, false, false, State, Busy));
  Busy.Raise();
  EXPECT_FALSE(CheckDirMonitor(Columns, false, true, State, Busy));
  EXPECT_FALSE(A.HeaderChanged);
  Busy.Lower();
}

TEST_F(DirMonitorCheckTest, ForcedCheckReloadsBothColumnsFromOneRead) {
  int readsA = 0, readsB = 0;
  CountReads(A, readsA);
  CountReads(B, readsB);
  Touch("new.bin");
  A.FocusByIndex(0, 0);
  EXPECT_TRUE(CheckDirMonitor(Columns, true, false, State, Busy));
  EXPECT_EQ(readsA, 1);
  EXPECT_EQ(readsB, 0) << "the second column took the first one's listing";
  EXPECT_EQ(A.Count(), 1);
  EXPECT_EQ(B.Count(), 1);
  EXPECT_FALSE(A.HeaderChanged);
  EXPECT_FALSE(B.HeaderChanged);
  EXPECT_FALSE(B.DirMonitor.Changed());
  EXPECT_FALSE(CheckDirMonitor(Columns, true, false, State, Busy));
}

TEST_F(DirMonitorCheckTest, ForcedCheckWhileBusyWaitsForIdle) {
  Touch("new.bin");
  Busy.Raise();
  EXPECT_FALSE(CheckDirMonitor(Columns, true, false, State, Busy));
  EXPECT_EQ(A.Count(), 0);
  Busy.Lower();
  EXPECT_EQ(A.Count(), 1) << "the waiting check ran when the counter reached 0";
  EXPECT_EQ(Busy.Value(), 0);
}

TEST_F(DirMonitorCheckTest, ActivationForcesTheNextCheck) {
  Touch("new.bin");
  State.Activated = true;
  EXPECT_TRUE(CheckDirMonitor(Columns, false, true, State, Busy));
  EXPECT_FALSE(State.Activated);
  EXPECT_EQ(A.Count(), 1);
}

TEST_F(DirMonitorCheckTest, RenamedDirectoryClimbsAtTheForcedCheck) {
  std::filesystem::create_directories(Dir.Path + "/sub/deep");
  A.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/sub/deep/");
  std::filesystem::rename(Dir.Path + "/sub", Dir.Path + "/moved");
  CheckDirMonitor({&A}, true, false, State, Busy);
  EXPECT_EQ(A.ShownPath(), Dir.Path + "/");
  EXPECT_EQ(Ui.Errors.size(), 1u) << "one failure for the whole climb";
}

TEST_F(DirMonitorCheckTest, ASharedListingTakesTheReceiversSortMode) {
  Touch("small.bin", 1);
  Touch("big.bin", 300);
  Touch("mid.bin", 20);
  B.SortMode = "Size, big-small";
  EXPECT_TRUE(CheckDirMonitor(Columns, true, false, State, Busy));
  EXPECT_EQ(Names(A), (std::vector<std::string>{"big.bin", "mid.bin", "small.bin"}));
  EXPECT_EQ(Names(B), (std::vector<std::string>{"big.bin", "mid.bin", "small.bin"}));
  Touch("huge.bin", 900);
  Touch("tiny.bin", 0);
  A.SortMode = "Size, small-big";
  B.SortMode = "Name";
  EXPECT_TRUE(CheckDirMonitor(Columns, true, false, State, Busy));
  EXPECT_EQ(Names(A),
            (std::vector<std::string>{"tiny.bin", "small.bin", "mid.bin", "big.bin", "huge.bin"}));
  EXPECT_EQ(Names(B),
            (std::vector<std::string>{"big.bin", "huge.bin", "mid.bin", "small.bin", "tiny.bin"}));
}

TEST_F(DirMonitorCheckTest, AChangeAfterTheSharedReadIsNotLost) {
  Touch("new.bin");
  // The change lands while the first column reads, after its first entry.
  bool made = false;
  A.Services.ListDirectory = [&](const std::string& path, const TDirectoryEntrySink& sink,
                                 bool* opened) {
    return ReadDirectory(
        path,
        [&](std::string_view name, const TFileInfo* info) {
          sink(name, info);
          if (!made) Touch("late.bin");
          made = true;
        },
        opened);
  };
  EXPECT_TRUE(CheckDirMonitor(Columns, true, false, State, Busy));
  EXPECT_EQ(Names(B), (std::vector<std::string>{"late.bin", "new.bin"}))
      << "the receiving column kept the change and read again";
  EXPECT_TRUE(CheckDirMonitor(Columns, true, false, State, Busy));
  EXPECT_EQ(Names(A), (std::vector<std::string>{"late.bin", "new.bin"}));
  EXPECT_FALSE(CheckDirMonitor(Columns, true, false, State, Busy));
}

TEST_F(DirMonitorCheckTest, CancelStopsTheCheckAndNoErrorsKeepsItQuiet) {
  struct TCase {
    const char* Name;
    bool Continue, NoMoreErrors;
    size_t Errors;
    bool SecondClimbed;
  };
  const TCase cases[] = {
      {"okay", true, false, 2, true},
      {"okay (no errors)", true, true, 1, true},
      {"cancel", false, false, 1, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    for (const char* name : {"x", "y"})
      std::filesystem::create_directory(Dir.Path + "/" + name);
    A.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/x/");
    B.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/y/");
    for (const char* name : {"x", "y"})
      std::filesystem::remove(Dir.Path + "/" + name);
    Ui.Errors.clear();
    Ui.ErrorAnswerContinue = c.Continue;
    Ui.ErrorAnswerNoMoreErrors = c.NoMoreErrors;
    const std::string log = Program.ErrorLogTitle();
    std::filesystem::remove(log);
    CheckDirMonitor(Columns, true, false, State, Busy);
    EXPECT_EQ(Ui.Errors.size(), c.Errors);
    // A failure kept quiet is still in the log.
    std::ifstream in(log, std::ios::binary);
    const std::string logged((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(logged.find(Dir.Path + "/y/") != std::string::npos, c.NoMoreErrors) << logged;
    EXPECT_EQ(B.ShownPath(), c.SecondClimbed ? Dir.Path + "/" : Dir.Path + "/y/");
  }
}

// On a partition that is not polled the question may never be answered (a
// share that went away): it is asked on a worker, the check goes on after
// the column's time, and the partition is left alone until the worker ends.
TEST_F(DirMonitorCheckTest, AMonitorThatDoesNotAnswerHoldsNothing) {
  State.Polled = [](const std::string&) { return false; };
  Touch("new.txt");
  auto answered = std::make_shared<std::atomic<bool>>(false);
  A.DirMonitor.AfterRead = [answered] {
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    *answered = true;
  };
  A.FactsTimeoutMs = 100;
  const std::string partition = GetPartitionOfTitle(A.ActiveTitle);
  QElapsedTimer clock;
  clock.start();
  CheckDirMonitor({&A}, true, true, State, Busy);
  EXPECT_LT(clock.elapsed(), 500);
  EXPECT_FALSE(*answered);
  EXPECT_FALSE(A.HeaderChanged) << "no answer is no change";
  EXPECT_TRUE(IsSlowPartition(partition));
  clock.restart();
  CheckDirMonitor({&A}, true, true, State, Busy);
  EXPECT_LT(clock.elapsed(), 50) << "a slow partition is not asked again";
  while (clock.elapsed() < 3000 && IsSlowPartition(partition))
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_TRUE(*answered);
  EXPECT_FALSE(IsSlowPartition(partition));
  // Once it answers again, changes are seen without a reload in between:
  // the column's monitor kept its title and watches again when next asked.
  Touch("newer.txt");
  EXPECT_TRUE(CheckDirMonitor({&A}, true, true, State, Busy));
  EXPECT_EQ(Names(A), (std::vector<std::string>{"new.txt", "newer.txt"}));
}

// Another program trashing an item while a column shows the trash: the
// check sees it in the trash's own directories and the column lists it,
// keeping its selection; a home trash not made yet is seen being made.
TEST_F(DirMonitorCheckTest, ATrashColumnFollowsItemsTrashedElsewhere) {
  ProgramOptions.ReloadChangedDirectories = true;
  const char* saved = std::getenv("XDG_DATA_HOME");
  const std::string restore = saved ? saved : "";
  for (const bool made : {true, false}) {
    test::TTempDir data;
    ::setenv("XDG_DATA_HOME", data.Path.c_str(), 1);
    const std::string trash = data.Path + "/Trash";
    const auto put = [&](const std::string& name) {
      std::filesystem::create_directories(trash + "/files");
      std::filesystem::create_directories(trash + "/info");
      std::ofstream(trash + "/files/" + name) << name;
      std::ofstream(trash + "/info/" + name + ".trashinfo")
          << "[Trash Info]\nPath=/old/" << name << "\nDeletionDate=2026-03-04T05:06:07\n";
    };
    const auto ours = [&] {
      std::vector<std::string> names;
      for (const TFileListData& item : A.Items)
        if (item.Title.starts_with(trash + "/")) names.push_back(GetTitleName(item.Title));
      return names;
    };
    if (made) put("old.txt");
    A.EnterTrash();
    ASSERT_TRUE(A.ShowsTrash);
    for (int i = 0; i < A.Count(); ++i)
      if (A.Items[static_cast<size_t>(i)].Title == trash + "/files/old.txt") A.SelectItem(i);
    EXPECT_FALSE(CheckDirMonitor(Columns, false, true, State, Busy)) << made << ": nothing yet";

    put("new.txt");
    EXPECT_TRUE(CheckDirMonitor(Columns, false, true, State, Busy)) << made;
    std::vector<std::string> expected{"new.txt"};
    if (made) expected.insert(expected.begin(), "old.txt");
    std::vector<std::string> names = ours();
    std::sort(names.begin(), names.end(), std::greater<>());
    EXPECT_EQ(names, expected) << made;
    if (made) EXPECT_EQ(A.SelectedTitles(), std::vector<std::string>{trash + "/files/old.txt"});
    EXPECT_FALSE(B.HeaderChanged) << "the directory column saw nothing";
    A.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/");
  }
  ::setenv("XDG_DATA_HOME", restore.c_str(), 1);
}

} // namespace
} // namespace cv
