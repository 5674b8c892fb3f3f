#include "filesystem/FileOperations.h"

#include "filesystem/File.h"
#include "filesystem/Trash.h"

#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace cv {
namespace {

using test::Entries;
using test::ReadBytes;
using test::WriteBytes;

class FileOperationsTest : public ::testing::Test {
protected:
  void SetUp() override { FunStatContext.Reset(fsPerfect); }
  void TearDown() override { FileUnitLoader.OnProgress = {}; }
  std::string At(const std::string& name) const { return Dir.Path + "/" + name; }
  static void ExpectFailure(const char* message, int code) {
    EXPECT_EQ(FunStatContext.Status, fsError);
    EXPECT_EQ(FunStatContext.Description, message);
    EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(code));
  }
  test::TTempDir Dir;
};

TEST_F(FileOperationsTest, CopyReplacesAReadOnlyFileOnlyWhenOverwriting) {
  WriteBytes(At("a"), "new", 0640);
  WriteBytes(At("b"), "old", 0444);
  EXPECT_FALSE(MyCopyFile(At("a"), At("b"), false));
  ExpectFailure("Failed to copy file.", EEXIST);
  EXPECT_EQ(ReadBytes(At("b")), "old");

  struct timespec times[2] = {{1000000000, 0}, {1200000000, 500}};
  ::utimensat(AT_FDCWD, At("a").c_str(), times, 0);
  std::vector<double> progress;
  FileUnitLoader.OnProgress = [&](double done) {
    progress.push_back(done);
    return true;
  };
  EXPECT_TRUE(MyCopyFile(At("a"), At("b"), true));
  EXPECT_FALSE(FunStatContext.Failed());
  EXPECT_EQ(ReadBytes(At("b")), "new");
  struct stat st {};
  ::stat(At("b").c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 1.0);
}

// A link moved to another file system is made again there under a temporary
// name and renamed into place: refused or not, no temporary link stays.
TEST_F(FileOperationsTest, ACrossDeviceLinkMoveOntoAnExistingNameLeavesNoTemporaryLink) {
  struct stat shm {
  }, here{};
  ASSERT_EQ(::stat(Dir.Path.c_str(), &here), 0);
  if (::stat("/dev/shm", &shm) != 0 || shm.st_dev == here.st_dev)
    GTEST_SKIP() << "no second file system";
  std::string away = "/dev/shm/corvantide-link-XXXXXX";
  ASSERT_NE(::mkdtemp(away.data()), nullptr);
  const struct TRemove {
    std::string Path;
    ~TRemove() { std::filesystem::remove_all(Path); }
  } remove{away};
  ASSERT_EQ(::symlink("target-a", At("link").c_str()), 0);
  const std::string taken = away + "/link";
  WriteBytes(taken, "kept");

  EXPECT_FALSE(MyMoveFile(At("link"), taken, false));
  ExpectFailure("Failed to move file.", EEXIST);
  EXPECT_EQ(Entries(away), (std::vector<std::string>{"link"}));
  EXPECT_EQ(ReadBytes(taken), "kept");
  EXPECT_EQ(Entries(Dir.Path), (std::vector<std::string>{"link"}));

  FunStatContext.Reset(fsPerfect);
  EXPECT_TRUE(MyMoveFile(At("link"), taken, true));
  EXPECT_EQ(Entries(away), (std::vector<std::string>{"link"}));
  char target[64] = {};
  ASSERT_EQ(::readlink(taken.c_str(), target, sizeof target - 1), 8);
  EXPECT_STREQ(target, "target-a");
  EXPECT_TRUE(Entries(Dir.Path).empty());
}

