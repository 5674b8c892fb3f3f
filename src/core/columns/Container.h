#pragma once
// Containers: user-kept lists of file titles, each file anywhere. The
// program keeps 20; a column shows either a directory or one container.
// Items are never sorted and may repeat; titles are kept byte for byte and
// compared exactly (Linux names are case-sensitive).
//
// Storage: the names are keys "0".."19" of section "Containers" of the
// options list; the items of container k are the lines of "NN.txt"
// (NN = k + 1 with two digits) in the containers directory. A changed
// container is written about a second after its first unsaved change
// (TContainerSet::SaveDue, driven by the owner's timer) and at close.

#include "foundation/MyTime.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

class TStoredTextList;

struct TContainerItemData {
  // 0 for items added by the user; the file search keeps its count here.
  // Not stored.
  int Value = 0;
};

struct TContainerItem {
  std::string Title;
  TContainerItemData Data;
};

// Limits of the stored forms.
constexpr size_t CMaxContainerName = 255;   // characters
constexpr size_t CMaxContainerTitle = 4096; // bytes

// A title a container can hold and store on one line: absolute (so not a
// partition title), no NUL, CR or LF, at most CMaxContainerTitle bytes.
bool IsContainerTitle(std::string_view title);

class TContainer {
public:
  explicit TContainer(int number = 0) : ContainerNumber(number) {}

  int ContainerNumber;
  // Called after every change of the items (not of values alone).
  std::function<void()> OnChanged;

  const std::string& Name() const { return ContainerName; }
  // A line feed becomes a blank and a CR goes, blanks at the ends go, and the
  // name is cut to CMaxContainerName characters, so it comes back from the
  // options file as it is.
  void SetName(std::string_view name);
  // "Name (n)" or, without a name, "n" (n = number + 1).
  std::string DisplayName() const;
  // The menu caption: display name + " (1,234 items)".
  std::string MenuCaption() const;

  const std::vector<TContainerItem>& Items() const { return ItemList; }
  int Count() const { return static_cast<int>(ItemList.size()); }

  // The new index, or -1 when the title is refused (IsContainerTitle).
  int AddItem(const std::string& title, int value = 0);
  // Inserts with value 0; a negative index means 0, one past the end
  // appends. The index it went to, or -1 when the title is refused.
  int InsertItem(int index, const std::string& title);
  bool DeleteItem(int index);
  void ClearItems();
  // The title occurs at least twice.
  bool HasDuplicates(std::string_view title) const;
  // Keeps the first occurrence of every title; returns how many went.
  int RemoveDuplicates();
  // Refuses a title that is no container title or holds one of < > | " * ?
  // ("Invalid file title."), and, when `expectedOldTitle` is given, an item
  // whose title is not exactly it (a panic: the caller lost track).
  bool RenameItem(int index, const std::string& newTitle, const std::string& expectedOldTitle = {});

  // Moving the selected items to just before the active one. The warning
  // to show instead of moving, or "" when the move may go on.
  std::string RelocateWarning(int activeIndex) const;
  // Removes the selected items and inserts them, in their order and with
  // value 0, just before the active item. False, nothing moved, when the
  // active item is selected or a position is out of range (reported).
  bool Relocate(const std::vector<int>& selectedIndexes, int activeIndex);

  // Deletes the items at `positions`, each expected to hold the title of
  // the same place in `expectedTitles` (what the column shows). On any
  // mismatch nothing is deleted and it fails: the column must be reloaded.
  bool RecycleAt(const std::vector<int>& positions, const std::vector<std::string>& expectedTitles);

  // "01.txt" .. "20.txt".
  std::string FileName() const;
  // Replaces the items with the lines of the file in `directory`. A missing
  // file leaves the container empty; an unreadable one too, reported, and
  // the next save first moves that file aside.
  bool Load(const std::string& directory);
  // Writes every title, one per line, atomically: the old file stays when
  // the write fails.
  bool Save(const std::string& directory);

private:
  void Changed();

  std::string ContainerName;
  std::vector<TContainerItem> ItemList;
  bool LoadFailed = false;
};

std::string RelocateQuestion(int count, std::string_view activeName);
// The warning for titles a container refused to add (IsContainerTitle).
std::string RefusedTitlesWarning(size_t count);

// The program's containers and their saving.
class TContainerSet {
public:
  static constexpr int Count = 20;
  // The delay between a first unsaved change and its write, in seconds.
  static constexpr double SaveDelay = 1.0;

  // An empty directory means Program.ContainersPath().
  explicit TContainerSet(std::string directory = {}, TSecondsClock clock = &SecondsNow);
  TContainerSet(const TContainerSet&) = delete;
  TContainerSet& operator=(const TContainerSet&) = delete;

  TContainer& Container(int number);
  const TContainer& Container(int number) const;
  std::string Directory() const;

  // A file moved from `oldTitle` to `newTitle`: every container that lists
  // it follows. The numbers of the containers changed.
  std::vector<int> RenameEverywhere(const std::string& oldTitle, const std::string& newTitle);

  // The first container named "Search" or "Find" (any case), else 0.
  int SearchContainer() const;

  // The names from the options list, each container loaded after its name.
  void ReadNames(const TStoredTextList& ini);
  void WriteNames(TStoredTextList& ini) const;

  // Records a change of container `number` (the containers call it).
  void MarkChanged(int number);
  bool IsChanged(int number) const;
  // Writes every changed container whose first unsaved change is at least
  // SaveDelay old. A failed one stays changed and is tried a delay later.
  bool SaveDue(double now);
  // Writes every changed container (at close).
  bool SaveAll();

private:
  bool SaveChanged(double now, bool all);

  std::string ContainersDirectory;
  TSecondsClock Clock;
  std::array<TContainer, Count> Containers;
  std::array<bool, Count> Pending{};
  std::array<double, Count> FirstChange{};
};

} // namespace cv
