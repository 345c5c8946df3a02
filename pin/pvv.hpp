#pragma once
// The PIN Verification Value: four decimal digits derived from the PAN, the key index, the
// first four PIN digits and a PIN verification key.

#include <string_view>

#include "base/digits.hpp"
#include "crypto/cipher.hpp"

namespace tolvane {

// pan: its eleven digits left of the check digit are used (fewer for a PAN shorter than 12,
// possible only with the Luhn check suppressed); pvki: 0..6; pinDigits: the first four PIN
// digits; kpv: a two-key Triple-DES key (K1||K2 of the verification key). Returns 0..9999.
int computePvv(std::u16string_view pan, int pvki, std::u16string_view pinDigits, const Cipher &kpv);

// The four PVV digits of a cipher block: its decimal nibbles, left to right; if there are
// fewer than four, the nibbles 10..15 follow, again from the left, each less 10.
int decimalisePvv(const NibbleBlock &cipher);

// Appends the PVV as exactly four digits, leading zeros kept: 7 gives "0007".
void appendPvv(Text &text, int pvv);

} // namespace tolvane
