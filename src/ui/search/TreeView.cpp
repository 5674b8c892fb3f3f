#include "search/TreeView.h"

#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/Drawing.h"
#include "foundation/QtText.h"
#include "mainwindow/ButtonEffects.h"
#include "mainwindow/SkinOptions.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>

namespace cv {

namespace {

constexpr const char* LoadingText = "Loading... (Esc cancels)";

TTreeButton ButtonOf(Qt::MouseButton button) {
  switch (button) {
  case Qt::LeftButton:
    return TTreeButton::Left;
  case Qt::RightButton:
    return TTreeButton::Right;
  case Qt::MiddleButton:
    return TTreeButton::Middle;
  default:
    return TTreeButton::Other;
  }
}

} // namespace

TTreeView::TTreeView(TDirectoryTree& model, QWidget* parent)
    : QAbstractScrollArea(parent), Tree(model) {
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Tree.OnChanged = [this] { ModelChanged(); };
  Tree.OnSelectionChanged = [this](TTreeNode* node) {
    EnsureVisible(node);
    if (OnSelectionChanged) OnSelectionChanged(node);
  };
  ModelChanged();
}

int TTreeView::RowHeight() const {
  return fontMetrics().height() + 4;
}

int TTreeView::Indent() const {
  // The indent is the font's height, so the boxes grow with the font.
  return fontMetrics().height();
}

QRect TTreeView::RowRect(int row) const {
  const int top = (row - verticalScrollBar()->value()) * RowHeight();
  return QRect(0, top, viewport()->width(), RowHeight());
}

QString TTreeView::DisplayText(const TTreeNode& node) const {
  if (!node.Parent) return ToQString(PartitionDisplayText(node.Text) + node.Suffix);
  return ToQString(node.Text);
}

QFont TTreeView::FontOf(const TTreeNode& node) const {
  QFont font = this->font();
  if (!CurrentTitle.empty() && GetTreeNodeTitle(&node) == CurrentTitle) {
    font.setBold(true);
    font.setItalic(true);
  }
  return font;
}

QRect TTreeView::TextRect(const TTreeNode& node) const {
  const int row = Tree.RowOf(&node);
  if (row < 0) return {};
  const QRect rowRect = RowRect(row);
  const TTreeRowGeometry g = Tree.RowGeometry(node, Indent(), RowHeight());
  const int width = QFontMetrics(FontOf(node)).horizontalAdvance(DisplayText(node)) + 4;
  return QRect(g.TextLeft, rowRect.top(), width, rowRect.height());
}

TTreeNode* TTreeView::NodeAt(const QPoint& at) const {
  if (at.y() < 0) return nullptr;
  return Tree.NodeAtRow(at.y() / RowHeight() + verticalScrollBar()->value());
}

void TTreeView::EnsureVisible(const TTreeNode* node) {
  const int row = Tree.RowOf(node);
  if (row < 0) return;
  const int visible = std::max(1, viewport()->height() / RowHeight());
  QScrollBar* bar = verticalScrollBar();
  if (row < bar->value())
    bar->setValue(row);
  else if (row >= bar->value() + visible)
    bar->setValue(row - visible + 1);
}

void TTreeView::ModelChanged() {
  UpdateScrollBar();
  viewport()->update();
}

void TTreeView::UpdateScrollBar() {
  const int rows = static_cast<int>(Tree.Rows().size());
  const int visible = std::max(1, viewport()->height() / RowHeight());
  verticalScrollBar()->setRange(0, std::max(0, rows - visible));
  verticalScrollBar()->setPageStep(visible);
  verticalScrollBar()->setSingleStep(1);
}

void TTreeView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBar();
}

void TTreeView::paintEvent(QPaintEvent*) {
  QPainter canvas(viewport());
  const TSkinOptions& skin = SkinOptions;
  canvas.fillRect(viewport()->rect(), ToQColor(skin.WindowBackColor));
  const int rows = static_cast<int>(Tree.Rows().size());
  for (int row = verticalScrollBar()->value(); row < rows; ++row) {
    const QRect rect = RowRect(row);
    if (rect.top() >= viewport()->height()) break;
    PaintRow(canvas, row, rect);
  }
}

