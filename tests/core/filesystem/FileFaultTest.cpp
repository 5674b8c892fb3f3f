// Faults of the copy and move primitives: each row sets up one bad day and
// checks that nothing was lost, no temporary file stayed behind and the
// failure carries the operation's message with the system's reason.

#include "filesystem/File.h"
#include "filesystem/FileOperations.h"

#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <memory>
#include <sys/resource.h>

namespace cv {
namespace {

using test::ReadBytes;
using test::TScratchMount;
using test::WriteBytes;

constexpr int Cancelled = -1;

struct TScene {
  std::string Root;
  std::string Source, Destination;
  std::string SourceContent;
  std::string OldDestination = "<missing>";
  std::map<std::string, std::string> Streams; // expected on the surviving file
  std::function<bool(double)> Progress;
  std::function<void()> InChild;
  std::vector<std::string> HandedToChild;
  std::vector<std::unique_ptr<TScratchMount>> Mounts;
  std::unique_ptr<test::TDeepDirectory> Deep;
  std::string Skip;

  std::string Mount(TScratchMount::TKind kind, const std::string& size = "1m") {
    Mounts.push_back(std::make_unique<TScratchMount>(Root, kind, size));
    if (!Mounts.back()->Mounted && Skip.empty()) Skip = Mounts.back()->SkipReason;
    return Mounts.back()->Path;
  }
  void MakeSource(const std::string& title, const std::string& content) {
    Source = title;
    SourceContent = content;
    ASSERT_TRUE(WriteBytes(title, content)) << title;
  }
};

struct TFaultRow {
  const char* Name;
  bool Move;
  bool Overwrite;
  bool Unprivileged;
  std::function<void(TScene&)> Setup;
  int Code;                 // 0: succeeds, Cancelled: stops without failure
  bool DropStreams = false; // the user agreed to lose the streams
};

std::string Megabytes(size_t count) {
  std::string data(count << 20, '\0');
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<char>(i * 7 + i / 4096);
  return data;
}

std::string Check(bool condition, const std::string& what) {
  return condition ? "" : what + "; ";
}

// Runs the row's operation and checks its outcome; "" when all is well.
std::string Act(const TFaultRow& row, TScene& scene) {
  if (scene.InChild) scene.InChild();
  FunStatContext.Reset(fsPerfect);
  FileUnitLoader.OnProgress = scene.Progress;
  const bool done =
      row.Move ? MyMoveFile(scene.Source, scene.Destination, row.Overwrite, row.DropStreams)
               : MyCopyFile(scene.Source, scene.Destination, row.Overwrite, false, row.DropStreams);
  FileUnitLoader.OnProgress = {};
  const TFunStatContext outcome = FunStatContext;
  std::string report;
  if (row.Code == 0) {
    report += Check(done && !outcome.Failed(), "failed: " + outcome.GetReport());
    report += Check(ReadBytes(scene.Destination) == scene.SourceContent, "destination differs");
    report += Check(ReadBytes(scene.Source) == (row.Move ? "<missing>" : scene.SourceContent),
                    "source is not as it should be");
  } else {
    report += Check(!done, "reported success");
    if (row.Code == Cancelled) {
      report += Check(!outcome.Failed(), "a cancel raised " + outcome.Description);
    } else {
      const char* message = row.Move ? "Failed to move file." : "Failed to copy file.";
      report += Check(outcome.Status == fsError && outcome.Description == message,
                      "message was \"" + outcome.Description + "\"");
      report += Check(outcome.SystemErrorCode == static_cast<uint32_t>(row.Code),
                      "code " + std::to_string(outcome.SystemErrorCode) + " instead of " +
                          std::to_string(row.Code));
    }
    report += Check(ReadBytes(scene.Source) == scene.SourceContent, "source was touched");
    report +=
        Check(ReadBytes(scene.Destination) == scene.OldDestination, "destination was touched");
  }
  const std::string survivor = row.Code == 0 ? scene.Destination : scene.Source;
  for (const auto& [name, value] : scene.Streams)
    report += Check(test::Attribute(survivor, name) == value, "stream " + name + " lost");
  for (const std::string& name : test::Entries(GetTitlePath(scene.Destination)))
    report += Check(!name.starts_with(".cv-copy-"), "temporary file " + name + " left behind");
  return report;
}

const std::vector<TFaultRow>& FaultRows() {
  static const std::vector<TFaultRow> rows = {
      {"DiskFull", false, true, false,
       [](TScene& s) {
         const std::string full = s.Mount(TScratchMount::Tmpfs, "1m");
         if (!s.Skip.empty()) return;
         s.MakeSource(s.Root + "/big", Megabytes(2));
         s.Destination = full + "/big";
         s.OldDestination = "old";
         WriteBytes(s.Destination, "old");
       },
       ENOSPC},
      {"WriteFailsHalfWay", false, true, true,
       [](TScene& s) {
         s.MakeSource(s.Root + "/in/big", Megabytes(1));
         s.Destination = s.Root + "/out/big";
         s.OldDestination = "old";
         WriteBytes(s.Destination, "old");
         s.InChild = [] {
           std::signal(SIGXFSZ, SIG_IGN);
           const rlimit limit{256 << 10, 256 << 10};
           ::setrlimit(RLIMIT_FSIZE, &limit);
         };
       },
       EFBIG},
      {"CancelAtHalf", false, true, false,
       [](TScene& s) {
         s.MakeSource(s.Root + "/in/big", Megabytes(32));
         s.Destination = s.Root + "/out/big";
         s.OldDestination = "old";
         WriteBytes(s.Destination, "old");
         s.Progress = [](double done) { return done < 0.5; };
       },
       Cancelled},
      {"SourceVanished", false, false, false,
       [](TScene& s) {
         s.MakeSource(s.Root + "/in/gone", "data");
         ::unlink(s.Source.c_str());
         s.SourceContent = "<missing>";
         s.Destination = s.Root + "/out/gone";
       },
       ENOENT},
      {"DestinationAppearsMeanwhile", false, false, false,
       [](TScene& s) {
         s.MakeSource(s.Root + "/in/a", "ours");
         s.Destination = s.Root + "/out/a";
         s.OldDestination = "theirs";
         s.Progress = [destination = s.Destination](double) {
           WriteBytes(destination, "theirs");
           return true;
         };
       },
       EEXIST},
      {"SameInodeThroughLinkedDirectory", false, true, false,
       [](TScene& s) {
         s.MakeSource(s.Root + "/in/a", "only copy");
         ::symlink((s.Root + "/in").c_str(), (s.Root + "/out/linked").c_str());
         s.Destination = s.Root + "/out/linked/a";
         s.OldDestination = "only copy";
       },
       EINVAL},
      {"MoveOntoSameInode", true, true, false,
       [](TScene& s) {
         s.MakeSource(s.Root + "/in/a", "only copy");
         s.Destination = s.Root + "/out/hard";
         ::link(s.Source.c_str(), s.Destination.c_str());
         s.OldDestination = "only copy";
       },
       EINVAL},
      // A link is copied as a link, a loop as well as any other.
      {"SymbolicLinkLoop", false, true, false,
       [](TScene& s) {
         s.Source = s.Root + "/in/loop";
         ::symlink((s.Root + "/in/loop2").c_str(), s.Source.c_str());
         ::symlink(s.Source.c_str(), (s.Root + "/in/loop2").c_str());
         s.SourceContent = "<missing>";
         s.Destination = s.Root + "/out/loop";
       },
       0},
      {"DanglingLinkAsDestination", false, false, false,
       [](TScene& s) {
         s.MakeSource(s.Root + "/in/a", "data");
         s.Destination = s.Root + "/out/dangling";
         ::symlink((s.Root + "/out/nowhere").c_str(), s.Destination.c_str());
       },
       EEXIST},
      {"NamesThatAreNotUtf8", false, false, false,
       [](TScene& s) {
         s.MakeSource(s.Root + "/in/\xff\xfe name", "bytes");
         s.Destination = s.Root + "/out/\xfe\xff\x80";
         s.Streams = {{"user.Description", "kept"}};
         ::setxattr(s.Source.c_str(), "user.Description", "kept", 4, 0);
       },
       0},
      {"LongestNameInLongestPath", false, false, false,
       [](TScene& s) {
         const std::string name(255, 'n');
         const std::string base = s.Root + "/out";
         s.Deep = std::make_unique<test::TDeepDirectory>(
             base, test::TDeepDirectory::ComponentsToLength(base.size(), 4096 - 256));
         ASSERT_TRUE(s.Deep->Built());
         s.MakeSource(s.Root + "/in/" + name, "deep");
         s.Destination = s.Deep->Title + "/" + name;
         ASSERT_GE(s.Destination.size(), 4096u);
       },
       0},
      {"StreamTooLargeForExt4", false, false, false,
       [](TScene& s) {
         const std::string from = s.Mount(TScratchMount::Tmpfs, "4m");
         const std::string to = s.Mount(TScratchMount::Ext4Image);
         if (!s.Skip.empty()) return;
         s.MakeSource(from + "/a", "data");
         const std::string big(8000, 's');
         if (::setxattr(s.Source.c_str(), "user.Big", big.data(), big.size(), 0) != 0)
           s.Skip = "this tmpfs keeps no large user attributes";
         s.Streams = {{"user.Big", big}};
         s.Destination = to + "/a";
       },
       ENOSPC},
      // Asked first: the streams cannot come along, and the user has not agreed.
      {"DestinationWithoutUserAttributesUnconfirmed", false, false, false,
       [](TScene& s) {
         const std::string to = s.Mount(TScratchMount::Ramfs);
         if (!s.Skip.empty()) return;
         s.MakeSource(s.Root + "/in/a", "data");
         ::setxattr(s.Source.c_str(), "user.Description", "note", 4, 0);
         s.Streams = {{"user.Description", "note"}};
         s.Destination = to + "/a";
       },
       ENOTSUP},
      {"DestinationWithoutUserAttributes", false, false, false,
       [](TScene& s) {
         const std::string to = s.Mount(TScratchMount::Ramfs);
         if (!s.Skip.empty()) return;
         s.MakeSource(s.Root + "/in/a", "data");
         ::setxattr(s.Source.c_str(), "user.xdg.origin.url", "https://example.org/a", 21, 0);
         s.Streams = {{"user.xdg.origin.url", "<none>"}};
         s.Destination = to + "/a";
       },
       0, true},
      {"CrossDeviceMoveWithoutUserAttributes", true, false, false,
       [](TScene& s) {
         const std::string to = s.Mount(TScratchMount::Ramfs);
         if (!s.Skip.empty()) return;
         s.MakeSource(s.Root + "/in/a", Megabytes(1));
         ::setxattr(s.Source.c_str(), "user.xdg.origin.url", "https://example.org/a", 21, 0);
         s.Streams = {{"user.xdg.origin.url", "<none>"}};
         s.Destination = to + "/a";
       },
       0, true},
      {"CrossDeviceMoveKeepsStreams", true, false, false,
       [](TScene& s) {
         const std::string from = s.Mount(TScratchMount::Tmpfs, "4m");
         const std::string to = s.Mount(TScratchMount::Ext4Image);
         if (!s.Skip.empty()) return;
         s.MakeSource(from + "/a", Megabytes(1));
         ::setxattr(s.Source.c_str(), "user.Description", "note", 4, 0);
         s.Streams = {{"user.Description", "note"}};
         s.Destination = to + "/a";
       },
       0},
      {"FifoAsSource", false, false, false,
       [](TScene& s) {
         s.Source = s.Root + "/in/fifo";
         ::mkfifo(s.Source.c_str(), 0644);
         s.SourceContent = "";
         s.Destination = s.Root + "/out/fifo";
       },
       ENOTSUP},
      {"SourceNotReadable", false, false, true,
       [](TScene& s) {
         s.MakeSource(s.Root + "/in/secret", "secret");
         ::chmod(s.Source.c_str(), 0);
         s.SourceContent = "<missing>"; // the child cannot read it either
         s.Destination = s.Root + "/out/secret";
       },
       EACCES},
      {"DestinationDirectoryNotWritable", true, false, true,
       [](TScene& s) {
         s.MakeSource(s.Root + "/in/a", "data");
         s.Destination = s.Root + "/out/a";
         s.InChild = [out = s.Root + "/out"] { ::chmod(out.c_str(), 0555); };
       },
       EACCES},
      {"DestinationOnReadOnlyMount", false, true, false,
       [](TScene& s) {
         const std::string to = s.Mount(TScratchMount::Tmpfs);
         if (!s.Skip.empty()) return;
         s.MakeSource(s.Root + "/in/a", "data");
         s.Destination = to + "/a";
         s.OldDestination = "old";
         WriteBytes(s.Destination, "old");
         if (!s.Mounts.back()->MakeReadOnly()) s.Skip = "cannot remount read-only";
       },
       EROFS},
  };
  return rows;
}

class FileFaultTest : public ::testing::TestWithParam<TFaultRow> {
protected:
  test::TTempDir Dir;
};

TEST_P(FileFaultTest, NothingIsLostAndTheFailureSaysWhy) {
  const TFaultRow& row = GetParam();
  TScene scene;
  scene.Root = Dir.Path;
  ::mkdir((Dir.Path + "/in").c_str(), 0755);
  ::mkdir((Dir.Path + "/out").c_str(), 0755);
  row.Setup(scene);
  if (HasFatalFailure()) return;
  if (!scene.Skip.empty()) GTEST_SKIP() << scene.Skip;
  const std::string report = row.Unprivileged
                                 ? test::RunUnprivileged({Dir.Path + "/in", Dir.Path + "/out"},
                                                         [&] { return Act(row, scene); })
                                 : Act(row, scene);
  EXPECT_EQ(report, "");
}

INSTANTIATE_TEST_SUITE_P(Rows, FileFaultTest, ::testing::ValuesIn(FaultRows()),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace cv
