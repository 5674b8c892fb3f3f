#include "columns/MouseOperations.h"

#include "columns/Column.h"
#include "filesystem/File.h"
#include "foundation/Guard.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace cv {

// ---- Zones -----------------------------------------------------------------------

int MouseTypeWidth(int rowHeight, const TProgramOptions& options) {
  int percent = 0;
  if (options.ShowFileType) {
    percent = std::max(0, options.FileTypeWidth);
    if (!options.ShowExtInType) percent = std::min(percent, 100);
  } else if (options.SimulateFileType) {
    percent = std::max(0, options.SimulateFileTypeWidth);
  }
  return static_cast<int>(int64_t{std::max(0, rowHeight)} * percent / 100);
}

bool InTypeZone(QPoint pointInItem, int rowHeight, const TProgramOptions& options) {
  return pointInItem.x() >= 0 && pointInItem.y() >= 0 &&
         pointInItem.x() < MouseTypeWidth(rowHeight, options) && pointInItem.y() < rowHeight;
}

// ---- Choosing the operation ------------------------------------------------------

namespace {

constexpr std::string_view COperationsSection = "MouseOperations";
constexpr std::string_view CNone = "None";

TMouseChoice Choice(std::string_view key, TOperationTable table, const TProgramOptions& options) {
  TMouseChoice choice;
  const TOptionRow* row = FindOptionRow(COperationsSection, key);
  if (!row) return choice;
  choice.Setting = row->Key;
  choice.Table = table;
  const std::string& name = row->Text(options);
  if (name != CNone) choice.Operation = name;
  return choice;
}

// The key of a button: the left, right and middle variants of one setting.
std::string_view ByButton(Qt::MouseButton button, std::string_view left, std::string_view right,
                          std::string_view middle) {
  switch (button) {
  case Qt::LeftButton:
    return left;
  case Qt::RightButton:
    return right;
  case Qt::MiddleButton:
    return middle;
  default:
    return {};
  }
}

std::string_view ItemSetting(const TMousePress& press, const TMouseRelease& release,
                             TOperationTable& table) {
  const Qt::MouseButton b = press.Button;
  const bool sameItem = release.Column == press.Column && release.Index == press.Index;
  if (sameItem) {
    table = TOperationTable::Click;
    if (release.Zone == TMouseZone::Type) {
      if (press.DoubleClick) return {};
      return ByButton(b, "LMBTypeOperation", "RMBTypeOperation", "MMBTypeOperation");
    }
    if (b == Qt::LeftButton && !press.DoubleClick) return {};
    return ByButton(b, "LMBNameOperation", "RMBNameOperation", "MMBNameOperation");
  }
  table = TOperationTable::Drag;
  if (press.Zone == TMouseZone::Type)
    return ByButton(b, "LMBDragTypeOperation", "RMBDragTypeOperation", {});
  return ByButton(b, "LMBDragNameOperation", "RMBDragNameOperation", {});
}

std::string_view EmptySpaceSetting(const TMousePress& press, const TMouseRelease& release,
                                   TOperationTable& table) {
  if (release.Column == press.Column) {
    table = TOperationTable::Click;
    if (press.Button == Qt::RightButton && release.Index < 0) return "RMBNameOperation";
    return {};
  }
  table = TOperationTable::Drag;
  return ByButton(press.Button, "LMBDragNameOperation", "RMBDragNameOperation", {});
}

} // namespace

TMouseChoice ChooseMouseOperation(const TMousePress& press, const TMouseRelease& release,
                                  const TProgramOptions& options) {
  TGuard guard("TColumn::ChooseMouseOperation");
  return guard.Run(TMouseChoice{}, [&] {
    TOperationTable table = TOperationTable::None;
    const std::string_view key = press.Index >= 0 ? ItemSetting(press, release, table)
                                                  : EmptySpaceSetting(press, release, table);
    TMouseChoice choice = key.empty() ? TMouseChoice{} : Choice(key, table, options);
    choice.FocusIndex = std::max(-1, release.Index);
    return choice;
  });
}

TMouseChoice ChooseHeaderOperation(Qt::MouseButton button, const TProgramOptions& options) {
  const std::string_view key = ByButton(button, "LMBColumnHeaderOperation",
                                        "RMBColumnHeaderOperation", "MMBColumnHeaderOperation");
  if (key.empty()) return TGuard::EarlyExit(TMouseChoice{});
  TGuard guard("TColumn::ChooseHeaderButtonMouseOperation");
  return guard.Run(TMouseChoice{}, [&] { return Choice(key, TOperationTable::Header, options); });
}

