#pragma once
// Digit strings and 8-byte nibble blocks: the two shapes every PIN computation works on.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/text.hpp"

namespace tolvane {

// 8 bytes seen as 16 four-bit nibbles. Nibble 0 is the high half of byte 0 and nibble 15
// the low half of byte 7, so the block's hex text lists nibbles 0 to 15 left to right.
using NibbleBlock = std::array<std::uint8_t, 8>;

// Value of a digit character: its code minus '0', taken on the low eight bits. Only
// meaningful for '0'..'9'; other characters give values outside 0..9.
inline int digitValue(char16_t c) { return static_cast<int>(c & 0xFF) - 48; }

inline bool isDecimalDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
inline bool isHexDigit(char16_t c) {
  return isDecimalDigit(c) || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}
bool allDecimal(std::u16string_view text);
bool allHex(std::u16string_view text);

// index 0..15 (0..31 in a 16-byte block). Only the low four bits of value are stored, so a stray
// value (from a non-digit PAN character) can never spill into the neighbouring nibble.
inline void setNibble(std::span<std::uint8_t> block, int index, int value) {
  auto &byte = block[static_cast<std::size_t>(index / 2)];
  const auto nibble = static_cast<unsigned>(value) & 0x0Fu;
  byte = static_cast<std::uint8_t>(index % 2 == 0 ? (nibble << 4) | (byte & 0x0Fu)
                                                  : (byte & 0xF0u) | nibble);
}
// index 0..15 (0..31 in a 16-byte block); returns 0..15.
inline int getNibble(std::span<const std::uint8_t> block, int index) {
  const unsigned byte = block[static_cast<std::size_t>(index / 2)];
  return static_cast<int>(index % 2 == 0 ? byte >> 4 : byte & 0x0Fu);
}
// out = a XOR b, byte by byte, for count bytes; out may be a or b.
void xorBlocks(std::uint8_t *out, const std::uint8_t *a, const std::uint8_t *b,
               std::size_t count = 8);

// Two hex digits (either case), high nibble first. The caller has checked they are hex.
std::uint8_t hexPairToByte(const char16_t *pair);
// Writes two upper-case hex digits, high nibble first, and no terminator.
void byteToHexPair(std::uint8_t byte, char16_t *pair);

// The first digits.size() (at most 16) digits of a block, as the PVV and the CVV take them:
// its decimal nibbles from the left; when there are too few, its nibbles 10..15 follow, again
// from the left, each less 10. Every nibble is one or the other, so there are always enough.
void decimaliseNibbles(const NibbleBlock &block, std::span<std::uint8_t> digits);

// Checked hex text (an even number of hex digits) into hex.size() / 2 bytes at out.
void hexToBytes(std::u16string_view hex, std::uint8_t *out);
// Two upper-case hex digits per byte, appended to text.
void appendHex(Text &text, std::span<const std::uint8_t> bytes);

// The 16-digit upper-case hex text of a block, and its inverse for checked hex text.
Text blockToHex(const NibbleBlock &block);
NibbleBlock hexToBlock(std::u16string_view hex);

} // namespace tolvane
