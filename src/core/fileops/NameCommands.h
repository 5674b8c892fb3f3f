#pragma once
// What the "Copy as", "New file" and "Rename" dialogs do with the name the
// user typed: one item, one name, the overwrite question where a file would
// be replaced. Warnings keep the dialog open; failures are shown with the
// dialog's own text and close it.

#include "fileops/Overwrite.h"
#include "fileops/UndoJournal.h"

#include <functional>
#include <string>
#include <string_view>

namespace cv {

inline constexpr const char* InvalidNameWarning = "Invalid name.\n\nChange the name !";

// A name a file can have here: not empty, not "." or "..", none of
// < > | " : \ / ? *.
bool IsValidItemName(std::string_view name);

// The name with the time prefix in front ("20261210081530_notes.txt").
std::string PrefixedName(std::string_view name, double dateTime);

enum class TNameStep {
  Stay,  // a warning: the dialog stays open on the item
  Done,  // finished (also when the user chose not to replace anything)
  Failed // a failure was shown
};

// ---- Copy as -------------------------------------------------------------------

enum class TCopyAsMode { Copy, Move, HardLink };
const char* CopyAsFailure(TCopyAsMode mode);

// Copies, moves or hard-links `source` as `destinationDirectory` + `name`.
// A directory source only checks the name: `wholeDirectory` is set and the
// caller hands it to the file operation engine.
TNameStep CopyAsStep(const std::string& source, const std::string& destinationDirectory,
                     const std::string& name, TCopyAsMode mode, TOverwriteDecision& decision,
                     const TOverwriteAsk& ask, bool& wholeDirectory, TUndoRecorder* undo = nullptr);

// ---- New file --------------------------------------------------------------------

enum TNewItemKind : int { nkDirectory = 0, nkFile = 1, nkStream = 2 };
const char* NewItemKindWord(int kind);
// directory + name; files and streams without an extension get ".txt"
// unless the name ends with "." (then the "." goes).
std::string NewItemTitle(const std::string& directory, const std::string& name, int kind);
// Creates the directory or the empty file (a stream is only named).
// `created` is set when something new is on disk. `undo`, when given,
// records it (also for the other steps here).
TNameStep NewItemStep(const std::string& directory, const std::string& name, int kind,
                      std::string& title, bool& created, TUndoRecorder* undo = nullptr);

// ---- Rename ------------------------------------------------------------------------

// Renames `oldTitle` to its path + `name` (the file in file mode; the
// container item through `renameItem` whenever it is given). `renamed` is
// set when something changed.
TNameStep RenameStep(const std::string& oldTitle, const std::string& name, bool fileMode,
                     TOverwriteDecision& decision, const TOverwriteAsk& ask,
                     const std::function<bool(const std::string& newTitle)>& renameItem,
                     bool& renamed, TUndoRecorder* undo = nullptr);

} // namespace cv
