// Find common text over 10,000 lines against 10,000 lines, each line a
// record of 100 words: the source is one file of 10,000 lines, the other
// side 100 files of 100 lines. About 60 source lines share 20 words with
// one other line each; the minimum is 7 matching words, which random lines
// almost never reach.
//
// The word index runs on the whole input. The all-pairs comparison takes
// hours there, so it runs on a 1% sample of the source lines (100 lines
// against all 10,000) and its time is scaled by 100; on that sample both
// paths must give the same report, or the run aborts.
//
//   make bench
//
// The files are made once under $CORVANTIDE_BENCH_DIR (default
// /var/tmp/corvantide-bench) and kept for later runs.

#include "search/CommonText.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace cv;

constexpr int CLines = 10000;
constexpr int CWords = 100;
constexpr int CFiles = 100;
constexpr int CPlanted = 60;

std::string BenchRoot() {
  const char* root = std::getenv("CORVANTIDE_BENCH_DIR");
  return (root && *root ? std::string(root) : std::string("/var/tmp/corvantide-bench")) +
         "/common-text";
}

unsigned Next(unsigned& seed) {
  seed = seed * 1103515245u + 12345u;
  return seed >> 8;
}

// One of 50,000 distinct words of 5 to 9 letters.
std::string Word(unsigned index) {
  std::string word;
  unsigned value = index * 2654435761u;
  const unsigned length = 5 + index % 5;
  word += static_cast<char>('a' + index % 26);
  word += static_cast<char>('a' + (index / 26) % 26);
  word += static_cast<char>('a' + (index / 676) % 26);
  while (word.size() < length) {
    word += static_cast<char>('a' + value % 26);
    value /= 26;
  }
  return word;
}

std::vector<std::string> Line(unsigned& seed) {
  std::vector<std::string> words;
  for (int i = 0; i < CWords; ++i)
    words.push_back(Word(Next(seed) % 50000));
  return words;
}

std::string Text(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words)
    text += word + " ";
  text.back() = '\n';
  return text;
}

void WriteFile(const std::string& title, const std::string& content) {
  const int fd = ::open(title.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || ::write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size()))
    std::abort();
  ::close(fd);
}

struct TFixture {
  std::string Source, Sample;
  std::vector<std::string> Against;
};

const TFixture& Fixture() {
  static const TFixture fixture = [] {
    TFixture made;
    const std::string root = BenchRoot();
    made.Source = root + "/source.txt";
    made.Sample = root + "/sample.txt";
    for (int f = 0; f < CFiles; ++f)
      made.Against.push_back(root + "/against" + std::to_string(1000 + f) + ".txt");
    if (std::filesystem::exists(root + "/done")) return made;
    std::filesystem::create_directories(root);
    unsigned seed = 39;
    std::vector<std::vector<std::string>> against;
    for (int i = 0; i < CLines; ++i)
      against.push_back(Line(seed));
    std::string source, sample;
    for (int i = 0; i < CLines; ++i) {
      std::vector<std::string> words = Line(seed);
      // Every 166th line and line 50 share words; the sample holds lines 0 to 99.
      if (i % (CLines / CPlanted) == 0 || i == 50) {
        const std::vector<std::string>& other = against[Next(seed) % CLines];
        for (int k = 0; k < 20; ++k)
          words[static_cast<size_t>(k * 5)] = other[static_cast<size_t>(k * 4)];
      }
      const std::string line = Text(words);
      source += line;
      if (i < CLines / 100) sample += line;
    }
    WriteFile(made.Source, source);
    WriteFile(made.Sample, sample);
    for (int f = 0; f < CFiles; ++f) {
      std::string text;
      for (int l = 0; l < CLines / CFiles; ++l)
        text += Text(against[static_cast<size_t>(f * (CLines / CFiles) + l)]);
      WriteFile(made.Against[static_cast<size_t>(f)], text);
    }
    WriteFile(root + "/done", "");
    return made;
  }();
  return fixture;
}

class TNoHost : public TCommonTextHost {
public:
  bool Stopped() override { return false; }
  void ShowStep(const std::string&) override {}
  void ShowInformation(const std::string&) override {}
};

TCommonTextJob Job(const std::string& source, bool useIndex) {
  TCommonTextJob job;
  job.Titles.push_back(source);
  for (const std::string& title : Fixture().Against)
    job.Titles.push_back(title);
  job.Options.MinimumMatches = 7;
  job.UseIndex = useIndex;
  return job;
}

TCommonTextResult Run(const TCommonTextJob& job) {
  TNoHost host;
  TCommonTextResult result;
  if (!RunCommonText(job, host, result) || result.End != TCommonTextEnd::Done) std::abort();
  return result;
}

// The report without its elapsed time, which differs between runs.
std::string Timeless(std::string report) {
  const size_t at = report.find("Elapsed time");
  if (at != std::string::npos) report.erase(at, report.find('\n', at) - at);
  return report;
}

void BM_CommonTextIndex(benchmark::State& state) {
  const TCommonTextJob job = Job(Fixture().Source, true);
  TCommonTextResult result;
  for (auto _ : state)
    result = Run(job);
  if (result.ReportTooBig) std::abort();
  state.counters["matches"] = static_cast<double>(result.MatchCount);
  state.counters["report_bytes"] = static_cast<double>(result.Report.size());
}
BENCHMARK(BM_CommonTextIndex)->Unit(benchmark::kSecond)->Iterations(1);

void BM_CommonTextAllPairsSample(benchmark::State& state) {
  const TCommonTextJob job = Job(Fixture().Sample, false);
  TCommonTextResult result;
  for (auto _ : state)
    result = Run(job);
  const TCommonTextResult indexed = Run(Job(Fixture().Sample, true));
  if (result.MatchCount == 0 || Timeless(result.Report) != Timeless(indexed.Report)) {
    std::fprintf(stderr, "The index and the all-pairs paths disagree on the sample.\n");
    std::abort();
  }
  state.counters["matches"] = static_cast<double>(result.MatchCount);
  state.counters["scale_to_full"] = 100;
}
BENCHMARK(BM_CommonTextAllPairsSample)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
