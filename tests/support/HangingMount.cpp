#include "HangingMount.h"

#include "filesystem/Partitions.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cv::test {

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

constexpr const char* Program = CORVANTIDE_HANGFS;
constexpr auto MountTimeout = 5s;
constexpr auto StopTimeout = 5s;

std::string ReadText(const std::string& title) {
  std::ifstream file(title, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string FindInPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string directories = path ? path : "/usr/bin:/bin";
  for (size_t start = 0; start <= directories.size();) {
    size_t end = directories.find(':', start);
    if (end == std::string::npos) end = directories.size();
    const std::string candidate = directories.substr(start, end - start) + "/" + name;
    if (end > start && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

// Starts a program with its output going to `log`. With `dieWithParent`
// the kernel sends it SIGTERM when the calling thread ends. -1 on failure.
pid_t Spawn(const std::vector<std::string>& arguments, const std::string& log, bool dieWithParent) {
  // Everything the child needs is made before the fork.
  std::vector<char*> argv;
  for (const std::string& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t child = ::fork();
  if (child != 0) return child;
  if (dieWithParent && (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || ::getppid() != parent))
    ::_exit(126);
  const int in = ::open("/dev/null", O_RDONLY);
  const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  if (in < 0 || out < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0)
    ::_exit(126);
  // No descriptor of the tests stays open in the file system.
  ::close_range(3, ~0U, 0);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

// Reaps the process if it ends within the time; its wait status, or -1.
int WaitForExit(pid_t process, TClock::duration timeout) {
  const TClock::time_point end = TClock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(process, &status, WNOHANG);
    if (done == process) return status;
    if (done < 0 && errno != EINTR) return -1;
    if (TClock::now() >= end) return -1;
    std::this_thread::sleep_for(5ms);
  }
}

} // namespace

THangingMount::THangingMount(unsigned delayMs, unsigned statDelayMs) {
  Mounted = Mount(delayMs, statDelayMs);
  // A mount that came up too late is taken down all the same.
  if (!Mounted) Unmount();
}

THangingMount::~THangingMount() {
  Unmount();
}

bool THangingMount::IsMountedAt(const std::string& point) {
  const std::vector<TMountEntry> mounts = ParseMountInfo(ReadText("/proc/self/mountinfo"));
  return std::any_of(mounts.begin(), mounts.end(), [&](const TMountEntry& mount) {
    return mount.MountPoint == point && mount.FileSystem == FileSystem;
  });
}

bool THangingMount::Mount(unsigned delayMs, unsigned statDelayMs) {
  if (std::string(Program).empty()) {
    Reason = "the hanging file system was not built (no libfuse3)";
    return false;
  }
  if (::access(Program, X_OK) != 0) {
    Reason = std::string(Program) + ": " + SystemErrorText(errno);
    return false;
  }
  const int fuse = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
  if (fuse < 0) {
    Reason = "/dev/fuse: " + SystemErrorText(errno);
    return false;
  }
  ::close(fuse);
  // Root mounts by itself; anyone else needs the set-user-id helper.
  if (::geteuid() != 0 && FindInPath("fusermount3").empty()) {
    Reason = "fusermount3 is missing";
    return false;
  }
  char* real = Directory.Path.empty() ? nullptr : ::realpath(Directory.Path.c_str(), nullptr);
  if (!real) {
    Reason = "no temporary directory for the mount";
    return false;
  }
  const std::string point = std::string(real) + "/hang";
  std::free(real);
  if (::mkdir(point.c_str(), 0755) != 0) {
    Reason = point + ": " + SystemErrorText(errno);
    return false;
  }
  LogTitle = Directory.Path + "/hangfs.log";
  Process = Spawn({Program, point, "-f", "--delay-ms=" + std::to_string(delayMs),
                   "--stat-delay-ms=" + std::to_string(statDelayMs)},
                  LogTitle, true);
  if (Process < 0) {
    Reason = "fork: " + SystemErrorText(errno);
    return false;
  }
  Point = point;
  return WaitForMount();
}

bool THangingMount::WaitForMount() {
  const TClock::time_point end = TClock::now() + MountTimeout;
  while (!IsMountedAt(Point)) {
    int status = 0;
    if (::waitpid(Process, &status, WNOHANG) == Process) {
      Process = -1;
      Reason = "the hanging file system did not mount (exit status " + std::to_string(status) +
               "): " + ReadText(LogTitle);
      return false;
    }
    if (TClock::now() >= end) {
      Reason = "the hanging file system did not mount within 5 s: " + ReadText(LogTitle);
      return false;
    }
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

void THangingMount::Unmount() {
  if (!Point.empty()) {
    // Lazily: a strict unmount of a busy or dead mount fails or waits.
    if (::geteuid() == 0) {
      ::umount2(Point.c_str(), MNT_DETACH);
    } else {
      const pid_t helper =
          Spawn({FindInPath("fusermount3"), "-u", "-z", "-q", Point}, LogTitle, false);
      if (helper > 0 && WaitForExit(helper, StopTimeout) == -1) {
        ::kill(helper, SIGKILL);
        WaitForExit(helper, StopTimeout);
      }
    }
  }
  StopProcess();
  Mounted = false;
  Point.clear();
}

// Killed, not asked: a handler may be in the middle of its delay.
void THangingMount::StopProcess() {
  if (Process < 0) return;
  ::kill(Process, SIGKILL);
  WaitForExit(Process, StopTimeout);
  Process = -1;
}

} // namespace cv::test
