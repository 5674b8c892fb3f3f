#include "columns/Column.h"

#include "TestSupport.h"
#include "filesystem/File.h"
#include "foundation/BusyCount.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace cv {
namespace {

// A directory "sub" and the files a..e of 10 to 50 bytes: index 0 is the
// directory, 1..5 the files.
class ColumnSelectionTest : public ::testing::Test {
protected:
  void SetUp() override {
    BusyCount.Reset();
    std::filesystem::create_directory(Dir.Path + "/sub");
    int size = 10;
    for (const char* name : {"a", "b", "c", "d", "e"}) {
      std::ofstream(Dir.Path + "/" + name) << std::string(static_cast<size_t>(size), 'x');
      size += 10;
    }
    Column.GroupOptions = TGroupOptions();
    Column.List.SetSize(200, 2 * 5 + 20 * 15);
    Load(Dir.Path + "/");
    ASSERT_EQ(Column.Count(), 6);
    Column.List.OnRepaintAll = [this] { ++Repaints; };
    Column.List.OnRepaintItems = [this](int first, int last) {
      for (int i = first; i <= last; ++i)
        ItemRepaints.push_back(i);
    };
    Column.OnSelectionChanged = [this] { ++Changes; };
  }
  void Load(const std::string& title) {
    Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, title);
  }
  std::set<int> Selected() const {
    std::set<int> selected;
    for (int i = 0; i < Column.Count(); ++i)
      if (Column.Items[static_cast<size_t>(i)].Selected) selected.insert(i);
    return selected;
  }
  void Select(const std::set<int>& indexes) {
    for (int i : indexes)
      Column.SelectItem(i);
    Repaints = Changes = 0;
    ItemRepaints.clear();
  }
  // SelCount and SelSize as the flags say.
  void ExpectCounters(int64_t size) {
    EXPECT_EQ(Column.SelCount, static_cast<int>(Selected().size()));
    EXPECT_EQ(Column.SelSize, size);
  }

  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  TColumn Column{0};
  int Repaints = 0;
  int Changes = 0;
  std::vector<int> ItemRepaints;
};

TEST_F(ColumnSelectionTest, WholeListOperationsCountOnlyFileSizesAndRepaintOnce) {
  struct TCase {
    const char* Name;
    std::set<int> Before;
    void (TColumn::*Operation)(bool);
    bool FilesOnly;
    std::set<int> After;
    int64_t Size;
  };
  const TCase cases[] = {
      {"select files leaves the directory", {}, &TColumn::SelectAll, true, {1, 2, 3, 4, 5}, 150},
      {"select all adds the directory with 0",
       {},
       &TColumn::SelectAll,
       false,
       {0, 1, 2, 3, 4, 5},
       150},
      {"deselect files keeps the directory",
       {0, 1, 2, 3, 4, 5},
       &TColumn::DeselectAll,
       true,
       {0},
       0},
      {"deselect all", {0, 1, 2, 3, 4, 5}, &TColumn::DeselectAll, false, {}, 0},
      {"toggle files", {0, 1, 3}, &TColumn::ToggleAll, true, {0, 2, 4, 5}, 110},
      {"toggle all", {0, 1, 3}, &TColumn::ToggleAll, false, {2, 4, 5}, 110},
      {"select files over a selection", {2, 3}, &TColumn::SelectAll, true, {1, 2, 3, 4, 5}, 150},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Column.DeselectAll(false);
    Select(c.Before);
    (Column.*c.Operation)(c.FilesOnly);
    EXPECT_EQ(Selected(), c.After);
    ExpectCounters(c.Size);
    EXPECT_EQ(Repaints, 1);
    EXPECT_EQ(Changes, 1);
  }
}

TEST_F(ColumnSelectionTest, SingleItemsCountOnceAndRepaintThemselves) {
  Column.SelectItem(2);
  Column.SelectItem(2);
  ExpectCounters(20);
  Column.DeselectItem(3); // not selected: nothing to take away
  ExpectCounters(20);
  Column.ToggleItem(3);
  Column.ToggleItem(2);
  EXPECT_EQ(Selected(), (std::set<int>{3}));
  ExpectCounters(30);
  EXPECT_EQ(ItemRepaints, (std::vector<int>{2, 2, 3, 3, 2}));
  Column.SelectItem(6); // past the end
  Column.SelectItem(-1);
  ExpectCounters(30);
}

