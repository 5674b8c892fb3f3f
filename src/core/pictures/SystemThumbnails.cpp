#include "pictures/SystemThumbnails.h"

#include "filesystem/FileHandles.h"
#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "pictures/Pictures.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QMimeDatabase>
#include <QMimeType>
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cv {

namespace {

constexpr std::array<TThumbnailFlavor, 4> Flavors = {
    TThumbnailFlavor::Normal, TThumbnailFlavor::Large, TThumbnailFlavor::XLarge,
    TThumbnailFlavor::XXLarge};

// Entries are small; one beyond these is no thumbnail and is not decoded.
constexpr uint64_t CacheEntryByteLimit = 16u << 20;
constexpr int CacheEntrySideLimit = 4096;
// A thumbnailer asked for at most 1024 pixels that writes more than this is
// refused before its picture is decoded.
constexpr uint64_t OutputByteLimit = 64u << 20;
constexpr int64_t OutputPixelLimit = int64_t{8192} * 8192;
// What the type detection reads of a file.
constexpr uint64_t MimeProbeBytes = 16384;

std::string SoftwareName() {
  return std::string("Corvantide ") + CORVANTIDE_VERSION;
}

std::string Trailing(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

bool PathKeeps(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return std::strchr("-._~!$&'()*+,=:@/", c) != nullptr && c != '\0';
}

// The directory, made 0700 when missing (an existing one keeps its mode).
int MakePrivateDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) == 0) return 0;
  const int code = errno;
  struct stat facts {};
  if (code == EEXIST && ::stat(path.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode)) return 0;
  return code == EEXIST ? ENOTDIR : code;
}

// thumbnails/ below the cache home and the given subdirectories, each 0700.
int MakeCachePath(const std::vector<std::string>& below, std::string& path) {
  const std::string root = ThumbnailCacheDirectory();
  const std::string home = root.substr(0, root.size() - std::string("thumbnails/").size());
  ForceDirectories(home.substr(0, home.size() - 1));
  path = root;
  if (const int code = MakePrivateDirectory(path)) return code;
  for (const std::string& part : below) {
    path += part + '/';
    if (const int code = MakePrivateDirectory(path)) return code;
  }
  return 0;
}

