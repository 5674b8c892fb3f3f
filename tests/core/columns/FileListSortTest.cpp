#include "columns/FileListSort.h"

#include "filesystem/File.h"

#include <gtest/gtest.h>

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace cv {
namespace {

// Sorting by precomputed keys must give the collator's own order, with
// names that differ only in case or accents, ties broken by bytes.
TEST(FileListSortTest, LargeNameSortIsOrderedByTheCollatorThenBytes) {
  std::vector<TFileListData> items;
  unsigned seed = 7;
  for (int i = 0; i < 30000; ++i) {
    seed = seed * 1103515245u + 12345u;
    std::string name = std::to_string(seed % 5000);
    if (seed & 1) name[0] = static_cast<char>('A' + seed % 26);
    else name.insert(0, 1, static_cast<char>('a' + seed % 26));
    TFileListData item;
    item.Title = "/dir/" + name + ((seed & 4) ? "\xc3\xa9" : "");
    items.push_back(std::move(item));
  }
  SortFileItems(items.begin(), items.end(), TSortMode::Name);
  const TNameCollator collator;
  for (size_t i = 1; i < items.size(); ++i) {
    const int c = collator.Compare(GetTitleName(items[i - 1].Title), GetTitleName(items[i].Title));
    ASSERT_LE(c, 0) << items[i - 1].Title << " / " << items[i].Title;
    if (c == 0) {
      ASSERT_LE(items[i - 1].Title, items[i].Title);
    }
  }
}

// A random name: mostly ASCII (letters of both cases, digits, punctuation,
// control bytes the collator ignores); with `otherShare` probability it also
// holds UTF-8 (accents, combining marks, other scripts) or invalid bytes.
std::string RandomName(std::mt19937& random, double otherShare) {
  static const char* const others[] = {"\xc3\xa9",     "\xc3\x89",     "e\xcc\x81", "\xc3\x9f",
                                       "\xce\xa9",     "\xe6\x97\xa5", "\xff",      "\xc3",
                                       "\xe2\x80\x8b", "\xc2\xad"};
  static const std::string ascii = "aAbBzZeEsS09_-. ~!(),+=\x01\x7f\t";
  std::uniform_int_distribution<int> length(1, 12);
  std::uniform_int_distribution<size_t> pickAscii(0, ascii.size() - 1);
  std::uniform_int_distribution<size_t> pickOther(0, std::size(others) - 1);
  const bool withOther = std::uniform_real_distribution<double>(0, 1)(random) < otherShare;
  std::string name;
  for (int i = length(random); i > 0; --i)
    name += ascii[pickAscii(random)];
  if (withOther)
    name.insert(std::uniform_int_distribution<size_t>(0, name.size())(random),
                others[pickOther(random)]);
  return name;
}

// The order must be the collator's own (its sort keys, then the bytes) for
// any mix of names that take the weight table and names that take the
// collator, and the two-name comparison must agree with it.
TEST(FileListSortTest, NameOrderIsTheCollatorsForEveryMixOfNames) {
  const struct {
    int Count;
    double OtherShare;
  } cases[] = {{100000, 0.2}, {20000, 0.0}, {20000, 0.0005}, {20000, 1.0}};
  const TNameCollator collator;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Count << " names, share " << c.OtherShare);
    std::mt19937 random(static_cast<unsigned>(c.Count) + 17);
    std::vector<TFileListData> items(static_cast<size_t>(c.Count));
    for (TFileListData& item : items)
      item.Title = "/d/" + RandomName(random, c.OtherShare);
    SortFileItems(items.begin(), items.end(), TSortMode::Name);
    std::vector<QCollatorSortKey> keys;
    for (const TFileListData& item : items)
      keys.push_back(collator.Key(TitleNamePart(item.Title)));
    for (size_t i = 1; i < items.size(); ++i) {
      const std::string_view a = TitleNamePart(items[i - 1].Title);
      const std::string_view b = TitleNamePart(items[i].Title);
      const int byKey = keys[i - 1].compare(keys[i]);
      ASSERT_TRUE(byKey < 0 || (byKey == 0 && items[i - 1].Title <= items[i].Title))
          << testing::PrintToString(items[i - 1].Title) << " / "
          << testing::PrintToString(items[i].Title);
      const int compared = collator.Compare(a, b);
      ASSERT_EQ((compared > 0) - (compared < 0), (byKey > 0) - (byKey < 0))
          << testing::PrintToString(std::string(a)) << " / "
          << testing::PrintToString(std::string(b));
    }
  }
}

