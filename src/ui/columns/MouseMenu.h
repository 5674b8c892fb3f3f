#pragma once
// The mouse menu's window: a frameless overlay laid over the main window at
// the model's place, painting the 2 x 6 grid of operation names, the cell
// under the drag highlighted. It never takes focus or the mouse: the drag
// that showed it keeps running in the column list.

#include "columns/MouseOperations.h"
#include "foundation/StockColors.h"

#include <QFont>
#include <QImage>
#include <QWidget>

namespace cv {

class TMouseMenu : public QWidget {
public:
  // `model` is prepared, in `parent`'s coordinates; its row height was made
  // from `font`'s height. Shows at once, above the parent's other children.
  TMouseMenu(QWidget* parent, const TMouseMenuModel& model, TColor backColor, TColor textColor,
             const QFont& font);

  // Highlights the cell under a point of the screen; a point on no cell
  // removes the highlight.
  void Highlight(QPoint globalPoint);
  int Highlighted() const { return FHighlighted; }
  // The cell a release at a point of the screen chooses, -1 for none.
  int CellAt(QPoint globalPoint) const;
  const TMouseMenuModel& Model() const { return FModel; }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  // The menu at full opacity; painting lays it over the parent with the
  // model's alpha, so overlapping fills never add up.
  QImage Render() const;
  void PaintCell(QPainter& canvas, int cell) const;
  QRect CellRect(int cell) const;

  TMouseMenuModel FModel;
  TColor FBack;
  TColor FText;
  QFont FFont;
  int FHighlighted = -1;
};

} // namespace cv
