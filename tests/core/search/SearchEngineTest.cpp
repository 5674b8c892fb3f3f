#include "search/SearchEngine.h"

#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "foundation/OffThread.h"

#include "../filesystem/FileTestSupport.h"
#include "HangingMount.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace cv {
namespace {

// Every call moves one second on, so every step shows progress and pumps.
double SteppingClock() {
  static double now = 0;
  return now += 1.0;
}

class TScriptedHost : public TSearchHost {
public:
  std::vector<std::vector<TFoundBatchItem>> Batches;
  std::vector<std::string> Errors, ErrorTitles;
  std::vector<size_t> Deselected;
  int Pumps = 0;
  bool StopAtError = false;
  std::function<void()> OnPump;

  void Found(const std::vector<TFoundBatchItem>& batch) override { Batches.push_back(batch); }
  void ShowProgress(const std::string& lookingIn, const std::string& information) override {
    Shown.push_back(lookingIn + " / " + information);
  }
  std::vector<std::string> Shown;
  void PumpEvents() override {
    ++Pumps;
    if (OnPump) OnPump();
  }
  bool ReportError(const TFunStatContext& failure, const std::string& sentence) override {
    Errors.push_back(sentence + " " + failure.Description);
    ErrorTitles.push_back(failure.Parameter1);
    return !StopAtError;
  }
  void Deselect(size_t index) override { Deselected.push_back(index); }

  // The found list as the window builds it from the batches.
  std::vector<std::string> Rebuilt() const {
    std::vector<std::string> titles;
    for (const auto& batch : Batches)
      for (const auto& found : batch)
        titles.insert(titles.begin() + static_cast<std::ptrdiff_t>(found.Place), found.Item.Title);
    return titles;
  }
};

// Titles of the found list, relative to `root`.
std::vector<std::string> Found(const TSearchEngine& engine, const std::string& root) {
  std::vector<std::string> titles;
  for (const auto& item : engine.FoundList().Items())
    titles.push_back(item.Title.starts_with(root + "/") ? item.Title.substr(root.size() + 1)
                                                        : item.Title);
  return titles;
}

class TBindMount {
public:
  TBindMount(const std::string& source, const std::string& point) : Point(point) {
    Mounted = ::mount(source.c_str(), point.c_str(), nullptr, MS_BIND, nullptr) == 0;
    if (!Mounted) Reason = std::strerror(errno);
  }
  ~TBindMount() {
    if (Mounted) ::umount2(Point.c_str(), MNT_DETACH);
  }
  std::string Point, Reason;
  bool Mounted = false;
};

class SearchEngineTest : public ::testing::Test {
protected:
  void SetUp() override {
    Root = Dir.Path + "/root";
    ASSERT_EQ(::mkdir(Root.c_str(), 0755), 0);
  }
  void Write(const std::string& relative, const std::string& content) {
    ASSERT_TRUE(test::WriteBytes(Root + "/" + relative, content)) << relative;
  }
  void MakeDirectory(const std::string& relative) {
    ASSERT_EQ(::mkdir((Root + "/" + relative).c_str(), 0755), 0) << relative;
  }
  TSearchSettings Names(const std::string& pattern) {
    TSearchSettings settings;
    settings.Pattern = pattern;
    settings.FindDirectories = false;
    return settings;
  }
  TSearchSettings Content(const std::string& filter, unsigned threads) {
    TSearchSettings settings = Names("*");
    settings.Text = TSearchTextFilter::Parse(filter, true, false);
    settings.Parts = TFileParts::Content;
    settings.Threads = threads;
    return settings;
  }

