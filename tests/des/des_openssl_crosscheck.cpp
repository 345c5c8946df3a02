// Compares the engine with OpenSSL libcrypto, an independent DES implementation, on random keys
// and blocks from a fixed-seed generator, in both directions and in place.

// OpenSSL 3 marks the DES_* functions deprecated; they are exactly the reference wanted here.
#define OPENSSL_SUPPRESS_DEPRECATED

#include "des/des.hpp"
#include "tests/des/des_test_support.hpp"

#include <gtest/gtest.h>
#include <openssl/des.h>

#include <cstdint>
#include <random>
#include <string>

namespace tolvane::test {
namespace {

constexpr int trialsPerKeyLength = 100000;

// E(K1) D(K2) E(K3) or its inverse, as libcrypto computes it.
std::uint64_t referenceTripleDes(std::uint64_t k1, std::uint64_t k2, std::uint64_t k3,
                                 std::uint64_t block, bool encipher) {
  DES_cblock keys[3];
  DES_key_schedule schedules[3];
  const std::uint64_t keyValues[3] = {k1, k2, k3};
  for (int i = 0; i < 3; ++i) {
    putBigEndian(keyValues[i], keys[i]);
    DES_set_key_unchecked(&keys[i], &schedules[i]);
  }
  DES_cblock in;
  DES_cblock out;
  putBigEndian(block, in);
  DES_ecb3_encrypt(&in, &out, &schedules[0], &schedules[1], &schedules[2],
                   encipher ? DES_ENCRYPT : DES_DECRYPT);
  return getBigEndian(out);
}

TEST(DesOpenSslCrossCheck, RandomKeysAndBlocks) {
  std::mt19937_64 random(5);
  for (int trial = 0; trial < 2 * trialsPerKeyLength; ++trial) {
    const bool twoKeys = trial < trialsPerKeyLength;
    const std::uint64_t k1 = random();
    const std::uint64_t k2 = random();
    const std::uint64_t k3 = twoKeys ? k1 : random();
    const std::uint64_t block = random();
    const DesKeySchedule schedule = twoKeys ? doubleSchedule(k1, k2) : tripleSchedule(k1, k2, k3);
    const std::uint64_t encrypted = run(encryptBlock, schedule, block);
    const std::uint64_t decrypted = run(decryptBlock, schedule, block);
    const std::uint64_t wantEncrypted = referenceTripleDes(k1, k2, k3, block, true);
    const std::uint64_t wantDecrypted = referenceTripleDes(k1, k2, k3, block, false);
    const std::string where = std::string(twoKeys ? "double" : "triple") + " trial " +
                              std::to_string(trial) + " keys " + hex(k1) + " " + hex(k2) + " " +
                              hex(k3) + " block " + hex(block);
    ASSERT_EQ(encrypted, wantEncrypted)
        << where << ": encrypt gave " << hex(encrypted) << ", libcrypto " << hex(wantEncrypted);
    ASSERT_EQ(decrypted, wantDecrypted)
        << where << ": decrypt gave " << hex(decrypted) << ", libcrypto " << hex(wantDecrypted);
    // The same with input and output in one buffer.
    ASSERT_EQ(run(encryptBlock, schedule, block, true), encrypted) << where << ": in place";
    ASSERT_EQ(run(decryptBlock, schedule, block, true), decrypted) << where << ": in place";
  }
}

} // namespace
} // namespace tolvane::test
