#include "fileops/FileFormSettings.h"

#include "foundation/StoredTextList.h"

#include <cstdio>

namespace cv {

void TFileFormSettings::Read(const TStoredTextList& ini) {
  ini.ReadBool("Main", "StopAfterCount", StopAfterCount);
  ini.ReadText("Main", "PictureConverterFormat", PictureConverterFormat, true, 31);
  ini.ReadInt("Main", "PictureConverterQuality", PictureConverterQuality, 100, 0);
  ini.ReadBool("Main", "NormalizePictureSize", NormalizePictureSize);
  ini.ReadBool("Main", "ShowFileOptions", ShowFileOptions);
  ini.ReadBool("Main", "ShowOptionsConvert", ShowOptionsConvert);
}

void TFileFormSettings::Write(TStoredTextList& ini) const {
  ini.WriteBool("Main", "StopAfterCount", StopAfterCount);
  ini.WriteText("Main", "PictureConverterFormat", PictureConverterFormat);
  ini.WriteInt("Main", "PictureConverterQuality", PictureConverterQuality);
  ini.WriteBool("Main", "NormalizePictureSize", NormalizePictureSize);
  ini.WriteBool("Main", "ShowFileOptions", ShowFileOptions);
  ini.WriteBool("Main", "ShowOptionsConvert", ShowOptionsConvert);
}

std::string TimePrefixText(TDateTime value) {
  const TDateTimeParts parts = DecodeDateTime(value);
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d_", parts.Year, parts.Month, parts.Day,
                parts.Hour, parts.Minute, parts.Second);
  return text;
}

} // namespace cv
