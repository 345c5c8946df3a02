#include "base/digits.hpp"

#include <algorithm>
#include <cstddef>

#include "base/secret.hpp"

namespace tolvane {

void xorBlocks(std::uint8_t *out, const std::uint8_t *a, const std::uint8_t *b, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = static_cast<std::uint8_t>(a[i] ^ b[i]);
  }
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
  // Through a buffer of its own, so that the text grows once; the bytes may be a key, so the
  // buffer is wiped after.
  char16_t pairs[64];
  const std::size_t used = std::min<std::size_t>(bytes.size(), 32);
  while (!bytes.empty()) {
    const std::size_t count = std::min<std::size_t>(bytes.size(), 32);
    for (std::size_t i = 0; i < count; ++i) {
      byteToHexPair(bytes[i], &pairs[2 * i]);
    }
    text.append(pairs, 2 * count);
    bytes = bytes.subspan(count);
  }
  wipeBytes(pairs, 2 * used * sizeof pairs[0]);
}

} // namespace tolvane
