#pragma once
// The directories the user visited, one entry per directory, with the item
// that was focused there and how the view was scrolled. One history serves
// every column; it lives in memory only.
//
// An entry stands for the directory of its title (the parent path). Titles
// are compared byte for byte: "Data/" and "data/" are two directories.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

struct THistoryEntry {
  // The focused item; the entry stands for its parent path.
  std::string EntryTitle;
  int EntryType = 0;
  // Focused index minus top index.
  int EntryTopOffset = 0;
  // The item's sort key.
  int64_t EntryKey = 0;
};

// One item of the "History" menu.
struct THistoryMenuItem {
  // "&" doubled, ready for a menu caption.
  std::string Caption;
  // The entry's directory (parent path with its trailing "/"), unescaped.
  std::string Directory;
  // The entry to go to; -1 for the default item.
  int Index = -1;
  // The menu's default item ("Go to (n items)"), which does nothing.
  bool Default = false;
};

class THistory {
public:
  static constexpr int Capacity = 300;
  static constexpr int MenuEntries = 20;

  // Adds or updates the entry of the title's directory; the directory
  // becomes the newest. Empty titles, partition titles and titles without a
  // directory are ignored; a bare directory ("/a/b/") does not replace an
  // entry that remembers a file there.
  void AddHistory(const std::string& title, int type, int64_t key, int topOffset);
  // In: a directory path (with its trailing "/"). The newest entry of that
  // directory gives its title, type, key and top offset and its index is
  // returned; otherwise -1, `title` stays the path and the rest is untouched.
  int FindHistory(std::string& title, int& type, int64_t& key, int& topOffset) const;
  // In: a title whose directory is being left. Looks for the entry of the
  // grandparent directory and gives its type, key and top offset; `title`
  // always becomes the directory being left (parent path without its
  // trailing "/"). Returns the entry's index or -1.
  int FindHistoryForParent(std::string& title, int& type, int64_t& key, int& topOffset) const;
  // Drops the newest entry when it belongs to the title's directory and at
  // least one other entry remains.
  void RemoveNewestHistory(const std::string& title);

  // "Go to (n items)", then the newest 20 entries, newest first.
  std::vector<THistoryMenuItem> MenuItems() const;

  int Count() const { return static_cast<int>(Entries.size()); }
  // Oldest first, newest last.
  const THistoryEntry& Entry(int index) const { return Entries.at(static_cast<size_t>(index)); }
  void Clear() { Entries.clear(); }

private:
  // Newest first; -1 when no entry has that directory.
  int FindDirectory(std::string_view directory) const;

  std::vector<THistoryEntry> Entries;
};

} // namespace cv