uint32_t Crc32(std::string_view data) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k)
        c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (const char ch : data)
    crc = table[(crc ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

void AppendBigEndian(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out += static_cast<char>((value >> shift) & 0xFF);
}

std::string PngChunk(std::string_view type, std::string_view data) {
  std::string chunk;
  AppendBigEndian(chunk, static_cast<uint32_t>(data.size()));
  std::string body(type);
  body += data;
  chunk += body;
  AppendBigEndian(chunk, Crc32(body));
  return chunk;
}

// Reads the cache entry: a regular file (no link followed) of sane size
// whose keys name this file as it is now. Null when it is missing or stale.
QImage ReadEntry(const std::string& entry, const std::string& uri, const struct stat& facts,
                 bool needSize) {
  TFileHandle handle;
  if (OpenRegularForReading(entry, false, handle) != 0) return {};
  struct stat own {};
  if (::fstat(handle.Get(), &own) != 0 || static_cast<uint64_t>(own.st_size) > CacheEntryByteLimit)
    return {};
  std::string bytes;
  if (ReadAll(handle.Get(), CacheEntryByteLimit, bytes) != 0) return {};
  QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "png");
  const QSize size = reader.size();
  if (!size.isValid() || size.width() > CacheEntrySideLimit || size.height() > CacheEntrySideLimit)
    return {};
  QImage image = reader.read();
  if (image.isNull()) return {};
  if (image.text("Thumb::URI").toUtf8().toStdString() != uri) return {};
  bool ok = false;
  const qlonglong mtime = image.text("Thumb::MTime").trimmed().toLongLong(&ok);
  if (!ok || mtime != static_cast<qlonglong>(facts.st_mtime)) return {};
  const QString sizeText = image.text("Thumb::Size");
  if (!sizeText.isEmpty() || needSize) {
    const qlonglong stored = sizeText.trimmed().toLongLong(&ok);
    if (!ok || stored != static_cast<qlonglong>(facts.st_size)) return {};
  }
  return image;
}

// Writes bytes to a private temporary name in the directory and renames
// them over `name`: a reader never sees half an entry. 0 or the errno.
int WriteEntry(const std::string& directory, const std::string& name, std::string_view bytes) {
  TFileHandle dir(::open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!dir.Valid()) return errno;
  std::string temporary;
  TFileHandle file;
  if (const int code = CreateTemporaryAt(dir.Get(), temporary, file)) return code;
  int code = ::fchmod(file.Get(), 0600) == 0 ? 0 : errno;
  if (code == 0) code = WriteAll(file.Get(), bytes);
  if (code == 0) code = file.Close();
  if (code == 0 && ::renameat(dir.Get(), temporary.c_str(), dir.Get(), name.c_str()) != 0)
    code = errno;
  if (code != 0) ::unlinkat(dir.Get(), temporary.c_str(), 0);
  return code;
}

std::vector<std::pair<std::string, std::string>> EntryKeys(const std::string& title,
                                                           const struct stat& facts) {
  return {{"Thumb::URI", ThumbnailUri(title)},
          {"Thumb::MTime", std::to_string(static_cast<long long>(facts.st_mtime))},
          {"Thumb::Size", std::to_string(static_cast<long long>(facts.st_size))}};
}

// ---- Thumbnailer files ------------------------------------------------------

std::string UnescapeValue(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (value[++i]) {
    case 's':
      out += ' ';
      break;
    case 'n':
      out += '\n';
      break;
    case 't':
      out += '\t';
      break;
    case 'r':
      out += '\r';
      break;
    case '\\':
      out += '\\';
      break;
    default:
      out += '\\', out += value[i];
    }
  }
  return out;
}

// The desktop quoting of Exec lines: blanks separate; "..." groups, with
// \" \` \$ \\ inside; a backslash outside quotes takes the next character.
bool SplitExec(std::string_view line, std::vector<std::string>& out) {
  out.clear();
  std::string word;
  bool inWord = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (inWord) out.push_back(std::move(word)), word.clear();
      inWord = false;
    } else if (c == '"') {
      inWord = true;
      for (++i;; ++i) {
        if (i >= line.size()) return false;
        if (line[i] == '"') break;
        if (line[i] == '\\' && i + 1 < line.size() && std::strchr("\"`$\\", line[i + 1])) ++i;
        word += line[i];
      }
    } else if (c == '\\' && i + 1 < line.size()) {
      inWord = true;
      word += line[++i];
    } else {
      inWord = true;
      word += c;
    }
  }
  if (inWord) out.push_back(std::move(word));
  return true;
}

bool ProgramExists(const std::string& program) {
  if (program.empty()) return false;
  if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    const size_t colon = rest.find(':');
    std::string directory(rest.substr(0, colon));
    if (directory.empty()) directory = ".";
    const std::string candidate = Trailing(directory) + program;
    struct stat facts {};
    if (::stat(candidate.c_str(), &facts) == 0 && S_ISREG(facts.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0)
      return true;
    if (colon == std::string_view::npos) return false;
    rest.remove_prefix(colon + 1);
  }
}

