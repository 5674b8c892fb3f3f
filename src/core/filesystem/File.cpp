#include "filesystem/File.h"

#include "foundation/Guard.h"
#include "foundation/MyMath.h"
#include "foundation/Program.h"
#include "options/ProgramOptions.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

TFileUnitLoader FileUnitLoader;
thread_local std::function<bool(double)> TFileUnitLoader::OnProgress;

void ApplyFileDisplayOptions(const TProgramOptions& options) {
  FileUnitLoader.LocalFileTimes = !options.ShowUniversalFileTime;
  FileUnitLoader.SizeUnits = options.ClassicFileSize;
}

namespace {

constexpr unsigned char FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// Greedy wildcard match that backtracks only to the last "*": linear in
// practice, never exponential on patterns like "*a*a*a*b".
bool WildcardMatch(std::string_view text, std::string_view pattern) {
  size_t t = 0, p = 0;
  size_t starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starT = t;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || FoldAscii(static_cast<unsigned char>(pattern[p])) ==
                                         FoldAscii(static_cast<unsigned char>(text[t])))) {
      ++p;
      ++t;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string StripTrailingDelimiters(std::string_view title) {
  while (title.size() > 1 && title.back() == PathDelimiter) title.remove_suffix(1);
  return std::string(title);
}

// Resolves ".", ".." and repeated "/" of an absolute path; keeps a trailing "/".
std::string NormalizeAbsolutePath(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t pos = 0;
  while (pos < path.size()) {
    size_t end = path.find(PathDelimiter, pos);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(pos, end - pos);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    pos = end + 1;
  }
  std::string result;
  result.reserve(path.size());
  for (const std::string_view part : parts) {
    result += PathDelimiter;
    result += part;
  }
  if (result.empty() || path.back() == PathDelimiter) result += PathDelimiter;
  return result;
}

bool SameIdentity(const struct statx& a, const struct statx& b) {
  return a.stx_ino == b.stx_ino && a.stx_dev_major == b.stx_dev_major &&
         a.stx_dev_minor == b.stx_dev_minor;
}

} // namespace

// ---- Pure title helpers ---------------------------------------------------

bool IsPartitionTitle(std::string_view title) { return title.starts_with(RootPartitionTitle); }

std::string PartitionTitleToPath(std::string_view title) {
  if (!IsPartitionTitle(title)) return std::string(title);
  return StripTrailingDelimiters(title.substr(1));
}

std::string PathToPartitionTitle(std::string_view mountPoint) {
  if (mountPoint.empty()) return {};
  return ":" + StripTrailingDelimiters(mountPoint);
}

std::string IncludeDelimiter(std::string_view title) {
  if (title.empty()) return {};
  std::string result = IsPartitionTitle(title) ? PartitionTitleToPath(title) : std::string(title);
  if (result.back() != PathDelimiter) result += PathDelimiter;
  return result;
}

std::string ExcludeDelimiter(std::string_view title) {
  if (title.empty()) return {};
  if (IsPartitionTitle(title)) return PathToPartitionTitle(title.substr(1));
  while (!title.empty() && title.back() == PathDelimiter) title.remove_suffix(1);
  if (title.empty()) return std::string(RootPartitionTitle);
  return std::string(title);
}

std::string_view TitlePathPart(std::string_view title) {
  if (IsPartitionTitle(title)) return {};
  const size_t slash = title.rfind(PathDelimiter);
  if (slash == std::string_view::npos) return {};
  return title.substr(0, slash + 1);
}

std::string GetTitlePath(std::string_view title) {
  return std::string(TitlePathPart(title));
}

std::string_view TitleNamePart(std::string_view title) {
  // A partition title is its own name, without trailing delimiters (":/" stays).
  if (IsPartitionTitle(title)) {
    while (title.size() > RootPartitionTitle.size() && title.back() == PathDelimiter)
      title.remove_suffix(1);
    return title;
  }
  const size_t slash = title.rfind(PathDelimiter);
  return slash == std::string_view::npos ? title : title.substr(slash + 1);
}

