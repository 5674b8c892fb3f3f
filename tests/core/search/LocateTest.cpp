#include "search/Locate.h"

#include "NamedColumn.h"

#include <gtest/gtest.h>

namespace cv {
namespace {

TEST(LocatePatternTest, PatternWrapsEveryPart) {
  struct TCase {
    const char* Text;
    bool Similar;
    const char* Pattern;
  };
  const TCase cases[] = {
      {"rep", false, "rep*"},
      {"rep", true, "*rep*"},
      {"abc;def", true, "*abc*;*def*"},
      {"abc;def", false, "abc*;def*"},
      {"abc;;", true, "*abc*"},
      {";", true, ""},
      {"bad\xEF\xBF\xBD", false, "bad?*"},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(LocatePattern(c.Text, c.Similar), c.Pattern) << c.Text << " " << c.Similar;
}

// Items in name order: "prep.txt", "report.txt", "summary", "zeta\xFF".
class LocateTest : public ::testing::Test {
protected:
  test::TRecordingUserInterface Ui;
  test::TNamedColumn Named{{"prep.txt", "report.txt", "summary", "zeta\xFF"}};
  TColumn& Column = Named.Column;
};

TEST_F(LocateTest, NextAndPreviousMoveTheFocusToMatches) {
  struct TCase {
    const char* Name;
    const char* From;
    const char* Text;
    bool Similar, Forward;
    const char* Focus; // null: "There are no more file name matches."
  };
  const TCase cases[] = {
      {"rep finds report.txt, not prep.txt", "prep.txt", "rep", false, true, "report.txt"},
      {"similar upward meets report.txt first", "summary", "rep", true, false, "report.txt"},
      {"similar from the top skips to the next", "prep.txt", "rep", true, true, "report.txt"},
      {"without similar prep.txt is no match upward", "summary", "rep", false, false, "report.txt"},
      {"previous from the second finds the first", "report.txt", "p", false, false, "prep.txt"},
      {"next from the last: no more", "zeta\xFF", "z", true, true, nullptr},
      {"previous from the first: no more", "prep.txt", "*", false, false, nullptr},
      {"either part", "prep.txt", "zz;sum", false, true, "summary"},
      {"case ignored", "prep.txt", "SUM", false, true, "summary"},
      {"a name that is not UTF-8", "prep.txt", "zeta\xEF\xBF\xBD", false, true, "zeta\xFF"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Ui.Boxes.clear();
    Column.FocusByIndex(Named.IndexOf(c.From), 0);
    const TLocateResult result = LocateFile(Column, 0, c.Text, c.Similar, c.Forward);
    if (c.Focus) {
      EXPECT_EQ(result, TLocateResult::Found);
      EXPECT_EQ(Named.FocusedName(), c.Focus);
      EXPECT_EQ(Column.ActiveTitle, Named.Dir.Path + "/" + c.Focus);
      EXPECT_TRUE(Ui.Boxes.empty());
    } else {
      EXPECT_EQ(result, TLocateResult::NoMore);
      EXPECT_EQ(Named.FocusedName(), c.From);
      ASSERT_EQ(Ui.Boxes.size(), 1u);
      EXPECT_EQ(Ui.Boxes[0].Text, "There are no more file name matches.");
    }
  }
  // "rep" without similar, upward from the end: report.txt then nothing.
  Column.FocusByIndex(3, 0);
  EXPECT_EQ(LocateFile(Column, 0, "rep", false, false), TLocateResult::Found);
  EXPECT_EQ(Named.FocusedName(), "report.txt");
  EXPECT_EQ(LocateFile(Column, 0, "rep", false, false), TLocateResult::NoMore);
}

TEST_F(LocateTest, InvalidTextsSearchNothing) {
  Column.FocusByIndex(0, 0);
  for (const std::string text : {"", "a/b", "a\nb", ";;"}) {
    EXPECT_EQ(LocateFile(Column, 0, text, true, true), TLocateResult::Invalid) << text;
    EXPECT_EQ(Named.FocusedName(), "prep.txt");
  }
  EXPECT_TRUE(Ui.Boxes.empty());
  // Characters a Windows name could not hold are name bytes here.
  test::TNamedColumn odd({"a", "b:c<d>|\"\\"});
  odd.Column.FocusByIndex(0, 0);
  EXPECT_EQ(LocateFile(odd.Column, 0, ":c<d>|\"\\", true, true), TLocateResult::Found);
  EXPECT_EQ(odd.FocusedName(), "b:c<d>|\"\\");
}

TEST_F(LocateTest, ByIndexFocusesOneBasedPositions) {
  struct TCase {
    const char* Text;
    const char* Warning; // null: focused
    const char* Focus;
  };
  const TCase cases[] = {
      {"", "Empty index.", "summary"},      {" ", "Empty index.", "summary"},
      {"0", "Invalid index.", "summary"},   {"5", "Invalid index.", "summary"},
      {"abc", "Invalid index.", "summary"}, {"2x", "Invalid index.", "summary"},
      {"1", nullptr, "prep.txt"},           {"4", nullptr, "zeta\xFF"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    Ui.Boxes.clear();
    Column.FocusByIndex(Named.IndexOf("summary"), 0);
    EXPECT_EQ(LocateByIndex(Column, 0, c.Text), c.Warning == nullptr);
    EXPECT_EQ(Named.FocusedName(), c.Focus);
    if (c.Warning) {
      ASSERT_EQ(Ui.Boxes.size(), 1u);
      EXPECT_EQ(Ui.Boxes[0].Text, c.Warning);
    }
  }
}

} // namespace
} // namespace cv
