#include "foundation/Guard.h"

#include "foundation/MemoryStorage.h"
#include "foundation/StoredTextList.h"

#include "AllocationCounter.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace cv {
namespace {

class GuardTest : public ::testing::Test {
protected:
  void SetUp() override {
    FunStatContext = TFunStatContext();
    FunStatContext.Reset(fsPerfect);
  }
  test::TRecordingUserInterface Ui;
};

int EarlyExitFunction(int value) {
  if (value == 0) return TGuard::EarlyExit(-1);
  TGuard guard("Test::EarlyExitFunction");
  return guard.Run(0, [&] { return value * 2; });
}

void WarningCallee() {
  TGuard guard("Test::WarningCallee");
  guard.Run([&] { guard.Warn("Only a warning."); });
}

void FailingCallee(int code) {
  TGuard guard("Test::FailingCallee");
  guard.Run([&] { guard.Raise("Failed to do the thing.", "p1", "p2", static_cast<uint32_t>(code)); });
}

// Runs a callee and reports how far the caller got.
int Caller(void (*callee)(), bool* reachedEnd) {
  TGuard guard("Test::Caller");
  return guard.Run(-1, [&] {
    callee();
    guard.TakeOver();
    *reachedEnd = true;
    return 7;
  });
}

TEST_F(GuardTest, EarlyExitLeavesPerfectAndEmptyRaiseContext) {
  FunStatContext.SetRaiseContext(fsError, "f", "g", 3, "old", "a", "b", 5);
  EXPECT_EQ(EarlyExitFunction(0), -1);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  EXPECT_EQ(FunStatContext.FunctionName, "");
  EXPECT_EQ(FunStatContext.Description, "");
  EXPECT_EQ(FunStatContext.SystemErrorCode, 0u);
}

TEST_F(GuardTest, SuccessfulBodyPublishesPerfectAndItsValue) {
  EXPECT_EQ(EarlyExitFunction(4), 8);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(GuardTest, WarningCalleeDoesNotFailItsCaller) {
  WarningCallee();
  EXPECT_EQ(FunStatContext.Status, fsWarning);
  EXPECT_EQ(FunStatContext.Description, "Only a warning.");
  bool reached = false;
  EXPECT_EQ(Caller(&WarningCallee, &reached), 7);
  EXPECT_TRUE(reached);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
}

TEST_F(GuardTest, FailingCalleeIsTakenOverAndStopsTheCaller) {
  bool reached = false;
  EXPECT_EQ(Caller([] { FailingCallee(ENOENT); }, &reached), -1);
  EXPECT_FALSE(reached);
  EXPECT_EQ(FunStatContext.Status, fsError);
  EXPECT_EQ(FunStatContext.FunctionName, "Test::FailingCallee");
  EXPECT_EQ(FunStatContext.Description, "Failed to do the thing.");
  EXPECT_EQ(FunStatContext.Parameter1, "p1");
  EXPECT_EQ(FunStatContext.Parameter2, "p2");
  EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(ENOENT));
  EXPECT_GT(FunStatContext.Line, 0);
  EXPECT_NE(FunStatContext.SourceFile.find("GuardTest.cpp"), std::string::npos);
  EXPECT_TRUE(Ui.Errors.empty()) << "a failure is not shown before its show point";
}

TEST_F(GuardTest, AbsorbCountsFailuresWithoutLeaving) {
  TGuard guard("Test::Loop");
  int failures = 0;
  guard.Run([&] {
    for (int i = 0; i < 3; ++i) {
      FailingCallee(EIO);
      if (guard.Absorb()) ++failures;
    }
  });
  EXPECT_EQ(failures, 3);
  EXPECT_TRUE(guard.Failed());
}

TEST_F(GuardTest, ShowPointShowsOnceAndConsumes) {
  {
    TGuard guard("Test::MenuCommand");
    guard.Run([&] { FailingCallee(EACCES); guard.TakeOver(); });
    EXPECT_TRUE(guard.Show("Failed to run the command."));
    EXPECT_TRUE(guard.Show("Failed to run the command.")) << "nothing failed: go on";
  }
  EXPECT_EQ(FunStatContext.Status, fsPerfect) << "the caller of a show point sees success";
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0].Caption, "Error");
  EXPECT_EQ(Ui.Errors[0].Description, "Failed to run the command.");
  EXPECT_NE(Ui.Errors[0].Report.find("* Function: \"Test::FailingCallee\""), std::string::npos);
  EXPECT_NE(Ui.Errors[0].Report.find(
                "SHOW CONTEXT\r\n* File: \"GuardTest.cpp\"\r\n* Function: \"Test::MenuCommand\""),
            std::string::npos);
}

