#include "filesystem/File.h"

#include "filesystem/FileInfo.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {
namespace {

void WriteFile(const std::string& title, const std::string& content) {
  const int fd = ::open(title.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << title;
  ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  ::close(fd);
}

mode_t ModeOf(const std::string& title) {
  struct stat st {};
  EXPECT_EQ(::stat(title.c_str(), &st), 0) << title;
  return st.st_mode & 07777;
}

class FileTest : public ::testing::Test {
protected:
  void SetUp() override { FunStatContext.Reset(fsPerfect); }
  test::TTempDir Dir;
  std::string At(const std::string& name) const { return Dir.Path + "/" + name; }
};

TEST_F(FileTest, IsSameFileComparesIdentityExactly) {
  WriteFile(At("Data"), "upper");
  WriteFile(At("data"), "lower");
  ASSERT_EQ(::link(At("Data").c_str(), At("hard").c_str()), 0);
  ASSERT_EQ(::symlink("Data", At("soft").c_str()), 0);
  ASSERT_EQ(::mkdir(At("sub").c_str(), 0755), 0);

  // Two names that differ only in case are two files.
  EXPECT_FALSE(IsSameFile(At("Data"), At("data")));
  // One inode under two names is one file.
  EXPECT_TRUE(IsSameFile(At("Data"), At("hard")));
  EXPECT_TRUE(IsSameFile(At("Data"), At("soft")));
  EXPECT_TRUE(IsSameFile(At("Data"), At("sub/../Data")));
  EXPECT_TRUE(IsSameFile(At("sub"), At("sub/")));
  // Missing files compare by their normalized titles.
  EXPECT_TRUE(IsSameFile(At("none"), At("./none")));
  EXPECT_TRUE(IsSameFile(At("none/"), At("none")));
  EXPECT_FALSE(IsSameFile(At("none"), At("None")));
  EXPECT_FALSE(IsSameFile(At("Data"), At("none")));
  // Invalid titles are never the same file, not even as themselves.
  EXPECT_FALSE(IsSameFile(At("x\n"), At("x\n")));
  EXPECT_TRUE(IsSameFile(":/", ":/"));
  EXPECT_FALSE(IsSameFile(":/", "/"));
}

TEST_F(FileTest, ExistenceAndDirectoryTests) {
  WriteFile(At("f"), "x");
  ASSERT_EQ(::symlink("gone", At("broken").c_str()), 0);
  ASSERT_EQ(::symlink(".", At("dirlink").c_str()), 0);
  EXPECT_TRUE(TitleExists(At("f")));
  EXPECT_TRUE(TitleExists(At("broken"))); // the link itself is there to delete
  EXPECT_FALSE(TitleExists(At("missing")));
  EXPECT_FALSE(TitleExists(""));
  EXPECT_TRUE(TitleExists(":/"));
  EXPECT_TRUE(IsDirectoryTitle(Dir.Path));
  EXPECT_TRUE(IsDirectoryTitle(At("dirlink")));
  EXPECT_TRUE(IsDirectoryTitle(":/anything"));
  EXPECT_FALSE(IsDirectoryTitle(At("f")));
  EXPECT_FALSE(IsDirectoryTitle(At("broken")));
  EXPECT_FALSE(IsDirectoryTitle(At("missing")));
}

TEST_F(FileTest, NamesThatAreNotUtf8) {
  const std::string name = At("\xFF\xFE-\x80.txt");
  WriteFile(name, "12345");
  EXPECT_TRUE(TitleExists(name));
  EXPECT_EQ(GetFileSize(name), 5u);
  EXPECT_TRUE(IsSameFile(name, Dir.Path + "/./\xFF\xFE-\x80.txt"));
  EXPECT_FALSE(IsSameFile(name, At("\xFF\xFE-\x81.txt")));
}

TEST_F(FileTest, ClearReadOnlyAddsOwnerWriteOnly) {
  const struct {
    mode_t Before, After;
  } cases[] = {{0444, 0644}, {0400, 0600}, {0, 0200}, {0555, 0755}, {0644, 0644}, {0711, 0711}};
  for (const auto& c : cases) {
    WriteFile(At("f"), "x");
    ASSERT_EQ(::chmod(At("f").c_str(), c.Before), 0);
    EXPECT_TRUE(ClearReadOnly(At("f")));
    EXPECT_EQ(ModeOf(At("f")), c.After) << std::oct << c.Before;
    EXPECT_EQ(FunStatContext.Status, fsPerfect);
  }
  EXPECT_FALSE(ClearReadOnly(At("missing")));
  EXPECT_EQ(FunStatContext.Status, fsError);
  EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(ENOENT));
}

TEST_F(FileTest, SizesAndLinkCounts) {
  WriteFile(At("f"), "0123456789");
  EXPECT_EQ(GetFileSize(At("f")), 10u);
  EXPECT_EQ(GetFileSizeByInfo(At("f")), 10u);
  const int fd = ::open(At("f").c_str(), O_RDONLY | O_CLOEXEC);
  EXPECT_EQ(GetFileSize(fd), 10u);
  ::close(fd);
  EXPECT_EQ(GetHardLinkCount(At("f")), 1u);
  ASSERT_EQ(::link(At("f").c_str(), At("g").c_str()), 0);
  EXPECT_EQ(GetHardLinkCount(At("f")), 2u);
  // A FIFO is looked at, never opened for reading (that would block).
  ASSERT_EQ(::mkfifo(At("fifo").c_str(), 0644), 0);
  EXPECT_EQ(GetFileSize(At("fifo")), 0u);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);

