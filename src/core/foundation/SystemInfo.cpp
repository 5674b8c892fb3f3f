#include "foundation/SystemInfo.h"

#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "foundation/Text.h"

#include <QByteArray>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cv {

namespace {

// "Key:   123 kB" in bytes; false when the key is absent.
bool MemInfoValue(std::string_view text, std::string_view key, uint64_t& bytes) {
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ':')
      continue;
    uint64_t value = 0;
    bool digits = false;
    size_t i = key.size() + 1;
    while (i < line.size() && line[i] == ' ')
      ++i;
    for (; i < line.size() && IsAsciiDigit(static_cast<unsigned char>(line[i])); ++i) {
      value = value * 10 + static_cast<uint64_t>(line[i] - '0');
      digits = true;
    }
    if (!digits) return false;
    const bool kilobytes = line.find("kB", i) != std::string_view::npos;
    bytes = kilobytes ? value * 1024 : value;
    return true;
  }
  return false;
}

TCommandRunner& Runner() {
  static TCommandRunner runner;
  return runner;
}

TCommandResult Run(const std::vector<std::string>& argv) {
  if (Runner()) return Runner()(argv);
  return RunCommand(argv, 10000);
}

bool Succeeded(const TCommandResult& result) {
  return result.Started && !result.TimedOut && result.ExitCode == 0;
}

std::string FileUrl(const std::string& title) {
  const QByteArray encoded = QByteArray::fromStdString(title).toPercentEncoding("/");
  return "file://" + encoded.toStdString();
}

bool HasDesktop(const std::vector<std::string>& desktops,
                std::initializer_list<const char*> names) {
  for (const std::string& desktop : desktops)
    for (const char* name : names)
      if (desktop == name) return true;
  return false;
}

} // namespace

bool ParseMemoryStatus(std::string_view meminfo, TMemoryStatus& status) {
  status = TMemoryStatus();
  uint64_t total = 0, available = 0, swapTotal = 0, swapFree = 0;
  if (!MemInfoValue(meminfo, "MemTotal", total)) return false;
  if (!MemInfoValue(meminfo, "MemAvailable", available)) {
    // Kernels before 3.14 have no estimate: free memory plus caches.
    uint64_t free = 0, buffers = 0, cached = 0;
    MemInfoValue(meminfo, "MemFree", free);
    MemInfoValue(meminfo, "Buffers", buffers);
    MemInfoValue(meminfo, "Cached", cached);
    available = std::min(total, free + buffers + cached);
  }
  MemInfoValue(meminfo, "SwapTotal", swapTotal);
  MemInfoValue(meminfo, "SwapFree", swapFree);
  status.TotalPhysical = total;
  status.AvailablePhysical = available;
  status.TotalPageFile = total + swapTotal;
  status.AvailablePageFile = available + swapFree;
  return true;
}

bool GetMemoryStatus(TMemoryStatus& status) {
  TGuard guard("GetMemoryStatus");
  status = TMemoryStatus();
  return guard.Run(false, [&] {
    std::ifstream in("/proc/meminfo");
    if (!in)
      guard.Raise("Failed to get memory status.", "/proc/meminfo", {}, errno ? errno : ENOENT);
    std::stringstream text;
    text << in.rdbuf();
    if (!ParseMemoryStatus(text.str(), status))
      guard.Raise("Failed to get memory status.", "/proc/meminfo");
    return true;
  });
}

uint64_t GetTotalPhysicalMemory() {
  TMemoryStatus status;
  GetMemoryStatus(status);
  return status.TotalPhysical;
}

uint64_t GetAvailablePhysicalMemory() {
  TMemoryStatus status;
  GetMemoryStatus(status);
  return status.AvailablePhysical;
}

TCommandResult RunCommand(const std::vector<std::string>& argv, int timeoutMs) {
  TCommandResult result;
  if (argv.empty()) {
    result.SystemError = EINVAL;
    return result;
  }
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    result.SystemError = errno;
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  // A group of its own, so a timeout also ends whatever the program started.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = 0;
  const int spawnError = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawnError != 0) {
    ::close(pipeFds[0]);
    result.SystemError = spawnError;
    return result;
  }
  result.Started = true;

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  auto remainingMs = [&] {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<int64_t>(0, left.count()));
  };
  char buffer[4096];
  bool open = true;
  while (open) {
    pollfd fd{pipeFds[0], POLLIN, 0};
    const int ready = ::poll(&fd, 1, remainingMs());
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break; // timed out (or poll failed): stop waiting for output
    const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      open = false;
    else if (result.Output.size() < (1u << 20))
      result.Output.append(buffer, static_cast<size_t>(n));
  }
  ::close(pipeFds[0]);

  int status = 0;
  while (true) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) {
      // No status to judge by (ECHILD when SIGCHLD is ignored): not a success.
      result.SystemError = errno;
      return result;
    }
    if (remainingMs() == 0) {
      ::kill(-pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      result.TimedOut = true;
      return result;
    }
    ::usleep(10000);
  }
  if (WIFEXITED(status)) result.ExitCode = WEXITSTATUS(status);
  return result;
}

