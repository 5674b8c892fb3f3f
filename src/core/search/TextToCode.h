#pragma once
// Text to HTML hexadecimal character references ("abc" -> "&#x61;&#x62;&#x63;"),
// so that an address pasted into a web page is no plain text to harvesters.

#include <string>
#include <string_view>

namespace cv {

// One "&#x" + upper-case hexadecimal (at least two digits) + ";" for each
// character of the UTF-8 text: "é" is "&#xE9;", "€" is "&#x20AC;". A byte
// that is not part of a valid UTF-8 sequence gives one reference of its own
// value, as the single-byte code pages read it. Nothing else is added; an
// empty text stays empty.
std::string TextToCharacterReferences(std::string_view text);

} // namespace cv
