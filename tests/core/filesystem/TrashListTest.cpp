#include "FileTestSupport.h"

#include "filesystem/TrashList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {
namespace {

using test::WriteBytes;

// Quoted for a shell: the names below hold bytes no shell word may take bare.
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// A private home trash for one test.
class TrashListTest : public ::testing::Test {
protected:
  void SetUp() override {
    Saved = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    ::setenv("XDG_DATA_HOME", (Root.Path + "/data").c_str(), 1);
    ::mkdir((Root.Path + "/data").c_str(), 0700);
    ::mkdir((Root.Path + "/work").c_str(), 0700);
  }
  void TearDown() override { ::setenv("XDG_DATA_HOME", Saved.c_str(), 1); }

  std::string Trash() const { return Root.Path + "/data/Trash"; }
  std::string Work(const std::string& name) const { return Root.Path + "/work/" + name; }
  void WriteInfo(const std::string& trash, const std::string& name, const std::string& text) {
    ::mkdir(trash.c_str(), 0700);
    ::mkdir((trash + "/info").c_str(), 0700);
    ::mkdir((trash + "/files").c_str(), 0700);
    ASSERT_TRUE(WriteBytes(trash + "/info/" + name + ".trashinfo", text));
  }

  test::TTempDir Root;
  std::string Saved;
};

TEST_F(TrashListTest, TheHomeTrashFollowsXdgDataHome) {
  const std::vector<TTrashDirectory> none = TrashDirectories();
  EXPECT_TRUE(none.empty() || none.front().Path != Trash()) << "not made yet";
  ASSERT_EQ(::mkdir(Trash().c_str(), 0700), 0);
  const std::vector<TTrashDirectory> found = TrashDirectories();
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found.front().Path, Trash());
  EXPECT_EQ(found.front().Top, Root.Path + "/data");
}

TEST_F(TrashListTest, EntriesTrashedByGioAreListedWithTheirOriginalPathByteForByte) {
  if (std::system("command -v gio >/dev/null 2>&1") != 0) GTEST_SKIP() << "gio is not installed";
  const std::string plain = Work("notes.txt");
  const std::string odd = Work("caf\xe9 %41\xff.bin"); // Latin-1, a literal "%", a stray byte
  ASSERT_TRUE(WriteBytes(plain, "a"));
  ASSERT_TRUE(WriteBytes(odd, "b"));
  ASSERT_EQ(::mkdir(Work("dir").c_str(), 0755), 0);
  ASSERT_TRUE(WriteBytes(Work("dir/inner"), "c"));
  const std::string command = "XDG_DATA_HOME=" + Quoted(Root.Path + "/data") + " gio trash " +
                              Quoted(plain) + " " + Quoted(odd) + " " + Quoted(Work("dir"));
  ASSERT_EQ(std::system(command.c_str()), 0);

  TTrashListing listing;
  ListTrashDirectory(HomeTrash(), listing);
  EXPECT_TRUE(listing.Notes.empty());
  std::vector<std::string> originals;
  for (const TTrashEntry& entry : listing.Entries) {
    if (!entry.Title.starts_with(Trash() + "/files/")) continue;
    originals.push_back(entry.OriginalTitle);
    EXPECT_EQ(entry.DeletionDate.size(), 19u) << entry.DeletionDate;
    EXPECT_EQ(entry.InfoTitle, Trash() + "/info/" + GetTitleName(entry.Title) + ".trashinfo");
    struct stat facts {};
    EXPECT_EQ(::lstat(entry.Title.c_str(), &facts), 0) << entry.Title;
  }
  std::sort(originals.begin(), originals.end());
  EXPECT_EQ(originals, (std::vector<std::string>{odd, Work("dir"), plain}));
}

TEST_F(TrashListTest, BrokenInfoFilesAreSkippedWithANoteAndTheRestListed) {
  const std::string trash = Trash();
  WriteInfo(trash, "good", "[Trash Info]\nPath=/x/good%20one\nDeletionDate=2026-01-02T03:04:05\n");
  ASSERT_TRUE(WriteBytes(trash + "/files/good", "g"));
  struct TCase {
    std::string Name, Text;
  };
  const TCase cases[] = {
      {"nogroup", "Path=/x/a\n"},
      {"badescape", "[Trash Info]\nPath=/x/%4\n"},
      {"nopath", "[Trash Info]\nDeletionDate=2026-01-02T03:04:05\n"},
      {"climbs", "[Trash Info]\nPath=../../etc/passwd\n"},
      {"climbsabsolute", "[Trash Info]\nPath=/x/../../etc/passwd\n"},
      {"itemgone", "[Trash Info]\nPath=/x/itemgone\n"},
  };
  for (const TCase& c : cases) {
    WriteInfo(trash, c.Name, c.Text);
    if (c.Name != "itemgone") ASSERT_TRUE(WriteBytes(trash + "/files/" + c.Name, "x"));
  }
  // An info file that is a link is not read through.
  ASSERT_TRUE(WriteBytes(trash + "/files/linked", "l"));
  ASSERT_TRUE(WriteBytes(Work("elsewhere"), "[Trash Info]\nPath=/x/linked\n"));
  ASSERT_EQ(::symlink(Work("elsewhere").c_str(), (trash + "/info/linked.trashinfo").c_str()), 0);

  TTrashListing listing;
  ListTrashDirectory(HomeTrash(), listing);
  ASSERT_EQ(listing.Entries.size(), 1u);
  EXPECT_EQ(listing.Entries[0].OriginalTitle, "/x/good one");
  EXPECT_EQ(listing.Entries[0].Title, trash + "/files/good");
  EXPECT_EQ(DeletionDateText(listing.Entries[0].DeletionDate), "2026-01-02 03:04:05");
  EXPECT_EQ(listing.Notes.size(), std::size(cases) + 1);
}

TEST_F(TrashListTest, APartitionTrashResolvesPathsFromItsTopAndNeedsAStickyUnlinkedDirectory) {
  const std::string top = Work("top");
  ASSERT_EQ(::mkdir(top.c_str(), 0755), 0);
  const std::string uid = std::to_string(::getuid());
  // .Trash without the sticky bit is refused; .Trash-$uid is taken.
  ASSERT_EQ(::mkdir((top + "/.Trash").c_str(), 0777), 0);
  ASSERT_EQ(::mkdir((top + "/.Trash/" + uid).c_str(), 0700), 0);
  WriteInfo(top + "/.Trash-" + uid, "a", "[Trash Info]\nPath=sub/a%0A\n");
  ASSERT_TRUE(WriteBytes(top + "/.Trash-" + uid + "/files/a", "a"));

  std::vector<TTrashDirectory> found = PartitionTrashDirectories(top);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Path, top + "/.Trash-" + uid);
  TTrashListing listing;
  ListTrashDirectory(found[0], listing);
  ASSERT_EQ(listing.Entries.size(), 1u);
  EXPECT_EQ(listing.Entries[0].OriginalTitle, top + "/sub/a\n");

  ASSERT_EQ(::chmod((top + "/.Trash").c_str(), 01777), 0);
  found = PartitionTrashDirectories(top);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].Path, top + "/.Trash/" + uid);

  // A shared trash that is a link leads elsewhere: refused.
  ASSERT_EQ(::rename((top + "/.Trash").c_str(), Work("real").c_str()), 0);
  ASSERT_EQ(::symlink(Work("real").c_str(), (top + "/.Trash").c_str()), 0);
  found = PartitionTrashDirectories(top);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Path, top + "/.Trash-" + uid);
}

} // namespace
} // namespace cv
