#include "columns/FileListSort.h"

#include "filesystem/File.h"
#include "foundation/QtText.h"
#include "options/ProgramOptions.h"

#include <algorithm>
#include <array>
#include <cstring>
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

QCollator MakeNameCollator() {
  QCollator collator(CollationLocale());
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  collator.setNumericMode(false);
  collator.setIgnorePunctuation(false);
  return collator;
}

bool IsAscii(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

int CompareBytes(std::string_view a, std::string_view b) {
  const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (c != 0) return c;
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

int Sign(int value) {
  return (value > 0) - (value < 0);
}

} // namespace

TAsciiCollation::TAsciiCollation(const QCollator& collator) {
  const auto text = [](int byte) { return QString(QChar(static_cast<char16_t>(byte))); };
  // An empty text never reaches the collator (it sorts first), so a byte is
  // ignorable when it changes nothing next to a letter.
  const QString letter = QStringLiteral("a");
  std::vector<int> bytes;
  for (int byte = 1; byte < 0x80; ++byte)
    if (collator.compare(text(byte) + letter, letter) != 0) bytes.push_back(byte);
  std::stable_sort(bytes.begin(), bytes.end(),
                   [&](int a, int b) { return collator.compare(text(a), text(b)) < 0; });
  uint8_t rank = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i == 0 || collator.compare(text(bytes[i - 1]), text(bytes[i])) != 0) ++rank;
    Weight[bytes[i]] = rank;
  }

  // The table holds only if every name of one or two ASCII bytes sorts by it
  // as the collator sorts it; a contraction or expansion breaks that.
  Usable = true;
  std::vector<std::string> names;
  for (int a = 1; a < 0x80; ++a) {
    names.emplace_back(1, static_cast<char>(a));
    for (int b = 1; b < 0x80; ++b)
      names.push_back({static_cast<char>(a), static_cast<char>(b)});
  }
  std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    const int c = *Compare(a, b);
    return c != 0 ? c < 0 : a < b;
  });
  for (size_t i = 1; i < names.size() && Usable; ++i)
    Usable =
        Sign(*Compare(names[i - 1], names[i])) ==
        Sign(collator.compare(QString::fromLatin1(names[i - 1]), QString::fromLatin1(names[i])));
}

const TAsciiCollation& TAsciiCollation::Instance() {
  static const TAsciiCollation instance(MakeNameCollator());
  return instance;
}

std::optional<int> TAsciiCollation::Compare(std::string_view a, std::string_view b) const {
  if (!IsAscii(a) || !IsAscii(b)) return std::nullopt;
  size_t i = 0, j = 0;
  for (;;) {
    while (i < a.size() && Weight[static_cast<unsigned char>(a[i])] == 0)
      ++i;
    while (j < b.size() && Weight[static_cast<unsigned char>(b[j])] == 0)
      ++j;
    if (i == a.size() || j == b.size()) return (j == b.size()) - (i == a.size());
    const int c =
        Weight[static_cast<unsigned char>(a[i++])] - Weight[static_cast<unsigned char>(b[j++])];
    if (c != 0) return Sign(c);
  }
}

void TNameWeights::Add(std::string_view name) {
  const TAsciiCollation& ascii = TAsciiCollation::Instance();
  const auto tail = static_cast<uint32_t>(Tails.size());
  TKey key{{0, 0}, tail, 0};
  if (!ascii.Usable || Tails.size() >= NotAscii - name.size()) {
    AddNone();
    return;
  }
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) {
      Tails.resize(tail);
      AddNone();
      return;
    }
    const uint8_t weight = ascii.Weight[byte];
    if (weight == 0) continue;
    if (key.Length < HeadBytes)
      key.Head[key.Length / 8] |= uint64_t{weight} << (8 * (7 - key.Length % 8));
    else
      Tails += static_cast<char>(weight);
    ++key.Length;
  }
  Keys.push_back(key);
}

TNameCollator::TNameCollator() : Collator(MakeNameCollator()) {}

int TNameCollator::Compare(std::string_view a, std::string_view b) const {
  const TAsciiCollation& ascii = TAsciiCollation::Instance();
  if (ascii.Usable)
    if (const std::optional<int> c = ascii.Compare(a, b)) return *c;
  return Collator.compare(ToQString(a), ToQString(b));
}

