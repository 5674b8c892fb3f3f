#include "search/SearchEngine.h"

#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "filesystem/FileStreams.h"
#include "filesystem/Partitions.h"
#include "foundation/Guard.h"
#include "foundation/MyMath.h"
#include "foundation/Text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

namespace cv {

namespace {

uint32_t Code(int code) {
  return static_cast<uint32_t>(code);
}

class TFdCloser {
public:
  explicit TFdCloser(int fd) : Fd(fd) {}
  ~TFdCloser() {
    if (Fd >= 0) ::close(Fd);
  }
  TFdCloser(const TFdCloser&) = delete;
  TFdCloser& operator=(const TFdCloser&) = delete;

private:
  int Fd;
};

// File systems that hold no user files, only views of the kernel: walking
// them finds nothing and reading them may block or loop.
bool IsPseudoFileSystem(std::string_view name) {
  static const char* const names[] = {
      "proc",       "sysfs", "cgroup",   "cgroup2", "devpts", "mqueue", "debugfs", "tracefs",
      "securityfs", "bpf",   "configfs", "fusectl", "pstore", "autofs", "nsfs",    "binfmt_misc"};
  return std::any_of(std::begin(names), std::end(names),
                     [&](const char* pseudo) { return name == pseudo; });
}

bool IsPseudoMagic(long type) {
  static const long magics[] = {PROC_SUPER_MAGIC,
                                SYSFS_MAGIC,
                                CGROUP_SUPER_MAGIC,
                                CGROUP2_SUPER_MAGIC,
                                DEVPTS_SUPER_MAGIC,
                                0x19800202 /* mqueue */,
                                DEBUGFS_MAGIC,
                                TRACEFS_MAGIC,
                                SECURITYFS_MAGIC,
                                BPF_FS_MAGIC,
                                0x62656570 /* configfs */,
                                0x65735543 /* fusectl */,
                                PSTOREFS_MAGIC,
                                AUTOFS_SUPER_MAGIC,
                                NSFS_MAGIC,
                                BINFMTFS_MAGIC};
  return std::find(std::begin(magics), std::end(magics), type) != std::end(magics);
}

// Reads up to `size` bytes; fewer only at the end of the file.
ssize_t ReadFull(int fd, char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

TDateTime DateTimeOf(const struct statx_timestamp& time) {
  return ConvertFileTime(UnixTimeToFileTime(time.tv_sec, time.tv_nsec));
}

} // namespace

std::string SearchNamePattern(std::string_view text, bool similar, bool* isTextPattern) {
  std::string pattern = ExpandNameFilter(text);
  if (isTextPattern) *isTextPattern = pattern == ExpandNameFilter("Text files");
  if (similar && pattern != "*") pattern = "*" + pattern + "*";
  return pattern;
}

std::string ValidateSearchSettings(TSearchSettings& settings, TDateTime now) {
  if (settings.Model.empty() && (settings.Pattern.empty() ||
                                 settings.Pattern.find_first_of("<>|\":\\/") != std::string::npos))
    return "File name filter is invalid.";
  if (!settings.FindDirectories && !settings.FindFiles)
    return "You must search either directories or files.";
  return settings.Limits.Validate(now);
}

// A directory held open for the walk and for the jobs of its entries.
struct TSearchEngine::TDirectory {
  int Fd = -1;
  std::string Prefix; // the title with a trailing "/"
  std::string Real;   // the same without symbolic links, for the mount table
  dev_t Device = 0;
  ~TDirectory() {
    if (Fd >= 0) ::close(Fd);
  }
};

struct TSearchEngine::TJob {
  uint64_t Sequence = 0;
  std::shared_ptr<TDirectory> Parent; // null for a chosen item
  std::string Name, Title;
  bool IsDirectory = false;
  int Rank = 0;
  bool Jumped = false;
  bool Failed = false;
  TFunStatContext Failure;
};

struct TSearchEngine::TPool {
  std::mutex Lock;
  std::condition_variable Work, Done;
  std::deque<TJob> Queue;
  std::map<uint64_t, TJob> Finished;
  std::vector<std::thread> Threads;
  bool Quit = false;
};

struct TSearchEngine::TState {
  std::shared_ptr<const TMountTable> Mounts;
  std::set<std::string> AllowedMounts;
  std::set<std::pair<dev_t, ino_t>> Visited;
  uint64_t NextSequence = 0, NextCommit = 0;
  size_t Limit = 0;
  bool Duplicates = false, ContentWork = false;
  std::string ModelExtension;
  uint64_t ModelSize = 0;
  dev_t ModelDevice = 0;
  ino_t ModelInode = 0;
};

TSearchEngine::TSearchEngine(TSearchHost& host, TSecondsClock clock)
    : Host(host), Clock(clock), Elapsed(clock), Display(clock), Pump(clock) {}

TSearchEngine::~TSearchEngine() = default;

std::string TSearchEngine::InformationLine() const {
  return "Errors " + std::to_string(Count.Errors) + " | Directories " +
         std::to_string(Count.Directories) + " | Files " + std::to_string(Count.Files) +
         " | Jumped files " + std::to_string(Count.Jumped) + " | Time " +
         AlignRealToTextPow(6, 1, Elapsed.Elapsed());
}

bool TSearchEngine::Run(TSearchSettings settings, const std::vector<std::string>& titles) {
  Settings = std::move(settings);
  Count = {};
  List.Clear();
  Batch.clear();
  RefusedWith = ValidateSearchSettings(Settings, NowDateTime());
  if (!RefusedWith.empty()) return false;
  Stopped = false;
  Elapsed.Start();
  Display.Start();
  Pump.Start();
  State = std::make_unique<TState>();
  TextFilesPattern = ExpandNameFilter("Text files");
  State->Duplicates = !Settings.Model.empty();
  State->ContentWork = State->Duplicates || !Settings.Text.Empty();
  State->Mounts = CurrentMountTable();
  FunStatContext.Reset(fsPerfect);

  if (State->Duplicates) {
    Settings.Text = {};
    struct statx model {};
    const int code = StatxTitle(Settings.Model, true, STATX_TYPE | STATX_SIZE | STATX_INO, &model);
    if (code != 0 || !S_ISREG(model.stx_mode)) {
      TGuard guard("TSearchEngine::Run");
      guard.Run([&] {
        guard.Raise(code != 0 ? "Failed to get file information." : "Not a file.", Settings.Model,
                    {}, Code(code));
      });
      Fail(guard.Context(), "Failed to search.");
      FunStatContext.Reset(fsPerfect);
      return false;
    }
    State->ModelSize = model.stx_size;
    State->ModelDevice = makedev(model.stx_dev_major, model.stx_dev_minor);
    State->ModelInode = model.stx_ino;
    State->ModelExtension = GetExtension(Settings.Model);
  }

  unsigned threads = Settings.Threads != 0 ? Settings.Threads : std::thread::hardware_concurrency();
  threads = std::clamp(threads, 1u, 64u);
  if (State->ContentWork && threads > 1) {
    Pool = std::make_unique<TPool>();
    State->Limit = 4 * threads + 16;
    for (unsigned i = 0; i < threads; ++i)
      Pool->Threads.emplace_back([this] {
        std::unique_lock lock(Pool->Lock);
        for (;;) {
          Pool->Work.wait(lock, [&] { return Pool->Quit || !Pool->Queue.empty(); });
          if (Pool->Queue.empty()) return;
          TJob job = std::move(Pool->Queue.front());
          Pool->Queue.pop_front();
          lock.unlock();
          if (!Stopped) Evaluate(job);
          lock.lock();
          const uint64_t sequence = job.Sequence;
          Pool->Finished.emplace(sequence, std::move(job));
          Pool->Done.notify_all();
        }
      });
  }

  for (size_t i = 0; i < titles.size() && !Stopped; ++i) {
    SearchTitle(titles[i]);
    // Results of this item are in before the column lets go of it.
    Collect(true);
    if (!Stopped) Host.Deselect(i);
  }
  Collect(true);
  if (Pool) {
    {
      std::lock_guard lock(Pool->Lock);
      Pool->Quit = true;
    }
    Pool->Work.notify_all();
    for (std::thread& thread : Pool->Threads)
      thread.join();
    Pool.reset();
  }
  Flush();
  Host.ShowProgress("Search complete.", InformationLine());
  State.reset();
  FunStatContext.Reset(fsPerfect);
  return !Stopped;
}

void TSearchEngine::Fail(const TFunStatContext& failure, const std::string& sentence) {
  ++Count.Errors;
  if (!Host.ReportError(failure, sentence)) Stopped = true;
}

void TSearchEngine::Flush() {
  if (Batch.empty()) return;
  Host.Found(Batch);
  Batch.clear();
}

void TSearchEngine::Step(const std::string& title) {
  if (!title.empty()) Looking = title;
  if (Display.IsPeriod(1.0)) Host.ShowProgress(Looking, InformationLine());
  if (Pump.IsPeriod(0.02)) {
    Flush();
    Host.PumpEvents();
  }
}

bool TSearchEngine::SkipMount(const std::string& realTitle) const {
  if (!State->Mounts) return false;
  const TMountEntry* mount = State->Mounts->MountAt(realTitle);
  if (!mount) return false;
  if (IsPseudoFileSystem(mount->FileSystem)) return true;
  // Shares and unknown FUSE file systems may hang: searched only when the
  // search starts in them.
  return State->Mounts->TypeOf(*mount) == ptRemote &&
         State->AllowedMounts.count(mount->MountPoint) == 0;
}

void TSearchEngine::SearchTitle(const std::string& chosen) {
  const std::string title = IsPartitionTitle(chosen) ? PartitionTitleToPath(chosen) : chosen;
  TGuard guard("TSearchEngine::SearchTitle");
  guard.Run([&] {
    struct statx info {};
    int code = StatxTitle(title, false, STATX_TYPE | STATX_INO, &info);
    if (code != 0) guard.Raise("Failed to get file information.", title, {}, Code(code));
    const std::string name = title == "/" ? "/" : GetTitleName(title);
    Step(title);
    if (!S_ISDIR(info.stx_mode)) {
      bool isDirectory = false;
      struct statx target {};
      if (S_ISLNK(info.stx_mode) && StatxTitle(title, true, STATX_TYPE, &target) == 0)
        isDirectory = S_ISDIR(target.stx_mode);
      if (isDirectory ? Settings.FindDirectories : Settings.FindFiles)
        Test(nullptr, name, title, isDirectory);
      return;
    }
    if (Settings.FindDirectories) Test(nullptr, name, title, true);
    if (!Settings.Recursive) return;
    const TTitleAt at(title);
    if (at.Error != 0) guard.Raise("Failed to open directory.", title, {}, Code(at.Error));
    const int fd = ::openat(at.Directory, at.Name.c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) guard.Raise("Failed to open directory.", title, {}, Code(errno));
    auto directory = std::make_shared<TDirectory>();
    directory->Fd = fd;
    directory->Prefix = title == "/" ? "/" : title + "/";
    struct stat own {};
    if (::fstat(fd, &own) != 0)
      guard.Raise("Failed to get file information.", title, {}, Code(errno));
    directory->Device = own.st_dev;
    State->Visited.insert({own.st_dev, own.st_ino});
    char* real = ::realpath(title.c_str(), nullptr);
    directory->Real = real ? real : title;
    std::free(real);
    if (State->Mounts)
      if (const TMountEntry* mount = State->Mounts->MountOfPath(directory->Real))
        State->AllowedMounts.insert(mount->MountPoint);
    if (directory->Real != "/") directory->Real += "/";
    SearchDirectory(directory);
  });
  if (guard.Failed()) Fail(guard.Context(), "Failed to process file.");
}

void TSearchEngine::SearchDirectory(const std::shared_ptr<TDirectory>& directory) {
  std::vector<std::pair<std::string, unsigned char>> entries;
  {
    TGuard guard("TSearchEngine::SearchDirectory");
    guard.Run([&] {
      const int copy = ::fcntl(directory->Fd, F_DUPFD_CLOEXEC, 0);
      DIR* listing = copy < 0 ? nullptr : ::fdopendir(copy);
      if (!listing) {
        const int code = errno;
        if (copy >= 0) ::close(copy);
        guard.Raise("Failed to find first file.", directory->Prefix, {}, Code(code));
      }
      errno = 0;
      while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") entries.emplace_back(name, entry->d_type);
        errno = 0;
      }
      const int code = errno;
      ::closedir(listing);
      if (code != 0) guard.Raise("Failed to look in directory.", directory->Prefix, {}, Code(code));
    });
    // What was listed before a failure is still searched.
    if (guard.Failed()) Fail(guard.Context(), "Failed to search in directory.");
  }
  std::sort(entries.begin(), entries.end());
  for (const auto& [name, type] : entries) {
    if (Stopped) return;
    const std::string title = directory->Prefix + name;
    Step(title);
    Consider(directory, name, title, type);
  }
}

void TSearchEngine::Consider(const std::shared_ptr<TDirectory>& parent, const std::string& name,
                             const std::string& title, unsigned char type) {
  TGuard guard("TSearchEngine::Consider");
  guard.Run([&] {
    bool isDirectory = type == DT_DIR, isLink = type == DT_LNK;
    if (type == DT_UNKNOWN) {
      struct statx info {};
      const int code =
          ::statx(parent->Fd, name.c_str(), AT_SYMLINK_NOFOLLOW, STATX_TYPE, &info) ? errno : 0;
      if (code == ENOENT) return; // gone meanwhile
      if (code != 0) guard.Raise("Failed to get file information.", title, {}, Code(code));
      isDirectory = S_ISDIR(info.stx_mode);
      isLink = S_ISLNK(info.stx_mode);
    }
    if (isLink) {
      // Listed as its target; never walked into.
      struct statx target {};
      if (::statx(parent->Fd, name.c_str(), 0, STATX_TYPE, &target) == 0 &&
          S_ISDIR(target.stx_mode)) {
        if (Settings.FindDirectories) Test(parent, name, title, true);
        return;
      }
    }
    if (!isDirectory) {
      if (Settings.FindFiles) Test(parent, name, title, false);
      return;
    }
    if (Settings.FindDirectories) Test(parent, name, title, true);
    if (Settings.Recursive && !Stopped) Descend(parent, name, title);
  });
  if (guard.Failed()) Fail(guard.Context(), "Failed to process file.");
}

void TSearchEngine::Descend(const std::shared_ptr<TDirectory>& parent, const std::string& name,
                            const std::string& title) {
  const std::string real = parent->Real + name;
  if (SkipMount(real)) return;
  TGuard guard("TSearchEngine::Descend");
  guard.Run([&] {
    const int fd = ::openat(parent->Fd, name.c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
      // Gone, or swapped for a link or a file since it was listed.
      if (errno == ENOENT || errno == ELOOP || errno == ENOTDIR) return;
      guard.Raise("Failed to open directory.", title, {}, Code(errno));
    }
    auto directory = std::make_shared<TDirectory>();
    directory->Fd = fd;
    struct stat own {};
    if (::fstat(fd, &own) != 0)
      guard.Raise("Failed to get file information.", title, {}, Code(errno));
    // Bind mounts and other loops lead back to a directory already walked.
    if (!State->Visited.insert({own.st_dev, own.st_ino}).second) return;
    if (own.st_dev != parent->Device) {
      struct statfs kind {};
      if (::fstatfs(fd, &kind) == 0 && IsPseudoMagic(static_cast<long>(kind.f_type))) return;
    }
    directory->Device = own.st_dev;
    directory->Prefix = title + "/";
    directory->Real = real + "/";
    SearchDirectory(directory);
  });
  if (guard.Failed()) Fail(guard.Context(), "Failed to search in directory.");
}

void TSearchEngine::Test(const std::shared_ptr<TDirectory>& parent, const std::string& name,
                         const std::string& title, bool isDirectory) {
  TGuard guard("TSearchEngine::Test");
  guard.Run([&] {
    TJob job;
    job.Parent = parent;
    job.Name = name;
    job.Title = title;
    job.IsDirectory = isDirectory;
    const int directoryFd = parent ? parent->Fd : AT_FDCWD;
    const std::string& statName = parent ? name : title;
    if (State->Duplicates) {
      if (isDirectory || !SameTextFolded(GetExtension(name), State->ModelExtension)) return;
      struct statx info {};
      if (::statx(directoryFd, statName.c_str(), 0, STATX_TYPE | STATX_SIZE | STATX_INO, &info) !=
          0) {
        if (errno == ENOENT) return;
        guard.Raise("Failed to get file information.", title, {}, Code(errno));
      }
      // The model itself, under any name, is never its own duplicate.
      if (!S_ISREG(info.stx_mode) || info.stx_size != State->ModelSize ||
          (makedev(info.stx_dev_major, info.stx_dev_minor) == State->ModelDevice &&
           info.stx_ino == State->ModelInode))
        return;
      Submit(std::move(job), false);
      return;
    }
    if (!MatchesNameFilter(name, Settings.Pattern) && !(isDirectory && !Settings.Text.Empty()))
      return;
    const TSearchLimits& limits = Settings.Limits;
    if (limits.AnyTime() || (!isDirectory && limits.AnySize())) {
      struct statx info {};
      if (::statx(directoryFd, statName.c_str(), 0,
                  STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_BTIME, &info) != 0) {
        if (errno == ENOENT) return;
        guard.Raise("Failed to get file information.", title, {}, Code(errno));
      }
      const TDateTime modified = DateTimeOf(info.stx_mtime);
      const TDateTime creation =
          (info.stx_mask & STATX_BTIME) != 0 ? DateTimeOf(info.stx_btime) : modified;
      if (!limits.TimesMatch(creation, modified)) return;
      if (!isDirectory && !limits.SizeMatches(info.stx_size)) return;
    }
    if (Settings.Text.Empty()) {
      job.Rank = 1;
      Submit(std::move(job), true);
    } else {
      Submit(std::move(job), false);
    }
  });
  if (guard.Failed()) Fail(guard.Context(), "Failed to process file.");
}

void TSearchEngine::Submit(TJob job, bool decided) {
  job.Sequence = State->NextSequence++;
  if (!Pool) {
    if (!decided) Evaluate(job);
    ++State->NextCommit;
    Commit(job);
    return;
  }
  // Bounded: a walk far ahead of the readers would hold every title.
  while (State->NextSequence - 1 - State->NextCommit >= State->Limit && !Stopped) {
    {
      std::unique_lock lock(Pool->Lock);
      Pool->Done.wait_for(lock, std::chrono::milliseconds(20),
                          [&] { return Pool->Finished.count(State->NextCommit) != 0; });
    }
    Collect(false);
    Step(job.Title);
  }
  {
    std::lock_guard lock(Pool->Lock);
    if (decided)
      Pool->Finished.emplace(job.Sequence, std::move(job));
    else
      Pool->Queue.push_back(std::move(job));
  }
  if (!decided) Pool->Work.notify_one();
  Collect(false);
}

void TSearchEngine::Collect(bool all) {
  if (!Pool) return;
  for (;;) {
    std::vector<TJob> ready;
    {
      std::unique_lock lock(Pool->Lock);
      if (all && State->NextCommit < State->NextSequence)
        Pool->Done.wait_for(lock, std::chrono::milliseconds(20),
                            [&] { return Pool->Finished.count(State->NextCommit) != 0; });
      for (auto found = Pool->Finished.find(State->NextCommit); found != Pool->Finished.end();
           found = Pool->Finished.find(State->NextCommit)) {
        ready.push_back(std::move(found->second));
        Pool->Finished.erase(found);
        ++State->NextCommit;
      }
    }
    for (TJob& job : ready)
      Commit(job);
    if (!all || State->NextCommit == State->NextSequence) return;
    Step({});
  }
}

void TSearchEngine::Commit(TJob& job) {
  if (job.Jumped) ++Count.Jumped;
  if (job.Failed && !Stopped) Fail(job.Failure, "Failed to process file.");
  if (job.Rank <= 0 || Stopped) return;
  ++(job.IsDirectory ? Count.Directories : Count.Files);
  const size_t place = List.Insert(job.Title, job.Rank, job.IsDirectory, !Settings.Text.Empty());
  Batch.push_back({List.Items()[place], place});
}

// ---- Reading and matching (worker threads) -------------------------------

namespace {

int OpenEntry(int directoryFd, const std::string& name, const std::string& title, int flags) {
  if (directoryFd >= 0) return ::openat(directoryFd, name.c_str(), flags);
  const TTitleAt at(title);
  if (at.Error != 0) {
    errno = at.Error;
    return -1;
  }
  return ::openat(at.Directory, at.Name.c_str(), flags);
}

constexpr int ReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// The value of a user attribute of an open file; empty when it has none.
std::string ReadAttribute(TGuard& guard, int fd, const char* name, const std::string& title) {
  std::string value;
  for (int attempt = 0; attempt < 4; ++attempt) {
    const ssize_t size = ::fgetxattr(fd, name, nullptr, 0);
    if (size < 0) {
      if (errno == ENODATA || IsStreamsNotSupportedCode(errno)) return {};
      guard.Raise("Failed to read data.", title, name, Code(errno));
    }
    value.resize(static_cast<size_t>(size));
    const ssize_t got = ::fgetxattr(fd, name, value.data(), value.size());
    if (got >= 0) {
      value.resize(static_cast<size_t>(got));
      return value;
    }
    if (errno != ERANGE) guard.Raise("Failed to read data.", title, name, Code(errno));
  }
  return value;
}

std::vector<std::string> StreamNames(TGuard& guard, int fd, const std::string& title) {
  std::string list;
  for (int attempt = 0; attempt < 4; ++attempt) {
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size < 0) {
      if (IsStreamsNotSupportedCode(errno)) return {};
      guard.Raise("Failed to read data.", title, {}, Code(errno));
    }
    list.resize(static_cast<size_t>(size));
    const ssize_t got = ::flistxattr(fd, list.data(), list.size());
    if (got >= 0) {
      list.resize(static_cast<size_t>(got));
      break;
    }
    if (errno != ERANGE) guard.Raise("Failed to read data.", title, {}, Code(errno));
  }
  std::vector<std::string> names;
  for (size_t start = 0; start < list.size();) {
    const size_t end = list.find('\0', start);
    const std::string_view name(list.data() + start,
                                (end == std::string::npos ? list.size() : end) - start);
    if (name.starts_with("user.")) names.emplace_back(name);
    start = end == std::string::npos ? list.size() : end + 1;
  }
  return names;
}

} // namespace