std::string GetTitleName(std::string_view title) {
  return std::string(TitleNamePart(title));
}

std::string GetExtension(std::string_view title) {
  if (IsPartitionTitle(title)) return {};
  const size_t slash = title.rfind(PathDelimiter);
  const std::string_view name = slash == std::string_view::npos ? title : title.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return std::string(name.substr(dot));
}

std::string GetExtensionNoDot(std::string_view title) {
  const std::string extension = GetExtension(title);
  return extension.empty() ? extension : extension.substr(1);
}

std::string CutFirstDirectory(std::string& path) {
  const size_t slash = path.find(PathDelimiter);
  std::string first;
  if (slash == std::string::npos) {
    first.swap(path);
  } else {
    first = path.substr(0, slash);
    path.erase(0, slash + 1);
  }
  return first;
}

std::string GetLongTitle(std::string_view title) { return std::string(title); }

std::string NormalizeTitle(std::string_view title) {
  if (title.empty()) return {};
  if (IsPartitionTitle(title))
    return PathToPartitionTitle(NormalizeAbsolutePath(title.substr(1)));
  if (title.front() == PathDelimiter) return NormalizeAbsolutePath(title);
  const std::string current = TProgram::CurrentDirectory();
  // Without a current directory a relative title cannot be placed: keep it
  // relative rather than guess.
  if (current.empty()) {
    std::string normalized = NormalizeAbsolutePath("/" + std::string(title));
    return normalized == "/" ? std::string(".") : normalized.substr(1);
  }
  return NormalizeAbsolutePath(current + "/" + std::string(title));
}

std::string GetFullTitle(std::string_view title) { return NormalizeTitle(title); }

bool HasInvalidTitleCharacters(std::string_view title) {
  return title.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos;
}

bool AreValidTitles(const std::vector<std::string>& titles) {
  for (const std::string& title : titles) {
    if (HasInvalidTitleCharacters(title)) return false;
    if (!title.starts_with(PathDelimiter) && !IsPartitionTitle(title)) return false;
  }
  return true;
}

bool IsTitleInDirectory(std::string_view directory, std::string_view title) {
  if (directory.empty() || title.empty()) return false;
  const std::string dir = NormalizeTitle(PartitionTitleToPath(directory));
  const std::string item = NormalizeTitle(PartitionTitleToPath(title));
  if (!item.starts_with(dir)) return false;
  return item.size() == dir.size() || dir.back() == PathDelimiter ||
         item[dir.size()] == PathDelimiter;
}

bool MatchesNameFilter(std::string_view name, std::string_view spec) {
  if (spec.empty()) return true;
  size_t start = 0;
  while (start <= spec.size()) {
    size_t end = spec.find(';', start);
    if (end == std::string_view::npos) end = spec.size();
    std::string_view pattern = spec.substr(start, end - start);
    while (!pattern.empty() && pattern.front() == ' ') pattern.remove_prefix(1);
    while (!pattern.empty() && pattern.back() == ' ') pattern.remove_suffix(1);
    if (!pattern.empty()) {
      // "*.*" has always meant "every file", also names without a dot.
      if (pattern == "*.*" || WildcardMatch(name, pattern)) return true;
    }
    start = end + 1;
  }
  return false;
}

std::string FoldAsciiCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
  return result;
}

