#include "foundation/MyMath.h"

#include "TestSupport.h"
#include "foundation/Text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace cv {
namespace {

TEST(MyMathTest, FractionsAndHalfUpRounding) {
  struct Case { double x, frac, rounded; } cases[] = {
      {-2.3, 0.7, -2.0}, {2.5, 0.5, 3.0}, {-2.5, 0.5, -2.0}, {2.49, 0.49, 2.0},
      {-0.5, 0.5, 0.0},  {7.0, 0.0, 7.0}, {-7.0, 0.0, -7.0}, {999.9997, 0.9997, 1000.0},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(PositiveFrac(c.x), c.frac, 1e-9) << c.x;
    EXPECT_EQ(RoundHalfUp(c.x), c.rounded) << c.x;
  }
  EXPECT_LT(PositiveFrac(-1e-20), 1.0);
}

TEST(MyMathTest, BitHelpersAreDefinedForEveryCount) {
  struct Length { uint64_t n; int bits; } lengths[] = {
      {0, 0}, {1, 1}, {255, 8}, {256, 9}, {UINT64_MAX, 64}};
  for (const auto& l : lengths) EXPECT_EQ(BitLength(l.n), l.bits) << l.n;

  struct Get { uint32_t value; int shift, count; uint32_t result; } gets[] = {
      {0xABCD1234u, 0, 32, 0xABCD1234u}, {0xABCD1234u, 4, 8, 0x23u},
      {0xABCD1234u, 28, 8, 0xAu},        {0xABCD1234u, 32, 4, 0u},
      {0xFFFFFFFFu, 0, 0, 0u},           {0x80000000u, 31, 1, 1u},
  };
  for (const auto& g : gets) EXPECT_EQ(GetBits(g.value, g.shift, g.count), g.result);

  struct Set { uint32_t value, field; int shift, count; uint32_t result; } sets[] = {
      {0xFFFFFFFFu, 4, 0, 2, 0xFFFFFFFCu}, // 4 does not fit in 2 bits: stores 0
      {0x00000000u, 3, 4, 2, 0x30u},
      {0x12345678u, 0xCAFEBABEu, 0, 32, 0xCAFEBABEu},
      {0x12345678u, 0xF, 28, 8, 0xF2345678u},
      {0x12345678u, 1, 32, 1, 0x12345678u},
  };
  for (const auto& s : sets)
    EXPECT_EQ(SetBits(s.value, s.field, s.shift, s.count), s.result) << s.field << "@" << s.shift;
}

TEST(MyMathTest, EngineeringNotation) {
  test::TRecordingUserInterface ui;
  TFormatLocalePin locale(QLocale(QLocale::English, QLocale::UnitedStates));
  struct Case { int digits, precision; double x; const char* text; } cases[] = {
      {4, 0, 1234567, "1.235e6"},
      {3, 0, 999999.7, "1e6"},       // the mantissa carries to 1.0 and the exponent to 6
      {6, 0, 1234.5678, "1,235"},
      {6, 1, 1234.5678, "1,234.6"},
      {3, 2, 12.345, "12.30"},       // three significant digits, then two decimals
      {6, 0, 0, "0"},
      {6, 1, 0.25, "0.3"},
      {5, 0, 1023, "1,023"},
      {5, 1, 1.5, "1.5"},
      {4, 0, -1234567, "-1.235e6"},
      {3, 0, -999999.7, "-1e6"},
      {3, 0, 999.7, "1e3"},
      {6, 0, 123456789, "123.457e6"},
      // The mantissa is rounded to the significant digits before its
      // integer digits are counted.
      {3, 0, 9.6e6, "9.60e6"},
      {4, 0, 999500, "999.5e3"},
      {3, 0, 99.96e3, "100e3"},
      {3, 0, -9.6e6, "-9.60e6"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AlignRealToTextPow(c.digits, c.precision, c.x), c.text) << c.x << " d=" << c.digits;

  TFormatLocalePin german(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(AlignRealToTextPow(4, 0, 1234567), "1,235e6");
  EXPECT_EQ(AlignRealToTextPow(6, 1, 1234.5678), "1.234,6");

  EXPECT_EQ(AlignRealToTextPow(0, 0, 5), "");
  EXPECT_EQ(FunStatContext.Status, fsPanic);
  ASSERT_EQ(ui.Errors.size(), 1u);
  EXPECT_NE(ui.Errors[0].Description.find("Invalid number of digits, or precesion."),
            std::string::npos);
  EXPECT_EQ(AlignRealToTextPow(3, -1, 5), "");
}

TEST(MyMathTest, BlendColorsClampsEachChannel) {
  struct Case { uint32_t a; double wa; uint32_t b; double wb; uint32_t result; } cases[] = {
      {0x000000FFu, 0.5, 0x0000FF00u, 0.5, 0x00007F7Fu},
      {0x00FFFFFFu, 0.7, 0x00FFFFFFu, 0.7, 0x00FFFFFFu},   // 357 per channel: 255
      {0x00102030u, -1.0, 0x00000000u, 0.0, 0x00000000u},  // negative: 0
      {0x00102030u, 1.0, 0x00010101u, 1.0, 0x00112131u},
      {0x00030617u, 0.7, 0x00030617u, 0.3, 0x00030617u},   // weights adding to 1 keep the colour
      {0xFF102030u, 1.0, 0xFF000000u, 1.0, 0x00102030u},   // the top byte is no channel
      {0x00FFFFFFu, NAN, 0, 0, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(BlendColors(c.a, c.wa, c.b, c.wb), c.result) << std::hex << c.a;
}

} // namespace
} // namespace cv
