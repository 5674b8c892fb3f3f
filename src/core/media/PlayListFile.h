#pragma once
// Play-list files (".mpl"): one file title per line, as bytes.

#include <string>
#include <string_view>
#include <vector>

namespace cv {

// The titles of the play-list's text: empty lines are left out, a line
// ending in CR loses it, and a relative title is taken from `directory`
// (which ends with "/"). Everything else is kept byte for byte.
std::vector<std::string> ParsePlayList(std::string_view text, const std::string& directory);

// Reads the play-list file `title` (a regular file, at most 16 MiB); false
// with the failure in the status context.
bool ReadPlayListFile(const std::string& title, std::vector<std::string>& items);

} // namespace cv
