// The command table, its rules and the main window's key table.

#include "mainwindow/Commands.h"

#include "TestSupport.h"
#include "columns/Column.h"
#include "filesystem/Extensions.h"

#include <Qt>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

namespace cv {
namespace {

TEST(CommandTable, PathsAreUniqueAndKeysNameRealCommandsWithTheirShortcut) {
  std::set<std::string> paths;
  for (const TCommand& command : MainCommands())
    if (command.Kind != TCommandKind::Separator) {
      EXPECT_TRUE(paths.insert(CommandPath(command)).second) << CommandPath(command);
    }
  EXPECT_EQ(CommandPath(*FindCommand("File/Attributes/Fixed")), "File/Attributes/Fixed");
  EXPECT_EQ(FindCommand("File/View & Edit/View")->Shortcut, "F5");

  // The shortcut text shown for a key's command is the key's own.
  struct TShown {
    int Key;
    uint32_t Modifiers;
    std::string_view Text;
  } const shown[] = {
      {Qt::Key_F10, kmNone, "F10"},     {Qt::Key_F10, kmCtrl, "Ctrl+F10"},
      {Qt::Key_F8, kmAlt, "Alt+F8"},    {Qt::Key_F7, kmShift, "Shift+F7"},
      {Qt::Key_O, kmNone, "O"},         {Qt::Key_Z, kmCtrl, "Ctrl+Z"},
      {Qt::Key_Space, kmNone, "Space"}, {Qt::Key_F4, kmAlt, "Alt+F4"},
      {Qt::Key_Escape, kmNone, "Esc"},  {Qt::Key_B, kmNone, "B"},
  };
  for (const TShown& s : shown) {
    const TMainKey* key = FindMainKey(s.Key, s.Modifiers);
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->Action, TKeyAction::Run);
    const TCommand* command = FindCommand(key->Path);
    ASSERT_NE(command, nullptr) << key->Path;
    EXPECT_EQ(command->Shortcut, s.Text) << key->Path;
  }
  for (const TMainKey& key : MainKeys())
    if (key.Action == TKeyAction::Run) {
      EXPECT_NE(FindCommand(key.Path), nullptr) << key.Path;
    }
}

TEST(CommandTable, MainKeysCompareModifierSetsExactly) {
  struct TCase {
    int Key;
    uint32_t Modifiers;
    TKeyAction Action;
    std::string_view Path;
  } const cases[] = {
      {Qt::Key_F10, kmNone, TKeyAction::Run, "File/Attributes/Fixed"},
      {Qt::Key_F10, kmCtrl, TKeyAction::Run, "File/Attributes/Thumbnails"},
      {Qt::Key_F10, kmCtrl | kmShift, TKeyAction::Consume, ""},
      {Qt::Key_F10, kmShift, TKeyAction::Consume, ""},
      {Qt::Key_B, kmAlt, TKeyAction::Consume, ""},
      {Qt::Key_B, kmCtrl, TKeyAction::Special, "Mark source column"},
      {Qt::Key_H, kmShift, TKeyAction::Consume, ""},
      {Qt::Key_O, kmCtrl | kmAlt, TKeyAction::Run, "Work/Options"},
      {Qt::Key_F1, kmNone, TKeyAction::PassOn, ""},
      {Qt::Key_F1, kmAlt, TKeyAction::Special, "Help under the mouse"},
      {Qt::Key_F4, kmShift, TKeyAction::PassOn, ""},
      {Qt::Key_Z, kmShift, TKeyAction::Consume, ""},
      {Qt::Key_Z, kmCtrl, TKeyAction::Run, "Work/Undo"},
      {Qt::Key_Z, kmCtrl | kmShift, TKeyAction::Run, "Work/Gizmos/Text to code"},
      {Qt::Key_Escape, kmCtrl, TKeyAction::Run, "Work/Layout/Hide viewer"},
      {Qt::Key_Equal, kmNone, TKeyAction::Special, "Media"},
      {Qt::Key_Minus, kmCtrl | kmAlt, TKeyAction::Special, "Media"},
      // The desktop's clipboard keys come before the column's letters;
      // Generic leaves Ctrl+X for Alt+X.
      {Qt::Key_X, kmCtrl, TKeyAction::Run, "File/Cut"},
      {Qt::Key_C, kmCtrl, TKeyAction::Run, "File/Copy"},
      {Qt::Key_V, kmCtrl, TKeyAction::Special, "Paste"},
      {Qt::Key_X, kmAlt, TKeyAction::Run, "File/Miscellaneous/Associate extension/Generic"},
  };
  for (const TCase& c : cases) {
    const TMainKey* key = FindMainKey(c.Key, c.Modifiers);
    ASSERT_NE(key, nullptr) << c.Key << "/" << c.Modifiers;
    EXPECT_EQ(key->Action, c.Action) << c.Key << "/" << c.Modifiers;
    EXPECT_EQ(key->Path, c.Path) << c.Key << "/" << c.Modifiers;
  }
  EXPECT_EQ(FindMainKey(Qt::Key_L, kmNone), nullptr) << "keys not in the table are passed on";
}

class CommandRulesTest : public ::testing::Test {
protected:
  // The picture formats come from the pictures layer; one is enough here.
  void SetUp() override { PictureFileExtensions.Add(".png"); }
  void TearDown() override { PictureFileExtensions.Delete(".png"); }
  bool Enabled(const TColumn& column, std::string_view path) {
    return FindCommand(path)->Rule.Holds(CommandTerms(column));
  }
  test::TTempDir Dir;
  TColumn Column{0};
};

TEST_F(CommandRulesTest, TheRulesFollowTheActiveColumn) {
  // An empty directory: almost nothing, but a new directory can be made.
  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/");
  ASSERT_EQ(Column.Count(), 0);
  EXPECT_TRUE(Enabled(Column, "File/Often/New directory"));
  EXPECT_TRUE(Enabled(Column, "File/Often/New file"));
  EXPECT_FALSE(Enabled(Column, "File/Often/Recycle file *"));
  EXPECT_FALSE(Enabled(Column, "File/Select"));
  EXPECT_TRUE(Enabled(Column, "File/Attributes/Sort"));

  // A file without an extension cannot be associated; one with it can.
  std::ofstream(Dir.Path + "/README") << "x";
  std::ofstream(Dir.Path + "/notes.txt") << "x";
  std::ofstream(Dir.Path + "/photo.png") << "x";
  for (const auto& [name, associate, picture] : {std::tuple{"README", false, false},
                                                 {"notes.txt", true, false},
                                                 {"photo.png", true, true}}) {
    Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                         Dir.Path + "/" + name);
    ASSERT_EQ(Column.ActiveTitle, Dir.Path + "/" + name);
    EXPECT_EQ(Enabled(Column, "File/Miscellaneous/Associate extension"), associate) << name;
    EXPECT_EQ(Enabled(Column, "File/Miscellaneous/Set as wallpaper"), picture) << name;
    EXPECT_TRUE(Enabled(Column, "File/Often/Recycle file *")) << name;
    EXPECT_TRUE(Enabled(Column, "File/Search/Locate file")) << name;
    EXPECT_FALSE(Enabled(Column, "File/Miscellaneous/Clip active file/Reference")) << name;
  }

