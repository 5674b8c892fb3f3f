#include "fileops/MultiRename.h"

#include "columns/Container.h"
#include "filesystem/File.h"
#include "filesystem/FileOperations.h"
#include "foundation/Guard.h"
#include "foundation/Text.h"

#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {
namespace {

// Typed into the name boxes: what a name may not hold on any disk the
// files may be copied to later.
constexpr std::string_view NameBoxForbidden = "<>|\":\\/?*";
// The replace texts of container titles: a title holds "/".
constexpr std::string_view TitleTextForbidden = "<>|\"*?";

bool Holds(std::string_view text, std::string_view forbidden) {
  return text.find_first_of(forbidden) != std::string_view::npos ||
         text.find('\0') != std::string_view::npos;
}

// The name without its extension (the last "." that is not the first byte).
std::string_view Stem(std::string_view name) {
  return name.substr(0, name.size() - GetExtension(name).size());
}

// The first occurrence of `from` in `text`, ASCII letters folded; npos
// when none (an empty `from` never occurs).
size_t FindFolded(std::string_view text, std::string_view from) {
  if (from.empty()) return std::string_view::npos;
  return FoldAsciiCase(text).find(FoldAsciiCase(from));
}

std::string ReplaceFirst(std::string_view text, std::string_view from, std::string_view to) {
  const size_t at = FindFolded(text, from);
  if (at == std::string_view::npos) return std::string(text);
  std::string result(text.substr(0, at));
  result += to;
  result += text.substr(at + from.size());
  return result;
}

// A result of the replace that names nothing: the name, once its
// extension is gone, is empty (also when only the old extension is left,
// which would otherwise turn into a hidden file).
bool ResultNameValid(std::string_view oldName, std::string_view newName) {
  if (!IsValidEntryName(newName) || Stem(newName).empty()) return false;
  const std::string oldExtension = GetExtension(oldName);
  return oldExtension.empty() || newName != oldExtension;
}

bool IsDirectoryEntry(const std::string& title) {
  struct stat facts {};
  return ::lstat(title.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode);
}

// A free name beside `title` for parking it during a swap; the rename
// itself never replaces, so a name taken meanwhile only fails.
std::string TemporaryTitle(const std::string& title, int& sequence) {
  std::string candidate;
  for (int tries = 0; tries < 1000; ++tries) {
    candidate = GetTitlePath(title) + ".corvantide-rename-" + std::to_string(::getpid()) + "-" +
                std::to_string(++sequence);
    if (!TitleExists(candidate)) break;
  }
  return candidate;
}

std::vector<std::string> Powers(int from, int to) {
  std::vector<std::string> values;
  for (int value = from; value <= to; value *= 10)
    values.push_back(std::to_string(value));
  return values;
}

} // namespace

bool ReadMultiRenameCounter(std::string_view digits, std::string_view start, std::string_view step,
                            TMultiRenameCounter& counter) {
  TMultiRenameCounter read;
  if (!CheckIntFromText(digits, TMultiRenameCounter::MinDigits, TMultiRenameCounter::MaxDigits,
                        read.Digits, TMultiRenameCounter::DefaultDigits) ||
      !CheckIntFromText(start, 0, TMultiRenameCounter::MaxStart, read.Start, 1) ||
      !CheckIntFromText(step, 1, TMultiRenameCounter::MaxStep, read.Step, 1))
    return false;
  counter = read;
  return true;
}

std::vector<std::string> CounterDigitsChoices() {
  std::vector<std::string> values;
  for (int digits = TMultiRenameCounter::MinDigits; digits <= TMultiRenameCounter::MaxDigits;
       ++digits)
    values.push_back(std::to_string(digits));
  return values;
}

std::vector<std::string> CounterStartChoices() {
  std::vector<std::string> values = Powers(1, TMultiRenameCounter::MaxStart);
  values.insert(values.begin(), "0");
  return values;
}

std::vector<std::string> CounterStepChoices() {
  return Powers(1, TMultiRenameCounter::MaxStep);
}

std::string CheckMultiRenameFilters(const TMultiRenameFilters& filters, TMultiRenameMode mode,
                                    bool containerShown) {
  const std::string_view replaceForbidden =
      mode == TMultiRenameMode::Files ? NameBoxForbidden : TitleTextForbidden;
  if (Holds(filters.Prefix, NameBoxForbidden) || Holds(filters.Suffix, NameBoxForbidden) ||
      Holds(filters.Extension, NameBoxForbidden) || Holds(filters.OriginalText, replaceForbidden) ||
      Holds(filters.NewText, replaceForbidden))
    return InvalidFiltersWarning;
  // A line break cannot be part of a stored container title.
  for (const std::string* text : {&filters.OriginalText, &filters.NewText})
    if (HasInvalidTitleCharacters(*text)) return InvalidFiltersWarning;
  if (containerShown && filters.OriginalText.empty() && !filters.NewText.empty())
    return InvalidFiltersWarning;
  if (filters.Prefix.empty() && filters.Suffix.empty() && filters.Extension.empty() &&
      filters.OriginalText.empty())
    return InvalidFiltersWarning;
  return {};
}