TEST_F(FileOperationsTest, RenameRefusesAnExistingNameUnlessOverwriting) {
  WriteBytes(At("a"), "a");
  WriteBytes(At("b"), "b");
  EXPECT_FALSE(MyRenameFile(At("a"), At("b"), false));
  ExpectFailure("Failed to rename.", EEXIST);
  EXPECT_EQ(ReadBytes(At("a")), "a");
  EXPECT_EQ(ReadBytes(At("b")), "b");
  // Names differ in case only: two files here, not one.
  WriteBytes(At("B"), "B");
  EXPECT_TRUE(MyRenameFile(At("a"), At("B"), true));
  EXPECT_EQ(ReadBytes(At("B")), "a");
  EXPECT_EQ(ReadBytes(At("b")), "b");
  EXPECT_TRUE(MyMoveFile(At("B"), At("b"), true));
  EXPECT_EQ(Entries(Dir.Path), std::vector<std::string>{"b"});
}

TEST_F(FileOperationsTest, DeleteRemovesTheLinkNotItsTarget) {
  WriteBytes(At("target"), "kept");
  ::symlink(At("target").c_str(), At("link").c_str());
  EXPECT_TRUE(MyDeleteFile(At("link")));
  EXPECT_EQ(ReadBytes(At("target")), "kept");
  EXPECT_FALSE(MyDeleteFile(At("link")));
  ExpectFailure("Failed to delete file.", ENOENT);
}

TEST_F(FileOperationsTest, HardLinkReplacesOnlyWhenOverwriting) {
  WriteBytes(At("a"), "a");
  WriteBytes(At("b"), "b");
  EXPECT_FALSE(MyCreateHardLink(At("b"), At("a"), false));
  ExpectFailure("Failed to copy as hard-link.", EEXIST);
  EXPECT_EQ(ReadBytes(At("b")), "b");
  EXPECT_TRUE(MyCreateHardLink(At("b"), At("a"), true));
  EXPECT_EQ(GetHardLinkCount(At("a")), 2u);
  EXPECT_EQ(Entries(Dir.Path), (std::vector<std::string>{"a", "b"}));
}

TEST_F(FileOperationsTest, DirectoryIsEmptyWhenItHoldsNoSubdirectory) {
  ::mkdir(At("d").c_str(), 0755);
  WriteBytes(At("d/file"), "x");
  EXPECT_TRUE(IsDirectoryEmpty(At("d")));
  ::mkdir(At("d/sub").c_str(), 0755);
  EXPECT_FALSE(IsDirectoryEmpty(At("d")));
  EXPECT_FALSE(FunStatContext.Failed());
  EXPECT_TRUE(IsDirectoryEmpty(At("missing")));
  ExpectFailure("Failed to load directory.", ENOENT);
}

TEST_F(FileOperationsTest, LoadFileToBufferReturnsWhatWasRead) {
  WriteBytes(At("five"), "12345");
  WriteBytes(At("empty"), "");
  ::mkfifo(At("fifo").c_str(), 0644);
  struct TRow {
    const char* Name;
    uint64_t Capacity;
    bool Cut;
    std::string Read;
    int32_t Status;
    const char* Message;
  };
  const TRow rows[] = {
      {"five", 10, false, "12345", fsPerfect, ""},
      {"five", 3, true, "123", fsWarning, "File size too big."},
      {"five", 3, false, "", fsError, "File size too big."},
      {"empty", 10, false, "", fsError, "Failed to load, or empty file."},
      {"fifo", 10, false, "", fsError, "Failed to load."},
      {"missing", 10, false, "", fsError, "Failed to load."},
  };
  for (const TRow& row : rows) {
    std::string buffer = "stale";
    EXPECT_EQ(LoadFileToBuffer(At(row.Name), buffer, row.Capacity, row.Cut), row.Read.size())
        << row.Name;
    EXPECT_EQ(buffer, row.Read) << row.Name;
    EXPECT_EQ(FunStatContext.Status, row.Status) << row.Name;
    if (row.Status != fsPerfect) {
      EXPECT_EQ(FunStatContext.Description, row.Message) << row.Name;
    }
  }
}

