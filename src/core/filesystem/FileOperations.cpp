#include "filesystem/FileOperations.h"

#include "filesystem/DirectoryReader.h"
#include "filesystem/File.h"
#include "filesystem/FileHandles.h"
#include "foundation/Guard.h"
#include "foundation/UserInterface.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace cv {

namespace {

uint32_t Code(int code) {
  return static_cast<uint32_t>(code);
}

// The errno given when an operation would act on a file through a second
// name of itself.
constexpr int SameFileCode = EINVAL;

bool SameInode(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// EINVAL when the destination (links followed) is the open source itself.
int RefuseSameFile(int source, const std::string& destination) {
  struct stat from {};
  struct stat to {};
  if (::fstat(source, &from) != 0) return errno;
  const TTitleAt at(destination);
  if (at.Error == 0 && ::fstatat(at.Directory, at.Name.c_str(), &to, 0) == 0 && SameInode(from, to))
    return SameFileCode;
  return 0;
}

// Mode, owner (only root can give a file away) and times of the source.
int CopyAttributes(const struct stat& from, int to) {
  if (::geteuid() == 0 && ::fchown(to, from.st_uid, from.st_gid) != 0) return errno;
  if (::fchmod(to, from.st_mode & 07777) != 0) return errno;
  const struct timespec times[2] = {from.st_atim, from.st_mtim};
  if (::futimens(to, times) != 0) return errno;
  return 0;
}

bool SameDirectory(int a, int b) {
  struct stat first {};
  struct stat second {};
  return ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 && SameInode(first, second);
}

// The directory holds an entry spelled exactly `name` (byte for byte, as
// readdir gives it, whatever the file system folds); true when unreadable.
bool ListsExactly(int directory, const std::string& name) {
  const int fd = ::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
  DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
  if (!dir) {
    if (fd >= 0) ::close(fd);
    return true;
  }
  bool found = false;
  errno = 0;
  while (const dirent* entry = ::readdir(dir))
    if (name == entry->d_name) {
      found = true;
      break;
    }
  const bool failed = !found && errno != 0;
  ::closedir(dir);
  return found || failed;
}

} // namespace

int RespellEntryAt(int directory, const std::string& from, const std::string& to) {
  std::string temp;
  if (const int code = MakeWithTemporaryName(temp, [&](const char* name) {
        return ::renameat2(directory, from.c_str(), directory, name, RENAME_NOREPLACE) == 0 ? 0
                                                                                            : errno;
      }))
    return code;
  if (::renameat2(directory, temp.c_str(), directory, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  const int code = errno;
  ::renameat2(directory, temp.c_str(), directory, from.c_str(), RENAME_NOREPLACE);
  return code;
}

namespace {

// Renames an entry; EINVAL when both names are one file (a hard link or
// the same entry through a linked directory), where a rename would report
// success and do nothing. Another spelling of one entry in its directory
// (a file system that folds case) is renamed in two steps, since the
// kernel takes that rename for one onto itself as well.
int RenameEntryAt(int fromDirectory, const std::string& fromName, int toDirectory,
                  const std::string& toName, bool overwrite) {
  struct stat own {};
  struct stat other {};
  if (::fstatat(fromDirectory, fromName.c_str(), &own, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  if (::fstatat(toDirectory, toName.c_str(), &other, AT_SYMLINK_NOFOLLOW) == 0 &&
      SameInode(own, other)) {
    // A second entry spelled exactly so is a hard link, not a spelling.
    if (fromName != toName && SameDirectory(fromDirectory, toDirectory) &&
        !ListsExactly(fromDirectory, toName))
      return RespellEntryAt(fromDirectory, fromName, toName);
    return SameFileCode;
  }
  const unsigned flags = overwrite ? 0 : RENAME_NOREPLACE;
  if (::renameat2(fromDirectory, fromName.c_str(), toDirectory, toName.c_str(), flags) == 0)
    return 0;
  if (errno != EINVAL || overwrite || S_ISDIR(own.st_mode)) return errno;
  // File systems without the no-replace rename: a link never replaces a name.
  if (::linkat(fromDirectory, fromName.c_str(), toDirectory, toName.c_str(), 0) != 0) return errno;
  return ::unlinkat(fromDirectory, fromName.c_str(), 0) == 0 ? 0 : errno;
}

int RenameEntry(const std::string& source, const std::string& destination, bool overwrite) {
  const TParentDirectory from(source), to(destination);
  if (from.Error != 0) return from.Error;
  if (to.Error != 0) return to.Error;
  return RenameEntryAt(from.Handle.Get(), from.Name, to.Handle.Get(), to.Name, overwrite);
}

// Recreates a symbolic link beside the destination and renames it into place.
int CopySymbolicLinkAt(int fromDirectory, const std::string& fromName, int toDirectory,
                       const std::string& toName, bool overwrite) {
  std::string target(4096, '\0');
  const ssize_t size = ::readlinkat(fromDirectory, fromName.c_str(), target.data(), target.size());
  if (size < 0) return errno;
  target.resize(static_cast<size_t>(size));
  struct stat own {};
  struct stat other {};
  // The same entry reached through a linked directory: the copy would be itself.
  if (::fstatat(fromDirectory, fromName.c_str(), &own, AT_SYMLINK_NOFOLLOW) == 0 &&
      ::fstatat(toDirectory, toName.c_str(), &other, AT_SYMLINK_NOFOLLOW) == 0 &&
      SameInode(own, other))
    return SameFileCode;
  std::string temp;
  if (const int code = MakeWithTemporaryName(temp, [&](const char* name) {
        return ::symlinkat(target.c_str(), toDirectory, name) == 0 ? 0 : errno;
      }))
    return code;
  const unsigned flags = overwrite ? 0 : RENAME_NOREPLACE;
  int result = ::renameat2(toDirectory, temp.c_str(), toDirectory, toName.c_str(), flags);
  if (result != 0 && !overwrite && errno == EINVAL) {
    // File systems without the no-replace rename: a link never replaces a name.
    result = ::linkat(toDirectory, temp.c_str(), toDirectory, toName.c_str(), 0);
    if (result == 0) ::unlinkat(toDirectory, temp.c_str(), 0);
  }
  if (result != 0) {
    const int code = errno;
    ::unlinkat(toDirectory, temp.c_str(), 0);
    return code;
  }
  SyncDirectory(toDirectory);
  return 0;
}

int CopySymbolicLink(int fromDirectory, const std::string& fromName, const std::string& destination,
                     bool overwrite) {
  const TParentDirectory to(destination);
  if (to.Error != 0) return to.Error;
  return CopySymbolicLinkAt(fromDirectory, fromName, to.Handle.Get(), to.Name, overwrite);
}

// The progress event as the copy loop hears it: bytes done of `total`.
std::function<bool(uint64_t)> ProgressOf(uint64_t total) {
  if (total == 0 || !FileUnitLoader.OnProgress) return {};
  return [total](uint64_t done) {
    return FileUnitLoader.OnProgress(std::min(1.0, static_cast<double>(done) / total));
  };
}

std::string Child(const std::string& directory, const std::string& name) {
  return IncludeDelimiter(directory) + name;
}

// The level of a walk: the top one by its title, the others as listed by their parent.
void OpenLevel(std::optional<TDirectoryLevel>& level, const TDirectoryLevel* parent,
               const TLevelEntry* entry, const std::string& title) {
  if (parent)
    level.emplace(*parent, *entry);
  else
    level.emplace(title);
}

// One level of the install copy or uninstall delete. Directory-level
// failures are kept in `failure` (the first one) and the walk goes on.
void ProcessTree(const TDirectoryLevel* parent, const TLevelEntry* listed,
                 const std::string& source, const std::string& destination, bool copy,
                 TFunStatContext& failure) {
  auto keep = [&](std::string_view description, int code) {
    if (!failure.Failed())
      failure.SetRaiseContext(fsError, __FILE__, "CopyDeleteDirectory", __LINE__,
                              std::string(description), source, destination, Code(code));
  };
  std::optional<TDirectoryLevel> level;
  OpenLevel(level, parent, listed, source);
  TFileHandle made;
  if (copy) {
    const TParentDirectory target(destination);
    // Private while it fills: a read-only source directory still takes its content.
    const int code = level->Error != 0   ? level->Error
                     : target.Error != 0 ? target.Error
                     : ::mkdirat(target.Handle.Get(), target.Name.c_str(), S_IRWXU) != 0 ? errno
                                                                                         : 0;
    if (LastErrorFailedExceptExists(code)) return keep("Failed to create directory.", code);
    if (code == 0)
      made = TFileHandle(::openat(target.Handle.Get(), target.Name.c_str(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  } else if (level->Error != 0) {
    return keep("Failed to find first file.", level->Error);
  }
  if (const int code = level->Read(); code != 0) keep("Failed to find first file.", code);
  for (const TLevelEntry& entry : level->Entries) {
    if (entry.Attributes & (faHidden | faSystem)) continue;
    const std::string from = Child(source, entry.Name);
    const std::string to = Child(destination, entry.Name);
    if (entry.Attributes & faReparsePoint) {
      if (copy)
        CopySymbolicLink(level->Fd(), entry.Name, to, true);
      else
        ::unlinkat(level->Fd(), entry.Name.c_str(), 0);
    } else if (entry.Attributes & faDirectory) {
      ProcessTree(&*level, &entry, from, to, copy, failure);
    } else if (copy) {
      // Read through the held directory, never through a name swapped meanwhile.
      MyCopyFile(DescriptorPath(level->Fd(), entry.Name), to, true);
    } else {
      ::unlinkat(level->Fd(), entry.Name.c_str(), 0);
    }
  }
  if (made.Valid()) ::fchmod(made.Get(), level->Facts().st_mode & 07777);
  if (!copy) level->Remove();
}

// Empties the held directory `title`; failures of its subdirectories are
// passed over, a failed read of its own raises once the rest is done.
void DeleteLevel(TGuard& guard, TDirectoryLevel& level, const std::string& title) {
  const int code = level.Read();
  for (const TLevelEntry& entry : level.Entries) {
    if (entry.IsDirectory()) {
      TGuard inner("DeleteDirectoryNoErrors");
      inner.Run([&] {
        const std::string child = Child(title, entry.Name);
        TDirectoryLevel sub(level, entry);
        if (sub.Error != 0) inner.Raise("Can not find directory.", child, {}, Code(sub.Error));
        DeleteLevel(inner, sub, child);
      });
    } else {
      ::unlinkat(level.Fd(), entry.Name.c_str(), 0);
    }
  }
  level.Remove();
  if (code != 0) guard.Raise("Failed to delete directory content.", title, {}, Code(code));
}

void DeleteTree(TGuard& guard, const std::string& directory) {
  TDirectoryLevel level(directory);
  if (level.Error != 0) guard.Raise("Can not find directory.", directory, {}, Code(level.Error));
  DeleteLevel(guard, level, directory);
}

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  const struct passwd* user = ::getpwuid(::getuid());
  return user && user->pw_dir ? user->pw_dir : std::string();
}

} // namespace

namespace {

// The copy behind MyCopyFile and the cross-device move; `durable` when the
// source is deleted next.
bool CopyFileThroughTemporary(const std::string& source, const std::string& destination,
                              bool overwrite, bool durable, bool dropStreams) {
  TGuard guard("MyCopyFile");
  return guard.Run(false, [&] {
    auto fail = [&](int code) {
      guard.Raise("Failed to copy file.", source, destination, Code(code));
    };
    // Not following: a source that became a link meanwhile is not copied as its target.
    TFileHandle input;
    if (const int code = OpenRegularForReading(source, false, input)) fail(code);
    struct stat from {};
    if (::fstat(input.Get(), &from) != 0) fail(errno);
    if (const int code = RefuseSameFile(input.Get(), destination)) fail(code);
    const bool replacing = TitleExists(destination);
    if (!overwrite && replacing) fail(EEXIST); // spares a useless copy
    TTemporaryFile temp(destination);
    if (temp.Error != 0) fail(temp.Error);
    RemoveStaleTemporariesOnce(temp.Directory());
    // Streams first: one that does not fit fails before the data is copied.
    if (const int code = CopyStreamsBetween(input.Get(), temp.Fd());
        code != 0 && !(dropStreams && code == ENOTSUP))
      fail(code);
    const int copied =
        CopyData(input.Get(), temp.Fd(), ProgressOf(static_cast<uint64_t>(from.st_size)));
    if (copied == ECANCELED) return false; // the user's choice, no failure
    if (copied != 0) fail(copied);
    if (const int code = CopyAttributes(from, temp.Fd())) fail(code);
    // A new file needs no flush: until it is on disk the source still is.
    if (const int code = temp.Commit(overwrite, durable || replacing)) fail(code);
    return true;
  });
}

} // namespace

bool MyCopyFile(const std::string& source, const std::string& destination, bool overwrite,
                bool /*allowDecrypted: no encrypted files here*/, bool dropStreams) {
  struct statx own {};
  if (StatxTitle(source, false, STATX_TYPE, &own) != 0 || !S_ISLNK(own.stx_mode))
    return CopyFileThroughTemporary(source, destination, overwrite, false, dropStreams);
  // A link is copied as the link it is, wherever (or whether) it points.
  TGuard guard("MyCopyFile");
  return guard.Run(false, [&] {
    const TParentDirectory from(source);
    if (const int code = from.Error != 0
                             ? from.Error
                             : CopySymbolicLink(from.Handle.Get(), from.Name, destination, overwrite))
      guard.Raise("Failed to copy file.", source, destination, Code(code));
    return true;
  });
}

namespace {

// The move behind MyMoveFile and MyMoveFileAt: `name` of `directory` to
// `destination`; the titles name both in messages.
bool MoveEntry(TGuard& guard, int directory, const std::string& name, const std::string& source,
               const std::string& destination, bool overwrite, bool dropStreams) {
  auto fail = [&](int code) {
    guard.Raise("Failed to move file.", source, destination, Code(code));
  };
  const TParentDirectory to(destination);
  if (to.Error != 0) fail(to.Error);
  const int renamed = RenameEntryAt(directory, name, to.Handle.Get(), to.Name, overwrite);
  if (renamed == 0) return true;
  if (renamed != EXDEV) fail(renamed);
  struct statx own {};
  if (::statx(directory, name.c_str(), AT_SYMLINK_NOFOLLOW, STATX_TYPE, &own) != 0) fail(errno);
  if (S_ISLNK(own.stx_mode)) {
    if (const int code = CopySymbolicLinkAt(directory, name, to.Handle.Get(), to.Name, overwrite))
      fail(code);
  } else if (S_ISREG(own.stx_mode)) {
    // The copy is flushed and in place before the source goes; both ends
    // are reached through the directories held here.
    if (!CopyFileThroughTemporary(DescriptorPath(directory, name),
                                  DescriptorPath(to.Handle.Get(), to.Name), overwrite, true,
                                  dropStreams)) {
      if (FunStatContext.Failed()) fail(static_cast<int>(FunStatContext.SystemErrorCode));
      return false; // cancelled
    }
  } else {
    fail(EXDEV); // directories and special files move through the tree walker
  }
  if (::unlinkat(directory, name.c_str(), 0) != 0) fail(errno);
  return true;
}

} // namespace

bool MyMoveFile(const std::string& source, const std::string& destination, bool overwrite,
                bool dropStreams) {
  TGuard guard("MyMoveFile");
  return guard.Run(false, [&] {
    const TParentDirectory from(source);
    if (from.Error != 0) guard.Raise("Failed to move file.", source, destination, Code(from.Error));
    return MoveEntry(guard, from.Handle.Get(), from.Name, source, destination, overwrite,
                     dropStreams);
  });
}

bool MyMoveFileAt(int directory, const std::string& name, const std::string& source,
                  const std::string& destination, bool overwrite, bool dropStreams) {
  TGuard guard("MyMoveFile");
  return guard.Run(false, [&] {
    return MoveEntry(guard, directory, name, source, destination, overwrite, dropStreams);
  });
}

bool MyRenameFile(const std::string& oldTitle, const std::string& newTitle, bool overwrite) {
  TGuard guard("MyRenameFile");
  return guard.Run(false, [&] {
    if (const int code = RenameEntry(oldTitle, newTitle, overwrite))
      guard.Raise("Failed to rename.", oldTitle, newTitle, Code(code));
    return true;
  });
}

bool MyDeleteFile(const std::string& title) {
  TGuard guard("MyDeleteFile");
  return guard.Run(false, [&] {
    if (const int code = UnlinkTitle(title, 0))
      guard.Raise("Failed to delete file.", title, {}, Code(code));
    return true;
  });
}

bool MyDeleteFileAt(int directory, const std::string& name, const std::string& title) {
  TGuard guard("MyDeleteFile");
  return guard.Run(false, [&] {
    if (::unlinkat(directory, name.c_str(), 0) != 0)
      guard.Raise("Failed to delete file.", title, {}, Code(errno));
    return true;
  });
}

bool MyCreateHardLink(const std::string& newTitle, const std::string& existingTitle,
                      bool overwrite) {
  TGuard guard("MyCreateHardLink");
  return guard.Run(false, [&] {
    auto fail = [&](int code) {
      guard.Raise("Failed to copy as hard-link.", existingTitle, newTitle, Code(code));
    };
    const TParentDirectory from(existingTitle), to(newTitle);
    if (from.Error != 0) fail(from.Error);
    if (to.Error != 0) fail(to.Error);
    const int source = from.Handle.Get(), target = to.Handle.Get();
    if (!overwrite) {
      if (::linkat(source, from.Name.c_str(), target, to.Name.c_str(), 0) != 0) fail(errno);
      return true;
    }
    std::string temp;
    if (const int code = MakeWithTemporaryName(temp, [&](const char* name) {
          return ::linkat(source, from.Name.c_str(), target, name, 0) == 0 ? 0 : errno;
        }))
      fail(code);
    if (::renameat(target, temp.c_str(), target, to.Name.c_str()) != 0) {
      const int code = errno;
      ::unlinkat(target, temp.c_str(), 0);
      fail(code);
    }
    return true;
  });
}

bool IsProtectedTree(const std::string& directory) {
  const std::string normal = ExcludeDelimiter(NormalizeTitle(directory));
  if (normal.empty() || IsPartitionTitle(normal)) return true;
  const std::string home = HomeDirectory();
  return !home.empty() && IsSameFile(normal, home);
}

void CopyDeleteDirectory(const std::string& source, const std::string& destination, bool copy) {
  TGuard guard("CopyDeleteDirectory");
  guard.Run([&] {
    if (destination.empty()) guard.Raise("Empty destination name.");
    if (!copy && IsProtectedTree(source))
      guard.Raise("Failed to process directory.", source, {}, Code(EPERM));
    TFunStatContext failure;
    ProcessTree(nullptr, nullptr, source, destination, copy, failure);
    if (failure.Failed())
      guard.Raise(failure.Description, failure.Parameter1, failure.Parameter2,
                  failure.SystemErrorCode);
  });
  if (guard.Failed())
    ShowMessageBox("Error", "Failed to process directory.", mbOkCancel | mbIconStop);
}

void DeleteDirectoryNoErrors(const std::string& directory) {
  TGuard guard("DeleteDirectoryNoErrors");
  guard.Run([&] {
    if (IsProtectedTree(directory))
      guard.Raise("Failed to delete directory content.", directory, {}, Code(EPERM));
    DeleteTree(guard, directory);
  });
}

bool IsDirectoryEmpty(const std::string& directory) {
  TGuard guard("IsDirectoryEmpty");
  return guard.Run(true, [&] {
    bool subdirectory = false;
    const int code = ReadDirectory(directory, [&](std::string_view, const TFileInfo* info) {
      if (info && (info->Attributes & faDirectory)) subdirectory = true;
    });
    if (code != 0) guard.Raise("Failed to load directory.", directory, {}, Code(code));
    return !subdirectory;
  });
}

uint64_t LoadFileToBuffer(const std::string& title, std::string& buffer, uint64_t capacity,
                          bool cut) {
  buffer.clear();
  TGuard guard("LoadFileToBuffer");
  guard.Run([&] {
    TFileHandle file;
    if (const int code = OpenRegularForReading(title, true, file))
      guard.Raise("Failed to load.", title, {}, Code(code));
    const uint64_t size = GetFileSize(file.Get());
    if (size == 0) guard.Raise("Failed to load, or empty file.", title);
    const bool tooBig = size > capacity;
    if (tooBig && !cut)
      guard.Raise("File size too big.", std::to_string(size), std::to_string(capacity));
    const uint64_t want = std::min(size, capacity);
    if (const int code = want == 0 ? 0 : ReadAll(file.Get(), want, buffer)) {
      buffer.clear();
      guard.Raise("Failed to load.", title, {}, Code(code));
    }
    if (tooBig) guard.Warn("File size too big.", std::to_string(size), std::to_string(capacity));
  });
  return buffer.size();
}

bool SaveBufferToFile(const std::string& title, std::string_view data) {
  TGuard guard("SaveBufferToFile");
  return guard.Run(false, [&] {
    bool created = false;
    if (const int code = ReplaceFileContent(title, data, false, &created))
      guard.Raise(created ? "Failed to save." : "Failed to load.", title, {}, Code(code));
    return true;
  });
}

} // namespace cv
