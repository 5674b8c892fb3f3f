#include "search/CommonText.h"

#include "foundation/Guard.h"
#include "foundation/MemoryStorage.h"
#include "foundation/MyMath.h"
#include "foundation/MyTime.h"
#include "foundation/StoredTextList.h"
#include "foundation/Text.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace cv {

namespace {

constexpr const char* Section = "FindCommonText";

bool IsBoxItem(TCommonTextBox box, const std::string& text) {
  const std::vector<std::string>& items = CommonTextBoxItems(box);
  return std::find(items.begin(), items.end(), text) != items.end();
}

void ReadBoxText(const TStoredTextList& ini, const char* key, TCommonTextBox box,
                 std::string& value) {
  std::string stored = value;
  ini.ReadText(Section, key, stored, false, 31);
  if (IsBoxItem(box, stored)) value = stored;
}

// "Start" 0, "End" -1, "Last" -2, "Last - k" -2 - k; also "All" 0, "All - k" -k.
int BoxValue(const std::string& text, int fallback) {
  if (text == "Start" || text == "All") return 0;
  if (text == "End") return -1;
  if (text == "Last") return -2;
  if (text.starts_with("Last - ")) return -2 - (text.back() - '0');
  if (text.starts_with("All - ")) return -(text.back() - '0');
  if (text.size() == 1 && text[0] >= '0' && text[0] <= '9') return text[0] - '0';
  return fallback;
}

int IndexOf(TCommonTextBox box, const std::string& text, int fallback) {
  const std::vector<std::string>& items = CommonTextBoxItems(box);
  const auto found = std::find(items.begin(), items.end(), text);
  return found == items.end() ? fallback : static_cast<int>(found - items.begin());
}

// The matches a pair needs: a count, or the source's words less 0..3 for
// "All"; at least one, since a pair without a match has no rank.
int NeededMatches(const TCommonTextOptions& options, size_t sourceWords) {
  const int minimum = options.MinimumMatches > 0
                          ? options.MinimumMatches
                          : static_cast<int>(sourceWords) + options.MinimumMatches;
  return std::max(1, minimum);
}

std::string InformationLine(double seconds, size_t matches, size_t sourceFilter,
                            size_t againstFile, size_t againstFilter) {
  return "Errors 0 | Time " + AlignRealToTextPow(6, 1, seconds) + " | Matches " +
         std::to_string(matches) + " | Source filter " + std::to_string(sourceFilter + 1) +
         " | Against file " + std::to_string(againstFile + 1) + " | Against filter " +
         std::to_string(againstFilter + 1);
}

TCommonTextEnd FindAllPairs(const std::vector<TCommonFile>& files, size_t source,
                            const TCommonTextOptions& options, TCommonTextHost& host,
                            std::vector<TMatchSource>& matches, double started) {
  TCrono progress;
  progress.Start();
  const std::vector<TCommonParagraph>& sources = files[source].Paragraphs;
  for (size_t i = 0; i < sources.size(); ++i) {
    TMatchSource info;
    info.Paragraph = static_cast<int>(i);
    size_t againstNumber = 0;
    for (size_t f = 0; f < files.size(); ++f) {
      if (f == source) continue;
      const std::vector<TCommonParagraph>& against = files[f].Paragraphs;
      for (size_t j = 0; j < against.size(); ++j) {
        if (matches.size() >= CMaxCommonTextMatches) return TCommonTextEnd::TooManyMatches;
        info.Rank += FindTextA(sources[i], against[j], static_cast<int>(f), static_cast<int>(j),
                               options, info);
        if (progress.IsPeriod(1.0))
          host.ShowInformation(
              InformationLine(SecondsNow() - started, matches.size(), i, againstNumber, j));
        if (host.Stopped()) return TCommonTextEnd::Stopped;
      }
      ++againstNumber;
    }
    if (info.Rank >= 1) matches.push_back(std::move(info));
  }
  return TCommonTextEnd::Done;
}

// Whole words without tolerance match only when equal, for 200 points
// each: a pair's rank is 200 times the words it shares, and only the
// paragraphs that share a word need looking at.
TCommonTextEnd FindIndexed(const std::vector<TCommonFile>& files, size_t source,
                           const TCommonTextOptions& options, TCommonTextHost& host,
                           std::vector<TMatchSource>& matches, double started) {
  struct TPlace {
    int File, Paragraph;
  };
  std::vector<TPlace> places;
  // Keys held in the table's own nodes: a short word then sits beside its
  // hash, not behind a pointer into the paragraphs.
  std::unordered_map<std::string, std::vector<uint32_t>> postings;
  size_t words = 0;
  for (size_t f = 0; f < files.size(); ++f)
    if (f != source)
      for (const TCommonParagraph& paragraph : files[f].Paragraphs)
        words += paragraph.Words.size();
  postings.reserve(words / 4 + 16);
  for (size_t f = 0; f < files.size(); ++f) {
    if (f == source) continue;
    for (size_t j = 0; j < files[f].Paragraphs.size(); ++j) {
      const auto id = static_cast<uint32_t>(places.size());
      places.push_back({static_cast<int>(f), static_cast<int>(j)});
      for (const std::string& word : files[f].Paragraphs[j].Words)
        postings[word].push_back(id);
    }
    if (host.Stopped()) return TCommonTextEnd::Stopped;
  }
  TCrono progress;
  progress.Start();
  std::vector<uint32_t> counts(places.size(), 0);
  std::vector<uint32_t> touched, paired;
  const std::vector<TCommonParagraph>& sources = files[source].Paragraphs;
  for (size_t i = 0; i < sources.size(); ++i) {
    if (host.Stopped()) return TCommonTextEnd::Stopped;
    // The all-pairs path stops at the next comparison after the limit.
    if (matches.size() >= CMaxCommonTextMatches && !places.empty())
      return TCommonTextEnd::TooManyMatches;
    if (progress.IsPeriod(1.0))
      host.ShowInformation(InformationLine(SecondsNow() - started, matches.size(), i, 0, 0));
    const TCommonParagraph& paragraph = sources[i];
    touched.clear();
    for (const std::string& word : paragraph.Words) {
      const auto found = postings.find(word);
      if (found == postings.end()) continue;
      for (const uint32_t id : found->second)
        if (counts[id]++ == 0) touched.push_back(id);
    }
    const auto needed = static_cast<uint32_t>(NeededMatches(options, paragraph.Words.size()));
    paired.clear();
    for (const uint32_t id : touched)
      if (counts[id] >= needed)
        paired.push_back(id);
      else
        counts[id] = 0;
    // Ids grow in file and paragraph order, the all-pairs order.
    std::sort(paired.begin(), paired.end());
    TMatchSource info;
    info.Paragraph = static_cast<int>(i);
    for (const uint32_t id : paired) {
      const uint32_t count = std::exchange(counts[id], 0);
      const TPlace place = places[id];
      const std::vector<std::string>& against =
          files[static_cast<size_t>(place.File)].Paragraphs[static_cast<size_t>(place.Paragraph)]
              .Words;
      TMatchAgainst entry{place.File, place.Paragraph, int64_t{200} * count, {}};
      for (const std::string& word : paragraph.Words)
        if (std::find(against.begin(), against.end(), word) != against.end()) {
          if (!entry.Matched.empty()) entry.Matched += "; ";
          entry.Matched += word;
        }
      info.Rank += entry.Rank;
      info.Against.push_back(std::move(entry));
    }
    if (info.Rank >= 1) matches.push_back(std::move(info));
  }
  return TCommonTextEnd::Done;
}

TCommonTextEnd FindFrom(const std::vector<TCommonFile>& files, size_t source,
                        const TCommonTextOptions& options, TCommonTextHost& host,
                        std::vector<TMatchSource>& matches, bool useIndex, double started) {
  matches.clear();
  if (source >= files.size()) return TCommonTextEnd::Done;
  return useIndex && CanUseCommonTextIndex(options)
             ? FindIndexed(files, source, options, host, matches, started)
             : FindAllPairs(files, source, options, host, matches, started);
}

} // namespace

