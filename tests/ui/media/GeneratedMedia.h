#pragma once
// Small media files made by the tests themselves.

#include <cstdint>
#include <string>

namespace cv::test {

inline void Put(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
}

// A tone of `milliseconds`, 8 kHz, 16-bit mono.
inline std::string Wave(int milliseconds) {
  const uint32_t samples = 8000u * static_cast<uint32_t>(milliseconds) / 1000u;
  std::string data;
  for (uint32_t i = 0; i < samples; ++i)
    Put(data, (i / 8 % 2) ? 0x2000 : 0xE000, 2);
  std::string out = "RIFF";
  Put(out, 36 + static_cast<uint32_t>(data.size()), 4);
  out += "WAVEfmt ";
  Put(out, 16, 4);
  Put(out, 1, 2);
  Put(out, 1, 2);
  Put(out, 8000, 4);
  Put(out, 16000, 4);
  Put(out, 2, 2);
  Put(out, 16, 2);
  out += "data";
  Put(out, static_cast<uint32_t>(data.size()), 4);
  return out + data;
}

// Uncompressed YUV 4:2:0 frames at 10 frames a second.
inline std::string Y4m(int width, int height, int frames) {
  std::string out = "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) +
                    " F10:1 Ip A1:1 C420jpeg\n";
  const size_t luma = static_cast<size_t>(width * height);
  for (int f = 0; f < frames; ++f) {
    out += "FRAME\n";
    out += std::string(luma, static_cast<char>(16 + f * 10));
    out += std::string(luma / 2, static_cast<char>(128));
  }
  return out;
}

} // namespace cv::test
