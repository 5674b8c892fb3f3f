#include "columns/BoardsBar.h"

#include "../../core/columns/BoardTestSupport.h"
#include "TestSupport.h"
#include "columns/Board.h"
#include "columns/MyPanel.h"
#include "options/ProgramOptions.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QMenu>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

namespace cv {
namespace {

constexpr int BarWidth = 600;
constexpr int BarBorder = 2;

double FakeNow = 0.0;
double FakeClock() {
  return FakeNow;
}

// A window with the bar across its top, ten boards shown in two rows;
// every request the bar makes is written down.
class BoardsBarTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (int b = 0; b < 5; ++b)
      Set.Boards[static_cast<size_t>(b)].Name = "Name" + std::to_string(b + 1);
    Window.resize(BarWidth, 100);
    Panel = new MyTPanel(&Window);
    Panel->SetBorderWidth(BarBorder);
    Panel->setGeometry(0, 0, BarWidth, 2 * ButtonHeight() + 2 * BarBorder);
    Bar = std::make_unique<TBoardsBar>(Set, Panel, &FakeClock);
    Bar->Reset(10, 2);
    auto record = [this](const char* what) {
      return [this, what](int b) { Calls.push_back(what + std::to_string(b)); };
    };
    Bar->OnShow = record("show ");
    Bar->OnCopy = record("copy ");
    Bar->OnSwitch = record("switch ");
    Bar->OnMove = record("move ");
    Bar->OnGoTo = [this](int b, const QPoint& at) {
      Calls.push_back("go to " + std::to_string(b));
      GoToPoint = at;
    };
    Window.show();
  }

  static int ButtonHeight() {
    return QFontMetrics(QFont(QString::fromStdString(ProgramOptions.CaptionFontName),
                              ProgramOptions.CaptionFontSize))
               .height() +
           6;
  }

  TBoardSet Set;
  QWidget Window;
  MyTPanel* Panel = nullptr;
  std::unique_ptr<TBoardsBar> Bar;
  std::vector<std::string> Calls;
  QPoint GoToPoint;
};

TEST_F(BoardsBarTest, TenOfThirtyButtonsFillTwoRowsAndTheActiveOneIsPressed) {
  EXPECT_EQ(Panel->findChildren<MyTPanel*>().size(), 30);
  const int h = ButtonHeight();
  // 596 inner pixels for 5 buttons a row: 119 each, the last 120.
  struct TCase {
    int Board;
    QRect Rect;
  };
  const TCase cases[] = {{0, {2, 2, 119, h}},
                         {3, {359, 2, 119, h}},
                         {4, {478, 2, 120, h}},
                         {5, {2, 2 + h, 119, h}},
                         {9, {478, 2 + h, 120, h}}};
  for (const TCase& c : cases)
    EXPECT_EQ(Bar->Button(c.Board)->geometry(), c.Rect) << c.Board;
  for (int b = 0; b < 30; ++b) {
    EXPECT_EQ(Bar->Button(b)->isVisible(), b < 10) << b;
    EXPECT_EQ(Bar->Button(b)->Down(), b == 0) << b;
  }
  EXPECT_EQ(Bar->Button(0)->Caption(), "Name1 (1)");
  EXPECT_EQ(Bar->Button(7)->Caption(), "8");
  EXPECT_EQ(Bar->Button(7)->toolTip().toStdString(), BoardButtonHint(7));

  test::TRecordingUserInterface ui;
  Bar->Reset(9, 2);
  ASSERT_FALSE(ui.Errors.empty());
  EXPECT_NE(ui.Errors.front().Description.find("Invalid visible boards number."),
            std::string::npos);
  EXPECT_TRUE(Bar->Button(9)->isVisible());
  FunStatContext.Reset(fsPerfect);
}

