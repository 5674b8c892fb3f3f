#include "columns/History.h"

#include "filesystem/File.h"

namespace cv {

namespace {

std::string EscapeAmpersands(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    if (c == '&') result += '&';
    result += c;
  }
  return result;
}

} // namespace

int THistory::FindDirectory(std::string_view directory) const {
  if (directory.empty()) return -1;
  for (int i = Count() - 1; i >= 0; --i)
    if (TitlePathPart(Entries[static_cast<size_t>(i)].EntryTitle) == directory) return i;
  return -1;
}

void THistory::AddHistory(const std::string& title, int type, int64_t key, int topOffset) {
  if (title.empty() || IsPartitionTitle(title)) return;
  const std::string_view directory = TitlePathPart(title);
  if (directory.empty()) return;
  // A bare directory must not wipe out the file remembered there.
  if (directory.size() == title.size() && FindDirectory(directory) >= 0) return;

  // Moving within the newest directory is the common case: the entry's
  // storage is reused.
  if (Entries.empty() || TitlePathPart(Entries.back().EntryTitle) != directory) {
    if (const int older = FindDirectory(directory); older >= 0)
      Entries.erase(Entries.begin() + older);
    if (Count() >= Capacity) Entries.erase(Entries.begin());
    Entries.emplace_back();
  }
  THistoryEntry& entry = Entries.back();
  entry.EntryTitle = title;
  entry.EntryType = type;
  entry.EntryTopOffset = topOffset;
  entry.EntryKey = key;
}

int THistory::FindHistory(std::string& title, int& type, int64_t& key, int& topOffset) const {
  const int index = FindDirectory(title);
  if (index < 0) return -1;
  const THistoryEntry& entry = Entries[static_cast<size_t>(index)];
  title = entry.EntryTitle;
  type = entry.EntryType;
  key = entry.EntryKey;
  topOffset = entry.EntryTopOffset;
  return index;
}

int THistory::FindHistoryForParent(std::string& title, int& type, int64_t& key,
                                   int& topOffset) const {
  // Leaving "/" gives the root partition ":/", whose parent is the
  // partitions list: no entry.
  const std::string leaving = ExcludeDelimiter(GetTitlePath(title));
  const int index = FindDirectory(GetTitlePath(leaving));
  if (index >= 0) {
    const THistoryEntry& entry = Entries[static_cast<size_t>(index)];
    type = entry.EntryType;
    key = entry.EntryKey;
    topOffset = entry.EntryTopOffset;
  }
  title = leaving;
  return index;
}

void THistory::RemoveNewestHistory(const std::string& title) {
  if (Count() >= 2 && TitlePathPart(Entries.back().EntryTitle) == TitlePathPart(title))
    Entries.pop_back();
}

std::vector<THistoryMenuItem> THistory::MenuItems() const {
  std::vector<THistoryMenuItem> items;
  items.push_back({"Go to (" + std::to_string(Count()) + " items)", {}, -1, true});
  for (int i = Count() - 1; i >= 0 && i >= Count() - MenuEntries; --i) {
    std::string directory = GetTitlePath(Entries[static_cast<size_t>(i)].EntryTitle);
    items.push_back({EscapeAmpersands(directory), std::move(directory), i, false});
  }
  return items;
}

} // namespace cv
