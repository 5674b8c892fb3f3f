#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "WindowSupport.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "fileops/FileForm.h"
#include "mainwindow/MainMenus.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace cv {
namespace {

namespace fs = std::filesystem;

class FileCommandsTest : public ::testing::Test {
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
  // Presses `key` on column 1 and answers the dialog with `answer`.
  bool PressAndAnswer(Qt::Key key, QPushButton* TFileForm::*answer) {
    bool shown = false;
    test::WhenDialogShows(&Form, [&] {
      ASSERT_NE(Form.FileForm, nullptr);
      shown = Form.FileForm->isVisible();
      Question = Form.FileForm->CurrentLabel->FullText().toStdString();
      (Form.FileForm->*answer)->click();
    });
    QTest::keyClick(Form.ColumnView(1)->FileList, key);
    return shown;
  }

  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
  std::string Tree, Question;
  TMainForm Form;
};

TEST_F(FileCommandsTest, KeysRecycleAndDeleteThroughTheDialogAndTheColumnFollows) {
  TColumn& column = Form.Column(1);
  ASSERT_EQ(column.Count(), 4);
  for (int i = 0; i < 3; ++i)
    column.SelectItem(i);
  ASSERT_TRUE(PressAndAnswer(Qt::Key_F11, &TFileForm::OkayButton));
  EXPECT_EQ(Question, "Recycle 3 selected files / directories?");
  EXPECT_FALSE(fs::exists(Tree + "/a.txt"));
  EXPECT_TRUE(fs::exists(test::PrivateRoot() + "/data/Trash/info/b.txt.trashinfo"));
  ASSERT_EQ(column.Count(), 1) << "the column was read again";
  EXPECT_EQ(column.Items[0].Title, Tree + "/d.txt");

  // Cancel in the question deletes nothing.
  ASSERT_TRUE(PressAndAnswer(Qt::Key_F12, &TFileForm::CancelButton));
  EXPECT_EQ(Question, "Delete focused file / directory?");
  EXPECT_TRUE(fs::exists(Tree + "/d.txt"));
  ASSERT_TRUE(PressAndAnswer(Qt::Key_F12, &TFileForm::OkayButton));
  EXPECT_FALSE(fs::exists(Tree + "/d.txt"));
  EXPECT_EQ(column.Count(), 0);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(FileCommandsTest, DropToPartitionAsksToCopyTheActiveFileToThePartitionRoot) {
  Form.EnableFileMenuItems({});
  QAction* copy = Form.Menus->Action("File/Drop to partition/Copy *");
  ASSERT_NE(copy, nullptr);
  ASSERT_TRUE(copy->isEnabled());
  QMenu* partitions = copy->menu();
  ASSERT_NE(partitions, nullptr);
  Q_EMIT partitions->aboutToShow();
  QAction* root = nullptr;
  for (QAction* action : partitions->actions())
    if (action->data().toByteArray() == "/") root = action;
  ASSERT_NE(root, nullptr) << "the root partition is offered";
  std::string caption, destination;
  test::WhenDialogShows(&Form, [&] {
    caption = Form.FileForm->windowTitle().toStdString();
    Question = Form.FileForm->CurrentLabel->FullText().toStdString();
    destination = Form.FileForm->DestinationLabel->FullText().toStdString();
    Form.FileForm->CancelButton->click();
  });
  root->trigger();
  EXPECT_EQ(caption, "Copy");
  EXPECT_EQ(Question, "Copy focused file / directory?");
  EXPECT_EQ(destination, "/");
  EXPECT_EQ(Form.Column(1).Count(), 4) << "cancelled: nothing changed";
}

} // namespace
} // namespace cv
