#include "fileops/Overwrite.h"

#include "filesystem/File.h"

#include "../filesystem/FileTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace cv {
namespace {

using C = TOverwriteChoice;

// A file of `size` bytes last written `seconds` after the epoch.
void MakeFile(const std::string& title, size_t size, time_t seconds) {
  ASSERT_TRUE(test::WriteBytes(title, std::string(size, 'x')));
  const timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, title.c_str(), times, 0), 0);
}

// Answers the window from a script and records what it showed.
struct TScriptedWindow {
  std::vector<C> Answers;
  std::vector<TOverwriteView> Shown;
  TOverwriteAsk Ask() {
    return [this](const TOverwriteView& view) {
      Shown.push_back(view);
      const C answer = Answers.empty() ? C::Abort : Answers.front();
      if (!Answers.empty()) Answers.erase(Answers.begin());
      return answer;
    };
  }
};

class OverwriteTest : public ::testing::Test {
protected:
  void SetUp() override {
    Old = Dir.Path + "/old";
    New = Dir.Path + "/new";
    Missing = Dir.Path + "/missing";
    MakeFile(Old, 10, 1000000);
    MakeFile(New, 10, 2000000);
    Decision.Reset();
  }
  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  std::string Old, New, Missing;
  TOverwriteDecision Decision;
  TScriptedWindow Window;
};

struct TAnswerCase {
  const char* Name;
  C Choice;         // the preset, or the window's answer when the preset asks
  bool SourceNewer; // source "new" over "old", else the other way round
  bool Process, Overwrite, Cancel;
  bool WindowShown;
  C Remembered;
};

