#include "filesystem/FileInfo.h"

#include "filesystem/File.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {
namespace {

void WriteFile(const std::string& title, const std::string& content, mode_t mode = 0644) {
  const int fd = ::open(title.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  ASSERT_GE(fd, 0) << title;
  ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  ::close(fd);
  ASSERT_EQ(::chmod(title.c_str(), mode), 0);
}

// Keeps the file layer's flags as a test found them.
class TUnitFlags {
public:
  TUnitFlags() : Local(FileUnitLoader.LocalFileTimes), Units(FileUnitLoader.SizeUnits) {}
  ~TUnitFlags() {
    FileUnitLoader.LocalFileTimes = Local;
    FileUnitLoader.SizeUnits = Units;
  }

private:
  bool Local, Units;
};

// Sets TZ for one test and restores it.
class TTimeZone {
public:
  explicit TTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) Old = old, HadOld = true;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~TTimeZone() {
    if (HadOld) ::setenv("TZ", Old.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
  }

private:
  std::string Old;
  bool HadOld = false;
};

// 2004-03-05 07:08:09.123 UTC.
constexpr int64_t KnownSeconds = 1078470489;
constexpr uint32_t KnownNanoseconds = 123456789;
const double KnownDateTime = 38051.0 + (7 * 3600 + 8 * 60 + 9.123) / 86400.0;

class FileInfoTest : public ::testing::Test {
protected:
  void SetUp() override {
    FunStatContext.Reset(fsPerfect);
    FileUnitLoader.LocalFileTimes = false;
  }
  std::string At(const std::string& name) const { return Dir.Path + "/" + name; }
  TFileInfo Loaded(const std::string& name) {
    TFileInfo info;
    EXPECT_TRUE(info.Load(At(name))) << name;
    EXPECT_EQ(FunStatContext.Status, fsPerfect) << name;
    return info;
  }
  TUnitFlags Flags;
  test::TTempDir Dir;
};

TEST_F(FileInfoTest, FileTimesAndDateTimes) {
  EXPECT_EQ(UnixTimeToFileTime(0, 0), 116444736000000000u);
  EXPECT_EQ(UnixTimeToFileTime(-FileTimeUnixOffsetSeconds - 1, 0), 0u);
  EXPECT_DOUBLE_EQ(ConvertFileTime(116444736000000000u), 25569.0); // 1970-01-01
  EXPECT_DOUBLE_EQ(ConvertFileTime(0), -109205.0);                 // 1601-01-01
  const uint64_t known = UnixTimeToFileTime(KnownSeconds, KnownNanoseconds);
  EXPECT_EQ(known, (static_cast<uint64_t>(KnownSeconds) + 11644473600u) * 10000000u + 1234567u);
  EXPECT_NEAR(ConvertFileTime(known), KnownDateTime, 1e-9); // milliseconds kept

  const TTimeZone zone("XYZ-3"); // three hours east of UTC, no daylight saving
  FileUnitLoader.LocalFileTimes = true;
  EXPECT_NEAR(ConvertFileTime(known), KnownDateTime + 3.0 / 24.0, 1e-9);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
}

TEST_F(FileInfoTest, RegularFileWithKnownTimes) {
  WriteFile(At("f.txt"), "0123456789");
  const struct timespec times[2] = {{KnownSeconds + 60, 0}, {KnownSeconds, KnownNanoseconds}};
  ASSERT_EQ(::utimensat(AT_FDCWD, At("f.txt").c_str(), times, 0), 0);
  const TFileInfo info = Loaded("f.txt");
  EXPECT_TRUE(info.Exists);
  EXPECT_EQ(info.Attributes, 0u);
  EXPECT_EQ(info.Size, 10u);
  EXPECT_EQ(info.ModifiedFileTime, UnixTimeToFileTime(KnownSeconds, KnownNanoseconds));
  EXPECT_EQ(info.AccessedFileTime, UnixTimeToFileTime(KnownSeconds + 60, 0));
  EXPECT_NEAR(info.Modified, KnownDateTime, 1e-9);
  EXPECT_NEAR(info.Accessed, KnownDateTime + (60.0 - 0.123) / 86400.0, 1e-9);
  struct statx st {};
  ASSERT_EQ(::statx(AT_FDCWD, At("f.txt").c_str(), 0, STATX_BTIME, &st), 0);
  if (st.stx_mask & STATX_BTIME)
    EXPECT_EQ(info.CreatedFileTime, UnixTimeToFileTime(st.stx_btime.tv_sec, st.stx_btime.tv_nsec));
  else
    EXPECT_EQ(info.CreatedFileTime, info.ModifiedFileTime);
  EXPECT_DOUBLE_EQ(info.Created, ConvertFileTime(info.CreatedFileTime));
}

TEST_F(FileInfoTest, AttributesOfATree) {
  WriteFile(At("target.txt"), "12345");
  WriteFile(At(".hidden"), "");
  WriteFile(At("readonly"), "r", 0444);
  ASSERT_EQ(::mkdir(At("dir").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("target.txt", At("link").c_str()), 0);
  ASSERT_EQ(::symlink("dir", At("dirlink").c_str()), 0);
  ASSERT_EQ(::symlink("readonly", At("rolink").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", At("broken").c_str()), 0);
  ASSERT_EQ(::mkfifo(At("fifo").c_str(), 0644), 0);
  {
    const int fd = ::open(At("sparse").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 64 << 20), 0);
    ::close(fd);
  }

  const struct {
    const char* Name;
    uint32_t Attributes;
    uint64_t Size;
  } cases[] = {
      {"target.txt", 0, 5},
      {".hidden", faHidden, 0},
      {"readonly", faReadOnly, 1}, // the owner write bit, also for root
      {"link", faReparsePoint, 5}, // the target's type and size
      {"dirlink", faReparsePoint | faDirectory, 0},
      {"rolink", faReparsePoint | faReadOnly, 1},
      {"fifo", faSystem, 0},
      {"sparse", faSparseFile, 64 << 20},
  };
  for (const auto& c : cases) {
    const TFileInfo info = Loaded(c.Name);
    EXPECT_EQ(info.Attributes, c.Attributes) << c.Name;
    if (!(c.Attributes & faDirectory)) {
      EXPECT_EQ(info.Size, c.Size) << c.Name;
    }
  }
  EXPECT_EQ(Loaded("dir").Attributes, static_cast<uint32_t>(faDirectory));
  EXPECT_EQ(GetAttributesText(Loaded("link").Attributes), "Rp");

  // A broken link is a generic file that is still there (to delete it).
  const TFileInfo broken = Loaded("broken");
  EXPECT_TRUE(broken.Exists);
  EXPECT_EQ(broken.Attributes, static_cast<uint32_t>(faReparsePoint));

  // The directory form of a title names the directory itself.
  EXPECT_EQ(Loaded("dir/").Attributes, static_cast<uint32_t>(faDirectory));
}

TEST_F(FileInfoTest, MissingFileGivesResetRecordAndOneError) {
  TFileInfo info;
  WriteFile(At("f"), "abc");
  ASSERT_TRUE(info.Load(At("f")));
  EXPECT_FALSE(info.Load(At("missing")));
  EXPECT_FALSE(info.Exists);
  EXPECT_EQ(info.Attributes, 0u);
  EXPECT_EQ(info.Size, 0u);
  EXPECT_EQ(info.ModifiedFileTime, 0u);
  EXPECT_EQ(FunStatContext.Status, fsError);
  EXPECT_EQ(FunStatContext.FunctionName, "TFileInfo::Load");
  EXPECT_EQ(FunStatContext.Description, "Failed to open file.");
  EXPECT_EQ(FunStatContext.Parameter1, At("missing"));
  EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(ENOENT));
  EXPECT_DOUBLE_EQ(info.Modified, ConvertFileTime(0));

  EXPECT_FALSE(info.Load(""));
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
}

TEST_F(FileInfoTest, ResetLeavesTheStatusContextAlone) {
  FunStatContext.SetRaiseContext(fsError, "f", "Caller", 1, "Failed to do.", "", "", 0);
  const TFileInfo info;
  EXPECT_EQ(FunStatContext.Status, fsError);
  EXPECT_EQ(FunStatContext.Description, "Failed to do.");
  EXPECT_FALSE(info.Exists);
}

TEST_F(FileInfoTest, PartitionTitles) {
  TFileInfo info;
  EXPECT_TRUE(info.Load(":/"));
  EXPECT_TRUE(info.Exists);
  EXPECT_FALSE(info.Load(":/no/such/mount"));
  EXPECT_FALSE(info.Exists);
}

TEST(FileTextsTest, AttributesText) {
  const struct {
    uint32_t Attributes;
    const char* Text;
  } cases[] = {
      {0, ""},
      {faReadOnly | faArchive, "AR"}, // archive first
      {faDirectory, ""},
      {faReparsePoint | faSparseFile, "RpSf"},
      {faHidden | faSystem | faReadOnly, "RHS"},
      {faArchive | faReadOnly | faHidden | faSystem | faCompressed | faEncrypted | faOffline |
           faTemporary | faReparsePoint | faSparseFile | faDirectory,
       "ARHSCEOTRpSf"},
  };
  for (const auto& c : cases) EXPECT_EQ(GetAttributesText(c.Attributes), c.Text) << c.Attributes;
}

TEST(FileTextsTest, SizeText) {
  TUnitFlags flags;
  FileUnitLoader.SizeUnits = true;
  const struct {
    uint64_t Size;
    const char* Text;
  } withUnits[] = {
      {0, "0 B"},
      {1, "1 B"},
      {1023, "1,023 B"},
      {1024, "1.0 KB"},
      {1536, "1.5 KB"},
      {1048575, "1,024.0 KB"}, // still below 1 MB: one division only
      {1048576, "1.0 MB"},
      {5ull << 30, "5.0 GB"},
      {1ull << 40, "1.0 TB"},
      {1ull << 50, "1.0 PB"},
      {1ull << 60, "1.0 EB"},
      {INT64_MAX, "8.0 EB"},   // what a saturated sum of sizes shows
      {UINT64_MAX, "16.0 EB"}, // EB is the largest unit
  };
  for (const auto& c : withUnits) EXPECT_EQ(GetSizeText(6, 0, c.Size), c.Text) << c.Size;

  FileUnitLoader.SizeUnits = false;
  EXPECT_EQ(GetSizeText(6, 0, 0), "0");
  EXPECT_EQ(GetSizeText(6, 0, 999499), "999,499");
  EXPECT_EQ(GetSizeText(6, 0, 999999), "999,999"); // six digits hold it: no carry
  EXPECT_EQ(GetSizeText(6, 0, 1234567), "1.23457e6");
  EXPECT_EQ(GetSizeText(3, 0, 999999), "1e6"); // the mantissa carries to the next group
}

} // namespace
} // namespace cv
