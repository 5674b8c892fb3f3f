#include "filesystem/Properties.h"

#include "filesystem/File.h"
#include "filesystem/Links.h"

#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace cv {
namespace {

namespace fs = std::filesystem;
using test::WriteBytes;

std::string CurrentUserName() {
  const passwd* user = ::getpwuid(::getuid());
  return user ? user->pw_name : std::to_string(::getuid());
}

std::string Failure(const char* description, int code) {
  return FunStatContext.Description == description &&
                 FunStatContext.SystemErrorCode == static_cast<uint32_t>(code)
             ? std::string()
             : "got " + FunStatContext.GetReport();
}

class PropertiesTest : public ::testing::Test {
protected:
  void SetUp() override {
    FunStatContext.Reset(fsPerfect);
    Root = Dir.Path;
  }
  test::TTempDir Dir;
  std::string Root;
};

TEST_F(PropertiesTest, LoadsTheFactsOfEachKindOfEntry) {
  const std::string note = Root + "/note.txt";
  ASSERT_TRUE(WriteBytes(note, "hello\n", 0640));
  ::chmod(note.c_str(), 0640);
  const timespec times[2] = {{1000000000, 0}, {1200000000, 500}};
  ASSERT_EQ(::utimensat(AT_FDCWD, note.c_str(), times, 0), 0);
  ASSERT_EQ(::mkdir((Root + "/dir").c_str(), 0750), 0);
  ASSERT_EQ(::symlink("note.txt", (Root + "/link").c_str()), 0);
  ASSERT_EQ(::symlink("missing", (Root + "/broken").c_str()), 0);
  ASSERT_TRUE(CopyFileAsLink(note, Root + "/note.desktop", true, false, false, ""));
  ASSERT_TRUE(WriteBytes(Root + "/raw\xff.txt", "text", 0600));

  struct TRow {
    std::string Name, TypeText, LinkTarget;
    bool Directory, SymbolicLink;
    uint64_t Size;
    mode_t Mode;
  };
  const TRow rows[] = {
      {"note.txt", "(text/plain)", "", false, false, 6, 0640},
      {"dir", "Directory", "", true, false, 0, 0750},
      {"link", "Symbolic link to ", "note.txt", false, true, 6, 0640},
      {"broken", "Broken symbolic link", "missing", false, true, 0, 0777},
      {"note.desktop", "(application/x-desktop)", note, false, false, 0, 0},
      {"raw\xff.txt", "(text/plain)", "", false, false, 4, 0600},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    TFileProperties facts;
    ASSERT_TRUE(LoadFileProperties(Root + "/" + row.Name, facts)) << FunStatContext.GetReport();
    EXPECT_EQ(facts.Name, row.Name);
    EXPECT_EQ(facts.Location, Root);
    EXPECT_NE(facts.TypeText.find(row.TypeText), std::string::npos) << facts.TypeText;
    EXPECT_EQ(facts.LinkTarget, row.LinkTarget);
    EXPECT_EQ(facts.IsDirectory, row.Directory);
    EXPECT_EQ(facts.IsSymbolicLink, row.SymbolicLink);
    if (row.Mode != 0) {
      EXPECT_EQ(facts.Size, row.Size);
      EXPECT_EQ(facts.Mode, row.Mode);
    }
    EXPECT_EQ(facts.OwnerName, CurrentUserName());
    EXPECT_EQ(facts.OwnerId, ::getuid());
    EXPECT_FALSE(facts.GroupName.empty());
    EXPECT_FALSE(facts.FileSystemType.empty());
    EXPECT_TRUE(IsTitleInDirectory(facts.MountPoint, Root)) << facts.MountPoint;
    EXPECT_EQ(facts.PartitionTitle, PathToPartitionTitle(facts.MountPoint));
  }
  TFileProperties facts;
  ASSERT_TRUE(LoadFileProperties(Root + "/link", facts));
  EXPECT_NE(facts.TypeText.find("(text/plain)"), std::string::npos) << facts.TypeText;
  EXPECT_EQ(facts.ModifiedFileTime, UnixTimeToFileTime(1200000000, 500)); // the target's
  EXPECT_EQ(facts.AccessedFileTime, UnixTimeToFileTime(1000000000, 0));
  EXPECT_NE(facts.StatusChangedFileTime, 0u);

  EXPECT_FALSE(LoadFileProperties(Root + "/absent", facts));
  EXPECT_EQ(Failure("Failed to open file.", ENOENT), "");
  EXPECT_TRUE(facts.Name.empty());
}

TEST_F(PropertiesTest, WorksBeyondThePathLimit) {
  const test::TDeepDirectory deep(
      Root, test::TDeepDirectory::ComponentsToLength(Root.size(), PATH_MAX + 600));
  ASSERT_TRUE(deep.Built());
  ASSERT_TRUE(deep.MakeFile("deep.txt"));
  const std::string file = deep.Title + "/deep.txt";
  TFileProperties facts;
  ASSERT_TRUE(LoadFileProperties(file, facts)) << FunStatContext.GetReport();
  EXPECT_EQ(facts.Name, "deep.txt");
  EXPECT_EQ(facts.Location, deep.Title);
  EXPECT_TRUE(SetFileMode(file, 0604)) << FunStatContext.GetReport();
  ASSERT_TRUE(LoadFileProperties(file, facts));
  EXPECT_EQ(facts.Mode, 0604u);

  std::atomic<bool> cancel{false};
  TDirectoryCount count;
  EXPECT_TRUE(CountDirectory(Root, cancel, count));
  EXPECT_EQ(count.Files, 1u);
  EXPECT_EQ(count.Directories,
            test::TDeepDirectory::ComponentsToLength(Root.size(), PATH_MAX + 600).size());
  EXPECT_EQ(count.Unreadable, 0u);
}

TEST_F(PropertiesTest, UnknownOwnerShowsTheIds) {
  const std::string file = Root + "/orphan";
  ASSERT_TRUE(WriteBytes(file, "x"));
  if (::chown(file.c_str(), 54321, 54322) != 0)
    GTEST_SKIP() << "cannot give a file to an unknown user: " << std::strerror(errno);
  TFileProperties facts;
  ASSERT_TRUE(LoadFileProperties(file, facts));
  EXPECT_EQ(facts.OwnerName, "54321");
  EXPECT_EQ(facts.GroupName, "54322");
}

TEST_F(PropertiesTest, StreamsAreTheUserAttributes) {
  const std::string file = Root + "/tagged";
  ASSERT_TRUE(WriteBytes(file, "x"));
  if (::setxattr(file.c_str(), "user.Description", "a note", 6, 0) != 0)
    GTEST_SKIP() << "the temporary file system keeps no user attributes: " << std::strerror(errno);
  TFileProperties facts;
  ASSERT_TRUE(LoadFileProperties(file, facts)) << FunStatContext.GetReport();
  ASSERT_EQ(facts.Streams.size(), 1u);
  EXPECT_EQ(facts.Streams[0].Name, "Description");
  EXPECT_EQ(facts.Streams[0].Size, 6u);
}

TEST_F(PropertiesTest, FileSystemWithoutUserAttributesShowsNoStreams) {
  test::TScratchMount ramfs(Root, test::TScratchMount::Ramfs);
  if (!ramfs.Mounted) GTEST_SKIP() << ramfs.SkipReason;
  const std::string file = ramfs.Path + "/f";
  ASSERT_TRUE(WriteBytes(file, "x"));
  TFileProperties facts;
  EXPECT_TRUE(LoadFileProperties(file, facts)) << FunStatContext.GetReport();
  EXPECT_TRUE(facts.Streams.empty());
  EXPECT_EQ(facts.FileSystemType, "ramfs");
  EXPECT_EQ(facts.MountPoint, ramfs.Path);
}

TEST_F(PropertiesTest, ModeTextShowsSpecialBits) {
  const std::pair<mode_t, const char*> rows[] = {
      {0, "---------"},     {0754, "rwxr-xr--"},  {04755, "rwsr-xr-x"},
      {02644, "rw-r-Sr--"}, {01777, "rwxrwxrwt"}, {01666, "rw-rw-rwT"},
  };
  for (const auto& [mode, text] : rows)
    EXPECT_EQ(ModeText(mode), text) << std::oct << mode;
}

TEST_F(PropertiesTest, SetFileModeChangesTheBitsOrReportsWhyNot) {
  const std::string file = Root + "/owned-by-runner";
  ASSERT_TRUE(WriteBytes(file, "x", 0600));
  EXPECT_TRUE(SetFileMode(file, 0754));
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0754u);

