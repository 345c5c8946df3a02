// PVV decimalisation on crafted cipher blocks, and the published value.

#include <gtest/gtest.h>

#include <cstdint>

#include "pin/pvv.hpp"

namespace tolvane {
namespace {

TEST(Pvv, DecimalisationPrefersDecimalNibblesThenLettersFromTheLeft) {
  struct Row {
    const char16_t *cipherHex;
    int pvv;
  };
  const Row rows[] = {
      {u"1234FFFFFFFFFFFF", 1234}, // first four nibbles decimal
      {u"ABCDEF1234567890", 1234}, // decimal nibbles win over earlier letters
      {u"A9BCDE7FFFFFFFFF", 9701}, // two decimal nibbles, then A and B less 10
      {u"FEDCBAFEDCBAFEDC", 5432}, // no decimal nibble at all
      {u"FFFFFFFFFFFFFFF0", 555},  // one decimal nibble, at the very end, comes first
      {u"0000FFFFFFFFFFFF", 0},
      {u"00AA07FFFFFFFFFF", 7},
  };
  for (std::size_t r = 0; r < std::size(rows); ++r) {
    EXPECT_EQ(decimalisePvv(hexToBlock(rows[r].cipherHex)), rows[r].pvv) << "row " << r;
  }
}

TEST(Pvv, FormattingKeepsLeadingZeros) {
  EXPECT_EQ(formatPvv(0), u"0000");
  EXPECT_EQ(formatPvv(7), u"0007");
  EXPECT_EQ(formatPvv(123), u"0123");
  EXPECT_EQ(formatPvv(9999), u"9999");
}

// Published test value of a public payments library: PVK 0123456789ABCDEFFEDCBA9876543210,
// PVKI 1, PIN 4524, PAN 1122334455667788 gives PVV 8523.
TEST(Pvv, PublishedValue) {
  const std::uint8_t kpv[] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                              0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
  EXPECT_EQ(computePvv(u"1122334455667788", 1, u"4524", kpv), 8523);
  // Bytes past the sixteenth are never read: a third key changes nothing.
  std::uint8_t longer[24] = {};
  std::copy(std::begin(kpv), std::end(kpv), longer);
  longer[16] = 0xAA;
  EXPECT_EQ(computePvv(u"1122334455667788", 1, u"4524", longer), 8523);
}

} // namespace
} // namespace tolvane