  test::TTempDir Dir;
  std::string Root;
  TScriptedHost Host;
  TSearchEngine Engine{Host};
};

TEST_F(SearchEngineTest, WalksInByteOrderPastLinksLoopsFifosAndOddNames) {
  Write("a.txt", "a needle");
  Write("B.txt", "nothing");
  Write("name\xff.txt", "needle too");
  MakeDirectory("sub");
  Write("sub/c.txt", "needle");
  ASSERT_EQ(::symlink(Root.c_str(), (Root + "/sub/up").c_str()), 0);
  ASSERT_EQ(::symlink((Root + "/a.txt").c_str(), (Root + "/sub/z.txt").c_str()), 0);
  ASSERT_EQ(::mkfifo((Root + "/fifo.txt").c_str(), 0644), 0);
  MakeDirectory("loop");
  const TBindMount loop(Root, Root + "/loop");
  if (!loop.Mounted)
    std::printf("bind mount refused (%s): the loop is not walked\n", loop.Reason.c_str());

  ASSERT_TRUE(Engine.Run(Names("*.txt"), {Root}));
  EXPECT_EQ(Found(Engine, Root),
            (std::vector<std::string>{"B.txt", "a.txt", "fifo.txt", "name\xff.txt", "sub/c.txt",
                                      "sub/z.txt"}));
  EXPECT_EQ(Engine.Counters().Files, 6u);

  // Contents: the FIFO is never opened (it would block), the link to a file
  // is read through, the link to the root and the loop are not walked.
  for (unsigned threads : {1u, 3u}) {
    SCOPED_TRACE(threads);
    ASSERT_TRUE(Engine.Run(Content("needle", threads), {Root}));
    EXPECT_EQ(Found(Engine, Root),
              (std::vector<std::string>{"a.txt", "name\xff.txt", "sub/c.txt", "sub/z.txt"}));
    EXPECT_EQ(Engine.Counters().Errors, 0u);
  }

  // Directories, the chosen one too; the bind mount point is found but not entered.
  TSearchSettings directories = Names("*");
  directories.FindFiles = false;
  directories.FindDirectories = true;
  ASSERT_TRUE(Engine.Run(directories, {Root}));
  EXPECT_EQ(Found(Engine, Root), (std::vector<std::string>{Root, "loop", "sub", "sub/up"}));
}

TEST_F(SearchEngineTest, RankOrderDoesNotDependOnThreads) {
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i);
    std::string content = "filler " + n;
    if (i % 3 == 0) content += " alpha";
    if (i % 4 == 0) content += " beta";
    if (i % 5 == 0) content += " alphabet";
    Write("f" + std::string(i < 10 ? "0" : "") + n, content);
  }
  std::vector<TFoundItem> single;
  for (unsigned threads : {1u, 2u, 5u}) {
    SCOPED_TRACE(threads);
    Host.Batches.clear();
    ASSERT_TRUE(Engine.Run(Content("alpha beta", threads), {Root}));
    const auto& items = Engine.FoundList().Items();
    ASSERT_FALSE(items.empty());
    for (size_t i = 1; i < items.size(); ++i)
      EXPECT_GE(FoundTagRank(items[i - 1].Tag), FoundTagRank(items[i].Tag));
    std::vector<std::string> titles;
    for (const auto& item : items)
      titles.push_back(item.Title);
    EXPECT_EQ(Host.Rebuilt(), titles);
    if (threads == 1) {
      single = items;
      continue;
    }
    ASSERT_EQ(items.size(), single.size());
    for (size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(items[i].Title, single[i].Title);
      EXPECT_EQ(items[i].Tag, single[i].Tag);
    }
  }
}

TEST_F(SearchEngineTest, FilePartsChooseNameDescriptionContentAndStreams) {
  Write("plain.txt", "needle in the text");
  Write("plain.bin", "needle in the binary");
  Write("described.bin", "");
  Write("streamed.bin", "");
  Write("needle.doc", "");
  const std::string described = Root + "/described.bin", streamed = Root + "/streamed.bin";
  if (::setxattr(described.c_str(), "user.Description", "a needle\0hidden", 15, 0) != 0)
    GTEST_SKIP() << "no user attributes here: " << std::strerror(errno);
  ASSERT_EQ(::setxattr(described.c_str(), "user.Other", "hidden", 6, 0), 0);
  ASSERT_EQ(::setxattr(streamed.c_str(), "user.Other", "needle", 6, 0), 0);
  struct TCase {
    TFileParts Parts;
    const char* Filter;
    std::vector<std::string> Found;
  };
  const TCase cases[] = {
      {TFileParts::Name, "needle", {"needle.doc"}},
      {TFileParts::Description, "needle", {"described.bin"}},
      // Only the text before the zero byte is the description.
      {TFileParts::Description, "hidden", {}},
      // Every stream, the description too.
      {TFileParts::Content, "needle", {"described.bin", "plain.bin", "plain.txt", "streamed.bin"}},
      {TFileParts::Content, "hidden", {"described.bin"}},
      // Contents of text files only.
      {TFileParts::NameText, "needle", {"needle.doc", "plain.txt"}},
      {TFileParts::NameContent,
       "needle",
       {"described.bin", "needle.doc", "plain.bin", "plain.txt", "streamed.bin"}},
  };
  struct TRestore {
    TExtensionList Saved = TextFileExtensions;
    ~TRestore() { TextFileExtensions = Saved; }
  } restore;
  TextFileExtensions.SetList({".txt"});
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Filter);
    SCOPED_TRACE(static_cast<int>(c.Parts));
    TSearchSettings settings = Content(c.Filter, 2);
    settings.Parts = c.Parts;
    ASSERT_TRUE(Engine.Run(settings, {Root}));
    auto found = Found(Engine, Root);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, c.Found);
  }
}

