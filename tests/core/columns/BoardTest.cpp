#include "columns/Board.h"

#include "BoardTestSupport.h"
#include "TestSupport.h"
#include "columns/BoardColumns.h"
#include "columns/Column.h"
#include "columns/History.h"
#include "filesystem/File.h"
#include "filesystem/SpecialLocations.h"
#include "foundation/MemoryStorage.h"
#include "foundation/Program.h"
#include "options/ProgramOptions.h"

#include "../foundation/StorageTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

namespace cv {
namespace {

namespace fs = std::filesystem;

// A board whose every field differs from the default and from the others.
TBoardData Distinct(int b) {
  TBoardData board;
  board.BoardIndex = b;
  board.Name = "Board " + std::to_string(b);
  board.ShowMPL = b % 2 == 0;
  board.ShowTreeNavigator = b % 3 == 0;
  board.TreeNavigatorPath = "/tree/" + std::to_string(b);
  board.VisibleColumns = 1 + b % 10;
  board.ActiveColumn = (b + 3) % 10;
  for (int i = 0; i < TBoardData::Columns; ++i) {
    TBoardColumn& column = board.Column[static_cast<size_t>(i)];
    column.ActiveTitle = "/b" + std::to_string(b) + "/c" + std::to_string(i);
    column.DefaultTitle = column.ActiveTitle;
    column.ContainerIndex = (b + i) % 21 - 1;
    column.FixedAttr = (b + i) % 2 == 1;
    column.WidthAttr = 1 + (b + i) % 10;
    column.SubcolumnsAttr = 1 + (b * 7 + i) % 10;
    column.ThumbHeight = 1 + (b + 2 * i) % 30;
    column.ThumbAttr = (b + i) % 3 == 0;
    column.ActiveType = (b + i) % 6;
    column.TopOffset = b * 100 - i;
    column.ActiveKey = (int64_t{1} << 40) * b + i;
    column.SortMode = i % 2 ? "Size" : "Date (desc)";
    column.ShowHidden = (b + i) % 4 == 1;
  }
  return board;
}

// The same as a file from before the columns kept their hidden files.
TBoardData DistinctVersion1(int b) {
  TBoardData board = Distinct(b);
  for (TBoardColumn& column : board.Column)
    column.ShowHidden.reset();
  return board;
}

// Sets the default of the hidden files for one test.
struct TShowHiddenDefault {
  explicit TShowHiddenDefault(bool show) { ProgramOptions.ShowHiddenFiles = show; }
  ~TShowHiddenDefault() { ProgramOptions.ShowHiddenFiles = Kept; }
  const bool Kept = ProgramOptions.ShowHiddenFiles;
};

// The record as the file format gives it, written field by field.
void WriteBoard(TStreamStorage& storage, const TBoardData& board, int version) {
  storage.WriteText(board.Name);
  if (version >= 1) {
    storage.WriteChar(board.ShowMPL ? 1 : 0);
    storage.WriteChar(board.ShowTreeNavigator ? 1 : 0);
    storage.WriteText(board.TreeNavigatorPath);
  }
  storage.WriteInt(board.VisibleColumns);
  storage.WriteInt(board.ActiveColumn);
  for (const TBoardColumn& column : board.Column) {
    storage.WriteText(column.ActiveTitle);
    storage.WriteInt(column.ContainerIndex);
    storage.WriteChar(column.FixedAttr ? 1 : 0);
    storage.WriteInt(column.WidthAttr);
    storage.WriteInt(column.SubcolumnsAttr);
    storage.WriteInt(column.ThumbHeight);
    storage.WriteChar(column.ThumbAttr ? 1 : 0);
    storage.WriteInt(column.ActiveType);
    storage.WriteInt(column.TopOffset);
    storage.WriteInt64(column.ActiveKey);
    storage.WriteText(column.SortMode);
    if (version >= 2) storage.WriteChar(column.ShowHidden.value_or(false) ? 1 : 0);
  }
}

class BoardTest : public ::testing::Test {
protected:
  void SetUp() override { FunStatContext.Reset(fsPerfect); }

