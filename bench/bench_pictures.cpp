// Pictures: thumbs of large photographs against gdk-pixbuf-thumbnailer and
// ImageMagick in one run, and the adjusted background picture.
//
//   make bench
//
// 30 generated 6000 x 4000 JPEGs (made once under $CORVANTIDE_BENCH_DIR,
// default /var/tmp/corvantide-bench) are loaded into a 256-pixel box by
// LoadPictureToBitmap, by `gdk-pixbuf-thumbnailer -s 256` and by ImageMagick
// `convert -thumbnail 256x256`, each over the same files after one warm-up
// read, so all of them read from the page cache. The peers are whole
// processes that also write a PNG; that is how they are used. A peer that is
// not installed is skipped, not failed.

#include "pictures/Pictures.h"

#include <QCoreApplication>
#include "BenchPhoto.h"

#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int Pictures = 30;

std::string BenchRoot() {
  const char* root = std::getenv("CORVANTIDE_BENCH_DIR");
  return root && *root ? root : "/var/tmp/corvantide-bench";
}

QImage Photo(int width, int height, unsigned seed) {
  return cv::bench::Photo(width, height, seed, 300, 200);
}

std::vector<std::string> PhotoFiles() {
  const std::string path = BenchRoot() + "/pictures-6000x4000";
  std::vector<std::string> titles;
  for (int i = 0; i < Pictures; ++i)
    titles.push_back(path + "/photo" + std::to_string(i) + ".jpg");
  if (std::filesystem::exists(path + "/done")) return titles;
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
  std::fprintf(stderr, "making %d photographs of 6000 x 4000 once...\n", Pictures);
  for (int i = 0; i < Pictures; ++i) {
    QImageWriter writer(QString::fromStdString(titles[static_cast<size_t>(i)]), "jpeg");
    writer.setQuality(90);
    if (!writer.write(Photo(6000, 4000, static_cast<unsigned>(i + 1))))
      std::fprintf(stderr, "could not write %s\n", titles[static_cast<size_t>(i)].c_str());
  }
  std::filesystem::create_directories(path + "/done");
  return titles;
}

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool Installed(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const std::vector<std::string> photos = PhotoFiles();
  const std::string out = BenchRoot() + "/thumb-out.png";
  for (const std::string& photo : photos)
    Shell("cat '" + photo + "' >/dev/null");

  // Every picture is handed to each tool in turn, so a busy spell of the
  // shared machine falls on all of them alike; the best round of each counts.
  const bool pixbuf = Installed("gdk-pixbuf-thumbnailer");
  const bool magick = Installed("convert");
  const int rounds = 5;
  double ours = 1e9, oursHigh = 1e9, floor = 1e9, pixbufBest = 1e9, magickBest = 0;
  int failures = 0;
  for (int round = 0; round < rounds; ++round) {
    double oursRound = 0, highRound = 0, floorRound = 0, pixbufRound = 0;
    for (const std::string& photo : photos) {
      oursRound += Seconds([&] {
        cv::TThumb thumb;
        if (!cv::LoadPictureToBitmap(photo, {.Box = {256, 256}}, thumb) ||
            thumb.Bitmap.size() != QSize(256, 170))
          ++failures;
      });
      highRound += Seconds([&] {
        cv::TThumb thumb;
        if (!cv::LoadPictureToBitmap(photo, {.Box = {256, 256}, .HighQuality = true}, thumb))
          ++failures;
      });
      // The decoder alone at the scaled size: what no loader on Qt can beat.
      floorRound += Seconds([&] {
        QImageReader reader(QString::fromStdString(photo));
        reader.setScaledSize(QSize(256, 170));
        reader.setQuality(0);
        if (reader.read().isNull()) ++failures;
      });
      if (pixbuf)
        pixbufRound +=
            Seconds([&] { Shell("gdk-pixbuf-thumbnailer -s 256 '" + photo + "' '" + out + "'"); });
      // ImageMagick decodes the whole photograph: one round is enough to see it.
      if (magick && round == 0)
        magickBest +=
            Seconds([&] { Shell("convert '" + photo + "' -thumbnail 256x256 '" + out + "'"); });
    }
    ours = std::min(ours, oursRound);
    oursHigh = std::min(oursHigh, highRound);
    floor = std::min(floor, floorRound);
    pixbufBest = std::min(pixbufBest, pixbufRound);
  }
  std::filesystem::remove(out);
  if (failures > 0) std::fprintf(stderr, "%d thumbs failed\n", failures);
  const double n = Pictures;
  std::printf("%d JPEGs of 6000 x 4000 into a 256-pixel box, per picture: ours %.1f ms "
              "(high quality %.1f ms; the bare scaled decode %.1f ms)",
              Pictures, ours / n * 1000, oursHigh / n * 1000, floor / n * 1000);
  if (pixbuf)
    std::printf(", gdk-pixbuf-thumbnailer -s 256 %.1f ms (%.2fx ours)", pixbufBest / n * 1000,
                pixbufBest / ours);
  else
    std::printf(", gdk-pixbuf-thumbnailer not installed: skipped");
  if (magick)
    std::printf(", convert -thumbnail %.1f ms (%.2fx ours)", magickBest / n * 1000,
                magickBest / ours);
  else
    std::printf(", ImageMagick convert not installed: skipped");
  std::printf("\n");

  // The board background: 1920 x 1080 with gamma, rotation and fade.
  const QImage background = Photo(1920, 1080, 7);
  QImage surface(1920, 1080, QImage::Format_RGB32);
  const cv::TPictureAdjust adjust{
      .Gamma = 150, .BlueRed = 10, .GreenBlue = -20, .RedGreen = 30, .Fade = 20};
  double adjusted = 1e9, plain = 1e9;
  for (int run = 0; run < 20; ++run) {
    surface.fill(Qt::black);
    QPainter canvas(&surface);
    adjusted = std::min(adjusted, Seconds([&] {
                          cv::DrawPictureAdjusted(background, canvas, adjust, {1920, 1080});
                        }));
    plain = std::min(plain, Seconds([&] {
                       cv::DrawPictureAdjusted(background, canvas, {}, {1920, 1080});
                     }));
  }
  std::printf("DrawPictureAdjusted of 1920 x 1080 (gamma, rotation and fade): %.1f ms; "
              "without adjustments %.1f ms\n",
              adjusted * 1000, plain * 1000);
  return failures > 0 ? 1 : 0;
}
