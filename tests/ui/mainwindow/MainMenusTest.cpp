// The menus as the user meets them, and commands reached by key.

#include "mainwindow/MainMenus.h"

#include "TestSupport.h"
#include "WindowSupport.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "mainwindow/MainDialog.h"
#include "mainwindow/OptionsForm.h"
#include "options/ProgramOptions.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace cv {
namespace {

// Every command whose part of the program is not built yet. Each later
// piece of work removes its rows; nothing here is silently missing.
const std::set<std::string> CNotBuilt = {
    "File/Miscellaneous/Link as item in/Quick launch",
    "Help/About",
};

TEST(MainMenus, CaptionsShortcutsAndHintsComeFromTheTable) {
  QWidget owner;
  TMainMenus menus(&owner);
  for (const char* top : {"File", "Work", "Help"}) {
    QMenu* menu = menus.Top(top);
    ASSERT_NE(menu, nullptr) << top;
    EXPECT_EQ(menu->title(), top);
    ASSERT_FALSE(menu->actions().isEmpty());
    EXPECT_EQ(menu->actions().front()->text(), top) << "the title item";
    EXPECT_TRUE(menu->actions().front()->font().bold());
  }
  EXPECT_EQ(menus.Action("File/Attributes/Fixed")->text(), "Fixed\tF10");
  EXPECT_EQ(menus.Action("File/View & Edit")->text(), "View && Edit");
  EXPECT_EQ(menus.Action("Work/Layout/Toggle file info bar")->text(),
            "Toggle file info bar\tAlt+F8");
  EXPECT_EQ(menus.Action("File/Attributes/Thumbnail height/30")->text(), "30");
  EXPECT_EQ(menus.Action("File/Attributes/Width/10")->text(), "10");
  EXPECT_EQ(menus.Action("File/Attributes/Width/11"), nullptr);
  EXPECT_FALSE(menus.Action("File/Navigate/Load directory")->statusTip().isEmpty());
  EXPECT_EQ(menus.HelpContextOf(menus.Action("File/Navigate/Load directory")), 304);
  EXPECT_EQ(menus.HelpContextOf(menus.Action("File/View & Edit/View")), 207) << "its submenu's";
  EXPECT_EQ(menus.HelpContextOf(menus.Action("File/Often/Multi-rename file *")), 406);
  // Every row of the table has its action, in menu order.
  size_t rows = 0;
  for (const TCommand& command : MainCommands())
    if (command.Kind != TCommandKind::Separator) {
      ++rows;
      EXPECT_NE(menus.Action(CommandPath(command)), nullptr) << CommandPath(command);
    }
  EXPECT_GE(menus.Paths().size(), rows);
}

TEST(MainMenus, CommandsNotBuiltYetAreShownDisabled) {
  QWidget owner;
  TMainMenus menus(&owner);
  std::set<std::string> notBuilt;
  for (const TCommand& command : MainCommands())
    if (command.Kind != TCommandKind::Separator && !command.Built)
      notBuilt.insert(CommandPath(command));
  EXPECT_EQ(notBuilt, CNotBuilt);
  menus.Enable(~0u & ~(ctPartition | ctContainer | ctDirectory));
  for (const std::string& path : notBuilt) {
    EXPECT_FALSE(menus.Action(path)->isEnabled()) << path;
    EXPECT_TRUE(menus.Action(path)->statusTip().endsWith("(Not available in this version yet.)"))
        << path;
  }
}

class MainMenusWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    ProgramOptions.SetDefaults();
    Form.Setup();
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
  }
  test::TRecordingUserInterface Ui;
  TMainForm Form;
};

