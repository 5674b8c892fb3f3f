#pragma once
// The columns of the board as one model: the ten board columns (the first
// `VisibleColumns` of them shown), column 10 for external drops and column
// 11, the inter-board source. It owns the visible count and the active
// index, groups the visible columns (a fixed column starts a group, mobile
// ones extend it), computes their widths and runs the column commands:
// attributes, inserting, cutting and rotating columns, entering and leaving
// directories inside a group. The window draws and calls back through
// `TBoardHost`.

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace cv {

class TColumn;
class TGuard;

// What the board asks of the window that shows it.
struct TBoardHost {
  // Places the visible columns (widths from LayoutColumnWidths).
  std::function<void()> Layout;
  // Hides the board area while columns move, shows it again after.
  std::function<void(bool shown)> ShowArea;
  // Gives the keyboard focus to a column.
  std::function<void(int column)> Focus;
  // A column's header state, item height or subcolumns changed.
  std::function<void(int column)> AttributesChanged;
};

// The modifier keys of a command; tested by membership.
struct TGroupKeys {
  bool Ctrl = false;
  bool Alt = false;
  bool Shift = false;
};

// One visible column as the layout sees it.
struct TColumnShare {
  int WidthAttr = 1;
  int SubcolumnsAttr = 1;
  int Border = 0; // the list's border width
};

struct TColumnPlace {
  int Left = 0;
  int Width = 0;
};

// Left edges and widths of the visible columns across `clientWidth`. The
// last column takes what is left. Empty, with "Invalid number of columns."
// reported, for fewer than 1 or more than 10 columns.
std::vector<TColumnPlace> LayoutColumnWidths(const std::vector<TColumnShare>& columns,
                                             int clientWidth);

class TBoardColumns {
public:
  static constexpr int BoardColumns = 10;
  static constexpr int DropColumn = 10;
  static constexpr int SourceColumn = 11;
  static constexpr int ColumnCount = 12;

  explicit TBoardColumns(const std::array<TColumn*, ColumnCount>& columns);

  TColumn& Column(int index) const { return *Columns.at(static_cast<size_t>(index)); }
  int VisibleColumns() const { return Visible; }
  int ActiveColumn() const { return Active; }
  // Out-of-range counts are refused; the active index stays below the count.
  bool SetVisibleColumns(int count);
  // Only a visible column can become active.
  void SetActiveColumn(int index);
  // The visible column `step` places from the active one, wrapping at both
  // ends (previous column: -1, next column: 1).
  int NeighbourColumn(int step) const;
  TBoardHost Host;

  // ---- Groups ----------------------------------------------------------------
  int GroupStart(int index) const;
  int GroupEnd(int index) const;
  // The visible columns' widths and borders for LayoutColumnWidths.
  std::vector<TColumnShare> Shares(int border) const;

  // ---- Attribute commands on the active column ------------------------------------
  void ToggleFixed();
  void SetWidthAttr(int width);
  void SetSubcolumnsAttr(int subcolumns);
  // 1 to 25 or 30; `allColumns` (Ctrl) sets the height of all ten.
  void SetThumbHeight(int height, bool allColumns);
  void ToggleThumbnails();
  // Lays out, reloads every visible column and focuses the active one.
  void ChangeVisibleColumns(int count);

  // ---- Moving columns ------------------------------------------------------------
  // At `index` (below 9); `here` keeps the fixed place at `index` and makes
  // the former column there mobile.
  bool InsertColumn(int index, bool here);
  bool InsertColumnHere() { return InsertColumn(Active, true); }
  // After the active group, when that place is a visible column.
  bool InsertColumnAtEnd();
  bool CutColumn(int index);
  bool CutColumnHere() { return CutColumn(Active); }
  bool CutLastColumn() { return CutColumn(GroupEnd(Active)); }
  bool RotateRight();
  bool RotateLeft();

  // ---- Directories inside a group ---------------------------------------------------
  // Column `index` received the command to enter `directory`.
  void EnterDirectory(int index, const std::string& directory, TGroupKeys keys);
  // Column `index` received the command to go to its parent directory.
  void ParentDirectory(int index, TGroupKeys keys);

  // ---- The inter-board source column -------------------------------------------------
  void MarkSourceColumn();
  void SetWithSourceColumn();

private:
  bool Shown(int index) const { return index >= 0 && index < Visible; }
  // All visible columns have one width and one subcolumn count.
  bool Uniform() const;
  void Layout() const;
  void Focus() const;
  void AttributesChanged(int index) const;
  // `to` takes the content of `from` with the active file (automove).
  void MoveContent(int to, int from);
  // Runs a command that moves columns: the board area is hidden meanwhile
  // and shown again in every case, the layout is redone unless all widths
  // stayed equal, and any failure inside is reported as `failure`.
  bool MoveColumns(const char* name, const char* failure, const std::function<void(TGuard&)>& body);
  void LayoutAfterMove() const;
  void ReloadColumn(int index);

  std::array<TColumn*, ColumnCount> Columns;
  int Visible = 2;
  int Active = 0;
  bool WasUniform = false; // before the running move
};

} // namespace cv
