#include "foundation/MyMath.h"

#include "foundation/Guard.h"
#include "foundation/QtText.h"
#include "foundation/Text.h"

#include <charconv>
#include <cmath>

namespace cv {

double PositiveFrac(double x) {
  const double frac = x - std::floor(x);
  return frac >= 1.0 ? 0.0 : frac;
}

double RoundHalfUp(double x) {
  return PositiveFrac(x) >= 0.5 ? std::ceil(x) : std::floor(x);
}

int BitLength(uint64_t n) {
  int length = 0;
  for (; n != 0; n >>= 1) ++length;
  return length;
}

namespace {
uint32_t LowMask(int count) {
  if (count <= 0) return 0;
  return count >= 32 ? 0xFFFFFFFFu : (1u << count) - 1u;
}
} // namespace

uint32_t GetBits(uint32_t value, int shift, int count) {
  if (shift < 0 || shift >= 32) return 0;
  return (value >> shift) & LowMask(count);
}

uint32_t SetBits(uint32_t value, uint32_t field, int shift, int count) {
  if (shift < 0 || shift >= 32) return value;
  const uint32_t mask = LowMask(count);
  if ((field & ~mask) != 0) field = 0;
  const uint64_t slot = static_cast<uint64_t>(mask) << shift;
  return static_cast<uint32_t>((value & ~slot) | ((static_cast<uint64_t>(field) << shift) & slot));
}

namespace {

// `x` rounded to `digits` significant digits (as its decimal text would be).
double RoundToSignificant(double x, int digits) {
  char buffer[64];
  const auto [ptr, error] = std::to_chars(buffer, buffer + sizeof buffer, x,
                                          std::chars_format::scientific, std::min(digits, 17) - 1);
  double rounded = x;
  if (error == std::errc()) std::from_chars(buffer, ptr, rounded);
  return rounded;
}

// `x` rounded to `digits` significant digits, written with `decimals`
// decimals and the locale's separators.
std::string NumberText(double x, int digits, int decimals) {
  QLocale locale = FormatLocale();
  locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  return FromQString(locale.toString(RoundToSignificant(x, digits), 'f', decimals));
}

} // namespace

std::string AlignRealToTextPow(int digits, int precision, double x) {
  TGuard guard("AlignRealToTextPow");
  return guard.Run(std::string(), [&] {
    if (digits <= 0 || precision < 0) guard.Panic("Invalid number of digits, or precesion.");
    if (x == 0.0) return std::string("0");
    if (!std::isfinite(x)) return FromQString(FormatLocale().toString(x));
    int e = static_cast<int>(std::trunc(std::log10(std::fabs(x))));
    int q = e / 3 * 3;
    double m = x / std::pow(10.0, q);
    // The mantissa as it will be written: its integer digits decide how
    // many decimals the significant digits leave.
    const double r = RoundToSignificant(m, digits);
    // A mantissa that rounds up to 1000 carries into the next group; the
    // sign of negative numbers is kept.
    if (std::fabs(r) >= 1000.0) {
      e += 1;
      q += 3;
      m = m < 0 ? -1.0 : 1.0;
    }
    if (e < digits) return NumberText(x, digits, precision);
    const int h = static_cast<int>(std::trunc(std::log10(std::fabs(r))));
    std::string text = NumberText(m, digits, std::max(0, digits - h - 1));
    if (q != 0) text += "e" + std::to_string(q);
    return text;
  });
}

uint32_t BlendColors(uint32_t colorA, double weightA, uint32_t colorB, double weightB) {
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const double value = ((colorA >> shift) & 0xFF) * weightA + ((colorB >> shift) & 0xFF) * weightB;
    // NaN and negative sums give 0; the nudge keeps 3 * 0.7 + 3 * 0.3 at 3,
    // not 2.9999999999999996.
    const double clamped = value >= 0.0 ? std::min(std::trunc(value + 1e-9), 255.0) : 0.0;
    result |= static_cast<uint32_t>(clamped) << shift;
  }
  return result;
}

} // namespace cv
