#include "fileops/TrashRestore.h"

#include "filesystem/File.h"

#include "../filesystem/FileTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace cv {
namespace {

using test::ReadBytes;
using test::WriteBytes;

class TAnsweringHost : public TFileEngineHost {
public:
  TOverwriteChoice AskOverwrite(const TOverwriteView& view) override {
    Asked.push_back(view.Destination.File);
    return Answer;
  }
  bool AskYesNo(const std::string&) override { return true; }
  void ShowProgress(const TFileEngineDisplay&) override {}
  void PumpEvents() override {}
  void Deselect(size_t index) override { Deselected.push_back(index); }
  bool CopyToClipboard(const std::string&, const std::vector<std::string>&) override {
    return false;
  }
  void RenameContainerItem(const std::string&, const std::string&) override {}

  TOverwriteChoice Answer = TOverwriteChoice::SkipThis;
  std::vector<std::string> Asked;
  std::vector<size_t> Deselected;
};

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool Exists(const std::string& title) {
  struct stat facts {};
  return ::lstat(title.c_str(), &facts) == 0;
}

// A private home trash filled by "gio trash", as another program fills it.
class TrashRestoreTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (std::system("command -v gio >/dev/null 2>&1") != 0) GTEST_SKIP() << "gio is not installed";
    Saved = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    Data = Root.Path + "/data";
    ::setenv("XDG_DATA_HOME", Data.c_str(), 1);
    ASSERT_EQ(::mkdir(Data.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(Work("").c_str(), 0700), 0);
  }
  void TearDown() override {
    if (!Data.empty()) ::setenv("XDG_DATA_HOME", Saved.c_str(), 1);
  }
  std::string Work(const std::string& name) const { return Root.Path + "/work/" + name; }
  void Trash(const std::vector<std::string>& titles) {
    std::string command = "XDG_DATA_HOME=" + Quoted(Data) + " gio trash";
    for (const std::string& title : titles)
      command += " " + Quoted(title);
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  // The entries of the private home trash: the partitions' trash directories
  // of the machine may hold items of their own.
  std::vector<TTrashEntry> Ours() const {
    std::vector<TTrashEntry> entries;
    for (TTrashEntry& entry : ListTrash().Entries)
      if (entry.Title.starts_with(Data + "/Trash/")) entries.push_back(std::move(entry));
    return entries;
  }
  // What trash-list says the trash holds, or "<no tool>".
  std::string TrashListOutput() const {
    if (std::system("command -v trash-list >/dev/null 2>&1") != 0) return "<no tool>";
    const std::string command = "XDG_DATA_HOME=" + Quoted(Data) + " trash-list 2>/dev/null";
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
      char buffer[4096];
      for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
      ::pclose(pipe);
    }
    return output;
  }

  test::TTempDir Root;
  test::TRecordingUserInterface Ui;
  TAnsweringHost Host;
  std::string Data, Saved;
};

TEST_F(TrashRestoreTest, ItemsTrashedByGioComeBackWithTheirStreamsAndLeaveNoInfoBehind) {
  const std::string plain = Work("report.txt");
  const std::string odd = Work("na\xefve\xff.dat");
  const std::string gone = Work("gone/deeper/kept.txt");
  ASSERT_TRUE(WriteBytes(plain, "plain"));
  ASSERT_EQ(::setxattr(plain.c_str(), "user.x", "y", 1, 0), 0) << "user attributes needed";
  ASSERT_TRUE(WriteBytes(odd, "odd"));
  ASSERT_EQ(::mkdir(Work("dir").c_str(), 0755), 0);
  ASSERT_TRUE(WriteBytes(Work("dir/inner"), "inner"));
  ASSERT_EQ(std::system(("mkdir -p " + Quoted(Work("gone/deeper"))).c_str()), 0);
  ASSERT_TRUE(WriteBytes(gone, "kept"));
  Trash({plain, odd, Work("dir"), gone});
  // The directory the last one came from is gone by the time it is restored.
  ASSERT_EQ(std::system(("rm -r " + Quoted(Work("gone"))).c_str()), 0);
  const std::vector<TTrashEntry> entries = Ours();
  ASSERT_EQ(entries.size(), 4u);
  const std::string before = TrashListOutput();
  if (before != "<no tool>") EXPECT_NE(before.find("report.txt"), std::string::npos) << before;

  TTrashRun run(Host);
  EXPECT_TRUE(run.Restore(entries));
  EXPECT_EQ(run.Done(), 4u);
  EXPECT_EQ(ReadBytes(plain), "plain");
  EXPECT_EQ(test::Attribute(plain, "user.x"), "y");
  EXPECT_EQ(ReadBytes(odd), "odd");
  EXPECT_EQ(ReadBytes(Work("dir/inner")), "inner");
  EXPECT_EQ(ReadBytes(gone), "kept");
  for (const TTrashEntry& entry : entries) {
    EXPECT_FALSE(Exists(entry.InfoTitle)) << entry.InfoTitle;
    EXPECT_FALSE(Exists(entry.Title)) << entry.Title;
  }
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_TRUE(Ours().empty());
  const std::string after = TrashListOutput();
  if (after == "<no tool>") GTEST_SKIP() << "trash-list (package trash-cli) is not installed";
  EXPECT_EQ(after.find(Work("")), std::string::npos) << after;
}

