// The window never waits on a file system that does not answer: a FUSE
// file system whose listings and sizes take seconds is mounted, and the
// window keeps serving its events while it is entered, listed and asked.

#include "mainwindow/MainDialog.h"

#include "HangingMount.h"
#include "StallMeter.h"
#include "TestSupport.h"
#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "filesystem/DirectoryReader.h"
#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/OffThread.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

namespace cv {
namespace {

using test::TStallMeter;

// Counts the paints of a widget that happen while its list is loading.
class TLoadingPaints : public QObject {
public:
  explicit TLoadingPaints(MyTPanel* panel) : Panel(panel) { panel->installEventFilter(this); }
  int Count = 0;

protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && Panel->List().Loading()) ++Count;
    return false;
  }

private:
  MyTPanel* Panel;
};

class SlowFileSystemTest : public ::testing::Test {
protected:
  void Open(test::THangingMount& mount) {
    if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
    Form.Setup();
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    // The parent of the mount, with the mount focused: one Return enters it.
    Form.Column(0).LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                                 mount.MountPoint());
    Form.FocusColumn(0);
    ASSERT_EQ(Form.Column(0).ActiveTitle, mount.MountPoint());
  }
  MyTPanel* List() { return Form.ColumnView(0)->FileList; }

  test::TRecordingUserInterface Ui;
  TMainForm Form;
};

// Input comes the way the platform delivers it: to the window, which hands
// it to its widgets.
TEST_F(SlowFileSystemTest, EnteringAMountThatHangsKeepsTheWindowAliveAndEscOrAClickCancels) {
  test::THangingMount mount(10000);
  Open(mount);
  TColumn& column = Form.Column(0);
  const std::vector<TFileListData> before = column.Items;
  const int focus = column.List.FocusIndex();
  QWindow* window = Form.windowHandle();
  for (const bool byClick : {false, true}) {
    SCOPED_TRACE(byClick ? "a click on the notice" : "Esc");
    TLoadingPaints paints(List());
    bool refused = false;
    QTimer::singleShot(500, [&] {
      // Keys other than Esc are refused while the column waits.
      QTest::keyClick(window, Qt::Key_End);
      refused = column.List.FocusIndex() == focus;
      if (byClick)
        QTest::mouseClick(window, Qt::LeftButton, {},
                          List()->mapTo(&Form, List()->LoadingNoticeRect().center()));
      else
        QTest::keyClick(window, Qt::Key_Escape);
    });
    TStallMeter meter;
    QTest::keyClick(window, Qt::Key_Return);
    const qint64 took = meter.Elapsed();
    EXPECT_LT(meter.Longest(), 100) << "the event loop is served while the mount is read";
    EXPECT_LT(took, 2000) << "the wait was cancelled";
    EXPECT_GT(paints.Count, 0) << "the loading notice was painted";
    EXPECT_TRUE(refused);
    EXPECT_FALSE(column.List.Loading());
    EXPECT_EQ(column.ActiveTitle, mount.MountPoint()) << "the column is as it was";
    EXPECT_EQ(column.Items.size(), before.size());
    EXPECT_TRUE(Ui.Errors.empty());
    EXPECT_EQ(TWait::Current(), nullptr);
  }
}

TEST_F(SlowFileSystemTest, ThePartitionsListOpensAtOnceWithAMountThatHangs) {
  test::THangingMount mount(10000);
  Open(mount);
  TColumn& column = Form.Column(0);
  const std::string partition = PathToPartitionTitle(mount.MountPoint());
  TStallMeter meter;
  column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, partition);
  // Every partition focused in turn, the information bars asked each time.
  for (int i = 0; i < column.Count(); ++i) {
    column.FocusByIndex(i, 0);
    Form.UpdateActiveFile();
  }
  EXPECT_LT(meter.Elapsed(), 1000);
  EXPECT_LT(meter.Longest(), 100);
  EXPECT_TRUE(std::any_of(column.Items.begin(), column.Items.end(),
                          [&](const TFileListData& item) { return item.Title == partition; }));
  EXPECT_EQ(GetPartitionType(partition), ptRemote);
}

TEST_F(SlowFileSystemTest, SizesThatComeLateShowAsUnknownAndAreFilledIn) {
  test::THangingMount mount(1500);
  Open(mount);
  TColumn& column = Form.Column(0);
  column.FactsTimeoutMs = 300;
  TStallMeter meter;
  // The listing takes the mount's time; the loading notice shows meanwhile.
  QTest::keyClick(List(), Qt::Key_Return);
  ASSERT_EQ(GetTitlePath(column.ActiveTitle), mount.MountPoint() + "/");
  EXPECT_EQ(column.Info.PartSz.Caption, "PartSz ?");
  // Asking again while the partition is slow does not wait at all.
  QElapsedTimer again;
  again.start();
  Form.UpdateActiveFile();
  EXPECT_LT(again.elapsed(), 50);
  EXPECT_EQ(column.Info.PartSz.Caption, "PartSz ?");
  while (meter.Elapsed() < 8000 && column.Info.PartSz.Caption == "PartSz ?")
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_NE(column.Info.PartSz.Caption, "PartSz ?");
  EXPECT_EQ(column.Info.PartSz.Caption.rfind("PartSz ", 0), 0u);
}

// Closing the window while a column waits: the work on the stack still uses
// the window, so the wait is cancelled first and the window closes after.
TEST_F(SlowFileSystemTest, ClosingTheWindowWhileAColumnWaitsCancelsThenCloses) {
  test::TTempDir dir;
  std::ofstream(dir.Path + "/a.txt") << "a";
  Form.Setup();
  Form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
  TColumn& column = Form.Column(0);
  column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, dir.Path + "/a.txt");
  auto release = std::make_shared<std::atomic<bool>>(false);
  column.Services.ListDirectory = [release](const std::string& path,
                                            const TDirectoryEntrySink& sink, bool* opened) {
    while (!*release)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return ReadDirectory(path, sink, opened);
  };
  bool visibleAfterClose = false;
  QTimer::singleShot(300, [&] {
    Form.close();
    visibleAfterClose = Form.isVisible();
    *release = true;
  });
  column.ParentDirectory();
  EXPECT_TRUE(visibleAfterClose) << "not closed under the waiting column";
  EXPECT_EQ(column.ActiveTitle, dir.Path + "/a.txt") << "the wait was cancelled";
  for (int i = 0; i < 100 && Form.isVisible(); ++i)
    QTest::qWait(10);
  EXPECT_FALSE(Form.isVisible()) << "closed once the column let go";
}

} // namespace
} // namespace cv
