#include "media/MediaPlayer.h"
#include "../foundation/StorageTestSupport.h"
#include "ScriptedMediaDevice.h"
#include "TestSupport.h"
#include "filesystem/Extensions.h"
#include "foundation/Guard.h"
#include "foundation/Random.h"
#include "foundation/StoredTextList.h"
#include "media/LastPlayedMPL.h"
#include "media/PlayListFile.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace cv {
namespace {

std::string Numbered(int i) {
  return "/lists/" + std::to_string(i) + ".mpl";
}

TEST(LastPlayedMPL, TheThirtyFirstListDropsTheOldest) {
  TLastPlayedMPL last;
  for (int i = 0; i < 31; ++i)
    EXPECT_EQ(last.Add(Numbered(i)), std::min(i, 29));
  ASSERT_EQ(last.Entries.size(), 30u);
  EXPECT_EQ(last.Entries.front().Title, Numbered(1));
  EXPECT_EQ(last.Entries.back().Title, Numbered(30));
  EXPECT_EQ(last.Add(Numbered(30)), -1) << "already the newest";
  EXPECT_EQ(last.Add(""), -1);
  EXPECT_EQ(last.Entries.size(), 30u);
}

TEST(LastPlayedMPL, ReplayingAnOlderListMovesItToTheTopWithItsResumePoint) {
  TLastPlayedMPL last;
  for (int i = 0; i < 20; ++i)
    last.Add(Numbered(i));
  last.SetLastPlayed(Numbered(9), "/music/b.mp3", 12345);
  EXPECT_EQ(last.Add(Numbered(9)), 19);
  ASSERT_EQ(last.Entries.size(), 20u);
  EXPECT_EQ(last.Entries.back(), (TLastPlayedEntry{Numbered(9), "/music/b.mp3", 12345}));
  EXPECT_EQ(last.Entries[9].Title, Numbered(10));
  // Taking out a missing list works wherever it stands.
  last.Remove(Numbered(9));
  last.Remove(Numbered(0));
  EXPECT_EQ(last.Entries.size(), 18u);
  EXPECT_EQ(last.Find(Numbered(9)), nullptr);
  EXPECT_EQ(last.Entries.front().Title, Numbered(1));
}

TEST(LastPlayedMPL, SurvivesTheIniFileByteForByte) {
  test::TTempDir directory;
  TLastPlayedMPL last;
  last.Add("/media/caf\xE9/list.mpl");
  last.SetLastPlayed("/media/caf\xE9/list.mpl", "/media/caf\xE9/\xFF.wav", 2147483647);
  last.Add("/bad/line\nbreak.mpl");
  last.Add("/media/dir");
  last.SetLastPlayed("/media/dir", "/media/dir/a.mp3", 7);
  const std::string title = directory.Path + "/Corvantide.ini";
  test::WriteFileBytes(title, "");
  TStoredTextList ini;
  ASSERT_TRUE(ini.LoadFrom(title));
  last.Save(ini);
  ASSERT_TRUE(ini.Save(false));
  TStoredTextList back;
  ASSERT_TRUE(back.LoadFrom(directory.Path + "/Corvantide.ini"));
  TLastPlayedMPL loaded;
  loaded.Load(back);
  const std::vector<TLastPlayedEntry> expected = {
      {"/media/caf\xE9/list.mpl", "/media/caf\xE9/\xFF.wav", 2147483647},
      {"/media/dir", "/media/dir/a.mp3", 7}};
  EXPECT_EQ(loaded.Entries, expected) << "the title an ini line cannot carry is left out";
}

TEST(PlayListFile, KeepsTitlesAsBytesAndResolvesRelativeOnes) {
  const struct {
    std::string Text;
    std::vector<std::string> Items;
  } cases[] = {
      {"a.mp3\r\n\r\n/abs/b.wav\n", {"/lists/a.mp3", "/abs/b.wav"}},
      {"\xEF\xBB\xBF sub/\xFF\xFE.wav \n\n\n", {"/lists/ sub/\xFF\xFE.wav "}},
      {"no end", {"/lists/no end"}},
      {"", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ParsePlayList(c.Text, "/lists/"), c.Items) << c.Text;
}

TEST(PlayListFile, ReadsRegularFilesOnly) {
  test::TTempDir directory;
  const std::string list = directory.Path + "/l.mpl";
  test::WriteFileBytes(list, "x.mp3\n");
  std::vector<std::string> items;
  EXPECT_TRUE(ReadPlayListFile(list, items));
  EXPECT_EQ(items, std::vector<std::string>{directory.Path + "/x.mp3"});
  const std::string fifo = directory.Path + "/f.mpl";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReadPlayListFile(fifo, items)) << "a FIFO would block the window";
  EXPECT_TRUE(FunStatContext.Failed());
  EXPECT_FALSE(ReadPlayListFile(directory.Path + "/missing.mpl", items));
  FunStatContext.Reset(fsPerfect);
}

class MediaPlayerTest : public ::testing::Test, public TMediaPlayerHost {
protected:
  void SetUp() override {
    AudioFileExtensions.SetText(DefaultAudioExtensions);
    VideoFileExtensions.SetText(DefaultVideoExtensions);
    ASSERT_TRUE(IsAudioFile("x.wav"));
    ASSERT_TRUE(IsVideoFile("x.avi"));
    for (const char* name : {"a.wav", "b.wav", "c.wav"})
      Device.Files[Dir.Path + "/" + name] = {.Length = 10000};
    Device.Files[Dir.Path + "/v.avi"] = {.Length = 4000, .Size = {320, 240}};
    List = Dir.Path + "/l.mpl";
    test::WriteFileBytes(List, "a.wav\nnotes.txt\nb.wav\nc.wav\n");
  }
  std::string At(const char* name) const { return Dir.Path + "/" + name; }
  void SetApplicationTitle(const std::string& title) override { Title = title; }
  void ShowVideoViewer() override { ++VideoViewerShown; }
  TMediaSize ViewerSpace() const override { return Space; }
  int ViewerMargin() const override { return 4; }

