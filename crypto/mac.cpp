#include "crypto/mac.hpp"

#include <algorithm>
#include <cassert>

#include "base/digits.hpp"
#include "base/secret.hpp"

namespace tolvane {

namespace {

// Runs the chain over the padded message: every whole block but the last under chainCipher,
// the last under lastCipher.
CipherBlock chainPadded(const Cipher &chainCipher, const Cipher &lastCipher,
                        std::span<const uint8_t> message, MacPadding padding) {
  const std::size_t n = chainCipher.blockSize();
  CipherBlock chain;
  chain.size = n;
  Secret<std::array<std::uint8_t, 16>> last;
  if (padding == MacPadding::Length) {
    // The length block stands first, so it is chained like any whole block. Method 3 pads the
    // message itself to a multiple of the block that may be none: after an empty message the
    // length block is the last block, not a block of zeros.
    std::uint64_t bits = static_cast<std::uint64_t>(message.size()) * 8;
    for (std::size_t i = n; i-- > 0 && bits != 0; bits >>= 8) {
      (*last)[i] = static_cast<std::uint8_t>(bits);
    }
    if (message.empty()) {
      lastCipher.encrypt(last->data(), chain.bytes.data());
      return chain;
    }
    chainCbcMac(chainCipher, std::span(last->data(), n), chain.span());
    last->fill(0);
    padding = MacPadding::Zeros;
  }
  // How many whole blocks go through unchanged, and what remains for the padded last block.
  const bool full = !message.empty() && message.size() % n == 0;
  std::size_t whole = message.size() / n;
  if (full && padding == MacPadding::Zeros) {
    --whole; // the last block needs no padding, but it is the last
  }
  chainCbcMac(chainCipher, message.first(whole * n), chain.span());
  const std::span<const uint8_t> tail = message.subspan(whole * n);
  std::copy(tail.begin(), tail.end(), last->begin());
  if (padding == MacPadding::Bit) {
    (*last)[tail.size()] = 0x80;
  }
  xorBlocks(chain.bytes.data(), chain.bytes.data(), last->data(), n);
  lastCipher.encrypt(chain.bytes.data(), chain.bytes.data());
  return chain;
}

} // namespace

CipherBlock isoMac1(const Cipher &cipher, std::span<const uint8_t> message, MacPadding padding) {
  return chainPadded(cipher, cipher, message, padding);
}

CipherBlock isoMac3(const Cipher &left, const Cipher &whole, std::span<const uint8_t> message,
                    MacPadding padding) {
  assert(left.algorithm() == CipherAlgorithm::Des && whole.algorithm() == CipherAlgorithm::Tdes2);
  return chainPadded(left, whole, message, padding);
}

std::size_t paddedLength(std::size_t length, std::size_t blockSize, MacPadding padding) {
  if (padding == MacPadding::Bit) {
    return (length / blockSize + 1) * blockSize;
  }
  return length == 0 ? blockSize : (length + blockSize - 1) / blockSize * blockSize;
}

void padInPlace(std::span<std::uint8_t> buffer, std::size_t length, MacPadding padding) {
  std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(length), buffer.end(), 0);
  if (padding == MacPadding::Bit) {
    buffer[length] = 0x80;
  }
}

} // namespace tolvane
