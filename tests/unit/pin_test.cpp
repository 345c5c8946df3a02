// What the program's answers cannot show of the block computations: the masking of a stray
// nibble value, and the decimalisation's second pass, which real cipher blocks rarely reach.

#include <gtest/gtest.h>

#include "pin/digits.hpp"
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
      {5, 0x1F, u"55555F5555555555"}, {4, 0x1A, u"5555A55555555555"}, {6, -3, u"555555D555555555"}};
  for (const Row &row : rows) {
    NibbleBlock block = hexToBlock(u"5555555555555555");
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
