#include "fileops/Run.h"

#include "filesystem/Links.h"
#include "filesystem/SpecialLocations.h"
#include "foundation/Program.h"

#include "../filesystem/FileTestSupport.h"
#include "LauncherSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QStandardPaths>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace cv {
namespace {

namespace fs = std::filesystem;

TEST(SubstitutionTest, TokensTakeTheirTitlesAndInsertedTextIsNeverScannedAgain) {
  const std::string t = "/d/a b.txt", d = "/e/f.tar.gz";
  struct TCase {
    std::string Template, Source, Destination, Expected;
  };
  const TCase cases[] = {
      {"%t%|%p%|%t-e%|%n%|%n-e%|%e%", t, d, "/d/a b.txt|/d/|/d/a b|a b.txt|a b|.txt"},
      {"%dt%|%dp%|%dt-e%|%dn%|%dn-e%|%de%", t, d, "/e/f.tar.gz|/e/|/e/f.tar|f.tar.gz|f.tar|.gz"},
      {"%r%|%rp%|%dr%", t, d, "/d/a b.txt|/d/|/e/f.tar.gz"},
      {"[%n%]", "/x/a%n%b.txt", "", "[a%n%b.txt]"},
      {"%n%", "/x/100%%.txt", "", "100%%.txt"},
      {"%t%%n%", "/x/%p%", "", "/x/%p%%p%"},
      {"%%phTemp%", t, "", GetTempPathA()},
      {"100%%", t, "", "100%"},
      {"%e%", "/d/noext", "", ""},
      {"no tokens", t, d, "no tokens"},
      // A name that looks like an option comes as a path.
      {"%n%|%n-e%|%t%", "/d/-n", "", "./-n|./-n|/d/-n"},
      {"%dn%", "", "/e/--version", "./--version"},
      {"%n-e%", "/d/-x.txt", "", "./-x"},
      // A partition title never leaves the program: its mount path does.
      {"%t%|%p%|%n%|%dt%", ":/media/stick", ":/", "/media/stick|/media/|stick|/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Template);
    EXPECT_EQ(SubstituteAll(c.Template, c.Source, c.Destination), c.Expected);
  }
}

// The reference tokens of real links: the link's target and its directory,
// for the source and the destination alike; the plain tokens keep the link.
TEST(SubstitutionTest, ReferencePathsOfRealLinksAreTheirTargetsDirectories) {
  test::TTempDir dir;
  ASSERT_EQ(::mkdir((dir.Path + "/target").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((dir.Path + "/links").c_str(), 0755), 0);
  ASSERT_TRUE(test::WriteBytes(dir.Path + "/target/a.txt", "a"));
  ASSERT_EQ(::mkdir((dir.Path + "/target/sub").c_str(), 0755), 0);
  const std::string source = dir.Path + "/links/to-a";
  const std::string destination = dir.Path + "/links/to-sub";
  ASSERT_EQ(::symlink((dir.Path + "/target/a.txt").c_str(), source.c_str()), 0);
  ASSERT_EQ(::symlink("../target/sub", destination.c_str()), 0);
  EXPECT_EQ(SubstituteAll("%rp%|%drp%", source, destination),
            dir.Path + "/target/|" + dir.Path + "/target/");
  EXPECT_EQ(SubstituteAll("%r%|%dr%|%p%|%dp%", source, destination),
            dir.Path + "/target/a.txt|" + dir.Path + "/target/sub|" + dir.Path + "/links/|" +
                dir.Path + "/links/");
}

TEST(SubstitutionTest, OnlyTheFirstClipTokenIsRemovedAndClipsOnce) {
  std::vector<bool> clipped;
  ClipSelectedFiles = [&](bool references) { clipped.push_back(references); };
  EXPECT_EQ(SubstituteTitles("a%t_cl%b%t_cl%c%r_cl%", "/d/x", ""), "ab%t_cl%c");
  EXPECT_EQ(clipped, (std::vector<bool>{false, true}));
  ClipSelectedFiles = nullptr;
}

TEST(SubstitutionTest, ArgumentsAreSplitFirstSoTitlesNeverAddArguments) {
  struct TCase {
    std::string Template, Source;
    std::vector<std::string> Expected;
  };
  const TCase cases[] = {
      {"\"%n%\"", "/d/a b.txt", {"a b.txt"}},
      {"--open %t% -v", "/d/a b.txt", {"--open", "/d/a b.txt", "-v"}},
      {"%n%", "/d/x\" --flag \"y", {"x\" --flag \"y"}},
      // Typed text keeps every "%": field codes are no tokens of ours.
      {"%t% %U", "/d/a", {"/d/a", "%U"}},
      {"%d %f %m --x=%%f %%U 100%%", "/d/a", {"%d", "%f", "%m", "--x=%f", "%U", "100%"}},
      {"'%n% lit' \"q\\\"x\" a\\ b", "/d/n", {"n lit", "q\"x", "a b"}},
      {"", "/d/a", {}},
      {"\"\"", "/d/a", {""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Template);
    std::vector<std::string> arguments;
    ASSERT_TRUE(SubstituteArguments(c.Template, c.Source, "", arguments));
    EXPECT_EQ(arguments, c.Expected);
  }
  std::vector<std::string> arguments;
  EXPECT_FALSE(SubstituteArguments("\"open", "/d/a", "", arguments));

  // Quoting is the inverse of splitting, whatever an argument holds.
  const std::vector<std::string> odd = {"a b", "q\"x", "back\\slash", "$HOME", "`x`", "100%", ""};
  std::string line;
  for (const std::string& argument : odd)
    line += QuoteArgument(argument) + " ";
  ASSERT_TRUE(SplitCommandLine(line, arguments));
  EXPECT_EQ(arguments, odd);
}

TEST(RunTest, InnerExtensionOfTitlesWithTwo) {
  const std::pair<const char*, const char*> cases[] = {
      {"/d/Photo.jpg.exe", "JPG"}, {"/d/Song.mp3.exe", "MP3"},
      {"/d/a.tar.gz", "TAR"},      {"/d/x.txt", ""},
      {"/d/.bashrc.bak", ""},      {"/d/noext", ""},
  };
  for (const auto& [title, inner] : cases)
    EXPECT_EQ(InnerExtension(title), inner) << title;
}

class RunFilesTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = Temp.Path;
    ASSERT_TRUE(test::WriteBytes(Dir + "/script.sh", "#!/bin/sh\nexit 0\n", 0755));
    ASSERT_TRUE(test::WriteBytes(Dir + "/plain", "echo no magic\n", 0755));
    ASSERT_TRUE(test::WriteBytes(Dir + "/notes.txt", "text"));
    ASSERT_TRUE(test::WriteBytes(Dir + "/list.mpl", "x"));
    ASSERT_TRUE(test::WriteBytes(Dir + "/Photo.jpg.sh", "#!/bin/sh\n", 0755));
    fs::copy_file("/bin/true", Dir + "/elf");
    fs::create_directories(Dir + "/sub");
  }
  std::string Link(const std::string& directory, const std::string& name,
                   const std::string& reference, const std::string& arguments) {
    fs::create_directories(directory);
    const std::string title = IncludeDelimiter(directory) + name + ".desktop";
    TLinkFile link;
    link.Reference = reference;
    link.Arguments = arguments;
    link.ShowCommand = ShowNormal;
    EXPECT_TRUE(link.Save(title, true));
    return title;
  }

  test::TTempDir Temp;
  test::TRecordingUserInterface Ui;
  test::TRecordingLauncher Launch;
  std::string Dir;
};

TEST_F(RunFilesTest, WhatRunningDoesByKind) {
  const std::pair<std::string, TRunKind> cases[] = {
      {Dir + "/script.sh", TRunKind::Program}, {Dir + "/elf", TRunKind::Program},
      {Dir + "/plain", TRunKind::Document},    {Dir + "/notes.txt", TRunKind::Document},
      {Dir + "/sub", TRunKind::Directory},     {Dir + "/list.mpl", TRunKind::PlayList},
      {Dir + "/x.desktop", TRunKind::Link},
  };
  for (const auto& [title, kind] : cases)
    EXPECT_EQ(RunKindOf(title), kind) << title;
}

TEST_F(RunFilesTest, ProgramsStartInTheirDirectoryAndDocumentsOpenByDefault) {
  EXPECT_TRUE(MyRunFile(Dir + "/script.sh", "a b", "", true, false));
  EXPECT_TRUE(MyRunFile(Dir + "/elf", "-x \"y z\"", "/tmp", false, false));
  EXPECT_TRUE(MyRunFile(Dir + "/notes.txt", "", "", true, false));
  ASSERT_EQ(Launch.Started.size(), 2u);
  EXPECT_EQ(Launch.Started[0].Program, Dir + "/script.sh");
  EXPECT_EQ(Launch.Started[0].Arguments, (std::vector<std::string>{"a b"}));
  EXPECT_EQ(Launch.Started[0].WorkingDirectory, Dir + "/");
  EXPECT_EQ(Launch.Started[1].Arguments, (std::vector<std::string>{"-x", "y z"}));
  EXPECT_EQ(Launch.Started[1].WorkingDirectory, "/tmp/");
  EXPECT_EQ(Launch.Opened, (std::vector<std::string>{Dir + "/notes.txt"}));

  // Nothing opens it: the failure is reported, not swallowed.
  Launch.OpenWorks = false;
  EXPECT_FALSE(MyRunFile(Dir + "/notes.txt", "", "", true, false));
  EXPECT_TRUE(FunStatContext.Failed());
  FunStatContext.Reset(fsPerfect);
}

TEST_F(RunFilesTest, ABareProgramNameIsLookedUpOnPath) {
  const std::string sh = QStandardPaths::findExecutable(QStringLiteral("sh")).toStdString();
  ASSERT_FALSE(sh.empty());
  EXPECT_TRUE(MyRunFile("sh", "-c true", "/tmp", false, false));
  ASSERT_EQ(Launch.Started.size(), 1u);
  EXPECT_EQ(Launch.Started[0].Program, sh);
  EXPECT_EQ(Launch.Started[0].Arguments, (std::vector<std::string>{"-c", "true"}));

  // Not on PATH: reported, and never handed to the desktop as an address.
  EXPECT_FALSE(MyRunFile("no-such-program-here", "", "", false, false));
  EXPECT_TRUE(FunStatContext.Failed());
  EXPECT_TRUE(Launch.Opened.empty());
  FunStatContext.Reset(fsPerfect);
}

// Entries copied from the desktop's own keep working beside the program's tokens.
TEST_F(RunFilesTest, FieldCodesOfDesktopEntriesTakeTheSourceAndTheSelection) {
  const std::string source = Dir + "/notes.txt";
  const std::vector<std::string> selection = {Dir + "/a b", Dir + "/plain"};
  struct TCase {
    std::string Exec;
    std::vector<std::string> Selection;
    std::string Source;
    std::vector<std::string> Expected;
  };
  const TCase cases[] = {
      {"%f", {}, source, {source}},
      {"--in=%u", {}, source, {"--in=" + source}},
      {"%F", selection, source, selection},
      {"%U", {}, source, {source}},
      {"%i %c %k --x", selection, source, {"--x"}},
      {"--in %f %%U --n=%%n%% %U",
       selection,
       source,
       {"--in", source, "%U", "--n=notes.txt", selection[0], selection[1]}},
      {"%%f \"%f\" 100%%", {}, source, {"%f", source, "100%"}},
      // A title holding a field code or a token is never scanned again.
      {"%f %%n%%", {}, Dir + "/%U %n%", {Dir + "/%U %n%", "%U %n%"}},
      // Tools have no source: a lone field code gives no argument.
      {"%f %F x%f", {}, "", {"x"}},
      // A partition title leaves as its mount path.
      {"%f %F %%t%%",
       {":/media/stick"},
       ":/media/stick",
       {"/media/stick", "/media/stick", "/media/stick"}},
  };
  fs::create_directories(Program.ToolsPath());
  const std::string entry = Program.ToolsPath() + "Other.desktop";
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Exec);
    ASSERT_TRUE(test::WriteBytes(entry, "[Desktop Entry]\nType=Application\nName=Other\nExec=" +
                                            Dir + "/script.sh " + c.Exec + "\n"));
    Launch.Started.clear();
    EXPECT_TRUE(MyRunFile(entry, c.Source, "", true, false, {}, c.Selection));
    ASSERT_EQ(Launch.Started.size(), 1u);
    EXPECT_EQ(Launch.Started[0].Arguments, c.Expected);
  }
}