// Runs arranged apart and merged, in one part or several, give the order
// of arranging them all at once: in every mode and grouping, with many equal
// keys, names of every kind, runs of any size (empty ones too) and places
// between them that are no run's.
TEST(FileListSortTest, MergedArrangedRunsGiveTheWholeArrangement) {
  std::mt19937 random(5);
  std::vector<TFileListData> all(6000);
  const int types[] = {fltDirectory, fltLink, fltProgram, fltDocument, fltGeneric};
  for (size_t i = 0; i < all.size(); ++i) {
    TFileListData& item = all[i];
    // Some share a prefix longer than the merge's inline key, "a" and "A" alike.
    const char* const prefix = i % 5 == 0 ? (i % 2 ? "Same-long-prefix-of-names" : "same-long-prefix-of-names") : "";
    item.Title = "/d/" + std::string(prefix) + RandomName(random, 0.1) + "#" + std::to_string(i);
    item.Type = types[random() % std::size(types)];
    item.Size = static_cast<int64_t>(random() % 4);
    item.Modified = static_cast<int64_t>(random() % 3);
    item.Created = static_cast<int64_t>(random() % 5);
  }
  TGroupOptions separate, together, atEndHidden;
  together.SeparateDirs = together.SeparateLinks = together.SeparateProgs = together.SeparateDocs =
      false;
  atEndHidden.DirsAtEnd = true;
  atEndHidden.ShowFilesGroup = false;
  const std::vector<size_t> cuts[] = {{0, 3000, 6000}, {0, 0, 17, 2000, 2001, 6000}};
  for (const char* mode : SortModeNames)
    for (const TGroupOptions& groups : {separate, together, atEndHidden})
      for (const std::vector<size_t>& cut : cuts) {
        SCOPED_TRACE(testing::Message() << mode << ", " << cut.size() - 1 << " runs");
        std::vector<TFileListData> whole = all;
        ArrangeFileList(whole, mode, groups);
        // Each run gets a stale record behind its kept ones, or none; the
        // runs come moved into order or as they were, with their order.
        std::vector<std::vector<TFileListData>> moved(cut.size() - 1), unmoved(cut.size() - 1);
        std::vector<std::vector<uint32_t>> orders(cut.size() - 1);
        std::vector<TNameWeights> names(cut.size() - 1);
        std::vector<size_t> kept(cut.size() - 1);
        for (size_t r = 0; r + 1 < cut.size(); ++r) {
          unmoved[r].assign(all.begin() + static_cast<ptrdiff_t>(cut[r]),
                            all.begin() + static_cast<ptrdiff_t>(cut[r + 1]));
          moved[r] = unmoved[r];
          kept[r] = ArrangeFileRange(moved[r].begin(), moved[r].size(), mode, groups);
          moved[r].resize(kept[r] + r % 2);
          size_t orderKept = 0;
          orders[r] = ArrangedOrder(unmoved[r].begin(), unmoved[r].size(), mode, groups, orderKept);
          ASSERT_EQ(orderKept, kept[r]);
          // The names' keys made beforehand, as a listing makes them, give
          // the same order.
          for (const TFileListData& item : unmoved[r])
            names[r].Add(TitleNamePart(item.Title));
          EXPECT_EQ(ArrangedOrder(unmoved[r].begin(), unmoved[r].size(), mode, groups, orderKept,
                                  &names[r]),
                    orders[r]);
        }
        const struct {
          bool ByOrder, WithNames, Prepared;
        } ways[] = {
            {false, false, false}, {true, false, true}, {true, true, true}, {true, true, false}};
        for (const auto& way : ways)
          for (const size_t parts : {1, 3}) {
            SCOPED_TRACE(testing::Message()
                         << parts << " parts, by order " << way.ByOrder << ", names' keys "
                         << way.WithNames << ", prepared " << way.Prepared);
            std::vector<std::vector<TFileListData>> runItems = way.ByOrder ? unmoved : moved;
            std::vector<TArrangedRun> runs;
            for (size_t r = 0; r < runItems.size(); ++r)
              runs.push_back({&runItems[r], kept[r], way.ByOrder ? &orders[r] : nullptr,
                              way.WithNames ? &names[r] : nullptr});
            TArrangedRunsMerge merge(runs, mode, groups, parts);
            if (way.Prepared)
              for (size_t r = 0; r < merge.Runs(); ++r)
                merge.PrepareRun(r);
            std::vector<TFileListData> merged(merge.Total());
            for (size_t part = 0; part < merge.Parts(); ++part)
              merge.MergePart(part, merged);
            ASSERT_EQ(merged.size(), whole.size());
            for (size_t i = 0; i < whole.size(); ++i)
              ASSERT_EQ(merged[i].Title, whole[i].Title) << i;
          }
      }
}

