#include "mainwindow/MainDialog.h"

#include "TestSupport.h"
#include "WindowSupport.h"
#include "columns/Column.h"
#include "columns/MyPanel.h"
#include "columns/ColumnView.h"
#include "fileops/FileForm.h"
#include "fileops/RenameForm.h"
#include "mainwindow/MainMenus.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace cv {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class SystemMenuWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    From = Root.Path + "/from";
    To = Root.Path + "/to";
    fs::create_directories(From);
    fs::create_directories(To);
    for (const char* name : {"a*", "a.txt", "ab", "b.txt"})
      std::ofstream(From + "/" + name) << name;
    for (const char* name : {"old.txt", "keep.txt"})
      std::ofstream(To + "/" + name) << name;
    Form.Setup();
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    Form.Column(0).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                                 To + "/old.txt");
    Form.Column(1).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, From + "/a*");
  }
  // Opens the menu, then chooses `caption`, answering the file dialog with Okay.
  void Choose(bool drag, const QString& caption) {
    Form.ShowContextMenu(drag, 0, QPoint(10, 10));
    ASSERT_FALSE(Form.LastSystemMenu.isNull());
    QAction* chosen = nullptr;
    for (QAction* action : Form.LastSystemMenu->actions())
      if (action->text() == caption) chosen = action;
    ASSERT_NE(chosen, nullptr) << caption.toStdString();
    ASSERT_TRUE(chosen->isEnabled());
    test::WhenDialogShows(&Form, [this] {
      ASSERT_NE(Form.FileForm, nullptr);
      Form.FileForm->OkayButton->click();
    });
    chosen->trigger();
    Form.LastSystemMenu->close();
    QApplication::processEvents();
  }

  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
  std::string From, To;
  TMainForm Form;
};

