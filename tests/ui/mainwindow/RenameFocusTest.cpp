// After a rename the column's focus stays on the renamed item.

#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "columns/Column.h"
#include "fileops/RenameForm.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

namespace cv {
namespace {

TEST(RenameFocus, TheFocusFollowsTheNewName) {
  test::TTempDir root;
  const std::string dir = root.Path;
  for (const char* name : {"alpha.txt", "beta.txt", "gamma.txt"})
    std::ofstream(dir + "/" + name) << "x";
  test::TRecordingUserInterface ui;
  TMainForm form;
  form.Setup();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  TColumn& column = form.Column(0);
  column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, dir + "/alpha.txt");
  form.FocusColumn(0);
  ASSERT_EQ(column.ActiveTitle, dir + "/alpha.txt");

  // "omega" sorts last: a focus that stays at the old place would be wrong.
  QTimer::singleShot(0, [] {
    auto* rename = qobject_cast<TRenameForm*>(QApplication::activeModalWidget());
    ASSERT_TRUE(rename);
    rename->NameEdit->setText(QStringLiteral("omega.txt"));
    rename->RenameButton->click();
  });
  ASSERT_TRUE(form.RunCommand("File/Often/Rename file"));
  ASSERT_TRUE(std::filesystem::exists(dir + "/omega.txt"));
  EXPECT_EQ(column.ActiveTitle, dir + "/omega.txt");
  ASSERT_TRUE(column.FocusedItem());
  EXPECT_EQ(column.FocusedItem()->Title, dir + "/omega.txt");
}

} // namespace
} // namespace cv
