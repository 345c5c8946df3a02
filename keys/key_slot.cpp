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

void KeySlot::assign(CipherFamily family, std::span<const std::uint8_t> key) {
  const auto algorithm = cipherAlgorithmFor(family, key.size());
  assert(algorithm && key.size() <= material_->bytes.size());
  if (!empty() && cipher_.algorithm() == *algorithm && constantTimeEqual(bytes(), key)) {
    return;
  }
  std::copy(key.begin(), key.end(), material_->bytes.begin());
  material_->size = key.size();
  cipher_.setKey(*algorithm, key);
  checkValue_ = CheckValue{};
}

void KeySlot::clear() {
  material_ = Secret<KeyBytes>();
  cipher_.clear();
  checkValue_ = CheckValue{};
}

} // namespace tolvane
