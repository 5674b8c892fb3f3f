#include "foundation/Drawing.h"
#include "foundation/ShiftState.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <stdexcept>
#include <vector>

namespace cv {
namespace {

QImage Blank() {
  QImage image(8, 8, QImage::Format_ARGB32);
  image.fill(Qt::white);
  return image;
}

TEST(DrawingTest, FrameLiesJustOutsideTheRectangle) {
  QImage image = Blank();
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true); // the frame is never antialiased
    DrawFrameRect(painter, 2, 3, 0x000000FFu, 2, 3);     // red: 0x00BBGGRR
  }
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool onFrame = ((y == 2 || y == 5) && x >= 1 && x <= 5) ||
                           ((x == 1 || x == 5) && y >= 2 && y <= 5);
      EXPECT_EQ(image.pixel(x, y), onFrame ? qRgb(255, 0, 0) : qRgb(255, 255, 255))
          << x << "," << y;
    }
  }
  QImage untouched = Blank();
  {
    QPainter painter(&untouched);
    DrawFrameRect(painter, 2, 3, NoColor, 2, 3);
  }
  EXPECT_EQ(untouched, Blank());
}

TEST(DrawingTest, PixelsAreCopiedRowByRow) {
  QImage image(3, 2, QImage::Format_ARGB32);
  image.fill(0);
  const std::vector<uint32_t> pixels = {0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004};
  CopyPixelsToBitmap(pixels.data(), image, 2, 2);
  EXPECT_EQ(image.pixel(0, 0), 0xFF000001u);
  EXPECT_EQ(image.pixel(1, 0), 0xFF000002u);
  EXPECT_EQ(image.pixel(2, 0), 0u);
  EXPECT_EQ(image.pixel(0, 1), 0xFF000003u);
  EXPECT_EQ(image.pixel(1, 1), 0xFF000004u);

  QImage gray(3, 2, QImage::Format_Grayscale8);
  try {
    CopyPixelsToBitmap(pixels.data(), gray, 1, 1);
    ADD_FAILURE() << "no exception";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Invalid bitmap pixel format (not 32 bit).");
  }
  EXPECT_THROW(CopyPixelsToBitmap(pixels.data(), image, 4, 1), std::exception);
  EXPECT_THROW(CopyPixelsToBitmap(pixels.data(), image, 1, 3), std::exception);
}

TEST(ShiftStateTest, SetsAreComparedExactly) {
  const TShiftState ctrl = ShiftStateFrom(Qt::ControlModifier | Qt::KeypadModifier | Qt::MetaModifier);
  EXPECT_TRUE(ShiftStateIs(ctrl, ssCtrl));
  const TShiftState ctrlShift = ShiftStateFrom(Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_FALSE(ShiftStateIs(ctrlShift, ssCtrl));
  EXPECT_TRUE(ShiftStateHas(ctrlShift, ssCtrl));
  EXPECT_TRUE(ShiftStateIsPair(ctrlShift, ssShift, ssCtrl));
  EXPECT_FALSE(ShiftStateIsPair(ctrl, ssCtrl, ssCtrl));
  const TShiftState mouse = ShiftStateFrom(Qt::AltModifier, Qt::LeftButton | Qt::MiddleButton, true);
  EXPECT_EQ(mouse, ssAlt | ssLeft | ssMiddle | ssDouble);
  EXPECT_TRUE(ShiftStateIsEmpty(ShiftStateFrom(Qt::NoModifier)));
  EXPECT_FALSE(ShiftStateIsEmpty(ShiftStateFrom(Qt::NoModifier, Qt::RightButton)));
  // The core tests have no GUI application: nothing is down.
  EXPECT_FALSE(IsLeftButtonDown());
  EXPECT_FALSE(IsAnyButtonDown());
  EXPECT_EQ(CurrentShiftState(), 0u);
}

} // namespace
} // namespace cv
