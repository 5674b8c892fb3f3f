#include "foundation/Random.h"

#include <QRandomGenerator>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <sys/random.h>
#include <unistd.h>

namespace cv {

void TRandomSource::Fill(void* bytes, size_t count) {
  auto* out = static_cast<uint8_t*>(bytes);
  while (count > 0) {
    const uint32_t value = Next();
    const size_t n = count < 4 ? count : 4;
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
    out += n;
    count -= n;
  }
}

uint32_t TRandomSource::NextBelow(uint32_t n) {
  if (n <= 1) return 0;
  // Values below 2^32 mod n would make the low results more likely.
  const uint32_t threshold = (0u - n) % n;
  while (true) {
    const uint32_t value = Next();
    if (value >= threshold) return value % n;
  }
}

namespace {

uint32_t MillisecondTicks() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

constexpr uint64_t LibraryMultiplier = 0x015A4E35u;

} // namespace

TRandomGenerator::TRandomGenerator() : TickCount(&MillisecondTicks) {
  // No pointer position exists this early; the process id and the clock's
  // ticks stir the tables instead.
  Seed(static_cast<uint32_t>(std::time(nullptr)), static_cast<int>(::getpid()),
       static_cast<int>(MillisecondTicks()));
}

TRandomGenerator::TRandomGenerator(uint32_t seed, int x, int y, TTickCount tickCount)
    : TickCount(tickCount) {
  Seed(seed, x, y);
}

void TRandomGenerator::Seed(uint32_t seed, int x, int y) {
  LibraryState = static_cast<uint32_t>(seed * LibraryMultiplier + 1);
  State = Draw();
  for (int i = 0; i < 256; ++i) {
    TableA[i] = static_cast<uint8_t>(static_cast<uint32_t>(x) + Draw());
    TableB[i] = static_cast<uint8_t>((static_cast<uint32_t>(y) & 0xFF) + Draw());
  }
  FillIndex = ReadIndex = 0;
}

uint32_t TRandomGenerator::Draw() {
  LibraryState = LibraryState * LibraryMultiplier + 1;
  return static_cast<uint32_t>(LibraryState >> 32) & 0x7FFFFFFFu;
}

uint32_t TRandomGenerator::Next() {
  const uint32_t sum = __builtin_bswap32(State) + TickCount();
  State = (sum >> 1) | (sum << 31);
  const uint8_t i = ReadIndex;
  const auto j = static_cast<uint8_t>(i + 1);
  ReadIndex = static_cast<uint8_t>(ReadIndex + 2);
  const uint32_t high = static_cast<uint32_t>(TableA[i] * 256 + TableB[i]) << 16;
  // Only the sum's low half: its carries OR-ed into the high half would set
  // those bits three times in four.
  const uint32_t low = (Draw() + TableA[TableB[j]] * 256u + TableB[TableA[j]] + State) & 0xFFFFu;
  return high | low;
}

void TRandomGenerator::AddEntropy(uint8_t a, uint8_t b) {
  TableA[FillIndex] = a;
  TableB[FillIndex] = b;
  FillIndex = static_cast<uint8_t>(FillIndex + 1);
}

TRandomGenerator Random;

uint32_t TSystemRandom::Next() {
  uint32_t value = 0;
  Fill(&value, sizeof value);
  return value;
}

void TSystemRandom::Fill(void* bytes, size_t count) {
  auto* out = static_cast<uint8_t*>(bytes);
  while (count > 0) {
    const ssize_t n = ::getrandom(out, count, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // Kernels without the call: Qt's system generator reads /dev/urandom.
      while (count > 0) {
        const quint32 value = QRandomGenerator::system()->generate();
        const size_t k = count < 4 ? count : 4;
        std::memcpy(out, &value, k);
        out += k;
        count -= k;
      }
      return;
    }
    out += n;
    count -= static_cast<size_t>(n);
  }
}

uint32_t TScriptedRandom::Next() {
  if (Values.empty()) return 0;
  return Values[Drawn++ % Values.size()];
}

namespace {
TSystemRandom SystemSource;
TRandomSource* CurrentSecretSource = &SystemSource;
} // namespace

TRandomSource& SecretRandom() { return *CurrentSecretSource; }

TRandomSource* SetSecretRandom(TRandomSource* source) {
  TRandomSource* previous = CurrentSecretSource;
  CurrentSecretSource = source ? source : &SystemSource;
  return previous;
}

} // namespace cv
