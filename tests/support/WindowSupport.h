#pragma once
// Helpers for tests that drive the main window.

#include "foundation/OffThread.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace cv::test {

// Runs `action` once a modal dialog or a popup menu is up and no wait for
// file-system work refuses input. A command may wait for such work before
// it opens its dialog, and a timer of 0 ms would fire during that wait; after `timeoutMs` the
// action runs anyway, so the test fails instead of hanging.
inline QPointer<QTimer> WhenDialogShows(QObject* context, std::function<void()> action,
                                       int timeoutMs = 10000) {
  auto* poll = new QTimer(context);
  QElapsedTimer clock;
  clock.start();
  QObject::connect(poll, &QTimer::timeout, context, [poll, clock, action, timeoutMs] {
    // Not while a wait for file-system work refuses input, either.
    const bool ready = (QApplication::activeModalWidget() || QApplication::activePopupWidget()) &&
                       !TWait::Current();
    if (!ready && clock.elapsed() < timeoutMs) return;
    poll->stop();
    poll->deleteLater();
    action();
  });
  poll->start(5);
  // A caller that expects no dialog deletes the timer, so its action never runs late.
  return poll;
}

} // namespace cv::test
