#include "columns/ColumnView.h"

#include "columns/Column.h"
#include "columns/ColumnKeys.h"
#include "columns/MyPanel.h"
#include "foundation/Guard.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace cv {

const TColumnKeyRow* ColumnKeyRow(const QKeyEvent& event) {
  return FindColumnKey(event.key(), event.modifiers(), event.nativeScanCode());
}

TColumnView::TColumnView(TColumn& column, QWidget* parent)
    : QWidget(parent), Column(column), Header(new MyTPanel(this, MyTPanel::pmPanel)),
      FileList(new MyTPanel(this, MyTPanel::pmList)), Selection(column) {
  setObjectName(QStringLiteral("Column%1").arg(column.Index));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  Header->setObjectName(QStringLiteral("Header"));
  Header->SetColorScheme(0);
  Header->SetButtonEffect(true);
  Header->SetPathEllipsis(true);
  Header->SetHotTrack(true);
  Header->SetBorderWidth(3);
  Header->SetFocusTarget(FileList);
  layout->addWidget(Header);

  FileList->setObjectName(QStringLiteral("FileList"));
  FileList->SetColorScheme(1);
  FileList->SetFrameScheme(2);
  FileList->setFocusPolicy(Qt::StrongFocus);
  FileList->SetListState(&Column.List);
  FileList->OnDrawItem = [this](QPainter& canvas, const TItemPaint& paint) {
    Painter.DrawAnItem(canvas, Column, paint);
  };
  ForwardSelectionEvents();
  layout->addWidget(FileList, 1);
  Refresh();
}

void TColumnView::ForwardSelectionEvents() {
  FileList->OnSelectionPress = [this](const QMouseEvent& event, const QPoint& inner, int index) {
    return Selection.Press(event.button(), index, inner, event.modifiers());
  };
  FileList->OnSelectionMove = [this](const QPoint& inner) { Selection.Move(inner); };
  FileList->OnSelectionRelease = [this](const QPoint& inner) { Selection.Release(inner); };
  FileList->OnSelectionKey = [this](const QKeyEvent& event) {
    return Selection.Key(event.key(), event.modifiers());
  };
  FileList->SelectionBand = [this] { return Selection.Band(); };
}

TColumnView::~TColumnView() {
  FileList->SetListState(nullptr);
}

void TColumnView::RefreshHeader() {
  // A fixed column shows its header pressed, with the same caption. The
  // panel repaints only what changed.
  Header->SetCaption(Column.HeaderCaption);
  Header->SetDownCaption(Column.HeaderCaption);
  Header->setToolTip(QString::fromStdString(Column.HeaderHint));
  Header->SetDown(Column.FixedAttr);
  Header->SetStrike(Column.HeaderChanged);
}

void TColumnView::Refresh() {
  const QFontMetrics metrics(ColumnItemsFont());
  Header->setFixedHeight(metrics.height() + 2 * 3 + 6);
  RefreshHeader();
  Column.List.SetSubcolumns(Column.SubcolumnsAttr);
  Column.List.SetItemHeight(ColumnItemHeight(Column));
  Selection.Forget();
  FileList->update();
}

bool TColumnView::ListHasFocus() const {
  return FileList->hasFocus();
}

} // namespace cv
