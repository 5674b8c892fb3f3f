#include "fileops/UndoJournal.h"

#include "fileops/FileEngine.h"
#include "fileops/MultiRename.h"
#include "fileops/NameCommands.h"
#include "filesystem/File.h"

#include "../filesystem/FileTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace cv {
namespace {

namespace fs = std::filesystem;

class TQuietHost : public TFileEngineHost {
public:
  TOverwriteChoice AskOverwrite(const TOverwriteView&) override { return TOverwriteChoice::Abort; }
  bool AskYesNo(const std::string&) override { return true; }
  void ShowProgress(const TFileEngineDisplay&) override {}
  void PumpEvents() override {
    if (OnPump) OnPump();
  }
  void Deselect(size_t) override {}
  bool CopyToClipboard(const std::string&, const std::vector<std::string>&) override {
    return true;
  }
  void RenameContainerItem(const std::string&, const std::string&) override {}
  std::function<void()> OnPump;
};

double SteppingClock() {
  static double now = 0;
  return now += 1.0;
}

// Every entry below `root` with the content of its files: "sub/", "a.txt=alpha".
std::vector<std::string> Snapshot(const std::string& root) {
  std::vector<std::string> entries;
  std::error_code error;
  if (!fs::exists(root, error)) return entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string relative = fs::relative(entry.path(), root).string();
    relative += entry.is_directory() ? "/" : "=" + test::ReadBytes(entry.path().string());
    entries.push_back(relative);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::string TrashPath() {
  return test::PrivateRoot() + "/data/Trash/";
}

size_t TrashInfoCount() {
  return test::Entries(TrashPath() + "info").size();
}

class UndoJournalTest : public ::testing::Test {
protected:
  void SetUp() override {
    Source = Dir.Path + "/src/";
    Destination = Dir.Path + "/dst/";
    ASSERT_EQ(::mkdir(Source.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(Destination.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((Source + "sub").c_str(), 0750), 0);
    ASSERT_TRUE(test::WriteBytes(Source + "a.txt", "alpha"));
    ASSERT_TRUE(test::WriteBytes(Source + "b.log", "bravo!"));
    ASSERT_TRUE(test::WriteBytes(Source + "sub/c.txt", "charlie"));
    Engine.RecordInto(&Journal);
  }
  bool RunEngine(const std::string& operation, const std::vector<std::string>& sources,
                 const std::string& destination) {
    TFileEngineSettings settings;
    settings.Operation = operation;
    return Engine.Run(settings, sources, destination);
  }
  // Undoes the newest record; the refusal or failure text, "" when done.
  std::string UndoLast(TUndoJournal& journal) {
    const std::vector<TUndoRecord> pending = journal.Pending();
    if (pending.empty()) return "<nothing to undo>";
    const std::vector<TUndoRecord> records = RecordsThrough(pending, pending.front().Id);
    if (UndoRecords(journal, records)) return {};
    const std::string text = FunStatContext.Description;
    FunStatContext.Reset(fsPerfect);
    return text.empty() ? "<failed>" : text;
  }

  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  TQuietHost Host;
  TFileEngine Engine{Host, &SteppingClock};
  TUndoJournal Journal{Dir.Path + "/journal"};
  std::string Source, Destination;
};

TEST_F(UndoJournalTest, EachOperationIsUndone) {
  struct TCase {
    const char* Name;
    std::function<void()> Act;
    bool RecyclesCopies;
  };
  const TCase cases[] = {
      {"move",
       [&] {
         RunEngine("Move", {Source + "a.txt", Source + "sub"}, Destination);
       },
       false},
      {"copy",
       [&] {
         RunEngine("Copy", {Source + "a.txt", Source + "sub"}, Destination);
       },
       true},
      {"recycle",
       [&] {
         RunEngine("Recycle", {Source + "a.txt", Source + "sub"}, {});
       },
       false},
      {"copy as link", [&] { RunEngine("Copy as link", {Source + "a.txt"}, Destination); }, true},
      {"rename",
       [&] {
         TUndoRecorder recorder("Rename");
         TOverwriteDecision decision;
         bool renamed = false;
         RenameStep(Source + "a.txt", "z.txt", true, decision, {}, {}, renamed, &recorder);
         Journal.Append(recorder.Record);
       },
       false},
      {"new directory and file",
       [&] {
         TUndoRecorder recorder("New");
         std::string title;
         bool created = false;
         NewItemStep(Destination, "fresh", nkDirectory, title, created, &recorder);
         NewItemStep(Destination, "note", nkFile, title, created, &recorder);
         Journal.Append(recorder.Record);
       },
       true},
      {"move as",
       [&] {
         TUndoRecorder recorder("Move as");
         TOverwriteDecision decision;
         bool whole = false;
         CopyAsStep(Source + "b.log", Destination, "moved.log", TCopyAsMode::Move, decision, {},
                    whole, &recorder);
         Journal.Append(recorder.Record);
       },
       false},
  };
  const auto source = Snapshot(Source);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const size_t trashed = TrashInfoCount();
    c.Act();
    ASSERT_TRUE(Snapshot(Source) != source || !Snapshot(Destination).empty()) << "no change";
    EXPECT_EQ(UndoLast(Journal), "");
    EXPECT_EQ(Snapshot(Source), source);
    EXPECT_TRUE(Snapshot(Destination).empty());
    // Copies go to the trash, never away; a restored item leaves no info file.
    if (c.RecyclesCopies)
      EXPECT_GT(TrashInfoCount(), trashed);
    else
      EXPECT_EQ(TrashInfoCount(), trashed);
    EXPECT_TRUE(Journal.Pending().empty());
    EXPECT_TRUE(Ui.Errors.empty());
  }
}

TEST_F(UndoJournalTest, MoveAcrossPartitionsAndACancelledMoveAreUndone) {
  test::TScratchMount other(Dir.Path, test::TScratchMount::Tmpfs);
  if (!other.Mounted) GTEST_SKIP() << other.SkipReason;
  const auto source = Snapshot(Source);
  // The walk across partitions: a made directory, moved files, a removed source.
  RunEngine("Move", {Source + "a.txt", Source + "sub"}, other.Path);
  ASSERT_FALSE(fs::exists(Source + "sub"));
  EXPECT_EQ(UndoLast(Journal), "");
  EXPECT_EQ(Snapshot(Source), source);
  EXPECT_TRUE(Snapshot(other.Path).empty());
  struct stat facts {};
  ASSERT_EQ(::stat((Source + "sub").c_str(), &facts), 0);
  EXPECT_EQ(facts.st_mode & 07777, 0750u);

  // Cancelled once the first file arrived: only that move is recorded.
  Host.OnPump = [&] {
    if (fs::exists(other.Path + "/a.txt")) Engine.Cancel();
  };
  RunEngine("Move", {Source + "a.txt", Source + "b.log", Source + "sub"}, other.Path);
  const std::vector<TUndoRecord> pending = Journal.Pending();
  ASSERT_EQ(pending.size(), 1u);
  ASSERT_EQ(pending[0].Steps.size(), 1u);
  EXPECT_EQ(pending[0].Steps[0].From, Source + "a.txt");
  EXPECT_EQ(UndoLast(Journal), "");
  EXPECT_EQ(Snapshot(Source), source);
}

TEST_F(UndoJournalTest, AChangedFileRefusesItsUndoAndTouchesNothing) {
  struct TCase {
    const char* Name;
    std::function<void()> Change;
    const char* Named;
    const char* Says;
  };
  const TCase cases[] = {
      {"written", [&] { test::WriteBytes(Destination + "a.txt", "alpha, longer"); }, "dst/a.txt",
       "was changed since"},
      {"replaced",
       [&] {
         // Written beside and renamed over, so the inode cannot be reused.
         test::WriteBytes(Destination + "new", "alpha");
         ::rename((Destination + "new").c_str(), (Destination + "a.txt").c_str());
       },
       "dst/a.txt", "is another file now"},
      {"gone", [&] { ::unlink((Destination + "a.txt").c_str()); }, "dst/a.txt",
       "is no longer there"},
      {"name taken", [&] { test::WriteBytes(Source + "a.txt", "new"); }, "src/a.txt",
       "is taken again"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ::unlink((Source + "a.txt").c_str());
    ::unlink((Destination + "a.txt").c_str());
    ASSERT_TRUE(test::WriteBytes(Source + "a.txt", "alpha"));
    RunEngine("Move", {Source + "b.log", Source + "a.txt"}, Destination);
    c.Change();
    const auto source = Snapshot(Source), destination = Snapshot(Destination);
    const std::string refusal = UndoLast(Journal);
    EXPECT_NE(refusal.find(c.Named), std::string::npos) << refusal;
    EXPECT_NE(refusal.find(c.Says), std::string::npos) << refusal;
    // b.log was unchanged, and stays where the move put it too.
    EXPECT_EQ(Snapshot(Source), source);
    EXPECT_EQ(Snapshot(Destination), destination);
    ASSERT_EQ(Journal.Pending().size(), 1u);
    ASSERT_EQ(::rename((Destination + "b.log").c_str(), (Source + "b.log").c_str()), 0);
    Journal.MarkUndone(Journal.Pending().front().Id, 2);
  }
}

TEST_F(UndoJournalTest, UndoAfterARestartAndEarlierOperationsInOrder) {
  const auto source = Snapshot(Source);
  RunEngine("Move", {Source + "a.txt"}, Destination);
  RunEngine("Copy", {Destination + "a.txt"}, Source);
  RunEngine("Recycle", {Source + "b.log"}, {});
  // A new journal object reads what the first one wrote.
  TUndoJournal restarted(Journal.Title());
  std::vector<TUndoRecord> pending = restarted.Pending();
  ASSERT_EQ(pending.size(), 3u);
  EXPECT_EQ(pending[0].Operation, "Recycle");
  EXPECT_EQ(pending[2].Operation, "Move");
  // The copy is undone first, then the move, in one go.
  pending.erase(pending.begin());
  EXPECT_EQ(UndoLast(restarted), "");
  EXPECT_TRUE(UndoRecords(restarted, RecordsThrough(restarted.Pending(), pending[1].Id)));
  EXPECT_EQ(Snapshot(Source), source);
  EXPECT_TRUE(Journal.Pending().empty());
}

TEST_F(UndoJournalTest, AHalfFailedMultiRenameIsUndoneExactly) {
  // A swap (a file parked under a temporary name), a chain and a plain rename;
  // a file put in the way after the swap's second step stops the run.
  for (const char* name : {"x", "y", "p", "q"})
    ASSERT_TRUE(test::WriteBytes(Source + name, name));
  const auto before = Snapshot(Source);
  const std::vector<std::string> olds = {Source + "x", Source + "y", Source + "p", Source + "q"};
  const std::vector<std::string> news = {Source + "y", Source + "x", Source + "q", Source + "r"};
  TUndoRecorder recorder("Multi-rename");
  TMultiRenameHost host;
  host.Stepped = [&](const std::string& from, const std::string& to) { recorder.Moved(from, to); };
  host.Renamed = [&](size_t index, const std::string&) {
    if (index == 1) test::WriteBytes(Source + "y", "in the way");
    return true;
  };
  TMultiRenameOutcome outcome;
  EXPECT_FALSE(MultiRenameFiles(olds, news, host, outcome));
  FunStatContext.Reset(fsPerfect);
  Journal.Append(recorder.Record);
  ASSERT_GE(recorder.Record.Steps.size(), 4u);

  // The intruder holds the swap's old title: nothing moves until it goes.
  const auto failed = Snapshot(Source);
  EXPECT_NE(UndoLast(Journal).find("src/y\" is taken again"), std::string::npos);
  EXPECT_EQ(Snapshot(Source), failed);
  ASSERT_EQ(::unlink((Source + "y").c_str()), 0);
  EXPECT_EQ(UndoLast(Journal), "");
  EXPECT_EQ(Snapshot(Source), before);
}

TEST_F(UndoJournalTest, ACutRecordIsIgnoredAndTheJournalStaysBounded) {
  for (const char* name : {"one", "two"}) {
    TUndoRecorder recorder(name);
    recorder.Created(Source + "a.txt");
    ASSERT_TRUE(Journal.Append(recorder.Record));
  }
  // A crash in the middle of the second record's write.
  const auto size = fs::file_size(Journal.Title());
  fs::resize_file(Journal.Title(), size - 7);
  TUndoJournal restarted(Journal.Title());
  ASSERT_EQ(restarted.Pending().size(), 1u);
  EXPECT_EQ(restarted.Pending()[0].Operation, "one");
  // The cut tail does not hide what is written after it.
  TUndoRecorder third("three");
  third.Created(Source + "b.log");
  ASSERT_TRUE(restarted.Append(third.Record));
  const std::vector<TUndoRecord> read = TUndoJournal(Journal.Title()).Pending();
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].Operation, "three");
  EXPECT_EQ(read[0].Steps[0].To, Source + "b.log");
  EXPECT_EQ(read[1].Operation, "one");

  // Past its limit the journal keeps its last records only.
  TUndoJournal small(Dir.Path + "/small", 2000, 3);
  for (int i = 0; i < 40; ++i) {
    TUndoRecorder recorder("op" + std::to_string(i));
    recorder.Created(Source + "a.txt");
    ASSERT_TRUE(small.Append(recorder.Record));
  }
  EXPECT_LE(fs::file_size(small.Title()), 2000u);
  const std::vector<TUndoRecord> kept = small.Pending();
  ASSERT_GE(kept.size(), 3u);
  EXPECT_EQ(kept[0].Operation, "op39");
  EXPECT_LT(kept.size(), 40u);
}

} // namespace
} // namespace cv
