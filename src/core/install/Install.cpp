#include "install/Install.h"

#include "filesystem/Links.h"
#include "foundation/Guard.h"
#include "foundation/MemoryStorage.h"
#include "foundation/Program.h"

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view CManifestSignature = "Corvantide install manifest 1\n";
constexpr const char* CInstallFailed =
    "Failed to install program. Check to see if you have rights to write in the installation "
    "directory.";

// A manifest record: 'f' a file, 'l' a symbolic link, 'd' a directory the
// install made. Paths are bytes ended by NUL, so any name fits.
struct TRecord {
  char Kind;
  std::string Path;
  bool operator<(const TRecord& other) const {
    return Path != other.Path ? Path < other.Path : Kind < other.Kind;
  }
};

std::string WithoutSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

bool IsInside(const std::string& path, const std::string& directory) {
  return path.size() > directory.size() && path.starts_with(directory) &&
         (directory == "/" || path[directory.size()] == '/');
}

// The real path, or "" with errno set.
std::string RealPath(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return {};
  std::string text = real;
  std::free(real);
  return text;
}

std::string Parent(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

void Fail(TInstallOutcome& outcome, const std::string& path, int code) {
  if (outcome.Failures++ == 0) {
    outcome.FirstFailure = path;
    outcome.FirstMessage = std::strerror(code);
  }
}

bool ReadManifest(const std::string& title, std::set<TRecord>& records, int& code) {
  const int fd = ::open(title.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    code = errno;
    return false;
  }
  std::string text;
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<size_t>(n));
  code = n < 0 ? errno : 0;
  ::close(fd);
  if (code != 0) return false;
  if (!text.starts_with(CManifestSignature)) {
    code = EINVAL;
    return false;
  }
  for (size_t at = CManifestSignature.size(); at < text.size();) {
    const size_t end = text.find('\0', at);
    if (end == std::string::npos || end - at < 2) {
      code = EINVAL;
      return false;
    }
    records.insert({text[at], text.substr(at + 1, end - at - 1)});
    at = end + 1;
  }
  return true;
}

bool WriteManifest(const std::string& title, const std::set<TRecord>& records, int& code) {
  std::string text(CManifestSignature);
  for (const TRecord& record : records) {
    text += record.Kind;
    text += record.Path;
    text += '\0';
  }
  return SaveFileAtomically(title, text, 0, &code);
}

// Copies a regular file beside its destination first, so a failure leaves
// the old file whole and a running program file is replaced, not rewritten.
int CopyRegularFile(const std::string& from, const std::string& to, mode_t mode) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  const std::string part = to + ".part";
  ::unlink(part.c_str());
  const int out = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0) {
    const int code = errno;
    ::close(in);
    return code;
  }
  int code = 0;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) code = errno;
    if (n <= 0) break;
    for (ssize_t done = 0; done < n && code == 0;) {
      const ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno != EINTR) code = errno;
      if (w > 0) done += w;
    }
    if (code != 0) break;
  }
  if (code == 0 && ::fchmod(out, mode & 07777) != 0) code = errno;
  if (code == 0 && ::fsync(out) != 0) code = errno;
  if (::close(out) != 0 && code == 0) code = errno;
  ::close(in);
  if (code == 0 && ::rename(part.c_str(), to.c_str()) != 0) code = errno;
  if (code != 0) ::unlink(part.c_str());
  return code;
}