TEST_F(RunFilesTest, AnOtherCommandGetsTheFileAsOneMoreArgument) {
  EXPECT_TRUE(RunCommandWithFile("sh -c 'exit 0' x", Dir + "/a \" b"));
  ASSERT_EQ(Launch.Started.size(), 1u);
  EXPECT_EQ(Launch.Started[0].Program,
            QStandardPaths::findExecutable(QStringLiteral("sh")).toStdString());
  EXPECT_EQ(Launch.Started[0].Arguments,
            (std::vector<std::string>{"-c", "exit 0", "x", Dir + "/a \" b"}));
  EXPECT_FALSE(RunCommandWithFile("no-such-program-here", Dir + "/a"));
  EXPECT_FALSE(RunCommandWithFile("", Dir + "/a"));
  FunStatContext.Reset(fsPerfect);
}

TEST_F(RunFilesTest, PlayListsPlayInTheProgram) {
  std::string played;
  PlayPlayList = [&](const std::string& title) { played = title; };
  EXPECT_TRUE(MyRunFile(Dir + "/list.mpl", "", "", true, false));
  PlayPlayList = nullptr;
  EXPECT_EQ(played, Dir + "/list.mpl");
  EXPECT_TRUE(Launch.Opened.empty());
}

TEST_F(RunFilesTest, ADoubleExtensionAsksFirstShowingTheInnerOne) {
  Ui.BoxAnswer = mrBoxNo;
  EXPECT_FALSE(MyRunFile(Dir + "/Photo.jpg.sh", "", "", true, false));
  EXPECT_TRUE(Launch.Started.empty());
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_NE(Ui.Boxes[0].Text.find("File extension \"JPG\"."), std::string::npos);
  EXPECT_NE(Ui.Boxes[0].Text.find("START ANYWAY?"), std::string::npos);
  Ui.BoxAnswer = mrBoxOk;
  EXPECT_TRUE(MyRunFile(Dir + "/Photo.jpg.sh", "", "", true, false));
  EXPECT_EQ(Launch.Started.size(), 1u);
}

