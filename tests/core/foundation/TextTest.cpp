#include "foundation/Text.h"

#include "TestSupport.h"
#include "foundation/Error.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace cv {
namespace {

class TextTest : public ::testing::Test {
protected:
  void SetUp() override { FunStatContext = TFunStatContext(); }
  test::TRecordingUserInterface Ui;
  TFormatLocalePin Locale{QLocale(QLocale::English, QLocale::UnitedStates)};
};

TEST_F(TextTest, CaseFoldingTouchesAsciiLettersOnly) {
  EXPECT_EQ(UpperCase("abz-\xC3\xA9xyz"), "ABZ-\xC3\xA9XYZ");
  EXPECT_EQ(LowerCase("ABZ\xC3\x89"), "abz\xC3\x89");
  EXPECT_TRUE(SameText("Readme.TXT", "README.txt"));
  EXPECT_FALSE(SameText("\xC3\xA9", "\xC3\x89")); // é and É differ: not ASCII
  EXPECT_EQ(FindTextNoCase("one MARCH two", "march"), 4u);
  EXPECT_EQ(FindTextNoCase("short", "longer text"), std::string_view::npos);
}

TEST_F(TextTest, IniTextPanicsWhenTheTextDoesNotFit) {
  char buffer[4];
  EXPECT_TRUE(IniText(buffer, sizeof buffer, "abc"));
  EXPECT_STREQ(buffer, "abc");
  EXPECT_FALSE(IniText(buffer, sizeof buffer, "abcd"));
  EXPECT_EQ(FunStatContext.Status, fsPanic);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_NE(Ui.Errors[0].Description.find("Size too big."), std::string::npos);

  char list[5] = {'a', 'b', 0, 'x', 'x'};
  EXPECT_TRUE(DoubleEndText(list, sizeof list));
  EXPECT_EQ(list[3], 0);
  char tight[3] = {'a', 'b', 0};
  EXPECT_FALSE(DoubleEndText(tight, sizeof tight));
}

TEST_F(TextTest, LineAndLetterHelpers) {
  EXPECT_TRUE(HasZeroByte("a\0b", 3));
  EXPECT_FALSE(HasZeroByte("a\0b", 1));
  EXPECT_EQ(MakeOneLine("a\r\n\r\nb   c\n"), "a b c ");
  EXPECT_EQ(JoinLines("a\r\nb\rc\n"), "a bc ");
  struct Case { const char* text; bool inner; } cases[] = {
      {"ab\ncd", true}, {"a\nbcd", false}, {"abc\nd", false}, {"abcd\n", false}, {"", false},
      {"ab\rcde", true}};
  for (const auto& c : cases) EXPECT_EQ(HasInnerLineBreak(c.text), c.inner) << c.text;
  EXPECT_TRUE(HasLetter("12x"));
  EXPECT_FALSE(HasLetter("12\xC3\xA9"));
}

TEST_F(TextTest, UnderscorePrefixes) {
  struct Case { const char* name; const char* prefix; } cases[] = {
      {"ab_cd.txt", "ab_"}, {"a.b_cd", ""}, {"nothing.txt", ""}, {"_x", "_"}, {"a_b_c", "a_"}};
  for (const auto& c : cases) {
    EXPECT_EQ(GetUnderscorePrefix(c.name), c.prefix) << c.name;
    EXPECT_EQ(CutUnderscorePrefix(c.name), std::string(c.name).substr(strlen(c.prefix)));
  }
  EXPECT_EQ(ReplaceUnderscorePrefix("ab_cd.txt", "new_"), "new_cd.txt");
  EXPECT_EQ(ReplaceUnderscorePrefix("cd.txt", "new_"), "new_cd.txt");
}

TEST_F(TextTest, IndexOfTextIgnoresAsciiCaseFromTheStart) {
  const std::vector<std::string> list = {"Alpha", "beta", "ALPHA", "gamma"};
  EXPECT_EQ(IndexOfText("alpha", list, 0), 0);
  EXPECT_EQ(IndexOfText("alpha", list, -3), 0);
  EXPECT_EQ(IndexOfText("alpha", list, 1), 2);
  EXPECT_EQ(IndexOfText("alpha", list, 3), -1);
  EXPECT_EQ(IndexOfText("alpha", list, 9), -1);
  EXPECT_EQ(IndexOfTextNoCase("GAMMA", list), 3);
  EXPECT_EQ(IndexOfTextNoCase("delta", list), -1);
}

TEST_F(TextTest, HexEntitiesTakeBytesAsUnsigned) {
  EXPECT_EQ(TextToHexEntities("\xE9"), "&#xE9;");
  EXPECT_EQ(TextToHexEntities("A\n"), "&#x41;&#x0A;");
  EXPECT_EQ(TextToHexEntities(""), "");
}

TEST_F(TextTest, ApproximateMatching) {
  int count = -1;
  EXPECT_TRUE(CompareApproximate("JOHNSON", "JOHNSEN", 7, 2, &count));
  EXPECT_EQ(count, 1);
  EXPECT_FALSE(CompareApproximate("JOHNSON", "JAHNSEX", 7, 2, &count));
  EXPECT_EQ(count, 3);
  // The limit is also half the length: 3 differences in 4 bytes never match.
  EXPECT_FALSE(CompareApproximate("ABCD", "AXYZ", 4, 10, &count));
  EXPECT_EQ(count, 3);

  struct Case { const char* pattern; const char* text; int tolerance; std::ptrdiff_t at; } cases[] = {
      {"SMITH", "MR SMYTH AND SMITH", 1, 3},
      {"SMITH", "MR SMYTH AND SMITH", 0, 13},
      {"SMITH", "SMIT", 1, -1},
      {"", "abc", 0, 0},
      {"XYZ", "abcdef", 0, -1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FindApproximate(c.pattern, c.text, c.tolerance), c.at) << c.pattern << " " << c.text;
}

TEST_F(TextTest, MultipleFilterMarksPrefixesAndReportsShortItems) {
  TMarkedTextList list = {{"OLD", 0}};
  EXPECT_TRUE(GetListFromMultipleFilter("&abc;!de;~fgh;abc", list, ';', '~', '!', '&'));
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].Text, "ABC");
  EXPECT_TRUE(GetItemMark(list, 0, fmAll));
  EXPECT_FALSE(GetItemMark(list, 0, fmNot));
  EXPECT_EQ(list[1].Text, "DE");
  EXPECT_TRUE(GetItemMark(list, 1, fmNot));
  EXPECT_EQ(list[2].Text, "FGH");
  EXPECT_EQ(list[2].Mark, 0u);

