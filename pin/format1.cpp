// ISO 9564 format 1: control 1, the PIN length and digits, then a random fill (each nibble 0 to
// F); no PAN. The fill cannot be checked when the block is read.

#include <array>

#include "pin/pin_block.hpp"
#include "pin/pin_field.hpp"

namespace tolvane {

namespace {

constexpr bool kBindsPan = false;

void make(PinBlock &out, std::u16string_view pin, std::u16string_view pan, const Cipher *key,
          RandomSource &random) {
  Secret<std::array<std::uint8_t, 16>> fill;
  randomNibbles(random, *fill, false);
  makePinField(out.span(), 1, pin, [&fill](int i) { return (*fill)[static_cast<std::size_t>(i)]; });
  sealIsoBlock(out, pan, kBindsPan, key);
}

void decode(const PinBlock &block, std::u16string_view pan, const Cipher *key, Text &pin) {
  Secret<NibbleBlock> field;
  openIsoBlock(block, pan, kBindsPan, key, *field);
  readPinField(*field, 1, 12, 0x0, 0xF, pin);
}

} // namespace

extern const PinBlockFormat kFormat1{1,    u"1", 8,     CipherFamily::Des, true, kBindsPan, 0, 12,
                                     true, make, decode};

} // namespace tolvane
