#include "columns/BoardColumns.h"

#include "columns/Column.h"
#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/Guard.h"

#include <algorithm>

namespace cv {

namespace {

constexpr int MaxColumnAttr = 10;

int ClampAttr(int value) {
  return std::clamp(value, 1, MaxColumnAttr);
}

// The share a column asks for: subcolumns need room even in a narrow column.
int ShareOf(const TColumnShare& column) {
  return std::max(ClampAttr(column.WidthAttr), ClampAttr(column.SubcolumnsAttr));
}

bool ValidThumbHeight(int height) {
  return (height >= 1 && height <= 25) || height == 30;
}

// The column shows a partition's root (or the partitions list): nothing
// above it is worth opening in the next column.
bool ShowsPartitionRoot(const TColumn& column) {
  const std::string shown = column.ShownPath();
  if (shown.size() <= 1) return true;
  return IsMountedPartition(PathToPartitionTitle(shown.substr(0, shown.size() - 1)));
}

} // namespace

std::vector<TColumnPlace> LayoutColumnWidths(const std::vector<TColumnShare>& columns,
                                             int clientWidth) {
  TGuard guard("LayoutColumnWidths");
  return guard.Run(std::vector<TColumnPlace>(), [&] {
    const int count = static_cast<int>(columns.size());
    if (count < 1 || count > TBoardColumns::BoardColumns)
      guard.Raise("Invalid number of columns.", std::to_string(count));
    int64_t sum = 0;
    for (const TColumnShare& column : columns)
      sum += ShareOf(column);
    std::vector<TColumnPlace> places(columns.size());
    int total = 0;
    for (int j = 0; j < count; ++j) {
      const TColumnShare& column = columns[static_cast<size_t>(j)];
      const bool last = j == count - 1;
      int width = static_cast<int>(int64_t{clientWidth} * ShareOf(column) / sum);
      const int subcolumns = ClampAttr(column.SubcolumnsAttr);
      // The inner width divides evenly into subcolumns.
      if (subcolumns >= 2 && !last && width >= 2 * column.Border)
        width = (width - 2 * column.Border) / subcolumns * subcolumns + 2 * column.Border;
      if (last) width = std::max(0, clientWidth - total);
      places[static_cast<size_t>(j)] = {total, width};
      total += width;
    }
    return places;
  });
}

TBoardColumns::TBoardColumns(const std::array<TColumn*, ColumnCount>& columns) : Columns(columns) {}

bool TBoardColumns::SetVisibleColumns(int count) {
  if (count < 1 || count > BoardColumns) return false;
  Visible = count;
  Active = std::min(Active, Visible - 1);
  // A hidden column watches nothing.
  for (int i = Visible; i < BoardColumns; ++i)
    Column(i).DirMonitor.Reset();
  return true;
}

void TBoardColumns::SetActiveColumn(int index) {
  if (Shown(index)) Active = index;
}

int TBoardColumns::NeighbourColumn(int step) const {
  if (Visible < 1) return 0;
  return ((Active + step) % Visible + Visible) % Visible;
}

int TBoardColumns::GroupStart(int index) const {
  while (index > 0 && !Column(index).FixedAttr)
    --index;
  return index;
}

int TBoardColumns::GroupEnd(int index) const {
  int end = index;
  for (int i = index + 1; i < Visible && !Column(i).FixedAttr; ++i)
    end = i;
  return end;
}

std::vector<TColumnShare> TBoardColumns::Shares(int border) const {
  std::vector<TColumnShare> shares;
  for (int i = 0; i < Visible; ++i)
    shares.push_back({Column(i).WidthAttr, Column(i).SubcolumnsAttr, border});
  return shares;
}

bool TBoardColumns::Uniform() const {
  for (int i = 1; i < Visible; ++i)
    if (Column(i).WidthAttr != Column(0).WidthAttr ||
        Column(i).SubcolumnsAttr != Column(0).SubcolumnsAttr)
      return false;
  return true;
}

void TBoardColumns::Layout() const {
  if (Host.Layout) Host.Layout();
}

void TBoardColumns::Focus() const {
  if (Host.Focus) Host.Focus(Active);
}

void TBoardColumns::AttributesChanged(int index) const {
  if (Host.AttributesChanged) Host.AttributesChanged(index);
}

void TBoardColumns::ToggleFixed() {
  TColumn& column = Column(Active);
  column.FixedAttr = !column.FixedAttr;
  AttributesChanged(Active);
  Focus();
}

void TBoardColumns::SetWidthAttr(int width) {
  if (width < 1 || width > MaxColumnAttr) return;
  Column(Active).WidthAttr = width;
  Layout();
  Focus();
}

void TBoardColumns::SetSubcolumnsAttr(int subcolumns) {
  if (subcolumns < 1 || subcolumns > MaxColumnAttr) return;
  TColumn& column = Column(Active);
  const int old = column.SubcolumnsAttr;
  column.SubcolumnsAttr = subcolumns;
  column.List.SetSubcolumns(subcolumns);
  // Even with the share unchanged the width is rounded to whole subcolumns:
  // a new count needs the layout, or the subcolumns come out uneven.
  if (subcolumns == old)
    AttributesChanged(Active);
  else
    Layout();
  Focus();
}

void TBoardColumns::SetThumbHeight(int height, bool allColumns) {
  if (!ValidThumbHeight(height)) return;
  for (int i = 0; i < BoardColumns; ++i) {
    if (i != Active && !allColumns) continue;
    Column(i).ThumbHeight = height;
    if (i == Active) Column(i).ThumbAttr = true;
    AttributesChanged(i);
  }
  Focus();
}

void TBoardColumns::ToggleThumbnails() {
  Column(Active).ThumbAttr = !Column(Active).ThumbAttr;
  AttributesChanged(Active);
  Focus();
}

void TBoardColumns::ChangeVisibleColumns(int count) {
  if (!SetVisibleColumns(count)) return;
  Layout();
  for (int i = 0; i < Visible; ++i)
    ReloadColumn(i);
  Focus();
}

void TBoardColumns::ReloadColumn(int index) {
  if (Shown(index)) Column(index).LoadDirectory(false);
}

bool TBoardColumns::MoveColumns(const char* name, const char* failure,
                                const std::function<void(TGuard&)>& body) {
  TGuard guard(name);
  WasUniform = Uniform();
  if (Host.ShowArea) Host.ShowArea(false);
  guard.Run([&] {
    TFunStatContext inner;
    {
      TGuard step(name);
      step.Run([&] { body(step); });
      inner = step.Context();
    }
    if (inner.Failed()) guard.Raise(failure, inner.Description, inner.Parameter1);
  });
  if (Host.ShowArea) Host.ShowArea(true);
  Focus();
  return !guard.Failed();
}

void TBoardColumns::LayoutAfterMove() const {
  if (!WasUniform || !Uniform()) Layout();
}

bool TBoardColumns::InsertColumn(int index, bool here) {
  if (!Shown(index) || index >= BoardColumns - 1) return TGuard::EarlyExit(false);
  return MoveColumns("TColumn::InsertColumn", "Failed to insert column.", [&](TGuard& step) {
    const std::string sortMode = Column(here || index == 0 ? index : index - 1).SortMode;
    for (int i = BoardColumns - 1; i > index; --i) {
      Column(i).SetWithAllColumn(
          Column(i - 1), true,
          {.ClearOnly = !Shown(i), .Refocus = Shown(i), .TargetVisible = Shown(i)});
      step.TakeOver();
    }
    Column(index).ResetColumn(here);
    if (here) Column(index + 1).FixedAttr = false;
    Column(index).SortMode = sortMode;
    LayoutAfterMove();
    ReloadColumn(index);
    step.TakeOver();
  });
}

bool TBoardColumns::InsertColumnAtEnd() {
  const int index = GroupEnd(Active) + 1;
  if (!Shown(index)) return TGuard::EarlyExit(false);
  return InsertColumn(index, false);
}

bool TBoardColumns::CutColumn(int index) {
  if (!Shown(index)) return TGuard::EarlyExit(false);
  const int start = GroupStart(index);
  const int end = GroupEnd(index);
  if (start == end) return TGuard::EarlyExit(false);
  return MoveColumns("TColumn::CutColumn", "Failed to cut column.", [&](TGuard& step) {
    if (end == Active) --Active;
    for (int i = index; i < BoardColumns - 1; ++i) {
      // The group's first place keeps its own fixed attribute.
      Column(i).SetWithAllColumn(
          Column(i + 1), i > start,
          {.ClearOnly = !Shown(i), .Refocus = i < Visible - 1, .TargetVisible = Shown(i)});
      step.TakeOver();
    }
    Column(BoardColumns - 1).ResetColumn(false);
    LayoutAfterMove();
    ReloadColumn(Visible - 1);
    step.TakeOver();
  });
}

bool TBoardColumns::RotateRight() {
  return MoveColumns("TColumn::RotateColumns", "Failed to rotate column.", [&](TGuard& step) {
    // A spare of our own: the drop column may hold files dropped from outside.
    TColumn spare(DropColumn);
    spare.SetWithAllColumn(Column(BoardColumns - 1), true, {.ClearOnly = true});
    step.TakeOver();
    for (int i = BoardColumns - 1; i > 0; --i) {
      Column(i).SetWithAllColumn(
          Column(i - 1), true,
          {.ClearOnly = !Shown(i), .Refocus = true, .TargetVisible = Shown(i)});
      step.TakeOver();
    }
    Column(0).SetWithAllColumn(spare, true, {.ClearOnly = true, .TargetVisible = true});
    step.TakeOver();
    LayoutAfterMove();
    ReloadColumn(0);
    step.TakeOver();
  });
}

bool TBoardColumns::RotateLeft() {
  return MoveColumns("TColumn::RotateColumns", "Failed to rotate column.", [&](TGuard& step) {
    TColumn spare(DropColumn);
    spare.SetWithAllColumn(Column(0), true, {.ClearOnly = true});
    step.TakeOver();
    for (int i = 0; i < BoardColumns - 1; ++i) {
      Column(i).SetWithAllColumn(
          Column(i + 1), true,
          {.ClearOnly = !Shown(i), .Refocus = i != Visible - 1, .TargetVisible = Shown(i)});
      step.TakeOver();
    }
    Column(BoardColumns - 1).SetWithAllColumn(spare, true, {.ClearOnly = true});
    step.TakeOver();
    LayoutAfterMove();
    ReloadColumn(Visible - 1);
    step.TakeOver();
  });
}

void TBoardColumns::MoveContent(int to, int from) {
  Column(to).SetWithColumn(
      Column(from),
      {.CopyActive = true, .RememberPrevious = true, .Refocus = true, .TargetVisible = Shown(to)});
}

void TBoardColumns::EnterDirectory(int index, const std::string& directory, TGroupKeys keys) {
  if (!Shown(index)) return TGuard::EarlyExit();
  TGuard guard("TBoardColumns::EnterDirectory");
  guard.Run([&] {
    Active = index;
    const int start = GroupStart(index);
    const int end = GroupEnd(index);
    if (keys.Ctrl || (!keys.Alt && Active == end)) {
      // Automove: the group moves left and the directory opens here.
      for (int k = start; k < Active; ++k)
        MoveContent(k, k + 1);
    } else if (!keys.Alt) {
      ++Active; // autoopen in the next column of the group
    }
    Column(Active).EnterDirectory(directory);
    if (keys.Shift) {
      for (int j = Active; j < end; ++j) {
        const TColumn& column = Column(j);
        if (column.Count() == 0 || column.ActiveType != fltDirectory) break;
        Column(j + 1).EnterDirectory(column.ActiveTitle);
      }
    }
  });
  Focus();
}

void TBoardColumns::ParentDirectory(int index, TGroupKeys keys) {
  // The trash stands for itself: its items' directories are not its parent.
  const std::string left =
      Column(index).ShowsTrash ? std::string(TrashTitle) : Column(index).ActiveTitle;
  if (!Shown(index) || (GetTitlePath(left).empty() && !IsTrashTitle(left)))
    return TGuard::EarlyExit();
  TGuard guard("TBoardColumns::ParentDirectory");
  guard.Run([&] {
    Active = index;
    const int start = GroupStart(index);
    const int end = GroupEnd(index);
    if (keys.Ctrl || (!keys.Alt && Active == start)) {
      // Automove: the group moves right and the parent opens here.
      for (int k = end; k > Active; --k)
        MoveContent(k, k - 1);
    } else if (!keys.Alt) {
      --Active;
    }
    Column(Active).ParentDirectoryOf(left);
    if (keys.Shift) {
      for (int j = Active - 1; j >= start && !ShowsPartitionRoot(Column(j + 1)); --j)
        Column(j).ParentDirectoryOf(Column(j + 1).ActiveTitle);
    }
  });
  Focus();
}

void TBoardColumns::MarkSourceColumn() {
  TGuard guard("TBoardColumns::MarkSourceColumn");
  guard.Run([&] {
    TColumn& active = Column(Active);
    TColumn& source = Column(SourceColumn);
    source.SetWithColumn(active, {.CopyActive = true});
    guard.TakeOver();
    source.FocusByIndex(active.List.FocusIndex(), active.TopOffset);
  });
}

void TBoardColumns::SetWithSourceColumn() {
  TGuard guard("TBoardColumns::SetWithSourceColumn");
  guard.Run([&] {
    Column(Active).SetWithColumn(
        Column(SourceColumn),
        {.CopyActive = true, .RememberPrevious = true, .Refocus = true, .TargetVisible = true});
  });
  Focus();
}

} // namespace cv