const std::vector<std::string>& CommonTextBoxItems(TCommonTextBox box) {
  static const std::vector<std::string> begin = {
      "Start", "1", "2", "3", "4", "5", "6", "7", "Last - 3", "Last - 2", "Last - 1", "Last"};
  static const std::vector<std::string> end = {
      "1", "2", "3", "4", "5", "6", "7", "Last - 3", "Last - 2", "Last - 1", "Last", "End"};
  static const std::vector<std::string> numbers = {"Include", "Ignore", "Only"};
  static const std::vector<std::string> whole = {"Word", "Left", "Right", "Any"};
  static const std::vector<std::string> tolerance = {"0", "1", "2", "3"};
  static const std::vector<std::string> minimum = {
      "1", "2", "3", "4", "5", "6", "7", "All - 3", "All - 2", "All - 1", "All"};
  switch (box) {
  case ctbBegin: return begin;
  case ctbEnd: return end;
  case ctbNumbers: return numbers;
  case ctbWholeMatch: return whole;
  case ctbTolerance: return tolerance;
  case ctbMinimum: break;
  }
  return minimum;
}

void TCommonTextSettings::Read(const TStoredTextList& ini) {
  ReadBoxText(ini, "BeginExtraction", ctbBegin, BeginExtraction);
  ReadBoxText(ini, "EndExtraction", ctbEnd, EndExtraction);
  ini.ReadBool(Section, "UseDelimiter", UseDelimiter);
  ini.ReadText(Section, "WordDelimiter", WordDelimiter, true, 255);
  ReadBoxText(ini, "UseNumbers", ctbNumbers, UseNumbers);
  ReadBoxText(ini, "WholeMatch", ctbWholeMatch, WholeMatch);
  ReadBoxText(ini, "MisspellingTolerance", ctbTolerance, MisspellingTolerance);
  ReadBoxText(ini, "MinimumMatches", ctbMinimum, MinimumMatches);
}

