#include "cli/keys.hpp"

#include <algorithm>

#include "base/digits.hpp"
#include "cli/errors.hpp"
#include "cli/platform.hpp"

namespace tolvane {

const CheckValue &KeySlot::checkValue() const {
  if (checkValue_.size == 0) {
    checkValue_ = keyCheckValue(cipher_);
  }
  return checkValue_;
}

void KeySlot::assign(CipherAlgorithm algorithm, std::span<const std::uint8_t> key) {
  Secret<KeyBytes> given;
  std::copy(key.begin(), key.end(), given->bytes.begin());
  given->size = key.size();
  if (algorithm == CipherAlgorithm::Tdes && key.size() == 8) {
    std::copy_n(key.begin(), 8, given->bytes.begin() + 8);
    given->size = 16;
  }
  const std::span<const std::uint8_t> bytes(given->bytes.data(), given->size);
  if (!empty() && cipher_.algorithm() == algorithm && constantTimeEqual(this->bytes(), bytes)) {
    return;
  }
  material_ = given;
  cipher_.setKey(algorithm, bytes);
  checkValue_ = CheckValue{};
}

void KeySlot::clear() {
  material_ = Secret<KeyBytes>();
  cipher_.clear();
  checkValue_ = CheckValue{};
}

void keyFromHex(KeySlot &slot, CipherAlgorithm algorithm, std::u16string_view hex,
                std::size_t keep) {
  Secret<std::array<std::uint8_t, 32>> bytes;
  hexToBytes(hex, bytes->data());
  slot.assign(algorithm, std::span(bytes->data(), std::min(hex.size() / 2, keep)));
}

void keyFromFile(KeySlot &slot, CipherAlgorithm algorithm, std::u16string_view fileName,
                 std::size_t readLimit, std::initializer_list<std::size_t> sizes,
                 const char16_t *wrongLength, bool inBatch) {
  Secret<std::array<std::uint8_t, 33>> bytes;
  const auto count =
      readFilePrefix(fileName, bytes->data(), std::min(readLimit, bytes->size()), inBatch);
  if (!count) {
    throw excCL_MalformedParameter(u"could not open key file");
  }
  if (std::find(sizes.begin(), sizes.end(), *count) == sizes.end()) {
    throw excCL_MalformedParameter(wrongLength);
  }
  slot.assign(algorithm, std::span(bytes->data(), *count));
}

} // namespace tolvane