QCollatorSortKey TNameCollator::Key(std::string_view name) const {
  return Collator.sortKey(ToQString(name));
}

void ApplyFileOrder(std::vector<TFileListData>::iterator first,
                    const std::vector<uint32_t>& order) {
  std::vector<bool> placed(order.size(), false);
  for (size_t start = 0; start < order.size(); ++start) {
    if (placed[start] || order[start] == start) continue;
    TFileListData held = std::move(first[start]);
    size_t place = start;
    while (order[place] != start) {
      first[place] = std::move(first[order[place]]);
      placed[place] = true;
      place = order[place];
    }
    first[place] = std::move(held);
    placed[place] = true;
  }
}

namespace {

// An ASCII name's key, with the item it belongs to.
struct TAsciiSortEntry {
  TNameWeights::TKey Key;
  uint32_t Item;
};
constexpr uint32_t HeadBytes = TNameWeights::HeadBytes;

// The first position from `from` whose entry is not less than the target:
// galloping, so that few targets among many entries cost little.
template <typename LessThanTarget>
size_t FirstNotLess(size_t from, size_t count, LessThanTarget lessThanTarget) {
  size_t low = from;
  size_t step = 1;
  while (from + step - 1 < count && lessThanTarget(from + step - 1)) {
    low = from + step;
    step *= 2;
  }
  size_t high = std::min(count, from + step - 1);
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    if (lessThanTarget(middle))
      low = middle + 1;
    else
      high = middle;
  }
  return low;
}

// Name order: ASCII names by their weights, the others by collation keys,
// then merged; only ASCII names that meet another name in the merge pay
// for a collation key. The weights are those made as the items were listed
// when `first` has them, else they are made here from the titles.
template <typename Items> std::vector<uint32_t> NameOrder(const Items& first, size_t count) {
  const TNameCollator collator;
  const auto title = [&](uint32_t i) -> std::string_view { return first[i].Title; };
  TNameWeights made;
  const TNameWeights* weights = nullptr;
  const uint32_t* places = nullptr; // the item of each index in `weights`, when listed
  if constexpr (requires { first.Weights; }) {
    weights = first.Weights;
    places = first.Places;
  }
  if (!weights) {
    made.Reserve(count);
    for (uint32_t i = 0; i < count; ++i)
      made.Add(TitleNamePart(first[i].Title));
    weights = &made;
    places = nullptr;
  }
  std::vector<TAsciiSortEntry> fast;
  std::vector<uint32_t> others;
  fast.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const TNameWeights::TKey& key = (*weights)[places ? places[i] : i];
    if (key.Length != TNameWeights::NotAscii)
      fast.push_back({key, i});
    else
      others.push_back(i);
  }
  std::sort(fast.begin(), fast.end(), [&](const TAsciiSortEntry& a, const TAsciiSortEntry& b) {
    if (a.Key.Head[0] != b.Key.Head[0]) return a.Key.Head[0] < b.Key.Head[0];
    if (a.Key.Head[1] != b.Key.Head[1]) return a.Key.Head[1] < b.Key.Head[1];
    if (a.Key.Length > HeadBytes || b.Key.Length > HeadBytes)
      if (const int c = CompareBytes(weights->Tail(a.Key), weights->Tail(b.Key)); c != 0)
        return c < 0;
    return CompareBytes(title(a.Item), title(b.Item)) < 0;
  });

  std::vector<uint32_t> order;
  order.reserve(count);
  if (others.empty()) {
    for (const TAsciiSortEntry& e : fast)
      order.push_back(e.Item);
    return order;
  }
  std::vector<std::optional<QCollatorSortKey>> keys(count);
  const auto key = [&](uint32_t i) -> const QCollatorSortKey& {
    if (!keys[i]) keys[i] = collator.Key(TitleNamePart(first[i].Title));
    return *keys[i];
  };
  const auto less = [&](uint32_t a, uint32_t b) {
    const int c = key(a).compare(key(b));
    return c != 0 ? c < 0 : CompareBytes(title(a), title(b)) < 0;
  };
  std::sort(others.begin(), others.end(), less);
  size_t next = 0;
  for (const uint32_t other : others) {
    const size_t end =
        FirstNotLess(next, fast.size(), [&](size_t p) { return less(fast[p].Item, other); });
    for (; next < end; ++next)
      order.push_back(fast[next].Item);
    order.push_back(other);
  }
  for (; next < fast.size(); ++next)
    order.push_back(fast[next].Item);
  return order;
}

