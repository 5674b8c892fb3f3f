#include "foundation/Random.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

namespace cv {
namespace {

uint32_t FixedTicks() { return 1000; }

TEST(RandomTest, NextBelowRejectsTheBiasedLowValues) {
  // For n = 3, 2^32 mod 3 = 1: the value 0 would favour result 0 and is skipped.
  TScriptedRandom script({0u, 7u});
  EXPECT_EQ(script.NextBelow(3), 1u);
  EXPECT_EQ(script.Drawn, 2u);

  // 0x80000000 (the most negative 32-bit value) is an ordinary draw.
  struct Case { uint32_t value, n, result; } cases[] = {
      {0x80000000u, 10, 8},  {0xFFFFFFFFu, 10, 5}, {12345u, 1, 0},
      {12345u, 0, 0},        {0xFFFFFFFFu, 0xFFFFFFFFu, 0},
  };
  for (const auto& c : cases) {
    TScriptedRandom one({c.value});
    EXPECT_EQ(one.NextBelow(c.n), c.result) << c.value << " below " << c.n;
  }
}

TEST(RandomTest, FillTakesBytesLowFirst) {
  TScriptedRandom script({0x04030201u, 0x08070605u});
  std::array<uint8_t, 6> bytes{};
  script.Fill(bytes.data(), bytes.size());
  EXPECT_EQ(bytes, (std::array<uint8_t, 6>{1, 2, 3, 4, 5, 6}));
}

TEST(RandomTest, SeededGeneratorRepeatsAndEntropyChangesIt) {
  TRandomGenerator a(42, 10, 20, &FixedTicks);
  TRandomGenerator b(42, 10, 20, &FixedTicks);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(a.Next(), b.Next());
  EXPECT_EQ(a.ReadIndex, 16);

  TRandomGenerator c(42, 10, 20, &FixedTicks);
  for (int i = 0; i < 300; ++i) c.AddEntropy(static_cast<uint8_t>(i), 0x5A);
  EXPECT_EQ(c.FillIndex, 300 % 256); // wraps at 256
  EXPECT_EQ(c.TableA[43], 43);
  EXPECT_EQ(c.TableA[0], 0);   // overwritten by the 257th pair (i = 256)
  EXPECT_EQ(c.TableB[7], 0x5A);
  TRandomGenerator d(42, 10, 20, &FixedTicks);
  int differences = 0;
  for (int i = 0; i < 8; ++i) differences += c.Next() != d.Next();
  EXPECT_GT(differences, 0);
}

TEST(RandomTest, EveryBitIsSetAboutHalfTheTime) {
  // The upper half comes from the tables, which repeat after 128 draws:
  // several seeds give enough distinct entries.
  constexpr int Seeds = 16, DrawsPerSeed = 1024, Draws = Seeds * DrawsPerSeed;
  std::array<int, 32> set{};
  int upperHalf = 0;
  for (uint32_t seed = 1; seed <= Seeds; ++seed) {
    TRandomGenerator generator(seed, 10, 20, &FixedTicks);
    for (int i = 0; i < DrawsPerSeed; ++i) {
      const uint32_t value = generator.Next();
      for (int bit = 0; bit < 32; ++bit)
        set[bit] += (value >> bit) & 1;
      upperHalf += generator.NextBelow(131072) >= 65536;
    }
  }
  // A biased bit is set three times in four.
  for (int bit = 0; bit < 32; ++bit) {
    EXPECT_GT(set[bit], Draws * 44 / 100) << "bit " << bit;
    EXPECT_LT(set[bit], Draws * 56 / 100) << "bit " << bit;
  }
  EXPECT_GT(upperHalf, Draws * 44 / 100);
  EXPECT_LT(upperHalf, Draws * 56 / 100);
}

TEST(RandomTest, ProgramGeneratorCoversSmallRanges) {
  std::set<uint32_t> seen;
  for (int i = 0; i < 2000; ++i) seen.insert(Random.NextBelow(10));
  EXPECT_EQ(seen.size(), 10u);
  EXPECT_EQ(*seen.rbegin(), 9u);
}

TEST(RandomTest, SecretSourceIsTheSystemUnlessReplaced) {
  std::array<uint8_t, 64> first{}, second{};
  SecretRandom().Fill(first.data(), first.size());
  SecretRandom().Fill(second.data(), second.size());
  EXPECT_NE(first, second);

  TScriptedRandom script({5u});
  TRandomSource* previous = SetSecretRandom(&script);
  EXPECT_EQ(SecretRandom().Next(), 5u);
  EXPECT_EQ(SecretRandom().NextBelow(4), 1u);
  SetSecretRandom(previous);
  EXPECT_NE(&SecretRandom(), &script);
  SetSecretRandom(nullptr);
  EXPECT_NE(&SecretRandom(), &script);
}

} // namespace
} // namespace cv
