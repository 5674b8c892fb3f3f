#include "fileops/CopyAsForm.h"
#include "fileops/NewFileForm.h"
#include "fileops/RenameForm.h"

#include "TestSupport.h"
#include "columns/Column.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace cv {
namespace {

namespace fs = std::filesystem;

class NameFormsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = Temp.Path;
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
      std::ofstream(Dir + "/" + name) << name;
    Column.ActiveTitle = Dir + "/a.txt";
    ASSERT_TRUE(Column.LoadWithFiles(Column.ActiveTitle, "Name"));
  }
  test::TTempDir Temp;
  test::TRecordingUserInterface Ui;
  std::string Dir;
  TColumn Column{0};
};

TEST_F(NameFormsTest, NewFileKeepsTheDialogOpenOnABadName) {
  TNewFileForm form;
  form.Prepare(Dir, 1);
  EXPECT_EQ(form.windowTitle(), "New file");
  EXPECT_EQ(form.NameGroup->title(), "New file name");
  form.NameEdit->setText("bad/name");
  EXPECT_FALSE(form.Do());
  EXPECT_EQ(Ui.Boxes.back().Text, "Invalid name.\n\nChange the name !");
  form.NameEdit->setText("notes");
  EXPECT_TRUE(form.Do());
  EXPECT_TRUE(form.Created());
  EXPECT_EQ(form.Title(), Dir + "/notes.txt");
  EXPECT_TRUE(fs::exists(Dir + "/notes.txt"));
  form.Prepare(Dir, 0);
  EXPECT_EQ(form.windowTitle(), "New directory");
}

TEST_F(NameFormsTest, RenameStepsThroughTheColumnWithUpAndDown) {
  TRenameForm form;
  form.Prepare(Column, false, {});
  form.show();
  EXPECT_EQ(form.windowTitle(), "Rename file");
  EXPECT_EQ(form.NameEdit->text(), "a.txt");
  EXPECT_EQ(form.PathLabel->text().toStdString(), Dir + "/");
  form.NameEdit->setText("first.txt");
  QTest::keyClick(form.NameEdit, Qt::Key_Down);
  EXPECT_EQ(form.Index(), 1);
  EXPECT_EQ(form.NameEdit->text(), "b.txt");
  form.NameEdit->setText("second.txt");
  QTest::keyClick(form.NameEdit, Qt::Key_Up); // back on the renamed first item
  EXPECT_EQ(form.NameEdit->text(), "first.txt");
  form.NameEdit->setText("one.txt");          // renamed twice: its new name is known here
  QTest::keyClick(form.NameEdit, Qt::Key_Up); // before the first item: closes
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(form.Renamed());
  EXPECT_TRUE(fs::exists(Dir + "/one.txt"));
  EXPECT_TRUE(fs::exists(Dir + "/second.txt"));
  EXPECT_TRUE(fs::exists(Dir + "/c.txt"));
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(NameFormsTest, CopyAsCaptionsAndTheActiveName) {
  TCopyAsForm form;
  int asked = 0; // a real overwrite window would wait for an answer forever
  form.OverwriteAsk = [&asked](const TOverwriteView&) {
    ++asked;
    return TOverwriteChoice::Abort;
  };
  fs::create_directories(Dir + "/to");
  const struct {
    TCopyAsMode Mode;
    const char* Caption;
    const char* Button;
  } cases[] = {{TCopyAsMode::Copy, "Copy as", "&Copy as"},
               {TCopyAsMode::Move, "Move as", "&Move as"},
               {TCopyAsMode::HardLink, "Copy as hard-link", "&Copy as"}};
  for (const auto& c : cases) {
    form.Prepare(Dir + "/a.txt", Dir + "/to", c.Mode, "other.txt");
    EXPECT_EQ(form.windowTitle(), c.Caption);
    EXPECT_EQ(form.ConfirmButton->text(), c.Button);
  }
  EXPECT_EQ(form.NameBox->currentText(), "a.txt");
  EXPECT_EQ(form.PathsLabel->text().toStdString(),
            "* Source: " + Dir + "/a.txt\n* Destination: " + Dir + "/to/");
  form.Prepare(Dir + "/a.txt", Dir + "/to", TCopyAsMode::Copy, "other.txt");
  QTest::mouseClick(form.ActiveButton, Qt::LeftButton);
  EXPECT_EQ(form.Name(), "other.txt");
  EXPECT_TRUE(form.Do());
  EXPECT_TRUE(fs::exists(Dir + "/to/other.txt"));
  EXPECT_TRUE(fs::exists(Dir + "/a.txt"));
  EXPECT_EQ(asked, 0);
}

} // namespace
} // namespace cv
