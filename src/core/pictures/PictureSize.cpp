#include "pictures/PictureSize.h"

#include <algorithm>

namespace cv {

TPictureSize FitSizeInBox(TPictureSize picture, TPictureSize box, bool enlarge) {
  if (picture.Empty() || box.Empty()) return {};
  TPictureSize fit;
  fit.Width = !enlarge && picture.Width < box.Width ? picture.Width : box.Width;
  fit.Height = picture.Height * fit.Width / picture.Width;
  if (fit.Height > box.Height) {
    fit.Height = box.Height;
    fit.Width = picture.Width * box.Height / picture.Height;
  }
  fit.Width = std::max<int64_t>(fit.Width, 1);
  fit.Height = std::max<int64_t>(fit.Height, 1);
  return fit;
}

bool NormalizeSize(TPictureSize picture, bool normalize, bool normalizeWidth, bool normalizeHeight,
                   int64_t widthTo, int64_t heightTo, TPictureSize& out) {
  if (!normalize || picture.Empty()) return false;
  if (normalizeWidth && normalizeHeight && widthTo > 0 && heightTo > 0) {
    out = FitSizeInBox(picture, {widthTo, heightTo}, true);
    return true;
  }
  if (normalizeWidth && widthTo > 0) {
    out = {widthTo, std::max<int64_t>(picture.Height * widthTo / picture.Width, 1)};
    return true;
  }
  if (normalizeHeight && heightTo > 0) {
    out = {std::max<int64_t>(picture.Width * heightTo / picture.Height, 1), heightTo};
    return true;
  }
  return false;
}

} // namespace cv
