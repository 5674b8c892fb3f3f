#pragma once
// The engine behind every command that runs over a set of files and
// directories: copy, move, convert picture, copy as link, compare, recycle,
// delete and clip titles. It walks the sources once to count and once to act, asks before
// overwriting, reports each failure and goes on, and stops at the next step
// once cancelled. Everything that shows or asks goes through the host, so
// the dialog drives it and tests script it.

#include "fileops/Overwrite.h"
#include "fileops/UndoJournal.h"
#include "foundation/MyTime.h"
#include "pictures/PictureConvert.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cv {

class TDirectoryLevel;
struct TLevelEntry;

enum class TFileOperation {
  Copy,
  Move,
  ConvertPicture,
  CopyAsLink,
  Compare,
  Recycle,
  Delete,
  ClipTitles
};

// The operation of a name ("Copy", "Move", "Convert picture", "Copy as
// link", "Compare", "Recycle", "Delete", "Clip title of"; case ignored).
// False when unknown.
bool ParseFileOperation(std::string_view name, TFileOperation& operation);
// The operation writes into a destination directory.
bool OperationHasDestination(TFileOperation operation);
// The operation may put a prefix before the names it writes.
bool OperationAllowsPrefix(TFileOperation operation);

enum class TPrefixMode { None, Add, Replace };

struct TFileEngineSettings {
  std::string Operation; // its name, as shown in messages
  std::string Include, Exclude;
  std::string Prefix;
  TPrefixMode PrefixMode = TPrefixMode::None;
  bool RecursePrefix = false;
  bool NoErrors = false;
  bool StopAfterCount = false;
  // Copies of encrypted files may land unencrypted without asking.
  bool IgnoreEncryption = false;
  // "Convert picture": the format's description ("JPEG"), the quality (0 to
  // 1; 1 when outside) and whether the thumb normalisation options apply.
  std::string PictureFormat;
  double PictureQuality = 1.0;
  bool NormalizePicture = false;
};

// The warning that refuses the settings ("" when they are valid).
std::string ValidateFileEngineSettings(const TFileEngineSettings& settings);

struct TFileEngineDisplay {
  std::string Total, Current, Source, Destination;
};

class TFileEngineHost {
public:
  virtual ~TFileEngineHost() = default;
  // The overwrite window; closing it answers Abort.
  virtual TOverwriteChoice AskOverwrite(const TOverwriteView& view) = 0;
  // A yes/no question; false ends the run.
  virtual bool AskYesNo(const std::string& question) = 0;
  // Fresh texts for the window, at most once a second.
  virtual void ShowProgress(const TFileEngineDisplay& display) = 0;
  // A step of the run, every 50 ms at most: a host on the engine's own
  // thread lets the window process its events here (Cancel may arrive).
  virtual void PumpEvents() = 0;
  // The source item was processed: the column takes its selection away.
  virtual void Deselect(size_t sourceIndex) = 0;
  // The collected titles for the clipboard: the report text and, for "Clip
  // title of", the titles themselves (a name may hold a line break, so the
  // text cannot give them back). False when it failed.
  virtual bool CopyToClipboard(const std::string& text, const std::vector<std::string>& titles) = 0;
  // A moved item of the source directory has its new title: a column that
  // shows a container renames the item there.
  virtual void RenameContainerItem(const std::string& oldTitle, const std::string& newTitle) = 0;
};

struct TFileEngineCounters {
  uint32_t Errors = 0, Directories = 0, Files = 0, Newer = 0, Common = 0;
  uint64_t Size = 0, SpaceNeeded = 0;
};

class TFileEngine {
public:
  explicit TFileEngine(TFileEngineHost& host, TSecondsClock clock = &SecondsNow);

