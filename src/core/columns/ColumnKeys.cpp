#include "columns/ColumnKeys.h"

#include <algorithm>
#include <array>
#include <string>
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

// A command cell of the table: the path of the submenu ("File/Often", the
// captions from the top menu down without accelerator marks) and the caption
// of a menu item.
// An empty cell does nothing.
struct TCell {
  std::string_view Menu;
  std::string_view Caption;
};

// One line of the table: the cells for none, Ctrl, Shift, Alt and Ctrl+Shift.
struct TLine {
  int Key;
  bool Keypad;
  std::array<TCell, CEverySet.size()> Cells;
};

// A "=" line: the same command with every modifier set.
constexpr std::array<TCell, CEverySet.size()> Same(TCell cell) {
  return {cell, cell, cell, cell, cell};
}

constexpr std::string_view Group = "File/Group of columns";
constexpr std::string_view Select = "File/Select";
constexpr std::string_view Container = "File/Container";
constexpr std::string_view ViewEdit = "File/View & Edit";
constexpr std::string_view LinkAs = "File/Miscellaneous/Link as item in";
constexpr std::string_view Misc = "File/Miscellaneous";
constexpr std::string_view Often = "File/Often";
constexpr std::string_view Navigate = "File/Navigate";
constexpr std::string_view Search = "File/Search";
constexpr std::string_view Associate = "File/Miscellaneous/Associate extension";
constexpr std::string_view Clip = "File/Miscellaneous/Clip active file";
constexpr std::string_view Trash = "File/Trash";

// The command lines; the column's own actions are added in BuildTable.
// clang-format off
constexpr TLine CLines[] = {
  {Qt::Key_Left, false, {{{}, {Group, "Delete last column"}, {Group, "Delete this column"},
                          {Group, "Rotate columns to left"}, {}}}},
  {Qt::Key_Right, false, {{{}, {Group, "Insert column at end"}, {Group, "Insert column here"},
                           {Group, "Rotate columns to right"}, {}}}},
  {Qt::Key_Insert, false, {{{Select, "Toggle this"}, {Select, "Toggle up"},
                            {Select, "Toggle down"}, {}, {}}}},
  {Qt::Key_Delete, false, Same({Container, "Recycle item *"})},
  {Qt::Key_A, false, {{{ViewEdit, "Edit streams"}, {ViewEdit, "Edit streams (autoload)"},
                       {ViewEdit, "Edit description"}, {}, {LinkAs, "Startup"}}}},
  {Qt::Key_C, false, Same({Misc, "Clip titles *"})},
  {Qt::Key_D, false, {{{Often, "New directory"}, {}, {}, {}, {LinkAs, "Desktop"}}}},
  {Qt::Key_E, false, {{{ViewEdit, "Edit"}, {}, {}, {}, {LinkAs, "Send-drag"}}}},
  {Qt::Key_F, false, Same({Often, "New file"})},
  {Qt::Key_G, false, {{{Misc, "Go to reference"}, {Container, "Go to file"}, {}, {}, {}}}},
  {Qt::Key_I, false, {{{Navigate, "Tree navigator dialog"}, {Navigate, "Navigate to directory"},
                       {}, {}, {}}}},
  {Qt::Key_K, false, Same({Trash, "Restore *"})},
  {Qt::Key_L, false, {{{Navigate, "Load directory"}, {Navigate, "Load all directories"},
                       {Navigate, "Set as active file"}, {Navigate, "Go to path"},
                       {LinkAs, "Location"}}}},
  {Qt::Key_M, false, {{{Container, "Rename item"}, {Container, "Multi-rename item *"},
                       {}, {}, {}}}},
  {Qt::Key_N, false, {{{Often, "Rename file"}, {Often, "Multi-rename file *"}, {}, {}, {}}}},
  {Qt::Key_P, false, {{{Often, "Properties"}, {Often, "Reference properties"}, {}, {}, {}}}},
  {Qt::Key_Q, false, {{{Misc, "Open with"}, {}, {}, {}, {LinkAs, "Quick launch"}}}},
  {Qt::Key_S, false, {{{Search, "Search file *"}, {Search, "Search file in home *"},
                       {Search, "Search file in home 2 *"}, {Search, "Find common text *"},
                       {LinkAs, "Send"}}}},
  {Qt::Key_T, false, {{{Search, "Locate file"}, {Search, "Locate next file"},
                       {Search, "Locate previous file"}, {}, {LinkAs, "Tool"}}}},
  {Qt::Key_U, false, Same({Misc, "Paste picture"})},
  {Qt::Key_V, false, {{{Container, "Relocate item *"}, {Container, "Add to this container"},
                       {}, {}, {}}}},
  {Qt::Key_W, false, {{{Misc, "Set as background"}, {Misc, "Set as wallpaper"}, {}, {}, {}}}},
  {Qt::Key_X, false, {{{Associate, "Document"}, {Associate, "Generic"},
                       {Associate, "Save and update"}, {}, {}}}},
  {Qt::Key_Asterisk, true, {{{Select, "Toggle files"}, {Select, "Toggle all"}, {}, {}, {}}}},
  {Qt::Key_Plus, true, {{{Select, "Filtered select all"}, {Select, "Select all"},
                         {Select, "Select files"}, {}, {}}}},
  {Qt::Key_Minus, true, {{{Select, "Filtered deselect all"}, {Select, "Deselect all"},
                          {Select, "Deselect files"}, {}, {}}}},
  {Qt::Key_F2, false, {{{Clip, "Name"}, {Clip, "Path"}, {Clip, "Title"}, {Clip, "Reference"},
                        {}}}},
  {Qt::Key_F3, false, Same({ViewEdit, "View next"})},
  {Qt::Key_F4, false, Same({ViewEdit, "View previous"})},
  {Qt::Key_F5, false, {{{ViewEdit, "View"}, {ViewEdit, "View clipboard picture"},
                        {ViewEdit, "View steg noise"}, {}, {}}}},
  {Qt::Key_F6, false, {{{ViewEdit, "View media in directory"},
                        {ViewEdit, "View this media in directory"}, {}, {}, {}}}},
  {Qt::Key_F11, false, Same({Often, "Recycle file *"})},
  {Qt::Key_F12, false, Same({Often, "Delete file *"})},
  {Qt::Key_Slash, false, {{{Navigate, "Default directory"}, {Navigate, "Partition root"},
                           {Navigate, "Terminal root"}, {}, {}}}},
  // The menu shows "Default directory" on the pad's "/" as well.
  {Qt::Key_Slash, true, {{{Navigate, "Default directory"}, {}, {}, {}, {}}}},
  {Qt::Key_Backslash, false, {{{Navigate, "Previous directory"}, {Navigate, "Partition root"},
                               {Navigate, "Terminal root"}, {}, {}}}},
};
// clang-format on

