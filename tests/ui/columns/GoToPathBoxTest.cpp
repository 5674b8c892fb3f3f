// "Go to path" in the main window: the box over the active column's header.

#include "columns/GoToPathBox.h"

#include "HangingMount.h"
#include "StallMeter.h"
#include "TestSupport.h"
#include "WindowSupport.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "foundation/QtText.h"
#include "mainwindow/MainDialog.h"

#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace cv {
namespace {

namespace fs = std::filesystem;

class GoToPathBoxTest : public ::testing::Test {
protected:
  void SetUp() override {
    Tree = Root.Path + "/work";
    for (const char* dir : {"usr", "var", "sub", "sun", "odd", "odd/\xff-x", "odd/\xff-x/deeper"})
      fs::create_directories(Tree + "/" + dir);
    std::ofstream(Tree + "/user.txt") << "x";
    std::ofstream(Tree + "/usr/inner.txt") << "x";
    Form.Setup();
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    Form.Column(1).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                                 Tree + "/user.txt");
    Form.FocusColumn(1);
  }
  // Opens the box by its key over column 1.
  TGoToPathBox* Open() {
    QTest::keyClick(Form.ColumnView(1)->FileList, Qt::Key_L, Qt::AltModifier);
    return Form.ColumnView(1)->findChild<TGoToPathBox*>(QStringLiteral("GoToPath"));
  }
  // Replaces the box's text by typing `text`.
  void Type(TGoToPathBox* box, const std::string& text) {
    box->selectAll();
    QTest::keyClicks(box, ToQString(text));
  }

  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
  std::string Tree;
  TMainForm Form;
};

TEST_F(GoToPathBoxTest, TheKeyOpensTheBoxOverTheHeaderWithTheDirectorySelected) {
  TGoToPathBox* box = Open();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isVisible());
  EXPECT_TRUE(box->hasFocus());
  EXPECT_EQ(box->text().toStdString(), Tree + "/");
  EXPECT_EQ(box->selectedText(), box->text());
  EXPECT_EQ(box->geometry(), Form.ColumnView(1)->Header->geometry());
}

