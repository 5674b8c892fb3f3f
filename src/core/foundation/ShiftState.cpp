#include "foundation/ShiftState.h"

#include <QGuiApplication>

namespace cv {

namespace {
bool HaveGuiApplication() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}
} // namespace

TShiftState ShiftStateFrom(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons,
                           bool doubleClick) {
  TShiftState set = 0;
  if (modifiers & Qt::ShiftModifier) set |= ssShift;
  if (modifiers & Qt::AltModifier) set |= ssAlt;
  if (modifiers & Qt::ControlModifier) set |= ssCtrl;
  if (buttons & Qt::LeftButton) set |= ssLeft;
  if (buttons & Qt::RightButton) set |= ssRight;
  if (buttons & Qt::MiddleButton) set |= ssMiddle;
  if (doubleClick) set |= ssDouble;
  return set;
}

TShiftState CurrentShiftState() {
  if (!HaveGuiApplication()) return 0;
  return ShiftStateFrom(QGuiApplication::queryKeyboardModifiers(), QGuiApplication::mouseButtons());
}

bool IsLeftButtonDown() {
  return HaveGuiApplication() && (QGuiApplication::mouseButtons() & Qt::LeftButton);
}

bool IsAnyButtonDown() {
  return HaveGuiApplication() &&
         (QGuiApplication::mouseButtons() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton));
}

} // namespace cv
