#include "fileops/FileEngine.h"

#include "filesystem/File.h"

#include "../filesystem/FileTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace cv {
namespace {

namespace fs = std::filesystem;

// Every call moves one second on, so every step refreshes and pumps.
double SteppingClock() {
  static double now = 0;
  return now += 1.0;
}

class TScriptedHost : public TFileEngineHost {
public:
  TOverwriteChoice AskOverwrite(const TOverwriteView&) override {
    ++OverwriteAsked;
    return OverwriteAnswer;
  }
  bool AskYesNo(const std::string& question) override {
    Questions.push_back(question);
    return YesNoAnswer;
  }
  void ShowProgress(const TFileEngineDisplay& display) override {
    const char* calculating = "Calculating total space...";
    if (display.Total == calculating && Last.Total != calculating) ++CountingPasses;
    Last = display;
  }
  void PumpEvents() override {
    if (OnPump) OnPump();
  }
  void Deselect(size_t index) override { Deselected.push_back(index); }
  bool CopyToClipboard(const std::string& text, const std::vector<std::string>& titles) override {
    Clipboard = text;
    ClippedTitles = titles;
    return ClipboardWorks;
  }
  void RenameContainerItem(const std::string& oldTitle, const std::string& newTitle) override {
    Renamed.push_back(oldTitle + " -> " + newTitle);
  }

