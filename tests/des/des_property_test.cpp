// Properties of the DES engine that hold for every key and block, checked on keys and blocks from
// a fixed-seed generator so that a failure reproduces.

#include "des/des.hpp"
#include "tests/des/des_test_support.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>

namespace tolvane::test {
namespace {

constexpr int trials = 1000;

bool sameBytes(const DesKeySchedule &a, const DesKeySchedule &b) {
  return std::memcmp(a.data(), b.data(), sizeof(RoundKey) * a.size()) == 0;
}

// The schedules start from different junk, which also shows that a builder writes all 96 round
// keys.
TEST(DesProperty, DoubleScheduleIsTripleScheduleOfK1K2K1) {
  std::mt19937_64 random(1);
  for (int trial = 0; trial < trials; ++trial) {
    const std::uint64_t k1 = random();
    const std::uint64_t k2 = random();
    DesKeySchedule twoKeys;
    DesKeySchedule threeKeys;
    std::memset(twoKeys.data(), 0x00, sizeof twoKeys);
    std::memset(threeKeys.data(), 0xFF, sizeof threeKeys);
    makeDoubleKeySchedule(twoKeys, keyBytes({k1, k2}).data());
    makeTripleKeySchedule(threeKeys, keyBytes({k1, k2, k1}).data());
    ASSERT_TRUE(sameBytes(twoKeys, threeKeys))
        << "trial " << trial << " keys " << hex(k1) << " " << hex(k2);
  }
}

TEST(DesProperty, ParityBitsAreIgnored) {
  constexpr std::uint64_t parityBits = 0x0101010101010101;
  std::mt19937_64 random(2);
  for (int trial = 0; trial < trials; ++trial) {
    const std::uint64_t k[3] = {random(), random(), random()};
    const std::uint64_t p[3] = {k[0] ^ (random() & parityBits), k[1] ^ (random() & parityBits),
                                k[2] ^ (random() & parityBits)};
    ASSERT_TRUE(sameBytes(doubleSchedule(k[0], k[1]), doubleSchedule(p[0], p[1])) &&
                sameBytes(tripleSchedule(k[0], k[1], k[2]), tripleSchedule(p[0], p[1], p[2])))
        << "trial " << trial << " keys " << hex(k[0]) << " " << hex(k[1]) << " " << hex(k[2])
        << " against " << hex(p[0]) << " " << hex(p[1]) << " " << hex(p[2]);
  }
}

// Under the weak all-zero key, encryption is its own inverse (and not the identity).
TEST(DesProperty, ZeroKeyEnciphersTwiceToPlaintext) {
  const DesKeySchedule schedule = doubleSchedule(0, 0);
  std::mt19937_64 random(3);
  for (int trial = 0; trial < trials; ++trial) {
    const std::uint64_t block = random();
    const std::uint64_t once = run(encryptBlock, schedule, block);
    ASSERT_NE(once, block) << "trial " << trial << " block " << hex(block);
    ASSERT_EQ(run(encryptBlock, schedule, once), block)
        << "trial " << trial << " block " << hex(block) << " enciphered to " << hex(once);
  }
}

} // namespace
} // namespace tolvane::test
