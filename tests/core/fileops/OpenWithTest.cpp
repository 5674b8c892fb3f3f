// Runs in its own test program: GIO reads XDG_DATA_DIRS and XDG_CONFIG_DIRS
// once per process and keeps its application list from then on, so the
// fixture's directories must be in the environment before the first GIO call
// of the process. The suite sets them up once, before any test body runs, and
// nothing else in this program touches GIO.

#include "fileops/OpenWith.h"

#include "foundation/Error.h"
#include "install/FirstRun.h"

#include "../filesystem/FileTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

namespace cv {
namespace {

namespace fs = std::filesystem;

// The desktop's data and configuration directories, built from scratch apart
// from the shared MIME database, which the fixture links to.
class TDesktopFixture {
public:
  TDesktopFixture() {
    Share = Dir.Path + "/share";
    Applications = Share + "/applications";
    fs::create_directories(Applications);
    fs::create_directories(Dir.Path + "/config");
    fs::create_symlink("/usr/share/mime", Share + "/mime");
    Entry("corvantide-csrc", "C Studio", "text/x-csrc;", "true %f");
    Entry("corvantide-plain", "Plain Pad", "text/plain;", "true %f");
    Entry("corvantide-notes", "Notes", "text/plain;", "true %f");
    Entry("corvantide-secret", "Secret", "text/x-csrc;text/plain;", "true %f", "NoDisplay=true\n");
    Entry("corvantide-folders", "Folders", "inode/directory;", "true %f");
    Recorder = Dir.Path + "/record.sh";
    // Writes beside itself and renames, so a reader never sees half a list.
    test::WriteBytes(Recorder,
                     "#!/bin/sh\n"
                     "out=\"$(dirname \"$0\")/arguments\"\n"
                     "printf '%s\\n' \"$@\" > \"$out.part\" && mv \"$out.part\" \"$out\"\n",
                     0755);
    Entry("corvantide-record", "Recorder", "", Recorder + " %f");
    Entry("corvantide-broken", "Broken", "", Dir.Path + "/no-such-program %f");
    // A C file opens by default with a text/plain editor, not with the
    // application registered for C files.
    test::WriteBytes(Applications + "/mimeapps.list",
                     "[Default Applications]\ntext/x-csrc=corvantide-notes.desktop\n");
    // GIO finds applications by type only through this index, which the
    // desktop's tools build from the entries' MimeType lines.
    std::string cache = "[MIME Cache]\n";
    for (const auto& [type, ids] : Index)
      cache += type + "=" + ids + "\n";
    test::WriteBytes(Applications + "/mimeinfo.cache", cache);
    ::setenv("XDG_DATA_DIRS", Share.c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", (Dir.Path + "/config").c_str(), 1);
    ::unsetenv("XDG_CURRENT_DESKTOP");
  }

  test::TTempDir Dir;
  std::string Share, Applications, Recorder;

private:
  void Entry(const std::string& id, const std::string& name, const std::string& types,
             const std::string& exec, const std::string& extra = {}) {
    std::string text = "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n";
    if (!types.empty()) text += "MimeType=" + types + "\n";
    test::WriteBytes(Applications + "/" + id + ".desktop", text + extra);
    for (size_t start = 0, end; (end = types.find(';', start)) != std::string::npos;
         start = end + 1)
      Index[types.substr(start, end - start)] += id + ".desktop;";
  }
  std::map<std::string, std::string> Index;
};

std::vector<std::string> Ids(const std::vector<TApplicationChoice>& choices) {
  std::vector<std::string> ids;
  for (const TApplicationChoice& choice : choices)
    ids.push_back(choice.Id);
  return ids;
}

class OpenWithTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { Desktop = std::make_unique<TDesktopFixture>(); }
  static void TearDownTestSuite() { Desktop.reset(); }
  void SetUp() override { Base = Desktop->Dir.Path; }

