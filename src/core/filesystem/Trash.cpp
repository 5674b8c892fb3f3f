#include "filesystem/Trash.h"

#include "foundation/Guard.h"

#include <cerrno>
#include <gio/gio.h>

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

} // namespace

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
