#pragma once
// The single-file and single-directory operations every file command rests
// on. All are guarded functions: they report through FunStatContext with the
// system's errno. None of them ever deletes or truncates a destination
// before the new data is safely in place, and a user cancel (the progress
// event answering false) is no failure.

#include <cstdint>
#include <string>
#include <string_view>

namespace cv {

// Copies the file's content (holes stay holes), streams, mode and times
// into a temporary file beside the destination, then puts it into place
// (never replacing an existing destination unless `overwrite`). A symbolic
// link is copied as a link with the same target, wherever that points.
// Copying a file onto itself, and copying FIFOs, sockets or devices, is
// refused. A destination without streams fails with ENOTSUP for a source
// that has some, unless `dropStreams` (the user agreed to lose them).
// Progress goes to FileUnitLoader.OnProgress. True when the copy is in place.
bool MyCopyFile(const std::string& source, const std::string& destination, bool overwrite,
                bool allowDecrypted = false, bool dropStreams = false);
// Renames; across file systems copies the file (or recreates the link),
// flushes it and only then removes the source; `dropStreams` as for the copy.
bool MyMoveFile(const std::string& source, const std::string& destination, bool overwrite,
                bool dropStreams = false);
// MyMoveFile of the entry `name` of the open directory `directory`, so
// that the entry moved is the one in that directory whatever its title
// leads to meanwhile; `source` names it in messages.
bool MyMoveFileAt(int directory, const std::string& name, const std::string& source,
                  const std::string& destination, bool overwrite, bool dropStreams = false);
// Renames within one file system.
bool MyRenameFile(const std::string& oldTitle, const std::string& newTitle, bool overwrite);
// Removes the entry (a symbolic link itself, never its target).
bool MyDeleteFile(const std::string& title);
// MyDeleteFile of the entry `name` of the open directory `directory`;
// `title` names it in messages.
bool MyDeleteFileAt(int directory, const std::string& name, const std::string& title);
// Gives the entry `from` of `directory` the name `to` through a fresh
// temporary name: on a file system that folds case, the one way to change
// only the case of a name, which a direct rename takes for a rename onto
// itself. Nothing is replaced: an existing `to` fails with EEXIST and the
// entry keeps its old name. Returns 0 or the errno.
int RespellEntryAt(int directory, const std::string& from, const std::string& to);
// Copies a tree (copy true) or empties and removes it (copy false); hidden
// and special files are left out, symbolic links are copied as links and
// never followed. Single-file failures are not reported.
void CopyDeleteDirectory(const std::string& source, const std::string& destination, bool copy);
// Deletes a whole tree, going on after failures; never follows links.
void DeleteDirectoryNoErrors(const std::string& directory);
// True when the directory holds no subdirectory (files do not count).
bool IsDirectoryEmpty(const std::string& directory);
// The main stream into `buffer`: at most `capacity` bytes. A larger file
// is cut with a warning when `cut`, else refused. Returns the bytes read.
uint64_t LoadFileToBuffer(const std::string& title, std::string& buffer, uint64_t capacity,
                          bool cut);
// Creates the file with the bytes, or replaces its content as
// ReplaceFileContent does (refused when the file is not writable).
bool SaveBufferToFile(const std::string& title, std::string_view data);
// A new name for an existing file (same file system). With `overwrite` an
// existing destination is replaced in one step, never deleted first.
bool MyCreateHardLink(const std::string& newTitle, const std::string& existingTitle,
                      bool overwrite);
// The trees that are never deleted whole: "", "/" and the home directory.
bool IsProtectedTree(const std::string& directory);

} // namespace cv
