// Copying files: MyCopyFile against cp in one run.
//
//   make bench
//
// One 1 GiB file (ours against `cp`, and `cp` followed by `sync` of the
// copy, since every copy of ours is flushed before it takes its name), and
// 10,000 files of 4 KiB, each with a user attribute, copied as a tree with
// mode, times and attributes (ours against `cp -a`). The sources are made
// once under $CORVANTIDE_BENCH_DIR (default /var/tmp/corvantide-bench).

#include "fileops/FileEngine.h"
#include "filesystem/FileOperations.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

std::string BenchRoot() {
  const char* root = std::getenv("CORVANTIDE_BENCH_DIR");
  return root && *root ? root : "/var/tmp/corvantide-bench";
}

bool WriteFile(const std::string& title, size_t size, char fill) {
  const int fd = ::open(title.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::string block(1u << 20, fill);
  for (size_t done = 0; done < size;) {
    const size_t part = std::min(block.size(), size - done);
    if (::write(fd, block.data(), part) != static_cast<ssize_t>(part)) break;
    done += part;
  }
  return ::close(fd) == 0;
}

std::string BigFile() {
  const std::string title = BenchRoot() + "/copy-1GiB";
  struct stat st {};
  if (::stat(title.c_str(), &st) != 0 || st.st_size != (1LL << 30)) WriteFile(title, 1u << 30, 'b');
  return title;
}

std::string SmallFiles() {
  const std::string path = BenchRoot() + "/copy-10000x4KiB";
  if (std::filesystem::exists(path + ".done")) return path;
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
  for (int i = 0; i < 10000; ++i) {
    const std::string title = path + "/file" + std::to_string(i);
    WriteFile(title, 4096, static_cast<char>('a' + i % 26));
    ::setxattr(title.c_str(), "user.Description", "bench", 5, 0);
  }
  WriteFile(path + ".done", 0, 0);
  return path;
}

// Seconds of the best of `runs` runs; `clean` runs before each and is not timed.
double Best(int runs, const std::function<void()>& clean, const std::function<void()>& work) {
  double best = 1e9;
  for (int run = 0; run < runs; ++run) {
    clean();
    ::sync();
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
}

// The engine with nobody watching: no questions, no window.
class TSilentHost : public cv::TFileEngineHost {
public:
  cv::TOverwriteChoice AskOverwrite(const cv::TOverwriteView&) override {
    return cv::TOverwriteChoice::Abort;
  }
  bool AskYesNo(const std::string&) override { return true; }
  void ShowProgress(const cv::TFileEngineDisplay&) override {}
  void PumpEvents() override {}
  void Deselect(size_t) override {}
  bool CopyToClipboard(const std::string&, const std::vector<std::string>&) override {
    return true;
  }
  void RenameContainerItem(const std::string&, const std::string&) override {}
};

} // namespace

int main() {
  std::filesystem::create_directories(BenchRoot());
  const std::string big = BigFile();
  const std::string bigCopy = BenchRoot() + "/copy-1GiB.out";
  auto removeBig = [&] { ::unlink(bigCopy.c_str()); };
  const int runs = 3;
  const double ours = Best(runs, removeBig, [&] { cv::MyCopyFile(big, bigCopy, false); });
  const double cp = Best(runs, removeBig, [&] { Shell("cp '" + big + "' '" + bigCopy + "'"); });
  const double cpSync = Best(runs, removeBig, [&] {
    Shell("cp '" + big + "' '" + bigCopy + "' && sync '" + bigCopy + "'");
  });
  removeBig();
  std::printf("1 GiB file: ours %.3f s (%.0f MiB/s), cp %.3f s, cp+sync %.3f s; "
              "throughput ratio to cp %.2f, to cp+sync %.2f\n",
              ours, 1024 / ours, cp, cpSync, cp / ours, cpSync / ours);

  const std::string tree = SmallFiles();
  const std::string treeCopy = BenchRoot() + "/copy-10000x4KiB.out";
  auto removeTree = [&] { std::filesystem::remove_all(treeCopy); };
  // The same tree through the file operation engine: counting pass,
  // overwrite check, guards and progress on top of the primitives. Both are
  // timed in turn, run after run, so a slow spell of the disk hits both.
  TSilentHost host;
  cv::TFileEngine engine(host);
  cv::TFileEngineSettings settings;
  settings.Operation = "Copy";
  settings.NoErrors = true;
  const std::string engineTarget = BenchRoot() + "/engine.out";
  auto removeEngineTarget = [&] {
    std::filesystem::remove_all(engineTarget);
    std::filesystem::create_directories(engineTarget);
  };
  double oursTree = 1e9, engineTree = 1e9;
  for (int run = 0; run < 5; ++run) {
    oursTree = std::min(
        oursTree, Best(1, removeTree, [&] { cv::CopyDeleteDirectory(tree, treeCopy, true); }));
    removeTree();
    engineTree = std::min(engineTree, Best(1, removeEngineTarget,
                                           [&] { engine.Run(settings, {tree}, engineTarget); }));
    std::filesystem::remove_all(engineTarget);
  }
  if (engine.Counters().Files != 10000 || engine.Counters().Errors != 0)
    std::fprintf(stderr, "the engine copied %u files with %u errors\n", engine.Counters().Files,
                 engine.Counters().Errors);
  const double cpA =
      Best(runs, removeTree, [&] { Shell("cp -a '" + tree + "' '" + treeCopy + "'"); });
  const double cpASync = Best(runs, removeTree, [&] {
    Shell("cp -a '" + tree + "' '" + treeCopy + "' && sync -f '" + treeCopy + "'");
  });
  if (std::filesystem::exists(treeCopy + "/file9999")) {
    char value[16] = {};
    if (::getxattr((treeCopy + "/file9999").c_str(), "user.Description", value, sizeof value) != 5)
      std::fprintf(stderr, "the tree copy lost a stream\n");
  }
  removeTree();
  std::printf(
      "10,000 files of 4 KiB with attributes: ours %.3f s, cp -a %.3f s, cp -a+sync %.3f s; "
      "throughput ratio to cp -a %.2f, to cp -a+sync %.2f\n",
      oursTree, cpA, cpASync, cpA / oursTree, cpASync / oursTree);
  std::printf("the same through the file operation engine: %.3f s, %.1f%% over the primitives\n",
              engineTree, (engineTree / oursTree - 1) * 100);
  return 0;
}
