#include "filesystem/File.h"

#include <gtest/gtest.h>

#include <string>

namespace cv {
namespace {

struct TFilterCase {
  std::string Name, Spec;
  bool Expected;
};

TEST(NameFilterTest, MatchesTable) {
  const TFilterCase cases[] = {
      {"anything", "", true},
      {"", "", true},
      {"readme", "*.*", true},  // no dot, still every file
      {".bashrc", "*.*", true},
      {"a.TXT", "*.txt", true},
      {"A.txt", "*.TXT", true},
      {"a.txt.bak", "*.txt", false},
      {"a.txt", "*.doc;*.txt", true},
      {"a.txt", "*.doc; *.txt ", true}, // spaces around alternatives
      {"a.txt", "*.doc;;", false},
      {"a.txt", ";", false},
      {"abc", "a?c", true},
      {"ac", "a?c", false},
      {"abc", "a*", true},
      {"abc", "*c", true},
      {"abc", "*b", false},
      {"abc", "abc", true},
      {"abcd", "abc", false},
      {"", "*", true},
      {"", "?", false},
      // Only ASCII letters fold: bytes >= 0x80 compare as they are.
      {"\xC3\xA4.txt", "\xC3\x84.txt", false},
      {"\xC3\xA4.TXT", "\xC3\xA4.t?t", true},
      {"\xFF\xFE", "\xFF*", true},
      {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaac", "*a*a*a*a*a*a*a*a*b", false},
      {"x[1].txt", "x[1]*", true},
  };
  for (const TFilterCase& c : cases)
    EXPECT_EQ(MatchesNameFilter(c.Name, c.Spec), c.Expected)
        << "name \"" << c.Name << "\" spec \"" << c.Spec << "\"";
}

} // namespace
} // namespace cv
