#pragma once
// A mount of the hanging file system (tests/probe/HangingFileSystem.cpp) for
// tests of slow and dead file systems. Its root holds "a.txt", "b.txt" and
// the directory "sub"; listing a directory (readdir) and asking for the
// sizes (statfs) wait `delayMs` before they answer; stat (getattr, and so
// every lookup of a name) waits `statDelayMs`; reads answer at once. A stat
// of the mount point answers while a listing waits; a lookup in the very
// directory being listed waits for the listing (the kernel holds it back).
//
//   test::THangingMount mount(1000);
//   if (!mount.Available()) GTEST_SKIP() << mount.SkipReason();
//   ... mount.MountPoint() ...
//
// The mount lies at a fresh directory below the private test root (under
// /tmp as a rule, so it is one of the partitions), listed in mountinfo as
// type "fuse.corvantide-hangfs" with source "corvantide-hangfs": a remote
// partition. Make it on the thread that outlives it (the test's own): the
// file system stops and unmounts itself when that thread ends, so a test
// that crashes leaves no mount behind.

#include "TestSupport.h"

#include <string>
#include <sys/types.h>

namespace cv::test {

class THangingMount {
public:
  static constexpr const char* FileSystem = "fuse.corvantide-hangfs";
  static constexpr const char* Source = "corvantide-hangfs";

  // Mounts and waits (at most a few seconds) until mountinfo lists it.
  explicit THangingMount(unsigned delayMs = 10000, unsigned statDelayMs = 0);
  // Unmount().
  ~THangingMount();
  THangingMount(const THangingMount&) = delete;
  THangingMount& operator=(const THangingMount&) = delete;

  // The mount is up.
  bool Available() const { return Mounted; }
  // Why it is not: no libfuse3 at build time, no usable /dev/fuse, no
  // fusermount3 for a user that is not root, or the mount failed.
  const std::string& SkipReason() const { return Reason; }
  // Absolute, without symbolic links or a trailing "/"; empty when not available.
  const std::string& MountPoint() const { return Point; }

  // Detaches the mount (lazily: it never waits for a handler that sleeps)
  // and kills the file system, whose waiting callers then fail at once.
  // The destructor does it too; a second call does nothing.
  void Unmount();

  // /proc/self/mountinfo lists a hanging file system at the point.
  static bool IsMountedAt(const std::string& point);

private:
  bool Mount(unsigned delayMs, unsigned statDelayMs);
  bool WaitForMount();
  void StopProcess();

  TTempDir Directory; // holds the mount point and the log; removed last
  std::string Point;
  std::string LogTitle; // the file system's error output
  std::string Reason;
  pid_t Process = -1;
  bool Mounted = false;
};

} // namespace cv::test