TEST_F(RunFilesTest, SendLinksRunTheirProgramWithTheTokensOfTheirArguments) {
  fs::create_directories(Dir + "/d");
  const std::string source = Dir + "/d/a b.txt";
  ASSERT_TRUE(test::WriteBytes(source, "x"));
  const std::string quoted = Link(Program.SendPath(), "Edit", Dir + "/script.sh", "\"%n%\"");
  const std::string bare = Link(Program.SendPath(), "Bare", Dir + "/script.sh", "");
  EXPECT_TRUE(SendToItem(quoted, source));
  EXPECT_TRUE(SendToItem(bare, source));
  ASSERT_EQ(Launch.Started.size(), 2u);
  EXPECT_EQ(Launch.Started[0].Program, Dir + "/script.sh");
  EXPECT_EQ(Launch.Started[0].Arguments, (std::vector<std::string>{"a b.txt"}));
  EXPECT_EQ(Launch.Started[0].WorkingDirectory, Dir + "/d/");
  EXPECT_TRUE(Launch.Started[1].Arguments.empty()) << "parameters only reach it through tokens";

  // Send-drag gets the drop target too.
  const std::string drag = Link(Program.SendDragPath(), "Two", Dir + "/script.sh", "%t% %dt%");
  EXPECT_TRUE(SendDragToItem(drag, source, Dir + "/sub"));
  EXPECT_EQ(Launch.Started.back().Arguments, (std::vector<std::string>{source, Dir + "/sub"}));

  // Only links to programs can be sent to.
  const std::string toText = Link(Program.SendPath(), "Text", Dir + "/notes.txt", "");
  EXPECT_FALSE(SendToItem(toText, source));
  EXPECT_NE(FunStatContext.Description.find("The file must be a link to a program."),
            std::string::npos);
  FunStatContext.Reset(fsPerfect);
}

