#include "pictures/PictureView.h"
#include "../foundation/StorageTestSupport.h"
#include "PictureTestSupport.h"
#include "TestSupport.h"
#include "foundation/Error.h"
#include "foundation/Program.h"

#include <cstdlib>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {
namespace {

// Sets an environment variable for one test; the old value comes back.
class TEnvironment {
public:
  TEnvironment(const char* name, const char* value) : Name(name) {
    if (const char* old = std::getenv(name)) Old = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~TEnvironment() { Old ? ::setenv(Name, Old->c_str(), 1) : ::unsetenv(Name); }

private:
  const char* Name;
  std::optional<std::string> Old;
};

TEST(PictureView, DecodesAtTheShownSize) {
  test::TTempDir dir;
  const std::string title = dir.Path + "/p.png";
  // Left half opaque red, right half transparent: the background shows there.
  QImage picture = test::Filled(100, 80, Qt::transparent);
  test::Paint(picture, QRect(0, 0, 50, 80), QColor(255, 0, 0));
  test::WriteFileBytes(title, test::EncodePicture(picture, "png"));
  const struct {
    TPictureSize Space;
    bool FitSmall;
    TPictureSize Rendered;
  } cases[] = {
      {{600, 400}, false, {100, 80}},
      {{600, 400}, true, {500, 400}},
      {{50, 400}, false, {50, 40}},
      {{600, 20}, false, {25, 20}},
  };
  for (const auto& c : cases) {
    QImage bitmap;
    TPictureViewFacts facts;
    ASSERT_TRUE(LoadViewedPicture(title, c.Space, c.FitSmall, 0xFF0000, bitmap, facts));
    EXPECT_EQ(bitmap.width(), c.Rendered.Width);
    EXPECT_EQ(bitmap.height(), c.Rendered.Height);
    EXPECT_EQ(facts.Rendered, c.Rendered);
    EXPECT_EQ(facts.Image, (TPictureSize{100, 80}));
    EXPECT_EQ(facts.FileSize, test::ReadFileBytes(title).size());
    EXPECT_EQ(facts.Depth, "32 bpp");
    EXPECT_EQ(facts.Frames, 1);
    EXPECT_EQ(bitmap.pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(bitmap.pixel(bitmap.width() - 1, 0) & 0xFFFFFF, 0x0000FFu)
        << "the background (0x00BBGGRR) fills the transparent half";
  }
  QImage bitmap;
  TPictureViewFacts facts;
  EXPECT_FALSE(LoadViewedPicture(dir.Path + "/none.png", {600, 400}, false, 0, bitmap, facts));
  EXPECT_TRUE(bitmap.isNull());
  EXPECT_EQ(FunStatContext.Description, "Failed to load picture.");
}

TEST(PictureView, TheSpaceKeepsBothMarginsFree) {
  EXPECT_EQ(PictureViewSpace(600, 300, 4), (TPictureSize{592, 292}));
  EXPECT_EQ(PictureViewSpace(6, 300, 4), (TPictureSize{0, 292}));
}

TEST(PictureView, HintsAndClipboardTexts) {
  const TPictureViewFacts facts{
      .FileSize = 2048, .Image = {400, 100}, .Rendered = {200, 50}, .Depth = "24 bpp", .Frames = 3};
  const std::string info = PictureInfoHint(facts);
  EXPECT_TRUE(info.starts_with("File size = ")) << info;
  EXPECT_NE(info.find(" | Color depth = 24 bpp | Frames = 3 | Zoom = 50% | Image width = 400 | "
                      "Image height = 100 | Rendered width = 200 | Rendered height = 50 | [RMB] = "
                      "add color to clipboard | [MMB] = add coordinates to clipboard"),
            std::string::npos)
      << info;
  EXPECT_EQ(PictureMouseHint(facts, 100, 25, 0x102030),
            info + " | RGB color = 16-32-48; Decimal color = 1056816; Hexadecimal color = "
                   "0x102030 | X image 200; Y image 50 | X relative 500\u2030; Y relative "
                   "500\u2030 | X rendered 100; Y rendered 25");
  EXPECT_EQ(PictureColorClip(0x10FF05), "\nRGB( 16, 255,   5);");
  EXPECT_EQ(PictureCoordinatesClip(facts, 199, 3), "\nXY(398,   6);");
}

mode_t ModeOf(const std::string& path) {
  struct stat facts {};
  EXPECT_EQ(::lstat(path.c_str(), &facts), 0) << path;
  return facts.st_mode;
}

TEST(PictureView, ThePrivateDirectoryIsTheUsersAlone) {
  test::TTempDir dir;
  const std::string runtime = dir.Path + "/runtime";
  ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
  TEnvironment environment("XDG_RUNTIME_DIR", runtime.c_str());
  const std::string inRuntime = runtime + "/corvantide-viewer/";
  EXPECT_EQ(ViewerPrivateDirectory(), inRuntime);
  EXPECT_EQ(ModeOf(inRuntime) & 07777, 0700u);
  // Left open to others by some accident: closed again.
  ASSERT_EQ(::chmod(inRuntime.c_str(), 0777), 0);
  EXPECT_EQ(ViewerPrivateDirectory(), inRuntime);
  EXPECT_EQ(ModeOf(inRuntime) & 07777, 0700u);
  // A link planted under the name is not followed.
  ASSERT_EQ(::rmdir(inRuntime.c_str()), 0);
  const std::string elsewhere = dir.Path + "/elsewhere";
  ASSERT_EQ(::mkdir(elsewhere.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(elsewhere.c_str(), 0777), 0);
  ASSERT_EQ(::symlink(elsewhere.c_str(), (runtime + "/corvantide-viewer").c_str()), 0);
  EXPECT_EQ(ViewerPrivateDirectory(), "");
  EXPECT_EQ(FunStatContext.Description, "Failed to create directory.");
  EXPECT_EQ(ModeOf(elsewhere) & 07777, 0777u);
  // A runtime directory others may enter is not used: the data root is.
  ASSERT_EQ(::chmod(runtime.c_str(), 0755), 0);
  const std::string inData = Program.DataRoot() + "corvantide-viewer/";
  EXPECT_EQ(ViewerPrivateDirectory(), inData);
  EXPECT_EQ(ModeOf(inData) & 07777, 0700u);
}

TEST(PictureView, TheClipboardPictureIsReplacedWhole) {
  test::TTempDir dir;
  TEnvironment environment("XDG_RUNTIME_DIR", nullptr);
  std::string title;
  ASSERT_TRUE(SaveClipboardPicture(test::Filled(3, 2, Qt::red), title))
      << FunStatContext.GetReport();
  EXPECT_EQ(title, Program.DataRoot() + "corvantide-viewer/ClipboardPicture.png");
  const std::string first = test::ReadFileBytes(title);
  // Whoever holds the old file keeps it whole: the new one is another inode.
  const std::string kept = dir.Path + "/kept.png";
  ASSERT_EQ(::link(title.c_str(), kept.c_str()), 0);
  ASSERT_TRUE(SaveClipboardPicture(test::Filled(7, 5, Qt::blue), title));
  EXPECT_EQ(test::ReadFileBytes(kept), first);
  QImage bitmap;
  TPictureViewFacts facts;
  ASSERT_TRUE(LoadViewedPicture(title, {100, 100}, false, 0, bitmap, facts));
  EXPECT_EQ(facts.Image, (TPictureSize{7, 5}));
  // Nothing but the picture is left in the directory.
  DIR* listing = ::opendir((Program.DataRoot() + "corvantide-viewer").c_str());
  ASSERT_NE(listing, nullptr);
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(listing))
    if (entry->d_name[0] != '.') names.push_back(entry->d_name);
  ::closedir(listing);
  EXPECT_EQ(names, std::vector<std::string>{"ClipboardPicture.png"});
}

} // namespace
} // namespace cv
