// ISO 9564 format 0: the PIN field (control 0, fill F) XOR the PAN field, enciphered under a
// Triple-DES key or used in the clear.

#include <algorithm>

#include "pin/pin_block.hpp"
#include "pin/pin_field.hpp"

namespace tolvane {

namespace {

void make(PinBlock &out, std::u16string_view pin, std::u16string_view pan, const Cipher *key,
          RandomSource &) {
  Secret<NibbleBlock> panField;
  out.size = 8;
  makePinField(out.span(), 0, pin, [](int) { return 0xF; });
  makePanField(*panField, pan);
  xorBlocks(out.bytes.data(), out.bytes.data(), panField->data());
  if (key != nullptr) {
    key->encrypt(out.bytes.data(), out.bytes.data());
  }
}

void decode(const PinBlock &block, std::u16string_view pan, const Cipher *key, Text &pin) {
  Secret<NibbleBlock> field;
  Secret<NibbleBlock> panField;
  std::copy_n(block.bytes.begin(), 8, field->begin());
  if (key != nullptr) {
    key->decrypt(field->data(), field->data());
  }
  makePanField(*panField, pan);
  xorBlocks(field->data(), field->data(), panField->data());
  readPinField(*field, 0, 14, 0xF, 0xF, pin);
}

} // namespace

extern const PinBlockFormat kFormat0{0, 8, true, 14, make, decode};

} // namespace tolvane
