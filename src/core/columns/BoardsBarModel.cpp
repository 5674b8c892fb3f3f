#include "columns/BoardsBarModel.h"

#include "columns/Board.h"
#include "filesystem/File.h"

namespace cv {

std::string BoardButtonCaption(int index, const std::string& name) {
  const std::string number = std::to_string(index + 1);
  return name.empty() ? number : name + " (" + number + ")";
}

std::string BoardButtonHint(int index) {
  std::string hint = "Board (= set of columns). The button looks pressed for the active board. "
                     "[LMB] = show this board ([Ctrl] = copy the active board in this board; "
                     "[Shift] = switch the active board with this board; [Alt] = move the active "
                     "board in the place of this board).";
  if (index < 10) hint += " [" + std::to_string((index + 1) % 10) + "] = show this board.";
  hint += " [RMB] = display a menu that contains all directories displayed in this board; if you "
          "click a menu item, that directory is displayed in the active column. Drag a column "
          "over this to show the board (after a short delay), and drop it on a column to display "
          "the \"File-drag\" menu. Each board can be individually navigated. Each board's status "
          "is saved.";
  return hint;
}

std::vector<TBoardDirectory> BoardDirectories(const TBoardData& board) {
  std::vector<TBoardDirectory> directories;
  for (int i = 0; i < TBoardData::Columns; ++i) {
    const TBoardColumn& column = board.Column[static_cast<size_t>(i)];
    // Partition titles have no directory.
    std::string directory = GetTitlePath(column.ActiveTitle);
    if (directory.empty()) continue;
    directories.push_back({i, std::move(directory), column.ActiveTitle, column.ActiveType,
                           column.ActiveKey, column.TopOffset});
  }
  return directories;
}

bool TBoardDragDwell::DragOver(int board) {
  const bool first = Board < 0;
  Board = board;
  Stopwatch.Start();
  return first;
}

int TBoardDragDwell::Tick(int activeBoard, int boardUnderMouse) {
  if (Board < 0 || Board == activeBoard || Board != boardUnderMouse) return -1;
  // Clock readings in seconds lose a little in the subtraction.
  constexpr double Tolerance = 1e-9;
  return Stopwatch.Elapsed() + Tolerance >= DwellSeconds ? Board : -1;
}

void TBoardDragDwell::Release() {
  Board = -1;
  Stopwatch.Stop();
}

} // namespace cv
