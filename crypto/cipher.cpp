#include "crypto/cipher.hpp"

#include <cassert>
#include <memory>

#include "base/secret.hpp"

namespace tolvane {

Cipher::~Cipher() { endSchedule(); }

void Cipher::clear() {
  endSchedule();
  algorithm_ = CipherAlgorithm::Tdes;
  std::construct_at(&schedule_.des);
}

void Cipher::endSchedule() noexcept {
  if (algorithm_ == CipherAlgorithm::Aes) {
    std::destroy_at(&schedule_.aes); // wipes itself
  } else {
    wipe(schedule_.des);
  }
}

void Cipher::setKey(CipherAlgorithm algorithm, std::span<const std::uint8_t> key) {
  endSchedule();
  algorithm_ = algorithm;
  switch (algorithm) {
  case CipherAlgorithm::Tdes:
    assert(key.size() == 16 || key.size() == 24);
    std::construct_at(&schedule_.des);
    if (key.size() == 24) {
      makeTripleKeySchedule(schedule_.des, key.data());
    } else {
      makeDoubleKeySchedule(schedule_.des, key.data());
    }
    break;
  case CipherAlgorithm::Aes:
    std::construct_at(&schedule_.aes);
    makeAesKeySchedule(schedule_.aes, key);
    prepareAesDecryption(schedule_.aes);
    break;
  }
}

std::size_t Cipher::blockSize() const { return algorithm_ == CipherAlgorithm::Aes ? 16 : 8; }

void Cipher::encrypt(const std::uint8_t *in, std::uint8_t *out) const {
  if (algorithm_ == CipherAlgorithm::Aes) {
    encryptBlock(schedule_.aes, in, out);
  } else {
    encryptBlock(schedule_.des, in, out);
  }
}

void Cipher::decrypt(const std::uint8_t *in, std::uint8_t *out) const {
  if (algorithm_ == CipherAlgorithm::Aes) {
    decryptBlock(schedule_.aes, in, out);
  } else {
    decryptBlock(schedule_.des, in, out);
  }
}

} // namespace tolvane
