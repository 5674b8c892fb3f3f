#pragma once
// Boards: saved sets of up to ten columns. The board set owns the thirty
// boards and which one is active; only the active board lives in the
// columns, the others only here until they are shown. The boards are the
// payload of the binary options file, board 29 first.

#include "filesystem/File.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace cv {

class TBoardColumns;
class TFileStorage;
class THistory;
class TStreamStorage;

// One column as a board keeps it.
struct TBoardColumn {
  int ContainerIndex = -1;
  bool FixedAttr = false;
  int WidthAttr = 1;
  int SubcolumnsAttr = 1;
  int ThumbHeight = 3;
  bool ThumbAttr = false;
  std::string ActiveTitle{RootPartitionTitle};
  int ActiveType = 0;
  int TopOffset = 0;
  int64_t ActiveKey = 0;
  std::string SortMode = "Name";
  std::string DefaultTitle{RootPartitionTitle};
  // Unset until the column had a state of its own (boards never shown since
  // a file of version 1, the default boards): the options say.
  std::optional<bool> ShowHidden;

  bool operator==(const TBoardColumn&) const = default;
};

struct TBoardData {
  static constexpr int Columns = 10;
  // Longest texts the file holds.
  // A name is 255 characters, of up to four bytes each.
  static constexpr int MaxName = 255;
  static constexpr int MaxNameBytes = 4 * MaxName;
  static constexpr int MaxTitle = 4096;
  static constexpr int MaxSortMode = 31;

  int BoardIndex = 0;
  std::string Name;
  bool ShowMPL = false;
  bool ShowTreeNavigator = false;
  std::string TreeNavigatorPath{RootPartitionTitle};
  int VisibleColumns = 2;
  int ActiveColumn = 0;
  std::array<TBoardColumn, Columns> Column;

  bool operator==(const TBoardData&) const = default;
};

class TBoardSet {
public:
  static constexpr int BoardCount = 30;
  // The version the writer writes: 2 added each column's hidden files.
  static constexpr int32_t FileVersion = 2;

  TBoardSet();

  std::array<TBoardData, BoardCount> Boards;
  int ActiveBoard() const { return ActiveIndex; }
  // The columns are not touched; an index out of range is refused.
  bool SetActiveBoard(int index);
  TBoardData& Active() { return Boards[static_cast<size_t>(ActiveIndex)]; }

  // The named default boards, their folders from the special locations; a
  // folder that is not there leaves the column's default title.
  void IniPaths();

  // Columns -> active board: visible count, active index, ten columns.
  void StoreActiveBoard(const TBoardColumns& columns);
  // Active board -> columns, without their content (the caller reloads the
  // visible columns). `updateHeaders` tells the window each visible column's
  // fixed state changed.
  void LoadActiveBoard(TBoardColumns& columns, bool updateHeaders) const;

  // The board operations of the bar. Each leaves the columns on screen as
  // they are and makes `b` active; false, and nothing changed, when `b` is
  // the active board or not a board.
  // The active board is copied into `b`, which keeps its name; the
  // previous board keeps what it stored.
  bool CopyIntoBoard(int b, const TBoardColumns& columns);
  // The active board and `b` trade places.
  bool SwitchWithBoard(int b, const TBoardColumns& columns);
  // The active board takes the place of `b`; the boards between shift one
  // place towards where it was.
  bool MoveToBoard(int b, const TBoardColumns& columns);

  // The file's payload: the boards from 29 down to 0.
  void Write(TStreamStorage& storage) const;

private:
  bool OtherBoard(int b) const { return b >= 0 && b < BoardCount && b != ActiveIndex; }

  int ActiveIndex = 0;
};

// The board the search commands go to: the first named "Search" or "Find"
// (either case), -1 when there is none.
int FindSearchBoard(const TBoardSet& boards);
// The column a search starts in on that board: its home column, or the last
// visible one when the board shows fewer columns.
int SearchHomeColumn(int homeColumn, int visibleColumns);

// The load handler of the options file: reads all boards of a payload in
// `version`, adds their titles to the history, makes every default title
// the active title and loads the active board into the columns. A payload
// that cannot be read whole changes no board.
void LoadBoards(TFileStorage& storage, int32_t version, TBoardSet& boards, TBoardColumns& columns,
                THistory* history);
// The save handler: stores the active board from the columns, then writes.
void SaveBoards(TFileStorage& storage, TBoardSet& boards, const TBoardColumns& columns);

} // namespace cv
