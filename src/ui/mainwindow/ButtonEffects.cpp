#include "mainwindow/ButtonEffects.h"

#include "foundation/Drawing.h"
#include "foundation/Guard.h"
#include "foundation/MyMath.h"
#include "mainwindow/SkinOptions.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <list>
#include <span>
#include <string>
#include <utility>

namespace cv {
namespace {

// Larger effects are refused rather than rendered (and the integer ellipse
// test stays within 64 bits).
constexpr int CMaxEffectSide = 8192;
// Recently used effects are kept; a list repaints the same few over and over.
constexpr size_t CCacheEntries = 64;
constexpr qsizetype CCacheBytes = 32 * 1024 * 1024;
// Gradient positions are in thousandths, from the outline (0) to the focus (1000).
constexpr int CPositionScale = 1000;

// Everything the rendered image depends on; the centre's x is Width / 2.
struct TEffectKey {
  int Width = 0;
  int Height = 0;
  int Shape = 0;
  int CentreY = 0;
  int MarginAlpha = 255;
  int BackAlpha = 255;
  TColor Tint = 0;
  TColor Fill = 0;
  TColor Margin = 0;
  bool operator==(const TEffectKey&) const = default;
};

// Unpremultiplied, so stops with different opacities blend as colours do.
struct TArgb {
  int A = 0, R = 0, G = 0, B = 0;
};

TArgb MakeArgb(TColor color, int alpha) {
  return {alpha, static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
          static_cast<int>((color >> 16) & 0xFF)};
}

struct TStop {
  int Position;
  TArgb Color;
};

int Mix(int from, int to, int part, int whole) {
  return (from * (whole - part) + to * part + whole / 2) / whole;
}

TArgb ColorAt(std::span<const TStop> stops, int position) {
  if (position <= stops.front().Position) return stops.front().Color;
  for (size_t i = 1; i < stops.size(); ++i) {
    const TStop& low = stops[i - 1];
    const TStop& high = stops[i];
    if (position > high.Position) continue;
    const int part = position - low.Position;
    const int whole = high.Position - low.Position;
    return {
        Mix(low.Color.A, high.Color.A, part, whole), Mix(low.Color.R, high.Color.R, part, whole),
        Mix(low.Color.G, high.Color.G, part, whole), Mix(low.Color.B, high.Color.B, part, whole)};
  }
  return stops.back().Color;
}

// `coverage` in sixteenths of the pixel.
QRgb Premultiplied(const TArgb& color, int coverage) {
  const int alpha = (color.A * coverage + 8) / 16;
  return qPremultiply(qRgba(color.R, color.G, color.B, alpha));
}

// How far toward the focus a point lies: 0 on the outline, 1 inside the focus
// (the shape scaled by `focus` about the centre). Contour u is the shape scaled
// by 1 - u (1 - focus) per axis; the point's position is the contour through it.
// Coordinates are normalised so the bounding box spans -1..1 on each axis.
double RectanglePosition(double x, double y, double centreX, double centreY, double focusX,
                         double focusY) {
  const auto axis = [](double p, double c, double focus) {
    const double reach = p >= c ? 1.0 - c : 1.0 + c; // centre to the side facing p
    if (reach <= 0.0) return 0.0;
    return (1.0 - std::abs(p - c) / reach) / (1.0 - focus);
  };
  return std::clamp(std::min(axis(x, centreX, focusX), axis(y, centreY, focusY)), 0.0, 1.0);
}

double EllipsePosition(double x, double y, double centreX, double centreY, double focusX,
                       double focusY) {
  const auto inside = [&](double u) {
    const double qx = centreX + (x - centreX) / (1.0 - u * (1.0 - focusX));
    const double qy = centreY + (y - centreY) / (1.0 - u * (1.0 - focusY));
    return qx * qx + qy * qy <= 1.0;
  };
  if (!inside(0.0)) return 0.0;
  if (inside(1.0)) return 1.0;
  double low = 0.0;
  double high = 1.0;
  for (int step = 0; step < 24; ++step) {
    const double middle = (low + high) / 2;
    (inside(middle) ? low : high) = middle;
  }
  return low;
}

// Sixteenths of pixel (i, j) inside the ellipse inscribed in width x height,
// sampled on a 4 x 4 grid in exact integers (units of 1/8 pixel).
int EllipseCoverage(int i, int j, int64_t width, int64_t height) {
  const int64_t limit = 16 * width * width * height * height;
  int count = 0;
  for (int sy = 0; sy < 4; ++sy) {
    const int64_t dy = 8 * j + 2 * sy + 1 - 4 * height;
    for (int sx = 0; sx < 4; ++sx) {
      const int64_t dx = 8 * i + 2 * sx + 1 - 4 * width;
      if (dx * dx * height * height + dy * dy * width * width <= limit) ++count;
    }
  }
  return count;
}

QImage RenderEffect(const TEffectKey& key) {
  QImage image(key.Width, key.Height, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return image;
  image.fill(Qt::transparent);

  const bool oval = key.Shape >= 2;
  const TArgb edge = MakeArgb(oval ? key.Margin : key.Fill, key.MarginAlpha);
  const TArgb body = MakeArgb(key.Fill, key.BackAlpha);
  const TArgb centre = MakeArgb(key.Tint, key.BackAlpha);
  std::span<const TStop> stops;
  const std::array<TStop, 2> plainStops{{{0, body}, {CPositionScale, centre}}};
  const std::array<TStop, 3> singleOvalStops{{{0, edge}, {300, centre}, {CPositionScale, body}}};
  const std::array<TStop, 5> doubleOvalStops{
      {{0, edge}, {250, body}, {350, edge}, {450, body}, {CPositionScale, centre}}};
  switch (key.Shape) {
  case 2:
    stops = singleOvalStops;
    break;
  case 3:
    stops = doubleOvalStops;
    break;
  default:
    stops = plainStops;
    break;
  }
  static constexpr std::array<std::pair<double, double>, 4> focusScales{
      {{0.85, 0.15}, {0.9, 0.3}, {0.3, 0.25}, {0.4, 0.25}}};
  const auto [focusX, focusY] = focusScales[static_cast<size_t>(key.Shape)];

  const double width = key.Width;
  const double height = key.Height;
  const double centreX = (2.0 * (key.Width / 2) - width) / width;
  const double centreY = (2.0 * key.CentreY - height) / height;
  for (int j = 0; j < key.Height; ++j) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(j));
    const double y = (2.0 * j + 1.0 - height) / height;
    for (int i = 0; i < key.Width; ++i) {
      const int coverage = oval ? EllipseCoverage(i, j, key.Width, key.Height) : 16;
      if (coverage == 0) continue;
      const double x = (2.0 * i + 1.0 - width) / width;
      const double position = oval ? EllipsePosition(x, y, centreX, centreY, focusX, focusY)
                                   : RectanglePosition(x, y, centreX, centreY, focusX, focusY);
      line[i] = Premultiplied(
          ColorAt(stops, static_cast<int>(std::lround(position * CPositionScale))), coverage);
    }
  }

