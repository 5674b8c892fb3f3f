#include "fileops/FileEngine.h"

#include "filesystem/DirectoryReader.h"
#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "filesystem/FileHandles.h"
#include "filesystem/FileInfo.h"
#include "filesystem/FileOperations.h"
#include "filesystem/FileStreams.h"
#include "filesystem/Links.h"
#include "filesystem/Partitions.h"
#include "filesystem/Trash.h"
#include "foundation/Guard.h"
#include "foundation/Text.h"
#include "foundation/UserInterface.h"
#include "options/ProgramOptions.h"
#include "pictures/PictureCodecs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace cv {
namespace {

struct TOperationName {
  std::string_view Name;
  TFileOperation Operation;
};
constexpr TOperationName OperationNames[] = {
    {"Copy", TFileOperation::Copy},
    {"Move", TFileOperation::Move},
    {"Convert picture", TFileOperation::ConvertPicture},
    {"Copy as link", TFileOperation::CopyAsLink},
    {"Compare", TFileOperation::Compare},
    {"Recycle", TFileOperation::Recycle},
    {"Delete", TFileOperation::Delete},
    {"Clip title of", TFileOperation::ClipTitles},
};

constexpr std::string_view ForbiddenFilterCharacters = "<>|\":\\/";

// Removes a trailing "/" without turning "/" into a partition title.
std::string TrimDelimiter(std::string title) {
  while (title.size() > 1 && title.back() == PathDelimiter)
    title.pop_back();
  return title;
}

enum class TPlace { Elsewhere, Same, Inside };

bool SameIdentity(const struct statx& a, const struct statx& b) {
  return a.stx_ino == b.stx_ino && a.stx_dev_major == b.stx_dev_major &&
         a.stx_dev_minor == b.stx_dev_minor;
}

// Cuts the last component; false at the root.
bool GoUp(std::string& path) {
  const size_t slash = path.rfind(PathDelimiter);
  if (slash == std::string::npos || path.size() <= 1) return false;
  path.resize(slash == 0 ? 1 : slash);
  return true;
}

// Where `title` lies against the directory `directory`: the title and each
// of its parents are compared by identity (device and inode), so the answer
// holds through symbolic links and bind mounts; the part of the title that
// does not exist yet is taken as written. The parents of what exists are
// its real ones (reached through ".."), at any depth.
TPlace PlaceOf(const std::string& title, const std::string& directory) {
  struct statx home {};
  if (StatxTitle(directory, true, STATX_INO, &home) != 0) return TPlace::Elsewhere;
  std::string path = TrimDelimiter(NormalizeTitle(title));
  bool first = true;
  struct statx facts {};
  while (StatxTitle(path, true, STATX_TYPE | STATX_INO, &facts) != 0) {
    if (!GoUp(path)) return TPlace::Elsewhere;
    first = false;
  }
  if (SameIdentity(facts, home)) return first ? TPlace::Same : TPlace::Inside;
  if (!S_ISDIR(facts.stx_mode)) {
    if (!GoUp(path)) return TPlace::Elsewhere;
    if (StatxTitle(path, true, STATX_INO, &facts) != 0) return TPlace::Elsewhere;
    if (SameIdentity(facts, home)) return TPlace::Inside;
  }
  const TTitleAt at(path);
  if (at.Error != 0) return TPlace::Elsewhere;
  TFileHandle current(::openat(at.Directory, at.Name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  while (current.Valid()) {
    TFileHandle up(::openat(current.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct statx above {};
    if (!up.Valid() || ::statx(up.Get(), "", AT_EMPTY_PATH, STATX_INO, &above) != 0) break;
    if (SameIdentity(above, home)) return TPlace::Inside;
    if (SameIdentity(above, facts)) break; // the root is its own parent
    facts = above;
    current = std::move(up);
  }
  return TPlace::Elsewhere;
}

// The file's title still leads to the entry listed in the held directory,
// as a call by title (which follows links on its way) would find it.
bool TitleStillReaches(const std::string& title, const TDirectoryLevel& level,
                       const TLevelEntry& entry) {
  struct statx directory {};
  struct statx own {};
  const struct stat& held = level.Facts();
  return StatxTitle(TrimDelimiter(GetTitlePath(title)), true, STATX_INO, &directory) == 0 &&
         makedev(directory.stx_dev_major, directory.stx_dev_minor) == held.st_dev &&
         directory.stx_ino == held.st_ino && StatxTitle(title, false, STATX_INO, &own) == 0 &&
         makedev(own.stx_dev_major, own.stx_dev_minor) == entry.Device &&
         own.stx_ino == entry.Inode;
}

// A primitive handed a descriptor path reports the title the user knows.
void Retitle(const std::string& shown, const std::string& title) {
  if (FunStatContext.Parameter1 == shown) FunStatContext.Parameter1 = title;
  if (FunStatContext.Parameter2 == shown) FunStatContext.Parameter2 = title;
}

// Mode, owner (only root can give a directory away) and times of the
// source directory; 0 or the errno.
int CopyDirectoryAttributes(const struct stat& from, int to) {
  if (::geteuid() == 0 && ::fchown(to, from.st_uid, from.st_gid) != 0) return errno;
  if (::fchmod(to, from.st_mode & 07777) != 0) return errno;
  const struct timespec times[2] = {from.st_atim, from.st_mtim};
  return ::futimens(to, times) == 0 ? 0 : errno;
}

bool IsRealDirectory(const TFileInfo& info) {
  return (info.Attributes & faDirectory) != 0 && (info.Attributes & faReparsePoint) == 0;
}

bool WritesIntoDestination(TFileOperation operation) {
  return operation == TFileOperation::Copy || operation == TFileOperation::Move ||
         operation == TFileOperation::ConvertPicture || operation == TFileOperation::Compare;
}

// The operation writes new files: they need room and take the source's streams.
bool WritesNewFiles(TFileOperation operation) {
  return operation == TFileOperation::Copy || operation == TFileOperation::Move ||
         operation == TFileOperation::ConvertPicture;
}

bool RemovesSource(TFileOperation operation) {
  return operation == TFileOperation::Move || operation == TFileOperation::Delete ||
         operation == TFileOperation::Recycle;
}

} // namespace

bool ParseFileOperation(std::string_view name, TFileOperation& operation) {
  for (const auto& entry : OperationNames)
    if (SameTextFolded(entry.Name, name)) {
      operation = entry.Operation;
      return true;
    }
  return false;
}

bool OperationHasDestination(TFileOperation operation) {
  return WritesIntoDestination(operation) || operation == TFileOperation::CopyAsLink;
}

bool OperationAllowsPrefix(TFileOperation operation) {
  return OperationHasDestination(operation);
}

std::string ValidateFileEngineSettings(const TFileEngineSettings& settings) {
  const auto has = [](const std::string& text, std::string_view characters) {
    return text.find_first_of(characters) != std::string::npos;
  };
  if (has(settings.Include, ForbiddenFilterCharacters)) return "Invalid include file name filter.";
  if (has(settings.Exclude, ForbiddenFilterCharacters)) return "Invalid exclude file name filter.";
  if (settings.PrefixMode != TPrefixMode::None) {
    if (has(settings.Prefix, ForbiddenFilterCharacters) || has(settings.Prefix, "?*"))
      return "Invalid file name prefix.";
    if (settings.PrefixMode == TPrefixMode::Add && settings.Prefix.empty())
      return "Empty file name prefix.";
  }
  return {};
}

TFileEngine::TFileEngine(TFileEngineHost& host, TSecondsClock clock)
    : Host(host), Clock(clock), Elapsed(clock), Display(clock), Pump(clock) {}

std::string TFileEngine::CountersLine(double fileFraction) const {
  const double seconds = Elapsed.Elapsed();
  const auto whole = static_cast<long long>(seconds);
  char time[32];
  std::snprintf(time, sizeof time, "%02lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                whole % 60);
  std::string line = "Errors " + std::to_string(Count.Errors) + " | Directories " +
                     std::to_string(Count.Directories) + " | Files " + std::to_string(Count.Files) +
                     " | Size " + GetSizeText(6, 0, Count.Size) + " | Time " + time;
  if (fileFraction >= 0) line += " | File " + std::to_string(std::lround(fileFraction * 100)) + "%";
  return line;
}

void TFileEngine::Refresh(const std::string& source, const std::string& destination,
                          double fraction) {
  Shown.Source = source;
  Shown.Destination = destination;
  if (Display.IsPeriod(1.0)) {
    Shown.Current = CountersLine(Counting ? -1 : fraction);
    Host.ShowProgress(Shown);
  }
  // Often enough for Cancel to answer at once, seldom enough to cost nothing.
  if (Pump.IsPeriod(0.05)) Host.PumpEvents();
}

void TFileEngine::Report(TGuard& guard, std::string_view text) {
  if (!guard.Failed()) return;
  ++Count.Errors;
  bool quiet = true;
  if (Counting || NoErrors)
    guard.Show(text, &quiet);
  else if (!guard.Show(text, &NoErrors))
    Cancelled = true;
}

bool TFileEngine::MatchesFilters(std::string_view name) const {
  if (Operation == TFileOperation::ConvertPicture && !IsPictureFile(name)) return false;
  if (Include.empty() && Exclude.empty()) return true;
  return MatchesNameFilter(name, Include) && (Exclude.empty() || !MatchesNameFilter(name, Exclude));
}

bool TFileEngine::NoFilter() const {
  return (Include.empty() || Include == "*") && Exclude.empty() &&
         Operation != TFileOperation::ConvertPicture;
}

std::string TFileEngine::TargetTitle(const std::string& source,
                                     const std::string& destination) const {
  const std::string name = GetTitleName(source);
  const bool prefixed = Settings.PrefixMode != TPrefixMode::None &&
                        OperationAllowsPrefix(Operation) &&
                        (Settings.RecursePrefix || GetTitlePath(source) == SourceRoot);
  if (!prefixed) return destination + name;
  if (Settings.PrefixMode == TPrefixMode::Add) return destination + Settings.Prefix + name;
  return destination + ReplaceUnderscorePrefix(name, Settings.Prefix);
}

bool TFileEngine::Run(const TFileEngineSettings& settings, const std::vector<std::string>& sources,
                      const std::string& destinationDirectory) {
  if (const std::string warning = ValidateFileEngineSettings(settings); !warning.empty()) {
    ShowWarning(warning);
    return false;
  }
  if (!ParseFileOperation(settings.Operation, Operation) || sources.empty()) return false;
  Settings = settings;
  Include = ExpandNameFilter(settings.Include);
  Exclude = ExpandNameFilter(settings.Exclude);
  NoErrors = settings.NoErrors;
  if (std::exchange(Ran, true)) Cancelled = false;
  EncryptedSeen = false;
  Titles.clear();
  ClippedTitles.clear();
  Count = Total = {};
  Shown = {};
  Decision.Reset();
  if (Operation == TFileOperation::Compare) Decision.Preset(TOverwriteChoice::OverwriteAllOlder);
  SourceRoot =
      sources.front().back() == PathDelimiter ? sources.front() : GetTitlePath(sources.front());
  Destination =
      OperationHasDestination(Operation) ? IncludeDelimiter(destinationDirectory) : std::string();

  // Installed for this run only, whatever happens.
  struct TProgressScope {
    std::function<bool(double)> Previous = std::exchange(FileUnitLoader.OnProgress, {});
    ~TProgressScope() { FileUnitLoader.OnProgress = std::move(Previous); }
  } progressScope;
  FileUnitLoader.OnProgress = [this](double fraction) {
    Refresh(Shown.Source, Shown.Destination, fraction);
    return !Cancelled;
  };

  TGuard guard("TFileEngine::Run");
  const bool done = guard.Run(false, [&] { return RunPasses(guard, sources); });
  guard.Show("Failed to " + Settings.Operation + ".");
  // What was done is recorded whatever stopped the run.
  if (Recorder) {
    Journal->Record(*Recorder);
    Recorder.reset();
  }
  return done;
}

bool TFileEngine::RunToTargets(const TFileEngineSettings& settings,
                               const std::vector<std::string>& sources,
                               const std::vector<std::string>& targets) {
  if (targets.size() != sources.size() || targets.empty()) return false;
  TopTargets = targets;
  const bool done = Run(settings, sources, GetTitlePath(targets.front()));
  TopTargets.clear();
  TopName.clear();
  return done;
}

bool TFileEngine::NeedsCountingPass() const {
  switch (Operation) {
  case TFileOperation::ClipTitles:
  case TFileOperation::Compare:
  case TFileOperation::CopyAsLink:
    return false;
  case TFileOperation::Recycle:
    return !NoFilter();
  default:
    return true;
  }
}

bool TFileEngine::RunPasses(TGuard& guard, const std::vector<std::string>& sources) {
  if (Operation == TFileOperation::ConvertPicture) {
    Picture = {};
    if (!GetPictureConverterID(Settings.PictureFormat, Picture.Extension, Picture.Encoder))
      guard.Raise("Failed to get format information.", Settings.PictureFormat, {}, ENOTSUP);
    const double quality = Settings.PictureQuality;
    Picture.Quality = quality >= 0 && quality <= 1 ? quality : 1;
    if (Settings.NormalizePicture) {
      if (!ProgramOptions.NormalizeThumbWidth && !ProgramOptions.NormalizeThumbHeight) {
        ShowWarning("The size of thumb pictures is not normalized.\nFirst, change this in the "
                    "options dialog.");
        return false;
      }
      Picture.Normalize = true;
      Picture.NormalizeWidth = ProgramOptions.NormalizeThumbWidth;
      Picture.NormalizeHeight = ProgramOptions.NormalizeThumbHeight;
      Picture.WidthTo = ProgramOptions.NormalizeThumbWidthTo;
      Picture.HeightTo = ProgramOptions.NormalizeThumbHeightTo;
    }
  }
  StreamsState = -1;
  if (WritesNewFiles(Operation)) {
    StreamsState = PartitionSupportsStreams(Destination) ? -1 : 0;
    FunStatContext.Reset(fsPerfect);
  }
  Elapsed.Start();
  Display.Start();
  Pump.Start();
  if (NeedsCountingPass()) {
    Counting = true;
    Shown.Total = "Calculating total space...";
    Host.ShowProgress(Shown);
    Walk(sources, Destination);
    Total = Count;
    if (Cancelled) return false;
    Shown.Total = CountersLine();
    if (!AskQuestions()) return false;
  }

  Counting = false;
  InsideCreated = 0;
  if (Journal && (Operation == TFileOperation::Copy || Operation == TFileOperation::Move ||
                  Operation == TFileOperation::CopyAsLink || Operation == TFileOperation::Recycle))
    Recorder.emplace(Settings.Operation);
  Count = {};
  Titles.clear();
  ClippedTitles.clear();
  Elapsed.Start();
  Display.Start();
  // The counters start from zero on the screen too, not a second later.
  Shown.Current = CountersLine();
  Host.ShowProgress(Shown);
  Walk(sources, Destination);
  Elapsed.Stop();
  if (Cancelled) return false;
  if ((Operation == TFileOperation::Compare || Operation == TFileOperation::ClipTitles) &&
      !Host.CopyToClipboard(Titles, ClippedTitles))
    guard.Raise("Failed to copy text to clipboard.");
  Shown.Current = CountersLine();
  Host.ShowProgress(Shown);
  if (Operation == TFileOperation::Compare)
    ShowInformation("There are " + std::to_string(Count.Newer) + " newer files in source (" +
                    std::to_string(Count.Common) + " are common).\n" + Shown.Current);
  else
    ShowErrorCount(static_cast<int>(Count.Errors));
  return true;
}

bool TFileEngine::AskQuestions() {
  Host.ShowProgress(Shown);
  if (Settings.StopAfterCount && Operation != TFileOperation::Compare &&
      !Host.AskYesNo("Continue with processing?"))
    return false;
  if (!WritesNewFiles(Operation)) return true;
  // A move on one device needs no space, and counted none.
  const uint64_t free = GetPartitionFreeSize(Destination);
  FunStatContext.Reset(fsPerfect);
  if (Total.SpaceNeeded > 0 && free < Total.SpaceNeeded &&
      !Host.AskYesNo("There is not enough space at destination.\nClick \"Okay\" to CONTINUE."))
    return false;
  if (StreamsState > 0 &&
      !Host.AskYesNo("There are file streams in the source files, but the destination partition\n"
                     "doesn't support file streams. Therefore streams will not be in the\n"
                     "destination files.\n\nClick \"Okay\" to CONTINUE."))
    return false;
  if (EncryptedSeen && !Settings.IgnoreEncryption && Operation != TFileOperation::ConvertPicture) {
    const bool supported = PartitionSupportsEncryption(Destination);
    FunStatContext.Reset(fsPerfect);
    if (!supported) {
      if (!Host.AskYesNo(
              "You are attempting to process encrypted files, but the destination partition\n"
              "doesn't support encryption, and the \"Ignore encryption warnings\" check-box\n"
              "is not checked.\n\nClick \"Okay\" to check the \"Ignore encryption warnings\" "
              "check-box and CONTINUE."))
        return false;
      Settings.IgnoreEncryption = true;
    }
  }
  return true;
}

TOverwriteChoice TFileEngine::AskOverwrite(const std::string& source, const std::string& target,
                                           const TOverwriteView& view) {
  // The window behind the question shows the file it is about.
  Shown.Source = source;
  Shown.Destination = target;
  Host.ShowProgress(Shown);
  return Host.AskOverwrite(view);
}

void TFileEngine::Moved(const std::string& source, const std::string& target) {
  if (GetTitlePath(source) == SourceRoot) Host.RenameContainerItem(source, target);
}

void TFileEngine::Walk(const std::vector<std::string>& sources, const std::string& destination) {
  for (size_t i = 0; i < sources.size() && !Cancelled; ++i) {
    // A partition title is the program's notation; the engine works on, and
    // hands out, the mount path.
    std::string source = sources[i];
    if (IsPartitionTitle(source)) {
      const bool inside = source.back() == PathDelimiter;
      source = PartitionTitleToPath(source);
      if (inside && source.back() != PathDelimiter) source += PathDelimiter;
    }
    // Dropped files may come from several directories: each is top level in its own.
    SourceRoot = source.back() == PathDelimiter ? source : GetTitlePath(source);
    if (TopTargets.empty()) {
      Choose(source, destination);
    } else {
      TopName = GetTitleName(TopTargets[i]);
      Choose(source, GetTitlePath(TopTargets[i]));
    }
    if (!Counting && !Cancelled) Host.Deselect(i);
  }
}

void TFileEngine::Choose(const std::string& source, const std::string& destination) {
  TGuard guard("TFileEngine::Choose");
  guard.Run([&] {
    TFileInfo info;
    info.Load(TrimDelimiter(source));
    guard.TakeOver();
    const bool isDirectory = IsRealDirectory(info);
    if (Operation == TFileOperation::CopyAsLink)
      CopyAsLink(TrimDelimiter(source), destination, isDirectory);
    else if (isDirectory)
      ProcessDirectory(nullptr, nullptr, source, destination);
    else
      ProcessFile(nullptr, nullptr, source, destination, info.Size, info.Attributes);
  });
  Report(guard, "Failed to " + Settings.Operation + ".");
}

void TFileEngine::ProcessDirectory(const TDirectoryLevel* parent, const TLevelEntry* listed,
                                   const std::string& sourceTitle, const std::string& destination) {
  if (Cancelled) return TGuard::EarlyExit();
  TGuard guard("TFileEngine::ProcessDirectory");
  const std::string source = TrimDelimiter(sourceTitle);
  guard.Run([&] {
    Refresh(source, destination);
    if (!Counting && Operation == TFileOperation::Recycle && NoFilter()) {
      Recycle(guard, source);
      ++Count.Directories;
      return;
    }
    // Whole-directory mode writes the content straight into the destination.
    const std::string target =
        sourceTitle.back() == PathDelimiter
            ? TrimDelimiter(destination)
            : destination + (parent || TopName.empty() ? GetTitleName(source) : TopName);
    if (WritesIntoDestination(Operation)) {
      const TPlace place = PlaceOf(target, source);
      if (place == TPlace::Same)
        guard.Raise("Source and destination are the same.", source, target);
      if (place == TPlace::Inside)
        guard.Raise("Can not " + Settings.Operation + " recursively.", source, target);
    }
    if (!Counting && Operation == TFileOperation::Move && !TitleExists(target) &&
        IsSameRoot(source, destination) && NoFilter() &&
        !(Settings.PrefixMode != TPrefixMode::None && Settings.RecursePrefix)) {
      FunStatContext.Reset(fsPerfect);
      if (parent)
        MyMoveFileAt(parent->Fd(), listed->Name, source, target, false);
      else
        MyMoveFile(source, target, false);
      guard.TakeOver();
      Moved(source, target);
      if (Recorder) Recorder->Moved(source, target);
      ++Count.Directories;
      return;
    }
    FunStatContext.Reset(fsPerfect);
    // Held by its descriptor from here on: a name of the tree swapped for a
    // link meanwhile is refused, never followed.
    std::optional<TDirectoryLevel> level;
    if (parent)
      level.emplace(*parent, *listed);
    else
      level.emplace(source);
    if (level->Error != 0)
      guard.Raise("Can not find file.", source, {}, static_cast<uint32_t>(level->Error));
    TFileHandle made; // the target this walk created, to take the source's mode and times
    if (!Counting && WritesNewFiles(Operation) && target != source) {
      const TParentDirectory into(target);
      // Private while it fills, so a read-only source directory still takes its content.
      int code = into.Error != 0                                                 ? into.Error
                 : ::mkdirat(into.Handle.Get(), into.Name.c_str(), S_IRWXU) != 0 ? errno
                                                                                 : 0;
      if (code == EINVAL && IsDirectoryTitle(target)) code = EEXIST; // the root
      if (code != 0 && code != EEXIST)
        guard.Raise("Failed to " + Settings.Operation + " directory.", target, {},
                    static_cast<uint32_t>(code));
      if (code == 0)
        made = TFileHandle(::openat(into.Handle.Get(), into.Name.c_str(),
                                    O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (code == 0 && Recorder && Operation == TFileOperation::Move)
        Recorder->MadeDirectory(target);
    }
    // A directory the copy made is recorded whole, its content with it.
    struct TInsideCreated {
      int& Depth;
      bool On;
      ~TInsideCreated() {
        if (On) --Depth;
      }
    } inside{InsideCreated, made.Valid() && Operation == TFileOperation::Copy};
    if (inside.On) ++InsideCreated;
    const int code = level->Read();
    const std::string inner = IncludeDelimiter(target);
    for (const TLevelEntry& entry : level->Entries) {
      if (Cancelled) break;
      const std::string title = source + "/" + entry.Name;
      if (entry.IsDirectory())
        ProcessDirectory(&*level, &entry, title, inner);
      else
        ProcessFile(&*level, &entry, title, inner, entry.Size, entry.Attributes);
      TGuard::EarlyExit();
    }
    // Last, since writing the content changed the times.
    const int attributes = made.Valid() ? CopyDirectoryAttributes(level->Facts(), made.Get()) : 0;
    if (inside.On) {
      inside.On = false;
      if (--InsideCreated == 0 && Recorder) Recorder->Created(target);
    }
    if (code != 0)
      guard.Raise("Failed to " + Settings.Operation + " directory content.", source, {},
                  static_cast<uint32_t>(code));
    if (attributes != 0)
      guard.Raise("Failed to " + Settings.Operation + " directory.", target, {},
                  static_cast<uint32_t>(attributes));
    if (!Counting && !Cancelled && RemovesSource(Operation)) {
      const struct stat& facts = level->Facts();
      if ((facts.st_mode & S_IWUSR) == 0) ::fchmod(level->Fd(), (facts.st_mode & 07777) | S_IWUSR);
      // Only an empty directory goes: what a filter left behind stays.
      if (const int removed = level->Remove())
        guard.Raise("Failed to " + Settings.Operation + " directory.", source, {},
                    static_cast<uint32_t>(removed));
      if (Recorder) Recorder->RemovedDirectory(source, facts.st_mode);
    }
    ++Count.Directories;
  });
  Report(guard, "Failed to " + Settings.Operation + " directory content.");
}

void TFileEngine::ProcessFile(const TDirectoryLevel* parent, const TLevelEntry* listed,
                              const std::string& source, const std::string& destination,
                              uint64_t size, uint32_t attributes) {
  if (Cancelled) return TGuard::EarlyExit();
  TGuard guard("TFileEngine::ProcessFile");
  guard.Run([&] {
    Refresh(source, destination);
    if (MatchesFilters(GetTitleName(source))) {
      const std::string target = !OperationHasDestination(Operation) ? std::string()
                                 : parent || TopName.empty() ? TargetTitle(source, destination)
                                                             : destination + TopName;
      // A file cannot hold its destination; directories were checked on the way in.
      if (!Counting) ActOnFile(guard, parent, listed, source, target);
      Refresh(source, target, 1.0);
      if (!Cancelled) {
        if (Counting) {
          if (attributes & faEncrypted) EncryptedSeen = true;
          if (StreamsState == 0) StreamsState = GetFileStreamCount(source);
          FunStatContext.Reset(fsPerfect);
        }
        Count.Size += size;
        if (Operation == TFileOperation::Copy || Operation == TFileOperation::ConvertPicture ||
            (Operation == TFileOperation::Move && !IsSameRoot(source, destination)))
          Count.SpaceNeeded += size;
        FunStatContext.Reset(fsPerfect);
      }
    }
  });
  Report(guard, "Failed to " + Settings.Operation + " file.");
  ++Count.Files;
}

void TFileEngine::ActOnFile(TGuard& guard, const TDirectoryLevel* parent, const TLevelEntry* listed,
                            const std::string& source, const std::string& target) {
  switch (Operation) {
  case TFileOperation::Delete:
    if (parent)
      MyDeleteFileAt(parent->Fd(), listed->Name, source);
    else
      MyDeleteFile(source);
    break;
  case TFileOperation::Recycle:
    // The trash takes titles: one that no longer leads into the held
    // directory is refused rather than followed elsewhere.
    if (parent && !TitleStillReaches(source, *parent, *listed))
      guard.Raise("Failed to recycle.", source, {}, static_cast<uint32_t>(ReplacedEntryCode));
    Recycle(guard, source);
    break;
  case TFileOperation::ClipTitles:
    Titles += source + "\r\n";
    ClippedTitles.push_back(source);
    break;
  case TFileOperation::Compare: {
    const TOverwriteAnswer answer = Decision.Decide(source, target, {});
    if (answer.Process && !Cancelled) ++Count.Newer;
    if (answer.Exists) {
      ++Count.Common;
      Titles += source + "\r\n";
    } else {
      Titles += "NOT_AT_DESTINATION=" + source + "\r\n";
    }
    return;
  }
  case TFileOperation::Copy:
  case TFileOperation::Move: {
    if (IsSameFile(source, target))
      guard.Raise("Source and destination are the same.", source, target);
    const TOverwriteAnswer answer =
        Decision.Decide(source, target, [&](const TOverwriteView& view) {
          return AskOverwrite(source, target, view);
        });
    if (answer.Cancel) Cancelled = true;
    if (!answer.Process) return;
    if (answer.Exists) ++Count.Common;
    Refresh(source, target, 0);
    if (Cancelled) return;
    // The user agreed to lose the streams the destination cannot keep.
    const bool dropStreams = StreamsState > 0;
    if (Operation == TFileOperation::Copy) {
      // Read through the held directory, never through a name swapped meanwhile.
      const std::string held = parent ? DescriptorPath(parent->Fd(), listed->Name) : source;
      const bool copied =
          MyCopyFile(held, target, answer.Overwrite, Settings.IgnoreEncryption, dropStreams);
      if (parent) Retitle(held, source);
      // A replaced file cannot come back: only new ones are recorded.
      if (copied && !answer.Exists && Recorder && InsideCreated == 0) Recorder->Created(target);
      break;
    }
    const bool moved = parent ? MyMoveFileAt(parent->Fd(), listed->Name, source, target,
                                             answer.Overwrite, dropStreams)
                              : MyMoveFile(source, target, answer.Overwrite, dropStreams);
    guard.TakeOver();
    Moved(source, target);
    if (moved && Recorder) Recorder->Moved(source, target);
    return;
  }
  case TFileOperation::ConvertPicture: {
    const std::string converted = ConvertedTitle(target, Picture.Extension);
    const TOverwriteAnswer answer =
        Decision.Decide(source, converted, [&](const TOverwriteView& view) {
          return AskOverwrite(source, converted, view);
        });
    if (answer.Cancel) Cancelled = true;
    if (!answer.Process) return;
    if (answer.Exists) ++Count.Common;
    Refresh(source, converted, 0);
    if (Cancelled) return;
    TConvertPictureRequest request = Picture;
    request.Overwrite = answer.Overwrite;
    // Read through the held directory, never through a name swapped meanwhile.
    const std::string held = parent ? DescriptorPath(parent->Fd(), listed->Name) : source;
    ConvertPicture(held, converted, request);
    Retitle(held, source);
    guard.TakeOver();
    // The new file is a new main stream: the notes attached to the picture follow it,
    // unless the user agreed to lose the ones the destination cannot keep.
    if (StreamsState <= 0) {
      CopyFileStreams(held, converted);
      Retitle(held, source);
    }
    break;
  }
  case TFileOperation::CopyAsLink:
    break;
  }
  guard.TakeOver();
}

void TFileEngine::Recycle(TGuard& guard, const std::string& source) {
  TTrashedEntry trashed;
  RecycleFileLocated(source, trashed);
  guard.TakeOver();
  if (Recorder && !trashed.File.empty()) Recorder->Recycled(source, trashed.File, trashed.Info);
}

void TFileEngine::CopyAsLink(const std::string& source, const std::string& destination,
                             bool isDirectory) {
  TGuard guard("TFileEngine::CopyAsLink");
  guard.Run([&] {
    Refresh(source, destination);
    if (!MatchesFilters(GetTitleName(source))) return;
    if (PlaceOf(destination, source) != TPlace::Elsewhere)
      guard.Raise("You should not " + Settings.Operation + " in the same directory.", source,
                  destination);
    const std::string link = TargetTitle(source, destination) + GetLinkExtension(source);
    if (Counting) return;
    const TOverwriteAnswer answer = Decision.Decide(
        source, link, [&](const TOverwriteView& view) { return AskOverwrite(source, link, view); });
    if (answer.Cancel) Cancelled = true;
    if (!answer.Process) return;
    CopyFileAsLink(source, link, answer.Overwrite, false, true, {});
    guard.TakeOver();
    if (Recorder && !answer.Exists) Recorder->Created(link);
  });
  Report(guard, "Failed to " + Settings.Operation + " file.");
  ++(isDirectory ? Count.Directories : Count.Files);
}

} // namespace cv
