// Thumbs in a column: how long a thumb-mode column of photographs takes
// until every item shows its thumb, and what a repaint from the cache costs.
//
//   make bench
//
// 200 generated 1600 x 1200 JPEGs (made once under $CORVANTIDE_BENCH_DIR,
// default /var/tmp/corvantide-bench) are listed in one column tall enough to
// show them all; the clock runs from the first paint until the last result
// is admitted and the column repainted, with 1 and with 2 render workers,
// each with an empty cache. The peer is a shell loop of
// `gdk-pixbuf-thumbnailer -s <box>` over the same files (skipped when not
// installed). The page cache is warm for all. Wall and CPU times are given:
// the machine is shared.

#include "columns/Column.h"
#include "columns/ColumnThumbs.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "filesystem/Extensions.h"
#include "foundation/BusyCount.h"
#include "options/ProgramOptions.h"
#include "pictures/PictureCodecs.h"

#include <QApplication>
#include "BenchPhoto.h"

#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int Photos = 200;

std::string BenchRoot() {
  const char* root = std::getenv("CORVANTIDE_BENCH_DIR");
  return root && *root ? root : "/var/tmp/corvantide-bench";
}

QImage Photo(int width, int height, unsigned seed) {
  return cv::bench::Photo(width, height, seed, 200, 150);
}

std::string PhotoDirectory() {
  const std::string path = BenchRoot() + "/thumbs-1600x1200";
  if (std::filesystem::exists(path + "/.done")) return path;
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
  std::fprintf(stderr, "making %d photographs of 1600 x 1200 once...\n", Photos);
  for (int i = 0; i < Photos; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/photo%03d.jpg", i);
    QImageWriter writer(QString::fromStdString(path + name), "jpeg");
    writer.setQuality(90);
    if (!writer.write(Photo(1600, 1200, static_cast<unsigned>(i + 1))))
      std::fprintf(stderr, "could not write %s\n", name);
  }
  std::filesystem::create_directories(path + "/.done");
  return path;
}

struct TTimes {
  double Wall = 0;
  double Cpu = 0; // this process, or the children for the peer
};

double CpuSeconds(int who) {
  rusage usage{};
  ::getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

TTimes Measure(int who, const std::function<void()>& work) {
  const double cpu = CpuSeconds(who);
  const auto start = std::chrono::steady_clock::now();
  work();
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
          CpuSeconds(who) - cpu};
}

