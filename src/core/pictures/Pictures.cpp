#include "pictures/Pictures.h"

#include "filesystem/FileHandles.h"
#include "foundation/Drawing.h"
#include "foundation/Guard.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <mutex>
#include <numbers>
#include <sys/stat.h>

namespace cv {

namespace {

// A reader on a regular file opened by us: a FIFO named "x.png" is refused
// at once instead of blocking the decoder, and the inode checked is the one read.
class TPictureReader {
public:
  int Open(const std::string& title) {
    static std::once_flag limit;
    std::call_once(limit, [] { QImageReader::setAllocationLimit(PictureAllocationLimitMB); });
    TFileHandle handle;
    if (const int code = OpenRegularForReading(title, true, handle)) return code;
    if (::fstat(handle.Get(), &Facts) != 0) return errno;
    if (!File.open(handle.Get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return EIO;
    handle.Release();
    Reader.setDevice(&File);
    Reader.setAutoTransform(true);
    return 0;
  }
  bool Turned() { return (Reader.transformation() & QImageIOHandler::TransformationRotate90) != 0; }
  // The picture's size as it will be shown (EXIF turns applied); empty when unknown.
  TPictureSize Size() {
    const QSize stored = Reader.size();
    if (!stored.isValid()) return {};
    return Turned() ? TPictureSize{stored.height(), stored.width()}
                    : TPictureSize{stored.width(), stored.height()};
  }
  // A decoder that cannot scale while it reads holds the whole picture.
  bool FitsAllocationLimit(TPictureSize size) {
    return size.Width * size.Height * 4 <= int64_t{PictureAllocationLimitMB} * 1024 * 1024;
  }
  std::string Error() const { return Reader.errorString().toStdString(); }

  struct stat Facts {};
  QFile File;
  QImageReader Reader;
};

// Formats painters draw fastest; the picture's own alpha stays.
QImage Drawable(QImage image) {
  return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                       : QImage::Format_RGB32);
}

// A bitmap of this size can be made within the allocation limit.
bool FitsQImage(TPictureSize size) {
  return !size.Empty() && size.Width <= INT_MAX / 4 && size.Height <= INT_MAX / 4 &&
         size.Width * size.Height * 4 <= int64_t{PictureAllocationLimitMB} * 1024 * 1024;
}

QSize ToQSize(TPictureSize size) {
  return {static_cast<int>(size.Width), static_cast<int>(size.Height)};
}

bool FadeApplies(const TPictureAdjust& a) {
  return a.Fade >= 1 && a.Fade <= 100;
}
bool RotationApplies(const TPictureAdjust& a) {
  const auto in = [](int v) { return v >= -180 && v <= 180; };
  return in(a.BlueRed) && in(a.GreenBlue) && in(a.RedGreen) &&
         (a.BlueRed != 0 || a.GreenBlue != 0 || a.RedGreen != 0);
}
bool GammaApplies(const TPictureAdjust& a) {
  return a.Gamma >= 1 && a.Gamma <= 1000 && a.Gamma != 100;
}

uint8_t ToByte(float value) {
  return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

} // namespace

QImage LoadPictureFile(const std::string& title, struct stat* facts) {
  TGuard guard("LoadPictureFile");
  return guard.Run(QImage(), [&] {
    TPictureReader reader;
    if (const int code = reader.Open(title))
      guard.Raise("Failed to load picture.", title, {}, static_cast<uint32_t>(code));
    if (!reader.FitsAllocationLimit(reader.Size()))
      guard.Raise("Failed to load picture.", title, {}, ENOMEM);
    QImage image = reader.Reader.read();
    if (image.isNull()) guard.Raise("Failed to load picture.", title, reader.Error(), EINVAL);
    if (facts) *facts = reader.Facts;
    return image;
  });
}

bool LoadPictureToBitmap(const std::string& title, const TThumbRequest& request, TThumb& thumb) {
  TGuard guard("LoadPictureToBitmap");
  return guard.Run(false, [&] {
    thumb = {};
    TPictureReader reader;
    if (const int code = reader.Open(title))
      guard.Raise("Failed to load picture.", title, {}, static_cast<uint32_t>(code));
    QImage image;
    thumb.Picture = reader.Size();
    if (thumb.Picture.Empty()) {
      // A decoder that cannot tell the size before reading: read it whole.
      image = reader.Reader.read();
      thumb.Picture = {image.width(), image.height()};
    }
    if (thumb.Picture.Empty()) guard.Raise("Invalid picture size.", title, reader.Error());
    const TPictureSize size =
        request.Exact ? request.Box : FitSizeInBox(thumb.Picture, request.Box, request.Enlarge);
    if (!FitsQImage(size)) guard.Raise("Invalid picture size.", title);
    const bool high = request.HighQuality ||
                      (request.SmartQualitySize >= 0 && (size.Width >= request.SmartQualitySize ||
                                                         size.Height >= request.SmartQualitySize));
    const Qt::TransformationMode mode = high ? Qt::SmoothTransformation : Qt::FastTransformation;
    if (image.isNull()) {
      const bool scales = reader.Reader.supportsOption(QImageIOHandler::ScaledSize);
      if (!reader.FitsAllocationLimit(scales ? size : thumb.Picture))
        guard.Raise("Failed to load picture.", title, {}, ENOMEM);
      // The scaled size is in the stored orientation; the turn comes after.
      reader.Reader.setScaledSize(
          reader.Turned() ? QSize(ToQSize(size).height(), ToQSize(size).width()) : ToQSize(size));
      // Decoders read "quality" as fast or careful decoding and scaling.
      reader.Reader.setQuality(high ? 100 : 0);
      image = reader.Reader.read();
      if (image.isNull()) guard.Raise("Failed to load picture.", title, reader.Error(), EINVAL);
    }
    if (image.size() != ToQSize(size))
      image = image.scaled(ToQSize(size), Qt::IgnoreAspectRatio, mode);
    thumb.Bitmap = Drawable(std::move(image));
    if (thumb.Bitmap.isNull()) guard.Raise("Failed to load picture.", title, {}, ENOMEM);
    thumb.Zoom = size.Height * 100 / thumb.Picture.Height;
    return true;
  });
}

bool TPictureAdjust::Applies() const {
  return FadeApplies(*this) || RotationApplies(*this) || GammaApplies(*this);
}

TColorMatrix AdjustMatrix(const TPictureAdjust& adjust) {
  TColorMatrix m{};
  for (int i = 0; i < 5; ++i)
    m.M[i][i] = 1;
  if (FadeApplies(adjust)) m.M[3][3] = 1.0f - static_cast<float>(adjust.Fade) * 0.01f;
  if (RotationApplies(adjust)) {
    const double toRadians = std::numbers::pi / 180;
    const double a = adjust.RedGreen * toRadians, b = adjust.GreenBlue * toRadians,
                 c = adjust.BlueRed * toRadians;
    const auto f = [](double v) { return static_cast<float>(v); };
    m.M[0][0] = f(std::cos(a) * std::cos(c));
    m.M[0][1] = f(std::sin(a));
    m.M[0][2] = f(-std::sin(c));
    m.M[1][0] = f(-std::sin(a));
    m.M[1][1] = f(std::cos(a) * std::cos(b));
    m.M[1][2] = f(std::sin(b));
    m.M[2][0] = f(std::sin(c));
    m.M[2][1] = f(-std::sin(b));
    m.M[2][2] = f(std::cos(b) * std::cos(c));
  }
  return m;
}

QImage AdjustPicture(const QImage& picture, const TPictureAdjust& adjust, TPictureSize draw) {
  if (picture.isNull() || !FitsQImage(draw)) return {};
  QImage source =
      picture.size() == ToQSize(draw)
          ? picture
          : picture.scaled(ToQSize(draw), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  if (source.format() != QImage::Format_RGB32 && source.format() != QImage::Format_ARGB32)
    source = source.convertToFormat(QImage::Format_ARGB32);
  if (source.isNull() || !adjust.Applies()) return source;

  const TColorMatrix m = AdjustMatrix(adjust);
  // Each input channel's share of each output channel per byte value, in
  // sixteenths of a level: the per-pixel work is look-ups and additions.
  std::array<std::array<std::array<int32_t, 256>, 3>, 3> share;
  for (int in = 0; in < 3; ++in)
    for (int out = 0; out < 3; ++out)
      for (int v = 0; v < 256; ++v)
        share[in][out][v] = static_cast<int32_t>(std::lround(v * 16.0 * m.M[in][out]));
  std::array<uint8_t, 256> gamma;
  const bool gammaApplies = GammaApplies(adjust);
  for (int v = 0; v < 256; ++v)
    gamma[v] = gammaApplies ? ToByte(static_cast<float>(
                                  std::pow(v / 255.0, static_cast<double>(adjust.Gamma) * 0.01)))
                            : static_cast<uint8_t>(v);
  std::array<uint8_t, 256> alpha;
  for (int v = 0; v < 256; ++v)
    alpha[v] = ToByte(static_cast<float>(v) / 255.0f * m.M[3][3]);
  const auto level = [&](int32_t sixteenths) {
    return gamma[std::clamp((sixteenths + 8) >> 4, 0, 255)];
  };

  // An opaque picture without fade stays opaque: painters copy it fastest.
  const bool opaque = source.format() == QImage::Format_RGB32 && !FadeApplies(adjust);
  QImage image(source.size(), opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
  if (image.isNull()) return {};
  for (int y = 0; y < image.height(); ++y) {
    const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = from[x];
      const int r = qRed(p), g = qGreen(p), b = qBlue(p);
      to[x] = qRgba(level(share[0][0][r] + share[1][0][g] + share[2][0][b]),
                    level(share[0][1][r] + share[1][1][g] + share[2][1][b]),
                    level(share[0][2][r] + share[1][2][g] + share[2][2][b]), alpha[qAlpha(p)]);
    }
  }
  return image;
}

void DrawPictureAdjusted(const QImage& picture, QPainter& canvas, const TPictureAdjust& adjust,
                         TPictureSize draw) {
  if (!FitsQImage(draw)) return;
  const QRect target(QPoint(0, 0), ToQSize(draw));
  if (!adjust.Applies()) {
    canvas.save();
    canvas.setRenderHint(QPainter::SmoothPixmapTransform);
    canvas.drawImage(target, picture);
    canvas.restore();
    return;
  }
  canvas.drawImage(target.topLeft(), AdjustPicture(picture, adjust, draw));
}

bool LoadTilePictureToBitmap(const std::string& title, const TTileRequest& request,
                             QImage& bitmap) {
  TGuard guard("LoadTilePictureToBitmap");
  return guard.Run(false, [&] {
    bitmap = QImage();
    if (!FitsQImage(request.Area)) guard.Raise("Invalid picture size.", title);
    const QImage picture = LoadPictureFile(title);
    guard.TakeOver();
    const TPictureSize own{picture.width(), picture.height()};
    if (own.Empty()) guard.Raise("Failed to load picture.", title);
    QImage area(ToQSize(request.Area), QImage::Format_RGB32);
    if (area.isNull()) guard.Raise("Failed to load picture.", title, {}, ENOMEM);
    area.fill(ToQColor(request.Background));
    const TPictureSize draw = request.Stretch ? request.Area
                              : request.Fit   ? FitSizeInBox(own, request.Area, true)
                                              : own;
    // The first tile over the background; the rest of the area repeats it.
    // A tile larger than the area is cut to it: there is only one then.
    QImage cell(ToQSize({std::min(draw.Width, request.Area.Width),
                         std::min(draw.Height, request.Area.Height)}),
                QImage::Format_RGB32);
    if (cell.isNull()) guard.Raise("Failed to load picture.", title, {}, ENOMEM);
    cell.fill(ToQColor(request.Background));
    {
      QPainter canvas(&cell);
      DrawPictureAdjusted(picture, canvas, request.Adjust, draw);
    }
    {
      QPainter canvas(&area);
      canvas.fillRect(area.rect(), QBrush(cell));
    }
    bitmap = std::move(area);
    return true;
  });
}

TRgbAverage GetPictureRGBStatistics(const QImage& picture) {
  const int64_t pixels = int64_t{picture.width()} * picture.height();
  if (picture.isNull() || pixels <= 0) return {};
  const QImage image =
      picture.format() == QImage::Format_ARGB32 || picture.format() == QImage::Format_RGB32
          ? picture
          : picture.convertToFormat(QImage::Format_ARGB32);
  if (image.isNull()) return {};
  uint64_t red = 0, green = 0, blue = 0;
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      red += qRed(line[x]);
      green += qGreen(line[x]);
      blue += qBlue(line[x]);
    }
  }
  const auto count = static_cast<uint64_t>(pixels);
  return {static_cast<uint32_t>(red / count), static_cast<uint32_t>(green / count),
          static_cast<uint32_t>(blue / count)};
}

std::string RecommendColorRotateValues(const std::string& title, uint32_t fadeColor,
                                       TColorRotation& rotation) {
  TGuard guard("RecommendColorRotateValues");
  return guard.Run(std::string(), [&] {
    rotation = {};
    const QImage picture = LoadPictureFile(title);
    if (picture.width() <= 0 || picture.height() <= 0)
      guard.Raise("Failed to load picture.", title);
    const TRgbAverage average = GetPictureRGBStatistics(picture);
    const int ar = static_cast<int>(average.Red), ag = static_cast<int>(average.Green),
              ab = static_cast<int>(average.Blue);
    const int fr = static_cast<int>(fadeColor & 0xFF),
              fg = static_cast<int>((fadeColor >> 8) & 0xFF),
              fb = static_cast<int>((fadeColor >> 16) & 0xFF);
    const int dr = fr - ar, dg = fg - ag, db = fb - ab;
    rotation.RedGreen = ((dg - dr) * 180 / 255) / 2;
    rotation.GreenBlue = ((db - dg) * 180 / 255) / 2;
    rotation.BlueRed = ((dr - db) * 180 / 255) / 2;
    const auto n = [](int v) { return std::to_string(v); };
    return "Background picture tint -> fade color: \n    * Red = " + n(ar) + " -> " + n(fr) +
           "\n    * Green = " + n(ag) + " -> " + n(fg) + "\n    * Blue = " + n(ab) + " -> " +
           n(fb) +
           "\n\nRecommended color rotation values:\n    * Red - Green = " + n(rotation.RedGreen) +
           "\n    * Green - Blue = " + n(rotation.GreenBlue) +
           "\n    * Blue - Red = " + n(rotation.BlueRed);
  });
}

std::string GetPicturePixelFormatText(const QImage& picture) {
  switch (picture.format()) {
  case QImage::Format_Mono:
  case QImage::Format_MonoLSB:
    return "1 bpp";
  case QImage::Format_Indexed8:
  case QImage::Format_Grayscale8:
    return "8 bpp";
  case QImage::Format_Grayscale16:
  case QImage::Format_RGB555:
  case QImage::Format_RGB16:
    return "16 bpp";
  case QImage::Format_RGB888:
  case QImage::Format_BGR888:
    return "24 bpp";
  case QImage::Format_RGB32:
  case QImage::Format_ARGB32:
  case QImage::Format_ARGB32_Premultiplied:
    return "32 bpp";
  case QImage::Format_RGBX64:
    return "48 bpp";
  case QImage::Format_RGBA64:
  case QImage::Format_RGBA64_Premultiplied:
    return "64 bpp";
  default:
    return {};
  }
}

int GetPictureFrameCount(const std::string& title) {
  TGuard guard("GetPictureFrameCount");
  return guard.Run(0, [&] {
    TPictureReader reader;
    if (const int code = reader.Open(title))
      guard.Raise("Failed to load picture.", title, {}, static_cast<uint32_t>(code));
    if (!reader.Reader.canRead())
      guard.Raise("Failed to load picture.", title, reader.Error(), EINVAL);
    return std::max(reader.Reader.imageCount(), 1);
  });
}

} // namespace cv
