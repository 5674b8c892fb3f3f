#pragma once
// Thumb mode of the columns. A paint draws only what the picture cache
// holds; a miss draws the blank picture area and asks the render workers.
// Their results come back to the window's thread, which alone admits them
// to the cache and repaints the items that show them. Nothing is rendered
// inside a paint, so a slow disk never holds up a repaint.

#include "mainwindow/SkinOptions.h"
#include "options/ProgramOptions.h"
#include "pictures/PictureCache.h"
#include "pictures/ThumbRender.h"

#include <QObject>
#include <QRect>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPainter;

namespace cv {

class TColumnView;
struct TFileListData;

class TColumnThumbs : public QObject {
  Q_OBJECT
public:
  explicit TColumnThumbs(int workers = 2, TThumbWorkers::TRender render = {},
                         TPictureCache& cache = PictureCache,
                         const TSkinOptions& skin = SkinOptions,
                         const TProgramOptions& options = ProgramOptions);
  ~TColumnThumbs() override;

  // The view's thumbs are painted from here from now on.
  void Attach(TColumnView& view);
  void Detach(TColumnView& view);

  // Paints one item's thumb and information line (the painter's hook).
  void PaintThumb(TColumnView& view, QPainter& canvas, const QRect& picture, const QRect& infoLine,
                  const TFileListData& item);
  // The same for a single thumb outside the columns (the hover window).
  void PaintThumb(QPainter& canvas, const QRect& picture, const QRect& infoLine,
                  const TFileListData& item);

  // A painter of single thumbs: which title it shows at which size, and how
  // it repaints once that title's rendering is in.
  struct TClient {
    std::function<bool(const std::string& title, TPictureSize box)> Shows;
    std::function<void(const std::string& title)> Repaint;
  };
  void AddClient(TClient client) { Clients.push_back(std::move(client)); }
  // Admits the finished renderings and repaints their items.
  void Collect();
  // Drops queued renders whose items no list shows any more.
  void DropInvisible();
  TThumbWorkers& Workers() { return *Pool; }

private:
  // The list is being dragged by its scroll bar.
  bool Scrolling(const TColumnView* view) const;
  void Paint(TColumnView* view, QPainter& canvas, const QRect& picture, const QRect& infoLine,
             const TFileListData& item);
  // Some list shows the job's item at the job's size.
  bool Shown(const TThumbJob& job) const;
  void ScheduleDrop();
  const TThumbResult* Failure(const TThumbJob& job) const;

  TPictureCache& Cache;
  const TSkinOptions& Skin;
  const TProgramOptions& Options;
  std::vector<TColumnView*> Views;
  std::vector<TClient> Clients;
  // Renders that failed, so they are not asked again on every paint.
  std::vector<TThumbResult> Failures;
  bool DropScheduled = false;
  std::shared_ptr<std::atomic<bool>> CollectPosted;
  // Last: the workers stop telling this object before the rest goes.
  std::unique_ptr<TThumbWorkers> Pool;
};

} // namespace cv
