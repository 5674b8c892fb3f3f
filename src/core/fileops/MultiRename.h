#pragma once
// Renaming many files (or container items) with one pattern: a replace of
// one text by another, then prefix + counter + suffix + extension. The
// preview builds the new titles; the plan renames the files without ever
// writing over one of them: chains and swaps inside the selection go
// through temporary names, equal new titles are refused before anything
// moves, and a title that exists outside the selection asks the overwrite
// question.

#include "fileops/Overwrite.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

enum class TMultiRenameMode { Files, ContainerItems };

inline constexpr const char* InvalidCounterWarning = "Invalid counter values.";
inline constexpr const char* InvalidFiltersWarning = "Invalid filters.";
inline constexpr const char* InvalidResultFailure = "Invalid filters: some names would be invalid.";
inline constexpr const char* ItemsNeedReplaceFailure =
    "If you don't rename the files then you must replace some text in the names of the container "
    "items.";

struct TMultiRenameCounter {
  static constexpr int MinDigits = 1, MaxDigits = 9, DefaultDigits = 4;
  static constexpr int MaxStart = 1000000, MaxStep = 1000000;
  int Digits = DefaultDigits;
  int Start = 1;
  int Step = 1;
};

// The counter boxes as integers within their ranges (an empty box takes
// the default). False when one of them is no such number.
bool ReadMultiRenameCounter(std::string_view digits, std::string_view start, std::string_view step,
                            TMultiRenameCounter& counter);
// The values offered in the counter lists.
std::vector<std::string> CounterDigitsChoices();
std::vector<std::string> CounterStartChoices();
std::vector<std::string> CounterStepChoices();

struct TMultiRenameFilters {
  std::string Prefix, Suffix;
  std::string Extension; // without the dot; empty keeps each old extension
  std::string OriginalText, NewText;
};

// The replace applies: the two texts differ (case counts).
inline bool IsReplaceActive(const TMultiRenameFilters& filters) {
  return filters.OriginalText != filters.NewText;
}
// "" when the filters may be used, else the warning (InvalidFiltersWarning).
std::string CheckMultiRenameFilters(const TMultiRenameFilters& filters, TMultiRenameMode mode,
                                    bool containerShown);

// The new titles at the positions of `oldTitles`: the replace, then the
// pattern. A guarded function: a result that would be no valid name fails
// with InvalidResultFailure and `newTitles` is left as it was.
bool BuildMultiRenameTitles(const std::vector<std::string>& oldTitles,
                            const TMultiRenameFilters& filters, const TMultiRenameCounter& counter,
                            TMultiRenameMode mode, std::vector<std::string>& newTitles);

// "Do you want to rename 12 files?" / "... container items?".
std::string MultiRenameQuestion(size_t count, TMultiRenameMode mode);

// A name the kernel takes for an entry of a directory: not empty, not "."
// or "..", no "/" and no NUL. Compared and kept byte for byte.
bool IsValidEntryName(std::string_view name);

// What the renaming asks and tells.
struct TMultiRenameHost {
  // The overwrite window for a new title that exists outside the selection.
  TOverwriteAsk AskOverwrite;
  // The plan is made and every question answered; the renames follow.
  std::function<void()> Planned;
  // Position `index` has its new title on disk: a container item follows
  // it at once. False (with the status context set) when the item refused.
  std::function<bool(size_t index, const std::string& newTitle)> Renamed;
  // Each rename on disk as it happens, parking and putting back included:
  // what the journal needs to undo exactly what was done.
  std::function<void(const std::string& from, const std::string& to)> Stepped;
};

struct TMultiRenameOutcome {
  size_t Renamed = 0;   // files (or items) now under their new titles
  bool Aborted = false; // the overwrite question was answered Abort
};

// Renames each file `oldTitles[i]` to `newTitles[i]` (same directory);
// equal titles stay. Nothing is renamed when a new name is invalid, two
// items would end with the same title, or the user aborts a question. A
// failure stops the run; every file is then under its old or its new title
// (a file parked under a temporary name is put back). Guarded.
bool MultiRenameFiles(const std::vector<std::string>& oldTitles,
                      const std::vector<std::string>& newTitles, const TMultiRenameHost& host,
                      TMultiRenameOutcome& outcome);

// Container-items mode: only the items' titles change, through `rename`
// (position, new title). Invalid titles are refused before any item
// changes. Guarded.
bool MultiRenameItems(const std::vector<std::string>& oldTitles,
                      const std::vector<std::string>& newTitles,
                      const std::function<bool(size_t index, const std::string& newTitle)>& rename,
                      TMultiRenameOutcome& outcome);

} // namespace cv
