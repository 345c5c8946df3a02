// What the program's answers cannot show of the block computations: the masking of a stray
// nibble value, the decimalisation's second pass, which real cipher blocks rarely reach, and the
// PIN blocks of the formats that draw a fill, made from fills the test chooses.

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "base/digits.hpp"
#include "pin/pin_block.hpp"
#include "pin/pvv.hpp"

namespace tolvane {
namespace {

TEST(NibbleBlock, SetNibbleStoresOnlyTheLowFourBits) {
  struct Row {
    int index;
    int value; // above 15 only from a non-digit PAN character under -suppressluhn
    const char16_t *expected;
  };
  const Row rows[] = {
      {5, 0x1F, u"00000F0000000000"}, {4, 0x1A, u"0000A00000000000"}, {7, -3, u"0000000D00000000"}};
  for (const Row &row : rows) {
    NibbleBlock block{};
    setNibble(block, row.index, row.value);
    Text hex;
    appendHex(hex, block);
    EXPECT_EQ(hex, row.expected) << "index " << row.index;
  }
}

TEST(Pvv, DecimalisationTakesDecimalNibblesThenLettersLessTenFromTheLeft) {
  struct Row {
    const char16_t *cipherHex;
    int pvv;
  };
  const Row rows[] = {
      {u"ABCDEF1234567890", 1234}, // decimal nibbles win over earlier letters
      {u"A9BCDE7FFFFFFFFF", 9701}, // two decimal nibbles, then A and B less 10
      {u"FEDCBAFEDCBAFEDC", 5432}, // no decimal nibble at all
      {u"FFFFFFFFFFFFFFF0", 555},  // one decimal nibble, at the very end, comes first
  };
  for (const Row &row : rows) {
    NibbleBlock block{};
    hexToBytes(row.cipherHex, block.data());
    EXPECT_EQ(decimalisePvv(block), row.pvv) << "block " << row.pvv;
  }
}

// Hands out the given bytes, over and over.
class GivenBytes final : public RandomSource {
public:
  explicit GivenBytes(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  void fill(std::span<std::uint8_t> out) override {
    for (std::uint8_t &byte : out) {
      byte = bytes_[next_++ % bytes_.size()];
    }
  }

private:
  std::vector<std::uint8_t> bytes_;
  std::size_t next_ = 0;
};

std::vector<std::uint8_t> bytesOf(const std::string &hex) {
  std::vector<std::uint8_t> bytes(hex.size() / 2);
  hexToBytes(Text(hex.begin(), hex.end()), bytes.data());
  return bytes;
}

TEST(PinBlock, EveryFormatUnderEveryKeySizeMakesAndDecodesTheVectors) {
  std::ifstream file(TOLVANE_PIN_BLOCK_VECTORS);
  ASSERT_TRUE(file.is_open()) << TOLVANE_PIN_BLOCK_VECTORS;
  std::string line, key, pin, pan, random, expected;
  int format = 0, rows = 0;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    std::istringstream(line) >> format >> key >> pin >> pan >> random >> expected;
    const std::vector<std::uint8_t> keyBytes = bytesOf(key == "-" ? "" : key);
    Cipher cipher;
    if (!keyBytes.empty()) {
      const auto family = format == 4 ? CipherFamily::Aes : CipherFamily::Des;
      cipher.setKey(*cipherAlgorithmFor(family, keyBytes.size()), keyBytes);
    }
    const Cipher *maybe = keyBytes.empty() ? nullptr : &cipher;
    const Text pinText(pin.begin(), pin.end()), panText(pan.begin(), pan.end());
    GivenBytes given(bytesOf(random));
    const auto &pinFormat = *findPinBlockFormat(format);
    const auto block = makePinBlock(pinFormat, pinText, panText, maybe, given);
    Text hex;
    appendHex(hex, block->span());
    EXPECT_EQ(hex, Text(expected.begin(), expected.end())) << line;
    EXPECT_EQ(*decodePinBlock(pinFormat, *block, panText, maybe), pinText) << line;
    ++rows;
  }
  EXPECT_GT(rows, 0);
}

// Every byte value once: 252 of them are taken, 42 for each letter, and 252 to 255 are drawn
// again (so a letter drawn after them comes from the next byte); without the letters each
// nibble comes 14 times in 224 draws.
TEST(PinBlock, FillNibblesAreUnbiased) {
  std::vector<std::uint8_t> all(256);
  for (std::size_t i = 0; i < all.size(); ++i) {
    all[i] = static_cast<std::uint8_t>(i);
  }
  for (const bool letters : {true, false}) {
    GivenBytes given(all);
    std::array<std::uint8_t, 252> drawn{};
    randomNibbles(given, std::span(drawn).first(letters ? 252 : 16 * 14), letters);
    std::map<int, int> counts;
    for (std::size_t i = 0; i < (letters ? 252u : 224u); ++i) {
      ++counts[drawn[i]];
    }
    EXPECT_EQ(counts.size(), letters ? 6u : 16u);
    for (const auto &[nibble, count] : counts) {
      EXPECT_EQ(count, letters ? 42 : 14) << "nibble " << nibble;
      EXPECT_TRUE(!letters || nibble >= 10) << "nibble " << nibble;
    }
  }
  GivenBytes biased({252, 253, 254, 255, 7});
  std::array<std::uint8_t, 1> first{};
  randomNibbles(biased, first, true);
  EXPECT_EQ(first[0], 10 + 7 % 6) << "a byte of 252 or more was taken";
}

} // namespace
} // namespace tolvane
