// F8 shows and hides the boards bar.

#include "mainwindow/MainDialog.h"

#include "columns/ColumnView.h"
#include "mainwindow/MainMenus.h"
#include "options/ProgramOptions.h"
#include "TestSupport.h"

#include <QAction>
#include <QTest>
#include <gtest/gtest.h>

namespace cv {
namespace {

TEST(BoardsBarToggle, F8ShowsAndHidesTheBar) {
  ProgramOptions.SetDefaults();
  test::TRecordingUserInterface ui;
  TMainForm form;
  form.Setup();
  form.resize(1000, 700);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.Reset(false);
  QWidget* bar = form.findChild<QWidget*>(QStringLiteral("BoardsBar"));
  ASSERT_TRUE(bar);
  const bool shown = bar->isVisible();
  EXPECT_TRUE(form.Menus->Action("Work/Layout/Toggle boards bar")->isEnabled());
  QTest::keyClick(form.ColumnView(0)->FileList, Qt::Key_F8);
  EXPECT_EQ(bar->isVisible(), !shown);
  EXPECT_EQ(ProgramOptions.ShowBoardsBar, !shown);
  QTest::keyClick(form.ColumnView(0)->FileList, Qt::Key_F8);
  EXPECT_EQ(bar->isVisible(), shown);
  ProgramOptions.SetDefaults();
}

} // namespace
} // namespace cv