  // Reads a payload as the options file's load handler does.
  bool Load(TFileStorage& storage, int32_t version) {
    storage.SetPosition(0);
    LoadBoards(storage, version, Set, Columns.Board, &History);
    return !FunStatContext.Failed();
  }

  TBoardSet Set;
  test::TColumnSet Columns;
  THistory History;
  test::TRecordingUserInterface Ui;
};

TEST_F(BoardTest, EveryFieldMakesTheRoundTripThroughTheOptionsFile) {
  test::TTempDir dir;
  TBoardSet saved;
  for (int b = 0; b < TBoardSet::BoardCount; ++b)
    saved.Boards[static_cast<size_t>(b)] = Distinct(b);
  saved.SetActiveBoard(4);
  saved.LoadActiveBoard(Columns.Board, false);

  TFileStorage file;
  file.FileName = dir.Path + "/Corvantide.cvo";
  file.Signature = "Corvantide Options";
  file.Version = TBoardSet::FileVersion;
  file.OnSave = [&](TFileStorage& storage) { SaveBoards(storage, saved, Columns.Board); };
  ASSERT_TRUE(file.Save(false));

  // Board 29 first, every field in its encoding.
  TFileStorage expected;
  for (int b = TBoardSet::BoardCount - 1; b >= 0; --b)
    WriteBoard(expected, saved.Boards[static_cast<size_t>(b)], TBoardSet::FileVersion);
  EXPECT_EQ(file.View().substr(CFileStorageHeaderSize), expected.View());

  Set.SetActiveBoard(4);
  file.OnLoad = [&](TFileStorage& storage, int32_t version) {
    LoadBoards(storage, version, Set, Columns.Board, &History);
  };
  ASSERT_TRUE(file.Load());
  for (int b = 0; b < TBoardSet::BoardCount; ++b)
    EXPECT_EQ(Set.Boards[static_cast<size_t>(b)], saved.Boards[static_cast<size_t>(b)]) << b;
  // The titles entered the history in file order: board 0's last column is the newest.
  ASSERT_GT(History.Count(), 0);
  EXPECT_EQ(History.Entry(History.Count() - 1).EntryTitle, "/b0/c9");
  EXPECT_EQ(History.Entry(History.Count() - 1).EntryKey, 9);
  // The active board went into the columns.
  EXPECT_EQ(Columns.Board.VisibleColumns(), 5);
  EXPECT_EQ(Columns.Board.ActiveColumn(), 4); // 7 clamped below the visible count
  EXPECT_EQ(Columns.Board.Column(3).ActiveTitle, "/b4/c3");
  EXPECT_EQ(Columns.Board.Column(3).SortMode, "Size");
  EXPECT_EQ(Columns.Board.Column(3).SubcolumnsAttr, 2);
  EXPECT_EQ(Columns.Board.Column(3).List.Subcolumns(), 2);
}

// The boards of the golden files: long UTF-8 and non-UTF-8 titles included.
TBoardSet GoldenBoards(bool version1) {
  TBoardSet boards;
  for (int b = 0; b < TBoardSet::BoardCount; ++b)
    boards.Boards[static_cast<size_t>(b)] = version1 ? DistinctVersion1(b) : Distinct(b);
  std::string deep = "/home";
  while (deep.size() < 300)
    deep += "/\xC3\xA9t\xC3\xA9 \xE2\x80\x94 d\xC3\xA9j\xC3\xA0";
  boards.Boards[7].Column[0].ActiveTitle = deep;
  boards.Boards[7].Column[1].ActiveTitle = "/latin1/caf\xE9/\xFF\xFE";
  boards.Boards[7].TreeNavigatorPath = deep;
  boards.Boards[7].Name = "\xE6\x9D\xBF \xE2\x80\x94 board";
  for (TBoardColumn& column : boards.Boards[7].Column)
    column.DefaultTitle = column.ActiveTitle;
  boards.SetActiveBoard(7); // its active column is visible
  return boards;
}

class BoardGoldenTest : public BoardTest {
protected:
  std::unique_ptr<TFileStorage> Storage(const std::string& title, TBoardSet& set) {
    auto file = std::make_unique<TFileStorage>();
    file->FileName = title;
    file->Signature = "Corvantide Options";
    file->Version = TBoardSet::FileVersion;
    file->OnSave = [this, &set](TFileStorage& s) { SaveBoards(s, set, Columns.Board); };
    file->OnLoad = [this, &set](TFileStorage& s, int32_t version) {
      LoadBoards(s, version, set, Columns.Board, &History);
    };
    return file;
  }
};

// A file written by this version, kept in the fixtures: what the program
// reads and writes must not drift.
TEST_F(BoardGoldenTest, TheGoldenFileLoadsAndSavesByteForByte) {
  const std::string golden = std::string(CORVANTIDE_FIXTURES) + "/storage/boards-v2.cvo";
  TBoardSet boards = GoldenBoards(false);
  if (std::getenv("CORVANTIDE_WRITE_GOLDEN")) {
    boards.LoadActiveBoard(Columns.Board, false);
    ASSERT_TRUE(Storage(golden, boards)->Save(false));
  }

  ASSERT_TRUE(Set.SetActiveBoard(7));
  ASSERT_TRUE(Storage(golden, Set)->Load());
  for (int b = 0; b < TBoardSet::BoardCount; ++b)
    EXPECT_EQ(Set.Boards[static_cast<size_t>(b)], boards.Boards[static_cast<size_t>(b)]) << b;
  EXPECT_EQ(Columns.Board.Column(0).ActiveTitle, boards.Boards[7].Column[0].ActiveTitle);
  EXPECT_TRUE(Columns.Board.Column(2).ShowHidden); // (7 + 2) % 4 == 1
  EXPECT_FALSE(Columns.Board.Column(3).ShowHidden);
  test::TTempDir dir;
  ASSERT_TRUE(Storage(dir.Path + "/Corvantide.cvo", Set)->Save(false));
  EXPECT_EQ(test::ReadFileBytes(dir.Path + "/Corvantide.cvo"), test::ReadFileBytes(golden));
}

// The file of the version before (kept as it was written): it loads whole,
// each column's hidden files left to the options, and is saved in the new
// version with the state the columns had.
TEST_F(BoardGoldenTest, TheVersion1GoldenFileLoadsAndIsSavedInTheNewVersion) {
  const TShowHiddenDefault showHidden(true);
  const std::string golden = std::string(CORVANTIDE_FIXTURES) + "/storage/boards.cvo";
  const TBoardSet boards = GoldenBoards(true);
  ASSERT_TRUE(Set.SetActiveBoard(7));
  ASSERT_TRUE(Storage(golden, Set)->Load());
  for (int b = 0; b < TBoardSet::BoardCount; ++b)
    EXPECT_EQ(Set.Boards[static_cast<size_t>(b)], boards.Boards[static_cast<size_t>(b)]) << b;
  for (int i = 0; i < TBoardData::Columns; ++i)
    EXPECT_TRUE(Columns.Board.Column(i).ShowHidden) << i;
  Columns.Board.Column(4).ShowHidden = false;

  test::TTempDir dir;
  const std::string saved = dir.Path + "/Corvantide.cvo";
  ASSERT_TRUE(Storage(saved, Set)->Save(false));
  TBoardSet reread;
  ASSERT_TRUE(Storage(saved, reread)->Load());
  for (int b = 0; b < TBoardSet::BoardCount; ++b)
    for (int i = 0; i < TBoardData::Columns; ++i)
      EXPECT_EQ(reread.Boards[static_cast<size_t>(b)].Column[static_cast<size_t>(i)].ShowHidden,
                !(b == 7 && i == 4))
          << b << "/" << i;
}

TEST(SearchBoard, TheFirstBoardNamedSearchOrFindAndAHomeColumnThatIsShown) {
  TBoardSet boards;
  boards.IniPaths();
  EXPECT_EQ(FindSearchBoard(boards), 3) << "the default board \"Search\"";
  boards.Boards[3].Name = "Elsewhere";
  boards.Boards[12].Name = "FIND";
  boards.Boards[20].Name = "search";
  EXPECT_EQ(FindSearchBoard(boards), 12);
  boards.Boards[12].Name = "Finder";
  EXPECT_EQ(FindSearchBoard(boards), 20);
  boards.Boards[20].Name.clear();
  EXPECT_EQ(FindSearchBoard(boards), -1);
  // A board showing fewer columns than the home column uses its last one.
  EXPECT_EQ(SearchHomeColumn(1, 3), 1);
  EXPECT_EQ(SearchHomeColumn(1, 1), 0);
  EXPECT_EQ(SearchHomeColumn(0, 1), 0);
}

TEST_F(BoardTest, AVersion0FileKeepsTheDefaultMediaListAndTreeNavigator) {
  TFileStorage storage;
  for (int b = TBoardSet::BoardCount - 1; b >= 0; --b)
    WriteBoard(storage, DistinctVersion1(b), 0);
  Set.Boards[7].ShowMPL = true;
  Set.Boards[7].TreeNavigatorPath = "/kept/";
  ASSERT_TRUE(Load(storage, 0));
  for (int b = 0; b < TBoardSet::BoardCount; ++b) {
    TBoardData expected = DistinctVersion1(b);
    expected.ShowMPL = b == 7;
    expected.ShowTreeNavigator = false;
    expected.TreeNavigatorPath = b == 7 ? "/kept/" : ":/";
    EXPECT_EQ(Set.Boards[static_cast<size_t>(b)], expected) << b;
  }
}

TEST_F(BoardTest, AColumnWithoutItsOwnHiddenStateIsWrittenAsTheOptionsSay) {
  const TShowHiddenDefault showHidden(true);
  TBoardSet written;
  written.Boards[0].Column[5].ShowHidden = false;
  TFileStorage storage;
  written.Write(storage);
  ASSERT_TRUE(Load(storage, TBoardSet::FileVersion));
  for (int b = 0; b < TBoardSet::BoardCount; ++b)
    for (int i = 0; i < TBoardData::Columns; ++i)
      EXPECT_EQ(Set.Boards[static_cast<size_t>(b)].Column[static_cast<size_t>(i)].ShowHidden,
                !(b == 0 && i == 5))
          << b << "/" << i;
  // A byte other than 0 or 1 (here board 0's last column, the file's last
  // byte) leaves the column to the options.
  storage.Data()[storage.Size() - 1] = 7;
  Set = TBoardSet();
  ASSERT_TRUE(Load(storage, TBoardSet::FileVersion));
  EXPECT_EQ(Set.Boards[0].Column[9].ShowHidden, std::nullopt);
}

TEST_F(BoardTest, ValuesOutOfRangeKeepTheFieldsDefault) {
  struct TCase {
    const char* What;
    std::function<void(TBoardData&)> Spoil;
  };
  const TCase cases[] = {
      {"11 columns", [](TBoardData& b) { b.VisibleColumns = 11; }},
      {"0 columns", [](TBoardData& b) { b.VisibleColumns = 0; }},
      {"active 10", [](TBoardData& b) { b.ActiveColumn = 10; }},
      {"active -1", [](TBoardData& b) { b.ActiveColumn = -1; }},
      {"container 20", [](TBoardData& b) { b.Column[2].ContainerIndex = 20; }},
      {"container -2", [](TBoardData& b) { b.Column[2].ContainerIndex = -2; }},
      {"width 0", [](TBoardData& b) { b.Column[2].WidthAttr = 0; }},
      {"width 11", [](TBoardData& b) { b.Column[2].WidthAttr = 11; }},
      {"subcolumns 11", [](TBoardData& b) { b.Column[2].SubcolumnsAttr = 11; }},
      {"thumb height 31", [](TBoardData& b) { b.Column[2].ThumbHeight = 31; }},
      {"thumb height 0", [](TBoardData& b) { b.Column[2].ThumbHeight = 0; }},
      {"type 6", [](TBoardData& b) { b.Column[2].ActiveType = 6; }},
      {"key -1", [](TBoardData& b) { b.Column[2].ActiveKey = -1; }},
      {"relative title", [](TBoardData& b) { b.Column[2].ActiveTitle = "relative/x"; }},
      {"title with a line break", [](TBoardData& b) { b.Column[2].ActiveTitle = "/a\nb"; }},
      {"empty title", [](TBoardData& b) { b.Column[2].ActiveTitle.clear(); }},
      {"relative tree path", [](TBoardData& b) { b.TreeNavigatorPath = "tree"; }},
  };
  for (const TCase& c : cases) {
    TBoardSet written;
    written.Boards[3].Column[2].ActiveTitle = "/kept";
    written.Boards[3].Column[2].DefaultTitle = "/kept";
    c.Spoil(written.Boards[3]);
    TFileStorage storage;
    written.Write(storage);
    TBoardSet defaults;
    defaults.Boards[3].Column[2].ActiveTitle = "/kept";
    defaults.Boards[3].Column[2].DefaultTitle = "/kept";
    Set = defaults;
    ASSERT_TRUE(Load(storage, TBoardSet::FileVersion)) << c.What;
    // The writer gave every column the options' default.
    for (TBoardColumn& column : defaults.Boards[3].Column)
      column.ShowHidden = ProgramOptions.ShowHiddenFiles;
    EXPECT_EQ(Set.Boards[3], defaults.Boards[3]) << c.What;
  }
}

TEST_F(BoardTest, ABoolByteOtherThanZeroOrOneKeepsTheDefault) {
  TFileStorage storage;
  TBoardSet written;
  written.Boards[29].ShowMPL = true;
  written.Write(storage);
  storage.Data()[4 + 0] = 2; // board 29's empty name, then ShowMPL
  ASSERT_TRUE(Load(storage, TBoardSet::FileVersion));
  EXPECT_FALSE(Set.Boards[29].ShowMPL);
}

TEST_F(BoardTest, APayloadThatCannotBeReadWholeChangesNoBoard) {
  struct TCase {
    const char* What;
    std::function<void(TFileStorage&)> Write;
    const char* Description;
  };
  const TCase cases[] = {
      {"name of 1021 bytes in board 10",
       [](TFileStorage& storage) {
         for (int b = TBoardSet::BoardCount - 1; b >= 0; --b) {
           TBoardData board = Distinct(b);
           if (b == 10) board.Name = std::string(1021, 'n');
           WriteBoard(storage, board, 1);
         }
       },
       "Text too long."},
      {"cut inside the last number",
       [](TFileStorage& storage) {
         TFileStorage whole;
         for (int b = TBoardSet::BoardCount - 1; b >= 0; --b)
           WriteBoard(whole, Distinct(b), 1);
         // Without board 0's last sort mode (8 bytes) and half its last key.
         storage.AddObject(whole.Data(), whole.Size() - 12);
       },
       "Data too long."},
  };
  for (const TCase& c : cases) {
    TFileStorage storage;
    c.Write(storage);
    const TBoardSet before = Set;
    EXPECT_FALSE(Load(storage, 1)) << c.What;
    EXPECT_EQ(FunStatContext.Description, c.Description) << c.What;
    EXPECT_EQ(Set.Boards, before.Boards) << c.What;
    EXPECT_EQ(History.Count(), 0) << c.What;
    // The columns still show the (default) active board.
    EXPECT_EQ(Columns.Board.VisibleColumns(), 2) << c.What;
  }
}

TEST_F(BoardTest, TheWriterNeverWritesWhatItsReaderRefuses) {
  TBoardSet written;
  // Names count characters: 200 two-byte ones stay whole, 300 four-byte
  // ones are cut to 255 without parting one.
  const auto repeat = [](std::string_view character, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
      text += character;
    return text;
  };
  written.Boards[5].Name = repeat("\xC3\xA9", 200);
  written.Boards[6].Name = repeat("\xF0\x9F\x98\x80", 300);
  std::string deep = "/deep";
  while (deep.size() <= 5000)
    deep += "/directory";
  written.Boards[5].Column[0].ActiveTitle = deep + "/file";
  written.Boards[5].TreeNavigatorPath = deep + "/";
  written.Boards[5].Column[1].SortMode = std::string(40, 's');
  TFileStorage storage;
  written.Write(storage);
  ASSERT_TRUE(Load(storage, TBoardSet::FileVersion));
  EXPECT_EQ(Set.Boards[5].Name, repeat("\xC3\xA9", 200));
  EXPECT_EQ(Set.Boards[6].Name, repeat("\xF0\x9F\x98\x80", 255));
  const std::string& title = Set.Boards[5].Column[0].ActiveTitle;
  EXPECT_LE(title.size(), 4096u);
  EXPECT_TRUE(deep.starts_with(title + "/")) << title;
  EXPECT_LE(Set.Boards[5].TreeNavigatorPath.size(), 4096u);
  EXPECT_EQ(Set.Boards[5].Column[1].SortMode, "Name");
}

TEST_F(BoardTest, AnEmptyFileShowsTheDefaultBoards) {
  Set.IniPaths();
  const TBoardSet defaults = Set;
  TFileStorage storage;
  ASSERT_TRUE(Load(storage, 1));
  EXPECT_EQ(Set.Boards, defaults.Boards);
  EXPECT_EQ(Columns.Board.Column(1).FixedAttr, true);
  EXPECT_EQ(Columns.Board.VisibleColumns(), 2);
}

TEST_F(BoardTest, DefaultTitlesFollowTheLoadedTitles) {
  TBoardSet written;
  written.Boards[0].Column[0].ActiveTitle = "/x/./y/../z";
  written.Boards[0].Column[0].DefaultTitle = "/elsewhere";
  TFileStorage storage;
  written.Write(storage);
  ASSERT_TRUE(Load(storage, TBoardSet::FileVersion));
  EXPECT_EQ(Set.Boards[0].Column[0].ActiveTitle, "/x/z");
  EXPECT_EQ(Set.Boards[0].Column[0].DefaultTitle, "/x/z");
  EXPECT_EQ(Columns.Board.Column(0).DefaultTitle, "/x/z");
}

TEST_F(BoardTest, StoringAndLoadingMoveTheActiveBoardBetweenColumnsAndBoard) {
  TBoardColumns& board = Columns.Board;
  board.SetVisibleColumns(3);
  board.SetActiveColumn(2);
  TColumn& column = board.Column(2);
  column.FixedAttr = true;
  column.WidthAttr = 4;
  column.SubcolumnsAttr = 2;
  column.ThumbHeight = 9;
  column.ThumbAttr = true;
  column.ContainerIndex = 3;
  column.ActiveTitle = "/a/b";
  column.ActiveType = 2;
  column.TopOffset = 7;
  column.ActiveKey = 99;
  column.SortMode = "Size";
  column.DefaultTitle = "/a/";
  column.ShowHidden = true;
  Set.SetActiveBoard(6);
  Set.StoreActiveBoard(board);
  const TBoardColumn& stored = Set.Boards[6].Column[2];
  EXPECT_EQ(stored, (TBoardColumn{3, true, 4, 2, 9, true, "/a/b", 2, 7, 99, "Size", "/a/", true}));
  EXPECT_EQ(Set.Boards[6].VisibleColumns, 3);
  EXPECT_EQ(Set.Boards[6].ActiveColumn, 2);

  // Another board into the columns: the previous title is the one replaced.
  Set.SetActiveBoard(1);
  Set.Boards[1].ActiveColumn = 9; // beyond the two visible columns
  Set.Boards[1].Column[2].ActiveTitle = "/other";
  Set.Boards[1].Column[1].ShowHidden = true;
  const TShowHiddenDefault showHidden(false);
  std::vector<int> headers;
  board.Host.AttributesChanged = [&](int index) { headers.push_back(index); };
  Set.LoadActiveBoard(board, true);
  EXPECT_EQ(board.VisibleColumns(), 2);
  EXPECT_EQ(board.ActiveColumn(), 1);
  EXPECT_EQ(column.PreviousTitle, "/a/b");
  EXPECT_EQ(column.ActiveTitle, "/other");
  EXPECT_FALSE(column.FixedAttr);
  EXPECT_EQ(column.SubcolumnsAttr, 1);
  EXPECT_EQ(column.List.Subcolumns(), 1);
  // A column the board has no state of is as the options say.
  EXPECT_FALSE(column.ShowHidden);
  EXPECT_TRUE(board.Column(1).ShowHidden);
  EXPECT_EQ(headers, (std::vector<int>{0, 1}));

  EXPECT_FALSE(Set.SetActiveBoard(30));
  EXPECT_FALSE(Set.SetActiveBoard(-1));
  EXPECT_EQ(Set.ActiveBoard(), 1);
}

TEST_F(BoardTest, NamedDefaultBoardsTakeTheFoldersThatExist) {
  // Pictures exists, Documents does not; favourites have no counterpart here.
  const std::string pictures = GetSystemDirectoryPath(sfPictures);
  const std::string documents = GetSystemDirectoryPath(sfDocuments);
  fs::create_directories(pictures);
  fs::remove_all(documents);
  Set.IniPaths();
  fs::remove_all(pictures);

  const char* names[] = {"Main",   "Temp",      "CD",        "Search",    "Containers",
                         "Backup", "Documents", "Pictures",  "Videos",    "Music",
                         "Books",  "Kits",      "Downloads", "Favorites", "Program Files",
                         "OS",     "This"};
  for (size_t b = 0; b < TBoardSet::BoardCount; ++b)
    EXPECT_EQ(Set.Boards[b].Name, b < std::size(names) ? names[b] : "") << b;
  const TBoardData& main = Set.Boards[0];
  EXPECT_EQ(main.VisibleColumns, 2);
  EXPECT_TRUE(main.Column[1].FixedAttr);
  EXPECT_EQ(main.Column[1].ActiveTitle, ":/"); // documents missing
  EXPECT_EQ(Set.Boards[1].Column[0].ActiveTitle, GetTempPathA());
  EXPECT_EQ(Set.Boards[2].VisibleColumns, 3);
  EXPECT_EQ(Set.Boards[2].Column[2].ActiveTitle, GetTempPathA());
  EXPECT_TRUE(Set.Boards[2].Column[2].FixedAttr);
  const TBoardData& search = Set.Boards[3];
  EXPECT_TRUE(search.Column[1].FixedAttr && search.Column[2].FixedAttr);
  EXPECT_EQ(search.Column[2].ContainerIndex, 0);
  EXPECT_EQ(Set.Boards[4].Column[1].ContainerIndex, 0);
  EXPECT_EQ(Set.Boards[4].Column[2].ContainerIndex, 1);
  EXPECT_EQ(Set.Boards[7].Column[0].ActiveTitle, pictures);
  EXPECT_EQ(Set.Boards[7].Column[0].DefaultTitle, pictures);
  EXPECT_TRUE(Set.Boards[7].Column[1].ThumbAttr);
  EXPECT_TRUE(Set.Boards[8].ShowMPL && Set.Boards[9].ShowMPL);
  EXPECT_FALSE(Set.Boards[0].ShowMPL);
  EXPECT_EQ(Set.Boards[13].Column[0].ActiveTitle, ":/");
  EXPECT_EQ(Set.Boards[15].Column[0].ActiveTitle, "/etc/");
  EXPECT_TRUE(Set.Boards[15].Column[1].FixedAttr);
  EXPECT_EQ(Set.Boards[16].Column[1].ActiveTitle,
            IsDirectoryTitle(Program.OptionsPath()) ? Program.OptionsPath() : ":/");
  for (size_t b = 17; b < TBoardSet::BoardCount; ++b) {
    TBoardData plain;
    plain.BoardIndex = static_cast<int>(b);
    EXPECT_EQ(Set.Boards[b], plain) << b;
  }
}

} // namespace
} // namespace cv
