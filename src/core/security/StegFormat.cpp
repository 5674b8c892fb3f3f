#include "security/StegFormat.h"

#include <cstring>

namespace cv {

TStegWords StegWordsFrom(const uint8_t* bytes) {
  TStegWords words{};
  for (size_t i = 0; i < 16; ++i)
    words[i] = uint32_t(bytes[4 * i]) | uint32_t(bytes[4 * i + 1]) << 8 |
               uint32_t(bytes[4 * i + 2]) << 16 | uint32_t(bytes[4 * i + 3]) << 24;
  return words;
}

void StegWordsTo(const TStegWords& words, uint8_t* bytes) {
  for (size_t i = 0; i < 16; ++i)
    for (size_t k = 0; k < 4; ++k)
      bytes[4 * i + k] = static_cast<uint8_t>(words[i] >> (8 * k));
}

void StegMix(TStegWords& s) {
  uint32_t a = 0;
  for (int round = 0; round < 5; ++round)
    for (uint32_t j = 0; j < 16; ++j) {
      a = StegRol(a + StegSwap(s[j]) + s[j], a & 16);
      const uint32_t c = (s[a & 15] + s[j]) & 15;
      s[j] = StegRol(StegRol(a + s[j], j) + s[c], c) + StegSwap(s[c]);
    }
}

void StegMix100(TStegWords& s) {
  for (int i = 0; i < 100; ++i)
    StegMix(s);
}

TStegWords StegDigest(const uint8_t* check) {
  TStegWords s = StegWordsFrom(check);
  StegMix100(s);
  return s;
}

void StegKeyStep(const TStegWords& p, TStegWords& a, TStegWords& b) {
  uint32_t x = 0;
  for (int round = 0; round < 5; ++round) {
    for (uint32_t j = 0; j < 16; ++j) {
      x = StegRol(x + StegSwap(p[j] + a[j]) + b[j], x & 16);
      const uint32_t c = (a[x & 15] + b[j]) & 15;
      a[j] = StegRol(StegRol(a[j] + x, j) + a[c], c) + StegSwap(p[j]);
    }
    for (uint32_t j = 0; j < 16; ++j) {
      x = StegRol(x + a[j] - StegSwap(p[j] + b[j]), x & 16);
      const uint32_t c = (b[x & 15] + a[j]) & 15;
      b[j] = StegRol(StegRol(StegSwap(x) + b[j], j) + b[c], c) + p[j];
    }
  }
}

namespace {

uint32_t Partner(uint32_t i, const TStegWords& a, const TStegWords& b) {
  const uint32_t x = StegRol(a[i] + b[i], i) & 15;
  return (a[x] + b[x]) & 15;
}

void EncryptStep(uint32_t i, TStegWords& v, const TStegWords& a, const TStegWords& b) {
  const uint32_t m = Partner(i, a, b);
  const uint32_t t = StegRol(v[i] + a[i], i) + b[i];
  const uint32_t u = StegRol(v[m] + a[m], m) + b[m];
  v[i] = u;
  v[m] = t;
}

void DecryptStep(uint32_t i, TStegWords& v, const TStegWords& a, const TStegWords& b) {
  const uint32_t m = Partner(i, a, b);
  const uint32_t u = v[i];
  const uint32_t t = v[m];
  v[m] = StegRor(u - b[m], m) - a[m];
  v[i] = StegRor(t - b[i], i) - a[i];
}

} // namespace

void StegEncryptBlock(TStegWords& v, const TStegWords& a, const TStegWords& b) {
  for (uint32_t i = 0; i < 16; ++i)
    EncryptStep(i, v, a, b);
  for (uint32_t i = 16; i-- > 0;)
    EncryptStep(i, v, a, b);
}

void StegDecryptBlock(TStegWords& v, const TStegWords& a, const TStegWords& b) {
  for (uint32_t i = 0; i < 16; ++i)
    DecryptStep(i, v, a, b);
  for (uint32_t i = 16; i-- > 0;)
    DecryptStep(i, v, a, b);
}

TStegKey DeriveStegKey(std::string_view password, const uint8_t* salt, const uint32_t* pixels,
                       size_t pixelCount, int iterations) {
  const TStegWords saltWords = StegWordsFrom(salt);
  TStegWords h = saltWords;
  uint32_t a = 0;
  for (size_t i = 0; i < password.size(); ++i) {
    const size_t w = i & 15;
    // The password's bytes count as signed characters.
    const auto ch = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(password[i])));
    a = StegRol((StegSwap(a + h[w]) + saltWords[w]) ^ ch, a & 16);
    const uint32_t m = (h[a & 15] + saltWords[w]) & 15;
    h[w] = StegSwap(saltWords[m] + h[w]) + StegRol(a + h[m], m);
  }
  StegMix100(h);

  TStegWords k = h;
  uint32_t s = 0;
  for (size_t i = 0; i < pixelCount; ++i) {
    const size_t w = i & 15;
    const uint32_t v = pixels[i] & StegPixelMask;
    s = StegRol(v ^ StegSwap(k[w] + s), s & 16);
    s = s + h[w];
    const uint32_t t = (k[s & 15] + h[w]) & 15;
    k[w] = StegSwap(k[w]) + StegRol(s + k[t], t);
  }
  StegMix100(k);

  TStegKey key{k, k};
  for (int n = 0; n < iterations; ++n)
    StegKeyStep(k, key.A, key.B);
  return key;
}