TEST_F(GuardTest, ShowPointPassesTheNoMoreErrorsAnswer) {
  Ui.ErrorAnswerNoMoreErrors = true;
  bool noMore = false;
  TGuard guard("Test::Loop");
  guard.Run([&] { guard.Raise("Failed."); });
  guard.Show("Failed to copy.", &noMore);
  EXPECT_TRUE(noMore);
}

TEST_F(GuardTest, ShowPointAnswersWhetherToGoOn) {
  struct TCase {
    const char* Button;
    bool Continue, NoMoreErrors;
  };
  const TCase table[] = {
      {"Okay", true, false},
      {"Okay (no errors)", true, true},
      {"Cancel", false, false},
  };
  for (const TCase& c : table) {
    Ui.ErrorAnswerContinue = c.Continue;
    Ui.ErrorAnswerNoMoreErrors = c.NoMoreErrors;
    bool noMore = false;
    TGuard guard("Test::Loop");
    guard.Run([&] { guard.Raise("Failed."); });
    EXPECT_EQ(guard.Show("Failed to copy.", &noMore), c.Continue) << c.Button;
    EXPECT_EQ(noMore, c.NoMoreErrors) << c.Button;
  }
}

TEST_F(GuardTest, LoopStopsOnCancelAndStopsShowingAfterNoErrors) {
  const std::string log = std::string(std::getenv("CORVANTIDE_HOME")) + "/Errors.log";
  // Each run: three failing items, the dialog's answer, the items tried and the dialogs seen.
  struct TCase {
    bool Continue, NoMoreErrors;
    int Tried, Shown;
  };
  const TCase table[] = {{true, false, 3, 3}, {false, false, 1, 1}, {true, true, 3, 1}};
  for (const TCase& c : table) {
    Ui.Errors.clear();
    Ui.ErrorAnswerContinue = c.Continue;
    Ui.ErrorAnswerNoMoreErrors = c.NoMoreErrors;
    std::remove(log.c_str());
    bool noMore = false;
    int tried = 0;
    TGuard guard("Test::CopyLoop");
    for (const char* item : {"a", "b", "c"}) {
      ++tried;
      guard.Run([&] { guard.Raise("Failed to copy file.", item); });
      if (!guard.Show("Failed to copy file.", &noMore)) break;
    }
    EXPECT_EQ(tried, c.Tried);
    EXPECT_EQ(static_cast<int>(Ui.Errors.size()), c.Shown);
    EXPECT_FALSE(guard.Failed()) << "every failure is consumed";
    std::ifstream in(log, std::ios::binary);
    const std::string logged((std::istreambuf_iterator<char>(in)), {});
    // Failures the user asked not to see are still kept in the log.
    EXPECT_EQ(logged.find("* Parameter 1: \"b\"") != std::string::npos, c.NoMoreErrors);
    EXPECT_EQ(logged.find("* Parameter 1: \"c\"") != std::string::npos, c.NoMoreErrors);
  }
}

