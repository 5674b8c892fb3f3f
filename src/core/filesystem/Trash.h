#pragma once
// The trash: the freedesktop.org Trash specification through GIO.

#include <string>

namespace cv {

// Moves a file or directory to the trash. Where no trash can take it,
// fails with "Failed to recycle."; it never deletes instead.
bool RecycleFile(const std::string& title);

} // namespace cv
