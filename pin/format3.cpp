// ISO 9564 format 3: format 0 with control 3 and every fill nibble drawn at random from A to F,
// XORed with the same PAN field as format 0.

#include <array>

#include "pin/pin_block.hpp"
#include "pin/pin_field.hpp"

namespace tolvane {

namespace {

constexpr bool kBindsPan = true;

void make(PinBlock &out, std::u16string_view pin, std::u16string_view pan, const Cipher *key,
          RandomSource &random) {
  Secret<std::array<std::uint8_t, 16>> fill;
  randomNibbles(random, *fill, true);
  makePinField(out.span(), 3, pin, [&fill](int i) { return (*fill)[static_cast<std::size_t>(i)]; });
  sealIsoBlock(out, pan, kBindsPan, key);
}

void decode(const PinBlock &block, std::u16string_view pan, const Cipher *key, Text &pin) {
  Secret<NibbleBlock> field;
  openIsoBlock(block, pan, kBindsPan, key, *field);
  readPinField(*field, 3, 12, 0xA, 0xF, pin);
}

} // namespace

extern const PinBlockFormat kFormat3{3,    u"3", 8,     CipherFamily::Des, true, kBindsPan, 0, 12,
                                     true, make, decode};

} // namespace tolvane
