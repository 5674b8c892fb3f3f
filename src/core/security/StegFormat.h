#pragma once
// The carrier format of hidden files: which pixels carry a bit, the cipher
// and key derivation over 16-word states, the block layout and the integrity
// number. Pure arithmetic on 32-bit pixels 0xAARRGGBB (rows top-down, no
// padding); everything is modulo 2^32, as the stored format requires.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

using TStegWords = std::array<uint32_t, 16>;

inline constexpr int64_t StegMaxFileSize = 1000000;
inline constexpr size_t StegUnit = 64;
inline constexpr size_t StegCheckOffset = 64;
inline constexpr size_t StegDigestOffset = 128;
inline constexpr size_t StegNameOffset = 192;
inline constexpr size_t StegNameRoom = 256;
inline constexpr size_t StegSizeOffset = 448;
inline constexpr size_t StegZeroOffset = 452;
inline constexpr size_t StegHeaderSize = 576;
inline constexpr uint32_t StegPixelMask = 0xFEFEFE;

constexpr uint32_t StegRol(uint32_t v, uint32_t n) {
  n &= 31;
  return n == 0 ? v : (v << n) | (v >> (32 - n));
}
constexpr uint32_t StegRor(uint32_t v, uint32_t n) {
  n &= 31;
  return n == 0 ? v : (v >> n) | (v << (32 - n));
}
constexpr uint32_t StegSwap(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

// 64 bytes as 16 little-endian words, and back.
TStegWords StegWordsFrom(const uint8_t* bytes);
void StegWordsTo(const TStegWords& words, uint8_t* bytes);

// One mixing call (five rounds); the format uses it 100 times in a row.
void StegMix(TStegWords& s);
void StegMix100(TStegWords& s);
// The digest of the 64-byte check field.
TStegWords StegDigest(const uint8_t* check);
void StegKeyStep(const TStegWords& p, TStegWords& a, TStegWords& b);
void StegEncryptBlock(TStegWords& v, const TStegWords& a, const TStegWords& b);
void StegDecryptBlock(TStegWords& v, const TStegWords& a, const TStegWords& b);

struct TStegKey {
  TStegWords A{};
  TStegWords B{};
};

// The key from the password's bytes, the 64-byte salt, every pixel of the
// picture (its carrying bits ignored) and `iterations` key steps.
TStegKey DeriveStegKey(std::string_view password, const uint8_t* salt, const uint32_t* pixels,
                       size_t pixelCount, int iterations);

// Encrypts `blocks` 64-byte blocks in place; the key halves move on. Gives
// the index of the first block that came out unchanged, or -1.
int64_t StegEncryptBuffer(uint8_t* data, size_t blocks, TStegKey key);
void StegDecryptBuffer(uint8_t* data, size_t blocks, TStegKey key);

// A number 0 ... 9999 of the bits embedding leaves alone.
int StegIntegrity(const uint32_t* pixels, size_t pixelCount);

// The pixel indexes (y * width + x) that carry a bit, column by column.
std::vector<uint32_t> StegUsablePixels(const uint32_t* pixels, int width, int height);
// Block size for a capacity in bits: whole 64-byte units.
size_t StegBlockSize(size_t capacityBits);
// Bits a file of `size` bytes needs.
int64_t StegRequiredBits(int64_t size);
// Bit j of the block into channel j mod 3 of usable pixel j, and back.
void StegEmbed(uint32_t* pixels, const std::vector<uint32_t>& usable, const uint8_t* block,
               size_t blockSize);
void StegExtract(const uint32_t* pixels, const std::vector<uint32_t>& usable, uint8_t* block,
                 size_t blockSize);

// A stored name steg-out would write: not empty, not "." or "..", none of
// < > | " : \ / ? * and no NUL.
bool IsStegName(std::string_view name);

} // namespace cv
