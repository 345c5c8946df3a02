#pragma once
// CMAC: the message authentication code NIST defines over a block cipher, for 64- and 128-bit
// blocks. It works on any Cipher: AES gives 16-byte MACs, Triple-DES 8-byte ones. Nothing here
// allocates or throws.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/cipher.hpp"

namespace tolvane {

struct Mac {
  std::array<std::uint8_t, 16> bytes{};
  std::size_t size = 0; // the cipher's block size
};

// The CMAC of message, of any length including none, under cipher's key.
Mac computeCmac(const Cipher &cipher, std::span<const std::uint8_t> message);

// True when mac, 1 to blockSize bytes, is the CMAC of message or its leading part. The
// comparison takes as long wherever the first wrong byte is.
bool verifyCmac(const Cipher &cipher, std::span<const std::uint8_t> message,
                std::span<const std::uint8_t> mac);

} // namespace tolvane
