#pragma once
// What the file operation dialog remembers between runs and sessions, kept
// in "Main" of "Corvantide.ini".

#include "foundation/MyTime.h"

#include <cstdint>
#include <string>

namespace cv {

class TStoredTextList;

struct TFileFormSettings {
  bool StopAfterCount = false;
  std::string PictureConverterFormat;
  int32_t PictureConverterQuality = 80;
  bool NormalizePictureSize = false;
  bool ShowFileOptions = false;
  bool ShowOptionsConvert = true;

  void Read(const TStoredTextList& ini);
  void Write(TStoredTextList& ini) const;
};

// The time as a name prefix: "20261210081530_".
std::string TimePrefixText(TDateTime value);

} // namespace cv