std::vector<std::string> ThumbnailerDirectories() {
  std::vector<std::string> result;
  std::string home = AbsoluteEnvPath("XDG_DATA_HOME");
  if (home.empty()) home = Trailing(HomePath()) + ".local/share";
  result.push_back(Trailing(home) + "thumbnailers/");
  const char* dirs = std::getenv("XDG_DATA_DIRS");
  std::string_view rest = dirs && *dirs ? dirs : "/usr/local/share/:/usr/share/";
  while (true) {
    const size_t colon = rest.find(':');
    const std::string directory(rest.substr(0, colon));
    if (directory.starts_with('/')) result.push_back(Trailing(directory) + "thumbnailers/");
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return result;
}

struct TThumbnailerList {
  std::mutex Lock;
  std::vector<std::string> Directories;
  std::vector<int64_t> Stamps; // change times of the directories, -1 when missing
  std::vector<TThumbnailer> Thumbnailers;
  bool Filled = false;
};

int64_t DirectoryStamp(const std::string& directory) {
  struct stat facts {};
  if (::stat(directory.c_str(), &facts) != 0) return -1;
  return int64_t{facts.st_mtim.tv_sec} * 1000000000 + facts.st_mtim.tv_nsec;
}

// ---- Running a thumbnailer ----------------------------------------------------

enum class TRunEnd { Exited, TimedOut, Cancelled };

// Runs argv in a process group of its own with nothing to read or write but
// the files it names; the whole group is killed when it outlives the time or
// the caller cancels. `status` is the wait status of an exited run.
TRunEnd RunProcess(const std::vector<std::string>& argv, int timeoutMs,
                   const std::atomic<bool>* cancel, int& status, int& error) {
  std::vector<char*> args;
  for (const std::string& argument : argv)
    args.push_back(const_cast<char*>(argument.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = -1;
  error = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    status = -1;
    return TRunEnd::Exited;
  }
  // A pidfd wakes the wait the moment the child ends; without one, short naps.
  TFileHandle pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  TRunEnd end = TRunEnd::Exited;
  while (true) {
    siginfo_t info{};
    // WNOWAIT: the ended child stays a zombie, so its group id cannot be
    // reused before what it left running in the group is killed below.
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid)
      break;
    if (cancel && cancel->load()) {
      end = TRunEnd::Cancelled;
      break;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      end = TRunEnd::TimedOut;
      break;
    }
    const int nap = static_cast<int>(std::min<int64_t>(left, 25));
    if (pidfd.Valid()) {
      pollfd watch{pidfd.Get(), POLLIN, 0};
      ::poll(&watch, 1, nap);
    } else {
      ::usleep(static_cast<useconds_t>(std::min(nap, 10)) * 1000);
    }
  }
  ::kill(-pid, SIGKILL);
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return end;
}

// A private directory for one run's output, removed with what is in it.
class TOutputDirectory {
public:
  TOutputDirectory() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        Trailing(base && *base == '/' ? base : "/tmp") + "corvantide-thumb-XXXXXX";
    if (::mkdtemp(pattern.data()))
      Path = pattern;
    else
      Error = errno;
  }
  ~TOutputDirectory() {
    if (Path.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
  TOutputDirectory(const TOutputDirectory&) = delete;
  TOutputDirectory& operator=(const TOutputDirectory&) = delete;
  std::string Path;
  int Error = 0;
};

std::string MimeTypeOf(const std::string& title) {
  std::string head;
  TFileHandle handle;
  if (OpenRegularForReading(title, true, handle) == 0) ReadAll(handle.Get(), MimeProbeBytes, head);
  const size_t slash = title.rfind('/');
  const std::string name = slash == std::string::npos ? title : title.substr(slash + 1);
  // Only the name's globs are matched; the title itself never becomes text.
  static const QMimeDatabase database;
  return database
      .mimeTypeForFileNameAndData(
          QString::fromLocal8Bit(name.data(), static_cast<qsizetype>(name.size())),
          QByteArray(head.data(), static_cast<qsizetype>(head.size())))
      .name()
      .toStdString();
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// What both the lookup and the full call do first: the file's status, the
// cache and the failure record. True when that settled the outcome.
bool LookUp(TGuard& guard, const std::string& title, int pixels, TSystemThumb& thumb,
            struct stat& facts) {
  thumb = {};
  thumb.Flavor = ThumbnailFlavorFor(pixels);
  if (!title.starts_with('/')) guard.Raise("Invalid file title.", title);
  if (::stat(title.c_str(), &facts) != 0) {
    thumb.Outcome = TSystemThumbOutcome::Failed;
    guard.Raise("Failed to get file information.", title, {}, static_cast<uint32_t>(errno));
  }
  if (!S_ISREG(facts.st_mode)) {
    thumb.Outcome = TSystemThumbOutcome::NotRegular;
    return true;
  }
  const std::string uri = ThumbnailUri(title);
  const std::string name = ThumbnailHash(uri) + ".png";
  for (size_t i = static_cast<size_t>(thumb.Flavor); i < Flavors.size(); ++i) {
    QImage image =
        ReadEntry(ThumbnailCacheDirectory() + ThumbnailFlavorName(Flavors[i]) + '/' + name, uri,
                  facts, false);
    if (image.isNull()) continue;
    // A larger flavor is shown at the size asked for.
    const int side = ThumbnailFlavorPixels(thumb.Flavor);
    if (image.width() > side || image.height() > side)
      image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    thumb.Image = std::move(image);
    thumb.Outcome = TSystemThumbOutcome::Cached;
    return true;
  }
  if (!ReadEntry(ThumbnailFailDirectory() + name, uri, facts, false).isNull()) {
    thumb.Outcome = TSystemThumbOutcome::KnownFailure;
    return true;
  }
  return false;
}

} // namespace

// ---- Names ----------------------------------------------------------------

int ThumbnailFlavorPixels(TThumbnailFlavor flavor) {
  return 128 << static_cast<int>(flavor);
}

const char* ThumbnailFlavorName(TThumbnailFlavor flavor) {
  switch (flavor) {
  case TThumbnailFlavor::Normal:
    return "normal";
  case TThumbnailFlavor::Large:
    return "large";
  case TThumbnailFlavor::XLarge:
    return "x-large";
  case TThumbnailFlavor::XXLarge:
    return "xx-large";
  }
  return "normal";
}

TThumbnailFlavor ThumbnailFlavorFor(int pixels) {
  for (const TThumbnailFlavor flavor : Flavors)
    if (pixels <= ThumbnailFlavorPixels(flavor)) return flavor;
  return TThumbnailFlavor::XXLarge;
}

std::string ThumbnailUri(const std::string& title) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const char ch : title) {
    const auto c = static_cast<unsigned char>(ch);
    if (PathKeeps(c)) {
      uri += ch;
    } else {
      uri += '%';
      uri += Hex[c >> 4];
      uri += Hex[c & 15];
    }
  }
  return uri;
}

