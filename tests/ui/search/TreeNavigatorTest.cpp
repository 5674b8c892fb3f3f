// The tree view's painting, the navigator dialog, the docked panel and a
// branch on a file system that hangs.

#include "search/TreeNavigatorForm.h"
#include "search/TreeView.h"

#include "HangingMount.h"
#include "StallMeter.h"
#include "TestSupport.h"
#include "WindowSupport.h"
#include "columns/Board.h"
#include "columns/Column.h"
#include "filesystem/File.h"
#include "foundation/Drawing.h"
#include "foundation/StoredTextList.h"
#include "mainwindow/MainDialog.h"
#include "mainwindow/MainMenus.h"
#include "mainwindow/SkinOptions.h"
#include "mainwindow/WaitInput.h"
#include "options/ProgramOptions.h"
#include "search/DirectoryTree.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace cv {
namespace {

namespace fs = std::filesystem;

// "<dir>/leaf" holds a file only, "<dir>/nest" a subdirectory.
class TreeNavigatorTest : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(Dir.Path + "/leaf");
    std::ofstream(Dir.Path + "/leaf/file.txt") << "x";
    fs::create_directories(Dir.Path + "/nest/inner");
  }
  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
};

TEST_F(TreeNavigatorTest, ExpandableNodesShowABoxLeavesNone) {
  TDirectoryTree tree;
  TTreeView view(tree);
  view.resize(300, 200);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  tree.LoadRoots({PathToPartitionTitle(Dir.Path)});
  ASSERT_TRUE(tree.Expand(*tree.Roots().front()));
  TTreeNode& leaf = *tree.Roots().front()->Children[0];
  TTreeNode& nest = *tree.Roots().front()->Children[1];
  ASSERT_EQ(leaf.Text, "leaf");
  ASSERT_EQ(nest.Text, "nest");
  const int w = view.Indent(), h = view.RowHeight();
  auto probe = [&](const TTreeNode& node, QPoint inRow) {
    const QImage image = view.viewport()->grab().toImage();
    const QRect row = view.RowRect(tree.RowOf(&node));
    return test::PixelColor(image, inRow.x(), row.top() + inRow.y());
  };
  for (TTreeNode* node : {&leaf, &nest}) {
    const TTreeRowGeometry g = tree.RowGeometry(*node, w, h);
    const int x0 = g.BranchFrom;
    const int q = (w / 2) / 2;
    // The box's left edge at the middle, and the "+" stroke just above it.
    const uint32_t edge = probe(*node, {x0 - q, g.Middle});
    const uint32_t stroke = probe(*node, {x0, g.Middle - 1});
    if (node == &nest) {
      EXPECT_EQ(edge, SkinOptions.GridColor);
      EXPECT_EQ(stroke, SkinOptions.WindowTextColor);
    } else {
      EXPECT_EQ(edge, SkinOptions.WindowBackColor);
      EXPECT_EQ(stroke, SkinOptions.GridColor); // only the tree line
    }
  }
  // Opened: the "-" stays, the "+" stroke goes.
  ASSERT_TRUE(tree.Expand(nest));
  const TTreeRowGeometry g = tree.RowGeometry(nest, w, h);
  EXPECT_EQ(probe(nest, {g.BranchFrom, g.Middle - 1}), SkinOptions.WindowBackColor);
  EXPECT_EQ(probe(nest, {g.BranchFrom - 1, g.Middle}), SkinOptions.WindowTextColor);
}

TEST_F(TreeNavigatorTest, ADoubleClickTogglesOnce) {
  TDirectoryTree tree;
  TTreeView view(tree);
  view.resize(300, 200);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  tree.LoadRoots({PathToPartitionTitle(Dir.Path)});
  ASSERT_TRUE(tree.Expand(*tree.Roots().front()));
  TTreeNode& nest = *tree.Roots().front()->Children[1];
  const QRect text = view.TextRect(nest);
  // As the window system sends it: a click, then the double click.
  auto doubleClick = [&](QPoint at) {
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, at);
  };
  // On the box: the first press opens, the double click leaves it open.
  doubleClick({text.left() - view.Indent() / 2, text.center().y()});
  EXPECT_TRUE(nest.Expanded);
  // On the name: the double click alone closes it.
  doubleClick(view.TextRect(nest).center());
  EXPECT_FALSE(nest.Expanded);
  EXPECT_EQ(tree.Selected(), &nest);
}

