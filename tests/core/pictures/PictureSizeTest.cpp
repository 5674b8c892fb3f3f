#include "pictures/PictureSize.h"

#include <gtest/gtest.h>

namespace cv {
namespace {

struct TFitCase {
  TPictureSize Picture, Box;
  bool Enlarge;
  TPictureSize Fit;
};

TEST(PictureSize, FitsIntoTheBox) {
  const TFitCase cases[] = {
      {{100, 50}, {300, 300}, false, {100, 50}},
      {{100, 50}, {300, 300}, true, {300, 150}},
      {{400, 200}, {100, 100}, false, {100, 50}},
      {{200, 400}, {100, 100}, false, {50, 100}},
      {{3, 7}, {2, 2}, false, {1, 2}}, // 3 * 2 / 7 truncates to 0
      {{10000, 1}, {100, 100}, false, {100, 1}},
      {{1, 10000}, {100, 100}, false, {1, 100}},
      {{100000, 100000}, {256, 256}, false, {256, 256}}, // the product needs 64 bits
      {{0, 50}, {100, 100}, true, {0, 0}},
      {{100, 50}, {0, 100}, true, {0, 0}},
  };
  for (const TFitCase& c : cases)
    EXPECT_EQ(FitSizeInBox(c.Picture, c.Box, c.Enlarge), c.Fit)
        << c.Picture.Width << "x" << c.Picture.Height << " in " << c.Box.Width << "x"
        << c.Box.Height;
}

struct TNormalizeCase {
  bool Normalize, Width, Height;
  int64_t WidthTo, HeightTo;
  bool Set;
  TPictureSize Out;
};

TEST(PictureSize, Normalizes) {
  const TPictureSize picture{400, 200};
  const TNormalizeCase cases[] = {
      {false, true, true, 100, 100, false, {7, 7}}, {true, true, true, 800, 800, true, {800, 400}},
      {true, true, false, 100, 0, true, {100, 50}}, {true, false, true, 0, 100, true, {200, 100}},
      {true, true, true, 100, 0, true, {100, 50}}, // no height: the width alone
      {true, true, false, 0, 100, false, {7, 7}},   {true, false, false, 100, 100, false, {7, 7}},
  };
  for (const TNormalizeCase& c : cases) {
    TPictureSize out{7, 7};
    EXPECT_EQ(NormalizeSize(picture, c.Normalize, c.Width, c.Height, c.WidthTo, c.HeightTo, out),
              c.Set);
    EXPECT_EQ(out, c.Out) << c.Normalize << c.Width << c.Height << " " << c.WidthTo << " "
                          << c.HeightTo;
  }
  // A very wide picture normalised to a narrow width keeps a height of 1.
  TPictureSize out;
  ASSERT_TRUE(NormalizeSize({10000, 1}, true, true, false, 100, 0, out));
  EXPECT_EQ(out, (TPictureSize{100, 1}));
}

} // namespace
} // namespace cv
