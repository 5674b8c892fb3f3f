#pragma once
// Pixel helpers over QImage and QPainter. Colours are 0x00BBGGRR values.

#include <QColor>
#include <cstdint>

class QImage;
class QPainter;

namespace cv {

// The "no colour" value: frames in it are not drawn.
constexpr uint32_t NoColor = 0x1FFFFFFF;

// The colour of a 0x00BBGGRR value (its high byte ignored) with `alpha`.
inline QColor ToQColor(uint32_t color, int alpha = 255) {
  return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF, alpha);
}

// A one-pixel frame just outside the rectangle (left, top, width, height):
// through (left - 1, top - 1) and (left + width, top + height).
void DrawFrameRect(QPainter& canvas, int left, int top, uint32_t color, int height, int width);

// Copies `rows` rows of `width` 32-bit pixels, row after row, into the
// bitmap. Throws "Invalid bitmap pixel format (not 32 bit)." for another
// depth, and refuses a block larger than the bitmap.
void CopyPixelsToBitmap(const void* pixels, QImage& bitmap, int width, int rows);

} // namespace cv
