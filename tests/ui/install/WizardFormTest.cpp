// The configuration wizard: its pages and buttons, and what it changes in
// the main window of a fresh data root.

#include "install/WizardForm.h"

#include "columns/ColumnView.h"
#include "foundation/Program.h"
#include "mainwindow/MainDialog.h"
#include "mainwindow/MainMenus.h"
#include "options/ProgramOptions.h"
#include "TestSupport.h"
#include "WindowSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace cv {
namespace {

TEST(WizardForm, StepsThroughThePagesAndReturnsTheCheckedBoxes) {
  TWizardForm form(TWizardChoices{});
  ASSERT_EQ(form.Pages->count(), 16);
  EXPECT_EQ(form.Pages->tabText(0), "Start");
  EXPECT_EQ(form.Pages->tabText(15), "Skins");
  for (QCheckBox* box : form.Boxes)
    EXPECT_FALSE(box->isChecked()) << box->text().toStdString();
  EXPECT_FALSE(form.PreviousButton->isEnabled());
  for (int i = 1; i < form.Pages->count(); ++i) {
    QTest::mouseClick(form.NextButton, Qt::LeftButton);
    EXPECT_EQ(form.Pages->currentIndex(), i);
  }
  EXPECT_FALSE(form.NextButton->isEnabled());
  QTest::mouseClick(form.PreviousButton, Qt::LeftButton);
  EXPECT_EQ(form.Pages->currentIndex(), 14);
  // "Show three columns" sits on the page of that name.
  form.Pages->setCurrentIndex(4);
  QCheckBox* three = form.Pages->currentWidget()->findChild<QCheckBox*>();
  ASSERT_TRUE(three);
  EXPECT_EQ(three->text(), "Show three columns");
  three->setChecked(true);
  TWizardChoices expected;
  expected.ShowThreeColumns = true;
  EXPECT_EQ(form.Choices(), expected);
}

class WizardWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    ProgramOptions.SetDefaults();
    Form.Setup();
    Form.resize(1000, 700);
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
  }
  void TearDown() override { ProgramOptions.SetDefaults(); }
  // Runs the first-run offer with `inside` done in the wizard; true when a
  // wizard was there to do it in.
  bool Offer(const std::function<void(TWizardForm&)>& inside) {
    bool seen = false;
    test::WhenDialogShows(&Form, [&] {
      auto* wizard = qobject_cast<TWizardForm*>(QApplication::activeModalWidget());
      if (!wizard) return;
      seen = true;
      inside(*wizard);
    });
    Form.OfferFirstRunWizard();
    return seen;
  }
  bool Shown(const char* name) {
    QWidget* widget = Form.findChild<QWidget*>(QString::fromLatin1(name));
    return widget && widget->isVisible();
  }
  test::TRecordingUserInterface Ui;
  TMainForm Form;
};

TEST_F(WizardWindowTest, OkayOnAFreshDataRootLeavesTheBarsOnAndTheWindowOpen) {
  ASSERT_TRUE(ProgramOptions.FirstRun);
  ASSERT_FALSE(Shown("BoardsBar"));
  ASSERT_FALSE(Shown("ColumnInfoBar"));
  ASSERT_TRUE(Offer([](TWizardForm& wizard) {
    // The first run comes with the bars checked and nothing else.
    TWizardChoices expected = FirstRunChoices();
    EXPECT_EQ(wizard.Choices(), expected);
    wizard.Boxes[4]->setChecked(true); // "Show three columns"
    QTest::mouseClick(wizard.OkayButton, Qt::LeftButton);
  }));
  EXPECT_TRUE(ProgramOptions.ShowBoardsBar);
  EXPECT_TRUE(ProgramOptions.ShowColumnInfo);
  EXPECT_TRUE(ProgramOptions.ShowFileInfo);
  // At once, without a restart.
  EXPECT_TRUE(Shown("BoardsBar"));
  EXPECT_TRUE(Shown("ColumnInfoBar"));
  EXPECT_TRUE(Shown("FileInfoBar"));
  EXPECT_EQ(Form.VisibleColumns(), 3);
  EXPECT_TRUE(Form.ColumnView(2)->isVisible());
  EXPECT_TRUE(Form.isVisible());
}

TEST_F(WizardWindowTest, CancelChangesNothingAndSavedOptionsAreNotOfferedTheWizard) {
  ASSERT_TRUE(Offer([](TWizardForm& wizard) {
    QTest::mouseClick(wizard.CancelButton, Qt::LeftButton);
  }));
  EXPECT_FALSE(ProgramOptions.ShowBoardsBar);
  EXPECT_FALSE(Shown("BoardsBar"));
  EXPECT_FALSE(std::filesystem::exists(Program.EditLinkTitle()));
  // Once the options were saved, a start is no first run any more.
  Form.SaveSession();
  TMainForm again;
  again.Setup();
  bool seen = false;
  test::WhenDialogShows(&again, [&] {
    seen = QApplication::activeModalWidget() != nullptr;
    if (auto* modal = QApplication::activeModalWidget()) modal->close();
  }, 300);
  again.OfferFirstRunWizard();
  QTest::qWait(400);
  EXPECT_FALSE(seen);
}

TEST_F(WizardWindowTest, TheHelpMenuRunsItWithNothingChecked) {
  ProgramOptions.FirstRun = false;
  bool seen = false;
  test::WhenDialogShows(&Form, [&] {
    auto* wizard = qobject_cast<TWizardForm*>(QApplication::activeModalWidget());
    ASSERT_TRUE(wizard);
    seen = true;
    EXPECT_EQ(wizard->Choices(), TWizardChoices{});
    EXPECT_EQ(wizard->HelpContextNumber, 100);
    QTest::mouseClick(wizard->OkayButton, Qt::LeftButton);
  });
  EXPECT_TRUE(Form.RunCommand("Help/Wizard"));
  EXPECT_TRUE(seen);
  EXPECT_FALSE(ProgramOptions.ShowBoardsBar);
  EXPECT_TRUE(ProgramOptions.ShowHintBar);
}

} // namespace
} // namespace cv
