#include "base/digits.hpp"

#include <algorithm>

namespace tolvane {

namespace {

// Folding with 0x5F maps 'a'..'f' onto 'A'..'F'; digits land on 0..9 and letters on 0x31..0x36,
// which the second step brings down to 10..15.
int hexValue(char16_t c) {
  const unsigned v = ((static_cast<unsigned>(c) & 0xFFu) & 0x5Fu) - 0x10u;
  return static_cast<int>((v & 0xFFFFu) <= 9 ? v : v - 0x27u) & 0x0F;
}

char16_t hexCharacter(unsigned nibble) {
  return static_cast<char16_t>(nibble < 10 ? nibble + 48 : nibble + 55);
}

} // namespace

void xorBlocks(std::uint8_t *out, const std::uint8_t *a, const std::uint8_t *b, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = static_cast<std::uint8_t>(a[i] ^ b[i]);
  }
}

std::uint8_t hexPairToByte(const char16_t *pair) {
  return static_cast<std::uint8_t>((hexValue(pair[0]) << 4) | hexValue(pair[1]));
}

void byteToHexPair(std::uint8_t byte, char16_t *pair) {
  pair[0] = hexCharacter(byte >> 4u);
  pair[1] = hexCharacter(byte & 0x0Fu);
}

bool allDecimal(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), isDecimalDigit);
}

bool allHex(std::u16string_view text) { return std::all_of(text.begin(), text.end(), isHexDigit); }

void decimaliseNibbles(const NibbleBlock &block, std::span<std::uint8_t> digits) {
  std::size_t count = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < 16 && count < digits.size(); ++i) {
      const int nibble = getNibble(block, i);
      if ((nibble <= 9) == (pass == 0)) {
        digits[count++] = static_cast<std::uint8_t>(pass == 0 ? nibble : nibble - 10);
      }
    }
  }
}

void hexToBytes(std::u16string_view hex, std::uint8_t *out) {
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out[i / 2] = hexPairToByte(&hex[i]);
  }
}

void appendHex(Text &text, std::span<const std::uint8_t> bytes) {
  for (const std::uint8_t byte : bytes) {
    char16_t pair[2];
    byteToHexPair(byte, pair);
    text.append(pair, 2);
  }
}

Text blockToHex(const NibbleBlock &block) {
  Text hex;
  appendHex(hex, block);
  return hex;
}

NibbleBlock hexToBlock(std::u16string_view hex) {
  NibbleBlock block{};
  hexToBytes(hex.substr(0, 16), block.data());
  return block;
}

} // namespace tolvane
