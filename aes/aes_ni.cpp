#include <cassert>
#include <cstddef>
#include <cstdint>
#include <immintrin.h>
#include <span>

// glibc's header spells bool the C way, _Bool, which clang takes in C++ only as a GNU extension,
// and extensions are off here. GCC's <stdbool.h> lends _Bool the C++ name; this does the same.
#if defined(__clang__) && !defined(_Bool)
#define _Bool bool // NOLINT(bugprone-reserved-identifier)
#endif
#include <sys/platform/x86.h>

#include "aes/aes.hpp"
#include "aes/key_expansion.hpp"

// The processor's AES instructions. Only the functions here are compiled for them, so the program
// still runs on a processor without them, which aesNi() then never hands this implementation to.
//
// The schedule holds the encryption round keys at words 0..4(rounds + 1), and once decryption is
// prepared, the decryption ones from word 60 on: AESDEC undoes a round with InvMixColumns before
// the key is added rather than after, so it wants the encryption keys in reverse order, the inner
// ones put through InvMixColumns.
//
// The key is expanded four words at a time in registers. Lane j of a register holds word j, the
// one with key bytes 4j..4j+3, and shifting the register left by 4 bytes moves every word up a
// lane. Each new word is the word one key length back xored with the new word before it, so a
// group of new words is the running xor of the old group's words, xored with one word in every
// lane: the word that AESKEYGENASSIST derives through the S-box from a word of the last group.
// From dwords 1 and 3 of its input it returns S(dword 1), S(dword 1) rotated ^ rcon, S(dword 3)
// and S(dword 3) rotated ^ rcon, where S puts each byte through the S-box.

