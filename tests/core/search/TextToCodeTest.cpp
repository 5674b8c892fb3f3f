#include "search/TextToCode.h"

#include <gtest/gtest.h>

namespace cv {
namespace {

TEST(TextToCodeTest, OneReferencePerCharacterOrInvalidByte) {
  struct TCase {
    const char* Name;
    std::string Text;
    const char* Code;
  };
  const TCase cases[] = {
      {"letters", "abc", "&#x61;&#x62;&#x63;"},
      {"mailto", "mailto:", "&#x6D;&#x61;&#x69;&#x6C;&#x74;&#x6F;&#x3A;"},
      {"empty", "", ""},
      {"control keeps two digits", "\n", "&#x0A;"},
      {"two-byte character", "\xC3\xA9", "&#xE9;"},
      {"three-byte character", "\xE2\x82\xAC", "&#x20AC;"},
      {"four-byte character", "\xF0\x9F\x98\x80", "&#x1F600;"},
      {"a lone byte that is not UTF-8", "\xE9", "&#xE9;"},
      {"invalid bytes one each", "a\xFF\xC3", "&#x61;&#xFF;&#xC3;"},
      {"overlong form is invalid", "\xC0\xAF", "&#xC0;&#xAF;"},
      {"surrogate is invalid", "\xED\xA0\x80", "&#xED;&#xA0;&#x80;"},
      {"cut sequence then ASCII",
       "\xE2\x82"
       "a",
       "&#xE2;&#x82;&#x61;"},
      {"NUL", std::string("\0", 1), "&#x00;"},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(TextToCharacterReferences(c.Text), c.Code) << c.Name;
}

TEST(TextToCodeTest, GeneratingTwiceConvertsTheCodeAgain) {
  const std::string once = TextToCharacterReferences("a");
  EXPECT_EQ(once, "&#x61;");
  EXPECT_EQ(TextToCharacterReferences(once), "&#x26;&#x23;&#x78;&#x36;&#x31;&#x3B;");
}

} // namespace
} // namespace cv
