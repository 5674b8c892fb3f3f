#include "columns/GoToPath.h"

#include "TestSupport.h"
#include "filesystem/File.h"
#include "foundation/Program.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace cv {
namespace {

namespace fs = std::filesystem;
using test::TTempDir;

class GoToPathTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* dir : {"sub", "a b", "a b/\xff", "usr", "usb", ".hidden"})
      ASSERT_EQ(::mkdir((Root.Path + "/" + dir).c_str(), 0755), 0) << dir;
    std::ofstream(Root.Path + "/sub/notes.txt") << "x";
    std::ofstream(Root.Path + "/user.txt") << "x";
    ASSERT_EQ(::symlink("usr", (Root.Path + "/to-usr").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (Root.Path + "/sub/broken").c_str()), 0);
  }
  TTempDir Root;
};

TEST_F(GoToPathTest, TypedPathsNameTheirDirectoryAndFile) {
  const std::string home = ExcludeDelimiter(HomePath());
  std::string rootHome;
  if (const passwd* root = ::getpwnam("root")) rootHome = root->pw_dir;
  struct TCase {
    std::string Typed, Base, Directory, File;
  };
  const std::string r = Root.Path;
  const std::vector<TCase> cases = {
      {"~", "/", home, ""},
      {"~/", "/", home, ""},
      {"~root/", "/", rootHome, ""},
      {"sub", r, r + "/sub", ""},
      {"sub///", r, r + "/sub", ""},
      {"./sub/../usr/", r, r + "/usr", ""},
      {"..", r + "/sub/", r, ""},
      {"/", r, ":/", ""},
      {"/..", r, ":/", ""},
      {"sub/notes.txt", r, r + "/sub", "notes.txt"},
      {r + "/sub/broken", "/", r + "/sub", "broken"},
      {"to-usr", r, r + "/to-usr", ""},
      {"file://" + r + "/a%20b/%FF", "/", r + "/a b/\xff", ""},
      {"FILE://localhost" + r + "/sub/notes.txt", "/", r + "/sub", "notes.txt"},
  };
  for (const TCase& c : cases) {
    if (c.Directory.empty()) continue; // no root user in this system's database
    const TTypedPath path = ResolveTypedPath(c.Typed, c.Base);
    EXPECT_FALSE(path.Status.Failed()) << c.Typed << ": " << TypedPathMessage(path.Status);
    EXPECT_EQ(path.Directory, c.Directory) << c.Typed;
    EXPECT_EQ(path.FileName, c.File) << c.Typed;
  }
}

TEST_F(GoToPathTest, PathsThatNameNothingSayWhyInOneLine) {
  const std::string r = Root.Path;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"missing/x", r + "/missing/x: No such file or directory"},
      {"sub/notes.txt/x", r + "/sub/notes.txt/x: Not a directory"},
      {"~nosuchuser-cv/x", "nosuchuser-cv: No such user."},
      {"file://elsewhere/tmp", "file://elsewhere/tmp: Not an address of a local file."},
      {"file:///a%zzb", "file:///a%zzb: Not an address of a local file."},
      {"", "Type a path."},
  };
  for (const auto& [typed, message] : cases) {
    const TTypedPath path = ResolveTypedPath(typed, r);
    EXPECT_FALSE(path.Found()) << typed;
    EXPECT_TRUE(path.Status.Failed()) << typed;
    EXPECT_EQ(TypedPathMessage(path.Status), message) << typed;
  }
}

TEST_F(GoToPathTest, PathsLongerThanTheKernelTakesAreFoundAndListed) {
  // Twenty levels of 250-byte names: more than 4096 bytes in all.
  std::string path = Root.Path;
  const std::string name(250, 'd');
  int fd = ::open(Root.Path.c_str(), O_PATH | O_DIRECTORY);
  for (int level = 0; level < 20; ++level) {
    ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
    const int next = ::openat(fd, name.c_str(), O_PATH | O_DIRECTORY);
    ::close(fd);
    fd = next;
    path += "/" + name;
  }
  ASSERT_EQ(::mkdirat(fd, "inner", 0755), 0);
  ::close(fd);
  ASSERT_GT(path.size(), 4096u);

  const TTypedPath found = ResolveTypedPath(path + "/", "/");
  EXPECT_FALSE(found.Status.Failed()) << TypedPathMessage(found.Status);
  EXPECT_EQ(found.Directory, path);
  const TCompletionListing listing = ListCompletionNames(path + "/", "/");
  EXPECT_FALSE(listing.Status.Failed()) << TypedPathMessage(listing.Status);
  EXPECT_EQ(listing.Names, std::vector<std::string>{"inner"});
}

