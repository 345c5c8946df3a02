#include "des/des.hpp"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

// Inside the transform a block is two 32-bit halves read big-endian, L from bytes 0-3 and R from
// bytes 4-7, so the standard's bit 1 is bit 31 of L. After the initial permutation both halves
// are kept rotated left by one bit. In that form byte j (j = 0..3, most significant first) of a
// half X holds in its low six bits exactly the six bits that the expansion E feeds S-box 2j+2,
// and byte j of X rotated right by four those of S-box 2j+1: E costs nothing. The SP tables hand
// back the S-box outputs already put through P and rotated the same way, so they XOR straight
// into the other half.

namespace tolvane {
namespace {

// ---- The standard's tables, as printed in FIPS 46-3 ---------------------------------------

// S-boxes 1 to 8; entry 16 * row + column, row and column as the standard numbers them.
constexpr std::array<std::array<std::uint8_t, 64>, 8> sBoxes{{
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
constexpr std::array<std::uint8_t, 32> permutationP{16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23,
                                                    26, 5, 18, 31, 10, 2,  8,  24, 14, 32, 27,
                                                    3,  9, 19, 13, 30, 6,  22, 11, 4,  25};

// Permuted choice 2: round-key bit i (1..48) is bit permutedChoice2[i - 1] of C||D, C being
// bits 1-28.
constexpr std::array<std::uint8_t, 48> permutedChoice2{
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

// How far C and D rotate left before round key i (1..16) is taken.
constexpr std::array<unsigned, 16> keyRotations{1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

// ---- Tables derived from them when the program is built --------------------------------------

using SpTables = std::array<std::array<std::uint32_t, 64>, 8>;

constexpr SpTables makeSpTables() {
  SpTables tables{};
  for (std::size_t box = 0; box < 8; ++box) {
    for (std::size_t v = 0; v < 64; ++v) {
      // v = b1..b6 (b1 most significant): row b1b6, column b2b3b4b5.
      const std::size_t row = ((v >> 4) & 2) | (v & 1);
      const std::size_t column = (v >> 1) & 15;
      // S-box k (box + 1) fills bits 4k-3..4k of the 32-bit S-box output.
      const std::uint32_t sOut = std::uint32_t{sBoxes[box][16 * row + column]} << (28 - 4 * box);
      std::uint32_t pOut = 0;
      for (std::size_t i = 0; i < 32; ++i) {
        pOut |= ((sOut >> (32 - permutationP[i])) & 1U) << (31 - i);
      }
      tables[box][v] = std::rotl(pOut, 1);
    }
  }
  return tables;
}

// spTables[k - 1][v]: S-box k on the six input bits v (b1 most significant), its four output bits
// put through P and rotated left by one bit, the form in which the halves are held.
alignas(64) constexpr SpTables spTables = makeSpTables();

// True when the entries of different SP tables never share a bit and together cover all 32.
constexpr bool spTablesSplitTheWord() {
  std::uint32_t seen = 0;
  for (const auto &table : spTables) {
    std::uint32_t bits = 0;
    for (const std::uint32_t entry : table) {
      bits |= entry;
    }
    if ((seen & bits) != 0 || std::popcount(bits) != 4) {
      return false;
    }
    seen |= bits;
  }
  return seen == 0xFFFFFFFFU;
}
static_assert(spTablesSplitTheWord(), "cipherFunction adds SP entries with OR and +");

using NibbleSpread = std::array<std::uint32_t, 16>;

constexpr NibbleSpread makeNibbleSpread(bool reversed) {
  NibbleSpread table{};
  for (std::size_t v = 0; v < 16; ++v) {
    for (std::size_t i = 0; i < 4; ++i) {
      if ((v >> i) & 1) {
        table[v] |= 1U << (8 * (reversed ? 3 - i : i));
      }
    }
  }
  return table;
}

// spreadUp[v]: bit i of v (i = 0..3) moved to bit 8i; spreadDown[v]: bit i moved to bit 8(3 - i).
// One lookup sends the four bits of a key-byte nibble into four different bytes of a word.
alignas(64) constexpr NibbleSpread spreadUp = makeNibbleSpread(false);
alignas(64) constexpr NibbleSpread spreadDown = makeNibbleSpread(true);

using Pc2Tables = std::array<std::array<std::uint64_t, 128>, 8>;

// Where round-key bit i (0..47, 0 = the standard's bit 1) sits in a RoundKey packed as
// w0 << 32 | w1: six bits per S-box, S-boxes 2, 4, 6, 8 in the bytes of w0 and 1, 3, 5, 7 in
// those of w1, most significant byte first, each group in the low six bits of its byte.
constexpr unsigned roundKeyBitPosition(std::size_t i) {
  const std::size_t box = i / 6; // S-box box + 1
  const std::size_t word = box % 2 == 1 ? 32 : 0;
  return static_cast<unsigned>(word + 8 * (3 - box / 2) + 5 - i % 6);
}

constexpr Pc2Tables makePc2Tables() {
  Pc2Tables tables{};
  for (std::size_t i = 0; i < 48; ++i) {
    const std::size_t source = permutedChoice2[i] - 1U; // 0..55 in C||D
    const std::size_t chunk = source / 7;
    const std::size_t bitInChunk = 6 - source % 7;
    for (std::size_t v = 0; v < 128; ++v) {
      if ((v >> bitInChunk) & 1) {
        tables[chunk][v] |= std::uint64_t{1} << roundKeyBitPosition(i);
      }
    }
  }
  return tables;
}

// pc2Tables[q][v]: the round-key bits, packed as w0 << 32 | w1, that permuted choice 2 takes from
// the seven bits v of chunk q of C||D (chunk 0 = C bits 1-7 with bit 1 most significant, ...,
// chunk 4 = D bits 1-7, ...). A round key is the OR of the eight chunks' entries.
alignas(64) constexpr Pc2Tables pc2Tables = makePc2Tables();

// ---- Bit plumbing ----------------------------------------------------------------------------

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

// The round function f of the standard on a rotated half. The eight entries of one round occupy
// disjoint bits (P gives each S-box four places of its own), so OR, + and XOR all add them up
// alike. Mixing the operators keeps the compiler from folding the sum into one chain of eight
// dependent XORs: combined as a tree, a round is about 15% faster.
[[gnu::always_inline]] inline std::uint32_t cipherFunction(std::uint32_t x, const RoundKey &key) {
  const std::uint32_t u = x ^ key.w0;
  const std::uint32_t v = std::rotr(x, 4) ^ key.w1;
  return ((spTables[1][(u >> 24) & 63] | spTables[3][(u >> 16) & 63]) +
          (spTables[5][(u >> 8) & 63] | spTables[7][u & 63])) ^
         ((spTables[0][(v >> 24) & 63] | spTables[2][(v >> 16) & 63]) +
          (spTables[4][(v >> 8) & 63] | spTables[6][v & 63]));
}

[[gnu::always_inline]] inline std::uint32_t rotateLeft28(std::uint32_t x, unsigned n) {
  return ((x << n) | (x >> (28 - n))) & 0x0FFFFFFFU;
}

// ---- The engine -----------------------------------------------------------------------------

// Fills roundKeys[0..15] with round keys 1 to 16 of one DES key (8 bytes, parity bits ignored).
void expandDesKey(RoundKey *roundKeys, const std::uint8_t *key) {
  // Seen as an 8x8 bit matrix with key byte r as row r and its bits as columns 1 (most
  // significant) to 8, C is columns 1, 2, 3 read from row 7 up to row 0, then column 4 of rows
  // 7-4; D is columns 7, 6, 5 the same way, then column 4 of rows 3-0. Column 8 is parity.
  std::uint32_t x = loadBigEndian(key);
  std::uint32_t y = loadBigEndian(key + 4);
  // Swap the low nibbles of x with the high nibbles of y, then bit 4 of every byte. Then, for
  // j = 0..3 (most significant first), byte j of x holds columns 1, 2, 3, 8 of row j in its high
  // nibble and columns 1-4 of row j + 4 in its low one; byte j of y holds columns 5, 6, 7, 4 of
  // row j and columns 5-8 of row j + 4.
  exchangeBits(y, x, 4, 0x0F0F0F0FU);
  const std::uint32_t t = (x ^ y) & 0x10101010U;
  x ^= t;
  y ^= t;
  // Spreading the nibble of row r and shifting it left by r makes each column one byte with
  // row 7 at its top. From x: bytes of columns 1, 2, 3, then column 4 of rows 7-4 above column 8
  // of rows 3-0, so C is the top 28 bits. From y: column 8 of rows 7-4 above column 4 of rows
  // 3-0, then bytes of columns 7, 6, 5, so D is bits 23-0 followed by bits 27-24.
  const std::uint32_t cs = spreadUp[x >> 28] | (spreadUp[(x >> 20) & 15] << 1) |
                           (spreadUp[(x >> 12) & 15] << 2) | (spreadUp[(x >> 4) & 15] << 3) |
                           (spreadUp[(x >> 24) & 15] << 4) | (spreadUp[(x >> 16) & 15] << 5) |
                           (spreadUp[(x >> 8) & 15] << 6) | (spreadUp[x & 15] << 7);
  const std::uint32_t ds = spreadDown[y >> 28] | (spreadDown[(y >> 20) & 15] << 1) |
                           (spreadDown[(y >> 12) & 15] << 2) | (spreadDown[(y >> 4) & 15] << 3) |
                           (spreadDown[(y >> 24) & 15] << 4) | (spreadDown[(y >> 16) & 15] << 5) |
                           (spreadDown[(y >> 8) & 15] << 6) | (spreadDown[y & 15] << 7);
  // C and D as 28-bit registers, bit 1 at bit 27.
  std::uint32_t c = cs >> 4;
  std::uint32_t d = ((ds << 4) & 0x0FFFFFF0U) | ((ds >> 24) & 15);

  for (std::size_t i = 0; i < 16; ++i) {
    c = rotateLeft28(c, keyRotations[i]);
    d = rotateLeft28(d, keyRotations[i]);
    const std::uint64_t k = pc2Tables[0][c >> 21] | pc2Tables[1][(c >> 14) & 127] |
                            pc2Tables[2][(c >> 7) & 127] | pc2Tables[3][c & 127] |
                            pc2Tables[4][d >> 21] | pc2Tables[5][(d >> 14) & 127] |
                            pc2Tables[6][(d >> 7) & 127] | pc2Tables[7][d & 127];
    roundKeys[i] = RoundKey{static_cast<std::uint32_t>(k >> 32), static_cast<std::uint32_t>(k)};
  }
}

// Runs three DES operations over 48 consecutive round keys: one initial permutation, 48 rounds,
// one final permutation. All of in is read before out is written.
void transformBlock(const RoundKey *k, const std::uint8_t *in, std::uint8_t *out) {
  std::uint32_t a = loadBigEndian(in);
  std::uint32_t b = loadBigEndian(in + 4);

  // Initial permutation. IP turns the columns of the 8x8 bit matrix (input byte r as row r) into
  // rows, columns 2, 4, 6, 8 into L and 1, 3, 5, 7 into R, each read from row 7 up to row 0. The
  // exchanges do this transpose by swapping blocks of 4, 16, 2 and 8 bits between the halves;
  // the last swap, of single bits, is fused with the rotation by one bit.
  exchangeBits(a, b, 4, 0x0F0F0F0FU);
  exchangeBits(a, b, 16, 0x0000FFFFU);
  exchangeBits(b, a, 2, 0x33333333U);
  exchangeBits(b, a, 8, 0x00FF00FFU);
  b = std::rotl(b, 1);
  std::uint32_t t = (a ^ b) & 0xAAAAAAAAU;
  a ^= t;
  b ^= t;
  a = std::rotl(a, 1);

  // Instead of swapping halves after each round, the rounds alternate which half they update.
  // A DES operation ends on an unswapped pair and the next starts from the swapped one, and its
  // final and the next initial permutation cancel: so rounds 16 and 17 both update b, and rounds
  // 32 and 33 both update a.
  a ^= cipherFunction(b, k[0]);
  b ^= cipherFunction(a, k[1]);
  a ^= cipherFunction(b, k[2]);
  b ^= cipherFunction(a, k[3]);
  a ^= cipherFunction(b, k[4]);
  b ^= cipherFunction(a, k[5]);
  a ^= cipherFunction(b, k[6]);
  b ^= cipherFunction(a, k[7]);
  a ^= cipherFunction(b, k[8]);
  b ^= cipherFunction(a, k[9]);
  a ^= cipherFunction(b, k[10]);
  b ^= cipherFunction(a, k[11]);
  a ^= cipherFunction(b, k[12]);
  b ^= cipherFunction(a, k[13]);
  a ^= cipherFunction(b, k[14]);
  b ^= cipherFunction(a, k[15]);

  b ^= cipherFunction(a, k[16]);
  a ^= cipherFunction(b, k[17]);
  b ^= cipherFunction(a, k[18]);
  a ^= cipherFunction(b, k[19]);
  b ^= cipherFunction(a, k[20]);
  a ^= cipherFunction(b, k[21]);
  b ^= cipherFunction(a, k[22]);
  a ^= cipherFunction(b, k[23]);
  b ^= cipherFunction(a, k[24]);
  a ^= cipherFunction(b, k[25]);
  b ^= cipherFunction(a, k[26]);
  a ^= cipherFunction(b, k[27]);
  b ^= cipherFunction(a, k[28]);
  a ^= cipherFunction(b, k[29]);
  b ^= cipherFunction(a, k[30]);
  a ^= cipherFunction(b, k[31]);

  a ^= cipherFunction(b, k[32]);
  b ^= cipherFunction(a, k[33]);
  a ^= cipherFunction(b, k[34]);
  b ^= cipherFunction(a, k[35]);
  a ^= cipherFunction(b, k[36]);
  b ^= cipherFunction(a, k[37]);
  a ^= cipherFunction(b, k[38]);
  b ^= cipherFunction(a, k[39]);
  a ^= cipherFunction(b, k[40]);
  b ^= cipherFunction(a, k[41]);
  a ^= cipherFunction(b, k[42]);
  b ^= cipherFunction(a, k[43]);
  a ^= cipherFunction(b, k[44]);
  b ^= cipherFunction(a, k[45]);
  a ^= cipherFunction(b, k[46]);
  b ^= cipherFunction(a, k[47]);

  // Final permutation, the inverse of the initial one applied to the swapped pair (b, a).
  b = std::rotr(b, 1);
  t = (a ^ b) & 0xAAAAAAAAU;
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

// One DES operation over 16 round keys: the initial permutation, 16 rounds, the final one.
void transformSingle(const RoundKey *k, const std::uint8_t *in, std::uint8_t *out) {
  std::uint32_t a = loadBigEndian(in);
  std::uint32_t b = loadBigEndian(in + 4);
  exchangeBits(a, b, 4, 0x0F0F0F0FU);
  exchangeBits(a, b, 16, 0x0000FFFFU);
  exchangeBits(b, a, 2, 0x33333333U);
  exchangeBits(b, a, 8, 0x00FF00FFU);
  b = std::rotl(b, 1);
  std::uint32_t t = (a ^ b) & 0xAAAAAAAAU;
  a ^= t;
  b ^= t;
  a = std::rotl(a, 1);
  for (std::size_t r = 0; r < 16; r += 2) {
    a ^= cipherFunction(b, k[r]);
    b ^= cipherFunction(a, k[r + 1]);
  }
  b = std::rotr(b, 1);
  t = (a ^ b) & 0xAAAAAAAAU;
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

} // namespace

void makeSingleKeySchedule(SingleDesKeySchedule &schedule, const std::uint8_t *key) {
  expandDesKey(&schedule[0], key);
  for (std::size_t i = 0; i < 16; ++i) {
    schedule[16 + i] = schedule[15 - i];
  }
}

void encryptBlock(const SingleDesKeySchedule &schedule, const std::uint8_t *in, std::uint8_t *out) {
  transformSingle(&schedule[0], in, out);
}

void decryptBlock(const SingleDesKeySchedule &schedule, const std::uint8_t *in, std::uint8_t *out) {
  transformSingle(&schedule[16], in, out);
}

// K1 runs forward at round keys 0 and 32 and reversed at 48 and 80; K2 forward at 64 and
// reversed at 16.
void makeDoubleKeySchedule(DesKeySchedule &schedule, const std::uint8_t *key) {
  expandDesKey(&schedule[0], key);
  expandDesKey(&schedule[64], key + 8);
  for (std::size_t i = 0; i < 16; ++i) {
    schedule[16 + i] = schedule[79 - i];
    schedule[32 + i] = schedule[i];
    schedule[48 + i] = schedule[15 - i];
    schedule[80 + i] = schedule[15 - i];
  }
}

// As above, except that K3 takes K1's places at 32 and 48.
void makeTripleKeySchedule(DesKeySchedule &schedule, const std::uint8_t *key) {
  expandDesKey(&schedule[0], key);
  expandDesKey(&schedule[64], key + 8);
  expandDesKey(&schedule[32], key + 16);
  for (std::size_t i = 0; i < 16; ++i) {
    schedule[16 + i] = schedule[79 - i];
    schedule[48 + i] = schedule[47 - i];
    schedule[80 + i] = schedule[15 - i];
  }
}

void encryptBlock(const DesKeySchedule &schedule, const std::uint8_t *in, std::uint8_t *out) {
  transformBlock(&schedule[0], in, out);
}

void decryptBlock(const DesKeySchedule &schedule, const std::uint8_t *in, std::uint8_t *out) {
  transformBlock(&schedule[48], in, out);
}

} // namespace tolvane
