#include <cassert>
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

namespace tolvane {
namespace {

extern const AesImplementation aesNiImplementation;

// With a round constant of 0, AESKEYGENASSIST leaves the S-box of every byte of its input's
// dword 3 in its result's dword 2.
[[gnu::target("aes,sse2")]] std::uint32_t subWord(std::uint32_t word) {
  const __m128i x = _mm_aeskeygenassist_si128(_mm_set_epi32(static_cast<int>(word), 0, 0, 0), 0);
  return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x, 8)));
}

[[gnu::target("aes,sse2")]] void makeSchedule(AesKeySchedule &schedule,
                                              std::span<const std::uint8_t> key) noexcept {
  assert(key.size() == 16 || key.size() == 24 || key.size() == 32);
  expandAesKey(schedule.words.data(), key, subWord);
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
