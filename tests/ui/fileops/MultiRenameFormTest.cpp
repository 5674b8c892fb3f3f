#include "fileops/MultiRenameForm.h"

#include "../../core/filesystem/FileTestSupport.h"
#include "TestSupport.h"
#include "columns/Column.h"
#include "columns/Container.h"
#include "foundation/StoredTextList.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cv {
namespace {

std::vector<std::string> ListTexts(const QListWidget* list) {
  std::vector<std::string> texts;
  for (int i = 0; i < list->count(); ++i)
    texts.push_back(list->item(i)->text().toStdString());
  return texts;
}

class MultiRenameFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = Temp.Path + "/";
    for (const char* name : {"c.jpg", "a.jpg", "b.png", "keep.txt"})
      ASSERT_TRUE(test::WriteBytes(Dir + name, name));
  }
  test::TTempDir Temp;
  test::TRecordingUserInterface Ui;
  std::string Dir;
  TColumn Column{0};
};

TEST_F(MultiRenameFormTest, ThePatternPreviewsAndRenamesTheSelectedFiles) {
  Column.ActiveTitle = Dir + "a.jpg";
  ASSERT_TRUE(Column.LoadWithFiles(Column.ActiveTitle, "Name"));
  // a.jpg, b.png, c.jpg selected; keep.txt not.
  Column.SelectWhere(
      [this](int i) { return Column.Items[static_cast<size_t>(i)].Title != Dir + "keep.txt"; });
  TMultiRenameForm form;
  ASSERT_TRUE(form.Prepare(Column, nullptr, true));
  form.show();
  EXPECT_EQ(form.windowTitle(), "Multi-rename files");
  EXPECT_EQ(ListTexts(form.OldList),
            (std::vector<std::string>{Dir + "a.jpg", Dir + "b.png", Dir + "c.jpg"}));
  EXPECT_EQ(ListTexts(form.NewList), ListTexts(form.OldList));
  EXPECT_EQ(form.DigitsBox->currentText(), "4");

  QTest::keyClicks(form.PrefixEdit, "Trip ");
  form.DigitsBox->setCurrentText("3");
  QTest::keyClick(form.PrefixEdit, Qt::Key_Return);
  EXPECT_EQ(
      ListTexts(form.NewList),
      (std::vector<std::string>{Dir + "Trip 001.jpg", Dir + "Trip 002.png", Dir + "Trip 003.jpg"}));
  EXPECT_EQ(form.NewList->item(1)->toolTip().toStdString(),
            "File titles after rename. File title \"" + Dir + "Trip 002.png\"");
  EXPECT_TRUE(test::Entries(Dir) ==
              (std::vector<std::string>{"a.jpg", "b.png", "c.jpg", "keep.txt"}));

  // A bad counter only warns.
  form.StepBox->setCurrentText("0");
  EXPECT_FALSE(form.Preview());
  EXPECT_EQ(Ui.Boxes.back().Text, "Invalid counter values.");
  form.StepBox->setCurrentText("1");

  Ui.BoxAnswer = mrBoxOk; // "Yes" to the question
  QTest::mouseClick(form.RenameButton, Qt::LeftButton);
  EXPECT_EQ(Ui.Boxes.back().Text, "Do you want to rename 3 files?");
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(form.Renamed());
  EXPECT_EQ(test::Entries(Dir),
            (std::vector<std::string>{"Trip 001.jpg", "Trip 002.png", "Trip 003.jpg", "keep.txt"}));
  EXPECT_EQ(test::ReadBytes(Dir + "Trip 002.png"), "b.png");
  EXPECT_TRUE(Ui.Errors.empty());

  TStoredTextList ini;
  form.WriteSettings(ini);
  int32_t digits = 0;
  ini.ReadInt("MultiRename", "CounterDigits", digits, 9, 1);
  EXPECT_EQ(digits, 3);
}

TEST_F(MultiRenameFormTest, ContainerItemsFollowTheirFilesAndEqualNamesRenameNothing) {
  const std::vector<std::string> titles{Dir + "keep.txt", Dir + "a.jpg", Dir + "b.png"};
  Column.ContainerIndex = 0; // the column shows the container
  Column.SetWithList(titles, false);
  TContainer container;
  for (const std::string& title : titles)
    container.AddItem(title);
  Column.SelectWhere([](int i) { return i > 0; });
  TMultiRenameForm form;
  ASSERT_TRUE(form.Prepare(Column, &container, true));
  Ui.BoxAnswer = mrBoxOk;

  // Both would end as "x": refused before anything moves; the dialog stays.
  form.ExtensionEdit->setText("x");
  form.OriginalEdit->setText("a.jpg");
  form.NewTextEdit->setText("b.png");
  EXPECT_FALSE(form.Do());
  EXPECT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(test::Entries(Dir), (std::vector<std::string>{"a.jpg", "b.png", "c.jpg", "keep.txt"}));

  // a.jpg onto b.png, which keeps its name: refused too.
  form.ExtensionEdit->clear();
  EXPECT_FALSE(form.Do());
  EXPECT_EQ(Ui.Errors.size(), 2u);
  // Each item follows its own file.
  form.OriginalEdit->setText(".");
  form.NewTextEdit->setText("-old.");
  EXPECT_TRUE(form.Do());
  EXPECT_EQ(test::Entries(Dir),
            (std::vector<std::string>{"a-old.jpg", "b-old.png", "c.jpg", "keep.txt"}));
  std::vector<std::string> items;
  for (const TContainerItem& item : container.Items())
    items.push_back(item.Title);
  EXPECT_EQ(items,
            (std::vector<std::string>{Dir + "keep.txt", Dir + "a-old.jpg", Dir + "b-old.png"}));
}

TEST_F(MultiRenameFormTest, ItemsModeNeedsAContainer) {
  Column.ActiveTitle = Dir + "a.jpg";
  ASSERT_TRUE(Column.LoadWithFiles(Column.ActiveTitle, "Name"));
  TMultiRenameForm form;
  EXPECT_FALSE(form.Prepare(Column, nullptr, false));
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_NE(Ui.Errors[0].Report.find("you must replace some text"), std::string::npos)
      << Ui.Errors[0].Report;
}

} // namespace
} // namespace cv
