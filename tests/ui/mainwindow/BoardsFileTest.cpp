// The boards through a real close and start of the main window, and
// browsing with the keys and the mouse.

#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "foundation/Program.h"
#include "options/ProgramOptions.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace cv {
namespace {

namespace fs = std::filesystem;

class BoardsFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    OldHome = std::getenv("CORVANTIDE_HOME");
    ::setenv("CORVANTIDE_HOME", (Root.Path + "/data").c_str(), 1);
    Tree = Root.Path + "/tree";
    for (const char* directory : {"/a/deep/deeper", "/b", "/many"})
      fs::create_directories(Tree + directory);
    for (int i = 0; i < 100; ++i)
      std::ofstream(Tree + "/many/f" + std::to_string(100 + i) + ".txt") << i;
    ProgramOptions.SetDefaults();
    Program.CreateProgramDirectories();
  }
  void TearDown() override { ::setenv("CORVANTIDE_HOME", OldHome.c_str(), 1); }

  static void Show(TMainForm& form, int column, const std::string& title) {
    form.Column(column).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, title);
  }

  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
  std::string OldHome;
  std::string Tree;
};

TEST_F(BoardsFileTest, ABoardIsAsTheUserLeftItAfterARestart) {
  struct TLeft {
    std::string Title;
    int Focus, Top;
  };
  std::vector<TLeft> left;
  bool fixedLeft = false;
  {
    TMainForm form;
    form.Setup();
    form.show();
    // Leave board 0 for board 3 and arrange that one.
    form.Boards.StoreActiveBoard(*form.BoardModel);
    ASSERT_TRUE(form.Boards.SetActiveBoard(3));
    form.Boards.LoadActiveBoard(*form.BoardModel, true);
    form.BoardModel->SetVisibleColumns(3);
    form.Reset(true);
    Show(form, 0, Tree + "/a/deep");
    Show(form, 1, Tree + "/many/f150.txt");
    Show(form, 2, Tree + "/b");
    // Through the attribute commands, as the user sets them.
    form.FocusColumn(1);
    form.BoardModel->SetWidthAttr(3);
    form.BoardModel->SetSubcolumnsAttr(2);
    form.Column(1).FocusByIndex(70, 4);
    form.FocusColumn(2);
    form.BoardModel->ToggleFixed();
    form.BoardModel->SetThumbHeight(7, false);
    form.Column(2).SortMode = "Size, big-small";
    fixedLeft = form.Column(2).FixedAttr;
    form.FocusColumn(2);
    for (int i = 0; i < 3; ++i)
      left.push_back({form.Column(i).ActiveTitle, form.Column(i).List.FocusIndex(),
                      form.Column(i).List.TopIndex()});
    ASSERT_EQ(left[1].Focus, 70);
    ASSERT_GT(left[1].Top, 0);
    form.close();
  }
  TMainForm form;
  form.Setup();
  form.show();
  EXPECT_EQ(form.Boards.ActiveBoard(), 3);
  EXPECT_EQ(form.VisibleColumns(), 3);
  EXPECT_EQ(form.ActiveColumn(), 2);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(form.Column(i).ActiveTitle, left[static_cast<size_t>(i)].Title);
    EXPECT_EQ(form.Column(i).List.FocusIndex(), left[static_cast<size_t>(i)].Focus);
    EXPECT_EQ(form.Column(i).List.TopIndex(), left[static_cast<size_t>(i)].Top);
  }
  EXPECT_EQ(form.Column(1).WidthAttr, 3);
  EXPECT_EQ(form.Column(1).SubcolumnsAttr, 2);
  EXPECT_EQ(form.Column(2).FixedAttr, fixedLeft);
  EXPECT_TRUE(form.Column(2).ThumbAttr);
  EXPECT_EQ(form.Column(2).ThumbHeight, 7);
  EXPECT_EQ(form.Column(2).SortMode, "Size, big-small");
  EXPECT_EQ(form.ColumnView(2)->Header->Down(), fixedLeft) << "a fixed column's header is pressed";
  // Board 0 kept what it had: column 1 fixed, as the default board made it.
  EXPECT_TRUE(form.Boards.Boards[0].Column[1].FixedAttr);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(BoardsFileTest, ShowingABoardKeepsTheOneLeft) {
  TMainForm form;
  form.Setup();
  form.show();
  Show(form, 0, Tree + "/a/deep");
  const std::string left = form.Column(0).ActiveTitle;
  form.ShowBoard(2);
  EXPECT_EQ(form.Boards.ActiveBoard(), 2);
  EXPECT_EQ(form.VisibleColumns(), 3) << "board \"CD\" shows three columns";
  EXPECT_TRUE(form.ColumnView(2)->isVisibleTo(&form));
  form.ShowBoard(30); // no such board
  EXPECT_EQ(form.Boards.ActiveBoard(), 2);
  form.ShowBoard(0);
  EXPECT_EQ(form.VisibleColumns(), 2);
  EXPECT_EQ(form.Column(0).ActiveTitle, left);
  EXPECT_FALSE(form.ColumnView(2)->isVisibleTo(&form));
  EXPECT_TRUE(Ui.Errors.empty());
}

// Enter, Backspace and a double click, in a group of two columns.
TEST_F(BoardsFileTest, KeysAndDoubleClickBrowseInsideAGroup) {
  TMainForm form;
  form.Setup();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.BoardModel->SetVisibleColumns(2);
  form.Column(0).FixedAttr = true;
  form.Column(1).FixedAttr = false; // one group: 0..1
  Show(form, 0, Tree + "/a");
  form.Reset(false);
  form.FocusColumn(0);
  MyTPanel* list0 = form.ColumnView(0)->FileList;
  ASSERT_EQ(form.Column(0).ActiveTitle, Tree + "/a");

  // Enter in the group's first column opens the directory in the next.
  QTest::keyClick(list0, Qt::Key_Return);
  EXPECT_EQ(form.ActiveColumn(), 1);
  EXPECT_EQ(form.Column(1).ShownPath(), Tree + "/a/");
  EXPECT_EQ(form.Column(0).ShownPath(), Tree + "/");

  // A double click on "deep" in the group's last column: automove.
  MyTPanel* list1 = form.ColumnView(1)->FileList;
  ASSERT_EQ(form.Column(1).FocusedItem()->Title, Tree + "/a/deep");
  const QRect item = form.Column(1).List.ItemRect(form.Column(1).List.FocusIndex());
  QTest::mouseDClick(list1, Qt::LeftButton, {}, item.center() + list1->InnerOrigin());
  EXPECT_EQ(form.Column(1).ShownPath(), Tree + "/a/deep/");
  EXPECT_EQ(form.Column(0).ShownPath(), Tree + "/a/");

  // Backspace in the last column: the previous column gets the parent.
  QTest::keyClick(form.ColumnView(1)->FileList, Qt::Key_Backspace);
  EXPECT_EQ(form.ActiveColumn(), 0);
  EXPECT_EQ(form.Column(0).ShownPath(), Tree + "/a/");
  EXPECT_EQ(form.Column(0).ActiveTitle, Tree + "/a/deep") << "the directory left is focused";

  // Alt holds the column: Backspace in column 0 opens the parent there.
  QTest::keyClick(list0, Qt::Key_Backspace, Qt::AltModifier);
  EXPECT_EQ(form.ActiveColumn(), 0);
  EXPECT_EQ(form.Column(0).ShownPath(), Tree + "/");
  EXPECT_TRUE(Ui.Errors.empty());
}

} // namespace
} // namespace cv
