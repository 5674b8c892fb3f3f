#pragma once
// File titles: absolute paths with "/" as delimiter and no trailing "/"; a
// trailing "/" means "the inside of that directory". Partition titles start
// with ":" and name a mount point (":/", ":/home"). Titles are bytes and
// compare byte for byte; name filters and extensions fold ASCII letters only.

#include <string>
#include <string_view>

namespace cv {

// True when the spec is empty or one of its ";"-separated patterns matches
// the name ("*" any run, "?" one byte, ASCII case ignored, "*.*" matches all).
bool MatchesNameFilter(std::string_view name, std::string_view spec);

} // namespace cv
