// Known answers of each AES implementation, read from aes_vectors.txt, and the AES-NI one against
// the bitsliced one on random keys of every size. Cases that need AES-NI are skipped, and say so,
// where the build or the processor lacks it.

#include "aes/aes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "support/hex.hpp"

namespace tolvane {
namespace {

constexpr const char *noAesNi = "no AES-NI in this build or on this processor";

void expectKnownAnswers(const AesImplementation &aes) {
  std::ifstream file(TOLVANE_AES_VECTORS);
  ASSERT_TRUE(file.is_open()) << "cannot read " << TOLVANE_AES_VECTORS;
  std::string line, key, plain, cipher;
  int rows = 0;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    std::istringstream(line) >> key >> plain >> cipher;
    AesKeySchedule schedule;
    aes.makeSchedule(schedule, fromHex(key));
    Bytes block = fromHex(plain);
    encryptBlock(schedule, block.data(), block.data());
    EXPECT_EQ(toHex(block), cipher) << aes.name << ", line " << number << ", encrypting";
    block = fromHex(cipher);
    decryptBlock(schedule, block.data(), block.data());
    EXPECT_EQ(toHex(block), plain) << aes.name << ", line " << number << ", decrypting";
    ++rows;
  }
  EXPECT_GT(rows, 0);
}

TEST(AesBitsliced, KnownAnswersBothWays) { expectKnownAnswers(aesBitsliced); }

TEST(AesNi, KnownAnswersBothWays) {
  if (aesNi() == nullptr) {
    GTEST_SKIP() << noAesNi;
  }
  expectKnownAnswers(*aesNi());
}

TEST(AesNi, AgreesWithBitslicedOnRandomKeys) {
  const AesImplementation *ni = aesNi();
  if (ni == nullptr) {
    GTEST_SKIP() << noAesNi;
  }
  std::mt19937 random(197);
  for (std::size_t trial = 0; trial < 3000; ++trial) {
    Bytes bytes(48), a(16), b(16); // the block, then the key
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<std::uint8_t>(random()); });
    const std::span<const std::uint8_t> key = std::span(bytes).subspan(16, 16 + 8 * (trial % 3));
    AesKeySchedule bitsliced, native;
    aesBitsliced.makeSchedule(bitsliced, key);
    ni->makeSchedule(native, key);
    for (const auto run : {&AesImplementation::encrypt, &AesImplementation::decrypt}) {
      (aesBitsliced.*run)(bitsliced, bytes.data(), a.data());
      (ni->*run)(native, bytes.data(), b.data());
      EXPECT_EQ(toHex(a), toHex(b)) << "block and key " << toHex(bytes);
    }
  }
}

} // namespace
} // namespace tolvane