bool SameTextFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(static_cast<unsigned char>(a[i])) != FoldAscii(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// ---- File tests -------------------------------------------------------------

TTitleAt::TTitleAt(const std::string& title) : Directory(AT_FDCWD) {
  if (title.size() < PATH_MAX) {
    Name = title;
    return;
  }
  size_t pos = 0;
  while (title.size() - pos >= PATH_MAX) {
    // The longest leading run of whole components that fits in one call.
    const size_t cut = title.rfind(PathDelimiter, pos + PATH_MAX - 2);
    if (cut == std::string::npos || cut < pos || (cut == pos && pos != 0)) {
      Error = ENAMETOOLONG;
      return;
    }
    const std::string part = cut == 0 ? std::string("/") : title.substr(pos, cut - pos);
    const int fd = ::openat(Directory, part.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      Error = errno;
      return;
    }
    if (Directory != AT_FDCWD) ::close(Directory);
    Directory = fd;
    pos = cut + 1;
  }
  Name = title.substr(pos);
  if (Name.empty()) Name = ".";
}

TTitleAt::~TTitleAt() {
  if (Directory != AT_FDCWD) ::close(Directory);
}

int StatxTitle(const std::string& title, bool followLinks, unsigned mask, struct statx* out) {
  if (title.empty()) return ENOENT;
  const TTitleAt at(title);
  if (at.Error != 0) return at.Error;
  const int flags = AT_STATX_SYNC_AS_STAT | (followLinks ? 0 : AT_SYMLINK_NOFOLLOW);
  if (::statx(at.Directory, at.Name.c_str(), flags, mask, out) != 0) return errno;
  return 0;
}

bool TitleExists(const std::string& title) {
  if (title.empty()) return false;
  struct statx st {};
  return StatxTitle(PartitionTitleToPath(title), false, STATX_TYPE, &st) == 0;
}

bool IsDirectoryTitle(const std::string& title) {
  if (IsPartitionTitle(title)) return true;
  struct statx st {};
  return StatxTitle(title, true, STATX_TYPE, &st) == 0 && S_ISDIR(st.stx_mode);
}

bool IsSameFile(const std::string& a, const std::string& b) {
  if (HasInvalidTitleCharacters(a) || HasInvalidTitleCharacters(b)) return false;
  const std::string fullA = NormalizeTitle(a);
  const std::string fullB = NormalizeTitle(b);
  if (IsPartitionTitle(fullA) || IsPartitionTitle(fullB)) return fullA == fullB;
  struct statx statA {}, statB {};
  if (!fullA.empty() && !fullB.empty() && StatxTitle(fullA, true, STATX_INO, &statA) == 0 &&
      StatxTitle(fullB, true, STATX_INO, &statB) == 0)
    return SameIdentity(statA, statB);
  return StripTrailingDelimiters(fullA) == StripTrailingDelimiters(fullB);
}

bool ClearReadOnly(const std::string& title) {
  TGuard guard("ClearReadOnly");
  return guard.Run(false, [&] {
    struct statx st {};
    if (const int code = StatxTitle(title, true, STATX_MODE, &st); code != 0)
      guard.Raise("Failed to get attributes.", title, {}, static_cast<uint32_t>(code));
    if (st.stx_mode & S_IWUSR) return true;
    const TTitleAt at(title);
    if (at.Error != 0)
      guard.Raise("Failed to clear read-only attribute.", title, {}, static_cast<uint32_t>(at.Error));
    const mode_t mode = static_cast<mode_t>((st.stx_mode & 07777) | S_IWUSR);
    if (::fchmodat(at.Directory, at.Name.c_str(), mode, 0) != 0)
      guard.Raise("Failed to clear read-only attribute.", title, {}, static_cast<uint32_t>(errno));
    return true;
  });
}

uint64_t GetFileSize(int fd) {
  TGuard guard("GetFileSize");
  return guard.Run(uint64_t{0}, [&] {
    struct statx st {};
    if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, STATX_SIZE, &st) != 0)
      guard.Warn("Failed to get file size.", {}, {}, static_cast<uint32_t>(errno));
    return static_cast<uint64_t>(st.stx_size);
  });
}