namespace tolvane {
namespace {

extern const AesImplementation aesNiImplementation;

// Lane j becomes the xor of lanes 0..j.
[[gnu::target("aes,sse2")]] __m128i runningXor(__m128i x) {
  x = _mm_xor_si128(x, _mm_slli_si128(x, 4));
  return _mm_xor_si128(x, _mm_slli_si128(x, 8));
}

// The group of words after old: the running xor of old, with the word in the given lane of what
// AESKEYGENASSIST makes of source xored into every lane.
template <int rcon, int lane>
[[gnu::target("aes,sse2")]] __m128i nextWords(__m128i old, __m128i source) {
  const __m128i derived = _mm_aeskeygenassist_si128(source, rcon);
  return _mm_xor_si128(runningXor(old), _mm_shuffle_epi32(derived, lane * 0x55));
}

// AES-128: a round key is a group, whose last word, rotated and through the S-box, with the round
// constant, makes the next.
template <int... rcon> [[gnu::target("aes,sse2")]] void expand128(__m128i *k, __m128i a) {
  k[0] = a;
  std::size_t r = 0;
  ((k[++r] = a = nextWords<rcon, 3>(a, a)), ...);
}

// AES-256: groups alternate between a, whose new words take the last word of b rotated, with a
// round constant, and b, whose new words take the last word of a as it is.
template <int... rcon>
[[gnu::target("aes,sse2")]] void expand256(__m128i *k, __m128i a, __m128i b) {
  k[0] = a;
  k[1] = b;
  std::size_t r = 1;
  ((k[++r] = a = nextWords<rcon, 3>(a, b), k[++r] = b = nextWords<0, 2>(b, a)), ...);
  k[14] = nextWords<0x40, 3>(a, b);
}

// AES-192: a group of six words, four in a and two in the low half of b (what the high half holds
// is never used, so the running xor of b stops at two lanes). Two groups make three round keys: the
// four words of a, then the two of b with the first two of the next a, then the last two of that a
// with the two of the next b.
template <int rcon> [[gnu::target("aes,sse2")]] void step192(__m128i &a, __m128i &b) {
  a = nextWords<rcon, 1>(a, b);
  b = _mm_xor_si128(_mm_xor_si128(b, _mm_slli_si128(b, 4)), _mm_shuffle_epi32(a, 0xFF));
}
template <int rcon1, int rcon2>
[[gnu::target("aes,sse2")]] void threeRoundKeys192(__m128i *k, __m128i &a, __m128i &b) {
  k[0] = a;
  const __m128i before = b;
  step192<rcon1>(a, b);
  k[1] = _mm_unpacklo_epi64(before, a);
  k[2] = _mm_unpacklo_epi64(_mm_srli_si128(a, 8), b);
  step192<rcon2>(a, b);
}
[[gnu::target("aes,sse2")]] void expand192(__m128i *k, __m128i a, __m128i b) {
  threeRoundKeys192<0x01, 0x02>(k, a, b);
  threeRoundKeys192<0x04, 0x08>(k + 3, a, b);
  threeRoundKeys192<0x10, 0x20>(k + 6, a, b);
  threeRoundKeys192<0x40, 0x80>(k + 9, a, b);
  k[12] = a;
}

[[gnu::target("aes,sse2")]] void makeSchedule(AesKeySchedule &schedule,
                                              std::span<const std::uint8_t> key) noexcept {
  assert(key.size() == 16 || key.size() == 24 || key.size() == 32);
  __m128i *k = reinterpret_cast<__m128i *>(schedule.words.data());
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(key.data()));
  // The round constants are the powers of x in GF(2^8): 1, 2, 4 ... 0x80, 0x1B, 0x36.
  if (key.size() == 16) {
    expand128<0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x1B, 0x36>(k, low);
  } else if (key.size() == 24) {
    expand192(k, low, _mm_loadl_epi64(reinterpret_cast<const __m128i *>(key.data() + 16)));
  } else {
    expand256<0x01, 0x02, 0x04, 0x08, 0x10, 0x20>(
        k, low, _mm_loadu_si128(reinterpret_cast<const __m128i *>(key.data() + 16)));
  }
  schedule.rounds = aesRounds(key.size());
  schedule.decryptionReady = false;
  schedule.implementation = &aesNiImplementation;
}

[[gnu::target("aes,sse2")]] void prepareDecryption(AesKeySchedule &schedule) noexcept {
  const std::uint32_t rounds = schedule.rounds;
  __m128i *k = reinterpret_cast<__m128i *>(schedule.words.data());
  __m128i *d = k + 15;
  d[0] = k[rounds];
  for (std::uint32_t r = 1; r < rounds; ++r) {
    d[r] = _mm_aesimc_si128(k[rounds - r]);
  }
  d[rounds] = k[0];
  schedule.decryptionReady = true;
}

[[gnu::target("aes,sse2")]] void encrypt(const AesKeySchedule &schedule, const std::uint8_t *in,
                                         std::uint8_t *out) noexcept {
  const __m128i *k = reinterpret_cast<const __m128i *>(schedule.words.data());
  __m128i x = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(in)), k[0]);
  for (std::uint32_t r = 1; r < schedule.rounds; ++r) {
    x = _mm_aesenc_si128(x, k[r]);
  }
  x = _mm_aesenclast_si128(x, k[schedule.rounds]);
  _mm_storeu_si128(reinterpret_cast<__m128i *>(out), x);
}

[[gnu::target("aes,sse2")]] void decrypt(const AesKeySchedule &schedule, const std::uint8_t *in,
                                         std::uint8_t *out) noexcept {
  const __m128i *d = reinterpret_cast<const __m128i *>(schedule.words.data()) + 15;
  __m128i x = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(in)), d[0]);
  for (std::uint32_t r = 1; r < schedule.rounds; ++r) {
    x = _mm_aesdec_si128(x, d[r]);
  }
  x = _mm_aesdeclast_si128(x, d[schedule.rounds]);
  _mm_storeu_si128(reinterpret_cast<__m128i *>(out), x);
}

constinit const AesImplementation aesNiImplementation{"AES-NI", makeSchedule, prepareDecryption,
                                                      encrypt, decrypt};

} // namespace

// glibc asks the processor for its features while it starts the program, as it must to pick its
// own string functions; its record is read here on the first call, and no cpuid runs again.
const AesImplementation *aesNi() noexcept {
  static const bool usable = CPU_FEATURE_ACTIVE(AES);
  return usable ? &aesNiImplementation : nullptr;
}

} // namespace tolvane