  EXPECT_FALSE(SetFileMode(Root + "/absent", 0644));
  EXPECT_EQ(Failure("Failed to change permissions.", ENOENT), "");

  // Another user may not change the runner's file.
  const std::string other = Root + "/other";
  ASSERT_EQ(::mkdir(other.c_str(), 0700), 0);
  EXPECT_EQ(test::RunUnprivileged({other},
                                  [&] {
                                    if (SetFileMode(file, 0777)) return std::string("changed");
                                    return Failure("Failed to change permissions.", EPERM);
                                  }),
            "");
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0754u);
}

// root/{a, b, link -> sub, sub/{c, deeper/{d}}}
class DirectoryCountTest : public PropertiesTest {
protected:
  void SetUp() override {
    PropertiesTest::SetUp();
    fs::create_directories(Root + "/sub/deeper");
    ASSERT_TRUE(WriteBytes(Root + "/a", "aaa"));
    ASSERT_TRUE(WriteBytes(Root + "/b", "bbbbb"));
    ASSERT_TRUE(WriteBytes(Root + "/sub/c", "ccccccc"));
    ASSERT_TRUE(WriteBytes(Root + "/sub/deeper/d", "ddddddddddd"));
    ASSERT_EQ(::symlink("sub", (Root + "/link").c_str()), 0);
  }
  bool Count(const std::function<void(const std::string&)>& onEntry = {}) {
    Seen.clear();
    return CountDirectory(Root, Cancel, Totals,
                          [&](const TDirectoryCount&, const std::string& title) {
                            Seen.push_back(title.substr(Root.size() + 1));
                            if (onEntry) onEntry(title);
                          });
  }
  std::atomic<bool> Cancel{false};
  TDirectoryCount Totals;
  std::vector<std::string> Seen;
};

