#include "foundation/SystemInfo.h"

#include "TestSupport.h"
#include "foundation/Program.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>

#include <unistd.h>

namespace cv {
namespace {

TEST(SystemInfoTest, MemoryStatusFromMeminfo) {
  TMemoryStatus status;
  ASSERT_TRUE(ParseMemoryStatus("MemTotal:       25165824 kB\nMemFree:  1 kB\n"
                                "MemAvailable:   8388608 kB\nSwapTotal: 2097152 kB\n"
                                "SwapFree:        1048576 kB\n",
                                status));
  EXPECT_EQ(status.TotalPhysical, 25165824ull * 1024); // 24 GiB: beyond 32 bits
  EXPECT_EQ(status.AvailablePhysical, 8388608ull * 1024);
  EXPECT_EQ(status.TotalPageFile, (25165824ull + 2097152) * 1024);
  EXPECT_EQ(status.AvailablePageFile, (8388608ull + 1048576) * 1024);

  // Old kernels: free memory plus caches.
  ASSERT_TRUE(
      ParseMemoryStatus("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 20 kB\nCached: 30 kB\n"
                        "SwapCached: 999 kB\n",
                        status));
  EXPECT_EQ(status.AvailablePhysical, 150u * 1024);
  EXPECT_EQ(status.TotalPageFile, 1000u * 1024);
  EXPECT_FALSE(ParseMemoryStatus("MemFree: 1 kB\n", status));
  EXPECT_FALSE(ParseMemoryStatus("MemTotal: kB\n", status));

  ASSERT_TRUE(GetMemoryStatus(status));
  EXPECT_GT(status.TotalPhysical, 0u);
  EXPECT_LE(status.AvailablePhysical, status.TotalPhysical);
  EXPECT_EQ(GetTotalPhysicalMemory(), status.TotalPhysical);
}

TEST(SystemInfoTest, RunCommandPassesArgumentsAsTheyAre) {
  TCommandResult result = RunCommand({"printf", "%s|", "a\" --flag \"b", "$HOME", "*"}, 5000);
  EXPECT_TRUE(result.Started);
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.Output, "a\" --flag \"b|$HOME|*|");
  EXPECT_EQ(RunCommand({"false"}, 5000).ExitCode, 1);
  result = RunCommand({"no-such-program-corvantide"}, 5000);
  EXPECT_FALSE(result.Started);
  EXPECT_EQ(result.SystemError, ENOENT);
  result = RunCommand({"sleep", "10"}, 200);
  EXPECT_TRUE(result.TimedOut);
  EXPECT_FALSE(RunCommand({}, 100).Started);
}

// Sets a signal's disposition for the scope and restores it after.
class TSignalDisposition {
public:
  TSignalDisposition(int signal, sighandler_t handler)
      : Signal(signal), Previous(::signal(signal, handler)) {}
  ~TSignalDisposition() { ::signal(Signal, Previous); }
  TSignalDisposition(const TSignalDisposition&) = delete;
  TSignalDisposition& operator=(const TSignalDisposition&) = delete;

private:
  int Signal;
  sighandler_t Previous;
};

TEST(SystemInfoTest, RunCommandWithoutAnExitStatusIsNoSuccess) {
  // An inherited ignored SIGCHLD reaps the child before we can wait for it.
  TSignalDisposition ignored(SIGCHLD, SIG_IGN);
  for (const char* program : {"false", "true"}) {
    const TCommandResult result = RunCommand({program}, 5000);
    EXPECT_TRUE(result.Started) << program;
    EXPECT_FALSE(result.TimedOut) << program;
    EXPECT_EQ(result.ExitCode, -1) << program;
    EXPECT_EQ(result.SystemError, ECHILD) << program;
  }
}

// True when `pid` is gone or only a zombie waiting for its new parent.
bool ProcessEnded(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return true;
  const size_t close = text.rfind(')');
  return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z';
}

TEST(SystemInfoTest, RunCommandTimeoutKillsWhatTheProgramStarted) {
  // The shell waits for a background sleep that holds the output pipe open.
  const TCommandResult result = RunCommand({"sh", "-c", "sleep 30 & echo $!; wait"}, 300);
  EXPECT_TRUE(result.TimedOut);
  const pid_t grandchild = static_cast<pid_t>(std::atoi(result.Output.c_str()));
  ASSERT_GT(grandchild, 0) << result.Output;
  bool ended = false;
  for (int i = 0; i < 200 && !(ended = ProcessEnded(grandchild)); ++i)
    ::usleep(10000);
  EXPECT_TRUE(ended) << "the grandchild " << grandchild << " outlived the timeout";
  if (!ended) ::kill(grandchild, SIGKILL);
}

class WallpaperTest : public ::testing::Test {
protected:
  void SetUp() override {
    Title = Dir.Path + "/Corvantide Wallpaper.bmp";
    std::ofstream(Title) << "BM";
    Previous = SetCommandRunner([this](const std::vector<std::string>& argv) {
      Calls.push_back(argv);
      TCommandResult result;
      result.Started = true;
      result.ExitCode = FailingProgram == argv.front() ? 1 : 0;
      if (argv.size() > 3 && argv[3] == "-l") result.Output = XfceProperties;
      return result;
    });
    const char* old = std::getenv("XDG_CURRENT_DESKTOP");
    OldDesktop = old ? old : "";
  }
  void TearDown() override {
    SetCommandRunner(Previous);
    ::setenv("XDG_CURRENT_DESKTOP", OldDesktop.c_str(), 1);
  }
  test::TRecordingUserInterface Ui;
  test::TTempDir Dir;
  std::string Title, OldDesktop, FailingProgram, XfceProperties;
  std::vector<std::vector<std::string>> Calls;
  TCommandRunner Previous;
};

using Argv = std::vector<std::string>;

TEST_F(WallpaperTest, EachDesktopGetsItsOwnTool) {
  const std::string url = "file://" + Dir.Path + "/Corvantide%20Wallpaper.bmp";
  struct Case {
    const char* desktop;
    std::vector<Argv> calls;
  } cases[] = {
      {"ubuntu:GNOME",
       {{"gsettings", "set", "org.gnome.desktop.background", "picture-uri", url},
        {"gsettings", "set", "org.gnome.desktop.background", "picture-uri-dark", url}}},
      {"X-Cinnamon", {{"gsettings", "set", "org.cinnamon.desktop.background", "picture-uri", url}}},
      {"MATE", {{"gsettings", "set", "org.mate.background", "picture-filename", Title}}},
      {"KDE", {{"plasma-apply-wallpaperimage", Title}}},
      {"LXQt", {{"pcmanfm-qt", "--set-wallpaper", Title}}},
  };
  for (const auto& c : cases) {
    Calls.clear();
    ::setenv("XDG_CURRENT_DESKTOP", c.desktop, 1);
    EXPECT_TRUE(SetFileAsWallpaper(Title)) << c.desktop;
    EXPECT_EQ(Calls, c.calls) << c.desktop;
  }

  ::setenv("XDG_CURRENT_DESKTOP", "XFCE", 1);
  XfceProperties = "/backdrop/screen0/monitor0/image-style\n"
                   "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n"
                   "/backdrop/screen0/monitoreDP-1/workspace0/last-image\n";
  Calls.clear();
  EXPECT_TRUE(SetFileAsWallpaper(Title));
  ASSERT_EQ(Calls.size(), 3u);
  EXPECT_EQ(Calls[1], (Argv{"xfconf-query", "-c", "xfce4-desktop", "-p",
                            "/backdrop/screen0/monitorHDMI-1/workspace0/last-image", "-s", Title}));
}

TEST_F(WallpaperTest, RefusalsReportFailedToSetWallpaper) {
  ::setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
  FailingProgram = "plasma-apply-wallpaperimage";
  EXPECT_FALSE(SetFileAsWallpaper(Title));
  EXPECT_EQ(FunStatContext.Description, "Failed to set wallpaper.");
  EXPECT_EQ(FunStatContext.Parameter1, Title);
  EXPECT_EQ(FunStatContext.Parameter2, "plasma-apply-wallpaperimage: exit code 1");

  ::setenv("XDG_CURRENT_DESKTOP", "Sway", 1);
  EXPECT_FALSE(SetFileAsWallpaper(Title));
  EXPECT_EQ(FunStatContext.Description, "Failed to set wallpaper.");

  ::setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
  FailingProgram.clear();
  Calls.clear();
  EXPECT_FALSE(SetFileAsWallpaper("No such wallpaper.bmp"));
  EXPECT_EQ(FunStatContext.Parameter1, Program.DataRoot() + "No such wallpaper.bmp");
  EXPECT_EQ(FunStatContext.SystemErrorCode, static_cast<uint32_t>(ENOENT));
  EXPECT_TRUE(Calls.empty());
}

} // namespace
} // namespace cv
