#include "search/SearchEngine.h"

#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "filesystem/FileStreams.h"
#include "filesystem/Partitions.h"
#include "foundation/Guard.h"
#include "foundation/MyMath.h"
#include "foundation/OffThread.h"
#include "foundation/Text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <list>
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

// A clock good to a few milliseconds that costs next to nothing, for the
// age of a batch, looked at for every entry of the walk.
double CoarseSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

class TFdCloser {
public:
  explicit TFdCloser(int fd) : Fd(fd) {}
  ~TFdCloser() {
    if (Fd >= 0) ::close(Fd);
  }
  void Reset(int fd) {
    if (Fd >= 0) ::close(Fd);
    Fd = fd;
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

// Reads up to `capacity` bytes, and stops early at the end of the file or
// once the `expected` bytes of a regular file came: its size, measured just
// now, spares the call that would only find the end.
ssize_t ReadExpected(int fd, char* data, size_t capacity, uint64_t expected) {
  size_t done = 0;
  do {
    const ssize_t n = ::read(fd, data + done, capacity - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  } while (done < capacity && done < expected);
  return static_cast<ssize_t>(done);
}

// statx (through links) of an entry of a held directory, or of a chosen
// title of any length; 0 or the errno.
int StatEntry(int directoryFd, const std::string& name, const std::string& title, unsigned mask,
              struct statx* out) {
  if (directoryFd >= 0) return ::statx(directoryFd, name.c_str(), 0, mask, out) == 0 ? 0 : errno;
  return StatxTitle(title, true, mask, out);
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
  // A Linux name may hold any byte but "/" and NUL; CR and LF would break the history lines.
  if (settings.Model.empty() &&
      (settings.Pattern.empty() ||
       settings.Pattern.find_first_of(std::string_view("/\0\r\n", 4)) != std::string::npos))
    return "File name filter is invalid.";
  if (!settings.FindDirectories && !settings.FindFiles)
    return "You must search either directories or files.";
  return settings.Limits.Validate(now);
}

// A directory held open for the walk and for the jobs of its entries.
struct TSearchDirectory {
  int Fd = -1;
  std::string Prefix; // the title with a trailing "/"
  std::string Real;   // the same without symbolic links, for the mount table
  dev_t Device = 0;
  bool Remote = false; // on a share or FUSE partition, which may stop answering
  ~TSearchDirectory() {
    if (Fd >= 0) ::close(Fd);
  }
};

struct TSearchEngine::TJob {
  enum TKind { Item, Failure, Deselect };
  TKind Kind = Item;
  uint64_t Sequence = 0;
  std::shared_ptr<TSearchDirectory> Parent; // null for a chosen item
  std::string Name, Title;
  bool IsDirectory = false;
  // What the listing said (DT_REG, DT_LNK...; DT_UNKNOWN for a chosen item).
  unsigned char Type = DT_UNKNOWN;
  // Its contents are still to be read by a worker.
  bool Open = false;
  dev_t Device = 0;
  bool Remote = false;
  int Rank = 0;
  bool Jumped = false;
  bool Failed = false;
  TFunStatContext Context;
  std::string Sentence;
  size_t Index = 0; // the chosen item of a Deselect
};

// Jobs handed over together, in the order of the walk. Its items to read
// are all on one partition, so a partition that stops answering holds up
// no other.
struct TSearchEngine::TBatch {
  uint64_t Sequence = 0;
  std::vector<TJob> Jobs;
  dev_t Device = 0;
  bool Remote = false;
  bool Open = false; // some job still has contents to read
};

// What one thread is doing on which partition, for the stall watch. On a
// share its thread sets Since for every item, without the lock.
struct TSearchBusy {
  bool Active = false, Remote = false, Walker = false;
  std::atomic<bool> Lost{false};
  dev_t Device = 0;
  std::atomic<double> Since{0};
};

struct TSearchEngine::TShared {
  TSearchSettings Settings;
  std::string TextFilesPattern;
  std::shared_ptr<const TMountTable> Mounts;
  bool Duplicates = false, ContentWork = false, Workers = false;
  uint64_t ModelSize = 0;
  dev_t ModelDevice = 0;
  ino_t ModelInode = 0;
  std::string ModelExtension;
  // Batches handed over and not yet taken by the host.
  size_t Limit = 8;
  std::atomic<bool> Stopped{false};
  std::atomic<int> Generation{0};

  std::mutex Lock;
  // Work: a batch to read. Done: the next batch in order is ready, or a
  // thread ended. Room: the walker may hand over again.
  std::condition_variable Work, Done, Room;
  std::deque<TBatch> Queue;
  std::map<uint64_t, TBatch> Finished;
  std::map<uint64_t, dev_t> Pending; // handed to a worker, not finished
  uint64_t NextSequence = 0, NextCommit = 0;
  std::set<dev_t> Dead;
  // Dead's size, so the walk asks without the lock while nothing died.
  std::atomic<size_t> DeadCount{0};
  // The host is shown a "looking in" title about once a second: the walk
  // names its current item only when asked.
  std::atomic<bool> WantLooking{true};
  std::list<TSearchBusy> Busy; // stable places, one per thread
  std::string Looking;
  size_t CurrentTitle = 0;
  bool WalkDone = false, Quit = false;
  // Threads of the run that were not given up; the run waits for them.
  int Live = 0;

  void Ended(TSearchBusy& busy) {
    std::lock_guard lock(Lock);
    if (!busy.Lost) --Live;
    busy.Active = false;
    Done.notify_all();
  }

  bool IsDead(dev_t device) {
    if (DeadCount.load(std::memory_order_acquire) == 0) return false;
    std::lock_guard lock(Lock);
    return Dead.count(device) != 0;
  }
  // Only the owning thread changes its entry's place; the stall watch reads it.
  void Enter(TSearchBusy& busy, dev_t device, bool remote) {
    // Only shares are watched for stalls: a local item needs no clock.
    if (remote) busy.Since = SecondsNow();
    if (busy.Active && busy.Device == device && busy.Remote == remote) return;
    std::lock_guard lock(Lock);
    busy.Active = true;
    busy.Device = device;
    busy.Remote = remote;
    busy.Since = SecondsNow();
  }
  void Leave(TSearchBusy& busy) {
    std::lock_guard lock(Lock);
    busy.Active = false;
  }
  // A long file being matched, for the information line.
  std::string LongTitle;
  double LongFraction = -1;
  size_t LongFilter = 0;
  void Evaluate(TJob& job);
};

class TSearchEngine::TWalker {
public:
  TWalker(std::shared_ptr<TShared> shared, int generation, TSearchBusy& busy)
      : S(std::move(shared)), Generation(generation), Busy(busy) {}
  void Run(const std::vector<std::string>& titles, size_t first);

private:
  bool Alive() const { return !S->Stopped && S->Generation == Generation; }
  void SearchTitle(const std::string& title);
  void SearchDirectory(const std::shared_ptr<TSearchDirectory>& directory);
  void Consider(const std::shared_ptr<TSearchDirectory>& parent, const std::string& name,
                const std::string& title, unsigned char type);
  void Descend(const std::shared_ptr<TSearchDirectory>& parent, const std::string& name,
               const std::string& title);
  void Test(const std::shared_ptr<TSearchDirectory>& parent, const std::string& name,
            const std::string& title, bool isDirectory, unsigned char type = DT_UNKNOWN);
  void Submit(TJob job, bool decided);
  // Hands the batch being gathered to the workers or, when it has nothing
  // to read, straight to the thread that commits.
  void Hand();
  void Post(TGuard& guard, const char* sentence);
  bool SkipMount(const TMountEntry* mount) const;
  // The partition of a title from the mount table alone: no call into it.
  const TMountEntry* MountOfTitle(const std::string& title) const;

  std::shared_ptr<TShared> S;
  const int Generation;
  TSearchBusy& Busy;
  std::set<std::pair<dev_t, ino_t>> Visited;
  std::set<std::string> AllowedMounts;
  dev_t Device = 0;
  bool Remote = false;
  TBatch Current;
  double CurrentSince = 0; // when its first job came
};

namespace {
// Large enough that a hand-over costs little next to the reading, small
// enough that both workers of a directory of a hundred files get some.
constexpr size_t BatchSize = 32;
// A batch that has gathered this long goes over even when not full, so
// found items reach the window while the walk goes on.
constexpr double BatchSeconds = 0.02;
} // namespace

TSearchEngine::TSearchEngine(TSearchHost& host, TSecondsClock clock)
    : Host(host), Clock(clock), Elapsed(clock), Display(clock), Pump(clock) {}

TSearchEngine::~TSearchEngine() {
  if (Shared) {
    Shared->Stopped = true;
    Shared->Work.notify_all();
    Shared->Room.notify_all();
  }
}

std::string TSearchEngine::InformationLine(double fileFraction, size_t filter) const {
  std::string line = "Errors " + std::to_string(Count.Errors) + " | Directories " +
                     std::to_string(Count.Directories) + " | Files " + std::to_string(Count.Files) +
                     " | Jumped files " + std::to_string(Count.Jumped) + " | Time " +
                     AlignRealToTextPow(6, 1, Elapsed.Elapsed());
  if (fileFraction >= 0)
    line += " | Progress " + std::to_string(std::lround(fileFraction * 1000)) +
            " \xe2\x80\xb0 | Text filter " + std::to_string(filter + 1);
  return line;
}

bool TSearchEngine::Run(TSearchSettings settings, const std::vector<std::string>& titles) {
  Count = {};
  List.Clear();
  Batch.clear();
  RefusedWith = ValidateSearchSettings(settings, NowDateTime());
  if (!RefusedWith.empty()) return false;
  Stopped = false;
  Elapsed.Start();
  Display.Start();
  Pump.Start();
  Titles = titles;
  auto shared = std::make_shared<TShared>();
  TShared& s = *shared;
  s.Settings = std::move(settings);
  s.TextFilesPattern = ExpandNameFilter("Text files");
  s.Duplicates = !s.Settings.Model.empty();
  if (s.Duplicates) s.Settings.Text = {};
  Ranked = !s.Settings.Text.Empty();
  s.ContentWork = s.Duplicates || Ranked;
  s.Mounts = CurrentMountTable();
  FunStatContext.Reset(fsPerfect);

  if (s.Duplicates) {
    struct statx model {};
    const int code =
        StatxTitle(s.Settings.Model, true, STATX_TYPE | STATX_SIZE | STATX_INO, &model);
    if (code != 0 || !S_ISREG(model.stx_mode)) {
      TGuard guard("TSearchEngine::Run");
      guard.Run([&] {
        guard.Raise(code != 0 ? "Failed to get file information." : "Not a file.", s.Settings.Model,
                    {}, Code(code));
      });
      Fail(guard.Context(), "Failed to search.");
      FunStatContext.Reset(fsPerfect);
      return false;
    }
    s.ModelSize = model.stx_size;
    s.ModelDevice = makedev(model.stx_dev_major, model.stx_dev_minor);
    s.ModelInode = model.stx_ino;
    s.ModelExtension = GetExtension(s.Settings.Model);
  }

  unsigned threads =
      s.Settings.Threads != 0 ? s.Settings.Threads : std::thread::hardware_concurrency();
  threads = std::clamp(threads, 1u, 64u);
  s.Workers = s.ContentWork && threads > 1;
  s.Limit = 2 * threads + 4;
  Shared = shared;
  StartWalker(0);
  if (s.Workers)
    for (unsigned i = 0; i < threads; ++i)
      StartWorker();

  std::vector<std::string> stalled;
  for (;;) {
    std::vector<TBatch> ready;
    bool done = false;
    std::string looking;
    {
      std::unique_lock lock(s.Lock);
      s.Done.wait_for(lock, std::chrono::milliseconds(20), [&] {
        return s.Finished.count(s.NextCommit) != 0 ||
               (s.WalkDone && s.NextCommit == s.NextSequence);
      });
      if (Stopped) s.Stopped = true;
      for (;;) {
        if (auto found = s.Finished.find(s.NextCommit); found != s.Finished.end()) {
          ready.push_back(std::move(found->second));
          s.Finished.erase(found);
        } else if (auto pending = s.Pending.find(s.NextCommit);
                   pending != s.Pending.end() && s.Dead.count(pending->second) != 0) {
          s.Pending.erase(pending); // stuck in a partition that stopped answering
        } else {
          break;
        }
        ++s.NextCommit;
      }
      lock.unlock();
      CheckStalls(stalled, s.Settings.StallSeconds);
      lock.lock();
      done = s.WalkDone && s.NextCommit == s.NextSequence;
      looking = s.Looking;
    }
    if (!looking.empty()) Looking = looking;
    s.WantLooking = true;
    if (!ready.empty()) s.Room.notify_all(); // for a walker waiting on the bound
    for (const std::string& title : stalled) {
      TGuard guard("TSearchEngine::Run");
      guard.Run([&] { guard.Raise("The partition does not answer.", title); });
      Fail(guard.Context(), "Failed to search in partition.");
    }
    stalled.clear();
    // A step after each result: a stop asked for in the pump takes effect at once.
    for (TBatch& batch : ready)
      for (TJob& job : batch.Jobs) {
        if (Stopped) break;
        Commit(job);
        Step();
      }
    if (done || s.Stopped || Stopped) break;
    Step();
  }
  {
    std::unique_lock lock(s.Lock);
    s.Quit = true;
    if (Stopped) s.Stopped = true;
    s.Work.notify_all();
    s.Room.notify_all();
  }
  // Nothing of this run goes on behind the caller's back, but for the
  // threads stuck in a partition that stopped answering.
  for (;;) {
    {
      std::unique_lock lock(s.Lock);
      if (s.Done.wait_for(lock, std::chrono::milliseconds(20), [&] { return s.Live == 0; })) break;
    }
    // After a stop nobody waits for a share to answer.
    CheckStalls(stalled, Stopped ? 0 : s.Settings.StallSeconds);
  }
  Shared.reset();
  Flush();
  Host.ShowProgress("Search complete.", InformationLine());
  FunStatContext.Reset(fsPerfect);
  return !Stopped;
}

void TSearchEngine::StartWalker(size_t firstTitle) {
  auto shared = Shared;
  TSearchBusy* busy = nullptr;
  int generation = 0;
  {
    std::lock_guard lock(shared->Lock);
    busy = &shared->Busy.emplace_back();
    busy->Walker = true;
    generation = shared->Generation;
    shared->WalkDone = false;
    ++shared->Live;
  }
  StartDetached([shared, generation, busy, titles = Titles, firstTitle] {
    TWalker(shared, generation, *busy).Run(titles, firstTitle);
    shared->Ended(*busy);
  });
}

void TSearchEngine::StartWorker() {
  auto shared = Shared;
  TSearchBusy* busy = nullptr;
  {
    std::lock_guard lock(shared->Lock);
    busy = &shared->Busy.emplace_back();
    ++shared->Live;
  }
  StartDetached([shared, busy] {
    TShared& s = *shared;
    std::unique_lock lock(s.Lock);
    for (;;) {
      s.Work.wait(lock, [&] { return s.Quit || s.Stopped || !s.Queue.empty(); });
      if (s.Quit || s.Stopped) break;
      TBatch batch = std::move(s.Queue.front());
      s.Queue.pop_front();
      const bool dead = s.Dead.count(batch.Device) != 0;
      busy->Active = true;
      busy->Device = batch.Device;
      busy->Remote = batch.Remote;
      busy->Since = SecondsNow();
      lock.unlock();
      if (!dead)
        for (TJob& job : batch.Jobs) {
          if (s.Stopped || busy->Lost) break;
          if (!job.Open) continue;
          if (batch.Remote) busy->Since = SecondsNow();
          s.Evaluate(job);
        }
      lock.lock();
      busy->Active = false;
      // Given up meanwhile: a new worker took this one's place.
      if (busy->Lost) break;
      if (s.Pending.erase(batch.Sequence) != 0) {
        const uint64_t sequence = batch.Sequence;
        s.Finished.emplace(sequence, std::move(batch));
        // Only the next batch in order lets the committing thread go on.
        if (sequence == s.NextCommit) s.Done.notify_one();
      }
    }
    lock.unlock();
    s.Ended(*busy);
  });
}

void TSearchEngine::CheckStalls(std::vector<std::string>& stalled, double limit) {
  TShared& s = *Shared;
  const double now = SecondsNow();
  bool walker = false;
  unsigned workers = 0;
  {
    std::lock_guard lock(s.Lock);
    for (TSearchBusy& busy : s.Busy) {
      if (!busy.Active || !busy.Remote || busy.Lost || now - busy.Since < limit) continue;
      busy.Lost = true;
      --s.Live;
      if (s.Dead.insert(busy.Device).second) {
        s.DeadCount = s.Dead.size();
        std::string where = s.Looking;
        if (s.Mounts)
          for (const TMountEntry& mount : s.Mounts->Mounts())
            if (makedev(mount.Major, mount.Minor) == busy.Device) where = mount.MountPoint;
        stalled.push_back(where);
      }
      if (busy.Walker) {
        if (!s.WalkDone) walker = true;
      } else {
        ++workers;
      }
    }
    if (walker) ++s.Generation;
  }
  bool ending = false;
  {
    std::lock_guard lock(s.Lock);
    ending = s.Quit;
  }
  if (ending) return; // given up, not replaced
  if (walker) StartWalker(s.CurrentTitle + 1);
  for (unsigned i = 0; i < workers; ++i)
    StartWorker();
  // Items of the dead partition still queued are dropped by the workers.
  s.Work.notify_all();
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

void TSearchEngine::Step() {
  if (Display.IsPeriod(1.0)) {
    std::string title = Looking;
    double fraction = -1;
    size_t filter = 0;
    if (Shared) {
      std::lock_guard lock(Shared->Lock);
      if (Shared->LongFraction >= 0) {
        title = Shared->LongTitle;
        fraction = Shared->LongFraction;
        filter = Shared->LongFilter;
      }
    }
    Host.ShowProgress(title, InformationLine(fraction, filter));
  }
  if (Pump.IsPeriod(0.02)) {
    Flush();
    Host.PumpEvents();
  }
}

void TSearchEngine::Commit(TJob& job) {
  if (Stopped) return;
  switch (job.Kind) {
  case TJob::Deselect:
    Host.Deselect(job.Index);
    return;
  case TJob::Failure:
    Fail(job.Context, job.Sentence);
    return;
  case TJob::Item:
    break;
  }
  if (job.Jumped) ++Count.Jumped;
  if (job.Failed) Fail(job.Context, "Failed to process file.");
  if (job.Rank <= 0 || Stopped) return;
  ++(job.IsDirectory ? Count.Directories : Count.Files);
  const size_t place = List.Insert(job.Title, job.Rank, job.IsDirectory, Ranked);
  Batch.push_back({List.Items()[place], place});
}

// ---- The walk (its own thread) ---------------------------------------------

void TSearchEngine::TWalker::Run(const std::vector<std::string>& titles, size_t first) {
  for (size_t i = first; i < titles.size() && Alive(); ++i) {
    {
      std::lock_guard lock(S->Lock);
      if (S->Generation != Generation) return;
      S->CurrentTitle = i;
    }
    SearchTitle(titles[i]);
    if (!Alive()) return;
    TJob job;
    job.Kind = TJob::Deselect;
    job.Index = i;
    Submit(std::move(job), true);
    Hand();
  }
  Hand();
  S->Leave(Busy);
  std::lock_guard lock(S->Lock);
  if (S->Generation == Generation) S->WalkDone = true;
  S->Done.notify_all();
}

void TSearchEngine::TWalker::Post(TGuard& guard, const char* sentence) {
  if (!guard.Failed()) return;
  TJob job;
  job.Kind = TJob::Failure;
  job.Context = guard.Context();
  job.Sentence = sentence;
  Submit(std::move(job), true);
}

const TMountEntry* TSearchEngine::TWalker::MountOfTitle(const std::string& title) const {
  return S->Mounts ? S->Mounts->MountOfPath(title) : nullptr;
}

bool TSearchEngine::TWalker::SkipMount(const TMountEntry* mount) const {
  if (!mount) return false;
  if (IsPseudoFileSystem(mount->FileSystem)) return true;
  // Shares and unknown FUSE file systems may hang: searched only when the
  // search starts in them.
  return S->Mounts->TypeOf(*mount) == ptRemote && AllowedMounts.count(mount->MountPoint) == 0;
}

void TSearchEngine::TWalker::SearchTitle(const std::string& chosen) {
  const std::string title = IsPartitionTitle(chosen) ? PartitionTitleToPath(chosen) : chosen;
  // Known from the mount table, before any call that could hang in it.
  Device = 0;
  Remote = false;
  if (const TMountEntry* mount = MountOfTitle(title)) {
    Device = makedev(mount->Major, mount->Minor);
    Remote = S->Mounts->TypeOf(*mount) == ptRemote;
    if (Remote) AllowedMounts.insert(mount->MountPoint);
  }
  if (S->IsDead(Device)) return; // reported when it stopped answering
  {
    std::lock_guard lock(S->Lock);
    S->Looking = title;
  }
  S->Enter(Busy, Device, Remote);
  TGuard guard("TSearchEngine::SearchTitle");
  guard.Run([&] {
    struct statx info {};
    int code = StatxTitle(title, false, STATX_TYPE | STATX_INO, &info);
    if (code != 0) guard.Raise("Failed to get file information.", title, {}, Code(code));
    Device = makedev(info.stx_dev_major, info.stx_dev_minor);
    const std::string name = title == "/" ? "/" : GetTitleName(title);
    if (!S_ISDIR(info.stx_mode)) {
      bool isDirectory = false;
      struct statx target {};
      if (S_ISLNK(info.stx_mode) && StatxTitle(title, true, STATX_TYPE, &target) == 0)
        isDirectory = S_ISDIR(target.stx_mode);
      if (isDirectory ? S->Settings.FindDirectories : S->Settings.FindFiles)
        Test(nullptr, name, title, isDirectory);
      return;
    }
    if (S->Settings.FindDirectories) Test(nullptr, name, title, true);
    if (!S->Settings.Recursive) return;
    const TTitleAt at(title);
    if (at.Error != 0) guard.Raise("Failed to open directory.", title, {}, Code(at.Error));
    const int fd = ::openat(at.Directory, at.Name.c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) guard.Raise("Failed to open directory.", title, {}, Code(errno));
    auto directory = std::make_shared<TSearchDirectory>();
    directory->Fd = fd;
    directory->Prefix = title == "/" ? "/" : title + "/";
    struct stat own {};
    if (::fstat(fd, &own) != 0)
      guard.Raise("Failed to get file information.", title, {}, Code(errno));
    directory->Device = own.st_dev;
    directory->Remote = Remote;
    Visited.insert({own.st_dev, own.st_ino});
    char* real = ::realpath(title.c_str(), nullptr);
    directory->Real = real ? real : title;
    std::free(real);
    if (const TMountEntry* mount = S->Mounts ? S->Mounts->MountOfPath(directory->Real) : nullptr)
      AllowedMounts.insert(mount->MountPoint);
    if (directory->Real != "/") directory->Real += "/";
    SearchDirectory(directory);
  });
  Post(guard, "Failed to process file.");
}

void TSearchEngine::TWalker::SearchDirectory(const std::shared_ptr<TSearchDirectory>& directory) {
  if (S->IsDead(directory->Device)) return;
  S->Enter(Busy, directory->Device, directory->Remote);
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
    if (!Alive()) return;
    Post(guard, "Failed to search in directory.");
  }
  std::sort(entries.begin(), entries.end());
  const TSearchSettings& settings = S->Settings;
  for (const auto& [name, type] : entries) {
    if (!Alive() || S->IsDead(directory->Device)) return;
    if (!Current.Jobs.empty() && CoarseSeconds() - CurrentSince >= BatchSeconds) Hand();
    // Most files of a search end at the name pattern: they need no title and no guard.
    if (type == DT_REG && !S->Duplicates &&
        (!settings.FindFiles || !MatchesNameFilter(name, settings.Pattern)))
      continue;
    const std::string title = directory->Prefix + name;
    if (S->WantLooking.load(std::memory_order_relaxed)) {
      std::lock_guard lock(S->Lock);
      S->Looking = title;
      S->WantLooking = false;
    }
    S->Enter(Busy, directory->Device, directory->Remote);
    Consider(directory, name, title, type);
  }
}

void TSearchEngine::TWalker::Consider(const std::shared_ptr<TSearchDirectory>& parent,
                                      const std::string& name, const std::string& title,
                                      unsigned char type) {
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
        if (S->Settings.FindDirectories) Test(parent, name, title, true);
        return;
      }
    }
    if (!isDirectory) {
      if (S->Settings.FindFiles)
        Test(parent, name, title, false, isLink ? static_cast<unsigned char>(DT_UNKNOWN) : type);
      return;
    }
    if (S->Settings.FindDirectories) Test(parent, name, title, true);
    if (S->Settings.Recursive && Alive()) Descend(parent, name, title);
  });
  Post(guard, "Failed to process file.");
}

