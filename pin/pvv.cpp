#include "pin/pvv.hpp"

#include <cassert>

#include "base/secret.hpp"

namespace tolvane {

// Every nibble is either decimal or 10..15, so the two passes always find four digits.
int decimalisePvv(const NibbleBlock &block) {
  int value = 0;
  int count = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < 16 && count < 4; ++i) {
      const int nibble = getNibble(block, i);
      const bool wanted = pass == 0 ? nibble <= 9 : nibble >= 10;
      if (wanted) {
        value = value * 10 + (pass == 0 ? nibble : nibble - 10);
        ++count;
      }
    }
  }
  return value;
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
  char16_t digits[4];
  for (int i = 3; i >= 0; --i, pvv /= 10) {
    digits[i] = static_cast<char16_t>(u'0' + pvv % 10);
  }
  text.append(digits, 4);
}

} // namespace tolvane