namespace {

// statx through an O_PATH descriptor (never opens the data: safe for FIFOs
// and devices). Leaves with `openFailure` or `statFailure` as warnings.
struct statx StatxOpened(TGuard& guard, const std::string& title, unsigned mask,
                         std::string_view openFailure, std::string_view statFailure) {
  const TTitleAt at(title);
  const int fd = at.Error != 0 ? -1 : ::openat(at.Directory, at.Name.c_str(), O_PATH | O_CLOEXEC);
  if (fd < 0)
    guard.Warn(openFailure, title, {}, static_cast<uint32_t>(at.Error != 0 ? at.Error : errno));
  struct statx st {};
  const int result = ::statx(fd, "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, mask, &st);
  const int code = errno;
  ::close(fd);
  if (result != 0) guard.Warn(statFailure, title, {}, static_cast<uint32_t>(code));
  return st;
}

} // namespace

uint64_t GetFileSize(const std::string& title) {
  TGuard guard("GetFileSize");
  return guard.Run(uint64_t{0}, [&] {
    return static_cast<uint64_t>(
        StatxOpened(guard, title, STATX_SIZE, "Failed to access file.", "Failed to get file size.")
            .stx_size);
  });
}

uint64_t GetHardLinkCount(const std::string& title) {
  TGuard guard("GetHardLinkCount");
  return guard.Run(uint64_t{0}, [&] {
    return static_cast<uint64_t>(StatxOpened(guard, title, STATX_NLINK, "Invalid file handle.",
                                             "Failed to retrieve file information.")
                                     .stx_nlink);
  });
}

// ---- Times and texts --------------------------------------------------------

uint64_t UnixTimeToFileTime(int64_t seconds, uint32_t nanoseconds) {
  // Some file systems store any time_t: clamp to what a signed file time holds.
  constexpr int64_t Latest = INT64_MAX;
  if (seconds < -FileTimeUnixOffsetSeconds) return 0;
  int64_t units = 0;
  if (__builtin_add_overflow(seconds, FileTimeUnixOffsetSeconds, &units) ||
      __builtin_mul_overflow(units, int64_t{10000000}, &units) ||
      __builtin_add_overflow(units, int64_t{nanoseconds / 100u}, &units))
    return Latest;
  return static_cast<uint64_t>(units);
}

TDateTime ConvertFileTime(uint64_t fileTime) {
  TGuard guard("ConvertFileTime");
  return guard.Run(TDateTime{0}, [&] {
    constexpr int64_t MillisecondsPerDay = 86400000;
    constexpr double UnixEpochDateTime = 25569.0; // 1970-01-01 in days since 1899-12-30
    int64_t unixMs = static_cast<int64_t>(fileTime / 10000u) - FileTimeUnixOffsetSeconds * 1000;
    if (FileUnitLoader.LocalFileTimes) {
      const int64_t seconds = unixMs >= 0 ? unixMs / 1000 : -((-unixMs + 999) / 1000);
      const time_t t = static_cast<time_t>(seconds);
      struct tm local {};
      if (!::localtime_r(&t, &local))
        guard.Raise("Failed to convert time.", std::to_string(fileTime), {},
                    static_cast<uint32_t>(errno));
      unixMs += static_cast<int64_t>(local.tm_gmtoff) * 1000;
    }
    return UnixEpochDateTime + static_cast<double>(unixMs) / MillisecondsPerDay;
  });
}

std::string GetAttributesText(uint32_t attributes) {
  static constexpr struct {
    uint32_t Bit;
    const char* Letters;
  } Letters[] = {{faArchive, "A"},     {faReadOnly, "R"},  {faHidden, "H"},
                 {faSystem, "S"},      {faCompressed, "C"}, {faEncrypted, "E"},
                 {faOffline, "O"},     {faTemporary, "T"}, {faReparsePoint, "Rp"},
                 {faSparseFile, "Sf"}};
  std::string text;
  for (const auto& item : Letters)
    if (attributes & item.Bit) text += item.Letters;
  return text;
}

std::string GetSizeText(int digits, int precision, uint64_t size) {
  if (!FileUnitLoader.SizeUnits)
    return AlignRealToTextPow(digits, precision, static_cast<double>(size));
  if (size < 1024) return AlignRealToTextPow(5, 0, static_cast<double>(size)) + " B";
  static constexpr const char* Units[] = {" KB", " MB", " GB", " TB", " PB", " EB"};
  double value = static_cast<double>(size);
  int divisions = 0;
  while (value >= 1024 && divisions < static_cast<int>(std::size(Units))) {
    value /= 1024;
    ++divisions;
  }
  return AlignRealToTextPow(5, 1, value) + Units[divisions - 1];
}

} // namespace cv
