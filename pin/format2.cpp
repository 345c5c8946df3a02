// ISO 9564 format 2, for IC cards: control 2, the PIN length and digits, fill F; no PAN and
// nothing random.

#include <array>

#include "pin/pin_block.hpp"
#include "pin/pin_field.hpp"

namespace tolvane {

namespace {

constexpr bool kBindsPan = false;

void make(PinBlock &out, std::u16string_view pin, std::u16string_view pan, const Cipher *key,
          RandomSource &) {
  makePinField(out.span(), 2, pin, [](int) { return 0xF; });
  sealIsoBlock(out, pan, kBindsPan, key);
}

void decode(const PinBlock &block, std::u16string_view pan, const Cipher *key, Text &pin) {
  Secret<NibbleBlock> field;
  openIsoBlock(block, pan, kBindsPan, key, *field);
  readPinField(*field, 2, 12, 0xF, 0xF, pin);
}

} // namespace

// Format 2 is for IC cards: a PIN neither comes into nor leaves it by translation.
extern const PinBlockFormat kFormat2{2,     u"2", 8,     CipherFamily::Des, true, kBindsPan, 0, 12,
                                     false, make, decode};

} // namespace tolvane
