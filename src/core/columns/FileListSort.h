#pragma once
// Grouping and sorting of a directory listing. Names sort by precomputed
// collation keys (locale-aware, case ignored), so the comparator never runs
// the locale's collation; equal keys fall back to the titles' bytes. Names
// of ASCII bytes only get a cheap key from the collator's own weights.

#include "columns/FileListData.h"

#include <QCollator>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

// The grouping options of the program options, as one value.
struct TGroupOptions {
  bool SeparateDirs = true;
  bool DirsAtEnd = false;
  bool SeparateLinks = true;
  bool SeparateProgs = true;
  bool SeparateDocs = true;
  bool ShowFilesGroup = true;
  static TGroupOptions FromProgramOptions();
};

// Display rank of a type: 0 directories first, 2 links, 3 programs,
// 4 documents, 5 the common group, 6 directories at the end.
int GroupRank(int type, const TGroupOptions& options);

// Name comparison as the lists use it.
class TNameCollator {
public:
  TNameCollator();
  // <0, 0, >0; locale-aware with case ignored. Two ASCII names compare
  // without allocating.
  int Compare(std::string_view a, std::string_view b) const;
  QCollatorSortKey Key(std::string_view name) const;

private:
  QCollator Collator;
};

// The collator's weights of the ASCII bytes, derived once per process. When
// the locale collates some ASCII pair other than byte by byte (contractions
// such as "ch"), `Usable` is false and every name takes the collator.
class TAsciiCollation {
public:
  static const TAsciiCollation& Instance();
  explicit TAsciiCollation(const QCollator& collator);
  bool Usable = false;
  // 0 for bytes the collator ignores, else the rank of the byte's weight
  // (case ignored); only meaningful below 0x80.
  uint8_t Weight[128] = {};
  // <0, 0, >0 for two names of ASCII bytes; nullopt when either has others.
  std::optional<int> Compare(std::string_view a, std::string_view b) const;
};

// The collation weights of names of ASCII bytes, by item, made while the
// names are at hand: arranging and merging then need not read the titles
// again, long after they have left the cache. The key of a name is that of
// its title's name part.
class TNameWeights {
public:
  // Length of the key of a name that is not of ASCII bytes (or of any name
  // when the weight table is unusable): it sorts through the collator.
  static constexpr uint32_t NotAscii = UINT32_MAX;
  static constexpr uint32_t HeadBytes = 16;
  struct TKey {
    uint64_t Head[2]; // the first 16 weights, zero-padded, so a shorter key sorts first
    uint32_t Tail;    // where the weights after the first 16 start in the tails
    uint32_t Length;  // the number of weights, or NotAscii
  };
  // Appends the key of the next item's name.
  void Add(std::string_view name);
  // Appends a key for an item whose name does not sort it.
  void AddNone() { Keys.push_back({{0, 0}, 0, NotAscii}); }
  void Reserve(size_t count) { Keys.reserve(count); }
  const TKey& operator[](size_t item) const { return Keys[item]; }
  size_t Size() const { return Keys.size(); }
  // The weights after the first 16 (empty for a shorter key).
  std::string_view Tail(const TKey& key) const {
    return key.Length == NotAscii || key.Length <= HeadBytes
               ? std::string_view()
               : std::string_view(Tails).substr(key.Tail, key.Length - HeadBytes);
  }

private:
  std::vector<TKey> Keys;
  std::string Tails;
};

// Puts the items in display order: the groups by rank, a separate directory
// group by name, every other group by the mode; generic files are dropped
// unless the files group is shown. Equal keys are ordered by title bytes.
void ArrangeFileList(std::vector<TFileListData>& items, std::string_view sortMode,
                     const TGroupOptions& options);

// Arranges the `count` items from `first` as ArrangeFileList does, leaving
// the dropped ones after the returned count of kept items.
size_t ArrangeFileRange(std::vector<TFileListData>::iterator first, size_t count,
                        std::string_view sortMode, const TGroupOptions& options);

// The order ArrangeFileRange puts the `count` items from `first` in (the
// source place of each place), without moving them; the first `kept` places
// are the kept items. `weights`, when given, holds the keys of the items'
// names, at least of those that sort by name.
std::vector<uint32_t> ArrangedOrder(std::vector<TFileListData>::iterator first, size_t count,
                                    std::string_view sortMode, const TGroupOptions& options,
                                    size_t& kept, const TNameWeights* weights = nullptr);

// Moves the items into `order` (the source place of each place, a
// permutation of them all), in place along the permutation's cycles.
void ApplyFileOrder(std::vector<TFileListData>::iterator first, const std::vector<uint32_t>& order);

// `Count` items of a vector, arranged: the first ones, moved by
// ArrangeFileRange, or those at the first places of `Order`, from ArrangedOrder.
struct TArrangedRun {
  std::vector<TFileListData>* Items = nullptr;
  size_t Count = 0;
  const std::vector<uint32_t>* Order = nullptr;
  // The keys of the names of Items, by place in Items, when made as listed.
  const TNameWeights* Weights = nullptr;
  TFileListData& operator[](size_t i) const { return (*Items)[Order ? (*Order)[i] : i]; }
};

// Merges runs, each arranged by ArrangeFileRange with the same mode and
// options, into the order arranging them all at once gives (every
// comparison ends on the titles' bytes, so that order is one). The merge
// comes in parts, which threads may take at the same time, each part once;
// a part moves its items out of the runs into their places of the merged
// vector. Each item's place in the order is decided mostly by a key made
// once (its rank and the first weights of its name, or its size or time),
// so that the titles are read again only for ties of those.
// What decides most comparisons of the display order, made once per item:
// the group rank, then the mode's key (order-preserving, descending ones
// flipped) or, for a name of ASCII bytes, its first 16 weights zero-padded.
struct TMergeKey {
  uint64_t Head[2];
  uint8_t Rank;
  bool AsciiName;
};

class TArrangedRunsMerge {
public:
  TArrangedRunsMerge(const std::vector<TArrangedRun>& runs, std::string_view sortMode,
                     const TGroupOptions& options, size_t parts);
  size_t Total() const { return Total_; }
  size_t Parts() const;
  // The places [PartBegin(part), PartBegin(part + 1)) are those of `part`.
  size_t PartBegin(size_t part) const;
  // Moves the items of `part` into their places of `merged`, which holds
  // Total() items.
  void MergePart(size_t part, std::vector<TFileListData>& merged) const;
  // Makes the keys of the `run`-th of the runs that hold items (Parts() of
  // them at most) at once, reading its items in their places' order, which
  // is the order their memory was filled in; threads may each take a run.
  // Without it MergePart makes them as it meets them.
  void PrepareRun(size_t run);
  size_t Runs() const { return Runs_.size(); }

private:
  std::vector<TArrangedRun> Runs_;          // the runs that hold items
  std::vector<std::vector<TMergeKey>> Keys; // by item place, when prepared
  const TSortMode Mode;
  const TGroupOptions Options;
  size_t Total_ = 0;
  // Cuts[p][r]: the first index of run r in part p; the last row ends the runs.
  std::vector<std::vector<size_t>> Cuts;
};

// Sorts a range of items by one mode (no grouping).
void SortFileItems(std::vector<TFileListData>::iterator first,
                   std::vector<TFileListData>::iterator last, TSortMode mode);

} // namespace cv