std::string ThumbnailHash(const std::string& uri) {
  return QCryptographicHash::hash(QByteArrayView(uri.data(), static_cast<qsizetype>(uri.size())),
                                  QCryptographicHash::Md5)
      .toHex()
      .toStdString();
}

std::string ThumbnailCacheDirectory() {
  std::string cache = AbsoluteEnvPath("XDG_CACHE_HOME");
  if (cache.empty()) cache = Trailing(HomePath()) + ".cache";
  return Trailing(cache) + "thumbnails/";
}

std::string ThumbnailCacheTitle(const std::string& title, TThumbnailFlavor flavor) {
  return ThumbnailCacheDirectory() + ThumbnailFlavorName(flavor) + '/' +
         ThumbnailHash(ThumbnailUri(title)) + ".png";
}

std::string ThumbnailFailDirectory() {
  return ThumbnailCacheDirectory() + "fail/corvantide-" + CORVANTIDE_VERSION + '/';
}

// ---- Thumbnailers ---------------------------------------------------------

bool ReadThumbnailerFile(const std::string& title, TThumbnailer& out) {
  TFileHandle handle;
  std::string text;
  if (OpenRegularForReading(title, true, handle) != 0 || ReadAll(handle.Get(), 65536, text) != 0)
    return false;
  out = {};
  out.Source = title;
  bool inGroup = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
      line.remove_suffix(1);
    while (!line.empty() && line.front() == ' ')
      line.remove_prefix(1);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inGroup = line == "[Thumbnailer Entry]";
      continue;
    }
    const size_t equals = line.find('=');
    if (!inGroup || equals == std::string_view::npos) continue;
    std::string_view key = line.substr(0, equals);
    while (!key.empty() && key.back() == ' ')
      key.remove_suffix(1);
    std::string_view value = line.substr(equals + 1);
    while (!value.empty() && value.front() == ' ')
      value.remove_prefix(1);
    if (key == "TryExec") {
      out.TryExec = UnescapeValue(value);
    } else if (key == "Exec") {
      out.Exec = UnescapeValue(value);
    } else if (key == "MimeType") {
      out.MimeTypes.clear();
      const std::string list = UnescapeValue(value);
      size_t from = 0;
      while (from <= list.size()) {
        size_t semicolon = list.find(';', from);
        if (semicolon == std::string::npos) semicolon = list.size();
        if (semicolon > from) out.MimeTypes.push_back(list.substr(from, semicolon - from));
        from = semicolon + 1;
      }
    }
  }
  return !out.Exec.empty() && !out.MimeTypes.empty();
}

