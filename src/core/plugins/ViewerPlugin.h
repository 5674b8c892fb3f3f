/* Viewer plug-ins: shared objects that draw files the built-in decoders do
 * not read, for thumbs, the picture viewer and picture conversion.
 *
 * A plug-in exports the functions below with C linkage under exactly these
 * names; a missing one leaves that service out. The host calls them from one
 * thread at a time and never unloads a library while a call runs.
 *
 * Plug-ins must not throw: nothing may leave these functions by an exception
 * or a longjmp. The host catches what it can and then shows the background
 * only, but an exception that crosses a C boundary is undefined behaviour.
 *
 * Texts are bytes: titles are the file's own name bytes (not necessarily
 * UTF-8), extensions are ASCII upper-cased with their leading dot (".TPV"). */
#ifndef CORVANTIDE_VIEWER_PLUGIN_H
#define CORVANTIDE_VIEWER_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The record version this header describes. */
#define VIEWER_PLUGIN_BITMAP_VERSION 1

/* What LoadFileToBitmap draws into. The host allocates the buffer, fills it
 * with the background colour and frees it; the plug-in writes every pixel it
 * wants within width x height and nothing outside. Alpha is ignored: the host
 * makes every pixel opaque afterwards. */
typedef struct TViewerPluginBitmapInfo {
  uint32_t Version;    /* VIEWER_PLUGIN_BITMAP_VERSION */
  int32_t Width;       /* pixels per row, at least 1 */
  int32_t Height;      /* rows, at least 1 */
  uint32_t Background; /* 0x00BBGGRR */
  uint32_t TextColor;  /* 0x00BBGGRR, for plug-ins that draw text */
  uint32_t Reserved;   /* 0; keeps the buffer address aligned */
  uint32_t* Pixels;    /* Width x Height pixels 0xAARRGGBB, rows top-down, no padding */
} TViewerPluginBitmapInfo;

#ifdef __cplusplus
#define VIEWER_PLUGIN_STATIC_ASSERT(condition, text) static_assert(condition, text)
#else
#define VIEWER_PLUGIN_STATIC_ASSERT(condition, text) _Static_assert(condition, text)
#endif
/* The layout is an interface: a plug-in built by another compiler must agree. */
VIEWER_PLUGIN_STATIC_ASSERT(offsetof(TViewerPluginBitmapInfo, Version) == 0, "Version at 0");
VIEWER_PLUGIN_STATIC_ASSERT(offsetof(TViewerPluginBitmapInfo, Width) == 4, "Width at 4");
VIEWER_PLUGIN_STATIC_ASSERT(offsetof(TViewerPluginBitmapInfo, Height) == 8, "Height at 8");
VIEWER_PLUGIN_STATIC_ASSERT(offsetof(TViewerPluginBitmapInfo, Background) == 12,
                            "Background at 12");
VIEWER_PLUGIN_STATIC_ASSERT(offsetof(TViewerPluginBitmapInfo, TextColor) == 16, "TextColor at 16");
VIEWER_PLUGIN_STATIC_ASSERT(offsetof(TViewerPluginBitmapInfo, Reserved) == 20, "Reserved at 20");
VIEWER_PLUGIN_STATIC_ASSERT(offsetof(TViewerPluginBitmapInfo, Pixels) == 24, "Pixels at 24");
VIEWER_PLUGIN_STATIC_ASSERT(sizeof(TViewerPluginBitmapInfo) == 24 + sizeof(uint32_t*),
                            "no trailing padding");
VIEWER_PLUGIN_STATIC_ASSERT(sizeof(uint32_t) == 4 && sizeof(int32_t) == 4, "32-bit fields");

/* The claimed extensions, each as a dot and the extension, run together
 * (".TPV.TPW"); case does not matter. The text must live as long as the
 * library is loaded. */
typedef const char* (*TViewerPluginLoadFileExtensions)(void);

/* The size the picture of `title` is drawn at inside a box of
 * boxWidth x boxHeight, or its natural size for a box of -1 x -1. A value
 * below 1 lets the host choose (the box, or 100). */
typedef void (*TViewerPluginGetPictureSize)(const char* title, const char* extension,
                                            int32_t boxWidth, int32_t boxHeight, int32_t* width,
                                            int32_t* height);

/* Draws the picture of `title` into info->Pixels. */
typedef void (*TViewerPluginLoadFileToBitmap)(const char* title, const char* extension,
                                              TViewerPluginBitmapInfo* info);

/* Non-zero when the thumbs of this extension depend on the font and colours,
 * so the thumb cache drops them when those change. */
typedef int32_t (*TViewerPluginRecacheOnTextFormatChange)(const char* extension);

/* A description for the options dialog; the text must live as long as the
 * library is loaded. */
typedef const char* (*TViewerPluginGetPluginInfo)(void);

/* What a plug-in defines, so its compiler checks the types. */
#define VIEWER_PLUGIN_EXPORT __attribute__((visibility("default")))
VIEWER_PLUGIN_EXPORT const char* LoadFileExtensions(void);
VIEWER_PLUGIN_EXPORT void GetPictureSize(const char* title, const char* extension, int32_t boxWidth,
                                         int32_t boxHeight, int32_t* width, int32_t* height);
VIEWER_PLUGIN_EXPORT void LoadFileToBitmap(const char* title, const char* extension,
                                           TViewerPluginBitmapInfo* info);
VIEWER_PLUGIN_EXPORT int32_t RecacheOnTextFormatChange(const char* extension);
VIEWER_PLUGIN_EXPORT const char* GetPluginInfo(void);

#ifdef __cplusplus
}
#endif

#endif