TEST_F(TrashRestoreTest, ANameTakenAgainAsksTheOverwriteQuestionAndKeepsTheInfoOfASkippedItem) {
  struct TCase {
    TOverwriteChoice Answer;
    std::string Content;
    bool InTrash;
  };
  const TCase cases[] = {
      {TOverwriteChoice::SkipThis, "newer", true},
      {TOverwriteChoice::OverwriteThis, "older", false},
  };
  for (const TCase& c : cases) {
    const std::string title = Work("taken.txt");
    ASSERT_TRUE(WriteBytes(title, "older"));
    Trash({title});
    ASSERT_TRUE(WriteBytes(title, "newer"));
    const std::vector<TTrashEntry> entries = Ours();
    ASSERT_EQ(entries.size(), 1u);

    Host.Asked.clear();
    Host.Answer = c.Answer;
    TTrashRun run(Host);
    run.Restore(entries);
    EXPECT_EQ(Host.Asked, std::vector<std::string>{"taken.txt"});
    EXPECT_EQ(ReadBytes(title), c.Content);
    EXPECT_EQ(Exists(entries[0].Title), c.InTrash);
    EXPECT_EQ(Exists(entries[0].InfoTitle), c.InTrash);
    EXPECT_EQ(Ours().size(), c.InTrash ? 1u : 0u);
    // The next case starts from an empty trash.
    TTrashRun clear(Host);
    clear.Delete(Ours());
    ASSERT_TRUE(Ours().empty());
  }
}

TEST_F(TrashRestoreTest, DeleteRemovesItemsAndTheirInfoFilesForGood) {
  ASSERT_TRUE(WriteBytes(Work("a"), "a"));
  ASSERT_EQ(::mkdir(Work("d").c_str(), 0755), 0);
  ASSERT_TRUE(WriteBytes(Work("d/b"), "b"));
  ASSERT_TRUE(WriteBytes(Work("keep"), "k"));
  Trash({Work("a"), Work("d"), Work("keep")});
  std::vector<TTrashEntry> entries = Ours();
  ASSERT_EQ(entries.size(), 3u);
  std::vector<TTrashEntry> chosen, kept;
  for (const TTrashEntry& entry : entries)
    (entry.OriginalTitle == Work("keep") ? kept : chosen).push_back(entry);

  TTrashRun run(Host);
  EXPECT_TRUE(run.Delete(chosen));
  for (const TTrashEntry& entry : chosen) {
    EXPECT_FALSE(Exists(entry.Title));
    EXPECT_FALSE(Exists(entry.InfoTitle));
  }
  EXPECT_FALSE(Exists(Work("a")));
  entries = Ours();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].OriginalTitle, Work("keep"));
}

