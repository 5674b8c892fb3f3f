#include "search/SelectionPattern.h"

#include "NamedColumn.h"

#include <gtest/gtest.h>

namespace cv {
namespace {

using Names = std::set<std::string>;

// "bad\xFF.txt" is a name that is not UTF-8; "x.txt/" a directory.
const std::vector<std::string> CEntries = {"a.txt",   "b.log", "c.TXT",  "bad\xFF.txt", "tool.exe",
                                           "lib.dll", "noext", "x.txt/", "tab\tname"};

TEST(SelectionPatternTest, PatternsSelectAndDeselectFilesOnly) {
  struct TCase {
    const char* Name;
    Names Before;
    const char* Pattern;
    bool Select;
    Names After;
    int Matches;
    size_t Boxes; // "No matches found." when nothing matched
  };
  const TCase cases[] = {
      {"two alternatives, directory x.txt untouched",
       {},
       "*.txt;*.log",
       true,
       {"a.txt", "b.log", "c.TXT", "bad\xFF.txt"},
       4,
       0},
      {"no backup files", {}, "No backup files", true, {"tool.exe", "lib.dll"}, 2, 0},
      {"nothing matches: nothing changes", {"a.txt"}, "*.zip", true, {"a.txt"}, 0, 1},
      {"deselect keeps the items that do not match",
       {"a.txt", "b.log", "tool.exe"},
       "*.txt",
       false,
       {"b.log", "tool.exe"},
       3,
       0},
      {"deselect without selection matches, changes nothing", {}, "*.txt", false, {}, 3, 0},
      {"a name that is not UTF-8, by its byte", {}, "bad?.txt", true, {"bad\xFF.txt"}, 1, 0},
      {"a name that is not UTF-8, as shown",
       {},
       "bad\xEF\xBF\xBD.txt",
       true,
       {"bad\xFF.txt"},
       1,
       0},
      {"a tab is a name byte", {}, "tab\tname", true, {"tab\tname"}, 1, 0},
      {"selection adds to what was selected", {"noext"}, "*.log", true, {"noext", "b.log"}, 1, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    test::TRecordingUserInterface ui;
    test::TNamedColumn named(CEntries);
    for (const std::string& name : c.Before)
      named.Column.SelectItem(named.IndexOf(name));
    EXPECT_EQ(SelectMatchingFiles(named.Column, NamePatternFromEditText(c.Pattern), c.Select),
              c.Matches);
    EXPECT_EQ(named.SelectedNames(), c.After);
    named.Column.DeselectAll(false);
    for (const std::string& name : c.Before)
      named.Column.SelectItem(named.IndexOf(name));
    EXPECT_TRUE(RunFilteredSelection(named.Column, c.Pattern, c.Select));
    EXPECT_EQ(named.SelectedNames(), c.After);
    EXPECT_EQ(named.Column.SelCount, static_cast<int>(c.After.size()));
    ASSERT_EQ(ui.Boxes.size(), c.Boxes);
    if (c.Boxes) {
      EXPECT_EQ(ui.Boxes[0].Text, "No matches found.");
    }
    EXPECT_TRUE(ui.Errors.empty());
  }
}

TEST(SelectionPatternTest, OnlySlashNulCrAndLfAreRefused) {
  struct TCase {
    std::string Text;
    bool Valid;
  };
  const TCase cases[] = {
      {"", false},          {"a/b", false},     {std::string("a\0b", 3), false},
      {"a\rb", false},      {"a\nb", false},    {"<>|\":\\*?", true},
      {"semi;colon", true}, {"\xFF\xFE", true}, {" ", true},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(IsValidNamePattern(c.Text), c.Valid) << c.Text;

  test::TRecordingUserInterface ui;
  test::TNamedColumn named({"a:b.txt", "a.txt"});
  EXPECT_FALSE(RunFilteredSelection(named.Column, "a/b", true));
  ASSERT_EQ(ui.Boxes.size(), 1u);
  EXPECT_EQ(ui.Boxes[0].Text, "Filter is invalid.");
  EXPECT_TRUE(named.SelectedNames().empty());
  EXPECT_TRUE(RunFilteredSelection(named.Column, "a:*", true));
  EXPECT_EQ(named.SelectedNames(), Names{"a:b.txt"});
}

TEST(SelectionPatternTest, ActiveGivesTheActiveFilesExtension) {
  EXPECT_EQ(ActiveExtensionPattern("/d/report.txt"), "*.txt");
  EXPECT_EQ(ActiveExtensionPattern("/d/a.tar.gz"), "*.gz");
  EXPECT_EQ(ActiveExtensionPattern("/d/noext"), "*");
  EXPECT_EQ(ActiveExtensionPattern("/d/.bashrc"), "*");
  EXPECT_EQ(ActiveExtensionPattern("/d.x/noext"), "*");
}

} // namespace
} // namespace cv
