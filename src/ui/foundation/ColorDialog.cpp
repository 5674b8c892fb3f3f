#include "foundation/ColorDialog.h"

#include "foundation/Clipboard.h"
#include "foundation/Drawing.h"
#include "foundation/Guard.h"
#include "foundation/Help.h"
#include "foundation/QtText.h"

#include <QColorDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolTip>
#include <QVBoxLayout>

namespace cv {

namespace {

constexpr int ColorDialogHelpContext = 802;
constexpr int Margin = 5;

TColor FromQColor(const QColor& color) {
  return static_cast<TColor>(color.red()) | static_cast<TColor>(color.green()) << 8 |
         static_cast<TColor>(color.blue()) << 16;
}

} // namespace

// ---- Grid ----------------------------------------------------------------------

TColorGrid::TColorGrid(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("ColorGrid"));
  setMouseTracking(true);
  setMinimumSize(minimumSizeHint());
}

QSize TColorGrid::sizeHint() const {
  return {400, 350};
}

QSize TColorGrid::minimumSizeHint() const {
  const int side = 2 * Margin + Side * MinCell;
  return {side, side};
}

void TColorGrid::SetCurrent(TColor color) {
  FCurrent = color & 0xFFFFFF;
  update();
}

TColor TColorGrid::CellColor(int index) {
  if (index < 0 || index >= static_cast<int>(CStockColors.size())) return CStockColors[0].Value;
  return CStockColors[static_cast<size_t>(index)].Value;
}

QRect TColorGrid::CellRect(int index) const {
  if (index < 0 || index >= CellCount) return {};
  // Never below the smallest cell, whatever size the layout gave.
  const int w = std::max((width() - 2 * Margin) / Side, MinCell);
  const int h = std::max((height() - 2 * Margin) / Side, MinCell);
  const int row = index / Side, column = index % Side;
  const QPoint corner(Margin + column * w, Margin + row * h);
  if (CellColor(index) == FCurrent)
    return {corner, QSize(static_cast<int>(0.75 * w - 2), static_cast<int>(0.75 * h - 2))};
  return {corner, QSize(w - 2, h - 2)};
}

int TColorGrid::CellAt(const QPoint& point) const {
  for (int i = 0; i < CellCount; ++i)
    if (CellRect(i).contains(point)) return i;
  return -1;
}

std::string TColorGrid::CellHint(int index) {
  const TColor color = CellColor(index);
  return GetStockColorName(color) + GetColorDescription(color);
}

void TColorGrid::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  canvas.fillRect(rect(), palette().color(QPalette::Window));
  canvas.setPen(palette().color(QPalette::WindowText));
  for (int i = 0; i < CellCount; ++i) {
    const QRect cell = CellRect(i);
    canvas.fillRect(cell, ToQColor(CellColor(i)));
    canvas.drawRect(cell.adjusted(0, 0, -1, -1));
  }
}

void TColorGrid::mousePressEvent(QMouseEvent* event) {
  const int cell = CellAt(event->position().toPoint());
  if (cell < 0) return;
  const TColor color = CellColor(cell);
  // The handlers may close the dialog; the grid itself stays what it is.
  switch (event->button()) {
  case Qt::LeftButton:
    if (OnLeft) OnLeft(color);
    break;
  case Qt::RightButton:
    if (OnRight) OnRight(color);
    break;
  case Qt::MiddleButton:
    if (OnMiddle) OnMiddle(cell);
    break;
  default:
    break;
  }
}

bool TColorGrid::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int cell = CellAt(help->pos());
    if (cell < 0)
      QToolTip::hideText();
    else
      QToolTip::showText(help->globalPos(), ToQString(CellHint(cell)), this, CellRect(cell));
    return true;
  }
  return QWidget::event(event);
}

// ---- Dialog --------------------------------------------------------------------

