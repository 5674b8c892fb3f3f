// Listing a large directory: the column's load and the listing alone (on one
// thread and on the machine's threads) against the kernel floor (readdir +
// statx), `ls -l` and a typical Qt listing, in one run.
//
//   make bench                          (100,000 files)
//   CORVANTIDE_BENCH_MILLION=1 make bench   (adds 1,000,000 files)
//
// The directories are made once under $CORVANTIDE_BENCH_DIR (default
// /var/tmp/corvantide-bench) and kept for later runs.

#include "columns/Column.h"
#include "columns/DirectoryListing.h"
#include "filesystem/Extensions.h"
#include "foundation/BusyCount.h"

#include <QDir>
#include <QFileInfo>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <malloc.h>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

namespace {

std::string BenchRoot() {
  const char* root = std::getenv("CORVANTIDE_BENCH_DIR");
  return root && *root ? root : "/var/tmp/corvantide-bench";
}

// A directory of `count` files with mixed extensions, sizes and times.
std::string FixtureDirectory(int count) {
  const std::string path = BenchRoot() + "/files-" + std::to_string(count);
  const std::string done = path + ".done";
  if (std::filesystem::exists(done)) return path;
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
  static const char* const extensions[] = {".txt", ".bin", ".exe", ".jpg", ".desktop", ""};
  unsigned seed = 12345;
  for (int i = 0; i < count; ++i) {
    seed = seed * 1103515245u + 12345u;
    const std::string name = path + "/File_" + std::to_string(seed % 1000000) + "_" +
                             std::to_string(i) + extensions[i % 6];
    if (i % 50 == 0) {
      ::mkdir(name.c_str(), 0755);
      continue;
    }
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) std::abort();
    if (::ftruncate(fd, static_cast<off_t>(seed % 100000)) != 0) std::abort();
    const timespec times[2] = {{static_cast<time_t>(seed % 1000000000), 0},
                               {static_cast<time_t>(seed % 1000000000), 0}};
    ::futimens(fd, times);
    ::close(fd);
  }
  ::close(::open(done.c_str(), O_WRONLY | O_CREAT, 0644));
  return path;
}

int Count(const benchmark::State& state) {
  return static_cast<int>(state.range(0));
}

// The floor: what the kernel needs to hand over names and facts.
void ListFloor(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = ::fdopendir(fd);
  int64_t total = 0;
  while (const dirent* entry = ::readdir(dir)) {
    struct statx st {};
    if (::statx(fd, entry->d_name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &st) == 0)
      total += static_cast<int64_t>(st.stx_size);
  }
  ::closedir(dir);
  benchmark::DoNotOptimize(total);
}

void BM_Floor_ReaddirStatx(benchmark::State& state) {
  const std::string path = FixtureDirectory(Count(state));
  for (auto _ : state)
    ListFloor(path);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ColumnLoad(benchmark::State& state, const char* sortMode) {
  const std::string path = FixtureDirectory(Count(state));
  cv::ProgramFileExtensions.SetText(".exe");
  cv::DocumentFileExtensions.SetText(".txt\n.jpg");
  size_t bytesPerItem = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const size_t before = ::mallinfo2().uordblks;
    {
      cv::TColumn column(0);
      column.SortMode = sortMode;
      column.List.SetSize(400, 800);
      state.ResumeTiming();
      column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, path + "/");
      state.PauseTiming();
      if (column.Count() == 0) state.SkipWithError("nothing listed");
      bytesPerItem = (::mallinfo2().uordblks - before) / static_cast<size_t>(column.Count() + 1);
    }
    state.ResumeTiming();
  }
  state.counters["bytes_per_item"] = static_cast<double>(bytesPerItem);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The column against the floor in the same iteration, so that the ratio does
