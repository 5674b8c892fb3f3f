#include "pictures/Pictures.h"

#include "foundation/Error.h"

#include "../filesystem/FileTestSupport.h"
#include "PictureTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <chrono>
#include <future>
#include <sys/stat.h>

namespace cv {
namespace {

class PicturesTest : public ::testing::Test {
protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string title = Dir.Path + "/" + name;
    EXPECT_TRUE(test::WriteBytes(title, bytes));
    return title;
  }
  test::TTempDir Dir;
};

TEST_F(PicturesTest, ThumbIsDecodedAtItsSizeWithTheExifTurnApplied) {
  // Stored 400 x 200, left half red and right half blue; shown turned clockwise
  // it is 200 x 400, red above and blue below.
  QImage stored = test::Filled(400, 200, Qt::blue);
  test::Paint(stored, {0, 0, 200, 200}, Qt::red);
  const std::string title = Write("turned.jpg", test::JpegTurnedClockwise(stored));

  TThumb thumb;
  ASSERT_TRUE(LoadPictureToBitmap(title, {.Box = {100, 100}}, thumb)) << FunStatContext.Description;
  EXPECT_EQ(thumb.Picture, (TPictureSize{200, 400}));
  EXPECT_EQ(thumb.Bitmap.size(), QSize(50, 100));
  EXPECT_EQ(thumb.Zoom, 25);
  EXPECT_LT(test::ColorDistance(test::PixelColor(thumb.Bitmap, 25, 10), 0x0000FF), 60);
  EXPECT_LT(test::ColorDistance(test::PixelColor(thumb.Bitmap, 25, 90), 0xFF0000), 60);

  // Exact takes the box as it is; enlarging lets a small picture grow.
  ASSERT_TRUE(LoadPictureToBitmap(title, {.Box = {30, 20}, .Exact = true}, thumb));
  EXPECT_EQ(thumb.Bitmap.size(), QSize(30, 20));
  ASSERT_TRUE(LoadPictureToBitmap(title, {.Box = {1000, 1000}, .Enlarge = true}, thumb));
  EXPECT_EQ(thumb.Bitmap.size(), QSize(500, 1000));
}

TEST_F(PicturesTest, ThumbKeepsThePicturesOwnAlpha) {
  // Opaque white must stay: keying the background colour away would lose it.
  QImage picture = test::Filled(40, 20, Qt::white);
  test::Paint(picture, {0, 0, 20, 20}, Qt::transparent);
  const std::string png = Write("a.png", test::EncodePicture(picture, "png"));
  const std::string jpg =
      Write("a.jpg", test::EncodePicture(test::Filled(40, 20, Qt::white), "jpeg"));
  TThumb thumb;
  ASSERT_TRUE(LoadPictureToBitmap(png, {.Box = {40, 40}}, thumb));
  EXPECT_EQ(qAlpha(thumb.Bitmap.pixel(5, 5)), 0);
  EXPECT_EQ(thumb.Bitmap.pixel(35, 5), qRgba(255, 255, 255, 255));
  ASSERT_TRUE(LoadPictureToBitmap(jpg, {.Box = {40, 40}}, thumb));
  EXPECT_EQ(qAlpha(thumb.Bitmap.pixel(35, 5)), 255);
  EXPECT_FALSE(thumb.Bitmap.hasAlphaChannel());
}

TEST_F(PicturesTest, OnlyRegularFilesAreRead) {
  const std::string fifo = Dir.Path + "/x.png";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  auto load = std::async(std::launch::async, [&] {
    TThumb thumb;
    const bool loaded = LoadPictureToBitmap(fifo, {.Box = {10, 10}}, thumb);
    return std::make_pair(loaded, FunStatContext.Description);
  });
  if (load.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    // Let the stuck reader go before failing.
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
    FAIL() << "reading the FIFO blocked";
  }
  const auto [loaded, description] = load.get();
  EXPECT_FALSE(loaded);
  EXPECT_EQ(description, "Failed to load picture.");

  const std::string text = Write("not.png", "plain text");
  TThumb thumb;
  EXPECT_FALSE(LoadPictureToBitmap(text, {.Box = {10, 10}}, thumb));
  EXPECT_TRUE(FunStatContext.Failed());
}

// One pixel (200, 100, 50) with the adjustments, as 0xAARRGGBB.
QRgb Adjusted(const TPictureAdjust& adjust, QRgb pixel = qRgb(200, 100, 50)) {
  QImage one(1, 1, QImage::Format_ARGB32);
  one.setPixel(0, 0, pixel);
  return AdjustPicture(one, adjust, {1, 1}).pixel(0, 0);
}

TEST(PictureAdjust, GoldenPixels) {
  struct TCase {
    TPictureAdjust Adjust;
    QRgb Pixel, Expected;
  };
  const TCase cases[] = {
      {{}, qRgb(200, 100, 50), qRgb(200, 100, 50)},
      // Red - Green by 90 degrees: green takes red, red gets minus green (0).
      {{.RedGreen = 90}, qRgb(200, 100, 50), qRgb(0, 200, 50)},
      // By 45: (200 - 100) * 0.7071 and (200 + 100) * 0.7071.
      {{.RedGreen = 45}, qRgb(200, 100, 50), qRgb(71, 212, 50)},
      // Green - Blue by 90: blue takes green, green gets minus blue.
      {{.GreenBlue = 90}, qRgb(200, 100, 50), qRgb(200, 0, 100)},
      // Blue - Red by 90: red takes blue, blue gets minus red.
      {{.BlueRed = 90}, qRgb(200, 100, 50), qRgb(50, 100, 0)},
      // Gamma 2: 128 -> 255 * (128 / 255)^2 = 64.25.
      {{.Gamma = 200}, qRgb(128, 255, 0), qRgb(64, 255, 0)},
      {{.Gamma = 50}, qRgb(64, 255, 0), qRgb(128, 255, 0)},
      // Fade 50 halves the alpha; fade 100 makes it vanish.
      {{.Fade = 50}, qRgb(200, 100, 50), qRgba(200, 100, 50, 128)},
      {{.Fade = 100}, qRgb(200, 100, 50), qRgba(200, 100, 50, 0)},
      // Out of range: no change.
      {{.Gamma = 0}, qRgb(128, 100, 50), qRgb(128, 100, 50)},
      {{.Gamma = 1001}, qRgb(128, 100, 50), qRgb(128, 100, 50)},
      {{.Fade = 101}, qRgb(200, 100, 50), qRgb(200, 100, 50)},
      {{.RedGreen = 181}, qRgb(200, 100, 50), qRgb(200, 100, 50)},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(Adjusted(c.Adjust, c.Pixel), c.Expected)
        << std::hex << c.Pixel << " gamma " << std::dec << c.Adjust.Gamma << " fade "
        << c.Adjust.Fade << " rg " << c.Adjust.RedGreen;
}

TEST(PictureAdjust, DrawScalesToTheDrawSize) {
  QImage canvasImage(20, 10, QImage::Format_RGB32);
  canvasImage.fill(Qt::black);
  QPainter canvas(&canvasImage);
  DrawPictureAdjusted(test::Filled(2, 2, Qt::white), canvas, {.Fade = 50}, {10, 10});
  canvas.end();
  EXPECT_EQ(canvasImage.pixel(5, 5), qRgb(128, 128, 128));
  EXPECT_EQ(canvasImage.pixel(15, 5), qRgb(0, 0, 0));
}

TEST_F(PicturesTest, TilesRepeatTheFirstTile) {
  // A 30 x 20 tile with a red corner over a 100 x 50 area: 4 columns, 3 rows.
  QImage tile = test::Filled(30, 20, Qt::green);
  tile.setPixel(0, 0, qRgb(255, 0, 0));
  const std::string title = Write("tile.png", test::EncodePicture(tile, "png"));
  QImage bitmap;
  ASSERT_TRUE(LoadTilePictureToBitmap(title, {.Area = {100, 50}}, bitmap));
  ASSERT_EQ(bitmap.size(), QSize(100, 50));
  for (int column = 0; column < 4; ++column)
    for (int row = 0; row < 3; ++row)
      EXPECT_EQ(bitmap.pixel(column * 30, row * 20), qRgb(255, 0, 0)) << column << "," << row;
  EXPECT_EQ(bitmap.pixel(29, 19), qRgb(0, 255, 0));

  // A picture whose fit is one pixel high still tiles the whole area.
  const std::string line =
      Write("line.png", test::EncodePicture(test::Filled(10000, 1, Qt::blue), "png"));
  ASSERT_TRUE(LoadTilePictureToBitmap(line, {.Area = {100, 100}, .Fit = true}, bitmap));
  EXPECT_EQ(bitmap.pixel(99, 99), qRgb(0, 0, 255));

  // Stretched with fade 100: only the background shows.
  ASSERT_TRUE(LoadTilePictureToBitmap(
      title,
      {.Area = {100, 50}, .Background = 0x00FF0000, .Adjust = {.Fade = 100}, .Stretch = true},
      bitmap));
  EXPECT_EQ(bitmap.pixel(50, 25), qRgb(0, 0, 255));

  bitmap = QImage(1, 1, QImage::Format_RGB32);
  EXPECT_FALSE(LoadTilePictureToBitmap(Dir.Path + "/missing.png", {.Area = {100, 50}}, bitmap));
  EXPECT_TRUE(bitmap.isNull());
}

TEST_F(PicturesTest, StatisticsAndRecommendedRotation) {
  // No pixels: zero averages, no division by zero.
  for (const QImage& empty : {QImage(), QImage(0, 0, QImage::Format_RGB32)}) {
    const TRgbAverage average = GetPictureRGBStatistics(empty);
    EXPECT_EQ(average.Red + average.Green + average.Blue, 0u);
  }
  QImage two(2, 1, QImage::Format_RGB32);
  two.setPixel(0, 0, qRgb(10, 20, 31));
  two.setPixel(1, 0, qRgb(20, 40, 60));
  const TRgbAverage average = GetPictureRGBStatistics(two);
  EXPECT_EQ(average.Red, 15u);
  EXPECT_EQ(average.Green, 30u);
  EXPECT_EQ(average.Blue, 45u);

  const std::string black =
      Write("black.png", test::EncodePicture(test::Filled(4, 4, Qt::black), "png"));
  TColorRotation rotation;
  const std::string report = RecommendColorRotateValues(black, 0x0000FF, rotation);
  EXPECT_EQ(report, "Background picture tint -> fade color: \n    * Red = 0 -> 255\n"
                    "    * Green = 0 -> 0\n    * Blue = 0 -> 0\n\n"
                    "Recommended color rotation values:\n    * Red - Green = -90\n"
                    "    * Green - Blue = 0\n    * Blue - Red = 90");
  EXPECT_EQ(rotation.RedGreen, -90);
  EXPECT_EQ(rotation.GreenBlue, 0);
  EXPECT_EQ(rotation.BlueRed, 90);
  RecommendColorRotateValues(black, 0x000000, rotation);
  EXPECT_EQ(rotation.RedGreen | rotation.GreenBlue | rotation.BlueRed, 0);
  EXPECT_EQ(RecommendColorRotateValues(Dir.Path + "/missing.png", 0, rotation), "");
  EXPECT_EQ(FunStatContext.Description, "Failed to load picture.");
}

TEST(PictureTexts, PixelFormats) {
  const std::pair<QImage::Format, const char*> cases[] = {
      {QImage::Format_Mono, "1 bpp"},    {QImage::Format_Indexed8, "8 bpp"},
      {QImage::Format_RGB16, "16 bpp"},  {QImage::Format_RGB888, "24 bpp"},
      {QImage::Format_ARGB32, "32 bpp"}, {QImage::Format_RGBX64, "48 bpp"},
      {QImage::Format_RGBA64, "64 bpp"}, {QImage::Format_Alpha8, ""},
  };
  for (const auto& [format, text] : cases)
    EXPECT_EQ(GetPicturePixelFormatText(QImage(2, 2, format)), text) << format;
}

TEST_F(PicturesTest, FrameCount) {
  const std::string png = Write("one.png", test::EncodePicture(test::Filled(2, 2, Qt::red), "png"));
  EXPECT_EQ(GetPictureFrameCount(png), 1);
  EXPECT_EQ(GetPictureFrameCount(Dir.Path + "/missing.png"), 0);
  EXPECT_TRUE(FunStatContext.Failed());
}

} // namespace
} // namespace cv
