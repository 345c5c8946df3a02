// PVV decimalisation on crafted cipher blocks: the second pass is rarely reached by real ones.

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

} // namespace
} // namespace tolvane
