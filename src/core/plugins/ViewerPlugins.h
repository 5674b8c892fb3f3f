#pragma once
// The viewer plug-in host: up to three libraries from the program's plug-in
// directories, chosen by the options, that draw files the built-in decoders
// cannot read. Thumbs, the viewer and conversion ask whether a plug-in claims
// a title and let it render into a bitmap.

#include "options/ProgramOptions.h"
#include "pictures/PictureSize.h"
#include "pictures/Pictures.h"
#include "pictures/ThumbRender.h"
#include "plugins/ViewerPlugin.h"

#include <QImage>
#include <QLibrary>

#include <array>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

constexpr int ViewerPluginSlotCount = 3;

// A plug-in name is a file name inside a plug-in directory: empty names and
// names with "/" or ".." are refused, so a setting cannot reach elsewhere.
bool IsPluginNameAllowed(std::string_view name);

// One loaded library with the functions it exports; a missing one is null.
class TViewerPluginLibrary {
public:
  ~TViewerPluginLibrary();
  TViewerPluginLibrary(const TViewerPluginLibrary&) = delete;
  TViewerPluginLibrary& operator=(const TViewerPluginLibrary&) = delete;

  // Loads `name` from the first directory that holds it. Raises "Invalid
  // plugin file." for a refused name, a file that is missing or not regular,
  // or a library the loader refuses; null then.
  static std::unique_ptr<TViewerPluginLibrary> Open(const std::string& name,
                                                    const std::vector<std::string>& directories);

  const std::string& Title() const { return FileTitle; }
  // The plug-in's extension text as it gave it.
  const std::string& ExtensionText() const { return RawExtensions; }
  // Whether the extension (with its dot, any case) is one the plug-in named.
  // An empty extension, or a lone ".", is never claimed.
  bool ClaimsExtension(std::string_view extension) const;
  // The text the options dialog's "Info" shows.
  std::string Information() const;

  TViewerPluginGetPictureSize GetPictureSize = nullptr;
  TViewerPluginLoadFileToBitmap LoadFileToBitmap = nullptr;
  TViewerPluginRecacheOnTextFormatChange RecacheOnTextFormatChange = nullptr;
  TViewerPluginGetPluginInfo GetPluginInfo = nullptr;

private:
  TViewerPluginLibrary() = default;

  std::string FileTitle;
  std::string RawExtensions;
  // Upper-cased with "." appended: ".TPV.ABC." holds ".TPV." and ".ABC.".
  std::string Extensions;
  // The loader gets the descriptor's /proc path (names stay bytes); it stays
  // open while the library is loaded, so no other library gets that path.
  int Descriptor = -1;
  QLibrary Library;
};

struct TPluginRenderRequest {
  // The box a thumb is drawn in; -1 x -1 asks for the picture's own size.
  TPictureSize Box{-1, -1};
  uint32_t Background = 0xFFFFFF; // 0x00BBGGRR
  uint32_t TextColor = 0;         // 0x00BBGGRR
  // Conversions report a plug-in's exception; thumbs and the viewer show
  // the background instead.
  bool Conversion = false;
  // The most the bitmap may take; larger pictures are scaled down to fit.
  int64_t LimitBytes = int64_t{PictureAllocationLimitMB} * 1024 * 1024;
};

// The size a plug-in's picture is drawn at: values below 1 become the box's
// (or 100), a picture larger than a given box is fitted into it, and the
// bitmap stays within `limitBytes`, keeping the aspect ratio.
TPictureSize PluginPictureSize(int64_t width, int64_t height, TPictureSize box, int64_t limitBytes);

class TViewerPlugins {
public:
  // Frees every slot, then loads each slot whose switches are on from the
  // directories, in their order. A slot that fails stays empty; false then,
  // with the first failure reported.
  bool Load(const TProgramOptions& options, const std::vector<std::string>& directories);
  bool Load(const TProgramOptions& options);
  void Unload();

  // The first slot (0, 1, 2) that claims the title's extension; -1 for none.
  int ClaimingSlot(std::string_view title) const;
  bool Claims(std::string_view title) const { return ClaimingSlot(title) >= 0; }
  // Whether the claiming plug-in's thumbs change with the font and colours.
  bool RecacheOnTextFormatChange(std::string_view title) const;

  // Renders the title with its claiming plug-in into `bitmap` (RGB32, every
  // pixel opaque). The buffer holds the background before the plug-in draws.
  // Raises "Invalid rendering function" (conversions: "Invalid plugin
  // function.") when no plug-in can render the title.
  bool Render(const std::string& title, const TPluginRenderRequest& request, QImage& bitmap) const;

private:
  int ClaimingSlotLocked(std::string_view title) const;

  // Shared by every use of the slots, exclusive while loading: a library is
  // never unloaded under a call.
  mutable std::shared_mutex Lock;
  std::array<std::unique_ptr<TViewerPluginLibrary>, ViewerPluginSlotCount> Slots;
};

extern TViewerPlugins ViewerPlugins;

// The thumb renderers' way to the loaded plug-ins: the slot for an
// upper-cased extension without its dot, or null when none claims it.
const TThumbPluginSlot* ViewerPluginThumbSlot(const std::string& extension);

// The "Info" text of the plug-in `name`; raises "Invalid plugin file." when
// it cannot be loaded.
bool ViewerPluginInformation(const std::string& name, const std::vector<std::string>& directories,
                             std::string& text);

} // namespace cv