void TTreeView::PaintRow(QPainter& target, int row, const QRect& rect) {
  if (rect.width() <= 0) return;
  const TSkinOptions& skin = SkinOptions;
  const TTreeRow& entry = Tree.Rows()[static_cast<size_t>(row)];
  const TTreeNode& node = *entry.Node;
  // Each row is painted off-screen and copied in one step: no flicker.
  QPixmap bitmap(rect.size());
  bitmap.fill(ToQColor(skin.WindowBackColor));
  {
    QPainter canvas(&bitmap);
    const int w = Indent(), h = rect.height();
    if (entry.Loading) {
      // The row under a node whose listing takes long.
      const TTreeRowGeometry g = Tree.RowGeometry(node, w, h);
      canvas.setPen(ToQColor(skin.GridColor));
      canvas.drawText(QRect(g.TextLeft + w + 2, 0, rect.width(), h),
                      Qt::AlignVCenter | Qt::TextSingleLine, QString::fromLatin1(LoadingText));
    } else {
      const bool selected = &node == Tree.Selected();
      TColor text = OwnTextColor ? TextColor : skin.WindowTextColor;
      TColor back = skin.WindowBackColor;
      TColor tint = 0;
      if (selected && hasFocus()) {
        text = skin.ActiveFocusTextColor;
        back = skin.ActiveFocusBackColor;
        tint = skin.ActiveFocusTintColor;
      } else if (selected) {
        text = skin.PushedTextColor;
        back = skin.PushedBackColor;
        tint = skin.PushedTintColor;
      }
      const TTreeRowGeometry g = Tree.RowGeometry(node, w, h);
      const QRect textRect(g.TextLeft, 0, rect.width() - g.TextLeft, h);
      const QFont font = FontOf(node);
      canvas.setFont(font);
      if (selected)
        PaintButtonFX(canvas, textRect, false, false, skin.NonOvalButtonsStyle, 0,
                      skin.ControlBackTransp, skin.ControlMarginTransp, tint, back, back);
      canvas.setPen(ToQColor(text));
      const int fontHeight = QFontMetrics(font).height();
      canvas.drawText(QRect(g.TextLeft + 2, (h - fontHeight) / 2, rect.width(), h),
                      Qt::TextSingleLine, DisplayText(node));
      canvas.setPen(ToQColor(skin.GridColor));
      for (int x : g.FullLines)
        canvas.drawLine(x, 0, x, h - 1);
      if (g.HalfLine >= 0) canvas.drawLine(g.HalfLine, 0, g.HalfLine, g.Middle);
      canvas.drawLine(g.BranchFrom, g.Middle, g.TextLeft, g.Middle);
      if (g.Box) {
        canvas.setBrush(ToQColor(back));
        canvas.drawRect(g.BoxRect.adjusted(0, 0, -1, -1));
        canvas.setPen(ToQColor(text));
        canvas.drawLine(g.MinusFrom, g.MinusTo);
        if (g.Plus) canvas.drawLine(g.PlusFrom, g.PlusTo);
      }
    }
  }
  target.drawPixmap(rect.topLeft(), bitmap);
}

void TTreeView::Press(QMouseEvent* event, bool doubleClick) {
  const QPoint at = event->position().toPoint();
  TTreeNode* node = NodeAt(at);
  const TTreeHit hit = TreeMouseDown(node, node ? TextRect(*node) : QRect(),
                                     ButtonOf(event->button()), doubleClick, at, Indent());
  if (hit.Select) Tree.Select(hit.Node);
  if (hit.Toggle) Tree.Toggle(*hit.Node);
  if (OnMousePressed && hit.Node && !doubleClick) OnMousePressed(hit.Node, *event);
}

void TTreeView::mousePressEvent(QMouseEvent* event) {
  Press(event, false);
}

void TTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
  Press(event, true);
}

void TTreeView::mouseMoveEvent(QMouseEvent* event) {
  if (OnMouseMoved) OnMouseMoved(*event);
}

void TTreeView::mouseReleaseEvent(QMouseEvent* event) {
  if (OnMouseReleased) OnMouseReleased(*event);
}

void TTreeView::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  const int page = std::max(1, viewport()->height() / RowHeight() - 1);
  bool done = true;
  switch (event->key()) {
  case Qt::Key_Up:
    Tree.MoveSelection(-1);
    break;
  case Qt::Key_Down:
    Tree.MoveSelection(1);
    break;
  case Qt::Key_PageUp:
    Tree.MoveSelection(-page);
    break;
  case Qt::Key_PageDown:
    Tree.MoveSelection(page);
    break;
  case Qt::Key_Home:
    Tree.SelectFirst();
    break;
  case Qt::Key_End:
    Tree.SelectLast();
    break;
  case Qt::Key_Left:
  case Qt::Key_Minus:
    Tree.Left();
    break;
  case Qt::Key_Right:
  case Qt::Key_Plus:
    Tree.Right();
    break;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    if (OnEnter)
      OnEnter(Tree.Selected());
    else
      done = false;
    break;
  default:
    done = false;
  }
  if (!done) QAbstractScrollArea::keyPressEvent(event);
}

void TTreeView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void TTreeView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

} // namespace cv
