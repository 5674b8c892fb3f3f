// The partition layer against large mount tables: painting the partitions
// list, and the look-ups that follow the active file (information bars,
// monitor checks), with 1,000 and 4,000 fixture mounts.
//
//   make bench
//
// The fixtures (a mountinfo file, a /sys tree and a by-label directory) are
// made once under $CORVANTIDE_BENCH_DIR (default /var/tmp/corvantide-bench).

#include "columns/Column.h"
#include "columns/ColumnPainter.h"
#include "filesystem/Partitions.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string BenchRoot() {
  const char* root = std::getenv("CORVANTIDE_BENCH_DIR");
  return root && *root ? root : "/var/tmp/corvantide-bench";
}

// A desktop with many disks and sticks, and the snaps, container layers and
// session mounts that crowd a real table.
std::string MountInfoText(int count) {
  std::ostringstream text;
  text << "1 0 259:0 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p1 rw\n";
  for (int i = 1; i < count; ++i) {
    const std::string id = std::to_string(i + 1) + " 1 ";
    const std::string n = std::to_string(i);
    switch (i % 8) {
    case 0:
      text << id << "7:" << n << " / /snap/app" << n << "/1 ro,nodev,relatime - squashfs /dev/loop"
           << n << " ro\n";
      break;
    case 1:
      text << id << "0:" << n << " / /var/lib/docker/overlay2/" << n
           << "/merged rw,relatime - overlay overlay rw,lowerdir=/l" << n << "\n";
      break;
    case 2:
      text << id << "8:" << n << " / /media/u/STICK" << n
           << " rw,nosuid,nodev,relatime - vfat /dev/sd" << n << " rw,uid=1000\n";
      break;
    case 3:
      text << id << "0:" << n << " / /mnt/nas" << n << " rw,relatime - nfs4 nas:/export/" << n
           << " rw,vers=4.2\n";
      break;
    case 4:
      text << id << "0:" << n << " / /run/user/" << n
           << " rw,nosuid,nodev,relatime - tmpfs tmpfs rw,mode=700\n";
      break;
    default:
      text << id << "259:" << n << " / /mnt/disk" << n << " rw,relatime - ext4 /dev/nvme0n1p" << n
           << " rw\n";
      break;
    }
  }
  return text.str();
}

// The sources for `count` mounts: removable flags for the sticks, fixed ones
// for the disks, a label for every block device.
cv::TPartitionSources FixtureSources(int count) {
  const std::string path = BenchRoot() + "/partitions-" + std::to_string(count);
  const cv::TPartitionSources sources{path + "/mountinfo", path + "/sys", path + "/by-label"};
  if (fs::exists(path + ".done")) return sources;
  fs::remove_all(path);
  fs::create_directories(sources.LabelRoot);
  std::ofstream(sources.MountInfoTitle) << MountInfoText(count);
  for (int i = 1; i < count; ++i) {
    const std::string n = std::to_string(i);
    const bool stick = i % 8 == 2;
    if (!stick && i % 8 < 5) continue;
    const std::string node = sources.SysRoot + "/dev/block/" + (stick ? "8:" : "259:") + n;
    fs::create_directories(node);
    std::ofstream(node + "/removable") << (stick ? "1\n" : "0\n");
    fs::create_symlink(stick ? "../../sd" + n : "../../nvme0n1p" + n,
                       sources.LabelRoot + (stick ? "/STICK" : "/Disk") + n);
  }
  std::ofstream(path + ".done");
  return sources;
}

int Count(const benchmark::State& state) {
  return static_cast<int>(state.range(0));
}

// Forty rows of a partitions list, as one paint of the column shows them.
void BM_PaintPartitionRows(benchmark::State& state) {
  cv::PartitionSources() = FixtureSources(Count(state));
  cv::TColumn column(0);
  column.LoadWithPartitions();
  constexpr int rows = 40;
  if (column.Count() < rows) state.SkipWithError("too few partitions");
  column.List.SetItemHeight(cv::ColumnItemHeight(column));
  const int height = column.List.ItemHeight();
  column.List.SetSize(300, rows * height + 2 * column.List.BorderWidth());
  if (column.List.LastPaintIndex() < rows - 1) state.SkipWithError("fewer rows shown");
  QImage image(300, rows * height, QImage::Format_RGB32);
  const cv::TColumnPainter painter;
  for (auto _ : state) {
    QPainter canvas(&image);
    for (int i = 0; i < rows; ++i) {
      cv::TItemPaint paint;
      paint.Index = i;
      paint.Rect = QRect(0, i * height, 300, height);
      painter.DrawAnItem(canvas, column, paint);
    }
  }
}
BENCHMARK(BM_PaintPartitionRows)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

// What an information bar and the monitor check ask about the active file.
void BM_TypeOfActiveFile(benchmark::State& state) {
  cv::PartitionSources() = FixtureSources(Count(state));
  const std::string title = "/media/u/STICK10/photos/img.jpg";
  for (auto _ : state)
    benchmark::DoNotOptimize(cv::GetPartitionType(title));
}
BENCHMARK(BM_TypeOfActiveFile)->Arg(1000)->Arg(4000)->Unit(benchmark::kMicrosecond);

// Listing the partitions (the partitions list and menu).
void BM_ListPartitions(benchmark::State& state) {
  cv::PartitionSources() = FixtureSources(Count(state));
  for (auto _ : state) {
    std::vector<std::string> list;
    benchmark::DoNotOptimize(cv::GetPartitionList(list));
  }
}
BENCHMARK(BM_ListPartitions)->Arg(1000)->Arg(4000)->Unit(benchmark::kMicrosecond);

// Parsing and filtering a table, as a change of the mounts makes us do.
void BM_ParseAndFilter(benchmark::State& state) {
  const std::string text = MountInfoText(Count(state));
  for (auto _ : state)
    benchmark::DoNotOptimize(cv::FilterPartitions(cv::ParseMountInfo(text)));
}
BENCHMARK(BM_ParseAndFilter)->Arg(1000)->Arg(4000)->Unit(benchmark::kMicrosecond);

// A whole reading after the mounts changed: parse, filter, types, labels
// and suffixes.
void BM_BuildMountTable(benchmark::State& state) {
  const cv::TPartitionSources sources = FixtureSources(Count(state));
  const std::string text = MountInfoText(Count(state));
  for (auto _ : state) {
    const cv::TMountTable table(cv::ParseMountInfo(text), sources);
    benchmark::DoNotOptimize(&table);
  }
}
BENCHMARK(BM_BuildMountTable)->Arg(1000)->Arg(4000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
