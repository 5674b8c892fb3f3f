#include "foundation/Drawing.h"

#include "foundation/Error.h"

#include <QImage>
#include <QPainter>
#include <cstring>

namespace cv {

void DrawFrameRect(QPainter& canvas, int left, int top, uint32_t color, int height, int width) {
  if (color == NoColor) return;
  canvas.save();
  canvas.setRenderHint(QPainter::Antialiasing, false);
  canvas.setPen(QPen(ToQColor(color), 0));
  canvas.setBrush(Qt::NoBrush);
  const QPoint corners[] = {{left - 1, top - 1},
                            {left + width, top - 1},
                            {left + width, top + height},
                            {left - 1, top + height}};
  canvas.drawPolygon(corners, 4);
  canvas.restore();
}

void CopyPixelsToBitmap(const void* pixels, QImage& bitmap, int width, int rows) {
  if (bitmap.depth() != 32) throw TLocatedError("Invalid bitmap pixel format (not 32 bit).");
  if (width < 0 || rows < 0 || width > bitmap.width() || rows > bitmap.height() ||
      (!pixels && width > 0 && rows > 0))
    throw TLocatedError("Pixel block larger than the bitmap.");
  const auto* source = static_cast<const uint8_t*>(pixels);
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  for (int row = 0; row < rows; ++row) {
    std::memcpy(bitmap.scanLine(row), source, rowBytes);
    source += rowBytes;
  }
}

} // namespace cv
