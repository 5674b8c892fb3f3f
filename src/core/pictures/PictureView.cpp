#include "pictures/PictureView.h"

#include "filesystem/File.h"
#include "filesystem/FileHandles.h"
#include "foundation/Drawing.h"
#include "foundation/Guard.h"
#include "foundation/Program.h"
#include "pictures/PictureConvert.h"
#include "pictures/Pictures.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

namespace {

constexpr const char* CPrivateName = "corvantide-viewer";
constexpr const char* CClipboardPictureName = "ClipboardPicture.png";

std::string Number3(int64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%3lld", static_cast<long long>(value));
  return text;
}

// A directory that only its owner, the user, may enter.
bool OwnPrivateDirectory(const std::string& path) {
  struct stat facts {};
  return ::stat(path.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode) &&
         facts.st_uid == ::geteuid() && (facts.st_mode & 077) == 0;
}

} // namespace

TPictureSize PictureViewSpace(int clientWidth, int clientHeight, int margin) {
  return {std::max(0, clientWidth - 2 * margin), std::max(0, clientHeight - 2 * margin)};
}

bool LoadViewedPicture(const std::string& title, TPictureSize space, bool fitSmall,
                       uint32_t background, QImage& bitmap, TPictureViewFacts& facts) {
  TGuard guard("TPictureViewer::LoadPaint");
  return guard.Run(false, [&] {
    bitmap = {};
    facts = {};
    {
      // The facts the decoded bitmap no longer tells: the stored depth and frames.
      TFileHandle handle;
      if (const int code = OpenRegularForReading(title, true, handle))
        guard.Raise("Failed to load picture.", title, {}, static_cast<uint32_t>(code));
      struct stat status {};
      if (::fstat(handle.Get(), &status) != 0)
        guard.Raise("Failed to load picture.", title, {}, static_cast<uint32_t>(errno));
      facts.FileSize = static_cast<uint64_t>(status.st_size);
      QFile file;
      if (!file.open(handle.Get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        guard.Raise("Failed to load picture.", title, {}, EIO);
      handle.Release();
      QImageReader reader(&file);
      facts.Depth = GetPicturePixelFormatText(QImage(1, 1, reader.imageFormat()));
      facts.Frames = std::max(reader.imageCount(), 1);
    }
    TThumb thumb;
    const TThumbRequest request{.Box = space, .HighQuality = true, .Enlarge = fitSmall};
    if (!LoadPictureToBitmap(title, request, thumb)) guard.TakeOver();
    facts.Image = thumb.Picture;
    facts.Rendered = {thumb.Bitmap.width(), thumb.Bitmap.height()};
    QImage shown(thumb.Bitmap.size(), QImage::Format_RGB32);
    if (shown.isNull()) guard.Raise("Failed to load picture.", title, {}, ENOMEM);
    shown.fill(ToQColor(background));
    QPainter canvas(&shown);
    canvas.drawImage(0, 0, thumb.Bitmap);
    canvas.end();
    bitmap = std::move(shown);
    return true;
  });
}

std::string PictureInfoHint(const TPictureViewFacts& f) {
  const int64_t zoom = f.Image.Height > 0 ? f.Rendered.Height * 100 / f.Image.Height : 0;
  return "File size = " + GetSizeText(3, 0, f.FileSize) + " | Color depth = " + f.Depth +
         " | Frames = " + std::to_string(f.Frames) + " | Zoom = " + std::to_string(zoom) +
         "% | Image width = " + std::to_string(f.Image.Width) +
         " | Image height = " + std::to_string(f.Image.Height) +
         " | Rendered width = " + std::to_string(f.Rendered.Width) +
         " | Rendered height = " + std::to_string(f.Rendered.Height) +
         " | [RMB] = add color to clipboard | [MMB] = add coordinates to clipboard";
}

std::string PictureMouseHint(const TPictureViewFacts& f, int x, int y, uint32_t rgb) {
  const int64_t rw = std::max<int64_t>(f.Rendered.Width, 1);
  const int64_t rh = std::max<int64_t>(f.Rendered.Height, 1);
  const uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  char hex[8];
  std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
  return PictureInfoHint(f) + " | RGB color = " + std::to_string(r) + "-" + std::to_string(g) +
         "-" + std::to_string(b) + "; Decimal color = " + std::to_string(rgb & 0xFFFFFF) +
         "; Hexadecimal color = 0x" + hex + " | X image " + std::to_string(x * f.Image.Width / rw) +
         "; Y image " + std::to_string(y * f.Image.Height / rh) + " | X relative " +
         std::to_string(int64_t{x} * 1000 / rw) + "\u2030; Y relative " +
         std::to_string(int64_t{y} * 1000 / rh) + "\u2030 | X rendered " + std::to_string(x) +
         "; Y rendered " + std::to_string(y);
}

std::string PictureColorClip(uint32_t rgb) {
  return "\nRGB(" + Number3((rgb >> 16) & 0xFF) + ", " + Number3((rgb >> 8) & 0xFF) + ", " +
         Number3(rgb & 0xFF) + ");";
}

std::string PictureCoordinatesClip(const TPictureViewFacts& f, int x, int y) {
  const int64_t rw = std::max<int64_t>(f.Rendered.Width, 1);
  const int64_t rh = std::max<int64_t>(f.Rendered.Height, 1);
  return "\nXY(" + Number3(x * f.Image.Width / rw) + ", " + Number3(y * f.Image.Height / rh) + ");";
}

std::string ViewerPrivateDirectory() {
  TGuard guard("ViewerPrivateDirectory");
  return guard.Run(std::string(), [&] {
    // The runtime directory is the user's alone and goes with the session.
    std::string base = AbsoluteEnvPath("XDG_RUNTIME_DIR");
    if (base.empty() || !OwnPrivateDirectory(base)) {
      base = Program.DataRoot();
      ForceDirectories(base);
    }
    const std::string path = IncludeDelimiter(base) + CPrivateName;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
      guard.Raise("Failed to create directory.", path, {}, static_cast<uint32_t>(errno));
    // A link planted under that name is refused, not followed.
    TFileHandle directory(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!directory.Valid())
      guard.Raise("Failed to create directory.", path, {}, static_cast<uint32_t>(errno));
    struct stat facts {};
    if (::fstat(directory.Get(), &facts) != 0)
      guard.Raise("Failed to create directory.", path, {}, static_cast<uint32_t>(errno));
    if (facts.st_uid != ::geteuid()) guard.Raise("Failed to create directory.", path, {}, EPERM);
    if ((facts.st_mode & 07777) != 0700 && ::fchmod(directory.Get(), 0700) != 0)
      guard.Raise("Failed to create directory.", path, {}, static_cast<uint32_t>(errno));
    return IncludeDelimiter(path);
  });
}

bool SaveClipboardPicture(const QImage& picture, std::string& title) {
  TGuard guard("TPictureViewer::ViewClipboardPicture");
  return guard.Run(false, [&] {
    title.clear();
    const std::string directory = ViewerPrivateDirectory();
    if (directory.empty()) guard.TakeOver();
    const std::string target = directory + CClipboardPictureName;
    if (!SavePictureFile(picture, target, "png", 1.0, true)) guard.TakeOver();
    title = target;
    return true;
  });
}

} // namespace cv
