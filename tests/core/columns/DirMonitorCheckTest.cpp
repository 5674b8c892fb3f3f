#include "columns/DirMonitorCheck.h"

#include "columns/Column.h"
#include "filesystem/File.h"
#include "filesystem/Partitions.h"
#include "foundation/BusyCount.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace cv {
namespace {

class DirMonitorCheckTest : public ::testing::Test {
protected:
  void SetUp() override {
    BusyCount.Reset();
    for (TColumn* column : {&A, &B}) {
      column->GroupOptions = TGroupOptions();
      column->List.SetSize(200, 310);
      column->Busy = &Busy;
      column->LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/");
    }
    Columns = {&A, &B};
  }
  void Touch(const std::string& name) { std::ofstream(Dir.Path + "/" + name) << "x"; }
  // Polling without force only happens on fixed and RAM partitions.
  bool Polled() const {
    const int type = GetPartitionType(Dir.Path);
    return type == ptFixed || type == ptRAM;
  }

  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  TBusyCounter Busy;
  TDirMonitorCheckState State;
  TColumn A{0}, B{1};
  std::vector<TColumn*> Columns;
};

TEST_F(DirMonitorCheckTest, UnforcedCheckMarksButDoesNotReload) {
  if (!Polled()) GTEST_SKIP() << "temporary directory is not on a polled partition";
  Touch("new.bin");
  EXPECT_TRUE(CheckDirMonitor(Columns, false, true, State, Busy));
  EXPECT_TRUE(A.HeaderChanged);
  EXPECT_TRUE(B.HeaderChanged);
  EXPECT_EQ(A.Count(), 0) << "only marked";
  EXPECT_FALSE(CheckDirMonitor(Columns, false, true, State, Busy)) << "the change was taken";
  EXPECT_TRUE(A.HeaderChanged) << "the mark stays until a reload";
  EXPECT_EQ(Busy.Value(), 0);
}

TEST_F(DirMonitorCheckTest, NothingHappensWithoutFocusOrWhileBusy) {
  Touch("new.bin");
  EXPECT_FALSE(CheckDirMonitor(Columns, false, false, State, Busy));
  Busy.Raise();
  EXPECT_FALSE(CheckDirMonitor(Columns, false, true, State, Busy));
  EXPECT_FALSE(A.HeaderChanged);
  Busy.Lower();
}

TEST_F(DirMonitorCheckTest, ForcedCheckReloadsBothColumnsFromOneRead) {
  Touch("new.bin");
  A.FocusByIndex(0, 0);
  EXPECT_TRUE(CheckDirMonitor(Columns, true, false, State, Busy));
  EXPECT_EQ(A.Count(), 1);
  EXPECT_EQ(B.Count(), 1);
  EXPECT_FALSE(A.HeaderChanged);
  EXPECT_FALSE(B.HeaderChanged);
  EXPECT_FALSE(B.DirMonitor.Changed());
  EXPECT_FALSE(CheckDirMonitor(Columns, true, false, State, Busy));
}

TEST_F(DirMonitorCheckTest, ForcedCheckWhileBusyWaitsForIdle) {
  Touch("new.bin");
  Busy.Raise();
  EXPECT_FALSE(CheckDirMonitor(Columns, true, false, State, Busy));
  EXPECT_EQ(A.Count(), 0);
  Busy.Lower();
  EXPECT_EQ(A.Count(), 1) << "the waiting check ran when the counter reached 0";
  EXPECT_EQ(Busy.Value(), 0);
}

TEST_F(DirMonitorCheckTest, ActivationForcesTheNextCheck) {
  Touch("new.bin");
  State.Activated = true;
  EXPECT_TRUE(CheckDirMonitor(Columns, false, true, State, Busy));
  EXPECT_FALSE(State.Activated);
  EXPECT_EQ(A.Count(), 1);
}

TEST_F(DirMonitorCheckTest, RenamedDirectoryClimbsAtTheForcedCheck) {
  std::filesystem::create_directories(Dir.Path + "/sub/deep");
  A.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, Dir.Path + "/sub/deep/");
  std::filesystem::rename(Dir.Path + "/sub", Dir.Path + "/moved");
  CheckDirMonitor({&A}, true, false, State, Busy);
  EXPECT_EQ(A.ShownPath(), Dir.Path + "/");
  EXPECT_EQ(Ui.Errors.size(), 1u) << "one failure for the whole climb";
}

} // namespace
} // namespace cv