  if (oval && (key.Margin & 0xFFFFFF) != (key.Fill & 0xFFFFFF) && key.MarginAlpha > 0) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(ToQColor(key.Margin, key.MarginAlpha), 1.0));
    painter.setBrush(Qt::NoBrush);
    // Half a pixel in, so the whole pen stays on the image.
    painter.drawEllipse(QRectF(0.5, 0.5, width - 1.0, height - 1.0));
  }
  return image;
}

class TEffectCache {
public:
  // Null when the image could not be made.
  const QImage* Get(const TEffectKey& key) {
    for (auto it = Entries.begin(); it != Entries.end(); ++it)
      if (it->first == key) {
        Entries.splice(Entries.begin(), Entries, it);
        return &Entries.front().second;
      }
    QImage image = RenderEffect(key);
    if (image.isNull()) return nullptr;
    Bytes += image.sizeInBytes();
    Entries.emplace_front(key, std::move(image));
    // The newest entry stays even when it alone passes the budget.
    while (Entries.size() > 1 && (Entries.size() > CCacheEntries || Bytes > CCacheBytes)) {
      Bytes -= Entries.back().second.sizeInBytes();
      Entries.pop_back();
    }
    return &Entries.front().second;
  }

private:
  std::list<std::pair<TEffectKey, QImage>> Entries;
  qsizetype Bytes = 0;
};