int64_t StegEncryptBuffer(uint8_t* data, size_t blocks, TStegKey key) {
  TStegWords f = key.A;
  for (size_t i = 0; i < blocks; ++i) {
    uint8_t* bytes = data + i * StegUnit;
    StegKeyStep(f, key.A, key.B);
    f = StegWordsFrom(bytes);
    TStegWords v = f;
    StegEncryptBlock(v, key.A, key.B);
    if (v == f) return static_cast<int64_t>(i);
    StegWordsTo(v, bytes);
  }
  return -1;
}

void StegDecryptBuffer(uint8_t* data, size_t blocks, TStegKey key) {
  TStegWords f = key.A;
  for (size_t i = 0; i < blocks; ++i) {
    uint8_t* bytes = data + i * StegUnit;
    StegKeyStep(f, key.A, key.B);
    TStegWords v = StegWordsFrom(bytes);
    StegDecryptBlock(v, key.A, key.B);
    StegWordsTo(v, bytes);
    f = v;
  }
}

int StegIntegrity(const uint32_t* pixels, size_t pixelCount) {
  uint32_t b = 0, c = 0;
  for (size_t i = 0; i < pixelCount; ++i) {
    b = StegRol((pixels[i] & StegPixelMask) ^ StegSwap(b), b & 16);
    c = StegSwap(b + c);
  }
  return static_cast<int>(((c & 0xFFFF) ^ ((c >> 16) & 0xFFFF)) % 10000);
}

std::vector<uint32_t> StegUsablePixels(const uint32_t* pixels, int width, int height) {
  std::vector<uint32_t> usable;
  if (width < 2 || height < 2) return usable;
  const auto at = [&](int x, int y) {
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] &
           StegPixelMask;
  };
  for (int x = 0; x < width - 1; ++x)
    for (int y = 0; y < height - 1; ++y) {
      const uint32_t p = at(x, y);
      const uint32_t blue = p & 0xFF, green = (p >> 8) & 0xFF, red = (p >> 16) & 0xFF;
      if (blue == green && green == red) continue;
      if (p == at(x + 1, y) || p == at(x, y + 1) || p == at(x + 1, y + 1)) continue;
      usable.push_back(static_cast<uint32_t>(y) * static_cast<uint32_t>(width) +
                       static_cast<uint32_t>(x));
    }
  return usable;
}

size_t StegBlockSize(size_t capacityBits) {
  return capacityBits / 8 / StegUnit * StegUnit;
}

int64_t StegRequiredBits(int64_t size) {
  const auto unit = static_cast<int64_t>(StegUnit);
  return ((size + unit - 1) / unit * unit + static_cast<int64_t>(StegHeaderSize)) * 8;
}

void StegEmbed(uint32_t* pixels, const std::vector<uint32_t>& usable, const uint8_t* block,
               size_t blockSize) {
  const size_t bits = blockSize * 8;
  for (size_t j = 0; j < bits && j < usable.size(); ++j) {
    const uint32_t bit = (block[j / 8] >> (j % 8)) & 1;
    const uint32_t shift = static_cast<uint32_t>(j % 3) * 8;
    uint32_t& pixel = pixels[usable[j]];
    pixel = (pixel & ~(1u << shift)) | (bit << shift);
  }
}

void StegExtract(const uint32_t* pixels, const std::vector<uint32_t>& usable, uint8_t* block,
                 size_t blockSize) {
  std::memset(block, 0, blockSize);
  const size_t bits = blockSize * 8;
  for (size_t j = 0; j < bits && j < usable.size(); ++j) {
    const uint32_t shift = static_cast<uint32_t>(j % 3) * 8;
    const uint32_t bit = (pixels[usable[j]] >> shift) & 1;
    block[j / 8] = static_cast<uint8_t>(block[j / 8] | (bit << (j % 8)));
  }
}

bool IsStegName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string_view("<>|\":\\/?*\0", 10)) == std::string_view::npos;
}

} // namespace cv
