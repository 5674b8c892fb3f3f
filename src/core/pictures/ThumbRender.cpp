#include "pictures/ThumbRender.h"

#include "filesystem/File.h"
#include "filesystem/FileStreams.h"
#include "foundation/Guard.h"
#include "foundation/OffThread.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <sys/stat.h>

namespace cv {

TThumbPluginDispatch ThumbPluginDispatch;
TSystemThumbnailSource SystemThumbnailSource;

namespace {

QColor ColorOf(uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

QImage FilledBitmap(TPictureSize size, uint32_t background) {
  QImage bitmap(static_cast<int>(size.Width), static_cast<int>(size.Height),
                QImage::Format_ARGB32_Premultiplied);
  if (!bitmap.isNull()) bitmap.fill(ColorOf(background));
  return bitmap;
}

bool FitsBitmap(TPictureSize size) {
  return !size.Empty() && size.Width <= 32767 && size.Height <= 32767;
}

} // namespace

// ---- Text thumbs -----------------------------------------------------------------

bool TextThumbWraps(std::string_view text) {
  if (text.size() < 4) return true;
  const std::string_view inner = text.substr(2, text.size() - 3);
  return inner.find_first_of("\r\n") == std::string_view::npos;
}

int64_t TextThumbCharacters(int thumbWidth, int thumbHeight, int itemsFontSize) {
  const int64_t font = std::max(itemsFontSize, 1);
  return std::max<int64_t>(1000, int64_t{thumbHeight} * thumbWidth / font / 5);
}

QImage LoadTextToBitmap(const std::string& title, const TTextThumbStyle& style, int64_t characters,
                        int margin, TPictureSize box) {
  TGuard guard("LoadTextToBitmap");
  return guard.Run(QImage(), [&] {
    if (!FitsBitmap(box)) guard.Raise("Invalid picture size.", title);
    // A long file cut short only warns: that is what the thumb means to do.
    std::string text = GetTextFromFileStream(title, {}, std::max<int64_t>(characters, 1));
    if (FunStatContext.Failed()) guard.TakeOver();
    if (margin < 0) margin = 2;
    QImage bitmap = FilledBitmap(box, style.Background);
    if (bitmap.isNull()) guard.Raise("Failed to allocate memory.", title);
    QFont font(QString::fromStdString(style.FontName));
    font.setPointSize(std::max(style.FontSize, 1));
    font.setBold(style.Bold);
    QPainter canvas(&bitmap);
    canvas.setFont(font);
    canvas.setPen(ColorOf(style.TextColor));
    const QRect area(margin, margin, static_cast<int>(box.Width) - 2 * margin,
                     static_cast<int>(box.Height) - 2 * margin);
    int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs;
    if (TextThumbWraps(text)) flags |= Qt::TextWordWrap;
    // Shown only: the bytes are not kept in this form.
    canvas.drawText(area, flags,
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    canvas.end();
    return bitmap;
  });
}

// ---- Rendering --------------------------------------------------------------------

TPictureCacheQuery TThumbJob::Query() const {
  TPictureCacheQuery query;
  query.Title = Title;
  query.FileSize = FileSize;
  query.FileTime = FileTime;
  query.Box = Request.Box;
  query.Exact = Request.Exact;
  query.Enlarge = Request.Enlarge;
  query.Video = Kind == TThumbKind::Video;
  query.TextFormat = TextFormat;
  query.Background = Style.Background;
  query.TextColor = Style.TextColor;
  query.FontName = Style.FontName;
  query.FontSize = Style.FontSize;
  query.Bold = Style.Bold;
  return query;
}

bool TThumbJob::SameAs(const TThumbJob& other) const {
  // Titles compare byte for byte: "A.jpg" and "a.jpg" are two files here.
  return Title == other.Title && FileSize == other.FileSize && FileTime == other.FileTime &&
         Kind == other.Kind && Request.Box == other.Request.Box &&
         Request.Exact == other.Request.Exact && Request.Enlarge == other.Request.Enlarge &&
         (!TextFormat ||
          (Style.Background == other.Style.Background && Style.TextColor == other.Style.TextColor &&
           Style.FontName == other.Style.FontName && Style.FontSize == other.Style.FontSize &&
           Style.Bold == other.Style.Bold));
}

bool RenderThumb(const TThumbJob& job, TPictureCacheEntry& entry) {
  TGuard guard("TPictureCache::Load");
  return guard.Run(false, [&] {
    struct stat facts {};
    // Only the type is looked at; the reads below open regular files only.
    if (::stat(job.Title.c_str(), &facts) != 0 || !S_ISREG(facts.st_mode))
      guard.Raise("Not a picture file.", job.Title);
    entry = {};
    entry.Title = job.Title;
    entry.FileSize = job.FileSize;
    entry.FileTime = job.FileTime;
    entry.Exact = job.Request.Exact;
    entry.Enlarge = job.Request.Enlarge;
    entry.Background = job.Style.Background;
    entry.TextColor = job.Style.TextColor;
    entry.FontName = job.Style.FontName;
    entry.FontSize = job.Style.FontSize;
    entry.Bold = job.Style.Bold;
    const TPictureSize box = job.Request.Box;
    switch (job.Kind) {
    case TThumbKind::Text:
      entry.Picture = box;
      entry.Bitmap = LoadTextToBitmap(job.Title, job.Style, job.Characters, job.Margin, box);
      guard.TakeOver();
      entry.Zoom = 100;
      break;
    case TThumbKind::Video: {
      std::optional<QImage> frame;
      if (SystemThumbnailSource) frame = SystemThumbnailSource(job.Title, box);
      if (!frame || frame->isNull()) guard.Raise("Failed to extract thumbnail.", job.Title);
      entry.Bitmap = std::move(*frame);
      entry.Picture = {entry.Bitmap.width(), entry.Bitmap.height()};
      entry.Zoom = 100;
      break;
    }
    case TThumbKind::Picture: {
      TThumb thumb;
      if (!LoadPictureToBitmap(job.Title, job.Request, thumb)) {
        // What our decoders cannot read, the system's thumbnailers may.
        const TFunStatContext failure = FunStatContext;
        std::optional<QImage> other;
        if (SystemThumbnailSource) other = SystemThumbnailSource(job.Title, box);
        if (!other || other->isNull()) {
          FunStatContext = failure;
          guard.TakeOver();
        }
        thumb.Bitmap = std::move(*other);
        thumb.Picture = {thumb.Bitmap.width(), thumb.Bitmap.height()};
        thumb.Zoom = 100;
      }
      entry.Bitmap = std::move(thumb.Bitmap);
      entry.Picture = thumb.Picture;
      entry.Zoom = thumb.Zoom;
      break;
    }
    case TThumbKind::Plugin: {
      const TThumbPluginSlot* slot = job.Plugin;
      if (!slot || !slot->GetPictureSize || !slot->LoadFileToBitmap)
        guard.Raise("Invalid rendering function", job.Title);
      int64_t width = -1, height = -1;
      slot->GetPictureSize(job.Title, job.Extension, box, width, height);
      entry.Picture = {width < 1 ? box.Width : width, height < 1 ? box.Height : height};
      const TPictureSize size =
          job.Request.Exact ? box : FitSizeInBox(entry.Picture, box, job.Request.Enlarge);
      if (!FitsBitmap(size)) guard.Raise("Invalid picture size.", job.Title);
      entry.Zoom = size.Height * 100 / entry.Picture.Height;
      QImage bitmap =
          FilledBitmap(size, job.Style.Background).convertToFormat(QImage::Format_ARGB32);
      if (bitmap.isNull()) guard.Raise("Failed to allocate memory.", job.Title);
      // A plug-in that throws leaves the bitmap as far as it got; that is kept.
      try {
        slot->LoadFileToBitmap(job.Title, job.Extension, bitmap, job.Style.Background,
                               job.Style.TextColor);
      } catch (...) {
      }
      if (bitmap.depth() != 32) guard.Raise("Invalid bitmap pixel format (not 32 bit).", job.Title);
      entry.Bitmap = std::move(bitmap);
      break;
    }
    }
    if (entry.Bitmap.isNull()) guard.Raise("Failed to load picture.", job.Title);
    return true;
  });
}

// ---- Workers --------------------------------------------------------------------

struct TThumbWorkers::TShared {
  std::mutex Lock;
  std::condition_variable Wake;
  std::deque<TThumbJob> Jobs; // newest at the back
  std::vector<TThumbJob> Running;
  std::vector<TThumbResult> Results;
  bool Stopping = false;
  std::function<void()> Ready;
  TRender Render;
};

namespace {

void WorkerLoop(const std::shared_ptr<TThumbWorkers::TShared>& owned) {
  TThumbWorkers::TShared& shared = *owned;
  std::unique_lock lock(shared.Lock);
  for (;;) {
    shared.Wake.wait(lock, [&] { return shared.Stopping || !shared.Jobs.empty(); });
    if (shared.Stopping) return;
    TThumbJob job = std::move(shared.Jobs.back());
    shared.Jobs.pop_back();
    shared.Running.push_back(job);
    lock.unlock();
    TThumbResult result = shared.Render(job);
    lock.lock();
    const auto running = std::find_if(shared.Running.begin(), shared.Running.end(),
                                      [&](const TThumbJob& j) { return j.SameAs(job); });
    if (running != shared.Running.end()) shared.Running.erase(running);
    if (shared.Stopping) return;
    shared.Results.push_back(std::move(result));
    // Under the lock, so the owner cannot go away while it is told; the
    // owner only schedules its collection here.
    if (shared.Ready) shared.Ready();
  }
}

TThumbResult RenderResult(const TThumbJob& job) {
  TThumbResult result;
  result.Job = job;
  result.Ok = RenderThumb(job, result.Entry);
  if (!result.Ok) result.Status = FunStatContext;
  return result;
}

} // namespace

TThumbWorkers::TThumbWorkers(int workers, std::function<void()> ready, TRender render)
    : Shared(std::make_shared<TShared>()) {
  Shared->Ready = std::move(ready);
  Shared->Render = render ? std::move(render) : TRender(&RenderResult);
  for (int i = 0; i < std::max(workers, 1); ++i) {
    std::shared_ptr<TShared> shared = Shared;
    StartDetached([shared] { WorkerLoop(shared); });
  }
}

TThumbWorkers::~TThumbWorkers() {
  {
    std::lock_guard lock(Shared->Lock);
    Shared->Stopping = true;
    Shared->Jobs.clear();
    Shared->Ready = nullptr;
  }
  Shared->Wake.notify_all();
}

void TThumbWorkers::Queue(TThumbJob job) {
  {
    std::lock_guard lock(Shared->Lock);
    const auto same = [&](const TThumbJob& other) { return other.SameAs(job); };
    // Running, or done and not yet collected: asking again would render it twice.
    if (std::any_of(Shared->Running.begin(), Shared->Running.end(), same) ||
        std::any_of(Shared->Results.begin(), Shared->Results.end(),
                    [&](const TThumbResult& result) { return result.Job.SameAs(job); }))
      return;
    const auto queued = std::find_if(Shared->Jobs.begin(), Shared->Jobs.end(), same);
    // Asked again: it moves up to be taken next.
    if (queued != Shared->Jobs.end()) Shared->Jobs.erase(queued);
    Shared->Jobs.push_back(std::move(job));
  }
  Shared->Wake.notify_one();
}

void TThumbWorkers::Retain(const std::function<bool(const TThumbJob&)>& keep) {
  std::lock_guard lock(Shared->Lock);
  std::erase_if(Shared->Jobs, [&](const TThumbJob& job) { return !keep(job); });
}

std::vector<TThumbResult> TThumbWorkers::TakeResults() {
  std::lock_guard lock(Shared->Lock);
  return std::exchange(Shared->Results, {});
}

size_t TThumbWorkers::Outstanding() const {
  std::lock_guard lock(Shared->Lock);
  return Shared->Jobs.size() + Shared->Running.size();
}

size_t TThumbWorkers::Queued() const {
  std::lock_guard lock(Shared->Lock);
  return Shared->Jobs.size();
}

// ---- Information lines ------------------------------------------------------------

std::string ThumbSizeText(uint64_t fileSize) {
  std::string text = GetSizeText(3, 0, fileSize);
  text.erase(0, text.find_first_not_of(' ') == std::string::npos ? 0 : text.find_first_not_of(' '));
  return text;
}

std::string ThumbInfoLine(TPictureSize picture, int64_t zoom, uint64_t fileSize,
                          const TThumbInfoOptions& options) {
  NormalizeSize(picture, options.NormalizeWidth || options.NormalizeHeight, options.NormalizeWidth,
                options.NormalizeHeight, options.NormalizeWidthTo, options.NormalizeHeightTo,
                picture);
  return "W " + std::to_string(picture.Width) + (options.NormalizeWidth ? "±" : "") + " * H " +
         std::to_string(picture.Height) + (options.NormalizeHeight ? "±" : "") + " | " + "Z " +
         std::to_string(zoom) + "%" + " | " + " Sz " + ThumbSizeText(fileSize);
}

std::string TextThumbInfoLine(uint64_t fileSize) {
  return "Sz " + ThumbSizeText(fileSize);
}

std::string ThumbTooBigLine(uint64_t fileSize) {
  return "File size too big: " + ThumbSizeText(fileSize);
}

} // namespace cv