// ---- What the names run ----------------------------------------------------------

namespace {

struct TOperationRow {
  std::string_view Name;
  TMouseAction Action;
  std::string_view Target;
};

using A = TMouseAction;

constexpr TOperationRow CClickRows[] = {
    {"Delete", A::Command, "File/Often/Delete file *"},
    {"Edit", A::Command, "File/View & Edit/Edit"},
    {"Edit streams", A::Command, "File/View & Edit/Edit streams"},
    {"Edit streams (autoload)", A::Command, "File/View & Edit/Edit streams (autoload)"},
    {"File menu", A::FileMenu, {}},
    {"View", A::Command, "File/View & Edit/View"},
    {"Properties", A::Command, "File/Often/Properties"},
    {"Recycle item", A::Command, "File/Container/Recycle item *"},
    {"Recycle file", A::Command, "File/Often/Recycle file *"},
    {"Rename file", A::Command, "File/Often/Rename file"},
    {"Rename item", A::Command, "File/Container/Rename item"},
    {"Run", A::Run, {}},
    {"Run maximized", A::RunMaximized, {}},
    {"Set as background", A::Command, "File/Miscellaneous/Set as background"},
    {"Set as wallpaper", A::Command, "File/Miscellaneous/Set as wallpaper"},
    {"System menu", A::SystemMenu, {}},
    {"Toggle selection", A::ToggleThis, {}},
    {"Toggle down selection", A::ToggleDown, {}},
    {"Toggle up selection", A::ToggleUp, {}},
};
constexpr std::string_view CReferenceProperties = "File/Often/Reference properties";

constexpr TOperationRow CDragRows[] = {
    {"Copy", A::FileDragItem, "Copy *"},
    {"Drop-copy", A::FileDragItem, "Drop-copy *"},
    {"Copy as link", A::FileDragItem, "Copy as link *"},
    {"Copy as hard-link", A::FileDragItem, "Copy as hard-link"},
    {"Convert picture", A::FileDragItem, "Convert picture *"},
    {"Drop-convert picture", A::FileDragItem, "Drop-convert picture *"},
    {"Enter this directory", A::FileDragItem, "Enter this directory"},
    {"File-drag menu", A::FileDragMenu, {}},
    {"Insert item", A::FileDragItem, "Insert item *"},
    {"Move", A::FileDragItem, "Move *"},
    {"Drop-move", A::FileDragItem, "Drop-move *"},
    {"Set with source path", A::FileDragItem, "Set with source column"},
    {"System-drag menu", A::SystemDragMenu, {}},
};

constexpr TOperationRow CHeaderRows[] = {
    {"Directory tree navigator dialog", A::Command, "File/Navigate/Tree navigator dialog"},
    {"Enter parent directory", A::ParentDirectory, {}},
    {"Parent System menu", A::ParentSystemMenu, {}},
    {"Toggle fixed attribute", A::Command, "File/Attributes/Fixed"},
    {"Toggle thumbnails attribute", A::Command, "File/Attributes/Thumbnails"},
};

template <size_t N> TMouseCommand Lookup(const TOperationRow (&rows)[N], std::string_view name) {
  const auto row = std::find_if(std::begin(rows), std::end(rows),
                                [&](const TOperationRow& r) { return r.Name == name; });
  if (row == std::end(rows)) return {};
  return {row->Action, row->Target};
}

constexpr Qt::KeyboardModifiers CHeld = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

} // namespace

TMouseCommand ClickOperationCommand(std::string_view name, Qt::KeyboardModifiers modifiers) {
  TMouseCommand command = Lookup(CClickRows, name);
  const Qt::KeyboardModifiers held = modifiers & CHeld;
  if (name == "Properties" && (held & Qt::ControlModifier)) command.Target = CReferenceProperties;
  if (command.Action == A::ToggleThis) {
    if (held == Qt::ControlModifier) command.Action = A::ToggleUp;
    if (held == Qt::ShiftModifier) command.Action = A::ToggleDown;
  }
  return command;
}

TMouseCommand DragOperationCommand(std::string_view name) {
  return Lookup(CDragRows, name);
}

TMouseCommand HeaderOperationCommand(std::string_view name) {
  return Lookup(CHeaderRows, name);
}