bool BuildMultiRenameTitles(const std::vector<std::string>& oldTitles,
                            const TMultiRenameFilters& filters, const TMultiRenameCounter& counter,
                            TMultiRenameMode mode, std::vector<std::string>& newTitles) {
  TGuard guard("TMultiRenameItemForm::Preview");
  return guard.Run(false, [&] {
    std::vector<std::string> titles = oldTitles;
    if (IsReplaceActive(filters)) {
      for (std::string& title : titles) {
        const std::string oldName = GetTitleName(title);
        if (mode == TMultiRenameMode::Files) {
          const std::string name = ReplaceFirst(oldName, filters.OriginalText, filters.NewText);
          if (!ResultNameValid(oldName, name)) guard.Raise(InvalidResultFailure, title, name);
          title = GetTitlePath(title) + name;
        } else {
          const std::string replaced = ReplaceFirst(title, filters.OriginalText, filters.NewText);
          if (!IsContainerTitle(replaced) || Holds(replaced, TitleTextForbidden) ||
              !ResultNameValid(oldName, GetTitleName(replaced)))
            guard.Raise(InvalidResultFailure, title, replaced);
          title = replaced;
        }
      }
    }
    if (!filters.Prefix.empty() || !filters.Suffix.empty()) {
      int64_t value = counter.Start;
      for (std::string& title : titles) {
        const std::string extension =
            filters.Extension.empty() ? GetExtension(title) : "." + filters.Extension;
        title = GetTitlePath(title) + filters.Prefix + IntToZeroText(value, counter.Digits) +
                filters.Suffix + extension;
        value += counter.Step;
      }
    } else if (!filters.Extension.empty()) {
      for (std::string& title : titles)
        title =
            GetTitlePath(title) + std::string(Stem(GetTitleName(title))) + "." + filters.Extension;
    }
    newTitles = std::move(titles);
    return true;
  });
}

std::string MultiRenameQuestion(size_t count, TMultiRenameMode mode) {
  return "Do you want to rename " + IntToGroupedText(static_cast<int64_t>(count)) +
         (mode == TMultiRenameMode::Files ? " files?" : " container items?");
}

bool IsValidEntryName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

