#pragma once
// ISO 9564 format-0 PIN blocks: the PIN field XOR the PAN field, optionally enciphered under
// a PIN encryption key (KPE). An empty KPE means the block is used in the clear; exactly 24
// bytes select three-key Triple-DES, 16 bytes two-key (single DES when both halves are equal).

#include <string_view>

#include "base/digits.hpp"
#include "base/secret.hpp"
#include "crypto/cipher.hpp"

namespace tolvane {

// Nibbles: 0, the PIN length, the PIN digits, then 0xF up to the end. pin: 4..14 digits.
void makePinField(NibbleBlock &out, std::u16string_view pin);

// Nibbles 0..3 zero, then the twelve PAN digits left of the check digit. A PAN of fewer than
// 13 characters (possible only with the Luhn check suppressed) leaves the field all zero.
void makePanField(NibbleBlock &out, std::u16string_view pan);

// kpe: null, and the block stays in the clear.
Secret<NibbleBlock> makePinBlock(std::u16string_view pin, std::u16string_view pan,
                                 const Cipher *kpe);

// Returns the PIN (4..14 digits) of a block made under kpe (null: in the clear).
// Throws excProblem "PIN Sanity; format", "PIN Sanity; length", "PIN Sanity; padding" or
// "PIN Sanity; digits", checked in that order.
Secret<Text> decodePinBlock(const NibbleBlock &block, const Cipher *kpe, std::u16string_view pan);

} // namespace tolvane
