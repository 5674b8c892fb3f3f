#include "fileops/CopyAsForm.h"
#include "fileops/NewFileForm.h"
#include "fileops/RenameForm.h"

#include "TestSupport.h"
#include "columns/Column.h"
#include "foundation/Utilities.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
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

TEST(EditBytesTest, UneditedPartsKeepTheirBytesAndUntraceableOnesAreRefused) {
  const QString r = QString(QChar(0xFFFD));
  struct TCase {
    std::string Original;
    QString Edited;
    bool Kept;
    std::string Bytes;
  };
  const TCase cases[] = {
      {"caf\xe9.txt", "caf" + r + ".txt", true, "caf\xe9.txt"},
      {"caf\xe9.txt", "caf" + r + ".md", true, "caf\xe9.md"},
      {"caf\xe9.txt", "new caf" + r + ".txt", true, "new caf\xe9.txt"},
      {"caf\xe9.txt", QString::fromUtf8("caf\xc3\xa9.txt"), true, "caf\xc3\xa9.txt"},
      {"r\xe9sum\xe9.txt", "r" + r + "sum.txt", true, "r\xe9sum.txt"},
      {"a\xe9\xe9"
       "b",
       "a" + r + "b", true,
       "a\xe9"
       "b"},
      {"\xf0\x9f\x98\x80x\xff", QString::fromUtf8("\xf0\x9f\x98\x80y") + r, true,
       "\xf0\x9f\x98\x80y\xff"},
      {"a.txt", "a" + r + ".txt", true, "a\xef\xbf\xbd.txt"}, // typed into a UTF-8 name
      {"caf\xe9.txt", r + "caf.txt", false, ""},              // moved
      {"caf\xe9.txt", "caf" + r + r + ".txt", false, ""},     // typed beside its own
      {"a\xe8\xe9"
       "b",
       "a" + r + "b", false, ""}, // which of two went?
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Original + " / " + c.Edited.toStdString());
    std::string bytes = "stale";
    EXPECT_EQ(FromEditText(c.Original, c.Edited, bytes), c.Kept);
    if (c.Kept) EXPECT_EQ(bytes, c.Bytes);
  }
  // Each byte that is not UTF-8 shows as one U+FFFD.
  EXPECT_EQ(ToEditText("caf\xe9\xe8"), "caf" + r + r);
}

// A partition is shown by its mount point; a name left as shown gives back
// the partition's title, not the text on screen.
TEST_F(NameFormsTest, PartitionTitlesAreShownByTheirMountPoint) {
  std::vector<std::string> renamed;
  Column.SetWithList({":/"}, false);
  TRenameForm rename;
  rename.Prepare(Column, true, [&](int, const std::string& title) {
    renamed.push_back(title);
    return true;
  });
  EXPECT_EQ(rename.NameEdit->text(), "/");
  EXPECT_TRUE(rename.Do());
  EXPECT_TRUE(renamed.empty()) << renamed.front();
  EXPECT_FALSE(rename.Renamed());

  TCopyAsForm copy;
  copy.Prepare(":/", Dir + "/to", TCopyAsMode::Copy, "other.txt");
  EXPECT_EQ(copy.NameBox->currentText(), "/");
  EXPECT_EQ(copy.PathsLabel->text().toStdString(),
            "* Source: /\n* Destination: " + Dir + "/to/");
  EXPECT_EQ(copy.Name(), ":/");
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_TRUE(Ui.Boxes.empty());
}

class OddNamesTest : public NameFormsTest {
protected:
  void SetUp() override {
    Odd = Temp.Path + "/odd";
    fs::create_directories(Odd);
    for (const char* name : {"caf\xe8.txt", "caf\xe9.txt", "r\xe9sum\xe9.txt"})
      std::ofstream(Odd + "/" + name) << name;
    Column.ActiveTitle = Odd + "/caf\xe8.txt";
    ASSERT_TRUE(Column.LoadWithFiles(Column.ActiveTitle, "Name"));
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Odd))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Odd;
  int Asked = 0;
  TOverwriteAsk Ask = [this](const TOverwriteView&) {
    ++Asked;
    return TOverwriteChoice::OverwriteThis;
  };
};

TEST_F(OddNamesTest, RenameKeepsNamesThatAreNotUtf8) {
  const std::vector<std::string> before = Names();
  TRenameForm form;
  form.OverwriteAsk = Ask;
  form.Prepare(Column, false, {});
  form.show();
  // Stepping through renames nothing that was not edited.
  for (int i = 0; i < 3; ++i)
    QTest::keyClick(form.NameEdit, Qt::Key_Down);
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(form.Renamed());
  EXPECT_EQ(Names(), before);
  EXPECT_EQ(Asked, 0);

  // An edit keeps the bytes it did not touch; a U+FFFD it cannot trace is refused.
  form.Prepare(Column, false, {});
  form.show();
  const QString r = QString(QChar(0xFFFD));
  form.NameEdit->setText(r + "caf.txt");
  QTest::keyClick(form.NameEdit, Qt::Key_Return);
  EXPECT_TRUE(form.isVisible());
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, UntraceableNameWarning);
  form.NameEdit->setText("caf" + r + " 2.txt");
  QTest::keyClick(form.NameEdit, Qt::Key_Return);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(Names(),
            (std::vector<std::string>{"caf\xe8 2.txt", "caf\xe9.txt", "r\xe9sum\xe9.txt"}));
  EXPECT_EQ(Asked, 0);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(OddNamesTest, CopyAsKeepsNamesThatAreNotUtf8) {
  fs::create_directories(Odd + "/to");
  TCopyAsForm form;
  form.OverwriteAsk = Ask;
  form.Prepare(Odd + "/r\xe9sum\xe9.txt", Odd + "/to", TCopyAsMode::Copy, "caf\xe8.txt");
  EXPECT_EQ(form.Name(), "r\xe9sum\xe9.txt");
  EXPECT_TRUE(form.Do());
  QTest::mouseClick(form.ActiveButton, Qt::LeftButton);
  EXPECT_EQ(form.Name(), "caf\xe8.txt");
  EXPECT_TRUE(form.Do());
  std::vector<std::string> copied;
  for (const auto& entry : fs::directory_iterator(Odd + "/to"))
    copied.push_back(entry.path().filename().string());
  std::sort(copied.begin(), copied.end());
  EXPECT_EQ(copied, (std::vector<std::string>{"caf\xe8.txt", "r\xe9sum\xe9.txt"}));
  EXPECT_EQ(Asked, 0);
}

} // namespace
} // namespace cv
