#include "install/FirstRun.h"

#include "columns/Board.h"
#include "foundation/Error.h"
#include "options/ProgramOptions.h"

#include "../filesystem/FileTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace cv {
namespace {

// What a box changes, read back from the options and the board.
struct TEffect {
  std::string_view Caption;
  std::function<bool(const TProgramOptions&, const TBoardData&)> Done;
};

TEST(WizardChoices, EachCheckedBoxChangesItsOptionAndNothingElse) {
  const TEffect effects[] = {
      {"Hide hint bar", [](auto& o, auto&) { return !o.ShowHintBar; }},
      {"Show directory tree navigator", [](auto&, auto& b) { return b.ShowTreeNavigator; }},
      {"Synchronize column", [](auto& o, auto&) { return o.SynchronizeColumn; }},
      {"Show boards bar", [](auto& o, auto&) { return o.ShowBoardsBar; }},
      {"Show three columns", [](auto&, auto& b) { return b.VisibleColumns == 3; }},
      {"Show file type", [](auto& o, auto&) { return o.ShowFileType; }},
      {"Show hidden files", [](auto& o, auto&) { return o.ShowHiddenFiles; }},
      {"Show column info", [](auto& o, auto&) { return o.ShowColumnInfo; }},
      {"Show file info", [](auto& o, auto&) { return o.ShowFileInfo; }},
      {"Desktop selection", [](auto& o, auto&) { return o.DesktopSelection; }},
      {"Deactivate file hover", [](auto& o, auto&) { return !o.FileHoverActive; }},
      {"Activate hot-track", [](auto& o, auto&) { return o.HotTrackColumnItems; }},
  };
  ASSERT_EQ(WizardBoxes().size(), std::size(effects));
  const TProgramOptions defaults;
  const TBoardData board;
  // None of the effects holds before: each test below can fail.
  for (const TEffect& effect : effects)
    ASSERT_FALSE(effect.Done(defaults, board)) << effect.Caption;

  for (const TWizardBox& box : WizardBoxes()) {
    TWizardChoices choices;
    choices.*box.Choice = true;
    TProgramOptions options;
    TBoardData changed;
    ApplyWizardChoices(choices, options, changed);
    for (const TEffect& effect : effects)
      EXPECT_EQ(effect.Done(options, changed), effect.Caption == box.Caption)
          << box.Caption << " checked, looking at " << effect.Caption;
  }
}

TEST(WizardChoices, AnUncheckedBoxLeavesTheUsersValue) {
  // The user's values are the opposite of what each box sets.
  TProgramOptions options;
  options.ShowHintBar = false;
  options.ShowBoardsBar = true;
  options.FileHoverActive = false;
  TBoardData board;
  board.VisibleColumns = 7;
  board.ShowTreeNavigator = true;
  const TProgramOptions before = options;
  ApplyWizardChoices(TWizardChoices{}, options, board);
  for (const TOptionRow& row : ProgramOptionRows()) {
    if (row.Kind == TOptionKind::Bool) {
      EXPECT_EQ(row.Bool(options), row.Bool(before)) << row.Key;
    }
  }
  EXPECT_EQ(board.VisibleColumns, 7);
  EXPECT_TRUE(board.ShowTreeNavigator);
}

TEST(WizardChoices, PagesInOrderAndEveryBoxOnOneOfThem) {
  const auto pages = WizardPages();
  ASSERT_EQ(pages.size(), 16u);
  EXPECT_EQ(pages.front(), "Start");
  EXPECT_EQ(pages[4], "3 columns");
  EXPECT_EQ(pages.back(), "Skins");
  std::set<std::string_view> known(pages.begin(), pages.end());
  for (const TWizardBox& box : WizardBoxes())
    EXPECT_TRUE(known.count(box.Page)) << box.Caption;
  // A fresh data root makes the window usable: the boards and information bars.
  const TWizardChoices first = FirstRunChoices();
  EXPECT_TRUE(first.ShowBoardsBar && first.ShowColumnInfo && first.ShowFileInfo);
  EXPECT_FALSE(first.ShowThreeColumns || first.HideHintBar || first.DeactivateFileHover);
}

TEST(EditorLink, TextEscapesWhatTheKeyFileNeedsAndRefusesNonUtf8) {
  const std::string text = EditorLinkText("Pad", "pad --title \"a\\\\b\" %F", "accessories-editor");
  EXPECT_NE(text.find("Type=Application\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Name=Pad\n"), std::string::npos) << text;
  // A backslash of the value is doubled by the key file's own escaping.
  EXPECT_NE(text.find("Exec=pad --title \"a\\\\\\\\b\" %F\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Icon=accessories-editor\n"), std::string::npos) << text;
  EXPECT_EQ(EditorLinkText("Pad", "", ""), "");
  EXPECT_EQ(EditorLinkText("Pad", "pad \xff %f", ""), "");
}

TEST(EditorLink, AnExistingLinkIsTheUsersAndStays) {
  test::TTempDir dir;
  const std::string link = dir.Path + "/Edit.desktop";
  ASSERT_TRUE(test::WriteBytes(link, "mine"));
  EXPECT_TRUE(WriteDefaultEditorLink(link));
  EXPECT_FALSE(FunStatContext.Failed());
  EXPECT_EQ(test::ReadBytes(link), "mine");
}

} // namespace
} // namespace cv
