#include "foundation/Utilities.h"

#include "TestSupport.h"
#include "foundation/QtText.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QListWidget>
#include <QMenu>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace cv {
namespace {

namespace fs = std::filesystem;

void Touch(const std::string& title) { std::ofstream(title) << "x"; }

std::vector<std::string> Captions(const QMenu* menu) {
  std::vector<std::string> captions;
  for (const QAction* action : menu->actions()) captions.push_back(FromQString(action->text()));
  return captions;
}

QMenu* SubMenu(const QMenu* menu, const char* caption) {
  for (const QAction* action : menu->actions())
    if (action->menu() && action->text() == QLatin1String(caption)) return action->menu();
  return nullptr;
}

class MenuFromFilesTest : public ::testing::Test {
protected:
  void SetUp() override { FunStatContext = TFunStatContext(); }
  test::TRecordingUserInterface Ui;
  test::TTempDir Dir;
  QMenu Menu;
};

TEST_F(MenuFromFilesTest, FortyLinksShowTheFirstThirtyByName) {
  // Created in reverse order, so directory order is no help.
  for (int i = 39; i >= 0; --i) Touch(Dir.Path + "/Link" + (i < 10 ? "0" : "") + std::to_string(i) + ".desktop");
  ASSERT_TRUE(LoadMenuWithFiles(&Menu, Dir.Path, "*.desktop", {}, nullptr, "Go", false, true, false));
  const std::vector<std::string> captions = Captions(&Menu);
  ASSERT_EQ(captions.size(), 30u);
  for (int i = 0; i < 30; ++i)
    EXPECT_EQ(captions[i], std::string("Link") + (i < 10 ? "0" : "") + std::to_string(i));
  const QAction* first = Menu.actions().front();
  EXPECT_EQ(MenuItemTitle(first), Dir.Path + "/Link00.desktop");
  EXPECT_EQ(MenuItemTag(first), 0);
  EXPECT_EQ(first->statusTip(), "Go");
}

TEST_F(MenuFromFilesTest, HiddenEmptyAndLoopingEntriesLeaveNoItems) {
  const std::string& root = Dir.Path;
  fs::create_directories(root + "/Empty");
  fs::create_directories(root + "/OnlyHidden/.inner");
  Touch(root + "/OnlyHidden/.secret.desktop");
  Touch(root + "/OnlyHidden/.inner/Deep.desktop");
  Touch(root + "/.hidden.desktop");
  fs::create_directory_symlink(root, root + "/Loop");
  fs::create_directory_symlink(root + "/Loop", root + "/LoopTwice");
  ASSERT_TRUE(LoadMenuWithFiles(&Menu, root, "", {}, nullptr, "", false, false, false));
  EXPECT_TRUE(Menu.actions().isEmpty());
  EXPECT_FALSE(FunStatContext.Failed());
}

TEST_F(MenuFromFilesTest, DirectoriesFirstCaptionsEscapedExtensionsByFlag) {
  const std::string& root = Dir.Path;
  fs::create_directories(root + "/b tools/inner");
  fs::create_directories(root + "/A&B");
  Touch(root + "/b tools/inner/Deep.desktop");
  Touch(root + "/b tools/Editor.desktop");
  Touch(root + "/A&B/x.desktop");
  Touch(root + "/notes.txt");
  Touch(root + "/R&D.desktop");
  Touch(root + "/zeta.desktop");
  Touch(root + "/Alpha.desktop");
  fs::create_symlink(root + "/notes.txt", root + "/notes link.txt");
  fs::create_directory_symlink(root, root + "/b tools/Back");

  // The tools menu: every file, extensions shown.
  ASSERT_TRUE(LoadMenuWithFiles(&Menu, root + "/", "", {}, nullptr, "", false, false, false));
  EXPECT_EQ(Captions(&Menu), (std::vector<std::string>{"A&&B", "b tools", "Alpha.desktop",
                                                       "notes link.txt", "notes.txt", "R&&D.desktop",
                                                       "zeta.desktop"}));
  QMenu* tools = SubMenu(&Menu, "b tools");
  ASSERT_NE(tools, nullptr);
  EXPECT_EQ(MenuItemTag(tools->menuAction()), 1);
  EXPECT_EQ(MenuItemTitle(tools->menuAction()), root + "/b tools");
  EXPECT_EQ(Captions(tools), (std::vector<std::string>{"inner", "Editor.desktop"}));
  EXPECT_EQ(FindMenuItemByTag(&Menu, 0)->text(), "Alpha.desktop");
  EXPECT_EQ(FindMenuItemByTag(&Menu, 1)->text(), "A&&B");

  // A links menu: links only, shown without their extension.
  QMenu links;
  ASSERT_TRUE(LoadMenuWithFiles(&links, root, "*.desktop", {}, nullptr, "", false, true, false));
  EXPECT_EQ(Captions(&links), (std::vector<std::string>{"A&&B", "b tools", "Alpha", "R&&D", "zeta"}));
  EXPECT_EQ(Captions(SubMenu(&links, "b tools")), (std::vector<std::string>{"inner", "Editor"}));

  // A mask that leaves a subdirectory empty drops it.
  QMenu texts;
  ASSERT_TRUE(LoadMenuWithFiles(&texts, root, "*.txt", {}, nullptr, "", true, false, false));
  EXPECT_EQ(Captions(&texts), (std::vector<std::string>{"notes", "notes link"}));
}

TEST_F(MenuFromFilesTest, ClicksAndPathsComeFromTheStoredTitle) {
  fs::create_directories(Dir.Path + "/Sub");
  Touch(Dir.Path + "/Sub/Editor.desktop");
  std::string clicked;
  QObject owner;
  ASSERT_TRUE(LoadMenuWithFiles(
      &Menu, Dir.Path, "*.desktop", [&](QAction* action) { clicked = GetMenuItemPath(&Menu, action); },
      &owner, "", false, true, true));
  QAction* editor = SubMenu(&Menu, "Sub")->actions().front();
  editor->setText("renamed caption");
  editor->trigger();
  EXPECT_EQ(clicked, Dir.Path + "/Sub/Editor.desktop");
  QMenu other;
  EXPECT_EQ(GetMenuItemPath(&other, editor), "");
}

TEST_F(MenuFromFilesTest, FailuresAreReportedAndMissingDirectoriesAreEmpty) {
  for (const char* mask : {"a|b", "*.x;<", "sub/x", "a:b", "a\\b", "\"x\""}) {
    EXPECT_FALSE(LoadMenuWithFiles(&Menu, Dir.Path, mask, {}, nullptr, "", false, false, false)) << mask;
    EXPECT_EQ(FunStatContext.Description, "Invalid file name filter.");
  }
  EXPECT_TRUE(LoadMenuWithFiles(&Menu, Dir.Path + "/missing", "", {}, nullptr, "", false, false, false));
  EXPECT_TRUE(Menu.actions().isEmpty());

  Touch(Dir.Path + "/plain");
  EXPECT_FALSE(LoadMenuWithFiles(&Menu, Dir.Path + "/plain", "", {}, nullptr, "", false, false, false));
  EXPECT_EQ(FunStatContext.Description, "Can not find first item.");
  EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(ENOTDIR));
  EXPECT_EQ(FunStatContext.FunctionName, "LoadMenuWithFiles");