TEST_F(FileOperationsTest, SaveBufferToFileKeepsModeAndStreams) {
  WriteBytes(At("f"), "old content", 0600);
  ::setxattr(At("f").c_str(), "user.Description", "note", 4, 0);
  EXPECT_TRUE(SaveBufferToFile(At("f"), "new"));
  EXPECT_EQ(ReadBytes(At("f")), "new");
  EXPECT_EQ(test::Attribute(At("f"), "user.Description"), "note");
  struct stat st {};
  ::stat(At("f").c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_FALSE(SaveBufferToFile(At("missing/f"), "x"));
  ExpectFailure("Failed to load.", ENOENT);
  EXPECT_EQ(Entries(Dir.Path), std::vector<std::string>{"f"});
}

TEST_F(FileOperationsTest, TreeCopySkipsHiddenFilesAndCopiesLinksAsLinks) {
  ::mkdir(At("outside").c_str(), 0755);
  WriteBytes(At("outside/precious"), "keep");
  ::mkdir(At("src").c_str(), 0755);
  ::mkdir(At("src/sub").c_str(), 0750);
  WriteBytes(At("src/sub/file"), "data");
  WriteBytes(At("src/.hidden"), "h");
  ::symlink(At("outside").c_str(), At("src/linked").c_str());
  test::TRecordingUserInterface ui;

  CopyDeleteDirectory(At("src"), At("dst"), true);
  EXPECT_FALSE(FunStatContext.Failed()) << FunStatContext.GetReport();
  EXPECT_EQ(Entries(At("dst")), (std::vector<std::string>{"linked", "sub"}));
  EXPECT_EQ(ReadBytes(At("dst/sub/file")), "data");
  char target[4096] = {};
  ASSERT_GT(::readlink(At("dst/linked").c_str(), target, sizeof target), 0);
  EXPECT_EQ(std::string(target), At("outside"));

  // Removing the tree removes the link, never what it points to.
  DeleteDirectoryNoErrors(At("dst"));
  EXPECT_FALSE(TitleExists(At("dst")));
  EXPECT_EQ(ReadBytes(At("outside/precious")), "keep");
  EXPECT_TRUE(ui.Boxes.empty());

  CopyDeleteDirectory(At("nowhere"), At("dst2"), true);
  ExpectFailure("Failed to create directory.", ENOENT);
  ASSERT_EQ(ui.Boxes.size(), 1u);
  EXPECT_EQ(ui.Boxes[0].Caption, "Error");
  EXPECT_EQ(ui.Boxes[0].Text, "Failed to process directory.");
}

TEST_F(FileOperationsTest, TreeCopyNeverFollowsASubdirectorySwappedForALink) {
  ::mkdir(At("outside").c_str(), 0755);
  WriteBytes(At("outside/file"), "precious");
  ::mkdir(At("src").c_str(), 0755);
  ::mkdir(At("src/sub").c_str(), 0755);
  WriteBytes(At("src/a"), "first"); // copied before sub: its progress swaps sub
  WriteBytes(At("src/sub/file"), "ordinary");
  bool swapped = false;
  FileUnitLoader.OnProgress = [&](double) {
    if (!swapped)
      swapped = ::rename(At("src/sub").c_str(), At("away").c_str()) == 0 &&
                ::symlink(At("outside").c_str(), At("src/sub").c_str()) == 0;
    return true;
  };
  test::TRecordingUserInterface ui;
  CopyDeleteDirectory(At("src"), At("dst"), true);
  EXPECT_TRUE(swapped);
  EXPECT_EQ(ReadBytes(At("dst/a")), "first");
  EXPECT_NE(ReadBytes(At("dst/sub/file")), "precious");
  EXPECT_EQ(ui.Boxes.size(), 1u); // the refused subdirectory is the failure shown
}

TEST_F(FileOperationsTest, RenameOntoASecondNameOfTheSameFileIsRefused) {
  // Hard links: one inode behind two entries, so the rename meets the
  // branch for one file under two names; a rename would change nothing.
  ::mkdir(At("other").c_str(), 0755);
  WriteBytes(At("a.txt"), "alpha");
  ASSERT_EQ(::link(At("a.txt").c_str(), At("A.TXT").c_str()), 0);
  ASSERT_EQ(::link(At("a.txt").c_str(), At("other/a.txt").c_str()), 0);
  for (const std::string& second : {At("A.TXT"), At("other/a.txt")}) {
    SCOPED_TRACE(second);
    EXPECT_FALSE(MyRenameFile(At("a.txt"), second, true));
    ExpectFailure("Failed to rename.", EINVAL);
  }
  EXPECT_EQ(Entries(Dir.Path), (std::vector<std::string>{"A.TXT", "a.txt", "other"}));
  EXPECT_EQ(GetHardLinkCount(At("a.txt")), 3u);
}

TEST_F(FileOperationsTest, WholeTreeDeleteRefusesRootAndHome) {
  const std::string home = std::getenv("HOME");
  WriteBytes(home + "/kept", "k");
  test::TRecordingUserInterface ui;
  for (const std::string& tree :
       {std::string(), std::string("/"), std::string(":/"), home, home + "/"}) {
    DeleteDirectoryNoErrors(tree);
    EXPECT_EQ(FunStatContext.Description, "Failed to delete directory content.") << tree;
    CopyDeleteDirectory(tree, At("x"), false);
    EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(EPERM)) << tree;
  }
  EXPECT_EQ(ReadBytes(home + "/kept"), "k");
  ::unlink((home + "/kept").c_str());
}