void TSearchEngine::TWalker::Descend(const std::shared_ptr<TSearchDirectory>& parent,
                                     const std::string& name, const std::string& title) {
  const std::string real = parent->Real + name;
  const TMountEntry* mount = S->Mounts ? S->Mounts->MountAt(real) : nullptr;
  if (SkipMount(mount)) return;
  // Another partition or a share may not answer: what was found before goes first.
  if (mount || parent->Remote) Hand();
  TGuard guard("TSearchEngine::Descend");
  guard.Run([&] {
    const int fd = ::openat(parent->Fd, name.c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
      // Gone, or swapped for a link or a file since it was listed.
      if (errno == ENOENT || errno == ELOOP || errno == ENOTDIR) return;
      guard.Raise("Failed to open directory.", title, {}, Code(errno));
    }
    auto directory = std::make_shared<TSearchDirectory>();
    directory->Fd = fd;
    struct stat own {};
    if (::fstat(fd, &own) != 0)
      guard.Raise("Failed to get file information.", title, {}, Code(errno));
    // Bind mounts and other loops lead back to a directory already walked.
    if (!Visited.insert({own.st_dev, own.st_ino}).second) return;
    directory->Remote = parent->Remote;
    if (own.st_dev != parent->Device) {
      struct statfs kind {};
      if (::fstatfs(fd, &kind) == 0 && IsPseudoMagic(static_cast<long>(kind.f_type))) return;
      if (const TMountEntry* mount = S->Mounts ? S->Mounts->MountOfPath(real) : nullptr)
        directory->Remote = S->Mounts->TypeOf(*mount) == ptRemote;
    }
    directory->Device = own.st_dev;
    directory->Prefix = title + "/";
    directory->Real = real + "/";
    SearchDirectory(directory);
    S->Enter(Busy, parent->Device, parent->Remote); // back in the parent's partition
  });
  Post(guard, "Failed to search in directory.");
}

