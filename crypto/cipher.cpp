#include "crypto/cipher.hpp"

#include <algorithm>
#include <cassert>

#include "base/secret.hpp"

namespace tolvane {

Cipher::~Cipher() { clear(); }

void Cipher::clear() { wipe(des_); }

void Cipher::setKey(CipherAlgorithm algorithm, std::span<const std::uint8_t> key) {
  algorithm_ = algorithm;
  assert(key.size() == 16 || key.size() == 24);
  if (key.size() == 24) {
    makeTripleKeySchedule(des_, key.data());
  } else {
    makeDoubleKeySchedule(des_, key.data());
  }
}

std::size_t Cipher::blockSize() const { return 8; }

void Cipher::encrypt(const std::uint8_t *in, std::uint8_t *out) const {
  encryptBlock(des_, in, out);
}

void Cipher::decrypt(const std::uint8_t *in, std::uint8_t *out) const {
  decryptBlock(des_, in, out);
}

CheckValue keyCheckValue(const Cipher &cipher) {
  std::array<std::uint8_t, 16> block{};
  cipher.encrypt(block.data(), block.data());
  CheckValue value;
  value.size = 3;
  std::copy_n(block.begin(), value.size, value.bytes.begin());
  return value;
}

} // namespace tolvane
