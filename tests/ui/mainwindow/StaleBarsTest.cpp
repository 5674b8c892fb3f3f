// The bars describe what is there now, not what was there before.

#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "mainwindow/InfoBar.h"

#include <QTest>
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <unistd.h>

namespace cv {
namespace {

class StaleBarsTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::ofstream(Root.Path + "/notes.txt") << "text";
    Form.Setup();
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    Form.Column(0).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                                 Root.Path + "/notes.txt");
    Form.FocusColumn(0);
  }
  std::string FileBarText() {
    auto* bar = Form.findChild<TInfoBar*>(QStringLiteral("FileInfoBar"));
    std::string text;
    for (int i = 0; i < bar->FieldCount(); ++i)
      text += bar->Field(i)->Caption();
    return text;
  }

  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
  TMainForm Form;
};

TEST_F(StaleBarsTest, AnEmptyContainerColumnShowsNoFile) {
  // Containers outlive the window within one test program: start from an empty one.
  TColumn& column = Form.Column(0);
  QTest::keyClick(Form.ColumnView(0)->FileList, Qt::Key_5, Qt::ControlModifier);
  if (column.Count() > 0) ASSERT_TRUE(Form.RunCommand("File/Container/Clear"));
  column.ContainerIndex = -1;
  column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                       Root.Path + "/notes.txt");
  Form.FocusColumn(0);
  ASSERT_NE(FileBarText().find("notes.txt"), std::string::npos);
  // Ctrl+5 shows container 5, which nothing was ever added to.
  QTest::keyClick(Form.ColumnView(0)->FileList, Qt::Key_5, Qt::ControlModifier);
  ASSERT_EQ(Form.Column(0).ContainerIndex, 4);
  ASSERT_EQ(Form.Column(0).Count(), 0);
  EXPECT_EQ(FileBarText(), "");
}

TEST_F(StaleBarsTest, TheHintOfAnItemThatWentAwayDoesNotStay) {
  auto* hintBar = Form.findChild<MyTPanel*>(QStringLiteral("HintBar"));
  ASSERT_TRUE(hintBar);
  MyTPanel* list = Form.ColumnView(0)->FileList;
  const QRect row = Form.Column(0).List.ItemRect(0).translated(list->InnerOrigin());
  QTest::mouseMove(list, row.center());
  const std::string itemHint = hintBar->Caption();
  ASSERT_NE(itemHint.find("notes.txt"), std::string::npos) << itemHint;

  ASSERT_EQ(::unlink((Root.Path + "/notes.txt").c_str()), 0);
  Form.CheckDirMonitor(true);
  ASSERT_EQ(Form.Column(0).Count(), 0);
  EXPECT_EQ(hintBar->Caption().find("notes.txt"), std::string::npos) << hintBar->Caption();
}

} // namespace
} // namespace cv
