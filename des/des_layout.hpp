#pragma once
// The standard's tables and the bit layouts that both DES engines of this folder share: the
// truth tables of the S-box output bits and where P sends each, the initial and final
// permutations as bit exchanges, and the key schedule's permuted choices as fixed shifts and
// masks. Nothing here looks anything up by key or data bits.
//
// Inside the engines a block is two 32-bit halves read big-endian, L from bytes 0-3 and R from
// bytes 4-7, so the standard's bit 1 is bit 31 of L. After the initial permutation both halves
// are kept rotated left by one bit. In that form byte j (j = 0..3, most significant first) of a
// half X holds in its low six bits exactly the six bits that the expansion E feeds S-box 2j+2,
// and byte j of X rotated right by four those of S-box 2j+1: E costs nothing.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace tolvane::deslayout {

// ---- The standard's tables ------------------------------------------------------------------

// S-boxes 1 to 8; entry 16 * row + column, row and column as the standard numbers them.
inline constexpr std::array<std::array<std::uint8_t, 64>, 8> sBoxes{{
    {14, 4,  13, 1, 2,  15, 11, 8,  3,  10, 6,  12, 5,  9,  0, 7, //
     0,  15, 7,  4, 14, 2,  13, 1,  10, 6,  12, 11, 9,  5,  3, 8, //
     4,  1,  14, 8, 13, 6,  2,  11, 15, 12, 9,  7,  3,  10, 5, 0, //
     15, 12, 8,  2, 4,  9,  1,  7,  5,  11, 3,  14, 10, 0,  6, 13},
    {15, 1,  8,  14, 6,  11, 3,  4,  9,  7, 2,  13, 12, 0, 5,  10, //
     3,  13, 4,  7,  15, 2,  8,  14, 12, 0, 1,  10, 6,  9, 11, 5,  //
     0,  14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,  9,  3, 2,  15, //
     13, 8,  10, 1,  3,  15, 4,  2,  11, 6, 7,  12, 0,  5, 14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7,  11, 4,  2,  8, //
     13, 7,  0,  9,  3, 4,  6,  10, 2,  8,  5,  14, 12, 11, 15, 1, //
     13, 6,  4,  9,  8, 15, 3,  0,  11, 1,  2,  12, 5,  10, 14, 7, //
     1,  10, 13, 0,  6, 9,  8,  7,  4,  15, 14, 3,  11, 5,  2,  12},
    {7,  13, 14, 3, 0,  6,  9,  10, 1,  2, 8, 5,  11, 12, 4,  15, //
     13, 8,  11, 5, 6,  15, 0,  3,  4,  7, 2, 12, 1,  10, 14, 9,  //
     10, 6,  9,  0, 12, 11, 7,  13, 15, 1, 3, 14, 5,  2,  8,  4,  //
     3,  15, 0,  6, 10, 1,  13, 8,  9,  4, 5, 11, 12, 7,  2,  14},
    {2,  12, 4,  1,  7,  10, 11, 6,  8,  5,  3,  15, 13, 0, 14, 9,  //
     14, 11, 2,  12, 4,  7,  13, 1,  5,  0,  15, 10, 3,  9, 8,  6,  //
     4,  2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,  6,  3, 0,  14, //
     11, 8,  12, 7,  1,  14, 2,  13, 6,  15, 0,  9,  10, 4, 5,  3},
    {12, 1,  10, 15, 9, 2,  6,  8,  0,  13, 3,  4,  14, 7,  5,  11, //
     10, 15, 4,  2,  7, 12, 9,  5,  6,  1,  13, 14, 0,  11, 3,  8,  //
     9,  14, 15, 5,  2, 8,  12, 3,  7,  0,  4,  10, 1,  13, 11, 6,  //
     4,  3,  2,  12, 9, 5,  15, 10, 11, 14, 1,  7,  6,  0,  8,  13},
    {4,  11, 2,  14, 15, 0, 8,  13, 3,  12, 9, 7,  5,  10, 6, 1, //
     13, 0,  11, 7,  4,  9, 1,  10, 14, 3,  5, 12, 2,  15, 8, 6, //
     1,  4,  11, 13, 12, 3, 7,  14, 10, 15, 6, 8,  0,  5,  9, 2, //
     6,  11, 13, 8,  1,  4, 10, 7,  9,  5,  0, 15, 14, 2,  3, 12},
    {13, 2,  8,  4, 6,  15, 11, 1,  10, 9,  3,  14, 5,  0,  12, 7, //
     1,  15, 13, 8, 10, 3,  7,  4,  12, 5,  6,  11, 0,  14, 9,  2, //
     7,  11, 4,  1, 9,  12, 14, 2,  0,  6,  10, 13, 15, 3,  5,  8, //
     2,  1,  14, 7, 4,  10, 8,  13, 15, 12, 9,  0,  3,  5,  6,  11},
}};

