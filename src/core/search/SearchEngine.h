#pragma once
// The file search behind the search window: walks the chosen items and the
// directories below them, tests each item against the name pattern, the
// limits and the text filters (or, in duplicates mode, against a model
// file), and hands the found items to the host in batches. The walk runs on
// the thread that calls Run; reading and matching contents is spread over
// worker threads, and results are taken in the order of the walk, so the
// found list never depends on how many threads ran.

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
  // "Errors n | Directories n | Files n | Jumped files n | Time s".
  std::string InformationLine() const;

private:
  struct TDirectory;
  struct TJob;
  struct TPool;

  void SearchTitle(const std::string& title);
  void SearchDirectory(const std::shared_ptr<TDirectory>& directory);
  void Descend(const std::shared_ptr<TDirectory>& parent, const std::string& name,
               const std::string& title);
  void Consider(const std::shared_ptr<TDirectory>& parent, const std::string& name,
                const std::string& title, unsigned char type);
  void Test(const std::shared_ptr<TDirectory>& parent, const std::string& name,
            const std::string& title, bool isDirectory);
  void Submit(TJob job, bool decided);
  // Reads and matches one item; runs on the workers.
  void Evaluate(TJob& job) const;
  // Takes the finished results in walk order; with `all` waits for every one.
  void Collect(bool all);
  void Commit(TJob& job);
  void Step(const std::string& title);
  void Flush();
  void Fail(const TFunStatContext& failure, const std::string& sentence);
  bool SkipMount(const std::string& realTitle) const;

  TSearchHost& Host;
  TSecondsClock Clock;
  TSearchSettings Settings;
  std::string RefusedWith, TextFilesPattern, Looking;
  TSearchCounters Count;
  TFoundList List;
  std::vector<TFoundBatchItem> Batch;
  std::atomic<bool> Stopped{false};
  TCrono Elapsed, Display, Pump;
  std::unique_ptr<TPool> Pool;
  struct TState;
  std::unique_ptr<TState> State;
};

} // namespace cv
