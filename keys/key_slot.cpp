#include "keys/key_slot.hpp"

#include <algorithm>
#include <cassert>

namespace tolvane {

const CheckValue &KeySlot::checkValue() const {
  if (checkValue_.size == 0) {
    checkValue_ = keyCheckValue(cipher_);
  }
  return checkValue_;
}

const Cipher &KeySlot::leftDes() const {
  if (left_.empty()) {
    left_.setKey(CipherAlgorithm::Des, bytes().first(8));
  }
  return left_;
}

const HmacKey &KeySlot::hmacKey(const HashAlgorithm &hash) const {
  assert(hmac_);
  if (hmacHash_ != &hash) {
    hmacKey_.emplace(hash, bytes());
    hmacHash_ = &hash;
  }
  return *hmacKey_;
}

bool KeySlot::holds(bool hmac, std::span<const std::uint8_t> key) const {
  return !empty() && hmac_ == hmac && constantTimeEqual(bytes(), key);
}

void KeySlot::store(bool hmac, std::span<const std::uint8_t> key) {
  clear();
  std::copy(key.begin(), key.end(), material_->bytes.begin());
  material_->size = key.size();
  hmac_ = hmac;
}

void KeySlot::assign(CipherFamily family, std::span<const std::uint8_t> key) {
  const auto algorithm = cipherAlgorithmFor(family, key.size());
  assert(algorithm);
  if (holds(false, key) && cipher_.algorithm() == *algorithm) {
    return;
  }
  store(false, key);
  cipher_.setKey(*algorithm, key);
}

void KeySlot::assignHmac(std::span<const std::uint8_t> key) {
  assert(!key.empty() && key.size() <= kLongestHmacKey);
  if (!holds(true, key)) {
    store(true, key);
  }
}

void KeySlot::clear() {
  wipe(*material_);
  hmac_ = false;
  cipher_.clear();
  checkValue_ = CheckValue{};
  left_.clear();
  hmacKey_.reset();
  hmacHash_ = nullptr;
}

} // namespace tolvane
