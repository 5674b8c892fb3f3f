#include "fileops/Run.h"

#include "pictures/Pictures.h"

#include "../filesystem/FileTestSupport.h"
#include "../pictures/PictureTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace cv {
namespace {

TEST(Wallpaper, APictureBecomesAnOpaqueBitmapCopy) {
  test::TTempDir dir;
  test::TRecordingUserInterface ui;
  QImage picture = test::Filled(30, 10, Qt::blue);
  test::Paint(picture, {0, 0, 10, 10}, Qt::transparent);
  const std::string source = dir.Path + "/picture.png";
  ASSERT_TRUE(test::WriteBytes(source, test::EncodePicture(picture, "png")));
  // No known desktop: the copy is made, setting it then fails.
  const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
  const std::string saved = desktop ? desktop : "";
  ::unsetenv("XDG_CURRENT_DESKTOP");
  EXPECT_FALSE(SetPictureAsWallpaper(source));
  if (desktop) ::setenv("XDG_CURRENT_DESKTOP", saved.c_str(), 1);
  ASSERT_EQ(ui.Errors.size(), 1u);
  EXPECT_NE(ui.Errors[0].Report.find("unknown desktop"), std::string::npos) << ui.Errors[0].Report;

  const QImage wallpaper = LoadPictureFile(WallpaperTitle());
  ASSERT_EQ(wallpaper.size(), QSize(30, 10));
  EXPECT_FALSE(wallpaper.hasAlphaChannel());
  EXPECT_EQ(test::PixelColor(wallpaper, 5, 5), 0xFFFFFFu); // transparent became white
  EXPECT_EQ(test::PixelColor(wallpaper, 20, 5), 0xFF0000u);
  ::unlink(WallpaperTitle().c_str());
}

} // namespace
} // namespace cv