TEST_F(ColumnSelectionTest, ToggleThisMovesDownAndStaysOnTheLastItem) {
  Column.FocusByIndex(4, 0);
  Column.ToggleThis();
  EXPECT_EQ(Selected(), (std::set<int>{4}));
  EXPECT_EQ(Column.List.FocusIndex(), 5);
  EXPECT_EQ(Column.ActiveTitle, Dir.Path + "/e") << "the active file followed";
  ItemRepaints.clear();
  Column.ToggleThis();
  EXPECT_EQ(Selected(), (std::set<int>{4, 5}));
  EXPECT_EQ(Column.List.FocusIndex(), 5);
  EXPECT_EQ(ItemRepaints, (std::vector<int>{5})) << "the last item repaints in place";
  Column.ToggleThis();
  EXPECT_EQ(Selected(), (std::set<int>{4}));
  ExpectCounters(40);
}

TEST_F(ColumnSelectionTest, GroupTogglesStopAtTheFirstItemOfTheOtherState) {
  struct TCase {
    const char* Name;
    std::set<int> Before;
    int Focus;
    bool Up;
    std::set<int> After;
  };
  const TCase cases[] = {
      {"up below a block selects up to it", {1, 2}, 4, true, {1, 2, 3, 4}},
      {"up on a block deselects up to the first unselected", {0, 2, 3, 4}, 4, true, {0}},
      {"up with nothing above selects to the top", {}, 3, true, {0, 1, 2, 3}},
      {"up on the first item", {}, 0, true, {0}},
      {"down above a block selects down to it", {4, 5}, 1, false, {1, 2, 3, 4, 5}},
      {"down on a block deselects down to the first unselected", {1, 2, 3, 5}, 2, false, {1, 5}},
      {"down with nothing below selects to the end", {0}, 3, false, {0, 3, 4, 5}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Column.DeselectAll(false);
    Select(c.Before);
    Column.FocusByIndex(c.Focus, 0);
    Repaints = 0;
    c.Up ? Column.ToggleUp() : Column.ToggleDown();
    EXPECT_EQ(Selected(), c.After);
    EXPECT_EQ(Column.List.FocusIndex(), c.Focus) << "the focus does not move";
    int64_t size = 0;
    for (int i : c.After)
      size += Column.Items[static_cast<size_t>(i)].Size;
    ExpectCounters(size);
    EXPECT_EQ(Repaints, 1);
  }
}

TEST_F(ColumnSelectionTest, AnEmptyListAndThePartitionsListSelectNothing) {
  std::filesystem::create_directory(Dir.Path + "/empty");
  for (const std::string& title : {Dir.Path + "/empty/", std::string(":/")}) {
    SCOPED_TRACE(title);
    Load(title);
    ASSERT_EQ(Column.Count() == 0, title != ":/");
    Repaints = Changes = 0;
    ItemRepaints.clear();
    const int focus = Column.List.FocusIndex();
    Column.SelectAll(false);
    Column.ToggleAll(true);
    Column.ToggleThis();
    Column.ToggleUp();
    Column.ToggleDown();
    Column.SelectItem(0);
    Column.ToggleItem(0);
    Column.SelectTitles({":/"});
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(Column.SelCount, 0);
    EXPECT_EQ(Column.List.FocusIndex(), focus);
    EXPECT_EQ(Repaints + Changes + static_cast<int>(ItemRepaints.size()), 0);
  }
}

TEST_F(ColumnSelectionTest, AReloadClearsTheSelection) {
  Column.SelectAll(false);
  Load(Column.ActiveTitle);
  EXPECT_TRUE(Selected().empty());
  ExpectCounters(0);
}

TEST_F(ColumnSelectionTest, SelectionByTitleIsByteExact) {
  std::ofstream(Dir.Path + "/B") << "xy";
  Load(Dir.Path + "/");
  Column.SelectTitles({Dir.Path + "/B", Dir.Path + "/d", Dir.Path + "/gone"});
  std::vector<std::string> titles = Column.SelectedTitles();
  std::sort(titles.begin(), titles.end());
  EXPECT_EQ(titles, (std::vector<std::string>{Dir.Path + "/B", Dir.Path + "/d"}));
  EXPECT_EQ(Column.SelCount, 2);
  EXPECT_EQ(Column.SelSize, 42);
}

} // namespace
} // namespace cv
