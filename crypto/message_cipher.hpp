#pragma once
// A message enciphered or deciphered whole, as a command does it: ECB or CBC over the cipher
// seam, padded on the way in by ISO 9797-1 method 1 or 2 when asked, returned as the blocks are
// on the way out (a padding cannot be told from data, so none is taken off). Nothing here
// allocates or throws.

#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/cipher.hpp"

namespace tolvane {

enum class BlockMode : std::uint8_t { Ecb, Cbc };
// None: the message must be whole blocks. Zeros and Bit: methods 1 and 2.
enum class DataPadding : std::uint8_t { None, Zeros, Bit };

// The length of message enciphered: whole blocks of blockSize.
std::size_t encipheredLength(std::size_t length, std::size_t blockSize, DataPadding padding);

// out: encipheredLength bytes; it may not overlap message. iv: one block, ignored for ECB.
void encryptMessage(const Cipher &cipher, BlockMode mode, std::span<const std::uint8_t> iv,
                    std::span<const std::uint8_t> message, DataPadding padding,
                    std::span<std::uint8_t> out);

// in: whole blocks; out as long, possibly the same memory.
void decryptMessage(const Cipher &cipher, BlockMode mode, std::span<const std::uint8_t> iv,
                    std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

} // namespace tolvane
