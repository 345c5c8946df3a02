// Timing of the PIN computations as one command runs them: schedule, block, cipher, result.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "base/digits.hpp"
#include "pin/pin_block.hpp"
#include "pin/pvv.hpp"

namespace {

constexpr std::array<std::uint8_t, 16> kpv{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                                           0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
constexpr std::array<std::uint8_t, 24> kpe{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                                           0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10,
                                           0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67};

void computePvv(benchmark::State &state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(tolvane::computePvv(u"4111111111111111", 1, u"1234", tolvane::Cipher(tolvane::CipherAlgorithm::Tdes, kpv)));
  }
}
BENCHMARK(computePvv);

void makePinBlockThreeKey(benchmark::State &state) {
  for (auto _ : state) {
    const tolvane::Cipher cipher(tolvane::CipherAlgorithm::Tdes, kpe);
    benchmark::DoNotOptimize(tolvane::makePinBlock(u"1234", u"4111111111111111", &cipher));
  }
}
BENCHMARK(makePinBlockThreeKey);

void decodePinBlockThreeKey(benchmark::State &state) {
  const tolvane::Cipher made(tolvane::CipherAlgorithm::Tdes, kpe);
  const auto block = *tolvane::makePinBlock(u"1234", u"4111111111111111", &made);
  for (auto _ : state) {
    const tolvane::Cipher cipher(tolvane::CipherAlgorithm::Tdes, kpe);
    benchmark::DoNotOptimize(tolvane::decodePinBlock(block, &cipher, u"4111111111111111"));
  }
}
BENCHMARK(decodePinBlockThreeKey);

} // namespace
