#include "columns/MouseOperations.h"

#include "filesystem/File.h"
#include "mainwindow/Commands.h"
#include "mainwindow/DragMenu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace cv {
namespace {

constexpr auto L = Qt::LeftButton;
constexpr auto R = Qt::RightButton;
constexpr auto M = Qt::MiddleButton;
constexpr auto T = TMouseZone::Type;
constexpr auto N = TMouseZone::Name;
constexpr auto E = TMouseZone::Empty;

TEST(MouseOperationsTest, TypeZoneFollowsTheTypeFieldOrItsSimulation) {
  struct TCase {
    bool Show, ExtInType, Simulate;
    int Width, SimulateWidth, Expected; // for a row height of 20
  };
  const TCase cases[] = {
      {true, false, false, 150, 60, 20}, // at most 100 % without the extension
      {true, true, false, 150, 60, 30},
      {true, false, true, 37, 60, 7}, // truncated; the real field wins
      {false, false, true, 150, 60, 12},
      {false, true, false, 150, 60, 0},
  };
  for (const TCase& c : cases) {
    TProgramOptions o;
    o.ShowFileType = c.Show;
    o.ShowExtInType = c.ExtInType;
    o.SimulateFileType = c.Simulate;
    o.FileTypeWidth = c.Width;
    o.SimulateFileTypeWidth = c.SimulateWidth;
    EXPECT_EQ(MouseTypeWidth(20, o), c.Expected) << c.Show << c.ExtInType << c.Simulate;
    if (c.Expected == 0) continue;
    EXPECT_TRUE(InTypeZone({c.Expected - 1, 19}, 20, o));
    EXPECT_FALSE(InTypeZone({c.Expected, 0}, 20, o));
    EXPECT_FALSE(InTypeZone({0, 20}, 20, o)); // the thumbnail rows below are name zone
  }
}

TEST(MouseOperationsTest, PressAndReleaseChooseOneSetting) {
  struct TCase {
    const char* Why;
    TMousePress Press;
    TMouseRelease Release;
    std::string_view Setting;
    std::string Operation;
    int Focus;
  };
  const TCase cases[] = {
      {"single left click on the name only focuses", {L, 1, 4, N, false}, {1, 4, N}, "", "", 4},
      {"double click on the name runs",
       {L, 1, 4, N, true},
       {1, 4, N},
       "LMBNameOperation",
       "Run",
       4},
      {"single left click on the type runs",
       {L, 1, 4, T, false},
       {1, 4, T},
       "LMBTypeOperation",
       "Run",
       4},
      {"second press of a double click on the type runs nothing",
       {L, 1, 4, T, true},
       {1, 4, T},
       "",
       "",
       4},
      {"the release point's zone decides a click",
       {L, 1, 4, N, false},
       {1, 4, T},
       "LMBTypeOperation",
       "Run",
       4},
      {"right click on the name",
       {R, 1, 4, N, false},
       {1, 4, N},
       "RMBNameOperation",
       "File menu",
       4},
      {"right click on the type",
       {R, 1, 4, T, false},
       {1, 4, T},
       "RMBTypeOperation",
       "System menu",
       4},
      {"middle click on the name",
       {M, 1, 4, N, false},
       {1, 4, N},
       "MMBNameOperation",
       "Toggle selection",
       4},
      {"middle click on the type", {M, 1, 4, T, false}, {1, 4, T}, "MMBTypeOperation", "Edit", 4},
      {"left drag from the type to another column",
       {L, 1, 4, T, false},
       {2, 0, N},
       "LMBDragTypeOperation",
       "Set with source path",
       0},
      {"left drag from the name to another item",
       {L, 1, 4, N, false},
       {1, 6, T},
       "LMBDragNameOperation",
       "File-drag menu",
       6},
      {"right drag from the type onto empty space",
       {R, 1, 4, T, false},
       {2, -1, E},
       "RMBDragTypeOperation",
       "Drop-move",
       -1},
      {"right drag from the name",
       {R, 1, 4, N, false},
       {2, 3, N},
       "RMBDragNameOperation",
       "Enter this directory",
       3},
      {"middle drag does nothing", {M, 1, 4, T, false}, {2, 3, N}, "", "", 3},
      {"same index in another column is a drag",
       {L, 1, 4, N, false},
       {2, 4, N},
       "LMBDragNameOperation",
       "File-drag menu",
       4},
      {"right click on empty space",
       {R, 1, -1, E, false},
       {1, -1, E},
       "RMBNameOperation",
       "File menu",
       -1},
      {"right press on empty space released on an item",
       {R, 1, -1, E, false},
       {1, 2, N},
       "",
       "",
       2},
      {"left click on empty space", {L, 1, -1, E, false}, {1, -1, E}, "", "", -1},
      {"empty space dragged left to another column",
       {L, 1, -1, E, false},
       {3, -1, E},
       "LMBDragNameOperation",
       "File-drag menu",
       -1},
      {"empty space dragged right to another column",
       {R, 1, -1, E, false},
       {3, 5, T},
       "RMBDragNameOperation",
       "Enter this directory",
       5},
      {"empty space dragged middle to another column", {M, 1, -1, E, false}, {3, 5, T}, "", "", 5},
  };
  const TProgramOptions defaults;
  for (const TCase& c : cases) {
    const TMouseChoice choice = ChooseMouseOperation(c.Press, c.Release, defaults);
    EXPECT_EQ(choice.Setting, c.Setting) << c.Why;
    EXPECT_EQ(choice.Operation, c.Operation) << c.Why;
    EXPECT_EQ(choice.FocusIndex, c.Focus) << c.Why;
    EXPECT_EQ(PressFocusesItem(c.Press), c.Press.Index >= 0) << c.Why;
  }

  struct THeaderCase {
    Qt::MouseButton Button;
    std::string_view Setting;
    std::string Operation;
  };
  const THeaderCase headers[] = {
      {L, "LMBColumnHeaderOperation", "Enter parent directory"},
      {R, "RMBColumnHeaderOperation", "Parent System menu"},
      {M, "MMBColumnHeaderOperation", "Directory tree navigator dialog"},
      {Qt::BackButton, "", ""},
  };
  for (const THeaderCase& c : headers) {
    const TMouseChoice choice = ChooseHeaderOperation(c.Button, defaults);
    EXPECT_EQ(choice.Setting, c.Setting) << c.Operation;
    EXPECT_EQ(choice.Operation, c.Operation);
  }

  // "None" is a setting that runs nothing.
  TProgramOptions none;
  none.RMBNameOperation = "None";
  const TMouseChoice choice = ChooseMouseOperation({R, 0, 1, N, false}, {0, 1, N}, none);
  EXPECT_EQ(choice.Setting, "RMBNameOperation");
  EXPECT_EQ(choice.Operation, "");
}

TEST(MouseOperationsTest, NamesRunTheirCommands) {
  struct TCase {
    TOperationTable Table;
    std::string_view Name;
    Qt::KeyboardModifiers Modifiers;
    TMouseAction Action;
    std::string_view Target;
  };
  using A = TMouseAction;
  const auto C = TOperationTable::Click;
  const auto D = TOperationTable::Drag;
  const auto H = TOperationTable::Header;
  const TCase cases[] = {
      {C, "Delete", Qt::NoModifier, A::Command, "File/Often/Delete file *"},
      {C, "Properties", Qt::NoModifier, A::Command, "File/Often/Properties"},
      {C, "Properties", Qt::ControlModifier | Qt::ShiftModifier, A::Command,
       "File/Often/Reference properties"},
      {C, "Edit streams (autoload)", Qt::NoModifier, A::Command,
       "File/View & Edit/Edit streams (autoload)"},
      {C, "Run maximized", Qt::NoModifier, A::RunMaximized, {}},
      {C, "Toggle selection", Qt::NoModifier, A::ToggleThis, {}},
      {C, "Toggle selection", Qt::ControlModifier, A::ToggleUp, {}},
      {C, "Toggle selection", Qt::ShiftModifier, A::ToggleDown, {}},
      {C, "Toggle selection", Qt::ControlModifier | Qt::ShiftModifier, A::ToggleThis, {}},
      {C, "Toggle up selection", Qt::ShiftModifier, A::ToggleUp, {}},
      {C, "None", Qt::NoModifier, A::Nothing, {}},
      {C, "Copy", Qt::NoModifier, A::Nothing, {}}, // a drag name is no click name
      {D, "Set with source path", Qt::NoModifier, A::FileDragItem, "Set with source column"},
      {D, "Copy as hard-link", Qt::NoModifier, A::FileDragItem, "Copy as hard-link"},
      {D, "File-drag menu", Qt::NoModifier, A::FileDragMenu, {}},
      {D, "Run", Qt::NoModifier, A::Nothing, {}},
      {H, "Parent System menu", Qt::NoModifier, A::ParentSystemMenu, {}},
      {H, "Toggle thumbnails attribute", Qt::NoModifier, A::Command, "File/Attributes/Thumbnails"},
      {H, "Bogus", Qt::NoModifier, A::Nothing, {}},
  };
  for (const TCase& c : cases) {
    TMouseChoice choice;
    choice.Table = c.Table;
    choice.Operation = c.Name;
    const TMouseCommand command = MouseChoiceCommand(choice, c.Modifiers);
    EXPECT_EQ(command.Action, c.Action) << c.Name;
    EXPECT_EQ(command.Target, c.Target) << c.Name;
  }
}

// Every name the options accept runs something that exists: a menu command
// by its path or a "File-drag" item by its caption.
TEST(MouseOperationsTest, EveryAcceptedNameReachesAnExistingTarget) {
  const auto dragItems = FileDragItems();
  const auto check = [&](std::string_view name, const TMouseCommand& command) {
    if (command.Action == TMouseAction::Command)
      EXPECT_NE(FindCommand(command.Target), nullptr) << name << " -> " << command.Target;
    else if (command.Action == TMouseAction::FileDragItem)
      EXPECT_TRUE(std::any_of(dragItems.begin(), dragItems.end(),
                              [&](const TDragItem& i) { return i.Caption == command.Target; }))
          << name << " -> " << command.Target;
    else
      EXPECT_EQ(command.Target, "") << name;
    if (name != "None") EXPECT_NE(command.Action, TMouseAction::Nothing) << name;
  };
  for (std::string_view name : CClickOperations) {
    check(name, ClickOperationCommand(name, Qt::NoModifier));
    check(name, ClickOperationCommand(name, Qt::ControlModifier));
  }
  for (std::string_view name : CDragOperations)
    check(name, DragOperationCommand(name));
  for (std::string_view name : CHeaderOperations)
    check(name, HeaderOperationCommand(name));
}

TEST(MouseOperationsTest, HintsDescribeTheDefaultSettings) {
  TProgramOptions o;
  const std::string drop =
      " Drop files from another program to display the \"External file-drag\" menu. [LMB + "
      "Drag] = drag files (to copy) to another program ([Ctrl] = copy; [Shift] = move; [Alt] = "
      "copy as link).";
  const std::string enter =
      " ([Ctrl] = automove to left; [Shift] = autoopen to right; [Alt] = autohold)";
  const std::string nameZone =
      "[Double LMB] = Run. [RMB] = File menu. [MMB] = Toggle selection ([Ctrl] = group upward; "
      "[Shift] = group downward). [LMB + Drag] = File-drag menu. [RMB + Drag] = Enter this "
      "directory" +
      enter +
      ". [RMB + Small drag] = show mouse menu. The name of a selected file is displayed with "
      "italic and bold font.";
  const std::string typeZone =
      "[LMB] = Run. [RMB] = System menu ([Ctrl] = reference; [Shift] = parent). [MMB] = Edit. "
      "[LMB + Drag] = Set with source path. [RMB + Drag] = Drop-move.";
  const std::string hover = " Hover for a moment to display the file hover information window.";

  TFileListData file;
  file.Title = "/data/notes.txt";
  file.Size = 1234;
  const std::string size = GetSizeText(6, 0, 1234);
  ASSERT_FALSE(size.empty());
  EXPECT_EQ(ItemMouseHint(file, false, false, o),
            "Current file \"notes.txt\". Size " + size + ". " + nameZone + drop);
  EXPECT_EQ(ItemMouseHint(file, true, false, o),
            "Current file \"notes.txt\". Size " + size + ". " + typeZone + hover + drop);

  // "Run" names the modifiers that enter a directory or a link.
  EXPECT_EQ(TypeZoneHint(fltDirectory, o), "[LMB] = Run" + enter + typeZone.substr(11) + hover);
  o.FileHoverActive = false;
  EXPECT_EQ(TypeZoneHint(fltLink, o), "[LMB] = Run" + enter + typeZone.substr(11));
  // Thumbnails with a normalised size add one sentence.
  o.NormalizeThumbHeight = true;
  EXPECT_EQ(NameZoneHint(fltGeneric, false, o), nameZone);
  EXPECT_EQ(NameZoneHint(fltGeneric, true, o).rfind(nameZone + " For a ", 0), 0u);

  EXPECT_EQ(EmptySpaceMouseHint("/data", o),
            "Column's parent directory \"/data\". [RMB] = File menu. [LMB + Drag] = File-drag "
            "menu. [RMB + Drag] = Enter this directory" +
                enter + "." + drop);
  EXPECT_EQ(HeaderMouseHint("/data", o),
            "Column's parent directory \"/data\". If the content of the directory has changed "
            "then a horizontal line strikes the button caption. [LMB] = Enter parent directory "
            "([Ctrl] = automove to right; [Shift] = autoopen to left; [Alt] = autohold). [RMB] = "
            "Parent System menu. [MMB] = Directory tree navigator dialog.");
}

TEST(MouseOperationsTest, MouseMenuGeometryCellsAndShowing) {
  TProgramOptions o; // cell width 80, extra height 6, sensitivity 5
  TMouseMenuModel menu;
  EXPECT_FALSE(menu.Prepare({L, 0, 3, N, false}, {400, 300}, 14, o));
  EXPECT_FALSE(menu.Prepare({R, 0, -1, E, false}, {400, 300}, 14, o));
  ASSERT_TRUE(menu.Prepare({R, 0, 3, N, false}, {400, 300}, 14, o));
  const int w = 80, h = 20;
  EXPECT_EQ(menu.Geometry(), QRect(400 - w, 300 - 3 * h, 2 * w + 1, 6 * h + 1));
  EXPECT_EQ(menu.Operation(0), "Toggle up selection");
  EXPECT_EQ(menu.Operation(11), "None");

  const int left = 400 - w, top = 300 - 3 * h;
  struct TCase {
    int X, Y, Cell;
  };
  const TCase cells[] = {
      {left, top, 0},
      {left + w, top, 0}, // the middle line is the left cell's
      {left + w + 1, top, 1},
      {left, top + h, 2},
      {400, 300, 6}, // the press point is on the middle line
      {401, 300, 7},
      {left + 2 * w, top + 6 * h, 11}, // bottom-right corner
      {left, top + 6 * h, 10},         // bottom edge
      {left + 2 * w, top + h - 1, 1},  // right edge
      {left + 2 * w + 1, top, -1},
      {left, top + 6 * h + 1, -1},
      {left - 1, top, -1},
      {left, top - 1, -1},
  };
  for (const TCase& c : cells)
    EXPECT_EQ(menu.CellAt({c.X, c.Y}), c.Cell) << c.X << "," << c.Y;

  // Sensitivity along either axis, once per press.
  EXPECT_FALSE(menu.ShowAt({404, 296}));
  EXPECT_TRUE(menu.ShowAt({400, 305}));
  EXPECT_FALSE(menu.ShowAt({400, 320}));
  ASSERT_TRUE(menu.Prepare({R, 0, 3, N, false}, {400, 300}, 14, o));
  EXPECT_TRUE(menu.ShowAt({395, 300}));

  menu.Close();
  EXPECT_EQ(menu.CellAt({400, 300}), -1);
  o.MouseMenuActive = false;
  EXPECT_FALSE(menu.Prepare({R, 0, 3, N, false}, {400, 300}, 14, o));
  EXPECT_FALSE(menu.ShowAt({420, 300}));
  // Without the menu a short right drag back to the same item is a right click.
  EXPECT_EQ(ChooseMouseOperation({R, 0, 3, N, false}, {0, 3, N}, o).Setting, "RMBNameOperation");

  // Cell 3 (row 1, right): inner rectangle, text origin and clip.
  o.MouseMenuActive = true;
  ASSERT_TRUE(menu.Prepare({R, 0, 3, N, false}, {400, 300}, 14, o));
  EXPECT_EQ(menu.CellInner(3), QRect(QPoint(w + 2, h + 2), QPoint(2 * w - 1, 2 * h - 1)));
  EXPECT_EQ(menu.TextOrigin(3), QPoint(w + 3, h + 6 / 2 + 1));
  EXPECT_EQ(menu.TextClip(3).right(), 2 * w - 7);

  for (auto [transparency, alpha] : {std::pair{0, 255}, {40, 153}, {100, 0}, {33, 170}})
    EXPECT_EQ(TMouseMenuModel::MouseMenuAlpha(transparency), alpha) << transparency;
}

} // namespace
} // namespace cv
