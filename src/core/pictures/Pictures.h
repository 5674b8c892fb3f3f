#pragma once
// The program's door to picture files: decoding into bitmaps at thumb size,
// the background picture with colour adjustments and tiling, average
// colours and the format texts. Every fallible function is guarded and
// reports through the status context; titles are bytes and never pass
// through QString.

#include "pictures/PictureSize.h"

#include <QImage>
#include <cstdint>
#include <string>

class QPainter;
struct stat;

namespace cv {

// The most a decoder may allocate for one picture, in megabytes: large
// photographs load, a picture that claims absurd sides does not.
constexpr int PictureAllocationLimitMB = 1024;

// Decodes a whole regular file (links followed) with its EXIF orientation
// applied. FIFOs, devices and directories are refused before anything
// reads them. Raises "Failed to load picture." on failure. `facts` gets the
// status of the file that was read.
QImage LoadPictureFile(const std::string& title, struct stat* facts = nullptr);

struct TThumbRequest {
  TPictureSize Box;
  // Thumbs at least this wide or high get the high-quality path; -1: never.
  int SmartQualitySize = -1;
  bool HighQuality = false;
  // Use the box size itself, without keeping the aspect ratio.
  bool Exact = false;
  bool Enlarge = false;
};

struct TThumb {
  QImage Bitmap;        // the picture's own alpha is kept
  TPictureSize Picture; // the source, as oriented
  int64_t Zoom = 0;     // thumb height x 100 / picture height
};

// Decodes a picture straight at thumb size (the decoder scales while it
// reads, so a photograph never exists at full size in memory). "Invalid
// picture size." for a picture without pixels; false on failure.
bool LoadPictureToBitmap(const std::string& title, const TThumbRequest& request, TThumb& thumb);

// Colour adjustments of the background picture. Fade 1..100 makes it that
// much transparent; rotations -180..180 degrees (one non-zero) turn the
// colour axes; gamma 1..1000 but 100 is a percent exponent.
struct TPictureAdjust {
  int Gamma = 100;
  int BlueRed = 0;
  int GreenBlue = 0;
  int RedGreen = 0;
  int Fade = 0;
  bool Applies() const;
};

// The 5 x 5 colour matrix of the adjustments: the colour as the row vector
// (R, G, B, A, 1), components 0..1, is multiplied by it.
struct TColorMatrix {
  float M[5][5];
};
TColorMatrix AdjustMatrix(const TPictureAdjust& adjust);
// The adjusted picture at the draw size, as RGB32 or (with alpha) ARGB32;
// the gamma follows the matrix.
QImage AdjustPicture(const QImage& picture, const TPictureAdjust& adjust, TPictureSize draw);
// Draws the picture scaled to the draw size at (0, 0) with the adjustments.
void DrawPictureAdjusted(const QImage& picture, QPainter& canvas, const TPictureAdjust& adjust,
                         TPictureSize draw);

struct TTileRequest {
  TPictureSize Area;
  uint32_t Background = 0; // 0x00BBGGRR
  TPictureAdjust Adjust;
  bool Fit = false;     // fit into the area (enlarging) before tiling
  bool Stretch = false; // one picture over the whole area
};

// The background bitmap of the area: the adjusted picture at its own, fitted
// or stretched size, repeated over the area unless stretched. On failure
// ("Failed to load picture.") the bitmap is left null.
bool LoadTilePictureToBitmap(const std::string& title, const TTileRequest& request, QImage& bitmap);

struct TRgbAverage {
  uint32_t Red = 0, Green = 0, Blue = 0;
};
// The average colour of all pixels (64-bit sums); an empty picture gives 0.
TRgbAverage GetPictureRGBStatistics(const QImage& picture);

struct TColorRotation {
  int RedGreen = 0, GreenBlue = 0, BlueRed = 0;
};
// The rotations that tint the picture's average colour toward the fade
// colour (0x00BBGGRR), and the report that explains them; empty on failure.
std::string RecommendColorRotateValues(const std::string& title, uint32_t fadeColor,
                                       TColorRotation& rotation);

// "1 bpp", "8 bpp", "16 bpp", "24 bpp", "32 bpp", "48 bpp", "64 bpp" or "".
std::string GetPicturePixelFormatText(const QImage& picture);
// The number of frames (animated pictures have more than one); 0 on failure.
int GetPictureFrameCount(const std::string& title);

} // namespace cv
