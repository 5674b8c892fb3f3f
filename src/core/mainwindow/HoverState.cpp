#include "mainwindow/HoverState.h"

#include "options/ProgramOptions.h"

#include <cstdlib>

namespace cv {

THoverOptions HoverOptionsOf(const TProgramOptions& options) {
  THoverOptions hover;
  hover.HotTrack = options.HotTrackColumnItems;
  hover.HoverActive = options.FileHoverActive;
  hover.TypeZone = options.ShowFileType || options.SimulateFileType;
  hover.DelayTenths = options.FileHoverDelay;
  hover.Sensitivity = options.FileHoverSensitivity;
  return hover;
}

THoverActions THoverTracker::MouseOverItem(int column, int index, bool inTypeZone) {
  THoverActions actions;
  if (index == -1 || (!Options.HotTrack && !Options.HoverActive)) return actions;
  const THotItem item{column, index};
  if (item != Hot) {
    if (!Hot.None()) actions.Unhot = Hot;
    Hot = item;
    actions.Hot = item;
    Stopwatch.Start();
  } else if (!inTypeZone) {
    Stopwatch.Start();
  }
  return actions;
}

THoverActions THoverTracker::MouseMove(const THotItem& over, QPoint mouse) {
  if (!WindowShown) return {};
  if (over != Hovered) {
    THoverActions actions = Close();
    Hovered = {};
    return actions;
  }
  const QPoint moved = mouse - OpenPosition;
  if (std::abs(moved.x()) > Options.Sensitivity || std::abs(moved.y()) > Options.Sensitivity)
    return Close();
  return {};
}

THoverActions THoverTracker::Tick(const THoverTickFacts& facts) {
  THoverActions actions;
  if (!facts.ItemUnderMouse) {
    actions = Close();
    Hovered = {};
  }
  if (Hot.None() || (!Options.HotTrack && !Options.HoverActive)) return actions;
  if (!facts.ItemUnderMouse) {
    actions.Unhot = Hot;
    Hot = {};
    return actions;
  }
  if (!Options.HoverActive || !Options.TypeZone) return actions;
  const bool due = Stopwatch.Elapsed() >= Options.DelayTenths / 10.0;
  if (Hot != Hovered && !WindowShown && !facts.ButtonDown && due && facts.WindowActive &&
      facts.InTypeZone) {
    Hovered = Hot;
    OpenPosition = facts.Mouse;
    WindowShown = true;
    actions.Open = true;
  }
  return actions;
}

THoverActions THoverTracker::Close() {
  THoverActions actions;
  actions.Close = WindowShown;
  WindowShown = false;
  Hovered = Hot;
  return actions;
}

} // namespace cv
