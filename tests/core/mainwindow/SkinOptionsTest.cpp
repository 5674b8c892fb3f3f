#include "mainwindow/SkinOptions.h"

#include "SkinSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

namespace cv {
namespace {

TEST(SkinOptionsTest, ColourDefaultsInKeyOrder) {
  const std::pair<const char*, TColor> expected[] = {
      {"FadeColor", 0xFFFFFF},
      {"FillingColor", 0xE1F5F5},
      {"ButtonMarginColor", 0xA0A0A0},
      {"ButtonBackColor", 0xD7E6E6},
      {"ButtonTextColor", 0x000000},
      {"ButtonTintColor", 0xFFFFFF},
      {"ButtonHotTrackTintColor", 0xD7FFFF},
      {"PushedMarginColor", 0xA0A0A0},
      {"PushedBackColor", 0xAFE1E1},
      {"PushedTextColor", 0x000000},
      {"PushedTintColor", 0xEBF5FA},
      {"PushedHotTrackTintColor", 0xD7FFFF},
      {"WindowMarginColor", 0xA0A0A0},
      {"WindowBackColor", 0xFFFFFF},
      {"WindowTextColor", 0x000000},
      {"WindowTintColor", 0x000000},
      {"MouseMenuBackColor", 0x87AAB9},
      {"MouseMenuTextColor", 0xEBF5FA},
      {"ActiveFocusBackColor", 0x9BCDFF},
      {"ActiveFocusTextColor", 0x000000},
      {"ActiveFocusTintColor", 0xD2F0FA},
      {"SelectionBackColor", 0xD7E6E6},
      {"SelectionTextColor", 0x0000D2},
      {"SelectionTintColor", 0xFFFFFF},
      {"GridColor", 0xBEBEBE},
      {"ThumbTextColor", 0x418282},
      {"DirsBackColor", 0xBEDCE6},
      {"DirsTextColor", 0x000000},
      {"LinksBackColor", 0x009600},
      {"LinksTextColor", 0x000000},
      {"ProgsBackColor", 0x2DC8F0},
      {"ProgsTextColor", 0x000000},
      {"DocsBackColor", 0x820000},
      {"DocsTextColor", 0xFFFFFF},
      {"FilesBackColor", 0xBEBEBE},
      {"FilesTextColor", 0x000000},
  };
  static_assert(std::size(expected) == SkinColorFields.size());
  const TSkinOptions skin;
  for (size_t i = 0; i < SkinColorFields.size(); ++i) {
    EXPECT_EQ(SkinColorFields[i].Key, expected[i].first) << i;
    EXPECT_EQ(skin.*SkinColorFields[i].Field, expected[i].second) << expected[i].first;
    for (size_t j = 0; j < i; ++j)
      EXPECT_NE(SkinColorFields[j].Field, SkinColorFields[i].Field) << "listed twice: " << i;
  }
  // The default colours are stock colours where the skin dialogs rely on it.
  EXPECT_EQ(GetStockColorName(skin.WindowBackColor), "White");
  EXPECT_EQ(FindStockColor("red"), skin.SelectionTextColor);
}

TEST(SkinOptionsTest, MainDefaults) {
  const TSkinOptions skin;
  EXPECT_FALSE(skin.UseBackPicture);
  EXPECT_EQ(skin.BackPictureFileTitle, "");
  EXPECT_FALSE(skin.StretchBackPicture);
  EXPECT_FALSE(skin.FitBeforeTileBackPicture);
  EXPECT_EQ(skin.FadeBackPicture, 0);
  EXPECT_EQ(skin.RotateRGBackPicture, 0);
  EXPECT_EQ(skin.RotateGBBackPicture, 0);
  EXPECT_EQ(skin.RotateBRBackPicture, 0);
  EXPECT_EQ(skin.GammaBackPicture, 100);
  EXPECT_FALSE(skin.TransparentColumns);
  EXPECT_EQ(skin.ControlMarginTransp, 0);
  EXPECT_EQ(skin.ControlBackTransp, 0);
  EXPECT_EQ(skin.ToolbarButtonsStyle, "Double oval");
  EXPECT_EQ(skin.NonOvalButtonsStyle, "No edge");
}

TEST(SkinOptionsTest, ResetOfColoursOnlyOrOfEverything) {
  const TSkinOptions defaults;
  const TSkinOptions changed = test::ChangedSkin("/pictures/sea.jpg");
  for (const bool all : {false, true}) {
    TSkinOptions skin = test::ChangedSkin("/pictures/sea.jpg");
    for (const TSkinColorField& color : SkinColorFields)
      ASSERT_NE(skin.*color.Field, defaults.*color.Field) << color.Key;
    skin.SetDefaults(all);
    for (const TSkinColorField& color : SkinColorFields)
      EXPECT_EQ(skin.*color.Field, defaults.*color.Field) << color.Key << " all=" << all;
    if (all)
      EXPECT_EQ(test::SkinMainValues(skin), test::SkinMainValues(defaults));
    else
      EXPECT_EQ(test::SkinMainValues(skin), test::SkinMainValues(changed));
  }
}

} // namespace
} // namespace cv
