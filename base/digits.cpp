#include "base/digits.hpp"

#include <algorithm>
#include <cstddef>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

bool allHex(std::u16string_view text) {
  unsigned refused = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Eight characters at a time. SSE2 compares 16-bit lanes only as signed numbers, so each
  // difference is moved by 0x8000 first: an unsigned "below n" becomes a signed "below
  // 0x8000 + n".
  const __m128i bias = _mm_set1_epi16(static_cast<short>(0x8000));
  const __m128i digitLimit = _mm_set1_epi16(static_cast<short>(0x8000 + 10));
  const __m128i letterLimit = _mm_set1_epi16(static_cast<short>(0x8000 + 6));
  __m128i accepted = _mm_set1_epi16(-1);
  for (; i + 8 <= text.size(); i += 8) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + i));
    const __m128i digit =
        _mm_cmplt_epi16(_mm_add_epi16(_mm_sub_epi16(c, _mm_set1_epi16(u'0')), bias), digitLimit);
    const __m128i letter = _mm_cmplt_epi16(
        _mm_add_epi16(_mm_sub_epi16(_mm_or_si128(c, _mm_set1_epi16(0x20)), _mm_set1_epi16(u'a')),
                      bias),
        letterLimit);
    accepted = _mm_and_si128(accepted, _mm_or_si128(digit, letter));
  }
  refused = static_cast<unsigned>(_mm_movemask_epi8(accepted)) ^ 0xFFFFu;
#endif
  for (; i < text.size(); ++i) {
    // Unsigned differences wrap below the range, so each range is one comparison; or-ing 0x20
    // folds upper-case letters onto lower-case ones.
    const unsigned c = text[i];
    const unsigned digit = c - u'0' < 10u;
    const unsigned letter = (c | 0x20u) - u'a' < 6u;
    refused |= (digit | letter) ^ 1u;
  }
  return refused == 0;
}

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
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen digits (eight bytes) at a time, by hexPairToByte's arithmetic: the digits narrowed
  // to bytes, each turned into its value, then each pair (first digit in the low byte of its
  // 16-bit lane) joined into one byte.
  const __m128i low = _mm_set1_epi8(0x0F);
  const __m128i letterBit = _mm_set1_epi8(0x40);
  const __m128i nine = _mm_set1_epi8(9);
  for (; i + 16 <= hex.size(); i += 16) {
    const auto *at = reinterpret_cast<const __m128i *>(hex.data() + i);
    const __m128i c =
        _mm_packus_epi16(_mm_and_si128(_mm_loadu_si128(at), _mm_set1_epi16(0xFF)),
                         _mm_and_si128(_mm_loadu_si128(at + 1), _mm_set1_epi16(0xFF)));
    const __m128i isLetter = _mm_cmpeq_epi8(_mm_and_si128(c, letterBit), letterBit);
    const __m128i value = _mm_add_epi8(_mm_and_si128(c, low), _mm_and_si128(isLetter, nine));
    const __m128i joined = _mm_or_si128(
        _mm_slli_epi16(_mm_and_si128(value, _mm_set1_epi16(0xFF)), 4), _mm_srli_epi16(value, 8));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(out + i / 2), _mm_packus_epi16(joined, joined));
  }
#endif
  for (; i + 1 < hex.size(); i += 2) {
    out[i / 2] = hexPairToByte(&hex[i]);
  }
}

void appendDecimal(Text &text, std::size_t number) {
  if (number >= 10) {
    appendDecimal(text, number / 10);
  }
  text += static_cast<char16_t>(u'0' + number % 10);
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
