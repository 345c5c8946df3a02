// ISO 9564 format 0: the PIN field (control 0, fill F) XOR the PAN field, enciphered under a
// Triple-DES key or used in the clear.

#include <array>

#include "pin/pin_block.hpp"
#include "pin/pin_field.hpp"

namespace tolvane {

namespace {

constexpr bool kBindsPan = true;

void make(PinBlock &out, std::u16string_view pin, std::u16string_view pan, const Cipher *key,
          RandomSource &) {
  makePinField(out.span(), 0, pin, [](int) { return 0xF; });
  sealIsoBlock(out, pan, kBindsPan, key);
}

void decode(const PinBlock &block, std::u16string_view pan, const Cipher *key, Text &pin) {
  Secret<NibbleBlock> field;
  openIsoBlock(block, pan, kBindsPan, key, *field);
  readPinField(*field, 0, 14, 0xF, 0xF, pin);
}

} // namespace

extern const PinBlockFormat kFormat0{0,    u"0", 8,     CipherFamily::Des, true, kBindsPan, 0, 14,
                                     true, make, decode};

} // namespace tolvane