std::vector<TThumbnailer> InstalledThumbnailers() {
  static TThumbnailerList list;
  std::vector<std::string> directories = ThumbnailerDirectories();
  std::vector<int64_t> stamps;
  for (const std::string& directory : directories)
    stamps.push_back(DirectoryStamp(directory));
  std::lock_guard lock(list.Lock);
  if (list.Filled && list.Directories == directories && list.Stamps == stamps)
    return list.Thumbnailers;
  std::vector<TThumbnailer> found;
  std::vector<std::string> seen;
  for (const std::string& directory : directories) {
    std::vector<std::string> names;
    if (DIR* listing = ::opendir(directory.c_str())) {
      while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() > 12 && name.ends_with(".thumbnailer")) names.push_back(name);
      }
      ::closedir(listing);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      if (std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
      seen.push_back(name);
      TThumbnailer thumbnailer;
      if (ReadThumbnailerFile(directory + name, thumbnailer))
        found.push_back(std::move(thumbnailer));
    }
  }
  list.Directories = std::move(directories);
  list.Stamps = std::move(stamps);
  list.Thumbnailers = std::move(found);
  list.Filled = true;
  return list.Thumbnailers;
}

const TThumbnailer* FindThumbnailer(const std::vector<TThumbnailer>& thumbnailers,
                                    const std::string& mimeType) {
  if (mimeType.empty()) return nullptr;
  static const QMimeDatabase database;
  const QMimeType type = database.mimeTypeForName(QString::fromStdString(mimeType));
  const auto lists = [&](const TThumbnailer& thumbnailer) {
    for (const std::string& listed : thumbnailer.MimeTypes) {
      if (listed == mimeType) return true;
      // A thumbnailer may list an alias ("video/x-avi") of the canonical type.
      if (type.isValid() &&
          database.mimeTypeForName(QString::fromStdString(listed)).name() == type.name())
        return true;
    }
    return false;
  };
  for (const TThumbnailer& thumbnailer : thumbnailers) {
    if (!lists(thumbnailer)) continue;
    if (!thumbnailer.TryExec.empty() && !ProgramExists(thumbnailer.TryExec)) continue;
    return &thumbnailer;
  }
  return nullptr;
}

bool ThumbnailerArguments(const TThumbnailer& thumbnailer, const std::string& input,
                          const std::string& output, int size, std::vector<std::string>& argv) {
  std::vector<std::string> words;
  if (!SplitExec(thumbnailer.Exec, words) || words.empty()) return false;
  argv.clear();
  for (const std::string& word : words) {
    std::string argument;
    bool kept = word.empty(); // an empty word ("") was meant
    for (size_t i = 0; i < word.size(); ++i) {
      if (word[i] != '%' || i + 1 == word.size()) {
        argument += word[i];
        kept = true;
        continue;
      }
      kept = kept || std::strchr("iuos%", word[i + 1]) != nullptr;
      switch (word[++i]) {
      case 'i':
        argument += input;
        break;
      case 'u':
        argument += ThumbnailUri(input);
        break;
      case 'o':
        argument += output;
        break;
      case 's':
        argument += std::to_string(size);
        break;
      case '%':
        argument += '%';
        break;
      default:
        break;
      }
    }
    // A word that held only codes this program does not know is no argument.
    if (!kept) continue;
    argv.push_back(std::move(argument));
  }
  return !argv.front().empty();
}

