#include "pictures/PictureConvert.h"

#include "filesystem/File.h"
#include "filesystem/FileHandles.h"
#include "foundation/Guard.h"
#include "pictures/PictureCodecs.h"
#include "pictures/Pictures.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace cv {

namespace {

bool SameInode(const std::string& title, const struct stat& facts, bool followLinks) {
  struct statx now {};
  return StatxTitle(title, followLinks, STATX_INO, &now) == 0 &&
         makedev(now.stx_dev_major, now.stx_dev_minor) == facts.st_dev &&
         now.stx_ino == facts.st_ino;
}

} // namespace

std::string ConvertedTitle(const std::string& destination, const std::string& extension) {
  return destination.substr(0, destination.size() - GetExtension(destination).size()) + extension;
}

bool SavePictureFile(const QImage& image, const std::string& title, const std::string& encoder,
                     double quality, bool overwrite) {
  TGuard guard("SavePictureFile");
  return guard.Run(false, [&] {
    const TPictureCodec* codec = FindPictureCodec(encoder);
    if (!codec || !codec->CanWrite || image.isNull())
      guard.Raise("Failed to convert picture.", title, encoder, ENOTSUP);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, QByteArray::fromStdString(codec->Format));
    // Lossless encoders read "quality" as compression effort, or not at all.
    if (codec->Lossy)
      writer.setQuality(static_cast<int>(std::trunc(std::clamp(quality, 0.0, 1.0) * 100)));
    if (!writer.write(image))
      guard.Raise("Failed to convert picture.", title, writer.errorString().toStdString(), EINVAL);

    TTemporaryFile file(title);
    if (file.Error != 0)
      guard.Raise("Failed to convert picture.", title, {}, static_cast<uint32_t>(file.Error));
    if (const int code = WriteAll(file.Fd(), std::string_view(bytes.constData(), bytes.size())))
      guard.Raise("Failed to convert picture.", title, {}, static_cast<uint32_t>(code));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(file.Fd(), 0666 & ~mask) != 0)
      guard.Raise("Failed to convert picture.", title, {}, static_cast<uint32_t>(errno));
    if (const int code = file.Commit(overwrite, true))
      guard.Raise("Failed to convert picture.", title, {}, static_cast<uint32_t>(code));
    return true;
  });
}

bool ConvertPicture(const std::string& source, const std::string& destination,
                    const TConvertPictureRequest& request) {
  TGuard guard("ConvertPicture");
  return guard.Run(false, [&] {
    const std::string target = ConvertedTitle(destination, request.Extension);
    const TPictureCodec* codec = FindPictureCodec(request.Encoder);
    if (!codec || !codec->CanWrite)
      guard.Raise("Failed to convert picture.", target, request.Encoder, ENOTSUP);
    if (!request.Overwrite && TitleExists(target))
      guard.Raise("Contradictory overwrite choices.", target, {}, EEXIST);
    struct stat facts {};
    QImage image = LoadPictureFile(source, &facts);
    guard.TakeOver();
    // Renaming over the source's own entry (or a link to it) would lose the picture.
    if (SameInode(target, facts, false) || SameInode(target, facts, true))
      guard.Raise("Source and destination are the same.", source, target);
    const TPictureSize own{image.width(), image.height()};
    if (own.Empty()) guard.Raise("Failed to load picture.", source);
    TPictureSize size = own, normalized;
    if (NormalizeSize(own, request.Normalize, request.NormalizeWidth, request.NormalizeHeight,
                      request.WidthTo, request.HeightTo, normalized)) {
      if (normalized.Width >= 1) size.Width = normalized.Width;
      if (normalized.Height >= 1) size.Height = normalized.Height;
    }
    if (size != own) {
      if (size.Width > INT_MAX / 4 || size.Height > INT_MAX / 4)
        guard.Raise("Failed to convert picture.", target, {}, ENOMEM);
      image = image.scaled(static_cast<int>(size.Width), static_cast<int>(size.Height),
                           Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (image.hasAlphaChannel()) {
      if (codec->KeepsAlpha) {
        image = image.convertToFormat(QImage::Format_ARGB32);
      } else {
        // A format without transparency shows what was transparent as white.
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter canvas(&flat);
        canvas.drawImage(0, 0, image);
        canvas.end();
        image = std::move(flat);
      }
    }
    if (image.isNull()) guard.Raise("Failed to convert picture.", target, {}, ENOMEM);

    SavePictureFile(image, target, codec->Format, request.Quality, request.Overwrite);
    guard.TakeOver();
    return true;
  });
}

} // namespace cv
