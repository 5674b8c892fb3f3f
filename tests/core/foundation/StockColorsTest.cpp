#include "foundation/StockColors.h"

#include "foundation/StoredTextList.h"

#include <gtest/gtest.h>

#include <set>

namespace cv {
namespace {

TEST(StockColorsTest, TableHasUniqueValuesAndNamesThatFitTheirField) {
  std::set<TColor> values;
  std::set<std::string> names;
  for (const TStockColor& row : CStockColors) {
    EXPECT_TRUE(values.insert(row.Value).second) << row.Name;
    EXPECT_TRUE(names.insert(FoldIniName(row.Name)).second) << row.Name;
    EXPECT_LT(row.Name.size(), 32u) << row.Name;
    EXPECT_EQ(row.Value & 0xFF000000u, 0u) << row.Name;
  }
  EXPECT_EQ(CStockColors.front().Name, "Black");
  EXPECT_EQ(CStockColors[12].Name, "Light Gray");
  EXPECT_EQ(CStockColors.back().Name, "Light Pastel Green");
  EXPECT_EQ(CStockColors.back().Value, 0xC8FFC8u);
}

TEST(StockColorsTest, LookUps) {
  EXPECT_EQ(FindStockColor("red"), TColor{0x0000D2});
  EXPECT_EQ(FindStockColor("BRIGHT BLUE"), TColor{0xFF0000});
  EXPECT_EQ(FindStockColor("Crimson"), std::nullopt);
  EXPECT_EQ(FindStockColor("Red "), std::nullopt);
  EXPECT_EQ(FindStockColor(""), std::nullopt);
  EXPECT_EQ(GetStockColorName(0x0000D2), "Red");
  EXPECT_EQ(GetStockColorName(0x000000), "Black");
  EXPECT_EQ(GetStockColorName(0x123456), "");
  for (const TStockColor& row : CStockColors) {
    EXPECT_EQ(GetStockColorName(row.Value), row.Name);
    EXPECT_EQ(FindStockColor(row.Name), row.Value);
  }
}

TEST(StockColorsTest, Descriptions) {
  EXPECT_EQ(GetColorDescription(0x0000D2), " (RGB 210-0-0; Decimal = 13762560; Hexadecimal = 0xD20000)");
  EXPECT_EQ(GetColorDescription(0xFFFFFF), " (RGB 255-255-255; Decimal = 16777215; Hexadecimal = 0xFFFFFF)");
  EXPECT_EQ(GetColorDescription(0x000000), " (RGB 0-0-0; Decimal = 0; Hexadecimal = 0x000000)");
  EXPECT_EQ(GetColorDescription(0x0A0B0C), " (RGB 12-11-10; Decimal = 789258; Hexadecimal = 0x0C0B0A)");
  EXPECT_EQ(GetStockColorName(0x123456) + GetColorDescription(0x123456),
            " (RGB 86-52-18; Decimal = 5649426; Hexadecimal = 0x563412)");
}

} // namespace
} // namespace cv
