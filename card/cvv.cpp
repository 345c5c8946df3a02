#include "card/cvv.hpp"

#include <array>
#include <cassert>

#include "base/digits.hpp"

namespace tolvane {

Secret<CvvDigits> computeCvv(std::u16string_view pan, std::u16string_view expiry,
                             std::u16string_view serviceCode, const Cipher &keyA,
                             const Cipher &keyAB) {
  assert(pan.size() + expiry.size() + serviceCode.size() <= 32);
  // The digits one after the other, then zeros: 32 nibbles, the first 16 of them block 1.
  Secret<std::array<std::uint8_t, 16>> field;
  int position = 0;
  for (const std::u16string_view part : {pan, expiry, serviceCode}) {
    for (const char16_t c : part) {
      setNibble(*field, position++, digitValue(c));
    }
  }
  Secret<NibbleBlock> result;
  keyA.encrypt(field->data(), result->data());
  xorBlocks(result->data(), result->data(), field->data() + 8);
  keyAB.encrypt(result->data(), result->data());
  Secret<CvvDigits> value;
  decimaliseNibbles(*result, *value);
  return value;
}

bool verifyCvv(std::u16string_view pan, std::u16string_view expiry, std::u16string_view serviceCode,
               std::u16string_view value, const Cipher &keyA, const Cipher &keyAB) {
  assert(value.size() == 3);
  const Secret<CvvDigits> computed = computeCvv(pan, expiry, serviceCode, keyA, keyAB);
  Secret<CvvDigits> given;
  for (std::size_t i = 0; i < given->size(); ++i) {
    (*given)[i] = static_cast<std::uint8_t>(digitValue(value[i]));
  }
  return constantTimeEqual(*computed, *given);
}

} // namespace tolvane
