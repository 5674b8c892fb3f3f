#pragma once
// The file search behind the search window: walks the chosen items and the
// directories below them, tests each item against the name pattern, the
// limits and the text filters (or, in duplicates mode, against a model
// file), and hands the found items to the host in batches. The walk runs on
// a thread of its own and reading and matching contents is spread over
// worker threads, which take the walk's items in batches (a wake-up per file
// would cost more than reading it); the thread that calls Run takes their
// results in the order of the walk (so the found list never depends on how
// many threads ran) and is the only one that talks to the host. A partition that stops
// answering is reported once and left behind with the threads stuck in it.

#include "search/SearchText.h"

#include "foundation/Error.h"
#include "foundation/MyTime.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cv {

struct TSearchSettings {
  // The expanded name pattern (see SearchNamePattern).
  std::string Pattern = "*";
  bool FindDirectories = true, FindFiles = true, Recursive = true;
  TSearchTextFilter Text;
  TFileParts Parts = TFileParts::NameText;
  TSearchLimits Limits;
  // Duplicates mode when not empty: files with the model's content.
  std::string Model;
  // Worker threads for contents; 0 takes one per core.
  unsigned Threads = 0;
  // A share or FUSE partition whose call takes longer is given up.
  double StallSeconds = 10;
};

// The pattern box's text as the walk matches it: predefined names expanded,
// and with `similar` a "*" before the first and after the last pattern.
// `isTextPattern` tells whether it is the text-files pattern.
std::string SearchNamePattern(std::string_view text, bool similar, bool* isTextPattern = nullptr);

// The warning that refuses the settings ("" when they can run); sets the
// limits' reference time from `now`.
std::string ValidateSearchSettings(TSearchSettings& settings, TDateTime now);

struct TSearchCounters {
  uint32_t Errors = 0, Directories = 0, Files = 0, Jumped = 0;
};

struct TFoundBatchItem {
  TFoundItem Item;
  // Where the line went in the found list when it was inserted; a host that
  // inserts the batch in order at these places has the engine's list.
  size_t Place = 0;
};

class TSearchHost {
public:
  virtual ~TSearchHost() = default;
  // Found items since the last batch, in the order they were found.
  virtual void Found(const std::vector<TFoundBatchItem>& batch) = 0;
  // "Looking in" and the information line, at most once a second.
  virtual void ShowProgress(const std::string& lookingIn, const std::string& information) = 0;
  // A step of the walk, every 20 ms at most (Stop may arrive here).
  virtual void PumpEvents() = 0;
  // A failure, counted already; false stops the search.
  virtual bool ReportError(const TFunStatContext& failure, const std::string& sentence) = 0;
  // The chosen item was searched: the column takes its selection away.
  virtual void Deselect(size_t index) = 0;
};

class TSearchEngine {
public:
  explicit TSearchEngine(TSearchHost& host, TSecondsClock clock = &SecondsNow);
  ~TSearchEngine();

  // Searches the titles (the chosen items of a column). False when the
  // settings were refused (see Warning) or the search was stopped.
  bool Run(TSearchSettings settings, const std::vector<std::string>& titles);
  // Any thread; the walk and the workers stop at their next step.
  void Stop() { Stopped = true; }
  bool IsStopped() const { return Stopped; }

  const std::string& Warning() const { return RefusedWith; }
  const TSearchCounters& Counters() const { return Count; }
  const TFoundList& FoundList() const { return List; }
  // "Errors n | Directories n | Files n | Jumped files n | Time s"; during a
  // long file (`fileFraction` from 0 to 1) also " | Progress n ‰ | Text
  // filter k" with the per-mille of the file and the filter's number.
  std::string InformationLine(double fileFraction = -1, size_t filter = 0) const;

private:
  struct TJob;
  struct TBatch;
  struct TShared;
  class TWalker;

  void StartWalker(size_t firstTitle);
  void StartWorker();
  // Marks the partitions where a call has taken `limit` seconds and gives
  // up the threads stuck there; their mount points go to `stalled`.
  void CheckStalls(std::vector<std::string>& stalled, double limit);
  void Commit(TJob& job);
  void Step();
  void Flush();
  void Fail(const TFunStatContext& failure, const std::string& sentence);

  TSearchHost& Host;
  TSecondsClock Clock;
  std::string RefusedWith, Looking;
  TSearchCounters Count;
  TFoundList List;
  bool Ranked = false;
  std::vector<TFoundBatchItem> Batch;
  std::atomic<bool> Stopped{false};
  TCrono Elapsed, Display, Pump;
  std::vector<std::string> Titles;
  // Shared with the walker and the workers, which may outlive the run when
  // a file system stops answering.
  std::shared_ptr<TShared> Shared;
};

} // namespace cv