  test::TTempDir Dir;
  std::string List;
  test::TScriptedMediaDevice Device;
  TLastPlayedMPL Last;
  MyTMediaPlayer Player{Device, Last, this};
  std::string Title;
  int VideoViewerShown = 0;
  TMediaSize Space{600, 400};
};

TEST_F(MediaPlayerTest, ResumesAtTheRememberedItemAndPosition) {
  ASSERT_TRUE(Player.PlayMPL(List, At("b.wav"), 4200));
  EXPECT_EQ(Player.Index, 2);
  EXPECT_EQ(Device.Current, At("b.wav"));
  EXPECT_EQ(Device.Seeks, std::vector<int64_t>{4200});
  EXPECT_TRUE(Player.Playing);
  EXPECT_EQ(Title, "#3 (4) b.wav");
  ASSERT_EQ(Last.Entries.size(), 1u);
  EXPECT_EQ(Last.Entries.back().Title, List);
}

TEST_F(MediaPlayerTest, AMissingResumeTitleStartsAtTheFirstItemFromZero) {
  ASSERT_TRUE(Player.PlayMPL(List, At("gone.wav"), 4200));
  EXPECT_EQ(Player.Index, 0);
  EXPECT_EQ(Device.Current, At("a.wav"));
  EXPECT_TRUE(Device.Seeks.empty());
}

TEST_F(MediaPlayerTest, EndsGoOnSkippingOtherFilesThenTheListStartsOver) {
  ASSERT_TRUE(Player.PlayMPL(List, {}, 0));
  Player.PlayNext();
  EXPECT_EQ(Device.Current, At("a.wav")) << "not over yet";
  Device.End();
  Player.PlayNext();
  EXPECT_EQ(Device.Current, At("b.wav")) << "the text file is skipped";
  Device.At = 5000;
  Player.PlayNext();
  EXPECT_DOUBLE_EQ(Player.Progress, 0.5);
  Device.End();
  Player.PlayNext();
  Device.End();
  Player.PlayNext();
  EXPECT_TRUE(Player.Stopped);
  EXPECT_EQ(Player.Index, 0);
  EXPECT_EQ(Title, "");
  EXPECT_EQ(*Last.Find(List), (TLastPlayedEntry{List, At("a.wav"), 0}));
}

TEST_F(MediaPlayerTest, RepeatPlaysTheSameItemAgain) {
  Player.Repeat = true;
  ASSERT_TRUE(Player.PlayMPL(List, At("c.wav"), 0));
  Device.End();
  Player.PlayNext();
  EXPECT_EQ(Device.Opened, (std::vector<std::string>{At("c.wav"), At("c.wav")}));
  EXPECT_TRUE(Player.Playing);
}

TEST_F(MediaPlayerTest, AListOfOnlyOtherFilesPlaysNothing) {
  test::WriteFileBytes(List, "notes.txt\nmore.txt\n");
  EXPECT_TRUE(Player.PlayMPL(List, {}, 0));
  EXPECT_TRUE(Device.Opened.empty());
  EXPECT_TRUE(Player.Stopped);
  EXPECT_FALSE(Player.Playing);
}

TEST_F(MediaPlayerTest, AFileThatFailsToOpenStopsWithTheDevicesMessage) {
  test::WriteFileBytes(List, "lost.wav\na.wav\n");
  EXPECT_FALSE(Player.PlayMPL(List, {}, 0));
  EXPECT_TRUE(Player.Stopped);
  EXPECT_EQ(Player.ErrorHint, "Failed to play media \"lost.wav\". No such file or directory");
}

TEST_F(MediaPlayerTest, SwitchingListsRemembersWhereTheOldOneWas) {
  ASSERT_TRUE(Player.PlayMPL(List, {}, 0));
  Device.End();
  Player.PlayNext();
  Device.At = 3300;
  ASSERT_TRUE(
      Player.ViewMediaInDirectory(Dir.Path + "/", {At("c.wav"), At("x.txt"), At("a.wav")}, 0, {}));
  EXPECT_EQ(*Last.Find(List), (TLastPlayedEntry{List, At("b.wav"), 3300}));
  EXPECT_EQ(Player.Items, (std::vector<std::string>{At("c.wav"), At("a.wav")}));
  EXPECT_EQ(Player.Caption, Dir.Path);
  EXPECT_EQ(Last.Entries.back().Title, Dir.Path + "/");
}

TEST_F(MediaPlayerTest, APreviewRemembersTheResumePointOfTheListItStops) {
  ASSERT_TRUE(Player.PlayMPL(List, {}, 0));
  Device.End();
  Player.PlayNext();
  Device.At = 6100;
  std::string error, length;
  TMediaSize source, shown;
  ASSERT_TRUE(Player.PlayThumb(At("v.avi"), {10, 20, 100, 100}, error, length, source, shown));
  EXPECT_EQ(*Last.Find(List), (TLastPlayedEntry{List, At("b.wav"), 6100}));
  EXPECT_EQ(Device.Displays.back(), TMediaDisplay::Hover);
  EXPECT_EQ(Device.Seeks.back(), 400) << "10% into the media";
  EXPECT_EQ(length, "00:00:04");
  EXPECT_EQ(source, (TMediaSize{320, 240}));
  EXPECT_EQ(shown, (TMediaSize{100, 75}));
  EXPECT_EQ(Device.Placed, (TMediaRect{10, 20, 100, 75}));
  // The preview's end is not the list's: nothing moves on, nothing is remembered.
  Device.End();
  Player.PlayNext();
  EXPECT_EQ(Device.Current, At("v.avi"));
  Player.RememberResumePoint();
  EXPECT_EQ(Last.Find(List)->ResumePosition, 6100);
  EXPECT_FALSE(Player.PlayThumb(At("notes.txt"), {0, 0, 10, 10}, error, length, source, shown));
  EXPECT_EQ(error, "Generic error");
}

TEST_F(MediaPlayerTest, FitMovieEnlargesTheVideoOnlyWhenOn) {
  const struct {
    bool Fit;
    TMediaSize Space;
    TMediaRect Placed;
  } cases[] = {
      {true, {600, 400}, {4 + 33, 4, 533, 400}},
      {false, {600, 400}, {4 + 140, 4 + 80, 320, 240}},
      {false, {160, 400}, {4, 4 + 140, 160, 120}},
  };
  for (const auto& c : cases) {
    Player.FitMovie = c.Fit;
    Space = c.Space;
    ASSERT_TRUE(Player.PlayFile(At("v.avi")));
    EXPECT_EQ(Device.Placed, c.Placed) << c.Fit << " " << c.Space.Width;
  }
  EXPECT_EQ(VideoViewerShown, 3);
}

TEST_F(MediaPlayerTest, RandomizeIsAPermutationEvenForExtremeDraws) {
  ASSERT_TRUE(Player.PlayMPL(List, At("c.wav"), 0));
  TScriptedRandom random({0x80000000u, 0xFFFFFFFFu, 1u, 0x7FFFFFFFu});
  ASSERT_TRUE(Player.Randomize(random));
  std::vector<std::string> sorted = Player.Items;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted,
            (std::vector<std::string>{At("a.wav"), At("b.wav"), At("c.wav"), At("notes.txt")}));
  EXPECT_EQ(Player.Items[static_cast<size_t>(Player.Index)], At("c.wav"))
      << "the item playing stays the current one";
}

TEST_F(MediaPlayerTest, PauseSeekAndVolumeSteps) {
  ASSERT_TRUE(Player.PlayMPL(List, {}, 0));
  Device.At = 9800;
  Player.SeekStep(1);
  EXPECT_EQ(Device.At, 10000) << "clamped to the length";
  Player.SeekStep(-1);
  EXPECT_EQ(Device.At, 9500);
  Player.PauseResume();
  EXPECT_TRUE(Player.Paused);
  EXPECT_FALSE(Device.Running);
  Player.SeekFraction(0.25);
  EXPECT_EQ(Device.At, 2500);
  EXPECT_TRUE(Device.Running) << "a click on the bar plays";
  Player.SetVolume(0.07);
  Player.VolumeStep(-1);
  EXPECT_DOUBLE_EQ(Device.Loudness, 0.05);
  Player.SetVolume(0.98);
  Player.VolumeStep(1);
  EXPECT_DOUBLE_EQ(Device.Loudness, 1.0);
}

} // namespace
} // namespace cv