// ---- Cache ----------------------------------------------------------------

std::string PngWithTextChunks(const QImage& image,
                              const std::vector<std::pair<std::string, std::string>>& keys) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "png");
  if (!writer.write(image)) return {};
  std::string png = bytes.toStdString();
  // The signature (8) and the IHDR chunk (4 + 4 + 13 + 4) come first.
  constexpr size_t AfterHeader = 8 + 25;
  if (png.size() < AfterHeader || png.compare(12, 4, "IHDR") != 0) return {};
  std::string text;
  for (const auto& [key, value] : keys)
    text += PngChunk("tEXt", key + '\0' + value);
  png.insert(AfterHeader, text);
  return png;
}

bool StoreSystemThumbnail(const std::string& title, const struct stat& facts, const QImage& image,
                          TThumbnailFlavor flavor, const std::string& mimeType) {
  TGuard guard("StoreSystemThumbnail");
  return guard.Run(false, [&] {
    auto keys = EntryKeys(title, facts);
    if (!mimeType.empty()) keys.emplace_back("Thumb::Mimetype", mimeType);
    keys.emplace_back("Software", SoftwareName());
    const std::string png = PngWithTextChunks(image, keys);
    if (png.empty()) guard.Raise("Failed to save picture.", title, {}, EINVAL);
    std::string directory;
    if (const int code = MakeCachePath({ThumbnailFlavorName(flavor)}, directory))
      guard.Raise("Failed to create directory.", directory, {}, static_cast<uint32_t>(code));
    const std::string name = ThumbnailHash(ThumbnailUri(title)) + ".png";
    if (const int code = WriteEntry(directory, name, png))
      guard.Raise("Failed to write file.", directory + name, {}, static_cast<uint32_t>(code));
    return true;
  });
}

bool StoreThumbnailFailure(const std::string& title, const struct stat& facts) {
  TGuard guard("StoreThumbnailFailure");
  return guard.Run(false, [&] {
    auto keys = EntryKeys(title, facts);
    keys.emplace_back("Software", SoftwareName());
    QImage dot(1, 1, QImage::Format_ARGB32);
    dot.fill(Qt::transparent);
    const std::string png = PngWithTextChunks(dot, keys);
    std::string directory;
    const std::string app = std::string("corvantide-") + CORVANTIDE_VERSION;
    if (const int code = MakeCachePath({"fail", app}, directory))
      guard.Raise("Failed to create directory.", directory, {}, static_cast<uint32_t>(code));
    const std::string name = ThumbnailHash(ThumbnailUri(title)) + ".png";
    if (const int code = WriteEntry(directory, name, png))
      guard.Raise("Failed to write file.", directory + name, {}, static_cast<uint32_t>(code));
    return true;
  });
}

bool LookupSystemThumbnail(const std::string& title, int pixels, TSystemThumb& thumb) {
  TGuard guard("LookupSystemThumbnail");
  return guard.Run(false, [&] {
    struct stat facts {};
    return LookUp(guard, title, pixels, thumb, facts) &&
           thumb.Outcome == TSystemThumbOutcome::Cached;
  });
}

