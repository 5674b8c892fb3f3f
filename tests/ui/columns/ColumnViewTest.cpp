#include "columns/ColumnView.h"

#include "columns/ColumnKeys.h"

#include <gtest/gtest.h>

#include <QKeyEvent>

namespace cv {
namespace {

QKeyEvent Press(int key, Qt::KeyboardModifiers modifiers, quint32 scanCode, const QString& text) {
  return QKeyEvent(QEvent::KeyPress, key, modifiers, scanCode, 0, 0, text);
}

TEST(ColumnViewKeyTest, KeyEventsFindTheirRowByPosition) {
  // Shift+1 as X11 and Wayland deliver it: "!" with the digit's keycode.
  const TColumnKeyRow* row = ColumnKeyRow(Press(Qt::Key_Exclam, Qt::ShiftModifier, 10, "!"));
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(ColumnKeyCommandPath(*row), "File/Container/Add to container */1");
  EXPECT_EQ(row->Number, 1);
  // The AZERTY "1" key without Shift.
  row = ColumnKeyRow(Press(Qt::Key_Ampersand, Qt::NoModifier, 10, "&"));
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->Action, TColumnKeyAction::ShowBoard);
  EXPECT_EQ(row->Number, 1);
  // The pad's 1 is not the digit row's.
  EXPECT_EQ(ColumnKeyRow(Press(Qt::Key_1, Qt::KeypadModifier, 87, "1")), nullptr);
  row = ColumnKeyRow(Press(Qt::Key_Insert, Qt::ControlModifier, 118, ""));
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->Caption, "Toggle up");
}

} // namespace
} // namespace cv
