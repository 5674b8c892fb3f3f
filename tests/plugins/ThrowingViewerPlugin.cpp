// A viewer plug-in that breaks the rules: it ignores the box, claims a huge
// picture, scribbles over the whole buffer and then throws.
#include "plugins/ViewerPlugin.h"

#include <stdexcept>

extern "C" {

const char* LoadFileExtensions(void) {
  return ".bad.Worse";
}

void GetPictureSize(const char*, const char*, int32_t, int32_t, int32_t* width, int32_t* height) {
  *width = 1000000;
  *height = 500000;
}

void LoadFileToBitmap(const char*, const char*, TViewerPluginBitmapInfo* info) {
  for (int32_t i = 0; i < info->Width * info->Height; ++i)
    info->Pixels[i] = 0xFFFF0000u;
  throw std::runtime_error("the picture is unreadable");
}

int32_t RecacheOnTextFormatChange(const char*) {
  return 1;
}
}
