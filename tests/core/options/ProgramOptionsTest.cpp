// The options table, its load rules and the order of "Corvantide.ini".

#include "options/ProgramOptions.h"
#include "options/OptionsIni.h"

#include "../foundation/StorageTestSupport.h"
#include "TestSupport.h"
#include "foundation/StoredTextList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace cv {
namespace {

// A list loaded from a file holding `text`.
TStoredTextList ListOf(const std::string& text) {
  static test::TTempDir directory;
  const std::string title = directory.Path + "/Corvantide.ini";
  test::WriteFileBytes(title, text);
  TStoredTextList ini;
  EXPECT_TRUE(ini.LoadFrom(title));
  return ini;
}

std::vector<std::string> SectionOrder(const TStoredTextList& ini) {
  std::vector<std::string> names;
  for (const TIniSection& section : ini.Ini().Sections())
    names.push_back(section.Name);
  return names;
}

std::vector<std::string> KeysOf(const TStoredTextList& ini, std::string_view name) {
  std::vector<std::string> keys;
  if (const TIniSection* section = ini.Ini().FindSection(name))
    for (const TIniEntry& entry : section->Entries)
      keys.push_back(entry.Key);
  return keys;
}

TEST(ProgramOptionsTable, KeysAreUniqueAndDefaultsAreWhatLoadingAccepts) {
  std::set<std::string> keys;
  for (const TOptionRow& row : ProgramOptionRows()) {
    SCOPED_TRACE(std::string(row.Section) + "/" + std::string(row.Key));
    EXPECT_TRUE(keys.insert(FoldIniName(row.Section) + "/" + FoldIniName(row.Key)).second);
    EXPECT_TRUE(row.Page == TOptionsPage::None || !row.Caption.empty());
    switch (row.Kind) {
    case TOptionKind::Bool:
      EXPECT_TRUE(std::holds_alternative<TBoolField>(row.Field));
      EXPECT_TRUE(row.DefaultInt == 0 || row.DefaultInt == 1);
      break;
    case TOptionKind::Int:
      EXPECT_TRUE(std::holds_alternative<TIntField>(row.Field));
      EXPECT_TRUE(row.Accepts(row.DefaultInt));
      ASSERT_FALSE(row.Values.empty()) << "the dialog offers a list for every integer";
      EXPECT_TRUE(std::is_sorted(row.Values.begin(), row.Values.end()));
      for (const int value : row.Values)
        EXPECT_TRUE(row.Accepts(value)) << value;
      if (!row.HasRange) {
        EXPECT_NE(std::find(row.Values.begin(), row.Values.end(), row.DefaultInt),
                  row.Values.end());
      }
      break;
    case TOptionKind::Font:
    case TOptionKind::Text:
      EXPECT_TRUE(row.IsText());
      EXPECT_LE(row.DefaultText.size(), static_cast<size_t>(row.MaxLength));
      EXPECT_TRUE(row.AllowEmpty || !row.DefaultText.empty());
      break;
    case TOptionKind::Operation:
      EXPECT_TRUE(row.IsText());
      EXPECT_NE(std::find(row.Names.begin(), row.Names.end(), row.DefaultText), row.Names.end());
      break;
    }
  }
  // Fields are distinct: setting one row leaves the others alone.
  TProgramOptions options;
  for (const TOptionRow& row : ProgramOptionRows())
    if (row.Kind == TOptionKind::Bool) row.Bool(options) = row.DefaultInt == 0;
  for (const TOptionRow& row : ProgramOptionRows())
    if (row.Kind == TOptionKind::Bool) {
      EXPECT_NE(row.Bool(options), row.DefaultInt != 0) << row.Key;
    }
}

// Every row set to a value other than its default, through a file and back.
TEST(ProgramOptionsFile, EveryOptionRoundTrips) {
  TProgramOptions changed;
  for (const TOptionRow& row : ProgramOptionRows()) {
    if (row.Kind == TOptionKind::Bool) {
      row.Bool(changed) = row.DefaultInt == 0;
    } else if (row.Kind == TOptionKind::Int) {
      row.Int(changed) =
          row.Values.back() != row.DefaultInt ? row.Values.back() : row.Values.front();
    } else if (row.Kind == TOptionKind::Operation) {
      row.Text(changed) =
          std::string(row.Names.back() != row.DefaultText ? row.Names.back() : row.Names.front());
    } else {
      row.Text(changed) = "Serif " + std::string(row.Key).substr(0, 8);
    }
  }
  TStoredTextList ini = ListOf("");
  SaveProgramOptions(ini, changed);
  TStoredTextList reread = ListOf(ini.Ini().Text());
  TProgramOptions loaded;
  LoadProgramOptions(reread, loaded);
  for (const TOptionRow& row : ProgramOptionRows()) {
    SCOPED_TRACE(row.Key);
    if (row.Key == "FirstRun") continue; // every save writes it as "FALSE"
    if (row.Kind == TOptionKind::Bool)
      EXPECT_EQ(row.Bool(loaded), row.Bool(changed));
    else if (row.Kind == TOptionKind::Int)
      EXPECT_EQ(row.Int(loaded), row.Int(changed));
    else
      EXPECT_EQ(row.Text(loaded), row.Text(changed));
  }
}

TEST(ProgramOptionsFile, RefusedValuesFollowTheLoadRules) {
  struct TCase {
    const char* Section;
    const char* Key;
    const char* Stored;
    const char* Loaded;
  } const cases[] = {
      {"Main", "VisibleBoards", "31", "10"}, // outside its range: the default
      {"Main", "VisibleBoards", "11", "11"}, // inside the range, though not listed
      {"Main", "HintLines", "0", "3"},
      {"FileHover", "Delay", "11", "2"},     // not in its list: the first value
      {"FileHover", "Delay", "twelve", "5"}, // not a number: the default
      {"FileList", "ItemsExtraHeight", "-4", "0"},
      {"Viewer", "MaxTextSize", "-1", "-1"},
      {"Viewer", "FontSize", "41", "9"},
      {"Main", "CaptionFontName", "", "Arial"}, // may not be empty
      {"Main", "CaptionFontName", "Sans", "Sans"},
      {"FileList", "ItemsFontName", "A font name of thirty-two chars",
       "A font name of thirty-two chars"},
      {"FileList", "ItemsFontName", "A font name of thirty-two chars!", "Arial"},
      // An unknown operation keeps the default: the list's first would be "Delete".
      {"MouseOperations", "LMBTypeOperation", "Explode", "Run"},
      {"MouseOperations", "LMBTypeOperation", "run", "Run"},
      {"MouseOperations", "RMBDragNameOperation", "Copy as hard-link", "Copy as hard-link"},
      {"MouseOperations", "RMBNameOperation", "Copy as hard-link", "File menu"},
      {"MouseMenu2", "MouseMenuOperation1", "Shred", "Toggle up selection"},
      {"MouseMenu2", "MouseMenuOperation12", "View", "View"},
      {"ViewerPlugins", "Name0", "", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Key) + "=" + c.Stored);
    const TOptionRow* row = FindOptionRow(c.Section, c.Key);
    ASSERT_NE(row, nullptr);
    TStoredTextList ini =
        ListOf("[" + std::string(c.Section) + "]\n" + c.Key + "=" + c.Stored + "\n");
    TProgramOptions options;
    LoadProgramOptions(ini, options);
    const std::string loaded =
        row->Kind == TOptionKind::Int ? std::to_string(row->Int(options)) : row->Text(options);
    EXPECT_EQ(loaded, c.Loaded);
  }
}

