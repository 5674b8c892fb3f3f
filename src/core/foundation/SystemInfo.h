#pragma once
// The machine: memory status and the desktop wallpaper, and running a helper
// program (an argument list, a time limit, never a shell).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

// Byte counts. The "page file" is physical memory plus swap, which is what
// the system can commit.
struct TMemoryStatus {
  uint64_t TotalPhysical = 0;
  uint64_t AvailablePhysical = 0;
  uint64_t TotalPageFile = 0;
  uint64_t AvailablePageFile = 0;
};

// Reads the text of /proc/meminfo; false when MemTotal is missing.
bool ParseMemoryStatus(std::string_view meminfo, TMemoryStatus& status);
bool GetMemoryStatus(TMemoryStatus& status);
uint64_t GetTotalPhysicalMemory();
uint64_t GetAvailablePhysicalMemory();

struct TCommandResult {
  bool Started = false;
  bool TimedOut = false;
  int ExitCode = -1;   // -1 when it did not exit normally
  int SystemError = 0; // errno of a failed start or of a failed wait
  std::string Output;  // standard output, at most 1 MiB
};
// Runs argv[0] (searched in PATH) with the arguments as they are, in a
// process group of its own; the group is killed after `timeoutMs`.
TCommandResult RunCommand(const std::vector<std::string>& argv, int timeoutMs);

// Tests replace the runner the wallpaper uses; returns the previous one
// (an empty function restores RunCommand).
using TCommandRunner = std::function<TCommandResult(const std::vector<std::string>& argv)>;
TCommandRunner SetCommandRunner(TCommandRunner runner);

// Sets the desktop wallpaper to the data root + `fileName` (a name starting
// with "/" is taken as the full title) by the tool of the running desktop
// ($XDG_CURRENT_DESKTOP). Failure: "Failed to set wallpaper." with the title.
bool SetFileAsWallpaper(const std::string& fileName);

} // namespace cv
