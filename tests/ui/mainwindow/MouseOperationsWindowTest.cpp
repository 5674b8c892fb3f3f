#include "mainwindow/MainDialog.h"

#include "LauncherSupport.h"
#include "TestSupport.h"
#include "WindowSupport.h"
#include "columns/BoardForm.h"
#include "columns/BoardsBar.h"
#include "columns/Column.h"
#include "columns/ColumnPainter.h"
#include "columns/ColumnView.h"
#include "columns/MouseMenu.h"
#include "columns/MouseOperations.h"
#include "columns/MyPanel.h"
#include "fileops/FileForm.h"
#include "options/ProgramOptions.h"

#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace cv {
namespace {

namespace fs = std::filesystem;

class MouseOperationsWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    Tree = Root.Path + "/work";
    fs::create_directories(Tree);
    std::ofstream(Tree + "/a.sh") << "#!/bin/sh\n";
    ::chmod((Tree + "/a.sh").c_str(), 0755);
    std::ofstream(Tree + "/b.txt") << "b";
    Form.Setup();
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    Form.Column(1).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                                 Tree + "/a.sh");
    List = Form.ColumnView(1)->FileList;
  }
  // A point of item `index` of column 1: in its type zone or in its name.
  QPoint At(int index, bool typeZone) {
    const QRect item = Form.Column(1).List.ItemRect(index);
    const int x = typeZone ? 2 : item.width() / 2;
    return item.topLeft() + QPoint(x, 3) + List->InnerOrigin();
  }

  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
  test::TRecordingLauncher Launch;
  std::string Tree;
  TMainForm Form;
  MyTPanel* List = nullptr;
};

TEST_F(MouseOperationsWindowTest, ClicksOnNameAndTypeAndDoubleClicks) {
  ASSERT_GT(MouseTypeWidth(ColumnRowHeight()), 2) << "the default settings have a type zone";
  // A single left click on the name only focuses: it runs nothing and opens
  // no menu, nor does a left click on empty space.
  QTest::mouseClick(List, Qt::LeftButton, {}, At(0, false));
  EXPECT_TRUE(Launch.Started.empty());
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  QTest::mouseClick(List, Qt::LeftButton, {}, List->rect().bottomLeft() + QPoint(20, -20));
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  // On the type field it runs, once even when it was a double click.
  QTest::mouseClick(List, Qt::LeftButton, {}, At(0, true));
  EXPECT_EQ(Launch.Started.size(), 1u);
  QTest::mouseDClick(List, Qt::LeftButton, {}, At(0, true));
  EXPECT_EQ(Launch.Started.size(), 1u);
  // A double click on the name runs it.
  QTest::mouseDClick(List, Qt::LeftButton, {}, At(0, false));
  EXPECT_EQ(Launch.Started.size(), 2u);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(MouseOperationsWindowTest, AShortRightDragShowsTheMouseMenuAndItsCellRuns) {
  const QPoint press = At(1, false); // b.txt
  QTest::mousePress(List, Qt::RightButton, {}, press);
  QTest::mouseMove(List, press + QPoint(6, 0));
  ASSERT_FALSE(Form.MouseMenu.isNull()) << "6 pixels away the menu shows";
  // The "Delete" cell: the ninth operation, row 4 of the left column.
  const QRect menu = Form.MouseMenu->geometry();
  const int w = Form.MouseMenu->Model().CellWidth(), h = Form.MouseMenu->Model().RowHeight();
  const QPoint deleteCell = Form.mapToGlobal(menu.topLeft() + QPoint(w / 2, 4 * h + h / 2));
  EXPECT_EQ(Form.MouseMenu->CellAt(deleteCell), 8);
  test::WhenDialogShows(&Form, [this] { Form.FileForm->OkayButton->click(); });
  QTest::mouseRelease(List, Qt::RightButton, {}, List->mapFromGlobal(deleteCell));
  EXPECT_TRUE(Form.MouseMenu.isNull() || !Form.MouseMenu->isVisible());
  EXPECT_FALSE(fs::exists(Tree + "/b.txt"));
  EXPECT_TRUE(fs::exists(Tree + "/a.sh"));
}

TEST_F(MouseOperationsWindowTest, BoardButtonsShowAndCopyBoards) {
  ASSERT_NE(Form.Bar, nullptr);
  const bool shown = ProgramOptions.ShowBoardsBar;
  ProgramOptions.ShowBoardsBar = true;
  Form.Reset(false);
  MyTPanel* second = Form.Bar->Button(1);
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(second->isVisible());
  QTest::mouseClick(second, Qt::LeftButton, {}, second->rect().center());
  EXPECT_EQ(Form.Boards.ActiveBoard(), 1);
  EXPECT_TRUE(second->Down());
  // Ctrl on board 5: it becomes a copy of board 2 and is shown, board 2 stays.
  MyTPanel* fifth = Form.Bar->Button(4);
  QTest::mouseClick(fifth, Qt::LeftButton, Qt::ControlModifier, fifth->rect().center());
  EXPECT_EQ(Form.Boards.ActiveBoard(), 4);
  EXPECT_TRUE(fifth->Down());
  EXPECT_FALSE(second->Down());
  EXPECT_EQ(Form.Boards.Boards[4].Name, "Containers") << "a copy keeps its own name";
  // B renames the active board; its button follows.
  test::WhenDialogShows(&Form, [this] {
    Form.BoardForm->NameBox->setCurrentText("Work");
    Form.BoardForm->RenameButton->click();
  });
  QTest::keyClick(List, Qt::Key_B);
  EXPECT_EQ(Form.Boards.Boards[4].Name, "Work");
  EXPECT_EQ(fifth->Caption(), "Work (5)");
  // The header's hint tells what its buttons do.
  EXPECT_NE(Form.Column(1).HeaderHint.find("[LMB] = Enter parent directory"), std::string::npos)
      << Form.Column(1).HeaderHint;
  EXPECT_TRUE(Ui.Errors.empty());
  ProgramOptions.ShowBoardsBar = shown;
}

TEST_F(MouseOperationsWindowTest, ADragRestingOnABoardButtonShowsThatBoardAndDropsFromTheMark) {
  const bool shown = ProgramOptions.ShowBoardsBar;
  ProgramOptions.ShowBoardsBar = true;
  Form.Reset(false);
  MyTPanel* third = Form.Bar->Button(2);
  const QPoint button = third->mapToGlobal(third->rect().center());
  Form.Bar->MousePosition = [button] { return button; };
  QTest::mousePress(List, Qt::LeftButton, {}, At(1, false));
  QTest::mouseMove(List, List->mapFromGlobal(button));
  QTest::qWait(1200); // the drag rests on the button for more than 0.8 s
  EXPECT_EQ(Form.Boards.ActiveBoard(), 2) << "board 3 is shown during the drag";
  MyTPanel* target = Form.ColumnView(0)->FileList;
  const QPoint drop = target->mapToGlobal(target->rect().center());
  QTest::mouseRelease(List, Qt::LeftButton, {}, List->mapFromGlobal(drop));
  ASSERT_FALSE(Form.LastDragMenu.isNull());
  EXPECT_TRUE(Form.LastDragMenu->isVisible());
  EXPECT_EQ(Form.Drag.DragSourceColumn, 11) << "the marked column is the source";
  EXPECT_EQ(Form.Drag.DragTitle, Tree + "/b.txt");
  Form.LastDragMenu->close();
  ProgramOptions.ShowBoardsBar = shown;
}

} // namespace
} // namespace cv
