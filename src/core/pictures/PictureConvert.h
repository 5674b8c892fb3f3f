#pragma once
// Converting a picture to another format and size: the "Convert picture"
// file operation and the wallpaper copy.

#include <QImage>
#include <cstdint>
#include <string>

namespace cv {

struct TConvertPictureRequest {
  bool Overwrite = false;
  // The thumb normalisation (see NormalizeSize); the picture keeps its size otherwise.
  bool Normalize = false, NormalizeWidth = false, NormalizeHeight = false;
  int64_t WidthTo = 0, HeightTo = 0;
  double Quality = 1.0;  // 0..1; given only to lossy encoders
  std::string Encoder;   // the format name GetPictureConverterID gave
  std::string Extension; // ".jpg": replaces the destination's own
};

// Writes the picture as it is (pixels and alpha untouched) in the format of
// `encoder` (a format name from GetPictureConverterID) through a private
// file in the title's directory that then takes the title's name, so a
// failure leaves an old file whole. `quality` (0..1) reaches lossy encoders
// only. Without `overwrite` an existing file stays. Raises "Failed to
// convert picture." with the system's error.
bool SavePictureFile(const QImage& image, const std::string& title, const std::string& encoder,
                     double quality, bool overwrite);

// The destination title with the request's extension in place of its own.
std::string ConvertedTitle(const std::string& destination, const std::string& extension);

// Writes the converted picture through a private file in the destination's
// directory that then takes the destination's name, so a failure leaves
// the old destination whole. Transparency stays where the format stores it
// and is flattened onto white elsewhere. A destination that is the source
// itself (the same inode) is refused. Messages: "Contradictory overwrite
// choices.", "Failed to load picture.", "Failed to convert picture.".
bool ConvertPicture(const std::string& source, const std::string& destination,
                    const TConvertPictureRequest& request);

} // namespace cv
