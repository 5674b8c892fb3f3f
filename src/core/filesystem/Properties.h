#pragma once
// The facts the properties window shows for one file, and the recursive
// size count of a directory that the window runs on a worker thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace cv {

struct TStreamFact {
  std::string Name;
  uint64_t Size = 0;
};

struct TFileProperties {
  std::string Title;
  std::string Name;
  // The parent directory's title.
  std::string Location;
  // "Directory", "<description> (<MIME name>)", "Symbolic link to ..." or
  // "Broken symbolic link".
  std::string TypeText;
  bool IsDirectory = false;
  bool IsSymbolicLink = false;
  // Bytes of the file (of a link's target); directories are counted apart.
  uint64_t Size = 0;
  // File times (100 ns units since 1601-01-01 UTC).
  uint64_t ModifiedFileTime = 0;
  uint64_t AccessedFileTime = 0;
  uint64_t StatusChangedFileTime = 0;
  // Zero when the file system keeps no birth time.
  uint64_t BirthFileTime = 0;
  uint32_t OwnerId = 0;
  uint32_t GroupId = 0;
  // The names, or the ids in decimal when the system knows no name.
  std::string OwnerName;
  std::string GroupName;
  // Permission bits with set-id and sticky bits (07777).
  mode_t Mode = 0;
  // What a symbolic link holds, or the reference of a desktop link.
  std::string LinkTarget;
  // The partition that holds the file: its title (":/home"), mount point,
  // file system type and label.
  std::string PartitionTitle;
  std::string MountPoint;
  std::string FileSystemType;
  std::string PartitionLabel;
  // The user attributes; none on a file system that keeps none.
  std::vector<TStreamFact> Streams;
};

// Facts of a symbolic link are those of its target (as listings show it and
// chmod changes it), of the link itself when it is broken.
bool LoadFileProperties(const std::string& title, TFileProperties& out);

// Changes the permission bits (chmod follows a symbolic link).
bool SetFileMode(const std::string& title, mode_t mode);

// "rwxr-x---" with s/S and t/T where set-id and sticky bits are set.
std::string ModeText(mode_t mode);

// Totals of a directory's contents (the directory itself is not counted).
struct TDirectoryCount {
  uint64_t Files = 0;
  uint64_t Directories = 0;
  // Bytes of regular files.
  uint64_t Bytes = 0;
  // Directories that could not be opened or read to the end.
  uint64_t Unreadable = 0;
};

// Hears every counted entry with the totals so far and its title; it runs
// on the counting thread.
using TDirectoryCountProgress =
    std::function<void(const TDirectoryCount& count, const std::string& entryTitle)>;

// Walks the directory (a link to one counts as the directory) in name
// order without following symbolic links below it. Entries that vanish
// during the walk are skipped. Touches nothing global and raises nothing,
// so it can run on any thread. False when `cancel` stopped it.
bool CountDirectory(const std::string& title, const std::atomic<bool>& cancel,
                    TDirectoryCount& count, const TDirectoryCountProgress& progress = {});

} // namespace cv
