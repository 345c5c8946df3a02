// Format-0 PIN blocks: the two fields, round trips under every key length, and the order of
// the sanity checks.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/errors.hpp"
#include "pin/pin_block.hpp"

namespace tolvane {
namespace {

const std::vector<std::uint8_t> kNoKey;

std::vector<std::uint8_t> bytes(const Text &hex) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(hexPairToByte(&hex[i]));
  }
  return out;
}

TEST(PinBlock, FieldsHaveTheirLayout) {
  NibbleBlock field;
  makePanField(field, u"7903546128704652");
  EXPECT_EQ(blockToHex(field), u"0000354612870465");
  makePanField(field, u"4111111111113"); // 13 digits: all but the check digit
  EXPECT_EQ(blockToHex(field), u"0000411111111111");
  makePanField(field, u"411111111111"); // too short, only under -suppressluhn
  EXPECT_EQ(blockToHex(field), u"0000000000000000");
  makePinField(field, u"1234");
  EXPECT_EQ(blockToHex(field), u"041234FFFFFFFFFF");
  makePinField(field, u"12345678901234");
  EXPECT_EQ(blockToHex(field), u"0E12345678901234");
}

TEST(PinBlock, EveryPinLengthRoundTripsUnderEveryKeyLength) {
  const Text keys[] = {u"", u"0123456789ABCDEF0123456789ABCDEF",
                       u"0123456789ABCDEFFEDCBA9876543210",
                       u"0123456789ABCDEFFEDCBA987654321089ABCDEF01234567"};
  const Text pan = u"7903546128704652";
  const Text digits = u"90817263544536";
  for (const Text &keyHex : keys) {
    const auto key = bytes(keyHex);
    for (std::size_t length = 4; length <= 14; ++length) {
      const Text pin = digits.substr(0, length);
      const Text hex = blockToHex(makePinBlock(pin, pan, key));
      EXPECT_EQ(decodePinBlock(hex, key, pan), pin) << "key " << keyHex.size() << " hex digits";
    }
  }
}

TEST(PinBlock, SanityChecksRunInTheirOrder) {
  struct Row {
    const char16_t *block;
    const char16_t *problem;
  };
  // With the PAN of thirteen zeros the block is the clear PIN field.
  const Row rows[] = {
      {u"1FFFFFFFFFFFFFFF", u"PIN Sanity; format"},
      {u"1AFFFFFFFFFFFFFF", u"PIN Sanity; format"}, // format outranks everything
      {u"03FFFFFFFFFFFFFF", u"PIN Sanity; length"},
      {u"0FFFFFFFFFFFFFFF", u"PIN Sanity; length"},
      {u"04AAAAFFFFFFFFF0", u"PIN Sanity; padding"}, // padding outranks digits
      {u"041234FFFFFFFFFE", u"PIN Sanity; padding"},
      {u"04ABCDFFFFFFFFFF", u"PIN Sanity; digits"},
      {u"0E1234567890123A", u"PIN Sanity; digits"},
  };
  for (std::size_t r = 0; r < std::size(rows); ++r) {
    try {
      decodePinBlock(rows[r].block, kNoKey, u"0000000000000");
      ADD_FAILURE() << "row " << r << ": accepted";
    } catch (const excProblem &e) {
      EXPECT_EQ(e.text, rows[r].problem) << "row " << r;
    }
  }
}

} // namespace
} // namespace tolvane
