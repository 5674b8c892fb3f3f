#include "columns/Column.h"
#include "columns/MouseOperations.h"

#include "TestSupport.h"
#include "foundation/BusyCount.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

namespace cv {
namespace {

constexpr Qt::KeyboardModifiers None = Qt::NoModifier;
constexpr Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers Shift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers CtrlShift = Qt::ControlModifier | Qt::ShiftModifier;

// The files f0..f9 (one byte each) in a list of one subcolumn with room
// for 20 rows of 15 pixels: the rows below item 9 are empty space.
class DesktopSelectionTest : public ::testing::Test {
protected:
  void SetUp() override {
    BusyCount.Reset();
    for (int i = 0; i < 10; ++i)
      std::ofstream(Dir.Path + "/f" + std::to_string(i)) << "x";
    Column.GroupOptions = TGroupOptions();
    Column.List.SetSize(200, 2 * 5 + 20 * 15);
    Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/f0");
    ASSERT_EQ(Column.Count(), 10);
    Options.DesktopSelection = true;
  }
  // A click as the list gives it: the selection first, then the focus.
  bool Click(int index, Qt::KeyboardModifiers modifiers) {
    const QPoint inner = Center(index);
    const bool taken = Selection.Press(Qt::LeftButton, index, inner, modifiers);
    Column.List.SetFocusIndex(index);
    Selection.Release(inner);
    return taken;
  }
  QPoint Center(int index) const { return Column.List.ItemRect(index).center() - QPoint(5, 5); }
  std::set<int> Selected() const {
    std::set<int> selected;
    for (int i = 0; i < Column.Count(); ++i)
      if (Column.Items[static_cast<size_t>(i)].Selected) selected.insert(i);
    return selected;
  }
  void ExpectSound() {
    EXPECT_EQ(Column.SelCount, static_cast<int>(Selected().size()));
    EXPECT_EQ(Column.SelSize, static_cast<int64_t>(Selected().size()));
    EXPECT_EQ(Column.List.CheckInvariant(), "");
  }

  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  TColumn Column{0};
  TProgramOptions Options;
  TDesktopSelection Selection{Column, Options};
};

TEST_F(DesktopSelectionTest, OffByDefaultTheMouseAndKeysGoToTheConfiguredOperations) {
  TProgramOptions defaults;
  EXPECT_FALSE(defaults.DesktopSelection);
  Options.DesktopSelection = false;
  Column.SelectItem(4);
  EXPECT_FALSE(Click(2, Ctrl));
  EXPECT_FALSE(Click(6, Shift));
  EXPECT_FALSE(Selection.Press(Qt::LeftButton, -1, QPoint(10, 250), None));
  EXPECT_FALSE(Selection.Key(Qt::Key_A, Ctrl));
  EXPECT_FALSE(Selection.Key(Qt::Key_Down, Shift));
  EXPECT_EQ(Selected(), (std::set<int>{4}));
}

TEST_F(DesktopSelectionTest, CtrlTogglesAndShiftSelectsFromTheAnchor) {
  struct TClick {
    int Index;
    Qt::KeyboardModifiers Modifiers;
  };
  struct TCase {
    const char* What;
    int Focus;
    std::vector<TClick> Clicks;
    std::set<int> Selected;
  };
  const TCase cases[] = {
      {"ctrl toggles", 0, {{2, Ctrl}, {5, Ctrl}, {2, Ctrl}}, {5}},
      {"shift from the clicked item", 0, {{2, None}, {5, Shift}}, {2, 3, 4, 5}},
      {"shift again keeps the anchor", 0, {{2, None}, {5, Shift}, {0, Shift}}, {0, 1, 2}},
      {"shift without a click starts at the focus", 7, {{4, Shift}}, {4, 5, 6, 7}},
      {"ctrl+shift adds a range",
       0,
       {{1, Ctrl}, {3, CtrlShift}, {6, Ctrl}, {8, CtrlShift}},
       {1, 2, 3, 6, 7, 8}},
      {"a plain click ends the selection", 0, {{1, Ctrl}, {4, Ctrl}, {6, None}}, {}},
  };
  for (const TCase& c : cases) {
    Column.DeselectAll(false);
    Column.List.SetFocusIndex(c.Focus);
    Selection.Forget();
    for (const TClick& click : c.Clicks)
      EXPECT_EQ(Click(click.Index, click.Modifiers), click.Modifiers != None) << c.What;
    EXPECT_EQ(Selected(), c.Selected) << c.What;
    ExpectSound();
  }
}

TEST_F(DesktopSelectionTest, ShiftWithTheMovingKeysExtendsAndCtrlASelectsAll) {
  Column.List.SetFocusIndex(3);
  EXPECT_TRUE(Selection.Key(Qt::Key_Down, Shift));
  EXPECT_TRUE(Selection.Key(Qt::Key_Down, Shift));
  EXPECT_EQ(Selected(), (std::set<int>{3, 4, 5}));
  EXPECT_EQ(Column.List.FocusIndex(), 5);
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(Selection.Key(Qt::Key_Up, Shift));
  EXPECT_EQ(Selected(), (std::set<int>{2, 3}));
  EXPECT_EQ(Column.List.FocusIndex(), 2);
  // A plain move is the list's; the next extension starts where it stopped.
  EXPECT_FALSE(Selection.Key(Qt::Key_Down, None));
  Column.List.KeyDown(Qt::Key_Down, None);
  EXPECT_TRUE(Selection.Key(Qt::Key_End, Shift));
  EXPECT_EQ(Selected(), (std::set<int>{3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(Column.List.FocusIndex(), 9);
  ExpectSound();

  Column.DeselectAll(false);
  EXPECT_TRUE(Selection.Key(Qt::Key_A, Ctrl));
  EXPECT_EQ(Selected().size(), 10u);
  EXPECT_FALSE(Selection.Key(Qt::Key_A, None)) << "A alone stays the column's";
  ExpectSound();
}

TEST_F(DesktopSelectionTest, ARubberBandSelectsTheItemsItCovers) {
  const QPoint below(100, 12 * 15); // empty space, two rows below item 9
  Column.SelectItem(0);
  // Plain: the band's items replace the selection; the band follows the mouse back.
  ASSERT_TRUE(Selection.Press(Qt::LeftButton, -1, below, None));
  EXPECT_EQ(Selected(), (std::set<int>{})) << "a press on empty space ends the selection";
  EXPECT_TRUE(Selection.Move(QPoint(40, Center(3).y())));
  EXPECT_EQ(Selected(), (std::set<int>{3, 4, 5, 6, 7, 8, 9}));
  EXPECT_FALSE(Selection.Band().isEmpty());
  EXPECT_TRUE(Selection.Move(QPoint(40, Center(7).y())));
  EXPECT_EQ(Selected(), (std::set<int>{7, 8, 9}));
  EXPECT_TRUE(Selection.Release(QPoint(40, Center(7).y())));
  EXPECT_TRUE(Selection.Band().isEmpty());
  EXPECT_EQ(Selected(), (std::set<int>{7, 8, 9}));
  ExpectSound();

  // With Ctrl the band adds to what was selected.
  Column.DeselectAll(false);
  Column.SelectItem(1);
  ASSERT_TRUE(Selection.Press(Qt::LeftButton, -1, below, Ctrl));
  Selection.Move(QPoint(40, Center(8).y()));
  Selection.Release(QPoint(40, Center(8).y()));
  EXPECT_EQ(Selected(), (std::set<int>{1, 8, 9}));

  // A click on empty space, moving less than the threshold, selects nothing.
  ASSERT_TRUE(Selection.Press(Qt::LeftButton, -1, below, None));
  Selection.Move(below + QPoint(0, -(TDesktopSelection::BandThreshold - 1)));
  EXPECT_TRUE(Selection.Release(below));
  EXPECT_EQ(Selected(), (std::set<int>{}));
  ExpectSound();
}

TEST_F(DesktopSelectionTest, OnlyTheLeftButtonAndItemsOfTheListAreTheSelections) {
  EXPECT_FALSE(Selection.Press(Qt::RightButton, 2, Center(2), Ctrl));
  EXPECT_FALSE(Selection.Press(Qt::LeftButton, 2, Center(2), Qt::AltModifier));
  EXPECT_FALSE(Selection.Move(Center(4)));
  EXPECT_FALSE(Selection.Release(Center(4)));
  EXPECT_TRUE(Selected().empty());
}

} // namespace
} // namespace cv
