#include "filesystem/TrashList.h"

#include "filesystem/File.h"
#include "filesystem/FileHandles.h"
#include "filesystem/Partitions.h"
#include "foundation/Error.h"
#include "foundation/Guard.h"
#include "foundation/Program.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace cv {

namespace {

constexpr std::string_view InfoSuffix = ".trashinfo";
// An info file is a few lines; anything larger is not one.
constexpr size_t MaxInfoSize = 64 * 1024;

std::string WithoutDelimiter(std::string path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path == "/" ? std::string() : path;
}

TFileHandle OpenDirectoryAt(int parent, const char* name) {
  return TFileHandle(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// The names of an open directory, "." and ".." left out; errno or 0.
int ReadNames(int directory, std::vector<std::string>& names) {
  const int fd = ::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    const int code = errno;
    ::close(fd);
    return code;
  }
  int code = 0;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (!entry) {
      code = errno;
      break;
    }
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(dir);
  return code;
}

// The whole content of a regular file of `directory`, links refused.
int ReadSmallFileAt(int directory, const std::string& name, std::string& text) {
  const TFileHandle file(
      ::openat(directory, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!file.Valid()) return errno;
  struct stat facts {};
  if (::fstat(file.Get(), &facts) != 0) return errno;
  if (!S_ISREG(facts.st_mode)) return EINVAL;
  if (static_cast<uint64_t>(facts.st_size) > MaxInfoSize) return EFBIG;
  text.clear();
  char buffer[4096];
  for (;;) {
    const ssize_t read = ::read(file.Get(), buffer, sizeof buffer);
    if (read < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (read == 0) break;
    text.append(buffer, static_cast<size_t>(read));
    if (text.size() > MaxInfoSize) return EFBIG;
  }
  return 0;
}

// A path that climbs out of where it starts ("..") or holds NUL would put
// a restored item somewhere its trash never saw.
bool IsSafeRelativePath(std::string_view path) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return false;
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = std::min(path.find('/', start), path.size());
    if (path.substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  return true;
}

void Note(TTrashListing& listing, const std::string& title, const std::string& reason) {
  std::string text = "Skipped trash info file.\r\n" + title + "\r\n" + reason;
  AppendErrorLogTo(Program.ErrorLogTitle(), text + "\r\n");
  listing.Notes.push_back(title + ": " + reason);
}

// The trash directory `name` of the top directory, when it may be used: a
// real directory, not a link; `sticky` adds the check of ".Trash".
bool UsableTrashAt(int top, const char* name, bool sticky, struct stat& facts) {
  const TFileHandle directory = OpenDirectoryAt(top, name);
  if (!directory.Valid() || ::fstat(directory.Get(), &facts) != 0) return false;
  return !sticky || (facts.st_mode & S_ISVTX) != 0;
}

} // namespace

bool PercentDecode(std::string_view text, std::string& bytes) {
  bytes.clear();
  bytes.reserve(text.size());
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      bytes += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = digit(text[i + 1]);
    const int low = digit(text[i + 2]);
    if (high < 0 || low < 0) return false;
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

bool ParseTrashInfo(std::string_view text, std::string& path, std::string& deletionDate) {
  bool inGroup = false, groupSeen = false, havePath = false;
  deletionDate.clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inGroup = line == "[Trash Info]";
      // Only the first group counts; keys of later groups are not ours.
      if (groupSeen && inGroup) inGroup = false;
      groupSeen = groupSeen || inGroup;
      if (!groupSeen) return false;
      continue;
    }
    if (!inGroup) continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view key = line.substr(0, equals);
    while (!key.empty() && key.back() == ' ')
      key.remove_suffix(1);
    std::string_view value = line.substr(equals + 1);
    while (!value.empty() && value.front() == ' ')
      value.remove_prefix(1);
    if (key == "Path" && !havePath) {
      if (!PercentDecode(value, path) || path.empty()) return false;
      havePath = true;
    } else if (key == "DeletionDate" && deletionDate.empty()) {
      deletionDate = value;
    }
  }
  return havePath;
}

std::string DeletionDateText(std::string_view date) {
  std::string text(date);
  if (text.size() > 10 && text[10] == 'T') text[10] = ' ';
  return text;
}

TTrashDirectory HomeTrash() {
  std::string data = AbsoluteEnvPath("XDG_DATA_HOME");
  if (data.empty()) data = IncludeDelimiter(HomePath()) + ".local/share";
  data = WithoutDelimiter(data);
  return {data + "/Trash", data};
}

std::vector<TTrashDirectory> TrashDirectories() {
  std::vector<TTrashDirectory> found;
  // One directory may be reached twice (a bind mount, the home trash on a
  // partition top): it is listed once.
  std::set<std::pair<dev_t, ino_t>> seen;
  const auto add = [&](TTrashDirectory trash, const struct stat& facts) {
    if (seen.emplace(facts.st_dev, facts.st_ino).second) found.push_back(std::move(trash));
  };
  const TTrashDirectory home = HomeTrash();
  struct stat facts {};
  if (::lstat(home.Path.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode)) add(home, facts);

  const std::shared_ptr<const TMountTable> table = CurrentMountTable();
  FunStatContext.Reset(fsPerfect);
  if (!table) return found;
  for (const TMountEntry& mount : table->Partitions()) {
    // A share that stops answering must not hold the listing of the rest.
    if (table->TypeOf(mount) == ptRemote) continue;
    for (TTrashDirectory& trash : PartitionTrashDirectories(mount.MountPoint)) {
      if (::lstat(trash.Path.c_str(), &facts) == 0) add(std::move(trash), facts);
    }
  }
  return found;
}

std::vector<TTrashDirectory> PartitionTrashDirectories(const std::string& topDirectory) {
  std::vector<TTrashDirectory> found;
  const TFileHandle top(::open(topDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!top.Valid()) return found;
  const std::string topPath = WithoutDelimiter(topDirectory);
  const std::string uid = std::to_string(::getuid());
  struct stat facts {};
  // $topdir/.Trash must be sticky and no link; its $uid must be no link.
  if (UsableTrashAt(top.Get(), ".Trash", true, facts)) {
    const TFileHandle shared = OpenDirectoryAt(top.Get(), ".Trash");
    if (shared.Valid() && UsableTrashAt(shared.Get(), uid.c_str(), false, facts))
      found.push_back({topPath + "/.Trash/" + uid, topPath});
  }
  const std::string own = ".Trash-" + uid;
  if (UsableTrashAt(top.Get(), own.c_str(), false, facts))
    found.push_back({topPath + "/" + own, topPath});
  return found;
}

void ListTrashDirectory(const TTrashDirectory& trash, TTrashListing& listing) {
  const TFileHandle directory(
      ::open(trash.Path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!directory.Valid()) return;
  const TFileHandle info = OpenDirectoryAt(directory.Get(), "info");
  const TFileHandle files = OpenDirectoryAt(directory.Get(), "files");
  if (!info.Valid() || !files.Valid()) return;
  std::vector<std::string> names;
  if (const int code = ReadNames(info.Get(), names); code != 0)
    Note(listing, trash.Path + "/info", SystemErrorText(code));
  std::sort(names.begin(), names.end());
  std::string text, path, date;
  for (const std::string& infoName : names) {
    if (!infoName.ends_with(InfoSuffix) || infoName.size() == InfoSuffix.size()) continue;
    const std::string infoTitle = trash.Path + "/info/" + infoName;
    if (const int code = ReadSmallFileAt(info.Get(), infoName, text); code != 0) {
      Note(listing, infoTitle, SystemErrorText(code));
      continue;
    }
    if (!ParseTrashInfo(text, path, date)) {
      Note(listing, infoTitle, "No valid Path= key in group [Trash Info].");
      continue;
    }
    std::string original;
    if (path.front() == '/') {
      original = path;
    } else if (IsSafeRelativePath(path)) {
      original = trash.Top + "/" + path;
    }
    if (original.empty() || !IsSafeRelativePath(original.substr(1))) {
      Note(listing, infoTitle, "The path leaves its partition.");
      continue;
    }
    const std::string name = infoName.substr(0, infoName.size() - InfoSuffix.size());
    struct stat facts {};
    if (::fstatat(files.Get(), name.c_str(), &facts, AT_SYMLINK_NOFOLLOW) != 0) {
      // An info file left behind by an interrupted restore names nothing.
      Note(listing, infoTitle, SystemErrorText(errno));
      continue;
    }
    listing.Entries.push_back(
        {trash.Path + "/files/" + name, infoTitle, std::move(original), date});
  }
}

void ListTrashItems(const TTrashDirectory& trash, std::vector<TTrashEntry>& items) {
  const TFileHandle directory(
      ::open(trash.Path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!directory.Valid()) return;
  const TFileHandle files = OpenDirectoryAt(directory.Get(), "files");
  if (!files.Valid()) return;
  std::vector<std::string> names;
  ReadNames(files.Get(), names);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names)
    items.push_back({trash.Path + "/files/" + name,
                     trash.Path + "/info/" + name + std::string(InfoSuffix),
                     {},
                     {}});
}

bool TidyTrashDirectory(const TTrashDirectory& trash) {
  TGuard guard("TidyTrashDirectory");
  guard.Run([&] {
    const TFileHandle directory(
        ::open(trash.Path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!directory.Valid()) return;
    const TFileHandle files = OpenDirectoryAt(directory.Get(), "files");
    const auto present = [&](const std::string& name) {
      struct stat facts {};
      return files.Valid() &&
             ::fstatat(files.Get(), name.c_str(), &facts, AT_SYMLINK_NOFOLLOW) == 0;
    };
    if (const TFileHandle info = OpenDirectoryAt(directory.Get(), "info"); info.Valid()) {
      std::vector<std::string> names;
      ReadNames(info.Get(), names);
      for (const std::string& name : names) {
        if (!name.ends_with(InfoSuffix) || name.size() == InfoSuffix.size()) continue;
        if (present(name.substr(0, name.size() - InfoSuffix.size()))) continue;
        if (::unlinkat(info.Get(), name.c_str(), 0) != 0 && errno != ENOENT)
          guard.Raise("Failed to delete file.", trash.Path + "/info/" + name, {},
                      static_cast<uint32_t>(errno));
      }
    }
    // "size mtime percent-encoded-name" per directory of files/.
    constexpr const char* Sizes = "directorysizes";
    std::string text;
    const int read = ReadSmallFileAt(directory.Get(), Sizes, text);
    if (read == ENOENT) return;
    if (read != 0)
      guard.Raise("Failed to read file.", trash.Path + "/" + Sizes, {},
                  static_cast<uint32_t>(read));
    std::string kept, name;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string_view line = std::string_view(text).substr(start, end - start);
      start = end + 1;
      const size_t space = line.rfind(' ');
      if (space != std::string_view::npos && PercentDecode(line.substr(space + 1), name) &&
          !name.empty() && name.find('/') == std::string::npos && present(name))
        kept.append(line).append("\n");
    }
    if (kept.empty()) {
      if (::unlinkat(directory.Get(), Sizes, 0) != 0 && errno != ENOENT)
        guard.Raise("Failed to delete file.", trash.Path + "/" + Sizes, {},
                    static_cast<uint32_t>(errno));
      return;
    }
    if (kept == text) return;
    // Written aside and renamed over: a reader never sees half a cache.
    const std::string temporary = std::string(Sizes) + ".new";
    {
      const TFileHandle out(::openat(directory.Get(), temporary.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
      if (!out.Valid())
        guard.Raise("Failed to create file.", trash.Path + "/" + temporary, {},
                    static_cast<uint32_t>(errno));
      for (size_t done = 0; done < kept.size();) {
        const ssize_t wrote = ::write(out.Get(), kept.data() + done, kept.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) {
          const int code = errno;
          ::unlinkat(directory.Get(), temporary.c_str(), 0);
          guard.Raise("Failed to write file.", trash.Path + "/" + temporary, {},
                      static_cast<uint32_t>(code));
        }
        done += static_cast<size_t>(wrote);
      }
    }
    if (::renameat(directory.Get(), temporary.c_str(), directory.Get(), Sizes) != 0) {
      const int code = errno;
      ::unlinkat(directory.Get(), temporary.c_str(), 0);
      guard.Raise("Failed to rename file.", trash.Path + "/" + Sizes, {},
                  static_cast<uint32_t>(code));
    }
  });
  const bool failed = guard.Failed();
  guard.Show("Failed to empty the trash.");
  return !failed;
}

TTrashListing ListTrash() {
  TTrashListing listing;
  for (const TTrashDirectory& trash : TrashDirectories())
    ListTrashDirectory(trash, listing);
  return listing;
}

} // namespace cv
