#include "foundation/Utilities.h"

#include "TestSupport.h"
#include "foundation/QtText.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QListWidget>
#include <QMenu>
#include <QWidget>
#include <unistd.h>

namespace cv {
namespace {

TEST(MenuCaptionTest, AmpersandsShowAsThemselves) { EXPECT_EQ(MenuCaption("R&D"), "R&&D"); }

class ComboTest : public ::testing::Test {
protected:
  void SetUp() override {
    FunStatContext = TFunStatContext();
    Box.setEditable(true);
    Box.addItems({"Alpha", "Beta", "Gamma"});
  }
  test::TRecordingUserInterface Ui;
  QComboBox Box;
};

TEST_F(ComboTest, IndexByTextWithDefaults) {
  struct Case { const char* text; const char* fallback; int index; } cases[] = {
      {"beta", "", 1}, {"", "Gamma", 2}, {"nothing", "gamma", 2}, {"nothing", "", 0},
      {"nothing", "absent", 0}, {"", "", 0},
  };
  for (const auto& c : cases) {
    Box.setCurrentIndex(1);
    SetComboIndexByText(&Box, c.text, c.fallback);
    EXPECT_EQ(Box.currentIndex(), c.index) << c.text << "/" << c.fallback;
  }
  QComboBox empty;
  SetComboIndexByText(&empty, "x", "y");
  EXPECT_EQ(empty.currentIndex(), -1);
}

TEST_F(ComboTest, HistoryMovesOrInsertsFirstAndKeepsTheText) {
  Box.setEditText("typed");
  AddToComboHistory(&Box, "gamma");
  EXPECT_EQ(Box.itemText(0), "Gamma");
  EXPECT_EQ(Box.count(), 3);
  EXPECT_EQ(Box.currentText(), "typed");
  AddToComboHistory(&Box, "");
  EXPECT_EQ(Box.count(), 3);
  RecordComboHistory(&Box);
  EXPECT_EQ(Box.count(), 4);
  EXPECT_EQ(Box.itemText(0), "typed");
  EXPECT_EQ(Box.itemText(1), "Gamma");
  EXPECT_EQ(Box.currentText(), "typed");
}

TEST_F(ComboTest, NumbersOutsideLimitsWarnAndResetTheBox) {
  Box.setEditText("42");
  EXPECT_EQ(GetIntFromComboBox(&Box, 0, 100, 7), 42);
  Box.setEditText("");
  EXPECT_EQ(GetIntFromComboBox(&Box, 0, 100, 7), 7);
  EXPECT_TRUE(Ui.Boxes.empty());
  for (const char* text : {"101", "4x"}) {
    Box.setEditText(text);
    EXPECT_EQ(GetIntFromComboBox(&Box, -1, 100, 7), 7) << text;
    EXPECT_EQ(Box.currentText(), "7");
  }
  ASSERT_EQ(Ui.Boxes.size(), 2u);
  EXPECT_EQ(Ui.Boxes[0].Text, "Integer value outside limits.\nIt will be set to default.\n"
                              "    * Minimum = -1\n    * Maximum = 100\n    * Default = 7");
  Box.setEditText("-2147483648");
  EXPECT_EQ(GetIntFromComboBox(&Box), INT_MIN);

  Box.setEditText("2.5");
  EXPECT_DOUBLE_EQ(GetRealFromComboBox(&Box, 1.0, 10.0, 0.0), 2.5);
  Box.setEditText("12.5");
  EXPECT_DOUBLE_EQ(GetRealFromComboBox(&Box, 1.5, 10.0, 0.25), 1.5);
  EXPECT_EQ(Box.currentText(), "1.5");
  EXPECT_EQ(Ui.Boxes.back().Text, "Real value outside limits.\nIt will be set to default.\n"
                                  "    * Minimum = 0.25\n    * Maximum = 10\n    * Default = 1.5");
}

TEST(ListAndWindowTest, ListSelectionAtPoint) {
  QListWidget list;
  list.addItems({"one", "two", "three"});
  list.resize(200, 200);
  list.show();
  const QRect second = list.visualItemRect(list.item(1));
  EXPECT_EQ(SelectListItemAtPoint(&list, second.center().x(), second.center().y()), 1);
  EXPECT_EQ(list.currentRow(), 1);
  EXPECT_EQ(SelectListItemAtPoint(&list, 5, 190), -1);
  EXPECT_EQ(list.currentRow(), 1);
  ReselectListItem(&list);
  EXPECT_EQ(list.currentRow(), 1);
}

TEST(ListAndWindowTest, FontsControlsAndWindows) {
  test::TRecordingUserInterface ui;
  QWidget window;
  QFont font("Arial", 17);
  EXPECT_EQ(GetFontHeight(font, &window), QFontMetrics(font, &window).height());
  EXPECT_GT(GetFontHeight(font, &window), 0);
  EXPECT_EQ(GetFontHeight(font, nullptr), 0);
  EXPECT_EQ(FunStatContext.Description, "Failed to get device context.");

  window.setGeometry(100, 100, 300, 200);
  auto* child = new QWidget(&window);
  child->setGeometry(10, 10, 50, 50);
  window.show();
  QApplication::processEvents();
  const QPoint inside = child->mapToGlobal(QPoint(5, 5));
  EXPECT_TRUE(IsControlAtPoint(inside, child));
  EXPECT_FALSE(IsControlAtPoint(inside, &window));
  EXPECT_TRUE(IsControlAtPoint(window.mapToGlobal(QPoint(200, 150)), &window));
  EXPECT_FALSE(IsControlAtPoint(inside, nullptr));

  window.showMinimized();
  ShowFormNormal(&window);
  EXPECT_FALSE(window.isMinimized());
  EXPECT_TRUE(window.isVisible());
  FocusControlWindow(nullptr);
  EXPECT_GT(ScrollThumbWidth(), 0);
}

} // namespace
} // namespace cv
