// ISO 9564 format 2, for IC cards: control 2, the PIN length and digits, fill F; no PAN and
// nothing random.

#include <algorithm>

#include "pin/pin_block.hpp"
#include "pin/pin_field.hpp"

namespace tolvane {

namespace {

void make(PinBlock &out, std::u16string_view pin, std::u16string_view, const Cipher *key,
          RandomSource &) {
  out.size = 8;
  makePinField(out.span(), 2, pin, [](int) { return 0xF; });
  if (key != nullptr) {
    key->encrypt(out.bytes.data(), out.bytes.data());
  }
}

void decode(const PinBlock &block, std::u16string_view, const Cipher *key, Text &pin) {
  Secret<NibbleBlock> field;
  std::copy_n(block.bytes.begin(), 8, field->begin());
  if (key != nullptr) {
    key->decrypt(field->data(), field->data());
  }
  readPinField(*field, 2, 12, 0xF, 0xF, pin);
}

} // namespace

extern const PinBlockFormat kFormat2{2, 8, false, 12, make, decode};

} // namespace tolvane
