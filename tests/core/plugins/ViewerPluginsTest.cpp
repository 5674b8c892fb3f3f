#include "plugins/ViewerPlugins.h"

#include "TestSupport.h"
#include "foundation/Error.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>

namespace cv {
namespace {

const std::string CPlugins = CORVANTIDE_VIEWER_PLUGINS;
const std::string CExample = "ExampleViewerPlugin.so";
const std::string CThrowing = "ThrowingViewerPlugin.so";
constexpr uint32_t CBackground = 0x336699; // 0x00BBGGRR
const QRgb COpaqueBackground = qRgb(0x99, 0x66, 0x33);

TProgramOptions PluginOptions(std::string slot0, std::string slot1, std::string slot2 = {}) {
  TProgramOptions options;
  options.ActivatePlugins = true;
  options.PluginName = {slot0, slot1, slot2};
  for (size_t i = 0; i < 3; ++i)
    options.ActivatePlugin[i] = !options.PluginName[i].empty();
  return options;
}

// Every stored pixel of the bitmap, alpha included, is `pixel`.
bool AllPixelsAre(const QImage& image, QRgb pixel) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (reinterpret_cast<const QRgb*>(image.constScanLine(y))[x] != pixel) return false;
  return true;
}

class ViewerPluginsTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Host.Load(PluginOptions(CExample, CThrowing), {CPlugins}))
        << FunStatContext.GetReport();
  }
  std::string Picture(const std::string& name, const std::string& content) {
    const std::string title = Dir.Path + "/" + name;
    std::ofstream(title) << content;
    return title;
  }

  test::TTempDir Dir;
  TViewerPlugins Host;
};

TEST_F(ViewerPluginsTest, ClaimsByExtensionOnly) {
  struct TCase {
    const char* Title;
    int Slot;
  };
  const TCase cases[] = {
      {"/d/a.tpv", 0},       {"/d/A.TPV", 0}, {"/d.bad/x.Tpv", 0}, {"/d/x.bad", 1},
      {"/d/x.worse", 1},     {"/d/x", -1},    {"/d/x.", -1},       {"/d/.tpv", -1},
      {"/d.tpv/x", -1},      {"/d/x.tp", -1}, {"/d/x.pv", -1},     {"/d/x.tpvx", -1},
      {"/d/x.bad.tpv.", -1}, {"", -1},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(Host.ClaimingSlot(c.Title), c.Slot) << c.Title;
  EXPECT_TRUE(Host.RecacheOnTextFormatChange("/d/x.bad"));
  EXPECT_FALSE(Host.RecacheOnTextFormatChange("/d/x.tpv"));

  // The first claiming slot wins; a switch that is off claims nothing.
  ASSERT_TRUE(Host.Load(PluginOptions("", CExample, CExample), {CPlugins}));
  EXPECT_EQ(Host.ClaimingSlot("a.tpv"), 1);
  TProgramOptions off = PluginOptions(CExample, CThrowing);
  off.ActivatePlugins = false;
  ASSERT_TRUE(Host.Load(off, {CPlugins}));
  EXPECT_FALSE(Host.Claims("a.tpv"));
  off = PluginOptions(CExample, CThrowing);
  off.ActivatePlugin[0] = false;
  ASSERT_TRUE(Host.Load(off, {CPlugins}));
  EXPECT_FALSE(Host.Claims("a.tpv"));
  EXPECT_TRUE(Host.Claims("a.bad"));
}

TEST_F(ViewerPluginsTest, NamesThatLeaveThePluginDirectoryAreRefused) {
  // Real libraries stand where each refused name points.
  const std::string plugins = Dir.Path + "/plugins/";
  for (const std::string& directory : {plugins, plugins + "sub/", Dir.Path + "/other/"}) {
    std::filesystem::create_directories(directory);
    std::filesystem::copy_file(CPlugins + CExample, directory + CExample);
  }
  const std::string names[] = {"../other/" + CExample, "sub/" + CExample, plugins + CExample, "..",
                               ""};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(TViewerPluginLibrary::Open(name, {plugins}), nullptr);
    EXPECT_TRUE(FunStatContext.Failed());
    EXPECT_EQ(FunStatContext.Description, "Invalid plugin file.");
    TProgramOptions options = PluginOptions(name, "");
    options.ActivatePlugin[0] = true;
    EXPECT_FALSE(Host.Load(options, {plugins}));
    EXPECT_FALSE(Host.Claims("a.tpv"));
  }
  EXPECT_NE(TViewerPluginLibrary::Open(CExample, {plugins}), nullptr) << "the plain name loads";
  // A file that is no library, and a missing one, fail the same way; the
  // next directory is searched only for a missing file.
  std::ofstream(plugins + "text.so") << "not a library";
  EXPECT_EQ(TViewerPluginLibrary::Open("text.so", {plugins, CPlugins}), nullptr);
  EXPECT_EQ(FunStatContext.Description, "Invalid plugin file.");
  EXPECT_NE(TViewerPluginLibrary::Open(CThrowing, {plugins, CPlugins}), nullptr);
}

