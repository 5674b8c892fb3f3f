#include "columns/BoardColumns.h"

#include "BoardTestSupport.h"
#include "TestSupport.h"
#include "columns/Column.h"
#include "columns/History.h"
#include "filesystem/File.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>

namespace cv {
namespace {

namespace fs = std::filesystem;

TEST(ColumnWidthsTest, SharesDivideTheClientWidthAndTheLastTakesTheRest) {
  struct TCase {
    std::vector<TColumnShare> Columns;
    int Width;
    std::vector<int> Widths;
  };
  const TCase cases[] = {
      {{{1, 1, 0}, {2, 1, 0}, {1, 1, 0}}, 403, {100, 201, 102}},
      // Three subcolumns, border 5: the inner width divides evenly.
      {{{1, 3, 5}, {3, 1, 5}}, 200, {100, 100}},
      {{{1, 3, 5}, {3, 1, 5}}, 202, {100, 102}},
      // Four subcolumns count as width 4.
      {{{1, 4, 0}, {1, 1, 0}}, 500, {400, 100}},
      {{{1, 1, 0}}, 77, {77}},
      // A share narrower than its borders is not rounded past them.
      {{{1, 3, 10}, {10, 1, 0}}, 83, {19, 64}},
  };
  for (const TCase& c : cases) {
    const std::vector<TColumnPlace> places = LayoutColumnWidths(c.Columns, c.Width);
    ASSERT_EQ(places.size(), c.Widths.size());
    int left = 0;
    for (size_t i = 0; i < places.size(); ++i) {
      EXPECT_EQ(places[i].Width, c.Widths[i]) << c.Width << " column " << i;
      EXPECT_EQ(places[i].Left, left);
      left += places[i].Width;
    }
  }
}

TEST(ColumnWidthsTest, ACountOutsideOneToTenIsReported) {
  test::TRecordingUserInterface ui;
  for (size_t count : {size_t{0}, size_t{11}}) {
    EXPECT_TRUE(LayoutColumnWidths(std::vector<TColumnShare>(count), 500).empty());
    EXPECT_EQ(FunStatContext.Status, fsError);
    EXPECT_EQ(FunStatContext.Description, "Invalid number of columns.");
  }
}

class BoardColumnsTest : public ::testing::Test {
protected:
  void SetUp() override {
    FunStatContext.Reset(fsPerfect);
    for (int i = 0; i < TBoardColumns::ColumnCount; ++i)
      Column(i).History = &History;
    Board().Host.Layout = [this] { ++Layouts; };
    Board().Host.ShowArea = [this](bool shown) { Shows.push_back(shown); };
    Board().Host.Focus = [this](int index) { Focused.push_back(index); };
    Board().Host.AttributesChanged = [this](int index) { Changed.push_back(index); };
  }

  TBoardColumns& Board() { return Set.Board; }
  TColumn& Column(int index) { return Board().Column(index); }

  void MakeFile(const std::string& relative) {
    fs::create_directories(fs::path(Dir.Path + "/" + relative).parent_path());
    std::ofstream(Dir.Path + "/" + relative) << "x";
  }
  std::string Title(const std::string& relative) { return Dir.Path + "/" + relative; }
  // A title relative to the test directory ("<dir>" for the directory itself).
  std::string Relative(const std::string& title) {
    if (title == Dir.Path) return "<dir>";
    if (title.starts_with(Dir.Path + "/")) return title.substr(Dir.Path.size() + 1);
    return title;
  }

  // Columns 0..9 in the directories A..J (a file in each), `fixed` as "1"s,
  // the first `visible` loaded.
  void Lettered(int visible, const std::string& fixed, int active) {
    Board().SetVisibleColumns(visible);
    for (int i = 0; i < TBoardColumns::BoardColumns; ++i) {
      const std::string letter(1, static_cast<char>('A' + i));
      MakeFile(letter + "/f");
      Column(i).ActiveTitle = Title(letter + "/f");
      Column(i).FixedAttr =
          static_cast<size_t>(i) < fixed.size() && fixed[static_cast<size_t>(i)] == '1';
      if (i < visible) Column(i).LoadDirectory(false);
    }
    Board().SetActiveColumn(active);
  }
  // Each board column as the letter of its directory ("-" for the
  // partitions list), "*" when fixed.
  std::string Letters() {
    std::string text;
    for (int i = 0; i < TBoardColumns::BoardColumns; ++i) {
      const std::string path = GetTitlePath(Column(i).ActiveTitle);
      text += path.empty() ? "-" : GetTitleName(ExcludeDelimiter(path));
      if (Column(i).FixedAttr) text += "*";
      if (i < TBoardColumns::BoardColumns - 1) text += " ";
    }
    return text;
  }

