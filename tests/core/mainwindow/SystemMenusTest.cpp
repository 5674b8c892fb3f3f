#include "mainwindow/SystemMenus.h"

#include "../filesystem/FileTestSupport.h"
#include "LauncherSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sys/stat.h>

namespace cv {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Captions(const std::vector<TFileMenuEntry>& entries) {
  std::vector<std::string> captions;
  for (const TFileMenuEntry& entry : entries)
    captions.push_back(entry.Caption + (entry.IsDirectory ? "/" : ""));
  return captions;
}

class FileMenuTest : public ::testing::Test {
protected:
  void SetUp() override {
    ForgetFileMenuReports();
    Root = Dir.Path + "/menu";
    fs::create_directories(Root + "/Zeta");
    fs::create_directories(Root + "/alpha/deeper");
    fs::create_directories(Root + "/empty");
    fs::create_directories(Root + "/.hidden");
    for (const char* name : {"b tool.desktop", "A*.desktop", ".secret.desktop", "notes.txt",
                             "Zeta/in.desktop", "alpha/x.sh", "alpha/deeper/y.desktop"})
      EXPECT_TRUE(test::WriteBytes(Root + "/" + name, "[Desktop Entry]\n"));
    fs::create_directory_symlink(Root + "/alpha", Root + "/loop");
  }
  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  std::string Root;
};

TEST_F(FileMenuTest, EntriesKeepTheirFullTitlesDirectoriesFirst) {
  const struct {
    TFileMenuKind Kind;
    std::vector<std::string> Top;
  } cases[] = {
      {TFileMenuKind::Send, {"alpha/", "Zeta/", "A*", "b tool"}},
      {TFileMenuKind::Locations, {"alpha/", "Zeta/", "A*", "b tool"}},
      {TFileMenuKind::Tools, {"alpha/", "Zeta/", "A*.desktop", "b tool.desktop", "notes.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Kind));
    const std::vector<TFileMenuEntry> entries = ReadFileMenu(Root + "/", c.Kind);
    EXPECT_EQ(Captions(entries), c.Top);
    // The title is the file's own, never one rebuilt from captions.
    EXPECT_EQ(entries[2].Title, Root + "/A*.desktop");
    EXPECT_EQ(entries[0].Title, Root + "/alpha");
  }
  // A submenu holding only what the menu does not take is left out.
  const std::vector<TFileMenuEntry> send = ReadFileMenu(Root, TFileMenuKind::Send);
  ASSERT_EQ(Captions(send[0].Children), (std::vector<std::string>{"deeper/"}));
  EXPECT_EQ(send[0].Children[0].Children[0].Title, Root + "/alpha/deeper/y.desktop");
  EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(FileMenuTest, FortyLinksShowTheFirstThirtyByName) {
  const std::string many = Dir.Path + "/many";
  fs::create_directories(many);
  // Created in reverse order, so directory order is no help.
  for (int i = 39; i >= 0; --i)
    ASSERT_TRUE(test::WriteBytes(many + "/Link" + (i < 10 ? "0" : "") + std::to_string(i) + ".desktop", ""));
  const std::vector<TFileMenuEntry> entries = ReadFileMenu(many, TFileMenuKind::Send);
  ASSERT_EQ(entries.size(), static_cast<size_t>(MaxFileMenuEntries));
  for (int i = 0; i < MaxFileMenuEntries; ++i)
    EXPECT_EQ(entries[i].Caption, std::string("Link") + (i < 10 ? "0" : "") + std::to_string(i));
}

TEST_F(FileMenuTest, AMissingDirectoryIsEmptyAndAnUnreadableOneIsReportedOncePerReason) {
  EXPECT_TRUE(ReadFileMenu(Root + "/none", TFileMenuKind::Send).empty());
  EXPECT_TRUE(ReadFileMenu(Root + "/notes.txt", TFileMenuKind::Tools).empty());
  EXPECT_TRUE(Ui.Errors.empty());
  ASSERT_EQ(::chmod((Root + "/Zeta").c_str(), 0), 0);
  ASSERT_EQ(::chmod((Root + "/empty").c_str(), 0), 0);
  const std::string failure = test::RunUnprivileged({Root}, [&]() -> std::string {
    for (int run = 0; run < 3; ++run) {
      const auto entries = ReadFileMenu(Root, TFileMenuKind::Send);
      // What can be read is still there.
      if (Captions(entries) != std::vector<std::string>{"alpha/", "A*", "b tool"})
        return "entries: " + std::to_string(entries.size());
    }
    if (Ui.Errors.size() != 2) return "reports: " + std::to_string(Ui.Errors.size());
    for (const auto& error : Ui.Errors)
      if (error.Description.rfind("Failed to load menu.", 0) != 0 ||
          error.Report.find("Permission denied") == std::string::npos)
        return "report: " + error.Report;
    return {};
  });
  EXPECT_EQ(failure, "") << failure;
}

TEST(SendMenuTest, StatesFromModifiersAndColumns) {
  const std::string active = "/w/a.txt";
  const struct {
    std::string Name;
    TSendMenuRequest Request;
    bool Enabled;
    std::string Heading, Source, Destination;
  } cases[] = {
      {"alt",
       {.Kind = TFileMenuKind::Send, .Shift = ssAlt, .SourceTitle = active},
       false,
       "",
       "",
       ""},
      {"send",
       {.Kind = TFileMenuKind::Send, .SourceTitle = active},
       true,
       "Send: Active title",
       active,
       ""},
      {"send parent",
       {.Kind = TFileMenuKind::Send, .Shift = ssShift | ssCtrl, .SourceTitle = active},
       true,
       "Send: Parent directory",
       "/w",
       ""},
      {"drag from an empty list",
       {.Kind = TFileMenuKind::SendDrag, .SourceCount = 0},
       false,
       "",
       "",
       ""},
      {"drag onto itself",
       {.Kind = TFileMenuKind::SendDrag,
        .SourceCount = 3,
        .SourceIsActive = true,
        .DragIndex = 1,
        .DropIndex = 1,
        .SourceTitle = active,
        .ActiveTitle = "/w/b"},
       true,
       "Send-drag: Active title",
       active,
       ""},
      {"drag to another",
       {.Kind = TFileMenuKind::SendDrag,
        .SourceCount = 3,
        .SourceIsActive = false,
        .SourceTitle = active,
        .ActiveTitle = "/v/b"},
       true,
       "Send-drag: Active title",
       active,
       "/v/b"},
      {"drag over a container",
       {.Kind = TFileMenuKind::SendDrag,
        .SourceCount = 3,
        .ActiveIsContainer = true,
        .SourceTitle = active,
        .ActiveTitle = "/v/b"},
       false,
       "",
       "",
       ""},
      {"locations",
       {.Kind = TFileMenuKind::Locations, .Shift = ssCtrl | ssShift},
       true,
       "Go to: Automove and open",
       "",
       ""},
      {"tools", {.Kind = TFileMenuKind::Tools}, true, "Tools: Active title", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TSendMenuState state = SetupSendMenu(c.Request);
    EXPECT_EQ(state.Enabled, c.Enabled);
    EXPECT_EQ(state.Heading, c.Heading);
    EXPECT_EQ(state.Source, c.Source);
    EXPECT_EQ(state.Destination, c.Destination);
  }
}

std::map<TSystemCommand, bool> EnabledStates(const TSystemMenu& menu) {
  std::map<TSystemCommand, bool> states;
  for (const TSystemMenuItem& item : menu.Items)
    states[item.Command] = item.Enabled;
  return states;
}

TEST(SystemMenuTest, TargetsTitleAndEnabledStates) {
  using C = TSystemCommand;
  const std::map<std::string, TSystemTitleFacts> disk = {
      {"/w/a*", {true, false, false}},
      {"/w/run.sh", {true, false, true}},
      {"/w", {true, true, false}},
  };
  const auto factsOf = [&](const std::string& title) {
    const auto found = disk.find(title);
    return found == disk.end() ? TSystemTitleFacts{} : found->second;
  };
  struct TCase {
    std::string Name;
    TSystemMenuRequest Request;
    std::string Title;
    bool Clipboard;
    std::string Heading;
    std::vector<std::string> Targets;
    std::vector<C> Enabled;
  };
  const std::vector<C> all = {C::Open,        C::OpenWith, C::Run,       C::OpenTerminal,
                              C::Cut,         C::Copy,     C::PasteInto, C::CopyPath,
                              C::MoveToTrash, C::Delete,   C::Rename,    C::Properties};
  const TCase cases[] = {
      // A title with a wildcard is one file.
      {"wildcard name",
       {.ActiveTitle = "/w/a*"},
       "/w/a*",
       true,
       "System: Active title",
       {"/w/a*"},
       {C::Open, C::OpenWith, C::OpenTerminal, C::Cut, C::Copy, C::CopyPath, C::MoveToTrash,
        C::Delete, C::Rename, C::Properties}},
      {"program",
       {.ActiveTitle = "/w/run.sh"},
       "/w/run.sh",
       false,
       "System: Active title",
       {"/w/run.sh"},
       {C::Open, C::OpenWith, C::Run, C::OpenTerminal, C::Cut, C::Copy, C::CopyPath, C::MoveToTrash,
        C::Delete, C::Rename, C::Properties}},
      // The selection is what the commands act on; rename stays on the shown title.
      {"selection",
       {.ActiveTitle = "/w/run.sh", .Selection = {"/w/a*", "/w/b"}},
       "/w/run.sh",
       true,
       "System: Active title",
       {"/w/a*", "/w/b"},
       {C::Open, C::OpenTerminal, C::Cut, C::Copy, C::CopyPath, C::MoveToTrash, C::Delete,
        C::Rename}},
      // The parent shown with Shift is what everything acts on, selection or not.
      {"parent",
       {.Shift = ssShift, .ActiveTitle = "/w/a*", .Selection = {"/w/b"}},
       "/w",
       true,
       "System: Parent directory",
       {"/w"},
       {C::Open, C::OpenTerminal, C::Cut, C::Copy, C::PasteInto, C::CopyPath, C::MoveToTrash,
        C::Delete, C::Rename, C::Properties}},
      {"partition",
       {.ActiveTitle = ":/media/stick"},
       ":/media/stick",
       true,
       "System: Active title",
       {":/media/stick"},
       {C::Open, C::OpenTerminal, C::Copy, C::PasteInto, C::CopyPath, C::Properties}},
      {"drag",
       {.Drag = true, .ActiveTitle = "/w/a*", .Selection = {"/w/a*"}},
       "/w/a*",
       false,
       "System drag: Active title",
       {"/w/a*"},
       {C::Open, C::OpenWith, C::OpenTerminal, C::Cut, C::Copy, C::CopyPath, C::MoveToTrash,
        C::Delete, C::Rename, C::Properties}},
      {"empty column", {}, "", true, "System: Active title", {}, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TSystemMenu menu = BuildSystemMenu(c.Request, c.Title, factsOf, c.Clipboard);
    ASSERT_TRUE(menu.Shown);
    EXPECT_EQ(menu.Heading, c.Heading);
    EXPECT_EQ(menu.Title, c.Title);
    EXPECT_EQ(menu.Targets, c.Targets);
    const auto states = EnabledStates(menu);
    ASSERT_EQ(states.size(), all.size());
    for (const C command : all) {
      const bool expected =
          std::find(c.Enabled.begin(), c.Enabled.end(), command) != c.Enabled.end();
      EXPECT_EQ(states.at(command), expected) << static_cast<int>(command);
    }
  }
  // Alt shows nothing; a drag onto a container only warns.
  EXPECT_FALSE(
      BuildSystemMenu({.Shift = ssAlt, .ActiveTitle = "/w/a*"}, "/w/a*", factsOf, true).Shown);
  const TSystemMenu container =
      BuildSystemMenu({.Drag = true, .ActiveTitle = "/w/a*", .DestinationIsContainer = true},
                      "/w/a*", factsOf, true);
  EXPECT_FALSE(container.Shown);
  EXPECT_EQ(container.Warning, "The destination can't be a container.");
}

// In the trash the menu restores and deletes for good; what would part an
// item from its info file is not offered, nor is the trash again. Dragged,
// or for the trash's directory shown with Shift, nothing is restored or deleted.
TEST(SystemMenuTest, TheTrashRestoresAndDeletesForGood) {
  using C = TSystemCommand;
  const auto factsOf = [](const std::string&) { return TSystemTitleFacts{true, false, true}; };
  const std::string item = "/d/Trash/files/run.sh";
  const TSystemMenu menu =
      BuildSystemMenu({.ActiveTitle = item, .InTrash = true}, item, factsOf, true);
  EXPECT_TRUE(menu.InTrash);
  std::vector<std::pair<C, bool>> items;
  for (const TSystemMenuItem& entry : menu.Items)
    items.emplace_back(entry.Command, entry.Enabled);
  const std::vector<std::pair<C, bool>> expected = {
      {C::Open, true},    {C::OpenWith, true}, {C::Run, false},       {C::OpenTerminal, true},
      {C::Cut, false},    {C::Copy, true},     {C::PasteInto, false}, {C::CopyPath, true},
      {C::Restore, true}, {C::Delete, true},   {C::Rename, false},    {C::Properties, true}};
  EXPECT_EQ(items, expected);

  const TSystemMenuRequest others[] = {
      {.Drag = true, .ActiveTitle = item, .Selection = {item}, .InTrash = true},
      {.Shift = ssShift, .ActiveTitle = item, .InTrash = true},
  };
  for (const TSystemMenuRequest& request : others)
    for (const TSystemMenuItem& entry :
         BuildSystemMenu(request, request.Drag ? item : "/d/Trash/files", factsOf, true).Items) {
      EXPECT_NE(entry.Command, C::MoveToTrash);
      if (entry.Command == C::Restore || entry.Command == C::Delete)
        EXPECT_FALSE(entry.Enabled) << request.Drag;
    }
}

TEST(SystemMenuTest, PathsLeaveTheProgramWithoutPartitionTitles) {
  EXPECT_EQ(TargetPaths({":/", ":/media/stick", "/w/a*"}),
            (std::vector<std::string>{"/", "/media/stick", "/w/a*"}));
  const struct {
    std::string Title;
    bool IsDirectory;
    std::string Directory;
  } cases[] = {
      {"/w/a.txt", false, "/w/"},
      {"/w/sub", true, "/w/sub/"},
      {":/media/stick", true, "/media/stick/"},
      {":/", true, "/"},
      {"", false, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TerminalDirectory(c.Title, c.IsDirectory), c.Directory) << c.Title;
}

class TerminalTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* name : {"konsole", "xterm", "my-term"})
      ASSERT_TRUE(test::WriteBytes(Dir.Path + "/" + name, "#!/bin/sh\n", 0755));
    const char* path = ::getenv("PATH");
    OldPath = path ? path : "";
    const char* terminal = ::getenv("TERMINAL");
    HadTerminal = terminal != nullptr;
    if (terminal) OldTerminal = terminal;
    ::setenv("PATH", Dir.Path.c_str(), 1);
    ::getcwd(Cwd, sizeof Cwd);
  }
  void TearDown() override {
    ::setenv("PATH", OldPath.c_str(), 1);
    if (HadTerminal)
      ::setenv("TERMINAL", OldTerminal.c_str(), 1);
    else
      ::unsetenv("TERMINAL");
  }
  test::TTempDir Dir;
  test::TRecordingUserInterface Ui;
  test::TRecordingLauncher Launch;
  std::string OldPath, OldTerminal;
  bool HadTerminal = false;
  char Cwd[4096] = {};
};

TEST_F(TerminalTest, TheVariableFirstThenTheKnownTerminalsInTheirDirectory) {
  const struct {
    const char* Terminal; // null: unset
    std::string Program;
    std::vector<std::string> Arguments;
  } cases[] = {
      {"my-term --hold", Dir.Path + "/my-term", {"--hold"}},
      {nullptr, Dir.Path + "/konsole", {}},
      {"not-installed", Dir.Path + "/konsole", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Terminal ? c.Terminal : "unset");
    if (c.Terminal)
      ::setenv("TERMINAL", c.Terminal, 1);
    else
      ::unsetenv("TERMINAL");
    Launch.Started.clear();
    EXPECT_TRUE(OpenTerminalHere("/w/sub"));
    ASSERT_EQ(Launch.Started.size(), 1u);
    EXPECT_EQ(Launch.Started[0].Program, c.Program);
    EXPECT_EQ(Launch.Started[0].Arguments, c.Arguments);
    EXPECT_EQ(Launch.Started[0].WorkingDirectory, "/w/sub/");
  }
  char now[4096] = {};
  ::getcwd(now, sizeof now);
  EXPECT_STREQ(now, Cwd) << "the program's own working directory never moves";

  ::setenv("PATH", (Dir.Path + "/none").c_str(), 1);
  ::unsetenv("TERMINAL");
  Launch.Started.clear();
  EXPECT_FALSE(OpenTerminalHere("/w"));
  EXPECT_TRUE(Launch.Started.empty());
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0].Description.rfind("Failed to open terminal.", 0), 0u);
}

} // namespace
} // namespace cv
