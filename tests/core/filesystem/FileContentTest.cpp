// The content of files: replacing it keeps the file what it was (links,
// owner, attributes, write permission), copies keep links as links and
// holes as holes, and a copy that dies leaves nothing behind.

#include "fileops/NameCommands.h"
#include "filesystem/FileHandles.h"
#include "filesystem/FileOperations.h"
#include "filesystem/FileStreams.h"

#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <functional>
#include <sys/wait.h>
#include <thread>

namespace cv {
namespace {

using test::Entries;
using test::ReadBytes;
using test::WriteBytes;

std::string LinkText(const std::string& title) {
  char target[4096];
  const ssize_t n = ::readlink(title.c_str(), target, sizeof target);
  return n < 0 ? std::string("<not a link>") : std::string(target, static_cast<size_t>(n));
}

struct TWriter {
  const char* Name;
  std::function<bool(const std::string&, std::string_view)> Write;
};

// The two ways the main stream of a file is written.
const TWriter Writers[] = {
    {"WriteFileStream", [](const std::string& title,
                           std::string_view data) { return WriteFileStream(title, "", data); }},
    {"SaveBufferToFile",
     [](const std::string& title, std::string_view data) { return SaveBufferToFile(title, data); }},
};

class FileContentTest : public ::testing::Test {
protected:
  void SetUp() override { FunStatContext.Reset(fsPerfect); }
  void TearDown() override { FileUnitLoader.OnProgress = {}; }
  std::string At(const std::string& name) const { return Dir.Path + "/" + name; }
  test::TTempDir Dir;
};

TEST_F(FileContentTest, ContentWriteRespectsTheFileItselfForAnotherUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving files to other users needs root";
  // The directory lets anyone replace its entries; only the files' own modes stand in the way.
  const std::string d = At("d");
  ::mkdir(d.c_str(), 0777);
  ::chmod(d.c_str(), 0777);
  ::mkdir(At("handed").c_str(), 0755);
  ASSERT_TRUE(WriteBytes(d + "/readonly", "old", 0444));
  ASSERT_EQ(::chown((d + "/readonly").c_str(), test::UnprivilegedId, test::UnprivilegedId), 0);
  // Another user's file the child may write through its group.
  ASSERT_TRUE(WriteBytes(d + "/shared", "old", 0664));
  ASSERT_EQ(::chown((d + "/shared").c_str(), 0, test::UnprivilegedId), 0);
  ::chmod((d + "/shared").c_str(), 0664); // past the umask
  const std::string report = test::RunUnprivileged({At("handed")}, [&] {
    std::string failures;
    for (const TWriter& writer : Writers) {
      const std::string who = std::string(writer.Name) + ": ";
      FunStatContext.Reset(fsPerfect);
      if (writer.Write(d + "/readonly", "new")) failures += who + "wrote a read-only file; ";
      if (FunStatContext.SystemErrorCode != static_cast<uint32_t>(EACCES))
        failures += who + "code " + std::to_string(FunStatContext.SystemErrorCode) + "; ";
      if (ReadBytes(d + "/readonly") != "old") failures += who + "read-only file changed; ";
      const std::string content = std::string("new by ") + writer.Name;
      if (!writer.Write(d + "/shared", content))
        failures += who + "shared file: " + FunStatContext.GetReport() + "; ";
      struct stat st {};
      ::stat((d + "/shared").c_str(), &st);
      if (ReadBytes(d + "/shared") != content) failures += who + "shared file not written; ";
      if (st.st_uid != 0 || st.st_gid != test::UnprivilegedId || (st.st_mode & 07777) != 0664)
        failures += who + "shared file changed owner or mode; ";
    }
    if (Entries(d) != std::vector<std::string>{"readonly", "shared"})
      failures += "stray entries left; ";
    return failures;
  });
  EXPECT_EQ(report, "");
}

TEST_F(FileContentTest, ContentWriteReachesEveryHardLink) {
  for (const TWriter& writer : Writers) {
    SCOPED_TRACE(writer.Name);
    ASSERT_TRUE(WriteBytes(At("a"), "old and longer content", 0640));
    ASSERT_EQ(::link(At("a").c_str(), At("b").c_str()), 0);
    struct stat before {};
    ::stat(At("a").c_str(), &before);
    EXPECT_TRUE(writer.Write(At("a"), "new")) << FunStatContext.GetReport();
    const std::string grown(200000, 'g');
    EXPECT_TRUE(writer.Write(At("b"), grown)) << FunStatContext.GetReport();
    EXPECT_TRUE(ReadBytes(At("a")) == grown) << "the other name kept the old content";
    EXPECT_TRUE(ReadBytes(At("b")) == grown);
    struct stat after {};
    ::stat(At("b").c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(Dir.Path), (std::vector<std::string>{"a", "b"}));
    ::unlink(At("a").c_str());
    ::unlink(At("b").c_str());
  }
}

// An access ACL granting user 4242 read: the kernel's binary form.
std::string AccessAcl() {
  struct TEntry {
    uint16_t Tag, Perm;
    uint32_t Id;
  };
  const uint32_t version = 2;
  const TEntry entries[] = {
      {0x01, 6, ~0u}, {0x02, 4, 4242}, {0x04, 4, ~0u}, {0x10, 4, ~0u}, {0x20, 0, ~0u}};
  std::string value(reinterpret_cast<const char*>(&version), sizeof version);
  value.append(reinterpret_cast<const char*>(entries), sizeof entries);
  return value;
}

TEST_F(FileContentTest, ContentWriteKeepsEveryExtendedAttribute) {
  const std::string f = At("f");
  for (const TWriter& writer : Writers) {
    SCOPED_TRACE(writer.Name);
    ASSERT_TRUE(WriteBytes(f, "old", 0640));
    const std::string acl = AccessAcl();
    if (::setxattr(f.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0)
      GTEST_SKIP() << "no ACLs here: " << std::strerror(errno);
    ::setxattr(f.c_str(), "user.Description", "note", 4, 0);
    // Root may keep trusted attributes; elsewhere the row checks the others.
    ::setxattr(f.c_str(), "trusted.Mark", "mark", 4, 0);
    const std::vector<std::string> names = {"system.posix_acl_access", "user.Description",
                                            "trusted.Mark"};
    std::vector<std::string> before;
    for (const std::string& name : names)
      before.push_back(test::Attribute(f, name));
    struct stat old {};
    ::stat(f.c_str(), &old);

    EXPECT_TRUE(writer.Write(f, "new")) << FunStatContext.GetReport();
    EXPECT_EQ(ReadBytes(f), "new");
    for (size_t i = 0; i < names.size(); ++i)
      EXPECT_EQ(test::Attribute(f, names[i]), before[i]) << names[i];
    struct stat now {};
    ::stat(f.c_str(), &now);
    EXPECT_EQ(now.st_mode, old.st_mode);
    ::unlink(f.c_str());
  }
}

TEST_F(FileContentTest, CopyRecreatesSymbolicLinksWhereverTheyPoint) {
  ::mkdir(At("outside").c_str(), 0755);
  ::mkdir(At("outside/dir").c_str(), 0755);
  WriteBytes(At("outside/file"), "outside content");
  ::mkdir(At("src").c_str(), 0755);
  ::mkdir(At("dst").c_str(), 0755);
  struct TRow {
    const char* Name;
    std::string Target;
  };
  const TRow rows[] = {
      {"to-file", At("outside/file")},
      {"to-directory", At("outside/dir")},
      {"dangling", At("outside/none")},
      {"relative", "../outside/file"},
      {"loop", "loop"},
  };
  for (const TRow& row : rows) {
    const std::string from = At("src/") + row.Name, to = At("dst/") + row.Name;
    ASSERT_EQ(::symlink(row.Target.c_str(), from.c_str()), 0);
    EXPECT_TRUE(MyCopyFile(from, to, false)) << row.Name << ": " << FunStatContext.GetReport();
    EXPECT_EQ(LinkText(to), row.Target) << row.Name;
  }
  // The overwrite rules of files hold for links.
  EXPECT_FALSE(MyCopyFile(At("src/to-file"), At("dst/dangling"), false));
  EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(EEXIST));
  EXPECT_EQ(LinkText(At("dst/dangling")), At("outside/none"));
  EXPECT_TRUE(MyCopyFile(At("src/to-file"), At("dst/dangling"), true));
  EXPECT_EQ(LinkText(At("dst/dangling")), At("outside/file"));
  EXPECT_EQ(ReadBytes(At("outside/file")), "outside content");
  EXPECT_EQ(Entries(At("dst")),
            (std::vector<std::string>{"dangling", "loop", "relative", "to-directory", "to-file"}));
}

TEST_F(FileContentTest, CopyAsDialogCopiesALinkToADirectoryAsALink) {
  ::mkdir(At("dir").c_str(), 0755);
  ::mkdir(At("to").c_str(), 0755);
  ::symlink(At("dir").c_str(), At("link").c_str());
  test::TRecordingUserInterface ui;
  TOverwriteDecision decision;
  bool whole = true;
  EXPECT_EQ(CopyAsStep(At("link"), At("to"), "copy", TCopyAsMode::Copy, decision,
                       [](const TOverwriteView&) { return TOverwriteChoice::SkipThis; }, whole),
            TNameStep::Done);
  EXPECT_FALSE(whole);
  EXPECT_TRUE(ui.Errors.empty()) << ui.Errors[0].Report;
  EXPECT_EQ(LinkText(At("to/copy")), At("dir"));
}

TEST_F(FileContentTest, SparseFileStaysSparseOnCopy) {
  constexpr off_t Size = 64 << 20;
  const std::string from = At("sparse"), to = At("copy");
  {
    const int fd = ::open(from.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, Size), 0);
    const std::string a(4096, 'a'), b(4096, 'b');
    ASSERT_EQ(::pwrite(fd, a.data(), a.size(), 1 << 20), 4096);
    ASSERT_EQ(::pwrite(fd, b.data(), b.size(), 40 << 20), 4096);
    ::close(fd);
  }
  struct stat st {};
  ::stat(from.c_str(), &st);
  if (st.st_blocks * 512 > (1 << 20)) GTEST_SKIP() << "this file system keeps no holes";
  std::vector<double> progress;
  FileUnitLoader.OnProgress = [&](double done) {
    progress.push_back(done);
    return true;
  };
  EXPECT_TRUE(MyCopyFile(from, to, false)) << FunStatContext.GetReport();
  ::stat(to.c_str(), &st);
  EXPECT_EQ(st.st_size, Size);
  EXPECT_LT(st.st_blocks * 512, 1 << 20);
  EXPECT_TRUE(ReadBytes(to) == ReadBytes(from)) << "content differs";
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 1.0);
}

