// A message box keeps its whole caption: the window manager cuts a caption
// wider than the box.

#include "foundation/QtUserInterface.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace cv {
namespace {

TEST(MessageBoxCaption, AShortTextStillLeavesRoomForTheWholeCaption) {
  TQtUserInterface ui;
  const QString displayName = QGuiApplication::applicationDisplayName();
  QGuiApplication::setApplicationDisplayName(QStringLiteral("Corvantide"));
  int width = 0, needed = 0;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_TRUE(box);
    QFont font = box->font();
    font.setBold(true);
    needed = QFontMetrics(font).horizontalAdvance(QStringLiteral("Warning — Corvantide"));
    width = box->width();
    box->accept();
  });
  ui.ShowMessageBox("Warning", "No.", mbOk | mbIconExclamation);
  QGuiApplication::setApplicationDisplayName(displayName);
  // The frame's own buttons take room of the title bar as well.
  EXPECT_GE(width, needed + 60);
}

} // namespace
} // namespace cv
