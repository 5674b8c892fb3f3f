#include "columns/DirectoryListing.h"

#include "HangingMount.h"
#include "TestSupport.h"
#include "filesystem/Extensions.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace cv {
namespace {

using test::TTempDir;

// Every listing below is split over three threads, whatever its size.
TListingThreads ThreeThreads() {
  TListingThreads threads;
  threads.ParallelFrom = 0;
  threads.Threads = 3;
  return threads;
}

class DirectoryListingTest : public ::testing::Test {
protected:
  void SetUp() override {
    ProgramFileExtensions.SetText(".exe\n.sh");
    DocumentFileExtensions.SetText(".txt\n.pdf");
  }

  std::string Title(const std::string& name) const { return Dir.Path + "/" + name; }

  // A file of `size` bytes modified at `seconds`: few sizes and times, so
  // that many keys are equal and their ties decide.
  void MakeFile(const std::string& name, off_t size, time_t seconds, mode_t mode = 0644) {
    const int fd = ::open(Title(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    ASSERT_GE(fd, 0) << name;
    ASSERT_EQ(::ftruncate(fd, size), 0);
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::futimens(fd, times), 0);
    ::close(fd);
  }

  // Mixed types, names differing in case and accents, names that are not
  // UTF-8, long names alike in their first letters, a link and a dangling
  // link, sizes and times that repeat.
  void MakeMixedFixture() {
    const char* const stems[] = {"a",
                                 "A",
                                 "b",
                                 "caf\xc3\xa9",
                                 "cafe",
                                 "\xff\xfe",
                                 "z-9",
                                 "Z_10",
                                 "\xce\xa9mega",
                                 "e\xcc\x81t\xc3\xa9",
                                 "a-long-name-alike-at-first-2",
                                 "A-long-name-alike-at-first-10",
                                 "a-long-name-alike-at-first-\xc3\xa9"};
    const char* const extensions[] = {".txt", ".exe", ".bin", ".desktop", ""};
    int n = 0;
    for (const char* stem : stems)
      for (const char* extension : extensions) {
        MakeFile(std::string(stem) + extension, n % 3, 1700000000 + n % 2);
        ++n;
      }
    MakeFile("script", 5, 1700000000, 0755);
    for (const char* name : {"Dir", "dir", "\xc3\xa9t\xc3\xa9", "\xfe-dir"})
      ASSERT_EQ(::mkdir(Title(name).c_str(), 0755), 0);
    ASSERT_EQ(::symlink("b.txt", Title("link-b").c_str()), 0);
    ASSERT_EQ(::symlink("Dir", Title("link-dir").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", Title("dangling").c_str()), 0);
  }

  TDirectoryListing OneThread(const std::string& mode, const TGroupOptions& groups) const {
    return ListDirectoryItems(Dir.Path + "/", mode, groups,
                              [](const std::string& path, const TDirectoryEntrySink& sink,
                                 bool* opened) { return ReadDirectory(path, sink, opened); });
  }

  TTempDir Dir;
};

std::vector<std::string> Describe(const TDirectoryListing& listing) {
  std::vector<std::string> lines;
  for (const TFileListData& item : listing.Items)
    lines.push_back(testing::PrintToString(item.Title) + " " +
                    std::string(GetFileListTypeLetter(item.Type)) + " size " +
                    std::to_string(item.Size) + " modified " + std::to_string(item.Modified) +
                    " created " + std::to_string(item.Created) + (item.Exists ? "" : " gone") +
                    (item.Encrypted ? " encrypted" : ""));
  const TListingCounts& c = listing.Counts;
  lines.push_back("counts " + std::to_string(c.Dirs) + " " + std::to_string(c.Links) + " " +
                  std::to_string(c.Progs) + " " + std::to_string(c.Docs) + " " +
                  std::to_string(c.Generic) + " " + std::to_string(c.Encrypted) + " " +
                  std::to_string(c.TotalSize) + " error " + std::to_string(listing.Error) +
                  (listing.Opened ? " opened" : "") + (listing.Cancelled ? " cancelled" : ""));
  return lines;
}

std::vector<TGroupOptions> GroupCases() {
  TGroupOptions separate;
  TGroupOptions atEnd;
  atEnd.DirsAtEnd = true;
  TGroupOptions together;
  together.SeparateDirs = together.SeparateLinks = together.SeparateProgs = together.SeparateDocs =
      false;
  TGroupOptions hiddenFiles;
  hiddenFiles.ShowFilesGroup = false;
  hiddenFiles.SeparateLinks = false;
  return {separate, atEnd, together, hiddenFiles};
}

// Shared out over threads and merged, a listing has the items, order and
// counts of the listing read entry by entry, in every mode and grouping.
TEST_F(DirectoryListingTest, ThreadsGiveTheOneThreadListingInEveryModeAndGrouping) {
  MakeMixedFixture();
  for (const char* mode : SortModeNames)
    for (const TGroupOptions& groups : GroupCases()) {
      SCOPED_TRACE(testing::Message() << mode << ", dirs " << groups.SeparateDirs
                                      << groups.DirsAtEnd << ", files " << groups.ShowFilesGroup);
      const TDirectoryListing one = OneThread(mode, groups);
      ASSERT_GT(one.Items.size(), 30u);
      EXPECT_EQ(
          Describe(ListDirectoryItems(Dir.Path + "/", mode, groups, {}, nullptr, ThreeThreads())),
          Describe(one));
    }
}

// However the names are cut into blocks and shared out (blocks of one
// name, a count that is no multiple of the block, one block for all, a
// directory below the threading threshold read in several blocks), the
// listing is the one read entry by entry.
TEST_F(DirectoryListingTest, BlocksOfNamesGiveTheOneThreadListing) {
  MakeMixedFixture();
  struct TCase {
    size_t BlockNames;
    unsigned Threads;
    size_t ParallelFrom;
  };
  const TCase cases[] = {{1, 2, 0}, {7, 3, 0}, {7, 3, 20}, {1000, 3, 0}, {7, 3, 100000}};
  for (const TCase& c : cases)
    for (const char* mode : {"Name", "Size, small-big"})
      for (const TGroupOptions& groups : GroupCases()) {
        SCOPED_TRACE(testing::Message() << "blocks of " << c.BlockNames << ", " << c.Threads
                                        << " threads from " << c.ParallelFrom << ", " << mode
                                        << ", files " << groups.ShowFilesGroup);
        TListingThreads threads;
        threads.BlockNames = c.BlockNames;
        threads.Threads = c.Threads;
        threads.ParallelFrom = c.ParallelFrom;
        EXPECT_EQ(Describe(ListDirectoryItems(Dir.Path + "/", mode, groups, {}, nullptr, threads)),
                  Describe(OneThread(mode, groups)));
      }
}

// Entries removed while the names are still being read in blocks, some
// named already and some not, are left out, and counted nowhere.
TEST_F(DirectoryListingTest, EntriesVanishingWhileTheNamesAreReadAreLeftOut) {
  MakeMixedFixture();
  for (int i = 0; i < 40; ++i)
    MakeFile("gone-" + std::to_string(i) + ".bin", 1000, 1700000000);
  TListingThreads threads = ThreeThreads();
  threads.BlockNames = 4;
  threads.AfterNames = [&] {
    for (int i = 0; i < 40; ++i)
      ASSERT_EQ(::unlink(Title("gone-" + std::to_string(i) + ".bin").c_str()), 0);
  };
  const TDirectoryListing listing =
      ListDirectoryItems(Dir.Path + "/", "Size, small-big", {}, {}, nullptr, threads);
  EXPECT_EQ(Describe(listing), Describe(OneThread("Size, small-big", {})));
}

// An entry removed after its name was read is left out.
TEST_F(DirectoryListingTest, AnEntryVanishedAfterItsNameIsLeftOut) {
  MakeMixedFixture();
  TListingThreads threads = ThreeThreads();
  threads.AfterNames = [&] { ASSERT_EQ(::unlink(Title("b.txt").c_str()), 0); };
  const TDirectoryListing listing =
      ListDirectoryItems(Dir.Path + "/", "Name", {}, {}, nullptr, threads);
  EXPECT_EQ(Describe(listing), Describe(OneThread("Name", {})));
  for (const TFileListData& item : listing.Items)
    EXPECT_NE(item.Title, Title("b.txt"));
}

// Entries whose facts cannot be read (a directory that can be read but not
// searched) are listed by name only, as on one thread.
TEST_F(DirectoryListingTest, EntriesWithoutFactsAreListedByNameAsOnOneThread) {
  MakeMixedFixture();
  const std::string failure = test::RunUnprivileged({Dir.Path}, [&]() -> std::string {
    if (::chmod(Dir.Path.c_str(), 0600) != 0) return "cannot take the search right";
    const TDirectoryListing listing =
        ListDirectoryItems(Dir.Path + "/", "Size, small-big", {}, {}, nullptr, ThreeThreads());
    const TDirectoryListing one = OneThread("Size, small-big", {});
    if (listing.Items.size() < 50) return "the fixture was not listed";
    for (const TFileListData& item : listing.Items)
      if (item.Exists) return testing::PrintToString(item.Title) + " has its facts";
    if (Describe(listing) != Describe(one))
      return "threads: " + testing::PrintToString(Describe(listing)) +
             "\none thread: " + testing::PrintToString(Describe(one));
    return "";
  });
  EXPECT_EQ(failure, "");
}

// A listing asked to stop while its threads read the facts ends with
// nothing listed.
// With blocks of a few names the cancel comes while the rest are still
// to be read.
TEST_F(DirectoryListingTest, CancelStopsTheThreads) {
  MakeMixedFixture();
  for (const size_t blockNames : {size_t{1024}, size_t{3}}) {
    SCOPED_TRACE(blockNames);
    std::atomic<bool> cancel = false;
    TListingThreads threads = ThreeThreads();
    threads.BlockNames = blockNames;
    threads.AfterNames = [&] { cancel = true; };
    const TDirectoryListing listing =
        ListDirectoryItems(Dir.Path + "/", "Name", {}, {}, &cancel, threads);
    EXPECT_TRUE(listing.Cancelled);
    EXPECT_TRUE(listing.Items.empty());
    EXPECT_EQ(listing.Counts.Generic, 0);
  }
}

// The same where every read of facts takes long: threads that went on
// reading after the cancel would hold the listing for a read each.
TEST_F(DirectoryListingTest, CancelStopsTheThreadsBeforeTheirNextRead) {
  test::THangingMount mount(0, 2000);
  if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
  for (const unsigned threadCount : {1u, 3u}) {
    SCOPED_TRACE(threadCount);
    std::atomic<bool> cancel = false;
    TListingThreads threads;
    threads.ParallelFrom = 0;
    threads.Threads = threadCount;
    // Timed from the cancel: opening the directory asks the mount's root too.
    std::chrono::steady_clock::time_point cancelled;
    threads.AfterNames = [&] {
      cancel = true;
      cancelled = std::chrono::steady_clock::now();
    };
    const TDirectoryListing listing =
        ListDirectoryItems(mount.MountPoint() + "/", "Name", {}, {}, &cancel, threads);
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::milliseconds(1000));
    EXPECT_TRUE(listing.Cancelled);
    EXPECT_TRUE(listing.Items.empty());
  }
}

// The lists that type the entries are the caller's copy: the window may
// change its lists while a share thread still types what it read.
TEST_F(DirectoryListingTest, ListsChangedDuringAListingDoNotReachIt) {
  MakeFile("a.bin", 1, 1700000000);
  MakeFile("b.txt", 1, 1700000000);
  TListingThreads threads = ThreeThreads();
  threads.AfterNames = [] {
    ProgramFileExtensions.SetText(".bin");
    DocumentFileExtensions.SetText(".bin");
  };
  const TDirectoryListing listing =
      ListDirectoryItems(Dir.Path + "/", "Name", {}, {}, nullptr, threads);
  ASSERT_EQ(listing.Items.size(), 2u);
  EXPECT_EQ(listing.Items[0].Type, fltDocument) << listing.Items[0].Title;
  EXPECT_EQ(listing.Items[1].Type, fltGeneric) << listing.Items[1].Title;
}

} // namespace
} // namespace cv
