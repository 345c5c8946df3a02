#pragma once
// What the PIN block formats share: the PIN field, the format-0 PAN field and the checks a
// decoded PIN field must pass. For the format files of this folder only.

#include <cstdint>
#include <span>
#include <string_view>

#include "base/digits.hpp"
#include "base/text.hpp"
#include "crypto/cipher.hpp"
#include "pin/pin_block.hpp"

namespace tolvane {

// Nibble 0 = control, nibble 1 = the PIN length, then the PIN digits, then fill(i) in every
// further nibble i up to nibble 15. field: 8 bytes or more; nibbles past 15 are left alone.
template <typename Fill>
void makePinField(std::span<std::uint8_t> field, int control, std::u16string_view pin, Fill fill);

// Nibbles 0..3 zero, then the twelve PAN digits left of the check digit, right-aligned: a PAN of
// fewer than 13 characters has zeros before its digits.
void makePanField(std::span<std::uint8_t, 8> out, std::u16string_view pan);

// Formats 0 to 3, blocks of 8 bytes: the PIN field in out (made by makePinField) becomes the
// block, XORed with the PAN field when the format binds the PAN, then enciphered under key
// (null: in the clear); and back from a block to its clear PIN field.
void sealIsoBlock(PinBlock &out, std::u16string_view pan, bool bindsPan, const Cipher *key);
void openIsoBlock(const PinBlock &block, std::u16string_view pan, bool bindsPan, const Cipher *key,
                  NibbleBlock &field);

// Checks a clear PIN field in this order and appends its PIN to pin: nibble 0 is control
// ("PIN Sanity; format"), the length 4..maxLength ("; length"), every nibble after the PIN up
// to nibble 15 is fillLow to fillHigh ("; padding"), every PIN nibble is a decimal digit
// ("; digits").
void readPinField(std::span<const std::uint8_t> field, int control, int maxLength, int fillLow,
                  int fillHigh, Text &pin);

template <typename Fill>
void makePinField(std::span<std::uint8_t> field, int control, std::u16string_view pin, Fill fill) {
  const int length = static_cast<int>(pin.size());
  std::uint64_t nibbles = static_cast<std::uint64_t>(control) << 4 | static_cast<unsigned>(length);
  for (int i = 0; i < length; ++i) {
    nibbles =
        nibbles << 4 | (static_cast<unsigned>(digitValue(pin[static_cast<std::size_t>(i)])) & 0xFu);
  }
  for (int i = length + 2; i < 16; ++i) {
    nibbles = nibbles << 4 | (static_cast<unsigned>(fill(i)) & 0xFu);
  }
  storeNibbles(nibbles, field.data());
}

} // namespace tolvane
