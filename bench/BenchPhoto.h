#pragma once
// A photograph-like picture for the picture benchmarks: smooth light with
// fine grain and edges every `edgeWidth` x `edgeHeight` pixels.

#include <QImage>

#include <random>

namespace cv::bench {

inline QImage Photo(int width, int height, unsigned seed, int edgeWidth, int edgeHeight) {
  QImage image(width, height, QImage::Format_RGB32);
  std::minstd_rand random(seed);
  const int shift = static_cast<int>(seed % 97);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const int grain = static_cast<int>(random() % 17) - 8;
      line[x] = qRgb((x * 255 / width + shift + grain) & 255, (y * 255 / height + grain) & 255,
                     (((x / edgeWidth + y / edgeHeight) % 2) * 120 + 60 + grain) & 255);
    }
  }
  return image;
}

} // namespace cv::bench
