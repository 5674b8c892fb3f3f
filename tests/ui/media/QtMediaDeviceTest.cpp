#include "../../core/foundation/StorageTestSupport.h"
#include "TestSupport.h"
#include "media/QtMediaDevice.h"

#include <QTest>
#include <QWidget>
#include <cstring>
#include <gtest/gtest.h>

namespace cv {
namespace {

void Put(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
}

// A tone of `milliseconds`, 8 kHz, 16-bit mono.
std::string Wave(int milliseconds) {
  const uint32_t samples = 8000u * static_cast<uint32_t>(milliseconds) / 1000u;
  std::string data;
  for (uint32_t i = 0; i < samples; ++i)
    Put(data, (i / 8 % 2) ? 0x2000 : 0xE000, 2);
  std::string out = "RIFF";
  Put(out, 36 + static_cast<uint32_t>(data.size()), 4);
  out += "WAVEfmt ";
  Put(out, 16, 4);
  Put(out, 1, 2);
  Put(out, 1, 2);
  Put(out, 8000, 4);
  Put(out, 16000, 4);
  Put(out, 2, 2);
  Put(out, 16, 2);
  out += "data";
  Put(out, static_cast<uint32_t>(data.size()), 4);
  return out + data;
}

// Uncompressed YUV 4:2:0 frames at 10 frames a second.
std::string Y4m(int width, int height, int frames) {
  std::string out = "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) +
                    " F10:1 Ip A1:1 C420jpeg\n";
  const size_t luma = static_cast<size_t>(width * height);
  for (int f = 0; f < frames; ++f) {
    out += "FRAME\n";
    out += std::string(luma, static_cast<char>(16 + f * 10));
    out += std::string(luma / 2, static_cast<char>(128));
  }
  return out;
}

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
  test::WriteFileBytes(title, Wave(1500));
  ASSERT_TRUE(Device.Open(title, TMediaDisplay::Viewer)) << Device.Error();
  EXPECT_NEAR(static_cast<double>(Device.Length()), 1500.0, 60.0);
  EXPECT_EQ(Device.Size(), TMediaSize{});
  EXPECT_TRUE(PlayToEnd());
  EXPECT_GE(Device.Position(), 1000);
}

TEST_F(QtMediaDeviceTest, PlaysAGeneratedVideoWithItsSizeAndShowsItsFrames) {
  const std::string title = Dir.Path + "/clip.y4m";
  test::WriteFileBytes(title, Y4m(64, 48, 20));
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
