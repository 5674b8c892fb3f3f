#pragma once
// What the mouse does on column items, column headers and drags between
// columns: the zones of an item, the choice of the configured operation from
// a press and its release, what each operation name runs, the hints that
// describe the configured operations, and the model of the mouse menu (a
// grid of 2 x 6 click operations shown after a short right-button drag).
// Nothing here shows a window; the main window runs the answers.

#include "columns/FileListData.h"
#include "options/ProgramOptions.h"

#include <QPoint>
#include <QRect>
#include <Qt>

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

// ---- Zones -----------------------------------------------------------------------

// Width of an item's type zone: the type field's width, or the simulated one
// when the field is off and `SimulateFileType` is on, else 0.
int MouseTypeWidth(int rowHeight, const TProgramOptions& options = ProgramOptions);
// Whether a point relative to the item's top-left corner lies in its type zone
// (left of the type width, within the first row).
bool InTypeZone(QPoint pointInItem, int rowHeight, const TProgramOptions& options = ProgramOptions);

enum class TMouseZone { Empty, Type, Name };

// ---- Choosing the operation ------------------------------------------------------

struct TMousePress {
  Qt::MouseButton Button = Qt::NoButton;
  int Column = -1;
  int Index = -1;                      // the pressed item, -1 on empty space
  TMouseZone Zone = TMouseZone::Empty; // the press point's zone
  bool DoubleClick = false;            // the second press of a double click
};

struct TMouseRelease {
  int Column = -1;
  int Index = -1; // the item under the release, -1 on empty space
  TMouseZone Zone = TMouseZone::Empty;
};

enum class TOperationTable { None, Click, Drag, Header };

struct TMouseChoice {
  std::string_view Setting; // the option's key ("LMBTypeOperation"), empty for none
  std::string Operation;    // its value, empty when nothing runs
  TOperationTable Table = TOperationTable::None;
  // The item to focus in the release column before the operation runs; -1
  // leaves the focus where it is (a release on empty space).
  int FocusIndex = -1;
};

// Whether the press should focus the item under it: never on empty space.
inline bool PressFocusesItem(const TMousePress& press) {
  return press.Index >= 0;
}

// A press and the release that ends it. The second press of a double click
// on the type zone runs nothing: the first click of the pair already ran the
// type operation, so a double click runs it once.
TMouseChoice ChooseMouseOperation(const TMousePress& press, const TMouseRelease& release,
                                  const TProgramOptions& options = ProgramOptions);

// The operation of a click on a column header.
TMouseChoice ChooseHeaderOperation(Qt::MouseButton button,
                                   const TProgramOptions& options = ProgramOptions);

// ---- What the names run ----------------------------------------------------------

enum class TMouseAction {
  Nothing,
  Command,      // the main menus' command at `Target` ("File/Often/Delete file *")
  FileDragItem, // the "File-drag" menu's item captioned `Target` ("Copy *")
  Run,          // the active file, entering directories with the modifiers
  RunMaximized,
  FileMenu,   // the main window's file menu at the mouse
  SystemMenu, // the platform's context menu for the source item at the mouse
  ToggleThis, // toggles without moving the focus, while "File/Select" is enabled
  ToggleUp,
  ToggleDown,
  FileDragMenu,     // the "File-drag" menu at the release point
  SystemDragMenu,   // the platform's context menu for the source, drag mode
  ParentDirectory,  // the column's parent, with the modifiers
  ParentSystemMenu, // the context menu of the column's directory below the header
};

struct TMouseCommand {
  TMouseAction Action = TMouseAction::Nothing;
  std::string_view Target;
};

// Click names (item clicks and mouse menu cells). Ctrl turns "Properties"
// into "Reference properties"; "Toggle selection" groups upward with Ctrl
// alone and downward with Shift alone. Before any, except the two menus, the
// caller refreshes the enabled states of the commands.
TMouseCommand ClickOperationCommand(std::string_view name, Qt::KeyboardModifiers modifiers);
// Drag names; the caller refreshes the "File-drag" menu's states first.
TMouseCommand DragOperationCommand(std::string_view name);
TMouseCommand HeaderOperationCommand(std::string_view name);
// The table a choice names.
TMouseCommand MouseChoiceCommand(const TMouseChoice& choice, Qt::KeyboardModifiers modifiers);

// ---- Hints -----------------------------------------------------------------------

// An operation's name with the modifiers it honours; "Run" names them only
// for a directory or a link (`enters`).
std::string MouseOperationText(std::string_view name, bool enters = false);
std::string TypeZoneHint(int itemType, const TProgramOptions& options = ProgramOptions);
std::string NameZoneHint(int itemType, bool thumbnails,
                         const TProgramOptions& options = ProgramOptions);
