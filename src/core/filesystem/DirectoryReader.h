#pragma once
// Reads a directory straight from the kernel: raw names from readdir and
// facts from statx relative to the directory descriptor, so a listing costs
// one open and one statx per entry, and names that are not UTF-8 survive.

#include "filesystem/FileInfo.h"

#include <functional>
#include <string>
#include <string_view>

namespace cv {

// Called for every entry but "." and ".."; `info` carries attributes, size
// and the raw file times (not the date-time values); it is null when the entry's
// facts could not be read (it still has its name). Entries that vanish
// between readdir and statx are not reported.
using TDirectoryEntrySink = std::function<void(std::string_view name, const TFileInfo* info)>;

// Lists `path` (with or without a trailing "/", of any length). Returns 0, or the errno of
// the failed open or read; entries reported before a read error stay.
// `opened` tells an open failure from a read failure.
int ReadDirectory(const std::string& path, const TDirectoryEntrySink& sink, bool* opened = nullptr);

} // namespace cv