// The trash info's Path is percent-encoded by the Trash specification.
std::string TrashInfoPath(const std::string& info) {
  const size_t start = info.find("\nPath=");
  if (start == std::string::npos) return "<none>";
  return info.substr(start + 6, info.find('\n', start + 6) - start - 6);
}

TEST_F(FileOperationsTest, RecycleMovesIntoTheTrashWithItsOriginalPath) {
  const std::string trash = std::string(std::getenv("XDG_DATA_HOME")) + "/Trash";
  const std::string name = "a b\xff%";
  WriteBytes(At(name), "recycled");
  EXPECT_TRUE(RecycleFile(At(name))) << FunStatContext.GetReport();
  EXPECT_FALSE(TitleExists(At(name)));
  EXPECT_EQ(ReadBytes(trash + "/files/" + name), "recycled");
  const std::string info = ReadBytes(trash + "/info/" + name + ".trashinfo");
  EXPECT_EQ(TrashInfoPath(info), Dir.Path + "/a%20b%FF%25");
  ::unlink((trash + "/files/" + name).c_str());
  ::unlink((trash + "/info/" + name + ".trashinfo").c_str());

  EXPECT_FALSE(RecycleFile(At("missing")));
  ExpectFailure("Failed to recycle.", ENOENT);
}

TEST_F(FileOperationsTest, RecycleWithoutAUsableTrashKeepsTheFile) {
  const std::string trash = std::string(std::getenv("XDG_DATA_HOME")) + "/Trash";
  test::TRecordingUserInterface ui;
  // Closed to the child: as root it drops to another user, else the modes bind.
  const std::vector<std::string> closed = {trash, trash + "/files", trash + "/info"};
  ::mkdir(trash.c_str(), 0700);
  for (const std::string& directory : closed) ::chmod(directory.c_str(), 0500);
  ::mkdir(At("d").c_str(), 0755);
  WriteBytes(At("d/f"), "safe");
  const std::string report = test::RunUnprivileged({At("d")}, [&] {
    if (RecycleFile(At("d/f"))) return std::string("recycled into a foreign trash");
    if (FunStatContext.Description != "Failed to recycle.") return FunStatContext.Description;
    if (FunStatContext.SystemErrorCode == 0) return std::string("no system reason");
    return ReadBytes(At("d/f")) == "safe" ? std::string() : std::string("the file was lost");
  });
  for (const std::string& directory : closed) ::chmod(directory.c_str(), 0700);
  EXPECT_EQ(report, "");
}

} // namespace
} // namespace cv