// Permutation P: output bit i (1 = most significant) is input bit permutationP[i - 1].
inline constexpr std::array<std::uint8_t, 32> permutationP{
    16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
    2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

// Permuted choice 2: round-key bit i (1..48) is bit permutedChoice2[i - 1] of C||D, C being
// bits 1-28.
inline constexpr std::array<std::uint8_t, 48> permutedChoice2{
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

// How far C and D rotate left before round key i (1..16) is taken.
inline constexpr std::array<unsigned, 16> keyRotations{1, 1, 2, 2, 2, 2, 2, 2,
                                                       1, 2, 2, 2, 2, 2, 2, 1};

// ---- The round function as truth tables --------------------------------------------------------

using SBoxBits = std::array<std::array<std::uint64_t, 4>, 8>;

constexpr SBoxBits makeSBoxTruthTables() {
  SBoxBits tables{};
  for (std::size_t box = 0; box < 8; ++box) {
    for (std::size_t v = 0; v < 64; ++v) {
      // v = b1..b6 (b1 most significant): row b1b6, column b2b3b4b5.
      const std::size_t row = ((v >> 4) & 2) | (v & 1);
      const std::size_t column = (v >> 1) & 15;
      for (std::size_t q = 0; q < 4; ++q) {
        tables[box][q] |= std::uint64_t{(unsigned{sBoxes[box][16 * row + column]} >> q) & 1U} << v;
      }
    }
  }
  return tables;
}

// sBoxTruthTables[k - 1][q], bit v: bit q (0 = least significant) of S-box k on the six input
// bits v (b1 most significant). Shifting the word right by v brings the output bit to bit 0.
inline constexpr SBoxBits sBoxTruthTables = makeSBoxTruthTables();

using OutputPositions = std::array<std::array<unsigned, 4>, 8>;

constexpr OutputPositions makeOutputPositions() {
  OutputPositions positions{};
  for (std::size_t box = 0; box < 8; ++box) {
    for (std::size_t q = 0; q < 4; ++q) {
      // S-box k (box + 1) fills bits 4k-3..4k of the 32-bit S-box output, bit 4k last.
      const std::uint32_t sOut = std::uint32_t{1} << (28 - 4 * box + q);
      std::uint32_t pOut = 0;
      for (std::size_t i = 0; i < 32; ++i) {
        pOut |= ((sOut >> (32 - permutationP[i])) & 1U) << (31 - i);
      }
      positions[box][q] = static_cast<unsigned>(std::countr_zero(std::rotl(pOut, 1)));
    }
  }
  return positions;
}

// outputPositions[k - 1][q]: the bit of a rotated half where P puts output bit q of S-box k.
inline constexpr OutputPositions outputPositions = makeOutputPositions();

// True when P sends the 32 output bits to 32 different places, so that ORing them adds them.
constexpr bool outputPositionsArePermutation() {
  std::uint32_t seen = 0;
  for (const auto &box : outputPositions) {
    for (const unsigned position : box) {
      seen |= std::uint32_t{1} << position;
    }
  }
  return seen == 0xFFFFFFFFU;
}
static_assert(outputPositionsArePermutation());

// ---- Initial and final permutations -------------------------------------------------------------

[[gnu::always_inline]] inline std::uint32_t loadBigEndian(const std::uint8_t *p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

[[gnu::always_inline]] inline void storeBigEndian(std::uint8_t *p, std::uint32_t x) {
  p[0] = static_cast<std::uint8_t>(x >> 24);
  p[1] = static_cast<std::uint8_t>(x >> 16);
  p[2] = static_cast<std::uint8_t>(x >> 8);
  p[3] = static_cast<std::uint8_t>(x);
}

// Swaps the bits of b under mask with the bits of a n places higher.
[[gnu::always_inline]] inline void exchangeBits(std::uint32_t &a, std::uint32_t &b, int n,
                                                std::uint32_t mask) {
  const std::uint32_t t = ((a >> n) ^ b) & mask;
  b ^= t;
  a ^= t << n;
}

// Reads a block into the rotated halves a (L) and b (R). IP turns the columns of the 8x8 bit
// matrix (input byte r as row r) into rows, columns 2, 4, 6, 8 into L and 1, 3, 5, 7 into R,
// each read from row 7 up to row 0. The exchanges do this transpose by swapping blocks of 4, 16,
// 2 and 8 bits between the halves; the last swap, of single bits, is fused with the rotation.
[[gnu::always_inline]] inline void initialPermutation(const std::uint8_t *in, std::uint32_t &a,
                                                      std::uint32_t &b) {
  a = loadBigEndian(in);
  b = loadBigEndian(in + 4);
  exchangeBits(a, b, 4, 0x0F0F0F0FU);
  exchangeBits(a, b, 16, 0x0000FFFFU);
  exchangeBits(b, a, 2, 0x33333333U);
  exchangeBits(b, a, 8, 0x00FF00FFU);
  b = std::rotl(b, 1);
  const std::uint32_t t = (a ^ b) & 0xAAAAAAAAU;
  a ^= t;
  b ^= t;
  a = std::rotl(a, 1);
}

// The inverse of initialPermutation, applied to the swapped pair (b, a) that the rounds leave.
[[gnu::always_inline]] inline void finalPermutation(std::uint32_t a, std::uint32_t b,
                                                    std::uint8_t *out) {
  b = std::rotr(b, 1);
  const std::uint32_t t = (a ^ b) & 0xAAAAAAAAU;
  a ^= t;
  b ^= t;
  a = std::rotr(a, 1);
  exchangeBits(a, b, 8, 0x00FF00FFU);
  exchangeBits(a, b, 2, 0x33333333U);
  exchangeBits(b, a, 16, 0x0000FFFFU);
  exchangeBits(b, a, 4, 0x0F0F0F0FU);
  storeBigEndian(out, b);
  storeBigEndian(out + 4, a);
}

// ---- Key schedule -------------------------------------------------------------------------------

// C and D (28 bits each) with the standard's bit 1 of each at bit 0, each held twice over (bits
// 0-27 and again 28-55), so that rotating one left as the standard does by s is a shift right by
// s that keeps bits 0-27.
struct KeyHalves {
  std::uint64_t c;
  std::uint64_t d;
};

// Permuted choice 1. Seen as an 8x8 bit matrix with key byte r as row r and its bits as columns 1
// (most significant) to 8, C is columns 1, 2, 3 read from row 7 up to row 0, then column 4 of
// rows 7-4; D is columns 7, 6, 5 the same way, then column 4 of rows 3-0. Column 8 is parity.
[[gnu::always_inline]] inline KeyHalves permutedChoice1(const std::uint8_t *key) {
  std::uint64_t m = (std::uint64_t{loadBigEndian(key)} << 32) | loadBigEndian(key + 4);
  // Transpose: bit 8i + j (row 7 - i, column 8 - j) trades places with bit 8j + i, by swapping
  // the off-diagonal 1x1, 2x2 and 4x4 blocks in turn. Byte 8 - c then holds column c, its bit
  // 7 - r from row r.
  std::uint64_t t = (m ^ (m >> 7)) & 0x00AA00AA00AA00AAU;
  m ^= t ^ (t << 7);
  t = (m ^ (m >> 14)) & 0x0000CCCC0000CCCCU;
  m ^= t ^ (t << 14);
  t = (m ^ (m >> 28)) & 0x00000000F0F0F0F0U;
  m ^= t ^ (t << 28);
  // C: columns 1, 2, 3 are bytes 7, 6, 5, and column 4's rows 7-4 the low nibble of byte 4.
  // D: columns 7, 6, 5 are bytes 1, 2, 3, and column 4's rows 3-0 the high nibble of byte 4.
  const std::uint64_t c = __builtin_bswap64(m) & 0x0FFFFFFFU;
  const std::uint64_t d = ((m >> 8) & 0x00FFFFFFU) | ((m >> 12) & 0x0F000000U);
  return {c | (c << 28), d | (d << 28)};
}

// How far C and D have rotated when round key i (1..16) is taken, in round-key order.
constexpr std::array<unsigned, 16> makeTotalRotations() {
  std::array<unsigned, 16> total{};
  unsigned sum = 0;
  for (std::size_t i = 0; i < 16; ++i) {
    sum += keyRotations[i];
    total[i] = sum;
  }
  return total;
}
inline constexpr std::array<unsigned, 16> totalRotations = makeTotalRotations();

// A key lane holds C and D as rotated for one round key: D in bits 0-27, C in bits 33-60, bit 1 of
// each lowest. Of the placements tried, these need the fewest distinct shifts below.
[[gnu::always_inline]] inline std::uint64_t keyLane(const KeyHalves &h, unsigned rotation) {
  return ((h.c >> rotation) << 33) | ((h.d >> rotation) & 0x0FFFFFFFU);
}

// Where bit n (0..55, 0 = the standard's bit 1 of C||D) sits in a key lane.
constexpr unsigned keyLaneBit(std::size_t n) {
  return static_cast<unsigned>(n < 28 ? 33 + n : n - 28);
}

// Where round-key bit i (0..47, 0 = the standard's bit 1) sits in a RoundKey read as the word
// w1 << 32 | w0 (see RoundKey).
constexpr unsigned roundKeyBit(std::size_t i) {
  const std::size_t box = i / 6; // S-box box + 1
  const std::size_t inWord = 8 * (3 - box / 2) + 5 - i % 6;
  return static_cast<unsigned>(box % 2 == 1 ? inWord : 32 + (inWord + 4) % 32);
}

// Permuted choice 2 from a key lane to a round key: the OR of (lane shifted left by shift, or
// right by -shift) & mask over the groups, one group for all the bits that move the same way.
struct Pc2Group {
  int shift;
  std::uint64_t mask;
};

constexpr int pc2Shift(std::size_t i) {
  return static_cast<int>(roundKeyBit(i)) - static_cast<int>(keyLaneBit(permutedChoice2[i] - 1U));
}

constexpr std::size_t countPc2Groups() {
  std::size_t count = 0;
  for (std::size_t i = 0; i < 48; ++i) {
    bool first = true;
    for (std::size_t j = 0; j < i; ++j) {
      first = first && pc2Shift(j) != pc2Shift(i);
    }
    count += first ? 1 : 0;
  }
  return count;
}

template <std::size_t count> constexpr std::array<Pc2Group, count> makePc2Groups() {
  std::array<Pc2Group, count> groups{};
  std::size_t used = 0;
  for (std::size_t i = 0; i < 48; ++i) {
    std::size_t g = 0;
    while (g < used && groups[g].shift != pc2Shift(i)) {
      ++g;
    }
    used = g == used ? used + 1 : used;
    groups[g].shift = pc2Shift(i);
    groups[g].mask |= std::uint64_t{1} << roundKeyBit(i);
  }
  return groups;
}

inline constexpr auto pc2Groups = makePc2Groups<countPc2Groups()>();
static_assert(pc2Groups.size() == 34, "the key lane layout was chosen for 34 groups");

} // namespace tolvane::deslayout
