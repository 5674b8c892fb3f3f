#include "columns/BoardsBarModel.h"

#include "BoardTestSupport.h"
#include "columns/Board.h"
#include "columns/Column.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace cv {
namespace {

// Board i is named "B<i>", shows tree "/t<i>" and stores "/b<i>/" in
// column 0; the columns on screen show "/screen/" in three columns, which
// the active board has not stored yet.
class BoardOperationsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Set = TBoardSet();
    for (int i = 0; i < TBoardSet::BoardCount; ++i) {
      TBoardData& board = Set.Boards[static_cast<size_t>(i)];
      board.Name = "B" + std::to_string(i);
      board.TreeNavigatorPath = "/t" + std::to_string(i);
      board.Column[0].ActiveTitle = "/b" + std::to_string(i) + "/";
    }
    Columns.Board.SetVisibleColumns(3);
    Columns.Board.Column(0).ActiveTitle = "/screen/";
  }

  // The first six boards as "name tree title visible".
  std::vector<std::string> Summary() const {
    std::vector<std::string> summary;
    for (int i = 0; i < 6; ++i) {
      const TBoardData& board = Set.Boards[static_cast<size_t>(i)];
      summary.push_back(board.Name + " " + board.TreeNavigatorPath + " " +
                        board.Column[0].ActiveTitle + " " + std::to_string(board.VisibleColumns));
    }
    return summary;
  }

  TBoardSet Set;
  test::TColumnSet Columns;
};

using TOperation = bool (TBoardSet::*)(int, const TBoardColumns&);

TEST_F(BoardOperationsTest, CopySwitchAndMoveRearrangeTheBoardsAndLeaveTheScreen) {
  struct TCase {
    const char* What;
    TOperation Operation;
    int From, To;
    std::vector<std::string> Expected;
  };
  const TCase cases[] = {
      {"Ctrl on board 5 from 1: a copy that keeps its name",
       &TBoardSet::CopyIntoBoard,
       0,
       4,
       {"B0 /t0 /screen/ 3", "B1 /t1 /b1/ 2", "B2 /t2 /b2/ 2", "B3 /t3 /b3/ 2", "B4 /t0 /screen/ 3",
        "B5 /t5 /b5/ 2"}},
      {"Shift on board 3 from 1: the two trade places",
       &TBoardSet::SwitchWithBoard,
       0,
       2,
       {"B2 /t2 /b2/ 2", "B1 /t1 /b1/ 2", "B0 /t0 /screen/ 3", "B3 /t3 /b3/ 2", "B4 /t4 /b4/ 2",
        "B5 /t5 /b5/ 2"}},
      {"Alt on board 4 from 1: boards 2, 3, 4 move left",
       &TBoardSet::MoveToBoard,
       0,
       3,
       {"B1 /t1 /b1/ 2", "B2 /t2 /b2/ 2", "B3 /t3 /b3/ 2", "B0 /t0 /screen/ 3", "B4 /t4 /b4/ 2",
        "B5 /t5 /b5/ 2"}},
      {"Alt on board 2 from 5: boards 2, 3, 4 move right",
       &TBoardSet::MoveToBoard,
       4,
       1,
       {"B0 /t0 /b0/ 2", "B4 /t4 /screen/ 3", "B1 /t1 /b1/ 2", "B2 /t2 /b2/ 2", "B3 /t3 /b3/ 2",
        "B5 /t5 /b5/ 2"}},
  };
  for (const TCase& c : cases) {
    SetUp();
    ASSERT_TRUE(Set.SetActiveBoard(c.From));
    const std::string screen = Columns.Board.Column(0).ActiveTitle;
    EXPECT_TRUE((Set.*c.Operation)(c.To, Columns.Board)) << c.What;
    EXPECT_EQ(Set.ActiveBoard(), c.To) << c.What;
    EXPECT_EQ(Summary(), c.Expected) << c.What;
    EXPECT_EQ(Columns.Board.Column(0).ActiveTitle, screen) << c.What;
    EXPECT_EQ(Columns.Board.VisibleColumns(), 3) << c.What;
    for (int i = 0; i < TBoardSet::BoardCount; ++i)
      EXPECT_EQ(Set.Boards[static_cast<size_t>(i)].BoardIndex, i) << c.What;
  }
}