void TCommonTextSettings::Write(TStoredTextList& ini) const {
  ini.WriteText(Section, "BeginExtraction", BeginExtraction);
  ini.WriteText(Section, "EndExtraction", EndExtraction);
  ini.WriteBool(Section, "UseDelimiter", UseDelimiter);
  ini.WriteText(Section, "WordDelimiter", WordDelimiter);
  ini.WriteText(Section, "UseNumbers", UseNumbers);
  ini.WriteText(Section, "WholeMatch", WholeMatch);
  ini.WriteText(Section, "MisspellingTolerance", MisspellingTolerance);
  ini.WriteText(Section, "MinimumMatches", MinimumMatches);
}

TCommonTextOptions CommonTextOptions(const TCommonTextSettings& settings) {
  TCommonTextOptions options;
  options.Begin = BoxValue(settings.BeginExtraction, 0);
  options.End = BoxValue(settings.EndExtraction, -1);
  options.UseDelimiter = settings.UseDelimiter;
  options.Delimiter = settings.WordDelimiter;
  options.Numbers = IndexOf(ctbNumbers, settings.UseNumbers, 0);
  options.WholeMatch = IndexOf(ctbWholeMatch, settings.WholeMatch, wmWord);
  options.Tolerance = BoxValue(settings.MisspellingTolerance, 0);
  options.MinimumMatches = BoxValue(settings.MinimumMatches, 1);
  return options;
}

bool CheckCommonTextOptions(const TCommonTextOptions& options) {
  TGuard guard("CheckCommonTextOptions");
  return guard.Run(false, [&] {
    if (options.UseDelimiter && options.Delimiter.empty()) guard.Raise("Empty delimiter.");
    const auto sameSide = [](int a, int b) { return (a >= 0 && b >= 0) || (a < 0 && b < 0); };
    if (options.UseDelimiter) {
      if (sameSide(options.Begin, options.End) && options.End <= options.Begin)
        guard.Raise("The \"End extraction\" value must be higher than the \"Start extraction\" "
                    "value.");
    } else {
      // Counted in words "Start" is the first word and "End" the last, so
      // the defaults compare as 1 and Last, never as 0 and -1.
      const int begin = options.Begin == 0 ? 1 : options.Begin;
      const int end = options.End == -1 ? -2 : options.End;
      if (sameSide(begin, end) && end < begin)
        guard.Raise("The \"End extraction\" value must be at least the \"Start extraction\" "
                    "value.");
    }
    if (options.Numbers < 0 || options.Numbers > 2) guard.Panic("Invalid \"Numbers\" value.");
    return true;
  });
}

