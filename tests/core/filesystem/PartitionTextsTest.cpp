// What the screen shows of a partition: its mount point, and the times of
// the mount point directory.

#include "filesystem/File.h"
#include "filesystem/FileInfo.h"
#include "filesystem/Partitions.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace cv {
namespace {

TEST(PartitionTexts, APartitionShowsAsItsMountPoint) {
  const std::pair<std::string, std::string> cases[] = {
      {":/", "/"},
      {":/home", "/home"},
      {":/media/ann/STICK", "/media/ann/STICK"},
      {"/home/ann", "/home/ann"},
      {"", ""},
  };
  for (const auto& [title, shown] : cases) EXPECT_EQ(PartitionDisplayText(title), shown) << title;
}

TEST(PartitionTexts, APartitionHasTheTimesOfItsMountPoint) {
  struct stat root {};
  ASSERT_EQ(::stat("/", &root), 0);
  TFileInfo info;
  ASSERT_TRUE(info.Load(":/"));
  EXPECT_TRUE(info.Exists);
  EXPECT_EQ(info.ModifiedFileTime,
            UnixTimeToFileTime(root.st_mtim.tv_sec, static_cast<uint32_t>(root.st_mtim.tv_nsec)));
  EXPECT_GT(info.Modified, ConvertFileTime(UnixTimeToFileTime(0, 0)));
}

} // namespace
} // namespace cv
