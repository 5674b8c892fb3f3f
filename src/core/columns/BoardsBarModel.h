#pragma once
// What the boards bar shows and remembers without widgets: the button
// captions and hints, the directories a board's menu lists, and the dwell
// that switches boards while a column is dragged over a board button.

#include "foundation/MyTime.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cv {

struct TBoardData;

// "Name (n)", or "n" for a board without a name; n counts from 1.
std::string BoardButtonCaption(int index, const std::string& name);
// The hint of the button of board `index` (0 to 29); boards 1 to 10 also
// name their number key.
std::string BoardButtonHint(int index);

// A directory the "Go to board directory" menu lists, with what a click
// loads into the active column.
struct TBoardDirectory {
  int Column = 0;
  std::string Directory;
  std::string Title;
  int Type = 0;
  int64_t Key = 0;
  int TopOffset = 0;

  bool operator==(const TBoardDirectory&) const = default;
};

// The board's columns, in order, whose stored title lies in a directory
// (partition lists and titles without a path have none).
std::vector<TBoardDirectory> BoardDirectories(const TBoardData& board);

// The board under a dragged column: after the drag has rested on a button
// for `DwellSeconds`, that board is shown.
class TBoardDragDwell {
public:
  static constexpr double DwellSeconds = 0.8;

  explicit TBoardDragDwell(TSecondsClock clock = &SecondsNow) : Stopwatch(clock) {}

  // The drag reached the button of `board`: the wait starts again. True the
  // first time of a drag (the dragged column becomes the source column then).
  bool DragOver(int board);
  // The board to show now, or -1: the board the drag reached, when it is
  // not `activeBoard`, is still `boardUnderMouse`, and waited long enough.
  int Tick(int activeBoard, int boardUnderMouse);
  // The mouse was released: the drag ends.
  void Release();
  bool Dragging() const { return Board >= 0; }

private:
  int Board = -1;
  TCrono Stopwatch;
};

} // namespace cv
