// ISO 9564 format 4, for AES: 16-byte blocks. The PIN field is control 4, the PIN length and
// digits, A up to nibble 15, then sixteen random nibbles (each 0 to F); the PAN field is
// M = (PAN digits - 12, or 0 for 12 or fewer), then the whole PAN, check digit included,
// right-aligned in nibbles 1 to 12 when it is shorter than 12 digits, then zeros. The block is
// E(E(PIN field) XOR PAN field).

#include <array>

#include "pin/pin_block.hpp"
#include "pin/pin_field.hpp"

namespace tolvane {

namespace {

using Field = std::array<std::uint8_t, 16>;

// pan: 1 to 19 decimal digits (the command line refuses any other).
void makePanField4(Field &out, std::u16string_view pan) {
  std::array<std::uint8_t, 32> nibbles{};
  const std::size_t length = pan.size();
  nibbles[0] = static_cast<std::uint8_t>(length > 12 ? length - 12 : 0);
  const std::size_t first = length < 12 ? 13 - length : 1; // where the first digit goes
  for (std::size_t i = 0; i < length; ++i) {
    nibbles[first + i] = static_cast<std::uint8_t>(digitValue(pan[i]) & 0xF);
  }
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<std::uint8_t>(nibbles[2 * i] << 4 | nibbles[2 * i + 1]);
  }
}

void make(PinBlock &out, std::u16string_view pin, std::u16string_view pan, const Cipher *key,
          RandomSource &random) {
  Secret<std::array<std::uint8_t, 16>> fill;
  Secret<Field> panField;
  randomNibbles(random, *fill, false);
  out.size = 16;
  makePinField(out.span(), 4, pin, [](int) { return 0xA; });
  for (int i = 16; i < 32; ++i) {
    setNibble(out.span(), i, (*fill)[static_cast<std::size_t>(i - 16)]);
  }
  makePanField4(*panField, pan);
  key->encrypt(out.bytes.data(), out.bytes.data());
  xorBlocks(out.bytes.data(), out.bytes.data(), panField->data(), 16);
  key->encrypt(out.bytes.data(), out.bytes.data());
}

void decode(const PinBlock &block, std::u16string_view pan, const Cipher *key, Text &pin) {
  Secret<Field> field(block.bytes);
  Secret<Field> panField;
  makePanField4(*panField, pan);
  key->decrypt(field->data(), field->data());
  xorBlocks(field->data(), field->data(), panField->data(), 16);
  key->decrypt(field->data(), field->data());
  readPinField(*field, 4, 12, 0xA, 0xA, pin);
}

} // namespace

// Format 4 has no form in the clear: the command line insists on an AES key.
extern const PinBlockFormat kFormat4{4,    u"4", 16,    CipherFamily::Aes, false, true, 19, 12,
                                     true, make, decode};

} // namespace tolvane
