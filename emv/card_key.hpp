#pragma once
// The card's master key for application cryptograms (ICC master key), as the issuer derives it
// from its issuer master key (IMK) and the card's PAN and PAN sequence number (PSN), the way
// the card was personalised. Both options condense PAN and PSN into 16 decimal digits, read as an
// 8-byte block of BCD (two digits a byte, the first digit in the high nibble of byte 0), and
// encipher that block under the IMK for the key's left half and its complement (every bit
// inverted) for the right half; each byte then gets odd parity.
// - Option A: the rightmost 16 digits of PAN || PSN, with zeros on the left when there are
//   fewer.
// - Option B, for PANs of more than 16 digits: the SHA-1 digest of PAN || PSN in BCD (a zero
//   digit in front when the count is odd), its 40 nibbles decimalised: the decimal digits in
//   their order, then the letters A to F as 0 to 5 in theirs, the first 16 of that sequence.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/secret.hpp"
#include "crypto/cipher.hpp"

namespace tolvane {

enum class CardKeyOption : std::uint8_t { A, B };

// Whether pan is one a card master key is derived from: 12 to 19 decimal digits.
bool isEmvPan(std::u16string_view pan);

// A two-key Triple-DES key, K then K'.
using DoubleDesKey = std::array<std::uint8_t, 16>;

// The option that applies to a PAN of panDigits digits: B for more than 16 digits unless A was
// asked for; A otherwise, also when B was asked for, since B exists only for the long PANs.
CardKeyOption cardKeyOptionFor(std::size_t panDigits, std::optional<CardKeyOption> asked);

// imk: a two-key Triple-DES cipher. pan: 12 to 19 decimal digits; psn: 2 decimal digits.
// option: as cardKeyOptionFor gives it for pan.
Secret<DoubleDesKey> deriveCardMasterKey(const Cipher &imk, std::u16string_view pan,
                                         std::u16string_view psn, CardKeyOption option);

} // namespace tolvane