  // "~" takes the next character literally; empty parts vanish.
  EXPECT_FALSE(GetListFromMultipleFilter(";;~!text;&;\xC3\xA9t\xC3\xA9", list, ';', '~', '!', '&'));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Text, "!TEXT");
  EXPECT_EQ(list[1].Text, "\xC3\xA9T\xC3\xA9"); // bytes >= 0x80 are kept as they are
  EXPECT_FALSE(GetListFromMultipleFilter("one two", list, ' ', '~', '!', '&'));
  EXPECT_EQ(list.size(), 2u);

  SetItemMark(list, 1, 5, true);
  EXPECT_EQ(list[1].Mark, 32u);
  SetItemMark(list, 1, 5, false);
  EXPECT_EQ(list[1].Mark, 0u);
  EXPECT_FALSE(GetItemMark(list, 7, 0));
}

std::vector<std::string> Words(std::string_view text, int kind, std::string_view delimiter = "",
                               bool useDelimiter = false, int first = 0, int last = -1) {
  std::vector<std::string> list = {"stale"};
  GetWordListFromText(text, list, kind, delimiter, useDelimiter, first, last);
  return list;
}

using W = std::vector<std::string>;

TEST_F(TextTest, WordListKindsAndLengths) {
  const char* line = "ab abc 1234 12345 x-1.5";
  EXPECT_EQ(Words(line, wkAny), (W{"ABC", "12345", "X-1.5"}));
  EXPECT_EQ(Words(line, wkLetters), (W{"ABC", "X-1.5"}));
  EXPECT_EQ(Words(line, wkNumbers), (W{"12345", "X-1.5"}));
  // Punctuation-only runs are no words; duplicates are kept once.
  EXPECT_EQ(Words("--- ... abc ABC", wkAny), (W{"ABC"}));
  // UTF-8 words stay whole: every byte >= 0x80 is a word byte.
  EXPECT_EQ(Words("na\xC3\xAFve caf\xC3\xA9s", wkAny), (W{"NA\xC3\xAFVE", "CAF\xC3\xA9S"}));
  EXPECT_EQ(Words("Jos\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D", wkAny),
            (W{"JOS\xC3\xA9", "\xE2\x80\x9CQUOTED\xE2\x80\x9D"}));
}

