#include "columns/ItemListState.h"

#include "foundation/Random.h"

#include <algorithm>
#include <climits>
#include <sstream>

namespace cv {

namespace {

int Saturate(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

// Division that rounds toward minus infinity, so rows above the top are
// numbered like the rows below it.
int FloorDiv(int a, int b) {
  const int q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

TItemListState::TItemListState() {
  FScrollBar = ExpectedScrollBar();
}

// ---- Items ---------------------------------------------------------------

void TItemListState::EndUpdate(int count) {
  FCount = std::max(0, count);
  FFocusIndex = ClampIndex(FFocusIndex);
  ResetScrollBar();
  RepaintAll();
}

// ---- Geometry ------------------------------------------------------------

void TItemListState::SetSize(int width, int height) {
  if (width == FWidth && height == FHeight) return;
  FWidth = std::max(0, width);
  FHeight = std::max(0, height);
  ResetScrollBar();
  RepaintAll();
}

void TItemListState::SetScrollBarWidth(int width) {
  width = std::max(0, width);
  if (width == FScrollBarWidth) return;
  FScrollBarWidth = width;
  RepaintAll();
}

void TItemListState::SetMeasure(int& field, int value) {
  if (value == field) return;
  field = value;
  ResetScrollBar();
  RepaintAll();
}

void TItemListState::SetBorderWidth(int width) {
  SetMeasure(FBorderWidth, width < 0 ? DefaultBorderWidth : width);
}

void TItemListState::SetItemHeight(int height) {
  SetMeasure(FItemHeight, std::max(1, height));
}

void TItemListState::SetSubcolumns(int subcolumns) {
  SetMeasure(FSubcolumns, std::max(1, subcolumns));
}

// ---- Measures --------------------------------------------------------------

int TItemListState::VisibleRows() const {
  const int inner = FHeight - 2 * FBorderWidth;
  return std::max(1, inner / FItemHeight);
}

int TItemListState::VisibleItems() const {
  return Saturate(int64_t{VisibleRows()} * FSubcolumns);
}

int TItemListState::Rows() const {
  return Saturate((int64_t{FCount} + FSubcolumns - 1) / FSubcolumns);
}

int TItemListState::LastVisibleIndex() const {
  return Saturate(std::min<int64_t>(FCount, int64_t{FTopIndex} + VisibleItems()) - 1);
}

int TItemListState::MaxTopIndex() const {
  const int rows = Rows();
  const int visibleRows = VisibleRows();
  return rows > visibleRows ? Saturate(int64_t{rows - visibleRows} * FSubcolumns) : 0;
}

bool TItemListState::ScrollBarShown() const {
  return Rows() > VisibleRows();
}

int TItemListState::ClientWidth() const {
  const int bar = ScrollBarShown() ? FScrollBarWidth + 2 : 0;
  return std::max(0, FWidth - 2 * FBorderWidth - bar);
}

QRect TItemListState::ItemRect(int index) const {
  // An empty list still paints its placeholder as item 0.
  if (index < 0 || index >= std::max(FCount, 1)) return QRect();
  const int relative = index - FTopIndex;
  const int row = FloorDiv(relative, FSubcolumns);
  const int column = relative - row * FSubcolumns;
  const int width = ItemWidth();
  // Rows far below a tall view (thumbnail heights come from stored options)
  // pass the int range: they stay far below instead of wrapping above.
  // The rectangle's far edges must fit too.
  const auto place = [](int64_t start, int size) {
    return static_cast<int>(std::clamp<int64_t>(start, INT_MIN, int64_t{INT_MAX} - size));
  };
  return QRect(place(int64_t{FBorderWidth} + int64_t{column} * width, width),
               place(int64_t{FBorderWidth} + int64_t{row} * FItemHeight, FItemHeight), width,
               FItemHeight);
}

int TItemListState::ItemAtPoint(int x, int y) const {
  const int width = ItemWidth();
  if (x < 0 || y < 0 || width <= 0) return -1;
  if (int64_t{x} >= int64_t{width} * FSubcolumns) return -1;
  if (int64_t{y} >= int64_t{VisibleRows()} * FItemHeight) return -1;
  const int64_t index = int64_t{FTopIndex} + int64_t{y / FItemHeight} * FSubcolumns + x / width;
  return index <= LastVisibleIndex() ? static_cast<int>(index) : -1;
}

// ---- Top and focus -----------------------------------------------------------

int TItemListState::ClampIndex(int index) const {
  if (FCount == 0) return 0;
  return std::clamp(index, 0, FCount - 1);
}

void TItemListState::SetTopIndex(int index) {
  int top = 0;
  if (ScrollBarShown() && index >= 0)
    top = Saturate(int64_t{FSubcolumns} * std::min(Rows() - VisibleRows(), index / FSubcolumns));
  if (top == FTopIndex) return;
  FTopIndex = top;
  RepaintAll();
  PublishScrollBar();
  if (OnTopChanged) OnTopChanged(FTopIndex);
}

void TItemListState::SetFocusIndex(int index) {
  const int old = FFocusIndex;
  FFocusIndex = ClampIndex(index);
  ScrollFocusIntoView();
  RepaintItem(old);
  if (FFocusIndex != old) RepaintItem(FFocusIndex);
  if (OnFocusChanged) OnFocusChanged(old);
}

void TItemListState::SetFocusAndOffset(int index, int offset) {
  FFocusIndex = ClampIndex(index);
  const int visibleItems = VisibleItems();
  offset = std::max(0, offset);
  const int64_t top = offset < visibleItems ? int64_t{FFocusIndex} - offset
                                            : int64_t{FFocusIndex} - visibleItems + FSubcolumns;
  SetTopIndex(Saturate(top));
  // Rounding the top down to a whole row can push the focus one row too low.
  ScrollFocusIntoView();
  RepaintAll();
}

void TItemListState::ScrollFocusIntoView() {
  if (FFocusIndex < FTopIndex)
    SetTopIndex(FFocusIndex);
  else if (FFocusIndex > LastVisibleIndex())
    SetTopIndex(Saturate(int64_t{FFocusIndex} - int64_t{FSubcolumns} * (VisibleRows() - 1)));
}

void TItemListState::KeepFocusInView() {
  if (Empty()) return;
  if (FFocusIndex < FTopIndex)
    SetFocusIndex(FTopIndex);
  else if (FFocusIndex > LastVisibleIndex())
    SetFocusIndex(LastVisibleIndex());
}

// ---- Scrolling -----------------------------------------------------------------

void TItemListState::MoveFocusWithTop(int oldTop) {
  if (Empty()) return;
  const int delta = FTopIndex - oldTop;
  const int focus =
      std::clamp(Saturate(int64_t{FFocusIndex} + delta), FTopIndex, LastVisibleIndex());
  if (delta != 0 || focus != FFocusIndex) SetFocusIndex(focus);
}

void TItemListState::ScrollRows(int rows) {
  const int oldTop = FTopIndex;
  SetTopIndex(Saturate(int64_t{FTopIndex} + int64_t{rows} * FSubcolumns));
  MoveFocusWithTop(oldTop);
}

void TItemListState::Wheel(int rows) {
  SetTopIndex(Saturate(int64_t{FTopIndex} + int64_t{rows} * FSubcolumns));
  KeepFocusInView();
}

void TItemListState::ScrollBarMoved(int position) {
  SetTopIndex(Saturate(int64_t{std::max(0, position)} * FSubcolumns));
}

void TItemListState::ScrollBarReleased() {
  KeepFocusInView();
  if (OnTopChanged) OnTopChanged(FTopIndex);
  if (OnScrollNotification) OnScrollNotification();
}

TScrollBarState TItemListState::ExpectedScrollBar() const {
  TScrollBarState state;
  state.PageStep = VisibleRows();
  if (ScrollBarShown()) {
    state.Visible = true;
    state.Maximum = Rows() - VisibleRows();
    state.Position = FTopIndex / FSubcolumns;
  }
  return state;
}

void TItemListState::PublishScrollBar() {
  const TScrollBarState state = ExpectedScrollBar();
  if (state == FScrollBar) return;
  FScrollBar = state;
  if (OnScrollBarChanged) OnScrollBarChanged(FScrollBar);
}

void TItemListState::ResetScrollBar() {
  // Re-aligns and re-clamps the top for the new rows, or resets it when
  // everything fits.
  SetTopIndex(ScrollBarShown() ? FTopIndex : 0);
  ScrollFocusIntoView();
  PublishScrollBar();
}

// ---- Keys -------------------------------------------------------------------------

bool TItemListState::KeyDown(int key, Qt::KeyboardModifiers modifiers) {
  if (key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt) return true;

  const Qt::KeyboardModifiers set =
      modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  const bool ctrl = set == Qt::ControlModifier;
  if (set != Qt::NoModifier && !ctrl) return false;
  if (!Navigate(key, ctrl, modifiers.testFlag(Qt::KeypadModifier))) return false;
  // A key never leaves the focus outside the view, even after a scroll that
  // had not kept it there.
  ScrollFocusIntoView();
  return true;
}

bool TItemListState::Navigate(int key, bool ctrl, bool keypad) {
  const int focus = FFocusIndex;
  const int last = FCount - 1;

  if (keypad) {
    switch (key) {
    case Qt::Key_8:
      if (ctrl)
        ScrollRows(-1);
      else if (focus - FSubcolumns >= 0)
        SetFocusIndex(focus - FSubcolumns);
      return true;
    case Qt::Key_2:
      if (ctrl) {
        ScrollRows(1);
      } else if (int64_t{focus} + FSubcolumns <= last) {
        SetFocusIndex(focus + FSubcolumns);
      } else {
        SetTopIndex(Saturate(int64_t{FTopIndex} + FSubcolumns));
        KeepFocusInView();
      }
      return true;
    case Qt::Key_4:
      if (ctrl) return false;
      if (focus % FSubcolumns != 0) SetFocusIndex(focus - 1);
      return true;
    case Qt::Key_6:
      if (ctrl) return false;
      if (focus % FSubcolumns != FSubcolumns - 1 && focus < last) SetFocusIndex(focus + 1);
      return true;
    default:
      break;
    }
  }

  switch (key) {
  case Qt::Key_Up:
    if (ctrl)
      ScrollRows(-1);
    else if (!Empty())
      SetFocusIndex(std::max(0, focus - 1));
    return true;
  case Qt::Key_Down:
    if (ctrl)
      ScrollRows(1);
    else if (!Empty())
      SetFocusIndex(std::min(focus + 1, last));
    return true;
  case Qt::Key_PageUp:
    if (ctrl) {
      if (!Empty()) SetFocusIndex(FTopIndex);
    } else {
      const int oldTop = FTopIndex;
      SetTopIndex(std::max(0, FTopIndex - VisibleItems()));
      MoveFocusWithTop(oldTop);
    }
    return true;
  case Qt::Key_PageDown:
    if (ctrl) {
      if (!Empty()) SetFocusIndex(LastVisibleIndex());
    } else {
      // SetTopIndex stops at the same maximum top as every other scroll.
      const int oldTop = FTopIndex;
      SetTopIndex(Saturate(int64_t{FTopIndex} + VisibleItems()));
      MoveFocusWithTop(oldTop);
    }
    return true;
  case Qt::Key_Home:
    if (!Empty()) SetFocusIndex(ctrl ? FTopIndex : 0);
    return true;
  case Qt::Key_End:
    if (!Empty()) SetFocusIndex(ctrl ? LastVisibleIndex() : last);
    return true;
  default:
    return false;
  }
}

// ---- Shuffle ---------------------------------------------------------------------

void TItemListState::Shuffle(int rounds, const std::function<void(int, int)>& exchange) {
  if (FCount < 2 || !exchange) return;
  TRandomSource& source = RandomSource ? *RandomSource : Random;
  const auto count = static_cast<uint32_t>(FCount);
  for (int round = 0; round < rounds; ++round)
    for (int i = 0; i < FCount; ++i)
      exchange(i, static_cast<int>(source.NextBelow(count)));
  RepaintAll();
}

// ---- Repaint -----------------------------------------------------------------------

void TItemListState::RepaintItem(int index) {
  if (index < FTopIndex || index > LastPaintIndex()) return;
  if (OnRepaintItems) OnRepaintItems(index, index);
}

void TItemListState::RepaintAll() {
  if (OnRepaintAll) OnRepaintAll();
}

void TItemListState::SetLoading(bool loading) {
  if (FLoading == loading) return;
  FLoading = loading;
  RepaintAll();
}

// ---- Checking ------------------------------------------------------------------------

std::string TItemListState::CheckInvariant(bool focusVisible) const {
  std::ostringstream out;
  if (FCount < 0) out << "count " << FCount << " is negative; ";
  if (FCount == 0 && FFocusIndex != 0) out << "focus " << FFocusIndex << " on an empty list; ";
  if (FCount > 0 && (FFocusIndex < 0 || FFocusIndex >= FCount))
    out << "focus " << FFocusIndex << " outside 0.." << FCount - 1 << "; ";
  if (FTopIndex % FSubcolumns != 0)
    out << "top " << FTopIndex << " not aligned to " << FSubcolumns << " subcolumns; ";
  if (FTopIndex < 0 || FTopIndex > MaxTopIndex())
    out << "top " << FTopIndex << " outside 0.." << MaxTopIndex() << "; ";
  if (focusVisible && FCount > 0 && (FFocusIndex < FTopIndex || FFocusIndex > LastVisibleIndex()))
    out << "focus " << FFocusIndex << " outside the view " << FTopIndex << ".."
        << LastVisibleIndex() << "; ";
  const TScrollBarState expected = ExpectedScrollBar();
  if (!(FScrollBar == expected))
    out << "scroll bar (" << FScrollBar.Visible << ", " << FScrollBar.Maximum << ", "
        << FScrollBar.PageStep << ", " << FScrollBar.Position << ") should be (" << expected.Visible
        << ", " << expected.Maximum << ", " << expected.PageStep << ", " << expected.Position
        << "); ";
  return out.str();
}

} // namespace cv
