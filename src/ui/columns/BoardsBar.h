#pragma once
// The boards bar: a button for each of the thirty boards inside the bar
// panel, the active board's pressed. The bar shows the boards and reports
// what the user asks for; the window runs it on the boards and columns.

#include "columns/Board.h"
#include "columns/BoardsBarModel.h"

#include <QPoint>
#include <QPointer>

#include <array>
#include <functional>

class QMenu;
class QMouseEvent;
class QTimer;

namespace cv {

class MyTPanel;

class TBoardsBar {
public:
  static constexpr int DragTimerInterval = 200;

  // The buttons become children of `bar`; `boards` outlives the bar.
  TBoardsBar(const TBoardSet& boards, MyTPanel* bar, TSecondsClock clock = &SecondsNow);
  ~TBoardsBar();
  TBoardsBar(const TBoardsBar&) = delete;
  TBoardsBar& operator=(const TBoardsBar&) = delete;

  // Lays the first `visibleBoards` (10 to 30) buttons out in `rows` rows
  // across the bar's present width and hides the others. A count outside
  // is reported as "Invalid visible boards number." and changes nothing.
  void Reset(int visibleBoards, int rows);
  // The captions and the pressed button, after the boards changed.
  void RefreshCaptions();
  MyTPanel* Button(int board) const;
  // The board whose shown button is under `global`, or -1.
  int BoardAt(const QPoint& global) const;

  // A released button of a board that is not active: left alone, with
  // Ctrl, Shift or Alt alone, or right (with the menu's place).
  std::function<void(int board)> OnShow;
  std::function<void(int board)> OnCopy;
  std::function<void(int board)> OnSwitch;
  std::function<void(int board)> OnMove;
  std::function<void(int board, const QPoint& global)> OnGoTo;
  // A click on a directory of the "Go to board directory" menu.
  std::function<void(int board, const TBoardDirectory& directory)> OnGoToDirectory;
  // The first time a dragged column reaches a button.
  std::function<void()> OnDragStart;

  // The "Go to board directory" menu of `board`.
  void FillGoToMenu(QMenu& menu, int board);
  // The "Active board" menu; a click shows that board.
  void FillBoardsMenu(QMenu& menu, int activeBoard);

  // A column is being dragged and the mouse is at `global`; after resting
  // on a button the board is shown through OnShow.
  void DragAt(const QPoint& global);
  // The mouse was released: the drag ends.
  void EndDrag();
  // The drag timer's tick.
  void DragTimerTimer();
  bool DragTimerActive() const;
  // Where the mouse is; tests replace it to drive the timer by hand.
  std::function<QPoint()> MousePosition;

private:
  void Released(int board, const QMouseEvent& event, const QPoint& inner);

  const TBoardSet& Boards;
  QPointer<MyTPanel> Bar;
  std::array<QPointer<MyTPanel>, TBoardSet::BoardCount> Buttons;
  int VisibleBoards = TBoardSet::BoardCount;
  TBoardDragDwell Dwell;
  int DragBoard = -1; // the button the drag is over, -1 for none
  QPointer<QTimer> DragTimer;
};

} // namespace cv