  EXPECT_EQ(GetFileSize(At("missing")), 0u);
  EXPECT_EQ(FunStatContext.Status, fsWarning);
  EXPECT_EQ(FunStatContext.Description, "Failed to access file.");
  EXPECT_EQ(GetFileSize(-1), 0u);
  EXPECT_EQ(FunStatContext.Description, "Failed to get file size.");
  EXPECT_EQ(GetHardLinkCount(At("missing")), 0u);
  EXPECT_EQ(FunStatContext.Status, fsWarning);
  EXPECT_EQ(FunStatContext.Description, "Invalid file handle.");
}

// Removes a chain of directories named `component`, each holding at most
// "f.txt", starting in `parent`: deeper than PATH_MAX, so by descriptors.
void RemoveChain(int parent, const std::string& component) {
  const int fd = ::openat(parent, component.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  RemoveChain(fd, component);
  ::unlinkat(fd, "f.txt", 0);
  ::close(fd);
  ::unlinkat(parent, component.c_str(), AT_REMOVEDIR);
}

// A tree deeper than PATH_MAX, built through directory descriptors.
TEST_F(FileTest, TitlesLongerThanPathMax) {
  const std::string component(250, 'd');
  std::string title = Dir.Path;
  int dirfd = ::open(Dir.Path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(dirfd, 0);
  while (title.size() < PATH_MAX + 500) {
    ASSERT_EQ(::mkdirat(dirfd, component.c_str(), 0755), 0);
    const int next = ::openat(dirfd, component.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(next, 0);
    ::close(dirfd);
    dirfd = next;
    title += "/" + component;
  }
  const int fd = ::openat(dirfd, "f.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0444);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "abc", 3), 3);
  ::close(fd);
  ASSERT_EQ(::linkat(dirfd, "f.txt", AT_FDCWD, At("short").c_str(), 0), 0);
  ::close(dirfd);
  title += "/f.txt";
  ASSERT_GT(title.size(), static_cast<size_t>(PATH_MAX));

  EXPECT_TRUE(TitleExists(title));
  EXPECT_EQ(GetFileSize(title), 3u);
  EXPECT_EQ(GetHardLinkCount(title), 2u);
  EXPECT_TRUE(IsSameFile(title, At("short")));
  EXPECT_TRUE(ClearReadOnly(title));
  EXPECT_EQ(ModeOf(At("short")), 0644u);
  EXPECT_FALSE(TitleExists(title + "x"));

  const int top = ::open(Dir.Path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  RemoveChain(top, component);
  ::close(top);
  EXPECT_FALSE(TitleExists(At(component)));
}

TEST_F(FileTest, StatxTitleRefusesOverlongComponents) {
  struct statx st {};
  EXPECT_EQ(StatxTitle("/" + std::string(PATH_MAX + 10, 'x'), true, STATX_TYPE, &st), ENAMETOOLONG);
  EXPECT_EQ(StatxTitle("", true, STATX_TYPE, &st), ENOENT);
}

// A time_t far from today (tmpfs keeps any) must not wrap into another
// date: before 1601 is the first file time, past its range the last.
TEST(FileTimeTest, ExtremeTimesAreClampedToTheFileTimeRange) {
  constexpr uint64_t Last = INT64_MAX;
  constexpr int64_t LastSecond = INT64_MAX / 10000000 - FileTimeUnixOffsetSeconds;
  constexpr int64_t Year65000 = 1989000000000; // about 63,000 years after 1970
  const struct {
    int64_t Seconds;
    uint32_t Nanoseconds;
    uint64_t FileTime;
  } cases[] = {
      {INT64_MIN, 0, 0},
      {-FileTimeUnixOffsetSeconds - 1, 999999999, 0}, // before 1601
      {-FileTimeUnixOffsetSeconds, 100, 1},
      {-1, 0, 116444735990000000u},
      {0, 0, 116444736000000000u},
      {LastSecond, 477580700, Last}, // exactly the last file time
      {LastSecond, 477580800, Last},
      {LastSecond + 1, 0, Last},
      {Year65000, 0, Last},
      {INT64_MAX, 999999999, Last},
  };
  for (const auto& c : cases)
    EXPECT_EQ(UnixTimeToFileTime(c.Seconds, c.Nanoseconds), c.FileTime)
        << c.Seconds << " s " << c.Nanoseconds << " ns";
}

TEST(FileTimeTest, FileOnTmpfsFromTheYear65000KeepsTheLastFileTime) {
  const std::string title = "/dev/shm/corvantide-time-" + std::to_string(::getpid());
  const int fd = ::open(title.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) GTEST_SKIP() << "no tmpfs at /dev/shm to keep a far time: " << std::strerror(errno);
  const timespec times[2] = {{1989000000000, 0}, {1989000000000, 0}};
  const bool stored = ::futimens(fd, times) == 0;
  ::close(fd);
  TFileInfo info;
  const bool loaded = stored && info.Load(title);
  ::unlink(title.c_str());
  if (!stored) GTEST_SKIP() << "the file system refuses the year 65000";
  ASSERT_TRUE(loaded);
  EXPECT_EQ(info.ModifiedFileTime, static_cast<uint64_t>(INT64_MAX));
  EXPECT_GT(info.Modified, ConvertFileTime(UnixTimeToFileTime(253402300799, 0))); // past 9999
}

} // namespace
} // namespace cv
