#include "crypto/cmac.hpp"

#include <algorithm>

#include "base/secret.hpp"

// Blocks are big-endian bit strings: bit 0 of the string is the top bit of byte 0.

namespace tolvane {
namespace {

using Block = std::array<std::uint8_t, 16>; // room for either block size; the first n bytes count

// Doubles an n-byte block in GF(2^8n): a shift left by one bit and, when a bit falls off the top,
// the reduction of x^128 + x^7 + x^2 + x + 1 (0x87) for 16 bytes or x^64 + x^4 + x^3 + x + 1
// (0x1B) for 8. The subkeys are secret, so the top bit selects through a mask, not a branch.
void doubleBlock(Block &block, std::size_t n) {
  const auto mask = static_cast<std::uint8_t>(0 - (block[0] >> 7));
  for (std::size_t i = 0; i + 1 < n; ++i) {
    block[i] = static_cast<std::uint8_t>((block[i] << 1) | (block[i + 1] >> 7));
  }
  block[n - 1] = static_cast<std::uint8_t>((block[n - 1] << 1) ^ (mask & (n == 16 ? 0x87 : 0x1B)));
}

} // namespace

Mac computeCmac(const Cipher &cipher, std::span<const std::uint8_t> message) {
  const std::size_t n = cipher.blockSize();
  // The subkey is L = E(0) doubled once (K1) when the last block is complete, doubled twice (K2)
  // when it must be padded; the empty message counts as one padded block.
  const bool lastComplete = !message.empty() && message.size() % n == 0;
  Secret<Block> subkey;
  cipher.encrypt(subkey->data(), subkey->data());
  doubleBlock(*subkey, n);
  if (!lastComplete) {
    doubleBlock(*subkey, n);
  }

  const std::size_t lastStart = lastComplete ? message.size() - n : message.size() / n * n;
  // The chain ends as the MAC, and the last block holds the message's tail: either may be key
  // material (a key derived as a CMAC, a key block's clear key data), so both are wiped.
  Secret<Block> chainStore;
  Block &chain = *chainStore;
  for (std::size_t start = 0; start < lastStart; start += n) {
    for (std::size_t i = 0; i < n; ++i) {
      chain[i] ^= message[start + i];
    }
    cipher.encrypt(chain.data(), chain.data());
  }
  // The last block, padded with one bit 1 and then 0s when it is short, and the subkey.
  Secret<Block> lastStore;
  Block &last = *lastStore;
  const std::span<const std::uint8_t> tail = message.subspan(lastStart);
  std::copy(tail.begin(), tail.end(), last.begin());
  if (!lastComplete) {
    last[tail.size()] = 0x80;
  }
  for (std::size_t i = 0; i < n; ++i) {
    chain[i] ^= static_cast<std::uint8_t>(last[i] ^ (*subkey)[i]);
  }
  cipher.encrypt(chain.data(), chain.data());

  Mac mac;
  mac.size = n;
  std::copy_n(chain.begin(), n, mac.bytes.begin());
  return mac;
}

bool verifyCmac(const Cipher &cipher, std::span<const std::uint8_t> message,
                std::span<const std::uint8_t> mac) {
  const Mac computed = computeCmac(cipher, message);
  return !mac.empty() && mac.size() <= computed.size &&
         constantTimeEqual(std::span(computed.bytes).first(mac.size()), mac);
}

} // namespace tolvane