std::string DropHint();
// The list's hint over an item (with the zone under the mouse), and over
// empty space or an empty list.
std::string ItemMouseHint(const TFileListData& item, bool inTypeZone, bool thumbnails,
                          const TProgramOptions& options = ProgramOptions);
std::string EmptySpaceMouseHint(const std::string& directory,
                                const TProgramOptions& options = ProgramOptions);
std::string HeaderMouseHint(const std::string& directory,
                            const TProgramOptions& options = ProgramOptions);

// ---- Desktop selection -----------------------------------------------------------

class TColumn;

// Selecting as on the desktop, while the option "DesktopSelection" is on:
// Ctrl+click toggles an item, Shift+click selects from the anchor to the
// item (Ctrl+Shift+click adds that range), Shift with the list's moving keys
// extends from the anchor, Ctrl+A selects all, and a left drag that starts
// on empty space selects the items its band covers (with Ctrl, in addition
// to the selection it started from). A plain click ends the selection and
// goes on to the configured operations. Points are the list's inner
// coordinates (its control point less the border), as `ItemAtPoint` takes.
class TDesktopSelection {
public:
  explicit TDesktopSelection(TColumn& column, const TProgramOptions& options = ProgramOptions)
      : Column(column), Options(options) {}

  // A press of `button` on item `index` (-1 on empty space). True when the
  // press is the selection's: the configured operations do not see it, nor
  // the moves and the release that follow.
  bool Press(Qt::MouseButton button, int index, QPoint inner, Qt::KeyboardModifiers modifiers);
  // The mouse moved with the press held; true while a band is drawn.
  bool Move(QPoint inner);
  // The press ended; true when it was the selection's.
  bool Release(QPoint inner);
  // A key before the list's own keys; true when the selection used it.
  bool Key(int key, Qt::KeyboardModifiers modifiers);

  bool Enabled() const { return Options.DesktopSelection; }
  // The column's content changed: the anchor and any band are gone.
  void Forget();
  // The band in inner coordinates, normalized; empty when none is drawn.
  QRect Band() const;
  int Anchor() const { return FAnchor; }

  // A band shows after the mouse moved this far from the press.
  static constexpr int BandThreshold = 4;

private:
  // Selects exactly `first`..`last` (either order), adding to what was
  // selected when `add`; one repaint.
  void SelectRange(int first, int last, bool add);
  void ApplyBand();

  TColumn& Column;
  const TProgramOptions& Options;
  int FAnchor = -1;
  bool FOwnsPress = false;
  bool FBanding = false;
  bool FBandShown = false;
  bool FBandAdds = false;
  QPoint FBandStart, FBandEnd;
  // The selection the band started from (Ctrl keeps it), one flag per item.
  std::vector<bool> FBefore;
};

// ---- The mouse menu --------------------------------------------------------------

inline constexpr int MouseMenuColumns = 2;
inline constexpr int MouseMenuRows = 6;
inline constexpr int MouseMenuCells = MouseMenuColumns * MouseMenuRows;

// One press's mouse menu: prepared on a right press on an item, shown once
// the drag has gone far enough, closed at the release. Coordinates are the
// parent window's.
class TMouseMenuModel {
public:
  // Prepares the menu when the press is a right press on an item and the menu
  // is active; false otherwise (and the model stays unprepared).
  bool Prepare(const TMousePress& press, QPoint point, int fontHeight,
               const TProgramOptions& options = ProgramOptions);
  // Whether the drag at `point` should show the menu now: once per press,
  // when the point is `MouseMenuSensitivity` pixels or more away from the
  // press along either axis.
  bool ShowAt(QPoint point);
  void Close();

  bool Prepared() const { return FPrepared; }
  bool Shown() const { return FShown; }
  int CellWidth() const { return FCellWidth; }
  int RowHeight() const { return FRowHeight; }
  QRect Geometry() const; // (2w + 1) x (6h + 1), centred on the press point
  // The cell under a point, -1 outside. The right and bottom edges belong to
  // the last column and row.
  int CellAt(QPoint point) const;
  // In the menu's own coordinates: the cell's inner rectangle, where its text
  // starts and the rectangle the text is clipped to.
  QRect CellInner(int cell) const;
  QPoint TextOrigin(int cell) const;
  QRect TextClip(int cell) const;
  const std::string& Operation(int cell) const { return FOperations.at(static_cast<size_t>(cell)); }
  // 0..255 from the transparency percent.
  int Alpha() const { return MouseMenuAlpha(FTransparency); }
  static int MouseMenuAlpha(int transparency);

private:
  bool FPrepared = false;
  bool FShown = false;
  int FSensitivity = 0;
  int FTransparency = 0;
  int FCellWidth = 0;
  int FRowHeight = 0;
  int FExtraHeight = 0;
  QPoint FPress;
  std::array<std::string, MouseMenuCells> FOperations;
};

} // namespace cv