std::vector<TColumnKeyRow> BuildTable() {
  using A = TColumnKeyAction;
  std::vector<TColumnKeyRow> rows;
  const auto action = [&rows](int key, Qt::KeyboardModifiers set, A what, int number = 0) {
    rows.push_back({key, false, set, what, {}, {}, number});
  };
  for (Qt::KeyboardModifiers set : CEverySet) {
    action(Qt::Key_Backspace, set, A::ParentDirectory);
    action(Qt::Key_Return, set, A::EnterActiveItem);
  }
  action(Qt::Key_Left, CNone, A::PreviousColumn);
  action(Qt::Key_Right, CNone, A::NextColumn);
  for (int n = 1; n <= 10; ++n) {
    const int key = n == 10 ? Qt::Key_0 : Qt::Key_0 + n;
    action(key, CNone, A::ShowBoard, n);
    rows.push_back({key, false, CCtrl, A::Command, "File/Show container", {}, n});
    rows.push_back({key, false, CShift, A::Command, "File/Container/Add to container *", {}, n});
  }
  for (const TLine& line : CLines)
    for (size_t i = 0; i < CEverySet.size(); ++i)
      if (!line.Cells[i].Caption.empty())
        rows.push_back({line.Key, line.Keypad, CEverySet[i], A::Command, line.Cells[i].Menu,
                        line.Cells[i].Caption, 0});
  return rows;
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

std::string ColumnKeyCommandPath(const TColumnKeyRow& row) {
  if (row.Action != TColumnKeyAction::Command) return {};
  return std::string(row.Menu) + "/" +
         (row.Caption.empty() ? std::to_string(row.Number) : std::string(row.Caption));
}

bool ColumnKeyConsumed(int key) {
  return key != Qt::Key_Insert;
}

} // namespace cv
