// The file search over a generated tree of 50,000 files (about 150 MB), with
// a warm page cache, against the usual command-line tools in the same run:
// a name pattern against `find -iname`, one content word against
// `grep -rliF`, three filters with near scoring (grep for any of the three
// as a reference, since it cannot rank), and the duplicates of one file
// against `fdupes -r` (which looks for every set of duplicates).
//
//   make bench
//
// The tree is made once under $CORVANTIDE_BENCH_DIR (default
// /var/tmp/corvantide-bench) and kept for later runs.
//
// Besides wall time every row reports cpu_ms, the processor time per search
// of this process's threads and of the tools it ran (user and system), which
// a busy machine distorts far less than wall time; the load average before
// and after the run is printed with it.

#include "search/SearchEngine.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace cv;

std::string BenchRoot() {
  const char* root = std::getenv("CORVANTIDE_BENCH_DIR");
  return root && *root ? root : "/var/tmp/corvantide-bench";
}

unsigned Next(unsigned& seed) {
  seed = seed * 1103515245u + 12345u;
  return seed >> 8;
}

std::string Word(unsigned& seed) {
  static const char* const syllables[] = {"ka", "lo", "mi", "ne", "ru", "sa", "te", "vo",
                                          "bi", "da", "fe", "go", "hu", "ji", "pe", "zu"};
  std::string word;
  const unsigned count = 1 + Next(seed) % 4;
  for (unsigned i = 0; i < count; ++i)
    word += syllables[Next(seed) % 16];
  return word;
}

void WriteFile(const std::string& title, const std::string& content) {
  const int fd = ::open(title.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || ::write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size()))
    std::abort();
  ::close(fd);
}

// 20 directories of 25 directories of 100 files, about 3,000 bytes each.
// 1% hold "zebrafish"; 3% hold "quokka", "narwhal" and "wombat" close
// together, 6% only some of them far apart; every 50th file is a copy of
// an earlier one; "report" is in 2% of the names.
std::string FixtureTree() {
  const std::string path = BenchRoot() + "/search-50000";
  const std::string done = path + ".done";
  if (std::filesystem::exists(done)) return path;
  std::filesystem::remove_all(path);
  unsigned seed = 4242;
  static const char* const extensions[] = {".txt", ".log", ".dat", ".md"};
  std::vector<std::string> written;
  int n = 0;
  for (int a = 0; a < 20; ++a)
    for (int b = 0; b < 25; ++b) {
      const std::string directory = path + "/dir" + std::to_string(a) + "/sub" + std::to_string(b);
      std::filesystem::create_directories(directory);
      for (int f = 0; f < 100; ++f, ++n) {
        const std::string title = directory + "/file_" + std::to_string(n) +
                                  (n % 50 == 7 ? "_report" : "") + extensions[n % 4];
        if (n % 50 == 49) {
          const std::string& original = written[Next(seed) % written.size()];
          std::filesystem::copy_file(original,
                                     directory + "/copy_" + std::to_string(n) +
                                         std::filesystem::path(original).extension().string());
          continue;
        }
        std::string content;
        const size_t size = 1000 + Next(seed) % 4000;
        while (content.size() < size)
          content += Word(seed) + (Next(seed) % 12 == 0 ? "\n" : " ");
        if (n % 100 == 13) content.insert(content.size() / 2, " zebrafish ");
        if (n % 100 == 21) content.insert(content.size() / 3, " quokka narwhal wombat ");
        if (n % 100 == 22 || n % 100 == 23) content.insert(content.size() / 4, " quokka ");
        if (n % 100 == 23) content += " wombat";
        WriteFile(title, content);
        written.push_back(title);
      }
    }
  ::close(::open(done.c_str(), O_WRONLY | O_CREAT, 0644));
  return path;
}

class TQuietHost : public TSearchHost {
public:
  void Found(const std::vector<TFoundBatchItem>&) override {}
  void ShowProgress(const std::string&, const std::string&) override {}
  void PumpEvents() override {}
  bool ReportError(const TFunStatContext&, const std::string&) override { return true; }
  void Deselect(size_t) override {}
};

double CpuSeconds() {
  double total = 0;
  for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    struct rusage usage {};
    ::getrusage(who, &usage);
    for (const timeval& time : {usage.ru_utime, usage.ru_stime})
      total += static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
  }
  return total;
}

