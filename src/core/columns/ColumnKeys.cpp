#include "columns/ColumnKeys.h"

#include <algorithm>
#include <array>
#include <vector>

namespace cv {

namespace {

constexpr Qt::KeyboardModifiers CHeld = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
constexpr Qt::KeyboardModifiers CNone = Qt::NoModifier;
constexpr Qt::KeyboardModifiers CCtrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers CShift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers CAlt = Qt::AltModifier;
constexpr Qt::KeyboardModifiers CCtrlShift = Qt::ControlModifier | Qt::ShiftModifier;
// The sets a "=" cell of the table covers.
constexpr std::array<Qt::KeyboardModifiers, 5> CEverySet = {CNone, CCtrl, CShift, CAlt, CCtrlShift};

// XKB keycodes of the digit row "1".."9", "0" and of the two punctuation keys.
constexpr uint32_t CScanDigit1 = 10;
constexpr uint32_t CScanDigit0 = 19;
constexpr uint32_t CScanSlash = 61;
constexpr uint32_t CScanBackslash = 51;

// What a US layout gives with Shift on the keys matched by position.
struct TShifted {
  int Symbol;
  int Key;
};
constexpr std::array<TShifted, 12> CUsShifted = {{
    {Qt::Key_Exclam, Qt::Key_1},
    {Qt::Key_At, Qt::Key_2},
    {Qt::Key_NumberSign, Qt::Key_3},
    {Qt::Key_Dollar, Qt::Key_4},
    {Qt::Key_Percent, Qt::Key_5},
    {Qt::Key_AsciiCircum, Qt::Key_6},
    {Qt::Key_Ampersand, Qt::Key_7},
    {Qt::Key_Asterisk, Qt::Key_8},
    {Qt::Key_ParenLeft, Qt::Key_9},
    {Qt::Key_ParenRight, Qt::Key_0},
    {Qt::Key_Question, Qt::Key_Slash},
    {Qt::Key_Bar, Qt::Key_Backslash},
}};

bool IsKeypadOwnKey(int key) {
  return (key >= Qt::Key_0 && key <= Qt::Key_9) || key == Qt::Key_Asterisk || key == Qt::Key_Plus ||
         key == Qt::Key_Minus || key == Qt::Key_Slash;
}

int KeyAtPosition(uint32_t scanCode) {
  if (scanCode >= CScanDigit1 && scanCode < CScanDigit0)
    return Qt::Key_1 + int(scanCode - CScanDigit1);
  if (scanCode == CScanDigit0) return Qt::Key_0;
  if (scanCode == CScanSlash) return Qt::Key_Slash;
  if (scanCode == CScanBackslash) return Qt::Key_Backslash;
  return 0;
}

class TTableBuilder {
public:
  std::vector<TColumnKeyRow> Rows;

