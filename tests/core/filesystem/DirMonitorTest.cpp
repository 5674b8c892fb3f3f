#include "filesystem/DirMonitor.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace cv {
namespace {

int OpenDescriptorCount() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

void WriteFile(const std::string& title, const std::string& content) {
  std::ofstream(title, std::ios::binary | std::ios::trunc) << content;
}

class DirMonitorTest : public ::testing::Test {
protected:
  void SetUp() override {
    Descriptors = OpenDescriptorCount();
    Dir = Temp.Path + "/watched";
    std::filesystem::create_directories(Dir + "/sub");
    WriteFile(Dir + "/file.txt", "abc");
    WriteFile(Dir + "/sub/inner.txt", "abc");
  }
  void TearDown() override {
    EXPECT_EQ(OpenDescriptorCount(), Descriptors) << "a descriptor was left open";
    EXPECT_TRUE(Ui.Errors.empty());
  }
  void ExpectFailure(const char* description, int code) {
    EXPECT_TRUE(FunStatContext.Failed());
    EXPECT_EQ(FunStatContext.Description, description);
    EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(code));
  }

  test::TRecordingUserInterface Ui;
  test::TTempDir Temp;
  std::string Dir;
  int Descriptors = 0;
};

TEST_F(DirMonitorTest, ChangesInTheDirectoryAreSeenOnce) {
  namespace fs = std::filesystem;
  struct TCase {
    const char* Name;
    std::function<void(const std::string&)> Change;
  };
  const TCase cases[] = {
      {"file created", [](const std::string& d) { WriteFile(d + "/new.txt", ""); }},
      {"directory created", [](const std::string& d) { fs::create_directory(d + "/newdir"); }},
      {"file deleted", [](const std::string& d) { fs::remove(d + "/file.txt"); }},
      {"directory deleted", [](const std::string& d) { fs::remove_all(d + "/sub"); }},
      {"renamed inside", [](const std::string& d) { fs::rename(d + "/file.txt", d + "/b.txt"); }},
      {"moved out", [](const std::string& d) { fs::rename(d + "/file.txt", d + "/../out.txt"); }},
      {"moved in",
       [](const std::string& d) {
         WriteFile(d + "/../in.txt", "");
         fs::rename(d + "/../in.txt", d + "/in.txt");
       }},
      {"attributes", [](const std::string& d) { ::chmod((d + "/file.txt").c_str(), 0600); }},
      {"times",
       [](const std::string& d) { ::utimensat(AT_FDCWD, (d + "/file.txt").c_str(), nullptr, 0); }},
      {"size grows",
       [](const std::string& d) { std::ofstream(d + "/file.txt", std::ios::app) << "more"; }},
      {"size shrinks", [](const std::string& d) { fs::resize_file(d + "/file.txt", 1); }},
      {"symbolic link", [](const std::string& d) { fs::create_symlink("file.txt", d + "/link"); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    fs::remove_all(Dir);
    fs::remove(Temp.Path + "/out.txt");
    fs::create_directories(Dir + "/sub");
    WriteFile(Dir + "/file.txt", "abc");

    TDirectoryMonitor monitor;
    monitor.Ini(Dir + "/");
    EXPECT_FALSE(FunStatContext.Failed());
    EXPECT_TRUE(monitor.Watching());
    EXPECT_FALSE(monitor.Next()) << "nothing happened yet";
    c.Change(Dir);
    EXPECT_TRUE(monitor.GetChange());
    EXPECT_TRUE(monitor.GetChange()) << "asking does not consume the change";
    EXPECT_TRUE(monitor.Next());
    EXPECT_FALSE(FunStatContext.Failed());
    EXPECT_FALSE(monitor.Next()) << "the change was taken";
  }
}

TEST_F(DirMonitorTest, ChangesInsideASubdirectoryOrReadsDoNotCount) {
  TDirectoryMonitor monitor;
  monitor.Ini(Dir + "/");
  WriteFile(Dir + "/sub/new.txt", "x");
  std::ofstream(Dir + "/sub/inner.txt", std::ios::app) << "more";
  ::chmod((Dir + "/sub/inner.txt").c_str(), 0600);
  std::filesystem::remove(Dir + "/sub/new.txt");
  std::filesystem::create_directory(Dir + "/sub/deeper");
  std::string content;
  std::ifstream(Dir + "/file.txt") >> content;
  ASSERT_EQ(content, "abc");
  EXPECT_FALSE(monitor.GetChange());
  EXPECT_FALSE(monitor.Next());
}

TEST_F(DirMonitorTest, ADeletedDirectoryReadsAsChangedAtEveryPoll) {
  TDirectoryMonitor monitor;
  monitor.Ini(Dir + "/");
  std::filesystem::remove_all(Dir);
  EXPECT_TRUE(monitor.Next());
  ExpectFailure("Failed set monitor.", ENOENT);
  EXPECT_FALSE(monitor.Watching());
  for (int poll = 0; poll < 3; ++poll) {
    EXPECT_TRUE(monitor.GetChange());
    EXPECT_TRUE(monitor.Next());
    ExpectFailure("Failed set monitor.", ENOENT);
  }

  // Once it is back, the first poll reports the new directory, then quiet.
  std::filesystem::create_directory(Dir);
  EXPECT_TRUE(monitor.Next());
  EXPECT_FALSE(FunStatContext.Failed());
  EXPECT_TRUE(monitor.Watching());
  EXPECT_FALSE(monitor.Next());
}

TEST_F(DirMonitorTest, AMovedDirectoryReadsAsChanged) {
  TDirectoryMonitor monitor;
  monitor.Ini(Dir);
  std::filesystem::rename(Dir, Temp.Path + "/elsewhere");
  EXPECT_TRUE(monitor.Next());
  EXPECT_TRUE(monitor.Next());
  ExpectFailure("Failed set monitor.", ENOENT);
}

TEST_F(DirMonitorTest, TitlesThatCannotBeWatched) {
  struct TCase {
    const char* Name;
    std::string Title;
    int Code;
  };
  const TCase cases[] = {
      {"missing", Dir + "/missing/", ENOENT},
      {"a file", Dir + "/file.txt", ENOTDIR},
      {"invalid component", Dir + "/file.txt/x/", ENOTDIR},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TDirectoryMonitor monitor;
    monitor.Set(c.Title);
    ExpectFailure("Failed set monitor.", c.Code);
    EXPECT_EQ(FunStatContext.Parameter1, c.Title);
    EXPECT_TRUE(monitor.Changed());
    monitor.Ini(c.Title);
    EXPECT_FALSE(monitor.Changed());
    EXPECT_FALSE(monitor.Watching());
    EXPECT_EQ(monitor.Title(), c.Title);
    EXPECT_TRUE(monitor.Next());
    EXPECT_TRUE(monitor.Next());
  }
}

TEST_F(DirMonitorTest, TitlesWithoutAPathPartAreNeverChanged) {
  for (const std::string& title :
       {std::string(), std::string(":/"), std::string(":/home"), std::string("relative")}) {
    TDirectoryMonitor monitor;
    monitor.Ini(title);
    EXPECT_FALSE(FunStatContext.Failed()) << title;
    EXPECT_FALSE(monitor.Watching()) << title;
    EXPECT_FALSE(monitor.GetChange()) << title;
    EXPECT_FALSE(monitor.Next()) << title;
  }
}

TEST_F(DirMonitorTest, SetKeepsAPendingChangeAndIniDiscardsIt) {
  TDirectoryMonitor monitor;
  monitor.Ini(Dir + "/");
  WriteFile(Dir + "/a.txt", "");
  monitor.Set(Dir + "/");
  EXPECT_TRUE(monitor.Changed());
  EXPECT_TRUE(monitor.Next());
  EXPECT_FALSE(monitor.Next());

  WriteFile(Dir + "/b.txt", "");
  monitor.Ini(Dir + "/");
  EXPECT_FALSE(monitor.Next());

  // Setting the same title with nothing pending keeps it quiet.
  monitor.Set(Dir + "/");
  EXPECT_FALSE(monitor.Changed());
  EXPECT_FALSE(monitor.Next());
}

TEST_F(DirMonitorTest, RetargetingWatchesOnlyTheNewDirectory) {
  const std::string other = Temp.Path + "/other";
  std::filesystem::create_directory(other);
  TDirectoryMonitor monitor;
  monitor.Ini(Dir + "/");
  monitor.Set(other + "/");
  EXPECT_TRUE(monitor.Changed()) << "another directory starts out changed";
  EXPECT_TRUE(monitor.Next());
  WriteFile(Dir + "/a.txt", "");
  EXPECT_FALSE(monitor.Next()) << "the old directory is no longer watched";
  WriteFile(other + "/a.txt", "");
  EXPECT_TRUE(monitor.Next());

  monitor.Ini(Dir + "/");
  WriteFile(other + "/b.txt", "");
  EXPECT_FALSE(monitor.Next());
  EXPECT_EQ(monitor.Title(), Dir + "/");
}

TEST_F(DirMonitorTest, OneDescriptorPerMonitorOnEveryPath) {
  {
    TDirectoryMonitor monitor;
    monitor.Ini(Dir + "/");
    EXPECT_EQ(OpenDescriptorCount(), Descriptors + 1);
    for (int poll = 0; poll < 5; ++poll) {
      WriteFile(Dir + "/x.txt", std::to_string(poll));
      monitor.Next();
      monitor.Set(Dir + "/");
      EXPECT_EQ(OpenDescriptorCount(), Descriptors + 1);
    }
    monitor.Set(Dir + "/missing/");
    EXPECT_EQ(OpenDescriptorCount(), Descriptors);
    monitor.Next();
    EXPECT_EQ(OpenDescriptorCount(), Descriptors);
    monitor.Ini(Dir + "/sub/");
    EXPECT_EQ(OpenDescriptorCount(), Descriptors + 1);

    TDirectoryMonitor second(std::move(monitor));
    EXPECT_EQ(OpenDescriptorCount(), Descriptors + 1);
    EXPECT_FALSE(monitor.Watching());
    TDirectoryMonitor third;
    third.Ini(Dir);
    EXPECT_EQ(OpenDescriptorCount(), Descriptors + 2);
    third = std::move(second);
    EXPECT_EQ(OpenDescriptorCount(), Descriptors + 1);
    EXPECT_EQ(third.Title(), Dir + "/sub/");
    WriteFile(Dir + "/sub/y.txt", "");
    EXPECT_TRUE(third.Next()) << "the moved monitor still watches";

    third.Close();
    EXPECT_EQ(OpenDescriptorCount(), Descriptors);
    EXPECT_FALSE(third.Changed());
    EXPECT_TRUE(third.Next()) << "a closed monitor tries again and reports a change";
    EXPECT_EQ(OpenDescriptorCount(), Descriptors + 1);
    third.Reset();
    EXPECT_EQ(third.Title(), "");
    EXPECT_EQ(OpenDescriptorCount(), Descriptors);
    third.Ini(Dir);
    std::filesystem::remove_all(Dir);
    third.Next();
    EXPECT_EQ(OpenDescriptorCount(), Descriptors);
    std::filesystem::create_directory(Dir);
    third.Next();
  }
  EXPECT_EQ(OpenDescriptorCount(), Descriptors) << "destroying closes";
}

TEST_F(DirMonitorTest, NamesThatAreNotUtf8AndTitlesLongerThanPathMax) {
  const std::string odd = Dir + "/\xff\xfe-\x80";
  ASSERT_EQ(::mkdir(odd.c_str(), 0700), 0);
  TDirectoryMonitor monitor;
  monitor.Ini(odd + "/");
  EXPECT_TRUE(monitor.Watching());
  WriteFile(odd + "/\xc3\x28.txt", "");
  EXPECT_TRUE(monitor.Next());
  EXPECT_FALSE(monitor.Next());

  // A directory deeper than PATH_MAX, built and removed through descriptors
  // (path-based removal cannot reach it).
  std::string title = Dir;
  std::vector<int> levels{::open(Dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)};
  ASSERT_GE(levels.back(), 0);
  const std::string component(200, 'd');
  while (title.size() <= PATH_MAX + 100) {
    ASSERT_EQ(::mkdirat(levels.back(), component.c_str(), 0700), 0);
    levels.push_back(::openat(levels.back(), component.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_GE(levels.back(), 0);
    title += "/" + component;
  }
  {
    TDirectoryMonitor deep;
    deep.Ini(title + "/");
    EXPECT_FALSE(FunStatContext.Failed()) << FunStatContext.Description;
    EXPECT_TRUE(deep.Watching());
    EXPECT_FALSE(deep.Next());
    const int file = ::openat(levels.back(), "new", O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    EXPECT_GE(file, 0);
    ::close(file);
    EXPECT_TRUE(deep.Next());
    EXPECT_FALSE(deep.Next());
  }
  EXPECT_EQ(::unlinkat(levels.back(), "new", 0), 0);
  for (size_t level = levels.size() - 1; level > 0; --level) {
    ::close(levels[level]);
    EXPECT_EQ(::unlinkat(levels[level - 1], component.c_str(), AT_REMOVEDIR), 0);
  }
  ::close(levels.front());
}

TEST_F(DirMonitorTest, AChangeWhileTheQuestionRunsIsReportedByTheNext) {
  TDirectoryMonitor monitor;
  monitor.Ini(Dir + "/");
  int changes = 0;
  monitor.AfterRead = [&] {
    if (changes++ == 0) WriteFile(Dir + "/during.txt", "");
  };
  EXPECT_FALSE(monitor.Next()) << "nothing happened before the first question read";
  EXPECT_TRUE(monitor.Next()) << "the file made while the first question ran";
  EXPECT_FALSE(monitor.Next());
}

TEST_F(DirMonitorTest, ARenamedAncestorReadsAsChanged) {
  TDirectoryMonitor monitor;
  monitor.Ini(Dir + "/sub/");
  std::filesystem::rename(Dir, Temp.Path + "/renamed");
  EXPECT_TRUE(monitor.Next()) << "the title no longer names the watched directory";
  ExpectFailure("Failed set monitor.", ENOENT);
}

// The split of a long title leaves a last part close to PATH_MAX: naming it
// through "/proc/self/fd/N/" would pass the limit.
TEST_F(DirMonitorTest, ATitleWhoseLastPartNearlyFillsPathMaxIsWatched) {
  std::vector<std::string> components;
  size_t head = Dir.size();
  while (head + 1 + 255 <= PATH_MAX - 2) {
    components.emplace_back(255, 'h');
    head += 256;
  }
  // The first cut falls after the head; the tail is 15 full names and one of 244.
  for (int i = 0; i < 15; ++i)
    components.emplace_back(255, static_cast<char>('a' + i));
  components.emplace_back(244, 'z');
  const test::TDeepDirectory deep(Dir, components);
  ASSERT_TRUE(deep.Built());
  ASSERT_GT(deep.Title.size() - head, static_cast<size_t>(PATH_MAX - 20));
  ASSERT_LT(deep.Title.size() - head, static_cast<size_t>(PATH_MAX - 1));

  TDirectoryMonitor monitor;
  monitor.Ini(deep.Title + "/");
  EXPECT_FALSE(FunStatContext.Failed()) << FunStatContext.Description;
  EXPECT_TRUE(monitor.Watching());
  ASSERT_TRUE(deep.MakeFile("new"));
  EXPECT_TRUE(monitor.Next());
  EXPECT_FALSE(monitor.Next());
}

} // namespace
} // namespace cv
