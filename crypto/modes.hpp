#pragma once
// Block-cipher modes over byte ranges of any length, on any Cipher: ECB and CBC in both
// directions, and the CBC-MAC chain that the ISO 9797-1 MACs and the key-block MACs are built
// on. The caller pads: every range is a whole number of the cipher's blocks. Nothing here
// allocates or throws; chaining values that pass through the stack are wiped.

#include <array>
#include <cstdint>
#include <span>

#include "crypto/cipher.hpp"

namespace tolvane {

// One block of either size; the first size bytes count.
struct CipherBlock {
  std::array<std::uint8_t, 16> bytes{};
  std::size_t size = 0;

  std::span<std::uint8_t> span() { return {bytes.data(), size}; }
  std::span<const std::uint8_t> span() const { return {bytes.data(), size}; }
};

// in and out are the same length, a multiple of the block size, and may be the same memory.
void encryptEcb(const Cipher &cipher, std::span<const std::uint8_t> in,
                std::span<std::uint8_t> out);
void decryptEcb(const Cipher &cipher, std::span<const std::uint8_t> in,
                std::span<std::uint8_t> out);

// iv: one block. in and out as for ECB.
void encryptCbc(const Cipher &cipher, std::span<const std::uint8_t> iv,
                std::span<const std::uint8_t> in, std::span<std::uint8_t> out);
void decryptCbc(const Cipher &cipher, std::span<const std::uint8_t> iv,
                std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// The CBC chain over message (whole blocks, possibly none) from the value chain holds (the IV,
// one block), left in chain: the last block CBC encryption would give.
void chainCbcMac(const Cipher &cipher, std::span<const std::uint8_t> message,
                 std::span<std::uint8_t> chain);

} // namespace tolvane
