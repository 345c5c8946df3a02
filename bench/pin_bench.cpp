// Timing of the PIN computations as one command runs them: key schedule, block, cipher, result.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "pin/pin_block.hpp"
#include "pin/pvv.hpp"

namespace {

using tolvane::Cipher;
using tolvane::CipherAlgorithm;

constexpr std::array<std::uint8_t, 16> kpv{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                                           0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
constexpr std::array<std::uint8_t, 24> kpe{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                                           0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10,
                                           0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67};

// Format 0 draws nothing; a source that hands out zeros keeps the timing to the computation.
class Zeros final : public tolvane::RandomSource {
public:
  void fill(std::span<std::uint8_t> bytes) override { std::fill(bytes.begin(), bytes.end(), 0); }
};

void computePvv(benchmark::State &state) {
  for (auto _ : state) {
    const Cipher cipher(CipherAlgorithm::Tdes2, kpv);
    benchmark::DoNotOptimize(tolvane::computePvv(u"4111111111111111", 1, u"1234", cipher));
  }
}
BENCHMARK(computePvv);

void makePinBlockThreeKey(benchmark::State &state) {
  Zeros zeros;
  const auto &format = *tolvane::findPinBlockFormat(0);
  for (auto _ : state) {
    const Cipher cipher(CipherAlgorithm::Tdes3, kpe);
    benchmark::DoNotOptimize(
        tolvane::makePinBlock(format, u"1234", u"4111111111111111", &cipher, zeros));
  }
}
BENCHMARK(makePinBlockThreeKey);

void decodePinBlockThreeKey(benchmark::State &state) {
  Zeros zeros;
  const auto &format = *tolvane::findPinBlockFormat(0);
  const Cipher made(CipherAlgorithm::Tdes3, kpe);
  const auto block = tolvane::makePinBlock(format, u"1234", u"4111111111111111", &made, zeros);
  for (auto _ : state) {
    const Cipher cipher(CipherAlgorithm::Tdes3, kpe);
    benchmark::DoNotOptimize(tolvane::decodePinBlock(format, *block, u"4111111111111111", &cipher));
  }
}
BENCHMARK(decodePinBlockThreeKey);

} // namespace
