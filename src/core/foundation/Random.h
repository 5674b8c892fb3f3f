#pragma once
// Random numbers. `Random` gives variety (shuffles, noise) and is no secret;
// secrets (salts, passwords, random fill) come from SecretRandom(), the
// operating system's generator, which tests replace by a scripted source.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace cv {

class TRandomSource {
public:
  virtual ~TRandomSource() = default;
  // 32 uniformly distributed bits.
  virtual uint32_t Next() = 0;
  virtual void Fill(void* bytes, size_t count);
  // Uniform in [0, n) without modulo bias; 0 for n == 0.
  uint32_t NextBelow(uint32_t n);
};

// The program's generator for variety: a seeded table generator stirred by
// the clock and by mouse moves.
class TRandomGenerator : public TRandomSource {
public:
  using TTickCount = uint32_t (*)();
  // Seeds from the calendar time and the process.
  TRandomGenerator();
  // A fixed seed and tick source, for repeatable runs.
  TRandomGenerator(uint32_t seed, int x, int y, TTickCount tickCount);

  uint32_t Next() override;
  // Stores two bytes in the tables (the item lists give the low bytes of
  // the pointer's screen position on every mouse move).
  void AddEntropy(uint8_t a, uint8_t b);

  uint8_t FillIndex = 0;
  uint8_t ReadIndex = 0;
  std::array<uint8_t, 256> TableA{};
  std::array<uint8_t, 256> TableB{};
  uint32_t State = 0;

private:
  void Seed(uint32_t seed, int x, int y);
  uint32_t Draw();

  uint64_t LibraryState = 0;
  TTickCount TickCount;
};

extern TRandomGenerator Random;

// getrandom(2), with QRandomGenerator::system() where the call is missing.
class TSystemRandom : public TRandomSource {
public:
  uint32_t Next() override;
  void Fill(void* bytes, size_t count) override;
};

// Replays its values in a loop (tests).
class TScriptedRandom : public TRandomSource {
public:
  explicit TScriptedRandom(std::vector<uint32_t> values) : Values(std::move(values)) {}
  uint32_t Next() override;
  size_t Drawn = 0;

private:
  std::vector<uint32_t> Values;
};

// The source of secrets: the system generator unless replaced.
TRandomSource& SecretRandom();
// Installs a source (null restores the system one) and returns the previous.
TRandomSource* SetSecretRandom(TRandomSource* source);

} // namespace cv
