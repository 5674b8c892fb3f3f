#include "foundation/StockColors.h"

#include <cstdio>

namespace cv {

const std::array<TStockColor, 132> CStockColors = {{
    {0x000000, "Black"}, {0x323232, "Fade Black"}, {0x4B4B4B, "Light Black"},
    {0x5A5A5A, "Bright Black"}, {0x4B4B00, "Blue Black"}, {0x6E6E50, "Light Blue Black"},
    {0x78784B, "Blue Gray"}, {0x828200, "Teal"}, {0x8C8C0A, "Light Teal"},
    {0x6E6E6E, "Dark Gray"}, {0x787878, "Fade Gray"}, {0x828282, "Gray"},
    {0xA0A0A0, "Light Gray"}, {0xBEBEBE, "Silver"}, {0xE6E6E6, "Gray White"},
    {0xF5F5F5, "Light Gray White"}, {0xFFFFFF, "White"}, {0xE1F5F5, "Soft White"},
    {0xD2F0F0, "Fade White"}, {0xD7E6E6, "Soft Gray White"}, {0xC8D7E1, "Cream White"},
    {0xC8D7E6, "Pink White"}, {0xEBF5FA, "Fade Pink White"}, {0xD2D7E1, "Dark Pink White"},
    {0xAAC3CD, "Bright Cream Gray"}, {0x96B4BE, "Light Cream Gray"}, {0x87AAB9, "Cream Gray"},
    {0x6991A0, "Fade Cream Gray"}, {0x5F8296, "Dark Cream Gray"}, {0x557891, "Gloom Cream Gray"},
    {0x415A6E, "Dark Olive"}, {0x41555F, "Gloom Olive"}, {0x321E1E, "Gloom Blue"},
    {0x410000, "Dark Blue"}, {0x553C32, "Dark Navy"}, {0x785A4B, "Fade Navy"},
    {0x820000, "Navy"}, {0xA00000, "Blue"}, {0xC80000, "Light Blue"},
    {0xFF0000, "Bright Blue"}, {0x963200, "Dark Pastel Blue"}, {0x965000, "Fade Pastel Blue"},
    {0xC86400, "Pastel Blue"}, {0xF06E14, "Dark Turquoise"}, {0xDC9B3C, "Fade Turquoise"},
    {0xFF9650, "Turquoise"}, {0xFFFF00, "Aqua"}, {0xFFFFC8, "Light Aqua"},
    {0xFFFFE1, "Bright Aqua"}, {0xDCD7B9, "Soft Aqua"}, {0xCDC89B, "Fade Aqua"},
    {0xC3B98C, "Dark Aqua"}, {0xBEB478, "Gloom Aqua"}, {0xCD9696, "Blue Fuchsia"},
    {0xC37D7D, "Fade Blue Fuchsia"}, {0xB46469, "Dark Blue Fuchsia"}, {0xC8C864, "Bright Vernil"},
    {0x96B414, "Light Vernil"}, {0x87AA55, "Vernil"}, {0x73910F, "Fade Vernil"},
    {0x5F8200, "Dark Vernil"}, {0x415A00, "Gloom Vernil"}, {0x2D4100, "Bleak Vernil"},
    {0x820082, "Purple"}, {0x732882, "Dark Lavender"}, {0x873296, "Lavender"},
    {0xFF00FF, "Fuchsia"}, {0xFFAAFF, "Light Fuchsia"}, {0x6400C8, "Light Cherry"},
    {0x5A00B4, "Cherry"}, {0x410082, "Dark Cherry"}, {0x414182, "Fade Cherry"},
    {0x000082, "Gloom Red"}, {0x0000AA, "Dark Red"}, {0x0000D2, "Red"},
    {0x0032FF, "Pastel Red"}, {0x0000FF, "Light Red"}, {0x5A5AFF, "Dark Pink"},
    {0x4B78FF, "Pastel Pink"}, {0x8282FF, "Pink"}, {0x288CFF, "Light Orange"},
    {0x0078FF, "Orange"}, {0x0A69FF, "Near Dark Orange"}, {0x005AFF, "Dark Orange"},
    {0x28468C, "Maroon"}, {0x0A5096, "Dark Ochre"}, {0x196EB9, "Ochre"},
    {0x0096CD, "Pastel Ochre"}, {0x5F82B9, "Light Maroon"}, {0x5A96F0, "Brick"},
    {0x8CC8FF, "Fade Brick"}, {0x9BCDFF, "Light Brick"}, {0xB4DCFF, "Bright Brick"},
    {0xBEDCE6, "Bright Cream"}, {0xAFE1E1, "Soft Cream"}, {0x96CDE6, "Fade Cream"},
    {0x87C8E1, "Cream"}, {0x8CC8C8, "Bright Hemp"}, {0x6EBEBE, "Light Hemp"},
    {0x5FAAB9, "Fade Hemp"}, {0x4B96AA, "Medium Hemp"}, {0x468CA0, "Hemp"},
    {0x418282, "Dark Hemp"}, {0x5AC8FF, "Cream Yellow"}, {0x64CDFF, "Pastel Cream Yellow"},
    {0x8CDCFF, "Light Cream Yellow"}, {0x2DC8F0, "Fade Yellow"}, {0x00C8FF, "Pastel Yellow"},
    {0x00E6E6, "Mustard"}, {0x00FFFF, "Yellow"}, {0x9BFFFF, "Light Yellow"},
    {0xAFF0F0, "Soft Yellow"}, {0xAFE1F0, "Tender Yellow"}, {0xC8FFFF, "Bright Yellow"},
    {0xD7FFFF, "Brilliant Yellow"}, {0xAFF0E1, "Brilliant Yellow Green"}, {0x96CDB9, "Light Olive"},
    {0xAAD7C8, "Soft Olive"}, {0xBEDCD7, "Tender Olive"}, {0xD7EBE6, "Bright Olive"},
    {0x69A08C, "Fade Olive"}, {0x00B4B4, "Yellow Green"}, {0x008282, "Olive"},
    {0x005500, "Dark Green"}, {0x006900, "Near Dark Green"}, {0x008200, "Green"},
    {0x009600, "Fade Green"}, {0x0FB414, "Light Green"}, {0x32C864, "Pastel Green"},
    {0x00FF00, "Lime"}, {0x82FF00, "Bright Green"}, {0xC8FFC8, "Light Pastel Green"},
}};

namespace {

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

} // namespace

std::string GetStockColorName(TColor color) {
  for (const TStockColor& row : CStockColors)
    if (row.Value == color) return std::string(row.Name);
  return {};
}

std::optional<TColor> FindStockColor(std::string_view name) {
  for (const TStockColor& row : CStockColors)
    if (SameNameIgnoringCase(row.Name, name)) return row.Value;
  return std::nullopt;
}

std::string GetColorDescription(TColor color) {
  const unsigned r = color & 0xFF;
  const unsigned g = (color >> 8) & 0xFF;
  const unsigned b = (color >> 16) & 0xFF;
  const unsigned long rgb = (static_cast<unsigned long>(r) << 16) | (g << 8) | b;
  char text[96];
  std::snprintf(text, sizeof text, " (RGB %u-%u-%u; Decimal = %lu; Hexadecimal = 0x%06lX)", r, g,
                b, rgb, rgb);
  return text;
}

} // namespace cv
