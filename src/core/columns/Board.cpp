#include "columns/Board.h"

#include "columns/BoardColumns.h"
#include "columns/Column.h"
#include "columns/FileListData.h"
#include "columns/History.h"
#include "filesystem/File.h"
#include "filesystem/SpecialLocations.h"
#include "foundation/Text.h"
#include "foundation/Guard.h"
#include "foundation/MemoryStorage.h"
#include "foundation/Program.h"
#include "options/ProgramOptions.h"

#include <algorithm>
#include <vector>

namespace cv {

namespace {

// ---- Named default boards -----------------------------------------------------------

// Default folders that are not shell folders; 0 is no folder.
enum TOwnFolder : int {
  ofTemporary = -1,
  ofOperatingSystem = -2,
  ofSystem = -3,
  ofProgram = -4,
  ofOptions = -5,
};

std::string FolderPath(int folder) {
  switch (folder) {
  case ofTemporary: return GetTempPathA();
  case ofOperatingSystem: return GetOperatorPath();
  case ofSystem: return GetSystemPath();
  case ofProgram: return Program.ProgramPath();
  case ofOptions: return Program.OptionsPath();
  default: return GetSystemDirectoryPath(folder);
  }
}

struct TDefaultColumn {
  int Index;
  bool Fixed = false;
  int Folder = 0;
  int Container = -1;
  bool Thumbnails = false;
};

struct TDefaultBoard {
  const char* Name;
  int Visible = 2;
  bool MediaList = false;
  std::vector<TDefaultColumn> Columns;
};

const std::vector<TDefaultBoard>& DefaultBoards() {
  static const std::vector<TDefaultBoard> boards = {
      {"Main", 2, false, {{1, true, sfDocuments}}},
      {"Temp", 2, false, {{0, false, ofTemporary}, {1, true}}},
      {"CD", 3, false, {{2, true, ofTemporary}}},
      {"Search", 3, false, {{0, false, sfDocuments}, {1, true}, {2, true, 0, 0}}},
      {"Containers", 3, false, {{0, false, sfDocuments}, {1, true, 0, 0}, {2, true, 0, 1}}},
      {"Backup", 2, false, {{0, false, sfDocuments}, {1, true}}},
      {"Documents", 2, false, {{0, false, sfDocuments}, {1, true, sfSharedDocuments}}},
      {"Pictures", 2, false, {{0, false, sfPictures}, {1, false, 0, -1, true}}},
      {"Videos", 2, true, {{0, false, sfVideos}}},
      {"Music", 2, true, {{0, false, sfMusic}}},
      {"Books", 2, false, {{0, false, sfDocuments}}},
      {"Kits", 2, false, {{1, true, sfProgramFiles}}},
      {"Downloads", 2, false, {{0, false, sfDocuments}, {1, true}}},
      {"Favorites", 2, false, {{0, false, sfFavorites}, {1, true, sfSharedFavorites}}},
      {"Program Files", 3, false, {{0, false, sfProgramFiles}, {2, true, sfProgramLinks}}},
      {"OS", 2, false, {{0, false, ofOperatingSystem}, {1, true, ofSystem}}},
      {"This", 2, false, {{0, false, ofProgram}, {1, false, ofOptions}}},
  };
  return boards;
}

// ---- The file ------------------------------------------------------------------------------

// A stored title the columns can use: absolute or a partition title, no
// line breaks. Anything else keeps the default.
bool UsableTitle(const std::string& title) {
  return (title.starts_with('/') || IsPartitionTitle(title)) && !HasInvalidTitleCharacters(title);
}

// The reader refuses texts above their limit and fails the whole file: a
// title too long to keep gives way to the nearest directory above it that
// fits, a name is cut at a character boundary, an odd sort mode is dropped.
std::string FitTitle(std::string title) {
  while (title.size() > static_cast<size_t>(TBoardData::MaxTitle)) {
    title = ExcludeDelimiter(GetTitlePath(title));
    if (title.empty()) return std::string(RootPartitionTitle);
  }
  return title;
}

std::string FitName(const std::string& name) {
  return std::string(FirstCharacters(name, TBoardData::MaxName));
}

std::string FitSortMode(const std::string& mode) {
  return mode.size() > static_cast<size_t>(TBoardData::MaxSortMode) ? "Name" : mode;
}

// Each read stops the board's reading at its first failure.
class TBoardReader {
public:
  TBoardReader(TStreamStorage& storage, TGuard& guard) : Storage(storage), Guard(guard) {}