  // Runs the operation over the sources (titles) into the destination
  // directory (ignored by operations without one). A source title ending in
  // "/" stands for the directory's content, written straight into the
  // destination. False when the settings were refused or the run did not
  // reach its end (cancelled, or a question answered no).
  bool Run(const TFileEngineSettings& settings, const std::vector<std::string>& sources,
           const std::string& destinationDirectory);
  // The same, each source going to its own title (`targets`, one per
  // source, in any directories) instead of its name in one directory.
  bool RunToTargets(const TFileEngineSettings& settings, const std::vector<std::string>& sources,
                    const std::vector<std::string>& targets);
  // Stops the walk at the next step and the running copy or move; any
  // thread may call it. A cancel before the first run stops that run at once.
  void Cancel() { Cancelled = true; }
  bool IsCancelled() const { return Cancelled; }

  const TFileEngineCounters& Counters() const { return Count; }
  const TFileEngineCounters& Totals() const { return Total; }
  const std::string& CollectedTitles() const { return Titles; }
  // "Errors n | Directories n | Files n | Size s | Time hh:nn:ss".
  std::string CountersLine(double fileFraction = -1) const;
  TOverwriteDecision& Overwrite() { return Decision; }
  // The user allowed unencrypted copies when asked during the last run.
  bool IgnoreEncryption() const { return Settings.IgnoreEncryption; }
  // Copies, moves, links and recycles of the runs from now on leave how to
  // undo what they did in the journal (null: nowhere).
  void RecordInto(TUndoJournal* journal) { Journal = journal; }

private:
  void Walk(const std::vector<std::string>& sources, const std::string& destination);
  void Choose(const std::string& source, const std::string& destination);
  // A directory: a top-level source (`parent` null) or the entry `listed`
  // of the held directory `parent`.
  void ProcessDirectory(const TDirectoryLevel* parent, const TLevelEntry* listed,
                        const std::string& source, const std::string& destination);
  // A file: a top-level source (`parent` null) or an entry of `parent`.
  void ProcessFile(const TDirectoryLevel* parent, const TLevelEntry* listed,
                   const std::string& source, const std::string& destination, uint64_t size,
                   uint32_t attributes);
  void CopyAsLink(const std::string& source, const std::string& destination, bool isDirectory);
  void ActOnFile(class TGuard& guard, const TDirectoryLevel* parent, const TLevelEntry* listed,
                 const std::string& source, const std::string& target);
  // Recycles a title and records where the trash put it.
  void Recycle(class TGuard& guard, const std::string& source);
  bool MatchesFilters(std::string_view name) const;
  bool NoFilter() const;
  std::string TargetTitle(const std::string& source, const std::string& destination) const;
  // Counts a failure of the guard and shows it; false when the user stopped.
  void Report(class TGuard& guard, std::string_view text);
  void Refresh(const std::string& source, const std::string& destination, double fraction = -1);
  bool NeedsCountingPass() const;
  bool AskQuestions();
  bool RunPasses(class TGuard& guard, const std::vector<std::string>& sources);
  void Moved(const std::string& source, const std::string& target);
  TOverwriteChoice AskOverwrite(const std::string& source, const std::string& target,
                                const TOverwriteView& view);

  TFileEngineHost& Host;
  TSecondsClock Clock;
  TFileEngineSettings Settings;
  TFileOperation Operation = TFileOperation::Copy;
  TOverwriteDecision Decision;
  TFileEngineCounters Count, Total;
  std::string Titles, Include, Exclude, SourceRoot, Destination;
  // RunToTargets: the title of each source, and the name of the one walked.
  std::vector<std::string> TopTargets;
  std::string TopName;
  std::vector<std::string> ClippedTitles;
  TConvertPictureRequest Picture;
  // -1: streams need no check; else the secondary streams seen while counting.
  int StreamsState = -1;
  bool EncryptedSeen = false;
  bool Counting = false, NoErrors = false;
  // A run ended: the next one forgets its cancel.
  bool Ran = false;
  std::atomic<bool> Cancelled{false};
  TUndoJournal* Journal = nullptr;
  // The steps of the real pass, for the journal.
  std::optional<TUndoRecorder> Recorder;
  // Inside a directory the copy made: its content goes with it on undo.
  int InsideCreated = 0;
  TCrono Elapsed, Display, Pump;
  TFileEngineDisplay Shown;
};

} // namespace cv