TEST_F(MainMenusWindowTest, KeysRunTheirCommandsThroughTheMenus) {
  Form.FocusColumn(0);
  MyTPanel* list = Form.ColumnView(0)->FileList;
  TColumn& column = Form.Column(0);
  const bool fixed = column.FixedAttr;
  QTest::keyClick(list, Qt::Key_F10);
  EXPECT_NE(column.FixedAttr, fixed);
  EXPECT_EQ(Form.ColumnView(0)->Header->Down(), column.FixedAttr);
  const bool thumbs = column.ThumbAttr;
  QTest::keyClick(list, Qt::Key_F10, Qt::ControlModifier);
  EXPECT_NE(column.ThumbAttr, thumbs);
  EXPECT_NE(column.FixedAttr, fixed) << "Ctrl+F10 leaves the fixed attribute";
  QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
  EXPECT_NE(column.ThumbAttr, thumbs) << "Shift+F10 is consumed and does nothing";

  const bool fileBar = ProgramOptions.ShowFileInfo;
  QTest::keyClick(list, Qt::Key_F8, Qt::AltModifier);
  EXPECT_NE(ProgramOptions.ShowFileInfo, fileBar);
  QTest::keyClick(list, Qt::Key_F8, Qt::AltModifier);
  EXPECT_EQ(ProgramOptions.ShowFileInfo, fileBar);

  // A key typed into a dialog's text box stays there: the window's filter
  // watches the whole application for hints, not for keys.
  auto* box = Form.OptionsForm->findChild<QLineEdit*>(QStringLiteral("Name1"));
  ASSERT_NE(box, nullptr);
  const bool fixedNow = column.FixedAttr;
  QTest::keyClick(box, Qt::Key_F10);
  EXPECT_EQ(column.FixedAttr, fixedNow);

  // Through the menu item of a numbered submenu.
  EXPECT_TRUE(Form.RunCommand("File/Visible columns/4"));
  EXPECT_EQ(Form.VisibleColumns(), 4);
  EXPECT_TRUE(Form.ColumnView(3)->isVisibleTo(&Form));
  // A command whose part is not built does nothing.
  EXPECT_FALSE(Form.RunCommand("File/Often/New directory"));
  EXPECT_TRUE(Ui.Errors.empty());
}

// The column key table: selection, neighbour columns and boards.
TEST_F(MainMenusWindowTest, ColumnKeysSelectMoveBetweenColumnsAndShowBoards) {
  Form.FocusColumn(0);
  TColumn& column = Form.Column(0);
  ASSERT_GT(column.Count(), 0) << "the partitions";
  // The player's keys never reach the column; the pad's "-" does.
  EXPECT_TRUE(Form.Menus->Action("File/Select/Filtered deselect all"));
  const int focus = column.List.FocusIndex();
  QTest::keyClick(Form.ColumnView(0)->FileList, Qt::Key_Minus);
  QTest::keyClick(Form.ColumnView(0)->FileList, Qt::Key_BracketRight, Qt::ShiftModifier);
  EXPECT_EQ(column.List.FocusIndex(), focus);
  EXPECT_EQ(Form.ActiveColumn(), 0);
  // Nothing to select in the partitions list.
  QTest::keyClick(Form.ColumnView(0)->FileList, Qt::Key_Insert);
  EXPECT_EQ(column.SelCount, 0);

  // Left from the first column wraps to the last visible one.
  QTest::keyClick(Form.ColumnView(0)->FileList, Qt::Key_Left);
  EXPECT_EQ(Form.ActiveColumn(), Form.VisibleColumns() - 1);
  QTest::keyClick(Form.ColumnView(Form.ActiveColumn())->FileList, Qt::Key_Right);
  EXPECT_EQ(Form.ActiveColumn(), 0);

  // "3" shows board 3 (index 2); "0" board 10 while ten boards have buttons.
  QTest::keyClick(Form.ColumnView(0)->FileList, Qt::Key_3);
  EXPECT_EQ(Form.Boards.ActiveBoard(), 2);
  QTest::keyClick(Form.ColumnView(Form.ActiveColumn())->FileList, Qt::Key_0);
  EXPECT_EQ(Form.Boards.ActiveBoard(), 9);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(MainMenusWindowTest, FileMenuOpensAtTheActiveItemWithTheColumnsState) {
  Form.FocusColumn(1);
  bool shown = false;
  test::WhenDialogShows(&Form, [&] {
    QMenu* file = Form.Menus->Top("File");
    shown = file->isVisible();
    EXPECT_TRUE(Form.Menus->Action("File/Visible columns/2")->isChecked());
    EXPECT_FALSE(Form.Menus->Action("File/Visible columns/3")->isChecked());
    EXPECT_EQ(Form.Menus->Action("File/Attributes/Fixed")->isChecked(), Form.Column(1).FixedAttr);
    EXPECT_TRUE(Form.Menus->Action("File/Attributes/Sort/Name")->isChecked());
    file->close();
  });
  QTest::keyClick(Form.ColumnView(1)->FileList, Qt::Key_Menu);
  for (int i = 0; i < 200 && !shown; ++i) QTest::qWait(10);
  EXPECT_TRUE(shown);
}

} // namespace
} // namespace cv
