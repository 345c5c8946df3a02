#include "card/cvv.hpp"

#include <array>
#include <cassert>

#include "base/digits.hpp"

namespace tolvane {

namespace {

// The three digits of a block: its decimal nibbles from the left; when there are fewer than
// three, its nibbles A to F follow, again from the left, as 0 to 5. Sixteen nibbles always
// hold three of one kind or the other.
void decimalise(const NibbleBlock &block, CvvDigits &value) {
  std::size_t count = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < 16 && count < value.size(); ++i) {
      const int nibble = getNibble(block, i);
      if ((nibble <= 9) == (pass == 0)) {
        value[count++] = static_cast<std::uint8_t>(pass == 0 ? nibble : nibble - 10);
      }
    }
  }
}

} // namespace

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
  decimalise(*result, *value);
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
