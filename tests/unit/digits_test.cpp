// Nibble addressing and hex conversion: the layout every block computation depends on.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "pin/digits.hpp"

namespace tolvane {
namespace {

std::string hex(const NibbleBlock &b) {
  char s[17];
  for (int i = 0; i < 8; ++i) {
    std::snprintf(s + 2 * i, 3, "%02X", b[static_cast<std::size_t>(i)]);
  }
  return s;
}

TEST(NibbleBlock, GetNibbleReadsHighHalfFirst) {
  const NibbleBlock block{0xF0, 0xE1, 0xD2, 0xC3, 0xB4, 0xA5, 0x96, 0x87};
  // Nibbles left to right are exactly the hex text F0E1D2C3B4A59687.
  const char *text = "F0E1D2C3B4A59687";
  for (int i = 0; i < 16; ++i) {
    const int expected = std::stoi(std::string(1, text[i]), nullptr, 16);
    EXPECT_EQ(getNibble(block, i), expected) << "index " << i;
  }
}

TEST(NibbleBlock, SetNibbleTouchesOnlyItsHalf) {
  struct Row {
    NibbleBlock start;
    int index;
    int value;
    const char *expected;
  };
  const Row rows[] = {
      {{}, 3, 0xF, "000F000000000000"},
      {{}, 2, 0xF, "00F0000000000000"},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0, 0, "0FFFFFFFFFFFFFFF"},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 15, 0, "FFFFFFFFFFFFFFF0"},
      // Values above 15 come only from non-digit PAN characters; only the low four bits land.
      {{0x00, 0x00, 0x55}, 5, 0xF, "00005F0000000000"},
      {{}, 4, 0x1A, "0000A00000000000"},
      {{}, 5, 0x1F, "00000F0000000000"},
      {{}, 6, -3, "000000D000000000"},
  };
  for (std::size_t r = 0; r < std::size(rows); ++r) {
    NibbleBlock block = rows[r].start;
    setNibble(block, rows[r].index, rows[r].value);
    EXPECT_EQ(hex(block), rows[r].expected) << "row " << r;
  }
}

TEST(HexText, PairsDecodeInEitherCaseAndEncodeUpperCase) {
  struct Row {
    const char16_t *pair;
    std::uint8_t byte;
  };
  const Row rows[] = {{u"0a", 0x0A}, {u"0A", 0x0A}, {u"ff", 0xFF}, {u"Ff", 0xFF},
                      {u"00", 0x00}, {u"9b", 0x9B}, {u"C3", 0xC3}, {u"7e", 0x7E}};
  for (std::size_t r = 0; r < std::size(rows); ++r) {
    EXPECT_EQ(hexPairToByte(rows[r].pair), rows[r].byte) << "row " << r;
  }
  for (unsigned b = 0; b < 256; ++b) {
    char16_t pair[2];
    byteToHexPair(static_cast<std::uint8_t>(b), pair);
    char expected[3];
    std::snprintf(expected, sizeof expected, "%02X", b);
    EXPECT_EQ(pair[0], expected[0]) << "byte " << b;
    EXPECT_EQ(pair[1], expected[1]) << "byte " << b;
    EXPECT_EQ(hexPairToByte(pair), b);
  }
}

} // namespace
} // namespace tolvane
