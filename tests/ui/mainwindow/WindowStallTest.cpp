// The window's thread never waits on a file system that does not answer:
// a hanging FUSE file system is mounted, and the longest stall of the
// window's event loop is measured while it is asked about and left.

#include "mainwindow/MainDialog.h"

#include "HangingMount.h"
#include "StallMeter.h"
#include "TestSupport.h"
#include "columns/Column.h"
#include "fileops/PropertiesForm.h"
#include "foundation/OffThread.h"
#include "mainwindow/WaitInput.h"
#include "options/ProgramOptions.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace cv {
namespace {

using test::TStallMeter;

// How long the window spends inside waits, where it refuses input.
class TWaitMeter {
public:
  TWaitMeter() {
    QObject::connect(&Tick, &QTimer::timeout, [this] {
      if (TWait::Current()) Waited += 5;
    });
    Tick.start(5);
  }
  int Waited = 0;

private:
  QTimer Tick;
};

class WindowStallTest : public ::testing::Test {
protected:
  void SetUp() override {
    FunStatContext.Reset(fsPerfect);
    Saved = ProgramOptions;
  }
  void TearDown() override { ProgramOptions = Saved; }
  // The window up and active, its timer running.
  void Open(TMainForm& form) {
    form.Setup();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.ApplicationEventsActivate();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    // A board an earlier test saved may name directories gone since.
    Ui.Errors.clear();
  }
  static void Touch(const std::string& title) { std::ofstream(title) << "x"; }