// A name's key made beforehand is that of the weight table: names of ASCII
// bytes (long ones too, ignorable bytes, after a long name given up on a
// byte beyond ASCII) compare by their keys as the collator compares them;
// any other name is left to the collator.
TEST(FileListSortTest, NamesKeysMadeBeforehandCompareAsTheCollator) {
  ASSERT_TRUE(TAsciiCollation::Instance().Usable);
  const char* const names[] = {"a",
                               "B",
                               "b\x01",
                               "File_1234_99.txt",
                               "file_1234_99.txt",
                               "abcdefghijklmnop",
                               "abcdefghijklmnopqrs-long-\xc3\xa9",
                               "ABCDEFGHIJKLMNOPq",
                               "abcdefghijklmnopr",
                               "abcdefghijklmnopqrs",
                               "abcdefghijklmnop\x01q",
                               "caf\xc3\xa9",
                               "\xff\xfe",
                               "e\xcc\x81t\xc3\xa9",
                               "z"};
  TNameWeights weights;
  for (const char* name : names)
    weights.Add(name);
  const auto compare = [&](const TNameWeights::TKey& a, const TNameWeights::TKey& b) {
    if (a.Head[0] != b.Head[0]) return a.Head[0] < b.Head[0] ? -1 : 1;
    if (a.Head[1] != b.Head[1]) return a.Head[1] < b.Head[1] ? -1 : 1;
    const int c = weights.Tail(a).compare(weights.Tail(b));
    return (c > 0) - (c < 0);
  };
  const TNameCollator collator;
  for (size_t i = 0; i < std::size(names); ++i) {
    const std::string_view name = names[i];
    const bool ascii = std::all_of(name.begin(), name.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    EXPECT_EQ(weights[i].Length != TNameWeights::NotAscii, ascii) << testing::PrintToString(name);
    if (!ascii) continue;
    for (size_t j = 0; j < std::size(names); ++j) {
      if (weights[j].Length == TNameWeights::NotAscii) continue;
      const int expected = collator.Key(name).compare(collator.Key(names[j]));
      EXPECT_EQ(compare(weights[i], weights[j]), (expected > 0) - (expected < 0))
          << testing::PrintToString(name) << " / " << testing::PrintToString(names[j]);
    }
  }
}

QCollator CaseInsensitiveCollator(const char* locale) {
  QCollator collator{QLocale(QString::fromLatin1(locale))};
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  return collator;
}

// The weights come from the collator; a locale that joins ASCII letters
// ("ch" after "h") cannot be sorted byte by byte and gives the table up.
TEST(FileListSortTest, WeightTableIsDerivedFromTheCollatorAndRefusesContractions) {
  const TAsciiCollation english(CaseInsensitiveCollator("en_US"));
  ASSERT_TRUE(english.Usable);
  EXPECT_EQ(english.Weight['a'], english.Weight['A']);
  EXPECT_LT(english.Weight['a'], english.Weight['b']);
  EXPECT_LT(english.Weight['9'], english.Weight['a']);
  EXPECT_EQ(english.Weight[1], 0); // a control byte the collator ignores
  EXPECT_LT(*english.Compare("a\x01"
                             "b",
                             "AC"),
            0);
  EXPECT_EQ(english.Compare("a\xc3\xa9", "a"), std::nullopt);

  for (const char* locale : {"cs_CZ", "da_DK"}) {
    const TAsciiCollation joined(CaseInsensitiveCollator(locale));
    EXPECT_FALSE(joined.Usable) << locale;
  }
}

} // namespace
} // namespace cv
