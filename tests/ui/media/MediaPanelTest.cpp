#include "../../core/foundation/StorageTestSupport.h"
#include "GeneratedMedia.h"
#include "LauncherSupport.h"
#include "TestSupport.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "filesystem/Extensions.h"
#include "mainwindow/MainDialog.h"
#include "media/MediaPlayback.h"
#include "options/ProgramOptions.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace cv {
namespace {

class MediaPanelTest : public ::testing::Test {
protected:
  void SetUp() override {
    ProgramOptions.SetDefaults();
    AudioFileExtensions.SetText(DefaultAudioExtensions);
    Form.Setup();
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    if (!Form.Media->Device.Available())
      GTEST_SKIP() << "the ffmpeg media back end cannot be loaded here";
    for (const char* name : {"one.wav", "two \xE9.wav"})
      test::WriteFileBytes(Dir.Path + "/" + name, test::Wave(1200));
    List = Dir.Path + "/list.mpl";
    test::WriteFileBytes(List, "one.wav\ntwo \xE9.wav\n");
  }
  std::vector<QAction*> MenuEntries() {
    Menu.clear();
    Form.FillMPLsMenu(Menu);
    const QList<QAction*> actions = Menu.actions();
    return {actions.begin(), actions.end()};
  }
  test::TRecordingUserInterface Ui;
  test::TTempDir Dir;
  std::string List;
  TMainForm Form;
  QMenu Menu;
};

TEST_F(MediaPanelTest, ResumesFromTheMenuAndShowsThePlayingItem) {
  TMediaPlayback& media = *Form.Media;
  media.LastPlayed.Add(List);
  media.LastPlayed.SetLastPlayed(List, Dir.Path + "/two \xE9.wav", 600);
  const std::vector<QAction*> entries = MenuEntries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0]->text(), "Media play-lists");
  EXPECT_FALSE(entries[0]->isEnabled());
  entries[1]->trigger();
  EXPECT_TRUE(media.Player.Playing);
  EXPECT_EQ(media.Player.Index, 1);
  EXPECT_GE(media.Device.Position(), 600);
  QListWidget* list = media.Panel->List;
  ASSERT_EQ(list->count(), 2);
  EXPECT_TRUE(list->item(1)->text().startsWith("two ")) << "shown, though its name is not UTF-8";
  EXPECT_TRUE(list->item(1)->font().bold());
  EXPECT_FALSE(list->item(0)->font().bold());
  // Stop keeps the place for the next time.
  QTest::qWait(150);
  media.Panel->StopButton->click();
  EXPECT_TRUE(media.Player.Stopped);
  const TLastPlayedEntry* entry = media.LastPlayed.Find(List);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->ResumeTitle, Dir.Path + "/two \xE9.wav");
  EXPECT_GE(entry->ResumePosition, 700);
}

TEST_F(MediaPanelTest, ARememberedDirectoryIsListedAgainAndResumed) {
  TMediaPlayback& media = *Form.Media;
  media.LastPlayed.Add(Dir.Path);
  media.LastPlayed.SetLastPlayed(Dir.Path, Dir.Path + "/two \xE9.wav", 300);
  const std::vector<QAction*> entries = MenuEntries();
  ASSERT_EQ(entries.size(), 2u);
  entries[1]->trigger();
  // The directory's media in name byte order; the list file is no media.
  ASSERT_EQ(media.Panel->List->count(), 2);
  EXPECT_TRUE(media.Player.Playing);
  EXPECT_EQ(media.Player.Index, 1);
  EXPECT_TRUE(Ui.Boxes.empty());
  media.Panel->StopButton->click();
}

TEST_F(MediaPanelTest, TheListPlaysThroughOnTheTimer) {
  TMediaPlayback& media = *Form.Media;
  // The main timer runs from the first activation on.
  Form.ApplicationEventsActivate();
  ASSERT_TRUE(media.Player.PlayMPL(List, {}, 0));
  EXPECT_TRUE(QTest::qWaitFor([&] { return media.Player.Index == 1; }, 10000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return media.Player.Stopped; }, 10000));
  EXPECT_EQ(media.Player.Index, 0);
  EXPECT_EQ(media.LastPlayed.Find(List)->ResumeTitle, Dir.Path + "/one.wav");
}

TEST_F(MediaPanelTest, AMissingListLeavesTheMenuWithAMessage) {
  Form.Media->LastPlayed.Add(Dir.Path + "/gone.mpl");
  Form.Media->LastPlayed.Add(List);
  std::vector<QAction*> entries = MenuEntries();
  ASSERT_EQ(entries.size(), 3u);
  entries[2]->trigger();
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, "The file doesn't exists.");
  EXPECT_EQ(MenuEntries().size(), 2u);
  EXPECT_FALSE(Form.Media->Player.Playing);
}

TEST_F(MediaPanelTest, ARightClickOnARowStopsAndRunsItsFile) {
  test::TRecordingLauncher launcher;
  TMediaPlayback& media = *Form.Media;
  ASSERT_TRUE(media.Player.PlayMPL(List, {}, 0));
  ASSERT_TRUE(media.Player.Playing);
  QListWidget* list = media.Panel->List;
  const QPoint row = list->visualItemRect(list->item(1)).center();
  QTest::mouseClick(list->viewport(), Qt::RightButton, {}, row);
  EXPECT_TRUE(media.Player.Stopped);
  EXPECT_FALSE(media.Player.Playing);
  EXPECT_EQ(launcher.Opened, std::vector<std::string>{Dir.Path + "/two \xE9.wav"});
  EXPECT_EQ(media.LastPlayed.Find(List)->ResumeTitle, Dir.Path + "/one.wav")
      << "the place is kept for the next time";
}

TEST_F(MediaPanelTest, ARowDraggedToAColumnBecomesItsActiveFile) {
  test::WriteFileBytes(Dir.Path + "/other.txt", "x");
  Form.Column(1).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                               Dir.Path + "/other.txt");
  Form.FocusColumn(1);
  TMediaPlayback& media = *Form.Media;
  ASSERT_TRUE(media.Player.PlayMPL(List, {}, 0));
  media.Panel->StopButton->click();
  QListWidget* list = media.Panel->List;
  QWidget* viewport = list->viewport();
  const QPoint row = list->visualItemRect(list->item(1)).center();
  MyTPanel* column = Form.ColumnView(0)->FileList;
  const QPoint over = viewport->mapFromGlobal(column->mapToGlobal(column->rect().center()));
  // A press and release without moving is no drag.
  QTest::mouseClick(viewport, Qt::LeftButton, {}, row);
  EXPECT_EQ(Form.ActiveColumn(), 1);
  QTest::mousePress(viewport, Qt::LeftButton, {}, row);
  QMouseEvent move(QEvent::MouseMove, QPointF(over), QPointF(viewport->mapToGlobal(over)),
                   Qt::NoButton, Qt::LeftButton, {});
  QApplication::sendEvent(viewport, &move);
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, over);
  EXPECT_EQ(Form.ActiveColumn(), 0);
  EXPECT_EQ(Form.Column(0).ActiveTitle, Dir.Path + "/two \xE9.wav");
  EXPECT_EQ(Form.Column(1).ActiveTitle, Dir.Path + "/other.txt");
}

} // namespace
} // namespace cv
