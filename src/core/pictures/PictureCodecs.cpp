#include "pictures/PictureCodecs.h"

#include "filesystem/Extensions.h"
#include "foundation/Text.h"

#include <QImageReader>
#include <QImageWriter>
#include <algorithm>
#include <initializer_list>

namespace cv {

namespace {

struct TKnownCodec {
  const char* Description;
  const char* Extensions;
  std::initializer_list<const char*> Formats; // Qt's names, the preferred one first
  bool Writable, Lossy, KeepsAlpha;
};

// The stored names first and in this order; GIF is never written.
const TKnownCodec KnownCodecs[] = {
    {"BMP", "*.bmp;*.dib;*.rle", {"bmp"}, true, false, false},
    {"JPEG", "*.jpg;*.jpeg;*.jpe;*.jfif", {"jpeg", "jpg"}, true, true, false},
    {"GIF", "*.gif", {"gif"}, false, false, false},
    {"TIFF", "*.tif;*.tiff", {"tiff", "tif"}, true, false, true},
    {"PNG", "*.png", {"png"}, true, false, true},
    {"ICO", "*.ico", {"ico"}, true, false, true},
    {"CUR", "*.cur", {"cur"}, true, false, true},
    {"WEBP", "*.webp", {"webp"}, true, true, true},
    {"HEIF", "*.heic;*.heif", {"heic", "heif"}, true, true, false},
    {"AVIF", "*.avif", {"avif"}, true, true, false},
    {"JPEG 2000", "*.jp2;*.j2k", {"jp2", "j2k"}, true, true, false},
    {"SVG", "*.svg;*.svgz", {"svg", "svgz"}, false, false, false},
};

bool Has(const QList<QByteArray>& formats, const char* format) {
  return formats.contains(QByteArray(format));
}

std::vector<TPictureCodec> BuildCodecs() {
  const QList<QByteArray> readable = QImageReader::supportedImageFormats();
  const QList<QByteArray> writable = QImageWriter::supportedImageFormats();
  std::vector<TPictureCodec> codecs;
  std::vector<QByteArray> claimed;
  for (const TKnownCodec& known : KnownCodecs) {
    TPictureCodec codec{known.Description, known.Extensions, {}, false, false,
                        known.Lossy,       known.KeepsAlpha};
    for (const char* format : known.Formats) {
      claimed.emplace_back(format);
      const bool reads = Has(readable, format);
      const bool writes = known.Writable && Has(writable, format);
      // One name must serve both directions, so prefer one that does.
      if ((reads || writes) && (codec.Format.empty() || (reads && writes && !codec.CanWrite)))
        codec.Format = format;
      codec.CanRead |= reads;
      codec.CanWrite |= writes;
    }
    if (codec.CanRead || codec.CanWrite) codecs.push_back(std::move(codec));
  }
  // Whatever else the installed plug-ins offer, one row per name.
  QList<QByteArray> others = readable;
  for (const QByteArray& format : writable)
    if (!others.contains(format)) others.push_back(format);
  std::sort(others.begin(), others.end());
  for (const QByteArray& format : others) {
    if (std::find(claimed.begin(), claimed.end(), format) != claimed.end()) continue;
    const std::string name = format.toStdString();
    codecs.push_back({UpperCase(name), "*." + name, name, readable.contains(format),
                      writable.contains(format), false, false});
  }
  return codecs;
}

} // namespace

const std::vector<TPictureCodec>& PictureCodecs() {
  static const std::vector<TPictureCodec> codecs = BuildCodecs();
  return codecs;
}

const TPictureCodec* FindPictureCodec(std::string_view format) {
  for (const TPictureCodec& codec : PictureCodecs())
    if (codec.Format == format) return &codec;
  return nullptr;
}

bool GetPictureConverterID(std::string_view description, std::string& extension,
                           std::string& encoder) {
  for (const TPictureCodec& codec : PictureCodecs()) {
    if (!codec.CanWrite || codec.Description != description) continue;
    std::string first = codec.Extensions.substr(0, codec.Extensions.find(';'));
    if (!first.empty() && first[0] == '*') first.erase(0, 1);
    extension = LowerCase(first);
    encoder = codec.Format;
    return true;
  }
  return false;
}

void LoadPictureConvertFilters(std::vector<std::string>& list) {
  list.clear();
  for (const TPictureCodec& codec : PictureCodecs())
    if (codec.CanWrite) list.push_back(codec.Description);
}

void GetPictureExtensions(std::vector<std::string>& list) {
  list.clear();
  for (const TPictureCodec& codec : PictureCodecs()) {
    if (!codec.CanRead) continue;
    size_t start = 0;
    while (start < codec.Extensions.size()) {
      const size_t end = std::min(codec.Extensions.find(';', start), codec.Extensions.size());
      std::string pattern = codec.Extensions.substr(start, end - start);
      if (!pattern.empty() && pattern[0] == '*') pattern.erase(0, 1);
      if (!pattern.empty()) list.push_back(std::move(pattern));
      start = end + 1;
    }
  }
}

std::string GetPictureExtensionsAsFilter() {
  std::string filter;
  for (const TPictureCodec& codec : PictureCodecs()) {
    if (!codec.CanRead) continue;
    if (!filter.empty()) filter += ';';
    filter += codec.Extensions;
  }
  return LowerCase(filter);
}

void LoadPictureFileExtensions() {
  std::vector<std::string> extensions;
  GetPictureExtensions(extensions);
  PictureFileExtensions.SetList(extensions);
}

} // namespace cv