TEST_F(GoToPathTest, CompletionListsDirectoriesAndLinksToThemAsBytes) {
  const TCompletionListing listing = ListCompletionNames(Root.Path + "/", "/");
  EXPECT_FALSE(listing.Status.Failed());
  EXPECT_EQ(listing.Directory, Root.Path + "/");
  EXPECT_EQ(listing.Names,
            (std::vector<std::string>{".hidden", "a b", "sub", "to-usr", "usb", "usr"}));
  // The directory part is expanded as a typed path: relative, file address.
  EXPECT_EQ(ListCompletionNames("file://" + Root.Path + "/a%20b/", "/").Names,
            std::vector<std::string>{"\xff"});
  EXPECT_EQ(ListCompletionNames("", Root.Path + "/a b").Names, std::vector<std::string>{"\xff"});
  const TCompletionListing missing = ListCompletionNames("nope/", Root.Path);
  EXPECT_EQ(TypedPathMessage(missing.Status), Root.Path + "/nope/: No such file or directory");
}

TEST(GoToPathCompletion, CandidatesAndTheirCommonPrefix) {
  const std::vector<std::string> names = {
      ".hidden", "Music", "usb", "usr", "u\xff", "\xc3\xa9t\xc3\xa9", "\xc3\xa9" "cole", "\xc3\xa8re"};
  struct TCase {
    std::string Prefix;
    std::vector<std::string> Candidates;
    std::string Common;
  };
  const std::vector<TCase> cases = {
      {"us", {"usb", "usr"}, "us"},
      {"usr", {"usr"}, "usr"},
      {"US", {"usb", "usr"}, "us"}, // no exact match: ASCII case ignored
      {"mu", {"Music"}, "Music"},
      {".", {".hidden"}, ".hidden"},
      {"u\xff", {"u\xff"}, "u\xff"}, // stray bytes compare as bytes
      {"\xc3\xa9",
       {"\xc3\xa9"
        "cole",
        "\xc3\xa9t\xc3\xa9"},
       "\xc3\xa9"},
      {"\xc3",
       {"\xc3\xa8re",
        "\xc3\xa9"
        "cole",
        "\xc3\xa9t\xc3\xa9"},
       ""}, // never half a character
      {"x", {}, ""},
  };
  for (const TCase& c : cases) {
    const std::vector<std::string> found = CompletionCandidates(names, c.Prefix);
    EXPECT_EQ(found, c.Candidates) << c.Prefix;
    EXPECT_EQ(CommonNamePrefix(found), c.Common) << c.Prefix;
  }
  EXPECT_EQ(CompletionCandidates(names, "").size(), 7u) << "hidden names only for a \".\"";

  const std::vector<std::pair<std::string, TCompletionSplit>> splits = {
      {"/us", {"/", "us"}}, {"~", {"", "~"}}, {"a/b/", {"a/b/", ""}}, {"sub", {"", "sub"}}};
  for (const auto& [typed, split] : splits) {
    EXPECT_EQ(SplitForCompletion(typed).DirectoryPart, split.DirectoryPart) << typed;
    EXPECT_EQ(SplitForCompletion(typed).NamePrefix, split.NamePrefix) << typed;
  }
}

TEST(GoToPathBytes, EditsKeepTheBytesOfTheUntouchedParts) {
  const QChar lost(QChar::ReplacementCharacter);
  struct TCase {
    QString Text; // the box's text after the edit of "/a/\xff/b"
    std::string Bytes;
    bool Broken;
  };
  const QString shown = QStringLiteral("/a/") + lost + QStringLiteral("/b");
  const std::vector<TCase> cases = {
      {shown + "c", "/a/\xff/bc", false},                             // typed after it
      {"/x" + shown.mid(2), "/x/\xff/b", false},                      // typed before it
      {"/a/", "/a/", false},                                          // cut off
      {QStringLiteral("/a/z/b"), "/a/z/b", false},                    // replaced
      {QStringLiteral("/q/") + lost + "/", "/q/\xef\xbf\xbd/", true}, // its byte cannot come back
  };
  for (const TCase& c : cases) {
    TTypedBytes box;
    box.Set("/a/\xff/b");
    EXPECT_EQ(box.Shown(), shown);
    box.Edited(c.Text);
    EXPECT_EQ(box.Bytes(), c.Bytes) << c.Text.toStdString();
    EXPECT_EQ(box.Broken(), c.Broken) << c.Text.toStdString();
    EXPECT_EQ(box.Shown(), c.Text);
  }
  // A character outside the basic plane is two QChars and stays whole.
  TTypedBytes wide;
  wide.Set("/\xf0\x9f\x98\x80\xfe");
  wide.Edited(wide.Shown() + "/");
  EXPECT_EQ(wide.Bytes(), "/\xf0\x9f\x98\x80\xfe/");
}

} // namespace
} // namespace cv