void TSearchEngine::TWalker::Test(const std::shared_ptr<TSearchDirectory>& parent,
                                  const std::string& name, const std::string& title,
                                  bool isDirectory, unsigned char type) {
  const TSearchSettings& settings = S->Settings;
  TGuard guard("TSearchEngine::Test");
  guard.Run([&] {
    const auto job = [&] {
      TJob made;
      made.Parent = parent;
      made.Name = name;
      made.Title = title;
      made.IsDirectory = isDirectory;
      made.Type = type;
      made.Device = parent ? parent->Device : Device;
      made.Remote = parent ? parent->Remote : Remote;
      return made;
    };
    const int directoryFd = parent ? parent->Fd : -1;
    if (S->Duplicates) {
      if (isDirectory || !SameTextFolded(GetExtension(name), S->ModelExtension)) return;
      struct statx info {};
      if (const int code =
              StatEntry(directoryFd, name, title, STATX_TYPE | STATX_SIZE | STATX_INO, &info)) {
        if (code == ENOENT) return;
        guard.Raise("Failed to get file information.", title, {}, Code(code));
      }
      // The model itself, under any name, is never its own duplicate.
      if (!S_ISREG(info.stx_mode) || info.stx_size != S->ModelSize ||
          (makedev(info.stx_dev_major, info.stx_dev_minor) == S->ModelDevice &&
           info.stx_ino == S->ModelInode))
        return;
      Submit(job(), false);
      return;
    }
    if (!MatchesNameFilter(name, settings.Pattern) && !(isDirectory && !settings.Text.Empty()))
      return;
    const TSearchLimits& limits = settings.Limits;
    if (limits.AnyTime() || (!isDirectory && limits.AnySize())) {
      struct statx info {};
      if (const int code = StatEntry(directoryFd, name, title,
                                     STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_BTIME, &info)) {
        if (code == ENOENT) return;
        guard.Raise("Failed to get file information.", title, {}, Code(code));
      }
      const TDateTime modified = DateTimeOf(info.stx_mtime);
      const TDateTime creation =
          (info.stx_mask & STATX_BTIME) != 0 ? DateTimeOf(info.stx_btime) : modified;
      if (!limits.TimesMatch(creation, modified)) return;
      if (!isDirectory && !limits.SizeMatches(info.stx_size)) return;
    }
    TJob made = job();
    if (settings.Text.Empty()) made.Rank = 1;
    Submit(std::move(made), settings.Text.Empty());
  });
  Post(guard, "Failed to process file.");
}

