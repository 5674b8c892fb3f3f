#include "columns/Column.h"

#include "TestSupport.h"
#include "columns/DirectoryListing.h"
#include "filesystem/File.h"
#include "foundation/BusyCount.h"
#include "mainwindow/Commands.h"
#include "options/ProgramOptions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace cv {
namespace {

// Shown: the directory "sub", the files "a", "c" (10, 30 bytes). Hidden: the
// directory ".git" and the files ".b", ".d" (20, 40 bytes).
class ColumnHiddenTest : public ::testing::Test {
protected:
  void SetUp() override {
    BusyCount.Reset();
    std::filesystem::create_directory(Dir.Path + "/sub");
    std::filesystem::create_directory(Dir.Path + "/.git");
    int size = 10;
    for (const char* name : {"a", ".b", "c", ".d"}) {
      std::ofstream(Dir.Path + "/" + name) << std::string(static_cast<size_t>(size), 'x');
      size += 10;
    }
    Column.GroupOptions = TGroupOptions();
    Column.List.SetSize(200, 2 * 5 + 20 * 15);
  }
  void Load(const std::string& title) {
    Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, title);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const TFileListData& item : Column.Items)
      names.push_back(GetTitleName(item.Title));
    return names;
  }
  int IndexOf(const std::string& name) const {
    for (int i = 0; i < Column.Count(); ++i)
      if (GetTitleName(Column.Items[static_cast<size_t>(i)].Title) == name) return i;
    return -1;
  }
  std::vector<std::string> SelectedNames() const {
    std::vector<std::string> names;
    for (const TFileListData& item : Column.Items)
      if (item.Selected) names.push_back(GetTitleName(item.Title));
    return names;
  }

  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  TColumn Column{0};
};

TEST_F(ColumnHiddenTest, AHidingColumnLeavesOutTheDotNamesAndCountsOnlyWhatItShows) {
  Column.ShowHidden = false;
  Load(Dir.Path + "/a");
  EXPECT_EQ(Names(), (std::vector<std::string>{"sub", "a", "c"}));
  EXPECT_EQ(Column.DirsCount, 1);
  EXPECT_EQ(Column.GenericCount, 2);
  EXPECT_EQ(Column.TotalSize, 40);

  Column.ShowHidden = true;
  Load(Dir.Path + "/a");
  EXPECT_EQ(Names(), (std::vector<std::string>{".git", "sub", ".b", ".d", "a", "c"}));
  EXPECT_EQ(Column.DirsCount, 2);
  EXPECT_EQ(Column.TotalSize, 100);
}

TEST_F(ColumnHiddenTest, SwitchingKeepsTheFocusedItemAndTheSelectionStillInSight) {
  Column.ShowHidden = true;
  Load(Dir.Path + "/c");
  for (const char* name : {"sub", ".b", "c"})
    Column.SelectItem(IndexOf(name));
  Column.FocusByIndex(IndexOf("c"), 0);
  ASSERT_EQ(Column.ActiveTitle, Dir.Path + "/c");

  Column.SetShowHidden(false);
  EXPECT_EQ(Names(), (std::vector<std::string>{"sub", "a", "c"}));
  EXPECT_EQ(Column.List.FocusIndex(), 2);
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/c");
  EXPECT_EQ(SelectedNames(), (std::vector<std::string>{"sub", "c"}));
  EXPECT_EQ(Column.SelCount, 2);
  EXPECT_EQ(Column.SelSize, 30);

  Column.SetShowHidden(true);
  EXPECT_EQ(IndexOf("c"), 5);
  EXPECT_EQ(Column.List.FocusIndex(), 5);
  EXPECT_EQ(SelectedNames(), (std::vector<std::string>{"sub", "c"}));

  // A focused hidden item leaves the focus to the place it would take.
  Column.FocusByIndex(IndexOf(".d"), 0);
  Column.SetShowHidden(false);
  EXPECT_GE(Column.List.FocusIndex(), 0);
  EXPECT_LT(Column.List.FocusIndex(), Column.Count());
  EXPECT_EQ(Column.FocusedItem()->Title, Dir.Path + "/a");
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/a");
}

