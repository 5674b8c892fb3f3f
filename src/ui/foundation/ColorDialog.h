#pragma once
// Choosing colours: the stock colour dialog (one painted grid of the 132
// named colours, a preview of the current colour and a way to a custom
// colour), and the colour panels that open it.

#include "foundation/StockColors.h"

#include <QDialog>
#include <QFrame>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace cv {

using TColorPreview = std::function<void(TColor color)>;

// The 12 x 12 cells of the stock colours, painted in one widget: a press
// never destroys or rebuilds anything, it only changes what is painted.
class TColorGrid : public QWidget {
  Q_OBJECT
public:
  static constexpr int Side = 12;
  static constexpr int CellCount = Side * Side;
  // The smallest cell that still shows its colour inside its border.
  static constexpr int MinCell = 14;

  explicit TColorGrid(QWidget* parent = nullptr);

  TColor Current() const { return FCurrent; }
  void SetCurrent(TColor color);
  // Cell n shows table row n; the twelve past the table show row 0.
  static TColor CellColor(int index);
  // The cell's rectangle; cells of the current colour are drawn smaller.
  QRect CellRect(int index) const;
  // The cell under a point, or -1.
  int CellAt(const QPoint& point) const;
  // Stock name and description, as the cell's hint says.
  static std::string CellHint(int index);

  std::function<void(TColor)> OnLeft;
  std::function<void(TColor)> OnRight;
  std::function<void(int cell)> OnMiddle;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

private:
  TColor FCurrent = 0;
};

// "Stock colors": a left press on a cell chooses it and closes; a right
// press (with a preview callback) takes it and keeps the dialog open; a
// middle press copies its hint. "Custom" opens the platform colour dialog.
class TColorForm : public QDialog {
  Q_OBJECT
public:
  explicit TColorForm(QWidget* parent = nullptr);
  void SetColor(TColor color);
  TColor Color() const { return Grid->Current(); }
  TColorPreview Preview;
  // Whether the dialog closed by a choice.
  bool Chosen = false;

  TColorGrid* Grid = nullptr;
  QLabel* PreviewSwatch = nullptr;
  QLabel* PreviewText = nullptr;
  QPushButton* CustomButton = nullptr;
  QPushButton* CancelButton = nullptr;

private:
  void ShowCurrent();
  void Choose(TColor color);
};

// Shows the stock colour dialog at `color`. The colour last taken (also by
// a right press before a cancel) is handed back; true only for a choice.
bool ColorFormDialog(TColor& color, const TColorPreview& preview, QWidget* parent = nullptr);

// A small panel showing a colour being edited; its tag is the default.
class TColorPanel : public QFrame {
  Q_OBJECT
public:
  explicit TColorPanel(TColor defaultColor, QWidget* parent = nullptr);
  TColor Color() const { return FColor; }
  TColor Default() const { return FDefault; }
  // Sets the colour and the hint that names it.
  void SetColor(TColor color);
  // Said after the hint, whatever the colour.
  QString Remark;

  // A press on the panel, with its button.
  std::function<void(TColorPanel& panel, Qt::MouseButton button)> OnPress;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

private:
  TColor FColor = 0;
  TColor FDefault = 0;
};

// The panel's hint: stock name, description and what the buttons do.
std::string ColorPanelHint(TColor color);
// Lets the user change the panel's colour by the button pressed: left the
// stock dialog, right the platform colour dialog, middle the default. True
// when the panel's colour was set.
bool ChooseColorForPanel(TColorPanel& panel, Qt::MouseButton button, const TColorPreview& preview);

} // namespace cv
