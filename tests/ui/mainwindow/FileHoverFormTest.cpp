// The file hover window: it never takes the activation, paints its facts,
// and starts and ends its preview outside of painting.

#include "../../core/media/ScriptedMediaDevice.h"
#include "filesystem/Extensions.h"
#include "foundation/Drawing.h"
#include "mainwindow/FileHoverForm.h"
#include "media/LastPlayedMPL.h"
#include "media/MediaPlayer.h"

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace cv {
namespace {

constexpr uint32_t CText = 0x102030, CBack = 0xE0D0C0, CFrame = 0x00FF00;

class FileHoverFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    VideoFileExtensions.SetText(".mp4");
    AudioFileExtensions.SetText(".wav");
    Device.Files["/m/song.wav"] = {.Length = 2000};
    Device.Files["/m/film.mp4"] = {.Length = 10'000, .Size = {640, 480}};
    Main.resize(400, 300);
    Main.show();
    Main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Main));
  }
  void TearDown() override {
    VideoFileExtensions.SetText(DefaultVideoExtensions);
    AudioFileExtensions.SetText(DefaultAudioExtensions);
  }
  THoverOpening Opening(const std::string& title, bool playMedia = true) {
    THoverOpening opening;
    opening.Item.Title = title;
    opening.Item.Size = 1536;
    opening.PlayMedia = playMedia;
    opening.ItemLeft = 600;
    opening.RowBottom = 500;
    opening.Screen = QRect(0, 0, 1280, 1024);
    opening.TextColor = CText;
    opening.WindowColor = CBack;
    opening.FrameColor = CFrame;
    opening.RowHeight = 18;
    return opening;
  }
  test::TScriptedMediaDevice Device;
  TLastPlayedMPL LastPlayed;
  MyTMediaPlayer Player{Device, LastPlayed};
  QWidget Main;
  TFileHoverForm Form{&Player};
};

TEST_F(FileHoverFormTest, OpensBesideTheItemWithoutTakingTheActivation) {
  Form.ShowHover(Opening("/m/notes.bin"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
  QTest::qWait(50);
  EXPECT_TRUE(Form.isVisible());
  EXPECT_FALSE(Form.isActiveWindow());
  EXPECT_EQ(QApplication::activeWindow(), &Main);
  EXPECT_EQ(Form.geometry(), Form.Geometry().Window);
  EXPECT_EQ(Form.geometry().bottom() + 1, 500) << "level with the row's bottom";
  // A frame in the text colour around rows filled with the window's colour.
  const QImage shot = Form.grab().toImage();
  // (Skin colours are stored blue-green-red.)
  EXPECT_EQ(shot.pixelColor(0, 0), ToQColor(CText));
  EXPECT_EQ(shot.pixelColor(shot.width() - 1, shot.height() - 1), ToQColor(CText));
  EXPECT_EQ(shot.pixelColor(shot.width() - 3, 3), ToQColor(CBack));
  Form.HideHover();
  EXPECT_FALSE(Form.isVisible());
  EXPECT_FALSE(Form.Shown());
}

TEST_F(FileHoverFormTest, AudioPreviewStartsAfterTheWindowShowsAndEndsOnTheTimer) {
  Form.ShowHover(Opening("/m/song.wav"));
  // Nothing is opened while the window is being shown or painted.
  Form.repaint();
  EXPECT_TRUE(Device.Opened.empty());
  QTest::qWait(20);
  ASSERT_EQ(Device.Opened, std::vector<std::string>{"/m/song.wav"});
  EXPECT_EQ(Device.Displays.back(), TMediaDisplay::Hover);
  EXPECT_TRUE(Form.PreviewPlays());
  Device.At = 1000;
  EXPECT_TRUE(Form.TimerRepaint());
  EXPECT_EQ(Form.StatusText(), "D 00:00:02 (50%)");
  Device.End();
  EXPECT_FALSE(Form.TimerRepaint());
  EXPECT_FALSE(Form.PreviewPlays());
  EXPECT_TRUE(Player.Stopped);
}

TEST_F(FileHoverFormTest, AClosedWindowStartsNoLatePreview) {
  Form.ShowHover(Opening("/m/film.mp4"));
  Form.HideHover();
  QTest::qWait(20);
  EXPECT_TRUE(Device.Opened.empty());
}

TEST_F(FileHoverFormTest, AVideoWithItsPreviewOffShowsTheThumbnailUntilReplayed) {
  std::vector<QRect> thumbAreas;
  Form.PaintThumb = [&](QPainter&, const QRect& area, const QRect&, const TFileListData& item) {
    EXPECT_EQ(item.Title, "/m/film.mp4");
    thumbAreas.push_back(area);
  };
  Form.ShowHover(Opening("/m/film.mp4", false));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
  QTest::qWait(20);
  EXPECT_TRUE(Device.Opened.empty());
  ASSERT_FALSE(thumbAreas.empty());
  EXPECT_EQ(thumbAreas.back(), Form.Geometry().AreaRect);
  Form.ReplayMedia();
  ASSERT_EQ(Device.Opened, std::vector<std::string>{"/m/film.mp4"});
  Form.repaint();
  EXPECT_EQ(Form.StatusText(), "W 640 * H 480 | Z " +
                                   std::to_string(Form.Media().ShownHeight * 100 / 480) +
                                   "% | D 00:00:10");
  // The preview starts a little way in.
  ASSERT_FALSE(Device.Seeks.empty());
  EXPECT_EQ(Device.Seeks.back(), 10'000 * Player.MediaStartShift / 100);
}

TEST_F(FileHoverFormTest, AMissingFileShowsTheDevicesError) {
  Form.ShowHover(Opening("/m/gone.wav"));
  QTest::qWait(20);
  Form.repaint();
  EXPECT_EQ(Form.StatusText(), "Error \"No such file or directory\"");
  EXPECT_FALSE(Form.PreviewPlays());
}

TEST_F(FileHoverFormTest, AClickAnywhereAsksToClose) {
  int requests = 0;
  Form.OnCloseRequest = [&] { ++requests; };
  Form.ShowHover(Opening("/m/notes.bin"));
  QTest::mouseClick(&Main, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(requests, 1);
  Form.HideHover();
  QTest::mouseClick(&Main, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(requests, 1) << "a hidden window watches nothing";
}

} // namespace
} // namespace cv
