#pragma once
// A skin with every field away from its default, and its values compared as
// one, for the tests of skin options, skin files and the skin editor.

#include "mainwindow/SkinOptions.h"

#include <string>
#include <tuple>

namespace cv::test {

inline TSkinOptions ChangedSkin(const std::string& pictureTitle = "/elsewhere/sea.jpg") {
  TSkinOptions skin;
  skin.UseBackPicture = true;
  skin.BackPictureFileTitle = pictureTitle;
  skin.StretchBackPicture = true;
  skin.FitBeforeTileBackPicture = true;
  skin.FadeBackPicture = 40;
  skin.RotateRGBackPicture = -90;
  skin.RotateGBBackPicture = 45;
  skin.RotateBRBackPicture = 180;
  skin.GammaBackPicture = 250;
  skin.TransparentColumns = true;
  skin.ControlMarginTransp = 30;
  skin.ControlBackTransp = 70;
  skin.ToolbarButtonsStyle = "Square corners";
  skin.NonOvalButtonsStyle = "Top edge";
  for (const TSkinColorField& color : SkinColorFields)
    skin.*color.Field ^= 0x123456;
  return skin;
}

// The fourteen values of "Skin_Main", comparable as one.
inline auto SkinMainValues(const TSkinOptions& s) {
  return std::tie(s.UseBackPicture, s.BackPictureFileTitle, s.StretchBackPicture,
                  s.FitBeforeTileBackPicture, s.FadeBackPicture, s.RotateRGBackPicture,
                  s.RotateGBBackPicture, s.RotateBRBackPicture, s.GammaBackPicture,
                  s.TransparentColumns, s.ControlMarginTransp, s.ControlBackTransp,
                  s.ToolbarButtonsStyle, s.NonOvalButtonsStyle);
}

} // namespace cv::test
