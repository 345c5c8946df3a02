// CMAC known answers through the cipher seam, AES and Triple-DES, read from cmac_vectors.txt,
// with the verification of whole and shortened MACs; and the AES key check value.

#include "crypto/cmac.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "support/hex.hpp"

namespace tolvane {
namespace {

TEST(Cmac, KnownAnswersAndVerification) {
  std::ifstream file(TOLVANE_CMAC_VECTORS);
  ASSERT_TRUE(file.is_open()) << "cannot read " << TOLVANE_CMAC_VECTORS;
  std::string line, kind, key, message, expected;
  int rows = 0;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    std::istringstream(line) >> kind >> key >> message >> expected;
    const std::string where = "line " + std::to_string(number);
    ++rows;
    const Bytes keyBytes = fromHex(key);
    const auto family = kind == "tdes" ? CipherFamily::Des : CipherFamily::Aes;
    const Cipher cipher(*cipherAlgorithmFor(family, keyBytes.size()), keyBytes);
    if (kind == "kcv") {
      const CheckValue value = keyCheckValue(cipher);
      EXPECT_EQ(toHex(std::span(value.bytes).first(value.size)), expected) << where;
      continue;
    }
    const Bytes text = fromHex(message == "-" ? "" : message);
    const Mac mac = computeCmac(cipher, text);
    EXPECT_EQ(toHex(std::span(mac.bytes).first(mac.size)), expected) << where;

    // Whole and cut short it verifies; a flipped bit anywhere, or no MAC at all, does not.
    Bytes given = fromHex(expected);
    EXPECT_TRUE(verifyCmac(cipher, text, given)) << where;
    EXPECT_TRUE(verifyCmac(cipher, text, std::span(given).first(4))) << where;
    EXPECT_FALSE(verifyCmac(cipher, text, {})) << where;
    for (const std::size_t i : {std::size_t{0}, given.size() - 1}) {
      given[i] ^= 0x10;
      EXPECT_FALSE(verifyCmac(cipher, text, given)) << where << ", byte " << i << " flipped";
      given[i] ^= 0x10;
    }
  }
  EXPECT_GT(rows, 0);
}

} // namespace
} // namespace tolvane
