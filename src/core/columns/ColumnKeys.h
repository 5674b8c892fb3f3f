#pragma once
// The key table of a column's file list: which key with which exact set of
// Shift, Ctrl and Alt does what. Most keys name a command of the main
// window's menus by its submenu and caption, so the window runs them through
// its menu items (a disabled item does nothing); a few act on the columns
// themselves. The list's own navigation keys run before this table.
//
// Keys are matched by position where the layout moves them: the digit row
// and the two punctuation keys "/" (left of the right Shift) and "\" (above
// Enter) are recognised by their XKB keycode (evdev + 8, what X11 and
// Wayland report as the native scan code), so Shift+1 finds digit 1 although
// Qt reports "!", and an AZERTY digit row works unshifted. Without a scan
// code (synthetic events, other platforms) the shifted symbols of a US
// layout stand for their keys. Numeric pad digits, "*", "+", "-" and "/"
// are keys of their own (Qt::KeypadModifier); other keys of the pad (Enter,
// arrows, Insert, Delete with Num Lock off) count as the main keys.

#include <Qt>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace cv {

enum class TColumnKeyAction {
  // The menu item `Caption` in the submenu `Menu`; in the numbered submenus
  // "Show container" and "Add to container *", item `Number` (1..10).
  Command,
  // The parent directory, with the modifiers passed on (automove, autoopen,
  // autohold inside the column's group).
  ParentDirectory,
  // Runs the active file; a directory (or a link to one) is entered with the
  // modifiers passed on.
  EnterActiveItem,
  PreviousColumn, // the last visible column from the first
  NextColumn,     // the first column from the last visible one
  ShowBoard,      // board `Number` (1..10), index `Number` - 1
};

struct TColumnKeyRow {
  int Key = 0; // a Qt::Key after position mapping
  bool Keypad = false;
  // Exactly these of Shift, Ctrl and Alt are held (others are ignored).
  Qt::KeyboardModifiers Modifiers;
  TColumnKeyAction Action = TColumnKeyAction::Command;
  // The submenu's path: the captions from the top menu down, without
  // accelerator marks ("File/View & Edit").
  std::string_view Menu;
  std::string_view Caption; // as the menu shows it; empty for a numbered item
  int Number = 0;
};

// A key as the table knows it.
struct TColumnKey {
  int Key = 0;
  bool Keypad = false;
  Qt::KeyboardModifiers Modifiers; // Shift, Ctrl and Alt only
};

// Maps an event's key, modifiers and native scan code (0: unknown) to the
// table's key.
TColumnKey ColumnKeyOf(int key, Qt::KeyboardModifiers modifiers, uint32_t scanCode);

// Every row of the table.
std::span<const TColumnKeyRow> ColumnKeyTable();

// The row of a key, or null when the combination does nothing.
const TColumnKeyRow* FindColumnKey(int key, Qt::KeyboardModifiers modifiers, uint32_t scanCode);

// The command's path, "File/Often/New file" or "File/Show container/3";
// empty for the column's own actions.
std::string ColumnKeyCommandPath(const TColumnKeyRow& row);

// Whether the list keeps the key after the table ran: every key except
// Insert, which goes on to the list's parent.
bool ColumnKeyConsumed(int key);

} // namespace cv
