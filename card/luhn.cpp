#include "card/luhn.hpp"

#include "base/digits.hpp"

namespace tolvane {

int luhnCheckDigit(std::u16string_view digits) {
  int sum = 0;
  bool doubling = true;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (!isDecimalDigit(*it)) {
      return 0;
    }
    int d = digitValue(*it);
    if (doubling) {
      d *= 2;
      if (d > 9) {
        d -= 9;
      }
    }
    sum += d;
    doubling = !doubling;
  }
  return (10 - sum % 10) % 10;
}

bool luhnCheck(std::u16string_view pan) {
  if (pan.size() < 13 || pan.size() > 19) {
    return false;
  }
  for (char16_t c : pan) {
    if (!isDecimalDigit(c)) {
      return false;
    }
  }
  return digitValue(pan.back()) == luhnCheckDigit(pan.substr(0, pan.size() - 1));
}

} // namespace tolvane
