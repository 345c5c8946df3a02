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
// Looks at every character, whatever it finds: the time depends on the length alone, as a key or
// a message may be what is checked.
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
// Sixteen nibbles as one number, nibble 0 in the top four bits, and back: eight bytes at out.
inline std::uint64_t loadNibbles(const std::uint8_t *bytes) {
  std::uint64_t value = 0;
  for (int i = 0; i < 8; ++i) {
    value = value << 8 | bytes[i];
  }
  return value;
}
inline void storeNibbles(std::uint64_t value, std::uint8_t *out) {
  for (int i = 7; i >= 0; --i, value >>= 8) {
    out[i] = static_cast<std::uint8_t>(value);
  }
}

// out = a XOR b, byte by byte, for count bytes; out may be a or b.
void xorBlocks(std::uint8_t *out, const std::uint8_t *a, const std::uint8_t *b,
               std::size_t count = 8);

// Two hex digits (either case), high nibble first. The caller has checked they are hex.
inline std::uint8_t hexPairToByte(const char16_t *pair) {
  // A digit's low four bits are its value; a letter of either case has bit 6 set and 1 to 6 in
  // its low four bits, 9 less than its value. No branch and no table: keys and messages pass
  // through here.
  const auto value = [](char16_t c) {
    return (static_cast<unsigned>(c) & 0x0Fu) + 9u * ((static_cast<unsigned>(c) >> 6) & 1u);
  };
  return static_cast<std::uint8_t>((value(pair[0]) << 4) | value(pair[1]));
}
// Writes two upper-case hex digits, high nibble first, and no terminator.
inline void byteToHexPair(std::uint8_t byte, char16_t *pair) {
  const auto character = [](unsigned nibble) {
    return static_cast<char16_t>(nibble < 10 ? nibble + 48 : nibble + 55);
  };
  pair[0] = character(byte >> 4u);
  pair[1] = character(byte & 0x0Fu);
}

// The first digits.size() (at most 16) digits of a block, as the PVV and the CVV take them:
// its decimal nibbles from the left; when there are too few, its nibbles 10..15 follow, again
// from the left, each less 10. Every nibble is one or the other, so there are always enough.
void decimaliseNibbles(const NibbleBlock &block, std::span<std::uint8_t> digits);

// Checked hex text (an even number of hex digits) into hex.size() / 2 bytes at out.
void hexToBytes(std::u16string_view hex, std::uint8_t *out);
// The decimal digits of number, appended to text.
void appendDecimal(Text &text, std::size_t number);
// Two upper-case hex digits per byte, appended to text.
void appendHex(Text &text, std::span<const std::uint8_t> bytes);

} // namespace tolvane