// Hiding drops items from the list as it is; only showing reads the
// directory, for the hidden files were never read.
TEST_F(ColumnHiddenTest, OnlyShowingReadsTheDirectoryAgain) {
  int reads = 0;
  Column.Services.ListDirectory = [&reads](const std::string& path, const TDirectoryEntrySink& sink,
                                           bool* opened) {
    ++reads;
    return ReadDirectory(path, sink, opened);
  };
  Column.ShowHidden = true;
  Load(Dir.Path + "/a");
  ASSERT_EQ(reads, 1);
  Column.SetShowHidden(false);
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"sub", "a", "c"}));
  EXPECT_EQ(Column.TotalSize, 40);
  EXPECT_EQ(Column.List.CheckInvariant(), "");
  Column.SetShowHidden(true);
  EXPECT_EQ(reads, 2);
  EXPECT_EQ(Column.Count(), 6);
}

TEST_F(ColumnHiddenTest, AnotherColumnsListingIsTakenOverAsThisColumnShowsIt) {
  TColumn shows{1};
  shows.GroupOptions = TGroupOptions();
  shows.ShowHidden = true;
  shows.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/a");
  shows.SelectItem(2); // ".b"
  shows.SelectItem(4); // "a"

  Column.ShowHidden = false;
  Column.ActiveTitle = Dir.Path + "/a";
  Column.SetWithColumn(shows);
  EXPECT_EQ(Names(), (std::vector<std::string>{"sub", "a", "c"}));
  EXPECT_EQ(Column.TotalSize, 40);
  EXPECT_EQ(Column.SelCount, 1);
  EXPECT_EQ(Column.SelSize, 10);

  // The other way the listing lacks the hidden files: this column reads its own.
  TColumn hides{2};
  hides.GroupOptions = TGroupOptions();
  hides.ShowHidden = false;
  hides.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/a");
  Column.ShowHidden = true;
  Column.SetWithColumn(hides);
  EXPECT_EQ(Names(), (std::vector<std::string>{".git", "sub", ".b", ".d", "a", "c"}));
  EXPECT_EQ(Column.TotalSize, 100);
}

TEST_F(ColumnHiddenTest, TheColumnsOwnListerAndTheKernelReaderLeaveOutTheSameNames) {
  const std::string path = Dir.Path + "/";
  for (const bool parallel : {false, true}) {
    TListingThreads threads;
    threads.ParallelFrom = parallel ? 2 : 1000000;
    const TDirectoryListing listing = ListDirectoryItems(path, "Name", TGroupOptions(), {}, nullptr,
                                                         threads, TFileTypeLists::Current(), false);
    std::vector<std::string> names;
    for (const TFileListData& item : listing.Items)
      names.push_back(GetTitleName(item.Title));
    EXPECT_EQ(names, (std::vector<std::string>{"sub", "a", "c"})) << parallel;
    EXPECT_EQ(listing.Counts.TotalSize, 40) << parallel;
  }
  const TDirectoryListing viaLister = ListDirectoryItems(
      path, "Name", TGroupOptions(),
      [](const std::string& p, const TDirectoryEntrySink& sink, bool* opened) {
        return ReadDirectory(p, sink, opened);
      },
      nullptr, {}, TFileTypeLists::Current(), false);
  EXPECT_EQ(viaLister.Items.size(), 3u);
}

TEST(HiddenFilesCommand, CtrlHRunsTheColumnsCommandWhichContainersDisable) {
  const TMainKey* key = FindMainKey(Qt::Key_H, kmCtrl);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->Action, TKeyAction::Run);
  EXPECT_EQ(key->Path, "File/Attributes/Show hidden files");
  const TCommand* command = FindCommand(key->Path);
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(command->Shortcut, "Ctrl+H");
  EXPECT_FALSE(command->Rule.Holds(ctContainer | ctItems));
  EXPECT_TRUE(command->Rule.Holds(ctItems));
  // H alone still toggles the hover window.
  EXPECT_EQ(FindMainKey(Qt::Key_H, kmNone)->Path, "Work/Layout/Toggle hover info");
}

TEST(HiddenFilesOption, ANewColumnStartsAsTheOptionSays) {
  const bool kept = ProgramOptions.ShowHiddenFiles;
  for (const bool show : {false, true}) {
    ProgramOptions.ShowHiddenFiles = show;
    TColumn column{0};
    column.ShowHidden = !show;
    column.ResetColumn(false);
    EXPECT_EQ(column.ShowHidden, show);
  }
  ProgramOptions.ShowHiddenFiles = kept;
  const TOptionRow* row = FindOptionRow("FileList", "ShowHiddenFiles");
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->DefaultInt, 0);
  EXPECT_EQ(row->Page, TOptionsPage::Column);
}

} // namespace
} // namespace cv