TCommandRunner SetCommandRunner(TCommandRunner runner) {
  TCommandRunner previous = std::move(Runner());
  Runner() = std::move(runner);
  return previous;
}

bool SetFileAsWallpaper(const std::string& fileName) {
  TGuard guard("SetFileAsWallpaper");
  return guard.Run(false, [&] {
    const std::string title =
        !fileName.empty() && fileName.front() == '/' ? fileName : Program.DataRoot() + fileName;
    struct stat st {};
    if (::stat(title.c_str(), &st) != 0)
      guard.Raise("Failed to set wallpaper.", title, {}, static_cast<uint32_t>(errno));
    if (!S_ISREG(st.st_mode)) guard.Raise("Failed to set wallpaper.", title, {}, EINVAL);

    std::vector<std::string> desktops;
    const char* variable = std::getenv("XDG_CURRENT_DESKTOP");
    std::string current = LowerCase(variable ? variable : "");
    for (size_t start = 0; start <= current.size();) {
      size_t end = current.find(':', start);
      if (end == std::string::npos) end = current.size();
      if (end > start) desktops.push_back(current.substr(start, end - start));
      start = end + 1;
    }

    auto check = [&](const TCommandResult& result, const std::vector<std::string>& argv) {
      if (Succeeded(result)) return;
      std::string what = argv.front();
      if (result.TimedOut)
        what += ": timed out";
      else if (result.Started)
        what += ": exit code " + std::to_string(result.ExitCode);
      guard.Raise("Failed to set wallpaper.", title, what,
                  static_cast<uint32_t>(result.SystemError));
    };
    auto run = [&](const std::vector<std::string>& argv) { check(Run(argv), argv); };

    const std::string url = FileUrl(title);
    if (HasDesktop(desktops,
                   {"gnome", "unity", "budgie", "budgie-desktop", "pantheon", "ubuntu"})) {
      run({"gsettings", "set", "org.gnome.desktop.background", "picture-uri", url});
      // Only newer GNOME has the dark-style key; its absence is no failure.
      Run({"gsettings", "set", "org.gnome.desktop.background", "picture-uri-dark", url});
    } else if (HasDesktop(desktops, {"cinnamon", "x-cinnamon"})) {
      run({"gsettings", "set", "org.cinnamon.desktop.background", "picture-uri", url});
    } else if (HasDesktop(desktops, {"mate"})) {
      run({"gsettings", "set", "org.mate.background", "picture-filename", title});
    } else if (HasDesktop(desktops, {"kde"})) {
      run({"plasma-apply-wallpaperimage", title});
    } else if (HasDesktop(desktops, {"xfce"})) {
      const std::vector<std::string> list = {"xfconf-query", "-c", "xfce4-desktop", "-l"};
      const TCommandResult listed = Run(list);
      check(listed, list);
      int set = 0;
      std::istringstream lines(listed.Output);
      for (std::string property; std::getline(lines, property);) {
        const std::string suffix = "/last-image";
        if (property.size() <= suffix.size() ||
            property.compare(property.size() - suffix.size(), suffix.size(), suffix) != 0)
          continue;
        run({"xfconf-query", "-c", "xfce4-desktop", "-p", property, "-s", title});
        ++set;
      }
      if (set == 0)
        run({"xfconf-query", "-c", "xfce4-desktop", "-p",
             "/backdrop/screen0/monitor0/workspace0/last-image", "-n", "-t", "string", "-s",
             title});
    } else if (HasDesktop(desktops, {"lxqt"})) {
      run({"pcmanfm-qt", "--set-wallpaper", title});
    } else {
      guard.Raise("Failed to set wallpaper.", title, "unknown desktop: " + current);
    }
    return true;
  });
}

} // namespace cv