  // The partitions list: no file commands, no new directory.
  Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, ":/");
  EXPECT_FALSE(Enabled(Column, "File/Often/New directory"));
  EXPECT_FALSE(Enabled(Column, "File/Often/Recycle file *"));
  EXPECT_FALSE(Enabled(Column, "File/Miscellaneous/Associate extension"));
}

// A container's items live in many directories: nothing is made "here",
// and its order is the container's own.
TEST_F(CommandRulesTest, AContainerColumnDisablesNewFileNewDirectoryAndSort) {
  std::ofstream(Dir.Path + "/kept.txt") << "x";
  Column.ContainerItems = [this](int, std::vector<std::string>& titles, std::vector<int>& values) {
    titles = {Dir.Path + "/kept.txt"};
    values = {0};
    return true;
  };
  Column.ActiveTitle = Dir.Path + "/kept.txt";
  Column.LoadDirectory(false, 0);
  ASSERT_FALSE(Column.ShowsDirectory());
  ASSERT_EQ(Column.Count(), 1);
  for (const char* path : {"File/Often/New file", "File/Often/New directory",
                           "File/Attributes/Sort", "File/Attributes/Show hidden files"})
    EXPECT_FALSE(Enabled(Column, path)) << path;
  EXPECT_TRUE(Enabled(Column, "File/Container/Rename item"));
  // The same column back on its directory enables them again.
  Column.LoadDirectory(false, -1);
  ASSERT_TRUE(Column.ShowsDirectory());
  for (const char* path : {"File/Often/New file", "File/Often/New directory",
                           "File/Attributes/Sort", "File/Attributes/Show hidden files"})
    EXPECT_TRUE(Enabled(Column, path)) << path;
}

// The trash's items are put back or deleted, sorted like any column, and
// nothing is made, pasted or recycled there.
TEST_F(CommandRulesTest, ATrashColumnRestoresAndSortsButMakesAndRecyclesNothing) {
  const std::string saved = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
  ::setenv("XDG_DATA_HOME", Dir.Path.c_str(), 1);
  std::filesystem::create_directories(Dir.Path + "/Trash/files");
  std::filesystem::create_directories(Dir.Path + "/Trash/info");
  std::ofstream(Dir.Path + "/Trash/files/gone.txt") << "x";
  std::ofstream(Dir.Path + "/Trash/info/gone.txt.trashinfo") << "[Trash Info]\nPath=/gone.txt\n";
  Column.EnterTrash();
  ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  ASSERT_TRUE(Column.ShowsTrash);
  ASSERT_GT(Column.Count(), 0);
  for (const char* path : {"File/Trash/Restore *", "File/Trash/Delete *", "File/Attributes/Sort",
                           "File/Often/Delete file *"})
    EXPECT_TRUE(Enabled(Column, path)) << path;
  for (const char* path :
       {"File/Often/Recycle file *", "File/Often/New file", "File/Often/New directory",
        "File/Paste", "File/Cut", "File/Container/Rename item", "File/Miscellaneous/Paste picture",
        "File/Often/Rename file", "File/Often/Multi-rename file *"})
    EXPECT_FALSE(Enabled(Column, path)) << path;
  // The trash's item of the partitions list is no file.
  Column.ParentDirectory();
  ASSERT_EQ(Column.ActiveTitle, TrashTitle);
  for (const char* path : {"File/Trash/Restore *", "File/Often/Recycle file *",
                           "File/Often/Delete file *", "File/Copy"})
    EXPECT_FALSE(Enabled(Column, path)) << path;
}

TEST(CommandRule, RequiredAndForbiddenTerms) {
  const TCommandRule relocate = FindCommand("File/Container/Relocate item *")->Rule;
  EXPECT_TRUE(relocate.Holds(ctContainer | ctSelection | ctItems));
  EXPECT_FALSE(relocate.Holds(ctContainer | ctSelection | ctFocusedSelected));
  EXPECT_FALSE(relocate.Holds(ctSelection));
  const TCommandRule audio = FindCommand("File/Miscellaneous/Associate extension/Audio")->Rule;
  EXPECT_FALSE(audio.Holds(ctProgram));
  EXPECT_TRUE(audio.Holds(0));
}

} // namespace
} // namespace cv