TEST_F(OverwriteTest, EachChoiceOnAnExistingDestination) {
  const TAnswerCase cases[] = {
      // Preset memories: no window.
      {"preset abort", C::Abort, true, false, false, false, false, C::Abort},
      {"preset skip all", C::SkipAll, true, false, false, false, false, C::SkipAll},
      {"preset overwrite all", C::OverwriteAll, false, true, true, false, false, C::OverwriteAll},
      {"preset older, newer", C::OverwriteAllOlder, true, true, true, false, false,
       C::OverwriteAllOlder},
      {"preset older, older", C::OverwriteAllOlder, false, false, false, false, false,
       C::OverwriteAllOlder},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Decision.Preset(c.Choice);
    const auto answer = c.SourceNewer ? Decision.Decide(New, Old, Window.Ask())
                                      : Decision.Decide(Old, New, Window.Ask());
    EXPECT_EQ(answer.Process, c.Process);
    EXPECT_EQ(answer.Overwrite, c.Overwrite);
    EXPECT_EQ(answer.Cancel, c.Cancel);
    EXPECT_EQ(Window.Shown.empty(), !c.WindowShown);
    EXPECT_EQ(Decision.Current(), c.Remembered);
  }
  const TAnswerCase windowCases[] = {
      {"window abort", C::Abort, true, false, false, true, true, C::Abort},
      {"window skip this", C::SkipThis, true, false, false, false, true, C::SkipThis},
      {"window skip all", C::SkipAll, true, false, false, false, true, C::SkipAll},
      {"window overwrite this", C::OverwriteThis, false, true, true, false, true, C::OverwriteThis},
      {"window overwrite all", C::OverwriteAll, false, true, true, false, true, C::OverwriteAll},
      {"window older, newer", C::OverwriteAllOlder, true, true, true, false, true,
       C::OverwriteAllOlder},
      {"window older, older", C::OverwriteAllOlder, false, false, false, false, true,
       C::OverwriteAllOlder},
  };
  for (const auto& c : windowCases) {
    SCOPED_TRACE(c.Name);
    Decision.Reset();
    Window.Shown.clear();
    Window.Answers = {c.Choice};
    const auto answer = c.SourceNewer ? Decision.Decide(New, Old, Window.Ask())
                                      : Decision.Decide(Old, New, Window.Ask());
    EXPECT_EQ(answer.Process, c.Process);
    EXPECT_EQ(answer.Overwrite, c.Overwrite);
    EXPECT_EQ(answer.Cancel, c.Cancel);
    EXPECT_TRUE(answer.Exists);
    EXPECT_EQ(Window.Shown.size(), 1u);
    EXPECT_EQ(Decision.Current(), c.Remembered);
  }
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(OverwriteTest, TheAllChoicesAreRememberedAndThisChoicesAskAgain) {
  Window.Answers = {C::OverwriteThis, C::SkipAll};
  EXPECT_TRUE(Decision.Decide(New, Old, Window.Ask()).Process);
  EXPECT_FALSE(Decision.Decide(New, Old, Window.Ask()).Process);
  EXPECT_EQ(Window.Shown.size(), 2u);
  // After "skip all" existing destinations are skipped silently, missing ones still processed.
  EXPECT_FALSE(Decision.Decide(New, Old, Window.Ask()).Process);
  const auto missing = Decision.Decide(New, Missing, Window.Ask());
  EXPECT_TRUE(missing.Process);
  EXPECT_FALSE(missing.Overwrite);
  EXPECT_FALSE(missing.Exists);
  EXPECT_EQ(Window.Shown.size(), 2u);
}

TEST_F(OverwriteTest, OverwriteAllAnswersOverwriteEvenWhenNothingExists) {
  Decision.Preset(C::OverwriteAll);
  const auto answer = Decision.Decide(New, Missing, Window.Ask());
  EXPECT_TRUE(answer.Process);
  EXPECT_TRUE(answer.Overwrite);
  EXPECT_FALSE(answer.Exists);
}

TEST_F(OverwriteTest, TheWindowShowsBothSidesAndMarksTheNewer) {
  Window.Answers = {C::SkipThis, C::SkipThis};
  Decision.Decide(New, Old, Window.Ask());
  ASSERT_EQ(Window.Shown.size(), 1u);
  const TOverwriteView& view = Window.Shown[0];
  EXPECT_EQ(view.SourceCaption, "Source (newer)");
  EXPECT_EQ(view.DestinationCaption, "Destination");
  EXPECT_EQ(view.Source.Directory, Dir.Path + "/");
  EXPECT_EQ(view.Source.File, "new");
  EXPECT_EQ(view.Destination.File, "old");
  EXPECT_EQ(view.Source.Size, GetSizeText(14, 0, 10));
  TFileInfo info;
  info.Load(Old);
  EXPECT_EQ(view.Destination.Date, ShortDateText(info.Modified));
  EXPECT_EQ(view.Destination.Clock, LongTimeText(info.Modified));
  // Equal time and size: the source is not newer, the destination is marked.
  const std::string twin = Dir.Path + "/twin";
  MakeFile(twin, 10, 1000000);
  Decision.Decide(twin, Old, Window.Ask());
  ASSERT_EQ(Window.Shown.size(), 2u);
  EXPECT_EQ(Window.Shown[1].SourceCaption, "Source");
  EXPECT_EQ(Window.Shown[1].DestinationCaption, "Destination (newer)");
}

TEST(OverwriteNewerTest, NewerTestTable) {
  struct TCase {
    uint64_t SourceSize, DestinationSize, SourceTime, DestinationTime;
    bool SourceEncrypted, DestinationEncrypted, Newer;
  };
  const TCase cases[] = {
      {5, 0, 1, 9, false, false, true},  // empty destination loses whatever the times
      {0, 5, 9, 1, false, false, false}, // empty source is never newer
      {5, 5, 9, 1, false, false, true},  // later write
      {5, 9, 1, 9, false, false, false}, // earlier write, larger
      {9, 5, 4, 4, false, false, true},  // equal times, larger source
      {5, 9, 4, 4, false, false, false}, // equal times, smaller source
      {5, 5, 4, 4, false, false, false}, // twins
      {5, 5, 4, 4, true, false, true},   // twins, encrypted source over a plain one
      {5, 5, 4, 4, true, true, false},   // both encrypted
      {0, 0, 9, 1, false, false, true},  // both empty: times decide
  };
  for (const auto& c : cases) {
    TFileInfo source, destination;
    source.Size = c.SourceSize;
    destination.Size = c.DestinationSize;
    source.ModifiedFileTime = c.SourceTime;
    destination.ModifiedFileTime = c.DestinationTime;
    source.Attributes = c.SourceEncrypted ? uint32_t{faEncrypted} : 0u;
    destination.Attributes = c.DestinationEncrypted ? uint32_t{faEncrypted} : 0u;
    EXPECT_EQ(IsSourceNewer(source, destination), c.Newer)
        << c.SourceSize << " " << c.DestinationSize << " " << c.SourceTime << " "
        << c.DestinationTime;
  }
}

TEST_F(OverwriteTest, AnUnreadableSideIsShownOnceAndNotProcessed) {
  const std::string closed = Dir.Path + "/closed";
  ASSERT_EQ(::mkdir(closed.c_str(), 0755), 0);
  MakeFile(closed + "/file", 3, 5);
  ASSERT_EQ(::chmod(closed.c_str(), 0), 0);
  const std::string failure = test::RunUnprivileged({Dir.Path}, [&]() -> std::string {
    test::TRecordingUserInterface ui;
    TOverwriteDecision decision;
    decision.Reset();
    // The destination exists; the source cannot be examined.
    const auto answer = decision.Decide(closed + "/file", Old, Window.Ask());
    if (answer.Process) return "processed";
    if (ui.Errors.size() != 1) return "errors shown: " + std::to_string(ui.Errors.size());
    if (ui.Errors[0].Description.find("Failed to confirm overwrite.") == std::string::npos)
      return "shown: " + ui.Errors[0].Description;
    if (FunStatContext.Failed()) return "status left failed";
    return "";
  });
  ::chmod(closed.c_str(), 0755);
  EXPECT_EQ(failure, "");
}

} // namespace
} // namespace cv
