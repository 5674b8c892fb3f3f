#include "filesystem/DirectoryReader.h"
#include "filesystem/FileOperations.h"

#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

namespace cv {
namespace {

using test::Entries;
using test::ReadBytes;
using test::WriteBytes;

class TreeWalkTest : public ::testing::Test {
protected:
  std::string At(const std::string& name) const { return Dir.Path + "/" + name; }
  test::TTempDir Dir;
};

std::vector<std::string> Names(const TDirectoryLevel& level) {
  std::vector<std::string> names;
  for (const TLevelEntry& entry : level.Entries)
    names.push_back(entry.Name + (entry.IsDirectory() ? "/" : ""));
  return names;
}

TEST_F(TreeWalkTest, ASubdirectoryIsEnteredOnlyWhileItIsTheOneListed) {
  ::mkdir(At("outside").c_str(), 0755);
  WriteBytes(At("outside/file"), "precious");
  struct TCase {
    const char* Name;
    // Swaps tree/sub after the listing; empty to leave it.
    std::function<bool()> Swap;
    int Error;
  };
  const auto aside = [&] { return ::rename(At("tree/sub").c_str(), At("away").c_str()) == 0; };
  const TCase cases[] = {
      {"left alone", [] { return true; }, 0},
      {"a link now",
       [&] { return aside() && ::symlink(At("outside").c_str(), At("tree/sub").c_str()) == 0; },
       ENOTDIR},
      {"another directory now",
       [&] { return aside() && ::rename(At("outside").c_str(), At("tree/sub").c_str()) == 0; },
       ReplacedEntryCode},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::filesystem::remove_all(At("tree"));
    std::filesystem::remove_all(At("away"));
    ::mkdir(At("tree").c_str(), 0755);
    ::mkdir(At("tree/sub").c_str(), 0755);
    WriteBytes(At("tree/sub/file"), "ordinary");
    WriteBytes(At("tree/z"), "z");
    TDirectoryLevel tree(At("tree/"));
    ASSERT_EQ(tree.Error, 0);
    EXPECT_EQ(tree.Read(), 0);
    ASSERT_EQ(Names(tree), (std::vector<std::string>{"sub/", "z"}));
    ASSERT_TRUE(c.Swap());
    TDirectoryLevel sub(tree, tree.Entries[0]);
    if (c.Error == ENOTDIR) // the kernel may name a link met with O_NOFOLLOW either way
      EXPECT_TRUE(sub.Error == ENOTDIR || sub.Error == ELOOP) << sub.Error;
    else
      EXPECT_EQ(sub.Error, c.Error);
    if (sub.Error != 0) {
      EXPECT_NE(sub.Read(), 0);
      EXPECT_TRUE(sub.Entries.empty());
      continue;
    }
    EXPECT_EQ(sub.Read(), 0);
    EXPECT_EQ(Names(sub), std::vector<std::string>{"file"});
    EXPECT_TRUE(sub.StillHolds(sub.Entries[0]));
    // Emptied through its descriptor, removed through its parent's.
    EXPECT_EQ(::unlinkat(sub.Fd(), "file", 0), 0);
    EXPECT_EQ(sub.Remove(), 0);
    EXPECT_EQ(Entries(At("tree")), std::vector<std::string>{"z"});
  }
  // Put back where a case moved it.
  if (!TitleExists(At("outside"))) ::rename(At("tree/sub").c_str(), At("outside").c_str());
  EXPECT_EQ(ReadBytes(At("outside/file")), "precious");

  // A top level that is a link is not entered either.
  ::symlink(At("outside").c_str(), At("link").c_str());
  const TDirectoryLevel link(At("link"));
  EXPECT_TRUE(link.Error == ENOTDIR || link.Error == ELOOP) << link.Error;
}

TEST_F(TreeWalkTest, RespellingGoesThroughATemporaryNameAndReplacesNothing) {
  struct TCase {
    const char* To;
    int Code;
    std::vector<std::string> After;
  };
  const TCase cases[] = {
      {"A.TXT", 0, {"A.TXT", "b.txt"}},
      {"b.txt", EEXIST, {"a.txt", "b.txt"}}, // taken: nothing replaced, the old name stays
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.To);
    std::filesystem::remove_all(At("d"));
    ::mkdir(At("d").c_str(), 0755);
    WriteBytes(At("d/a.txt"), "alpha");
    WriteBytes(At("d/b.txt"), "bravo");
    struct stat before {};
    ASSERT_EQ(::stat(At("d/a.txt").c_str(), &before), 0);
    const TDirectoryLevel d(At("d"));
    ASSERT_EQ(d.Error, 0);
    EXPECT_EQ(RespellEntryAt(d.Fd(), "a.txt", c.To), c.Code);
    EXPECT_EQ(Entries(At("d")), c.After); // no temporary name left behind
    struct stat after {};
    ASSERT_EQ(::stat(At("d/" + c.After[0]).c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(ReadBytes(At("d/b.txt")), "bravo");
  }
}

} // namespace
} // namespace cv