  // Root reads every directory: the locked one is read by an unprivileged child.
  const std::string top = Dir.Path + "/top";
  fs::create_directories(top + "/locked");
  Touch(top + "/a.txt");
  fs::permissions(top + "/locked", fs::perms::none);
  EXPECT_EQ(test::RunUnprivileged(
                {top},
                [&]() -> std::string {
                  if (LoadMenuWithFiles(&Menu, top, "", {}, nullptr, "", false, false, false))
                    return "the locked directory was read";
                  if (FunStatContext.SystemErrorCode != EACCES)
                    return "system error " + std::to_string(FunStatContext.SystemErrorCode);
                  return "";
                }),
            "");
  fs::permissions(top + "/locked", fs::perms::owner_all);
}

TEST(MenuInsertPositionTest, DirectoriesFirstEachSortedIgnoringCase) {
  QMenu menu;
  for (const char* caption : {"beta", "Delta"}) {
    auto* action = menu.addAction(caption);
    SetMenuItemTag(action, 1);
  }
  for (const char* caption : {"apple", "Cherry"}) menu.addAction(caption);
  struct Case { const char* caption; bool directory; int index; } cases[] = {
      {"Alpha", true, 0}, {"charlie", true, 1}, {"zulu", true, 2},
      {"&Aardvark", false, 2}, {"banana", false, 3}, {"Zebra", false, 4},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MenuInsertPosition(c.caption, &menu, c.directory), c.index) << c.caption;
  EXPECT_EQ(MenuCaption("R&D"), "R&&D");
}

class ComboTest : public ::testing::Test {
protected:
  void SetUp() override {
    FunStatContext = TFunStatContext();
    Box.setEditable(true);
    Box.addItems({"Alpha", "Beta", "Gamma"});
  }
  test::TRecordingUserInterface Ui;
  QComboBox Box;
};

TEST_F(ComboTest, IndexByTextWithDefaults) {
  struct Case { const char* text; const char* fallback; int index; } cases[] = {
      {"beta", "", 1}, {"", "Gamma", 2}, {"nothing", "gamma", 2}, {"nothing", "", 0},
      {"nothing", "absent", 0}, {"", "", 0},
  };
  for (const auto& c : cases) {
    Box.setCurrentIndex(1);
    SetComboIndexByText(&Box, c.text, c.fallback);
    EXPECT_EQ(Box.currentIndex(), c.index) << c.text << "/" << c.fallback;
  }
  QComboBox empty;
  SetComboIndexByText(&empty, "x", "y");
  EXPECT_EQ(empty.currentIndex(), -1);
}