TEST(ProgramOptionsFile, SavingMarksTheFirstRunOver) {
  TProgramOptions options;
  ASSERT_TRUE(options.FirstRun);
  TStoredTextList ini = ListOf("");
  SaveProgramOptions(ini, options);
  EXPECT_EQ(*ini.Ini().Find("Main", "FirstRun"), "FALSE");
  EXPECT_FALSE(options.FirstRun);
}

TEST(OptionsIniOrder, StepsRunInFileOrderWhateverOrderTheyWereAdded) {
  TOptionsIni steps;
  std::vector<std::string> reads;
  TProgramOptions options;
  steps.Add(
      TIniStep::ActiveBoard, [&](const TStoredTextList&) { reads.push_back("board"); },
      [](TStoredTextList& ini) { ini.WriteInt("Main", "ActiveBoard", 3); });
  steps.Add(
      TIniStep::Options,
      [&](const TStoredTextList& ini) {
        reads.push_back("options");
        LoadProgramOptions(ini, options);
      },
      [&](TStoredTextList& ini) { SaveProgramOptions(ini, options); });
  steps.Add(
      TIniStep::Window, [&](const TStoredTextList&) { reads.push_back("window"); },
      [](TStoredTextList& ini) {
        for (const char* key : {"XPos", "YPos", "XSize", "YSize"})
          ini.WriteInt("Main", key, 1);
      });
  steps.Add(TIniStep::Options, [&](const TStoredTextList&) { reads.push_back("options, second"); },
            {});

  // A section of an older file that nobody writes any more goes.
  TStoredTextList ini = ListOf("[Obsolete]\nKey=1\n[Main]\nActiveBoard=9\n");
  steps.Write(ini);
  steps.Read(ini);
  EXPECT_EQ(reads, (std::vector<std::string>{"window", "options", "options, second", "board"}));
  EXPECT_EQ(SectionOrder(ini),
            (std::vector<std::string>{"Main", "MouseOperations", "MouseMenu2", "FileHover",
                                      "Viewer", "FileList", "ViewerPlugins"}));
  const std::vector<std::string> main = KeysOf(ini, "Main");
  ASSERT_GE(main.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(main.begin(), main.begin() + 5),
            (std::vector<std::string>{"XPos", "YPos", "XSize", "YSize", "FirstRun"}));
  EXPECT_EQ(std::vector<std::string>(main.end() - 5, main.end()),
            (std::vector<std::string>{"MaxPictureCacheSize", "CaptionFontName", "CaptionFontSize",
                                      "ActivatePlugins", "ActiveBoard"}));
  const std::vector<std::string> fileList = KeysOf(ini, "FileList");
  const auto simulated = std::find(fileList.begin(), fileList.end(), "SimulateFileTypeWidth");
  ASSERT_NE(simulated, fileList.end());
  EXPECT_EQ(*(simulated + 1), "MaxThumbFileSize");
  const std::vector<std::string> viewer = KeysOf(ini, "Viewer");
  EXPECT_EQ(std::count(viewer.begin(), viewer.end(), "FontSize"), 1);
}

} // namespace
} // namespace cv