bool CanUseCommonTextIndex(const TCommonTextOptions& options) {
  return options.WholeMatch == wmWord && options.Tolerance <= 0;
}

bool ParseCommonParagraph(std::string_view line, const TCommonTextOptions& options,
                          TCommonParagraph& paragraph) {
  paragraph.Filter.clear();
  paragraph.Words.clear();
  if (!GetWordListFromText(line, paragraph.Words, options.Numbers, options.Delimiter,
                           options.UseDelimiter, options.Begin, options.End))
    return false;
  for (const std::string& word : paragraph.Words) {
    if (!paragraph.Filter.empty()) paragraph.Filter += "; ";
    paragraph.Filter += word;
  }
  return true;
}

bool ParseCommonText(std::string_view text, const TCommonTextOptions& options, TCommonFile& file) {
  TGuard guard("TFindCommonTextForm::ParsePara");
  file.Paragraphs.clear();
  return guard.Run(false, [&] {
    size_t start = 0;
    size_t lineNumber = 0;
    while (start < text.size()) {
      size_t end = text.find_first_of("\r\n", start);
      if (end == std::string_view::npos) end = text.size();
      ++lineNumber;
      TCommonParagraph paragraph;
      if (!ParseCommonParagraph(text.substr(start, end - start), options, paragraph)) {
        const std::string description = FunStatContext.Description;
        guard.Raise(description, file.Title, "Line " + std::to_string(lineNumber));
      }
      if (!paragraph.Words.empty()) file.Paragraphs.push_back(std::move(paragraph));
      start = end + 1;
      if (end < text.size() && text[end] == '\r' && start < text.size() && text[start] == '\n')
        ++start;
    }
    return true;
  });
}

bool ParseCommonFile(const std::string& title, const TCommonTextOptions& options,
                     TCommonFile& file) {
  TGuard guard("TFindCommonTextForm::ParseFile");
  file.Title = title;
  file.Paragraphs.clear();
  return guard.Run(false, [&] {
    std::string text;
    int error = 0;
    if (ReadWholeFile(title, text, &error) != TReadResult::Read)
      guard.Raise("Failed to read file.", title, {}, static_cast<uint32_t>(error));
    ParseCommonText(text, options, file);
    guard.TakeOver();
    return true;
  });
}

int MatchText(std::string_view word1, std::string_view word2, int tolerance, int wholeMatch) {
  const size_t a = word1.size(), b = word2.size();
  int differences = 0;
  int score = 0;
  if (a == b) {
    const bool match = tolerance > 0
                           ? CompareApproximate(word1.data(), word2.data(), a, tolerance,
                                                &differences)
                           : word1 == word2;
    if (!match) return 0;
    score = 200;
  } else if (wholeMatch == wmWord || a > b) {
    return 0;
  } else {
    const std::ptrdiff_t at = FindApproximate(word1, word2, tolerance);
    if (at < 0) return 0;
    if (tolerance > 0)
      CompareApproximate(word1.data(), word2.data() + at, a, tolerance, &differences);
    if (at == 0)
      score = 150;
    else if ((wholeMatch == wmRight || wholeMatch == wmAny) && static_cast<size_t>(at) + a == b)
      score = 100;
    else if (wholeMatch == wmAny)
      score = 50;
    else
      return 0;
  }
  return std::max(1, score - 5 * differences);
}

int64_t FindTextA(const TCommonParagraph& source, const TCommonParagraph& against, int againstFile,
                  int againstParagraph, const TCommonTextOptions& options, TMatchSource& info) {
  int64_t rank = 0;
  int count = 0;
  std::string matched;
  for (const std::string& s : source.Words)
    for (const std::string& p : against.Words) {
      const int forward = MatchText(s, p, options.Tolerance, options.WholeMatch);
      const int backward = MatchText(p, s, options.Tolerance, options.WholeMatch);
      const int score = std::max(forward, backward);
      if (score <= 0) continue;
      ++count;
      rank += score;
      if (!matched.empty()) matched += "; ";
      matched += s;
      if (s != p) {
        matched += forward >= backward ? " -> " : " <- ";
        matched += p;
      }
    }
  if (rank < 1 || count < NeededMatches(options, source.Words.size())) return 0;
  info.Against.push_back({againstFile, againstParagraph, rank, std::move(matched)});
  return rank;
}

