#pragma once
// Pictures written for the picture tests.

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <string>

namespace cv::test {

// The picture encoded in `format`, as bytes.
inline std::string EncodePicture(const QImage& image, const char* format, int quality = -1) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (quality >= 0) writer.setQuality(quality);
  if (!writer.write(image)) return {};
  return bytes.toStdString();
}

// A picture of one colour (with alpha).
inline QImage Filled(int width, int height, QColor color) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(color);
  return image;
}

// Paints the rectangle with the colour, alpha included.
inline void Paint(QImage& image, QRect rect, QColor color) {
  QPainter canvas(&image);
  canvas.setCompositionMode(QPainter::CompositionMode_Source);
  canvas.fillRect(rect, color);
}

// A JPEG whose EXIF orientation says "turn 90 degrees clockwise to show".
inline std::string JpegTurnedClockwise(const QImage& stored) {
  std::string jpeg = EncodePicture(stored, "jpeg", 95);
  const char exif[] = "\xFF\xE1\x00\x22"
                      "Exif\0\0"
                      "MM\x00\x2A\x00\x00\x00\x08"
                      "\x00\x01"
                      "\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00"
                      "\x00\x00\x00\x00";
  jpeg.insert(2, exif, sizeof exif - 1);
  return jpeg;
}

} // namespace cv::test
