#pragma once
// The hot item under the mouse and when the file hover window opens and
// closes for it. The window feeds events in and carries out the answers
// (repaints, opening, closing); the timing runs on an injected clock.

#include "foundation/MyTime.h"

#include <QPoint>

#include <optional>

namespace cv {

class TProgramOptions;

// A column's item; none when either index is negative.
struct THotItem {
  int Column = -1;
  int Index = -1;
  bool None() const { return Column < 0 || Index < 0; }
  bool operator==(const THotItem&) const = default;
};

struct THoverOptions {
  bool HotTrack = false;    // HotTrackColumnItems
  bool HoverActive = false; // the hover window's "Active"
  bool TypeZone = false;    // items have a type zone: ShowFileType or SimulateFileType
  int DelayTenths = 10;     // tenths of a second over the type zone before opening
  int Sensitivity = 5;      // pixels the mouse may stray before the window closes
};

THoverOptions HoverOptionsOf(const TProgramOptions& options);

// What the window does after an event, in this order: close, repaint, open.
struct THoverActions {
  bool Close = false;            // stop the preview and hide the hover window
  std::optional<THotItem> Unhot; // repaint as not hot
  std::optional<THotItem> Hot;   // repaint as hot
  bool Open = false;             // open the hover window for HotItem() at OpenedAt()
  bool operator==(const THoverActions&) const = default;
};

// Facts the main timer gathers at each tick.
struct THoverTickFacts {
  bool ItemUnderMouse = false; // the hot column reports an item under the mouse
  bool InTypeZone = false;     // the mouse lies in the hot item's type zone
  bool ButtonDown = false;
  bool WindowActive = true;
  QPoint Mouse;
};

class THoverTracker {
public:
  explicit THoverTracker(TSecondsClock clock = &SecondsNow) : Stopwatch(clock) {}

  THoverOptions Options;

  const THotItem& HotItem() const { return Hot; }
  const THotItem& HoveredItem() const { return Hovered; }
  bool Shown() const { return WindowShown; }
  QPoint OpenedAt() const { return OpenPosition; }

  // A column reports `index` under the mouse as it moves (-1: none).
  THoverActions MouseOverItem(int column, int index, bool inTypeZone);
  // A mouse move while the hover window may be shown; `over` is the item
  // under the mouse, none when there is no item.
  THoverActions MouseMove(const THotItem& over, QPoint mouse);
  // The main timer's check.
  THoverActions Tick(const THoverTickFacts& facts);
  // Closing for any reason (a key, a menu, deactivation): the hovered item
  // becomes the hot one, so the window does not open again before the
  // mouse has left it.
  THoverActions Close();

private:
  THotItem Hot;
  THotItem Hovered;
  bool WindowShown = false;
  QPoint OpenPosition;
  TCrono Stopwatch;
};

} // namespace cv
