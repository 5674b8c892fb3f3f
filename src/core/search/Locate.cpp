#include "search/Locate.h"

#include "columns/Column.h"
#include "filesystem/File.h"
#include "foundation/Text.h"
#include "foundation/UserInterface.h"
#include "search/SelectionPattern.h"

namespace cv {

std::string LocatePattern(std::string_view text, bool similar) {
  const std::string bytes = NamePatternFromEditText(text);
  std::string pattern;
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find(';', start);
    if (end == std::string::npos) end = bytes.size();
    // Every alternative is wrapped: "abc;def" finds names with either part.
    const std::string_view part = std::string_view(bytes).substr(start, end - start);
    if (!part.empty()) {
      if (!pattern.empty()) pattern += ';';
      if (similar) pattern += '*';
      pattern += part;
      pattern += '*';
    }
    start = end + 1;
  }
  return pattern;
}

int FindLocateMatch(const TColumn& column, int from, std::string_view pattern, bool forward) {
  const int step = forward ? 1 : -1;
  for (int i = from + step; i >= 0 && i < column.Count(); i += step)
    if (MatchesNameFilter(GetTitleName(column.Items[static_cast<size_t>(i)].Title), pattern))
      return i;
  return -1;
}

TLocateResult LocateFile(TColumn& column, int topOffset, std::string_view text, bool similar,
                         bool forward) {
  const std::string pattern = LocatePattern(text, similar);
  if (!IsValidNamePattern(text) || pattern.empty()) return TLocateResult::Invalid;
  const int found = FindLocateMatch(column, column.List.FocusIndex(), pattern, forward);
  if (found < 0) {
    ShowInformation("There are no more file name matches.");
    return TLocateResult::NoMore;
  }
  column.FocusByIndex(found, topOffset);
  return TLocateResult::Found;
}

bool LocateByIndex(TColumn& column, int topOffset, std::string_view text) {
  if (text.find_first_not_of(" \t") == std::string_view::npos) {
    ShowWarning("Empty index.");
    return false;
  }
  int index = 0;
  if (column.Count() == 0 || !CheckIntFromText(text, 1, column.Count(), index, 0)) {
    ShowWarning("Invalid index.");
    return false;
  }
  column.FocusByIndex(index - 1, topOffset);
  return true;
}

} // namespace cv
