// Where the file hover window opens, how it is divided, and its texts.

#include "mainwindow/HoverLayout.h"

#include "filesystem/Extensions.h"
#include "filesystem/File.h"

#include <gtest/gtest.h>

namespace cv {
namespace {

class HoverLayoutTest : public ::testing::Test {
protected:
  void SetUp() override {
    VideoFileExtensions.SetText(".mp4\n.mkv");
    AudioFileExtensions.SetText(".mp3\n.wav");
  }
  void TearDown() override {
    VideoFileExtensions.SetText(DefaultVideoExtensions);
    AudioFileExtensions.SetText(DefaultAudioExtensions);
  }
  const THoverSizes Sizes{.GenericWidth = 150,
                          .PictureWidth = 250,
                          .PictureHeight = 8,
                          .MovieWidth = 300,
                          .MovieHeight = 6};
};

TEST_F(HoverLayoutTest, KindFollowsTheFileAndThePreviewOptions) {
  struct {
    const char* title;
    bool directory, ownThumb, playMedia, showVideoThumb;
    bool video, audio, thumb;
  } const cases[] = {
      {"/d/photo.jpg", false, true, true, false, false, false, true},
      {"/d/film.mp4", false, false, true, false, true, false, false},
      // A video shows its thumbnail when it does not play, or when asked to.
      {"/d/film.mp4", false, false, false, false, true, false, true},
      {"/d/film.mp4", false, false, true, true, true, false, true},
      {"/d/song.MP3", false, false, true, false, false, true, false},
      {"/d/song.mp3", false, false, false, false, false, true, false},
      {"/d/notes.bin", false, false, true, false, false, false, false},
      // A directory named like a video is still a directory.
      {"/d/film.mp4", true, false, true, true, false, false, false},
  };
  for (const auto& c : cases) {
    const THoverKind kind =
        HoverKindOf(c.title, c.directory, c.ownThumb, c.playMedia, c.showVideoThumb);
    EXPECT_EQ(kind.Video, c.video) << c.title;
    EXPECT_EQ(kind.Audio, c.audio) << c.title;
    EXPECT_EQ(kind.ShowThumb, c.thumb) << c.title << " play " << c.playMedia;
  }
}

TEST_F(HoverLayoutTest, SizeAndRowsFollowTheKind) {
  const QRect screen(0, 0, 1920, 1080);
  const int r = 20, textHeight = 14;
  struct {
    THoverKind kind;
    int width, height, areaBottom;
  } const cases[] = {
      // A directory: four lines, no status row, no area.
      {{.Directory = true}, 150, 4 * r + 2, -1},
      // A file without a picture: five lines.
      {{}, 150, 5 * r + 2, -1},
      // Audio: a status row but no area rows.
      {{.Audio = true}, 150, r + 5 * r + 2, r},
      {{.Video = true}, 300, r + 6 * r + 5 * r + 2, r + 6 * r},
      {{.ShowThumb = true}, 250, r + 8 * r + 5 * r + 2, r + 8 * r},
  };
  for (const auto& c : cases) {
    const THoverGeometry g = HoverGeometry(c.kind, Sizes, r, textHeight, 1000, 700, screen);
    EXPECT_EQ(g.Window.width(), c.width);
    EXPECT_EQ(g.Window.height(), c.height);
    EXPECT_EQ(g.TextBlockHeight, (c.kind.Directory ? 4 : 5) * r);
    if (c.areaBottom < 0) {
      EXPECT_TRUE(g.StatusRect.isNull());
      continue;
    }
    // d = (20 - 14) / 2 = 3: the status line is centred in the top row.
    EXPECT_EQ(g.StatusRect, QRect(QPoint(5, 4), QPoint(c.width - 5, r - 3 + 1)));
    EXPECT_EQ(g.AreaRect, QRect(QPoint(5, r + 1), QPoint(c.width - 5, c.areaBottom)));
  }
}

TEST_F(HoverLayoutTest, PlaceBesideTheItemWithinTheItemsScreen) {
  const int r = 20;
  const THoverKind file{};
  const int h = 5 * r + 2, w = 150;
  struct {
    const char* what;
    QRect screen;
    int itemLeft, rowBottom;
    QPoint topLeft;
  } const cases[] = {
      {"left of the item, bottom level with the row", {0, 0, 1920, 1080}, 800, 600,
       {800 - w, 600 - h}},
      {"no room at the left: 5 rows right of the item", {0, 0, 1920, 1080}, 100, 600,
       {100 + 5 * r, 600 - h}},
      {"no room above: the screen's top", {0, 0, 1920, 1080}, 800, 50, {800 - w, 0}},
      // A second screen left of the primary one, at negative x: the room is
      // measured from that screen's left edge, not from 0.
      {"second screen at negative x", {-1280, 0, 1280, 1024}, -1000, 600, {-1000 - w, 600 - h}},
      {"second screen, no room at its left", {-1280, 0, 1280, 1024}, -1200, 600,
       {-1200 + 5 * r, 600 - h}},
      {"screen above the primary one", {0, -900, 1600, 900}, 800, -850, {800 - w, -900}},
  };
  for (const auto& c : cases) {
    const THoverGeometry g = HoverGeometry(file, Sizes, r, 14, c.itemLeft, c.rowBottom, c.screen);
    EXPECT_EQ(g.Window.topLeft(), c.topLeft) << c.what;
    EXPECT_TRUE(c.screen.contains(g.Window)) << c.what;
  }
  // A narrow screen: opening to the right would leave it, so the window
  // stays inside at the right edge.
  const QRect narrow(0, 0, 200, 600);
  const THoverGeometry g = HoverGeometry(file, Sizes, r, 14, 120, 300, narrow);
  EXPECT_TRUE(narrow.contains(g.Window));
}

TEST_F(HoverLayoutTest, TextLinesNameThePathSizeAndTimes) {
  const uint64_t time = UnixTimeToFileTime(1'700'000'000, 0);
  const THoverFacts facts{"/home/ann/caf\xe9.txt", 1536, time, time};
  const std::vector<std::string> lines = HoverTextLines(facts, false);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "Name \"caf\xe9.txt\"");
  EXPECT_EQ(lines[1], "Path \"/home/ann/\"");
  EXPECT_EQ(lines[2], "Size " + GetSizeText(6, 0, 1536) + " (1,536 bytes)");
  EXPECT_EQ(lines[3].rfind("Created ", 0), 0u);
  EXPECT_NE(lines[3].find("; "), std::string::npos) << lines[3];
  EXPECT_EQ(lines[4], "Modified " + lines[3].substr(8));
  // A directory has no size line.
  const std::vector<std::string> directory = HoverTextLines({"/home/ann", 4096, time, time}, true);
  ASSERT_EQ(directory.size(), 4u);
  EXPECT_EQ(directory[2].rfind("Created ", 0), 0u);
}

TEST_F(HoverLayoutTest, StatusLineForEachPreview) {
  THoverMediaState video{.LengthText = "00:01:40",
                         .VideoWidth = 640,
                         .VideoHeight = 480,
                         .ShownWidth = 240,
                         .ShownHeight = 180,
                         .PlayMedia = true};
  const THoverKind videoKind{.Video = true}, audioKind{.Audio = true};
  EXPECT_EQ(HoverStatusLine(videoKind, video, 0, 0), "W 640 * H 480 | Z 37% | D 00:01:40");
  // Progress rounds half up: 12,345 of 100,000 ms is 12%; 12,500 is 13%.
  EXPECT_EQ(HoverStatusLine(videoKind, video, 12'345, 100'000),
            "W 640 * H 480 | Z 37% | D 00:01:40 (12%)");
  EXPECT_EQ(HoverStatusLine(videoKind, video, 12'500, 100'000),
            "W 640 * H 480 | Z 37% | D 00:01:40 (13%)");
  // A video that reports no height gets no zoom figure, and no division by 0.
  video.VideoHeight = 0;
  EXPECT_EQ(HoverStatusLine(videoKind, video, 0, 0), "W 640 * H 0 | Z ?% | D 00:01:40");
  THoverMediaState audio{.LengthText = "00:03:00", .PlayMedia = true};
  EXPECT_EQ(HoverStatusLine(audioKind, audio, 90'000, 180'000), "D 00:03:00 (50%)");
  audio.PlayMedia = false;
  EXPECT_EQ(HoverStatusLine(audioKind, audio, 0, 0), "Not playing");
  audio.Error = "No such file or directory";
  EXPECT_EQ(HoverStatusLine(audioKind, audio, 0, 0), "Error \"No such file or directory\"");
  // A thumbnail window and a plain file have no status line of their own.
  EXPECT_EQ(HoverStatusLine({.Video = true, .ShowThumb = true}, video, 5, 10), "");
  EXPECT_EQ(HoverStatusLine({}, audio, 0, 0), "");
}

} // namespace
} // namespace cv