  test::TTempDir Dir;
  test::TColumnSet Set;
  THistory History;
  test::TRecordingUserInterface Ui;
  int Layouts = 0;
  std::vector<bool> Shows;
  std::vector<int> Focused;
  std::vector<int> Changed;
};

TEST_F(BoardColumnsTest, GroupsStartAtFixedColumnsAndEndAtTheLastVisible) {
  Lettered(7, "0010010000", 0);
  struct TCase {
    int Index, Start, End;
  };
  // Column 0 always starts a group; column 6 ends the last one.
  const TCase cases[] = {{0, 0, 1}, {1, 0, 1}, {2, 2, 4}, {4, 2, 4}, {5, 5, 6}, {6, 5, 6}};
  for (const TCase& c : cases) {
    EXPECT_EQ(Board().GroupStart(c.Index), c.Start) << c.Index;
    EXPECT_EQ(Board().GroupEnd(c.Index), c.End) << c.Index;
  }
}

TEST_F(BoardColumnsTest, NeighbourColumnsWrapAtBothEndsOfTheVisibleOnes) {
  struct TCase {
    int Visible, Active, Step, Expected;
  };
  const TCase cases[] = {
      {3, 0, -1, 2}, // left on the first: the last visible
      {3, 2, 1, 0},  // right on the last visible: the first
      {3, 1, 1, 2},  {3, 1, -1, 0}, {10, 9, 1, 0}, {10, 0, -1, 9}, {1, 0, 1, 0}, {1, 0, -1, 0},
  };
  for (const TCase& c : cases) {
    ASSERT_TRUE(Board().SetVisibleColumns(c.Visible));
    Board().SetActiveColumn(c.Active);
    EXPECT_EQ(Board().NeighbourColumn(c.Step), c.Expected)
        << c.Visible << " visible, active " << c.Active << ", step " << c.Step;
  }
}

TEST_F(BoardColumnsTest, InsertCutAndRotateMoveTheColumns) {
  struct TCase {
    const char* What;
    int Visible;
    const char* Fixed;
    int Active;
    std::function<bool(TBoardColumns&)> Run;
    bool Done;
    const char* After;
    int ActiveAfter;
  };
  const auto insertHere = [](TBoardColumns& b) { return b.InsertColumnHere(); };
  const auto insertAtEnd = [](TBoardColumns& b) { return b.InsertColumnAtEnd(); };
  const auto cutHere = [](TBoardColumns& b) { return b.CutColumnHere(); };
  const TCase cases[] = {
      {"insert at a fixed column", 4, "1010", 2, insertHere, true, "A* B -* C D E F G H I", 2},
      {"insert at a mobile column", 4, "1010", 1, insertHere, true, "A* - B C* D E F G H I", 1},
      {"insert at the group's end", 4, "1010", 0, insertAtEnd, true, "A* B - C* D E F G H I", 0},
      {"insert at the last group's end", 4, "1010", 3, insertAtEnd, false, "A* B C* D E F G H I J",
       3},
      {"insert in a full board", 10, "1", 8, insertHere, true, "A* B C D E F G H - I", 8},
      {"insert at column 9", 10, "1", 9, insertHere, false, "A* B C D E F G H I J", 9},
      {"cut the active end", 4, "1010", 1, cutHere, true, "A* C* D E F G H I J -", 0},
      {"cut the only column of a group", 4, "1011", 2, cutHere, false, "A* B C* D* E F G H I J", 2},
      {"cut a fixed group start", 4, "1010", 2, cutHere, true, "A* B D* E F G H I J -", 2},
      {"cut the group's last", 4, "1010", 2, [](TBoardColumns& b) { return b.CutLastColumn(); },
       true, "A* B C* E F G H I J -", 2},
      {"rotate right", 3, "1000000001", 1, [](TBoardColumns& b) { return b.RotateRight(); }, true,
       "J* A* B C D E F G H I", 1},
      {"rotate left", 3, "1000000001", 1, [](TBoardColumns& b) { return b.RotateLeft(); }, true,
       "B C D E F G H I J* A*", 1},
  };
  for (const TCase& c : cases) {
    Lettered(c.Visible, c.Fixed, c.Active);
    Column(TBoardColumns::DropColumn).ActiveTitle = "/dropped/";
    Shows.clear();
    EXPECT_EQ(c.Run(Board()), c.Done) << c.What;
    EXPECT_FALSE(FunStatContext.Failed()) << c.What;
    EXPECT_EQ(Letters(), c.After) << c.What;
    EXPECT_EQ(Board().ActiveColumn(), c.ActiveAfter) << c.What;
    EXPECT_EQ(Shows, (c.Done ? std::vector<bool>{false, true} : std::vector<bool>{})) << c.What;
    // The moved columns are shown again: the partitions list of the new
    // column, the listing of the rest.
    for (int i = 0; i < c.Visible; ++i)
      EXPECT_GT(Column(i).Count(), 0) << c.What << " column " << i;
    EXPECT_EQ(Column(TBoardColumns::DropColumn).ActiveTitle, "/dropped/")
        << c.What << ": the drop column is never a spare";
  }
}

TEST_F(BoardColumnsTest, TheInsertedColumnTakesTheSortModeOfItsPlace) {
  Lettered(4, "1010", 0);
  Column(1).SortMode = "Size";
  ASSERT_TRUE(Board().InsertColumnAtEnd());
  EXPECT_EQ(Column(2).SortMode, "Size");
  EXPECT_EQ(Column(3).SortMode, "Name");
}

TEST_F(BoardColumnsTest, TenRotationsBringEveryColumnBack) {
  Lettered(10, "1001000100", 4);
  for (int i = 0; i < TBoardColumns::BoardColumns; ++i) {
    TColumn& column = Column(i);
    column.WidthAttr = 1 + i % 3;
    column.SubcolumnsAttr = 1 + i % 4;
    column.ThumbHeight = 2 + i;
    column.ThumbAttr = i % 2 == 1;
    column.SortMode = i % 2 ? "Size" : "Name";
    column.PreviousTitle = "/previous/" + std::to_string(i);
    column.DefaultTitle = "/default/" + std::to_string(i);
  }
  const auto snapshot = [this] {
    std::vector<std::string> fields;
    for (int i = 0; i < TBoardColumns::BoardColumns; ++i) {
      const TColumn& c = Column(i);
      fields.push_back(c.ActiveTitle + (c.FixedAttr ? "*" : "") + std::to_string(c.WidthAttr) +
                       std::to_string(c.SubcolumnsAttr) + std::to_string(c.ThumbHeight) +
                       (c.ThumbAttr ? "t" : "") + c.SortMode + c.PreviousTitle + c.DefaultTitle +
                       std::to_string(c.Count()));
    }
    return fields;
  };
  const std::vector<std::string> before = snapshot();
  for (int k = 0; k < 10; ++k)
    ASSERT_TRUE(Board().RotateRight());
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(Board().ActiveColumn(), 4);
  // The widths differ: each rotation laid the board out again.
  EXPECT_EQ(Layouts, 10);
}

TEST_F(BoardColumnsTest, EqualWidthsBeforeAndAfterSkipTheLayout) {
  Lettered(3, "1", 0);
  ASSERT_TRUE(Board().RotateRight());
  EXPECT_EQ(Layouts, 0);
  Column(9).WidthAttr = 2; // comes into view at the next rotation
  ASSERT_TRUE(Board().RotateRight());
  EXPECT_EQ(Layouts, 1);
}

TEST_F(BoardColumnsTest, AFailureInsideIsReportedAndTheBoardShownAgain) {
  struct TCase {
    const char* What;
    std::function<bool(TBoardColumns&)> Run;
    const char* Description;
  };
  const TCase cases[] = {
      {"insert", [](TBoardColumns& b) { return b.InsertColumnHere(); }, "Failed to insert column."},
      {"cut", [](TBoardColumns& b) { return b.CutColumnHere(); }, "Failed to cut column."},
      {"rotate right", [](TBoardColumns& b) { return b.RotateRight(); },
       "Failed to rotate column."},
      {"rotate left", [](TBoardColumns& b) { return b.RotateLeft(); }, "Failed to rotate column."},
  };
  for (const TCase& c : cases) {
    Lettered(4, "1010", 1);
    Column(5).OnContentChanged = [] { throw std::runtime_error("no room"); };
    Shows.clear();
    EXPECT_FALSE(c.Run(Board())) << c.What;
    EXPECT_EQ(FunStatContext.Status, fsError) << c.What;
    EXPECT_EQ(FunStatContext.Description, c.Description) << c.What;
    EXPECT_EQ(Shows, (std::vector<bool>{false, true})) << c.What;
    Column(5).OnContentChanged = nullptr;
  }
}

TEST_F(BoardColumnsTest, AttributeCommandsChangeTheActiveColumn) {
  Lettered(3, "1", 1);
  TColumn& active = Column(1);
  Board().ToggleFixed();
  EXPECT_TRUE(active.FixedAttr);
  EXPECT_EQ(Changed, std::vector<int>{1});

  Board().SetWidthAttr(4);
  EXPECT_EQ(active.WidthAttr, 4);
  EXPECT_EQ(Layouts, 1);
  Board().SetWidthAttr(11);
  EXPECT_EQ(active.WidthAttr, 4);

  // A new subcolumn count always lays out: even with the share (the larger
  // of the two) unchanged, the width is rounded to whole subcolumns.
  struct TCase {
    int Width, Old, New;
    bool Layout;
  };
  const TCase cases[] = {
      {3, 1, 2, true}, {1, 1, 2, true}, {2, 2, 2, false}, {2, 3, 1, true}, {4, 4, 3, true}};
  for (const TCase& c : cases) {
    active.WidthAttr = c.Width;
    active.SubcolumnsAttr = c.Old;
    Layouts = 0;
    Board().SetSubcolumnsAttr(c.New);
    EXPECT_EQ(active.SubcolumnsAttr, c.New);
    EXPECT_EQ(active.List.Subcolumns(), c.New);
    EXPECT_EQ(Layouts, c.Layout ? 1 : 0) << c.Width << " " << c.Old << " " << c.New;
  }

  Board().SetThumbHeight(26, false); // not offered
  EXPECT_EQ(active.ThumbHeight, 3);
  EXPECT_FALSE(active.ThumbAttr);
  Board().SetThumbHeight(30, false);
  EXPECT_EQ(active.ThumbHeight, 30);
  EXPECT_TRUE(active.ThumbAttr);
  EXPECT_EQ(Column(0).ThumbHeight, 3);
  Board().SetThumbHeight(7, true);
  for (int i = 0; i < TBoardColumns::BoardColumns; ++i) {
    EXPECT_EQ(Column(i).ThumbHeight, 7) << i;
    EXPECT_EQ(Column(i).ThumbAttr, i == 1) << i;
  }
  Board().ToggleThumbnails();
  EXPECT_FALSE(active.ThumbAttr);
}

TEST_F(BoardColumnsTest, ChangingTheVisibleColumnsReloadsThemAndKeepsTheActiveOneVisible) {
  Lettered(3, "1", 2);
  Layouts = 0;
  Board().ChangeVisibleColumns(5);
  EXPECT_EQ(Board().VisibleColumns(), 5);
  EXPECT_EQ(Layouts, 1);
  EXPECT_GT(Column(4).Count(), 0);
  EXPECT_TRUE(Column(4).DirMonitor.Watching());
  Board().ChangeVisibleColumns(11);
  EXPECT_EQ(Board().VisibleColumns(), 5);
  Board().ChangeVisibleColumns(1);
  EXPECT_EQ(Board().ActiveColumn(), 0);
  EXPECT_EQ(Focused.back(), 0);
  for (int i = 1; i < 5; ++i) {
    EXPECT_FALSE(Column(i).DirMonitor.Watching()) << i;
    EXPECT_TRUE(Column(i).DirMonitor.Title().empty()) << i;
  }
}

TEST_F(BoardColumnsTest, OnlyAVisibleTargetWatchesTheDirectoryItTook) {
  Lettered(3, "1", 0);
  Column(2).SetWithColumn(Column(0), {.CopyActive = true});
  EXPECT_TRUE(Column(2).DirMonitor.Title().empty());
  EXPECT_FALSE(Column(2).DirMonitor.Watching());
  Column(1).SetWithColumn(Column(0), {.CopyActive = true, .TargetVisible = true});
  EXPECT_EQ(Column(1).DirMonitor.Title(), Title("A/"));
  EXPECT_TRUE(Column(1).DirMonitor.Watching());
}

// r/a/a1/f, r/b/g, r/c/h: column 0 in r (b focused), 1 in r/a, 2 in r/c.
class GroupNavigationTest : public BoardColumnsTest {
protected:
  void Arrange(int visible, const std::string& fixed) {
    for (const char* file : {"r/a/a1/f", "r/b/g", "r/c/h"})
      MakeFile(file);
    Board().SetVisibleColumns(visible);
    const char* titles[] = {"r/b", "r/a/a1", "r/c/h"};
    for (int i = 0; i < 3; ++i) {
      Column(i).ActiveTitle = Title(titles[i]);
      Column(i).FixedAttr = fixed[static_cast<size_t>(i)] == '1';
      if (i < visible) Column(i).LoadDirectory(false);
    }
  }
  struct TCase {
    const char* What;
    int Visible;
    const char* Fixed;
    int Index;
    TGroupKeys Keys;
    std::vector<std::string> After;
    int Active;
    const char* Directory = ""; // what Enter opens
  };
  std::vector<std::string> Titles(int visible) {
    std::vector<std::string> titles;
    for (int i = 0; i < visible; ++i)
      titles.push_back(Relative(Column(i).ActiveTitle));
    return titles;
  }
};

TEST_F(GroupNavigationTest, EnterOpensTheDirectoryInTheGroup) {
  const TCase cases[] = {
      {"last column: automove", 2, "10", 1, {}, {"r/a/a1", "r/b/g"}, 1, "r/b"},
      {"autoopen in the next column", 2, "10", 0, {}, {"r/b", "r/b/g"}, 1, "r/b"},
      {"Alt: autohold", 2, "10", 0, {.Alt = true}, {"r/b/g", "r/a/a1"}, 0, "r/b"},
      {"Ctrl: automove", 2, "10", 1, {.Ctrl = true}, {"r/a/a1", "r/b/g"}, 1, "r/b"},
      {"Ctrl at the group start", 2, "10", 0, {.Ctrl = true}, {"r/b/g", "r/a/a1"}, 0, "r/b"},
      {"Ctrl with Alt", 2, "10", 1, {.Ctrl = true, .Alt = true}, {"r/a/a1", "r/b/g"}, 1, "r/b"},
      {"automove stays in its group", 3, "101", 1, {}, {"r/a/a1", "r/b/g", "r/c/h"}, 1, "r/b"},
      {"Shift opens directories to the right",
       3,
       "100",
       0,
       {.Shift = true},
       {"r/b", "r/a/a1", "r/a/a1/f"},
       1,
       "r/a"},
      {"Shift stops at a file", 3, "100", 0, {.Shift = true}, {"r/b", "r/b/g", "r/c/h"}, 1, "r/b"},
  };
  for (const TCase& c : cases) {
    Arrange(c.Visible, c.Fixed);
    Board().EnterDirectory(c.Index, Title(c.Directory), c.Keys);
    EXPECT_EQ(Titles(c.Visible), c.After) << c.What;
    EXPECT_EQ(Board().ActiveColumn(), c.Active) << c.What;
    EXPECT_EQ(Focused.back(), c.Active) << c.What;
  }
}

// A chain of directories deeper than the group: Shift opens them down to
// the group's last column and touches nothing beyond it.
TEST_F(GroupNavigationTest, ShiftEnterStopsAtTheGroupsEndWhenTheChainIsLonger) {
  MakeFile("r/d/d1/d2/d3/d4/f");
  const struct {
    const char* What;
    int Visible;
    const char* Fixed;
    std::vector<std::string> After;
  } cases[] = {
      {"the last visible column ends the group", 3, "100", {"r/b", "r/d/d1", "r/d/d1/d2"}},
      {"a fixed column ends the group", 3, "101", {"r/b", "r/d/d1", "r/c/h"}},
  };
  for (const auto& c : cases) {
    Arrange(c.Visible, c.Fixed);
    const std::string beyond = Column(3).ActiveTitle;
    Board().EnterDirectory(0, Title("r/d"), {.Shift = true});
    EXPECT_EQ(Titles(c.Visible), c.After) << c.What;
    EXPECT_EQ(Column(3).ActiveTitle, beyond) << c.What;
    EXPECT_EQ(Board().ActiveColumn(), 1) << c.What;
  }
}

TEST_F(GroupNavigationTest, ParentOpensTheParentInTheGroup) {
  const TCase cases[] = {
      {"in the previous column", 2, "10", 1, {}, {"r/a", "r/a/a1"}, 0},
      {"group start: automove", 2, "10", 0, {}, {"r", "r/b"}, 0},
      {"Alt: the same column", 2, "10", 1, {.Alt = true}, {"r/b", "r/a"}, 1},
      {"Ctrl: automove", 2, "10", 0, {.Ctrl = true}, {"r", "r/b"}, 0},
      {"Ctrl at the group end", 2, "10", 1, {.Ctrl = true}, {"r/b", "r/a"}, 1},
      {"Shift: parents to the left",
       3,
       "100",
       2,
       {.Alt = true, .Shift = true},
       {"<dir>", "r", "r/c"},
       2},
      {"automove stays in its group", 3, "110", 1, {}, {"r/b", "r/a", "r/a/a1"}, 1},
  };
  for (const TCase& c : cases) {
    Arrange(c.Visible, c.Fixed);
    Board().ParentDirectory(c.Index, c.Keys);
    EXPECT_EQ(Titles(c.Visible), c.After) << c.What;
    EXPECT_EQ(Board().ActiveColumn(), c.Active) << c.What;
  }
}

TEST_F(GroupNavigationTest, ShiftParentStopsAfterThePartitionRoot) {
  Arrange(3, "100");
  Column(2).ActiveTitle = "/etc/hosts";
  Board().ParentDirectory(2, {.Alt = true, .Shift = true});
  EXPECT_TRUE(GetTitlePath(Column(2).ActiveTitle).size() <= 1) << Column(2).ActiveTitle;
  EXPECT_EQ(Titles(2), (std::vector<std::string>{"r/b", "r/a/a1"}));
}

TEST_F(GroupNavigationTest, ParentOfThePartitionsListDoesNothing) {
  Arrange(2, "10");
  Column(1).ActiveTitle = ":/";
  Board().ParentDirectory(1, {});
  EXPECT_EQ(Board().ActiveColumn(), 0);
  EXPECT_EQ(Column(0).ActiveTitle, Title("r/b"));
  EXPECT_EQ(Column(1).ActiveTitle, ":/");
}

TEST_F(GroupNavigationTest, TheSourceColumnCarriesAColumnToAnotherBoard) {
  Arrange(2, "10");
  Board().SetActiveColumn(0);
  TColumn& source = Column(TBoardColumns::SourceColumn);
  Board().MarkSourceColumn();
  EXPECT_EQ(source.ActiveTitle, Title("r/b"));
  EXPECT_EQ(source.Count(), 3);
  EXPECT_EQ(source.List.FocusIndex(), 1);
  EXPECT_FALSE(source.HeaderChanged);
  EXPECT_TRUE(source.DirMonitor.Title().empty()); // column 11 is never watched

  // A change the marked column saw travels as the changed mark.
  MakeFile("r/new");
  Board().MarkSourceColumn();
  EXPECT_TRUE(Column(0).HeaderChanged);
  EXPECT_TRUE(source.HeaderChanged);
  EXPECT_EQ(source.Count(), 3);

  Board().SetActiveColumn(1);
  const std::string before = Column(1).ActiveTitle;
  Board().SetWithSourceColumn();
  EXPECT_EQ(Column(1).ActiveTitle, Title("r/b"));
  EXPECT_EQ(Column(1).PreviousTitle, before);
  EXPECT_EQ(Column(1).Count(), 3);
  EXPECT_EQ(Column(1).List.FocusIndex(), 1);
  EXPECT_TRUE(Column(1).HeaderChanged);
  EXPECT_EQ(Column(1).DirMonitor.Title(), Title("r/"));
  EXPECT_EQ(Focused.back(), 1);
}

} // namespace
} // namespace cv
