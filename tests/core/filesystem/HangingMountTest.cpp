#include "HangingMount.h"

#include "filesystem/DirectoryReader.h"
#include "filesystem/Partitions.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cv {
namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

template <typename F> TClock::duration TimeOf(F&& call) {
  const TClock::time_point start = TClock::now();
  call();
  return TClock::now() - start;
}

// The names of a directory as the program lists it, sorted; `error` is the
// listing's errno.
std::vector<std::string> ListNames(const std::string& path, int& error) {
  std::vector<std::string> names;
  error = ReadDirectory(path,
                        [&](std::string_view name, const TFileInfo*) { names.emplace_back(name); });
  std::sort(names.begin(), names.end());
  return names;
}

// Polls until the mount is gone, at most `timeout`.
bool WaitUnmounted(const std::string& point, TClock::duration timeout) {
  for (const TClock::time_point end = TClock::now() + timeout;
       test::THangingMount::IsMountedAt(point);) {
    if (TClock::now() >= end) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

class HangingMountTest : public ::testing::Test {
protected:
  void SetUp() override { FunStatContext.Reset(fsPerfect); }
};

// Through the machine's own mount table: the mount is a remote partition,
// and nothing asked about a title on it waits for it (its links are not
// resolved), even where not even a stat answers.
TEST_F(HangingMountTest, IsARemotePartitionNeverAsked) {
  const test::THangingMount mount(5000, 5000);
  if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
  const std::string partition = ":" + mount.MountPoint();
  const std::string title = mount.MountPoint() + "/sub/a.txt";
  const TClock::duration asking = TimeOf([&] {
    std::vector<std::string> list;
    GetPartitionList(list);
    EXPECT_NE(std::find(list.begin(), list.end(), partition), list.end());
    EXPECT_EQ(GetPartitionOfTitle(title), partition);
    EXPECT_EQ(GetPartitionType(title), ptRemote);
    EXPECT_EQ(GetPartitionSuffix(partition),
              " (Remote: \"" + std::string(test::THangingMount::Source) + "\")");
  });
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
  EXPECT_LT(asking, 2s);
}

// A listing and the sizes wait the delay; a stat answers at once, that of
// the mount point also while a listing waits.
TEST_F(HangingMountTest, ListingAndSizesWaitTheDelay) {
  const test::THangingMount mount(1000);
  if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
  const std::string point = mount.MountPoint();
  struct stat file {};
  EXPECT_LT(TimeOf([&] { EXPECT_EQ(::stat((point + "/a.txt").c_str(), &file), 0); }), 500ms);
  EXPECT_TRUE(S_ISREG(file.st_mode));
  EXPECT_EQ(file.st_size, 2);

  std::vector<std::string> names;
  int error = -1;
  std::atomic<bool> statted = false;
  struct stat root {};
  std::thread stat([&] {
    std::this_thread::sleep_for(200ms);
    EXPECT_LT(TimeOf([&] { EXPECT_EQ(::stat(point.c_str(), &root), 0); }), 500ms);
    statted = true;
  });
  const TClock::duration listing = TimeOf([&] { names = ListNames(point, error); });
  stat.join();
  EXPECT_TRUE(statted);
  EXPECT_TRUE(S_ISDIR(root.st_mode));
  EXPECT_EQ(error, 0);
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "b.txt", "sub"}));
  EXPECT_GE(listing, 900ms);
  EXPECT_LT(listing, 5s);

  struct statvfs space {};
  const TClock::duration sizes = TimeOf([&] { EXPECT_EQ(::statvfs(point.c_str(), &space), 0); });
  EXPECT_GE(sizes, 900ms);
  EXPECT_LT(sizes, 5s);
  EXPECT_GT(space.f_blocks, 0u);
}

// With a stat delay not even the mount point answers at once.
TEST_F(HangingMountTest, StatWaitsWhenAsked) {
  const test::THangingMount mount(0, 1000);
  if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
  struct stat st {};
  const TClock::duration statting =
      TimeOf([&] { EXPECT_EQ(::stat(mount.MountPoint().c_str(), &st), 0); });
  EXPECT_GE(statting, 900ms);
  EXPECT_LT(statting, 5s);
}

// Unmounting waits for no sleeping handler, lets a caller that waits on the
// mount go with an error, and leaves no mount behind.
TEST_F(HangingMountTest, UnmountsAtOnceWhileAListingWaits) {
  test::THangingMount mount(10000);
  if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
  const std::string point = mount.MountPoint();
  // Shared with the lister, which is left behind if it never returns.
  struct TListing {
    std::atomic<bool> Done = false;
    int Error = 0;
  };
  const auto listing = std::make_shared<TListing>();
  std::thread([listing, point] {
    ListNames(point, listing->Error);
    listing->Done = true;
  }).detach();
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(listing->Done);
  EXPECT_LT(TimeOf([&] { mount.Unmount(); }), 2s);
  EXPECT_TRUE(mount.MountPoint().empty());
  EXPECT_FALSE(mount.Available());
  EXPECT_FALSE(test::THangingMount::IsMountedAt(point));
  const TClock::time_point end = TClock::now() + 2s;
  while (!listing->Done && TClock::now() < end)
    std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(listing->Done);
  EXPECT_NE(listing->Error, 0);
}

// A test that dies without its teardown leaves no mount either: the file
// system unmounts itself when the thread that made it ends.
TEST_F(HangingMountTest, DiesWithItsMaker) {
  int channel[2];
  ASSERT_EQ(::pipe(channel), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(channel[0]);
    const test::THangingMount mount(10000);
    const std::string said = mount.Available() ? mount.MountPoint() : "!" + mount.SkipReason();
    (void)!::write(channel[1], said.data(), said.size());
    ::_exit(0); // no destructor runs
  }
  ::close(channel[1]);
  std::string said;
  char buffer[512];
  for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    said.append(buffer, static_cast<size_t>(got));
  }
  ::close(channel[0]);
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  ASSERT_FALSE(said.empty());
  if (said.front() == '!') GTEST_SKIP() << said.substr(1);
  EXPECT_TRUE(WaitUnmounted(said, 5s)) << said;
}

} // namespace
} // namespace cv