TEST_F(FileContentTest, CopyKilledMidwayLeavesNothingBehind) {
  std::string data(32 << 20, '\0');
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<char>(i * 13 + i / 4096);
  ASSERT_TRUE(WriteBytes(At("big"), data));
  ::mkdir(At("out").c_str(), 0755);
  for (const bool overwrite : {false, true}) {
    SCOPED_TRACE(overwrite ? "over an old file" : "to a new name");
    if (overwrite) WriteBytes(At("out/big"), "old");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      FileUnitLoader.OnProgress = [](double done) {
        if (done >= 0.25) ::raise(SIGKILL);
        return true;
      };
      MyCopyFile(At("big"), At("out/big"), overwrite);
      ::_exit(0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the copy was not killed";
    EXPECT_EQ(Entries(At("out")),
              overwrite ? std::vector<std::string>{"big"} : std::vector<std::string>{});
    if (overwrite) {
      EXPECT_EQ(ReadBytes(At("out/big")), "old");
    }
  }
}

TEST_F(FileContentTest, StaleTemporariesOfOursAreRemoved) {
  const std::string d = At("d");
  ::mkdir(d.c_str(), 0755);
  WriteBytes(d + "/.cv-copy-stale001", "left by a killed copy");
  // Another user's, where files can be given away.
  const bool root = ::geteuid() == 0;
  if (root) {
    WriteBytes(d + "/.cv-copy-theirs01", "another user's");
    ::chown((d + "/.cv-copy-theirs01").c_str(), test::UnprivilegedId, test::UnprivilegedId);
  }
  ::mkdir((d + "/.cv-copy-folder01").c_str(), 0755);
  ::symlink("nowhere", (d + "/.cv-copy-linked01").c_str());
  WriteBytes(d + "/.cv-copy-short", "not our pattern");
  WriteBytes(d + "/.cv-copy-stale001.txt", "not our pattern");
  WriteBytes(d + "/notes", "the user's");
  // What was there before this second is stale; the copy in progress after it is not.
  const time_t cutoff = std::time(nullptr) + 1;
  while (std::time(nullptr) < cutoff)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  WriteBytes(d + "/.cv-copy-fresh001", "a copy in progress");
  const int directory = ::open(d.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(directory, 0);
  RemoveStaleTemporaries(directory, cutoff);
  ::close(directory);
  std::vector<std::string> kept = {".cv-copy-folder01",     ".cv-copy-fresh001",
                                   ".cv-copy-linked01",     ".cv-copy-short",
                                   ".cv-copy-stale001.txt", "notes"};
  if (root) kept.insert(kept.begin() + 5, ".cv-copy-theirs01");
  EXPECT_EQ(Entries(d), kept);
}

} // namespace
} // namespace cv
