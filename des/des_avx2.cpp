#include <array>
#include <cstddef>
#include <cstdint>
#include <immintrin.h>
#include <utility>

// glibc's header spells bool the C way, _Bool, which clang takes in C++ only as a GNU extension,
// and extensions are off here. GCC's <stdbool.h> lends _Bool the C++ name; this does the same.
#if defined(__clang__) && !defined(_Bool)
#define _Bool bool // NOLINT(bugprone-reserved-identifier)
#endif
#include <sys/platform/x86.h>

#include "des/des.hpp"
#include "des/des_layout.hpp"

// The DES engine for processors with AVX2, whose shifts take a separate count in each 64-bit
// lane. Only the functions here are compiled for AVX2, so the program still runs on a processor
// without it, which desAvx2() then never hands this engine to.
//
// A half lives in a vector as four copies of the 64-bit word X || X, X the rotated half: shifted
// right by 28 - 8j (or 24 - 8j), a lane holds the input of S-box 2j+1 (or 2j+2) in its low six
// bits, the wrap-around of E included. A round takes the inputs of S-boxes 2, 4, 6, 8 into the
// four lanes of one vector and those of 1, 3, 5, 7 into another, turns each into a one-hot word
// 1 << input, and tests it against the truth tables of the four output bits of the four S-boxes
// at once. Each lane that finds its bit set contributes the output bit where P sends it, twice
// (once in each 32-bit half of the lane), and ORing the lanes together leaves the next half in the
// same X || X form in every lane.
//
// The key schedule runs four round keys at a time, one per lane: the lanes differ only in how far
// C and D have rotated, and permuted choice 2 is then the same shifts and masks in every lane.

namespace tolvane {
namespace {

using namespace deslayout;

// The key schedule stores four round keys with one vector store, each as the little-endian word
// w1 << 32 | w0.
static_assert(sizeof(RoundKey) == 8 && offsetof(RoundKey, w1) == 4);

// Lane i of vector 4g + q computes output bit q of S-box 2i+2 (g = 0) or 2i+1 (g = 1); this is
// the S-box's number less one.
constexpr std::size_t laneBox(std::size_t g, std::size_t i) { return g == 0 ? 2 * i + 1 : 2 * i; }

using LaneWords = std::array<std::array<std::uint64_t, 4>, 8>;

// What a round reads besides the key, all of it every time.
struct RoundConstants {
  // truthTables[4g + q][i]: the truth table of output bit q of the S-box that lane i of group g
  // computes; outputBits the same output bit where P puts it, in both halves of the lane.
  LaneWords truthTables;
  LaneWords outputBits;
  // How far lane i shifts X || X right to reach its S-box input, in each group.
  std::array<std::array<std::uint64_t, 4>, 2> inputShifts;
};

constexpr RoundConstants makeRoundConstants() {
  RoundConstants c{};
  for (std::size_t m = 0; m < 8; ++m) {
    for (std::size_t i = 0; i < 4; ++i) {
      const std::size_t box = laneBox(m / 4, i);
      const unsigned p = outputPositions[box][m % 4];
      c.truthTables[m][i] = sBoxTruthTables[box][m % 4];
      c.outputBits[m][i] = (std::uint64_t{1} << p) | (std::uint64_t{1} << (p + 32));
      c.inputShifts[m / 4][i] = (m < 4 ? 24 : 28) - 8 * i;
    }
  }
  return c;
}

alignas(32) constexpr RoundConstants roundConstants = makeRoundConstants();

// The PC-2 masks, each in all four lanes.
constexpr std::array<std::array<std::uint64_t, 4>, pc2Groups.size()> makeLaneMasks() {
  std::array<std::array<std::uint64_t, 4>, pc2Groups.size()> masks{};
  for (std::size_t g = 0; g < pc2Groups.size(); ++g) {
    masks[g] = {pc2Groups[g].mask, pc2Groups[g].mask, pc2Groups[g].mask, pc2Groups[g].mask};
  }
  return masks;
}
alignas(32) constexpr auto pc2LaneMasks = makeLaneMasks();

// The rotations of round keys 4v + 1 .. 4v + 4, one per lane, for v = 0..3.
constexpr std::array<std::array<std::uint64_t, 4>, 4> makeLaneRotations() {
  std::array<std::array<std::uint64_t, 4>, 4> lanes{};
  for (std::size_t i = 0; i < 16; ++i) {
    lanes[i / 4][i % 4] = totalRotations[i];
  }
  return lanes;
}
alignas(32) constexpr std::array<std::array<std::uint64_t, 4>, 4> laneRotations =
    makeLaneRotations();

// The address of constant data, which the compiler must then take as unknown: so that it reads
// the constants from memory where they are used rather than keeping them in registers, too many
// for the sixteen there are, and moving a half or a key lane out to the stack instead.
template <typename T> [[gnu::always_inline]] inline const T *opaque(const T *p) {
  __asm__("" : "+r"(p));
  return p;
}

[[gnu::target("avx2")]] [[gnu::always_inline]] inline __m256i load(const std::uint64_t *words) {
  return _mm256_load_si256(reinterpret_cast<const __m256i *>(words));
}

[[gnu::target("avx2")]] [[gnu::always_inline]] inline __m256i
outputBits(const RoundConstants &c, __m256i oneHot, std::size_t m) {
  const __m256i hit = _mm256_and_si256(oneHot, load(c.truthTables[m].data()));
  return _mm256_and_si256(_mm256_cmpeq_epi64(hit, oneHot), load(c.outputBits[m].data()));
}

// f(x) in X || X form in every lane, from x in the same form.
[[gnu::target("avx2")]] [[gnu::always_inline]] inline __m256i cipherFunction(__m256i x,
                                                                             const RoundKey &key) {
  const RoundConstants &c = *opaque(&roundConstants);
  const __m256i sixBits = _mm256_set1_epi64x(63);
  const __m256i one = _mm256_set1_epi64x(1);
  const __m256i even = _mm256_xor_si256(x, _mm256_set1_epi32(static_cast<int>(key.w0)));
  const __m256i odd = _mm256_xor_si256(x, _mm256_set1_epi32(static_cast<int>(key.w1)));
  const __m256i oneHotEven = _mm256_sllv_epi64(
      one, _mm256_and_si256(_mm256_srlv_epi64(even, load(c.inputShifts[0].data())), sixBits));
  const __m256i oneHotOdd = _mm256_sllv_epi64(
      one, _mm256_and_si256(_mm256_srlv_epi64(odd, load(c.inputShifts[1].data())), sixBits));
  __m256i f = _mm256_or_si256(
      _mm256_or_si256(_mm256_or_si256(outputBits(c, oneHotEven, 0), outputBits(c, oneHotEven, 1)),
                      _mm256_or_si256(outputBits(c, oneHotEven, 2), outputBits(c, oneHotEven, 3))),
      _mm256_or_si256(_mm256_or_si256(outputBits(c, oneHotOdd, 4), outputBits(c, oneHotOdd, 5)),
                      _mm256_or_si256(outputBits(c, oneHotOdd, 6), outputBits(c, oneHotOdd, 7))));
  f = _mm256_or_si256(f, _mm256_permute4x64_epi64(f, 0x4E));
  return _mm256_or_si256(f, _mm256_shuffle_epi32(f, 0x4E));
}

// Sixteen rounds, which update first, second, first, ... in turn.
[[gnu::target("avx2")]] [[gnu::always_inline]] inline void
runOperation(__m256i &first, __m256i &second, const RoundKey *k) {
  for (std::size_t r = 0; r < 16; r += 2) {
    first = _mm256_xor_si256(first, cipherFunction(second, k[r]));
    second = _mm256_xor_si256(second, cipherFunction(first, k[r + 1]));
  }
}

// As the portable engine: the rounds alternate which half they update, and the permutations
// between DES operations cancel.
template <std::size_t operations>
[[gnu::target("avx2")]] void transform(const RoundKey *k, const std::uint8_t *in,
                                       std::uint8_t *out) noexcept {
  std::uint32_t a0 = 0;
  std::uint32_t b0 = 0;
  initialPermutation(in, a0, b0);
  __m256i a = _mm256_set1_epi32(static_cast<int>(a0));
  __m256i b = _mm256_set1_epi32(static_cast<int>(b0));
  runOperation(a, b, k);
  if constexpr (operations == 3) {
    runOperation(b, a, k + 16);
    runOperation(a, b, k + 32);
  }
  a0 = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm256_castsi256_si128(a)));
  b0 = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm256_castsi256_si128(b)));
  // Nothing of the block or the key stays behind in a vector register.
  _mm256_zeroall();
  finalPermutation(a0, b0, out);
}

