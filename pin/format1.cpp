// ISO 9564 format 1: control 1, the PIN length and digits, then a random fill (each nibble 0 to
// F); no PAN. The fill cannot be checked when the block is read.

#include <algorithm>
#include <array>

#include "pin/pin_block.hpp"
#include "pin/pin_field.hpp"

namespace tolvane {

namespace {

void make(PinBlock &out, std::u16string_view pin, std::u16string_view, const Cipher *key,
          RandomSource &random) {
  Secret<std::array<std::uint8_t, 16>> fill;
  randomNibbles(random, *fill, false);
  out.size = 8;
  makePinField(out.span(), 1, pin, [&fill](int i) { return (*fill)[static_cast<std::size_t>(i)]; });
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
  readPinField(*field, 1, 12, 0x0, 0xF, pin);
}

} // namespace

extern const PinBlockFormat kFormat1{1, 8, false, 12, make, decode};

} // namespace tolvane
