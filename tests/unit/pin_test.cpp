// What the program's answers cannot show of the block computations: the masking of a stray
// nibble value, and the decimalisation's second pass, which real cipher blocks rarely reach.

#include <gtest/gtest.h>

#include "base/digits.hpp"
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
    EXPECT_EQ(blockToHex(block), row.expected) << "index " << row.index;
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
    EXPECT_EQ(decimalisePvv(hexToBlock(row.cipherHex)), row.pvv) << "block " << row.pvv;
  }
}

} // namespace
} // namespace tolvane
