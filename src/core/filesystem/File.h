#pragma once
// File titles: absolute paths with "/" as delimiter and no trailing "/"; a
// trailing "/" means "the inside of that directory". Partition titles start
// with ":" and name a mount point (":/", ":/home"). Titles are bytes and
// compare byte for byte; name filters and extensions fold ASCII letters only.

#include "foundation/MyTime.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct statx;

namespace cv {

// Settings of the file layer that the program options set.
class TFileUnitLoader {
public:
  // Show file times in local time (else universal time).
  bool LocalFileTimes = true;
  // Size texts with the units B, KB, MB, GB, TB, PB, EB.
  bool SizeUnits = true;
  // Progress of a running copy or move: fraction done, false to cancel.
  // Each thread has its own, so a copy on a worker reports to its own run.
  static thread_local std::function<bool(double)> OnProgress;
};

extern TFileUnitLoader FileUnitLoader;

class TProgramOptions;
// Sets the time and size display of the file layer from the options.
void ApplyFileDisplayOptions(const TProgramOptions& options);

// File attribute bits, as stored in `TFileInfo::Attributes`.
enum TFileAttribute : uint32_t {
  faReadOnly = 0x1,
  faHidden = 0x2,
  faSystem = 0x4,
  faDirectory = 0x10,
  faArchive = 0x20,
  faTemporary = 0x100,
  faSparseFile = 0x200,
  faReparsePoint = 0x400,
  faCompressed = 0x800,
  faOffline = 0x1000,
  faEncrypted = 0x4000,
};

constexpr char PathDelimiter = '/';
constexpr std::string_view RootPartitionTitle = ":/";

// ---- Pure title helpers (never touch the disk, never raise) -------------

// Adds a trailing "/"; a partition title becomes its mount point with "/"
// (":/home" -> "/home/", ":/" -> "/"); empty stays empty.
std::string IncludeDelimiter(std::string_view title);
// Removes trailing "/"s; the root "/" becomes the root partition ":/", so
// leaving "/" reaches the partitions list.
std::string ExcludeDelimiter(std::string_view title);
// Starts with ":/", which no absolute path can.
bool IsPartitionTitle(std::string_view title);
// The mount point a partition title names (":/home" -> "/home", ":/" -> "/").
std::string PartitionTitleToPath(std::string_view title);
// The partition title of a mount point ("/home" -> ":/home").
std::string PathToPartitionTitle(std::string_view mountPoint);
// Path part with its trailing "/"; empty for a partition title and for a
// title without "/".
std::string GetTitlePath(std::string_view title);
// Name part (after the last "/"); for a partition title the title without
// a trailing delimiter.
std::string GetTitleName(std::string_view title);
// The same parts in place, for hot loops over many titles.
std::string_view TitlePathPart(std::string_view title);
std::string_view TitleNamePart(std::string_view title);
// Extension of the name with its leading "." (".gz" of "a.tar.gz"); a name
// that starts with its only "." (".bashrc") has none.
std::string GetExtension(std::string_view title);
std::string GetExtensionNoDot(std::string_view title);
// Removes the first component of a relative path and returns it without
// delimiter; when no "/" is left, returns the rest and empties the path.
std::string CutFirstDirectory(std::string& path);
// Titles have no short forms here: the title is its own long form.
std::string GetLongTitle(std::string_view title);
// Lexical: "." and ".." resolved, repeated "/" collapsed, a relative title
// made absolute against the current directory; keeps a trailing "/". A
// partition title stays a partition title without a trailing delimiter.
// Empty stays empty.
std::string NormalizeTitle(std::string_view title);
// The full title; paths here are already in their network form.
std::string GetFullTitle(std::string_view title);
// NUL, CR and LF cannot be part of a title (they break line-based stores).
bool HasInvalidTitleCharacters(std::string_view title);
// Every title is valid and absolute (or a partition title).
bool AreValidTitles(const std::vector<std::string>& titles);
// The title lies in the directory (or is it): byte-exact prefix that ends
// at a delimiter. False when either is empty.
bool IsTitleInDirectory(std::string_view directory, std::string_view title);
// True when the filter is empty or one of its ";"-separated patterns matches
// the name ("*" any run, "?" one byte, ASCII case ignored, "*.*" matches all).
bool MatchesNameFilter(std::string_view name, std::string_view filter);
// ASCII-only case folding, as names and extensions are compared.
std::string FoldAsciiCase(std::string_view text);
bool SameTextFolded(std::string_view a, std::string_view b);

// ---- File tests (read the disk) ------------------------------------------

// A title split for the *at() calls, so that titles longer than PATH_MAX
// still work: `Directory` is AT_FDCWD or an owned O_PATH descriptor of the
// leading part, `Name` the rest. `Error` is 0 or the errno of the walk.
class TTitleAt {
public:
  explicit TTitleAt(const std::string& title);
  ~TTitleAt();
  TTitleAt(const TTitleAt&) = delete;
  TTitleAt& operator=(const TTitleAt&) = delete;
  int Directory;
  std::string Name;
  int Error = 0;
};

// statx of a title of any length. Returns 0 or the errno.
int StatxTitle(const std::string& title, bool followLinks, unsigned mask, struct statx* out);
// Whether the entry exists (a broken symbolic link exists).
bool TitleExists(const std::string& title);
// A directory (a link to one counts) or a partition title.
bool IsDirectoryTitle(const std::string& title);
// Same file: for two existing files (st_dev, st_ino); otherwise the
// normalized titles, byte for byte. False for invalid titles.
bool IsSameFile(const std::string& a, const std::string& b);
// Gives the owner write permission when it lacks it; nothing else changes.
bool ClearReadOnly(const std::string& title);
// Size of the main stream; 0 on failure.
uint64_t GetFileSize(int fd);
uint64_t GetFileSize(const std::string& title);
uint64_t GetFileSizeByInfo(const std::string& title);
// Hard links of the file; 0 on failure.
uint64_t GetHardLinkCount(const std::string& title);

// ---- Times and texts -----------------------------------------------------

// File time: 100 ns units since 1601-01-01 UTC.
constexpr int64_t FileTimeUnixOffsetSeconds = 11644473600LL;
// Times before 1601 give 0, times past the year 30828 the largest signed
// file time.
uint64_t UnixTimeToFileTime(int64_t seconds, uint32_t nanoseconds);
// The date-time value of a file time, in local time when `LocalFileTimes`.
TDateTime ConvertFileTime(uint64_t fileTime);
// The letters of the set bits: A R H S C E O T Rp Sf, in that order.
std::string GetAttributesText(uint32_t attributes);
// Size text: plain engineering number, or with the units B to EB.
std::string GetSizeText(int digits, int precision, uint64_t size);

} // namespace cv