void TSearchEngine::Evaluate(TJob& job) const {
  const int directoryFd = job.Parent ? job.Parent->Fd : -1;
  TGuard guard("TSearchEngine::Evaluate");
  guard.Run([&] {
    if (State->Duplicates) {
      const int fd = OpenEntry(directoryFd, job.Name, job.Title, ReadFlags);
      if (fd < 0) {
        if (errno == ENOENT) return;
        guard.Raise("Failed to open file.", job.Title, {}, Code(errno));
      }
      const TFdCloser closeFd(fd);
      const TTitleAt at(Settings.Model);
      const int model = at.Error != 0 ? -1 : ::openat(at.Directory, at.Name.c_str(), ReadFlags);
      if (model < 0)
        guard.Raise("Failed to open file.", Settings.Model, {}, Code(at.Error ? at.Error : errno));
      const TFdCloser closeModel(model);
      struct stat a {
      }, b{};
      if (::fstat(fd, &a) != 0 || ::fstat(model, &b) != 0)
        guard.Raise("Failed to get file information.", job.Title, {}, Code(errno));
      // Swapped since the walk saw it.
      if (!S_ISREG(a.st_mode) || !S_ISREG(b.st_mode) || a.st_size != b.st_size ||
          (a.st_dev == b.st_dev && a.st_ino == b.st_ino))
        return;
      constexpr size_t chunk = 65536;
      thread_local std::string left, right;
      left.resize(chunk);
      right.resize(chunk);
      for (;;) {
        if (Stopped) return;
        const ssize_t x = ReadFull(fd, left.data(), chunk);
        if (x < 0) guard.Raise("Failed to read data.", job.Title, {}, Code(errno));
        const ssize_t y = ReadFull(model, right.data(), chunk);
        if (y < 0) guard.Raise("Failed to read data.", Settings.Model, {}, Code(errno));
        if (x != y || std::memcmp(left.data(), right.data(), static_cast<size_t>(x)) != 0) return;
        if (x == 0) break;
      }
      job.Rank = 1;
      return;
    }

    thread_local TSearchBuffer buffer;
    thread_local std::string content;
    buffer.Clear();
    const TFileParts parts = Settings.Parts;
    const bool names = parts == TFileParts::Name || parts == TFileParts::NameContent ||
                       parts == TFileParts::NameText;
    const std::string_view name = TitleNamePart(job.Title);
    if (job.IsDirectory) {
      if (names) buffer.AddName(TitlePathPart(job.Title), name);
    } else {
      struct statx info {};
      if (::statx(directoryFd >= 0 ? directoryFd : AT_FDCWD,
                  (directoryFd >= 0 ? job.Name : job.Title).c_str(), 0, STATX_TYPE | STATX_SIZE,
                  &info) != 0) {
        if (errno == ENOENT) return;
        guard.Raise("Failed to get file information.", job.Title, {}, Code(errno));
      }
      const bool regular = S_ISREG(info.stx_mode);
      if (regular && info.stx_size > MaxSearchedFileSize) {
        job.Jumped = true;
        return;
      }
      if (names) buffer.AddName(TitlePathPart(job.Title), name);
      const bool description = parts == TFileParts::Description;
      const bool main =
          parts == TFileParts::Content || parts == TFileParts::NameContent ||
          (parts == TFileParts::NameText &&
           (Settings.Pattern == TextFilesPattern || MatchesNameFilter(name, TextFilesPattern)));
      // Only regular files are opened: FIFOs and devices could block or
      // change state when read.
      if (regular && (description || main)) {
        const int fd = OpenEntry(directoryFd, job.Name, job.Title, ReadFlags);
        if (fd < 0) {
          if (errno == ENOENT) return;
          guard.Raise("Failed to open file.", job.Title, {}, Code(errno));
        }
        const TFdCloser closeFd(fd);
        struct stat opened {};
        if (::fstat(fd, &opened) != 0)
          guard.Raise("Failed to get file information.", job.Title, {}, Code(errno));
        if (!S_ISREG(opened.st_mode)) return;
        if (description) {
          std::string text = ReadAttribute(guard, fd, "user.Description", job.Title);
          text.resize(std::min(text.size(), text.find('\0')));
          buffer.AddPart(text);
        }
        if (main) {
          // One byte more than measured tells a file that grew past the limit.
          content.resize(std::min<uint64_t>(opened.st_size, MaxSearchedFileSize) + 1);
          const ssize_t got = ReadFull(fd, content.data(), content.size());
          if (got < 0) guard.Raise("Failed to read data.", job.Title, {}, Code(errno));
          if (static_cast<uint64_t>(got) > MaxSearchedFileSize) {
            job.Jumped = true; // grew since it was measured
            return;
          }
          buffer.AddPart(std::string_view(content.data(), static_cast<size_t>(got)));
          for (const std::string& stream : StreamNames(guard, fd, job.Title))
            buffer.AddPart(ReadAttribute(guard, fd, stream.c_str(), job.Title));
        }
      }
    }
    buffer.Finish();
    job.Rank = MatchTextInBuffer(buffer.Text(), buffer.NameStart(), Settings.Text,
                                 [this](size_t, size_t) { return !Stopped; });
  });
  if (guard.Failed()) {
    job.Failed = true;
    job.Failure = guard.Context();
    job.Rank = 0;
  }
}

} // namespace cv
