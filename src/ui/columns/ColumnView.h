#pragma once
// The widgets of one column on the board: the header button above the item
// list. It paints the column model and forwards events to it.

#include "columns/ColumnPainter.h"
#include "columns/MouseOperations.h"

#include <QWidget>

class QKeyEvent;

namespace cv {

class TColumn;
class MyTPanel;
struct TColumnKeyRow;

// The column key table's row for a key event of a column's list (matched by
// key position through the event's native scan code), or null.
const TColumnKeyRow* ColumnKeyRow(const QKeyEvent& event);

class TColumnView : public QWidget {
  Q_OBJECT
public:
  TColumnView(TColumn& column, QWidget* parent = nullptr);
  ~TColumnView() override;

  TColumn& Column;
  MyTPanel* Header;
  MyTPanel* FileList;
  TColumnPainter Painter;
  // Desktop-style selection of the list (while its option is on).
  TDesktopSelection Selection;

  // Takes the model's header texts, item height and content.
  void Refresh();
  // Only the header: caption, pressed state and changed mark.
  void RefreshHeader();
  bool ListHasFocus() const;

private:
  // Hands the list's presses, moves, releases and keys to `Selection`.
  void ForwardSelectionEvents();
};

} // namespace cv
