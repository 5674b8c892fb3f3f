// Find common text from the main window's key, as a user runs it.

#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "filesystem/File.h"
#include "foundation/QtText.h"
#include "search/CommonTextForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace cv {
namespace {

class CommonTextFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::ofstream(Root.Path + "/a.txt") << "id|John|Smith|Paris\nid|Anna|Kowalska|Rome\n";
    std::ofstream(Root.Path + "/b.txt") << "x|Smith|John|Leeds\n";
    std::ofstream(Root.Path + "/c\xFF.txt") << "y|Kowalska|Anna|Oslo\nz|Nobody|Else|Here\n";
    Form.Setup();
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    Form.Column(0).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                                 Root.Path + "/a.txt");
    Form.FocusColumn(0);
  }
  // Presses Alt+S on the active column; `act` runs in the dialog it opens.
  void WithDialog(const std::function<void(TCommonTextForm&)>& act) {
    bool acted = false;
    QTimer::singleShot(0, &Form, [&] {
      auto* dialog = qobject_cast<TCommonTextForm*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      acted = true;
      act(*dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    QTest::keyClick(Form.ColumnView(0)->FileList, Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(acted);
  }

  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
  TMainForm Form;
};

TEST_F(CommonTextFormTest, AltSReportsTheSharedLinesAndCopiesTheReport) {
  Form.Column(0).SelectAll(true);
  WithDialog([&](TCommonTextForm& dialog) {
    // Only the fields between the first and the third delimiter count.
    dialog.BeginBox->setCurrentText("1");
    dialog.EndBox->setCurrentText("3");
    dialog.MinimumBox->setCurrentText("All");
    QTest::mouseClick(dialog.FindButton, Qt::LeftButton);
    const std::string& report = dialog.ReportText();
    EXPECT_NE(report.find("Match count: 2\r\n"), std::string::npos) << report;
    EXPECT_NE(report.find("Source filter: \"JOHN; SMITH\""), std::string::npos);
    EXPECT_NE(report.find("Against file: \"" + Root.Path + "/c\xFF.txt\""), std::string::npos);
    EXPECT_EQ(report.find("PARIS"), std::string::npos);
    EXPECT_TRUE(dialog.CopyReport());
    EXPECT_EQ(FromQString(QGuiApplication::clipboard()->text()), FromQString(ToQString(report)));
    EXPECT_TRUE(dialog.ReportEdit->hasFocus());
    EXPECT_TRUE(dialog.FindButton->isEnabled());
  });
  EXPECT_TRUE(Ui.Errors.empty());
  // The boxes keep their texts for the next opening.
  WithDialog([&](TCommonTextForm& dialog) {
    EXPECT_EQ(dialog.BeginBox->currentText(), "1");
    EXPECT_EQ(dialog.MinimumBox->currentText(), "All");
  });
}

TEST_F(CommonTextFormTest, RefusesAnActiveFileThatIsNotSelectedAndAnEmptyDelimiter) {
  Form.Column(0).SelectWhere([&](int index) {
    return GetTitleName(Form.Column(0).Items[static_cast<size_t>(index)].Title) != "a.txt";
  });
  WithDialog([&](TCommonTextForm& dialog) {
    QTest::mouseClick(dialog.FindButton, Qt::LeftButton);
    dialog.DelimiterEdit->clear();
    QTest::mouseClick(dialog.FindButton, Qt::LeftButton);
  });
  ASSERT_EQ(Ui.Errors.size(), 2u);
  EXPECT_EQ(Ui.Errors[0].Description, "Failed to find common text.");
  EXPECT_NE(Ui.Errors[0].Report.find("The active file is not selected or it's not a document: \"" +
                                     Root.Path + "/a.txt\"."),
            std::string::npos)
      << Ui.Errors[0].Report;
  EXPECT_NE(Ui.Errors[1].Report.find("Empty delimiter."), std::string::npos);
}

TEST_F(CommonTextFormTest, CancelStopsARunningComparisonAndCloses) {
  // Misspellings inside longer words take the all-pairs path: minutes of work.
  std::string many;
  for (int i = 0; i < 4000; ++i)
    many += "w|name" + std::to_string(i) + " street" + std::to_string(i * 7) + "|z\n";
  std::ofstream(Root.Path + "/a.txt") << many;
  std::ofstream(Root.Path + "/b.txt") << many;
  Form.Column(0).SelectAll(true);
  WithDialog([&](TCommonTextForm& dialog) {
    dialog.WholeMatchBox->setCurrentText("Any");
    dialog.ToleranceBox->setCurrentText("3");
    QTimer::singleShot(300, &dialog, [&] {
      EXPECT_TRUE(dialog.Running());
      EXPECT_FALSE(dialog.FindButton->isEnabled());
      QTest::mouseClick(dialog.CancelButton, Qt::LeftButton);
    });
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(dialog.FindButton, Qt::LeftButton);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.ReportText().empty());
  });
  EXPECT_TRUE(Ui.Errors.empty());
}

} // namespace
} // namespace cv