TEffectCache& EffectCache() {
  static TEffectCache cache;
  return cache;
}

// The height of the effect's centre, in hundredths of the height.
int CentreHeightPercent(int shape, bool flash, std::string_view nonOvalStyle) {
  if (shape >= 2) return flash ? 70 : 50;
  if (nonOvalStyle.empty() || nonOvalStyle == CNonOvalButtonsStyles[0]) return flash ? 65 : 50;
  if (nonOvalStyle == CNonOvalButtonsStyles[1]) return flash ? 40 : 25;
  return flash ? 60 : 75;
}

// A span of pixels; empty ones draw nothing.
void FillSpan(QPainter& canvas, int left, int top, int width, int height, TColor color) {
  if (width > 0 && height > 0) canvas.fillRect(QRect(left, top, width, height), ToQColor(color));
}

// A one-pixel frame along the inside of (left, top, right, bottom), right and
// bottom exclusive; an empty rectangle draws nothing.
void FrameInside(QPainter& canvas, int left, int top, int right, int bottom, TColor color) {
  if (right - left < 1 || bottom - top < 1) return;
  DrawFrameRect(canvas, left + 1, top + 1, color, bottom - top - 2, right - left - 2);
}

} // namespace

int TransparencyToAlpha(int transparency) {
  return ((100 - std::clamp(transparency, 0, 100)) * 255 + 50) / 100;
}

void PaintButtonFX(QPainter& canvas, const QRect& rect, bool hot, bool flash,
                   std::string_view nonOvalStyle, int shape, int backTransparency,
                   int marginTransparency, TColor tintColor, TColor fillColor, TColor marginColor) {
  if (rect.isEmpty()) return TGuard::EarlyExit();
  TGuard guard("PaintButtonFX");
  guard.Run([&] {
    if (!canvas.isActive()) guard.Raise("The canvas is not ready for painting.");
    if (shape < 0 || shape > 3) guard.Raise("Invalid button shape.", std::to_string(shape));
    if (rect.width() > CMaxEffectSide || rect.height() > CMaxEffectSide)
      guard.Raise("Button effect too large.", std::to_string(rect.width()),
                  std::to_string(rect.height()));
    TEffectKey key;
    key.Width = rect.width();
    key.Height = rect.height();
    key.Shape = shape;
    // From the rectangle's own top, so the centre stays inside it wherever it lies.
    key.CentreY = key.Height * CentreHeightPercent(shape, flash, nonOvalStyle) / 100;
    if (shape >= 2) {
      key.MarginAlpha = TransparencyToAlpha(marginTransparency);
      if (!hot) key.BackAlpha = TransparencyToAlpha(backTransparency);
    }
    key.Tint = tintColor & 0xFFFFFF;
    key.Fill = fillColor & 0xFFFFFF;
    key.Margin = marginColor & 0xFFFFFF;
    const QImage* image = EffectCache().Get(key);
    if (!image)
      guard.Raise("Failed to create bitmap.", std::to_string(key.Width),
                  std::to_string(key.Height));
    canvas.drawImage(rect.topLeft(), *image);
  });
}

void PaintFrameBevel(QPainter& canvas, int width, int height, int shapeInset, int shape,
                     TColor fillColor, TColor frameColor) {
  if (shape != 0 && shape != 1) return;
  const int u = shapeInset;
  const int w = u + 1;
  const int a = shape == 0 ? w + 3 : w;
  // Each line leaves out its end point: (a, w) to (width - a, w) covers a .. width - a - 1.
  const TColor line = BlendColors(fillColor, 0.7, frameColor, 0.3);
  FillSpan(canvas, a, w, width - 2 * a, 1, line);
  FillSpan(canvas, a, height - u - 2, width - 2 * a, 1, line);
  FillSpan(canvas, w, a, 1, height - 2 * a, line);
  FillSpan(canvas, width - u - 2, a, 1, height - 2 * a, line);
  FrameInside(canvas, u + 2, u + 2, width - u - 2, height - u - 2,
              BlendColors(fillColor, 0.8, frameColor, 0.2));
  FrameInside(canvas, u + 3, u + 3, width - u - 3, height - u - 3,
              BlendColors(fillColor, 0.9, frameColor, 0.1));
}

} // namespace cv
