#include "columns/ColumnKeys.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <tuple>

namespace cv {
namespace {

// A row as text: the command's path ("File/Often/New file", "File/Show
// container/3"),
// "<action>" for the column's own actions, "" for nothing.
std::string Describe(const TColumnKeyRow* row) {
  if (!row) return "";
  switch (row->Action) {
  case TColumnKeyAction::Command:
    return ColumnKeyCommandPath(*row);
  case TColumnKeyAction::ParentDirectory:
    return "<parent>";
  case TColumnKeyAction::EnterActiveItem:
    return "<enter>";
  case TColumnKeyAction::PreviousColumn:
    return "<previous column>";
  case TColumnKeyAction::NextColumn:
    return "<next column>";
  case TColumnKeyAction::ShowBoard:
    return "<board " + std::to_string(row->Number) + ">";
  }
  return "?";
}

constexpr Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers Shift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers Alt = Qt::AltModifier;

// The sets of the table's columns, then the sets no column names.
const std::array<Qt::KeyboardModifiers, 8> CSets = {
    Qt::NoModifier, Ctrl, Shift, Alt, Ctrl | Shift, Ctrl | Alt, Shift | Alt, Ctrl | Shift | Alt};

struct TExpectedRow {
  int Key;
  bool Keypad;
  // none, Ctrl, Shift, Alt, Ctrl+Shift; the other sets do nothing.
  std::array<std::string, 5> Cells;
};

std::array<std::string, 5> Same(const std::string& cell) {
  return {cell, cell, cell, cell, cell};
}

std::vector<TExpectedRow> ExpectedTable() {
  const std::string group = "File/Group of columns/", select = "File/Select/",
                    link = "File/Miscellaneous/Link as item in/", view = "File/View & Edit/",
                    misc = "File/Miscellaneous/", often = "File/Often/", nav = "File/Navigate/",
                    search = "File/Search/", container = "File/Container/",
                    assoc = "File/Miscellaneous/Associate extension/",
                    clip = "File/Miscellaneous/Clip active file/";
  std::vector<TExpectedRow> rows = {
      {Qt::Key_Backspace, false, Same("<parent>")},
      {Qt::Key_Return, false, Same("<enter>")},
      {Qt::Key_Left,
       false,
       {"<previous column>", group + "Delete last column", group + "Delete this column",
        group + "Rotate columns to left", ""}},
      {Qt::Key_Right,
       false,
       {"<next column>", group + "Insert column at end", group + "Insert column here",
        group + "Rotate columns to right", ""}},
      {Qt::Key_Insert,
       false,
       {select + "Toggle this", select + "Toggle up", select + "Toggle down", "", ""}},
      {Qt::Key_Delete, false, Same(container + "Recycle item *")},
      {Qt::Key_A,
       false,
       {view + "Edit streams", view + "Edit streams (autoload)", view + "Edit description", "",
        link + "Startup"}},
      {Qt::Key_C, false, Same(misc + "Clip titles *")},
      {Qt::Key_D, false, {often + "New directory", "", "", "", link + "Desktop"}},
      {Qt::Key_E, false, {view + "Edit", "", "", "", link + "Send-drag"}},
      {Qt::Key_F, false, Same(often + "New file")},
      {Qt::Key_G, false, {misc + "Go to reference", container + "Go to file", "", "", ""}},
      {Qt::Key_I,
       false,
       {nav + "Tree navigator dialog", nav + "Navigate to directory", "", "", ""}},
      {Qt::Key_K, false, Same("File/Trash/Restore *")},
      {Qt::Key_L,
       false,
       {nav + "Load directory", nav + "Load all directories", nav + "Set as active file",
        nav + "Go to path", link + "Location"}},
      {Qt::Key_M,
       false,
       {container + "Rename item", container + "Multi-rename item *", "", "", ""}},
      {Qt::Key_N, false, {often + "Rename file", often + "Multi-rename file *", "", "", ""}},
      {Qt::Key_P, false, {often + "Properties", often + "Reference properties", "", "", ""}},
      {Qt::Key_Q, false, {misc + "Open with", "", "", "", link + "Quick launch"}},
      {Qt::Key_S,
       false,
       {search + "Search file *", search + "Search file in home *",
        search + "Search file in home 2 *", search + "Find common text *", link + "Send"}},
      {Qt::Key_T,
       false,
       {search + "Locate file", search + "Locate next file", search + "Locate previous file", "",
        link + "Tool"}},
      {Qt::Key_U, false, Same(misc + "Paste picture")},
      {Qt::Key_V,
       false,
       {container + "Relocate item *", container + "Add to this container", "", "", ""}},
      {Qt::Key_W, false, {misc + "Set as background", misc + "Set as wallpaper", "", "", ""}},
      {Qt::Key_X,
       false,
       {assoc + "Document", assoc + "Generic", assoc + "Save and update", "", ""}},
      {Qt::Key_Asterisk, true, {select + "Toggle files", select + "Toggle all", "", "", ""}},
      {Qt::Key_Plus,
       true,
       {select + "Filtered select all", select + "Select all", select + "Select files", "", ""}},
      {Qt::Key_Minus,
       true,
       {select + "Filtered deselect all", select + "Deselect all", select + "Deselect files", "",
        ""}},
      {Qt::Key_F2, false, {clip + "Name", clip + "Path", clip + "Title", clip + "Reference", ""}},
      {Qt::Key_F3, false, Same(view + "View next")},
      {Qt::Key_F4, false, Same(view + "View previous")},
      {Qt::Key_F5,
       false,
       {view + "View", view + "View clipboard picture", view + "View steg noise", "", ""}},
      {Qt::Key_F6,
       false,
       {view + "View media in directory", view + "View this media in directory", "", "", ""}},
      {Qt::Key_F11, false, Same(often + "Recycle file *")},
      {Qt::Key_F12, false, Same(often + "Delete file *")},
      {Qt::Key_Slash,
       false,
       {nav + "Default directory", nav + "Partition root", nav + "Terminal root", "", ""}},
      {Qt::Key_Slash, true, {nav + "Default directory", "", "", "", ""}},
      {Qt::Key_Backslash,
       false,
       {nav + "Previous directory", nav + "Partition root", nav + "Terminal root", "", ""}},
  };
  for (int n = 1; n <= 10; ++n) {
    const std::string number = std::to_string(n);
    rows.push_back({n == 10 ? Qt::Key_0 : Qt::Key_0 + n,
                    false,
                    {"<board " + number + ">", "File/Show container/" + number,
                     container + "Add to container */" + number, "", ""}});
  }
  return rows;
}

std::string Lookup(int key, bool keypad, Qt::KeyboardModifiers set, uint32_t scanCode = 0) {
  return Describe(FindColumnKey(key, keypad ? set | Qt::KeypadModifier : set, scanCode));
}

TEST(ColumnKeysTest, EveryRowWithEveryModifierSetComparedExactly) {
  for (const TExpectedRow& row : ExpectedTable()) {
    for (size_t s = 0; s < CSets.size(); ++s) {
      SCOPED_TRACE(testing::Message() << "key 0x" << std::hex << row.Key << " keypad " << row.Keypad
                                      << " set 0x" << CSets[s].toInt());
      const std::string expected = s < row.Cells.size() ? row.Cells[s] : "";
      EXPECT_EQ(Lookup(row.Key, row.Keypad, CSets[s]), expected);
      // Meta is not one of the compared modifiers.
      EXPECT_EQ(Lookup(row.Key, row.Keypad, CSets[s] | Qt::MetaModifier), expected);
    }
  }
}

TEST(ColumnKeysTest, TheTableHoldsOnlyTheExpectedRowsOnceEach) {
  const std::vector<TExpectedRow> expected = ExpectedTable();
  std::set<std::tuple<int, bool, int>> seen;
  for (const TColumnKeyRow& row : ColumnKeyTable()) {
    SCOPED_TRACE(Describe(&row));
    EXPECT_TRUE(seen.insert({row.Key, row.Keypad, row.Modifiers.toInt()}).second)
        << "a second row for one key would never be found";
    const auto match = std::find_if(expected.begin(), expected.end(), [&](const TExpectedRow& e) {
      return e.Key == row.Key && e.Keypad == row.Keypad;
    });
    ASSERT_NE(match, expected.end());
    const auto set = std::find(CSets.begin(), CSets.end(), row.Modifiers);
    ASSERT_LT(set - CSets.begin(), 5);
    EXPECT_EQ(Describe(&row), match->Cells[static_cast<size_t>(set - CSets.begin())]);
  }
}

TEST(ColumnKeysTest, KeysAreFoundByPositionAndThePadKeysAreTheirOwn) {
  struct TCase {
    const char* Name;
    int Key;
    Qt::KeyboardModifiers Modifiers;
    uint32_t ScanCode;
    std::string Expected;
  };
  const Qt::KeyboardModifiers pad = Qt::KeypadModifier;
  const TCase cases[] = {
      {"Shift+1 arrives as !", Qt::Key_Exclam, Shift, 0, "File/Container/Add to container */1"},
      {"Shift+0 arrives as )", Qt::Key_ParenRight, Shift, 0,
       "File/Container/Add to container */10"},
      {"Shift+8 arrives as *", Qt::Key_Asterisk, Shift, 0, "File/Container/Add to container */8"},
      {"the digit row by keycode", Qt::Key_Exclam, Shift, 10,
       "File/Container/Add to container */1"},
      {"an AZERTY 1 key unshifted", Qt::Key_Ampersand, Qt::NoModifier, 10, "<board 1>"},
      {"an AZERTY 0 key with Ctrl", Qt::Key_Agrave, Ctrl, 19, "File/Show container/10"},
      {"Shift+/ arrives as ?", Qt::Key_Question, Shift, 0, "File/Navigate/Terminal root"},
      {"Shift+\\ arrives as |", Qt::Key_Bar, Shift, 0, "File/Navigate/Terminal root"},
      {"the key above Enter by keycode", Qt::Key_Bar, Shift, 51, "File/Navigate/Terminal root"},
      {"the key left of right Shift on a German layout", Qt::Key_Minus, Qt::NoModifier, 61,
       "File/Navigate/Default directory"},
      {"an unshifted ! is no digit", Qt::Key_Exclam, Qt::NoModifier, 0, ""},
      {"a symbol with a keycode elsewhere", Qt::Key_Exclam, Shift, 42, ""},
      {"pad 1 is not digit 1", Qt::Key_1, pad, 87, ""},
      {"pad 0 is not digit 0", Qt::Key_0, pad | Ctrl, 90, ""},
      {"the main - is not the pad's", Qt::Key_Minus, Qt::NoModifier, 0, ""},
      {"the main + is not the pad's", Qt::Key_Plus, Shift, 21, ""},
      {"the pad's * is its own", Qt::Key_Asterisk, pad, 63, "File/Select/Toggle files"},
      {"the pad's / with Ctrl", Qt::Key_Slash, pad | Ctrl, 106, ""},
      {"the pad's Enter", Qt::Key_Enter, pad | Alt, 104, "<enter>"},
      {"the pad's Left with Num Lock off", Qt::Key_Left, pad, 83, "<previous column>"},
      {"the pad's Insert with Num Lock off", Qt::Key_Insert, pad | Shift, 90,
       "File/Select/Toggle down"},
      {"the pad's Delete with Num Lock off", Qt::Key_Delete, pad | Ctrl, 91,
       "File/Container/Recycle item *"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Describe(FindColumnKey(c.Key, c.Modifiers, c.ScanCode)), c.Expected);
  }
}

TEST(ColumnKeysTest, OnlyInsertGoesOnAndModifiersAloneFindNothing) {
  EXPECT_FALSE(ColumnKeyConsumed(Qt::Key_Insert));
  for (int key : {Qt::Key_K, Qt::Key_Delete, Qt::Key_Shift, Qt::Key_Space})
    EXPECT_TRUE(ColumnKeyConsumed(key));
  for (int key : {Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt})
    for (Qt::KeyboardModifiers set : CSets)
      EXPECT_EQ(FindColumnKey(key, set, 0), nullptr);
}

} // namespace
} // namespace cv
