#include "filesystem/Links.h"

#include "filesystem/File.h"
#include "foundation/Program.h"

#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace cv {
namespace {

using test::ReadBytes;
using test::WriteBytes;

class LinksTest : public ::testing::Test {
protected:
  void SetUp() override { FunStatContext.Reset(fsPerfect); }
  std::string At(const std::string& name) const { return Dir.Path + "/" + name; }
  // "" when the validator accepts the entry or is not installed.
  static std::string Validate(const std::string& title) {
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") != 0) return {};
    const std::string command = "desktop-file-validate '" + title + "' 2>&1";
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
      char buffer[512];
      while (const size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
      if (::pclose(pipe) != 0 && output.empty()) output = "validator failed";
    }
    return output;
  }
  test::TTempDir Dir;
};

TEST_F(LinksTest, ExecQuotingRoundTrips) {
  struct TRow {
    std::string Argument, Quoted;
  };
  const TRow rows[] = {
      {"/usr/bin/prog", "\"/usr/bin/prog\""},
      {"/a b/c", "\"/a b/c\""},
      {"/x\"y", "\"/x\\\"y\""},
      {"/$HOME/`cmd`", "\"/\\$HOME/\\`cmd\\`\""},
      {"/back\\slash", "\"/back\\\\slash\""},
      {"/100%", "\"/100%%\""},
      {"/d\xc3\xa9j\xc3\xa0", "\"/d\xc3\xa9j\xc3\xa0\""},
  };
  for (const TRow& row : rows) {
    EXPECT_EQ(QuoteExecArgument(row.Argument), row.Quoted);
    std::string program, arguments;
    ASSERT_TRUE(SplitExec(row.Quoted + " --x 50%% %f", program, arguments));
    EXPECT_EQ(program, row.Argument);
    EXPECT_EQ(arguments, "--x 50%");
  }
  std::string program, arguments;
  EXPECT_FALSE(SplitExec("\"/unterminated", program, arguments));
  ASSERT_TRUE(SplitExec("plain %%u", program, arguments));
  EXPECT_EQ(program, "plain");
  EXPECT_EQ(arguments, "%u");
}

TEST_F(LinksTest, FieldCodesGoButAPercentFromADoubledOneStays) {
  const std::pair<const char*, const char*> rows[] = {
      {"prog %U", ""},
      {"prog --in %f --out=%d %m", "--in  --out="},
      {"prog %%f %%%U 100%%", "%f % 100%"},
      {"prog %%n%% \"%%t%%\"", "%n% \"%t%\""},
  };
  for (const auto& [exec, expected] : rows) {
    std::string program, arguments;
    ASSERT_TRUE(SplitExec(exec, program, arguments)) << exec;
    EXPECT_EQ(arguments, expected) << exec;
  }
}

TEST_F(LinksTest, FileUrlsArePercentEncoded) {
  struct TRow {
    std::string Title, Url;
  };
  const TRow rows[] = {
      {"/home/ann/a.txt", "file:///home/ann/a.txt"},
      {"/a b/100%", "file:///a%20b/100%25"},
      {"/\xff\xfe#?", "file:///%FF%FE%23%3F"},
      {"/d\xc3\xa9", "file:///d%C3%A9"},
  };
  for (const TRow& row : rows) {
    EXPECT_EQ(FileUrlFromTitle(row.Title), row.Url);
    EXPECT_EQ(TitleFromFileUrl(row.Url), row.Title);
  }
  EXPECT_EQ(TitleFromFileUrl("file://localhost/etc"), "/etc");
  // Other programs' entries may carry a query or a fragment: they name no file.
  const std::pair<const char*, const char*> decorated[] = {
      {"file:///a/b.txt#page=2", "/a/b.txt"},
      {"file:///a/b?x=1#y", "/a/b"},
      {"file:///a/%23b%3F", "/a/#b?"},
  };
  for (const auto& [url, title] : decorated)
    EXPECT_EQ(TitleFromFileUrl(url), title) << url;
  for (const char* broken : {"http://host/x", "file:///a%2", "file:///a%zz", "file:///%00"})
    EXPECT_EQ(TitleFromFileUrl(broken), "") << broken;
  EXPECT_EQ(TitleFromFileUrl(std::string_view("file:///a\0b", 11)), ""); // never "/a" to a caller
}

TEST_F(LinksTest, LinksRoundTripAndValidate) {
  ::mkdir(At("dir with space").c_str(), 0755);
  WriteBytes(At("doc 100%.txt"), "text");
  WriteBytes(At("prog"), "#!/bin/sh\n", 0755);
  struct TRow {
    const char* Link;
    std::string Reference, Arguments, Description, Type;
  };
  const TRow rows[] = {
      {"dir.desktop", At("dir with space"), "", "a directory", "Type=Link"},
      {"doc.desktop", At("doc 100%.txt"), "", "", "Type=Link"},
      {"prog.desktop", At("prog"), "", "runs", "Type=Application"},
      {"args.desktop", At("doc 100%.txt"), "--view \"x y\" 5%", "", "Type=Application"},
  };
  for (const TRow& row : rows) {
    TLinkFile link;
    link.Reference = row.Reference;
    link.Arguments = row.Arguments;
    link.Description = row.Description;
    link.WorkingPath = Dir.Path + "/";
    link.IconPath = "/usr/share/icons/x.png";
    link.HotKey = 0x241;
    link.ShowCommand = ShowMaximized;
    ASSERT_TRUE(link.Save(At(row.Link), true)) << FunStatContext.GetReport();
    const std::string text = ReadBytes(At(row.Link));
    EXPECT_NE(text.find(row.Type + "\n"), std::string::npos) << text;
    EXPECT_EQ(Validate(At(row.Link)), "") << text;
    struct stat st {};
    ::stat(At(row.Link).c_str(), &st);
    EXPECT_TRUE(st.st_mode & S_IXUSR);

    TLinkFile loaded;
    ASSERT_TRUE(loaded.Load(At(row.Link), false)) << FunStatContext.GetReport();
    EXPECT_EQ(loaded.Reference, row.Reference);
    EXPECT_EQ(loaded.Arguments, row.Arguments);
    EXPECT_EQ(loaded.Description, row.Description);
    EXPECT_EQ(loaded.IconPath, "/usr/share/icons/x.png");
    EXPECT_EQ(loaded.HotKey, 0x241);
    EXPECT_EQ(loaded.ShowCommand, ShowMaximized);
    EXPECT_TRUE(loaded.ReferenceValid);
    EXPECT_EQ(loaded.ReferenceIsDirectory(), row.Type == "Type=Link" && row.Description != "");
  }
}

TEST_F(LinksTest, ALinkToANameThatIsNotUtf8StillValidates) {
  // Neither the reference's name nor the link's own is UTF-8.
  WriteBytes(At("caf\xe9.txt"), "text");
  ASSERT_TRUE(CopyFileAsLink(At("caf\xe9.txt"), At("caf\xe9.desktop"), false, false, false, ""));
  const std::string text = ReadBytes(At("caf\xe9.desktop"));
  EXPECT_NE(text.find("Name=caf\xef\xbf\xbd.txt\n"), std::string::npos) << text;
  EXPECT_EQ(Validate(At("caf\xe9.desktop")), "") << text;
  TLinkFile link;
  ASSERT_TRUE(link.Load(At("caf\xe9.desktop"), false));
  EXPECT_EQ(link.Reference, At("caf\xe9.txt"));
}

TEST_F(LinksTest, SavingKeepsCommentsAndUnknownKeys) {
  WriteBytes(At("own.desktop"), "# mine\n[Desktop Entry]\nType=Link\nName=Mine\nURL=file:///etc\n"
                                "X-Other=kept\n\n[Extra]\nKey=value\n");
  TLinkFile link;
  ASSERT_TRUE(link.Load(At("own.desktop"), false));
  link.Description = "changed";
  ASSERT_TRUE(link.Save(At("own.desktop"), true));
  const std::string text = ReadBytes(At("own.desktop"));
  for (const char* kept :
       {"# mine", "Name=Mine", "X-Other=kept", "[Extra]", "Key=value", "Comment=changed"})
    EXPECT_NE(text.find(kept), std::string::npos) << kept << " in\n" << text;
}

TEST_F(LinksTest, ARelativeProgramPathIsReadAsAPathAndSavedSo) {
  WriteBytes(At("odd.desktop"), "[Desktop Entry]\nType=Application\nExec=:/x/prog\n");
  TLinkFile link;
  ASSERT_TRUE(link.Load(At("odd.desktop"), false));
  EXPECT_EQ(link.Reference, TProgram::CurrentDirectory() + "/:/x/prog");
  ASSERT_TRUE(link.Save(At("copy.desktop"), true));
  TLinkFile again;
  ASSERT_TRUE(again.Load(At("copy.desktop"), false));
  EXPECT_EQ(again.Reference, link.Reference);
}

TEST_F(LinksTest, LoadRefusesWhatIsNoLink) {
  WriteBytes(At("a.txt"), "text");
  WriteBytes(At("self.desktop"), "[Desktop Entry]\nType=Link\nName=x\nURL=" +
                                     FileUrlFromTitle(At("self.desktop")) + "\n");
  WriteBytes(At("empty.desktop"), "[Desktop Entry]\nType=Link\nName=x\n");
  WriteBytes(At("broken.desktop"), "not a key file");
  struct TRow {
    const char* Name;
    const char* Message;
  };
  const TRow rows[] = {
      {"a.txt", "File is not a link."},
      {"self.desktop", "This file is most probably a virus because it links to itself."},
      {"empty.desktop", "Empty reference path."},
      {"broken.desktop", "Failed to load link file."},
      {"missing.desktop", "Failed to load link file."},
  };
  for (const TRow& row : rows) {
    TLinkFile link;
    link.Description = "stale";
    EXPECT_FALSE(link.Load(At(row.Name), false));
    EXPECT_EQ(FunStatContext.Description, row.Message) << row.Name;
    EXPECT_EQ(link.Reference, "");
    EXPECT_EQ(link.Description, "");
  }
}

TEST_F(LinksTest, ChainedLinksAndKeptLinks) {
  WriteBytes(At("a.txt"), "a");
  ASSERT_TRUE(CopyFileAsLink(At("a.txt"), At("a.desktop"), false, false, false, ""));
  TLinkFile link;
  ASSERT_TRUE(link.Load(At("a.desktop"), false));
  EXPECT_EQ(link.ShowCommand, ShowNormal);

  EXPECT_FALSE(CopyFileAsLink(At("a.desktop"), At("b.desktop"), true, false, false, ""));
  EXPECT_EQ(FunStatContext.Description, "This operating system does not support chained links.");
  EXPECT_FALSE(TitleExists(At("b.desktop")));

  const std::string before = ReadBytes(At("a.desktop"));
  WriteBytes(At("other.txt"), "o");
  EXPECT_TRUE(CopyFileAsLink(At("other.txt"), At("a.desktop"), false, true, false, ""));
  EXPECT_EQ(ReadBytes(At("a.desktop")), before);
}

TEST_F(LinksTest, WhenReferenceFollowsLinksAndSymbolicLinks) {
  ::mkdir(At("target").c_str(), 0755);
  ::symlink(At("target").c_str(), At("sym").c_str());
  CopyFileAsLinkWithParam(At("target"), At("t.desktop"), "", false);
  WriteBytes(At("plain"), "p");
  struct TRow {
    const char* Name;
    std::string Reference;
    bool IsLink, IsDirectory;
  };
  const TRow rows[] = {{"plain", At("plain"), false, false},
                       {"t.desktop", At("target"), true, true},
                       {"sym", At("target"), true, true}};
  for (const TRow& row : rows) {
    bool isLink = !row.IsLink, isDirectory = !row.IsDirectory;
    EXPECT_EQ(GetWhenReference(At(row.Name), &isDirectory, &isLink, nullptr, false), row.Reference);
    EXPECT_EQ(isLink, row.IsLink) << row.Name;
    EXPECT_EQ(isDirectory, row.IsDirectory) << row.Name;
    EXPECT_FALSE(FunStatContext.Failed());
  }
  WriteBytes(At("prog"), "#!/bin/sh\n", 0755);
  CopyFileAsLink(At("prog"), At("p.desktop"), false, false, false, "");
  EXPECT_TRUE(IsLinkToProgram(At("p.desktop")));
  EXPECT_FALSE(IsLinkToProgram(At("t.desktop")));
}

TEST_F(LinksTest, MakeLinkByStatusSavesOnceAndRemovesQuietly) {
  test::TRecordingUserInterface ui;
  WriteBytes(At("tool.sh"), "#!/bin/sh\n", 0755);
  const std::string link = LinkTitleFor(Dir.Path, At("tool.sh"));
  EXPECT_EQ(link, At("tool.desktop"));
  EXPECT_TRUE(MakeLinkByStatus(Dir.Path, At("tool.sh"), "", true, true, ""));
  struct stat first {};
  ::stat(link.c_str(), &first);
  EXPECT_TRUE(MakeLinkByStatus(Dir.Path, At("tool.sh"), "", true, true, ""));
  struct stat second {};
  ::stat(link.c_str(), &second);
  EXPECT_EQ(first.st_ino, second.st_ino); // not written again
  EXPECT_TRUE(MakeLinkByStatus(Dir.Path, At("tool.sh"), "", false, true, ""));
  EXPECT_FALSE(TitleExists(link));
  EXPECT_TRUE(MakeLinkByStatus(Dir.Path, At("tool.sh"), "", false, true, ""));
  EXPECT_TRUE(ui.Errors.empty());
}

} // namespace
} // namespace cv
