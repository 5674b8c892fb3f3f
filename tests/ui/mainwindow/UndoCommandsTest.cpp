// Undo and the undo list as the user meets them: keys and the list dialog
// over files recycled through the file operation dialog.

#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "WindowSupport.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/Container.h"
#include "columns/MyPanel.h"
#include "fileops/FileForm.h"
#include "fileops/UndoListForm.h"
#include "mainwindow/MainMenus.h"

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace cv {
namespace {

namespace fs = std::filesystem;

class UndoCommandsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Tree = Root.Path + "/work";
    fs::create_directories(Tree);
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
      std::ofstream(Tree + "/" + name) << name;
    Form.Setup();
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    Form.Column(1).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                                 Tree + "/a.txt");
    Form.FocusColumn(1);
  }
  // Recycles the first `count` files of column 1 through the dialog.
  void Recycle(int count) {
    TColumn& column = Form.Column(1);
    for (int i = 0; i < count; ++i)
      column.SelectItem(i);
    test::WhenDialogShows(&Form, [&] { Form.FileForm->OkayButton->click(); });
    QTest::keyClick(List(), Qt::Key_F11);
  }
  MyTPanel* List() { return Form.ColumnView(1)->FileList; }
  size_t TrashInfoCount() const {
    std::error_code error;
    size_t count = 0;
    for (auto it = fs::directory_iterator(test::PrivateRoot() + "/data/Trash/info", error);
         !error && it != fs::directory_iterator(); ++it)
      ++count;
    return count;
  }

  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
  std::string Tree;
  TMainForm Form;
};

TEST_F(UndoCommandsTest, CtrlZPutsRecycledFilesBackAndRefusesAChangedOne) {
  const size_t trashed = TrashInfoCount();
  Recycle(3);
  ASSERT_EQ(Form.Column(1).Count(), 1);
  ASSERT_EQ(TrashInfoCount(), trashed + 3);
  QTest::keyClick(List(), Qt::Key_Z, Qt::ControlModifier);
  for (const char* name : {"a.txt", "b.txt", "c.txt"})
    EXPECT_TRUE(fs::exists(Tree + "/" + name)) << name;
  EXPECT_EQ(TrashInfoCount(), trashed);
  EXPECT_EQ(Form.Column(1).Count(), 4) << "the column follows";

  // A name taken again: a warning names it and the trash keeps the file.
  Recycle(1);
  std::ofstream(Tree + "/a.txt") << "another";
  Ui.Boxes.clear();
  QTest::keyClick(List(), Qt::Key_Z, Qt::ControlModifier);
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_NE(Ui.Boxes[0].Text.find(Tree + "/a.txt\" is taken again"), std::string::npos)
      << Ui.Boxes[0].Text;
  EXPECT_EQ(TrashInfoCount(), trashed + 1);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(UndoCommandsTest, TheListUndoesDownToTheChosenOperation) {
  Recycle(1);
  Recycle(1);
  ASSERT_FALSE(fs::exists(Tree + "/b.txt"));
  int rows = 0;
  test::WhenDialogShows(&Form, [&] {
    QTreeWidget* list = Form.UndoListForm->List;
    rows = list->topLevelItemCount();
    ASSERT_GE(rows, 2);
    EXPECT_TRUE(list->topLevelItem(0)->text(1).contains("b.txt"));
    list->setCurrentItem(list->topLevelItem(1));
    Form.UndoListForm->UndoButton->click();
  });
  Form.Menus->Action("Work/Undo list")->trigger();
  EXPECT_GE(rows, 2);
  EXPECT_TRUE(fs::exists(Tree + "/a.txt"));
  EXPECT_TRUE(fs::exists(Tree + "/b.txt"));
  EXPECT_TRUE(Ui.Errors.empty());
}

// A move out of a column that shows a container renames the container's
// items; its undo names them as before, as the files go back.
TEST_F(UndoCommandsTest, UndoOfAMoveRenamesTheContainersItemsBack) {
  TContainer& container = Form.Containers.Container(3);
  container.ClearItems();
  for (const char* name : {"a.txt", "b.txt"})
    container.AddItem(Tree + "/" + name);
  const std::string there = Root.Path + "/there";
  fs::create_directories(there);
  TColumn& column = Form.Column(1);
  column.LoadDirectory(true, 3);
  ASSERT_EQ(column.Count(), 2);
  column.SelectItem(0);
  column.SelectItem(1);
  const auto titles = [&] {
    std::vector<std::string> found;
    for (const TContainerItem& item : container.Items())
      found.push_back(item.Title);
    return found;
  };
  TFileFormRequest request;
  request.Operation = "Move";
  request.TwoColumn = true;
  request.DestinationTitle = there + "/a.txt";
  test::WhenDialogShows(&Form, [&] { Form.FileForm->OkayButton->click(); });
  ASSERT_TRUE(Form.RunFileOperation(request, 1));
  ASSERT_EQ(titles(), (std::vector<std::string>{there + "/a.txt", there + "/b.txt"}));

  Form.FocusColumn(1);
  QTest::keyClick(List(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(fs::exists(Tree + "/a.txt"));
  EXPECT_EQ(titles(), (std::vector<std::string>{Tree + "/a.txt", Tree + "/b.txt"}));
  EXPECT_EQ(column.ContainerIndex, 3);
  ASSERT_EQ(column.Count(), 2);
  EXPECT_EQ(column.Items[0].Title, Tree + "/a.txt") << "the column shows the names back";
  EXPECT_TRUE(Ui.Errors.empty());
}

} // namespace
} // namespace cv
