#include "columns/ColumnView.h"

#include "TestSupport.h"
#include "columns/Column.h"
#include "columns/ColumnKeys.h"
#include "columns/MyPanel.h"
#include "foundation/BusyCount.h"
#include "options/ProgramOptions.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QKeyEvent>
#include <QTest>

#include <fstream>
#include <set>

namespace cv {
namespace {

QKeyEvent Press(int key, Qt::KeyboardModifiers modifiers, quint32 scanCode, const QString& text) {
  return QKeyEvent(QEvent::KeyPress, key, modifiers, scanCode, 0, 0, text);
}

TEST(ColumnViewKeyTest, KeyEventsFindTheirRowByPosition) {
  // Shift+1 as X11 and Wayland deliver it: "!" with the digit's keycode.
  const TColumnKeyRow* row = ColumnKeyRow(Press(Qt::Key_Exclam, Qt::ShiftModifier, 10, "!"));
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(ColumnKeyCommandPath(*row), "File/Container/Add to container */1");
  EXPECT_EQ(row->Number, 1);
  // The AZERTY "1" key without Shift.
  row = ColumnKeyRow(Press(Qt::Key_Ampersand, Qt::NoModifier, 10, "&"));
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->Action, TColumnKeyAction::ShowBoard);
  EXPECT_EQ(row->Number, 1);
  // The pad's 1 is not the digit row's.
  EXPECT_EQ(ColumnKeyRow(Press(Qt::Key_1, Qt::KeypadModifier, 87, "1")), nullptr);
  row = ColumnKeyRow(Press(Qt::Key_Insert, Qt::ControlModifier, 118, ""));
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->Caption, "Toggle up");
}

// The view hands the list's presses, moves, releases and keys to the
// column's desktop selection, and keeps what it took from the configured
// mouse operations.
class ColumnViewSelectionTest : public ::testing::Test {
protected:
  void SetUp() override {
    BusyCount.Reset();
    ProgramOptions.DesktopSelection = true;
    for (int i = 0; i < 6; ++i)
      std::ofstream(Dir.Path + "/f" + std::to_string(i)) << "x";
    Column.GroupOptions = TGroupOptions();
    Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/f0");
    View.resize(240, 400);
    View.show();
    View.FileList->OnMouseDown = [this](const QMouseEvent&, const QPoint&) { ++Downs; };
    View.FileList->OnMouseUp = [this](const QMouseEvent&, const QPoint&) { ++Ups; };
    ASSERT_EQ(Column.Count(), 6);
  }
  void TearDown() override { ProgramOptions.DesktopSelection = Kept; }
  QPoint At(int index) const { return Column.List.ItemRect(index).center(); }
  std::set<int> Selected() const {
    std::set<int> selected;
    for (int i = 0; i < Column.Count(); ++i)
      if (Column.Items[static_cast<size_t>(i)].Selected) selected.insert(i);
    return selected;
  }

  const bool Kept = ProgramOptions.DesktopSelection;
  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  TColumn Column{0};
  TColumnView View{Column};
  int Downs = 0, Ups = 0;
};

TEST_F(ColumnViewSelectionTest, ClicksKeysAndABandReachTheSelectionNotTheOperations) {
  MyTPanel* list = View.FileList;
  QTest::mouseClick(list, Qt::LeftButton, Qt::ControlModifier, At(1));
  QTest::mouseClick(list, Qt::LeftButton, Qt::ControlModifier, At(4));
  EXPECT_EQ(Selected(), (std::set<int>{1, 4}));
  EXPECT_EQ(Column.List.FocusIndex(), 4);
  QTest::mouseClick(list, Qt::LeftButton, Qt::ShiftModifier, At(2));
  EXPECT_EQ(Selected(), (std::set<int>{2, 3, 4}));
  EXPECT_EQ(Downs + Ups, 0);
  // A plain click is the configured operations' again.
  QTest::mouseClick(list, Qt::LeftButton, Qt::NoModifier, At(5));
  EXPECT_EQ(Downs, 1);
  EXPECT_EQ(Ups, 1);
  EXPECT_TRUE(Selected().empty());

  QTest::keyClick(list, Qt::Key_Up, Qt::ShiftModifier);
  QTest::keyClick(list, Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_EQ(Selected(), (std::set<int>{3, 4, 5}));
  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(Selected().size(), 6u);

  // A band from the empty space below the items up to item 3, painted while drawn.
  const QPoint empty(60, list->height() - 20);
  QTest::mousePress(list, Qt::LeftButton, Qt::NoModifier, empty);
  QTest::mouseMove(list, QPoint(30, At(3).y()));
  EXPECT_FALSE(View.Selection.Band().isEmpty());
  const QImage drawn = list->grab().toImage();
  const QRgb highlight = list->palette().color(QPalette::Highlight).rgb();
  const QRect band = View.Selection.Band().translated(list->InnerOrigin());
  EXPECT_EQ(drawn.pixel(band.left(), band.center().y()), highlight);
  QTest::mouseRelease(list, Qt::LeftButton, Qt::NoModifier, QPoint(30, At(3).y()));
  EXPECT_EQ(Selected(), (std::set<int>{3, 4, 5}));
  EXPECT_EQ(Downs, 1);
}

} // namespace
} // namespace cv