TColorForm::TColorForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ColorForm"));
  setWindowTitle(tr("Stock colors"));
  setProperty("HelpContext", ColorDialogHelpContext);
  auto* layout = new QVBoxLayout(this);
  auto* group = new QGroupBox(tr("Stock colors"), this);
  auto* groupLayout = new QVBoxLayout(group);
  Grid = new TColorGrid(group);
  groupLayout->addWidget(Grid, 1);
  auto* remark = new QLabel(tr("Click a color to select it and close the dialog. [RMB] to select "
                               "the color and keep the dialog open. [MMB] to clip the hint of "
                               "the color."),
                            group);
  remark->setWordWrap(true);
  groupLayout->addWidget(remark);
  layout->addWidget(group, 1);

  auto* previewRow = new QHBoxLayout;
  PreviewSwatch = new QLabel(this);
  PreviewSwatch->setObjectName(QStringLiteral("PreviewSwatch"));
  PreviewSwatch->setFixedSize(48, 32);
  PreviewSwatch->setFrameShape(QFrame::Box);
  PreviewSwatch->setAutoFillBackground(true);
  PreviewText = new QLabel(this);
  PreviewText->setObjectName(QStringLiteral("PreviewText"));
  PreviewText->setWordWrap(true);
  previewRow->addWidget(PreviewSwatch);
  previewRow->addWidget(PreviewText, 1);
  layout->addLayout(previewRow);

  auto* buttons = new QHBoxLayout;
  CustomButton = new QPushButton(tr("C&ustom..."), this);
  CustomButton->setToolTip(tr("Choose any color in the color dialog."));
  auto* help = new QPushButton(tr("&Help"), this);
  CancelButton = new QPushButton(tr("&Cancel"), this);
  buttons->addWidget(CustomButton);
  buttons->addStretch(1);
  buttons->addWidget(help);
  buttons->addWidget(CancelButton);
  for (QPushButton* button : {CustomButton, help, CancelButton})
    button->setAutoDefault(false);
  layout->addLayout(buttons);

  Grid->OnLeft = [this](TColor color) { Choose(color); };
  Grid->OnRight = [this](TColor color) {
    if (!Preview) return;
    Grid->SetCurrent(color);
    ShowCurrent();
    Preview(color);
  };
  Grid->OnMiddle = [](int cell) {
    CopyTextToClipboard(TColorGrid::CellHint(cell), "Failed to copy hint to clipboard.");
  };
  connect(CustomButton, &QPushButton::clicked, this, [this] {
    const QColor chosen = QColorDialog::getColor(ToQColor(Grid->Current()), this);
    if (chosen.isValid()) Choose(FromQColor(chosen));
  });
  connect(help, &QPushButton::clicked, this, [] { ShowHelp(ColorDialogHelpContext); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  resize(sizeHint());
}

void TColorForm::SetColor(TColor color) {
  Grid->SetCurrent(color);
  ShowCurrent();
}

void TColorForm::ShowCurrent() {
  QPalette palette = PreviewSwatch->palette();
  palette.setColor(QPalette::Window, ToQColor(Grid->Current()));
  PreviewSwatch->setPalette(palette);
  const std::string name = GetStockColorName(Grid->Current());
  PreviewText->setText(ToQString((name.empty() ? std::string("Custom") : name) +
                                 GetColorDescription(Grid->Current())));
}

void TColorForm::Choose(TColor color) {
  Grid->SetCurrent(color);
  ShowCurrent();
  Chosen = true;
  accept();
}

bool ColorFormDialog(TColor& color, const TColorPreview& preview, QWidget* parent) {
  TGuard guard("ColorFormDialog");
  const bool chosen = guard.Run(false, [&] {
    TColorForm form(parent);
    form.SetColor(color);
    form.Preview = preview;
    form.exec();
    // A colour taken by a right press stays in effect after a cancel.
    color = form.Color();
    return form.Chosen;
  });
  guard.Show("Failed to show color dialog.");
  return chosen;
}

// ---- Colour panels -------------------------------------------------------------

std::string ColorPanelHint(TColor color) {
  return GetStockColorName(color) + GetColorDescription(color) + ". " +
         "Left click a color to open the stock-color dialog. Right click it to open the color "
         "dialog. Middle click it to set the default color.";
}

TColorPanel::TColorPanel(TColor defaultColor, QWidget* parent)
    : QFrame(parent), FDefault(defaultColor) {
  setFrameShape(QFrame::Box);
  setMinimumSize(40, 20);
  SetColor(defaultColor);
}

void TColorPanel::SetColor(TColor color) {
  FColor = color & 0xFFFFFF;
  const QString hint = ToQString(ColorPanelHint(FColor)) + Remark;
  setToolTip(hint);
  setStatusTip(hint);
  update();
}

void TColorPanel::paintEvent(QPaintEvent* event) {
  {
    QPainter canvas(this);
    canvas.fillRect(contentsRect(), ToQColor(FColor));
  }
  QFrame::paintEvent(event);
}

void TColorPanel::mousePressEvent(QMouseEvent* event) {
  if (OnPress) OnPress(*this, event->button());
}

bool ChooseColorForPanel(TColorPanel& panel, Qt::MouseButton button, const TColorPreview& preview) {
  TColor color = panel.Color();
  switch (button) {
  case Qt::LeftButton:
    if (!ColorFormDialog(color, preview, &panel)) return false;
    break;
  case Qt::RightButton: {
    const QColor chosen = QColorDialog::getColor(ToQColor(color), &panel);
    if (!chosen.isValid()) return false;
    color = FromQColor(chosen);
    break;
  }
  case Qt::MiddleButton:
    color = panel.Default();
    break;
  default:
    return false;
  }
  panel.SetColor(color);
  return true;
}

} // namespace cv
