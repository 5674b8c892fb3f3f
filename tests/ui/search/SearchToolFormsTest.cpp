// Filtered selection, locate file and text to code, from the main window's
// keys and in their dialogs.

#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "filesystem/File.h"
#include "foundation/Utilities.h"
#include "search/LocateFileForm.h"
#include "search/SelectionForm.h"
#include "search/TextToCodeForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

namespace cv {
namespace {

class SearchToolFormsTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::filesystem::create_directory(Root.Path + "/x.txt");
    for (const char* name : {"a.txt", "b.log", "bad\xFF.txt", "prep.txt", "report.txt", "zz"})
      std::ofstream(Root.Path + "/" + name) << name;
    Form.Setup();
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    Form.Column(0).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                                 Root.Path + "/a.txt");
    Form.FocusColumn(0);
  }
  // Presses the key on the active column; `act` runs in the dialog it opens.
  void KeyWithDialog(Qt::Key key, Qt::KeyboardModifiers modifiers,
                     const std::function<void(QDialog&)>& act) {
    bool acted = false;
    QTimer::singleShot(0, &Form, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      acted = true;
      act(*dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    QTest::keyClick(Form.ColumnView(0)->FileList, key, modifiers);
    EXPECT_TRUE(acted);
  }
  std::set<std::string> SelectedNames() {
    std::set<std::string> names;
    for (const TFileListData& item : Form.Column(0).Items)
      if (item.Selected) names.insert(GetTitleName(item.Title));
    return names;
  }
  std::string FocusedName() {
    const TFileListData* item = Form.Column(0).FocusedItem();
    return item ? GetTitleName(item->Title) : std::string();
  }

  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
  TMainForm Form;
};

TEST_F(SearchToolFormsTest, NumPlusSelectsTheFilesMatchingAPattern) {
  KeyWithDialog(Qt::Key_Plus, Qt::KeypadModifier, [&](QDialog& dialog) {
    EXPECT_EQ(&dialog, Form.SelectionForm);
    EXPECT_EQ(dialog.windowTitle(), "Select");
    Form.SelectionForm->ActiveButton->click();
    EXPECT_EQ(Form.SelectionForm->PatternBox->currentText(), "*.txt") << "a.txt is active";
    Form.SelectionForm->PatternBox->setCurrentText("*.TXT");
    QTest::keyClick(Form.SelectionForm->PatternBox, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
  });
  EXPECT_EQ(SelectedNames(),
            (std::set<std::string>{"a.txt", "bad\xFF.txt", "prep.txt", "report.txt"}))
      << "x.txt is a directory";
  EXPECT_EQ(Form.SelectionForm->PatternBox->itemText(0), "*.TXT") << "kept in the history";
  EXPECT_TRUE(Ui.Boxes.empty());

  // Num- with a pattern refused and then one that matches nothing.
  KeyWithDialog(Qt::Key_Minus, Qt::KeypadModifier, [&](QDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Deselect");
    Form.SelectionForm->PatternBox->setCurrentText("a/b");
    Form.SelectionForm->OkayButton->click();
    EXPECT_TRUE(dialog.isVisible());
    Form.SelectionForm->PatternBox->setCurrentText("*.zip");
    Form.SelectionForm->OkayButton->click();
    EXPECT_FALSE(dialog.isVisible());
  });
  ASSERT_EQ(Ui.Boxes.size(), 2u);
  EXPECT_EQ(Ui.Boxes[0].Text, "Filter is invalid.");
  EXPECT_EQ(Ui.Boxes[1].Text, "No matches found.");
  EXPECT_EQ(SelectedNames().size(), 4u);
}

TEST_F(SearchToolFormsTest, TLocatesAndCtrlTAndShiftTRepeat) {
  // Ctrl+T before any pattern opens the dialog.
  KeyWithDialog(Qt::Key_T, Qt::ControlModifier, [&](QDialog& dialog) {
    EXPECT_EQ(&dialog, Form.LocateFileForm);
    EXPECT_EQ(Form.LocateFileForm->PatternGroup->title(), "File name filter or index (1...7)");
  });
  KeyWithDialog(Qt::Key_T, {}, [&](QDialog& dialog) {
    QTest::keyClicks(Form.LocateFileForm->PatternBox, "rep");
    QTest::keyClick(Form.LocateFileForm->PatternBox, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
  });
  EXPECT_EQ(FocusedName(), "report.txt") << "not prep.txt without similar names";
  QTest::keyClick(Form.ColumnView(0)->FileList, Qt::Key_T, Qt::ControlModifier);
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, "There are no more file name matches.");
  EXPECT_EQ(FocusedName(), "report.txt");

  Form.LocateFileForm->SimilarCheck->setChecked(true);
  QTest::keyClick(Form.ColumnView(0)->FileList, Qt::Key_T, Qt::ShiftModifier);
  EXPECT_EQ(FocusedName(), "prep.txt");
  EXPECT_EQ(Form.Column(0).ActiveTitle, Root.Path + "/prep.txt");

  // Shift+Enter in the box searches upward; an index focuses by position.
  KeyWithDialog(Qt::Key_T, {}, [&](QDialog& dialog) {
    Form.LocateFileForm->PatternBox->setCurrentText("a.;zz");
    Form.LocateFileForm->SimilarCheck->setChecked(false);
    QTest::keyClick(Form.LocateFileForm->PatternBox, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_FALSE(dialog.isVisible());
  });
  EXPECT_EQ(FocusedName(), "a.txt");
  KeyWithDialog(Qt::Key_T, {}, [&](QDialog& dialog) {
    Form.LocateFileForm->PatternBox->setCurrentText("1");
    Form.LocateFileForm->IndexButton->click();
    EXPECT_FALSE(dialog.isVisible());
  });
  EXPECT_EQ(Form.Column(0).List.FocusIndex(), 0);
}

TEST_F(SearchToolFormsTest, TextToCodeGivesOneReferencePerCharacter) {
  KeyWithDialog(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, [&](QDialog& dialog) {
    EXPECT_EQ(&dialog, Form.TextToCodeForm);
    TTextToCodeForm& form = *Form.TextToCodeForm;
    form.TextEdit->clear();
    form.TextEdit->insert(QString::fromUtf8("\xC3\xA9"));
    form.GenerateHTMLButton->click();
    EXPECT_EQ(form.TextEdit->text(), "&#xE9;");
    EXPECT_EQ(form.TextEdit->selectedText(), form.TextEdit->text()) << "ready to copy";
    // A byte that is not UTF-8 shows as U+FFFD and converts as itself.
    SetEditBytes(form.TextEdit, "a\xFF");
    form.GenerateHTMLButton->click();
    EXPECT_EQ(form.TextEdit->text(), "&#x61;&#xFF;");
  });
  EXPECT_EQ(Form.TextToCodeForm->TextEdit->text(), "&#x61;&#xFF;") << "kept between showings";
  EXPECT_TRUE(Ui.Errors.empty());
}

} // namespace
} // namespace cv
