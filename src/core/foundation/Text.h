#pragma once
// Text helpers: ASCII case folding, scanning, filter and word lists,
// approximate matching, and conversions between numbers and texts.
// Texts are bytes (UTF-8 by convention); letters are A to Z and a to z only,
// every byte >= 0x80 is a word byte and is compared as it is.

#include <QLocale>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cv {

// The locale of number and date texts: QLocale::system() unless a pin is in
// force. Tests pin one, so their expectations do not depend on the machine.
QLocale FormatLocale();

class TFormatLocalePin {
public:
  explicit TFormatLocalePin(const QLocale& locale);
  ~TFormatLocalePin();
  TFormatLocalePin(const TFormatLocalePin&) = delete;
  TFormatLocalePin& operator=(const TFormatLocalePin&) = delete;

private:
  std::optional<QLocale> Previous;
};

// The first `count` characters of a UTF-8 text, never parting one; a byte
// that is not valid UTF-8 counts as one character.
std::string_view FirstCharacters(std::string_view text, size_t count);

constexpr bool IsAsciiLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
constexpr bool IsAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }
constexpr char UpperCaseChar(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char LowerCaseChar(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);
// Position of `needle` in `text` from `from`, ASCII case ignored; npos when absent.
size_t FindTextNoCase(std::string_view text, std::string_view needle, size_t from = 0);
// A..Z, a..z, 0..9, "_", "-", ".", ",", "@", "/", "\" and every byte >= 0x80.
bool IsWordByte(unsigned char c);

// Copies the text and a terminating zero into the buffer; panics
// "Size too big." when it does not fit.
bool IniText(char* buffer, size_t size, std::string_view text);
// Adds a second zero after the terminator (the double-zero list form).
bool DoubleEndText(char* buffer, size_t size);
bool HasZeroByte(const void* bytes, size_t count);

// CR and LF become blanks, then every run of blanks becomes one blank.
std::string MakeOneLine(std::string_view text);
// LF becomes a blank and CR is removed.
std::string JoinLines(std::string_view text);
// A CR or LF at a 1-based position from 3 to length - 2.
bool HasInnerLineBreak(std::string_view text);
bool HasLetter(std::string_view text);

// "ab_c.txt" has the prefix "ab_"; "a.b_c" has none (the "." comes first).
std::string GetUnderscorePrefix(std::string_view name);
std::string CutUnderscorePrefix(std::string_view name);
std::string ReplaceUnderscorePrefix(std::string_view name, std::string_view prefix);

// First index from `start` whose item equals the text ignoring case, -1 if
// none; a start of 0 or less searches the whole list.
int IndexOfText(std::string_view text, const std::vector<std::string>& list, int start);
int IndexOfTextNoCase(std::string_view text, const std::vector<std::string>& list);

// Every byte as "&#xHH;" (upper-case hexadecimal digits).
std::string TextToHexEntities(std::string_view text);

// Compares n bytes, counting differences; stops with false as soon as the
// count exceeds min((n + 1) / 2, tolerance). `count` gets the count reached.
bool CompareApproximate(const char* a, const char* b, size_t n, int tolerance,
                        int* count = nullptr);
// First start in `text` where `pattern` matches (approximately when the
// tolerance is above 0, exactly otherwise); -1 when none.
std::ptrdiff_t FindApproximate(std::string_view pattern, std::string_view text, int tolerance);

// Filter lists: upper-cased items with a mark word each.
struct TMarkedText {
  std::string Text;
  uint32_t Mark = 0;
};
using TMarkedTextList = std::vector<TMarkedText>;
enum TFilterMark : int {
  fmAll = 0, // written with the "all" prefix: the filter is required
  fmNot = 1, // written with the "not" prefix: the filter is excluded
};
bool GetItemMark(const TMarkedTextList& list, size_t index, int bit);
void SetItemMark(TMarkedTextList& list, size_t index, int bit, bool value);

// Splits `filter` at `separator` into upper-cased, unique items with their
// marks. True when an item is at most two characters long. On failure the
// list is empty.
bool GetListFromMultipleFilter(std::string_view filter, TMarkedTextList& list, char separator,
                               char plainPrefix, char notPrefix, char allPrefix);

enum TWordKind : int { wkAny = 0, wkLetters = 1, wkNumbers = 2 };
// Upper-cased unique words of `text` (see the word rules in Text.cpp),
// restricted to a range counted in delimiters or in words. True on success;
// on failure the list is empty and the status context says why.
bool GetWordListFromText(std::string_view text, std::vector<std::string>& list, int kind,
                         std::string_view delimiter, bool useDelimiter, int first, int last);

// Numbers as texts.
std::string IntToGroupedText(int64_t value);
std::string IntToWidthText(int64_t value, int width);
// The sign comes first: -42 in width 5 is "-0042".
std::string IntToZeroText(int64_t value, int width);

// Texts to numbers. An empty text asks for the default. GetIntFromText
// leaves a failure in the status context for a text that is no integer.
int GetIntFromText(std::string_view text, int low, int high, int defaultValue);
bool CheckIntFromText(std::string_view text, int low, int high, int& value, int defaultValue);
// The decimal separator is "." whatever the locale. `defaulted` tells
// whether the default was taken.
double GetRealFromText(std::string_view text, bool* defaulted, double defaultValue,
                       double high, double low);
double GetRealFromText(std::string_view text, bool* defaulted = nullptr,
                       double defaultValue = 0.0);
// A general floating-point text with "." (up to 15 significant digits).
std::string RealToGeneralText(double value);

} // namespace cv
