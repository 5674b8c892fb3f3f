#pragma once
// The column's commands on its active file that need more than one call:
// clipping parts of the title, the title named by the clipboard, pasting
// the clipboard's picture, editing, and attaching a file as a stream.

#include <string>
#include <vector>

namespace cv {

enum class TClipPart { Name, Path, Title, Reference };
// The text a clip command puts on the clipboard.
std::string ClipPartText(const std::string& activeTitle, TClipPart part);
// The failure message of each clip command.
const char* ClipPartFailure(TClipPart part);

// The title the clipboard names: its first non-blank line (a "file:" URL
// becomes its path), normalised; empty when there is none.
std::string TitleFromClipboardText(const std::string& text);

// The file "Paste picture" writes in `directory`.
std::string ClipboardPictureTitle(const std::string& directory);
// Saves the clipboard's picture there as a bitmap, asking before it
// replaces one. A show point: "Failed to paste clipboard picture.". False
// when nothing was written (also when the user said no).
bool PasteClipboardPicture(const std::string& directory);

// Runs the editor link with the reference of `title`; without an editor
// link the file opens with its default application. A show point: "Failed
// to edit file.".
bool EditFile(const std::string& title);

// The "Attach stream" menu's stream names of `destination`: at most 30;
// none where the file system keeps no user attributes. False (and the
// failure left in the status context) when the listing failed.
bool AttachStreamNames(const std::string& destination, std::vector<std::string>& names);
// Copies the content of `source` into stream `stream` of `destination`,
// asking first when that stream is not empty. A content larger than a
// stream may hold is refused before anything is written. A show point:
// "Failed to attach stream.".
bool AttachStream(const std::string& source, const std::string& destination,
                  const std::string& stream);

} // namespace cv