bool Installed(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QTemporaryDir home;
  for (const char* name :
       {"CORVANTIDE_HOME", "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
    ::setenv(name, home.path().toLocal8Bit().constData(), 1);
  QApplication application(argc, argv);
  const std::string directory = PhotoDirectory();
  std::vector<std::string> photos;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    if (entry.path().extension() == ".jpg") photos.push_back(entry.path().string());
  std::sort(photos.begin(), photos.end());
  if (static_cast<int>(photos.size()) != Photos) {
    std::fprintf(stderr, "expected %d photographs in %s\n", Photos, directory.c_str());
    return 1;
  }
  if (std::system(("cat '" + directory + "'/*.jpg >/dev/null").c_str()) != 0) return 1;

  cv::BusyCount.Reset();
  cv::LoadPictureFileExtensions();
  cv::ProgramOptions.MaxThumbFileSize = -1;
  cv::ProgramOptions.ShowWhileScrolling = true;
  cv::TColumn column(0);
  column.ThumbAttr = true;
  column.ThumbHeight = 10;
  column.LoadDirectory(false, -1, std::nullopt, std::nullopt, std::nullopt, photos.front());
  cv::TColumnView view(column);
  const int itemHeight = cv::ColumnItemHeight(column);
  view.resize(272, itemHeight * (Photos + 1) + 40);
  view.show();
  view.Refresh();
  QApplication::processEvents();
  const QRect box = cv::ColumnItemLayout(column.List.ItemRect(0)).Picture;
  if (column.Count() != Photos || column.List.LastPaintIndex() < Photos - 1) {
    std::fprintf(stderr, "the column shows %d of %d items\n", column.List.LastPaintIndex() + 1,
                 column.Count());
    return 1;
  }

  const auto allCached = [&](cv::TPictureCache& cache) {
    for (const cv::TFileListData& item : column.Items) {
      cv::TPictureCacheQuery query;
      query.Title = item.Title;
      query.FileSize = item.Size;
      query.FileTime = item.Modified;
      query.Box = {box.width(), box.height()};
      if (!cache.Find(query)) return false;
    }
    return true;
  };
  // Until every thumb is cached and the list painted once more.
  const auto fill = [&](int workers, cv::TPictureCache& cache) {
    cv::TColumnThumbs thumbs(workers, {}, cache);
    thumbs.Attach(view);
    const TTimes times = Measure(RUSAGE_SELF, [&] {
      view.FileList->repaint();
      while (!allCached(cache)) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (thumbs.Workers().Outstanding() == 0) {
          QApplication::processEvents();
          if (!allCached(cache)) view.FileList->repaint();
        }
      }
      view.FileList->repaint();
    });
    thumbs.Detach(view);
    return times;
  };
  const int rounds = 3;
  TTimes one{1e9, 0}, two{1e9, 0}, peer{1e9, 0};
  double repaint = 1e9, thumbOnly = 1e9;
  const bool pixbuf = Installed("gdk-pixbuf-thumbnailer");
  const std::string out = BenchRoot() + "/thumbs-out.png";
  const std::string loop = "for f in '" + directory + "'/*.jpg; do gdk-pixbuf-thumbnailer -s " +
                           std::to_string(std::max(box.width(), box.height())) + " \"$f\" '" + out +
                           "' || exit 1; done";
  for (int round = 0; round < rounds; ++round) {
    for (int workers : {1, 2}) {
      cv::TPictureCache cache([] { return int64_t{200'000'000}; });
      const TTimes times = fill(workers, cache);
      TTimes& best = workers == 1 ? one : two;
      if (times.Wall < best.Wall) best = times;
      if (workers == 2) {
        // Every item from the cache now: the repaint of the whole column.
        auto rendered = std::make_shared<std::atomic<int>>(0);
        cv::TColumnThumbs thumbs(
            2,
            [rendered](const cv::TThumbJob& job) {
              ++*rendered;
              cv::TThumbResult result;
              result.Job = job;
              return result;
            },
            cache);
        thumbs.Attach(view);
        const int repaints = 20;
        const TTimes cached = Measure(RUSAGE_SELF, [&] {
          for (int i = 0; i < repaints; ++i)
            view.FileList->repaint();
        });
        repaint = std::min(repaint, cached.Wall / repaints / Photos);
        // The thumb alone: the cache search, the bitmap copy and the information line.
        QImage canvasImage(box.size() + QSize(0, 40), QImage::Format_ARGB32_Premultiplied);
        QPainter canvas(&canvasImage);
        const QRect info(0, box.height(), box.width(), 20);
        const TTimes hook = Measure(RUSAGE_SELF, [&] {
          for (int i = 0; i < repaints; ++i)
            for (const cv::TFileListData& item : column.Items)
              thumbs.PaintThumb(view, canvas, QRect(QPoint(0, 0), box.size()), info, item);
        });
        thumbOnly = std::min(thumbOnly, hook.Wall / repaints / Photos);
        thumbs.Detach(view);
        QApplication::processEvents();
        if (*rendered > 0)
          std::fprintf(stderr, "a cached repaint rendered %d thumbs\n", rendered->load());
      }
    }
    if (pixbuf) {
      const TTimes times = Measure(RUSAGE_CHILDREN, [&] {
        if (std::system(loop.c_str()) != 0) std::fprintf(stderr, "the thumbnailer loop failed\n");
      });
      if (times.Wall < peer.Wall) peer = times;
    }
  }
  std::filesystem::remove(out);
  double load[3] = {0, 0, 0};
  ::getloadavg(load, 3);
  std::printf("%d JPEGs of 1600 x 1200 in a thumb-mode column (box %d x %d), until all are "
              "painted: 1 worker %.2f s (CPU %.2f s), 2 workers %.2f s (CPU %.2f s)",
              Photos, box.width(), box.height(), one.Wall, one.Cpu, two.Wall, two.Cpu);
  if (pixbuf)
    std::printf("; gdk-pixbuf-thumbnailer loop %.2f s (CPU %.2f s, %.2fx our 2 workers)", peer.Wall,
                peer.Cpu, peer.Wall / two.Wall);
  else
    std::printf("; gdk-pixbuf-thumbnailer not installed: skipped");
  std::printf("\nCached repaint of the whole column: %.1f us per item (the thumb and its "
              "information line alone: %.1f us); load average %.2f %.2f %.2f\n",
              repaint * 1e6, thumbOnly * 1e6, load[0], load[1], load[2]);
  return 0;
}
