#pragma once
// The trash: the freedesktop.org Trash specification through GIO.

#include <cstdint>
#include <string>
#include <vector>

namespace cv {

// Moves a file or directory to the trash. Where no trash can take it,
// fails with "Failed to recycle."; it never deletes instead.
bool RecycleFile(const std::string& title);

// Where the trash put an item: its entry under "files/" and the ".trashinfo"
// file beside it under "info/".
struct TTrashedEntry {
  std::string File, Info;
};

// RecycleFile that also finds the trashed item: the trash directories that
// may have taken it (the home trash and those of the item's partition) are
// searched for an entry that is the very same inode, so a namesake trashed
// by another program is never taken for it. `where` stays empty when the
// item went but could not be found again.
bool RecycleFileLocated(const std::string& title, TTrashedEntry& where);

// The trash directories an item on `title`'s partition may go to, the home
// trash first (each with a trailing "/").
std::vector<std::string> TrashDirectoriesFor(const std::string& title);

} // namespace cv
