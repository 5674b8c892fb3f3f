// A file no application opens: the user learns why and is offered "Open
// with"; without a window it is a failure carrying the same sentence.

#include "fileops/ActiveFileCommands.h"
#include "fileops/OpenWith.h"
#include "fileops/Run.h"

#include "filesystem/File.h"
#include "foundation/Program.h"

#include "../filesystem/FileTestSupport.h"
#include "LauncherSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace cv {
namespace {

TEST(NoApplication, TheSentenceSaysWhatHappenedWithTheDesktopsReason) {
  const struct {
    std::string Reason, Sentence;
  } cases[] = {
      {"Unable to find terminal required for application",
       "No application could open \"a b.txt\": Unable to find terminal required for application."},
      {"No application is registered as handling this file.\n",
       "No application could open \"a b.txt\": No application is registered as handling this "
       "file."},
      {"", "No application could open \"a b.txt\"."},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NoApplicationSentence("/d/a b.txt", c.Reason), c.Sentence) << c.Reason;
}

class NoApplicationOpenTest : public ::testing::Test {
protected:
  void SetUp() override {
    Title = Temp.Path + "/notes.txt";
    ASSERT_TRUE(test::WriteBytes(Title, "text"));
    // A fresh data root has no editor link.
    ASSERT_FALSE(TitleExists(Program.EditLinkTitle()));
    Launch.OpenWorks = false;
  }
  void TearDown() override {
    OfferOpenWith = nullptr;
    FunStatContext.Reset(fsPerfect);
  }
  void Offer() {
    OfferOpenWith = [this](const std::string& title, const std::string& sentence) {
      Offered.emplace_back(title, sentence);
    };
  }

  test::TTempDir Temp;
  test::TRecordingUserInterface Ui;
  test::TRecordingLauncher Launch;
  std::string Title;
  std::vector<std::pair<std::string, std::string>> Offered;
};

TEST_F(NoApplicationOpenTest, RunningOrEditingOffersOpenWithInsteadOfAFailure) {
  Offer();
  const std::string sentence = "No application could open \"notes.txt\": nothing opens it.";
  EXPECT_TRUE(MyRunFile(Title, "", "", true, false));
  EXPECT_TRUE(EditFile(Title));
  EXPECT_EQ(Launch.Opened, (std::vector<std::string>{Title, Title}));
  const std::vector<std::pair<std::string, std::string>> expected = {{Title, sentence},
                                                                     {Title, sentence}};
  EXPECT_EQ(Offered, expected);
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_FALSE(FunStatContext.Failed());
}

TEST_F(NoApplicationOpenTest, EditingWithoutAnEditorLinkOpensTheDefaultApplication) {
  Offer();
  Launch.OpenWorks = true;
  EXPECT_TRUE(EditFile(Title));
  EXPECT_EQ(Launch.Opened, (std::vector<std::string>{Title}));
  EXPECT_TRUE(Offered.empty());
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(NoApplicationOpenTest, WithoutAWindowTheSentenceIsTheFailure) {
  EXPECT_FALSE(OpenWithDefaultApplication(Title));
  ASSERT_TRUE(FunStatContext.Failed());
  EXPECT_EQ(FunStatContext.Description,
            "No application could open \"notes.txt\": nothing opens it.");
  // The desktop gave no system error: none is made up.
  EXPECT_EQ(FunStatContext.SystemErrorCode, 0u);
}

} // namespace
} // namespace cv
