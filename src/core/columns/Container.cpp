#include "columns/Container.h"

#include "filesystem/File.h"
#include "foundation/Guard.h"
#include "foundation/MemoryStorage.h"
#include "foundation/Program.h"
#include "foundation/StoredTextList.h"
#include "foundation/Text.h"

#include <algorithm>
#include <cerrno>
#include <unordered_set>

namespace cv {

namespace {

constexpr const char* CSection = "Containers";
constexpr const char* CNotSynchronized =
    "Column and container items are not synchronized. You must reload the column.";
constexpr std::string_view CBom = "\xEF\xBB\xBF";

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

bool InRange(int index, size_t count) {
  return index >= 0 && static_cast<size_t>(index) < count;
}

} // namespace

bool IsContainerTitle(std::string_view title) {
  // Only absolute titles: a relative one would name a file of the program's
  // own current directory.
  return title.starts_with('/') && title.size() <= CMaxContainerTitle &&
         title.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

// ---- TContainer -------------------------------------------------------------------------

void TContainer::Changed() {
  if (OnChanged) OnChanged();
}

void TContainer::SetName(std::string_view name) {
  const std::string oneLine = JoinLines(name);
  ContainerName = TrimBlanks(FirstCharacters(TrimBlanks(oneLine), CMaxContainerName));
}

std::string TContainer::DisplayName() const {
  const std::string number = std::to_string(ContainerNumber + 1);
  return ContainerName.empty() ? number : ContainerName + " (" + number + ")";
}

std::string TContainer::MenuCaption() const {
  return DisplayName() + " (" + IntToGroupedText(Count()) + " items)";
}

int TContainer::AddItem(const std::string& title, int value) {
  if (!IsContainerTitle(title)) return -1;
  ItemList.push_back({title, {value}});
  Changed();
  return Count() - 1;
}

int TContainer::InsertItem(int index, const std::string& title) {
  if (!IsContainerTitle(title)) return -1;
  index = std::clamp(index, 0, Count());
  ItemList.insert(ItemList.begin() + index, {title, {}});
  Changed();
  return index;
}

bool TContainer::DeleteItem(int index) {
  TGuard guard("TContainer::DeleteItem");
  return guard.Run(false, [&] {
    if (!InRange(index, ItemList.size())) guard.Raise(CNotSynchronized, std::to_string(index));
    ItemList.erase(ItemList.begin() + index);
    Changed();
    return true;
  });
}

void TContainer::ClearItems() {
  if (ItemList.empty()) return;
  ItemList.clear();
  Changed();
}

bool TContainer::HasDuplicates(std::string_view title) const {
  int found = 0;
  for (const TContainerItem& item : ItemList)
    if (item.Title == title && ++found == 2) return true;
  return false;
}

int TContainer::RemoveDuplicates() {
  std::unordered_set<std::string_view> seen;
  seen.reserve(ItemList.size());
  std::vector<TContainerItem> kept;
  kept.reserve(ItemList.size());
  // The views point into ItemList, which stays untouched until the swap.
  for (TContainerItem& item : ItemList)
    if (seen.insert(item.Title).second) kept.push_back(item);
  const int removed = Count() - static_cast<int>(kept.size());
  if (removed == 0) return 0;
  ItemList.swap(kept);
  Changed();
  return removed;
}

bool TContainer::RenameItem(int index, const std::string& newTitle,
                            const std::string& expectedOldTitle) {
  TGuard guard("TContainer::RenameItem");
  return guard.Run(false, [&] {
    if (!IsContainerTitle(newTitle) || newTitle.find_first_of("<>|\"*?") != std::string::npos)
      guard.Raise("Invalid file title.", newTitle);
    if (!InRange(index, ItemList.size())) guard.Raise(CNotSynchronized, std::to_string(index));
    TContainerItem& item = ItemList[static_cast<size_t>(index)];
    if (!expectedOldTitle.empty() && item.Title != expectedOldTitle)
      guard.Panic("This item's name is not the same as the original name.", std::to_string(index),
                  expectedOldTitle);
    if (item.Title == newTitle) return true;
    item.Title = newTitle;
    Changed();
    return true;
  });
}

std::string TContainer::RelocateWarning(int activeIndex) const {
  if (!InRange(activeIndex, ItemList.size()) ||
      !HasDuplicates(ItemList[static_cast<size_t>(activeIndex)].Title))
    return {};
  return "The active item has duplicates. Therefore, the selected items might be relocated next\n"
         "to a duplicate item. Use the \"File \\ Container \\ Remove duplicates\" function first.";
}

bool TContainer::Relocate(const std::vector<int>& selectedIndexes, int activeIndex) {
  if (std::find(selectedIndexes.begin(), selectedIndexes.end(), activeIndex) !=
      selectedIndexes.end())
    return TGuard::EarlyExit(false);
  TGuard guard("TContainer::Relocate");
  return guard.Run(false, [&] {
    std::vector<int> selected = selectedIndexes;
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    if (!InRange(activeIndex, ItemList.size()) ||
        (!selected.empty() && !InRange(selected.back(), ItemList.size())) ||
        (!selected.empty() && selected.front() < 0))
      guard.Raise(CNotSynchronized, std::to_string(activeIndex));
    if (selected.empty()) return true;
    std::vector<TContainerItem> moved;
    std::vector<TContainerItem> rest;
    moved.reserve(selected.size());
    rest.reserve(ItemList.size() - selected.size());
    size_t next = 0;
    int target = 0; // the active item's place among the rest
    for (size_t i = 0; i < ItemList.size(); ++i) {
      const bool isSelected = next < selected.size() && selected[next] == static_cast<int>(i);
      if (isSelected) {
        moved.push_back({std::move(ItemList[i].Title), {}});
        ++next;
      } else {
        if (static_cast<int>(i) == activeIndex) target = static_cast<int>(rest.size());
        rest.push_back(std::move(ItemList[i]));
      }
    }
    rest.insert(rest.begin() + target, std::make_move_iterator(moved.begin()),
                std::make_move_iterator(moved.end()));
    ItemList.swap(rest);
    Changed();
    return true;
  });
}

bool TContainer::RecycleAt(const std::vector<int>& positions,
                           const std::vector<std::string>& expectedTitles) {
  TGuard guard("TContainer::RecycleAt");
  return guard.Run(false, [&] {
    if (positions.size() != expectedTitles.size())
      guard.Raise(CNotSynchronized, std::to_string(positions.size()),
                  std::to_string(expectedTitles.size()));
    for (size_t i = 0; i < positions.size(); ++i)
      if (!InRange(positions[i], ItemList.size()) ||
          ItemList[static_cast<size_t>(positions[i])].Title != expectedTitles[i])
        guard.Raise(CNotSynchronized, std::to_string(positions[i]), expectedTitles[i]);
    if (positions.empty()) return true;
    std::vector<int> order = positions;
    std::sort(order.begin(), order.end());
    order.erase(std::unique(order.begin(), order.end()), order.end());
    // From the last to the first, so the earlier positions stay valid.
    for (auto it = order.rbegin(); it != order.rend(); ++it)
      ItemList.erase(ItemList.begin() + *it);
    Changed();
    return true;
  });
}

std::string TContainer::FileName() const {
  return IntToZeroText(ContainerNumber + 1, 2) + ".txt";
}

bool TContainer::Load(const std::string& directory) {
  TGuard guard("TContainer::Load");
  ItemList.clear();
  LoadFailed = false;
  const std::string title = directory + FileName();
  return guard.Run(false, [&] {
    std::string text;
    int error = 0;
    const TReadResult read = ReadWholeFile(title, text, &error);
    if (read == TReadResult::Failed) {
      LoadFailed = true;
      guard.Raise("Failed to read file.", title, {}, static_cast<uint32_t>(error));
    }
    std::string_view rest = text;
    if (rest.starts_with(CBom)) rest.remove_prefix(CBom.size());
    while (!rest.empty()) {
      const size_t end = rest.find_first_of("\r\n");
      const std::string_view line = rest.substr(0, end);
      // Lines it cannot hold (a relative or partition title, a NUL byte) are skipped.
      if (IsContainerTitle(line)) ItemList.push_back({std::string(line), {}});
      if (end == std::string_view::npos) break;
      const bool crlf = rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n';
      rest.remove_prefix(end + (crlf ? 2 : 1));
    }
    return true;
  });
}

bool TContainer::Save(const std::string& directory) {
  TGuard guard("TContainer::Save");
  const std::string title = directory + FileName();
  return guard.Run(false, [&] {
    int error = 0;
    if (LoadFailed && !MoveAsideBadFile(title, &error))
      guard.Raise("Failed to write file.", title, {}, static_cast<uint32_t>(error));
    LoadFailed = false;
    std::string text;
    for (const TContainerItem& item : ItemList) {
      text += item.Title;
      text += '\n';
    }
    if (!SaveFileAtomically(title, text, 0, &error))
      guard.Raise("Failed to write file.", title, {}, static_cast<uint32_t>(error));
    return true;
  });
}

std::string RelocateQuestion(int count, std::string_view activeName) {
  return "Relocate " + std::to_string(count) + " selected items in the container\n(before item \"" +
         std::string(activeName) + "\")?";
}

std::string RefusedTitlesWarning(size_t count) {
  return std::to_string(count) + (count == 1 ? " file title is" : " file titles are") +
         " not valid in a container and not added.\n\nA container keeps full titles (starting "
         "with \"/\") of one line and at most " +
         std::to_string(CMaxContainerTitle) + " bytes.";
}

// ---- TContainerSet ----------------------------------------------------------------------

TContainerSet::TContainerSet(std::string directory, TSecondsClock clock)
    : ContainersDirectory(std::move(directory)), Clock(clock) {
  for (int n = 0; n < Count; ++n) {
    TContainer& container = Containers[static_cast<size_t>(n)];
    container.ContainerNumber = n;
    container.OnChanged = [this, n] { MarkChanged(n); };
  }
}

TContainer& TContainerSet::Container(int number) {
  return Containers.at(static_cast<size_t>(number));
}

const TContainer& TContainerSet::Container(int number) const {
  return Containers.at(static_cast<size_t>(number));
}

std::string TContainerSet::Directory() const {
  return ContainersDirectory.empty() ? Program.ContainersPath() : ContainersDirectory;
}

std::vector<int> TContainerSet::RenameEverywhere(const std::string& oldTitle,
                                                 const std::string& newTitle) {
  std::vector<int> changed;
  for (int n = 0; n < Count; ++n) {
    TContainer& container = Container(n);
    bool renamed = false;
    for (int i = 0; i < container.Count(); ++i)
      if (container.Items()[static_cast<size_t>(i)].Title == oldTitle)
        renamed = container.RenameItem(i, newTitle, oldTitle) || renamed;
    FunStatContext.Reset(fsPerfect);
    if (renamed) changed.push_back(n);
  }
  return changed;
}

int TContainerSet::SearchContainer() const {
  for (int n = 0; n < Count; ++n) {
    const std::string& name = Container(n).Name();
    if (SameText(name, "Search") || SameText(name, "Find")) return n;
  }
  return 0;
}

void TContainerSet::ReadNames(const TStoredTextList& ini) {
  TGuard guard("TContainerSet::ReadNames");
  const std::string directory = Directory();
  guard.Run([&] {
    for (int n = 0; n < Count; ++n) {
      TContainer& container = Container(n);
      std::string name;
      // Bytes: a name of CMaxContainerName characters takes up to four each.
      ini.ReadText(CSection, std::to_string(n), name, true,
                   static_cast<int32_t>(4 * CMaxContainerName));
      container.SetName(name);
      container.Load(directory);
      guard.Absorb();
      Pending[static_cast<size_t>(n)] = false;
    }
  });
}

void TContainerSet::WriteNames(TStoredTextList& ini) const {
  TGuard guard("TContainerSet::WriteNames");
  guard.Run([&] {
    for (int n = 0; n < Count; ++n) {
      ini.WriteText(CSection, std::to_string(n), Container(n).Name());
      guard.Absorb();
    }
  });
}

void TContainerSet::MarkChanged(int number) {
  const size_t n = static_cast<size_t>(number);
  if (Pending.at(n)) return;
  Pending[n] = true;
  FirstChange[n] = Clock();
}

bool TContainerSet::IsChanged(int number) const {
  return Pending.at(static_cast<size_t>(number));
}

bool TContainerSet::SaveDue(double now) {
  return SaveChanged(now, false);
}

bool TContainerSet::SaveAll() {
  return SaveChanged(Clock(), true);
}

bool TContainerSet::SaveChanged(double now, bool all) {
  TGuard guard("TContainerSet::SaveChanged");
  return guard.Run(false, [&] {
    const std::string directory = Directory();
    bool directoryMade = false;
    for (size_t n = 0; n < Containers.size(); ++n) {
      if (!Pending[n] || (!all && now - FirstChange[n] < SaveDelay)) continue;
      // The user may have removed it while the program ran; a failure shows in the save.
      if (!directoryMade) directoryMade = ForceDirectories(directory);
      if (Containers[n].Save(directory)) {
        Pending[n] = false;
      } else {
        FirstChange[n] = now;
        guard.Absorb();
      }
    }
    return !guard.Failed();
  });
}

} // namespace cv
