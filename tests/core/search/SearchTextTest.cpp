#include "search/SearchText.h"

#include "foundation/Error.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace cv {
namespace {

struct TBuilt {
  std::string Data;
  size_t NameStart;
};

TBuilt Build(std::string_view path, std::string_view name, std::string_view content) {
  TSearchBuffer buffer;
  buffer.AddName(path, name);
  buffer.AddPart(content);
  buffer.Finish();
  return {std::string(buffer.Text()), buffer.NameStart()};
}

TEST(SearchTextFilter, ParsesMarksLiteralsCaseAndDuplicates) {
  const auto free = TSearchTextFilter::Parse("&abc !tmp ~!x abc  aBc ~&y", true, false);
  ASSERT_EQ(free.Filters.size(), 4u);
  EXPECT_EQ(free.Filters[0].Text, "ABC");
  EXPECT_TRUE(free.Filters[0].Required);
  EXPECT_EQ(free.Filters[1].Text, "TMP");
  EXPECT_TRUE(free.Filters[1].Excluded);
  EXPECT_EQ(free.Filters[2].Text, "!X");
  EXPECT_FALSE(free.Filters[2].Excluded);
  EXPECT_EQ(free.Filters[3].Text, "&Y");
  EXPECT_FALSE(free.Filters[3].Required);
  EXPECT_TRUE(free.HasShortFilter);

  const auto listed = TSearchTextFilter::Parse("big cat;;!small dog", false, true);
  ASSERT_EQ(listed.Filters.size(), 2u);
  EXPECT_EQ(listed.Filters[0].Text, "BIG CAT");
  EXPECT_TRUE(listed.Filters[0].Required);
  EXPECT_EQ(listed.Filters[1].Text, "SMALL DOG");
  EXPECT_TRUE(listed.Filters[1].Excluded);
  EXPECT_FALSE(listed.HasShortFilter);
}

TEST(SearchBuffer, LaysOutPartsWithSeparatorsUpperCaseAndZeroEnd) {
  TSearchBuffer buffer;
  buffer.AddName("/home/ann/", "Notes.txt");
  buffer.AddPart("desc\xc3\xa9");
  buffer.AddPart("body");
  buffer.Finish();
  const std::string separator(SearchPartSeparator);
  ASSERT_EQ(separator.size(), 100u);
  EXPECT_EQ(separator.substr(0, 4), "\r\n\r\n");
  EXPECT_EQ(std::string(buffer.Text()),
            "/HOME/ANN/NOTES.TXT" + separator + "DESC\xc3\xa9" + separator + "BODY" + separator);
  EXPECT_EQ(buffer.NameStart(), 10u);
  EXPECT_EQ(buffer.Storage().back(), '\0');

  // Only "a" to "z" change, in a part long enough for the copy's wide steps
  // and its tail.
  buffer.Clear();
  buffer.AddPart(std::string(40, '`') + "az{AZ@[\x81\xe1\xfa" + std::string(37, 'z'));
  buffer.Finish();
  EXPECT_EQ(std::string(buffer.Text()),
            std::string(40, '`') + "AZ{AZ@[\x81\xe1\xfa" + std::string(37, 'Z') + separator);
}

// Ranks of one item, path "/dir/", name "file", and the content.
TEST(SearchScoring, RanksAsTheTableSays) {
  const std::string far(150, ' ');
  struct TCase {
    const char* Name;
    const char* Filter;
    TStemRule Stem;
    bool Near;
    std::string Path, FileName, Content;
    int Rank;
  };
  const TCase cases[] = {
      // Required and excluded.
      {"required and absent exclusion", "&abc !tmp", TStemRule::Any, false, "/dir/", "file",
       "xx abc yy", 200},
      {"exclusion present", "&abc !tmp", TStemRule::Any, false, "/dir/", "file", "abc Tmp", 0},
      {"required only in the path", "&abc !tmp", TStemRule::Any, false, "/abc/", "file", "", 0},
      {"required absent", "&abc def", TStemRule::Any, false, "/dir/", "file", "def", 0},
      {"match in the name", "abc", TStemRule::Any, false, "/dir/", "xabc", "", 120},
      // Boundaries and repeats.
      {"both twice", "abc", TStemRule::Any, false, "/dir/", "file", "abc abc", 220},
      {"left twice", "abc", TStemRule::Any, false, "/dir/", "file", "abcx abcy", 160},
      {"right twice", "abc", TStemRule::Any, false, "/dir/", "file", "xabc yabc", 125},
      {"left and right once", "abc", TStemRule::Any, false, "/dir/", "file", "abcx xabc", 150},
      {"inside a word", "abc", TStemRule::Any, false, "/dir/", "file", "xabcx", 100},
      {"bytes from 0x80 are word bytes", "caf", TStemRule::Any, false, "/dir/", "file",
       "caf\xc3\xa9", 150},
      // Stems.
      {"word stem inside a word", "cat", TStemRule::Word, false, "/dir/", "file", "concatenate", 0},
      {"word stem ending in a non-word byte", "cat.", TStemRule::Word, false, "/dir/", "file",
       "concat.", 100},
      {"word stem before a non-ASCII letter", "caf", TStemRule::Word, false, "/dir/", "file",
       "caf\xc3\xa9", 0},
      {"left stem", "con", TStemRule::Left, false, "/dir/", "file", "concatenate", 150},
      {"left stem refuses a right-only match", "ate", TStemRule::Left, false, "/dir/", "file",
       "concatenate", 0},
      {"right stem", "ate", TStemRule::Right, false, "/dir/", "file", "concatenate", 120},
      {"failed stem scores nothing, the rest goes on", "cat &dog", TStemRule::Word, false, "/dir/",
       "file", "concatenate dog", 200},
      {"failed stem, a later exclusion still decides", "mouse cat !dog", TStemRule::Word, false,
       "/dir/", "file", "mouse concatenate dog", 0},
      {"failed stem of a required filter", "&cat dog", TStemRule::Word, false, "/dir/", "file",
       "concatenate dog", 0},
      // Exclusions alone.
      {"only exclusions, none present", "!tmp !bak", TStemRule::Any, false, "/dir/", "file",
       "hello", 1},
      {"only exclusions, one present", "!tmp !bak", TStemRule::Any, false, "/dir/", "file", "a.bak",
       0},
      // Near detection.
      {"near, distance 1", "alpha beta", TStemRule::Any, true, "/dir/", "file", "alpha beta", 540},
      {"near, distance 7", "alpha beta", TStemRule::Any, true, "/dir/", "file", "alpha       beta",
       515},
      {"near, distance 50", "alpha beta", TStemRule::Any, true, "/dir/", "file",
       "alpha" + std::string(50, ' ') + "beta", 490},
      {"near, out of the window", "alpha beta", TStemRule::Any, true, "/dir/", "file",
       "alpha" + far + "beta", 400},
      {"near, left-only partner", "alpha beta", TStemRule::Any, true, "/dir/", "file",
       "alpha betax", 480},
      {"near does not reach across parts", "file beta", TStemRule::Any, true, "/dir/", "file",
       "beta", 400},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    auto filter = TSearchTextFilter::Parse(c.Filter, true, false);
    filter.Stem = c.Stem;
    filter.Near = c.Near;
    const TBuilt built = Build(c.Path, c.FileName, c.Content);
    EXPECT_EQ(MatchTextInBuffer(built.Data, built.NameStart, filter), c.Rank);
  }
}

// Every place of a match, at the start, in the middle and at the very end
// of contents of many lengths, with needles short and long: found there,
// and not found when one byte of it differs.
TEST(SearchScoring, FindsAMatchAtAnyPlace) {
  for (const std::string needle : {"QZ", "QUX", "QUOKKAZEBRA", "QUOKKA-NARWHAL-WOMBAT"})
    for (size_t size = needle.size(); size < needle.size() + 40; ++size)
      for (size_t at = 0; at + needle.size() <= size; ++at) {
        SCOPED_TRACE(needle + " at " + std::to_string(at) + " of " + std::to_string(size));
        std::string content(size, '.');
        content.replace(at, needle.size(), needle);
        const TSearchTextFilter filter = TSearchTextFilter::Parse(needle, false, false);
        // Without the closing separator the contents end the buffer.
        const auto match = [&](const std::string& text) {
          const TBuilt built = Build("/", "f", text);
          return MatchTextInBuffer(std::string_view(built.Data)
                                       .substr(0, built.Data.size() - SearchPartSeparator.size()),
                                   built.NameStart, filter);
        };
        EXPECT_GT(match(content), 0);
        for (const size_t changed : {size_t{0}, needle.size() / 2, needle.size() - 1}) {
          std::string missing = content;
          missing[at + changed] = '.';
          EXPECT_EQ(match(missing), 0) << changed;
        }
      }
}

TEST(SearchScoring, ProgressOfLongBuffersCanStop) {
  const auto filter = TSearchTextFilter::Parse("needle", true, false);
  const TBuilt built = Build("/", "f", std::string(200'000, '.') + " needle ");
  size_t calls = 0;
  EXPECT_EQ(MatchTextInBuffer(built.Data, built.NameStart, filter,
                              [&](size_t position, size_t) {
                                ++calls;
                                EXPECT_GT(position, 200'000u);
                                return true;
                              }),
            200);
  EXPECT_EQ(calls, 1u);
  EXPECT_EQ(
      MatchTextInBuffer(built.Data, built.NameStart, filter, [](size_t, size_t) { return false; }),
      0);
}

TEST(SearchLimits, ReadsTimeAndSizeTexts) {
  struct TTimeCase {
    const char* Text;
    const char* Unit;
    double Value;
    bool Absolute;
  };
  const TTimeCase times[] = {
      {"2", "days", 2, false},
      {"3", "weeks", 21, false},
      {"90", "minutes", 0.0625, false},
      {"12", "hours", 0.5, false},
      {"1/2/2020", "days", EncodeDateTime(2020, 2, 1), true},
      {"5-mar-21", "days", EncodeDateTime(2021, 3, 5), true},
  };
  for (const auto& c : times) {
    SCOPED_TRACE(c.Text);
    double value = -1;
    bool absolute = !c.Absolute;
    EXPECT_TRUE(GetTimeFromText(c.Text, c.Unit, value, absolute));
    EXPECT_DOUBLE_EQ(value, c.Value);
    EXPECT_EQ(absolute, c.Absolute);
  }
  double value = 0;
  bool absolute = false;
  EXPECT_FALSE(GetTimeFromText("soon", "days", value, absolute));
  EXPECT_FALSE(GetTimeFromText("31/2/2020", "days", value, absolute));
  FunStatContext.Reset(fsPerfect);

  struct TSizeCase {
    const char* Text;
    const char* Unit;
    int64_t Size;
  };
  const TSizeCase sizes[] = {
      {"1.5", "KB", 1536},          {"2", "bytes", 2},         {"1", "MB", 1048576},
      {"0.9", "bytes", 0},          {"1e30", "TB", INT64_MAX}, {"-1e30", "GB", INT64_MIN},
      {"8388608", "TB", INT64_MAX}, // exactly 2^63
  };
  for (const auto& c : sizes) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(GetSizeFromText(c.Text, c.Unit), c.Size);
  }
}

TTimeLimit Limit(double value, bool absolute = false) {
  return {true, value, absolute};
}

TEST(SearchLimits, ValidatesOnTheTimesTheLimitsProduce) {
  const TDateTime now = 45000;
  struct TCase {
    const char* Name;
    TSearchLimits Limits;
    std::string Warning;
  };
  TSearchLimits mixed;
  mixed.ModifiedMin = Limit(2);
  mixed.CreationMax = Limit(44000, true);
  TSearchLimits lastWeekButOlderThanTwoDays; // now-7 <= t <= now-2: can match
  lastWeekButOlderThanTwoDays.CreationMin = Limit(7);
  lastWeekButOlderThanTwoDays.CreationMax = Limit(2);
  TSearchLimits impossibleRelative; // now-2 <= t <= now-7
  impossibleRelative.ModifiedMin = Limit(2);
  impossibleRelative.ModifiedMax = Limit(7);
  TSearchLimits impossibleAbsolute;
  impossibleAbsolute.CreationMin = Limit(44010, true);
  impossibleAbsolute.CreationMax = Limit(44000, true);
  TSearchLimits sizes;
  sizes.SizeMinEnabled = sizes.SizeMaxEnabled = true;
  sizes.SizeMin = 10;
  sizes.SizeMax = 5;
  const TCase cases[] = {
      {"mixed kinds", mixed, "All time limits must be either absolute or relative."},
      {"relative range that can match", lastWeekButOlderThanTwoDays, ""},
      {"relative range that cannot", impossibleRelative,
       "\"Modified minimum\" is bigger than \"Modified maximum\"."},
      {"absolute range that cannot", impossibleAbsolute,
       "\"Creation minimum\" is bigger than \"Creation maximum\"."},
      {"sizes", sizes, "\"Size from\" is bigger than \"Size up to\"."},
  };
  for (auto c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(c.Limits.Validate(now), c.Warning);
  }
  EXPECT_EQ(lastWeekButOlderThanTwoDays.Validate(now), "");
  EXPECT_EQ(lastWeekButOlderThanTwoDays.Now, now);
  EXPECT_TRUE(lastWeekButOlderThanTwoDays.TimesMatch(now - 3, now));
  EXPECT_FALSE(lastWeekButOlderThanTwoDays.TimesMatch(now - 1, now));
  EXPECT_FALSE(lastWeekButOlderThanTwoDays.TimesMatch(now - 8, now));
  TSearchLimits absolute;
  absolute.CreationMin = Limit(44000, true);
  EXPECT_EQ(absolute.Validate(now), "");
  EXPECT_EQ(absolute.Now, 0);
  EXPECT_TRUE(absolute.TimesMatch(44000, 0));
  EXPECT_FALSE(absolute.TimesMatch(43999.5, 50000));
}

TEST(SearchLimits, ModifiedLimitsCompareTheModificationTime) {
  TSearchLimits recent;
  recent.ModifiedMin = Limit(1);
  ASSERT_EQ(recent.Validate(1000), "");
  EXPECT_TRUE(recent.TimesMatch(/*creation*/ 500, /*modified*/ 999.5));
  EXPECT_FALSE(recent.TimesMatch(/*creation*/ 999.5, /*modified*/ 500));
}

TEST(SearchLimits, SizeLimitsHoldForHugeSizes) {
  TSearchLimits limits;
  limits.SizeMinEnabled = limits.SizeMaxEnabled = true;
  limits.SizeMin = 10;
  limits.SizeMax = INT64_MAX;
  EXPECT_FALSE(limits.SizeMatches(9));
  EXPECT_TRUE(limits.SizeMatches(10));
  EXPECT_TRUE(limits.SizeMatches(static_cast<uint64_t>(INT64_MAX)));
  EXPECT_FALSE(limits.SizeMatches(UINT64_MAX));
  limits.SizeMaxEnabled = false;
  EXPECT_TRUE(limits.SizeMatches(UINT64_MAX));
}

TEST(FoundList, KeepsRankOrderDiscoveryOrderAndClampedTags) {
  TFoundList ranked;
  const std::pair<const char*, int> found[] = {{"a", 100}, {"b", 200}, {"c", 100},
                                               {"d", 300}, {"e", 200}, {"f", 70000}};
  for (const auto& [title, rank] : found)
    ranked.Insert(title, rank, false, true);
  std::string order;
  for (const auto& item : ranked.Items())
    order += item.Title;
  EXPECT_EQ(order, "fdbeac");
  EXPECT_EQ(FoundTagRank(ranked.Items()[0].Tag), 65535);
  EXPECT_EQ(FoundLineText(ranked.Items()[1]), " (300) d");

  TFoundList plain;
  plain.Insert("x", 1, true, false);
  plain.Insert("y", 5, false, false);
  EXPECT_EQ(plain.Items()[0].Title, "x");
  EXPECT_TRUE(FoundTagIsDirectory(plain.Items()[0].Tag));
  EXPECT_FALSE(FoundTagIsDirectory(plain.Items()[1].Tag));
  EXPECT_EQ(FoundTag(-5, false), 0u);
  EXPECT_EQ(FoundTag(65536, true), 0x1FFFFu);
  EXPECT_EQ(FoundTag(INT_MAX, false), 0xFFFFu);
}

} // namespace
} // namespace cv