bool MultiRenameFiles(const std::vector<std::string>& oldTitles,
                      const std::vector<std::string>& newTitles, const TMultiRenameHost& host,
                      TMultiRenameOutcome& outcome) {
  outcome = {};
  TGuard guard("TMultiRenameItemForm::Rename");
  return guard.Run(false, [&] {
    if (oldTitles.size() != newTitles.size())
      guard.Panic("Column and container items are not synchronized. You must reload the column.");
    const size_t count = oldTitles.size();

    // ---- Refusals: before anything is asked or moved ----
    std::vector<bool> moves(count, false);
    std::set<std::string> olds;
    for (size_t i = 0; i < count; ++i) {
      if (!olds.insert(oldTitles[i]).second)
        guard.Raise("The same file is selected twice.", oldTitles[i]);
      if (newTitles[i] == oldTitles[i]) continue;
      if (!IsValidEntryName(GetTitleName(newTitles[i])) ||
          GetTitlePath(newTitles[i]) != GetTitlePath(oldTitles[i]) ||
          HasInvalidTitleCharacters(newTitles[i]))
        guard.Raise("Invalid name.", oldTitles[i], newTitles[i]);
      moves[i] = true;
    }
    // The titles every item ends with must differ, else one file would be
    // written over another of the selection.
    const auto finalTitle = [&](size_t i) -> const std::string& {
      return moves[i] ? newTitles[i] : oldTitles[i];
    };
    {
      std::map<std::string, size_t> finals;
      for (size_t i = 0; i < count; ++i)
        if (const auto [at, fresh] = finals.emplace(finalTitle(i), i); !fresh)
          guard.Raise("Two items would get the same new title.", oldTitles[at->second],
                      oldTitles[i]);
    }

    // ---- Questions: new titles that exist outside the selection ----
    std::map<std::string, size_t> movingFrom; // old title -> position
    for (size_t i = 0; i < count; ++i)
      if (moves[i]) movingFrom.emplace(oldTitles[i], i);
    std::vector<bool> overwrite(count, false);
    TOverwriteDecision decision;
    decision.Reset();
    for (size_t i = 0; i < count; ++i) {
      if (!moves[i] || movingFrom.count(newTitles[i]) || !TitleExists(newTitles[i])) continue;
      // Only the spelling changes on a file system that ignores case.
      if (SameTextFolded(GetTitleName(oldTitles[i]), GetTitleName(newTitles[i])) &&
          IsSameFile(oldTitles[i], newTitles[i])) {
        overwrite[i] = true;
        continue;
      }
      if (IsDirectoryEntry(newTitles[i]))
        guard.Raise("A directory with that name already exists.", oldTitles[i], newTitles[i]);
      const TOverwriteAnswer answer =
          decision.Decide(oldTitles[i], newTitles[i], host.AskOverwrite);
      if (answer.Cancel) {
        outcome.Aborted = true;
        return true;
      }
      moves[i] = answer.Process;
      overwrite[i] = answer.Overwrite;
    }
    // A skipped file keeps its title, so the item that was to take that
    // title stays too, and so on down the chain.
    for (bool changed = true; changed;) {
      changed = false;
      for (size_t i = 0; i < count; ++i) {
        if (!moves[i]) continue;
        const auto from = movingFrom.find(newTitles[i]);
        if (from == movingFrom.end() || moves[from->second]) continue;
        moves[i] = false;
        changed = true;
      }
    }
    if (host.Planned) host.Planned();

    // ---- Renames: each as soon as its new title is free ----
    std::vector<std::string> current = oldTitles;
    std::map<std::string, size_t> waiting; // titles still held by files that move
    for (size_t i = 0; i < count; ++i)
      if (moves[i]) waiting.emplace(oldTitles[i], i);
    std::vector<size_t> parked;
    int sequence = 0;
    const auto fail = [&] {
      if (!guard.Absorb()) {
        FunStatContext.Reset(fsError);
        FunStatContext.Description = "Failed to rename container item.";
        guard.Absorb();
      }
      const TFunStatContext failure = guard.Context();
      // A parked file goes on to its new title when that is free, else back.
      for (const size_t i : parked) {
        if (current[i] == newTitles[i] || current[i] == oldTitles[i]) continue;
        if (!TitleExists(newTitles[i]) && MyRenameFile(current[i], newTitles[i], false)) {
          if (host.Stepped) host.Stepped(current[i], newTitles[i]);
          current[i] = newTitles[i];
          ++outcome.Renamed;
          if (host.Renamed) host.Renamed(i, newTitles[i]);
        } else if (!TitleExists(oldTitles[i]) && MyRenameFile(current[i], oldTitles[i], false)) {
          if (host.Stepped) host.Stepped(current[i], oldTitles[i]);
          current[i] = oldTitles[i];
        }
      }
      FunStatContext = failure;
      for (const size_t i : parked)
        if (current[i] != newTitles[i] && current[i] != oldTitles[i])
          guard.Raise("Failed to rename. The file keeps a temporary name.", oldTitles[i],
                      current[i]);
      guard.TakeOver();
    };
    const auto move = [&](size_t i, const std::string& to, bool replace) {
      if (!MyRenameFile(current[i], to, replace)) fail();
      if (host.Stepped) host.Stepped(current[i], to);
      waiting.erase(current[i]);
      current[i] = to;
    };
    for (;;) {
      bool progress = false, left = false;
      for (size_t i = 0; i < count; ++i) {
        if (!moves[i] || current[i] == newTitles[i]) continue;
        if (waiting.count(newTitles[i])) {
          left = true;
          continue;
        }
        move(i, newTitles[i], overwrite[i]);
        ++outcome.Renamed;
        progress = true;
        if (host.Renamed && !host.Renamed(i, newTitles[i])) fail();
      }
      if (!left) break;
      if (progress) continue;
      // Every file left waits for another: a cycle. One of them steps
      // aside under a temporary name and the rest can follow.
      size_t aside = count;
      for (size_t i = 0; i < count && aside == count; ++i)
        if (moves[i] && current[i] == oldTitles[i] && waiting.count(newTitles[i])) aside = i;
      if (aside == count) guard.Panic("The rename plan cannot go on.");
      parked.push_back(aside);
      move(aside, TemporaryTitle(oldTitles[aside], sequence), false);
    }
    return true;
  });
}

bool MultiRenameItems(const std::vector<std::string>& oldTitles,
                      const std::vector<std::string>& newTitles,
                      const std::function<bool(size_t index, const std::string& newTitle)>& rename,
                      TMultiRenameOutcome& outcome) {
  outcome = {};
  TGuard guard("TMultiRenameItemForm::Rename");
  return guard.Run(false, [&] {
    if (oldTitles.size() != newTitles.size())
      guard.Panic("Column and container items are not synchronized. You must reload the column.");
    for (size_t i = 0; i < oldTitles.size(); ++i)
      if (newTitles[i] != oldTitles[i] &&
          (!IsContainerTitle(newTitles[i]) || Holds(newTitles[i], TitleTextForbidden) ||
           !IsValidEntryName(GetTitleName(newTitles[i]))))
        guard.Raise("Invalid file title.", newTitles[i]);
    for (size_t i = 0; i < oldTitles.size(); ++i) {
      if (newTitles[i] == oldTitles[i]) continue;
      if (!rename(i, newTitles[i])) guard.TakeOver();
      ++outcome.Renamed;
    }
    return true;
  });
}

} // namespace cv
