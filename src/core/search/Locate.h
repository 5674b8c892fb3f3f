#pragma once
// Locate file: moves the focus of a column to the next or previous item
// whose name matches a pattern, or to the item at a given position.

#include <string>
#include <string_view>

namespace cv {

class TColumn;

// The pattern searched for the box's text: every ";" part matches name
// beginnings (part + "*"), or anywhere in the name with `similar` ("*" +
// part + "*"). Empty parts are dropped; U+FFFD stands for one byte as in
// selection patterns.
std::string LocatePattern(std::string_view text, bool similar);

// The index of the first item after (`forward`) or before `from` whose name
// matches `pattern`, -1 when none.
int FindLocateMatch(const TColumn& column, int from, std::string_view pattern, bool forward);

enum class TLocateResult {
  Found,   // the match is focused
  NoMore,  // "There are no more file name matches." was shown; the focus stays
  Invalid, // the text is no valid pattern: nothing was searched
};
// Locate next (previous with `forward` false) from the focused item; a
// match is focused with the top offset.
TLocateResult LocateFile(TColumn& column, int topOffset, std::string_view text, bool similar,
                         bool forward);

// "Locate by index": an empty text warns "Empty index.", a text that is no
// integer from 1 to the item count "Invalid index."; otherwise item n
// (1-based) is focused with the top offset and the result is true.
bool LocateByIndex(TColumn& column, int topOffset, std::string_view text);

} // namespace cv
