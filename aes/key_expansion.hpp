#pragma once
// The AES key expansion word by word, for an implementation that brings the S-box substitution of
// a word it can do in constant time, and the number of rounds of a key size.
//
// Words are little-endian: key byte 4i is the low byte of word i, so round key r is words
// 4r..4r+3 stored in memory order, and rotating a word's bytes left by one (RotWord) is a
// 32-bit rotation right by 8.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tolvane {

inline std::uint32_t loadAesWord(const std::uint8_t *p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

// 16, 24 or 32 key bytes take 10, 12 or 14 rounds.
constexpr std::uint32_t aesRounds(std::size_t keySize) {
  return static_cast<std::uint32_t>(keySize / 4 + 6);
}

// Fills words[0 .. 4 * (rounds + 1)) from key. subWord puts each byte of a word through the
// S-box. Which words take the S-box depends only on the key size, never on the key.
template <typename SubWord>
void expandAesKey(std::uint32_t *words, std::span<const std::uint8_t> key, SubWord subWord) {
  const std::size_t keyWords = key.size() / 4;
  const std::size_t total = 4 * (std::size_t{aesRounds(key.size())} + 1);
  for (std::size_t i = 0; i < keyWords; ++i) {
    words[i] = loadAesWord(&key[4 * i]);
  }
  std::uint32_t roundConstant = 1; // x^(i / keyWords - 1) in GF(2^8), in the word's first byte
  for (std::size_t i = keyWords; i < total; ++i) {
    std::uint32_t t = words[i - 1];
    if (i % keyWords == 0) {
      t = subWord(std::rotr(t, 8)) ^ roundConstant;
      roundConstant = (roundConstant << 1) ^ ((roundConstant >> 7) * 0x11BU);
    } else if (keyWords == 8 && i % keyWords == 4) {
      t = subWord(t);
    }
    words[i] = words[i - keyWords] ^ t;
  }
}

} // namespace tolvane