TEST_F(SearchEngineTest, TitlesLongerThanPathMax) {
  const test::TDeepDirectory deep(Root,
                                  test::TDeepDirectory::ComponentsToLength(Root.size(), 4500));
  ASSERT_TRUE(deep.Built());
  const int fd = ::openat(deep.Deepest(), "f.txt", O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "a needle", 8), 8);
  ::close(fd);
  const std::string title = deep.Title + "/f.txt";
  ASSERT_GT(title.size(), 4096u);
  // Found by the walk and as a chosen item, by content and by size.
  TSearchSettings bySize = Names("*");
  bySize.Limits.SizeMaxEnabled = true;
  bySize.Limits.SizeMax = 8;
  for (const TSearchSettings& settings : {Content("needle", 2), Content("needle", 1), bySize})
    for (const std::string& chosen : {Root, title}) {
      ASSERT_TRUE(Engine.Run(settings, {chosen}));
      const auto& found = Engine.FoundList().Items();
      EXPECT_TRUE(found.size() == 1 && found[0].Title == title) << found.size();
      EXPECT_EQ(Engine.Counters().Errors, 0u) << Host.Errors.back();
    }
}

TEST_F(SearchEngineTest, FilesAboveTheLimitAreJumped) {
  Write("big.txt", "needle");
  ASSERT_EQ(::truncate((Root + "/big.txt").c_str(), 10'000'001), 0);
  Write("edge.txt", "needle");
  ASSERT_EQ(::truncate((Root + "/edge.txt").c_str(), 10'000'000), 0);
  ASSERT_TRUE(Engine.Run(Content("needle", 2), {Root}));
  EXPECT_EQ(Found(Engine, Root), (std::vector<std::string>{"edge.txt"}));
  EXPECT_EQ(Engine.Counters().Jumped, 1u);
}

TEST_F(SearchEngineTest, DuplicatesCompareWholeContentsAndNeverTheModelItself) {
  std::string model(3000, 'm');
  for (size_t i = 0; i < model.size(); ++i)
    model[i] = static_cast<char>('a' + i % 26);
  std::string late = model;
  late[2500] = '#';
  Write("model.dat", model);
  Write("copy.dat", model);
  Write("copy.bin", model);
  Write("late.dat", late);
  Write("short.dat", model.substr(0, 1000));
  ASSERT_EQ(::link((Root + "/model.dat").c_str(), (Root + "/hard.dat").c_str()), 0);
  ASSERT_EQ(::symlink((Root + "/model.dat").c_str(), (Root + "/soft.dat").c_str()), 0);
  MakeDirectory("deep");
  Write("deep/COPY.DAT", model);

  TSearchSettings settings;
  settings.Model = Root + "/model.dat";
  settings.FindDirectories = false;
  for (unsigned threads : {1u, 2u}) {
    settings.Threads = threads;
    ASSERT_TRUE(Engine.Run(settings, {Root}));
    EXPECT_EQ(Found(Engine, Root), (std::vector<std::string>{"copy.dat", "deep/COPY.DAT"}));
    EXPECT_EQ(Engine.Counters().Errors, 0u);
  }

  // Empty files have equal contents.
  Write("empty.dat", "");
  Write("void.dat", "");
  settings.Model = Root + "/empty.dat";
  ASSERT_TRUE(Engine.Run(settings, {Root}));
  EXPECT_EQ(Found(Engine, Root), (std::vector<std::string>{"void.dat"}));
}

