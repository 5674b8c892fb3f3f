#pragma once
// Small numeric helpers: rounding, bit fields, engineering-notation texts and
// colour blending. Colours are 0x00BBGGRR values (red in the low byte).

#include <cstdint>
#include <string>

namespace cv {

// The fractional part taken into [0, 1): -2.3 gives 0.7.
double PositiveFrac(double x);
// Halves go up: 2.5 gives 3, -2.5 gives -2.
double RoundHalfUp(double x);
// 0 for 0, else the number of binary digits (255 gives 8, 256 gives 9).
int BitLength(uint64_t n);

// The `count` bits of `value` from bit `shift` up; counts up to 32 and
// shifts of 32 or more are defined.
uint32_t GetBits(uint32_t value, int shift, int count);
// `value` with those bits replaced by `field`; a field that does not fit in
// `count` bits stores 0.
uint32_t SetBits(uint32_t value, uint32_t field, int shift, int count);

// Engineering notation with `digits` significant digits and `precision`
// decimals: 1234567 with 4 digits reads "1.235e6"; numbers whose exponent is
// below `digits` are written in full with digit grouping. Panics on
// digits <= 0 or precision < 0.
std::string AlignRealToTextPow(int digits, int precision, double x);

// Per channel truncate(A * a + B * b), kept within 0..255.
uint32_t BlendColors(uint32_t colorA, double weightA, uint32_t colorB, double weightB);

} // namespace cv