TEST_F(ViewerPluginsTest, BufferHoldsTheBackgroundAndEndsOpaque) {
  struct TCase {
    const char* Content;
    QRgb Left;
  };
  // The plug-in writes its colour with alpha 0 and leaves the right half alone.
  const TCase cases[] = {{"8 4 112233", qRgb(0x11, 0x22, 0x33)}, {"8 4 none", COpaqueBackground}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Content);
    QImage bitmap;
    ASSERT_TRUE(Host.Render(Picture("a.tpv", c.Content), {.Background = CBackground}, bitmap))
        << FunStatContext.GetReport();
    ASSERT_EQ(bitmap.size(), QSize(8, 4));
    EXPECT_EQ(bitmap.format(), QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 8; ++x)
        ASSERT_EQ(reinterpret_cast<const QRgb*>(bitmap.constScanLine(y))[x],
                  x < 4 ? c.Left : COpaqueBackground)
            << x << "," << y;
  }
}

TEST_F(ViewerPluginsTest, ThrowingPluginGivesBackgroundOnly) {
  QImage bitmap;
  TPluginRenderRequest request{.Box = {40, 30}, .Background = CBackground};
  ASSERT_TRUE(Host.Render(Picture("x.bad", ""), request, bitmap)) << FunStatContext.GetReport();
  EXPECT_EQ(bitmap.size(), QSize(40, 20)) << "its size is fitted into the box";
  EXPECT_TRUE(AllPixelsAre(bitmap, COpaqueBackground));
  // A conversion must not write a picture the plug-in failed to draw.
  request.Conversion = true;
  EXPECT_FALSE(Host.Render(Picture("x.bad", ""), request, bitmap));
  EXPECT_TRUE(FunStatContext.Failed());
  EXPECT_TRUE(bitmap.isNull());
}

TEST_F(ViewerPluginsTest, TitlesNoPluginRendersAreRefused) {
  QImage bitmap;
  EXPECT_FALSE(Host.Render(Picture("a.png", ""), {}, bitmap));
  EXPECT_EQ(FunStatContext.Description, "Invalid rendering function");
  EXPECT_FALSE(Host.Render(Picture("a.png", ""), {.Conversion = true}, bitmap));
  EXPECT_EQ(FunStatContext.Description, "Invalid plugin function.");
}

TEST(ViewerPluginSize, IsFittedAndCapped) {
  constexpr int64_t GiB = int64_t{1} << 30;
  struct TCase {
    int64_t Width, Height;
    TPictureSize Box;
    int64_t Limit;
    TPictureSize Size;
  };
  const TCase cases[] = {
      {0, 0, {30, 20}, GiB, {30, 20}},            // the plug-in left it to the host
      {-3, 7, {-1, -1}, GiB, {100, 7}},           // no box: 100
      {10, 5, {30, 20}, GiB, {10, 5}},            // smaller than the box: kept
      {1000000, 500000, {40, 30}, GiB, {40, 20}}, // larger: fitted
      {1000, 1000, {-1, -1}, 400 * 400 * 4, {400, 400}},
      {2000, 500, {-1, -1}, 4000, {63, 15}},
      {INT_MAX, INT_MAX, {-1, -1}, GiB, {16384, 16384}},
      {INT_MAX, 1, {-1, -1}, 400, {100, 1}}, // thin: one row, the width gives way
      {1, INT_MAX, {-1, -1}, 400, {1, 100}},
  };
  for (const TCase& c : cases) {
    const TPictureSize size = PluginPictureSize(c.Width, c.Height, c.Box, c.Limit);
    EXPECT_EQ(size, c.Size) << c.Width << "x" << c.Height << " -> " << size.Width << "x"
                            << size.Height;
    EXPECT_LE(size.Width * size.Height * 4, c.Limit);
  }
}

TEST_F(ViewerPluginsTest, OversizePictureIsRenderedCapped) {
  QImage bitmap;
  TPluginRenderRequest request{.Background = CBackground, .LimitBytes = 300 * 300 * 4};
  ASSERT_TRUE(Host.Render(Picture("big.tpv", "100000 100000 ff0000"), request, bitmap))
      << FunStatContext.GetReport();
  EXPECT_EQ(bitmap.size(), QSize(300, 300));
  EXPECT_EQ(bitmap.pixel(0, 0), qRgb(0xFF, 0, 0));
  EXPECT_EQ(bitmap.pixel(299, 299), COpaqueBackground);
}

} // namespace
} // namespace cv
