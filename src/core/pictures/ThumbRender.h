#pragma once
// Rendering of one thumb away from the window's thread, and the small pool
// of workers that does it. A render is a pure function of its job: it reads
// the file, decodes or lays out text and returns a bitmap ready for the
// picture cache. Only the window's thread admits results to the cache.

#include "foundation/Error.h"
#include "pictures/PictureCache.h"
#include "pictures/Pictures.h"

#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cv {

// The look of a text thumb: the items font in the thumb colours.
struct TTextThumbStyle {
  uint32_t Background = 0xFFFFFF; // 0x00BBGGRR
  uint32_t TextColor = 0;
  std::string FontName;
  int FontSize = 8;
  bool Bold = false;
};

// The first `characters` bytes of the file drawn into a box-sized bitmap.
// Only regular files are opened, so a FIFO named "a.txt" fails at once
// instead of blocking. A negative margin is 2.
QImage LoadTextToBitmap(const std::string& title, const TTextThumbStyle& style, int64_t characters,
                        int margin, TPictureSize box);
// Text is word-wrapped unless it has its own line breaks: a "\r" or "\n"
// between its third and its next-to-last character.
bool TextThumbWraps(std::string_view text);
// Bytes a text thumb reads: grows with the thumb area, at least 1000.
int64_t TextThumbCharacters(int thumbWidth, int thumbHeight, int itemsFontSize);

// A viewer plug-in that renders thumbs of the extensions it claims.
struct TThumbPluginSlot {
  // The picture's size for the box (out values below 1 mean the box's).
  std::function<void(const std::string& title, const std::string& extension, TPictureSize box,
                     int64_t& width, int64_t& height)>
      GetPictureSize;
  // Fills every pixel of `bitmap` (32-bit, its final size).
  std::function<void(const std::string& title, const std::string& extension, QImage& bitmap,
                     uint32_t background, uint32_t textColor)>
      LoadFileToBitmap;
  // Its answer is the text-format flag of the thumb for that extension.
  std::function<bool(const std::string& extension)> RecacheOnTextFormatChange;
};
// The slot that claims an upper-cased extension, or null. Called on the
// window's thread; the slot it returns must stay loaded while renders run.
using TThumbPluginDispatch = std::function<const TThumbPluginSlot*(const std::string& extension)>;
extern TThumbPluginDispatch ThumbPluginDispatch;

// The system's thumbnail of a file our own decoders cannot read (videos and
// others), at most the box's size, or nothing. Called on render workers.
using TSystemThumbnailSource =
    std::function<std::optional<QImage>(const std::string& title, TPictureSize box)>;
extern TSystemThumbnailSource SystemThumbnailSource;

enum class TThumbKind { Picture, Video, Text, Plugin };

struct TThumbJob {
  std::string Title;
  int64_t FileSize = 0;
  int64_t FileTime = 0;
  TThumbKind Kind = TThumbKind::Picture;
  TThumbRequest Request; // box, quality, exact and enlarge
  TTextThumbStyle Style; // text thumbs and plug-ins
  bool TextFormat = false;
  int64_t Characters = 1000;
  int Margin = -1;
  // Plug-in thumbs: the claimed extension and its slot.
  std::string Extension;
  const TThumbPluginSlot* Plugin = nullptr;
  // The cache query that finds the rendering later.
  TPictureCacheQuery Query() const;
  // Two jobs for the same rendering.
  bool SameAs(const TThumbJob& other) const;
};

struct TThumbResult {
  TThumbJob Job;
  bool Ok = false;
  TPictureCacheEntry Entry;
  // The failure of a render that did not work.
  TFunStatContext Status;
};

// Renders a job ("Not a picture file." for a title that is no regular
// file); false with the failure in the status context.
bool RenderThumb(const TThumbJob& job, TPictureCacheEntry& entry);

// A few worker threads taking jobs newest first (the items the user looks
// at now). Workers hold only shared state, so one stuck in a file system
// that stopped answering outlives the pool without holding up its owner.
class TThumbWorkers {
public:
  using TRender = std::function<TThumbResult(const TThumbJob&)>;
  // `ready` runs on a worker after it stored a result: the owner schedules
  // TakeResults on its own thread. `render` defaults to RenderThumb.
  TThumbWorkers(int workers, std::function<void()> ready, TRender render = {});
  ~TThumbWorkers();
  TThumbWorkers(const TThumbWorkers&) = delete;
  TThumbWorkers& operator=(const TThumbWorkers&) = delete;

  // Queues a job unless the same rendering is queued or running.
  void Queue(TThumbJob job);
  // Drops the queued jobs `keep` refuses (the items scrolled away).
  void Retain(const std::function<bool(const TThumbJob&)>& keep);
  std::vector<TThumbResult> TakeResults();
  // Jobs queued or running.
  size_t Outstanding() const;
  size_t Queued() const;

  // What the workers share with the pool; opaque outside it.
  struct TShared;

private:
  std::shared_ptr<TShared> Shared;
};

// The information line under a picture or plug-in thumb.
struct TThumbInfoOptions {
  bool NormalizeWidth = false;
  int64_t NormalizeWidthTo = 0;
  bool NormalizeHeight = false;
  int64_t NormalizeHeightTo = 0;
};
std::string ThumbInfoLine(TPictureSize picture, int64_t zoom, uint64_t fileSize,
                          const TThumbInfoOptions& options);
// The information line under a text thumb.
std::string TextThumbInfoLine(uint64_t fileSize);
// "File size too big: " and the size.
std::string ThumbTooBigLine(uint64_t fileSize);
// The size as the thumb lines show it.
std::string ThumbSizeText(uint64_t fileSize);

} // namespace cv
