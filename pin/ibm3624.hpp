#pragma once
// IBM 3624 PIN offsets. The natural PIN of a card comes from its validation data enciphered
// under the PIN verification key and decimalised; the customer's PIN is stored as its offset
// from the natural PIN, so that a PIN can be chosen or changed without a new key or new data.

#include <string_view>

#include "base/secret.hpp"
#include "base/text.hpp"
#include "crypto/cipher.hpp"

namespace tolvane {

// What fixes the natural PIN besides its length.
struct NaturalPinInputs {
  std::u16string_view validationData; // 1..16 hex digits, either case
  char16_t pad;                       // a hex digit: fills the validation data out to 16 digits
  std::u16string_view decimalisation; // 16 decimal digits: entry n stands for the nibble n
};

// pin: 4..12 decimal digits; kpv: a two-key Triple-DES key (K1 = K2 for single DES). The offset
// has as many digits as the PIN: each is the PIN digit less the natural PIN digit, modulo 10.
// With the natural PIN it gives the PIN, so it is kept as a secret.
Secret<Text> pinOffset(std::u16string_view pin, const NaturalPinInputs &inputs, const Cipher &kpv);

// pin: 4..12 decimal digits; offset: 4 to pin.size() decimal digits. True when the offset added
// to the natural PIN gives the PIN's rightmost offset.size() digits; the comparison takes the
// same time wherever they differ.
bool verifyPinOffset(std::u16string_view pin, std::u16string_view offset,
                     const NaturalPinInputs &inputs, const Cipher &kpv);

} // namespace tolvane
