#include "columns/ItemListState.h"
#include "foundation/Random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace cv {
namespace {

constexpr int Border = 5;
constexpr int RowHeight = 15;

// A list of `count` items showing `visibleRows` rows of `subcolumns` items.
void Shape(TItemListState& list, int count, int subcolumns, int visibleRows, int width = 300) {
  list.SetItemHeight(RowHeight);
  list.SetBorderWidth(Border);
  list.SetSubcolumns(subcolumns);
  list.SetSize(width, 2 * Border + visibleRows * RowHeight);
  list.EndUpdate(count);
}

// Records what the list asks of its view.
struct TEvents {
  explicit TEvents(TItemListState& list) {
    list.OnFocusChanged = [this](int old) { FocusChanges.push_back(old); };
    list.OnTopChanged = [this](int top) { Tops.push_back(top); };
    list.OnRepaintItems = [this](int first, int last) { Items.push_back({first, last}); };
    list.OnRepaintAll = [this] { ++All; };
    list.OnScrollBarChanged = [this](const TScrollBarState& bar) { Bars.push_back(bar); };
    list.OnScrollNotification = [this] { ++Notifications; };
  }
  void Clear() { *this = TEvents(); }
  std::vector<int> FocusChanges;
  std::vector<int> Tops;
  std::vector<std::pair<int, int>> Items;
  int All = 0;
  std::vector<TScrollBarState> Bars;
  int Notifications = 0;

private:
  TEvents() = default;
};

TEST(ItemListState, MeasuresTable) {
  struct TCase {
    const char* Name;
    int Width, Height, BorderWidth, ItemHeight, Subcolumns, Count;
    int VisibleRows, VisibleItems, Rows, LastVisible, MaxTop, ClientWidth;
  };
  const TCase cases[] = {
      {"fits", 300, 160, 5, 15, 1, 7, 10, 10, 7, 6, 0, 290},
      {"scrolls", 300, 160, 5, 15, 1, 100, 10, 10, 100, 9, 90, 290 - 18},
      {"partial row is not visible", 300, 170, 5, 15, 1, 100, 10, 10, 100, 9, 90, 272},
      {"subcolumns round rows up", 300, 40, 5, 15, 3, 7, 2, 6, 3, 5, 3, 272},
      {"item taller than the list", 300, 20, 5, 40, 1, 3, 1, 1, 3, 0, 2, 272},
      {"no height at all", 0, 0, 5, 15, 2, 5, 1, 2, 3, 1, 4, 0},
      {"negative border is 5", 300, 160, -1, 15, 1, 0, 10, 10, 0, -1, 0, 290},
      {"empty", 300, 160, 5, 15, 4, 0, 10, 40, 0, -1, 0, 290},
      {"zero item height is 1", 100, 12, 1, 0, 1, 50, 10, 10, 50, 9, 40, 80},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TItemListState list;
    list.SetScrollBarWidth(16);
    list.SetBorderWidth(1);
    list.SetBorderWidth(c.BorderWidth);
    list.SetItemHeight(c.ItemHeight);
    list.SetSubcolumns(c.Subcolumns);
    list.SetSize(c.Width, c.Height);
    list.EndUpdate(c.Count);
    EXPECT_EQ(list.VisibleRows(), c.VisibleRows);
    EXPECT_EQ(list.VisibleItems(), c.VisibleItems);
    EXPECT_EQ(list.Rows(), c.Rows);
    EXPECT_EQ(list.LastVisibleIndex(), c.LastVisible);
    EXPECT_EQ(list.MaxTopIndex(), c.MaxTop);
    EXPECT_EQ(list.ClientWidth(), c.ClientWidth);
    EXPECT_EQ(list.CheckInvariant(), "");
  }
}

TEST(ItemListState, ItemRectAndItemAtPoint) {
  TItemListState list;
  list.SetScrollBarWidth(16);
  // 3 subcolumns, 2 visible rows, 10 items: the scroll bar shows, so the
  // client width is 320 - 10 - 18 = 292 and an item is 97 wide.
  Shape(list, 10, 3, 2, 320);
  list.SetTopIndex(3);
  ASSERT_EQ(list.TopIndex(), 3);
  ASSERT_EQ(list.ItemWidth(), 97);

  EXPECT_EQ(list.ItemRect(3), QRect(5, 5, 97, 15));
  EXPECT_EQ(list.ItemRect(5), QRect(5 + 2 * 97, 5, 97, 15));
  EXPECT_EQ(list.ItemRect(7), QRect(5 + 97, 20, 97, 15));
  EXPECT_EQ(list.ItemRect(2), QRect(5 + 2 * 97, 5 - 15, 97, 15)) << "the row above the view";
  EXPECT_TRUE(list.ItemRect(-1).isNull());
  EXPECT_TRUE(list.ItemRect(10).isNull());

  struct TPoint {
    int X, Y, Index;
  };
  const TPoint points[] = {
      {0, 0, 3},   {96, 14, 3},  {97, 0, 4},  {290, 29, 8}, {-1, 0, -1},
      {0, -1, -1}, {291, 0, -1}, {0, 30, -1}, {97, 15, 7},  {194, 15, 8}, // last visible
  };
  for (const TPoint& p : points)
    EXPECT_EQ(list.ItemAtPoint(p.X, p.Y), p.Index) << p.X << "," << p.Y;

  // Past the last item of a short last row.
  list.SetTopIndex(6);
  EXPECT_EQ(list.ItemAtPoint(97, 15), -1);
  EXPECT_EQ(list.ItemAtPoint(0, 15), 9);

  // A million rows of a tall stored height lie below the view, never above.
  TItemListState tall;
  tall.SetBorderWidth(0);
  tall.SetItemHeight(1 << 20);
  tall.SetSize(300, 3 << 20);
  tall.EndUpdate(1000000);
  EXPECT_EQ(tall.ItemRect(999999).y(), INT_MAX - (1 << 20));
  EXPECT_EQ(tall.ItemRect(999999).bottom(), INT_MAX - 1);
  EXPECT_EQ(tall.ItemRect(2).y(), (2 << 20));
}

TEST(ItemListState, SetTopIndexAlignsAndClamps) {
  struct TCase {
    int Count, Subcolumns, VisibleRows, Index, Top;
  };
  const TCase cases[] = {
      {100, 1, 10, 5, 5}, {100, 1, 10, 95, 90}, {100, 1, 10, -4, 0}, {100, 1, 10, 1000, 90},
      {100, 3, 10, 7, 6}, {100, 3, 10, 80, 72}, {7, 1, 10, 3, 0},    {0, 1, 10, 3, 0},
      {11, 1, 10, 1, 1},  {11, 1, 10, 2, 1},    {7, 3, 1, 5, 3},     {7, 3, 1, 6, 6},
  };
  for (const TCase& c : cases) {
    TItemListState list;
    Shape(list, c.Count, c.Subcolumns, c.VisibleRows);
    list.SetTopIndex(c.Index);
    EXPECT_EQ(list.TopIndex(), c.Top) << c.Count << " items, " << c.Subcolumns << " subcolumns, "
                                      << c.VisibleRows << " rows, top " << c.Index;
    EXPECT_EQ(list.CheckInvariant(false), "");
  }
}

TEST(ItemListState, SetFocusIndexClampsScrollsAndAlwaysNotifies) {
  TItemListState list;
  Shape(list, 100, 1, 10);
  TEvents events(list);

  list.SetFocusIndex(3);
  EXPECT_EQ(list.FocusIndex(), 3);
  list.SetFocusIndex(3);
  EXPECT_EQ(events.FocusChanges, (std::vector<int>{0, 3})) << "fires even when unchanged";
  EXPECT_EQ(events.Items, (std::vector<std::pair<int, int>>{{0, 0}, {3, 3}, {3, 3}}));
  EXPECT_TRUE(events.Tops.empty());

  list.SetFocusIndex(500);
  EXPECT_EQ(list.FocusIndex(), 99);
  EXPECT_EQ(list.TopIndex(), 90);
  EXPECT_EQ(events.Tops.back(), 90);
  list.SetFocusIndex(-7);
  EXPECT_EQ(list.FocusIndex(), 0);
  EXPECT_EQ(list.TopIndex(), 0);
  list.SetFocusIndex(25);
  EXPECT_EQ(list.TopIndex(), 16) << "the focus lands on the last visible row";
  EXPECT_EQ(list.ScrollBar().Position, 16);
  EXPECT_EQ(list.CheckInvariant(), "");
}

TEST(ItemListState, RepaintAllFiresWhenTheViewChangesAndOnlyThen) {
  struct TCase {
    const char* Name;
    std::function<void(TItemListState&)> Action;
    bool Fires;
  };
  const auto swap = [](int, int) {};
  const TCase cases[] = {
      {"new items", [](TItemListState& l) { l.EndUpdate(50); }, true},
      {"items changed, same count", [](TItemListState& l) { l.EndUpdate(100); }, true},
      {"resize", [](TItemListState& l) { l.SetSize(300, 100); }, true},
      {"same size", [](TItemListState& l) { l.SetSize(l.Width(), l.Height()); }, false},
      {"scroll bar width", [](TItemListState& l) { l.SetScrollBarWidth(20); }, true},
      {"same scroll bar width", [](TItemListState& l) { l.SetScrollBarWidth(16); }, false},
      {"item height", [](TItemListState& l) { l.SetItemHeight(20); }, true},
      {"same item height", [](TItemListState& l) { l.SetItemHeight(RowHeight); }, false},
      {"border width", [](TItemListState& l) { l.SetBorderWidth(2); }, true},
      {"same border width", [](TItemListState& l) { l.SetBorderWidth(Border); }, false},
      {"subcolumns", [](TItemListState& l) { l.SetSubcolumns(2); }, true},
      {"same subcolumns", [](TItemListState& l) { l.SetSubcolumns(1); }, false},
      {"scroll", [](TItemListState& l) { l.SetTopIndex(30); }, true},
      {"same top", [](TItemListState& l) { l.SetTopIndex(0); }, false},
      {"focus in view", [](TItemListState& l) { l.SetFocusIndex(3); }, false},
      {"focus scrolls", [](TItemListState& l) { l.SetFocusIndex(50); }, true},
      {"key in view", [](TItemListState& l) { l.KeyDown(Qt::Key_Down, Qt::NoModifier); }, false},
      {"page down", [](TItemListState& l) { l.KeyDown(Qt::Key_PageDown, Qt::NoModifier); }, true},
      {"wheel down", [](TItemListState& l) { l.Wheel(1); }, true},
      {"wheel up at the top", [](TItemListState& l) { l.Wheel(-1); }, false},
      {"thumb moved", [](TItemListState& l) { l.ScrollBarMoved(5); }, true},
      {"thumb kept", [](TItemListState& l) { l.ScrollBarMoved(0); }, false},
      {"focus and offset", [](TItemListState& l) { l.SetFocusAndOffset(3, 3); }, true},
      {"shuffle", [&](TItemListState& l) { l.Shuffle(1, swap); }, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TItemListState list;
    list.SetScrollBarWidth(16);
    Shape(list, 100, 1, 10);
    TScriptedRandom script({12345});
    list.RandomSource = &script;
    TEvents events(list);
    c.Action(list);
    EXPECT_EQ(events.All > 0, c.Fires);
  }
}

TEST(ItemListState, EmptyListClampsToZero) {
  TItemListState list;
  Shape(list, 0, 1, 10);
  TEvents events(list);
  list.SetFocusIndex(7);
  EXPECT_EQ(list.FocusIndex(), 0);
  list.SetFocusAndOffset(-3, 4);
  EXPECT_EQ(list.FocusIndex(), 0);
  EXPECT_EQ(list.TopIndex(), 0);
  EXPECT_EQ(list.LastVisibleIndex(), -1);
  EXPECT_EQ(list.LastPaintIndex(), 0) << "the placeholder row is painted";
  EXPECT_FALSE(list.ItemRect(0).isNull());
  EXPECT_TRUE(list.ItemRect(1).isNull());
  EXPECT_EQ(list.ItemAtPoint(0, 0), -1);

  for (int key :
       {Qt::Key_Down, Qt::Key_Up, Qt::Key_End, Qt::Key_Home, Qt::Key_PageDown, Qt::Key_PageUp}) {
    list.KeyDown(key, Qt::NoModifier);
    list.KeyDown(key, Qt::ControlModifier);
  }
  for (int key : {Qt::Key_2, Qt::Key_4, Qt::Key_6, Qt::Key_8})
    list.KeyDown(key, Qt::KeypadModifier);
  list.Wheel(1);
  list.ScrollBarMoved(5);
  list.ScrollBarReleased();
  EXPECT_EQ(list.FocusIndex(), 0);
  EXPECT_EQ(list.TopIndex(), 0);
  EXPECT_EQ(list.CheckInvariant(), "");
}

TEST(ItemListState, ShrinkingTheListKeepsFocusAndTopInside) {
  TItemListState list;
  Shape(list, 1000, 1, 10);
  list.SetFocusIndex(900);
  list.EndUpdate(50);
  EXPECT_EQ(list.FocusIndex(), 49);
  EXPECT_EQ(list.TopIndex(), 40);
  EXPECT_EQ(list.CheckInvariant(), "");
  list.EndUpdate(0);
  EXPECT_EQ(list.FocusIndex(), 0);
  EXPECT_EQ(list.TopIndex(), 0);
  EXPECT_FALSE(list.ScrollBar().Visible);
  EXPECT_EQ(list.CheckInvariant(), "");
}

TEST(ItemListState, GrowingTheViewHidesTheScrollBarAndResetsTheTop) {
  TItemListState list;
  Shape(list, 30, 1, 10);
  list.SetFocusIndex(29);
  ASSERT_EQ(list.TopIndex(), 20);
  ASSERT_TRUE(list.ScrollBar().Visible);
  TEvents events(list);

  list.SetSize(300, 2 * Border + 25 * RowHeight);
  EXPECT_EQ(list.TopIndex(), 5) << "a taller view leaves no empty rows at the bottom";
  list.SetSize(300, 2 * Border + 40 * RowHeight);
  EXPECT_EQ(list.TopIndex(), 0);
  EXPECT_FALSE(list.ScrollBar().Visible);
  ASSERT_FALSE(events.Bars.empty());
  EXPECT_FALSE(events.Bars.back().Visible);
  EXPECT_EQ(list.CheckInvariant(), "");

  // And back: a small view scrolls the focus into view.
  list.SetSize(300, 2 * Border + 4 * RowHeight);
  EXPECT_EQ(list.TopIndex(), 26);
  EXPECT_EQ(list.CheckInvariant(), "");
}

TEST(ItemListState, SetFocusAndOffsetClampsStoredOffsets) {
  struct TCase {
    const char* Name;
    int Count, Subcolumns, VisibleRows, Index, Offset, Focus, Top;
  };
  const TCase cases[] = {
      {"offset kept", 100, 1, 10, 50, 4, 50, 46},
      {"offset zero", 100, 1, 10, 50, 0, 50, 50},
      {"offset of the last row", 100, 1, 10, 50, 9, 50, 41},
      {"offset past the view", 100, 1, 10, 50, 25, 50, 41},
      {"negative offset", 100, 1, 10, 50, -30, 50, 50},
      {"offset above the start", 100, 1, 10, 3, 8, 3, 0},
      {"near the end", 100, 1, 10, 98, 0, 98, 90},
      {"index clamped", 100, 1, 10, 1000, 2, 99, 90},
      {"index below zero", 100, 1, 10, -5, 2, 0, 0},
      {"subcolumns align down", 100, 3, 2, 7, 5, 7, 3},
      {"subcolumns past the view", 100, 3, 2, 50, 6, 50, 45},
      {"huge offset", 100, 1, 10, 50, 2147483647, 50, 41},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TItemListState list;
    Shape(list, c.Count, c.Subcolumns, c.VisibleRows);
    TEvents events(list);
    list.SetFocusAndOffset(c.Index, c.Offset);
    EXPECT_EQ(list.FocusIndex(), c.Focus);
    EXPECT_EQ(list.TopIndex(), c.Top);
    EXPECT_EQ(list.CheckInvariant(), "");
    EXPECT_TRUE(events.FocusChanges.empty()) << "the caller runs its own focus update";
  }
}

TEST(ItemListState, KeyTable) {
  const Qt::KeyboardModifiers none = Qt::NoModifier;
  const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
  const Qt::KeyboardModifiers pad = Qt::KeypadModifier;
  struct TCase {
    const char* Name;
    int Count, Subcolumns, VisibleRows, Focus, Top;
    int Key;
    Qt::KeyboardModifiers Modifiers;
    bool Handled;
    int NewFocus, NewTop;
  };
  const TCase cases[] = {
      {"up", 100, 1, 10, 5, 0, Qt::Key_Up, none, true, 4, 0},
      {"up at the first item", 100, 1, 10, 0, 0, Qt::Key_Up, none, true, 0, 0},
      {"up scrolls", 100, 1, 10, 20, 20, Qt::Key_Up, none, true, 19, 19},
      {"keypad up with num lock off", 100, 1, 10, 5, 0, Qt::Key_Up, pad, true, 4, 0},
      {"down", 100, 1, 10, 5, 0, Qt::Key_Down, none, true, 6, 0},
      {"down scrolls", 100, 1, 10, 9, 0, Qt::Key_Down, none, true, 10, 1},
      {"down on the last item", 100, 1, 10, 99, 90, Qt::Key_Down, none, true, 99, 90},
      {"ctrl up", 100, 1, 10, 25, 20, Qt::Key_Up, ctrl, true, 24, 19},
      {"ctrl up at the top", 100, 1, 10, 5, 0, Qt::Key_Up, ctrl, true, 5, 0},
      {"ctrl down", 100, 1, 10, 25, 20, Qt::Key_Down, ctrl, true, 26, 21},
      {"ctrl down at the end", 100, 1, 10, 95, 90, Qt::Key_Down, ctrl, true, 95, 90},
      {"ctrl down clamps to the last item", 7, 3, 2, 5, 0, Qt::Key_Down, ctrl, true, 6, 3},
      {"page up", 100, 1, 10, 35, 30, Qt::Key_PageUp, none, true, 25, 20},
      {"page up near the start", 100, 1, 10, 8, 3, Qt::Key_PageUp, none, true, 5, 0},
      {"page up at the start", 100, 1, 10, 4, 0, Qt::Key_PageUp, none, true, 4, 0},
      {"page down", 100, 1, 10, 35, 30, Qt::Key_PageDown, none, true, 45, 40},
      {"page down near the end", 100, 1, 10, 87, 85, Qt::Key_PageDown, none, true, 92, 90},
      {"page down at the end", 100, 1, 10, 93, 90, Qt::Key_PageDown, none, true, 93, 90},
      {"page down, subcolumns, to the max top", 100, 3, 10, 61, 60, Qt::Key_PageDown, none, true,
       73, 72},
      {"page down, subcolumns, past count - page", 100, 3, 10, 46, 45, Qt::Key_PageDown, none, true,
       73, 72},
      {"ctrl page up", 100, 1, 10, 35, 30, Qt::Key_PageUp, ctrl, true, 30, 30},
      {"ctrl page down", 100, 1, 10, 35, 30, Qt::Key_PageDown, ctrl, true, 39, 30},
      {"home", 100, 1, 10, 35, 30, Qt::Key_Home, none, true, 0, 0},
      {"ctrl home", 100, 1, 10, 35, 30, Qt::Key_Home, ctrl, true, 30, 30},
      {"end", 100, 1, 10, 35, 30, Qt::Key_End, none, true, 99, 90},
      {"ctrl end", 100, 1, 10, 35, 30, Qt::Key_End, ctrl, true, 39, 30},
      {"ctrl end on a short list", 5, 1, 10, 1, 0, Qt::Key_End, ctrl, true, 4, 0},
      // 3 subcolumns, 7 items: rows [0 1 2] [3 4 5] [6].
      {"pad 6 moves right", 7, 3, 10, 0, 0, Qt::Key_6, pad, true, 1, 0},
      {"pad 6 stops at the row end", 7, 3, 10, 2, 0, Qt::Key_6, pad, true, 2, 0},
      {"pad 6 stops at the last item", 7, 3, 10, 6, 0, Qt::Key_6, pad, true, 6, 0},
      {"pad 4 moves left", 7, 3, 10, 5, 0, Qt::Key_4, pad, true, 4, 0},
      {"pad 4 stops at the row start", 7, 3, 10, 3, 0, Qt::Key_4, pad, true, 3, 0},
      {"pad 2 moves down a row", 7, 3, 10, 1, 0, Qt::Key_2, pad, true, 4, 0},
      {"pad 2 past the last item scrolls instead", 7, 3, 10, 5, 0, Qt::Key_2, pad, true, 5, 0},
      {"pad 2 scrolls a short view", 7, 3, 1, 4, 3, Qt::Key_2, pad, true, 6, 6},
      {"pad 8 moves up a row", 7, 3, 10, 4, 0, Qt::Key_8, pad, true, 1, 0},
      {"pad 8 stays in the first row", 7, 3, 10, 1, 0, Qt::Key_8, pad, true, 1, 0},
      {"ctrl pad 8 is ctrl up", 100, 1, 10, 25, 20, Qt::Key_8, ctrl | pad, true, 24, 19},
      {"ctrl pad 2 is ctrl down", 100, 1, 10, 25, 20, Qt::Key_2, ctrl | pad, true, 26, 21},
      {"ctrl pad 4 is not the list's", 7, 3, 10, 5, 0, Qt::Key_4, ctrl | pad, false, 5, 0},
      {"main 8 is not pad 8", 7, 3, 10, 4, 0, Qt::Key_8, none, false, 4, 0},
      {"shift down is not the list's", 100, 1, 10, 5, 0, Qt::Key_Down, Qt::ShiftModifier, false, 5,
       0},
      {"ctrl shift end is not ctrl end", 100, 1, 10, 5, 0, Qt::Key_End, ctrl | Qt::ShiftModifier,
       false, 5, 0},
      {"alt home", 100, 1, 10, 35, 30, Qt::Key_Home, Qt::AltModifier, false, 35, 30},
      {"lone shift is swallowed", 100, 1, 10, 5, 0, Qt::Key_Shift, Qt::ShiftModifier, true, 5, 0},
      {"lone ctrl is swallowed", 100, 1, 10, 5, 0, Qt::Key_Control, ctrl, true, 5, 0},
      {"lone alt is swallowed", 100, 1, 10, 5, 0, Qt::Key_Alt, Qt::AltModifier, true, 5, 0},
      {"a letter is the owner's", 100, 1, 10, 5, 0, Qt::Key_A, none, false, 5, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TItemListState list;
    Shape(list, c.Count, c.Subcolumns, c.VisibleRows);
    list.SetFocusAndOffset(c.Focus, c.Focus - c.Top);
    ASSERT_EQ(list.FocusIndex(), c.Focus);
    ASSERT_EQ(list.TopIndex(), c.Top);
    EXPECT_EQ(list.KeyDown(c.Key, c.Modifiers), c.Handled);
    EXPECT_EQ(list.FocusIndex(), c.NewFocus);
    EXPECT_EQ(list.TopIndex(), c.NewTop);
    EXPECT_EQ(list.CheckInvariant(), "");
  }
}

TEST(ItemListState, WheelScrollsAndKeepsTheFocusInView) {
  TItemListState list;
  Shape(list, 100, 2, 5);
  list.SetFocusIndex(0);
  TEvents events(list);
  list.Wheel(1);
  EXPECT_EQ(list.TopIndex(), 2);
  EXPECT_EQ(list.FocusIndex(), 2);
  EXPECT_EQ(events.FocusChanges, std::vector<int>{0});
  EXPECT_EQ(events.Tops, std::vector<int>{2});
  list.Wheel(-1);
  list.Wheel(-1);
  EXPECT_EQ(list.TopIndex(), 0);
  EXPECT_EQ(list.FocusIndex(), 2);
  list.SetFocusIndex(99);
  list.Wheel(1);
  EXPECT_EQ(list.TopIndex(), 90) << "no scrolling past the last row";
  list.Wheel(-1);
  EXPECT_EQ(list.TopIndex(), 88);
  EXPECT_EQ(list.FocusIndex(), 97);
  EXPECT_EQ(list.CheckInvariant(), "");
}

TEST(ItemListState, ScrollBarCountsRowsFor200000Rows) {
  TItemListState list;
  Shape(list, 200000, 1, 37);
  TEvents events(list);
  TScrollBarState bar = list.ScrollBar();
  EXPECT_TRUE(bar.Visible);
  EXPECT_EQ(bar.Maximum, 200000 - 37);
  EXPECT_EQ(bar.PageStep, 37);
  EXPECT_EQ(bar.SingleStep, 1);
  EXPECT_EQ(bar.Position, 0);

  // Every thumb position reaches its own row, the last one included.
  for (int position : {1, 99999, 100000, 100001, 150000, 199962, 199963}) {
    list.ScrollBarMoved(position);
    EXPECT_EQ(list.TopIndex(), position);
    EXPECT_EQ(list.ScrollBar().Position, position);
    EXPECT_EQ(events.Bars.back().Position, position);
  }
  list.ScrollBarMoved(500000);
  EXPECT_EQ(list.TopIndex(), 200000 - 37);
  EXPECT_EQ(list.CheckInvariant(false), "");
  EXPECT_NE(list.CheckInvariant(true), "") << "the focus was left at the top while dragging";

  events.Clear();
  list.ScrollBarReleased();
  EXPECT_EQ(list.FocusIndex(), 200000 - 37);
  EXPECT_EQ(events.Tops, std::vector<int>{200000 - 37});
  EXPECT_EQ(events.Notifications, 1);
  EXPECT_EQ(list.CheckInvariant(), "");

  list.KeyDown(Qt::Key_End, Qt::NoModifier);
  EXPECT_EQ(list.FocusIndex(), 199999);
  list.KeyDown(Qt::Key_PageUp, Qt::NoModifier);
  EXPECT_EQ(list.TopIndex(), 200000 - 74);
  EXPECT_EQ(list.FocusIndex(), 199999 - 37);
  EXPECT_EQ(list.ScrollBar().Position, 200000 - 74);
  EXPECT_EQ(list.CheckInvariant(), "");
}

TEST(ItemListState, ScrollBarWithSubcolumnsCountsRows) {
  TItemListState list;
  Shape(list, 1000001, 3, 10);
  EXPECT_EQ(list.Rows(), 333334);
  EXPECT_EQ(list.ScrollBar().Maximum, 333324);
  list.ScrollBarMoved(333324);
  EXPECT_EQ(list.TopIndex(), 999972);
  EXPECT_EQ(list.LastVisibleIndex(), 1000000);
  list.ScrollBarReleased();
  EXPECT_EQ(list.FocusIndex(), 999972);
  list.SetSubcolumns(4);
  EXPECT_EQ(list.TopIndex() % 4, 0);
  EXPECT_EQ(list.CheckInvariant(), "");
}

TEST(ItemListState, ShuffleExchangesEveryIndexWithTheScriptedOne) {
  TItemListState list;
  Shape(list, 4, 1, 10);
  TScriptedRandom script({3, 3, 0, 1, 2, 2, 2, 7});
  list.RandomSource = &script;
  std::vector<std::string> items = {"a", "b", "c", "d"};
  std::vector<std::pair<int, int>> exchanges;
  list.Shuffle(2, [&](int i, int j) {
    exchanges.push_back({i, j});
    std::swap(items[static_cast<size_t>(i)], items[static_cast<size_t>(j)]);
  });
  EXPECT_EQ(exchanges, (std::vector<std::pair<int, int>>{
                           {0, 3}, {1, 3}, {2, 0}, {3, 1}, {0, 2}, {1, 2}, {2, 2}, {3, 3}}));
  // abcd -> dbca -> dacb -> cadb -> cbda; then dbca -> dcba -> dcba -> dcba.
  EXPECT_EQ(items, (std::vector<std::string>{"d", "c", "b", "a"}));

  // A list of one item draws nothing.
  list.EndUpdate(1);
  list.Shuffle(5, [&](int, int) { ADD_FAILURE() << "exchange on a single item"; });
  EXPECT_EQ(script.Drawn, 8u);
}

class TSeededRandom : public TRandomSource {
public:
  explicit TSeededRandom(unsigned seed) : Generator(seed) {}
  uint32_t Next() override { return static_cast<uint32_t>(Generator()); }

private:
  std::mt19937 Generator;
};

// Runs a seeded random walk through every operation and checks the
// invariant after each step. The seed and step are in every failure.
TEST(ItemListState, RandomOperationsKeepTheInvariant) {
  const int keys[] = {Qt::Key_Up,   Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown,
                      Qt::Key_Home, Qt::Key_End,  Qt::Key_2,      Qt::Key_4,
                      Qt::Key_6,    Qt::Key_8,    Qt::Key_A,      Qt::Key_Shift};
  const Qt::KeyboardModifiers modifierSets[] = {
      Qt::NoModifier, Qt::ControlModifier, Qt::KeypadModifier,
      Qt::ControlModifier | Qt::KeypadModifier, Qt::ShiftModifier};
  const int counts[] = {0, 1, 2, 7, 50, 1000, 200000};

  for (unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
    std::mt19937 random(seed);
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto between = [&](int low, int high) { return low + below(high - low + 1); };

    TItemListState list;
    int lastTopEvent = list.TopIndex();
    TScrollBarState lastBar = list.ScrollBar();
    list.OnTopChanged = [&](int top) { lastTopEvent = top; };
    list.OnScrollBarChanged = [&](const TScrollBarState& bar) { lastBar = bar; };
    TSeededRandom shuffleSource(seed);
    list.RandomSource = &shuffleSource;
    bool focusMayBeHidden = false;

    for (int step = 0; step < 4000; ++step) {
      const int operation = below(16);
      const int count = list.Count();
      bool hides = false, shows = true;
      switch (operation) {
      case 0:
        list.EndUpdate(below(3) == 0 ? below(300) : counts[below(7)]);
        break;
      case 1:
      case 2:
      case 3:
      case 4: {
        // A geometry change re-lays the list; setting the same value is no
        // change at all.
        const auto geometry = [&] {
          return std::vector<int>{list.Width(), list.Height(), list.ItemHeight(), list.Subcolumns(),
                                  list.BorderWidth()};
        };
        const std::vector<int> before = geometry();
        if (operation == 1) list.SetSize(between(0, 800), between(0, 2000));
        if (operation == 2) list.SetItemHeight(between(-3, 90));
        if (operation == 3) list.SetSubcolumns(between(-1, 7));
        if (operation == 4) list.SetBorderWidth(between(-3, 30));
        shows = geometry() != before;
        break;
      }
      case 5:
        list.SetTopIndex(between(-10, count + 10));
        hides = true;
        break;
      case 6:
        list.ScrollBarMoved(between(-2, list.ScrollBar().Maximum + 2));
        hides = true;
        break;
      case 7:
        list.ScrollBarReleased();
        break;
      case 8: {
        const int index = between(-5, count + 5);
        list.SetFocusIndex(index);
        ASSERT_EQ(list.FocusIndex(), count == 0 ? 0 : std::clamp(index, 0, count - 1));
        break;
      }
      case 9:
        list.SetFocusAndOffset(between(-5, count + 5), between(-50, 300));
        break;
      case 10:
      case 11:
      case 12: {
        const int key = keys[below(12)];
        const bool handled = list.KeyDown(key, modifierSets[below(5)]);
        shows = handled && key != Qt::Key_Shift;
        break;
      }
      case 13:
        below(2) ? list.Wheel(1) : list.Wheel(-1);
        break;
      case 14:
        list.SetScrollBarWidth(between(0, 30));
        shows = false;
        break;
      default:
        list.Shuffle(1, [](int, int) {});
        shows = false;
        break;
      }
      if (hides)
        focusMayBeHidden = true;
      else if (shows)
        focusMayBeHidden = false;
      ASSERT_EQ(list.CheckInvariant(!focusMayBeHidden), "")
          << "seed " << seed << ", step " << step << ", operation " << operation;
      ASSERT_EQ(lastTopEvent, list.TopIndex()) << "seed " << seed << ", step " << step;
      ASSERT_EQ(lastBar, list.ScrollBar()) << "seed " << seed << ", step " << step;
    }
  }
}

} // namespace
} // namespace cv
