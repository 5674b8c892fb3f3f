#pragma once
// Picture and box sizes: fitting a picture into a box and the normalised
// sizes of thumbs and conversions. All arithmetic is 64-bit, so a product of
// two large sides cannot overflow.

#include <cstdint>

namespace cv {

struct TPictureSize {
  int64_t Width = 0;
  int64_t Height = 0;
  bool Empty() const { return Width < 1 || Height < 1; }
  bool operator==(const TPictureSize&) const = default;
};

// The picture's size scaled into the box, keeping its aspect ratio and
// truncating; never enlarged unless `enlarge`. An empty picture or box
// gives 0 x 0; any other fit is at least 1 x 1, so a 10000 x 1 picture in a
// 100-pixel box still has a height a tiling can divide by.
TPictureSize FitSizeInBox(TPictureSize picture, TPictureSize box, bool enlarge);

// The normalised size of a picture: both flags fit it into widthTo x
// heightTo (enlarging); one flag sets that side and scales the other. False,
// with `out` untouched, when nothing applies.
bool NormalizeSize(TPictureSize picture, bool normalize, bool normalizeWidth, bool normalizeHeight,
                   int64_t widthTo, int64_t heightTo, TPictureSize& out);

} // namespace cv
