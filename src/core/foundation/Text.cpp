#include "foundation/Text.h"

#include "foundation/Guard.h"
#include "foundation/QtText.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <unordered_set>

namespace cv {

namespace {

std::optional<QLocale>& PinnedLocale() {
  static std::optional<QLocale> pinned;
  return pinned;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// A decimal integer with an optional sign. Values beyond 64 bits saturate,
// so that they land outside any limit instead of wrapping.
bool ParseInteger(std::string_view text, int64_t& value) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  uint64_t magnitude = 0;
  bool overflow = false;
  for (const char c : text) {
    if (!IsAsciiDigit(static_cast<unsigned char>(c))) return false;
    const auto digit = static_cast<uint64_t>(c - '0');
    if (magnitude > (std::numeric_limits<uint64_t>::max() - digit) / 10) overflow = true;
    else magnitude = magnitude * 10 + digit;
  }
  constexpr uint64_t MaxPositive = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (overflow || magnitude > MaxPositive + (negative ? 1 : 0)) {
    value = negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
  } else if (negative) {
    value = magnitude == MaxPositive + 1 ? std::numeric_limits<int64_t>::min()
                                         : -static_cast<int64_t>(magnitude);
  } else {
    value = static_cast<int64_t>(magnitude);
  }
  return true;
}

bool ParseReal(std::string_view text, double& value) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return false;
  }
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && ptr == end && std::isfinite(value);
}

std::string PaddedIntText(int64_t value, int width, char pad) {
  const bool negative = value < 0;
  const uint64_t magnitude =
      negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  const size_t used = digits.size() + (negative ? 1 : 0);
  const size_t fill = width > 0 && static_cast<size_t>(width) > used ? width - used : 0;
  if (pad == '0') return (negative ? "-" : "") + std::string(fill, '0') + digits;
  return std::string(fill, ' ') + (negative ? "-" : "") + digits;
}

} // namespace

std::string_view FirstCharacters(std::string_view text, size_t count) {
  const auto continuation = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
  size_t end = 0;
  for (size_t characters = 0; end < text.size() && characters < count; ++characters)
    do
      ++end;
    while (end < text.size() && continuation(text[end]));
  return text.substr(0, end);
}

QLocale FormatLocale() {
  const std::optional<QLocale>& pinned = PinnedLocale();
  return pinned ? *pinned : QLocale::system();
}

TFormatLocalePin::TFormatLocalePin(const QLocale& locale) : Previous(PinnedLocale()) {
  PinnedLocale() = locale;
}

TFormatLocalePin::~TFormatLocalePin() { PinnedLocale() = Previous; }

std::string UpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = UpperCaseChar(c);
  return result;
}

std::string LowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = LowerCaseChar(c);
  return result;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperCaseChar(a[i]) != UpperCaseChar(b[i])) return false;
  return true;
}

size_t FindTextNoCase(std::string_view text, std::string_view needle, size_t from) {
  if (needle.size() > text.size()) return std::string_view::npos;
  for (size_t i = from; i + needle.size() <= text.size(); ++i)
    if (SameText(text.substr(i, needle.size()), needle)) return i;
  return std::string_view::npos;
}

bool IsWordByte(unsigned char c) {
  return IsAsciiLetter(c) || IsAsciiDigit(c) || c >= 0x80 || c == '_' || c == '-' || c == '.' ||
         c == ',' || c == '@' || c == '/' || c == '\\';
}

bool IniText(char* buffer, size_t size, std::string_view text) {
  TGuard guard("IniText");
  return guard.Run(false, [&] {
    if (!buffer || text.size() >= size) guard.Panic("Size too big.");
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return true;
  });
}

bool DoubleEndText(char* buffer, size_t size) {
  TGuard guard("DoubleEndText");
  return guard.Run(false, [&] {
    const size_t length = buffer ? ::strnlen(buffer, size) : 0;
    if (!buffer || size < length + 2) guard.Panic("Size too big.");
    buffer[length + 1] = '\0';
    return true;
  });
}

bool HasZeroByte(const void* bytes, size_t count) {
  return count > 0 && std::memchr(bytes, 0, count) != nullptr;
}

std::string MakeOneLine(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    if (c == '\r' || c == '\n') c = ' ';
    if (c == ' ' && !result.empty() && result.back() == ' ') continue;
    result += c;
  }
  return result;
}

std::string JoinLines(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    if (c == '\r') continue;
    result += c == '\n' ? ' ' : c;
  }
  return result;
}

bool HasInnerLineBreak(std::string_view text) {
  // 1-based positions 3 .. length - 2 are 0-based 2 .. length - 3.
  for (size_t i = 2; i + 2 < text.size(); ++i)
    if (text[i] == '\r' || text[i] == '\n') return true;
  return false;
}

bool HasLetter(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return IsAsciiLetter(static_cast<unsigned char>(c)); });
}

std::string GetUnderscorePrefix(std::string_view name) {
  const size_t underscore = name.find('_');
  if (underscore == std::string_view::npos) return {};
  const size_t dot = name.find('.');
  if (dot != std::string_view::npos && dot < underscore) return {};
  return std::string(name.substr(0, underscore + 1));
}