TEST_F(TextTest, WordListRangeByDelimiters) {
  const char* line = "a|John|Smith|x|y";
  struct Case { int first, last; W words; } cases[] = {
      {1, 3, {"JOHN", "SMITH"}},
      {0, -1, {"JOHN", "SMITH"}},
      {2, 0, {"SMITH"}},
      {-3, -2, {}},          // between the third and the fourth delimiter: "x"
      {3, 99, {}},           // fewer occurrences: the last one
      {-9, 2, {"JOHN"}},     // far back stays at the first occurrence
      {2, 2, {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Words(line, wkAny, "|", true, c.first, c.last), c.words) << c.first << "," << c.last;
  EXPECT_EQ(Words("no delimiter here", wkAny, "|", true, 2, 3), (W{"DELIMITER", "HERE"}));

  std::vector<std::string> list = {"stale"};
  EXPECT_FALSE(GetWordListFromText(line, list, wkAny, "|", true, 3, 1));
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(FunStatContext.Description, "The first extracted word is beyond the last extracted word.");
  EXPECT_EQ(FunStatContext.FunctionName, "GetWordListFromText");
}

TEST_F(TextTest, WordListRangeByWordNumbers) {
  const char* line = "one two three four five";
  struct Case { int first, last; W words; } cases[] = {
      {0, -1, {"ONE", "TWO", "THREE", "FOUR", "FIVE"}},
      {1, -2, {"ONE", "TWO", "THREE", "FOUR", "FIVE"}},
      {2, 3, {"TWO", "THREE"}},
      {-3, -2, {"FOUR", "FIVE"}},
      {4, 99, {"FOUR", "FIVE"}},
      {9, 12, {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Words(line, wkAny, "|", false, c.first, c.last), c.words) << c.first << "," << c.last;
  std::vector<std::string> list;
  EXPECT_FALSE(GetWordListFromText(line, list, wkAny, "", false, 3, 2));
  EXPECT_TRUE(list.empty());
  // A line without words is simply empty, not a failure.
  EXPECT_TRUE(GetWordListFromText("  -- ", list, wkAny, "", false, 0, -3));
  EXPECT_FALSE(FunStatContext.Failed());
}

TEST_F(TextTest, IntegerTexts) {
  struct Case { int64_t value; int width; const char* spaced; const char* zeroed; } cases[] = {
      {42, 5, "   42", "00042"},   {-42, 5, "  -42", "-0042"}, {12345, 3, "12345", "12345"},
      {0, 2, " 0", "00"},          {-7, 0, "-7", "-7"},
      {INT64_MIN, 22, "  -9223372036854775808", "-009223372036854775808"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IntToWidthText(c.value, c.width), c.spaced) << c.value;
    EXPECT_EQ(IntToZeroText(c.value, c.width), c.zeroed) << c.value;
  }
  EXPECT_EQ(IntToGroupedText(1234567), "1,234,567");
  EXPECT_EQ(IntToGroupedText(-1000), "-1,000");
  EXPECT_EQ(IntToGroupedText(999), "999");
  TFormatLocalePin german(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(IntToGroupedText(1234567), "1.234.567");
}

TEST_F(TextTest, IntFromTextKeepsDefaultsAndReportsNonIntegers) {
  struct Case { const char* text; int expected; bool fails; } cases[] = {
      {"7", 7, false},   {" -3 ", -3, false}, {"+8", 8, false},  {"", 5, false},
      {"11", 5, false},    {"-11", 5, false},   {"99999999999999999999", 5, false},
      {"12a", 5, true},    {"1.5", 5, true},    {"-", 5, true},    {"0x10", 5, true},
  };
  for (const auto& c : cases) {
    FunStatContext.Reset(fsPerfect);
    EXPECT_EQ(GetIntFromText(c.text, -10, 10, 5), c.expected) << c.text;
    EXPECT_EQ(FunStatContext.Failed(), c.fails) << c.text;
  }
  GetIntFromText("12a", 0, 100, 5);
  EXPECT_EQ(FunStatContext.Description, "Unhandled exception: \"12a\" is not a valid integer value");

  int value = 0;
  EXPECT_TRUE(CheckIntFromText("7", 0, 10, value, 3));
  EXPECT_EQ(value, 7);
  EXPECT_TRUE(CheckIntFromText("", 0, 10, value, 3));
  EXPECT_EQ(value, 3);
  value = 0;
  EXPECT_FALSE(CheckIntFromText("70", 0, 10, value, 3));
  EXPECT_EQ(value, 3);
  value = 0;
  EXPECT_FALSE(CheckIntFromText("x", 0, 10, value, 4));
  EXPECT_EQ(value, 4);
}

// Switches the C library's number format to one with a decimal comma for
// its lifetime: an installed one, else one built from the locale sources.
class TDecimalCommaNumbers {
public:
  TDecimalCommaNumbers() {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    Previous = previous ? previous : "C";
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "ru_RU.UTF-8", "de_DE.utf8"})
      if (Switch(name)) return;
    // The locales package has the sources; localedef builds one in a second.
    const std::string built = Dir.Path + "/de_DE.UTF-8";
    const std::string command = "localedef -i de_DE -f UTF-8 '" + built + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return;
    const char* locpath = std::getenv("LOCPATH");
    if (locpath) PreviousLocPath = locpath;
    ::setenv("LOCPATH", Dir.Path.c_str(), 1);
    SetLocPath = true;
    Switch("de_DE.UTF-8");
  }
  ~TDecimalCommaNumbers() {
    std::setlocale(LC_NUMERIC, Previous.c_str());
    if (!SetLocPath) return;
    if (PreviousLocPath)
      ::setenv("LOCPATH", PreviousLocPath->c_str(), 1);
    else
      ::unsetenv("LOCPATH");
  }
  TDecimalCommaNumbers(const TDecimalCommaNumbers&) = delete;
  TDecimalCommaNumbers& operator=(const TDecimalCommaNumbers&) = delete;
  bool Active = false;

private:
  bool Switch(const char* name) {
    Active = std::setlocale(LC_NUMERIC, name) != nullptr &&
             std::strcmp(std::localeconv()->decimal_point, ",") == 0;
    return Active;
  }
  std::string Previous;
  std::optional<std::string> PreviousLocPath;
  bool SetLocPath = false;
  test::TTempDir Dir;
};

TEST_F(TextTest, RealFromTextUsesFullStopWhateverTheLocale) {
  TFormatLocalePin german(QLocale(QLocale::German, QLocale::Germany));
  TDecimalCommaNumbers numbers;
  if (!numbers.Active)
    GTEST_SKIP() << "no locale with a decimal comma is installed and none could be built";
  struct Case { const char* text; double expected; bool defaulted; } cases[] = {
      {"2.5", 2.5, false}, {" -1e3 ", -1000.0, false}, {"+.5", 0.5, false},
      {"2,5", 9.0, true},  {"", 9.0, true},            {"abc", 9.0, true},
      {"1e999", 9.0, true}, {"nan", 9.0, true},        {"inf", 9.0, true},
      {"+-1", 9.0, true},
  };
  for (const auto& c : cases) {
    bool defaulted = !c.defaulted;
    EXPECT_DOUBLE_EQ(GetRealFromText(c.text, &defaulted, 9.0), c.expected) << c.text;
    EXPECT_EQ(defaulted, c.defaulted) << c.text;
  }
  bool defaulted = false;
  EXPECT_DOUBLE_EQ(GetRealFromText("11", &defaulted, 1.0, 10.0, 0.0), 1.0);
  EXPECT_TRUE(defaulted);
  EXPECT_DOUBLE_EQ(GetRealFromText("10", &defaulted, 1.0, 10.0, 0.0), 10.0);
  EXPECT_FALSE(defaulted);
  EXPECT_EQ(RealToGeneralText(0.1), "0.1");
  EXPECT_EQ(RealToGeneralText(-2147483648.0), "-2147483648");
}

} // namespace
} // namespace cv