// Makes `directory` and its missing parents, listing the ones it made.
int MakeDirectories(const std::string& directory, std::set<TRecord>* records) {
  if (directory == "/" || directory.empty()) return 0;
  struct stat st {};
  if (::lstat(directory.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  if (const int code = MakeDirectories(Parent(directory), records)) return code;
  if (::mkdir(directory.c_str(), 0755) != 0) return errno == EEXIST ? 0 : errno;
  if (records) records->insert({'d', directory});
  return 0;
}

std::string MenuEntryText(const std::string& program, const std::string& icon,
                          const std::string& name) {
  GKeyFile* file = g_key_file_new();
  constexpr const char* group = "Desktop Entry";
  g_key_file_set_string(file, group, "Type", "Application");
  g_key_file_set_string(file, group, "Name", name.c_str());
  g_key_file_set_string(file, group, "GenericName", "File Manager");
  g_key_file_set_string(file, group, "Comment", "Browse and manage files in columns");
  g_key_file_set_string(file, group, "Exec", QuoteExecArgument(program).c_str());
  if (!icon.empty()) g_key_file_set_string(file, group, "Icon", icon.c_str());
  g_key_file_set_string(file, group, "Terminal", "false");
  g_key_file_set_string(file, group, "Categories", "System;FileTools;FileManager;");
  gsize length = 0;
  gchar* data = g_key_file_to_data(file, &length, nullptr);
  std::string text = data ? std::string(data, length) : std::string();
  g_free(data);
  g_key_file_free(file);
  return text;
}

} // namespace

std::string TInstallOutcome::FailureText() const {
  if (Failures == 0) return {};
  return std::to_string(Failures) + (Failures == 1 ? " path" : " paths") +
         " failed, the first: " + FirstFailure + " (" + FirstMessage + ").";
}

std::string DefaultInstallDirectory() {
  if (::access("/opt", W_OK) == 0) return "/opt/corvantide/";
  return WithoutSlash(HomePath()) + "/.local/opt/corvantide/";
}

namespace {
std::string DataHome() {
  std::string data = AbsoluteEnvPath("XDG_DATA_HOME");
  return data.empty() ? WithoutSlash(HomePath()) + "/.local/share" : WithoutSlash(data);
}
} // namespace

std::string MenuEntryTitle() { return DataHome() + "/applications/corvantide.desktop"; }
std::string MenuIconTitle() { return DataHome() + "/icons/hicolor/scalable/apps/corvantide.svg"; }

bool InstallBundle(const std::string& source, const std::string& target,
                   const std::string& programName, TInstallOutcome& outcome) {
  outcome = {};
  TGuard guard("TInstallForm::Install");
  return guard.Run(false, [&] {
    if (WithoutSlash(target).empty()) guard.Raise("Installation directory is empty.");
    const std::string from = RealPath(source);
    if (from.empty()) guard.Raise(CInstallFailed, source, {}, static_cast<uint32_t>(errno));
    std::error_code error;
    const std::string to = WithoutSlash(fs::weakly_canonical(fs::absolute(target), error).string());
    if (error) guard.Raise(CInstallFailed, target, {}, static_cast<uint32_t>(error.value()));
    // A program installed by the system (in /usr/bin, say) is no bundle:
    // copying its directory would copy every program beside it.
    struct stat bundle {};
    if (::stat((from + "/Options").c_str(), &bundle) != 0 || !S_ISDIR(bundle.st_mode))
      guard.Raise("The program's directory is no portable bundle: it holds no \"Options\" "
                  "directory.",
                  from, {}, ENOTDIR);
    if (to == from || IsInside(to, from))
      guard.Raise("The installation directory lies inside the program's directory.", to, from,
                  EINVAL);
    if (to == "/" || to == WithoutSlash(RealPath(HomePath())))
      guard.Raise("The installation directory would hold the whole system or home.", to, {},
                  EINVAL);

    const std::string manifest = to + "/" + InstallManifestName;
    std::set<TRecord> records;
    int code = 0;
    // A reinstall keeps what the earlier install listed.
    if (::access(manifest.c_str(), F_OK) == 0 && !ReadManifest(manifest, records, code))
      guard.Raise(CInstallFailed, manifest, {}, static_cast<uint32_t>(code));
    if ((code = MakeDirectories(to, &records)) != 0)
      guard.Raise(CInstallFailed, to, {}, static_cast<uint32_t>(code));

    auto record = [&](char kind, const std::string& path) {
      records.insert({kind, path});
      outcome.Done.push_back(path);
    };
    const std::string options = to + "/Options";
    fs::recursive_directory_iterator walk(from, error), end;
    if (error) guard.Raise(CInstallFailed, from, {}, static_cast<uint32_t>(error.value()));
    for (; walk != end; walk.increment(error)) {
      if (error) {
        Fail(outcome, from, error.value());
        error.clear();
        continue;
      }
      const std::string path = walk->path().string();
      const std::string relative = path.substr(from.size() + 1);
      if (relative == InstallManifestName) continue;
      const std::string destination = to + "/" + relative;
      // The user's options, in a bundle that keeps them beside the program,
      // are copied only where none exist and never listed: an uninstall
      // leaves them.
      const bool userOptions = IsInside(destination, options);
      struct stat st {};
      if (::lstat(path.c_str(), &st) != 0) {
        Fail(outcome, path, errno);
        continue;
      }
      if (S_ISDIR(st.st_mode)) {
        std::set<TRecord> made;
        if ((code = MakeDirectories(destination, &made)) != 0) {
          Fail(outcome, destination, code);
          walk.disable_recursion_pending();
          continue;
        }
        if (!userOptions)
          for (const TRecord& dir : made)
            record(dir.Kind, dir.Path);
      } else if (S_ISLNK(st.st_mode)) {
        if (userOptions && ::access(destination.c_str(), F_OK) == 0) continue;
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0) {
          Fail(outcome, path, errno);
          continue;
        }
        link.resize(static_cast<size_t>(n));
        const std::string part = destination + ".part";
        ::unlink(part.c_str());
        if (::symlink(link.c_str(), part.c_str()) != 0 ||
            ::rename(part.c_str(), destination.c_str()) != 0) {
          Fail(outcome, destination, errno);
          ::unlink(part.c_str());
          continue;
        }
        if (!userOptions) record('l', destination);
      } else if (S_ISREG(st.st_mode)) {
        if (userOptions && ::access(destination.c_str(), F_OK) == 0) continue;
        if ((code = CopyRegularFile(path, destination, st.st_mode)) != 0) {
          Fail(outcome, destination, code);
          continue;
        }
        if (!userOptions) record('f', destination);
      }
    }

    // The menu entry, only for a complete copy: a partial one must not be started.
    const std::string program = to + "/" + programName;
    if (outcome.Succeeded() && ::access(program.c_str(), X_OK) == 0) {
      std::string icon;
      const std::string bundleIcon = to + "/corvantide.svg";
      if (::access(bundleIcon.c_str(), R_OK) == 0) {
        icon = MenuIconTitle();
        if ((code = MakeDirectories(Parent(icon), nullptr)) != 0 ||
            (code = CopyRegularFile(bundleIcon, icon, 0644)) != 0) {
          Fail(outcome, icon, code);
          icon.clear();
        } else {
          record('f', icon);
        }
      }
      const std::string entry = MenuEntryTitle();
      if ((code = MakeDirectories(Parent(entry), nullptr)) != 0 ||
          !SaveFileAtomically(entry, MenuEntryText(program, icon, "Corvantide"), 0, &code))
        Fail(outcome, entry, code);
      else
        record('f', entry);
    }
    if (!WriteManifest(manifest, records, code)) Fail(outcome, manifest, code);
    if (!outcome.Succeeded())
      guard.Raise(CInstallFailed, outcome.FailureText(), {}, 0);
    return true;
  });
}