// Rank 7 holds the generic files of a hidden files group.
constexpr int HiddenRank = 7;

int DisplayRank(const TFileListData& item, const TGroupOptions& options) {
  return item.Type == fltGeneric && !options.ShowFilesGroup ? HiddenRank
                                                            : GroupRank(item.Type, options);
}

// A separate directory group is always in name order.
TSortMode GroupSortMode(int rank, TSortMode mode) {
  return rank == 0 || rank == 6 ? TSortMode::Name : mode;
}

} // namespace

namespace {

// The items of a group, through the places of the grouped order, with the
// keys of their names when made as they were listed.
struct TGroupItems {
  std::vector<TFileListData>::iterator First;
  const uint32_t* Places;
  const TNameWeights* Weights;
  const TFileListData& operator[](size_t i) const { return First[Places[i]]; }
};

// The order of `n` items (n >= 2) by one mode.
template <typename Items>
std::vector<uint32_t> ModeOrder(const Items& first, size_t n, TSortMode mode) {
  if (mode == TSortMode::Name) return NameOrder(first, n);
  const bool descending = IsDescending(mode);
  std::vector<int64_t> keys(n);
  for (size_t i = 0; i < n; ++i)
    keys[i] = GetSortKey(first[i], mode);
  std::vector<uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    if (keys[a] != keys[b]) return descending ? keys[a] > keys[b] : keys[a] < keys[b];
    return CompareBytes(first[a].Title, first[b].Title) < 0;
  });
  return order;
}

} // namespace

void SortFileItems(std::vector<TFileListData>::iterator first,
                   std::vector<TFileListData>::iterator last, TSortMode mode) {
  const size_t n = static_cast<size_t>(last - first);
  if (n < 2) return;
  ApplyFileOrder(first, ModeOrder(first, n, mode));
}

void ArrangeFileList(std::vector<TFileListData>& items, std::string_view sortMode,
                     const TGroupOptions& options) {
  items.resize(ArrangeFileRange(items.begin(), items.size(), sortMode, options));
}

size_t ArrangeFileRange(std::vector<TFileListData>::iterator first, size_t count,
                        std::string_view sortMode, const TGroupOptions& options) {
  size_t kept = 0;
  // Moved once, in place along the permutation's cycles: a second vector of
  // every record would cost as many fresh pages as the listing itself.
  ApplyFileOrder(first, ArrangedOrder(first, count, sortMode, options, kept));
  return kept;
}

std::vector<uint32_t> ArrangedOrder(std::vector<TFileListData>::iterator first, size_t count,
                                    std::string_view sortMode, const TGroupOptions& options,
                                    size_t& kept, const TNameWeights* weights) {
  // Ranks are 0..7: one counting pass puts each group in listing order.
  std::vector<uint8_t> ranks(count);
  std::array<size_t, HiddenRank + 1> counts{};
  for (size_t i = 0; i < count; ++i) {
    ranks[i] = static_cast<uint8_t>(DisplayRank(first[i], options));
    ++counts[ranks[i]];
  }
  std::array<size_t, HiddenRank + 1> starts{};
  for (size_t rank = 1; rank <= HiddenRank; ++rank)
    starts[rank] = starts[rank - 1] + counts[rank - 1];
  std::vector<uint32_t> order(count);
  {
    std::array<size_t, HiddenRank + 1> next = starts;
    for (size_t i = 0; i < count; ++i)
      order[next[ranks[i]]++] = static_cast<uint32_t>(i);
  }
  // Each group is sorted through the grouped places, so no record moves yet.
  const TSortMode mode = ParseSortMode(sortMode);
  std::vector<uint32_t> sorted;
  for (size_t rank = 0; rank < HiddenRank; ++rank) {
    if (counts[rank] < 2) continue;
    uint32_t* places = order.data() + starts[rank];
    const std::vector<uint32_t> within =
        ModeOrder(TGroupItems{first, places, weights}, counts[rank],
                  GroupSortMode(static_cast<int>(rank), mode));
    sorted.resize(within.size());
    for (size_t i = 0; i < within.size(); ++i)
      sorted[i] = places[within[i]];
    std::copy(sorted.begin(), sorted.end(), places);
  }
  kept = starts[HiddenRank];
  return order;
}