// Processor time of the row (the engine's threads, or the tool it ran).
class TCpuCounter {
public:
  explicit TCpuCounter(benchmark::State& state) : State(state), Start(CpuSeconds()) {}
  ~TCpuCounter() {
    State.counters["cpu_ms"] =
        benchmark::Counter((CpuSeconds() - Start) * 1000, benchmark::Counter::kAvgIterations);
  }

private:
  benchmark::State& State;
  double Start;
};

std::string LoadAverage() {
  double load[3] = {0, 0, 0};
  if (::getloadavg(load, 3) != 3) return "unknown";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
  return text;
}

size_t RunSearch(const TSearchSettings& settings) {
  TQuietHost host;
  TSearchEngine engine(host);
  if (!engine.Run(settings, {FixtureTree()})) std::abort();
  return engine.FoundList().Size();
}

void RunCommand(const std::string& command) {
  if (std::system((command + " > /dev/null 2>&1").c_str()) == -1) std::abort();
}

TSearchSettings Content(const std::string& filter, unsigned threads) {
  TSearchSettings settings;
  settings.FindDirectories = false;
  settings.Text = TSearchTextFilter::Parse(filter, true, false);
  settings.Parts = TFileParts::Content;
  settings.Threads = threads;
  return settings;
}

void Names(benchmark::State& state) {
  TSearchSettings settings;
  settings.Pattern = "*report*";
  settings.FindDirectories = false;
  size_t found = 0;
  const TCpuCounter cpu(state);
  for (auto _ : state)
    found = RunSearch(settings);
  state.counters["found"] = static_cast<double>(found);
}

void FindNames(benchmark::State& state) {
  const TCpuCounter cpu(state);
  for (auto _ : state)
    RunCommand("find " + FixtureTree() + " -type f -iname '*report*'");
}

void OneWord(benchmark::State& state) {
  size_t found = 0;
  const TCpuCounter cpu(state);
  for (auto _ : state)
    found = RunSearch(Content("zebrafish", static_cast<unsigned>(state.range(0))));
  state.counters["found"] = static_cast<double>(found);
}

void GrepOneWord(benchmark::State& state) {
  const TCpuCounter cpu(state);
  for (auto _ : state)
    RunCommand("grep -rliF zebrafish " + FixtureTree());
}

void ThreeFiltersNear(benchmark::State& state) {
  size_t found = 0;
  const TCpuCounter cpu(state);
  for (auto _ : state)
    found = RunSearch(Content("quokka narwhal wombat", static_cast<unsigned>(state.range(0))));
  state.counters["found"] = static_cast<double>(found);
}

void GrepAnyOfThree(benchmark::State& state) {
  const TCpuCounter cpu(state);
  for (auto _ : state)
    RunCommand("grep -rliF -e quokka -e narwhal -e wombat " + FixtureTree());
}

void Duplicates(benchmark::State& state) {
  // A file known to have a copy (the 49th file copies an earlier one).
  TSearchSettings settings;
  settings.FindDirectories = false;
  const std::string tree = FixtureTree();
  std::string model;
  for (const auto& entry : std::filesystem::directory_iterator(tree + "/dir0/sub0"))
    if (entry.path().filename().string().starts_with("copy_")) model = entry.path().string();
  settings.Model = model;
  size_t found = 0;
  const TCpuCounter cpu(state);
  for (auto _ : state)
    found = RunSearch(settings);
  state.counters["found"] = static_cast<double>(found);
}

void FdupesAll(benchmark::State& state) {
  const TCpuCounter cpu(state);
  for (auto _ : state)
    RunCommand("fdupes -r " + FixtureTree());
}

void Warm(benchmark::State& state) {
  for (auto _ : state)
    RunCommand("find " + FixtureTree() + " -type f -exec cat {} +");
}

} // namespace

BENCHMARK(Warm)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Names)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(FindNames)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(OneWord)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(GrepOneWord)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(ThreeFiltersNear)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2);
BENCHMARK(GrepAnyOfThree)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(Duplicates)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(FdupesAll)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

int main(int argc, char** argv) {
  FixtureTree(); // made before any row is timed
  benchmark::AddCustomContext("load average before", LoadAverage());
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::fprintf(stderr, "load average after: %s\n", LoadAverage().c_str());
  return 0;
}
