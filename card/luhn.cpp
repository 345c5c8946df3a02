#include "card/luhn.hpp"

namespace tolvane {

namespace {

// A digit doubled, a result above 9 counted as the sum of its two digits. (Card numbers are no
// secret: a table may be indexed by them.)
constexpr unsigned kDoubled[10] = {0, 2, 4, 6, 8, 1, 3, 5, 7, 9};
unsigned doubled(unsigned d) { return kDoubled[d]; }

// The digits' Luhn sum, the rightmost doubled first; false at a character that is no digit.
// Two digits a step, from the right: the first of each pair is the doubled one.
bool luhnSum(std::u16string_view digits, unsigned &sum) {
  sum = 0;
  std::size_t n = digits.size();
  for (; n >= 2; n -= 2) {
    const unsigned d = static_cast<unsigned>(digits[n - 1]) - u'0';
    const unsigned e = static_cast<unsigned>(digits[n - 2]) - u'0';
    if (d > 9 || e > 9) {
      return false;
    }
    sum += doubled(d) + e;
  }
  if (n == 1) {
    const unsigned d = static_cast<unsigned>(digits[0]) - u'0';
    if (d > 9) {
      return false;
    }
    sum += doubled(d);
  }
  return true;
}

} // namespace

int luhnCheckDigit(std::u16string_view digits) {
  unsigned sum = 0;
  if (!luhnSum(digits, sum)) {
    return 0;
  }
  return static_cast<int>((10 - sum % 10) % 10);
}

bool endsInLuhnDigit(std::u16string_view digits) {
  if (digits.empty()) {
    return false;
  }
  const unsigned last = static_cast<unsigned>(digits.back()) - u'0';
  unsigned sum = 0;
  return last <= 9 && luhnSum(digits.substr(0, digits.size() - 1), sum) &&
         (10 - sum % 10) % 10 == last;
}

bool luhnCheck(std::u16string_view pan) {
  return pan.size() >= 13 && pan.size() <= 19 && endsInLuhnDigit(pan);
}

} // namespace tolvane