bool GetSystemThumbnail(const std::string& title, const TSystemThumbRequest& request,
                        TSystemThumb& thumb) {
  TGuard guard("GetSystemThumbnail");
  guard.Run([&] {
    struct stat facts {};
    if (LookUp(guard, title, request.Pixels, thumb, facts)) return;
    thumb.MimeType = MimeTypeOf(title);
    const std::vector<TThumbnailer> thumbnailers = InstalledThumbnailers();
    const TThumbnailer* thumbnailer = FindThumbnailer(thumbnailers, thumb.MimeType);
    if (!thumbnailer) {
      thumb.Outcome = TSystemThumbOutcome::NoThumbnailer;
      return;
    }
    TOutputDirectory output;
    if (output.Path.empty())
      guard.Raise("Failed to create directory.", "corvantide-thumb", {},
                  static_cast<uint32_t>(output.Error));
    const std::string outputTitle = output.Path + "/thumbnail.png";
    const int side = ThumbnailFlavorPixels(thumb.Flavor);
    std::vector<std::string> argv;
    if (!ThumbnailerArguments(*thumbnailer, title, outputTitle, side, argv))
      guard.Raise("Failed to get arguments.", thumbnailer->Source, thumbnailer->Exec);
    const auto fail = [&](std::string detail, int code) {
      thumb.Outcome = TSystemThumbOutcome::Failed;
      // Only the file as it was tried is recorded: a changed one gets another try.
      struct stat now {};
      if (::stat(title.c_str(), &now) == 0 && SameFile(now, facts) &&
          now.st_mtime == facts.st_mtime && now.st_size == facts.st_size)
        StoreThumbnailFailure(title, facts);
      guard.Raise("Failed to make thumbnail.", title, std::move(detail),
                  static_cast<uint32_t>(code));
    };
    int status = 0, error = 0;
    const TRunEnd end = RunProcess(argv, request.TimeoutMs, request.Cancel, status, error);
    if (end == TRunEnd::Cancelled) {
      thumb.Outcome = TSystemThumbOutcome::Cancelled;
      return;
    }
    if (end == TRunEnd::TimedOut) fail(argv.front(), ETIMEDOUT);
    if (error != 0) fail(argv.front(), error);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) fail(argv.front(), EIO);
    struct stat made {};
    if (::lstat(outputTitle.c_str(), &made) != 0 || !S_ISREG(made.st_mode) ||
        static_cast<uint64_t>(made.st_size) > OutputByteLimit)
      fail(argv.front(), EINVAL);
    {
      // The header tells the size before anything big is decoded.
      TFileHandle handle;
      if (OpenRegularForReading(outputTitle, false, handle) != 0) fail(argv.front(), EINVAL);
      QFile file;
      if (!file.open(handle.Get(), QIODevice::ReadOnly)) fail(argv.front(), EIO);
      const QSize size = QImageReader(&file).size();
      if (size.isValid() && int64_t{size.width()} * size.height() > OutputPixelLimit)
        fail(argv.front(), EFBIG);
    }
    TThumb decoded;
    TThumbRequest fit;
    fit.Box = {side, side};
    fit.HighQuality = true;
    if (!LoadPictureToBitmap(outputTitle, fit, decoded)) fail(argv.front(), EINVAL);
    thumb.Image = decoded.Bitmap;
    thumb.Outcome = TSystemThumbOutcome::Made;
    StoreSystemThumbnail(title, facts, thumb.Image, thumb.Flavor, thumb.MimeType);
    guard.TakeOver();
  });
  return !thumb.Image.isNull();
}

std::optional<QImage> SystemThumbnailInBox(const std::string& title, TPictureSize box) {
  TSystemThumbRequest request;
  request.Pixels = static_cast<int>(std::clamp<int64_t>(std::max(box.Width, box.Height), 1, 1024));
  // A thumbnailer that takes longer holds one of few render workers.
  request.TimeoutMs = 5000;
  TSystemThumb thumb;
  if (!GetSystemThumbnail(title, request, thumb) || thumb.Image.isNull()) return std::nullopt;
  if (thumb.Image.width() > box.Width || thumb.Image.height() > box.Height)
    return thumb.Image.scaled(static_cast<int>(box.Width), static_cast<int>(box.Height),
                              Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return std::move(thumb.Image);
}

} // namespace cv
