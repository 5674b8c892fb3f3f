#include "mainwindow/WaitInput.h"

#include "columns/MyPanel.h"
#include "foundation/Utilities.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace cv {

namespace {


bool OnLoadingNotice(QObject* watched, const QMouseEvent& event) {
  auto* panel = qobject_cast<MyTPanel*>(watched);
  return panel && panel->LoadingNoticeRect().contains(event.position().toPoint());
}

} // namespace

TWaitInput::TWaitInput() {
  WaitHost = this;
}

TWaitInput::~TWaitInput() {
  if (WaitHost == this) WaitHost = nullptr;
  if (Depth > 0) QCoreApplication::instance()->removeEventFilter(this);
}

void TWaitInput::WaitBegins(TWait&) {
  if (Depth++ == 0) QCoreApplication::instance()->installEventFilter(this);
}

void TWaitInput::WaitEnds(TWait&) {
  if (--Depth == 0) QCoreApplication::instance()->removeEventFilter(this);
}

bool TWaitInput::eventFilter(QObject* watched, QEvent* event) {
  TWait* wait = TWait::Current();
  if (!wait) return false;
  const QEvent::Type type = event->type();
  if (type == QEvent::Close && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->isWindow()) {
    // The work on the stack still uses the window: close once it let go.
    TWait* outermost = wait;
    while (outermost->OuterWait())
      outermost = outermost->OuterWait();
    TWait::CancelThrough(*outermost);
    event->ignore();
    QTimer::singleShot(0, watched, [window = QPointer<QWidget>(static_cast<QWidget*>(watched))] {
      if (window) window->close();
    });
    return true;
  }
  // Input reaches the window first and then its widget: judged at the widget.
  if (!IsInputEvent(type) || !watched->isWidgetType()) return false;
  // The user cancels what the notice says is loading, with whatever runs
  // inside it; without a notice, the innermost wait.
  TWait* shown = TWait::Showing();
  if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    TWait::CancelThrough(shown ? *shown : *wait);
  } else if (type == QEvent::MouseButtonPress && shown &&
             OnLoadingNotice(watched, *static_cast<QMouseEvent*>(event))) {
    TWait::CancelThrough(*shown);
  }
  return true;
}

} // namespace cv