  static std::unique_ptr<TDesktopFixture> Desktop;
  std::string Base;
};

std::unique_ptr<TDesktopFixture> OpenWithTest::Desktop;

TEST_F(OpenWithTest, ListsTheTypeAndItsParentsDefaultFirstWithoutHiddenOnes) {
  const std::string source = Base + "/main.c";
  ASSERT_TRUE(test::WriteBytes(source, "int main(void) { return 0; }\n"));
  ASSERT_EQ(ContentTypeOf(source), "text/x-csrc");

  const std::vector<TApplicationChoice> choices = ApplicationsFor(source);
  EXPECT_FALSE(FunStatContext.Failed());
  // The C application comes before the editors of its parent type.
  EXPECT_EQ(Ids(choices),
            (std::vector<std::string>{"corvantide-notes.desktop", "corvantide-csrc.desktop",
                                      "corvantide-plain.desktop"}))
      << "none at all: GIO read its directories before the fixture was in place";
  ASSERT_FALSE(choices.empty());
  EXPECT_EQ(choices[0].Name, "Notes");
  EXPECT_EQ(choices[0].Exec, "true %f");
  EXPECT_EQ(std::count_if(choices.begin(), choices.end(),
                          [](const TApplicationChoice& choice) { return choice.IsDefault; }),
            1);
  EXPECT_TRUE(choices[0].IsDefault);
  EXPECT_EQ(ContentTypeDescription("text/x-csrc"), "C source code");
}

TEST_F(OpenWithTest, ContentTypesOfThingsThatAreNotPlainFiles) {
  const std::string directory = Base + "/docs";
  fs::create_directories(directory);
  // No extension: the content decides.
  const std::string script = Base + "/run-me";
  ASSERT_TRUE(test::WriteBytes(script, "#!/bin/sh\necho hi\n"));
  const std::string link = Base + "/to-docs";
  fs::create_symlink(directory, link);

  EXPECT_EQ(ContentTypeOf(directory), "inode/directory");
  EXPECT_EQ(ContentTypeOf(link), "inode/directory");
  EXPECT_EQ(ContentTypeOf(script), "application/x-shellscript");
  // Never opened: a pipe without a writer would block a reader for good.
  const std::string pipe = Base + "/pipe.txt";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  EXPECT_EQ(ContentTypeOf(pipe), "inode/fifo");
  // Behind a directory its user may not enter, the name alone decides.
  const std::string locked = Base + "/locked";
  fs::create_directories(locked);
  ASSERT_TRUE(test::WriteBytes(locked + "/inside.txt", "x"));
  const std::string failure = test::RunUnprivileged({locked}, [&]() -> std::string {
    ::chmod(locked.c_str(), 0);
    const std::string type = ContentTypeOf(locked + "/inside.txt");
    if (FunStatContext.Failed()) return "failed: " + FunStatContext.Description;
    return type == "text/plain" ? "" : "type " + type;
  });
  ::chmod(locked.c_str(), 0755);
  EXPECT_EQ(failure, "");
  EXPECT_EQ(Ids(ApplicationsFor(directory)),
            (std::vector<std::string>{"corvantide-folders.desktop"}));
}

TEST_F(OpenWithTest, AFileThatCannotBeQueriedFailsCleanly) {
  const std::string missing = Base + "/gone.txt";
  const std::string tooLong = Base + "/" + std::string(300, 'n') + ".txt";
  for (const std::string& title : {missing, tooLong}) {
    EXPECT_TRUE(ApplicationsFor(title).empty());
    ASSERT_TRUE(FunStatContext.Failed());
    EXPECT_EQ(FunStatContext.Description, "Failed to get file information.");
    EXPECT_EQ(FunStatContext.Parameter1, title);
    EXPECT_FALSE(FunStatContext.Parameter2.empty()) << "the desktop's reason";
    EXPECT_EQ(ContentTypeOf(title), "");
    EXPECT_TRUE(FunStatContext.Failed());
  }
}

// The output of the recording application, waiting for it to appear.
std::string WaitForArguments(const std::string& title) {
  for (int i = 0; i < 500 && !fs::exists(title); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return test::ReadBytes(title);
}

TEST_F(OpenWithTest, LaunchHandsTheTitleOverAsOneArgument) {
  const std::string arguments = Base + "/arguments";
  for (const char* name : {"it's a \"draft\" file.txt", "caf\xe9 $HOME list.txt"}) {
    const std::string title = Base + "/" + name;
    ASSERT_TRUE(test::WriteBytes(title, "draft\n"));
    fs::remove(arguments);
    ASSERT_TRUE(LaunchApplication("corvantide-record.desktop", title)) << name;
    EXPECT_FALSE(FunStatContext.Failed());
    EXPECT_EQ(WaitForArguments(arguments), title + "\n");
  }
}

TEST_F(OpenWithTest, LaunchFailuresCarryTheReason) {
  const std::string title = Base + "/note.txt";
  ASSERT_TRUE(test::WriteBytes(title, "note\n"));
  for (const char* id : {"corvantide-broken.desktop", "corvantide-unknown.desktop"}) {
    EXPECT_FALSE(LaunchApplication(id, title)) << id;
    ASSERT_TRUE(FunStatContext.Failed()) << id;
    EXPECT_EQ(FunStatContext.Description, "Failed to run file.");
    EXPECT_EQ(FunStatContext.Parameter1, title);
    EXPECT_FALSE(FunStatContext.Parameter2.empty()) << id;
  }
}

// The first run's editor link starts what the desktop opens plain text with.
TEST_F(OpenWithTest, TheEditorLinkNamesTheDesktopsTextApplication) {
  std::string exec, name;
  for (const TApplicationChoice& choice : ApplicationsForType("text/plain"))
    if (choice.IsDefault) exec = choice.Exec, name = choice.Name;
  ASSERT_FALSE(exec.empty());
  const std::string link = Base + "/Edit.desktop";
  fs::remove(link);
  EXPECT_TRUE(WriteDefaultEditorLink(link));
  EXPECT_FALSE(FunStatContext.Failed());
  const std::string text = test::ReadBytes(link);
  EXPECT_NE(text.find("\nExec=" + exec + "\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nName=" + name + "\n"), std::string::npos) << text;
  struct stat st {};
  ASSERT_EQ(::stat(link.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR) << "desktops trust executable entries only";
  EXPECT_FALSE(fs::exists(link + ".new"));
}

} // namespace
} // namespace cv
