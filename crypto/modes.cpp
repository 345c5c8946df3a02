#include "crypto/modes.hpp"

#include <algorithm>
#include <cassert>

#include "base/digits.hpp"
#include "base/secret.hpp"

namespace tolvane {

void encryptEcb(const Cipher &cipher, std::span<const std::uint8_t> in,
                std::span<std::uint8_t> out) {
  const std::size_t n = cipher.blockSize();
  assert(in.size() == out.size() && in.size() % n == 0);
  for (std::size_t at = 0; at < in.size(); at += n) {
    cipher.encrypt(in.data() + at, out.data() + at);
  }
}

void decryptEcb(const Cipher &cipher, std::span<const std::uint8_t> in,
                std::span<std::uint8_t> out) {
  const std::size_t n = cipher.blockSize();
  assert(in.size() == out.size() && in.size() % n == 0);
  for (std::size_t at = 0; at < in.size(); at += n) {
    cipher.decrypt(in.data() + at, out.data() + at);
  }
}

void encryptCbc(const Cipher &cipher, std::span<const std::uint8_t> iv,
                std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  const std::size_t n = cipher.blockSize();
  assert(iv.size() == n && in.size() == out.size() && in.size() % n == 0);
  const std::uint8_t *previous = iv.data();
  for (std::size_t at = 0; at < in.size(); at += n) {
    xorBlocks(out.data() + at, in.data() + at, previous, n);
    cipher.encrypt(out.data() + at, out.data() + at);
    previous = out.data() + at;
  }
}

void decryptCbc(const Cipher &cipher, std::span<const std::uint8_t> iv,
                std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  const std::size_t n = cipher.blockSize();
  assert(iv.size() == n && in.size() == out.size() && in.size() % n == 0);
  // The ciphertext block is kept before its place is overwritten, so in and out may be one.
  Secret<std::array<std::uint8_t, 16>> previous;
  Secret<std::array<std::uint8_t, 16>> current;
  std::copy(iv.begin(), iv.end(), previous->begin());
  for (std::size_t at = 0; at < in.size(); at += n) {
    std::copy_n(in.data() + at, n, current->begin());
    cipher.decrypt(in.data() + at, out.data() + at);
    xorBlocks(out.data() + at, out.data() + at, previous->data(), n);
    *previous = *current;
  }
}

void chainCbcMac(const Cipher &cipher, std::span<const std::uint8_t> message,
                 std::span<std::uint8_t> chain) {
  const std::size_t n = cipher.blockSize();
  assert(chain.size() == n && message.size() % n == 0);
  for (std::size_t at = 0; at < message.size(); at += n) {
    xorBlocks(chain.data(), chain.data(), message.data() + at, n);
    cipher.encrypt(chain.data(), chain.data());
  }
}

} // namespace tolvane