TEST_F(DirectoryCountTest, CountsTheTreeWithoutFollowingLinks) {
  EXPECT_TRUE(Count());
  EXPECT_EQ(Totals.Files, 5u); // a, b, the link, c and d
  EXPECT_EQ(Totals.Directories, 2u);
  EXPECT_EQ(Totals.Bytes, 26u);
  EXPECT_EQ(Totals.Unreadable, 0u);
  EXPECT_EQ(Seen, (std::vector<std::string>{"a", "b", "link", "sub", "sub/c", "sub/deeper",
                                            "sub/deeper/d"}));
}

TEST_F(DirectoryCountTest, StopsWhenCancelled) {
  EXPECT_FALSE(Count([&](const std::string&) {
    if (Seen.size() == 3) Cancel = true;
  }));
  EXPECT_EQ(Seen.size(), 3u);
}

TEST_F(DirectoryCountTest, SkipsWhatVanishesDuringTheWalk) {
  test::TTempDir outside;
  ASSERT_TRUE(WriteBytes(outside.Path + "/not-ours", "xxxxxxxx"));
  EXPECT_TRUE(Count([&](const std::string& title) {
    if (title == Root + "/a") fs::remove(Root + "/b"); // listed, not yet examined
    if (title == Root + "/sub") { // counted, not yet opened: now a link to elsewhere
      fs::remove_all(Root + "/sub");
      fs::create_directory_symlink(outside.Path, Root + "/sub");
    }
  }));
  EXPECT_EQ(Seen, (std::vector<std::string>{"a", "link", "sub"}));
  EXPECT_EQ(Totals.Files, 2u);
  EXPECT_EQ(Totals.Directories, 1u);
  EXPECT_EQ(Totals.Bytes, 3u);
  EXPECT_EQ(Totals.Unreadable, 0u);
}

TEST_F(DirectoryCountTest, CountsUnreadableDirectories) {
  ASSERT_EQ(::chmod((Root + "/sub/deeper").c_str(), 0), 0);
  const std::string result = test::RunUnprivileged({Root}, [&] {
    std::atomic<bool> cancel{false};
    TDirectoryCount below, locked;
    if (!CountDirectory(Root, cancel, below) ||
        !CountDirectory(Root + "/sub/deeper", cancel, locked))
      return std::string("cancelled");
    if (below.Files != 4 || below.Directories != 2 || below.Unreadable != 1 || below.Bytes != 15)
      return "tree: " + std::to_string(below.Files) + " files " +
             std::to_string(below.Directories) + " dirs " + std::to_string(below.Unreadable) +
             " unreadable";
    if (locked.Unreadable != 1 || locked.Files != 0)
      return std::string("the locked directory itself was not reported unreadable");
    return std::string();
  });
  EXPECT_EQ(result, "");
}

} // namespace
} // namespace cv