TMouseCommand MouseChoiceCommand(const TMouseChoice& choice, Qt::KeyboardModifiers modifiers) {
  switch (choice.Table) {
  case TOperationTable::Click:
    return ClickOperationCommand(choice.Operation, modifiers);
  case TOperationTable::Drag:
    return DragOperationCommand(choice.Operation);
  case TOperationTable::Header:
    return HeaderOperationCommand(choice.Operation);
  default:
    return {};
  }
}

// ---- Hints -----------------------------------------------------------------------

namespace {

constexpr std::string_view CEnterModifiers =
    " ([Ctrl] = automove to left; [Shift] = autoopen to right; [Alt] = autohold)";

bool Enters(int itemType) {
  return itemType == fltDirectory || itemType == fltLink;
}

// " [RMB] = " + operation text + "."
std::string Part(std::string_view label, std::string_view name, bool enters = false) {
  std::string text(label);
  text += MouseOperationText(name, enters);
  text += '.';
  return text;
}

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  quoted += text;
  quoted += '"';
  return quoted;
}

} // namespace

std::string MouseOperationText(std::string_view name, bool enters) {
  std::string text(name);
  if (name == "System menu" || name == "System-drag menu" || name == "Send menu" ||
      name == "Send-drag menu")
    text += " ([Ctrl] = reference; [Shift] = parent)";
  else if (name == "Enter this directory" || (name == "Run" && enters))
    text += CEnterModifiers;
  else if (name == "Properties")
    text += " ([Ctrl] = reference)";
  else if (name == "Toggle selection")
    text += " ([Ctrl] = group upward; [Shift] = group downward)";
  else if (name == "Enter parent directory")
    text += " ([Ctrl] = automove to right; [Shift] = autoopen to left; [Alt] = autohold)";
  return text;
}

std::string TypeZoneHint(int itemType, const TProgramOptions& o) {
  const bool enters = Enters(itemType);
  std::string text = Part("[LMB] = ", o.LMBTypeOperation, enters);
  text += Part(" [RMB] = ", o.RMBTypeOperation, enters);
  text += Part(" [MMB] = ", o.MMBTypeOperation, enters);
  text += Part(" [LMB + Drag] = ", o.LMBDragTypeOperation);
  text += Part(" [RMB + Drag] = ", o.RMBDragTypeOperation);
  if (o.FileHoverActive)
    text += " Hover for a moment to display the file hover information window.";
  return text;
}

std::string NameZoneHint(int itemType, bool thumbnails, const TProgramOptions& o) {
  const bool enters = Enters(itemType);
  std::string text = Part("[Double LMB] = ", o.LMBNameOperation, enters);
  text += Part(" [RMB] = ", o.RMBNameOperation, enters);
  text += Part(" [MMB] = ", o.MMBNameOperation, enters);
  text += Part(" [LMB + Drag] = ", o.LMBDragNameOperation);
  text += Part(" [RMB + Drag] = ", o.RMBDragNameOperation);
  text += " [RMB + Small drag] = show mouse menu.";
  text += " The name of a selected file is displayed with italic and bold font.";
  if (thumbnails && (o.NormalizeThumbWidth || o.NormalizeThumbHeight))
    text += " For a thumbnail whose picture was scaled to a normalized size, the sign \xC2\xB1 "
            "follows the size shown; see the options \"Normalize thumb width to\" and "
            "\"Normalize thumb height to\".";
  return text;
}

std::string DropHint() {
  return " Drop files from another program to display the " + Quoted("External file-drag") +
         " menu. [LMB + Drag] = drag files (to copy) to another program ([Ctrl] = copy; "
         "[Shift] = move; [Alt] = copy as link).";
}

std::string ItemMouseHint(const TFileListData& item, bool inTypeZone, bool thumbnails,
                          const TProgramOptions& options) {
  std::string text = "Current file " + Quoted(GetTitleName(item.Title)) + ". Size " +
                     GetSizeText(6, 0, static_cast<uint64_t>(std::max<int64_t>(0, item.Size))) +
                     ". ";
  text +=
      inTypeZone ? TypeZoneHint(item.Type, options) : NameZoneHint(item.Type, thumbnails, options);
  text += DropHint();
  return text;
}

std::string EmptySpaceMouseHint(const std::string& directory, const TProgramOptions& o) {
  std::string text = "Column's parent directory " + Quoted(directory) + ". ";
  text += Part("[RMB] = ", o.RMBNameOperation);
  text += Part(" [LMB + Drag] = ", o.LMBDragNameOperation);
  text += Part(" [RMB + Drag] = ", o.RMBDragNameOperation);
  text += DropHint();
  return text;
}