bool UninstallBundle(const std::string& target, TInstallOutcome& outcome) {
  outcome = {};
  TGuard guard("TInstallForm::Uninstall");
  return guard.Run(false, [&] {
    if (WithoutSlash(target).empty()) guard.Raise("Uninstallation directory is empty.");
    const std::string dir = RealPath(WithoutSlash(target));
    if (dir.empty())
      guard.Raise("Failed to uninstall program.", target, {}, static_cast<uint32_t>(errno));
    if (dir == "/") guard.Raise("The root directory is never uninstalled.", dir, {}, EPERM);
    if (dir == RealPath(HomePath()))
      guard.Raise("The home directory is never uninstalled.", dir, {}, EPERM);
    const std::string manifest = dir + "/" + InstallManifestName;
    struct stat st {};
    if (::lstat(manifest.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
      guard.Raise("The directory holds no install manifest, so nothing in it was installed.",
                  dir, {}, ENOENT);
    std::set<TRecord> records;
    int code = 0;
    if (!ReadManifest(manifest, records, code))
      guard.Raise("Failed to uninstall program.", manifest, {}, static_cast<uint32_t>(code));

    const std::string entry = MenuEntryTitle();
    const std::string icon = MenuIconTitle();
    std::vector<std::string> directories;
    for (const TRecord& record : records) {
      // Only what lies in the directory, and this user's menu entry and
      // icon: a manifest cannot send the removal anywhere else, nor
      // through a directory that became a symbolic link.
      // A directory the install made above it goes too once it is empty.
      const bool allowed = IsInside(record.Path, dir) || record.Path == entry ||
                           record.Path == icon ||
                           (record.Kind == 'd' && (record.Path == dir || IsInside(dir, record.Path)));
      if (!allowed || RealPath(Parent(record.Path)) != Parent(record.Path)) {
        if (::lstat(record.Path.c_str(), &st) == 0 || errno != ENOENT) Fail(outcome, record.Path, EPERM);
        continue;
      }
      if (record.Kind == 'd') {
        directories.push_back(record.Path);
        continue;
      }
      if (::lstat(record.Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        // Not what was installed there: left alone.
        Fail(outcome, record.Path, EISDIR);
        continue;
      }
      if (::unlink(record.Path.c_str()) == 0)
        outcome.Done.push_back(record.Path);
      else if (errno != ENOENT)
        Fail(outcome, record.Path, errno);
    }
    // Kept while anything failed, so a failed uninstall can be run again.
    if (outcome.Succeeded() && ::unlink(manifest.c_str()) != 0 && errno != ENOENT)
      Fail(outcome, manifest, errno);
    if (std::find(directories.begin(), directories.end(), dir) == directories.end())
      directories.push_back(dir);
    // Deepest first, so a parent is empty once its children went; one that
    // holds files of the user stays.
    std::sort(directories.begin(), directories.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& directory : directories) {
      if (::rmdir(directory.c_str()) == 0)
        outcome.Done.push_back(directory);
      else if (errno != ENOENT && errno != ENOTEMPTY && errno != EEXIST)
        Fail(outcome, directory, errno);
    }
    if (!outcome.Succeeded()) guard.Raise("Failed to uninstall program.", outcome.FailureText());
    return true;
  });
}

} // namespace cv
