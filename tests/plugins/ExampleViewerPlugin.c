/* A small viewer plug-in for ".tpv" files: one line "width height colour",
 * the colour as six hex digits RRGGBB or "none". It draws the left half of
 * the picture in that colour and leaves the rest to the host's background.
 * Written in C, so the public header is compiled as C too. */
#include "plugins/ViewerPlugin.h"

#include <stdio.h>
#include <string.h>

typedef struct {
  long long Width;
  long long Height;
  int Draws;
  unsigned Color;
} TPicture;

static int ReadPicture(const char* title, TPicture* picture) {
  char color[16] = {0};
  FILE* file = fopen(title, "r");
  int read;
  if (!file) return 0;
  read = fscanf(file, "%lld %lld %15s", &picture->Width, &picture->Height, color);
  fclose(file);
  if (read != 3) return 0;
  picture->Draws = strcmp(color, "none") != 0;
  return !picture->Draws || sscanf(color, "%6x", &picture->Color) == 1;
}

static int32_t ToInt32(long long value) {
  return (int32_t)(value < 0 ? 0 : value > 0x7FFFFFFFLL ? 0x7FFFFFFFLL : value);
}

const char* LoadFileExtensions(void) {
  return ".tpv";
}

void GetPictureSize(const char* title, const char* extension, int32_t boxWidth, int32_t boxHeight,
                    int32_t* width, int32_t* height) {
  TPicture picture;
  long long w, h;
  (void)extension;
  if (!ReadPicture(title, &picture)) {
    *width = *height = 0;
    return;
  }
  w = picture.Width;
  h = picture.Height;
  /* Fitted into the box, keeping the aspect ratio. */
  if (boxWidth > 0 && boxHeight > 0 && w > 0 && h > 0 && (w > boxWidth || h > boxHeight)) {
    if (w * boxHeight > h * boxWidth) {
      h = h * boxWidth / w;
      w = boxWidth;
    } else {
      w = w * boxHeight / h;
      h = boxHeight;
    }
    if (w < 1) w = 1;
    if (h < 1) h = 1;
  }
  *width = ToInt32(w);
  *height = ToInt32(h);
}

void LoadFileToBitmap(const char* title, const char* extension, TViewerPluginBitmapInfo* info) {
  TPicture picture;
  int32_t x, y;
  (void)extension;
  if (!ReadPicture(title, &picture) || !picture.Draws) return;
  /* Alpha stays 0: the host makes every pixel opaque. */
  for (y = 0; y < info->Height; ++y)
    for (x = 0; x < info->Width / 2; ++x)
      info->Pixels[(size_t)y * (size_t)info->Width + (size_t)x] = picture.Color;
}

int32_t RecacheOnTextFormatChange(const char* extension) {
  (void)extension;
  return 0;
}

const char* GetPluginInfo(void) {
  return "Example viewer: half a picture in one colour.";
}
