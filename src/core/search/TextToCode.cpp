#include "search/TextToCode.h"

#include <cstdint>

namespace cv {

namespace {

// The code point of the valid UTF-8 sequence at `at` and its length; length
// 0 when the byte there starts none (overlong forms, surrogates and values
// above U+10FFFF are not valid).
size_t DecodeUtf8(std::string_view text, size_t at, uint32_t& code) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF; // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0Fu;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07u;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t i = 1; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
    code = (code << 6) | (byte(at + i) & 0x3Fu);
  }
  return length;
}

void AppendReference(std::string& out, uint32_t code) {
  static constexpr char Digits[] = "0123456789ABCDEF";
  char buffer[8];
  int count = 0;
  do {
    buffer[count++] = Digits[code & 0xF];
    code >>= 4;
  } while (code != 0);
  if (count < 2) buffer[count++] = '0';
  out += "&#x";
  while (count > 0)
    out += buffer[--count];
  out += ';';
}

} // namespace

std::string TextToCharacterReferences(std::string_view text) {
  std::string result;
  result.reserve(text.size() * 6);
  for (size_t at = 0; at < text.size();) {
    uint32_t code = 0;
    const size_t length = DecodeUtf8(text, at, code);
    if (length == 0) {
      AppendReference(result, static_cast<unsigned char>(text[at]));
      ++at;
      continue;
    }
    AppendReference(result, code);
    at += length;
  }
  return result;
}

} // namespace cv
