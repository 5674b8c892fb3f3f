#pragma once
// What the file search matches and how it ranks: the text filters, the
// search buffer of a file, the scoring of a buffer, the time and size limits
// and the rank-ordered found list. Everything here is pure: the engine
// (SearchEngine.h) reads the files and walks the directories.

#include "foundation/MyTime.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

enum class TStemRule { Any, Right, Left, Word };
enum class TFileParts { Name, Description, Content, NameContent, NameText };

// "Any", "Right", "Left", "Word"; "Name", "Description", "Content",
// "Name, content", "Name, text" (case ignored). False when unknown.
bool ParseStemRule(std::string_view text, TStemRule& rule);
bool ParseFileParts(std::string_view text, TFileParts& parts);

struct TSearchFilter {
  std::string Text; // upper-cased
  bool Required = false;
  bool Excluded = false;
};

struct TSearchTextFilter {
  std::vector<TSearchFilter> Filters;
  TStemRule Stem = TStemRule::Any;
  bool Near = true;
  // A filter of one or two characters: the dialog asks before it searches.
  bool HasShortFilter = false;

  // Split at ";", or at blanks when free-hand; "&" required, "!" excluded,
  // "~" takes the next character literally; upper-cased, each kept once.
  // With `allFilters` every filter is required.
  static TSearchTextFilter Parse(std::string_view text, bool freeHand, bool allFilters);
  bool Empty() const { return Filters.empty(); }
};

// Bytes that belong to words: ASCII letters and digits, "_", and every byte
// from 0x80 up (the bytes of a UTF-8 letter are word bytes).
constexpr bool IsSearchWordByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c >= 0x80;
}

// 50 pairs CR LF: the near window (100 bytes each side) never spans two parts.
inline constexpr std::string_view SearchPartSeparator =
    "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r"
    "\n\r\n"
    "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r"
    "\n\r\n";
// Files with a larger main stream are jumped, not examined.
inline constexpr uint64_t MaxSearchedFileSize = 10'000'000;

// The buffer of one item. Parts are appended in their order, their ASCII
// letters upper-cased; Finish puts the zero byte at the end.
class TSearchBuffer {
public:
  // Path part and name, then a separator; the name start is noted.
  void AddName(std::string_view path, std::string_view name);
  // Any other part (description, content, a stream), then a separator.
  void AddPart(std::string_view data);
  void Finish();
  void Clear();

  // The searched bytes, without the closing zero.
  std::string_view Text() const {
    return {Data.data(), Data.empty() ? 0 : Data.size() - (Finished ? 1 : 0)};
  }
  size_t NameStart() const { return Start; }
  std::string& Storage() { return Data; }

private:
  std::string Data;
  size_t Start = 0;
  bool Finished = false;
};

// Called for buffers above 100,000 bytes with the end of the last occurrence
// and the filter's place; false stops the evaluation (rank 0).
using TMatchProgress = std::function<bool(size_t position, size_t filterIndex)>;

// The rank of an upper-cased buffer (0: no match). `nameStart` is where the
// name begins: a match before it (in the path) alone never finds an item.
int MatchTextInBuffer(std::string_view buffer, size_t nameStart, const TSearchTextFilter& filter,
                      const TMatchProgress& progress = {});

// ---- Limits ------------------------------------------------------------

// A time limit text: a date ("/", "." or "-" in it, read as "d/m/yy") is
// absolute, in days since 1899-12-30; an integer count of the unit
// ("minutes", "hours", "days", "weeks") is relative, in days. False with a
// warning in the status context when the text is neither.
bool GetTimeFromText(std::string_view text, std::string_view unit, double& value, bool& absolute);
// A size limit text: a real number times the unit ("bytes", "KB", "MB",
// "GB", "TB"), cut toward zero and clamped to the 64-bit range.
int64_t GetSizeFromText(std::string_view text, std::string_view unit);

struct TTimeLimit {
  bool Enabled = false;
  double Value = 0; // days (relative) or a date-time (absolute)
  bool Absolute = false;
};

struct TSearchLimits {
  TTimeLimit CreationMin, CreationMax, ModifiedMin, ModifiedMax;
  // The reference of relative limits; 0 with absolute ones.
  TDateTime Now = 0;
  bool SizeMinEnabled = false, SizeMaxEnabled = false;
  int64_t SizeMin = 0, SizeMax = 0;

  bool AnyTime() const {
    return CreationMin.Enabled || CreationMax.Enabled || ModifiedMin.Enabled || ModifiedMax.Enabled;
  }
  bool AnySize() const { return SizeMinEnabled || SizeMaxEnabled; }
  // Sets Now from the kind of the enabled limits and returns the warning
  // that refuses them ("" when they can match).
  std::string Validate(TDateTime now);
  bool TimesMatch(TDateTime creation, TDateTime modified) const;
  bool SizeMatches(uint64_t size) const;
};

// ---- Found list --------------------------------------------------------

// The tag of a found line: the rank (clamped to 0..65535) in the low 16 bits,
// the directory flag in bit 16.
uint32_t FoundTag(int rank, bool isDirectory);
inline int FoundTagRank(uint32_t tag) {
  return static_cast<int>(tag & 0xFFFF);
}
inline bool FoundTagIsDirectory(uint32_t tag) {
  return (tag >> 16 & 1) != 0;
}

struct TFoundItem {
  std::string Title;
  uint32_t Tag = 0;
};

class TFoundList {
public:
  // Ranked: before the first line of lower rank (equal ranks keep their
  // order of discovery); else at the end. Returns the place.
  size_t Insert(std::string title, int rank, bool isDirectory, bool ranked);
  const std::vector<TFoundItem>& Items() const { return Lines; }
  size_t Size() const { return Lines.size(); }
  void Clear() { Lines.clear(); }

private:
  std::vector<TFoundItem> Lines;
};

// The line as shown: " (" + rank + ") " + title.
std::string FoundLineText(const TFoundItem& item);

} // namespace cv
