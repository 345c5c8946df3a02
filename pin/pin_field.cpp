#include "pin/pin_field.hpp"

#include <algorithm>

#include "base/errors.hpp"

namespace tolvane {

void makePanField(std::span<std::uint8_t, 8> out, std::u16string_view pan) {
  std::fill(out.begin(), out.end(), 0);
  if (pan.size() < 13) {
    return;
  }
  const std::size_t first = pan.size() - 13;
  for (std::size_t i = 0; i < 12; ++i) {
    setNibble(out, static_cast<int>(i) + 4, digitValue(pan[first + i]));
  }
}

void readPinField(std::span<const std::uint8_t> field, int control, int maxLength,
                  bool (*fillOk)(int nibble), Text &pin) {
  if (getNibble(field, 0) != control) {
    throw excProblem(u"PIN Sanity; format");
  }
  const int length = getNibble(field, 1);
  if (length < 4 || length > maxLength) {
    throw excProblem(u"PIN Sanity; length");
  }
  for (int i = length + 2; i < 16; ++i) {
    if (!fillOk(getNibble(field, i))) {
      throw excProblem(u"PIN Sanity; padding");
    }
  }
  pin.reserve(pin.size() + 14); // never reallocated, so no PIN digits are left in freed memory
  for (int i = 2; i < length + 2; ++i) {
    const int digit = getNibble(field, i);
    if (digit > 9) {
      throw excProblem(u"PIN Sanity; digits");
    }
    pin.push_back(static_cast<char16_t>(u'0' + digit));
  }
}

} // namespace tolvane
