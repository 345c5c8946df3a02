#include "keys/key_slot.hpp"

#include <algorithm>
#include <cassert>

namespace tolvane {

namespace {

std::uint64_t lastStamp = 0;

} // namespace

const CheckValue &KeySlot::checkValue() const {
  if (checkValue_.size == 0) {
    checkValue_ = keyCheckValue(cipher_);
  }
  return checkValue_;
}

void KeySlot::setKey(CipherFamily family, std::span<const std::uint8_t> key) {
  const auto algorithm = cipherAlgorithmFor(family, key.size());
  assert(algorithm && key.size() <= material_->bytes.size());
  if (!empty() && !hmac_ && cipher_.algorithm() == *algorithm && constantTimeEqual(bytes(), key)) {
    return;
  }
  take(key, false);
  cipher_.setKey(*algorithm, key);
}

void KeySlot::take(std::span<const std::uint8_t> key, bool hmac) {
  // A longer key held before (an HMAC key) must not outlive this one past its end.
  wipe(*material_);
  std::copy(key.begin(), key.end(), material_->bytes.begin());
  material_->size = key.size();
  hmac_ = hmac;
  // What was made from the key before is of no use now.
  checkValue_ = CheckValue{};
  stamp_ = ++lastStamp;
  blockKeys_.clear();
  left_.clear();
  hmacKey_.reset();
  hmacHash_ = nullptr;
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

void KeySlot::assignHmac(std::span<const std::uint8_t> key) {
  if (!block_.empty()) {
    blankText(block_.text);
    block_ = KeyBlock{};
    openedUnder_ = 0;
  }
  setHmac(key);
}

void KeySlot::setHmac(std::span<const std::uint8_t> key) {
  assert(!key.empty() && key.size() <= kLongestHmacKey);
  if (hmac_ && constantTimeEqual(bytes(), key)) {
    return;
  }
  take(key, true);
  cipher_.clear();
}

void KeySlot::assign(CipherFamily family, std::span<const std::uint8_t> key) {
  if (!block_.empty()) {
    block_ = KeyBlock{};
    openedUnder_ = 0;
  }
  setKey(family, key);
}

void KeySlot::seal(KeyBlock block) {
  if (block.text != block_.text) {
    clear();
    block_ = std::move(block);
  }
}

KeyBlockProblem KeySlot::open(const KeySlot &kbpk, KeyFit fit, CipherAlgorithm &found) {
  if (openedUnder_ != 0 && openedUnder_ == kbpk.stamp_) {
    return KeyBlockProblem::None;
  }
  const char16_t version = block_.version();
  KeyBlockProblem problem = kbpkSuits(version, kbpk.family());
  Secret<ClearKey> key;
  if (problem == KeyBlockProblem::None) {
    problem = unwrapKeyBlock(block_, kbpk.blockKeys(version), kbpk.algorithm(), key);
  }
  if (problem != KeyBlockProblem::None) {
    return problem;
  }
  if (key->hmac) {
    if (!fit.hmac) {
      return KeyBlockProblem::HmacKeyNotTaken;
    }
    setHmac(key->span());
    openedUnder_ = kbpk.stamp_;
    return KeyBlockProblem::None;
  }
  found = key->algorithm;
  const CipherEntry &entry = cipherEntry(key->algorithm);
  if (!holds(entry.family == CipherFamily::Aes ? fit.aes : fit.des, key->size)) {
    return KeyBlockProblem::KeyNotTaken;
  }
  setKey(entry.family,
         key->span().first(fit.keep != 0 ? std::min(fit.keep, key->size) : key->size));
  openedUnder_ = kbpk.stamp_;
  return KeyBlockProblem::None;
}

const KeyBlockKeys &KeySlot::blockKeys(char16_t version) const {
  if (!blockKeys_.holds(version)) {
    blockKeys_.derive(version, cipher_, bytes());
  }
  return blockKeys_;
}

void KeySlot::clear() {
  material_ = Secret<KeyBytes>();
  hmac_ = false;
  cipher_.clear();
  checkValue_ = CheckValue{};
  left_.clear();
  hmacKey_.reset();
  hmacHash_ = nullptr;
  stamp_ = 0;
  blockKeys_.clear();
  if (!block_.empty()) {
    blankText(block_.text);
    block_ = KeyBlock{};
  }
  openedUnder_ = 0;
}

} // namespace tolvane