std::string CutUnderscorePrefix(std::string_view name) {
  return std::string(name.substr(GetUnderscorePrefix(name).size()));
}

std::string ReplaceUnderscorePrefix(std::string_view name, std::string_view prefix) {
  return std::string(prefix) + CutUnderscorePrefix(name);
}

int IndexOfText(std::string_view text, const std::vector<std::string>& list, int start) {
  for (size_t i = start > 0 ? static_cast<size_t>(start) : 0; i < list.size(); ++i)
    if (SameText(list[i], text)) return static_cast<int>(i);
  return -1;
}

int IndexOfTextNoCase(std::string_view text, const std::vector<std::string>& list) {
  return IndexOfText(text, list, 0);
}

std::string TextToHexEntities(std::string_view text) {
  static constexpr char Digits[] = "0123456789ABCDEF";
  std::string result;
  result.reserve(text.size() * 6);
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    result += "&#x";
    result += Digits[b >> 4];
    result += Digits[b & 0xF];
    result += ';';
  }
  return result;
}

bool CompareApproximate(const char* a, const char* b, size_t n, int tolerance, int* count) {
  const int64_t limit = std::min<int64_t>(static_cast<int64_t>((n + 1) / 2), tolerance);
  int64_t differences = 0;
  bool match = true;
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i] && ++differences > limit) {
      match = false;
      break;
    }
  }
  if (count) *count = static_cast<int>(differences);
  return match;
}

std::ptrdiff_t FindApproximate(std::string_view pattern, std::string_view text, int tolerance) {
  if (pattern.size() > text.size()) return -1;
  const size_t n = pattern.size();
  for (size_t start = 0; start + n <= text.size(); ++start) {
    const bool match = tolerance > 0
                           ? CompareApproximate(pattern.data(), text.data() + start, n, tolerance)
                           : std::memcmp(pattern.data(), text.data() + start, n) == 0;
    if (match) return static_cast<std::ptrdiff_t>(start);
  }
  return -1;
}

bool GetItemMark(const TMarkedTextList& list, size_t index, int bit) {
  if (index >= list.size() || bit < 0 || bit >= 32) return false;
  return (list[index].Mark >> bit) & 1u;
}

void SetItemMark(TMarkedTextList& list, size_t index, int bit, bool value) {
  if (index >= list.size() || bit < 0 || bit >= 32) return;
  const uint32_t mask = 1u << bit;
  list[index].Mark = value ? (list[index].Mark | mask) : (list[index].Mark & ~mask);
}

bool GetListFromMultipleFilter(std::string_view filter, TMarkedTextList& list, char separator,
                               char plainPrefix, char notPrefix, char allPrefix) {
  TGuard guard("GetListFromMultipleFilter");
  list.clear();
  const bool result = guard.Run(false, [&] {
    bool hasShort = false;
    size_t start = 0;
    while (start <= filter.size()) {
      size_t end = filter.find(separator, start);
      if (end == std::string_view::npos) end = filter.size();
      std::string_view token = filter.substr(start, end - start);
      start = end + 1;
      if (token.empty()) continue;
      uint32_t mark = 0;
      if (token.front() == allPrefix) {
        token.remove_prefix(1);
        mark = 1u << fmAll;
      } else if (token.front() == notPrefix) {
        token.remove_prefix(1);
        mark = 1u << fmNot;
      } else if (token.front() == plainPrefix) {
        token.remove_prefix(1);
      }
      if (token.empty()) continue;
      if (token.size() <= 2) hasShort = true;
      std::string upper = UpperCase(token);
      const bool present = std::any_of(list.begin(), list.end(),
                                       [&](const TMarkedText& item) { return item.Text == upper; });
      if (!present) list.push_back({std::move(upper), mark});
    }
    return hasShort;
  });
  if (guard.Failed()) list.clear();
  return result;
}

namespace {

// Where an extraction bound lies in delimiter mode: the byte offset of a
// delimiter occurrence, or a text end (then nothing is skipped).
struct TBound {
  size_t Offset;
  bool IsOccurrence;
};

TBound DelimiterBound(const std::vector<size_t>& occurrences, size_t textSize, int position,
                      bool isFirst) {
  const size_t count = occurrences.size();
  if (position == 0) return {isFirst ? 0 : textSize, false};
  if (position == -1) return {textSize, false};
  if (count == 0) return {isFirst ? 0 : textSize, false};
  if (position > 0) {
    const size_t k = std::min(static_cast<size_t>(position), count);
    return {occurrences[k - 1], true};
  }
  // -2 is the last occurrence, -3 the one before; further back stays at the first.
  const auto back = static_cast<size_t>(-static_cast<int64_t>(position) - 1);
  return {occurrences[back >= count ? 0 : count - back], true};
}

} // namespace