void TSearchEngine::TWalker::Submit(TJob job, bool decided) {
  if (!decided && !S->Workers) {
    S->Evaluate(job);
    decided = true;
  }
  job.Open = !decided;
  if (job.Open) {
    if (Current.Open && (Current.Device != job.Device || Current.Remote != job.Remote)) Hand();
    if (!Current.Open) {
      Current.Open = true;
      Current.Device = job.Device;
      Current.Remote = job.Remote;
    }
  }
  if (Current.Jobs.empty()) CurrentSince = CoarseSeconds();
  Current.Jobs.push_back(std::move(job));
  if (Current.Jobs.size() >= BatchSize) Hand();
}

void TSearchEngine::TWalker::Hand() {
  if (Current.Jobs.empty()) return;
  TBatch batch = std::move(Current);
  Current = {};
  std::unique_lock lock(S->Lock);
  // Bounded: a walk far ahead of the readers would hold every title.
  while (S->NextSequence - S->NextCommit >= S->Limit && !S->Stopped &&
         S->Generation == Generation) {
    const bool active = Busy.Active;
    Busy.Active = false; // waiting here is no stall
    S->Room.wait_for(lock, std::chrono::milliseconds(20));
    Busy.Active = active;
    Busy.Since = SecondsNow();
  }
  if (S->Stopped || S->Generation != Generation) return;
  batch.Sequence = S->NextSequence++;
  const uint64_t sequence = batch.Sequence;
  if (batch.Open) {
    S->Pending.emplace(sequence, batch.Device);
    S->Queue.push_back(std::move(batch));
    S->Work.notify_one();
  } else {
    S->Finished.emplace(sequence, std::move(batch));
    if (sequence == S->NextCommit) S->Done.notify_one();
  }
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
  // Most files have no attributes or a short list: one call into a kept
  // buffer tells, the size is asked only when it is too small.
  thread_local std::string kept;
  std::string& list = kept;
  if (list.size() < 1024) list.resize(1024);
  ssize_t got = -1;
  for (int attempt = 0; attempt < 4 && got < 0; ++attempt) {
    got = ::flistxattr(fd, list.data(), list.size());
    if (got >= 0) break;
    if (IsStreamsNotSupportedCode(errno)) return {};
    if (errno != ERANGE) guard.Raise("Failed to read data.", title, {}, Code(errno));
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size < 0) {
      if (IsStreamsNotSupportedCode(errno)) return {};
      guard.Raise("Failed to read data.", title, {}, Code(errno));
    }
    list.resize(std::max(list.size(), static_cast<size_t>(size)));
  }
  if (got < 0) guard.Raise("Failed to read data.", title, {}, Code(ERANGE));
  list.resize(static_cast<size_t>(got)); // keeps the capacity for the next file
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