TEST_F(BoardsBarTest, AReleasedButtonAsksForWhatItsModifiersSay) {
  struct TCase {
    int Board;
    Qt::MouseButton Button;
    Qt::KeyboardModifiers Modifiers;
    std::vector<std::string> Expected;
  };
  const TCase cases[] = {
      {3, Qt::LeftButton, Qt::NoModifier, {"show 3"}},
      {4, Qt::LeftButton, Qt::ControlModifier, {"copy 4"}},
      {2, Qt::LeftButton, Qt::ShiftModifier, {"switch 2"}},
      {3, Qt::LeftButton, Qt::AltModifier, {"move 3"}},
      {6, Qt::RightButton, Qt::NoModifier, {"go to 6"}},
      {3, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, {}},
      {0, Qt::LeftButton, Qt::NoModifier, {}},
      {0, Qt::LeftButton, Qt::ControlModifier, {}},
      {0, Qt::LeftButton, Qt::AltModifier, {}},
      {0, Qt::RightButton, Qt::NoModifier, {}},
  };
  for (const TCase& c : cases) {
    Calls.clear();
    MyTPanel* button = Bar->Button(c.Board);
    QTest::mouseClick(button, c.Button, c.Modifiers, QPoint(30, 5));
    EXPECT_EQ(Calls, c.Expected) << c.Board << " " << c.Modifiers.toInt();
  }
  // The menu opens under the button at the mouse's horizontal place.
  EXPECT_EQ(GoToPoint, Bar->Button(6)->mapToGlobal(QPoint(30, Bar->Button(6)->height())));

  // A press that leaves the button before its release is no click.
  Calls.clear();
  QTest::mousePress(Bar->Button(3), Qt::LeftButton, Qt::NoModifier, QPoint(30, 5));
  QTest::mouseRelease(Bar->Button(3), Qt::LeftButton, Qt::NoModifier, QPoint(300, 5));
  EXPECT_TRUE(Calls.empty());
}

TEST_F(BoardsBarTest, CaptionsAndThePressedButtonFollowTheBoards) {
  test::TColumnSet columns;
  ASSERT_TRUE(Set.SwitchWithBoard(2, columns.Board));
  Bar->RefreshCaptions();
  EXPECT_EQ(Bar->Button(0)->Caption(), "Name3 (1)");
  EXPECT_EQ(Bar->Button(2)->Caption(), "Name1 (3)");
  EXPECT_FALSE(Bar->Button(0)->Down());
  EXPECT_TRUE(Bar->Button(2)->Down());
}

TEST_F(BoardsBarTest, TheMenusListTheBoardsAndTheirDirectories) {
  QMenu boards;
  Bar->FillBoardsMenu(boards, 2);
  const QList<QAction*> items = boards.actions();
  ASSERT_EQ(items.size(), 31);
  EXPECT_EQ(boards.defaultAction(), items[0]);
  EXPECT_EQ(items[0]->text(), "Active board");
  EXPECT_EQ(items[1]->text(), "Name1 (1)\t1");
  EXPECT_EQ(items[10]->text(), "10\t0");
  EXPECT_EQ(items[11]->text(), "11");
  EXPECT_EQ(items[1]->statusTip(), "Show this board");
  for (int i = 1; i <= 30; ++i)
    EXPECT_EQ(items[i]->isChecked(), i == 3) << i;
  items[5]->trigger();
  EXPECT_EQ(Calls, std::vector<std::string>{"show 4"});

  Set.Boards[4].Column[2].ActiveTitle = "/srv/a.zip";
  Set.Boards[4].Column[2].ActiveKey = 9;
  std::vector<std::pair<int, TBoardDirectory>> chosen;
  Bar->OnGoToDirectory = [&](int b, const TBoardDirectory& d) { chosen.emplace_back(b, d); };
  QMenu goTo;
  Bar->FillGoToMenu(goTo, 4);
  ASSERT_EQ(goTo.actions().size(), 2);
  EXPECT_EQ(goTo.defaultAction()->text(), "Go to board directory");
  EXPECT_EQ(goTo.actions()[1]->text(), "/srv/");
  goTo.actions()[1]->trigger();
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_EQ(chosen[0].first, 4);
  EXPECT_EQ(chosen[0].second, (TBoardDirectory{2, "/srv/", "/srv/a.zip", 0, 9, 0}));
}

TEST_F(BoardsBarTest, ADraggedColumnRestingOnAButtonShowsItsBoard) {
  int starts = 0;
  Bar->OnDragStart = [&] { ++starts; };
  QPoint mouse = Bar->Button(5)->mapToGlobal(QPoint(10, 5));
  Bar->MousePosition = [&] { return mouse; };
  FakeNow = 100.0;
  Bar->DragAt(mouse);
  EXPECT_TRUE(Bar->DragTimerActive());
  FakeNow = 100.5;
  Bar->DragAt(mouse + QPoint(3, 0)); // moving on the button is no new arrival
  EXPECT_EQ(starts, 1);
  Bar->DragTimerTimer();
  EXPECT_TRUE(Calls.empty());
  FakeNow = 100.8;
  Bar->DragTimerTimer();
  EXPECT_EQ(Calls, std::vector<std::string>{"show 5"});

  // Away from the buttons nothing is shown; the drag ends with the release.
  Calls.clear();
  mouse = Window.mapToGlobal(QPoint(10, 90));
  Bar->DragAt(mouse);
  FakeNow = 110.0;
  Bar->DragTimerTimer();
  EXPECT_TRUE(Calls.empty());
  Bar->EndDrag();
  EXPECT_FALSE(Bar->DragTimerActive());
}

} // namespace
} // namespace cv