bool GetWordListFromText(std::string_view text, std::vector<std::string>& list, int kind,
                         std::string_view delimiter, bool useDelimiter, int first, int last) {
  TGuard guard("GetWordListFromText");
  list.clear();
  const bool ok = guard.Run(false, [&] {
    size_t begin = 0, end = text.size();
    // Bytes of a delimiter occurrence end a word even when they are word
    // bytes themselves (a "," delimiter), so fields never glue together.
    std::vector<bool> cut;
    if (useDelimiter && !delimiter.empty()) {
      std::vector<size_t> occurrences;
      for (size_t at = text.find(delimiter); at != std::string_view::npos;
           at = text.find(delimiter, at + delimiter.size()))
        occurrences.push_back(at);
      cut.assign(text.size(), false);
      for (const size_t at : occurrences)
        std::fill_n(cut.begin() + static_cast<std::ptrdiff_t>(at), delimiter.size(), true);
      const TBound from = DelimiterBound(occurrences, text.size(), first, true);
      const TBound to = DelimiterBound(occurrences, text.size(), last, false);
      if (to.Offset < from.Offset)
        guard.Raise("The first extracted word is beyond the last extracted word.",
                    std::to_string(from.Offset + 1), std::to_string(to.Offset + 1));
      begin = std::min(from.Offset + (from.IsOccurrence ? delimiter.size() : 0), to.Offset);
      end = to.Offset;
    }

    const auto wordByte = [&](size_t at) {
      return IsWordByte(static_cast<unsigned char>(text[at])) && (cut.empty() || !cut[at]);
    };
    std::unordered_set<std::string> seen;
    size_t i = begin;
    while (i < end) {
      if (!wordByte(i)) {
        ++i;
        continue;
      }
      const size_t wordStart = i;
      bool letter = false, digit = false;
      for (; i < end && wordByte(i); ++i) {
        letter = letter || IsAsciiLetter(static_cast<unsigned char>(text[i]));
        digit = digit || IsAsciiDigit(static_cast<unsigned char>(text[i]));
      }
      const size_t length = i - wordStart;
      if (!letter && !digit) continue;
      if (kind == wkLetters && !letter) continue;
      if (kind == wkNumbers && (!digit || length < 5)) continue;
      if (length < (letter ? 3u : 5u)) continue;
      std::string word = UpperCase(text.substr(wordStart, length));
      if (seen.insert(word).second) list.push_back(std::move(word));
    }

    if (!useDelimiter && !list.empty()) {
      const int count = static_cast<int>(list.size());
      auto wordNumber = [count](int v) {
        if (v == 0) return 1;
        if (v == -1) v = -2;
        return v < 0 ? std::max(1, count + v + 2) : v;
      };
      const int from = wordNumber(first);
      const int to = wordNumber(last);
      if (to < from)
        guard.Raise("The first extracted word is beyond the last extracted word.",
                    std::to_string(from), std::to_string(to));
      if (from > count) {
        list.clear();
      } else {
        list.erase(list.begin() + std::min(to, count), list.end());
        list.erase(list.begin(), list.begin() + (from - 1));
      }
    }
    return true;
  });
  if (!ok) list.clear();
  return ok;
}

std::string IntToGroupedText(int64_t value) {
  QLocale locale = FormatLocale();
  locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  return FromQString(locale.toString(static_cast<qlonglong>(value)));
}

std::string IntToWidthText(int64_t value, int width) { return PaddedIntText(value, width, ' '); }

std::string IntToZeroText(int64_t value, int width) { return PaddedIntText(value, width, '0'); }

int GetIntFromText(std::string_view text, int low, int high, int defaultValue) {
  if (TrimBlanks(text).empty()) return TGuard::EarlyExit(defaultValue);
  TGuard guard("GetIntFromText");
  return guard.Run(defaultValue, [&] {
    int64_t value = 0;
    if (!ParseInteger(text, value))
      throw std::invalid_argument("\"" + std::string(text) + "\" is not a valid integer value");
    return value < low || value > high ? defaultValue : static_cast<int>(value);
  });
}

bool CheckIntFromText(std::string_view text, int low, int high, int& value, int defaultValue) {
  if (TrimBlanks(text).empty()) {
    value = defaultValue;
    return true;
  }
  int64_t parsed = 0;
  if (ParseInteger(text, parsed) && parsed >= low && parsed <= high) {
    value = static_cast<int>(parsed);
    return true;
  }
  value = defaultValue;
  return false;
}

double GetRealFromText(std::string_view text, bool* defaulted, double defaultValue, double high,
                       double low) {
  double value = 0.0;
  const bool take = !TrimBlanks(text).empty() && ParseReal(text, value) && value >= low &&
                    value <= high;
  if (defaulted) *defaulted = !take;
  return take ? value : defaultValue;
}

double GetRealFromText(std::string_view text, bool* defaulted, double defaultValue) {
  return GetRealFromText(text, defaulted, defaultValue, DBL_MAX, -DBL_MAX);
}

std::string RealToGeneralText(double value) {
  char buffer[64];
  const auto [ptr, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  return error == std::errc() ? std::string(buffer, ptr) : std::string();
}

} // namespace cv
