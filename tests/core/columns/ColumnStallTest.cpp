// The column's work on the window's thread never waits on a file system
// that does not answer: a hanging FUSE file system is mounted and the
// longest stall of the thread's event loop is measured around each step.

#include "columns/Column.h"

#include "HangingMount.h"
#include "StallMeter.h"
#include "TestSupport.h"
#include "columns/DirMonitorCheck.h"
#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/BusyCount.h"
#include "foundation/Guard.h"
#include "foundation/OffThread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>

namespace cv {
namespace {

using test::LongestStall;

class ColumnStallTest : public ::testing::Test {
protected:
  void SetUp() override {
    FunStatContext.Reset(fsPerfect);
    BusyCount.Reset();
    Column.GroupOptions = TGroupOptions();
    Column.List.SetSize(200, 310);
    Column.FactsTimeoutMs = 300;
    // Whatever waits on the mount is given up soon: only stalls count here.
    QObject::connect(&Canceller, &QTimer::timeout, [] {
      if (TWait::Current()) TWait::Current()->Cancel();
    });
    Canceller.start(300);
  }

  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  TColumn Column{0};
  QTimer Canceller;
};

// A link to a mount that answers no stat: everything the window asks about
// a title through it is answered from the mount table.
TEST_F(ColumnStallTest, ALinkIntoAMountThatDoesNotAnswerHoldsNothing) {
  test::THangingMount mount(3000, 3000);
  if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
  const std::string link = Dir.Path + "/share";
  ASSERT_EQ(::symlink(mount.MountPoint().c_str(), link.c_str()), 0);
  const std::string deep = Dir.Path + "/deep";
  ASSERT_EQ(::symlink((mount.MountPoint() + "/sub/a.txt").c_str(), deep.c_str()), 0);
  const std::string partition = PathToPartitionTitle(mount.MountPoint());
  TDirMonitorCheckState state;
  TBusyCounter busy;
  struct TCase {
    const char* Name;
    std::function<void()> Step;
  };
  const TCase cases[] = {
      {"the partition of the link",
       [&] {
         EXPECT_EQ(GetPartitionOfTitle(link), partition);
         EXPECT_EQ(GetPartitionOfTitle(deep), partition);
         EXPECT_EQ(GetPartitionOfTitle(link + "/sub/a.txt"), partition);
         EXPECT_EQ(GetPartitionType(link), ptRemote);
       }},
      {"entering the link",
       [&] {
         Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                              link + "/sub/a.txt");
       }},
      {"the information bars of a file through the link",
       [&] {
         Column.ActiveTitle = link + "/a.txt";
         Column.ShowInfo();
       }},
      {"the partition's root",
       [&] {
         Column.ActiveTitle = link + "/b.txt";
         Column.PartitionRoot();
       }},
      {"the terminal root",
       [&] {
         Column.ActiveTitle = link + "/sub";
         Column.TerminalRoot();
       }},
      {"the monitor's tick",
       [&] {
         Column.ActiveTitle = link + "/a.txt";
         CheckDirMonitor({&Column}, false, true, state, busy);
       }},
      {"a dropped or pasted list through the link",
       [&] {
         Column.SetWithList({link + "/a.txt"}, true);
         // Given up: the item stays, its facts unread but not taken for gone.
         ASSERT_EQ(Column.Count(), 1);
         EXPECT_TRUE(Column.Items[0].Exists);
         EXPECT_EQ(Column.SelCount, 1);
       }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    // The kernel keeps a FUSE answer for a second: each step meets the mount afresh.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_LT(LongestStall(c.Step), 100 * test::TimeScale);
  }
}

// Threads of this process.
int ThreadCount() {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                        std::filesystem::directory_iterator()));
}

// A listing cancelled on a dead mount leaves its thread in the file system
// (nothing calls a FUSE request back); the listings after it there wait for
// that thread instead of leaving one more behind each, and the partition
// counts as slow until it ends.
TEST_F(ColumnStallTest, CancelledListingsOnADeadMountLeaveOneThreadBehind) {
  test::THangingMount mount(10000);
  if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
  const std::string partition = PathToPartitionTitle(mount.MountPoint());
  const int before = ThreadCount();
  for (const char* place : {"/", "/sub/", "/"}) {
    Column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt,
                         mount.MountPoint() + place);
    EXPECT_NE(Column.ShownPath(), mount.MountPoint() + place) << "cancelled";
    EXPECT_TRUE(IsSlowPartition(partition));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_LE(ThreadCount() - before, 1 + test::SanitizerThreads);
  mount.Unmount();
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 3000 && IsSlowPartition(partition))
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_FALSE(IsSlowPartition(partition)) << "once the thread let go";
}

// Links on local disks still lead where they point, relative ones and
// chains included; a missing or looping part stays as written.
TEST_F(ColumnStallTest, LinksResolveOneStepAtATime) {
  ASSERT_EQ(::symlink("/proc", (Dir.Path + "/p").c_str()), 0);
  ASSERT_EQ(::symlink("p", (Dir.Path + "/rel").c_str()), 0);
  ASSERT_EQ(::symlink((Dir.Path + "/./rel/../proc").c_str(), (Dir.Path + "/chain").c_str()), 0);
  ASSERT_EQ(::symlink("loop", (Dir.Path + "/loop").c_str()), 0);
  const std::string here = GetPartitionOfTitle(Dir.Path);
  ASSERT_FALSE(here.empty());
  ASSERT_NE(here, ":/proc");
  const std::pair<const char*, std::string> cases[] = {
      {"/rel/self", ":/proc"}, {"/chain/self/fd", ":/proc"}, {"/p", ":/proc"}, {"/missing/y", here},
      {"/loop/z", here},
  };
  for (const auto& [name, partition] : cases)
    EXPECT_EQ(GetPartitionOfTitle(Dir.Path + name), partition) << name;
}

} // namespace
} // namespace cv
