#include "filesystem/FileStreams.h"

#include "filesystem/File.h"

#include "FileTestSupport.h"

#include <gtest/gtest.h>

namespace cv {
namespace {

using test::ReadBytes;
using test::TScratchMount;
using test::WriteBytes;

class FileStreamsTest : public ::testing::Test {
protected:
  void SetUp() override {
    FunStatContext.Reset(fsPerfect);
    File = Dir.Path + "/file";
    WriteBytes(File, "main");
  }
  static void ExpectFailure(const char* message, int code) {
    EXPECT_EQ(FunStatContext.Status, fsError);
    EXPECT_EQ(FunStatContext.Description, message);
    EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(code));
  }
  test::TTempDir Dir;
  std::string File;
};

TEST_F(FileStreamsTest, StreamsRoundTrip) {
  const std::string binary("\0\x01\xff zero", 8);
  struct TRow {
    std::string Name, Data;
  };
  const TRow rows[] = {{"Description", "a note"},
                       {"with:colon", "x"},
                       {"empty", ""},
                       {"binary", binary},
                       {"\xff\xfe", "raw name"}};
  EXPECT_EQ(GetFileStreamCount(File), 0);
  EXPECT_EQ(GetFileStreamsSize(File), 0u);
  uint64_t total = 0;
  for (const TRow& row : rows) {
    EXPECT_TRUE(AddFileStream(File, row.Name)) << FunStatContext.GetReport();
    EXPECT_TRUE(WriteFileStream(File, row.Name, row.Data)) << row.Name;
    EXPECT_EQ(ReadFileStream(File, row.Name, 0), row.Data) << row.Name;
    EXPECT_EQ(GetFileStreamSize(File, row.Name), row.Data.size()) << row.Name;
    total += row.Data.size();
  }
  std::vector<std::string> names;
  EXPECT_EQ(MyFileStream.GetNames(File, &names), 5);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (std::vector<std::string>{"Description", "binary", "empty", "with:colon", "\xff\xfe"}));
  EXPECT_EQ(GetFileStreamsSize(File), total);
  EXPECT_EQ(GetTextFromFileStream(File, "binary", 0), "");
  EXPECT_EQ(GetDescriptionText(File, 0), "a note");
  // A shorter content leaves no old bytes behind; the main stream is the content.
  EXPECT_TRUE(WriteFileStream(File, "Description", "ab"));
  EXPECT_EQ(ReadFileStream(File, "Description", 0), "ab");
  EXPECT_EQ(ReadFileStream(File, "", 0), "main");
  EXPECT_EQ(GetFileStreamSize(File, ""), 4u);
  EXPECT_TRUE(WriteFileStream(File, "", "new main"));
  EXPECT_EQ(ReadBytes(File), "new main");
  EXPECT_EQ(GetFileStreamCount(File), 5); // streams survive a new main stream

  EXPECT_TRUE(DeleteFileStream(File, "empty"));
  EXPECT_EQ(GetFileStreamCount(File), 4);
  EXPECT_TRUE(DeleteFileStream(File, ""));
  EXPECT_FALSE(TitleExists(File));
}

TEST_F(FileStreamsTest, AddKeepsAnExistingStreamAndWriteNeedsOne) {
  EXPECT_FALSE(WriteFileStream(File, "Description", "x"));
  ExpectFailure("Failed to open file.", ENODATA);
  EXPECT_TRUE(AddFileStream(File, "Description"));
  EXPECT_TRUE(WriteFileStream(File, "Description", "kept"));
  EXPECT_TRUE(AddFileStream(File, "Description"));
  EXPECT_EQ(ReadFileStream(File, "Description", 0), "kept");
  EXPECT_EQ(ReadFileStream(File, "missing", 0), "");
  ExpectFailure("Failed to open file.", ENODATA);
}

TEST_F(FileStreamsTest, ReadWithALimitCutsAndWarns) {
  AddFileStream(File, "Long");
  ASSERT_TRUE(WriteFileStream(File, "Long", std::string(3000, 'l')));
  EXPECT_EQ(ReadFileStream(File, "Long", 1000), std::string(1000, 'l'));
  EXPECT_EQ(FunStatContext.Status, fsWarning);
  EXPECT_EQ(FunStatContext.Description, "Stream size too big.");
  EXPECT_EQ(GetTextFromFileStream(File, "Long", 1000).size(), 1000u);
  EXPECT_EQ(ReadFileStream(File, "", 2), "ma");
  EXPECT_EQ(FunStatContext.Status, fsWarning);
}

TEST_F(FileStreamsTest, TooLargeValueFailsAndKeepsTheOldOne) {
  AddFileStream(File, "Description");
  WriteFileStream(File, "Description", "old");
  EXPECT_FALSE(WriteFileStream(File, "Description", std::string(MaxStreamSize + 1, 'x')));
  ExpectFailure("Failed to write data.", E2BIG);
  EXPECT_EQ(ReadFileStream(File, "Description", 0), "old");

  test::TTempDir mountBase;
  TScratchMount ext4(mountBase.Path, TScratchMount::Ext4Image);
  if (!ext4.Mounted) GTEST_SKIP() << ext4.SkipReason;
  const std::string small = ext4.Path + "/f";
  WriteBytes(small, "x");
  AddFileStream(small, "Description");
  WriteFileStream(small, "Description", "old");
  EXPECT_FALSE(WriteFileStream(small, "Description", std::string(8000, 'x')));
  ExpectFailure("Failed to write data.", ENOSPC);
  EXPECT_EQ(ReadFileStream(small, "Description", 0), "old");
}

TEST_F(FileStreamsTest, FileSystemWithoutUserAttributesHasNoStreams) {
  test::TTempDir mountBase;
  TScratchMount ramfs(mountBase.Path, TScratchMount::Ramfs);
  if (!ramfs.Mounted) GTEST_SKIP() << ramfs.SkipReason;
  const std::string plain = ramfs.Path + "/f";
  WriteBytes(plain, "x");
  EXPECT_EQ(GetFileStreamCount(plain), 0);
  EXPECT_FALSE(FunStatContext.Failed()); // not supported is no failure to show
  EXPECT_FALSE(AddFileStream(plain, "Description"));
  EXPECT_TRUE(IsStreamsNotSupportedCode(static_cast<int>(FunStatContext.SystemErrorCode)));
  EXPECT_EQ(GetFileStreamCount(Dir.Path + "/missing"), 0);
  ExpectFailure("Failed to open file.", ENOENT);
}

TEST_F(FileStreamsTest, CopyStreamsComparesIdentityNotTitles) {
  AddFileStream(File, "Description");
  WriteFileStream(File, "Description", "mine");
  AddFileStream(File, "Other");
  // Names that differ in case are two files on Linux: the streams are copied.
  const std::string other = Dir.Path + "/FILE";
  WriteBytes(other, "other");
  EXPECT_TRUE(CopyFileStreams(File, other));
  EXPECT_EQ(GetFileStreamCount(other), 2);
  EXPECT_EQ(ReadFileStream(other, "Description", 0), "mine");
  // A second name of the same file copies nothing and reports nothing.
  ::symlink(File.c_str(), (Dir.Path + "/alias").c_str());
  EXPECT_TRUE(CopyFileStreams(File, Dir.Path + "/alias"));
  EXPECT_FALSE(FunStatContext.Failed());
  EXPECT_EQ(GetFileStreamCount(File), 2);

  EXPECT_TRUE(CopyFileStream(File, "Description", other, ""));
  EXPECT_EQ(ReadBytes(other), "mine");
}

} // namespace
} // namespace cv
