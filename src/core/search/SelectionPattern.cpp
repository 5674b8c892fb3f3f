#include "search/SelectionPattern.h"

#include "columns/Column.h"
#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "foundation/Guard.h"
#include "foundation/UserInterface.h"

#include <vector>

namespace cv {

bool IsValidNamePattern(std::string_view text) {
  return !text.empty() &&
         text.find_first_of(std::string_view("/\0\r\n", 4)) == std::string_view::npos;
}

std::string NamePatternFromEditText(std::string_view text) {
  static constexpr std::string_view Replacement = "\xEF\xBF\xBD";
  std::string result;
  result.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    if (text.substr(at, Replacement.size()) == Replacement) {
      result += '?';
      at += Replacement.size();
    } else {
      result += text[at++];
    }
  }
  return result;
}

std::string ActiveExtensionPattern(std::string_view title) {
  return "*" + GetExtension(GetTitleName(title));
}

int SelectMatchingFiles(TColumn& column, std::string_view pattern, bool select) {
  const std::string expanded = ExpandNameFilter(pattern);
  std::vector<bool> matches(column.Items.size(), false);
  int count = 0;
  for (size_t i = 0; i < column.Items.size(); ++i) {
    const TFileListData& item = column.Items[i];
    if (item.Type == fltDirectory) continue;
    matches[i] = MatchesNameFilter(GetTitleName(item.Title), expanded);
    if (matches[i]) ++count;
  }
  if (count > 0)
    column.SelectWhere([&](int index) {
      const auto i = static_cast<size_t>(index);
      return matches[i] ? select : column.Items[i].Selected;
    });
  return count;
}

bool RunFilteredSelection(TColumn& column, std::string_view text, bool select) {
  if (!IsValidNamePattern(text)) {
    ShowWarning("Filter is invalid.");
    return false;
  }
  TGuard guard("TSelectionForm::Do");
  guard.Run([&] {
    if (SelectMatchingFiles(column, NamePatternFromEditText(text), select) == 0)
      ShowInformation("No matches found.");
  });
  guard.Show("Failed to select.");
  return true;
}

} // namespace cv
