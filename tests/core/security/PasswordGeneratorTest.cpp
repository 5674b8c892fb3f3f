#include "security/PasswordGenerator.h"

#include "foundation/Error.h"
#include "foundation/Random.h"

#include <gtest/gtest.h>

#include <set>

namespace cv {
namespace {

TEST(PasswordGeneratorTest, LengthsOutsideTenToFiftyAreRefused) {
  for (const int length : {9, 51, 0, -1}) {
    FunStatContext.Reset(fsPerfect);
    EXPECT_EQ(GeneratePassword(length), "") << length;
    EXPECT_EQ(FunStatContext.Status, fsError) << length;
    EXPECT_EQ(FunStatContext.Description, "Invalid password length.");
    EXPECT_EQ(FunStatContext.Parameter1, std::to_string(length));
  }
  for (const int length : {10, 20, 50}) {
    const std::string password = GeneratePassword(length);
    EXPECT_FALSE(FunStatContext.Failed());
    EXPECT_EQ(password.size(), static_cast<size_t>(length));
    EXPECT_EQ(password.find_first_not_of(PasswordAlphabet), std::string::npos) << password;
  }
}

TEST(PasswordGeneratorTest, EveryCharacterOfTheAlphabetAppearsOverManyDraws) {
  EXPECT_EQ(PasswordAlphabet.size(), 31u);
  std::set<char> seen;
  int digits = 0;
  constexpr int Draws = 200;
  for (int i = 0; i < Draws; ++i)
    for (const char c : GeneratePassword(50)) {
      seen.insert(c);
      digits += c >= '0' && c <= '9';
    }
  EXPECT_EQ(seen, std::set<char>(PasswordAlphabet.begin(), PasswordAlphabet.end()));
  // 10 in 31 per position: 3226 expected of 10000, a standard deviation of 47.
  EXPECT_NEAR(digits, Draws * 50 * 10 / 31, 300);
}

TEST(PasswordGeneratorTest, NumbersPickCharactersInAlphabetOrderFromTheSecretSource) {
  // 31, 32 and 61 give the first, the second and the last character; 3 is
  // drawn again (the few lowest numbers would favour the first characters).
  TScriptedRandom script({31, 32, 61, 3, 36, 37, 38, 39, 40, 41, 42});
  TRandomSource* previous = SetSecretRandom(&script);
  const std::string password = GeneratePassword(10);
  SetSecretRandom(previous);
  EXPECT_EQ(password, "tm9vzgjpdh");
  EXPECT_EQ(script.Drawn, 11u);
}

TEST(PasswordGeneratorTest, HintsNameTheGuessProbability) {
  EXPECT_EQ(GeneratePasswordHint(10),
            "Generate a new password from 10 characters (the guess probability is around 1e-15).");
  EXPECT_EQ(GeneratePasswordHint(50),
            "Generate a new password from 50 characters (the guess probability is around 1e-74).");
}

} // namespace
} // namespace cv