TEST_F(GoToPathBoxTest, TabCompletesDirectoriesAndEnterLoadsThroughTheHistory) {
  QPointer<TGoToPathBox> box = Open();
  ASSERT_TRUE(box);
  Type(box, Tree + "/us"); // "user.txt" is a file: only "usr" completes
  QTest::keyClick(box, Qt::Key_Tab);
  QTRY_COMPARE(box->text().toStdString(), Tree + "/usr/");
  EXPECT_TRUE(box->hasFocus()) << "Tab stays in the box";

  // Two candidates: both are offered, Tab completes what they share, then
  // goes through them.
  Type(box, Tree + "/s");
  QTRY_VERIFY(box->Popup->isVisible());
  EXPECT_EQ(box->Popup->count(), 2);
  QTest::keyClick(box, Qt::Key_Tab);
  EXPECT_EQ(box->text().toStdString(), Tree + "/su");
  QTest::keyClick(box, Qt::Key_Tab);
  EXPECT_EQ(box->text().toStdString(), Tree + "/sub");
  QTest::keyClick(box, Qt::Key_Tab);
  EXPECT_EQ(box->text().toStdString(), Tree + "/sun");
  QTest::keyClick(box, Qt::Key_Backtab);
  EXPECT_EQ(box->text().toStdString(), Tree + "/sub");

  QTest::keyClick(box, Qt::Key_Return);
  TColumn& column = Form.Column(1);
  EXPECT_EQ(column.ShownPath(), Tree + "/sub/");
  EXPECT_TRUE(Form.ColumnView(1)->ListHasFocus());
  QTRY_VERIFY(!box);
  // Any navigation's way back.
  EXPECT_EQ(column.PreviousTitle, Tree + "/user.txt");
  QTest::keyClick(Form.ColumnView(1)->FileList, Qt::Key_Backslash);
  EXPECT_EQ(column.ActiveTitle, Tree + "/user.txt");
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(GoToPathBoxTest, EscLeavesTheColumnAsItWas) {
  QPointer<TGoToPathBox> box = Open();
  ASSERT_TRUE(box);
  Type(box, Tree + "/var");
  QTest::keyClick(box, Qt::Key_Escape);
  QTRY_VERIFY(!box);
  EXPECT_EQ(Form.Column(1).ActiveTitle, Tree + "/user.txt");
  EXPECT_TRUE(Form.ColumnView(1)->ListHasFocus());
}

TEST_F(GoToPathBoxTest, AClickOnAnotherColumnClosesTheBoxAndKeepsTheFocusThere) {
  QPointer<TGoToPathBox> box = Open();
  ASSERT_TRUE(box);
  Type(box, Tree + "/var");
  QTest::mouseClick(Form.ColumnView(0)->FileList, Qt::LeftButton, {}, QPoint(20, 40));
  QTRY_VERIFY(!box);
  EXPECT_TRUE(Form.ColumnView(0)->ListHasFocus());
  EXPECT_EQ(Form.Column(1).ActiveTitle, Tree + "/user.txt");
}

TEST_F(GoToPathBoxTest, AMissingPathIsSaidUnderTheBoxWhichStaysOpen) {
  TGoToPathBox* box = Open();
  ASSERT_NE(box, nullptr);
  Type(box, "missing/x");
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_TRUE(box->isVisible());
  EXPECT_TRUE(box->Message->isVisible());
  EXPECT_EQ(box->Message->text().toStdString(), Tree + "/missing/x: No such file or directory");
  EXPECT_EQ(Form.Column(1).ActiveTitle, Tree + "/user.txt");
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_TRUE(Ui.Boxes.empty());
  // The next edit takes the line away.
  QTest::keyClick(box, Qt::Key_Backspace);
  EXPECT_FALSE(box->Message->isVisible());
}

TEST_F(GoToPathBoxTest, APathToAFileFocusesTheFileInItsDirectory) {
  TGoToPathBox* box = Open();
  ASSERT_NE(box, nullptr);
  Type(box, "usr/inner.txt");
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(Form.Column(1).ShownPath(), Tree + "/usr/");
  EXPECT_EQ(Form.Column(1).ActiveTitle, Tree + "/usr/inner.txt");
  ASSERT_NE(Form.Column(1).FocusedItem(), nullptr);
  EXPECT_EQ(Form.Column(1).FocusedItem()->Title, Tree + "/usr/inner.txt");
}

TEST_F(GoToPathBoxTest, ANameThatIsNotTextIsReachedByCompletingIt) {
  QPointer<TGoToPathBox> box = Open();
  ASSERT_TRUE(box);
  Type(box, Tree + "/odd/");
  QTest::keyClick(box, Qt::Key_Tab);
  QTRY_COMPARE(box->Typed().Bytes(), Tree + "/odd/\xff-x/");
  // Typed after the completed part: its byte stays.
  QTest::keyClicks(box, QStringLiteral("deeper"));
  EXPECT_EQ(box->Typed().Bytes(), Tree + "/odd/\xff-x/deeper");
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(Form.Column(1).ShownPath(), Tree + "/odd/\xff-x/deeper/");
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(GoToPathBoxTest, ADirectoryThatDoesNotAnswerNeverHoldsTheTyping) {
  test::THangingMount mount(10000);
  if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
  QPointer<TGoToPathBox> box = Open();
  ASSERT_TRUE(box);
  test::TStallMeter meter;
  // Its listing hangs; the box goes on taking keys, Tab included.
  Type(box, mount.MountPoint() + "/");
  QTest::keyClick(box, Qt::Key_Tab);
  QTest::keyClicks(box, QStringLiteral("su"));
  QTest::keyClick(box, Qt::Key_Tab);
  // Completion elsewhere goes on meanwhile.
  Type(box, Tree + "/us");
  QTest::keyClick(box, Qt::Key_Tab);
  QTRY_COMPARE(box->text().toStdString(), Tree + "/usr/");
  QTest::keyClick(box, Qt::Key_Escape);
  EXPECT_LT(meter.Elapsed(), 2000 * test::TimeScale);
  EXPECT_LT(meter.Longest(), 100 * test::TimeScale);
  QTRY_VERIFY(!box);
  EXPECT_EQ(Form.Column(1).ActiveTitle, Tree + "/user.txt");
}

} // namespace
} // namespace cv