TEST_F(SearchEngineTest, LimitsUseTheRightTimesAndSizes) {
  Write("old.txt", "x");
  Write("new.txt", "xxxxxxxxxx");
  const struct timespec old[2] = {{0, UTIME_OMIT}, {1'000'000'000, 0}}; // 2001
  ASSERT_EQ(::utimensat(AT_FDCWD, (Root + "/old.txt").c_str(), old, 0), 0);
  TSearchSettings recent = Names("*");
  recent.Limits.ModifiedMin = {true, 30, false}; // changed in the last 30 days
  ASSERT_TRUE(Engine.Run(recent, {Root}));
  EXPECT_EQ(Found(Engine, Root), (std::vector<std::string>{"new.txt"}));

  TSearchSettings small = Names("*");
  small.Limits.SizeMaxEnabled = true;
  small.Limits.SizeMax = 5;
  ASSERT_TRUE(Engine.Run(small, {Root}));
  EXPECT_EQ(Found(Engine, Root), (std::vector<std::string>{"old.txt"}));

  TSearchSettings refused = Names("*");
  refused.Limits.ModifiedMin = {true, 2, false};
  refused.Limits.ModifiedMax = {true, 7, false};
  EXPECT_FALSE(Engine.Run(refused, {Root}));
  EXPECT_EQ(Engine.Warning(), "\"Modified minimum\" is bigger than \"Modified maximum\".");
  EXPECT_FALSE(Engine.Run(Names("a/b"), {Root}));
  EXPECT_EQ(Engine.Warning(), "File name filter is invalid.");
}

TEST_F(SearchEngineTest, PseudoFileSystemsAreSkipped) {
  MakeDirectory("proc");
  Write("x.txt", "");
  if (::mount("proc", (Root + "/proc").c_str(), "proc", 0, nullptr) != 0)
    GTEST_SKIP() << "mounting proc refused: " << std::strerror(errno);
  struct TUnmount {
    std::string Point;
    ~TUnmount() { ::umount2(Point.c_str(), MNT_DETACH); }
  } unmount{Root + "/proc"};
  ASSERT_TRUE(Engine.Run(Content("x", 2), {Root}));
  EXPECT_EQ(Found(Engine, Root), (std::vector<std::string>{}));
  ASSERT_TRUE(Engine.Run(Names("kmsg"), {Root}));
  EXPECT_TRUE(Engine.FoundList().Items().empty());
}

TEST_F(SearchEngineTest, RemoteMountsAreSearchedOnlyWhenStartedIn) {
  test::THangingMount slow(10000);
  if (!slow.Available()) GTEST_SKIP() << slow.SkipReason();
  const std::string around = GetTitlePath(slow.MountPoint());
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(Engine.Run(Names("*.txt"), {around.substr(0, around.size() - 1)}));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(Engine.FoundList().Items().empty());

  test::THangingMount quick(50);
  ASSERT_TRUE(quick.Available()) << quick.SkipReason();
  ASSERT_TRUE(Engine.Run(Names("*.txt"), {quick.MountPoint()}));
  const auto found = Found(Engine, quick.MountPoint());
  ASSERT_GE(found.size(), 2u);
  EXPECT_EQ(found[0], "a.txt");
  EXPECT_EQ(found[1], "b.txt");
}

TEST_F(SearchEngineTest, APartitionThatStopsAnsweringIsReportedOnceAndLeft) {
  test::THangingMount mount(10000);
  if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
  const int before = LiveDetachedThreads();
  Write("here.txt", "");
  TSearchSettings settings = Names("*.txt");
  settings.StallSeconds = 1;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(Engine.Run(settings, {mount.MountPoint(), mount.MountPoint() + "/sub", Root}));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
  EXPECT_EQ(Found(Engine, Root), (std::vector<std::string>{"here.txt"}));
  ASSERT_EQ(Host.Errors.size(), 1u);
  EXPECT_TRUE(Host.Errors[0].starts_with("Failed to search in partition.")) << Host.Errors[0];
  EXPECT_EQ(Engine.Counters().Errors, 1u);

  // A stop while a call hangs there returns at once too.
  Host.OnPump = [&] { Engine.Stop(); };
  settings.StallSeconds = 1000;
  const auto stop = std::chrono::steady_clock::now();
  EXPECT_FALSE(Engine.Run(settings, {mount.MountPoint()}));
  EXPECT_LT(std::chrono::steady_clock::now() - stop, std::chrono::seconds(3));
  // The threads left in it end once the mount goes.
  mount.Unmount();
  for (int i = 0; i < 500 && LiveDetachedThreads() > before; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(LiveDetachedThreads(), before);
}

// On a share whose listings are slow, what the walk found goes to the
// window before it waits for the next listing, not with the items after it.
TEST_F(SearchEngineTest, FoundItemsGoOutBeforeTheWalkEntersADirectoryOfAShare) {
  test::THangingMount mount(1000);
  if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
  using TClock = std::chrono::steady_clock;
  TClock::time_point shown{};
  Host.OnPump = [&] {
    for (const auto& batch : Host.Batches)
      for (const auto& found : batch)
        if (found.Item.Title == mount.MountPoint() + "/b.txt" && shown == TClock::time_point{})
          shown = TClock::now();
  };
  ASSERT_TRUE(Engine.Run(Names("*.txt"), {mount.MountPoint()}));
  const TClock::time_point end = TClock::now();
  ASSERT_NE(shown, TClock::time_point{});
  // The listing of "sub" waited a second after "b.txt" was shown.
  EXPECT_GE(end - shown, std::chrono::milliseconds(600));
}

TEST_F(SearchEngineTest, StopsFromThePumpAndDeliversBatches) {
  for (int i = 0; i < 30; ++i)
    Write("f" + std::to_string(100 + i), "");
  TSearchEngine engine(Host, &SteppingClock);
  Host.OnPump = [&] {
    if (engine.Counters().Files >= 10) engine.Stop();
  };
  EXPECT_FALSE(engine.Run(Names("*"), {Root, Root}));
  EXPECT_TRUE(engine.IsStopped());
  EXPECT_GE(engine.Counters().Files, 10u);
  EXPECT_LT(engine.Counters().Files, 30u);
  EXPECT_GT(Host.Batches.size(), 1u);
  std::vector<std::string> titles;
  for (const auto& item : engine.FoundList().Items())
    titles.push_back(item.Title);
  EXPECT_EQ(Host.Rebuilt(), titles);
  EXPECT_TRUE(Host.Deselected.empty());

  // A full run lets go of each chosen item.
  Host.OnPump = nullptr;
  Host.Batches.clear();
  EXPECT_TRUE(engine.Run(Names("f10?"), {Root, Root + "/f101"}));
  EXPECT_EQ(Host.Deselected, (std::vector<size_t>{0, 1}));
  EXPECT_EQ(engine.Counters().Files, 11u);
}

TEST_F(SearchEngineTest, TheInformationLineShowsTheProgressOfALongFile) {
  std::string content;
  while (content.size() < 4'000'000)
    content += "needle and thread, all in a haystack of words. ";
  Write("long.txt", content);
  TSearchEngine engine(Host, &SteppingClock);
  ASSERT_TRUE(engine.Run(Content("needle thread", 2), {Root}));
  EXPECT_EQ(engine.FoundList().Size(), 1u);
  const std::string title = Root + "/long.txt / ";
  bool progress = false;
  for (const std::string& shown : Host.Shown)
    if (shown.starts_with(title) && shown.find(" | Progress ") != std::string::npos &&
        shown.find(" \xe2\x80\xb0 | Text filter ") != std::string::npos)
      progress = true;
  EXPECT_TRUE(progress) << (Host.Shown.empty() ? "" : Host.Shown.back());
  EXPECT_EQ(Host.Shown.back().substr(0, 17), "Search complete. ");
  EXPECT_TRUE(engine.InformationLine().starts_with(
      "Errors 0 | Directories 0 | Files 1 | Jumped files 0 | Time "));
  const std::string line = engine.InformationLine(0.4996, 1);
  EXPECT_TRUE(line.ends_with(" | Progress 500 \xe2\x80\xb0 | Text filter 2")) << line;
}

TEST_F(SearchEngineTest, FailuresAreCountedAndCanStop) {
  MakeDirectory("closed");
  MakeDirectory("closed2");
  Write("closed/a", "");
  Write("open", "");
  ASSERT_EQ(::chmod((Root + "/closed").c_str(), 0), 0);
  ASSERT_EQ(::chmod((Root + "/closed2").c_str(), 0), 0);
  const std::string failure = test::RunUnprivileged({Root}, [&]() -> std::string {
    TScriptedHost host;
    TSearchEngine engine(host);
    engine.Run(Names("*"), {Root});
    if (engine.Counters().Errors != 2) return "errors " + std::to_string(engine.Counters().Errors);
    if (host.Errors.size() != 2 || !host.Errors[0].starts_with("Failed to search in directory."))
      return "reported " + (host.Errors.empty() ? std::string() : host.Errors[0]);
    if (engine.FoundList().Size() != 1) return "found " + std::to_string(engine.FoundList().Size());
    TScriptedHost stopping;
    stopping.StopAtError = true;
    TSearchEngine stopped(stopping);
    if (stopped.Run(Names("*"), {Root})) return "not stopped";
    if (stopped.Counters().Errors != 1 || stopped.FoundList().Size() != 0)
      return "went on after the stop";
    return {};
  });
  EXPECT_EQ(failure, "");
}

// More files than a batch holds, in several directories and with unreadable
// ones among them: the found list, its batches and the errors keep the
// walk's order whatever the number of threads.
TEST_F(SearchEngineTest, BatchesKeepTheWalkOrderAndTheErrorsWithAnyThreads) {
  std::vector<std::string> unreadable, matching;
  for (const std::string directory : {"d0", "d1", "d1/inner", "d2"}) {
    MakeDirectory(directory);
    for (int i = 0; i < 45; ++i) {
      const std::string title = Root + "/" + directory + "/f" + std::to_string(100 + i);
      std::string content = "filler " + std::to_string(i);
      if (i % 3 == 0) content += " needle";
      if (i % 7 == 0) content += " needles";
      Write(title.substr(Root.size() + 1), content);
      if (i % 11 == 5) {
        ASSERT_EQ(::chmod(title.c_str(), 0), 0);
        unreadable.push_back(title);
      } else if (i % 3 == 0 || i % 7 == 0) {
        matching.push_back(title);
      }
    }
  }
  const std::string failure = test::RunUnprivileged({Root}, [&]() -> std::string {
    std::vector<std::string> single;
    for (unsigned threads : {1u, 3u}) {
      const std::string trace = " with " + std::to_string(threads) + " threads";
      TScriptedHost host;
      TSearchEngine engine(host);
      if (!engine.Run(Content("needle", threads), {Root})) return "stopped" + trace;
      if (engine.Counters().Errors != unreadable.size() || host.ErrorTitles != unreadable)
        return std::to_string(engine.Counters().Errors) + " errors" + trace;
      std::vector<std::string> titles;
      for (const auto& item : engine.FoundList().Items())
        titles.push_back(item.Title);
      if (host.Rebuilt() != titles) return "batches differ from the list" + trace;
      std::vector<std::string> sorted = titles;
      std::sort(sorted.begin(), sorted.end());
      if (sorted != matching) return std::to_string(titles.size()) + " found" + trace;
      if (threads == 1)
        single = titles;
      else if (titles != single)
        return "order differs" + trace;
    }
    return {};
  });
  EXPECT_EQ(failure, "");
}

// A stop asked for while a batch is being taken in ends the search there,
// and no thread of it goes on.
TEST_F(SearchEngineTest, AStopInTheMiddleOfABatchTakesEffectAtOnce) {
  std::vector<std::string> first;
  for (int i = 0; i < 100; ++i) {
    Write("f" + std::to_string(100 + i), "needle");
    if (i < 40) first.push_back(Root + "/f" + std::to_string(100 + i));
  }
  const int before = LiveDetachedThreads();
  for (unsigned threads : {1u, 3u}) {
    SCOPED_TRACE(threads);
    TScriptedHost host;
    TSearchEngine engine(host, &SteppingClock);
    host.OnPump = [&] {
      if (engine.Counters().Files >= 40) engine.Stop();
    };
    EXPECT_FALSE(engine.Run(Content("needle", threads), {Root}));
    EXPECT_EQ(engine.Counters().Files, 40u);
    EXPECT_EQ(host.Rebuilt(), first);
  }
  for (int i = 0; i < 500 && LiveDetachedThreads() > before; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(LiveDetachedThreads(), before);
}

} // namespace
} // namespace cv