TEST_F(BoardOperationsTest, TheActiveBoardAndIndexesOutsideTheBoardsChangeNothing) {
  const TOperation operations[] = {&TBoardSet::CopyIntoBoard, &TBoardSet::SwitchWithBoard,
                                   &TBoardSet::MoveToBoard};
  for (const TOperation operation : operations)
    for (const int b : {2, -1, 30, 1000}) {
      SetUp();
      Set.SetActiveBoard(2);
      const auto before = Set.Boards;
      EXPECT_FALSE((Set.*operation)(b, Columns.Board)) << b;
      EXPECT_EQ(Set.ActiveBoard(), 2) << b;
      EXPECT_TRUE(Set.Boards == before) << b;
    }
}

TEST(BoardsBarModel, ButtonCaptionsAndHints) {
  EXPECT_EQ(BoardButtonCaption(0, "Main"), "Main (1)");
  EXPECT_EQ(BoardButtonCaption(29, ""), "30");
  const std::string head =
      "Board (= set of columns). The button looks pressed for the active board. [LMB] = show "
      "this board ([Ctrl] = copy the active board in this board; [Shift] = switch the active "
      "board with this board; [Alt] = move the active board in the place of this board).";
  const std::string tail =
      " [RMB] = display a menu that contains all directories displayed in this board; if you "
      "click a menu item, that directory is displayed in the active column. Drag a column over "
      "this to show the board (after a short delay), and drop it on a column to display the "
      "\"File-drag\" menu. Each board can be individually navigated. Each board's status is "
      "saved.";
  struct TCase {
    int Index;
    std::string Key;
  };
  const TCase cases[] = {{0, " [1] = show this board."},
                         {8, " [9] = show this board."},
                         {9, " [0] = show this board."},
                         {10, ""},
                         {29, ""}};
  for (const TCase& c : cases)
    EXPECT_EQ(BoardButtonHint(c.Index), head + c.Key + tail) << c.Index;
}

TEST(BoardsBarModel, GoToListsTheColumnsThatStoreATitleInADirectory) {
  TBoardData board; // every column on the partitions list
  board.Column[1] = {
      .ActiveTitle = "/home/u/docs/", .ActiveType = 0, .TopOffset = 4, .ActiveKey = 0};
  board.Column[3] = {
      .ActiveTitle = "/srv/a.zip", .ActiveType = 3, .TopOffset = -2, .ActiveKey = 77};
  board.Column[5].ActiveTitle = ":/home";
  board.Column[9].ActiveTitle = "/";
  const std::vector<TBoardDirectory> expected = {{1, "/home/u/docs/", "/home/u/docs/", 0, 0, 4},
                                                 {3, "/srv/", "/srv/a.zip", 3, 77, -2},
                                                 {9, "/", "/", 0, 0, 0}};
  EXPECT_EQ(BoardDirectories(board), expected);
}

double FakeNow = 0.0;
double FakeClock() {
  return FakeNow;
}

TEST(BoardsBarModel, ADragShowsTheBoardItRestsOnAfterTheDwell) {
  struct TStep {
    double Now;
    int Over;  // the drag reached this button, -1 for none
    int Under; // the button under the mouse at the tick
    int Shown; // what the tick shows
  };
  struct TCase {
    const char* What;
    int Active;
    std::vector<TStep> Steps;
  };
  const TCase cases[] = {
      {"resting 0.79 s is too short, 0.8 s shows the board",
       0,
       {{100.0, 5, 5, -1}, {100.79, -1, 5, -1}, {100.8, -1, 5, 5}}},
      {"leaving the button cancels", 0, {{0.0, 5, 5, -1}, {0.9, -1, 6, -1}, {1.0, -1, -1, -1}}},
      {"reaching another button starts the wait again",
       0,
       {{0.0, 5, 5, -1}, {0.5, 6, 6, -1}, {1.0, -1, 6, -1}, {1.3, -1, 6, 6}}},
      {"the active board's button shows nothing", 3, {{0.0, 3, 3, -1}, {2.0, -1, 3, -1}}},
  };
  for (const TCase& c : cases) {
    TBoardDragDwell dwell(&FakeClock);
    for (const TStep& step : c.Steps) {
      FakeNow = step.Now;
      if (step.Over >= 0) dwell.DragOver(step.Over);
      EXPECT_EQ(dwell.Tick(c.Active, step.Under), step.Shown) << c.What << " at " << step.Now;
    }
  }

  TBoardDragDwell dwell(&FakeClock);
  FakeNow = 0.0;
  EXPECT_TRUE(dwell.DragOver(5));
  EXPECT_FALSE(dwell.DragOver(6));
  dwell.Release();
  FakeNow = 5.0;
  EXPECT_EQ(dwell.Tick(0, 6), -1);
  EXPECT_TRUE(dwell.DragOver(6));
}

} // namespace
} // namespace cv