  TOverwriteChoice OverwriteAnswer = TOverwriteChoice::SkipThis;
  int OverwriteAsked = 0;
  bool YesNoAnswer = true;
  std::vector<std::string> Questions;
  std::vector<size_t> Deselected;
  std::string Clipboard;
  std::vector<std::string> ClippedTitles;
  bool ClipboardWorks = true;
  int CountingPasses = 0;
  std::vector<std::string> Renamed;
  TFileEngineDisplay Last;
  std::function<void()> OnPump;
};

// The entries below a directory as relative paths, sorted; directories end in "/".
std::vector<std::string> Tree(const std::string& root) {
  std::vector<std::string> entries;
  std::error_code error;
  if (!fs::exists(root, error)) return entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string relative = fs::relative(entry.path(), root).string();
    if (entry.is_directory() && !entry.is_symlink()) relative += "/";
    entries.push_back(relative);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

class FileEngineTest : public ::testing::Test {
protected:
  void SetUp() override {
    Source = Dir.Path + "/src";
    Destination = Dir.Path + "/dst";
    ASSERT_EQ(::mkdir(Source.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(Destination.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((Source + "/sub").c_str(), 0755), 0);
    ASSERT_TRUE(test::WriteBytes(Source + "/a.txt", "alpha"));
    ASSERT_TRUE(test::WriteBytes(Source + "/b.log", "bravo!"));
    ASSERT_TRUE(test::WriteBytes(Source + "/sub/c.txt", "charlie"));
  }
  bool Run(const std::string& operation, std::vector<std::string> sources,
           TFileEngineSettings settings = {}) {
    settings.Operation = operation;
    return Engine.Run(settings, sources, Destination);
  }
  std::vector<std::string> AllSources() const {
    return {Source + "/a.txt", Source + "/b.log", Source + "/sub"};
  }

  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  TScriptedHost Host;
  TFileEngine Engine{Host, &SteppingClock};
  std::string Source, Destination;
};

const std::vector<std::string> FullTree = {"a.txt", "b.log", "sub/", "sub/c.txt"};

TEST_F(FileEngineTest, EachOperationOverTheSelection) {
  struct TCase {
    const char* Operation;
    std::vector<std::string> SourceAfter, DestinationAfter;
    uint32_t Directories, Files;
  };
  const TCase cases[] = {
      {"Copy", FullTree, FullTree, 1, 3},
      {"move", {}, FullTree, 1, 2}, // one step: the directory counts, not its files
      {"Delete", {}, {}, 1, 3},
      {"Recycle", {}, {}, 1, 2},
      {"Clip title of", FullTree, {}, 1, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Operation);
    fs::remove_all(Source);
    fs::remove_all(Destination);
    SetUp();
    Host.Deselected.clear();
    EXPECT_TRUE(Run(c.Operation, AllSources()));
    EXPECT_EQ(Tree(Source), c.SourceAfter);
    EXPECT_EQ(Tree(Destination), c.DestinationAfter);
    EXPECT_EQ(Engine.Counters().Directories, c.Directories);
    EXPECT_EQ(Engine.Counters().Files, c.Files);
    EXPECT_EQ(Engine.Counters().Errors, 0u);
    EXPECT_EQ(Host.Deselected, (std::vector<size_t>{0, 1, 2}));
  }
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_TRUE(Ui.Boxes.empty()); // no errors: no final count
}

TEST_F(FileEngineTest, CopyWritesTheContentAndCountsTheSize) {
  EXPECT_TRUE(Run("Copy", AllSources()));
  EXPECT_EQ(test::ReadBytes(Destination + "/sub/c.txt"), "charlie");
  EXPECT_EQ(Engine.Counters().Size, 18u);
  EXPECT_EQ(Engine.Totals().Files, 3u);
  EXPECT_NE(Host.Last.Current.find("Errors 0 | Directories 1 | Files 3 | Size "), std::string::npos)
      << Host.Last.Current;
}

TEST_F(FileEngineTest, RecycledFilesLandInTheTrash) {
  EXPECT_TRUE(Run("Recycle", {Source + "/a.txt", Source + "/sub"}));
  const std::string trash = test::PrivateRoot() + "/data/Trash";
  EXPECT_TRUE(fs::exists(trash + "/files/a.txt"));
  EXPECT_TRUE(fs::exists(trash + "/info/a.txt.trashinfo"));
  EXPECT_TRUE(fs::exists(trash + "/files/sub/c.txt"));
  EXPECT_EQ(Tree(Source), (std::vector<std::string>{"b.log"}));
}

TEST_F(FileEngineTest, ClipAndCompareCollectTitles) {
  ASSERT_TRUE(test::WriteBytes(Destination + "/a.txt", "old"));
  const timespec past[2] = {{1000, 0}, {1000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (Destination + "/a.txt").c_str(), past, 0), 0);
  EXPECT_TRUE(Run("Compare", {Source + "/a.txt", Source + "/b.log"}));
  EXPECT_EQ(Host.Clipboard, Source + "/a.txt\r\nNOT_AT_DESTINATION=" + Source + "/b.log\r\n");
  EXPECT_EQ(Engine.Counters().Newer, 2u);
  EXPECT_EQ(Engine.Counters().Common, 1u);
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(
      Ui.Boxes[0].Text.rfind("There are 2 newer files in source (1 are common).\nErrors 0", 0), 0u)
      << Ui.Boxes[0].Text;
  EXPECT_EQ(Host.OverwriteAsked, 0);
  EXPECT_EQ(test::ReadBytes(Destination + "/a.txt"), "old");

  EXPECT_TRUE(Run("Clip title of", {Source + "/sub", Source + "/a.txt"}));
  EXPECT_EQ(Host.Clipboard, Source + "/sub/c.txt\r\n" + Source + "/a.txt\r\n");
  EXPECT_EQ(Host.ClippedTitles,
            (std::vector<std::string>{Source + "/sub/c.txt", Source + "/a.txt"}));
}

// A partition title is the program's own notation: what leaves it is the mount path.
TEST_F(FileEngineTest, ClippedTitlesOfAPartitionAreMountPaths) {
  const struct {
    std::string Source;
    std::vector<std::string> Clipped;
  } cases[] = {
      {":" + Source + "/sub", {Source + "/sub/c.txt"}},
      {":" + Source + "/sub/", {Source + "/sub/c.txt"}},
      {Source + "/sub", {Source + "/sub/c.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Source);
    EXPECT_TRUE(Run("Clip title of", {c.Source}));
    EXPECT_EQ(Host.ClippedTitles, c.Clipped);
    EXPECT_EQ(Host.Clipboard, c.Clipped.front() + "\r\n");
  }
}

TEST_F(FileEngineTest, OnlyOperationsThatWriteOrFilterCountFirst) {
  struct TCase {
    const char* Operation;
    const char* Include;
    int CountingPasses;
  };
  const TCase cases[] = {
      {"Copy", "", 1},     {"Recycle", "*.tmp", 1}, {"Clip title of", "", 0},
      {"Compare", "", 0},  {"Copy as link", "", 0}, {"Delete", "", 1},
      {"Recycle", "*", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Operation) + " " + c.Include);
    Host.CountingPasses = 0;
    TFileEngineSettings settings;
    settings.Include = c.Include;
    ASSERT_TRUE(test::WriteBytes(Source + "/e.log", "echo"));
    EXPECT_TRUE(Run(c.Operation, {Source + "/e.log"}, settings));
    EXPECT_EQ(Host.CountingPasses, c.CountingPasses);
    if (c.CountingPasses) EXPECT_EQ(Engine.Totals().Files, 1u);
    fs::remove(Destination + "/e.log");
    EXPECT_TRUE(Ui.Errors.empty());
  }
}

TEST_F(FileEngineTest, AFailedClipboardFailsTheOperation) {
  Host.ClipboardWorks = false;
  EXPECT_FALSE(Run("Clip title of", {Source + "/a.txt"}));
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0].Description.rfind("Failed to Clip title of.", 0), 0u)
      << Ui.Errors[0].Description;
  EXPECT_TRUE(Ui.Boxes.empty());
}

TEST_F(FileEngineTest, FiltersChooseFilesNeverDirectories) {
  TFileEngineSettings settings;
  settings.Include = "*.txt";
  EXPECT_TRUE(Run("Copy", AllSources(), settings));
  EXPECT_EQ(Tree(Destination), (std::vector<std::string>{"a.txt", "sub/", "sub/c.txt"}));
  settings.Include = "";
  settings.Exclude = "c.*";
  fs::remove_all(Destination);
  ::mkdir(Destination.c_str(), 0755);
  EXPECT_TRUE(Run("Copy", AllSources(), settings));
  EXPECT_EQ(Tree(Destination), (std::vector<std::string>{"a.txt", "b.log", "sub/"}));
}

TEST_F(FileEngineTest, RecycleWithAFilterLeavesDirectoriesThatStillHoldFiles) {
  ASSERT_TRUE(test::WriteBytes(Source + "/sub/d.tmp", "x"));
  TFileEngineSettings settings;
  settings.Include = "*.tmp";
  settings.NoErrors = true;
  EXPECT_TRUE(Run("Recycle", {Source + "/sub"}, settings));
  EXPECT_EQ(Tree(Source + "/sub"), (std::vector<std::string>{"c.txt"}));
  EXPECT_EQ(Engine.Counters().Errors, 1u);
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, "There were 1 errors.");
}

TEST_F(FileEngineTest, MoveOfADirectoryOnOneDeviceKeepsItsInode) {
  struct stat before {
  }, after{};
  ASSERT_EQ(::stat((Source + "/sub").c_str(), &before), 0);
  EXPECT_TRUE(Run("Move", {Source + "/sub"}));
  ASSERT_EQ(::stat((Destination + "/sub").c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  // With a filter the directory is recreated, filled and its emptied source removed.
  ASSERT_EQ(::mkdir((Source + "/sub2").c_str(), 0755), 0);
  ASSERT_TRUE(test::WriteBytes(Source + "/sub2/e.txt", "e"));
  ASSERT_EQ(::stat((Source + "/sub2").c_str(), &before), 0);
  TFileEngineSettings settings;
  settings.Include = "*.txt";
  EXPECT_TRUE(Run("Move", {Source + "/sub2"}, settings));
  ASSERT_EQ(::stat((Destination + "/sub2").c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);
  EXPECT_FALSE(fs::exists(Source + "/sub2"));
  EXPECT_EQ(test::ReadBytes(Destination + "/sub2/e.txt"), "e");
}

TEST_F(FileEngineTest, MovedItemsOfTheSourceDirectoryAreRenamedInTheContainer) {
  EXPECT_TRUE(Run("Move", AllSources()));
  EXPECT_EQ(Host.Renamed, (std::vector<std::string>{
                              Source + "/a.txt -> " + Destination + "/a.txt",
                              Source + "/b.log -> " + Destination + "/b.log",
                              Source + "/sub -> " + Destination + "/sub",
                          }));
}

TEST_F(FileEngineTest, MoveAcrossDevicesRecreatesTheDirectory) {
  // /dev/shm is a memory file system, apart from the temporary tree.
  struct stat shm {
  }, here{};
  ASSERT_EQ(::stat(Dir.Path.c_str(), &here), 0);
  if (::stat("/dev/shm", &shm) != 0 || shm.st_dev == here.st_dev)
    GTEST_SKIP() << "no second file system";
  const std::string away = "/dev/shm/corvantide-move-" + std::to_string(::getpid());
  fs::remove_all(away);
  ASSERT_EQ(::mkdir(away.c_str(), 0755), 0);
  TFileEngineSettings settings;
  settings.Operation = "Move";
  EXPECT_TRUE(Engine.Run(settings, {Source + "/sub"}, away));
  EXPECT_EQ(Tree(away), (std::vector<std::string>{"sub/", "sub/c.txt"}));
  EXPECT_FALSE(fs::exists(Source + "/sub"));
  EXPECT_EQ(Engine.Counters().Files, 1u); // recreated and filled, not moved in one step
  fs::remove_all(away);
}

TEST_F(FileEngineTest, CancelDuringALargeCopyCancelsThatCopyWithoutAnError) {
  const std::string big = Source + "/big";
  const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, 24 << 20), 0);
  ::close(fd);
  Host.OnPump = [&] {
    const std::string& line = Host.Last.Current;
    if (line.find("| File ") != std::string::npos && line.find("File 0%") == std::string::npos &&
        line.find("File 100%") == std::string::npos)
      Engine.Cancel();
  };
  EXPECT_FALSE(Run("Copy", {big, Source + "/a.txt"}));
  EXPECT_EQ(Tree(Destination), std::vector<std::string>{});
  EXPECT_EQ(Engine.Counters().Errors, 0u);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(FileEngineTest, CopyAsLinkLinksDirectoriesWithoutRecursing) {
  EXPECT_TRUE(Run("Copy as link", {Source + "/a.txt", Source + "/sub"}));
  EXPECT_EQ(Tree(Destination), (std::vector<std::string>{"a.txt.desktop", "sub.desktop"}));
  EXPECT_EQ(Engine.Counters().Files, 1u);
  EXPECT_EQ(Engine.Counters().Directories, 1u);
  EXPECT_NE(test::ReadBytes(Destination + "/sub.desktop").find("Type=Link"), std::string::npos);
  // A link of a link, and a link into the source's own directory, are refused.
  const struct {
    std::string Source, Destination;
    const char* Message;
  } refused[] = {
      {Destination + "/a.txt.desktop", Dir.Path,
       "This operating system does not support chained links."},
      {Source + "/sub", Source + "/sub", "You should not Copy as link in the same directory."},
  };
  for (const auto& c : refused) {
    Ui.Errors.clear();
    TFileEngineSettings settings;
    settings.Operation = "Copy as link";
    EXPECT_TRUE(Engine.Run(settings, {c.Source}, c.Destination));
    ASSERT_EQ(Ui.Errors.size(), 1u) << c.Message;
    EXPECT_NE(Ui.Errors[0].Report.find(c.Message), std::string::npos) << Ui.Errors[0].Report;
  }
  EXPECT_EQ(Tree(Source + "/sub"), (std::vector<std::string>{"c.txt"}));
}

// Cancel at the overwrite question of a link ends the operation there.
TEST_F(FileEngineTest, CopyAsLinkCancelledAtTheOverwriteQuestionWritesNothingAfterIt) {
  ASSERT_TRUE(test::WriteBytes(Destination + "/b.log.desktop", "kept"));
  Host.OverwriteAnswer = TOverwriteChoice::Abort;
  EXPECT_FALSE(Run("Copy as link", AllSources()));
  EXPECT_EQ(Host.OverwriteAsked, 1);
  EXPECT_EQ(test::ReadBytes(Destination + "/b.log.desktop"), "kept");
  EXPECT_EQ(Tree(Destination), (std::vector<std::string>{"a.txt.desktop", "b.log.desktop"}));
  EXPECT_EQ(Engine.Counters().Errors, 0u);
}

TEST_F(FileEngineTest, TheContentOfADirectoryGoesIntoANameThatDiffersOnlyInCase) {
  TFileEngineSettings settings;
  settings.Operation = "Copy";
  EXPECT_TRUE(Engine.Run(settings, {Source + "/"}, Dir.Path + "/SRC/"));
  EXPECT_EQ(Tree(Dir.Path + "/SRC"), FullTree);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(FileEngineTest, TheGuardsRefuseToWriteIntoTheSourceItself) {
  ASSERT_EQ(::symlink((Source + "/sub").c_str(), (Dir.Path + "/alias").c_str()), 0);
  struct TCase {
    const char* Name;
    std::string Destination;
    const char* Message;
  };
  const TCase cases[] = {
      {"into itself", Source, "Can not Copy recursively."},
      {"into its subdirectory", Source + "/sub", "Can not Copy recursively."},
      {"through a link to its subdirectory", Dir.Path + "/alias", "Can not Copy recursively."},
      {"into its own parent", Dir.Path, "Source and destination are the same."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Ui.Errors.clear();
    const auto before = Tree(Dir.Path);
    TFileEngineSettings settings;
    settings.Operation = "Copy";
    EXPECT_TRUE(Engine.Run(settings, {Source}, c.Destination));
    EXPECT_EQ(Tree(Dir.Path), before);
    ASSERT_EQ(Ui.Errors.size(), 1u);
    EXPECT_NE(Ui.Errors[0].Report.find(c.Message), std::string::npos) << Ui.Errors[0].Report;
  }
  // A bind mount of the source shows no path in common with it.
  const std::string bound = Dir.Path + "/bound";
  ::mkdir(bound.c_str(), 0755);
  if (::mount(Source.c_str(), bound.c_str(), nullptr, MS_BIND, nullptr) == 0) {
    Ui.Errors.clear();
    TFileEngineSettings settings;
    settings.Operation = "Copy";
    EXPECT_TRUE(Engine.Run(settings, {Source}, bound + "/sub"));
    EXPECT_EQ(Tree(Source + "/sub"), (std::vector<std::string>{"c.txt"}));
    ASSERT_EQ(Ui.Errors.size(), 1u);
    EXPECT_NE(Ui.Errors[0].Report.find("Can not Copy recursively."), std::string::npos);
    ::umount2(bound.c_str(), MNT_DETACH);
  } else {
    std::printf("bind mount not allowed here (%s): that case is not run\n", std::strerror(errno));
  }

  // A file onto itself.
  Ui.Errors.clear();
  TFileEngineSettings settings;
  settings.Operation = "Move";
  EXPECT_TRUE(Engine.Run(settings, {Source + "/a.txt"}, Source));
  EXPECT_EQ(test::ReadBytes(Source + "/a.txt"), "alpha");
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_NE(Ui.Errors[0].Report.find("Source and destination are the same."), std::string::npos);
}

TEST_F(FileEngineTest, CancelAtTheThirdFileLeavesExactlyTwo) {
  for (int i = 0; i < 5; ++i)
    ASSERT_TRUE(test::WriteBytes(Source + "/sub/f" + std::to_string(i), std::string(1000, 'z')));
  ::unlink((Source + "/sub/c.txt").c_str());
  Host.OnPump = [&] {
    if (Engine.Totals().Files != 0 && Engine.Counters().Files == 2) Engine.Cancel();
  };
  EXPECT_FALSE(Run("Copy", {Source + "/sub"}));
  EXPECT_EQ(Tree(Destination), (std::vector<std::string>{"sub/", "sub/f0", "sub/f1"}));
  EXPECT_EQ(Engine.Counters().Errors, 0u);
  EXPECT_TRUE(Ui.Boxes.empty()); // no final report after a cancel
  EXPECT_TRUE(Host.Deselected.empty());
}

TEST_F(FileEngineTest, OverwriteAnswersDriveTheCopy) {
  ASSERT_TRUE(test::WriteBytes(Destination + "/a.txt", "kept"));
  ASSERT_TRUE(test::WriteBytes(Destination + "/b.log", "kept"));
  struct TCase {
    TOverwriteChoice Answer;
    std::string A, B;
    int Asked;
    bool Finished;
  };
  const TCase cases[] = {
      {TOverwriteChoice::Abort, "kept", "kept", 1, false}, // Esc or closing the window
      {TOverwriteChoice::SkipThis, "kept", "kept", 2, true},
      {TOverwriteChoice::SkipAll, "kept", "kept", 1, true},
      {TOverwriteChoice::OverwriteThis, "alpha", "bravo!", 2, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Answer));
    ASSERT_TRUE(test::WriteBytes(Destination + "/a.txt", "kept"));
    ASSERT_TRUE(test::WriteBytes(Destination + "/b.log", "kept"));
    Host.OverwriteAnswer = c.Answer;
    Host.OverwriteAsked = 0;
    EXPECT_EQ(Run("Copy", {Source + "/a.txt", Source + "/b.log"}), c.Finished);
    EXPECT_EQ(test::ReadBytes(Destination + "/a.txt"), c.A);
    EXPECT_EQ(test::ReadBytes(Destination + "/b.log"), c.B);
    EXPECT_EQ(Host.OverwriteAsked, c.Asked);
  }
}

TEST_F(FileEngineTest, PrefixesGoOnTopLevelFilesUnlessRecursing) {
  ASSERT_TRUE(test::WriteBytes(Source + "/old_d.txt", "d"));
  struct TCase {
    TPrefixMode Mode;
    std::string Prefix;
    bool Recurse;
    std::vector<std::string> Expected;
  };
  const TCase cases[] = {
      {TPrefixMode::Add, "p_", false, {"p_a.txt", "p_old_d.txt", "sub/", "sub/c.txt"}},
      {TPrefixMode::Add, "p_", true, {"p_a.txt", "p_old_d.txt", "sub/", "sub/p_c.txt"}},
      {TPrefixMode::Replace, "", false, {"a.txt", "d.txt", "sub/", "sub/c.txt"}},
      {TPrefixMode::Replace, "n_", false, {"n_a.txt", "n_d.txt", "sub/", "sub/c.txt"}},
  };
  for (const auto& c : cases) {
    fs::remove_all(Destination);
    ::mkdir(Destination.c_str(), 0755);
    TFileEngineSettings settings;
    settings.PrefixMode = c.Mode;
    settings.Prefix = c.Prefix;
    settings.RecursePrefix = c.Recurse;
    EXPECT_TRUE(Run("Copy", {Source + "/a.txt", Source + "/old_d.txt", Source + "/sub"}, settings));
    EXPECT_EQ(Tree(Destination), c.Expected) << c.Prefix << " " << c.Recurse;
  }
}

TEST_F(FileEngineTest, FilesFromSeveralDirectoriesAreEachTopLevel) {
  // Files dropped from other programs may come from different directories.
  ::mkdir((Dir.Path + "/other").c_str(), 0755);
  ASSERT_TRUE(test::WriteBytes(Dir.Path + "/other/y.txt", "yankee"));
  TFileEngineSettings settings;
  settings.Prefix = "p_";
  settings.PrefixMode = TPrefixMode::Add;
  EXPECT_TRUE(Run("Copy", {Source + "/a.txt", Dir.Path + "/other/y.txt"}, settings));
  EXPECT_EQ(Tree(Destination), (std::vector<std::string>{"p_a.txt", "p_y.txt"}));
}

TEST_F(FileEngineTest, InvalidSettingsWarnAndDoNothing) {
  struct TCase {
    std::string Include, Exclude, Prefix;
    TPrefixMode Mode;
    const char* Warning;
  };
  const TCase cases[] = {
      {"a:b", "", "", TPrefixMode::None, "Invalid include file name filter."},
      {"", "x/y", "", TPrefixMode::None, "Invalid exclude file name filter."},
      {"", "", "p*", TPrefixMode::Add, "Invalid file name prefix."},
      {"", "", "", TPrefixMode::Add, "Empty file name prefix."},
  };
  for (const auto& c : cases) {
    Ui.Boxes.clear();
    TFileEngineSettings settings;
    settings.Include = c.Include;
    settings.Exclude = c.Exclude;
    settings.Prefix = c.Prefix;
    settings.PrefixMode = c.Mode;
    EXPECT_FALSE(Run("Delete", AllSources(), settings));
    ASSERT_EQ(Ui.Boxes.size(), 1u);
    EXPECT_EQ(Ui.Boxes[0].Text, c.Warning);
    EXPECT_EQ(Tree(Source), FullTree);
  }
}

TEST_F(FileEngineTest, StopAfterCountAsksBeforeActing) {
  TFileEngineSettings settings;
  settings.StopAfterCount = true;
  Host.YesNoAnswer = false;
  EXPECT_FALSE(Run("Delete", AllSources(), settings));
  EXPECT_EQ(Host.Questions, (std::vector<std::string>{"Continue with processing?"}));
  EXPECT_EQ(Tree(Source), FullTree);
  EXPECT_EQ(Engine.Totals().Files, 3u);
}

TEST_F(FileEngineTest, ErrorsAreCountedWithContinueNoMoreErrorsAndStop) {
  // Three files in a directory the unprivileged user may not change: each delete fails.
  const std::string locked = Dir.Path + "/locked";
  ASSERT_EQ(::mkdir(locked.c_str(), 0755), 0);
  for (const char* name : {"1", "2", "3"})
    ASSERT_TRUE(test::WriteBytes(locked + "/" + name, "x"));
  struct TCase {
    bool Continue, NoMoreErrors;
    size_t Windows;
    const char* Final; // "" when there is no final report
  };
  const TCase cases[] = {
      {true, false, 3, "There were 3 errors."},
      {true, true, 1, "There were 3 errors."},
      {false, false, 1, ""},
  };
  for (const auto& c : cases) {
    const std::string failure = test::RunUnprivileged({Dir.Path}, [&]() -> std::string {
      if (::chmod(locked.c_str(), 0555) != 0) return "chmod";
      test::TRecordingUserInterface ui;
      ui.ErrorAnswerContinue = c.Continue;
      ui.ErrorAnswerNoMoreErrors = c.NoMoreErrors;
      TScriptedHost host;
      TFileEngine engine(host, &SteppingClock);
      TFileEngineSettings settings;
      settings.Operation = "Delete";
      engine.Run(settings, {locked + "/1", locked + "/2", locked + "/3"}, "");
      if (ui.Errors.size() != c.Windows) return "windows " + std::to_string(ui.Errors.size());
      if (ui.Errors[0].Description.find("Failed to Delete file.") == std::string::npos)
        return "shown " + ui.Errors[0].Description;
      const std::string final = ui.Boxes.empty() ? "" : ui.Boxes.back().Text;
      if (final != c.Final) return "final " + final;
      return "";
    });
    EXPECT_EQ(failure, "") << c.Continue << c.NoMoreErrors;
  }
  EXPECT_EQ(Tree(locked), (std::vector<std::string>{"1", "2", "3"}));
}

// The files below a directory whose content is `content`, as relative paths.
std::vector<std::string> FilesHolding(const std::string& root, const std::string& content) {
  std::vector<std::string> found;
  for (const std::string& entry : Tree(root))
    if (entry.back() != '/' && !fs::is_symlink(root + "/" + entry) &&
        test::ReadBytes(root + "/" + entry) == content)
      found.push_back(entry);
  return found;
}

TEST_F(FileEngineTest, ADirectorySwappedForALinkMidWalkIsNeverFollowed) {
  // tree/sub holds x.txt and y.txt, and so does precious/: a walk that
  // follows the swapped name acts on precious/ instead.
  const std::string tree = Dir.Path + "/tree", sub = tree + "/sub";
  const std::string precious = Dir.Path + "/precious";
  struct TCase {
    const char* Operation;
    bool InsideSub; // swapped once the walk holds sub, else just before it enters
    bool Refused;   // the walk reports the swap (a copy from the held sub has nothing to report)
  };
  const TCase cases[] = {
      {"Delete", false, true}, {"Delete", true, true},   {"Move", false, true},
      {"Move", true, true},    {"Recycle", false, true}, {"Recycle", true, true},
      {"Copy", false, true},   {"Copy", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Operation) + (c.InsideSub ? " inside" : " before"));
    for (const std::string& path : {tree, precious, Destination, Dir.Path + "/away"})
      fs::remove_all(path);
    ASSERT_EQ(::mkdir(Destination.c_str(), 0755), 0);
    fs::create_directories(sub);
    fs::create_directories(precious);
    for (const char* name : {"/x.txt", "/y.txt"}) {
      ASSERT_TRUE(test::WriteBytes(sub + name, "ordinary"));
      ASSERT_TRUE(test::WriteBytes(precious + name, "precious"));
    }
    const std::string at = c.InsideSub ? sub + "/x.txt" : sub;
    bool swapped = false;
    Host.OnPump = [&] {
      if (swapped || Host.Last.Total == "Calculating total space..." || Host.Last.Source != at)
        return;
      swapped = ::rename(sub.c_str(), (Dir.Path + "/away").c_str()) == 0 &&
                ::symlink(precious.c_str(), sub.c_str()) == 0;
    };
    TFileEngineSettings settings;
    settings.Include = "*.txt"; // a filter makes move and recycle walk the tree
    settings.NoErrors = true;
    Run(c.Operation, {tree}, settings);
    EXPECT_TRUE(swapped);
    EXPECT_EQ(FilesHolding(precious, "precious"), (std::vector<std::string>{"x.txt", "y.txt"}));
    EXPECT_EQ(FilesHolding(Destination, "precious"), std::vector<std::string>{});
    EXPECT_EQ(Engine.Counters().Errors > 0, c.Refused);
  }
  Host.OnPump = {};
}

TEST_F(FileEngineTest, ACopiedDirectoryKeepsItsModeAndTimes) {
  const mode_t mask = ::umask(022);
  const timespec old = {1000000000, 123456789};
  // In the future, so reading the directory leaves it alone under relatime.
  const timespec accessed = {static_cast<time_t>(::time(nullptr)) + 30 * 86400, 5};
  for (const mode_t mode : {0750, 0775, 0500}) {
    SCOPED_TRACE(mode);
    fs::remove_all(Destination);
    ASSERT_EQ(::mkdir(Destination.c_str(), 0755), 0);
    ASSERT_EQ(::chmod((Source + "/sub").c_str(), mode), 0);
    const timespec times[2] = {accessed, old};
    ASSERT_EQ(::utimensat(AT_FDCWD, (Source + "/sub").c_str(), times, 0), 0);
    EXPECT_TRUE(Run("Copy", {Source + "/sub"}));
    EXPECT_EQ(test::ReadBytes(Destination + "/sub/c.txt"), "charlie");
    struct stat copied {};
    ASSERT_EQ(::stat((Destination + "/sub").c_str(), &copied), 0);
    EXPECT_EQ(copied.st_mode & 07777, mode);
    EXPECT_EQ(copied.st_mtim.tv_sec, old.tv_sec);
    EXPECT_EQ(copied.st_mtim.tv_nsec, old.tv_nsec);
    EXPECT_EQ(copied.st_atim.tv_sec, accessed.tv_sec);
  }
  ::chmod((Source + "/sub").c_str(), 0755);
  ::umask(mask);
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(FileEngineTest, TreesDeeperThanPathMaxAreCopiedMovedAndDeleted) {
  const auto components = test::TDeepDirectory::ComponentsToLength(Source.size(), PATH_MAX + 600);
  const test::TDeepDirectory deep(Source, components);
  ASSERT_TRUE(deep.Built());
  ASSERT_TRUE(deep.MakeFile("deep.txt"));
  std::string below; // the deep part, from the top directory down
  for (const std::string& component : components)
    below += "/" + component;
  const std::string top = components.front();
  ASSERT_GT((Destination + below).size(), static_cast<size_t>(PATH_MAX));

  EXPECT_TRUE(Run("Copy", {Source + "/" + top}));
  EXPECT_EQ(test::ReadBytes(Destination + below + "/deep.txt"), "");
  EXPECT_EQ(test::ReadBytes(Source + below + "/deep.txt"), "");

  // A filter makes the move walk the tree instead of renaming its top.
  const std::string moved = Dir.Path + "/moved";
  ASSERT_EQ(::mkdir(moved.c_str(), 0755), 0);
  TFileEngineSettings settings;
  settings.Operation = "Move";
  settings.Include = "*.txt";
  EXPECT_TRUE(Engine.Run(settings, {Destination + "/" + top}, moved));
  EXPECT_EQ(test::ReadBytes(moved + below + "/deep.txt"), "");
  EXPECT_EQ(Tree(Destination), std::vector<std::string>{});

  EXPECT_TRUE(Run("Delete", {moved + "/" + top}));
  EXPECT_EQ(Tree(moved), std::vector<std::string>{});
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_EQ(Engine.Counters().Errors, 0u);
}

} // namespace
} // namespace cv