void TSearchEngine::TShared::Evaluate(TJob& job) {
  const int directoryFd = job.Parent ? job.Parent->Fd : -1;
  TGuard guard("TSearchEngine::Evaluate");
  guard.Run([&] {
    if (Duplicates) {
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
      const bool description = parts == TFileParts::Description;
      const bool main =
          parts == TFileParts::Content || parts == TFileParts::NameContent ||
          (parts == TFileParts::NameText &&
           (Settings.Pattern == TextFilesPattern || MatchesNameFilter(name, TextFilesPattern)));
      const bool read = description || main;
      // Only regular files are opened: FIFOs and devices could block or
      // change state when read. One the listing called regular is opened at
      // once, without following a link swapped in since, and the open file
      // is what is checked; any other is looked at first.
      int fd = -1;
      if (read && job.Type == DT_REG) {
        fd = OpenEntry(directoryFd, job.Name, job.Title, ReadFlags | O_NOFOLLOW);
        if (fd < 0 && errno == ENOENT) return;
        if (fd < 0 && errno != ELOOP)
          guard.Raise("Failed to open file.", job.Title, {}, Code(errno));
      }
      TFdCloser closeFd(fd);
      bool regular = false;
      uint64_t size = 0;
      if (fd >= 0) {
        struct stat opened {};
        if (::fstat(fd, &opened) != 0)
          guard.Raise("Failed to get file information.", job.Title, {}, Code(errno));
        regular = S_ISREG(opened.st_mode);
        size = static_cast<uint64_t>(opened.st_size);
      } else {
        struct statx info {};
        if (const int code =
                StatEntry(directoryFd, job.Name, job.Title, STATX_TYPE | STATX_SIZE, &info)) {
          if (code == ENOENT) return;
          guard.Raise("Failed to get file information.", job.Title, {}, Code(code));
        }
        regular = S_ISREG(info.stx_mode);
        size = info.stx_size;
      }
      if (regular && size > MaxSearchedFileSize) {
        job.Jumped = true;
        return;
      }
      if (names) buffer.AddName(TitlePathPart(job.Title), name);
      if (regular && read) {
        if (fd < 0) {
          fd = OpenEntry(directoryFd, job.Name, job.Title, ReadFlags);
          if (fd < 0) {
            if (errno == ENOENT) return;
            guard.Raise("Failed to open file.", job.Title, {}, Code(errno));
          }
          closeFd.Reset(fd);
          struct stat opened {};
          if (::fstat(fd, &opened) != 0)
            guard.Raise("Failed to get file information.", job.Title, {}, Code(errno));
          if (!S_ISREG(opened.st_mode)) return;
          size = static_cast<uint64_t>(opened.st_size);
        }
        if (description) {
          std::string text = ReadAttribute(guard, fd, "user.Description", job.Title);
          text.resize(std::min(text.size(), text.find('\0')));
          buffer.AddPart(text);
        }
        if (main) {
          // One byte more than measured tells a file that grew past the limit.
          const size_t capacity = std::min<uint64_t>(size, MaxSearchedFileSize) + 1;
          if (content.size() < capacity) content.resize(capacity);
          const ssize_t got = ReadExpected(fd, content.data(), capacity, size);
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
    const double size = static_cast<double>(buffer.Text().size());
    double shown = 0;
    job.Rank = MatchTextInBuffer(buffer.Text(), buffer.NameStart(), Settings.Text,
                                 [&](size_t position, size_t filter) {
                                   // The first occurrence of a long file shows it, later ones a few
                                   // times a second.
                                   if (const double now = SecondsNow(); now - shown >= 0.2) {
                                     shown = now;
                                     std::lock_guard lock(Lock);
                                     LongTitle = job.Title;
                                     LongFraction = static_cast<double>(position) / size;
                                     LongFilter = filter;
                                   }
                                   return !Stopped;
                                 });
    if (shown != 0) {
      std::lock_guard lock(Lock);
      if (LongTitle == job.Title) LongFraction = -1;
    }
  });
  if (guard.Failed()) {
    job.Failed = true;
    job.Context = guard.Context();
    job.Rank = 0;
  }
}

} // namespace cv
