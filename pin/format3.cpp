// ISO 9564 format 3: format 0 with control 3 and every fill nibble drawn at random from A to F,
// XORed with the same PAN field as format 0.

#include <algorithm>
#include <array>

#include "pin/pin_block.hpp"
#include "pin/pin_field.hpp"

namespace tolvane {

namespace {

void make(PinBlock &out, std::u16string_view pin, std::u16string_view pan, const Cipher *key,
          RandomSource &random) {
  Secret<std::array<std::uint8_t, 16>> fill;
  Secret<NibbleBlock> panField;
  randomNibbles(random, *fill, true);
  out.size = 8;
  makePinField(out.span(), 3, pin, [&fill](int i) { return (*fill)[static_cast<std::size_t>(i)]; });
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
  readPinField(*field, 3, 12, 0xA, 0xF, pin);
}

} // namespace

extern const PinBlockFormat kFormat3{3, 8, true, 12, make, decode};

} // namespace tolvane
