#pragma once
// Selection by pattern: the files of a column whose names match a wildcard
// pattern ("*", "?", ";" alternatives, ASCII case ignored, names as bytes)
// are selected or deselected at once. Directories are never touched.

#include <string>
#include <string_view>

namespace cv {

class TColumn;

// A pattern box may hold every byte a name can hold; only "/" (no name has
// one), NUL, CR and LF (the box's history is kept by lines) are refused, and
// an empty text. The same rule serves the locate box.
bool IsValidNamePattern(std::string_view text);

// The pattern's bytes from the box's UTF-8 text: a U+FFFD, which is how a
// name shows a byte that is not UTF-8, stands for any one byte ("?"), so a
// name copied from the screen still finds its file.
std::string NamePatternFromEditText(std::string_view text);

// "*" + the extension of the title ("*.txt"), or "*" when it has none.
std::string ActiveExtensionPattern(std::string_view title);

// Selects (or deselects) every item that is not a directory and whose name
// matches `pattern` after the predefined filter names are expanded; every
// other item keeps its state. Gives the number of matching items, whether
// or not their state changed.
int SelectMatchingFiles(TColumn& column, std::string_view pattern, bool select);

// The dialog's run: an invalid pattern warns "Filter is invalid." and gives
// false (the dialog stays); otherwise the selection runs, a pattern that
// matches nothing shows "No matches found.", a failure "Failed to select.",
// and the result is true.
bool RunFilteredSelection(TColumn& column, std::string_view text, bool select);

} // namespace cv
