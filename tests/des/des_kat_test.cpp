// Known answers of the DES engine, read from des_vectors.txt, and three-key Triple-DES
// Monte-Carlo chains: four million blocks through 400 key schedules each, so that a fault in
// any round key or in the order the schedule runs them shows in the last block. These run the
// preferred engine; the portable one must agree with it on random keys and blocks.

#include "des/des.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/hex.hpp"

namespace tolvane {
namespace {

// A single key K runs as K||K and K||K||K, a two-key K1||K2 also as K1||K2||K1: EDE with
// equal neighbouring keys collapses to what is left.
TEST(DesKnownAnswer, VectorFile) {
  std::ifstream file(TOLVANE_DES_VECTORS);
  ASSERT_TRUE(file.is_open()) << "cannot read " << TOLVANE_DES_VECTORS;
  std::string line, key, plain, cipher;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    std::istringstream(line) >> key >> plain >> cipher;
    const Bytes keys = fromHex((key + key + key).substr(0, 48)); // K1||K2||K3 in every case
    for (const bool twoKeys : {false, key.size() < 48}) {        // three keys have no double form
      const char *kind = twoKeys ? " as double" : " as triple";
      DesKeySchedule schedule;
      (twoKeys ? makeDoubleKeySchedule : makeTripleKeySchedule)(schedule, keys.data());
      Bytes block = fromHex(plain), out(8);
      encryptBlock(schedule, block.data(), out.data());
      EXPECT_EQ(toHex(out), cipher) << "line " << number << kind << ", encrypting";
      decryptBlock(schedule, out.data(), out.data());
      EXPECT_EQ(toHex(out), plain) << "line " << number << kind << ", in place";
    }
    if (key.size() == 16) {
      SingleDesKeySchedule single;
      makeSingleKeySchedule(single, keys.data());
      Bytes out = fromHex(plain);
      encryptBlock(single, out.data(), out.data());
      EXPECT_EQ(toHex(out), cipher) << "line " << number << " as single, encrypting";
      decryptBlock(single, out.data(), out.data());
      EXPECT_EQ(toHex(out), plain) << "line " << number << " as single, in place";
    }
  }
}

// Each outer round runs 10,000 blocks in place under one key, each block the output of the one
// before. The outputs of blocks 9,998, 9,999 and 10,000 (counting from 1) are XORed into K3, K2
// and K1 for the next round, which goes on from the last output.
void expectMonteCarlo(bool encipher, const std::string &k1k2k3, const std::string &first,
                      const std::string &last) {
  Bytes key = fromHex(k1k2k3);
  Bytes block = fromHex(first);
  for (int outer = 0; outer < 400; ++outer) {
    DesKeySchedule schedule;
    makeTripleKeySchedule(schedule, key.data());
    for (std::size_t inner = 1; inner <= 10000; ++inner) {
      if (encipher) {
        encryptBlock(schedule, block.data(), block.data());
      } else {
        decryptBlock(schedule, block.data(), block.data());
      }
      for (std::size_t i = 0; inner >= 9998 && i < 8; ++i) {
        key[8 * (10000 - inner) + i] ^= block[i];
      }
    }
  }
  EXPECT_EQ(toHex(block), last) << (encipher ? "encrypting" : "decrypting");
}

TEST(DesKnownAnswer, TripleDesMonteCarlo) {
  expectMonteCarlo(true, "9EC2372C86379DF4AD7AC4464F73805D20C4F87564527C91", "B624D6BD41783AB1",
                   "EAFD97B190B167FE");
  expectMonteCarlo(false, "79B63486E0CE37E008E65231ABAE37101F5EB69E925EF185", "2783AA729432FE96",
                   "44937CA532CDBF98");
}

// Every round key, and single and Triple-DES blocks, the AVX2 engine against the portable one.
TEST(DesEngines, AgreeOnRandomKeysAndBlocks) {
  const DesImplementation *avx2 = desAvx2();
  if (avx2 == nullptr) {
    GTEST_SKIP() << "no AVX2 engine in this build or on this processor";
  }
  std::mt19937 random(46);
  const auto fill = [&](auto &bytes) {
    for (auto &byte : bytes) {
      byte = static_cast<std::uint8_t>(random());
    }
  };
  for (int trial = 0; trial < 2000; ++trial) {
    std::array<std::uint8_t, 8> key{}, block{}, fromAvx2{}, fromPortable{};
    fill(block);
    std::array<RoundKey, 48> keys{}, portableKeys{};
    for (std::size_t i = 0; i < 48; i += 16) {
      fill(key);
      avx2->expandKey(&keys[i], key.data());
      desPortable.expandKey(&portableKeys[i], key.data());
    }
    for (std::size_t i = 0; i < 48; ++i) {
      ASSERT_EQ(std::uint64_t{keys[i].w1} << 32 | keys[i].w0,
                std::uint64_t{portableKeys[i].w1} << 32 | portableKeys[i].w0)
          << "trial " << trial << ", round key " << i;
    }
    avx2->single(keys.data(), block.data(), fromAvx2.data());
    desPortable.single(keys.data(), block.data(), fromPortable.data());
    ASSERT_EQ(toHex(fromAvx2), toHex(fromPortable)) << "trial " << trial << ", single DES";
    avx2->triple(keys.data(), block.data(), fromAvx2.data());
    desPortable.triple(keys.data(), block.data(), fromPortable.data());
    ASSERT_EQ(toHex(fromAvx2), toHex(fromPortable)) << "trial " << trial << ", Triple-DES";
  }
}

} // namespace
} // namespace tolvane