TEST_F(TreeNavigatorTest, DialogStartsAtTheTitleAndReturnsTheChosenDirectory) {
  TTreeNavigatorForm form;
  EXPECT_EQ(form.windowTitle(), "Directory tree navigator");
  EXPECT_EQ(form.size(), QSize(708, 534));
  EXPECT_EQ(form.minimumSize(), QSize(300, 300));

  // Enter with the start selected; the start stays bold and italic.
  test::WhenDialogShows(&form, [&] {
    EXPECT_EQ(form.Tree.GetSelectedTreeTitle(), Dir.Path + "/nest");
    EXPECT_EQ(form.CurrentFileTitleLabel->text().toStdString(), Dir.Path + "/nest");
    // Selected, not opened: Right opens it, Down goes in.
    EXPECT_FALSE(form.Tree.Selected()->Expanded);
    QTest::keyClick(form.TreeView, Qt::Key_Right);
    QTest::keyClick(form.TreeView, Qt::Key_Down);
    QTest::keyClick(form.TreeView, Qt::Key_Return);
  });
  EXPECT_EQ(form.Dialog(Dir.Path + "/nest/"), Dir.Path + "/nest/inner");
  EXPECT_TRUE(form.Tree.Roots().empty()) << "the tree is cleared after every call";

  // A right press picks at once; Cancel gives nothing.
  test::WhenDialogShows(&form, [&] {
    const TTreeNode* leaf = form.Tree.Selected()->Parent->Children[0].get();
    QTest::mouseClick(form.TreeView->viewport(), Qt::RightButton, {},
                      form.TreeView->TextRect(*leaf).center());
  });
  EXPECT_EQ(form.Dialog(Dir.Path + "/nest"), Dir.Path + "/leaf");
  test::WhenDialogShows(&form, [&] { form.CancelButton->click(); });
  EXPECT_EQ(form.Dialog(Dir.Path + "/nest"), "");
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(TreeNavigatorTest, F2ClipsNamePathOrTitle) {
  TTreeNavigatorForm form;
  ASSERT_TRUE(form.Prepare(Dir.Path + "/nest"));
  struct TCase {
    Qt::KeyboardModifiers Modifiers;
    std::string Clip;
  } cases[] = {{Qt::NoModifier, "nest"},
               {Qt::ControlModifier, Dir.Path + "/"},
               {Qt::ShiftModifier, Dir.Path + "/nest"}};
  for (const TCase& c : cases) {
    QApplication::clipboard()->clear();
    QTest::keyClick(&form, Qt::Key_F2, c.Modifiers);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), c.Clip);
  }
  form.Finish(false);
}

TEST_F(TreeNavigatorTest, DialogBoundsAreKeptInTheirSection) {
  TStoredTextList ini;
  {
    TTreeNavigatorForm form;
    form.setGeometry(40, 50, 640, 480);
    form.WriteBounds(ini);
  }
  int32_t width = 0;
  ini.ReadInt("DTN", "XSize", width, 100000, 0);
  EXPECT_EQ(width, 640);
  TTreeNavigatorForm again;
  again.ReadBounds(ini);
  EXPECT_EQ(again.size(), QSize(640, 480));
}