std::string HeaderMouseHint(const std::string& directory, const TProgramOptions& o) {
  std::string text = "Column's parent directory " + Quoted(directory) +
                     ". If the content of the directory has changed then a horizontal line "
                     "strikes the button caption.";
  text += Part(" [LMB] = ", o.LMBColumnHeaderOperation);
  text += Part(" [RMB] = ", o.RMBColumnHeaderOperation);
  text += Part(" [MMB] = ", o.MMBColumnHeaderOperation);
  return text;
}

// ---- The mouse menu --------------------------------------------------------------

bool TMouseMenuModel::Prepare(const TMousePress& press, QPoint point, int fontHeight,
                              const TProgramOptions& options) {
  FPrepared = false;
  FShown = false;
  if (press.Button != Qt::RightButton || press.Index < 0 || !options.MouseMenuActive) return false;
  FSensitivity = options.MouseMenuSensitivity;
  FTransparency = options.MouseMenuTransparency;
  FCellWidth = std::max(1, options.MouseMenuItemWidth);
  FExtraHeight = std::max(0, options.MouseMenuItemExtraHeight);
  FRowHeight = std::max(1, fontHeight + FExtraHeight);
  FPress = point;
  FOperations = options.MouseMenuOperation;
  FPrepared = true;
  return true;
}

bool TMouseMenuModel::ShowAt(QPoint point) {
  if (!FPrepared || FShown) return false;
  const QPoint moved = point - FPress;
  if (std::abs(moved.x()) < FSensitivity && std::abs(moved.y()) < FSensitivity) return false;
  FShown = true;
  return true;
}

void TMouseMenuModel::Close() {
  FPrepared = false;
  FShown = false;
}

QRect TMouseMenuModel::Geometry() const {
  return QRect(FPress.x() - FCellWidth, FPress.y() - (MouseMenuRows / 2) * FRowHeight,
               MouseMenuColumns * FCellWidth + 1, MouseMenuRows * FRowHeight + 1);
}

int TMouseMenuModel::CellAt(QPoint point) const {
  if (!FPrepared) return -1;
  const QRect menu = Geometry();
  const int x = point.x() - menu.left();
  const int y = point.y() - menu.top();
  // The far edges are the grid's last line: they count as inside.
  if (x < 0 || y < 0 || x > MouseMenuColumns * FCellWidth || y > MouseMenuRows * FRowHeight)
    return -1;
  const int row = std::min(y / FRowHeight, MouseMenuRows - 1);
  return row * MouseMenuColumns + (x > FCellWidth ? 1 : 0);
}

QRect TMouseMenuModel::CellInner(int cell) const {
  const int left = (cell % MouseMenuColumns) * FCellWidth;
  const int top = (cell / MouseMenuColumns) * FRowHeight;
  return QRect(QPoint(left + 2, top + 2), QPoint(left + FCellWidth - 1, top + FRowHeight - 1));
}

QPoint TMouseMenuModel::TextOrigin(int cell) const {
  const QRect inner = CellInner(cell);
  return QPoint(inner.left() + 1, inner.top() - 2 + FExtraHeight / 2 + 1);
}

QRect TMouseMenuModel::TextClip(int cell) const {
  const QRect inner = CellInner(cell);
  const int rightLine = inner.right() + 1;
  return QRect(QPoint(inner.left() + 1, inner.top()), QPoint(rightLine - 7, inner.bottom()));
}

int TMouseMenuModel::MouseMenuAlpha(int transparency) {
  return (100 - std::clamp(transparency, 0, 100)) * 255 / 100;
}

// ---- Desktop selection --------------------------------------------------------------

namespace {

constexpr Qt::KeyboardModifiers CSelectionHeld =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

bool ExtendingKey(int key) {
  switch (key) {
  case Qt::Key_Up:
  case Qt::Key_Down:
  case Qt::Key_PageUp:
  case Qt::Key_PageDown:
  case Qt::Key_Home:
  case Qt::Key_End:
    return true;
  default:
    return false;
  }
}

} // namespace

void TDesktopSelection::SelectRange(int first, int last, bool add) {
  const int low = std::min(first, last), high = std::max(first, last);
  Column.SelectWhere([&](int i) {
    return (i >= low && i <= high) || (add && Column.Items[static_cast<size_t>(i)].Selected);
  });
}

