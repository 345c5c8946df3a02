#include "pin/pvv.hpp"

#include <array>
#include <cassert>

#include "base/secret.hpp"

namespace tolvane {

int decimalisePvv(const NibbleBlock &block) {
  std::array<std::uint8_t, 4> digits{};
  decimaliseNibbles(block, digits);
  return ((digits[0] * 10 + digits[1]) * 10 + digits[2]) * 10 + digits[3];
}

int computePvv(std::u16string_view pan, int pvki, std::u16string_view pinDigits,
               const Cipher &kpv) {
  assert(pinDigits.size() <= 15);
  // Eleven PAN digits (for four PIN digits), the key index, the PIN digits: sixteen nibbles.
  // The PAN's check digit is never used. A PAN too short to fill its share contributes
  // nothing at all rather than a shifted part of itself.
  // The nibbles go into a 64-bit value from the top, nibble 0 first; only the low four bits of a
  // value count, as setNibble keeps them.
  Secret<std::uint64_t> nibbles;
  int count = 0;
  const auto add = [&](int value) {
    *nibbles = (*nibbles << 4) | (static_cast<std::uint64_t>(value) & 0x0F);
    ++count;
  };
  const auto n = static_cast<std::ptrdiff_t>(pan.size());
  const auto first = n + static_cast<std::ptrdiff_t>(pinDigits.size()) - 16;
  if (first >= 0) {
    for (auto s = first; s <= n - 2; ++s) {
      add(digitValue(pan[static_cast<std::size_t>(s)]));
    }
  }
  add(pvki);
  for (const char16_t c : pinDigits) {
    add(digitValue(c));
  }
  *nibbles <<= 4 * (16 - count);
  Secret<NibbleBlock> block;
  for (std::size_t i = 0; i < 8; ++i) {
    (*block)[i] = static_cast<std::uint8_t>(*nibbles >> (56 - 8 * i));
  }

  kpv.encrypt(block->data(), block->data());
  return decimalisePvv(*block);
}

void appendPvv(Text &text, int pvv) {
  const std::size_t start = text.size();
  text.resize(start + 4);
  for (std::size_t i = 4; i-- > 0; pvv /= 10) {
    text[start + i] = static_cast<char16_t>(u'0' + pvv % 10);
  }
}

} // namespace tolvane