  void Command(int key, Qt::KeyboardModifiers set, std::string_view menu, std::string_view caption,
               bool keypad = false) {
    Rows.push_back({key, keypad, set, TColumnKeyAction::Command, menu, caption, 0});
  }
  // A "=" row: the same command with every modifier set.
  void Always(int key, std::string_view menu, std::string_view caption) {
    for (Qt::KeyboardModifiers set : CEverySet)
      Command(key, set, menu, caption);
  }
  void Action(int key, Qt::KeyboardModifiers set, TColumnKeyAction action, int number = 0) {
    Rows.push_back({key, false, set, action, {}, {}, number});
  }
  void Numbered(int key, Qt::KeyboardModifiers set, std::string_view menu, int number) {
    Rows.push_back({key, false, set, TColumnKeyAction::Command, menu, {}, number});
  }
};

std::vector<TColumnKeyRow> BuildTable() {
  using A = TColumnKeyAction;
  TTableBuilder t;
  for (Qt::KeyboardModifiers set : CEverySet) {
    t.Action(Qt::Key_Backspace, set, A::ParentDirectory);
    t.Action(Qt::Key_Return, set, A::EnterActiveItem);
  }

  constexpr std::string_view Group = "Group of columns";
  t.Action(Qt::Key_Left, CNone, A::PreviousColumn);
  t.Command(Qt::Key_Left, CCtrl, Group, "Delete last column");
  t.Command(Qt::Key_Left, CShift, Group, "Delete this column");
  t.Command(Qt::Key_Left, CAlt, Group, "Rotate columns to left");
  t.Action(Qt::Key_Right, CNone, A::NextColumn);
  t.Command(Qt::Key_Right, CCtrl, Group, "Insert column at end");
  t.Command(Qt::Key_Right, CShift, Group, "Insert column here");
  t.Command(Qt::Key_Right, CAlt, Group, "Rotate columns to right");

  constexpr std::string_view Select = "Select";
  t.Command(Qt::Key_Insert, CNone, Select, "Toggle this");
  t.Command(Qt::Key_Insert, CCtrl, Select, "Toggle up");
  t.Command(Qt::Key_Insert, CShift, Select, "Toggle down");

  constexpr std::string_view Container = "Container";
  t.Always(Qt::Key_Delete, Container, "Recycle item *");

  for (int n = 1; n <= 10; ++n) {
    const int key = n == 10 ? Qt::Key_0 : Qt::Key_0 + n;
    t.Action(key, CNone, A::ShowBoard, n);
    t.Numbered(key, CCtrl, "Show container", n);
    t.Numbered(key, CShift, "Add to container *", n);
  }

  constexpr std::string_view ViewEdit = "View && Edit";
  constexpr std::string_view LinkAs = "Link as item in";
  constexpr std::string_view Misc = "Miscellaneous";
  constexpr std::string_view Often = "Often";
  constexpr std::string_view Navigate = "Navigate";
  constexpr std::string_view Search = "Search";

  t.Command(Qt::Key_A, CNone, ViewEdit, "Edit streams");
  t.Command(Qt::Key_A, CCtrl, ViewEdit, "Edit streams (autoload)");
  t.Command(Qt::Key_A, CShift, ViewEdit, "Edit description");
  t.Command(Qt::Key_A, CCtrlShift, LinkAs, "Startup");
  t.Always(Qt::Key_C, Misc, "Clip titles *");
  t.Command(Qt::Key_D, CNone, Often, "New directory");
  t.Command(Qt::Key_D, CCtrlShift, LinkAs, "Desktop");
  t.Command(Qt::Key_E, CNone, ViewEdit, "Edit");
  t.Command(Qt::Key_E, CCtrlShift, LinkAs, "Send-drag");
  t.Always(Qt::Key_F, Often, "New file");
  t.Command(Qt::Key_G, CNone, Misc, "Go to reference");
  t.Command(Qt::Key_G, CCtrl, Container, "Go to file");
  t.Command(Qt::Key_I, CNone, Navigate, "Tree navigator dialog");
  t.Command(Qt::Key_I, CCtrl, Navigate, "Navigate to directory");
  t.Command(Qt::Key_L, CNone, Navigate, "Load directory");
  t.Command(Qt::Key_L, CCtrl, Navigate, "Load all directories");
  t.Command(Qt::Key_L, CShift, Navigate, "Set as active file");
  t.Command(Qt::Key_L, CCtrlShift, LinkAs, "Location");
  t.Command(Qt::Key_M, CNone, Container, "Rename item");
  t.Command(Qt::Key_M, CCtrl, Container, "Multi-rename item *");
  t.Command(Qt::Key_N, CNone, Often, "Rename file");
  t.Command(Qt::Key_N, CCtrl, Often, "Multi-rename file *");
  t.Command(Qt::Key_P, CNone, Often, "Properties");
  t.Command(Qt::Key_P, CCtrl, Often, "Reference properties");
  t.Command(Qt::Key_Q, CNone, Misc, "Open with");
  t.Command(Qt::Key_Q, CCtrlShift, LinkAs, "Quick launch");
  t.Command(Qt::Key_S, CNone, Search, "Search file *");
  t.Command(Qt::Key_S, CCtrl, Search, "Search file in home *");
  t.Command(Qt::Key_S, CShift, Search, "Search file in home 2 *");
  t.Command(Qt::Key_S, CAlt, Search, "Find common text *");
  t.Command(Qt::Key_S, CCtrlShift, LinkAs, "Send");
  t.Command(Qt::Key_T, CNone, Search, "Locate file");
  t.Command(Qt::Key_T, CCtrl, Search, "Locate next file");
  t.Command(Qt::Key_T, CShift, Search, "Locate previous file");
  t.Command(Qt::Key_T, CCtrlShift, LinkAs, "Tool");
  t.Always(Qt::Key_U, Misc, "Paste picture");
  t.Command(Qt::Key_V, CNone, Container, "Relocate item *");
  t.Command(Qt::Key_V, CCtrl, Container, "Add to this container");
  t.Command(Qt::Key_W, CNone, Misc, "Set as background");
  t.Command(Qt::Key_W, CCtrl, Misc, "Set as wallpaper");
  t.Command(Qt::Key_X, CNone, "Associate extension", "Document");
  t.Command(Qt::Key_X, CCtrl, "Associate extension", "Generic");
  t.Command(Qt::Key_X, CShift, "Associate extension", "Save and update");

  t.Command(Qt::Key_Asterisk, CNone, Select, "Toggle files", true);
  t.Command(Qt::Key_Asterisk, CCtrl, Select, "Toggle all", true);
  t.Command(Qt::Key_Plus, CNone, Select, "Filtered select all", true);
  t.Command(Qt::Key_Plus, CCtrl, Select, "Select all", true);
  t.Command(Qt::Key_Plus, CShift, Select, "Select files", true);
  t.Command(Qt::Key_Minus, CNone, Select, "Filtered deselect all", true);
  t.Command(Qt::Key_Minus, CCtrl, Select, "Deselect all", true);
  t.Command(Qt::Key_Minus, CShift, Select, "Deselect files", true);

  constexpr std::string_view Clip = "Clip active file";
  t.Command(Qt::Key_F2, CNone, Clip, "Name");
  t.Command(Qt::Key_F2, CCtrl, Clip, "Path");
  t.Command(Qt::Key_F2, CShift, Clip, "Title");
  t.Command(Qt::Key_F2, CAlt, Clip, "Reference");
  t.Always(Qt::Key_F3, ViewEdit, "View next");
  t.Always(Qt::Key_F4, ViewEdit, "View previous");
  t.Command(Qt::Key_F5, CNone, ViewEdit, "View");
  t.Command(Qt::Key_F5, CCtrl, ViewEdit, "View clipboard picture");
  t.Command(Qt::Key_F5, CShift, ViewEdit, "View steg noise");
  t.Command(Qt::Key_F6, CNone, ViewEdit, "View media in directory");
  t.Command(Qt::Key_F6, CCtrl, ViewEdit, "View this media in directory");
  t.Always(Qt::Key_F11, Often, "Recycle file *");
  t.Always(Qt::Key_F12, Often, "Delete file *");

  t.Command(Qt::Key_Slash, CNone, Navigate, "Default directory");
  t.Command(Qt::Key_Slash, CCtrl, Navigate, "Partition root");
  t.Command(Qt::Key_Slash, CShift, Navigate, "Terminal root");
  // The menu shows "Default directory" on the pad's "/" as well.
  t.Command(Qt::Key_Slash, CNone, Navigate, "Default directory", true);
  t.Command(Qt::Key_Backslash, CNone, Navigate, "Previous directory");
  t.Command(Qt::Key_Backslash, CCtrl, Navigate, "Partition root");
  t.Command(Qt::Key_Backslash, CShift, Navigate, "Terminal root");
  return t.Rows;
}

} // namespace

TColumnKey ColumnKeyOf(int key, Qt::KeyboardModifiers modifiers, uint32_t scanCode) {
  TColumnKey result{key, false, modifiers & CHeld};
  if (modifiers.testFlag(Qt::KeypadModifier) && IsKeypadOwnKey(key)) {
    result.Keypad = true;
    return result;
  }
  if (key == Qt::Key_Enter) {
    result.Key = Qt::Key_Return;
    return result;
  }
  if (const int placed = KeyAtPosition(scanCode)) {
    result.Key = placed;
    return result;
  }
  if (scanCode == 0 && result.Modifiers.testFlag(Qt::ShiftModifier)) {
    const auto* shifted = std::find_if(CUsShifted.begin(), CUsShifted.end(),
                                       [key](const TShifted& s) { return s.Symbol == key; });
    if (shifted != CUsShifted.end()) result.Key = shifted->Key;
  }
  return result;
}

std::span<const TColumnKeyRow> ColumnKeyTable() {
  static const std::vector<TColumnKeyRow> table = BuildTable();
  return table;
}

const TColumnKeyRow* FindColumnKey(int key, Qt::KeyboardModifiers modifiers, uint32_t scanCode) {
  const TColumnKey wanted = ColumnKeyOf(key, modifiers, scanCode);
  for (const TColumnKeyRow& row : ColumnKeyTable())
    if (row.Key == wanted.Key && row.Keypad == wanted.Keypad && row.Modifiers == wanted.Modifiers)
      return &row;
  return nullptr;
}

bool ColumnKeyConsumed(int key) {
  return key != Qt::Key_Insert;
}

} // namespace cv
