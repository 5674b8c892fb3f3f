#include "media/QtMediaDevice.h"
#include "../../core/foundation/StorageTestSupport.h"
#include "GeneratedMedia.h"
#include "TestSupport.h"

#include <QTest>
#include <QWidget>
#include <cstring>
#include <gtest/gtest.h>

namespace cv {
namespace {

class QtMediaDeviceTest : public ::testing::Test {
protected:
  void SetUp() override {
    Display.resize(400, 300);
    Device.SetDisplays(&Display, nullptr);
    if (!Device.Available()) GTEST_SKIP() << "the ffmpeg media back end cannot be loaded here";
  }
  // Plays from the start to the end; false when it did not end in time.
  bool PlayToEnd() {
    Device.Play();
    return QTest::qWaitFor([&] { return Device.Ended(); }, 15000);
  }
  test::TTempDir Dir;
  QWidget Display;
  TQtMediaDevice Device;
};

TEST_F(QtMediaDeviceTest, PlaysAGeneratedSoundToItsEnd) {
  const std::string title = Dir.Path + "/tone \xFF.wav";
  test::WriteFileBytes(title, test::Wave(1500));
  ASSERT_TRUE(Device.Open(title, TMediaDisplay::Viewer)) << Device.Error();
  EXPECT_NEAR(static_cast<double>(Device.Length()), 1500.0, 60.0);
  EXPECT_EQ(Device.Size(), TMediaSize{});
  EXPECT_TRUE(PlayToEnd());
  EXPECT_GE(Device.Position(), 1000);
}

TEST_F(QtMediaDeviceTest, PlaysAGeneratedVideoWithItsSizeAndShowsItsFrames) {
  const std::string title = Dir.Path + "/clip.y4m";
  test::WriteFileBytes(title, test::Y4m(64, 48, 20));
  ASSERT_TRUE(Device.Open(title, TMediaDisplay::Viewer)) << Device.Error();
  EXPECT_NEAR(static_cast<double>(Device.Length()), 2000.0, 150.0);
  Device.PlaceVideo({10, 20, 128, 96});
  ASSERT_NE(Device.Surface(), nullptr);
  EXPECT_EQ(Device.Surface()->parentWidget(), &Display);
  EXPECT_EQ(Device.Surface()->geometry(), QRect(10, 20, 128, 96));
  EXPECT_TRUE(PlayToEnd());
  EXPECT_EQ(Device.Size(), (TMediaSize{64, 48}));
  EXPECT_FALSE(Device.Surface()->Frame().isNull());
}

TEST_F(QtMediaDeviceTest, RefusesMissingAndNonRegularFiles) {
  EXPECT_FALSE(Device.Open(Dir.Path + "/missing.wav", TMediaDisplay::Viewer));
  EXPECT_EQ(Device.Error(), std::strerror(ENOENT));
  EXPECT_FALSE(Device.Open(Dir.Path, TMediaDisplay::Viewer));
  EXPECT_FALSE(Device.Error().empty());
  const std::string junk = Dir.Path + "/junk.wav";
  test::WriteFileBytes(junk, std::string(3000, 'x'));
  EXPECT_FALSE(Device.Open(junk, TMediaDisplay::Viewer));
  EXPECT_FALSE(Device.Error().empty());
}

} // namespace
} // namespace cv
