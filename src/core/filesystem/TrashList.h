#pragma once
// What the desktop's trash holds, read in the freedesktop.org trash layout
// that desktops share: the home trash and the ".Trash/$uid" and
// ".Trash-$uid" directories at the top of mounted partitions, each with
// "files/" and "info/<name>.trashinfo". Names are bytes throughout.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

// The title of the partitions list's item that opens the trash; it is
// neither a path nor a partition title, so it names nothing on disk.
inline constexpr std::string_view TrashTitle = ":Trash";
inline bool IsTrashTitle(std::string_view title) {
  return title == TrashTitle;
}

// One trash directory and the directory its relative paths start from.
struct TTrashDirectory {
  std::string Path; // without a trailing "/"
  std::string Top;  // without a trailing "/", "" for the root
};

struct TTrashEntry {
  std::string Title;         // the item itself: Path + "/files/" + name
  std::string InfoTitle;     // Path + "/info/" + name + ".trashinfo"
  std::string OriginalTitle; // where it came from, absolute
  std::string DeletionDate;  // as written, "YYYY-MM-DDThh:mm:ss"
};

struct TTrashListing {
  std::vector<TTrashEntry> Entries;
  // One line per info file that could not be used; already logged.
  std::vector<std::string> Notes;
};

// "$XDG_DATA_HOME/Trash" (or "~/.local/share/Trash"), whether it exists or not.
TTrashDirectory HomeTrash();
// The home trash and the partitions' trash directories that exist and pass
// the freedesktop.org trash layout's checks (sticky, not a link), each
// directory once. Remote partitions are not asked.
std::vector<TTrashDirectory> TrashDirectories();
// The usable trash directories at the top of one partition.
std::vector<TTrashDirectory> PartitionTrashDirectories(const std::string& topDirectory);
// The entries of one trash directory; an info file that cannot be read or
// parsed, or whose item is gone, becomes a note, not a failure. Opened by
// descriptor, symbolic links never followed.
void ListTrashDirectory(const TTrashDirectory& trash, TTrashListing& listing);
// Every trash directory.
TTrashListing ListTrash();
// Everything in the trash directory's "files/", whether an info file tells
// of it or not, each with the info file title it would have (no original
// title); what emptying the trash deletes.
void ListTrashItems(const TTrashDirectory& trash, std::vector<TTrashEntry>& items);
// After items were deleted: info files whose item is gone are removed, and
// the "directorysizes" cache keeps the lines of directories still there
// (it goes when none is). Failures are shown; false when one happened.
bool TidyTrashDirectory(const TTrashDirectory& trash);

// "%2F" and the like turned back into bytes; false for a broken escape.
bool PercentDecode(std::string_view text, std::string& bytes);
// Path= (decoded) and DeletionDate= of the [Trash Info] group.
bool ParseTrashInfo(std::string_view text, std::string& path, std::string& deletionDate);
// "2026-01-31T10:20:30" as "2026-01-31 10:20:30".
std::string DeletionDateText(std::string_view date);

} // namespace cv
