#pragma once
// "Go to path": what a path typed or pasted over a column's header names,
// and the directory names that complete it. Everything here is bytes; the
// edit box's QString is only its picture (`TTypedBytes`).
//
// Asking the disk (and the password database for "~user") may block on a
// dead mount or a slow directory service: `ResolveTypedPath` and
// `ListCompletionNames` are meant for a worker thread.

#include "foundation/Error.h"

#include <QString>

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

// The absolute path that `typed` names, lexically normalised, with a trailing
// "/" only for the root: "~" and "~user" are the home directories, a
// "file://" address is percent-decoded into bytes, a relative path is taken
// inside `baseDirectory` (an absolute path). False, with the failure in
// FunStatContext, for an unknown user, a foreign or broken address, an empty
// text or one with NUL, CR or LF.
bool ExpandTypedPath(std::string_view typed, const std::string& baseDirectory, std::string& path);

struct TTypedPath {
  // The directory to show as a title (":/" for the root, else no trailing
  // "/"); empty when the path could not be resolved.
  std::string Directory;
  // The file the path ends in, to focus; empty for a directory.
  std::string FileName;
  // Failure of the expansion or of the look-up (fsPerfect when found).
  TFunStatContext Status;
  bool Found() const { return !Directory.empty(); }
};

// Expands `typed` and looks at what is there: a directory (a link to one
// counts) is shown, anything else is focused in its directory.
TTypedPath ResolveTypedPath(std::string_view typed, const std::string& baseDirectory);

// One plain line for a failed resolution: "<path>: <system text>" or the
// failure's own description.
std::string TypedPathMessage(const TFunStatContext& status);

// ---- Completion ----------------------------------------------------------

// The typed text split after its last "/": the directory part as typed
// ("/us" -> "/", "us"; "~" -> "", "~"), which the names complete.
struct TCompletionSplit {
  std::string DirectoryPart;
  std::string NamePrefix;
};
TCompletionSplit SplitForCompletion(std::string_view typed);

// The names of the subdirectories (links to directories count) of the
// directory that the typed `directoryPart` names. Stops when `cancel` is set.
struct TCompletionListing {
  std::string Directory; // the absolute path listed, with a trailing "/"
  std::vector<std::string> Names;
  TFunStatContext Status;
};
TCompletionListing ListCompletionNames(const std::string& directoryPart,
                                       const std::string& baseDirectory,
                                       const std::atomic<bool>* cancel = nullptr);

// The names that start with `prefix`, byte for byte, in byte order; when none
// does, those that start with it with ASCII case ignored. Names starting
// with "." only for a prefix that does.
std::vector<std::string> CompletionCandidates(const std::vector<std::string>& names,
                                              std::string_view prefix);

// The longest common prefix of the names, never ending inside a UTF-8
// character that the names go on with.
std::string CommonNamePrefix(const std::vector<std::string>& names);

// ---- The box's bytes -----------------------------------------------------

// The bytes an edit box stands for. A name that is not UTF-8 shows each
// stray byte as U+FFFD; an edit keeps the bytes of the part left untouched
// and takes the rest as typed. A replacement character in the typed rest
// cannot be turned back into its byte: the text is then `Broken`.
class TTypedBytes {
public:
  void Set(std::string bytes);
  // The box's text changed to `text`.
  void Edited(const QString& text);
  const std::string& Bytes() const { return Value; }
  const QString& Shown() const { return Picture; }
  bool Broken() const { return Lost; }
  // How `bytes` shows: valid UTF-8 as text, each other byte as U+FFFD.
  static QString Display(std::string_view bytes);

private:
  std::string Value;
  QString Picture;
  bool Lost = false;
};

} // namespace cv
