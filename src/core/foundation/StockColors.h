#pragma once
// The stock colours: 132 named colour values that settings and skin files
// may use instead of numbers, and the texts that describe a colour.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cv {

// Platform colour value 0x00BBGGRR (red in the low byte).
using TColor = uint32_t;

struct TStockColor {
  TColor Value;
  std::string_view Name;
};

// In the order of the stock colour dialog's grid (row-major, twelve a row).
// Values and names are unique; names compare without case.
extern const std::array<TStockColor, 132> CStockColors;

// The name of the row with exactly this value, or empty.
std::string GetStockColorName(TColor color);
// The value of the row whose name equals `name` ignoring case (ASCII letters).
std::optional<TColor> FindStockColor(std::string_view name);
// " (RGB r-g-b; Decimal = n; Hexadecimal = 0xRRGGBB)", n being the colour
// with red and blue exchanged.
std::string GetColorDescription(TColor color);

} // namespace cv
