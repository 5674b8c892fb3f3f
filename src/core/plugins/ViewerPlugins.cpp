#include "plugins/ViewerPlugins.h"

#include "filesystem/File.h"
#include "filesystem/FileHandles.h"
#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "foundation/Text.h"

#include <QPainter>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <mutex>
#include <unistd.h>

namespace cv {

TViewerPlugins ViewerPlugins;

namespace {

// 0x00BBGGRR as an opaque 0xAARRGGBB pixel.
uint32_t OpaquePixel(uint32_t color) {
  return 0xFF000000u | ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

int32_t ToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// Plug-ins are not expected to be reentrant: one call into any of them at a
// time, from whichever thread (the options dialog's "Info" included).
std::mutex PluginCalls;

// A plug-in's text, read defensively: a function that throws or gives null
// counts as an empty text.
template <typename F> std::string PluginText(F function) {
  if (!function) return {};
  std::lock_guard call(PluginCalls);
  try {
    const char* text = function();
    return text ? std::string(text) : std::string();
  } catch (...) {
    return {};
  }
}

} // namespace

bool IsPluginNameAllowed(std::string_view name) {
  return !name.empty() && name.find('/') == std::string_view::npos &&
         name.find("..") == std::string_view::npos;
}

TViewerPluginLibrary::~TViewerPluginLibrary() {
  // Unloaded before the descriptor closes: the next library to get this
  // descriptor number must not find this one under the same path.
  if (Library.isLoaded()) Library.unload();
  if (Descriptor >= 0) ::close(Descriptor);
}

std::unique_ptr<TViewerPluginLibrary>
TViewerPluginLibrary::Open(const std::string& name, const std::vector<std::string>& directories) {
  TGuard guard("TViewerPluginLibrary::Open");
  return guard.Run(std::unique_ptr<TViewerPluginLibrary>(), [&] {
    if (!IsPluginNameAllowed(name)) guard.Raise("Invalid plugin file.", name, {}, EINVAL);
    TFileHandle handle;
    std::string title;
    int code = ENOENT;
    for (const std::string& directory : directories) {
      title = IncludeDelimiter(directory) + name;
      code = OpenRegularForReading(title, true, handle);
      if (code != ENOENT) break;
    }
    if (code != 0) guard.Raise("Invalid plugin file.", title, {}, static_cast<uint32_t>(code));
    std::unique_ptr<TViewerPluginLibrary> library(new TViewerPluginLibrary);
    library->FileTitle = title;
    library->Descriptor = handle.Release();
    library->Library.setFileName("/proc/self/fd/" + QString::number(library->Descriptor));
    if (!library->Library.load())
      guard.Raise("Invalid plugin file.", title, library->Library.errorString().toStdString());
    QLibrary& l = library->Library;
    const auto loadExtensions =
        reinterpret_cast<TViewerPluginLoadFileExtensions>(l.resolve("LoadFileExtensions"));
    library->GetPictureSize =
        reinterpret_cast<TViewerPluginGetPictureSize>(l.resolve("GetPictureSize"));
    library->LoadFileToBitmap =
        reinterpret_cast<TViewerPluginLoadFileToBitmap>(l.resolve("LoadFileToBitmap"));
    library->RecacheOnTextFormatChange = reinterpret_cast<TViewerPluginRecacheOnTextFormatChange>(
        l.resolve("RecacheOnTextFormatChange"));
    library->GetPluginInfo =
        reinterpret_cast<TViewerPluginGetPluginInfo>(l.resolve("GetPluginInfo"));
    library->RawExtensions = PluginText(loadExtensions);
    library->Extensions = UpperCase(library->RawExtensions) + ".";
    return library;
  });
}

bool TViewerPluginLibrary::ClaimsExtension(std::string_view extension) const {
  // "" or "." would match the separator of any extension text.
  if (extension.size() < 2 || extension.front() != '.') return false;
  return Extensions.find(UpperCase(extension) + ".") != std::string::npos;
}

std::string TViewerPluginLibrary::Information() const {
  const std::string info = PluginText(GetPluginInfo);
  if (info.empty()) return "This plugin contains no information.";
  return "Plugin information:\n\n" + info + "\n\nProcessed file extensions: \"" + RawExtensions +
         "\"";
}

TPictureSize PluginPictureSize(int64_t width, int64_t height, TPictureSize box,
                               int64_t limitBytes) {
  TPictureSize size{width >= 1 ? width : (box.Width >= 1 ? box.Width : 100),
                    height >= 1 ? height : (box.Height >= 1 ? box.Height : 100)};
  if (!box.Empty() && (size.Width > box.Width || size.Height > box.Height))
    size = FitSizeInBox(size, box, false);
  // A QImage row must fit its byte count in an int.
  constexpr int64_t maxSide = INT_MAX / 4;
  const int64_t limit = std::max<int64_t>(limitBytes / 4, 1);
  const double area = static_cast<double>(size.Width) * static_cast<double>(size.Height);
  if (area > static_cast<double>(limit) || size.Width > maxSide || size.Height > maxSide) {
    const double scale =
        std::min({std::sqrt(static_cast<double>(limit) / area),
                  static_cast<double>(maxSide) / static_cast<double>(size.Width),
                  static_cast<double>(maxSide) / static_cast<double>(size.Height)});
    size.Width = std::clamp<int64_t>(static_cast<int64_t>(static_cast<double>(size.Width) * scale),
                                     1, maxSide);
    size.Height = std::clamp<int64_t>(
        static_cast<int64_t>(static_cast<double>(size.Height) * scale), 1, maxSide);
    // A very thin picture keeps one row or column; the other side then gives way.
    if (size.Width * size.Height > limit) {
      if (size.Height == 1)
        size.Width = std::min(limit, maxSide);
      else
        size.Height = std::max<int64_t>(limit / size.Width, 1);
    }
  }
  return size;
}

bool TViewerPlugins::Load(const TProgramOptions& options,
                          const std::vector<std::string>& directories) {
  TGuard guard("TViewerPlugins::Load");
  return guard.Run(false, [&] {
    std::unique_lock lock(Lock);
    for (auto& slot : Slots)
      slot.reset();
    bool failed = false;
    for (int i = 0; i < ViewerPluginSlotCount; ++i) {
      if (!options.ActivatePlugins || !options.ActivatePlugin[static_cast<size_t>(i)]) continue;
      Slots[static_cast<size_t>(i)] =
          TViewerPluginLibrary::Open(options.PluginName[static_cast<size_t>(i)], directories);
      // The first failure is the one reported; the other slots still load.
      if (!failed && guard.Absorb()) failed = true;
    }
    return !failed;
  });
}

bool TViewerPlugins::Load(const TProgramOptions& options) {
  return Load(options, Program.PluginsPaths());
}

void TViewerPlugins::Unload() {
  std::unique_lock lock(Lock);
  for (auto& slot : Slots)
    slot.reset();
}

int TViewerPlugins::ClaimingSlotLocked(std::string_view title) const {
  const std::string extension = GetExtension(title);
  for (int i = 0; i < ViewerPluginSlotCount; ++i) {
    const auto& slot = Slots[static_cast<size_t>(i)];
    if (slot && slot->ClaimsExtension(extension)) return i;
  }
  return -1;
}

int TViewerPlugins::ClaimingSlot(std::string_view title) const {
  std::shared_lock lock(Lock);
  return ClaimingSlotLocked(title);
}

bool TViewerPlugins::RecacheOnTextFormatChange(std::string_view title) const {
  std::shared_lock lock(Lock);
  const int slot = ClaimingSlotLocked(title);
  if (slot < 0) return false;
  const TViewerPluginLibrary& library = *Slots[static_cast<size_t>(slot)];
  if (!library.RecacheOnTextFormatChange) return false;
  std::lock_guard call(PluginCalls);
  try {
    return library.RecacheOnTextFormatChange(UpperCase(GetExtension(title)).c_str()) != 0;
  } catch (...) {
    return false;
  }
}

bool TViewerPlugins::Render(const std::string& title, const TPluginRenderRequest& request,
                            QImage& bitmap) const {
  TGuard guard("TViewerPlugins::Render");
  return guard.Run(false, [&] {
    bitmap = QImage();
    std::shared_lock lock(Lock);
    const int slot = ClaimingSlotLocked(title);
    const TViewerPluginLibrary* library =
        slot < 0 ? nullptr : Slots[static_cast<size_t>(slot)].get();
    if (!library || !library->GetPictureSize || !library->LoadFileToBitmap)
      guard.Raise(request.Conversion ? "Invalid plugin function." : "Invalid rendering function",
                  title);
    const std::string extension = UpperCase(GetExtension(title));
    std::lock_guard call(PluginCalls);
    int32_t width = 0, height = 0;
    try {
      library->GetPictureSize(title.c_str(), extension.c_str(), ToInt32(request.Box.Width),
                              ToInt32(request.Box.Height), &width, &height);
    } catch (...) {
      if (request.Conversion) throw;
      width = height = 0;
    }
    const TPictureSize size = PluginPictureSize(width, height, request.Box, request.LimitBytes);
    QImage image(static_cast<int>(size.Width), static_cast<int>(size.Height),
                 QImage::Format_ARGB32);
    if (image.isNull()) guard.Raise("Failed to load picture.", title, {}, ENOMEM);
    if (image.bytesPerLine() != image.width() * 4)
      guard.Panic("Invalid bitmap pixel format (not 32 bit).", title);
    // Fresh memory holds whatever was there before: never let it reach a thumb.
    const uint32_t background = OpaquePixel(request.Background);
    image.fill(background);
    TViewerPluginBitmapInfo info{};
    info.Version = VIEWER_PLUGIN_BITMAP_VERSION;
    info.Width = image.width();
    info.Height = image.height();
    info.Background = request.Background & 0xFFFFFF;
    info.TextColor = request.TextColor & 0xFFFFFF;
    info.Pixels = reinterpret_cast<uint32_t*>(image.bits());
    try {
      library->LoadFileToBitmap(title.c_str(), extension.c_str(), &info);
    } catch (...) {
      if (request.Conversion) throw;
      // Whatever it drew before throwing is not a picture.
      image.fill(background);
    }
    for (int y = 0; y < image.height(); ++y) {
      auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x)
        row[x] |= 0xFF000000u;
    }
    image.reinterpretAsFormat(QImage::Format_RGB32);
    bitmap = std::move(image);
    return true;
  });
}

bool ViewerPluginInformation(const std::string& name, const std::vector<std::string>& directories,
                             std::string& text) {
  TGuard guard("ViewerPluginInformation");
  return guard.Run(false, [&] {
    const std::unique_ptr<TViewerPluginLibrary> library =
        TViewerPluginLibrary::Open(name, directories);
    guard.TakeOver();
    text = library->Information();
    return true;
  });
}

const TThumbPluginSlot* ViewerPluginThumbSlot(const std::string& extension) {
  // The plug-in sizes and fills its picture itself; the thumb's bitmap is
  // the box, and the picture goes to its top-left corner on the background.
  static const TThumbPluginSlot slot{
      .GetPictureSize = [](const std::string&, const std::string&, TPictureSize, int64_t& width,
                           int64_t& height) { width = height = -1; },
      .LoadFileToBitmap =
          [](const std::string& title, const std::string&, QImage& bitmap, uint32_t background,
             uint32_t textColor) {
            TPluginRenderRequest request;
            request.Box = {bitmap.width(), bitmap.height()};
            request.Background = background;
            request.TextColor = textColor;
            QImage picture;
            if (!ViewerPlugins.Render(title, request, picture) || picture.isNull()) return;
            QPainter canvas(&bitmap);
            canvas.drawImage(0, 0, picture);
          },
      .RecacheOnTextFormatChange =
          [](const std::string& extension) {
            return ViewerPlugins.RecacheOnTextFormatChange("x." + extension);
          },
  };
  return extension.empty() || !ViewerPlugins.Claims("x." + extension) ? nullptr : &slot;
}

} // namespace cv
