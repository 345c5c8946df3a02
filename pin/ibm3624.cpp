#include "pin/ibm3624.hpp"

#include <array>
#include <cassert>
#include <cstdint>
#include <span>

#include "base/digits.hpp"
#include "base/secret.hpp"

namespace tolvane {

namespace {

using Digits = std::array<std::uint8_t, 16>;

// All sixteen digits of the natural PIN: a PIN of length L uses the leftmost L.
Secret<Digits> naturalDigits(const NaturalPinInputs &inputs, const Cipher &kpv) {
  assert(!inputs.validationData.empty() && inputs.validationData.size() <= 16);
  assert(inputs.decimalisation.size() == 16);
  std::array<char16_t, 16> field{};
  field.fill(inputs.pad);
  std::copy(inputs.validationData.begin(), inputs.validationData.end(), field.begin());
  Secret<NibbleBlock> block;
  hexToBytes(std::u16string_view(field.data(), field.size()), block->data());
  kpv.encrypt(block->data(), block->data());
  Secret<Digits> natural;
  for (int i = 0; i < 16; ++i) {
    const char16_t digit = inputs.decimalisation[static_cast<std::size_t>(getNibble(*block, i))];
    (*natural)[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(digitValue(digit));
  }
  return natural;
}

} // namespace

Secret<Text> pinOffset(std::u16string_view pin, const NaturalPinInputs &inputs, const Cipher &kpv) {
  assert(pin.size() <= 16);
  const Secret<Digits> natural = naturalDigits(inputs, kpv);
  Secret<Text> offset(Text(pin.size(), u'0'));
  for (std::size_t i = 0; i < pin.size(); ++i) {
    // Digit by digit: no borrow passes from one position to the next.
    const int digit = (digitValue(pin[i]) - (*natural)[i] + 10) % 10;
    (*offset)[i] = static_cast<char16_t>(u'0' + digit);
  }
  return offset;
}

bool verifyPinOffset(std::u16string_view pin, std::u16string_view offset,
                     const NaturalPinInputs &inputs, const Cipher &kpv) {
  assert(pin.size() <= 16 && offset.size() <= pin.size());
  const Secret<Digits> natural = naturalDigits(inputs, kpv);
  // A short offset is the check length: it covers the PIN's rightmost digits, and the natural
  // PIN digits in the same places.
  const std::size_t first = pin.size() - offset.size();
  Secret<Digits> expected;
  Secret<Digits> given;
  for (std::size_t i = 0; i < offset.size(); ++i) {
    (*expected)[i] =
        static_cast<std::uint8_t>(((*natural)[first + i] + digitValue(offset[i])) % 10);
    (*given)[i] = static_cast<std::uint8_t>(digitValue(pin[first + i]));
  }
  return constantTimeEqual(std::span(expected->data(), offset.size()),
                           std::span(given->data(), offset.size()));
}

} // namespace tolvane
