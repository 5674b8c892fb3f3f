#include "columns/BoardsBar.h"

#include "columns/MyPanel.h"
#include "foundation/Guard.h"
#include "foundation/QtText.h"
#include "mainwindow/MainLayout.h"
#include "options/ProgramOptions.h"

#include <QActionGroup>
#include <QCursor>
#include <QFontMetrics>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

namespace cv {

namespace {

constexpr int CButtonBorder = 3;

// The modifiers that choose what a left click does.
Qt::KeyboardModifiers ClickModifiers(const QMouseEvent& event) {
  return event.modifiers() &
         (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
}

} // namespace

TBoardsBar::TBoardsBar(const TBoardSet& boards, MyTPanel* bar, TSecondsClock clock)
    : MousePosition([] { return QCursor::pos(); }), Boards(boards), Bar(bar), Dwell(clock) {
  for (int b = 0; b < TBoardSet::BoardCount; ++b) {
    auto* button = new MyTPanel(bar);
    button->setObjectName(QStringLiteral("Board%1Button").arg(b + 1));
    button->SetColorScheme(0);
    button->SetButtonEffect(true);
    button->SetHotTrack(true);
    button->SetBorderWidth(CButtonBorder);
    button->SetCenterHorizontally(true);
    button->setToolTip(ToQString(BoardButtonHint(b)));
    button->OnMouseUp = [this, b](const QMouseEvent& event, const QPoint& inner) {
      Released(b, event, inner);
    };
    Buttons[static_cast<size_t>(b)] = button;
  }
  RefreshCaptions();
}

TBoardsBar::~TBoardsBar() {
  delete DragTimer.data();
}

MyTPanel* TBoardsBar::Button(int board) const {
  if (board < 0 || board >= TBoardSet::BoardCount) return nullptr;
  return Buttons[static_cast<size_t>(board)];
}

void TBoardsBar::Reset(int visibleBoards, int rows) {
  TGuard guard("TBoardsBar::Reset");
  guard.Run([&] {
    if (!Bar) return;
    const QFontMetrics caption(
        QFont(ToQString(ProgramOptions.CaptionFontName), ProgramOptions.CaptionFontSize));
    const std::optional<TBoardsBarPlace> place =
        LayoutBoardsBar(visibleBoards, rows, Bar->width(), caption.height() + 2 * CButtonBorder,
                        Bar->BorderWidth());
    guard.TakeOver();
    VisibleBoards = visibleBoards;
    for (int b = 0; b < TBoardSet::BoardCount; ++b) {
      MyTPanel* button = Button(b);
      if (!button) continue;
      const bool shown = b < visibleBoards;
      if (shown) button->setGeometry(place->Buttons[static_cast<size_t>(b)]);
      button->setVisible(shown);
    }
  });
}

void TBoardsBar::RefreshCaptions() {
  for (int b = 0; b < TBoardSet::BoardCount; ++b) {
    MyTPanel* button = Button(b);
    if (!button) continue;
    const std::string caption = BoardButtonCaption(b, Boards.Boards[static_cast<size_t>(b)].Name);
    button->SetCaption(caption);
    button->SetDownCaption(caption);
    button->SetDown(b == Boards.ActiveBoard());
  }
}

int TBoardsBar::BoardAt(const QPoint& global) const {
  for (int b = 0; b < VisibleBoards; ++b) {
    const MyTPanel* button = Button(b);
    if (button && button->isVisible() && button->rect().contains(button->mapFromGlobal(global)))
      return b;
  }
  return -1;
}

void TBoardsBar::Released(int board, const QMouseEvent& event, const QPoint& inner) {
  if (board == Boards.ActiveBoard()) return;
  const MyTPanel* button = Button(board);
  const QPoint point = inner + button->InnerOrigin();
  // A press taken away from the button is no click.
  if (!button->rect().contains(point)) return;
  if (event.button() == Qt::RightButton) {
    if (OnGoTo) OnGoTo(board, button->mapToGlobal(QPoint(point.x(), button->height())));
    return;
  }
  if (event.button() != Qt::LeftButton) return;
  const Qt::KeyboardModifiers modifiers = ClickModifiers(event);
  const std::function<void(int)>* action = nullptr;
  if (modifiers == Qt::NoModifier)
    action = &OnShow;
  else if (modifiers == Qt::ControlModifier)
    action = &OnCopy;
  else if (modifiers == Qt::ShiftModifier)
    action = &OnSwitch;
  else if (modifiers == Qt::AltModifier)
    action = &OnMove;
  if (action && *action) (*action)(board);
}

void TBoardsBar::FillGoToMenu(QMenu& menu, int board) {
  menu.clear();
  QAction* title = menu.addAction(QStringLiteral("Go to board directory"));
  menu.setDefaultAction(title);
  if (board < 0 || board >= TBoardSet::BoardCount) return;
  for (const TBoardDirectory& directory :
       BoardDirectories(Boards.Boards[static_cast<size_t>(board)])) {
    QAction* item = menu.addAction(ToQString(directory.Directory));
    QObject::connect(item, &QAction::triggered, &menu, [this, board, directory] {
      if (OnGoToDirectory) OnGoToDirectory(board, directory);
    });
  }
}

void TBoardsBar::FillBoardsMenu(QMenu& menu, int activeBoard) {
  menu.clear();
  QAction* title = menu.addAction(QStringLiteral("Active board"));
  menu.setDefaultAction(title);
  auto* group = new QActionGroup(&menu);
  group->setExclusive(true);
  for (int b = 0; b < TBoardSet::BoardCount; ++b) {
    QString caption = ToQString(BoardButtonCaption(b, Boards.Boards[static_cast<size_t>(b)].Name));
    if (b < 10) caption += QStringLiteral("\t%1").arg((b + 1) % 10);
    QAction* item = menu.addAction(caption);
    item->setCheckable(true);
    item->setChecked(b == activeBoard);
    item->setStatusTip(QStringLiteral("Show this board"));
    item->setToolTip(QStringLiteral("Show this board"));
    group->addAction(item);
    QObject::connect(item, &QAction::triggered, &menu, [this, b] {
      if (OnShow) OnShow(b);
    });
  }
}

void TBoardsBar::DragAt(const QPoint& global) {
  const int board = BoardAt(global);
  if (board == DragBoard) return;
  DragBoard = board;
  if (board < 0) return;
  if (Dwell.DragOver(board)) {
    if (OnDragStart) OnDragStart();
    if (!DragTimer) {
      DragTimer = new QTimer();
      DragTimer->setInterval(DragTimerInterval);
      QObject::connect(DragTimer, &QTimer::timeout, [this] { DragTimerTimer(); });
    }
    DragTimer->start();
  }
}

void TBoardsBar::EndDrag() {
  Dwell.Release();
  DragBoard = -1;
  if (DragTimer) DragTimer->stop();
}

void TBoardsBar::DragTimerTimer() {
  const int board = Dwell.Tick(Boards.ActiveBoard(), BoardAt(MousePosition()));
  if (board >= 0 && OnShow) OnShow(board);
}

bool TBoardsBar::DragTimerActive() const {
  return DragTimer && DragTimer->isActive();
}

} // namespace cv
