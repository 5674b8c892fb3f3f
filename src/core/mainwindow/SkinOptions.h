#pragma once
// The current skin: background picture, transparencies, button styles and
// the 36 named colours. Field order is the key order of skin files.

#include "foundation/StockColors.h"

#include <array>
#include <string>
#include <string_view>

namespace cv {

// The texts of `ToolbarButtonsStyle`, in list order; the index is the shape
// of the toolbar buttons (0 rounded, 1 square, 2 single oval, 3 double oval).
inline constexpr std::array<std::string_view, 4> CToolbarButtonsStyles{
    "Round corners", "Square corners", "Single oval", "Double oval"};
// The texts of `NonOvalButtonsStyle`, in list order.
inline constexpr std::array<std::string_view, 3> CNonOvalButtonsStyles{"No edge", "Top edge",
                                                                       "Bottom edge"};

class TSkinOptions {
public:
  // Section "Skin_Main".
  bool UseBackPicture = false;
  std::string BackPictureFileTitle;
  bool StretchBackPicture = false;
  bool FitBeforeTileBackPicture = false;
  int FadeBackPicture = 0;
  int RotateRGBackPicture = 0;
  int RotateGBBackPicture = 0;
  int RotateBRBackPicture = 0;
  int GammaBackPicture = 100;
  bool TransparentColumns = false;
  int ControlMarginTransp = 0;
  int ControlBackTransp = 0;
  std::string ToolbarButtonsStyle{CToolbarButtonsStyles[3]};
  std::string NonOvalButtonsStyle{CNonOvalButtonsStyles[0]};

  // Section "Skin_Colors".
  TColor FadeColor = 0xFFFFFF;
  TColor FillingColor = 0xE1F5F5;
  TColor ButtonMarginColor = 0xA0A0A0;
  TColor ButtonBackColor = 0xD7E6E6;
  TColor ButtonTextColor = 0x000000;
  TColor ButtonTintColor = 0xFFFFFF;
  TColor ButtonHotTrackTintColor = 0xD7FFFF;
  TColor PushedMarginColor = 0xA0A0A0;
  TColor PushedBackColor = 0xAFE1E1;
  TColor PushedTextColor = 0x000000;
  TColor PushedTintColor = 0xEBF5FA;
  TColor PushedHotTrackTintColor = 0xD7FFFF;
  TColor WindowMarginColor = 0xA0A0A0;
  TColor WindowBackColor = 0xFFFFFF;
  TColor WindowTextColor = 0x000000;
  TColor WindowTintColor = 0x000000;
  TColor MouseMenuBackColor = 0x87AAB9;
  TColor MouseMenuTextColor = 0xEBF5FA;
  TColor ActiveFocusBackColor = 0x9BCDFF;
  TColor ActiveFocusTextColor = 0x000000;
  TColor ActiveFocusTintColor = 0xD2F0FA;
  TColor SelectionBackColor = 0xD7E6E6;
  TColor SelectionTextColor = 0x0000D2;
  TColor SelectionTintColor = 0xFFFFFF;
  TColor GridColor = 0xBEBEBE;
  TColor ThumbTextColor = 0x418282;
  TColor DirsBackColor = 0xBEDCE6;
  TColor DirsTextColor = 0x000000;
  TColor LinksBackColor = 0x009600;
  TColor LinksTextColor = 0x000000;
  TColor ProgsBackColor = 0x2DC8F0;
  TColor ProgsTextColor = 0x000000;
  TColor DocsBackColor = 0x820000;
  TColor DocsTextColor = 0xFFFFFF;
  TColor FilesBackColor = 0xBEBEBE;
  TColor FilesTextColor = 0x000000;

  // With `all` every field goes back to its default, else only the colours.
  void SetDefaults(bool all);
};

// A colour field with its key (the field's name).
struct TSkinColorField {
  std::string_view Key;
  TColor TSkinOptions::*Field;
};

// The 36 colour fields in key order.
extern const std::array<TSkinColorField, 36> SkinColorFields;

// The one current skin.
extern TSkinOptions SkinOptions;

} // namespace cv
