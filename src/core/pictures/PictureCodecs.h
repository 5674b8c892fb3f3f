#pragma once
// The picture formats the program reads and writes: a table over Qt's image
// readers and writers. The stored format descriptions ("BMP", "JPEG", "GIF",
// "TIFF", "PNG", ...) come first in a fixed order so that a stored converter
// name keeps resolving; every other format an installed image plug-in reads
// (HEIF, AVIF, ...) follows by itself.

#include <string>
#include <string_view>
#include <vector>

namespace cv {

struct TPictureCodec {
  std::string Description; // "JPEG"
  std::string Extensions;  // "*.jpg;*.jpeg;*.jpe;*.jfif"
  std::string Format;      // Qt's format name for the reader and the writer: "jpeg"
  bool CanRead = false;
  bool CanWrite = false;
  bool Lossy = false;      // takes a quality
  bool KeepsAlpha = false; // stores transparency
};

// Every format Qt can read or write on this system, in table order.
const std::vector<TPictureCodec>& PictureCodecs();
// The codec of a Qt format name (as GetPictureConverterID gives it), or null.
const TPictureCodec* FindPictureCodec(std::string_view format);

// The encoder of a format description (exact comparison): its first
// extension, lower-cased (".jpg"), and its format name. False, with the
// outputs untouched, when no encoder has that description.
bool GetPictureConverterID(std::string_view description, std::string& extension,
                           std::string& encoder);
// The descriptions of every encoder, in table order.
void LoadPictureConvertFilters(std::vector<std::string>& list);
// Every extension of every decoder, with its dot (".jpg"), case as listed.
void GetPictureExtensions(std::vector<std::string>& list);
// All decoders' patterns joined with ";", lower case ("*.bmp;*.dib;...").
std::string GetPictureExtensionsAsFilter();
// Fills the program-wide picture extension list from the decoders.
void LoadPictureFileExtensions();

} // namespace cv
