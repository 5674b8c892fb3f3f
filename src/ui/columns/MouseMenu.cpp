#include "columns/MouseMenu.h"

#include "foundation/Drawing.h"
#include "foundation/Guard.h"
#include "foundation/QtText.h"

#include <QPaintEvent>
#include <QPainter>

namespace cv {

TMouseMenu::TMouseMenu(QWidget* parent, const TMouseMenuModel& model, TColor backColor,
                       TColor textColor, const QFont& font)
    : QWidget(parent), FModel(model), FBack(backColor), FText(textColor), FFont(font) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setGeometry(FModel.Geometry());
  raise();
  show();
}

void TMouseMenu::Highlight(QPoint globalPoint) {
  const int cell = CellAt(globalPoint);
  if (cell == FHighlighted) return;
  if (FHighlighted >= 0) update(CellRect(FHighlighted));
  FHighlighted = cell;
  if (cell >= 0) update(CellRect(cell));
}

int TMouseMenu::CellAt(QPoint globalPoint) const {
  const QWidget* parent = parentWidget();
  return FModel.CellAt(parent ? parent->mapFromGlobal(globalPoint) : globalPoint);
}

QRect TMouseMenu::CellRect(int cell) const {
  const int w = FModel.CellWidth();
  const int h = FModel.RowHeight();
  return QRect((cell % MouseMenuColumns) * w, (cell / MouseMenuColumns) * h, w + 1, h + 1);
}

void TMouseMenu::paintEvent(QPaintEvent* event) {
  TGuard guard("TMouseMenuForm::FormPaint");
  guard.Run([&] {
    QPainter canvas(this);
    canvas.setClipRect(event->rect());
    canvas.setOpacity(FModel.Alpha() / 255.0);
    canvas.drawImage(QPoint(0, 0), Render());
  });
}

QImage TMouseMenu::Render() const {
  QImage image(size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(ToQColor(FBack));
  QPainter canvas(&image);
  const int w = FModel.CellWidth();
  const int h = FModel.RowHeight();
  const QColor lines = ToQColor(FText);
  for (int row = 0; row <= MouseMenuRows; ++row)
    canvas.fillRect(QRect(0, row * h, MouseMenuColumns * w + 1, 1), lines);
  for (int column = 0; column <= MouseMenuColumns; ++column)
    canvas.fillRect(QRect(column * w, 0, 1, MouseMenuRows * h + 1), lines);
  canvas.setFont(FFont);
  for (int cell = 0; cell < MouseMenuCells; ++cell)
    PaintCell(canvas, cell);
  return image;
}

void TMouseMenu::PaintCell(QPainter& canvas, int cell) const {
  const bool highlighted = cell == FHighlighted;
  const TColor back = highlighted ? FText : FBack;
  const TColor text = highlighted ? FBack : FText;
  canvas.fillRect(FModel.CellInner(cell), ToQColor(back));
  // A text rectangle clips what does not fit.
  const QRect clip = FModel.TextClip(cell);
  canvas.setPen(ToQColor(text));
  canvas.drawText(QRect(FModel.TextOrigin(cell), clip.bottomRight()),
                  Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                  ToQString(FModel.Operation(cell)));
}

} // namespace cv