// not depend on what the machine or the caches did between two benchmarks.
void BM_ColumnToFloor(benchmark::State& state, const char* sortMode) {
  using Clock = std::chrono::steady_clock;
  const std::string path = FixtureDirectory(Count(state));
  cv::ProgramFileExtensions.SetText(".exe");
  cv::DocumentFileExtensions.SetText(".txt\n.jpg");
  double floorSeconds = 0, columnSeconds = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    ListFloor(path);
    const auto middle = Clock::now();
    double seconds = 0;
    {
      cv::TColumn column(0);
      column.SortMode = sortMode;
      column.List.SetSize(400, 800);
      const auto begin = Clock::now();
      column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, path + "/");
      seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    }
    floorSeconds += std::chrono::duration<double>(middle - start).count();
    columnSeconds += seconds;
    state.SetIterationTime(seconds);
  }
  state.counters["ratio_to_floor"] = floorSeconds > 0 ? columnSeconds / floorSeconds : 0;
}

double SecondsOf(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// CPU seconds of the process (every thread) or of the calling thread.
double CpuSeconds(int who) {
  rusage usage{};
  ::getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The listing alone (no column) on the machine's threads and on one, against
// the floor, all three in each iteration in a turning order, so that their
// ratios do not depend on what the machine did between benchmarks. Run it
// with --benchmark_repetitions and read the medians.
void BM_ListingToFloor(benchmark::State& state, const char* sortMode) {
  const std::string path = FixtureDirectory(Count(state));
  cv::ProgramFileExtensions.SetText(".exe");
  cv::DocumentFileExtensions.SetText(".txt\n.jpg");
  const cv::TGroupOptions groups;
  cv::TListingThreads oneThread;
  oneThread.Threads = 1;
  double floorSeconds = 0, oneSeconds = 0, parallelSeconds = 0;
  // CPU times, which a loaded machine does not stretch: the floor's, and the
  // parallel listing's on the calling thread and on the others.
  double floorCpu = 0, callingCpu = 0, othersCpu = 0;
  static unsigned turn = 0;
  for (auto _ : state) {
    // The listings are kept past their timing, as a column keeps its items:
    // freeing a million titles is not part of reading them.
    std::optional<cv::TDirectoryListing> one, parallel;
    const std::function<void()> runs[] = {
        [&] {
          const double cpu = CpuSeconds(RUSAGE_SELF);
          floorSeconds += SecondsOf([&] { ListFloor(path); });
          floorCpu += CpuSeconds(RUSAGE_SELF) - cpu;
        },
        [&] {
          oneSeconds += SecondsOf([&] {
            one.emplace(
                cv::ListDirectoryItems(path + "/", sortMode, groups, {}, nullptr, oneThread));
          });
        },
        [&] {
          const double cpu = CpuSeconds(RUSAGE_SELF), calling = CpuSeconds(RUSAGE_THREAD);
          const double seconds = SecondsOf(
              [&] { parallel.emplace(cv::ListDirectoryItems(path + "/", sortMode, groups)); });
          const double callingNow = CpuSeconds(RUSAGE_THREAD);
          callingCpu += callingNow - calling;
          othersCpu += CpuSeconds(RUSAGE_SELF) - cpu - (callingNow - calling);
          parallelSeconds += seconds;
          state.SetIterationTime(seconds);
        }};
    for (int i = 0; i < 3; ++i)
      runs[(turn + i) % 3]();
    ++turn;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["floor_ms"] = floorSeconds / n * 1000;
  state.counters["one_thread_ms"] = oneSeconds / n * 1000;
  state.counters["one_thread_to_floor"] = oneSeconds / floorSeconds;
  state.counters["parallel_to_floor"] = parallelSeconds / floorSeconds;
  // With the other threads on free cores, the busier side bounds the listing.
  state.counters["floor_cpu_ms"] = floorCpu / n * 1000;
  state.counters["calling_cpu_to_floor_cpu"] = callingCpu / floorCpu;
  state.counters["others_cpu_to_floor_cpu"] = othersCpu / floorCpu;
}

// Grouping and ordering alone, on the items of a listing.
void BM_Arrange(benchmark::State& state, const char* sortMode) {
  const std::string path = FixtureDirectory(Count(state));
  cv::ProgramFileExtensions.SetText(".exe");
  cv::DocumentFileExtensions.SetText(".txt\n.jpg");
  cv::TColumn column(0);
  column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, path + "/");
  const cv::TGroupOptions options;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<cv::TFileListData> items = column.Items;
    state.ResumeTiming();
    cv::ArrangeFileList(items, sortMode, options);
    benchmark::DoNotOptimize(items.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// What typical Qt programs do: a sorted QFileInfo listing that reads every
// entry's size and modification time.
void BM_QtEntryInfoList(benchmark::State& state) {
  const QString path = QString::fromStdString(FixtureDirectory(Count(state)));
  for (auto _ : state) {
    const QFileInfoList list = QDir(path).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
        QDir::Name | QDir::DirsFirst | QDir::IgnoreCase);
    qint64 total = 0;
    for (const QFileInfo& info : list)
      total += info.size() + info.lastModified().toSecsSinceEpoch();
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_LsLong(benchmark::State& state) {
  const std::string command = "ls -l " + FixtureDirectory(Count(state)) + " > /dev/null";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("ls failed");
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void FixtureSizes(benchmark::internal::Benchmark* b) {
  b->Arg(100000);
  if (std::getenv("CORVANTIDE_BENCH_MILLION")) b->Arg(1000000);
}

void Sizes(benchmark::internal::Benchmark* b) {
  FixtureSizes(b);
  // Wall time: `ls` runs in a child process, and the page cache is warm for all.
  b->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
}

BENCHMARK(BM_Floor_ReaddirStatx)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_ColumnLoad, Name, "Name")->Apply(Sizes);
BENCHMARK_CAPTURE(BM_ColumnLoad, ModifiedNewOld, "Modified, new-old")->Apply(Sizes);
BENCHMARK_CAPTURE(BM_ColumnLoad, ModifiedOldNew, "Modified, old-new")->Apply(Sizes);
BENCHMARK_CAPTURE(BM_ColumnLoad, CreatedNewOld, "Created, new-old")->Apply(Sizes);
BENCHMARK_CAPTURE(BM_ColumnLoad, CreatedOldNew, "Created, old-new")->Apply(Sizes);
BENCHMARK_CAPTURE(BM_ColumnLoad, SizeBigSmall, "Size, big-small")->Apply(Sizes);
BENCHMARK_CAPTURE(BM_ColumnLoad, SizeSmallBig, "Size, small-big")->Apply(Sizes);
void PairedSizes(benchmark::internal::Benchmark* b) {
  FixtureSizes(b);
  b->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseManualTime();
}

BENCHMARK_CAPTURE(BM_ColumnToFloor, Name, "Name")->Apply(PairedSizes);
BENCHMARK_CAPTURE(BM_ColumnToFloor, SizeSmallBig, "Size, small-big")->Apply(PairedSizes);
// One iteration per repetition: a million-entry round of three takes seconds.
void TurnSizes(benchmark::internal::Benchmark* b) {
  FixtureSizes(b);
  b->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
}

BENCHMARK_CAPTURE(BM_ListingToFloor, Name, "Name")->Apply(TurnSizes);
BENCHMARK_CAPTURE(BM_ListingToFloor, ModifiedNewOld, "Modified, new-old")->Apply(TurnSizes);
BENCHMARK_CAPTURE(BM_ListingToFloor, SizeSmallBig, "Size, small-big")->Apply(TurnSizes);
BENCHMARK_CAPTURE(BM_Arrange, Name, "Name")->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Arrange, SizeSmallBig, "Size, small-big")->Apply(Sizes);
BENCHMARK(BM_QtEntryInfoList)->Apply(Sizes);
BENCHMARK(BM_LsLong)->Apply(Sizes);

} // namespace

BENCHMARK_MAIN();