TEST_F(RunFilesTest, ForeignDesktopEntriesRunOnlyWhenExecutableOrConfirmed) {
  const std::string foreign = Link(Dir + "/elsewhere", "Tool", Dir + "/script.sh", "");
  ::chmod(foreign.c_str(), 0644);
  Ui.BoxAnswer = mrBoxNo;
  EXPECT_FALSE(MyRunFile(foreign, "", "", true, false));
  EXPECT_TRUE(Launch.Started.empty());
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  ::chmod(foreign.c_str(), 0755);
  EXPECT_TRUE(MyRunFile(foreign, "", "", true, false));
  EXPECT_EQ(Launch.Started.size(), 1u);
  EXPECT_EQ(Ui.Boxes.size(), 1u) << "an executable entry is trusted";

  // A link to a directory opens the directory; nothing is substituted.
  const std::string toDirectory = Link(Program.ToolsPath(), "Sub", Dir + "/sub", "");
  EXPECT_TRUE(MyRunFile(toDirectory, "", "", true, false));
  EXPECT_EQ(Launch.Opened, (std::vector<std::string>{Dir + "/sub"}));
}

TEST(RunTest, TheRealLauncherPassesTheExactBytesOfEveryArgument) {
  test::TTempDir dir;
  // A name that is not UTF-8, with a blank and a quote: it must arrive unchanged.
  const std::string odd = "caf\xE9 \"x\".txt";
  const std::string out = dir.Path + "/out";
  int error = 0;
  ASSERT_TRUE(Launcher().StartDetached(
      "/bin/sh", {"-c", "printf %s \"$1\" > out; pwd >> out", "sh", odd}, dir.Path, error))
      << error;
  for (int i = 0; i < 200 && test::ReadBytes(out).find('\n') == std::string::npos; ++i)
    ::usleep(10000);
  EXPECT_EQ(test::ReadBytes(out), odd + dir.Path + "\n");
  // A program that cannot start reports why.
  EXPECT_FALSE(Launcher().StartDetached(dir.Path + "/missing", {}, {}, error));
  EXPECT_EQ(error, ENOENT);
  EXPECT_EQ(Launcher().RunAndWait("sh", {"-c", "exit 3"}, 5000), 3);
  EXPECT_EQ(Launcher().RunAndWait("sh", {"-c", "sleep 5"}, 100), -1) << "killed at its time limit";
}

