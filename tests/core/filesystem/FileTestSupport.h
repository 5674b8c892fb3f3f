#pragma once
// Small file helpers and scratch mounts shared by the file primitive tests.

#include "TestSupport.h"

#include "filesystem/File.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace cv::test {

inline bool WriteBytes(const std::string& title, const std::string& content, mode_t mode = 0644) {
  const int fd = ::open(title.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  return done == content.size();
}

// The file's bytes (titles of any length), or "<missing>" when it cannot be read.
inline std::string ReadBytes(const std::string& title) {
  const TTitleAt at(title);
  const int fd = at.Error != 0
                     ? -1
                     : ::openat(at.Directory, at.Name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return "<missing>";
  std::string content;
  char buffer[65536];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
    content.append(buffer, static_cast<size_t>(n));
  ::close(fd);
  return content;
}

inline std::string Attribute(const std::string& title, const std::string& name) {
  std::string value(70000, '\0');
  const ssize_t n = ::getxattr(title.c_str(), name.c_str(), value.data(), value.size());
  if (n < 0) return "<none>";
  value.resize(static_cast<size_t>(n));
  return value;
}

// Names in a directory (dot entries too), sorted.
inline std::vector<std::string> Entries(const std::string& directory) {
  std::vector<std::string> names;
  const TTitleAt at(directory);
  const int fd = at.Error != 0
                     ? -1
                     : ::openat(at.Directory, at.Name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd)) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != ".." && name != "lost+found") names.push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A file system mounted on a fresh directory for one test; root only.
// Unmounted (and its image removed) in every path.
class TScratchMount {
public:
  enum TKind { Tmpfs, Ext4Image, Ramfs, ReadOnlyTmpfs };
  TScratchMount(const std::string& base, TKind kind, const std::string& size = "1m") {
    if (::geteuid() != 0) {
      SkipReason = "mounting a scratch file system needs root";
      return;
    }
    Path = base + "/mnt-" + std::to_string(kind) + "-" + std::to_string(Counter()++);
    if (::mkdir(Path.c_str(), 0755) != 0) {
      SkipReason = "cannot create a mount point";
      return;
    }
    int result = -1;
    if (kind == Ext4Image) {
      Image = Path + ".img";
      const std::string make = "truncate -s 16M '" + Image + "' && mkfs.ext4 -q -F '" + Image +
                               "' >/dev/null 2>&1 && mount -o loop '" + Image + "' '" + Path + "'";
      result = std::system(make.c_str()) == 0 ? 0 : -1;
    } else {
      const std::string options = kind == Ramfs ? "" : "size=" + size;
      result =
          ::mount("scratch", Path.c_str(), kind == Ramfs ? "ramfs" : "tmpfs", 0, options.c_str());
    }
    if (result != 0) {
      SkipReason = "this machine does not allow mounting a scratch file system";
      return;
    }
    Mounted = true;
    ::chmod(Path.c_str(), 0777);
    ReadOnly = kind == ReadOnlyTmpfs;
  }
  // Remounts read-only (after the test filled it).
  bool MakeReadOnly() {
    return ::mount(nullptr, Path.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }
  ~TScratchMount() {
    if (Mounted) ::umount2(Path.c_str(), MNT_DETACH);
    if (!Path.empty()) ::rmdir(Path.c_str());
    if (!Image.empty()) ::unlink(Image.c_str());
  }
  TScratchMount(const TScratchMount&) = delete;
  TScratchMount& operator=(const TScratchMount&) = delete;

  bool Mounted = false;
  bool ReadOnly = false;
  std::string Path;
  std::string SkipReason;

private:
  static int& Counter() {
    static int counter = 0;
    return counter;
  }
  std::string Image;
};

} // namespace cv::test
