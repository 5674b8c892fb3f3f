#include "columns/ColumnThumbs.h"

#include "columns/Column.h"
#include "columns/ColumnView.h"
#include "columns/MyPanel.h"
#include "filesystem/Extensions.h"
#include "filesystem/File.h"
#include "foundation/Drawing.h"
#include "foundation/QtText.h"
#include "foundation/Text.h"

#include <QFontMetrics>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

namespace cv {

namespace {

constexpr size_t FailuresKept = 1000;

void DrawLine(QPainter& canvas, const QRect& area, const std::string& text) {
  if (area.isEmpty()) return;
  const QString shown =
      QFontMetrics(canvas.font()).elidedText(ToQString(text), Qt::ElideRight, area.width());
  canvas.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

} // namespace

TColumnThumbs::TColumnThumbs(int workers, TThumbWorkers::TRender render, TPictureCache& cache,
                             const TSkinOptions& skin, const TProgramOptions& options)
    : Cache(cache), Skin(skin), Options(options),
      CollectPosted(std::make_shared<std::atomic<bool>>(false)) {
  // Workers only post; the posted call dies with this object.
  Pool = std::make_unique<TThumbWorkers>(
      workers,
      [this, posted = CollectPosted] {
        if (posted->exchange(true)) return;
        QMetaObject::invokeMethod(
            this, [this] { Collect(); }, Qt::QueuedConnection);
      },
      std::move(render));
}

TColumnThumbs::~TColumnThumbs() {
  Pool.reset();
  for (TColumnView* view : std::vector<TColumnView*>(Views))
    Detach(*view);
}

void TColumnThumbs::Attach(TColumnView& view) {
  if (std::find(Views.begin(), Views.end(), &view) != Views.end()) return;
  Views.push_back(&view);
  view.Painter.PaintThumb = [this, &view](QPainter& canvas, const QRect& picture,
                                          const QRect& infoLine, const TFileListData& item) {
    PaintThumb(view, canvas, picture, infoLine, item);
  };
  if (QScrollBar* bar = view.FileList->ScrollBar()) {
    // Misses skipped while the bar was dragged are asked for once it is let go.
    connect(bar, &QScrollBar::sliderReleased, this, [&view] { view.FileList->update(); });
    connect(bar, &QScrollBar::valueChanged, this, [this] { ScheduleDrop(); });
  }
  connect(&view, &QObject::destroyed, this, [this, &view] { std::erase(Views, &view); });
}

void TColumnThumbs::Detach(TColumnView& view) {
  if (std::find(Views.begin(), Views.end(), &view) == Views.end()) return;
  std::erase(Views, &view);
  view.Painter.PaintThumb = nullptr;
  if (QScrollBar* bar = view.FileList->ScrollBar()) disconnect(bar, nullptr, this, nullptr);
  disconnect(&view, nullptr, this, nullptr);
}

bool TColumnThumbs::Scrolling(const TColumnView* view) const {
  if (!view) return false;
  const QScrollBar* bar = view->FileList->ScrollBar();
  return bar && bar->isSliderDown();
}

const TThumbResult* TColumnThumbs::Failure(const TThumbJob& job) const {
  for (const TThumbResult& failure : Failures)
    if (failure.Job.SameAs(job)) return &failure;
  return nullptr;
}

void TColumnThumbs::PaintThumb(TColumnView& view, QPainter& canvas, const QRect& picture,
                               const QRect& infoLine, const TFileListData& item) {
  Paint(&view, canvas, picture, infoLine, item);
}

void TColumnThumbs::PaintThumb(QPainter& canvas, const QRect& picture, const QRect& infoLine,
                               const TFileListData& item) {
  Paint(nullptr, canvas, picture, infoLine, item);
}

void TColumnThumbs::Paint(TColumnView* view, QPainter& canvas, const QRect& picture,
                          const QRect& infoLine, const TFileListData& item) {
  const std::string& title = item.Title;
  if (title.empty() || IsPartitionTitle(title) || item.Type == fltDirectory || !item.Exists) {
    DrawLine(canvas, infoLine, "Picture not available");
    return;
  }
  TThumbJob job;
  job.Title = title;
  job.FileSize = item.Size;
  job.FileTime = item.Modified;
  job.Request.Box = {picture.width(), picture.height()};
  job.Request.SmartQualitySize = Options.SmartQualitySize;
  job.Request.HighQuality = Options.HighQualityThumb;
  job.Style.Background = Skin.WindowBackColor;
  job.Style.TextColor = Skin.ThumbTextColor;
  job.Style.FontName = Options.ItemsFontName;
  job.Style.FontSize = Options.ItemsFontSize;
  job.Style.Bold = false;

  const bool video = IsVideoFile(title);
  if (IsPictureFile(title) || video) {
    job.Kind = video ? TThumbKind::Video : TThumbKind::Picture;
    if (!video && Options.MaxThumbFileSize >= 0 && item.Size > Options.MaxThumbFileSize) {
      DrawLine(canvas, infoLine, ThumbTooBigLine(static_cast<uint64_t>(item.Size)));
      return;
    }
  } else if (IsTextFile(title)) {
    job.Kind = TThumbKind::Text;
    job.TextFormat = true;
    job.Request.Exact = true;
    job.Characters = TextThumbCharacters(picture.width(), picture.height(), Options.ItemsFontSize);
  } else {
    job.Kind = TThumbKind::Plugin;
    job.Extension = UpperCase(GetExtensionNoDot(title));
    job.Plugin = ThumbPluginDispatch ? ThumbPluginDispatch(job.Extension) : nullptr;
    if (!job.Plugin) {
      DrawLine(canvas, infoLine, "Picture not available");
      return;
    }
    if (!job.Plugin->GetPictureSize || !job.Plugin->LoadFileToBitmap) {
      DrawLine(canvas, infoLine, "Invalid rendering function");
      return;
    }
    if (job.Plugin->RecacheOnTextFormatChange)
      job.TextFormat = job.Plugin->RecacheOnTextFormatChange(job.Extension);
  }

  if (const TPictureCacheEntry* hit = Cache.Find(job.Query())) {
    canvas.drawImage(picture.topLeft(), hit->Bitmap);
    const uint64_t size = static_cast<uint64_t>(std::max<int64_t>(item.Size, 0));
    if (job.Kind == TThumbKind::Text)
      DrawLine(canvas, infoLine, TextThumbInfoLine(size));
    else
      DrawLine(canvas, infoLine,
               ThumbInfoLine(hit->Picture, hit->Zoom, size,
                             {Options.NormalizeThumbWidth, Options.NormalizeThumbWidthTo,
                              Options.NormalizeThumbHeight, Options.NormalizeThumbHeightTo}));
    return;
  }
  canvas.fillRect(picture, ToQColor(job.Style.Background));
  if (Failure(job)) {
    DrawLine(canvas, infoLine, "Picture not available or error");
    return;
  }
  if (Scrolling(view) && !Options.ShowWhileScrolling) {
    canvas.drawText(picture.adjusted(2, 2, -2, -2), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                    QStringLiteral("Uncached thumbnails are not rendered during scrolling."));
    return;
  }
  Pool->Queue(std::move(job));
  ScheduleDrop();
}

bool TColumnThumbs::Shown(const TThumbJob& job) const {
  for (const TClient& client : Clients)
    if (client.Shows && client.Shows(job.Title, job.Request.Box)) return true;
  for (const TColumnView* view : Views) {
    const TColumn& column = view->Column;
    if (!column.ThumbAttr || !view->isVisible()) continue;
    const int last = std::min(column.List.LastPaintIndex(), column.Count() - 1);
    for (int i = std::max(column.List.TopIndex(), 0); i <= last; ++i) {
      if (column.Items[static_cast<size_t>(i)].Title != job.Title) continue;
      // A list resized since the job was queued wants the thumb at its new size.
      const QRect picture = ColumnItemLayout(column.List.ItemRect(i), Options).Picture;
      if (job.Request.Box == TPictureSize{picture.width(), picture.height()}) return true;
    }
  }
  return false;
}

void TColumnThumbs::ScheduleDrop() {
  if (DropScheduled) return;
  DropScheduled = true;
  QTimer::singleShot(0, this, [this] { DropInvisible(); });
}

void TColumnThumbs::DropInvisible() {
  DropScheduled = false;
  Pool->Retain([this](const TThumbJob& job) { return Shown(job); });
}

void TColumnThumbs::Collect() {
  CollectPosted->store(false);
  for (TThumbResult& result : Pool->TakeResults()) {
    const std::string title = result.Job.Title;
    if (result.Ok) {
      Cache.Add(std::move(result.Entry));
    } else {
      if (Failures.size() >= FailuresKept)
        Failures.erase(Failures.begin(), Failures.begin() + FailuresKept / 2);
      Failures.push_back(std::move(result));
    }
    for (TColumnView* view : Views) {
      const TColumn& column = view->Column;
      const int last = std::min(column.List.LastPaintIndex(), column.Count() - 1);
      for (int i = std::max(column.List.TopIndex(), 0); i <= last; ++i)
        if (column.Items[static_cast<size_t>(i)].Title == title) view->FileList->RepaintItems(i, i);
    }
    for (const TClient& client : Clients)
      if (client.Repaint) client.Repaint(title);
  }
  DropInvisible();
}

} // namespace cv
