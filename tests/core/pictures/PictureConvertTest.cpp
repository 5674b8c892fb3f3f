#include "pictures/PictureConvert.h"

#include "foundation/Error.h"
#include "pictures/PictureCodecs.h"
#include "pictures/Pictures.h"

#include "../filesystem/FileTestSupport.h"
#include "PictureTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {
namespace {

class PictureConvertTest : public ::testing::Test {
protected:
  void SetUp() override {
    // Left half transparent, right half opaque red.
    QImage picture = test::Filled(40, 20, Qt::red);
    test::Paint(picture, {0, 0, 20, 20}, Qt::transparent);
    Source = Dir.Path + "/source.png";
    ASSERT_TRUE(test::WriteBytes(Source, test::EncodePicture(picture, "png")));
  }
  TConvertPictureRequest To(const char* description) {
    TConvertPictureRequest request;
    EXPECT_TRUE(GetPictureConverterID(description, request.Extension, request.Encoder));
    request.Overwrite = true;
    return request;
  }
  QImage Read(const std::string& title) {
    QImage image = LoadPictureFile(title);
    EXPECT_FALSE(image.isNull()) << title << ": " << FunStatContext.Description;
    return image.convertToFormat(QImage::Format_ARGB32);
  }
  test::TTempDir Dir;
  std::string Source;
};

TEST_F(PictureConvertTest, AlphaStaysWhereTheFormatKeepsIt) {
  struct TCase {
    const char* Description;
    bool KeepsAlpha;
  };
  for (const TCase c :
       {TCase{"PNG", true}, TCase{"TIFF", true}, TCase{"JPEG", false}, TCase{"BMP", false}}) {
    const TConvertPictureRequest request = To(c.Description);
    ASSERT_TRUE(ConvertPicture(Source, Dir.Path + "/out.xyz", request))
        << c.Description << ": " << FunStatContext.Description;
    const QImage out = Read(Dir.Path + "/out" + request.Extension);
    ASSERT_EQ(out.size(), QSize(40, 20)) << c.Description;
    if (c.KeepsAlpha)
      EXPECT_EQ(qAlpha(out.pixel(5, 5)), 0) << c.Description;
    else // flattened onto white
      EXPECT_LT(test::ColorDistance(test::PixelColor(out, 5, 5), 0xFFFFFF), 12) << c.Description;
    EXPECT_LT(test::ColorDistance(test::PixelColor(out, 35, 5), 0x0000FF), 30) << c.Description;
  }
  // A new file gets the usual mode, not the private file's.
  struct stat facts {};
  ASSERT_EQ(::stat((Dir.Path + "/out.bmp").c_str(), &facts), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(facts.st_mode & 0777, 0666 & ~mask);
}

TEST_F(PictureConvertTest, NormalizesTheSize) {
  TConvertPictureRequest request = To("PNG");
  request.Normalize = request.NormalizeWidth = true;
  request.WidthTo = 10;
  ASSERT_TRUE(ConvertPicture(Source, Dir.Path + "/small", request));
  EXPECT_EQ(Read(Dir.Path + "/small.png").size(), QSize(10, 5));
}

TEST_F(PictureConvertTest, QualityGoesOnlyToLossyEncoders) {
  const QImage noise = [] {
    QImage image(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        image.setPixel(x, y, qRgb(x * 4, (x * y) & 255, (y * 7) & 255));
    return image;
  }();
  const std::string source = Dir.Path + "/noise.bmp";
  ASSERT_TRUE(test::WriteBytes(source, test::EncodePicture(noise, "bmp")));
  const auto converted = [&](const char* description, double quality, const char* name) {
    TConvertPictureRequest request = To(description);
    request.Quality = quality;
    EXPECT_TRUE(ConvertPicture(source, Dir.Path + "/" + name, request));
    return test::ReadBytes(Dir.Path + "/" + name + request.Extension);
  };
  EXPECT_LT(converted("JPEG", 0.1, "low").size(), converted("JPEG", 0.9, "high").size());
  EXPECT_EQ(converted("PNG", 0.0, "zero"), converted("PNG", 1.0, "one"));
}

TEST_F(PictureConvertTest, RefusesToWriteOverItsSource) {
  const std::string before = test::ReadBytes(Source);
  const std::string link = Dir.Path + "/link.png";
  ASSERT_EQ(::link(Source.c_str(), link.c_str()), 0);
  const std::string symlink = Dir.Path + "/symlink.png";
  ASSERT_EQ(::symlink(Source.c_str(), symlink.c_str()), 0);
  for (const std::string& target : {Source, link, symlink}) {
    EXPECT_FALSE(ConvertPicture(Source, target, To("PNG"))) << target;
    EXPECT_EQ(FunStatContext.Description, "Source and destination are the same.");
    EXPECT_EQ(test::ReadBytes(Source), before);
  }
}

TEST_F(PictureConvertTest, KeepsAnExistingDestinationWithoutOverwrite) {
  const std::string target = Dir.Path + "/old.jpg";
  ASSERT_TRUE(test::WriteBytes(target, "old"));
  TConvertPictureRequest request = To("JPEG");
  request.Overwrite = false;
  EXPECT_FALSE(ConvertPicture(Source, Dir.Path + "/old.png", request));
  EXPECT_EQ(FunStatContext.Description, "Contradictory overwrite choices.");
  EXPECT_EQ(test::ReadBytes(target), "old");
  // GIF has no encoder.
  request.Encoder = "gif";
  request.Extension = ".gif";
  EXPECT_FALSE(ConvertPicture(Source, Dir.Path + "/new.gif", request));
  EXPECT_EQ(test::ReadBytes(Dir.Path + "/new.gif"), "<missing>");
}

TEST_F(PictureConvertTest, AFailedWriteLeavesNothingBehind) {
  const std::string locked = Dir.Path + "/locked";
  ASSERT_EQ(::mkdir(locked.c_str(), 0555), 0);
  const std::string failure = test::RunUnprivileged({Dir.Path}, [&]() -> std::string {
    if (ConvertPicture(Source, locked + "/out.png", To("PNG"))) return "converted";
    if (FunStatContext.Description != "Failed to convert picture.")
      return FunStatContext.Description;
    if (FunStatContext.SystemErrorCode != EACCES)
      return "errno " + std::to_string(FunStatContext.SystemErrorCode);
    return test::Entries(locked).empty() ? "" : "left a file";
  });
  EXPECT_EQ(failure, "");
}

} // namespace
} // namespace cv

namespace cv {
namespace {

TEST(SavePictureFile, KeepsEveryPixelExactly) {
  test::TTempDir dir;
  QImage image(3, 1, QImage::Format_ARGB32);
  image.setPixel(0, 0, qRgba(10, 20, 30, 77));
  image.setPixel(1, 0, qRgba(255, 0, 1, 1));
  image.setPixel(2, 0, qRgba(0, 0, 0, 0));
  const std::string title = dir.Path + "/exact.png";
  ASSERT_TRUE(SavePictureFile(image, title, "png", 1.0, false));
  const QImage back = LoadPictureFile(title).convertToFormat(QImage::Format_ARGB32);
  for (int x = 0; x < 2; ++x)
    EXPECT_EQ(back.pixel(x, 0), image.pixel(x, 0)) << x;
  EXPECT_EQ(qAlpha(back.pixel(2, 0)), 0);
  // Without overwrite the file written stays.
  EXPECT_FALSE(SavePictureFile(QImage(1, 1, QImage::Format_RGB32), title, "png", 1.0, false));
  EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(EEXIST));
  EXPECT_EQ(LoadPictureFile(title).size(), QSize(3, 1));
}

} // namespace
} // namespace cv