namespace {

// Display order as one comparison of two items: group rank, then the
// group's key, then the titles' bytes; names as NameOrder ranks them (two
// ASCII names by the collator's weights, any other pair by collation keys).
class TDisplayOrder {
public:
  TDisplayOrder(TSortMode mode, const TGroupOptions& options)
      : Mode(mode), Options(options), Ascii(TAsciiCollation::Instance()) {}

  // `name`, when given, is the key of the item's name made as it was listed.
  TMergeKey Key(const TFileListData& item, const TNameWeights::TKey* name = nullptr) const {
    TMergeKey key{{0, 0}, static_cast<uint8_t>(DisplayRank(item, Options)), false};
    const TSortMode mode = GroupSortMode(key.Rank, Mode);
    if (mode != TSortMode::Name) {
      const uint64_t value =
          static_cast<uint64_t>(GetSortKey(item, mode)) ^ (uint64_t{1} << 63);
      key.Head[0] = IsDescending(mode) ? ~value : value;
      return key;
    }
    if (!Ascii.Usable) return key;
    if (name) {
      if (name->Length == TNameWeights::NotAscii) return key;
      key.Head[0] = name->Head[0];
      key.Head[1] = name->Head[1];
      key.AsciiName = true;
      return key;
    }
    unsigned weights = 0;
    for (const char c : TitleNamePart(item.Title)) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte >= 0x80) return {{0, 0}, key.Rank, false};
      const uint8_t weight = Ascii.Weight[byte];
      if (weight == 0 || weights == HeadBytes) continue;
      key.Head[weights / 8] |= uint64_t{weight} << (8 * (7 - weights % 8));
      ++weights;
    }
    key.AsciiName = true;
    return key;
  }

  // `collationX` and `collationY` give the items' collation keys.
  template <typename CollationX, typename CollationY>
  bool Less(const TFileListData& x, const TMergeKey& keyX, CollationX&& collationX,
            const TFileListData& y, const TMergeKey& keyY, CollationY&& collationY) const {
    if (keyX.Rank != keyY.Rank) return keyX.Rank < keyY.Rank;
    if (keyX.Head[0] != keyY.Head[0] && (keyX.AsciiName == keyY.AsciiName))
      return keyX.Head[0] < keyY.Head[0];
    if (GroupSortMode(keyX.Rank, Mode) == TSortMode::Name) {
      if (keyX.AsciiName && keyY.AsciiName) {
        if (keyX.Head[1] != keyY.Head[1]) return keyX.Head[1] < keyY.Head[1];
        if (const int c = *Ascii.Compare(TitleNamePart(x.Title), TitleNamePart(y.Title)); c != 0)
          return c < 0;
      } else if (const int c = collationX().compare(collationY()); c != 0) {
        return c < 0;
      }
    }
    return CompareBytes(x.Title, y.Title) < 0;
  }

private:
  const TSortMode Mode;
  const TGroupOptions& Options;
  const TAsciiCollation& Ascii;
};

} // namespace

TArrangedRunsMerge::TArrangedRunsMerge(const std::vector<TArrangedRun>& runs,
                                       std::string_view sortMode, const TGroupOptions& options,
                                       size_t parts)
    : Mode(ParseSortMode(sortMode)), Options(options) {
  for (const TArrangedRun& run : runs)
    if (run.Count > 0) Runs_.push_back(run);
  for (const TArrangedRun& run : Runs_)
    Total_ += run.Count;
  Keys.resize(Runs_.size());
  if (Runs_.empty()) return;
  parts = std::clamp<size_t>(parts, 1, Total_);
  // Parts end at items of the longest run, spread evenly over it; every
  // other run is cut where its items stop being less than that item.
  const auto longest =
      static_cast<size_t>(std::max_element(Runs_.begin(), Runs_.end(),
                                           [](const TArrangedRun& a, const TArrangedRun& b) {
                                             return a.Count < b.Count;
                                           }) -
                          Runs_.begin());
  const TDisplayOrder display(Mode, Options);
  const TNameCollator collator;
  const auto collation = [&](const TFileListData& item) {
    return [&] { return collator.Key(TitleNamePart(item.Title)); };
  };
  Cuts.assign(parts + 1, std::vector<size_t>(Runs_.size(), 0));
  for (size_t r = 0; r < Runs_.size(); ++r)
    Cuts[parts][r] = Runs_[r].Count;
  for (size_t part = 1; part < parts; ++part) {
    const TFileListData& bound = Runs_[longest][Runs_[longest].Count * part / parts];
    const TMergeKey boundKey = display.Key(bound);
    for (size_t r = 0; r < Runs_.size(); ++r) {
      size_t low = Cuts[part - 1][r], high = Cuts[parts][r];
      while (low < high) {
        const size_t middle = low + (high - low) / 2;
        const TFileListData& item = Runs_[r][middle];
        if (display.Less(item, display.Key(item), collation(item), bound, boundKey,
                         collation(bound)))
          low = middle + 1;
        else
          high = middle;
      }
      Cuts[part][r] = low;
    }
  }
}