TCommonTextEnd FindCommonText(const std::vector<TCommonFile>& files, size_t source,
                              const TCommonTextOptions& options, TCommonTextHost& host,
                              std::vector<TMatchSource>& matches, bool useIndex) {
  return FindFrom(files, source, options, host, matches, useIndex, SecondsNow());
}

void SortCommonTextMatches(std::vector<TMatchSource>& matches) {
  const auto higher = [](const auto& x, const auto& y) { return x.Rank > y.Rank; };
  std::stable_sort(matches.begin(), matches.end(), higher);
  for (TMatchSource& match : matches)
    std::stable_sort(match.Against.begin(), match.Against.end(), higher);
}

bool BuildCommonTextReport(const std::vector<TCommonFile>& files, size_t source,
                           const std::vector<TMatchSource>& matches, double seconds,
                           std::string& report) {
  report.clear();
  const std::string equals(50, '='), dashes(50, '-');
  const auto add = [&](std::string_view line) {
    report += line;
    report += "\r\n";
  };
  const TCommonFile& sourceFile = files[source];
  add(equals);
  add("Source file: " + sourceFile.Title);
  add("Match count: " + std::to_string(matches.size()));
  add("Elapsed time (seconds): " + AlignRealToTextPow(6, 3, seconds));
  add(equals);
  for (size_t n = 0; n < matches.size(); ++n) {
    if (report.size() > CMaxCommonTextReport) {
      report.clear();
      return false;
    }
    const TMatchSource& match = matches[n];
    add("Match index: " + std::to_string(n + 1));
    add("Source filter: \"" + sourceFile.Paragraphs[static_cast<size_t>(match.Paragraph)].Filter +
        "\"");
    add("Match count: " + std::to_string(match.Against.size()));
    add("Rank: " + std::to_string(match.Rank));
    add(dashes);
    for (size_t k = 0; k < match.Against.size(); ++k) {
      const TMatchAgainst& entry = match.Against[k];
      const TCommonFile& file = files[static_cast<size_t>(entry.File)];
      if (k > 0) add("    " + dashes);
      add("    Partial match index: " + std::to_string(k + 1));
      add("    Against file: \"" + file.Title + "\"");
      add("    Against filter: \"" + file.Paragraphs[static_cast<size_t>(entry.Paragraph)].Filter +
          "\"");
      add("    Matched filter: \"" + entry.Matched + "\"");
      add("    Rank: " + std::to_string(entry.Rank));
    }
    add(equals);
  }
  return true;
}

bool RunCommonText(const TCommonTextJob& job, TCommonTextHost& host, TCommonTextResult& result) {
  TGuard guard("TFindCommonTextForm::Do");
  result = {};
  return guard.Run(false, [&] {
    const double started = SecondsNow();
    host.ShowStep("Parsing files and filters...");
    std::vector<TCommonFile> files(job.Titles.size());
    for (size_t k = 0; k < job.Titles.size(); ++k) {
      if (host.Stopped()) {
        result.End = TCommonTextEnd::Stopped;
        return true;
      }
      ParseCommonFile(job.Titles[k], job.Options, files[k]);
      guard.TakeOver();
    }
    host.ShowStep("Looking for common text...");
    std::vector<TMatchSource> matches;
    result.End = FindFrom(files, job.Source, job.Options, host, matches, job.UseIndex, started);
    result.MatchCount = matches.size();
    if (result.End == TCommonTextEnd::TooManyMatches)
      result.Report = "The operation has been automatically aborted.";
    if (result.End != TCommonTextEnd::Done || matches.empty()) return true;
    host.ShowStep("Sorting found text...");
    SortCommonTextMatches(matches);
    host.ShowStep("Generating report...");
    result.ReportTooBig =
        !BuildCommonTextReport(files, job.Source, matches, SecondsNow() - started, result.Report);
    return true;
  });
}

} // namespace cv
