// Enter in the dialogs' editable boxes, sent the way a window system sends
// it: to the widget that holds the keyboard focus, which for an editable
// combo box is the box itself rather than its line edit.

#include "fileops/CopyAsForm.h"
#include "fileops/ManualRunForm.h"

#include "LauncherSupport.h"
#include "TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace cv {
namespace {

namespace fs = std::filesystem;

// Types `text` and presses Return where the active window has its focus.
void TypeAndPressReturn(QWidget* window, const QString& text) {
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  QWidget* focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr);
  QTest::keyClicks(focus, text);
  QTest::keyClick(focus, Qt::Key_Return);
}

class EnterKeyTest : public ::testing::Test {
protected:
  void SetUp() override { Dir = Temp.Path; }
  test::TTempDir Temp;
  test::TRecordingUserInterface Ui;
  std::string Dir;
};

TEST_F(EnterKeyTest, EnterInTheCopyAsNameBoxCopiesOnceAndCloses) {
  std::ofstream(Dir + "/a.txt") << "source";
  fs::create_directories(Dir + "/to");
  std::ofstream(Dir + "/to/b.txt") << "old";
  TCopyAsForm form;
  int asked = 0;
  form.OverwriteAsk = [&asked](const TOverwriteView&) {
    ++asked;
    return TOverwriteChoice::OverwriteThis;
  };
  form.Prepare(Dir + "/a.txt", Dir + "/to", TCopyAsMode::Copy, {});
  form.show();
  TypeAndPressReturn(&form, "b.txt"); // the name is selected: typing replaces it
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(fs::file_size(Dir + "/to/b.txt"), 6u) << "the source replaced the old file";
  EXPECT_EQ(asked, 1);
  // A Return that reaches the closed dialog does not copy again.
  QTest::keyClick(form.NameBox, Qt::Key_Return);
  QTest::keyClick(form.NameBox->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(EnterKeyTest, EnterInEitherRunProgramBoxRunsWithParametersAndStaysOpen) {
  const std::string program = Dir + "/script.sh";
  std::ofstream(program) << "#!/bin/sh\n";
  ::chmod(program.c_str(), 0755);
  const struct {
    const char* Name;
    bool InParameters;
  } cases[] = {{"program box", false}, {"parameters box", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    test::TRecordingLauncher launch;
    TManualRunForm form;
    form.Prepare({});
    form.show();
    if (c.InParameters) {
      form.ProgramBox->setCurrentText(QString::fromStdString(program));
      QTest::mouseClick(form.ParametersBox->lineEdit(), Qt::LeftButton);
      TypeAndPressReturn(&form, "-v");
    } else {
      form.ParametersBox->setCurrentText("-v");
      TypeAndPressReturn(&form, QString::fromStdString(program));
    }
    ASSERT_EQ(launch.Started.size(), 1u);
    EXPECT_EQ(launch.Started[0].Arguments, std::vector<std::string>{"-v"});
    EXPECT_TRUE(form.isVisible());
    // A Return sent to the line edit itself goes up to the box: still one run.
    QComboBox* box = c.InParameters ? form.ParametersBox : form.ProgramBox;
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(launch.Started.size(), 2u);
  }
  EXPECT_TRUE(Ui.Boxes.empty());
}

} // namespace
} // namespace cv