  void Text(std::string& value, int maxLength) {
    Storage.ReadText(value, maxLength);
    Guard.TakeOver();
  }
  void Title(std::string& value) {
    std::string title = value;
    Text(title, TBoardData::MaxTitle);
    if (UsableTitle(title)) value = GetFullTitle(title);
  }
  void Int(int& value, int low, int high) {
    int32_t read = value;
    Storage.ReadInt(read, low, high);
    Guard.TakeOver();
    value = read;
  }
  void Int64(int64_t& value, int64_t low, int64_t high) {
    Storage.ReadInt64(value, low, high);
    Guard.TakeOver();
  }
  void Bool(bool& value) {
    char read = value ? 1 : 0;
    Storage.ReadChar(read);
    Guard.TakeOver();
    if (read == 0 || read == 1) value = read == 1;
  }
  // A byte other than 0 or 1 leaves the value unset.
  void OptionalBool(std::optional<bool>& value) {
    char read = 2;
    Storage.ReadChar(read);
    Guard.TakeOver();
    if (read == 0 || read == 1) value = read == 1;
  }

private:
  TStreamStorage& Storage;
  TGuard& Guard;
};

void ReadBoard(TBoardReader& read, int32_t version, TBoardData& board) {
  read.Text(board.Name, TBoardData::MaxNameBytes);
  if (version >= 1) {
    read.Bool(board.ShowMPL);
    read.Bool(board.ShowTreeNavigator);
    read.Title(board.TreeNavigatorPath);
  }
  read.Int(board.VisibleColumns, 1, TBoardData::Columns);
  read.Int(board.ActiveColumn, 0, TBoardData::Columns - 1);
  for (TBoardColumn& column : board.Column) {
    read.Title(column.ActiveTitle);
    read.Int(column.ContainerIndex, -1, 19);
    read.Bool(column.FixedAttr);
    read.Int(column.WidthAttr, 1, 10);
    read.Int(column.SubcolumnsAttr, 1, 10);
    read.Int(column.ThumbHeight, 1, 30);
    read.Bool(column.ThumbAttr);
    read.Int(column.ActiveType, fltDirectory, fltGeneric);
    read.Int(column.TopOffset, INT32_MIN, INT32_MAX);
    read.Int64(column.ActiveKey, 0, INT64_MAX);
    read.Text(column.SortMode, TBoardData::MaxSortMode);
    if (version >= 2) read.OptionalBool(column.ShowHidden);
  }
}

// Boards 29 down to 0, into `boards`; stops at the first failure.
void ReadBoards(TStreamStorage& storage, int32_t version,
                std::array<TBoardData, TBoardSet::BoardCount>& boards) {
  TGuard guard("TBoardsBar::ReadBoards");
  guard.Run([&] {
    TBoardReader read(storage, guard);
    for (auto board = boards.rbegin(); board != boards.rend(); ++board)
      ReadBoard(read, version, *board);
  });
}

// The fields a board keeps of a column, either way.
template <typename TFrom, typename TTo> void CopyColumnFields(const TFrom& from, TTo& to) {
  to.ContainerIndex = from.ContainerIndex;
  to.FixedAttr = from.FixedAttr;
  to.WidthAttr = from.WidthAttr;
  to.SubcolumnsAttr = from.SubcolumnsAttr;
  to.ThumbHeight = from.ThumbHeight;
  to.ThumbAttr = from.ThumbAttr;
  to.ActiveTitle = from.ActiveTitle;
  // A column in the trash is kept as the place it was opened from: the
  // trash's own files are no place to reopen.
  if constexpr (requires { from.ShowsTrash; })
    if (from.ShowsTrash) to.ActiveTitle = from.PreviousTitle;
  if constexpr (requires { to.ShowsTrash; }) to.ShowsTrash = false;
  to.ActiveType = from.ActiveType;
  to.TopOffset = from.TopOffset;
  to.ActiveKey = from.ActiveKey;
  to.SortMode = from.SortMode;
  to.DefaultTitle = from.DefaultTitle;
}

// The board's own fields, apart from the columns.
struct TBoardLook {
  std::string Name;
  bool ShowMPL = false;
  bool ShowTreeNavigator = false;
  std::string TreeNavigatorPath;
};

TBoardLook LookOf(const TBoardData& board) {
  return {board.Name, board.ShowMPL, board.ShowTreeNavigator, board.TreeNavigatorPath};
}

void SetLook(TBoardData& board, const TBoardLook& look) {
  board.Name = look.Name;
  board.ShowMPL = look.ShowMPL;
  board.ShowTreeNavigator = look.ShowTreeNavigator;
  board.TreeNavigatorPath = look.TreeNavigatorPath;
}

// Everything a board holds moves; its place stays.
void MoveBoardContent(const TBoardData& from, TBoardData& to) {
  const int place = to.BoardIndex;
  to = from;
  to.BoardIndex = place;
}

void WriteBool(TStreamStorage& storage, bool value) {
  storage.WriteChar(value ? 1 : 0);
}

} // namespace

// ---- TBoardSet --------------------------------------------------------------------------------

TBoardSet::TBoardSet() {
  for (int i = 0; i < BoardCount; ++i)
    Boards[static_cast<size_t>(i)].BoardIndex = i;
}

bool TBoardSet::SetActiveBoard(int index) {
  if (index < 0 || index >= BoardCount) return false;
  ActiveIndex = index;
  return true;
}

void TBoardSet::IniPaths() {
  TGuard guard("TBoardsBar::IniPaths");
  guard.Run([&] {
    for (int i = 0; i < BoardCount; ++i) {
      Boards[static_cast<size_t>(i)] = TBoardData();
      Boards[static_cast<size_t>(i)].BoardIndex = i;
    }
    const std::vector<TDefaultBoard>& defaults = DefaultBoards();
    for (size_t b = 0; b < defaults.size(); ++b) {
      TBoardData& board = Boards[b];
      board.Name = defaults[b].Name;
      board.VisibleColumns = defaults[b].Visible;
      board.ShowMPL = defaults[b].MediaList;
      for (const TDefaultColumn& setting : defaults[b].Columns) {
        TBoardColumn& column = board.Column[static_cast<size_t>(setting.Index)];
        column.FixedAttr = setting.Fixed;
        column.ContainerIndex = setting.Container;
        column.ThumbAttr = setting.Thumbnails;
        if (setting.Folder == 0) continue;
        // A folder that is not there (or has no counterpart here) keeps the default.
        const std::string path = FolderPath(setting.Folder);
        if (path.empty() || !IsDirectoryTitle(path)) continue;
        column.ActiveTitle = IncludeDelimiter(path);
        column.DefaultTitle = column.ActiveTitle;
      }
    }
  });
}

void TBoardSet::StoreActiveBoard(const TBoardColumns& columns) {
  TBoardData& board = Active();
  board.VisibleColumns = columns.VisibleColumns();
  board.ActiveColumn = columns.ActiveColumn();
  for (int i = 0; i < TBoardData::Columns; ++i) {
    const TColumn& from = columns.Column(i);
    TBoardColumn& to = board.Column[static_cast<size_t>(i)];
    CopyColumnFields(from, to);
    to.ShowHidden = from.ShowHidden;
  }
}

void TBoardSet::LoadActiveBoard(TBoardColumns& columns, bool updateHeaders) const {
  const TBoardData& board = Boards[static_cast<size_t>(ActiveIndex)];
  columns.SetVisibleColumns(board.VisibleColumns);
  // A stored active column beyond the visible ones would take the focus
  // into a hidden column.
  columns.SetActiveColumn(std::min(board.ActiveColumn, columns.VisibleColumns() - 1));
  for (int i = 0; i < TBoardData::Columns; ++i) {
    const TBoardColumn& from = board.Column[static_cast<size_t>(i)];
    TColumn& to = columns.Column(i);
    to.PreviousTitle = to.ActiveTitle;
    CopyColumnFields(from, to);
    to.ShowHidden = from.ShowHidden.value_or(ProgramOptions.ShowHiddenFiles);
    to.List.SetSubcolumns(from.SubcolumnsAttr);
    if (updateHeaders && i < columns.VisibleColumns() && columns.Host.AttributesChanged)
      columns.Host.AttributesChanged(i);
  }
}

bool TBoardSet::CopyIntoBoard(int b, const TBoardColumns& columns) {
  if (!OtherBoard(b)) return false;
  TBoardData& target = Boards[static_cast<size_t>(b)];
  TBoardLook look = LookOf(Active());
  look.Name = target.Name;
  SetLook(target, look);
  StoreActiveBoard(columns);
  SetActiveBoard(b);
  // The columns belong to b now; its record follows them at once.
  StoreActiveBoard(columns);
  return true;
}

bool TBoardSet::SwitchWithBoard(int b, const TBoardColumns& columns) {
  if (!OtherBoard(b)) return false;
  StoreActiveBoard(columns);
  TBoardData& previous = Active();
  TBoardData& target = Boards[static_cast<size_t>(b)];
  const TBoardData kept = previous;
  MoveBoardContent(target, previous);
  MoveBoardContent(kept, target);
  SetActiveBoard(b);
  return true;
}

bool TBoardSet::MoveToBoard(int b, const TBoardColumns& columns) {
  if (!OtherBoard(b)) return false;
  const int a = ActiveIndex;
  const TBoardLook kept = LookOf(Active());
  if (a < b)
    for (int i = a + 1; i <= b; ++i)
      MoveBoardContent(Boards[static_cast<size_t>(i)], Boards[static_cast<size_t>(i - 1)]);
  else
    for (int i = a - 1; i >= b; --i)
      MoveBoardContent(Boards[static_cast<size_t>(i)], Boards[static_cast<size_t>(i + 1)]);
  SetActiveBoard(b);
  StoreActiveBoard(columns);
  SetLook(Active(), kept);
  return true;
}

void TBoardSet::Write(TStreamStorage& storage) const {
  TGuard guard("TBoardsBar::WriteBoards");
  guard.Run([&] {
    for (auto board = Boards.rbegin(); board != Boards.rend(); ++board) {
      storage.WriteText(FitName(board->Name));
      WriteBool(storage, board->ShowMPL);
      WriteBool(storage, board->ShowTreeNavigator);
      storage.WriteText(FitTitle(board->TreeNavigatorPath));
      storage.WriteInt(board->VisibleColumns);
      storage.WriteInt(board->ActiveColumn);
      for (const TBoardColumn& column : board->Column) {
        storage.WriteText(FitTitle(column.ActiveTitle));
        storage.WriteInt(column.ContainerIndex);
        WriteBool(storage, column.FixedAttr);
        storage.WriteInt(column.WidthAttr);
        storage.WriteInt(column.SubcolumnsAttr);
        storage.WriteInt(column.ThumbHeight);
        WriteBool(storage, column.ThumbAttr);
        storage.WriteInt(column.ActiveType);
        storage.WriteInt(column.TopOffset);
        storage.WriteInt64(column.ActiveKey);
        storage.WriteText(FitSortMode(column.SortMode));
        WriteBool(storage, column.ShowHidden.value_or(ProgramOptions.ShowHiddenFiles));
      }
      // Writing only fails when memory runs out: the first failure ends it.
      guard.TakeOver();
    }
  });
}

void LoadBoards(TFileStorage& storage, int32_t version, TBoardSet& boards, TBoardColumns& columns,
                THistory* history) {
  TGuard guard("TBoardsBar::LoadBoards");
  guard.Run([&] {
    // Read whole or not at all: a file that breaks off halfway would leave
    // boards from two different saves.
    auto read = boards.Boards;
    ReadBoards(storage, version, read);
    const TFunStatContext failure = FunStatContext;
    if (!failure.Failed()) {
      boards.Boards = read;
      if (history)
        for (auto board = boards.Boards.rbegin(); board != boards.Boards.rend(); ++board)
          for (const TBoardColumn& column : board->Column)
            history->AddHistory(column.ActiveTitle, column.ActiveType, column.ActiveKey,
                                column.TopOffset);
    }
    for (TBoardData& board : boards.Boards)
      for (TBoardColumn& column : board.Column)
        column.DefaultTitle = column.ActiveTitle;
    boards.LoadActiveBoard(columns, false);
    if (failure.Failed()) {
      FunStatContext = failure;
      guard.TakeOver();
    }
  });
}

void SaveBoards(TFileStorage& storage, TBoardSet& boards, const TBoardColumns& columns) {
  TGuard guard("TBoardsBar::SaveBoards");
  guard.Run([&] {
    boards.StoreActiveBoard(columns);
    boards.Write(storage);
    guard.TakeOver();
  });
}

int FindSearchBoard(const TBoardSet& boards) {
  for (int i = 0; i < TBoardSet::BoardCount; ++i) {
    const std::string name = FoldAsciiCase(boards.Boards[static_cast<size_t>(i)].Name);
    if (name == "search" || name == "find") return i;
  }
  return -1;
}

int SearchHomeColumn(int homeColumn, int visibleColumns) {
  return std::clamp(homeColumn, 0, std::max(0, visibleColumns - 1));
}

} // namespace cv
