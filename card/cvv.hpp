#pragma once
// Card verification values: three digits that bind a card number, its expiry date and a
// service code to the issuer's card verification key (CVK, keys A and B). The same computation
// gives the value on the magnetic stripe (CVV or CVC), the one printed on the card (CVV2,
// service code 000) and the chip's (iCVV, service code 999).

#include <array>
#include <cstdint>
#include <string_view>

#include "base/secret.hpp"
#include "crypto/cipher.hpp"

namespace tolvane {

// The three digits, each 0..9, leftmost first.
using CvvDigits = std::array<std::uint8_t, 3>;

// pan, expiry, serviceCode: decimal digits, 32 at most together (the expiry is 4 digits and the
// service code 3, taken as given). keyA: key A alone (a Triple-DES cipher of A||A, which is
// single DES); keyAB: the two-key Triple-DES cipher of A||B.
Secret<CvvDigits> computeCvv(std::u16string_view pan, std::u16string_view expiry,
                             std::u16string_view serviceCode, const Cipher &keyA,
                             const Cipher &keyAB);

// The same inputs, and value: 3 decimal digits. True when value is the card's; the comparison
// takes the same time wherever they differ.
bool verifyCvv(std::u16string_view pan, std::u16string_view expiry, std::u16string_view serviceCode,
               std::u16string_view value, const Cipher &keyA, const Cipher &keyAB);

} // namespace tolvane
