#pragma once
// Descriptor-level building blocks of the file primitives: every helper
// returns 0 or an errno and never raises, so the guarded callers decide
// which message a failure gets.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace cv {

// An owned descriptor, closed when the object ends.
class TFileHandle {
public:
  TFileHandle() = default;
  explicit TFileHandle(int fd) : Fd(fd) {}
  ~TFileHandle() { Reset(); }
  TFileHandle(TFileHandle&& other) noexcept : Fd(other.Release()) {}
  TFileHandle& operator=(TFileHandle&& other) noexcept;
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;

  int Get() const { return Fd; }
  bool Valid() const { return Fd >= 0; }
  int Release();
  void Reset();
  // Closes and reports the close's errno (a late write error shows here).
  int Close();

private:
  int Fd = -1;
};

// The directory that holds a title's last component, opened as O_PATH so
// that titles of any length work with the *at calls; `Name` is that component.
class TParentDirectory {
public:
  explicit TParentDirectory(const std::string& title);
  TFileHandle Handle;
  std::string Name;
  int Error = 0;
};

// A path the kernel takes for a descriptor plus a relative name, shorter
// than PATH_MAX whatever the title's length (for calls without an *at form).
std::string DescriptorPath(int directory, std::string_view name);

// Opens the data of a regular file for reading; FIFOs, sockets and devices
// are refused with ENOTSUP before anything opens their data. The file is
// checked through an O_PATH descriptor and then reopened, so it cannot be
// swapped between the check and the open.
int OpenRegularForReading(const std::string& title, bool followLinks, TFileHandle& out);

// A fresh hidden name for a temporary entry.
std::string NewTemporaryName();
// Whether the name is one NewTemporaryName could have made.
bool IsTemporaryName(std::string_view name);
// Tries fresh temporary names until `make` (returning 0 or the errno)
// succeeds with one that was not taken; `name` is the one used.
int MakeWithTemporaryName(std::string& name, const std::function<int(const char*)>& make);
// Creates an empty private file with a fresh hidden name in `directory`.
int CreateTemporaryAt(int directory, std::string& name, TFileHandle& out);

// Writes all bytes, retrying short writes; a write that makes no progress is ENOSPC.
int WriteAll(int fd, std::string_view data);
// Reads up to `limit` bytes (all when `limit` is 0) from the current position.
int ReadAll(int fd, uint64_t limit, std::string& out);

// Copies the whole content of `from` into the empty `to` at the same
// offsets, extent by extent: holes stay holes and the length is set at the
// end. `progress` hears the position reached after each chunk and returns
// false to cancel (ECANCELED).
int CopyData(int from, int to, const std::function<bool(uint64_t)>& progress);

// unlinkat of a title of any length (AT_REMOVEDIR for a directory).
int UnlinkTitle(const std::string& title, int flags);

// fsync of the directory itself (the entry of a rename or link is durable).
void SyncDirectory(int directory);

// Copies every user attribute (the data streams) between two open files.
// Returns 0 or the errno; ENOTSUP only when the source has streams that the
// destination cannot keep.
int CopyStreamsBetween(int source, int destination);

// Removes what killed copies left in `directory` under temporary names:
// regular files of this user whose status last changed before `olderThan`
// (seconds since the epoch). Failures to list or remove are ignored.
void RemoveStaleTemporaries(int directory, int64_t olderThan);
// RemoveStaleTemporaries for entries older than a day, at most once a
// minute per directory in this process, so a copy may call it every time.
void RemoveStaleTemporariesOnce(int directory);

// A private file beside a destination that takes the new content and then
// its place, so the old destination survives every failure. Where the file
// system allows it the file has no name until the commit (O_TMPFILE), so a
// process killed midway leaves nothing behind; elsewhere it has a hidden
// temporary name. Without a commit the file is removed when the object ends.
class TTemporaryFile {
public:
  explicit TTemporaryFile(const std::string& destination);
  ~TTemporaryFile();
  TTemporaryFile(const TTemporaryFile&) = delete;
  TTemporaryFile& operator=(const TTemporaryFile&) = delete;

  int Fd() const { return Handle.Get(); }
  int Directory() const { return Parent.Handle.Get(); }
  const std::string& DestinationName() const { return Parent.Name; }
  // 0, or the errno of finding the directory or creating the file.
  int Error = 0;
  // Renames the file over the destination; without `overwrite` an existing
  // destination (even one that appeared meanwhile) stays and EEXIST is
  // returned. `durable` flushes the data first and the directory after:
  // needed when the rename replaces a file or a source is deleted next.
  int Commit(bool overwrite, bool durable);

private:
  TParentDirectory Parent;
  TFileHandle Handle;
  std::string Name;
  bool Committed = false;
};

// Replaces a file's content, keeping its mode, owner and every extended
// attribute (streams, ACLs, labels); `mustExist` refuses a missing file with
// ENOENT. A file the caller may not write is refused (EACCES) even where its
// directory would allow the replacement. Normally a new file takes the old
// one's place by rename, so a failure leaves the old content whole; a file
// with more than one link, or whose owner or attributes this process cannot
// give a new file, is written in place after its space is reserved, so every
// name keeps seeing one file. A symbolic link is followed and its target
// replaced. `created` tells whether the failure came after the file to
// write was opened or made (a write rather than an open). `addMode` joins
// the kept (or new) mode.
int ReplaceFileContent(const std::string& title, std::string_view data, bool mustExist,
                       bool* created = nullptr, mode_t addMode = 0);

} // namespace cv
