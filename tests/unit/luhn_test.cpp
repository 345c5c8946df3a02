// The Luhn check and check digit, from known numbers and from the defining property.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "pin/digits.hpp"
#include "pin/luhn.hpp"

namespace tolvane {
namespace {

TEST(Luhn, CheckDigitOfKnownPrefixes) {
  struct Row {
    const char16_t *digits;
    int checkDigit;
  };
  const Row rows[] = {
      {u"790354612870465", 2}, {u"400000000000000", 2}, {u"1", 8},
      {u"", 0},                {u"411111111111111", 1}, {u"4", 2},
      {u"41111X1111111111", 0}, // a non-digit anywhere gives 0
      {u"\uFF11", 0},            // a full-width digit is not a digit
  };
  for (std::size_t r = 0; r < std::size(rows); ++r) {
    EXPECT_EQ(luhnCheckDigit(rows[r].digits), rows[r].checkDigit) << "row " << r;
  }
}

// A number completed with its check digit validates, and changing any one digit breaks it:
// the property the check digit exists for.
TEST(Luhn, CompletedNumbersValidateAndEverySingleDigitChangeIsCaught) {
  std::mt19937 random(20261206);
  std::uniform_int_distribution<int> digit(0, 9);
  std::uniform_int_distribution<int> length(12, 18);
  for (int trial = 0; trial < 500; ++trial) {
    Text pan;
    for (int i = length(random); i > 0; --i) {
      pan.push_back(static_cast<char16_t>(u'0' + digit(random)));
    }
    pan.push_back(static_cast<char16_t>(u'0' + luhnCheckDigit(pan)));
    ASSERT_TRUE(luhnCheck(pan));
    for (std::size_t i = 0; i < pan.size(); ++i) {
      Text changed = pan;
      changed[i] = static_cast<char16_t>(u'0' + (digitValue(pan[i]) + 1 + digit(random) % 9) % 10);
      EXPECT_FALSE(luhnCheck(changed)) << "position " << i;
    }
  }
}

} // namespace
} // namespace tolvane
