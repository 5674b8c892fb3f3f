#pragma once
// The state of a scrolling item list (the list half of `MyTPanel`): focus and
// top indexes, geometry, hit-testing, scrolling, key navigation and the
// scroll bar, without painting and without widgets.
//
// The state holds indexes only. The owner keeps its items (a column keeps
// its `TFileListData` vector, a play-list its texts) and tells the state how
// many there are with `EndUpdate(count)` after every change of its items, so
// a list of 100,000 records is never copied or wrapped. A list with no items
// is `Empty`: `Count()` reads 0, `FocusIndex` and `TopIndex` are 0, and the
// view paints the owner's placeholder as row 0 (`LastPaintIndex`).
//
// Scroll bar arithmetic counts rows: range 0..rows - visible rows, page =
// visible rows, position = top row. It stays exact for any number of rows.
//
// Events are plain callbacks, fired after the state has changed:
//   OnFocusChanged(old)        after every `SetFocusIndex`, also when unchanged
//   OnTopChanged(top)          whenever `TopIndex` changed, and at the end of
//                              a scroll-bar action
//   OnRepaintItems(first,last) these items need painting
//   OnRepaintAll()             every visible item needs painting
//   OnScrollBarChanged(state)  the scroll bar must show `state`
//   OnScrollNotification()     a scroll-bar action ended

#include <QRect>
#include <Qt>

#include <cstdint>
#include <functional>
#include <string>

namespace cv {

class TRandomSource;

// What the view's vertical scroll bar shows. Minimum is always 0.
struct TScrollBarState {
  bool Visible = false;
  int Maximum = 0;
  int PageStep = 1;
  int SingleStep = 1;
  int Position = 0;
  bool operator==(const TScrollBarState&) const = default;
};

class TItemListState {
public:
  static constexpr int DefaultBorderWidth = 5;
  static constexpr int DefaultItemHeight = 15;

  TItemListState();

  // ---- Items -----------------------------------------------------------
  // The owner's items changed; `count` is how many there are now. Keeps the
  // focus and top inside the list, re-lays the scroll bar and repaints.
  void EndUpdate(int count);
  void Clear() { EndUpdate(0); }
  int Count() const { return FCount; }
  bool Empty() const { return FCount == 0; }

  // ---- Geometry (set by the view) ---------------------------------------
  // The control's outer size; a resize re-lays the scroll bar.
  void SetSize(int width, int height);
  void SetScrollBarWidth(int width);
  // A negative width becomes the default 5.
  void SetBorderWidth(int width);
  // At least 1 pixel.
  void SetItemHeight(int height);
  // At least 1 item per row.
  void SetSubcolumns(int subcolumns);

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int ScrollBarWidth() const { return FScrollBarWidth; }
  int BorderWidth() const { return FBorderWidth; }
  int ItemHeight() const { return FItemHeight; }
  int Subcolumns() const { return FSubcolumns; }
  int TopIndex() const { return FTopIndex; }
  int FocusIndex() const { return FFocusIndex; }

  // ---- Derived measures --------------------------------------------------
  // Never below 1, so an item taller than the list still has its row.
  int VisibleRows() const;
  int VisibleItems() const;
  int Rows() const;
  // -1 for an empty list.
  int LastVisibleIndex() const;
  // Last index the view paints: the placeholder row 0 of an empty list.
  int LastPaintIndex() const { return Empty() ? 0 : LastVisibleIndex(); }
  // The largest `TopIndex`: the last row at the bottom of the view.
  int MaxTopIndex() const;
  bool ScrollBarShown() const;
  int ClientWidth() const;
  int ItemWidth() const { return ClientWidth() / FSubcolumns; }
  // Rectangle of an item in control coordinates; a null QRect for an index
  // outside the list.
  QRect ItemRect(int index) const;
  // Index at a point of the inner area (control point minus the border),
  // or -1.
  int ItemAtPoint(int x, int y) const;

