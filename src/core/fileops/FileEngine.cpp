#include "fileops/FileEngine.h"

#include "filesystem/DirectoryReader.h"
#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "filesystem/FileInfo.h"
#include "filesystem/FileOperations.h"
#include "filesystem/FileStreams.h"
#include "filesystem/Links.h"
#include "filesystem/Partitions.h"
#include "filesystem/Trash.h"
#include "foundation/Guard.h"
#include "foundation/Text.h"
#include "foundation/UserInterface.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
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

// The title with links and bind mounts resolved, so a destination inside a
// source is found whatever path names it; the part that does not exist yet
// is appended as written.
std::string CanonicalTitle(const std::string& title) {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::weakly_canonical(title, error);
  return TrimDelimiter(error ? NormalizeTitle(title) : path.string());
}

enum class TPlace { Elsewhere, Same, Inside };

// Where `title` lies against the directory `directory`: the title and each
// of its parents are compared by identity (device and inode), so the answer
// holds through symbolic links and bind mounts; the part of the title that
// does not exist yet is taken as written.
TPlace PlaceOf(const std::string& title, const std::string& directory) {
  struct stat home {};
  if (::stat(directory.c_str(), &home) != 0) return TPlace::Elsewhere;
  std::string path = CanonicalTitle(title);
  for (bool first = true;; first = false) {
    struct stat facts {};
    if (::stat(path.c_str(), &facts) == 0 && facts.st_dev == home.st_dev &&
        facts.st_ino == home.st_ino)
      return first ? TPlace::Same : TPlace::Inside;
    const size_t slash = path.rfind(PathDelimiter);
    if (slash == std::string::npos || path.size() <= 1) return TPlace::Elsewhere;
    path.resize(slash == 0 ? 1 : slash);
  }
}

bool IsRealDirectory(const TFileInfo& info) {
  return (info.Attributes & faDirectory) != 0 && (info.Attributes & faReparsePoint) == 0;
}

bool WritesIntoDestination(TFileOperation operation) {
  return operation == TFileOperation::Copy || operation == TFileOperation::Move ||
         operation == TFileOperation::Compare;
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
  if (Include.empty() && Exclude.empty()) return true;
  return MatchesNameFilter(name, Include) && (Exclude.empty() || !MatchesNameFilter(name, Exclude));
}

bool TFileEngine::NoFilter() const {
  return (Include.empty() || Include == "*") && Exclude.empty();
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
  Cancelled = false;
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
  StreamsState = -1;
  if (Operation == TFileOperation::Copy || Operation == TFileOperation::Move) {
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
  if (Operation != TFileOperation::Copy && Operation != TFileOperation::Move) return true;
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
  if (EncryptedSeen && !Settings.IgnoreEncryption) {
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
    // Dropped files may come from several directories: each is top level in its own.
    SourceRoot = sources[i].back() == PathDelimiter ? sources[i] : GetTitlePath(sources[i]);
    Choose(sources[i], destination);
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
      ProcessDirectory(source, destination);
    else
      ProcessFile(source, destination, info.Size, info.Attributes);
  });
  Report(guard, "Failed to " + Settings.Operation + ".");
}