TEST_F(GuardTest, LoadFailuresNameTheirShowPoint) {
  test::TTempDir dir; // a directory cannot be loaded as a file
  TStoredTextList list(dir.Path);
  EXPECT_FALSE(list.Load());
  TFileStorage storage;
  storage.FileName = dir.Path;
  EXPECT_FALSE(storage.Load());
  const std::pair<const char*, const char*> showPoints[] = {
      {"StoredTextList.cpp", "TStoredTextList::Load"},
      {"MemoryStorage.cpp", "TFileStorage::Load"},
  };
  ASSERT_EQ(Ui.Errors.size(), std::size(showPoints));
  for (size_t i = 0; i < std::size(showPoints); ++i)
    EXPECT_NE(Ui.Errors[i].Report.find(std::string("SHOW CONTEXT\r\n* File: \"") +
                                       showPoints[i].first + "\"\r\n* Function: \"" +
                                       showPoints[i].second + "\""),
              std::string::npos)
        << Ui.Errors[i].Report;
}

TEST_F(GuardTest, PanicIsShownAtOnceAndTravelsUp) {
  bool reached = false;
  const int result = Caller(
      [] {
        TGuard guard("Test::Contract");
        guard.Run([&] { guard.Panic("Negative size."); });
      },
      &reached);
  EXPECT_EQ(result, -1);
  EXPECT_FALSE(reached);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0].Caption, "Panic");
  EXPECT_EQ(Ui.Errors[0].Description, "PANIC: Negative size.");
  EXPECT_EQ(FunStatContext.Status, fsPanic);
  EXPECT_EQ(FunStatContext.Description, "Negative size.");
}

TEST_F(GuardTest, ExceptionsBecomeTheirTexts) {
  struct TCase {
    void (*Throw)();
    std::string Description;
    bool HasSite;
  };
  const TCase cases[] = {
      {[] { throw std::runtime_error("bad thing"); }, "Unhandled exception: bad thing", false},
      {[] { throw TLocatedError("located"); }, "Unhandled exception: located", true},
      {[] { throw 42; }, "Unhandled generic exception.", false},
  };
  for (const TCase& c : cases) {
    {
      TGuard guard("Test::Throwing");
      EXPECT_EQ(guard.Run(5, [&] { c.Throw(); return 1; }), 5);
    }
    EXPECT_EQ(FunStatContext.Status, fsError);
    EXPECT_EQ(FunStatContext.Description, c.Description);
    EXPECT_EQ(FunStatContext.FunctionName, "Test::Throwing");
    if (c.HasSite) {
      EXPECT_NE(FunStatContext.Parameter1.find("GuardTest.cpp"), std::string::npos);
      EXPECT_NE(FunStatContext.Parameter2, "0");
    } else {
      EXPECT_EQ(FunStatContext.Parameter1, "");
      EXPECT_EQ(FunStatContext.Parameter2, "0");
    }
  }
}

TEST_F(GuardTest, RunningFunctionLeavesBeginFunctionErrorInTheGlobal) {
  TGuard guard("Test::Running");
  EXPECT_EQ(FunStatContext.Status, fsBeginFunctionError);
  EXPECT_EQ(FunStatContext.FunctionName, "Test::Running");
}

// Guarded functions sit on every hot path (painting, focus, sorting): one
// that succeeds, nested or not, must not allocate.
TEST_F(GuardTest, SucceedingGuardsAllocateNothing) {
  const auto outer = [] {
    TGuard guard("TSomeLongClassName::SomeLongFunctionName");
    return guard.Run(0, [&] {
      const int value = EarlyExitFunction(21);
      guard.TakeOver();
      return value;
    });
  };
  outer(); // the global context's texts grow to their size once
  int sum = 0;
  long allocations = 0;
  {
    test::TAllocationCounter counter;
    for (int i = 0; i < 100; ++i)
      sum += outer();
    allocations = counter.Count();
  }
  EXPECT_EQ(sum, 4200);
  EXPECT_EQ(allocations, 0);
}

} // namespace
} // namespace cv