TEST_F(TrashRestoreTest, AnItemOfAnotherPartitionsTrashIsCopiedBackWithItsStreams) {
  test::TScratchMount mount(Root.Path, test::TScratchMount::Tmpfs);
  if (!mount.Mounted) GTEST_SKIP() << mount.SkipReason;
  const std::string trash = mount.Path + "/.Trash-" + std::to_string(::getuid());
  ASSERT_EQ(
      std::system(("mkdir -p " + Quoted(trash + "/files") + " " + Quoted(trash + "/info")).c_str()),
      0);
  const std::string item = trash + "/files/far.txt";
  ASSERT_TRUE(WriteBytes(item, "far"));
  if (::setxattr(item.c_str(), "user.x", "y", 1, 0) != 0)
    GTEST_SKIP() << "this kernel's tmpfs keeps no user attributes";
  // An absolute Path= leads off the partition: the move copies and deletes.
  ASSERT_TRUE(
      WriteBytes(trash + "/info/far.txt.trashinfo",
                 "[Trash Info]\nPath=" + Work("far.txt") + "\nDeletionDate=2026-01-02T03:04:05\n"));
  TTrashListing listing;
  ListTrashDirectory({trash, mount.Path}, listing);
  ASSERT_EQ(listing.Entries.size(), 1u);

  TTrashRun run(Host);
  EXPECT_TRUE(run.Restore(listing.Entries));
  EXPECT_EQ(ReadBytes(Work("far.txt")), "far");
  EXPECT_EQ(test::Attribute(Work("far.txt"), "user.x"), "y");
  EXPECT_FALSE(Exists(item));
  EXPECT_FALSE(Exists(trash + "/info/far.txt.trashinfo"));
}

// Sorted names of a directory; none when it cannot be read.
std::vector<std::string> NamesIn(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code error;
  for (auto it = std::filesystem::directory_iterator(directory, error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Emptying takes what a listing leaves out too: items without an info file,
// info files without their item and the cache of directory sizes. A cancel
// leaves what was not done whole.
TEST(TrashEmptyTest, LeavesNothingBehindAndACancelledRunOnlyWhatItDid) {
  struct TCase {
    const char* Name;
    size_t CancelAfter; // items done before Cancel; 0: never
    std::vector<std::string> Files, Infos;
    const char* Sizes; // null: no cache
  };
  const TCase cases[] = {
      {"whole", 0, {}, {}, nullptr},
      {"cancelled",
       1,
       {"dir", "stray", "stray-dir"},
       {"dir.trashinfo"},
       "10 1 dir\n20 1 stray%2Ddir\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    test::TTempDir root;
    const std::string trash = root.Path + "/T";
    for (const char* directory : {"/files/dir", "/files/stray-dir", "/info"})
      std::filesystem::create_directories(trash + directory);
    for (const char* file : {"/files/a", "/files/dir/x", "/files/stray", "/files/stray-dir/y"})
      ASSERT_TRUE(WriteBytes(trash + file, "x"));
    for (const char* name : {"a", "dir", "gone"})
      ASSERT_TRUE(WriteBytes(trash + "/info/" + name + ".trashinfo",
                             std::string("[Trash Info]\nPath=/w/") + name + "\n"));
    ASSERT_TRUE(WriteBytes(trash + "/directorysizes", "10 1 dir\n20 1 stray%2Ddir\n30 1 old\n"));

    class TCancellingHost : public TAnsweringHost {
    public:
      void Deselect(size_t index) override {
        TAnsweringHost::Deselect(index);
        if (Deselected.size() == CancelAfter) Run->Cancel();
      }
      size_t CancelAfter = 0;
      TTrashRun* Run = nullptr;
    } host;
    TTrashRun run(host);
    host.CancelAfter = c.CancelAfter;
    host.Run = &run;
    const TTrashDirectory directory{trash, root.Path};
    std::vector<TTrashEntry> items;
    ListTrashItems(directory, items);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(run.Empty({directory}, items), c.CancelAfter == 0);
    EXPECT_EQ(NamesIn(trash + "/files"), c.Files);
    EXPECT_EQ(NamesIn(trash + "/info"), c.Infos);
    if (c.Sizes)
      EXPECT_EQ(ReadBytes(trash + "/directorysizes"), c.Sizes);
    else
      EXPECT_FALSE(Exists(trash + "/directorysizes"));
    // The cache was replaced whole, nothing written aside stays.
    std::vector<std::string> top = {"files", "info"};
    if (c.Sizes) top.insert(top.begin(), "directorysizes");
    EXPECT_EQ(NamesIn(trash), top);
  }
}

} // namespace
} // namespace cv