// The panel is the board's: F9 shows it at the board's path, Ctrl+I opens
// it at the active column's directory, and a selection drives the column.
TEST_F(TreeNavigatorTest, PanelFollowsTheBoardAndDrivesTheActiveColumn) {
  const TProgramOptions saved = ProgramOptions;
  TMainForm form;
  form.Setup();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  Ui.Errors.clear();
  TColumn& column = form.Column(form.ActiveColumn());
  column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/nest/");
  form.FocusColumn(form.ActiveColumn());
  form.Boards.Active().ShowTreeNavigator = false;
  form.Reset(false);

  form.EnableFileMenuItems({});
  for (const char* path :
       {"File/Navigate/Tree navigator dialog", "File/Navigate/Navigate to directory",
        "Work/Layout/Toggle tree navigator"})
    EXPECT_TRUE(form.Menus->Action(path)->isEnabled()) << path;

  ASSERT_TRUE(form.RunCommand("File/Navigate/Navigate to directory"));
  EXPECT_TRUE(form.Boards.Active().ShowTreeNavigator);
  EXPECT_TRUE(form.PanelTreeView->isVisible());
  EXPECT_EQ(form.PanelTree->GetSelectedTreeTitle(), Dir.Path + "/nest");
  EXPECT_EQ(form.Boards.Active().TreeNavigatorPath, Dir.Path + "/nest");

  ProgramOptions.SynchronizeColumn = true;
  TTreeNode* leaf = form.PanelTree->Selected()->Parent->Children[0].get();
  form.PanelTree->Select(leaf);
  EXPECT_EQ(form.Boards.Active().TreeNavigatorPath, Dir.Path + "/leaf");
  EXPECT_EQ(GetTitlePath(column.ActiveTitle), Dir.Path + "/leaf/");

  ProgramOptions.SynchronizeColumn = false;
  form.PanelTree->Select(leaf->Parent->Children[1].get());
  EXPECT_EQ(form.Boards.Active().TreeNavigatorPath, Dir.Path + "/nest");
  EXPECT_EQ(GetTitlePath(column.ActiveTitle), Dir.Path + "/leaf/") << "the column stays";

  // A column dropped on the tree opens the tree at the column's directory.
  form.PanelTree->Select(nullptr);
  const QPoint onTree = form.PanelTreeView->mapToGlobal(form.PanelTreeView->rect().center());
  EXPECT_TRUE(form.DropColumnOnTree(form.ActiveColumn(), onTree));
  EXPECT_EQ(form.PanelTree->GetSelectedTreeTitle(), Dir.Path + "/leaf");
  EXPECT_FALSE(form.DropColumnOnTree(form.ActiveColumn(), onTree + QPoint(5000, 0)));

  // A right press on a node opens the System menu of that node's directory.
  TTreeNode* shown = form.PanelTree->Selected();
  ASSERT_NE(shown, nullptr);
  QTest::mouseClick(form.PanelTreeView->viewport(), Qt::RightButton, {},
                    form.PanelTreeView->TextRect(*shown).center());
  ASSERT_FALSE(form.LastSystemMenu.isNull());
  const QList<QAction*> items = form.LastSystemMenu->actions();
  ASSERT_FALSE(items.isEmpty());
  EXPECT_EQ(items[0]->text(), "System: Active title");
  EXPECT_EQ(items[0]->toolTip().toStdString(), Dir.Path + "/leaf");
  form.LastSystemMenu->close();

  // F9 from the tree itself: the function keys are the window's.
  ASSERT_TRUE(form.PanelTreeView->hasFocus());
  QTest::keyClick(form.PanelTreeView, Qt::Key_F9);
  EXPECT_FALSE(form.Boards.Active().ShowTreeNavigator);
  EXPECT_FALSE(form.PanelTreeView->isVisible());
  EXPECT_TRUE(Ui.Errors.empty());
  ProgramOptions = saved;
}

// A branch on a file system that does not answer: the window keeps
// painting, a "loading" row shows, and Esc gives up.
TEST_F(TreeNavigatorTest, ABranchOnAHangingMountNeitherStallsNorHolds) {
  // The mount answers after the loading row was looked at, however slow the build.
  test::THangingMount mount(600 * test::TimeScale);
  if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
  TWaitInput input;
  TDirectoryTree tree;
  TTreeView view(tree);
  view.resize(300, 200);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  tree.LoadRoots({PathToPartitionTitle(mount.MountPoint())});
  TTreeNode& root = *tree.Roots().front();
  bool loadingShown = false;
  QTimer::singleShot(450 * test::TimeScale,
                     [&] { loadingShown = tree.Rows().size() == 2 && tree.Rows()[1].Loading; });
  test::TStallMeter meter;
  ASSERT_TRUE(tree.Expand(root));
  EXPECT_LT(meter.Longest(), 100 * test::TimeScale);
  EXPECT_TRUE(loadingShown);
  ASSERT_EQ(root.Children.size(), 1u);
  EXPECT_EQ(root.Children[0]->Text, "sub");
  EXPECT_EQ(tree.Rows().size(), 2u) << "the loading row is gone";

  tree.Collapse(root);
  QTimer::singleShot(100, [&] { QTest::keyClick(&view, Qt::Key_Escape); });
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(tree.Expand(root));
  EXPECT_LT(clock.elapsed(), 500);
  EXPECT_FALSE(root.Expanded);
  EXPECT_TRUE(Ui.Errors.empty());
}

} // namespace
} // namespace cv
