// A resize of the main window with a tiled background picture: the picture
// stays decoded, so a resize only tiles it again over the new size and the
// window paints. The goal is one frame (16 ms) at 1920 x 1080.
//
//   make bench
//
// The program's files go to a private temporary directory.

#include "foundation/Program.h"
#include "mainwindow/MainDialog.h"
#include "mainwindow/SkinOptions.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

void BM_ResizeWithTiledBackground(benchmark::State& state) {
  QTemporaryDir pictures;
  const std::string title = pictures.path().toStdString() + "/tile.png";
  // A photo-like tile: every pixel different, so nothing compresses away.
  QImage tile(256, 256, QImage::Format_RGB32);
  for (int y = 0; y < tile.height(); ++y)
    for (int x = 0; x < tile.width(); ++x)
      tile.setPixel(x, y, qRgb(x, y, (x * y) & 0xFF));
  tile.save(QString::fromStdString(title));

  cv::TMainForm form;
  form.Setup();
  form.show();
  cv::SkinOptions.UseBackPicture = true;
  cv::SkinOptions.TransparentColumns = state.range(0) != 0;
  form.resize(1920, 1080);
  form.SetupBackPicture(title);
  form.ApplySkin(false);
  QCoreApplication::processEvents();
  int step = 0;
  for (auto _ : state) {
    // Alternate between two sizes so every step is a real change.
    form.resize(step++ % 2 ? 1920 : 1900, 1080);
    QCoreApplication::processEvents();
    const QPixmap frame = form.grab();
    benchmark::DoNotOptimize(frame.cacheKey());
  }
  state.counters["width"] = form.BackPicture().width();
  state.counters["height"] = form.BackPicture().height();
  form.close();
}
BENCHMARK(BM_ResizeWithTiledBackground)
    ->ArgName("transparent_columns")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Never the user's own options.
  QTemporaryDir home;
  for (const char* name :
       {"CORVANTIDE_HOME", "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
    ::setenv(name, home.path().toLocal8Bit().constData(), 1);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