void TArrangedRunsMerge::PrepareRun(size_t run) {
  const TDisplayOrder display(Mode, Options);
  const std::vector<TFileListData>& items = *Runs_[run].Items;
  const TNameWeights* weights = Runs_[run].Weights;
  std::vector<TMergeKey>& keys = Keys[run];
  keys.resize(items.size());
  for (size_t i = 0; i < items.size(); ++i)
    keys[i] = display.Key(items[i], weights ? &(*weights)[i] : nullptr);
}

size_t TArrangedRunsMerge::Parts() const {
  return Cuts.empty() ? 0 : Cuts.size() - 1;
}

size_t TArrangedRunsMerge::PartBegin(size_t part) const {
  if (Cuts.empty()) return 0;
  size_t place = 0;
  for (const size_t cut : Cuts[part])
    place += cut;
  return place;
}

void TArrangedRunsMerge::MergePart(size_t part, std::vector<TFileListData>& merged) const {
  struct THead {
    const TArrangedRun* Run;
    size_t First = 0; // the part's first index in the run
    TFileListData& Item(size_t i) const { return (*Run)[First + i]; }
    size_t Count = 0;
    size_t Next = 0;
    std::vector<TMergeKey> Keys;
    std::vector<std::optional<QCollatorSortKey>> Collation; // made when first asked for
  };
  const TDisplayOrder display(Mode, Options);
  const TNameCollator collator;
  std::vector<THead> heads;
  heads.reserve(Runs_.size());
  for (size_t r = 0; r < Runs_.size(); ++r) {
    const size_t first = Cuts[part][r], end = Cuts[part + 1][r];
    if (first == end) continue;
    THead& head = heads.emplace_back();
    head.Run = &Runs_[r];
    head.First = first;
    head.Count = end - first;
    head.Keys.resize(head.Count);
    const TArrangedRun& run = Runs_[r];
    for (size_t i = 0; i < head.Count; ++i) {
      const size_t item = run.Order ? (*run.Order)[first + i] : first + i;
      head.Keys[i] = !Keys[r].empty() ? Keys[r][item]
                                      : display.Key(run[first + i],
                                                    run.Weights ? &(*run.Weights)[item] : nullptr);
    }
  }
  const auto collation = [&](THead& head) {
    return [&head, &collator]() -> const QCollatorSortKey& {
      if (head.Collation.empty()) head.Collation.resize(head.Count);
      std::optional<QCollatorSortKey>& key = head.Collation[head.Next];
      if (!key) key = collator.Key(TitleNamePart(head.Item(head.Next).Title));
      return *key;
    };
  };
  const auto less = [&](THead& a, THead& b) {
    return display.Less(a.Item(a.Next), a.Keys[a.Next], collation(a), b.Item(b.Next),
                        b.Keys[b.Next], collation(b));
  };
  size_t place = PartBegin(part);
  while (!heads.empty()) {
    size_t least = 0;
    for (size_t h = 1; h < heads.size(); ++h)
      if (less(heads[h], heads[least])) least = h;
    THead& head = heads[least];
    merged[place++] = std::move(head.Item(head.Next));
    if (++head.Next == head.Count) heads.erase(heads.begin() + static_cast<ptrdiff_t>(least));
  }
}

} // namespace cv