bool TDesktopSelection::Press(Qt::MouseButton button, int index, QPoint inner,
                              Qt::KeyboardModifiers modifiers) {
  FOwnsPress = false;
  FBanding = false;
  FBandShown = false;
  if (!Enabled() || button != Qt::LeftButton) return false;
  const Qt::KeyboardModifiers set = modifiers & CSelectionHeld;
  const int count = Column.Count();
  if (index >= count) return false;
  if (index < 0) {
    // Empty space: a band starts; without Ctrl the click alone ends the selection.
    FOwnsPress = true;
    FBanding = true;
    FBandAdds = set == Qt::ControlModifier;
    FBandStart = FBandEnd = inner;
    if (!FBandAdds && Column.SelCount > 0) Column.DeselectAll(false);
    FBefore.assign(static_cast<size_t>(count), false);
    for (int i = 0; i < count; ++i)
      FBefore[static_cast<size_t>(i)] = Column.Items[static_cast<size_t>(i)].Selected;
    return true;
  }
  if (set == Qt::ControlModifier) {
    Column.ToggleItem(index);
    FAnchor = index;
    FOwnsPress = true;
    return true;
  }
  if (set == Qt::ShiftModifier || set == (Qt::ShiftModifier | Qt::ControlModifier)) {
    // The list's focus has not moved to the pressed item yet: without an
    // anchor the range starts at the item focused before the press.
    const int anchor = FAnchor >= 0 && FAnchor < count ? FAnchor : Column.List.FocusIndex();
    SelectRange(anchor, index, set.testFlag(Qt::ControlModifier));
    FAnchor = anchor;
    FOwnsPress = true;
    return true;
  }
  if (set == Qt::NoModifier) {
    if (Column.SelCount > 0) Column.DeselectAll(false);
    FAnchor = index;
  }
  return false;
}

bool TDesktopSelection::Move(QPoint inner) {
  if (!FOwnsPress) return false;
  if (!FBanding) return true;
  FBandEnd = inner;
  if (!FBandShown && (std::abs(FBandEnd.x() - FBandStart.x()) >= BandThreshold ||
                      std::abs(FBandEnd.y() - FBandStart.y()) >= BandThreshold))
    FBandShown = true;
  if (FBandShown) ApplyBand();
  return true;
}

bool TDesktopSelection::Release(QPoint inner) {
  if (!FOwnsPress) return false;
  if (FBanding) {
    Move(inner);
    if (FBandShown) Column.List.RepaintAll(); // the band goes
  }
  FOwnsPress = false;
  FBanding = false;
  FBandShown = false;
  FBefore.clear();
  return true;
}

void TDesktopSelection::Forget() {
  FAnchor = -1;
  FOwnsPress = false;
  FBanding = false;
  FBandShown = false;
  FBefore.clear();
}

QRect TDesktopSelection::Band() const {
  if (!FBanding || !FBandShown) return QRect();
  return QRect(FBandStart, FBandEnd).normalized();
}

void TDesktopSelection::ApplyBand() {
  const QRect band = Band();
  const TItemListState& list = Column.List;
  const int border = list.BorderWidth();
  // Only the items in view can be under the band.
  const int first = list.TopIndex();
  const int last = std::min(list.LastVisibleIndex(), Column.Count() - 1);
  const bool adds = FBandAdds;
  const std::vector<bool>& before = FBefore;
  Column.SelectWhere([&](int i) {
    const bool kept =
        adds && static_cast<size_t>(i) < before.size() && before[static_cast<size_t>(i)];
    if (i < first || i > last) return kept;
    const QRect item = list.ItemRect(i).translated(-border, -border);
    return kept || item.intersects(band);
  });
}

bool TDesktopSelection::Key(int key, Qt::KeyboardModifiers modifiers) {
  if (!Enabled()) return false;
  const Qt::KeyboardModifiers set = modifiers & CSelectionHeld;
  if (key == Qt::Key_A && set == Qt::ControlModifier) {
    Column.SelectAll(false);
    return true;
  }
  if (!ExtendingKey(key)) return false;
  if (set == Qt::NoModifier) {
    // Plain moves leave the anchor to wherever the focus stops.
    FAnchor = -1;
    return false;
  }
  if (set != Qt::ShiftModifier || Column.Count() == 0) return false;
  const int anchor = FAnchor >= 0 && FAnchor < Column.Count() ? FAnchor : Column.List.FocusIndex();
  Column.List.KeyDown(key, modifiers & ~CSelectionHeld);
  SelectRange(anchor, Column.List.FocusIndex(), false);
  FAnchor = anchor;
  return true;
}

} // namespace cv
