#pragma once
// The application cryptogram a card sends with an authorisation request (ARQC) and the issuer's
// response cryptogram (ARPC). The ARQC is the retail MAC (single-DES CBC under the left half of
// the session key, the last block through the whole two-key Triple-DES key) of the transaction
// data as the terminal concatenated it, padded by method 1 (zeros) or method 2 (80, then zeros).
// The ARPC answers it:
// - method 1: Triple-DES of ARQC XOR (ARC || 00 00 00 00 00 00), 8 bytes, under the card master
//   key or the session key, as the cryptogram version says;
// - method 2: the first 4 bytes of the retail MAC, padding method 2, of ARQC || CSU || the
//   proprietary authentication data (none to 8 bytes), under the session key.

#include <array>
#include <cstdint>
#include <span>

#include "base/secret.hpp"
#include "crypto/cipher.hpp"
#include "crypto/mac.hpp"
#include "emv/cryptogram_key.hpp"

namespace tolvane {

using Cryptogram = std::array<std::uint8_t, 8>;
using ShortArpc = std::array<std::uint8_t, 4>;

// data: any length. padding: Zeros or Bit.
Cryptogram computeArqc(const CryptogramKey &sessionKey, std::span<const std::uint8_t> data,
                       MacPadding padding);

// Whether arqc (8 bytes) is the cryptogram of data; the comparison takes the same time wherever
// the two differ.
bool verifyArqc(const CryptogramKey &sessionKey, std::span<const std::uint8_t> data,
                MacPadding padding, std::span<const std::uint8_t> arqc);

// key: the two-key Triple-DES cipher method 1 uses. arqc: 8 bytes; arc: 2 bytes.
Cryptogram computeArpcMethod1(const Cipher &key, std::span<const std::uint8_t> arqc,
                              std::span<const std::uint8_t> arc);

// arqc: 8 bytes; csu: 4 bytes; proprietary: 0 to 8 bytes.
ShortArpc computeArpcMethod2(const CryptogramKey &sessionKey, std::span<const std::uint8_t> arqc,
                             std::span<const std::uint8_t> csu,
                             std::span<const std::uint8_t> proprietary);

} // namespace tolvane
