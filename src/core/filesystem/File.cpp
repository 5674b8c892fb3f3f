#include "filesystem/File.h"

namespace cv {

namespace {

constexpr unsigned char FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// Greedy wildcard match that backtracks only to the last "*": linear in
// practice, never exponential on patterns like "*a*a*a*b".
bool WildcardMatch(std::string_view text, std::string_view pattern) {
  size_t t = 0, p = 0;
  size_t starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starT = t;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || FoldAscii(static_cast<unsigned char>(pattern[p])) ==
                                         FoldAscii(static_cast<unsigned char>(text[t])))) {
      ++p;
      ++t;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

} // namespace

bool MatchesNameFilter(std::string_view name, std::string_view spec) {
  if (spec.empty()) return true;
  size_t start = 0;
  while (start <= spec.size()) {
    size_t end = spec.find(';', start);
    if (end == std::string_view::npos) end = spec.size();
    std::string_view pattern = spec.substr(start, end - start);
    while (!pattern.empty() && pattern.front() == ' ') pattern.remove_prefix(1);
    while (!pattern.empty() && pattern.back() == ' ') pattern.remove_suffix(1);
    if (!pattern.empty()) {
      // "*.*" has always meant "every file", also names without a dot.
      if (pattern == "*.*" || WildcardMatch(name, pattern)) return true;
    }
    start = end + 1;
  }
  return false;
}

} // namespace cv
