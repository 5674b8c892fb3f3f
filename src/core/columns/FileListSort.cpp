#include "columns/FileListSort.h"

#include "filesystem/File.h"
#include "foundation/QtText.h"
#include "mainwindow/ProgramOptions.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <numeric>

namespace cv {

TGroupOptions TGroupOptions::FromProgramOptions() {
  TGroupOptions o;
  o.SeparateDirs = ProgramOptions.SeparateDirs;
  o.DirsAtEnd = ProgramOptions.DirsAtEnd;
  o.SeparateLinks = ProgramOptions.SeparateLinks;
  o.SeparateProgs = ProgramOptions.SeparateProgs;
  o.SeparateDocs = ProgramOptions.SeparateDocs;
  o.ShowFilesGroup = ProgramOptions.ShowFilesGroup;
  return o;
}

int GroupRank(int type, const TGroupOptions& options) {
  switch (type) {
  case fltDirectory:
    if (options.SeparateDirs) return options.DirsAtEnd ? 6 : 0;
    return 5;
  case fltLink: return options.SeparateLinks ? 2 : 5;
  case fltProgram: return options.SeparateProgs ? 3 : 5;
  case fltDocument: return options.SeparateDocs ? 4 : 5;
  default: return 5;
  }
}

namespace {

// The C locale has no collation of its own (it compares code units, case
// included); names still sort as people read them.
QLocale CollationLocale() {
  const QLocale system = QLocale::system();
  return system.language() == QLocale::C ? QLocale(QLocale::English) : system;
}

} // namespace

TNameCollator::TNameCollator() : Collator(CollationLocale()) {
  Collator.setCaseSensitivity(Qt::CaseInsensitive);
  Collator.setNumericMode(false);
  Collator.setIgnorePunctuation(false);
}

int TNameCollator::Compare(std::string_view a, std::string_view b) const {
  return Collator.compare(ToQString(a), ToQString(b));
}

QCollatorSortKey TNameCollator::Key(std::string_view name) const {
  return Collator.sortKey(ToQString(name));
}

namespace {

int CompareBytes(const std::string& a, const std::string& b) {
  const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (c != 0) return c;
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// Sorts an index permutation, then moves the items into that order.
template <typename Less>
void SortByIndex(std::vector<TFileListData>::iterator first,
                 std::vector<TFileListData>::iterator last, Less less) {
  const size_t n = static_cast<size_t>(last - first);
  if (n < 2) return;
  std::vector<uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), less);
  std::vector<TFileListData> sorted;
  sorted.reserve(n);
  for (uint32_t i : order) sorted.push_back(std::move(first[i]));
  std::move(sorted.begin(), sorted.end(), first);
}

} // namespace

void SortFileItems(std::vector<TFileListData>::iterator first,
                   std::vector<TFileListData>::iterator last, TSortMode mode) {
  const size_t n = static_cast<size_t>(last - first);
  if (n < 2) return;
  if (mode == TSortMode::Name) {
    const TNameCollator collator;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(n);
    for (size_t i = 0; i < n; ++i) keys.push_back(collator.Key(TitleNamePart(first[i].Title)));
    SortByIndex(first, last, [&](uint32_t a, uint32_t b) {
      const int c = keys[a].compare(keys[b]);
      if (c != 0) return c < 0;
      return CompareBytes(first[a].Title, first[b].Title) < 0;
    });
    return;
  }
  const bool descending = IsDescending(mode);
  std::vector<int64_t> keys(n);
  for (size_t i = 0; i < n; ++i) keys[i] = GetSortKey(first[i], mode);
  SortByIndex(first, last, [&](uint32_t a, uint32_t b) {
    if (keys[a] != keys[b]) return descending ? keys[a] > keys[b] : keys[a] < keys[b];
    return CompareBytes(first[a].Title, first[b].Title) < 0;
  });
}

void ArrangeFileList(std::vector<TFileListData>& items, std::string_view sortMode,
                     const TGroupOptions& options) {
  // Ranks are 0..6: one pass into buckets keeps each group in listing order.
  std::array<std::vector<TFileListData>, 7> groups;
  for (TFileListData& item : items) {
    if (item.Type == fltGeneric && !options.ShowFilesGroup) continue;
    groups[static_cast<size_t>(GroupRank(item.Type, options))].push_back(std::move(item));
  }
  items.clear();
  const TSortMode mode = ParseSortMode(sortMode);
  for (size_t rank = 0; rank < groups.size(); ++rank) {
    std::vector<TFileListData>& group = groups[rank];
    // A separate directory group is always in name order.
    SortFileItems(group.begin(), group.end(), rank == 0 || rank == 6 ? TSortMode::Name : mode);
    std::move(group.begin(), group.end(), std::back_inserter(items));
  }
}

} // namespace cv
