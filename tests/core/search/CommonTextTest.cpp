#include "search/CommonText.h"

#include "TestSupport.h"
#include "foundation/Error.h"
#include "foundation/StoredTextList.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace cv {
namespace {

class TQuietHost : public TCommonTextHost {
public:
  bool Stopped() override { return false; }
  void ShowStep(const std::string& text) override { Steps.push_back(text); }
  void ShowInformation(const std::string&) override {}
  std::vector<std::string> Steps;
};

std::string Filter(std::string_view line, const TCommonTextOptions& options) {
  TCommonParagraph paragraph;
  EXPECT_TRUE(ParseCommonParagraph(line, options, paragraph)) << line;
  return paragraph.Filter;
}

TCommonFile File(const std::string& title, std::string_view text,
                 const TCommonTextOptions& options = {}) {
  TCommonFile file;
  file.Title = title;
  EXPECT_TRUE(ParseCommonText(text, options, file));
  return file;
}

std::string Report(const std::vector<TCommonFile>& files, const TCommonTextOptions& options,
                   bool useIndex, TCommonTextEnd* end = nullptr) {
  TQuietHost host;
  std::vector<TMatchSource> matches;
  const TCommonTextEnd reached = FindCommonText(files, 0, options, host, matches, useIndex);
  if (end) *end = reached;
  SortCommonTextMatches(matches);
  std::string report;
  EXPECT_TRUE(BuildCommonTextReport(files, 0, matches, 1.5, report));
  return report;
}

TEST(CommonTextTest, WordsAreExtractedByTheirRules) {
  struct TCase {
    const char* Line;
    const char* Begin;
    const char* End;
    bool UseDelimiter;
    const char* Delimiter;
    const char* Numbers;
    const char* Filter;
  };
  const TCase cases[] = {
      {"Joe 12-34 1234 ab joe", "Start", "End", true, "|", "Include", "JOE; 12-34"},
      {"12345 abc", "Start", "End", true, "|", "Ignore", "ABC"},
      {"AB123 12345 ABCDE", "Start", "End", true, "|", "Only", "AB123; 12345"},
      {"a|John|Smith|x|y", "1", "3", true, "|", "Include", "JOHN; SMITH"},
      {"ann|John|Smith|xyz|yes", "Last - 1", "End", true, "|", "Include", "XYZ; YES"},
      // A delimiter that is a word byte still separates the fields.
      {"ann,John,Smith,xyz,yes", "1", "3", true, ",", "Include", "JOHN; SMITH"},
      {"ann, John Smith, xyz", "Start", "End", true, ",", "Include", "ANN; JOHN; SMITH; XYZ"},
      // Every byte from 0x80 up is a word byte and keeps its value.
      {"caf\xC3\xA9 ab\x85z", "Start", "End", true, "|", "Include", "CAF\xC3\xA9; AB\x85Z"},
      {"one two three four", "2", "Last", false, "|", "Include", "TWO; THREE; FOUR"},
      {"one two three four", "Start", "End", false, "|", "Include", "ONE; TWO; THREE; FOUR"},
  };
  for (const TCase& c : cases) {
    TCommonTextSettings settings;
    settings.BeginExtraction = c.Begin;
    settings.EndExtraction = c.End;
    settings.UseDelimiter = c.UseDelimiter;
    settings.WordDelimiter = c.Delimiter;
    settings.UseNumbers = c.Numbers;
    EXPECT_EQ(Filter(c.Line, CommonTextOptions(settings)), c.Filter) << c.Line;
  }
}

TEST(CommonTextTest, OptionChecksRefuseOnlyImpossibleRanges) {
  struct TCase {
    const char* Begin;
    const char* End;
    bool UseDelimiter;
    const char* Delimiter;
    const char* Failure; // empty: accepted
  };
  const char* const higher =
      "The \"End extraction\" value must be higher than the \"Start extraction\" value.";
  const char* const atLeast =
      "The \"End extraction\" value must be at least the \"Start extraction\" value.";
  const TCase cases[] = {
      {"Start", "End", true, "|", ""},
      {"Start", "End", false, "|", ""},
      {"Start", "End", false, "", ""},
      {"Start", "End", true, "", "Empty delimiter."},
      {"2", "1", true, "|", higher},
      {"2", "2", true, "|", higher},
      {"Last", "Last", true, "|", higher},
      {"Last", "End", true, "|", ""},
      {"2", "2", false, "|", ""},
      {"3", "2", false, "|", atLeast},
      {"Last", "Last - 1", false, "|", atLeast},
      {"Start", "1", false, "|", ""},
  };
  for (const TCase& c : cases) {
    TCommonTextSettings settings;
    settings.BeginExtraction = c.Begin;
    settings.EndExtraction = c.End;
    settings.UseDelimiter = c.UseDelimiter;
    settings.WordDelimiter = c.Delimiter;
    const bool accepted = CheckCommonTextOptions(CommonTextOptions(settings));
    EXPECT_EQ(accepted, *c.Failure == 0) << c.Begin << " " << c.End << " " << c.UseDelimiter;
    EXPECT_EQ(FunStatContext.Description, c.Failure) << c.Begin << " " << c.End;
  }
  test::TRecordingUserInterface ui;
  TCommonTextOptions options;
  options.Numbers = 3;
  EXPECT_FALSE(CheckCommonTextOptions(options));
  EXPECT_EQ(FunStatContext.Description, "Invalid \"Numbers\" value.");
}

TEST(CommonTextTest, StoredValuesOutsideTheirBoxKeepTheDefault) {
  TStoredTextList ini;
  ini.EraseAll();
  TCommonTextSettings written;
  written.BeginExtraction = "Last - 2";
  written.UseDelimiter = false;
  written.WordDelimiter = ";";
  written.MinimumMatches = "All - 1";
  written.Write(ini);
  ini.WriteText("FindCommonText", "WholeMatch", "Sideways");
  ini.WriteText("FindCommonText", "MisspellingTolerance", "9");
  TCommonTextSettings read;
  read.Read(ini);
  EXPECT_EQ(read.BeginExtraction, "Last - 2");
  EXPECT_FALSE(read.UseDelimiter);
  EXPECT_EQ(read.WordDelimiter, ";");
  EXPECT_EQ(read.MinimumMatches, "All - 1");
  EXPECT_EQ(read.WholeMatch, "Word");
  EXPECT_EQ(read.MisspellingTolerance, "0");
  const TCommonTextOptions options = CommonTextOptions(read);
  EXPECT_EQ(options.Begin, -4);
  EXPECT_EQ(options.MinimumMatches, -1);
}

TEST(CommonTextTest, MatchTextScoresByPlaceAndMisspellings) {
  struct TCase {
    const char* Word1;
    const char* Word2;
    int Tolerance;
    int Mode;
    int Score;
  };
  const TCase cases[] = {
      {"JOHN", "JOHN", 0, wmWord, 200},     {"JOHN", "JOHNSON", 0, wmWord, 0},
      {"JOHN", "JOHNSON", 0, wmLeft, 150},  {"SON", "JOHNSON", 0, wmLeft, 0},
      {"SON", "JOHNSON", 0, wmRight, 100},  {"OHN", "JOHNSON", 0, wmRight, 0},
      {"OHN", "JOHNSON", 0, wmAny, 50},     {"JOHNSON", "JOHN", 0, wmAny, 0},
      {"SMITH", "SMYTH", 1, wmWord, 195},   {"SMITH", "JONES", 1, wmWord, 0},
      {"SMITH", "SMYTH", 0, wmWord, 0},     {"JAHN", "JOHNSON", 1, wmLeft, 145},
      {"SIN", "JOHNSON", 1, wmRight, 95},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(MatchText(c.Word1, c.Word2, c.Tolerance, c.Mode), c.Score)
        << c.Word1 << " " << c.Word2 << " " << c.Tolerance << " " << c.Mode;
}

TEST(CommonTextTest, FindTextAWritesTheMatchedWordsAndNeedsAllWords) {
  TCommonTextOptions options;
  options.WholeMatch = wmLeft;
  const TCommonFile source = File("/s", "John Smith Paris 12345");
  const TCommonFile against = File("/a", "Johnson Smith 12345 Rome");
  TMatchSource info;
  EXPECT_EQ(FindTextA(source.Paragraphs[0], against.Paragraphs[0], 1, 0, options, info), 550);
  ASSERT_EQ(info.Against.size(), 1u);
  EXPECT_EQ(info.Against[0].Matched, "JOHN -> JOHNSON; SMITH; 12345");
  EXPECT_EQ(FindTextA(against.Paragraphs[0], source.Paragraphs[0], 0, 0, options, info), 550);
  EXPECT_EQ(info.Against[1].Matched, "JOHNSON <- JOHN; SMITH; 12345");

  // "All" counts the source paragraph's words, whatever the other's size.
  options.MinimumMatches = 0;
  EXPECT_EQ(FindTextA(source.Paragraphs[0], against.Paragraphs[0], 1, 0, options, info), 0);
  options.MinimumMatches = -1;
  EXPECT_EQ(FindTextA(source.Paragraphs[0], against.Paragraphs[0], 1, 0, options, info), 550);
  const TCommonFile three = File("/t", "Smith Paris 12345");
  options.MinimumMatches = 0;
  EXPECT_EQ(FindTextA(three.Paragraphs[0], source.Paragraphs[0], 0, 0, options, info), 600);
}

TEST(CommonTextTest, ReportMatchesTheGoldenFile) {
  TCommonTextOptions options;
  options.WholeMatch = wmLeft;
  options.Tolerance = 1;
  const std::vector<TCommonFile> files = {
      File("/data/clients.txt", "John Smith|Paris\r\nAnna Kowalska|Warsaw\r\n\r\nPeter Jones|"
                                "Leeds\r\nnobody here\r\n"),
      File("/data/old list.txt", "Smyth, John - Paris\nKowalski Anna\nJones Peter, Leeds 12345"),
      File("/data/scan.txt", "JOHNSON SMITH\rAnna Kowalska Warsaw"),
  };
  const std::string report = Report(files, options, false);
  std::ifstream golden(CORVANTIDE_FIXTURES "/search/common_text_report.txt", std::ios::binary);
  ASSERT_TRUE(golden.good());
  const std::string expected((std::istreambuf_iterator<char>(golden)),
                             std::istreambuf_iterator<char>());
  EXPECT_EQ(report, expected);
}

// Random small inputs over a small vocabulary: the index and the all-pairs
// comparison give the same report and end, for every minimum.
TEST(CommonTextTest, IndexGivesTheAllPairsReport) {
  std::mt19937 random(39);
  const char* const vocabulary[] = {"ann",   "bob",   "cid",   "dee",   "eve",  "fay",
                                    "12345", "23456", "ab\xC3\xA9", "x-1.5", "Ann", "bo"};
  const auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  for (int round = 0; round < 1000; ++round) {
    TCommonTextSettings settings;
    const std::vector<std::string>& minimums = CommonTextBoxItems(ctbMinimum);
    settings.MinimumMatches = minimums[pick(minimums.size())];
    settings.UseNumbers = CommonTextBoxItems(ctbNumbers)[pick(3)];
    settings.UseDelimiter = pick(2) == 0;
    if (settings.UseDelimiter) {
      settings.BeginExtraction = pick(2) == 0 ? "Start" : "1";
      settings.EndExtraction = pick(2) == 0 ? "End" : "Last";
    }
    const TCommonTextOptions options = CommonTextOptions(settings);
    ASSERT_TRUE(CanUseCommonTextIndex(options));
    std::vector<TCommonFile> files;
    const size_t fileCount = 1 + pick(4);
    for (size_t f = 0; f < fileCount; ++f) {
      std::string text;
      const size_t lines = pick(6);
      for (size_t l = 0; l < lines; ++l) {
        const size_t words = pick(6);
        for (size_t w = 0; w < words; ++w)
          text += std::string(vocabulary[pick(std::size(vocabulary))]) + (pick(3) ? " " : "|");
        text += "\n";
      }
      files.push_back(File("/f" + std::to_string(f), text, options));
    }
    TCommonTextEnd indexedEnd{}, pairsEnd{};
    const std::string indexed = Report(files, options, true, &indexedEnd);
    ASSERT_EQ(indexed, Report(files, options, false, &pairsEnd)) << "round " << round;
    ASSERT_EQ(indexedEnd, pairsEnd) << "round " << round;
  }
}

TEST(CommonTextTest, TheThousandAndFirstMatchEndsBothPaths) {
  for (const int sources : {1000, 1001}) {
    std::string text;
    for (int i = 0; i < sources; ++i)
      text += "alpha bravo" + std::to_string(i) + "\n";
    const std::vector<TCommonFile> files = {File("/s", text), File("/a", "alpha")};
    for (const bool useIndex : {true, false}) {
      TQuietHost host;
      std::vector<TMatchSource> matches;
      const TCommonTextEnd end = FindCommonText(files, 0, {}, host, matches, useIndex);
      EXPECT_EQ(end, sources == 1000 ? TCommonTextEnd::Done : TCommonTextEnd::TooManyMatches)
          << sources << " " << useIndex;
      EXPECT_EQ(matches.size(), 1000u);
    }
  }
}

TEST(CommonTextTest, RunNamesTheFileThatFailed) {
  test::TTempDir root;
  const std::string good = root.Path + "/good.txt";
  std::ofstream(good) << "a|b|c\nJohn|Smith|Leeds\n";
  TQuietHost host;
  TCommonTextResult result;
  TCommonTextJob job;
  job.Titles = {good, root.Path + "/gone.txt"};
  EXPECT_FALSE(RunCommonText(job, host, result));
  EXPECT_EQ(FunStatContext.Description, "Failed to read file.");
  EXPECT_EQ(FunStatContext.Parameter1, root.Path + "/gone.txt");
  EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(ENOENT));

  job.Titles = {good};
  job.Options.Begin = 2;
  job.Options.End = 1;
  EXPECT_FALSE(RunCommonText(job, host, result));
  EXPECT_EQ(FunStatContext.Description, "The first extracted word is beyond the last extracted word.");
  EXPECT_EQ(FunStatContext.Parameter1, good);
  EXPECT_EQ(FunStatContext.Parameter2, "Line 1");
}

} // namespace
} // namespace cv
