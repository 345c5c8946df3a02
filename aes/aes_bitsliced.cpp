#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>

#include "aes/aes.hpp"
#include "aes/key_expansion.hpp"
#include "base/secret.hpp"

// The state is held bitsliced: plane b, a 32-bit word, holds bit b (0 = least significant) of
// all sixteen bytes, byte i at bit i. Byte i is in row i % 4 and column i / 4 of the state, so a
// column is a nibble of the plane with row 0 in its lowest bit. The 16 bits are held twice over,
// in the low and the high half of the word, so that rotating the word rotates the 16 bits:
// that is how ShiftRows moves a row along. Every step is the same sequence of logic operations
// whatever the words hold, so the time a block takes tells nothing about the key or the data.
//
// The S-box is an inversion in GF(2^8) followed by an affine map whose constant part adds 0x63
// to every byte. ShiftRows only moves bytes, and MixColumns leaves a state of equal bytes as it
// is (its coefficients 2, 3, 1, 1 add up to 1), so a constant the S-box adds arrives unchanged
// at the next AddRoundKey: the round keys from round 1 on carry 0x63 and the S-box circuit
// leaves it out. Decryption needs 0x63 added before every inverse S-box; InvShiftRows moves
// bytes and the InvMixColumns coefficients 14, 11, 13, 9 add up to 1 as well, so the very same
// round keys put it there.
//
// The block, the key and every state in between live in registers and in stack slots that the
// compiler chooses, which no wipe of a named variable reaches. So each function the interface
// calls does its work in a function of its own, then wipes the stack that work used: whichever
// function here ran, what it kept on the stack is gone before the caller gets control back.