  // ---- Top and focus -------------------------------------------------------
  // Aligned to whole rows and clamped to 0..MaxTopIndex.
  void SetTopIndex(int index);
  // Clamped into the list; scrolled into view; fires OnFocusChanged with the
  // old index even when it did not change.
  void SetFocusIndex(int index);
  // Places the focus `offset` items below the top (a stored top offset, so
  // it is clamped into the view). The caller runs its own focus update, so
  // OnFocusChanged does not fire.
  void SetFocusAndOffset(int index, int offset);
  void ScrollFocusIntoView();
  // After scrolling: moves the focus onto the nearest visible item.
  void KeepFocusInView();

  // ---- Input ---------------------------------------------------------------
  // The list's own keys. True when the list used the key, or swallowed a
  // lone Shift, Ctrl or Alt. Modifier sets are compared exactly (Shift,
  // Ctrl, Alt); keypad digits carry Qt::KeypadModifier and differ from the
  // main digits, keypad arrows act like arrows.
  bool KeyDown(int key, Qt::KeyboardModifiers modifiers);
  // Scrolls by whole rows (down for positive), then keeps the focus in view.
  void Wheel(int rows);
  // The view's scroll bar moved to a row (thumb drag, arrows, page clicks).
  void ScrollBarMoved(int position);
  // A scroll-bar action ended (thumb released, click finished).
  void ScrollBarReleased();
  const TScrollBarState& ScrollBar() const { return FScrollBar; }
  // Recomputes the scroll bar from the rows (also keeps top and focus valid).
  void ResetScrollBar();

  // ---- Repaint -------------------------------------------------------------
  // A visible item (the owner changed how it looks), or every visible item.
  void RepaintItem(int index);
  void RepaintAll();
  // The list's content is being read: the view shows a notice over it.
  bool Loading() const { return FLoading; }
  void SetLoading(bool loading);

  // ---- Shuffle -------------------------------------------------------------
  // For each round, exchanges every index with a random index through the
  // owner's `exchange`, drawing from `RandomSource` (the program's `Random`
  // when null).
  void Shuffle(int rounds, const std::function<void(int, int)>& exchange);
  TRandomSource* RandomSource = nullptr;

  // ---- Checking --------------------------------------------------------------
  // Empty when the state is sound: focus inside the list (0 when empty), top
  // aligned to whole rows and within 0..MaxTopIndex, the scroll bar as the
  // rows say, and, with `focusVisible`, the focus inside the view.
  std::string CheckInvariant(bool focusVisible = true) const;

  // ---- Events ----------------------------------------------------------------
  std::function<void(int oldIndex)> OnFocusChanged;
  std::function<void(int topIndex)> OnTopChanged;
  std::function<void(int first, int last)> OnRepaintItems;
  std::function<void()> OnRepaintAll;
  std::function<void(const TScrollBarState&)> OnScrollBarChanged;
  std::function<void()> OnScrollNotification;

private:
  int ClampIndex(int index) const;
  // Stores a measure that sets the rows; re-lays the list when it changed.
  void SetMeasure(int& field, int value);
  TScrollBarState ExpectedScrollBar() const;
  void PublishScrollBar();
  // Scrolls by rows; the focus keeps its place on screen.
  void ScrollRows(int rows);
  void MoveFocusWithTop(int oldTop);
  // The key table; false for a key it does not name.
  bool Navigate(int key, bool ctrl, bool keypad);

  int FCount = 0;
  bool FLoading = false;
  int FWidth = 0;
  int FHeight = 0;
  int FScrollBarWidth = 16;
  int FBorderWidth = DefaultBorderWidth;
  int FItemHeight = DefaultItemHeight;
  int FSubcolumns = 1;
  int FTopIndex = 0;
  int FFocusIndex = 0;
  TScrollBarState FScrollBar;
};

} // namespace cv
