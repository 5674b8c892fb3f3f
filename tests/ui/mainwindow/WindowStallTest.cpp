// The window's thread never waits on a file system that does not answer:
// a hanging FUSE file system is mounted, and the longest stall of the
// window's event loop is measured while it is asked about and left.

#include "HangingMount.h"
#include "StallMeter.h"
#include "TestSupport.h"
#include "fileops/PropertiesForm.h"
#include "foundation/OffThread.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <string>

namespace cv {
namespace {

using test::TStallMeter;

class WindowStallTest : public ::testing::Test {
protected:
  void SetUp() override { FunStatContext.Reset(fsPerfect); }
  test::TRecordingUserInterface Ui;
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

} // namespace
} // namespace cv