namespace tolvane {
namespace {

using State = std::array<std::uint32_t, 8>;

std::uint64_t loadLittleEndian(const std::uint8_t *p) {
  std::uint64_t x = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    x |= std::uint64_t{p[i]} << (8 * i);
  }
  return x;
}

void storeLittleEndian(std::uint8_t *p, std::uint64_t x) {
  for (std::size_t i = 0; i < 8; ++i) {
    p[i] = static_cast<std::uint8_t>(x >> (8 * i));
  }
}

// Transposes the 8x8 bit matrix that has row r in byte r, column c in bit c of the byte: swaps
// the off-diagonal 1x1, 2x2 and 4x4 blocks in turn. It is its own inverse.
std::uint64_t transposeBits(std::uint64_t x) {
  std::uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAU;
  x ^= t ^ (t << 7);
  t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCU;
  x ^= t ^ (t << 14);
  t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0U;
  x ^= t ^ (t << 28);
  return x;
}

// Bytes 0-7 in lo and 8-15 in hi, byte i at bits 8i..8i+7 of its word.
State bitslice(std::uint64_t lo, std::uint64_t hi) {
  lo = transposeBits(lo);
  hi = transposeBits(hi);
  State q;
  for (std::size_t b = 0; b < 8; ++b) {
    const auto plane =
        static_cast<std::uint32_t>(((lo >> (8 * b)) & 0xFF) | (((hi >> (8 * b)) & 0xFF) << 8));
    q[b] = plane | (plane << 16);
  }
  return q;
}

void unbitslice(const State &q, std::uint64_t &lo, std::uint64_t &hi) {
  lo = 0;
  hi = 0;
  for (std::size_t b = 0; b < 8; ++b) {
    lo |= std::uint64_t{q[b] & 0xFF} << (8 * b);
    hi |= std::uint64_t{(q[b] >> 8) & 0xFF} << (8 * b);
  }
  lo = transposeBits(lo);
  hi = transposeBits(hi);
}

// The S-box less its constant, on every byte at once: the circuit of Boyar and Peralta, 115
// gates of which 32 are AND, computing the inversion through subfields and the affine map
// around it. x0..x7 are the planes from the most significant bit down; the names follow theirs.
void subBytes(State &q) {
  const std::uint32_t x0 = q[7], x1 = q[6], x2 = q[5], x3 = q[4];
  const std::uint32_t x4 = q[3], x5 = q[2], x6 = q[1], x7 = q[0];

  // The linear layer in.
  const std::uint32_t y14 = x3 ^ x5, y13 = x0 ^ x6, y9 = x0 ^ x3, y8 = x0 ^ x5;
  const std::uint32_t t0 = x1 ^ x2, y1 = t0 ^ x7, y4 = y1 ^ x3, y12 = y13 ^ y14;
  const std::uint32_t y2 = y1 ^ x0, y5 = y1 ^ x6, y3 = y5 ^ y8, t1 = x4 ^ y12;
  const std::uint32_t y15 = t1 ^ x5, y20 = t1 ^ x1, y6 = y15 ^ x7, y10 = y15 ^ t0;
  const std::uint32_t y11 = y20 ^ y9, y7 = x7 ^ y11, y17 = y10 ^ y11, y19 = y10 ^ y8;
  const std::uint32_t y16 = t0 ^ y11, y21 = y13 ^ y16, y18 = x0 ^ y16;

  // The non-linear middle: the inversion in GF(2^4) and the products around it.
  const std::uint32_t t2 = y12 & y15, t3 = y3 & y6, t4 = t3 ^ t2, t5 = y4 & x7;
  const std::uint32_t t6 = t5 ^ t2, t7 = y13 & y16, t8 = y5 & y1, t9 = t8 ^ t7;
  const std::uint32_t t10 = y2 & y7, t11 = t10 ^ t7, t12 = y9 & y11, t13 = y14 & y17;
  const std::uint32_t t14 = t13 ^ t12, t15 = y8 & y10, t16 = t15 ^ t12, t17 = t4 ^ t14;
  const std::uint32_t t18 = t6 ^ t16, t19 = t9 ^ t14, t20 = t11 ^ t16, t21 = t17 ^ y20;
  const std::uint32_t t22 = t18 ^ y19, t23 = t19 ^ y21, t24 = t20 ^ y18;

  const std::uint32_t t25 = t21 ^ t22, t26 = t21 & t23, t27 = t24 ^ t26, t28 = t25 & t27;
  const std::uint32_t t29 = t28 ^ t22, t30 = t23 ^ t24, t31 = t22 ^ t26, t32 = t31 & t30;
  const std::uint32_t t33 = t32 ^ t24, t34 = t23 ^ t33, t35 = t27 ^ t33, t36 = t24 & t35;
  const std::uint32_t t37 = t36 ^ t34, t38 = t27 ^ t36, t39 = t29 & t38, t40 = t25 ^ t39;

  const std::uint32_t t41 = t40 ^ t37, t42 = t29 ^ t33, t43 = t29 ^ t40, t44 = t33 ^ t37;
  const std::uint32_t t45 = t42 ^ t41;
  const std::uint32_t z0 = t44 & y15, z1 = t37 & y6, z2 = t33 & x7, z3 = t43 & y16;
  const std::uint32_t z4 = t40 & y1, z5 = t29 & y7, z6 = t42 & y11, z7 = t45 & y17;
  const std::uint32_t z8 = t41 & y10, z9 = t44 & y12, z10 = t37 & y3, z11 = t33 & y4;
  const std::uint32_t z12 = t43 & y13, z13 = t40 & y5, z14 = t29 & y2, z15 = t42 & y9;
  const std::uint32_t z16 = t45 & y14, z17 = t41 & y8;

  // The linear layer out. Four of these gates are XNOR in the full S-box: they add the 0x63.
  const std::uint32_t t46 = z15 ^ z16, t47 = z10 ^ z11, t48 = z5 ^ z13, t49 = z9 ^ z10;
  const std::uint32_t t50 = z2 ^ z12, t51 = z2 ^ z5, t52 = z7 ^ z8, t53 = z0 ^ z3;
  const std::uint32_t t54 = z6 ^ z7, t55 = z16 ^ z17, t56 = z12 ^ t48, t57 = t50 ^ t53;
  const std::uint32_t t58 = z4 ^ t46, t59 = z3 ^ t54, t60 = t46 ^ t57, t61 = z14 ^ t57;
  const std::uint32_t t62 = t52 ^ t58, t63 = t49 ^ t58, t64 = z4 ^ t59, t65 = t61 ^ t62;
  const std::uint32_t t66 = z1 ^ t63, t67 = t64 ^ t65;
  const std::uint32_t s3 = t53 ^ t66;
  q[7] = t59 ^ t63;
  q[6] = t64 ^ s3;
  q[5] = t55 ^ t67;
  q[4] = s3;
  q[3] = t51 ^ t66;
  q[2] = t47 ^ t65;
  q[1] = t56 ^ t62;
  q[0] = t48 ^ t60;
}

// The linear part of the inverse of the S-box's affine map: bit i of a byte becomes the sum of
// its bits i + 2, i + 5 and i + 7 (mod 8).
void invAffine(State &q) {
  const State a = q;
  for (std::size_t i = 0; i < 8; ++i) {
    q[i] = a[(i + 2) % 8] ^ a[(i + 5) % 8] ^ a[(i + 7) % 8];
  }
}

// subBytes is the affine map A after the inversion, so the inversion is A^-1 after subBytes,
// and the inverse S-box (less its constant, see above) the inversion after A^-1.
void invSubBytes(State &q) {
  invAffine(q);
  subBytes(q);
  invAffine(q);
}

// Row r moves left by r columns: its bits move down by 4r places in the 16, which is a rotation
// of the doubled plane.
void shiftRows(State &q) {
  for (std::uint32_t &x : q) {
    x = (x & 0x11111111U) | (std::rotr(x, 4) & 0x22222222U) | (std::rotr(x, 8) & 0x44444444U) |
        (std::rotr(x, 12) & 0x88888888U);
  }
}

void invShiftRows(State &q) {
  for (std::uint32_t &x : q) {
    x = (x & 0x11111111U) | (std::rotl(x, 4) & 0x22222222U) | (std::rotl(x, 8) & 0x44444444U) |
        (std::rotl(x, 12) & 0x88888888U);
  }
}

// Within every column nibble, row r takes the bit of row r + 1, or of row r + 2 (rows mod 4).
std::uint32_t rowsUpOne(std::uint32_t x) {
  return ((x >> 1) & 0x77777777U) | ((x << 3) & 0x88888888U);
}
std::uint32_t rowsUpTwo(std::uint32_t x) {
  return ((x >> 2) & 0x33333333U) | ((x << 2) & 0xCCCCCCCCU);
}

// Every byte times x modulo x^8 + x^4 + x^3 + x + 1: the planes move up by one, and the bit
// that leaves plane 7 comes back as x^4 + x^3 + x + 1.
State timesTwo(const State &t) {
  return {t[7], t[0] ^ t[7], t[1], t[2] ^ t[7], t[3] ^ t[7], t[4], t[5], t[6]};
}

// Row r of a column becomes 2a(r) + 3a(r+1) + a(r+2) + a(r+3). With t(r) = a(r) + a(r+1) that
// is 2t(r) + a(r+1) + t(r+2): two row moves per plane rather than three.
void mixColumns(State &q) {
  State up;
  State t;
  for (std::size_t b = 0; b < 8; ++b) {
    up[b] = rowsUpOne(q[b]);
    t[b] = q[b] ^ up[b];
  }
  const State twice = timesTwo(t);
  for (std::size_t b = 0; b < 8; ++b) {
    q[b] = twice[b] ^ up[b] ^ rowsUpTwo(t[b]);
  }
}

// The coefficients 14, 11, 13, 9 are those of MixColumns times 5, 0, 4, 0: InvMixColumns is
// MixColumns after a(r) + 4(a(r) + a(r+2)) in every row.
void invMixColumns(State &q) {
  State u;
  for (std::size_t b = 0; b < 8; ++b) {
    u[b] = q[b] ^ rowsUpTwo(q[b]);
  }
  const State fourTimes = timesTwo(timesTwo(u));
  for (std::size_t b = 0; b < 8; ++b) {
    q[b] ^= fourTimes[b];
  }
  mixColumns(q);
}

void addRoundKey(State &q, const std::uint32_t *planes) {
  for (std::size_t b = 0; b < 8; ++b) {
    q[b] ^= planes[b];
  }
}

std::uint32_t subWord(std::uint32_t word) {
  State q = bitslice(word, 0);
  subBytes(q);
  std::uint64_t lo = 0;
  std::uint64_t hi = 0;
  unbitslice(q, lo, hi);
  return static_cast<std::uint32_t>(lo) ^ 0x63636363U;
}

// The schedule holds the eight planes of round key r at words 8r..8r+7.
[[gnu::noinline]] void makeScheduleOnStack(AesKeySchedule &schedule,
                                           std::span<const std::uint8_t> key) noexcept {
  std::array<std::uint32_t, 60> words;
  expandAesKey(words.data(), key, subWord);
  schedule.rounds = aesRounds(key.size());
  for (std::size_t r = 0; r <= schedule.rounds; ++r) {
    const std::uint32_t *w = &words[4 * r];
    State q = bitslice(w[0] | (std::uint64_t{w[1]} << 32), w[2] | (std::uint64_t{w[3]} << 32));
    if (r > 0) { // 0x63: bits 0, 1, 5 and 6 of every byte
      q[0] = ~q[0];
      q[1] = ~q[1];
      q[5] = ~q[5];
      q[6] = ~q[6];
    }
    std::copy(q.begin(), q.end(), &schedule.words[8 * r]);
  }
  schedule.decryptionReady = true; // the same round keys serve both ways
  schedule.implementation = &aesBitsliced;
}

[[gnu::noinline]] void encryptOnStack(const AesKeySchedule &schedule, const std::uint8_t *in,
                                      std::uint8_t *out) noexcept {
  const std::uint32_t *k = schedule.words.data();
  State q = bitslice(loadLittleEndian(in), loadLittleEndian(in + 8));
  addRoundKey(q, k);
  for (std::size_t r = 1; r < schedule.rounds; ++r) {
    subBytes(q);
    shiftRows(q);
    mixColumns(q);
    addRoundKey(q, k + 8 * r);
  }
  subBytes(q);
  shiftRows(q);
  addRoundKey(q, k + 8 * std::size_t{schedule.rounds});
  std::uint64_t lo = 0;
  std::uint64_t hi = 0;
  unbitslice(q, lo, hi);
  storeLittleEndian(out, lo);
  storeLittleEndian(out + 8, hi);
}

[[gnu::noinline]] void decryptOnStack(const AesKeySchedule &schedule, const std::uint8_t *in,
                                      std::uint8_t *out) noexcept {
  const std::uint32_t *k = schedule.words.data();
  State q = bitslice(loadLittleEndian(in), loadLittleEndian(in + 8));
  addRoundKey(q, k + 8 * std::size_t{schedule.rounds});
  for (std::size_t r = schedule.rounds - 1; r > 0; --r) {
    invShiftRows(q);
    invSubBytes(q);
    addRoundKey(q, k + 8 * r);
    invMixColumns(q);
  }
  invShiftRows(q);
  invSubBytes(q);
  addRoundKey(q, k);
  std::uint64_t lo = 0;
  std::uint64_t hi = 0;
  unbitslice(q, lo, hi);
  storeLittleEndian(out, lo);
  storeLittleEndian(out + 8, hi);
}

// Zeroes bytes of stack under its caller's, where the function that caller just returned from
// left its state. Not instrumented by AddressSanitizer, whose padding would leave the top out.
template <std::size_t bytes> [[gnu::noinline, gnu::no_sanitize_address]] void wipeStack() noexcept {
  std::array<std::uint8_t, bytes> area;
  wipeBytes(area.data(), area.size());
}

// The stack the work of a key schedule and of a block takes, with all it calls, is about 550 and
// 300 bytes in an optimised build, 1250 and 900 in an unoptimised one, 2900 and 900 with
// AddressSanitizer; these leave room to spare.
constexpr std::size_t scheduleStack = 4096;
constexpr std::size_t blockStack = 2048;

void makeSchedule(AesKeySchedule &schedule, std::span<const std::uint8_t> key) noexcept {
  assert(key.size() == 16 || key.size() == 24 || key.size() == 32);
  makeScheduleOnStack(schedule, key);
  wipeStack<scheduleStack>();
}

void encrypt(const AesKeySchedule &schedule, const std::uint8_t *in, std::uint8_t *out) noexcept {
  encryptOnStack(schedule, in, out);
  wipeStack<blockStack>();
}

void decrypt(const AesKeySchedule &schedule, const std::uint8_t *in, std::uint8_t *out) noexcept {
  decryptOnStack(schedule, in, out);
  wipeStack<blockStack>();
}

void prepareDecryption(AesKeySchedule & /*schedule*/) noexcept {}

} // namespace

constinit const AesImplementation aesBitsliced{"bitsliced", makeSchedule, prepareDecryption,
                                               encrypt, decrypt};

} // namespace tolvane