// Each case deletes through the System (or System-drag) menu and lists
// what is left in both directories.
TEST_F(SystemMenuWindowTest, DeleteActsOnExactlyTheTitlesTheMenuIsFor) {
  struct TCase {
    const char* Name;
    bool Drag;
    std::vector<std::string> SelectedFrom, SelectedTo;
    std::vector<std::string> LeftFrom, LeftTo;
  };
  const TCase cases[] = {
      // "a*" is one file, never a pattern for "a.txt" and "ab".
      {"wildcard title", false, {}, {}, {"a.txt", "ab", "b.txt"}, {"keep.txt", "old.txt"}},
      // The dragged files are the source column's selection, whatever the
      // destination column has selected.
      {"drag", true, {"a.txt", "b.txt"}, {"keep.txt"}, {"a*", "ab"}, {"keep.txt", "old.txt"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    for (const char* name : {"a*", "a.txt", "ab", "b.txt"})
      std::ofstream(From + "/" + name) << name;
    Form.Column(1).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, From + "/a*");
    Form.Column(0).LoadDirectory(false);
    std::vector<std::string> from, to;
    for (const std::string& name : c.SelectedFrom)
      from.push_back(From + "/" + name);
    for (const std::string& name : c.SelectedTo)
      to.push_back(To + "/" + name);
    Form.Column(1).SelectTitles(from);
    Form.Column(0).SelectTitles(to);
    // The drag went from column 1 to column 0; the plain menu is column 1's.
    Form.Drag.DragSourceColumn = 1;
    Form.FocusColumn(c.Drag ? 0 : 1);
    Choose(c.Drag, "&Delete");
    EXPECT_EQ(Names(From), c.LeftFrom);
    EXPECT_EQ(Names(To), c.LeftTo);
    EXPECT_TRUE(Ui.Errors.empty());
  }
}

// Rename acts on the title the menu shows: the dragged file, or its parent with Shift.
TEST_F(SystemMenuWindowTest, RenameRenamesTheShownTitle) {
  const struct {
    uint32_t Shift;
    std::string Before, After;
  } cases[] = {
      {0, From + "/a*", From + "/renamed"},
      {ssShift, From, Root.Path + "/renamed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Before);
    Form.Column(1).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, From + "/a*");
    Form.Drag.DragSourceColumn = 1;
    Form.FocusColumn(0);
    Form.ShowContextMenu(true, c.Shift, QPoint(10, 10));
    ASSERT_FALSE(Form.LastSystemMenu.isNull());
    QAction* rename = nullptr;
    for (QAction* action : Form.LastSystemMenu->actions())
      if (action->text() == "Re&name") rename = action;
    ASSERT_NE(rename, nullptr);
    ASSERT_TRUE(rename->isEnabled());
    test::WhenDialogShows(&Form, [this] {
      ASSERT_NE(Form.RenameForm, nullptr);
      Form.RenameForm->NameEdit->setText("renamed");
      Form.RenameForm->RenameButton->click();
    });
    rename->trigger();
    Form.LastSystemMenu->close();
    EXPECT_FALSE(fs::exists(c.Before));
    EXPECT_TRUE(fs::exists(c.After));
    EXPECT_TRUE(fs::exists(To + "/old.txt")) << "the destination's active file stays";
    // A renamed parent leaves the source column showing a directory that is gone.
    if (c.Shift == 0) EXPECT_TRUE(Ui.Errors.empty());
    Ui.Errors.clear();
    fs::rename(c.After, c.Before);
  }
}

TEST_F(SystemMenuWindowTest, TheDragMenuIsTheDraggedFilesMenu) {
  Form.Drag.DragSourceColumn = 1;
  Form.FocusColumn(0);
  const TSystemMenu menu = Form.SystemMenuFor(true, 0);
  EXPECT_EQ(menu.Heading, "System drag: Active title");
  EXPECT_EQ(menu.Title, From + "/a*") << "the source column's active file, not the destination's";
  EXPECT_EQ(menu.Targets, (std::vector<std::string>{From + "/a*"}));
  const TSystemMenu parent = Form.SystemMenuFor(true, ssShift);
  EXPECT_EQ(parent.Title, From);
}

TEST_F(SystemMenuWindowTest, AltDisablesTheMenusOfFilesAndMissingLocationsAreGreyed) {
  QMenu* send = Form.Menus->Action("File/Send")->menu();
  ASSERT_NE(send, nullptr);
  Form.EnableFileMenuItems(Qt::AltModifier);
  for (const char* path : {"File/Send", "File/Navigate/Locations"})
    EXPECT_FALSE(Form.Menus->Action(path)->isEnabled()) << path;
  Form.EnableFileMenuItems(Qt::NoModifier);
  for (const char* path : {"File/Send", "File/Navigate/Locations"})
    EXPECT_TRUE(Form.Menus->Action(path)->isEnabled()) << path;

  // "Startup" is the autostart directory of the configuration home.
  const std::string config = Root.Path + "/config";
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  const char* startup = "File/System locations/Miscellaneous/Startup";
  Form.EnableFileMenuItems(Qt::NoModifier);
  const bool missing = Form.Menus->Action(startup)->isEnabled();
  fs::create_directories(config + "/autostart");
  Form.EnableFileMenuItems(Qt::NoModifier);
  const bool present = Form.Menus->Action(startup)->isEnabled();
  if (old) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_FALSE(missing);
  EXPECT_TRUE(present);
  // A location without a counterpart here is never offered.
  Form.EnableFileMenuItems(Qt::NoModifier);
  EXPECT_FALSE(Form.Menus->Action("File/System locations/Miscellaneous/Quick Launch")->isEnabled());
}

TEST_F(SystemMenuWindowTest, TheMenuNeverCoversTheRowItIsAbout) {
  for (int i = 0; i < 200; ++i) std::ofstream(From + "/many" + std::to_string(1000 + i));
  const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
  Form.setGeometry(room);
  QApplication::processEvents();
  TColumn& column = Form.Column(Form.ActiveColumn());
  column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, From + "/a*");
  auto* list = Form.ColumnView(Form.ActiveColumn())->FileList;
  for (const bool lastRow : {false, true}) {
    SCOPED_TRACE(lastRow);
    // The first visible row has room below; the last one, at the screen's
    // foot, has none: the menu goes above it rather than over it.
    column.List.SetFocusIndex(lastRow ? column.List.LastVisibleIndex() : column.List.TopIndex());
    const int focus = column.List.FocusIndex();
    const QRect local = column.List.ItemRect(focus).translated(list->InnerOrigin());
    const QRect row(list->mapToGlobal(local.topLeft()), local.size());
    Form.ShowContextMenu(false, 0, QPoint(-1, -1));
    ASSERT_FALSE(Form.LastSystemMenu.isNull());
    const QRect menu = Form.LastSystemMenu->geometry();
    EXPECT_FALSE(menu.intersects(row)) << menu.y() << "+" << menu.height() << " row " << row.y();
    EXPECT_EQ(menu.top() > row.top(), !lastRow);
    Form.LastSystemMenu->close();
  }
}

} // namespace
} // namespace cv