  test::TRecordingUserInterface Ui;
  TProgramOptions Saved;
};

// The facts (the partition's sizes among them) are read on a worker, and
// closing leaves a count that the mount holds behind without waiting for it.
TEST_F(WindowStallTest, PropertiesOfADirectoryOnAMountThatHangs) {
  test::THangingMount mount(2000);
  if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
  TStallMeter meter;
  {
    TPropertiesForm form;
    ASSERT_TRUE(form.Load(mount.MountPoint() + "/sub")) << FunStatContext.GetReport();
    EXPECT_EQ(form.TypeLabel->text(), "Directory");
    EXPECT_EQ(form.FileSystemLabel->text(), test::THangingMount::FileSystem);
    EXPECT_TRUE(form.Counting()) << "the listing of the directory waits";
    QTest::mouseClick(form.CloseButton, Qt::LeftButton);
    EXPECT_FALSE(form.Counting());
  }
  EXPECT_LT(meter.Longest(), 100);
  EXPECT_TRUE(Ui.Errors.empty());
}

// Apply changes and reads back on a worker. Esc ends the wait, and the
// change it leaves behind is not shown as applied.
TEST_F(WindowStallTest, ApplyingPropertiesOnAMountThatHangs) {
  test::THangingMount mount(200, 1500);
  if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
  TWaitInput input;
  TPropertiesForm form;
  ASSERT_TRUE(form.Load(mount.MountPoint() + "/a.txt")) << FunStatContext.GetReport();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  ASSERT_EQ(form.ModeLabel->text(), "0644 (rw-r--r--)");
  // The kernel keeps a FUSE answer for a second: Apply meets the mount afresh.
  QTest::qWait(1200);
  form.ModeBoxes[8]->setChecked(true); // others may execute
  qint64 stall = test::LongestStall([&] { QTest::mouseClick(form.ApplyButton, Qt::LeftButton); });
  EXPECT_LT(stall, 100 * test::TimeScale);
  ASSERT_EQ(Ui.Errors.size(), 1u) << "the mount is read-only";
  EXPECT_NE(Ui.Errors[0].Description.find("Failed to change permissions."), std::string::npos);
  EXPECT_EQ(form.ModeLabel->text(), "0644 (rw-r--r--)") << "what the disk holds";
  EXPECT_FALSE(form.ApplyButton->isEnabled());

  QTest::qWait(1200);
  form.ModeBoxes[8]->setChecked(true);
  QTimer::singleShot(200, [&] { QTest::keyClick(&form, Qt::Key_Escape); });
  QElapsedTimer clock;
  clock.start();
  stall = test::LongestStall([&] { QTest::mouseClick(form.ApplyButton, Qt::LeftButton); });
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_LT(stall, 100 * test::TimeScale);
  EXPECT_EQ(Ui.Errors.size(), 1u) << "a cancelled change is not reported";
  EXPECT_TRUE(form.isVisible()) << "Esc ended the wait, not the window";
  EXPECT_EQ(form.ModeLabel->text(), "0645 (rw-r--r-x)") << "the boxes keep what was asked";
  EXPECT_TRUE(form.ApplyButton->isEnabled()) << "nothing is shown as applied";
}

// The monitor's tick waits while the information bars wait for their facts
// (which raise no busy counter), and the reload it causes later shows the
// facts the bars have instead of asking them again.
TEST_F(WindowStallTest, TheMonitorNeitherTicksInsideAWaitNorAsksTheFactsAgain) {
  test::THangingMount mount(1500);
  if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
  test::TTempDir dir;
  ProgramOptions.ReloadChangedDirectories = true;
  TMainForm form;
  Open(form);
  TColumn& active = form.Column(0);
  TColumn& other = form.Column(1);
  other.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, dir.Path + "/");
  // The mount's parent with the mount focused: its sizes take the delay.
  active.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, mount.MountPoint());
  active.FactsTimeoutMs = 5000;
  form.FocusColumn(0);
  ASSERT_EQ(active.ActiveTitle, mount.MountPoint());
  ASSERT_EQ(other.Count(), 0);

  QTimer::singleShot(100, [&] { Touch(dir.Path + "/new.txt"); });
  QElapsedTimer clock;
  clock.start();
  form.UpdateActiveFile();
  EXPECT_LT(clock.elapsed(), 2500) << "no second wait nested in the first";
  EXPECT_EQ(other.Count(), 0) << "nothing was reloaded inside the wait";
  QTRY_COMPARE_WITH_TIMEOUT(other.Count(), 1, 5000);

  // A change the monitor reloads: the active file's facts stay as they are.
  TWaitMeter meter;
  Touch(dir.Path + "/newer.txt");
  QTRY_COMPARE_WITH_TIMEOUT(other.Count(), 2, 5000);
  QTest::qWait(300);
  // Asking the facts again would wait out the mount's 1.5 s; a loaded or
  // instrumented build may spend some 300 ms on the reload's own waits.
  EXPECT_LT(meter.Waited, 1000 * test::TimeScale);
  EXPECT_EQ(active.Info.PartSz.Caption.rfind("PartSz ", 0), 0u);
  EXPECT_NE(active.Info.PartSz.Caption, "PartSz ?");
  EXPECT_TRUE(Ui.Errors.empty());
}

// Work that stops when cancelled, or after three seconds.
void UntilCancelled(const std::atomic<bool>& cancel) {
  for (int i = 0; i < 300 && !cancel; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// Esc cancels the wait whose notice says "Loading...", not a hidden wait
// that runs inside it, and that one with it.
TEST_F(WindowStallTest, EscCancelsTheWaitThatShowsTheNotice) {
  TWaitInput input;
  QWidget widget;
  widget.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
  TWaitOptions shown;
  shown.NoticeAfterMs = 50;
  bool noticed = false;
  shown.Notice = [&](bool on) { noticed = noticed || on; };
  TWaitEnd inner = TWaitEnd::Done;
  QTimer::singleShot(150, [&] {
    TWaitOptions hidden;
    hidden.NoticeAfterMs = -1;
    inner = WaitForWork(UntilCancelled, hidden);
  });
  QTimer::singleShot(300, [&] { QTest::keyClick(&widget, Qt::Key_Escape); });
  QElapsedTimer clock;
  clock.start();
  const TWaitEnd outer = WaitForWork(UntilCancelled, shown);
  EXPECT_TRUE(noticed);
  EXPECT_EQ(outer, TWaitEnd::Cancelled);
  EXPECT_EQ(inner, TWaitEnd::Cancelled);
  EXPECT_LT(clock.elapsed(), 1500);
}

} // namespace
} // namespace cv