[[gnu::target("avx2")]] [[gnu::always_inline]] inline __m256i shifted(__m256i lane, int shift) {
  return shift >= 0 ? _mm256_slli_epi64(lane, shift) : _mm256_srli_epi64(lane, -shift);
}

// One group's bits ORed into k. The empty assembly statement keeps the groups in order: left
// to reorder them, the compiler shifts the lane 34 ways first and moves the results, key bits
// all, out to the stack.
[[gnu::target("avx2")]] [[gnu::always_inline]] inline void
addPc2Group(__m256i &k, __m256i lane, const std::array<std::uint64_t, 4> &mask, int shift) {
  k = _mm256_or_si256(k, _mm256_and_si256(shifted(lane, shift), load(mask.data())));
  __asm__("" : "+x"(k));
}

template <std::size_t... g>
[[gnu::target("avx2")]] [[gnu::always_inline]] inline __m256i
permutedChoice2(__m256i lane, const std::array<std::uint64_t, 4> *masks,
                std::index_sequence<g...>) {
  __m256i k = _mm256_setzero_si256();
  (addPc2Group(k, lane, masks[g], pc2Groups[g].shift), ...);
  return k;
}

[[gnu::target("avx2")]] void expandKey(RoundKey *roundKeys, const std::uint8_t *key) noexcept {
  const KeyHalves halves = permutedChoice1(key);
  const __m256i c = _mm256_set1_epi64x(static_cast<long long>(halves.c));
  const __m256i d = _mm256_set1_epi64x(static_cast<long long>(halves.d));
  for (std::size_t v = 0; v < 4; ++v) {
    // keyLane for four rotations at once.
    const __m256i rotations = load(laneRotations[v].data());
    const __m256i lane = _mm256_or_si256(
        _mm256_slli_epi64(_mm256_srlv_epi64(c, rotations), 33),
        _mm256_and_si256(_mm256_srlv_epi64(d, rotations), _mm256_set1_epi64x(0x0FFFFFFF)));
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(roundKeys + 4 * v),
                        permutedChoice2(lane, opaque(pc2LaneMasks.data()),
                                        std::make_index_sequence<pc2Groups.size()>()));
  }
  _mm256_zeroall();
}

constinit const DesImplementation desAvx2Implementation{"AVX2", expandKey, transform<1>,
                                                        transform<3>};

} // namespace

// glibc asks the processor for its features while it starts the program; its record is read
// here on the first call, and no cpuid runs again.
const DesImplementation *desAvx2() noexcept {
  static const bool usable = CPU_FEATURE_ACTIVE(AVX2);
  return usable ? &desAvx2Implementation : nullptr;
}

} // namespace tolvane