void TFileEngine::ProcessDirectory(const std::string& sourceTitle, const std::string& destination) {
  if (Cancelled) return TGuard::EarlyExit();
  TGuard guard("TFileEngine::ProcessDirectory");
  const std::string source = TrimDelimiter(sourceTitle);
  guard.Run([&] {
    Refresh(source, destination);
    if (!Counting && Operation == TFileOperation::Recycle && NoFilter()) {
      RecycleFile(source);
      guard.TakeOver();
      ++Count.Directories;
      return;
    }
    // Whole-directory mode writes the content straight into the destination.
    const std::string target = sourceTitle.back() == PathDelimiter
                                   ? TrimDelimiter(destination)
                                   : destination + GetTitleName(source);
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
      MyMoveFile(source, target, false);
      guard.TakeOver();
      Moved(source, target);
      ++Count.Directories;
      return;
    }
    FunStatContext.Reset(fsPerfect);
    if (!Counting && (Operation == TFileOperation::Copy || Operation == TFileOperation::Move) &&
        target != source) {
      struct stat facts {};
      const mode_t mode = ::stat(source.c_str(), &facts) == 0 ? (facts.st_mode & 07777) : 0755;
      if (::mkdir(target.c_str(), mode | S_IRWXU) != 0 && errno != EEXIST)
        guard.Raise("Failed to " + Settings.Operation + " directory.", target, {},
                    static_cast<uint32_t>(errno));
    }
    struct TEntry {
      std::string Name;
      bool IsDirectory;
      uint64_t Size;
      uint32_t Attributes;
    };
    std::vector<TEntry> entries;
    bool opened = false;
    const int code = ReadDirectory(
        source,
        [&](std::string_view name, const TFileInfo* info) {
          entries.push_back({std::string(name), info && IsRealDirectory(*info),
                             info ? info->Size : 0, info ? info->Attributes : 0u});
        },
        &opened);
    if (code != 0 && !opened)
      guard.Raise("Can not find file.", source, {}, static_cast<uint32_t>(code));
    std::sort(entries.begin(), entries.end(),
              [](const TEntry& a, const TEntry& b) { return a.Name < b.Name; });
    const std::string inner = IncludeDelimiter(target);
    for (const TEntry& entry : entries) {
      if (Cancelled) break;
      const std::string title = source + "/" + entry.Name;
      if (entry.IsDirectory)
        ProcessDirectory(title, inner);
      else
        ProcessFile(title, inner, entry.Size, entry.Attributes);
      TGuard::EarlyExit();
    }
    if (code != 0)
      guard.Raise("Failed to " + Settings.Operation + " directory content.", source, {},
                  static_cast<uint32_t>(code));
    if (!Counting && !Cancelled && RemovesSource(Operation)) {
      ClearReadOnly(source);
      FunStatContext.Reset(fsPerfect);
      // Only an empty directory goes: what a filter left behind stays.
      if (::rmdir(source.c_str()) != 0)
        guard.Raise("Failed to " + Settings.Operation + " directory.", source, {},
                    static_cast<uint32_t>(errno));
    }
    ++Count.Directories;
  });
  Report(guard, "Failed to " + Settings.Operation + " directory content.");
}

void TFileEngine::ProcessFile(const std::string& source, const std::string& destination,
                              uint64_t size, uint32_t attributes) {
  if (Cancelled) return TGuard::EarlyExit();
  TGuard guard("TFileEngine::ProcessFile");
  guard.Run([&] {
    Refresh(source, destination);
    if (MatchesFilters(GetTitleName(source))) {
      const std::string target =
          OperationHasDestination(Operation) ? TargetTitle(source, destination) : std::string();
      // A file cannot hold its destination; directories were checked on the way in.
      if (!Counting) ActOnFile(guard, source, target);
      Refresh(source, target, 1.0);
      if (!Cancelled) {
        if (Counting) {
          if (attributes & faEncrypted) EncryptedSeen = true;
          if (StreamsState == 0) StreamsState = GetFileStreamCount(source);
          FunStatContext.Reset(fsPerfect);
        }
        Count.Size += size;
        if (Operation == TFileOperation::Copy ||
            (Operation == TFileOperation::Move && !IsSameRoot(source, destination)))
          Count.SpaceNeeded += size;
        FunStatContext.Reset(fsPerfect);
      }
    }
  });
  Report(guard, "Failed to " + Settings.Operation + " file.");
  ++Count.Files;
}

void TFileEngine::ActOnFile(TGuard& guard, const std::string& source, const std::string& target) {
  switch (Operation) {
  case TFileOperation::Delete:
    MyDeleteFile(source);
    break;
  case TFileOperation::Recycle:
    RecycleFile(source);
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
    if (Operation == TFileOperation::Copy) {
      MyCopyFile(source, target, answer.Overwrite, Settings.IgnoreEncryption, StreamsState > 0);
      break;
    }
    MyMoveFile(source, target, answer.Overwrite, StreamsState > 0);
    guard.TakeOver();
    Moved(source, target);
    return;
  }
  case TFileOperation::CopyAsLink:
    break;
  }
  guard.TakeOver();
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
  });
  Report(guard, "Failed to " + Settings.Operation + " file.");
  ++(isDirectory ? Count.Directories : Count.Files);
}

} // namespace cv
