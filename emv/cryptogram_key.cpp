#include "emv/cryptogram_key.hpp"

namespace tolvane {

CryptogramKey::CryptogramKey(const DoubleDesKey &key)
    : key_(key), whole_(CipherAlgorithm::Tdes2, key) {}

const Cipher &CryptogramKey::left() const {
  if (left_.empty()) {
    left_.setKey(CipherAlgorithm::Des, std::span(*key_).first(8));
  }
  return left_;
}

} // namespace tolvane
