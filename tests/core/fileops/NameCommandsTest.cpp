#include "fileops/NameCommands.h"

#include "../filesystem/FileTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace cv {
namespace {

namespace fs = std::filesystem;

ino_t InodeOf(const std::string& title) {
  struct stat facts {};
  return ::stat(title.c_str(), &facts) == 0 ? facts.st_ino : 0;
}

class NameCommandsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = Temp.Path;
    ASSERT_TRUE(test::WriteBytes(Dir + "/a.txt", "alpha"));
    ASSERT_TRUE(test::WriteBytes(Dir + "/b.txt", "bravo"));
    fs::create_directories(Dir + "/sub");
    fs::create_directories(Dir + "/to");
  }
  // An overwrite window that answers `answer` and counts its calls.
  TOverwriteAsk Answer(TOverwriteChoice answer) {
    return [this, answer](const TOverwriteView&) {
      ++Asked;
      return answer;
    };
  }

  test::TTempDir Temp;
  test::TRecordingUserInterface Ui;
  std::string Dir;
  TOverwriteDecision Decision;
  int Asked = 0;
};

TEST(NameRulesTest, ValidNamesAndNewTitles) {
  for (const char* name : {"a", "a.txt", ".hidden", "x y", "caf\xE9"})
    EXPECT_TRUE(IsValidItemName(name)) << name;
  for (const char* name : {"", ".", "..", "a/b", "a:b", "a*", "a?", "a\"b", "a<b", "a|b", "a\\b"})
    EXPECT_FALSE(IsValidItemName(name)) << name;
  struct TCase {
    const char* Name;
    int Kind;
    const char* Expected;
  };
  const TCase cases[] = {
      {"notes", nkFile, "/d/notes.txt"},       {"notes.", nkFile, "/d/notes"},
      {"notes", nkDirectory, "/d/notes"},      {"a.md", nkFile, "/d/a.md"},
      {"Summary", nkStream, "/d/Summary.txt"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NewItemTitle("/d/", c.Name, c.Kind), c.Expected) << c.Name;
}

TEST_F(NameCommandsTest, NewItemsAreCreatedOnceAndNeverTruncated) {
  std::string title;
  bool created = false;
  EXPECT_EQ(NewItemStep(Dir, "notes", nkFile, title, created), TNameStep::Done);
  EXPECT_TRUE(created);
  EXPECT_EQ(title, Dir + "/notes.txt");
  EXPECT_TRUE(fs::is_regular_file(title));
  EXPECT_EQ(NewItemStep(Dir, "new", nkDirectory, title, created), TNameStep::Done);
  EXPECT_TRUE(fs::is_directory(Dir + "/new"));

  // An existing file warns, stays as it is and still counts as done.
  EXPECT_EQ(NewItemStep(Dir, "a", nkFile, title, created), TNameStep::Done);
  EXPECT_FALSE(created);
  EXPECT_EQ(test::ReadBytes(Dir + "/a.txt"), "alpha");
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, "File (/ directory) already exists.");

  EXPECT_EQ(NewItemStep(Dir, "..", nkDirectory, title, created), TNameStep::Stay);
  EXPECT_EQ(Ui.Boxes.back().Text, InvalidNameWarning);

  EXPECT_EQ(NewItemStep(Dir + "/missing", "x", nkFile, title, created), TNameStep::Failed);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_NE(Ui.Errors[0].Description.find("Failed to create new file."), std::string::npos);
}

TEST_F(NameCommandsTest, CopyAsAsksBeforeReplacingAndKnowsItsOwnSource) {
  bool whole = false;
  const auto skip = Answer(TOverwriteChoice::SkipThis);
  EXPECT_EQ(CopyAsStep(Dir + "/a.txt", Dir, "a.txt", TCopyAsMode::Copy, Decision, skip, whole),
            TNameStep::Failed);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_NE(Ui.Errors[0].Report.find("Source and destination are the same."), std::string::npos);

  // Onto an existing file: "Skip this" leaves both as they were.
  EXPECT_EQ(CopyAsStep(Dir + "/a.txt", Dir, "b.txt", TCopyAsMode::Copy, Decision, skip, whole),
            TNameStep::Done);
  EXPECT_EQ(Asked, 1);
  EXPECT_EQ(test::ReadBytes(Dir + "/b.txt"), "bravo");
  EXPECT_EQ(CopyAsStep(Dir + "/a.txt", Dir, "b.txt", TCopyAsMode::Copy, Decision,
                       Answer(TOverwriteChoice::OverwriteThis), whole),
            TNameStep::Done);
  EXPECT_EQ(test::ReadBytes(Dir + "/b.txt"), "alpha");

  EXPECT_EQ(CopyAsStep(Dir + "/a.txt", Dir + "/to", "moved.txt", TCopyAsMode::Move, Decision, skip,
                       whole),
            TNameStep::Done);
  EXPECT_FALSE(fs::exists(Dir + "/a.txt"));
  EXPECT_EQ(test::ReadBytes(Dir + "/to/moved.txt"), "alpha");

  // A directory is left to the file operation engine.
  EXPECT_EQ(CopyAsStep(Dir + "/sub", Dir + "/to", "copy", TCopyAsMode::Copy, Decision, skip, whole),
            TNameStep::Done);
  EXPECT_TRUE(whole);
  EXPECT_FALSE(fs::exists(Dir + "/to/copy"));

  // Onto a directory of that name: warned, nothing written.
  EXPECT_EQ(CopyAsStep(Dir + "/b.txt", Dir, "sub", TCopyAsMode::Copy, Decision, skip, whole),
            TNameStep::Done);
  EXPECT_EQ(Ui.Boxes.back().Text, "Failed to rename. \nA directory with that name already exists.");
}