TEST(RunTest, WallpaperCommandsPerDesktop) {
  const std::string p = "/data/Corvantide_Wallpaper.bmp";
  const std::string uri = "file:///data/Corvantide_Wallpaper.bmp";
  struct TCase {
    const char* Desktop;
    std::vector<std::vector<std::string>> Expected;
  };
  const TCase cases[] = {
      {"ubuntu:GNOME",
       {{"gsettings", "set", "org.gnome.desktop.background", "picture-uri", uri},
        {"gsettings", "set", "org.gnome.desktop.background", "picture-uri-dark", uri}}},
      {"X-Cinnamon", {{"gsettings", "set", "org.cinnamon.desktop.background", "picture-uri", uri}}},
      {"MATE", {{"gsettings", "set", "org.mate.background", "picture-filename", p}}},
      {"KDE", {{"plasma-apply-wallpaperimage", p}}},
      {"XFCE",
       {{"xfconf-query", "-c", "xfce4-desktop", "-p",
         "/backdrop/screen0/monitor0/workspace0/last-image", "-s", p}}},
      {"LXQt", {{"pcmanfm-qt", "--set-wallpaper", p}}},
      {"", {}},
      {"Unknown", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WallpaperCommands(c.Desktop, p), c.Expected) << c.Desktop;
}

TEST(RunTest, PrintingNeedsLpAndATypeItTakes) {
  test::TTempDir dir;
  ASSERT_TRUE(test::WriteBytes(dir.Path + "/a.txt", "text"));
  ASSERT_TRUE(test::WriteBytes(dir.Path + "/b.bin", std::string("\x01\x02\x00\xff", 4)));
  EXPECT_EQ(PrintCommand(dir.Path + "/a.txt", "/usr/bin/lp"),
            (std::vector<std::string>{"/usr/bin/lp", "--", dir.Path + "/a.txt"}));
  EXPECT_TRUE(PrintCommand(dir.Path + "/b.bin", "/usr/bin/lp").empty());
  EXPECT_TRUE(PrintCommand(dir.Path + "/a.txt", "").empty());
}

TEST(RunTest, LinkTitlesOfEachTarget) {
  struct TCase {
    const char* Item;
    const char* Title;
    const char* Expected;
  };
  const TCase cases[] = {
      {"Tool", "/opt/app/run.sh", "/m/app - run.desktop"},
      {"Send", "/usr/bin/editor", "/m/bin - editor.desktop"},
      {"Location", "/home/u/Work/a.txt", "/m/Work.desktop"},
      {"Desktop", "/home/u/a.txt", "/m/a.desktop"},
      {"Startup", "/usr/bin/tool", "/m/tool.desktop"},
      {"Tool", ":/", ""},
      {"Tool", "", ""},
  };
  for (const auto& c : cases) {
    const TLinkAsTarget* target = FindLinkAsTarget(c.Item);
    ASSERT_NE(target, nullptr) << c.Item;
    EXPECT_EQ(LinkAsTitle(*target, "/m/", c.Title), c.Expected) << c.Item << " " << c.Title;
  }
  EXPECT_EQ(FindLinkAsTarget("Quick launch"), nullptr);
}

TEST_F(RunFilesTest, LinkAsWritesALinkThatSendsTheName) {
  EXPECT_TRUE(LinkActiveFileAs("Send", Dir + "/script.sh", {}));
  const std::string link = Program.SendPath() + GetTitleName(Dir) + " - script.desktop";
  ASSERT_TRUE(fs::exists(link)) << link;
  const std::string source = Dir + "/notes.txt";
  EXPECT_TRUE(SendToItem(link, source));
  ASSERT_EQ(Launch.Started.size(), 1u);
  EXPECT_EQ(Launch.Started[0].Arguments, (std::vector<std::string>{"notes.txt"}));
  ASSERT_EQ(Ui.Boxes.size(), 1u);
  EXPECT_EQ(Ui.Boxes[0].Text, "Link active file as Send item ?");
}

} // namespace
} // namespace cv
