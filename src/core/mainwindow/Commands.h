#pragma once
// The main window's commands as data: the menu tree with captions, shortcut
// texts, hints and help contexts, the rules that enable them from the
// active column's state, and the main window's own key table. The menus,
// the keys and the mouse operations all reach a command through its path
// ("File/Often/Recycle file *") and run it only while its rule holds.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace cv {

class TColumn;

// Facts about the active column that the rules test.
enum TCommandTerm : uint32_t {
  ctItems = 1u << 0,            // its list holds at least one item
  ctPartition = 1u << 1,        // its active title is a partition title
  ctDirectory = 1u << 2,        // the active item is a directory
  ctLink = 1u << 3,             // items and the active item is a link
  ctProgram = 1u << 4,          // the active item's type is 3
  ctContainer = 1u << 5,        // it shows a container
  ctSelection = 1u << 6,        // at least one item selected
  ctMoreThanOne = 1u << 7,      // more than one item
  ctTwoSelected = 1u << 8,      // at least two items selected
  ctPicture = 1u << 9,          // the active title has a picture extension
  ctFocusedSelected = 1u << 10, // the focused item is selected
  ctExtension = 1u << 11,       // the active title has an extension
  ctTrash = 1u << 12            // it shows the trash
};

struct TCommandRule {
  uint32_t Required = 0;
  uint32_t Forbidden = 0;
  bool Holds(uint32_t terms) const {
    return (terms & Required) == Required && (terms & Forbidden) == 0;
  }
};

uint32_t CommandTerms(const TColumn& column);

enum class TCommandKind {
  Item,
  Submenu,
  Separator,
  Title,   // a bold default item that does nothing
  Numbers, // a submenu of the items "Low" .. "High" (and the extras)
  Dynamic, // a submenu rebuilt each time it opens
};

struct TCommand {
  int Level = 0; // 0: a top menu ("File"), 1: its items, 2: theirs ...
  TCommandKind Kind = TCommandKind::Item;
  std::string_view Caption; // "&" marks the accelerator, "&&" shows one "&"
  std::string_view Shortcut;
  std::string_view Hint;
  int HelpContext = 0;
  TCommandRule Rule;
  // False while the part of the program that carries it is not built yet:
  // the item is shown, disabled, and says so in its hint.
  bool Built = true;
  int Low = 0, High = 0;    // Numbers
  std::string_view Extra;   // Numbers: one more item after High ("30")
  std::string_view Heading; // Numbers: a title item before the numbers
};

// Rows in menu order; a row's parent is the nearest row above it one level up.
std::span<const TCommand> MainCommands();
// "File/Attributes/Fixed": the captions from the top menu down, "&" removed.
std::string CommandPath(const TCommand& command);
const TCommand* FindCommand(std::string_view path);
// The caption without accelerator marks ("View && Edit" -> "View & Edit").
std::string PlainCaption(std::string_view caption);

// The main window's key table. Modifier sets compare exactly.
enum TKeyModifiers : uint32_t { kmNone = 0, kmShift = 1, kmCtrl = 2, kmAlt = 4 };
inline constexpr uint32_t kmOther = 8; // a row for every set not listed

enum class TKeyAction { Run, Consume, PassOn, Special };

struct TMainKey {
  int Key;            // Qt::Key
  uint32_t Modifiers; // exact set, or kmOther
  TKeyAction Action;
  std::string_view Path; // Run: the command; Special: what the window does itself
};

std::span<const TMainKey> MainKeys();

// The last press, file menu or drop, shared by the menus and the mouse
// operations: every drag command reads it.
struct TDragState {
  int DragButton = 0;      // Qt::MouseButton of the press
  uint32_t DragShift = 0;  // modifier set at the press (or when the menu opened by key)
  int DragSourceColumn = -1;
  int DragIndex = -1;      // the pressed item, -1 when none
  std::string DragTitle;
  int DragPointX = -1, DragPointY = -1;
  int DropIndex = -1;
  uint32_t MarkedShift = 0; // taken when a column is marked as the inter-board source
  int MarkedIndex = -1;
  std::string MarkedTitle;
};
// The row for a key and an exact modifier set; none when the key is not in
// the table (the key is then passed on).
const TMainKey* FindMainKey(int key, uint32_t modifiers);

} // namespace cv