TEST_F(NameCommandsTest, HardLinksReplaceOnlyWhenAskedAndThroughATemporaryName) {
  bool whole = false;
  EXPECT_EQ(CopyAsStep(Dir + "/a.txt", Dir, "b.txt", TCopyAsMode::HardLink, Decision,
                       Answer(TOverwriteChoice::SkipThis), whole),
            TNameStep::Done);
  EXPECT_NE(InodeOf(Dir + "/b.txt"), InodeOf(Dir + "/a.txt"));
  EXPECT_EQ(CopyAsStep(Dir + "/a.txt", Dir, "b.txt", TCopyAsMode::HardLink, Decision,
                       Answer(TOverwriteChoice::OverwriteThis), whole),
            TNameStep::Done);
  EXPECT_EQ(InodeOf(Dir + "/b.txt"), InodeOf(Dir + "/a.txt"));
  EXPECT_EQ(CopyAsStep(Dir + "/a.txt", Dir + "/to", "c.txt", TCopyAsMode::HardLink, Decision,
                       Answer(TOverwriteChoice::SkipThis), whole),
            TNameStep::Done);
  EXPECT_EQ(InodeOf(Dir + "/to/c.txt"), InodeOf(Dir + "/a.txt"));
  for (const auto& entry : fs::directory_iterator(Dir))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "a temporary name stayed";
}

TEST_F(NameCommandsTest, RenameAsksOnlyWhenAnotherFileWouldBeReplaced) {
  bool renamed = false;
  std::vector<std::string> items;
  const auto item = [&](const std::string& title) {
    items.push_back(title);
    return true;
  };
  const auto skip = Answer(TOverwriteChoice::SkipThis);
  // A change of letter case alone: no question (nothing is called README.TXT yet).
  EXPECT_EQ(RenameStep(Dir + "/a.txt", "A.TXT", true, Decision, skip, item, renamed),
            TNameStep::Done);
  EXPECT_TRUE(renamed);
  EXPECT_EQ(Asked, 0);
  EXPECT_EQ(test::ReadBytes(Dir + "/A.TXT"), "alpha");
  EXPECT_EQ(items, (std::vector<std::string>{Dir + "/A.TXT"}));

  // A case-only rename onto a different existing file asks first.
  ASSERT_TRUE(test::WriteBytes(Dir + "/B.TXT", "other"));
  renamed = false;
  EXPECT_EQ(RenameStep(Dir + "/b.txt", "B.TXT", true, Decision, skip, item, renamed),
            TNameStep::Done);
  EXPECT_EQ(Asked, 1);
  EXPECT_FALSE(renamed);
  EXPECT_EQ(test::ReadBytes(Dir + "/B.TXT"), "other");
  EXPECT_EQ(test::ReadBytes(Dir + "/b.txt"), "bravo");

  // Onto a directory: refused with the warning.
  EXPECT_EQ(RenameStep(Dir + "/b.txt", "sub", true, Decision, skip, item, renamed),
            TNameStep::Done);
  EXPECT_EQ(Ui.Boxes.back().Text, "Failed to rename.\nA directory with that name already exists.");
  EXPECT_TRUE(fs::exists(Dir + "/b.txt"));

  EXPECT_EQ(RenameStep(Dir + "/b.txt", "a/b", true, Decision, skip, item, renamed),
            TNameStep::Stay);
  // The same name changes nothing.
  EXPECT_EQ(RenameStep(Dir + "/b.txt", "b.txt", true, Decision, skip, item, renamed),
            TNameStep::Done);
  EXPECT_EQ(items.size(), 1u);
}

} // namespace
} // namespace cv
