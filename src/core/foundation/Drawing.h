#pragma once
// Pixel helpers over QImage and QPainter. Colours are 0x00BBGGRR values.

#include <cstdint>

class QImage;
class QPainter;

namespace cv {

// The "no colour" value: frames in it are not drawn.
constexpr uint32_t NoColor = 0x1FFFFFFF;

// A one-pixel frame just outside the rectangle (left, top, width, height):
// through (left - 1, top - 1) and (left + width, top + height).
void DrawFrameRect(QPainter& canvas, int left, int top, uint32_t color, int height, int width);

// Copies `rows` rows of `width` 32-bit pixels, row after row, into the
// bitmap. Throws "Invalid bitmap pixel format (not 32 bit)." for another
// depth, and refuses a block larger than the bitmap.
void CopyPixelsToBitmap(const void* pixels, QImage& bitmap, int width, int rows);

} // namespace cv
