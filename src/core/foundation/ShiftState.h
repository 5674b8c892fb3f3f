#pragma once
// Key-and-button state sets. Modifiers are Shift, Ctrl and Alt only (Meta
// and the keypad flag are not part of a set); sets are compared exactly.

#include <Qt>

namespace cv {

enum TShiftElement : unsigned {
  ssShift = 1u << 0,
  ssAlt = 1u << 1,
  ssCtrl = 1u << 2,
  ssLeft = 1u << 3,
  ssRight = 1u << 4,
  ssMiddle = 1u << 5,
  ssDouble = 1u << 6,
};
using TShiftState = unsigned;

TShiftState ShiftStateFrom(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = Qt::NoButton,
                           bool doubleClick = false);
// The keyboard's modifiers and the buttons as the application knows them now.
TShiftState CurrentShiftState();

constexpr bool ShiftStateHas(TShiftState set, TShiftElement element) { return (set & element) != 0; }
constexpr bool ShiftStateIs(TShiftState set, TShiftElement element) { return set == element; }
constexpr bool ShiftStateIsPair(TShiftState set, TShiftElement a, TShiftElement b) {
  return a != b && set == (static_cast<unsigned>(a) | b);
}
constexpr bool ShiftStateIsEmpty(TShiftState set) { return set == 0; }

bool IsLeftButtonDown();
bool IsAnyButtonDown();

} // namespace cv