TEST_F(ComboTest, HistoryMovesOrInsertsFirstAndKeepsTheText) {
  Box.setEditText("typed");
  AddToComboHistory(&Box, "gamma");
  EXPECT_EQ(Box.itemText(0), "Gamma");
  EXPECT_EQ(Box.count(), 3);
  EXPECT_EQ(Box.currentText(), "typed");
  AddToComboHistory(&Box, "");
  EXPECT_EQ(Box.count(), 3);
  RecordComboHistory(&Box);
  EXPECT_EQ(Box.count(), 4);
  EXPECT_EQ(Box.itemText(0), "typed");
  EXPECT_EQ(Box.itemText(1), "Gamma");
  EXPECT_EQ(Box.currentText(), "typed");
}

TEST_F(ComboTest, NumbersOutsideLimitsWarnAndResetTheBox) {
  Box.setEditText("42");
  EXPECT_EQ(GetIntFromComboBox(&Box, 0, 100, 7), 42);
  Box.setEditText("");
  EXPECT_EQ(GetIntFromComboBox(&Box, 0, 100, 7), 7);
  EXPECT_TRUE(Ui.Boxes.empty());
  for (const char* text : {"101", "4x"}) {
    Box.setEditText(text);
    EXPECT_EQ(GetIntFromComboBox(&Box, -1, 100, 7), 7) << text;
    EXPECT_EQ(Box.currentText(), "7");
  }
  ASSERT_EQ(Ui.Boxes.size(), 2u);
  EXPECT_EQ(Ui.Boxes[0].Text, "Integer value outside limits.\nIt will be set to default.\n"
                              "    * Minimum = -1\n    * Maximum = 100\n    * Default = 7");
  Box.setEditText("-2147483648");
  EXPECT_EQ(GetIntFromComboBox(&Box), INT_MIN);

  Box.setEditText("2.5");
  EXPECT_DOUBLE_EQ(GetRealFromComboBox(&Box, 1.0, 10.0, 0.0), 2.5);
  Box.setEditText("12.5");
  EXPECT_DOUBLE_EQ(GetRealFromComboBox(&Box, 1.5, 10.0, 0.25), 1.5);
  EXPECT_EQ(Box.currentText(), "1.5");
  EXPECT_EQ(Ui.Boxes.back().Text, "Real value outside limits.\nIt will be set to default.\n"
                                  "    * Minimum = 0.25\n    * Maximum = 10\n    * Default = 1.5");
}

TEST(ListAndWindowTest, ListSelectionAtPoint) {
  QListWidget list;
  list.addItems({"one", "two", "three"});
  list.resize(200, 200);
  list.show();
  const QRect second = list.visualItemRect(list.item(1));
  EXPECT_EQ(SelectListItemAtPoint(&list, second.center().x(), second.center().y()), 1);
  EXPECT_EQ(list.currentRow(), 1);
  EXPECT_EQ(SelectListItemAtPoint(&list, 5, 190), -1);
  EXPECT_EQ(list.currentRow(), 1);
  ReselectListItem(&list);
  EXPECT_EQ(list.currentRow(), 1);
}

TEST(ListAndWindowTest, FontsControlsAndWindows) {
  test::TRecordingUserInterface ui;
  QWidget window;
  QFont font("Arial", 17);
  EXPECT_EQ(GetFontHeight(font, &window), QFontMetrics(font, &window).height());
  EXPECT_GT(GetFontHeight(font, &window), 0);
  EXPECT_EQ(GetFontHeight(font, nullptr), 0);
  EXPECT_EQ(FunStatContext.Description, "Failed to get device context.");

  window.setGeometry(100, 100, 300, 200);
  auto* child = new QWidget(&window);
  child->setGeometry(10, 10, 50, 50);
  window.show();
  QApplication::processEvents();
  const QPoint inside = child->mapToGlobal(QPoint(5, 5));
  EXPECT_TRUE(IsControlAtPoint(inside, child));
  EXPECT_FALSE(IsControlAtPoint(inside, &window));
  EXPECT_TRUE(IsControlAtPoint(window.mapToGlobal(QPoint(200, 150)), &window));
  EXPECT_FALSE(IsControlAtPoint(inside, nullptr));

  window.showMinimized();
  ShowFormNormal(&window);
  EXPECT_FALSE(window.isMinimized());
  EXPECT_TRUE(window.isVisible());
  FocusControlWindow(nullptr);
  EXPECT_GT(ScrollThumbWidth(), 0);
}

} // namespace
} // namespace cv
