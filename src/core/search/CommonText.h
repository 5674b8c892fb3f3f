#pragma once
// Find common text without windows: every line of a text file is a
// paragraph reduced to its upper-cased words; the paragraphs of the source
// file are compared with those of the other files, and the pairs that share
// enough words make a ranked report.
//
// Two paths give the same matches: the all-pairs comparison, which serves
// every mode (misspellings, words inside longer words), and an inverted
// index of the other files' words for whole words without tolerance, where
// two words match only when they are equal.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

class TStoredTextList;

// The boxes of the dialog, kept as their texts (section "FindCommonText").
enum TCommonTextBox : int {
  ctbBegin,
  ctbEnd,
  ctbNumbers,
  ctbWholeMatch,
  ctbTolerance,
  ctbMinimum,
};
// The items a box offers, in the box's order.
const std::vector<std::string>& CommonTextBoxItems(TCommonTextBox box);

struct TCommonTextSettings {
  std::string BeginExtraction = "Start";
  std::string EndExtraction = "End";
  bool UseDelimiter = true;
  std::string WordDelimiter = "|";
  std::string UseNumbers = "Include";
  std::string WholeMatch = "Word";
  std::string MisspellingTolerance = "0";
  std::string MinimumMatches = "1";

  // A stored text that is not an item of its box keeps the default.
  void Read(const TStoredTextList& ini);
  void Write(TStoredTextList& ini) const;
};

enum TWholeMatch : int { wmWord = 0, wmLeft = 1, wmRight = 2, wmAny = 3 };

struct TCommonTextOptions {
  // Start 0, End -1, Last -2, Last - 1 -3, ...; numbers are themselves.
  int Begin = 0;
  int End = -1;
  bool UseDelimiter = true;
  std::string Delimiter = "|";
  int Numbers = 0; // Include 0, Ignore 1, Only 2
  int WholeMatch = wmWord;
  int Tolerance = 0;
  // A count from 1 up; All 0, All - 1 -1, ...
  int MinimumMatches = 1;
};

TCommonTextOptions CommonTextOptions(const TCommonTextSettings& settings);
// The checks before a run: an empty delimiter, an end before the begin, an
// unknown numbers value (a panic). Guarded.
bool CheckCommonTextOptions(const TCommonTextOptions& options);
// The index serves whole words without misspellings.
bool CanUseCommonTextIndex(const TCommonTextOptions& options);

struct TCommonParagraph {
  std::string Filter; // the words joined with "; "
  std::vector<std::string> Words;
};
struct TCommonFile {
  std::string Title;
  std::vector<TCommonParagraph> Paragraphs; // those with a word, in line order
};

// One line into its words. Guarded: an extraction range error fails.
bool ParseCommonParagraph(std::string_view line, const TCommonTextOptions& options,
                          TCommonParagraph& paragraph);
// Lines end at LF, CR LF or CR. Guarded; names the failing line.
bool ParseCommonText(std::string_view text, const TCommonTextOptions& options, TCommonFile& file);
// Reads the file and parses it. Guarded.
bool ParseCommonFile(const std::string& title, const TCommonTextOptions& options,
                     TCommonFile& file);

// The score of word 1 against word 2 (0 when they do not match).
int MatchText(std::string_view word1, std::string_view word2, int tolerance, int wholeMatch);

struct TMatchAgainst {
  int File = 0;      // index in the file list
  int Paragraph = 0; // index in that file's paragraphs
  int64_t Rank = 0;
  std::string Matched; // "WORD; A -> AB; ..."
};
struct TMatchSource {
  int Paragraph = 0; // index in the source file's paragraphs
  int64_t Rank = 0;
  std::vector<TMatchAgainst> Against;
};

// Compares the source paragraph with one other paragraph; adds the pair to
// `source` and returns its rank when it counts, else 0.
int64_t FindTextA(const TCommonParagraph& source, const TCommonParagraph& against, int againstFile,
                  int againstParagraph, const TCommonTextOptions& options, TMatchSource& info);

// What the running comparison asks of its caller.
class TCommonTextHost {
public:
  virtual ~TCommonTextHost() = default;
  virtual bool Stopped() = 0;
  // A step's caption ("Parsing files and filters..."), or the information
  // line during the comparison and the sort.
  virtual void ShowStep(const std::string& text) = 0;
  virtual void ShowInformation(const std::string& text) = 0;
};

enum class TCommonTextEnd { Done, Stopped, TooManyMatches };

// More matching source paragraphs than this end the work.
constexpr size_t CMaxCommonTextMatches = 1000;
constexpr size_t CMaxCommonTextReport = 250000;

// Compares every source paragraph of files[source] with every paragraph of
// every other file; `matches` are the source paragraphs with a rank of at
// least 1, in source order. `useIndex` asks for the index where it serves.
TCommonTextEnd FindCommonText(const std::vector<TCommonFile>& files, size_t source,
                              const TCommonTextOptions& options, TCommonTextHost& host,
                              std::vector<TMatchSource>& matches, bool useIndex = true);

// Highest rank first, each against list too; equal ranks keep their order.
void SortCommonTextMatches(std::vector<TMatchSource>& matches);

// The report, lines ended by CR LF; false when it grew past the limit.
bool BuildCommonTextReport(const std::vector<TCommonFile>& files, size_t source,
                           const std::vector<TMatchSource>& matches, double seconds,
                           std::string& report);

struct TCommonTextJob {
  std::vector<std::string> Titles; // the selected documents, in column order
  size_t Source = 0;               // the active file among them
  TCommonTextOptions Options;
  bool UseIndex = true;
};
struct TCommonTextResult {
  TCommonTextEnd End = TCommonTextEnd::Done;
  size_t MatchCount = 0;
  bool ReportTooBig = false;
  std::string Report; // empty when nothing matched or the work ended early
};
// Parsing, comparison, sort and report on the calling thread. Guarded: a
// file that cannot be read or parsed fails the run.
bool RunCommonText(const TCommonTextJob& job, TCommonTextHost& host, TCommonTextResult& result);

} // namespace cv
