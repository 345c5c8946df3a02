#pragma once
// The block-cipher MACs of ISO 9797-1 over messages of any length: algorithm 1 (the CBC-MAC under
// one key) and algorithm 3 (the retail MAC of ANSI X9.19: single DES under the left key, and the
// last block through the whole two-key Triple-DES key), with the standard's padding methods.
// The padding is never materialised: whole blocks are read from the message and only the last,
// padded, block is built, so a message of a megabyte is not copied.

#include <cstdint>
#include <span>

#include "crypto/cipher.hpp"
#include "crypto/modes.hpp"

namespace tolvane {

// 1: zeros up to a block boundary (none when the message fills its last block; one block of
// zeros for an empty message). 2: one byte 80, then zeros up to a block boundary, always.
// 3: a first block holding the message's length in bits (big-endian, right-aligned), then
// zeros up to a block boundary (none for an empty message, whose MAC is that of the length
// block alone).
enum class MacPadding : std::uint8_t { Zeros = 1, Bit = 2, Length = 3 };

// Algorithm 1: the last block of CBC encryption with a zero IV of the padded message.
CipherBlock isoMac1(const Cipher &cipher, std::span<const uint8_t> message, MacPadding padding);

// Algorithm 3: left is single DES under K (the left half of the key), whole the two-key
// Triple-DES cipher of K||K'. CBC under K, then the last block deciphered under K' and
// enciphered under K again, which is what whole does to the last chaining input.
CipherBlock isoMac3(const Cipher &left, const Cipher &whole, std::span<const uint8_t> message,
                    MacPadding padding);

// The length of message padded by method 1 or 2 for encryption: whole blocks of blockSize.
std::size_t paddedLength(std::size_t length, std::size_t blockSize, MacPadding padding);
// Writes the padding of method 1 or 2 after length bytes of buffer, which holds
// paddedLength(length, ...) bytes.
void padInPlace(std::span<std::uint8_t> buffer, std::size_t length, MacPadding padding);

} // namespace tolvane
