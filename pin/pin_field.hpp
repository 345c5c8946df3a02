#pragma once
// What the PIN block formats share: the PIN field, the format-0 PAN field and the checks a
// decoded PIN field must pass. For the format files of this folder only.

#include <cstdint>
#include <span>
#include <string_view>

#include "base/digits.hpp"
#include "base/text.hpp"

namespace tolvane {

// Nibble 0 = control, nibble 1 = the PIN length, then the PIN digits, then fill(i) in every
// further nibble i up to nibble 15. field: 8 bytes or more; nibbles past 15 are left alone.
template <typename Fill>
void makePinField(std::span<std::uint8_t> field, int control, std::u16string_view pin, Fill fill);

// Nibbles 0..3 zero, then the twelve PAN digits left of the check digit. A PAN of fewer than
// 13 characters (possible only with the Luhn check suppressed) leaves the field all zero.
void makePanField(std::span<std::uint8_t, 8> out, std::u16string_view pan);

// Checks a clear PIN field in this order and appends its PIN to pin: nibble 0 is control
// ("PIN Sanity; format"), the length 4..maxLength ("; length"), every nibble after the PIN up
// to nibble 15 passes fillOk ("; padding"), every PIN nibble is a decimal digit ("; digits").
void readPinField(std::span<const std::uint8_t> field, int control, int maxLength,
                  bool (*fillOk)(int nibble), Text &pin);

template <typename Fill>
void makePinField(std::span<std::uint8_t> field, int control, std::u16string_view pin, Fill fill) {
  const int length = static_cast<int>(pin.size());
  setNibble(field, 0, control);
  setNibble(field, 1, length);
  for (int i = 0; i < length; ++i) {
    setNibble(field, i + 2, digitValue(pin[static_cast<std::size_t>(i)]));
  }
  for (int i = length + 2; i < 16; ++i) {
    setNibble(field, i, fill(i));
  }
}

} // namespace tolvane
