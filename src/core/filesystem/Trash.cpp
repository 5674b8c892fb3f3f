#include "filesystem/Trash.h"

#include "foundation/Guard.h"

#include <cerrno>
#include <dirent.h>
#include <gio/gio.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

namespace {

// The errno closest to a GIO error, so reports carry the system's reason.
int ErrnoOfGioError(const GError* error) {
  if (!error || error->domain != G_IO_ERROR) return EIO;
  switch (error->code) {
  case G_IO_ERROR_NOT_FOUND:
    return ENOENT;
  case G_IO_ERROR_EXISTS:
    return EEXIST;
  case G_IO_ERROR_IS_DIRECTORY:
    return EISDIR;
  case G_IO_ERROR_NOT_DIRECTORY:
    return ENOTDIR;
  case G_IO_ERROR_FILENAME_TOO_LONG:
    return ENAMETOOLONG;
  case G_IO_ERROR_NO_SPACE:
    return ENOSPC;
  case G_IO_ERROR_PERMISSION_DENIED:
    return EACCES;
  case G_IO_ERROR_NOT_SUPPORTED:
    return ENOTSUP;
  case G_IO_ERROR_READ_ONLY:
    return EROFS;
  case G_IO_ERROR_TOO_MANY_LINKS:
    return ELOOP;
  case G_IO_ERROR_BUSY:
    return EBUSY;
  case G_IO_ERROR_CANCELLED:
    return ECANCELED;
  default:
    return EIO;
  }
}

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

// The mount point of the partition `device` that holds `path`: the highest
// directory above it still on that device.
std::string TopDirectory(std::string path, dev_t device) {
  while (path.size() > 1) {
    const size_t slash = path.rfind('/');
    const std::string up = slash == 0 ? std::string("/") : path.substr(0, slash);
    struct stat facts {};
    if (::stat(up.c_str(), &facts) != 0 || facts.st_dev != device) break;
    path = up;
  }
  return path;
}

// The entry of the trash directory that is the inode `facts`; true when found.
bool FindInTrash(const std::string& trash, std::string_view name, const struct stat& facts,
                 TTrashedEntry& where) {
  DIR* info = ::opendir((trash + "info").c_str());
  if (!info) return false;
  constexpr std::string_view suffix = ".trashinfo";
  // The entries named after the item first; a trash that renamed it
  // otherwise is searched whole after.
  for (int pass = 0; pass < 2 && where.File.empty(); ++pass) {
    ::rewinddir(info);
    while (const dirent* entry = ::readdir(info)) {
      const std::string_view file = entry->d_name;
      if (file.size() <= suffix.size() || !file.ends_with(suffix)) continue;
      if (file.starts_with(name) != (pass == 0)) continue;
      const std::string stem(file.substr(0, file.size() - suffix.size()));
      struct stat own {};
      if (::lstat((trash + "files/" + stem).c_str(), &own) != 0 || own.st_dev != facts.st_dev ||
          own.st_ino != facts.st_ino)
        continue;
      where.File = trash + "files/" + stem;
      where.Info = trash + "info/" + std::string(file);
      break;
    }
  }
  ::closedir(info);
  return !where.File.empty();
}

} // namespace

std::vector<std::string> TrashDirectoriesFor(const std::string& title) {
  std::vector<std::string> directories{WithSlash(g_get_user_data_dir()) + "Trash/"};
  struct stat facts {};
  if (::lstat(title.c_str(), &facts) != 0) return directories;
  const std::string top = WithSlash(TopDirectory(title, facts.st_dev));
  const std::string uid = std::to_string(::geteuid());
  directories.push_back(top + ".Trash/" + uid + "/");
  directories.push_back(top + ".Trash-" + uid + "/");
  return directories;
}

bool RecycleFileLocated(const std::string& title, TTrashedEntry& where) {
  where = {};
  TGuard guard("RecycleFileLocated");
  return guard.Run(false, [&] {
    struct stat facts {};
    if (::lstat(title.c_str(), &facts) != 0)
      guard.Raise("Failed to recycle.", title, {}, static_cast<uint32_t>(errno));
    const std::vector<std::string> trashes = TrashDirectoriesFor(title);
    RecycleFile(title);
    guard.TakeOver();
    const size_t slash = title.find_last_of('/');
    const std::string name = slash == std::string::npos ? title : title.substr(slash + 1);
    for (const std::string& trash : trashes)
      if (FindInTrash(trash, name, facts, where)) break;
    return true;
  });
}

bool RecycleFile(const std::string& title) {
  TGuard guard("RecycleFile");
  return guard.Run(false, [&] {
    // GIO follows the Trash specification (home trash, $topdir/.Trash/$uid
    // with its sticky-bit check, $topdir/.Trash-$uid) and fails where no trash
    // can take the file; nothing here ever deletes in its place.
    GFile* file = g_file_new_for_path(title.c_str());
    GError* error = nullptr;
    const bool trashed = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (!trashed) {
      const int code = ErrnoOfGioError(error);
      const std::string reason = error ? error->message : std::string();
      if (error) g_error_free(error);
      guard.Raise("Failed to recycle.", title, reason, static_cast<uint32_t>(code));
    }
    return true;
  });
}

} // namespace cv
